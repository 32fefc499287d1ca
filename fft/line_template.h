#pragma once
// The line transforms of line_transforms.h written once over a sample type T, as
// fft_template.h writes the FFT: the half-sample rotation, which line_transforms.cpp applies to
// doubles, and the forward and inverse of whole lines on the chirp-z steps of
// chirp_template.h, which the lane files (lanes.h) instantiate with their vectors. Like
// fft_template.h, the templates lie in an anonymous namespace: every file has its own copy.

#include "fft/chirp_template.h"
#include "fft/lanes.h"

namespace line_template {
namespace {

// (xr + i xi) rotated by (c, s) and scaled, into re and im: ((xr c - xi s) f,
// (xi c + xr s) f). The factor comes after the rotation: 0.5 for the forward transforms, 2
// for the inverse. The inputs are taken by value, so re and im may be where they came from.
template <class T>
[[gnu::always_inline]] inline void rotate(T xr, T xi, double c, double s, double f, T* re, T* im) {
    *re = (xr * c - xi * s) * f;
    *im = (xi * c + xr * s) * f;
}

// The forward line transform (dft_inverse, then the rotation with factor 0.5) of the lines in
// the lane buffer buf, whose lanes T holds. Returns where the result starts.
template <class T>
double* forward(const LaneTables& t, double* buf) {
    T* a = reinterpret_cast<T*>(buf);
    // Output k is read anywhere in points 0 .. L - 1, so the results go past the transform.
    T* out = a + 2 * t.chirp.L;
    chirp_template::transform<T, true>(t.chirp, a, t.n, t.plus_pos, [&](int k, T re, T im) {
        rotate(re, im, t.fwd_c[k], t.fwd_s[k], 0.5, &out[2 * k], &out[2 * k + 1]);
    });
    return reinterpret_cast<double*>(out);
}

// The inverse line transform (the rotation with factor 2, then dft_forward with its 1 / n).
template <class T>
double* inverse(const LaneTables& t, double* buf) {
    T* a = reinterpret_cast<T*>(buf);
    for (int k = 0; k < t.n; ++k)
        rotate(a[2 * k], a[2 * k + 1], t.inv_c[k], t.inv_s[k], 2.0, &a[2 * k], &a[2 * k + 1]);
    T* out = a + 2 * t.chirp.L;
    const double inv_n = t.inv_n;
    chirp_template::transform<T, false>(t.chirp, a, t.n, t.plus_pos, [&](int k, T re, T im) {
        out[2 * k] = re * inv_n;
        out[2 * k + 1] = im * inv_n;
    });
    return reinterpret_cast<double*>(out);
}

}  // namespace
}  // namespace line_template
