// The lane entry points (lanes.h) for the baseline instruction set: SSE2 on x86-64, whatever
// the processor offers elsewhere. Eight lanes in four vectors of two doubles.

#include "fft/lane_vector.h"
#include "fft/lanes.h"
#include "fft/line_template.h"

namespace {

typedef double Part __attribute__((vector_size(kLanes / 4 * sizeof(double))));
using V = LaneVector<Part, 4>;

}  // namespace

double* lanes_forward_generic(const LaneTables& t, double* buf) {
    return line_template::forward<V>(t, buf);
}

double* lanes_inverse_generic(const LaneTables& t, double* buf) {
    return line_template::inverse<V>(t, buf);
}

void lanes_fft_generic(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    V* a = reinterpret_cast<V*>(buf);
    if (sign >= 0) {
        fft_template::fft_plus(n, a, ip, nw, w);
    } else {
        fft_template::fft_minus(n, a, ip, nw, w);
    }
}
