// The whole FFT on lanes (lanes_fft.h) for AVX-512F, in one block of eight lanes; this file
// alone is compiled for AVX-512F.

#include "tests/fft/lanes_fft.h"

namespace {

typedef double V __attribute__((vector_size(8 * sizeof(double))));

}  // namespace

void lanes_fft_avx512(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    fft_blocks<V, 8>(n, sign, buf, ip, nw, w);
}
