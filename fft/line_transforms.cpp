#include "fft/line_transforms.h"

#include <cmath>
#include <cstddef>

#include "base/alloc.h"
#include "base/numeric.h"
#include "base/trig.h"
#include "fft/chirp_dft.h"
#include "fft/line_template.h"

namespace {

// The four scratch lines of a strided call, taken in the order R, I1, OR, OI.
struct LineScratch {
    HeapArray<double> re, im, out_re, out_im;
    explicit LineScratch(int n)
        : re(to_size(n), "R"),
          im(to_size(n), "I1"),
          out_re(to_size(n), "OR"),
          out_im(to_size(n), "OI") {}
};

// The positive-exponent DFT of the forward pair. Its failure would leave the output
// undefined, so it ends the run like dft_forward's.
void plus_dft(int n, const double* in_re, const double* in_im, double* out_re, double* out_im,
              int* ip, double* w) {
    // Not a slip: the forward line transform needs exp(+2 pi i k m / n) unscaled, and that is
    // what dft_inverse computes; dft_forward has the minus sign and the 1 / n.
    if (dft_inverse(n, in_re, in_im, out_re, out_im, ip, w) != 0) die_with_line("failure!!!!\n");
}

// The rotation of a whole line with factor f (0.5 forward, 2 inverse): element k read at
// in + k * in_stride, written to out + k * out_stride. in and out may be the same line.
void rotate_line(int n, bool inverse, double f, const double* in_re, const double* in_im,
                 std::size_t in_stride, double* out_re, double* out_im, std::size_t out_stride) {
    for (int k = 0; k < n; ++k) {
        double c, s;
        shift_factors(n, k, inverse, &c, &s);
        const std::size_t i = to_size(k) * in_stride, o = to_size(k) * out_stride;
        line_template::rotate(in_re[i], in_im[i], c, s, f, &out_re[o], &out_im[o]);
    }
}

}  // namespace

void shift_factors(int n, int k, bool inverse, double* c, double* s) {
    // (k * pi) / n in this order; the inverse negates the quotient.
    const double q = (static_cast<double>(k) * kPi) / static_cast<double>(n);
    const double theta = inverse ? -q : q;
    *c = cosine(theta);
    *s = sine(theta);
}

void shifted_dft_strided(int n, int stride, const double* in_re, const double* in_im,
                         double* out_re, double* out_im, int* ip, double* w) {
    LineScratch s(n);
    const std::size_t st = to_size(stride);
    for (int i = 0; i < n; ++i) {
        s.re[to_size(i)] = in_re[to_size(i) * st];
        s.im[to_size(i)] = in_im[to_size(i) * st];
    }
    plus_dft(n, s.re.get(), s.im.get(), s.out_re.get(), s.out_im.get(), ip, w);
    rotate_line(n, false, 0.5, s.out_re.get(), s.out_im.get(), 1, out_re, out_im, st);
}

void shifted_dft_contiguous(int n, const double* in_re, const double* in_im, double* out_re,
                            double* out_im, int* ip, double* w) {
    for (int k = 0; k < n; ++k) {
        out_re[k] = 0.0;
        out_im[k] = 0.0;
    }
    plus_dft(n, in_re, in_im, out_re, out_im, ip, w);
    rotate_line(n, false, 0.5, out_re, out_im, 1, out_re, out_im, 1);
}

void shifted_idft_strided(int n, int stride, const double* in_re, const double* in_im,
                          double* out_re, double* out_im, int* ip, double* w) {
    LineScratch s(n);
    const std::size_t st = to_size(stride);
    rotate_line(n, true, 2.0, in_re, in_im, st, s.re.get(), s.im.get(), 1);
    // The inverse line transform needs the minus sign and the 1 / n: dft_forward's.
    dft_forward(n, s.re.get(), s.im.get(), s.out_re.get(), s.out_im.get(), ip, w);
    for (int m = 0; m < n; ++m) {
        out_re[to_size(m) * st] = s.out_re[to_size(m)];
        out_im[to_size(m) * st] = s.out_im[to_size(m)];
    }
}

void shifted_idft_contiguous(int n, double* in_re, double* in_im, double* out_re, double* out_im,
                             int* ip, double* w) {
    rotate_line(n, true, 2.0, in_re, in_im, 1, in_re, in_im, 1);
    // The minus sign and the 1 / n, as in shifted_idft_strided.
    dft_forward(n, in_re, in_im, out_re, out_im, ip, w);
}
