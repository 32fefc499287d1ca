// The whole FFT on lanes (lanes_fft.h) for AVX2, in blocks of four lanes; this file alone is
// compiled for AVX2.

#include "tests/fft/lanes_fft.h"

namespace {

typedef double V __attribute__((vector_size(4 * sizeof(double))));

}  // namespace

void lanes_fft_avx2(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    fft_blocks<V, 4>(n, sign, buf, ip, nw, w);
}
