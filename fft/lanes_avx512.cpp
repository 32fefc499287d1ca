// The lane entry points (lanes.h) for processors with AVX-512F, chosen at run time
// (line_batch.cpp); this file alone is compiled for AVX-512F. One block of eight lanes, one
// 512-bit register per value.

#include "fft/lanes.h"
#include "fft/line_template.h"

namespace {

typedef double V __attribute__((vector_size(8 * sizeof(double))));

}  // namespace

void lanes_forward_avx512(const LaneTables& t, const KnownZeros& in, double* buf) {
    line_template::forward_blocks<V, 8>(t, in, buf);
}

void lanes_inverse_avx512(const LaneTables& t, const KnownZeros& in, int count, double* buf) {
    line_template::inverse_blocks<V, 8>(t, in, count, buf);
}
