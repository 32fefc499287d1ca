// The whole FFT on lanes (lanes_fft.h) for the baseline set, in blocks of two lanes.

#include "tests/fft/lanes_fft.h"

namespace {

typedef double V __attribute__((vector_size(2 * sizeof(double))));

}  // namespace

void lanes_fft_generic(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    fft_blocks<V, 2>(n, sign, buf, ip, nw, w);
}
