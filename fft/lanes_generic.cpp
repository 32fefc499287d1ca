// The lane entry points (lanes.h) for the baseline instruction set: SSE2 on x86-64, whatever
// the processor offers elsewhere. Four blocks of two lanes, one 128-bit register per value.

#include "fft/lanes.h"
#include "fft/line_template.h"

namespace {

typedef double V __attribute__((vector_size(2 * sizeof(double))));

}  // namespace

void lanes_forward_generic(const LaneTables& t, const KnownZeros& in, double* buf) {
    line_template::forward_blocks<V, 2>(t, in, buf);
}

void lanes_inverse_generic(const LaneTables& t, const KnownZeros& in, int count, double* buf) {
    line_template::inverse_blocks<V, 2>(t, in, count, buf);
}
