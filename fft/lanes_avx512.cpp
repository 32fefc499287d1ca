// The lane entry points (lanes.h) for processors with AVX-512F, chosen at run time
// (line_batch.cpp); this file alone is compiled for AVX-512F. Eight lanes in one 512-bit
// register.

#include "fft/lanes.h"
#include "fft/line_template.h"

namespace {

typedef double V __attribute__((vector_size(kLanes * sizeof(double))));

}  // namespace

double* lanes_forward_avx512(const LaneTables& t, double* buf) {
    return line_template::forward<V>(t, buf);
}

double* lanes_inverse_avx512(const LaneTables& t, double* buf) {
    return line_template::inverse<V>(t, buf);
}

void lanes_fft_avx512(int n, int sign, double* buf, const int* ip, int nw, const double* w) {
    V* a = reinterpret_cast<V*>(buf);
    if (sign >= 0) {
        fft_template::fft_plus(n, a, ip, nw, w);
    } else {
        fft_template::fft_minus(n, a, ip, nw, w);
    }
}
