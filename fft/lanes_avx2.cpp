// The lane entry points (lanes.h) for processors with AVX2, chosen at run time (line_batch.cpp);
// this file alone is compiled for AVX2. Eight lanes in two 256-bit registers.

#include "fft/lane_vector.h"
#include "fft/lanes.h"
#include "fft/line_template.h"

namespace {

typedef double Part __attribute__((vector_size(kLanes / 2 * sizeof(double))));
using V = LaneVector<Part, 2>;

}  // namespace

double* lanes_forward_avx2(const LaneTables& t, double* buf) {
    return line_template::forward<V>(t, buf);
}

double* lanes_inverse_avx2(const LaneTables& t, double* buf) {
    return line_template::inverse<V>(t, buf);
}

void lanes_fft_avx2(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    V* a = reinterpret_cast<V*>(buf);
    if (sign >= 0) {
        fft_template::fft_plus(n, a, ip, nw, w);
    } else {
        fft_template::fft_minus(n, a, ip, nw, w);
    }
}
