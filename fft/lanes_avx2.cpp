// The lane entry points (lanes.h) for processors with AVX2, chosen at run time (line_batch.cpp);
// this file alone is compiled for AVX2. Two blocks of four lanes, one 256-bit register per
// value: with eight lanes in two registers a butterfly's values outgrow the sixteen registers.

#include "fft/lanes.h"
#include "fft/line_template.h"

namespace {

typedef double V __attribute__((vector_size(4 * sizeof(double))));

}  // namespace

void lanes_forward_avx2(const LaneTables& t, const KnownZeros& in, double* buf) {
    line_template::forward_blocks<V, 4>(t, in, buf);
}

void lanes_inverse_avx2(const LaneTables& t, const KnownZeros& in, int count, double* buf) {
    line_template::inverse_blocks<V, 4>(t, in, count, buf);
}
