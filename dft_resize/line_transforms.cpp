#include "dft_resize/line_transforms.h"

#include <cmath>
#include <cstddef>

#include "base/alloc.h"
#include "base/numeric.h"
#include "dft_resize/chirp_dft.h"

namespace {

// The four scratch lines of a strided call, taken in the order R, I1, OR, OI.
struct LineScratch {
    HeapArray<double> re, im, out_re, out_im;
    explicit LineScratch(int n)
        : re(static_cast<std::size_t>(n), "R"),
          im(static_cast<std::size_t>(n), "I1"),
          out_re(static_cast<std::size_t>(n), "OR"),
          out_im(static_cast<std::size_t>(n), "OI") {}
};

// The positive-exponent DFT of the forward pair. Its failure would leave the output
// undefined, so it ends the run like dft_forward's.
void plus_dft(int n, const double* in_re, const double* in_im, double* out_re, double* out_im,
              int* ip, double* w) {
    if (dft_inverse(n, in_re, in_im, out_re, out_im, ip, w) != 0) die_with_line("failure!!!!\n");
}

}  // namespace

void shift_factors(int n, int k, bool inverse, double* c, double* s) {
    // (k * pi) / n in this order; the inverse negates the quotient.
    const double q = (static_cast<double>(k) * kPi) / static_cast<double>(n);
    const double theta = inverse ? -q : q;
    *c = std::cos(theta);
    *s = std::sin(theta);
}

void shifted_dft_strided(int n, int stride, const double* in_re, const double* in_im,
                         double* out_re, double* out_im, int* ip, double* w) {
    LineScratch s(n);
    const std::size_t st = static_cast<std::size_t>(stride);
    for (int i = 0; i < n; ++i) {
        s.re[static_cast<std::size_t>(i)] = in_re[static_cast<std::size_t>(i) * st];
        s.im[static_cast<std::size_t>(i)] = in_im[static_cast<std::size_t>(i) * st];
    }
    plus_dft(n, s.re.get(), s.im.get(), s.out_re.get(), s.out_im.get(), ip, w);
    for (int k = 0; k < n; ++k) {
        double c, sn;
        shift_factors(n, k, false, &c, &sn);
        const double xr = s.out_re[static_cast<std::size_t>(k)];
        const double xi = s.out_im[static_cast<std::size_t>(k)];
        out_re[static_cast<std::size_t>(k) * st] = (xr * c - xi * sn) * 0.5;
        out_im[static_cast<std::size_t>(k) * st] = (xi * c + xr * sn) * 0.5;
    }
}

void shifted_dft_contiguous(int n, const double* in_re, const double* in_im, double* out_re,
                            double* out_im, int* ip, double* w) {
    for (int k = 0; k < n; ++k) {
        out_re[k] = 0.0;
        out_im[k] = 0.0;
    }
    plus_dft(n, in_re, in_im, out_re, out_im, ip, w);
    for (int k = 0; k < n; ++k) {
        double c, sn;
        shift_factors(n, k, false, &c, &sn);
        const double xr = out_re[k], xi = out_im[k];
        out_re[k] = (xr * c - xi * sn) * 0.5;
        out_im[k] = (xi * c + xr * sn) * 0.5;
    }
}

void shifted_idft_strided(int n, int stride, const double* in_re, const double* in_im,
                          double* out_re, double* out_im, int* ip, double* w) {
    LineScratch s(n);
    const std::size_t st = static_cast<std::size_t>(stride);
    for (int k = 0; k < n; ++k) {
        double c, sn;
        shift_factors(n, k, true, &c, &sn);
        const double yr = in_re[static_cast<std::size_t>(k) * st];
        const double yi = in_im[static_cast<std::size_t>(k) * st];
        s.re[static_cast<std::size_t>(k)] = (yr * c - yi * sn) * 2;
        s.im[static_cast<std::size_t>(k)] = (yi * c + yr * sn) * 2;
    }
    dft_forward(n, s.re.get(), s.im.get(), s.out_re.get(), s.out_im.get(), ip, w);
    for (int m = 0; m < n; ++m) {
        out_re[static_cast<std::size_t>(m) * st] = s.out_re[static_cast<std::size_t>(m)];
        out_im[static_cast<std::size_t>(m) * st] = s.out_im[static_cast<std::size_t>(m)];
    }
}

void shifted_idft_contiguous(int n, double* in_re, double* in_im, double* out_re, double* out_im,
                             int* ip, double* w) {
    for (int k = 0; k < n; ++k) {
        double c, sn;
        shift_factors(n, k, true, &c, &sn);
        const double yr = in_re[k], yi = in_im[k];
        in_re[k] = (yr * c - yi * sn) * 2;
        in_im[k] = (yi * c + yr * sn) * 2;
    }
    dft_forward(n, in_re, in_im, out_re, out_im, ip, w);
}
