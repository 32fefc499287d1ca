#pragma once
// The line transforms of line_transforms.h written once over a sample type T, as
// fft_template.h writes the FFT: the half-sample rotation, which line_transforms.cpp applies to
// doubles, and the forward and inverse of whole lines on the chirp-z steps of
// chirp_template.h, which the lane files (lanes.h) instantiate with their vectors.

#include "fft/chirp_template.h"
#include "fft/lanes.h"

namespace line_template {

using fft_template::Cx;

// x rotated by (c, s) and scaled: ((xr c - xi s) f, (xi c + xr s) f). The factor comes after
// the rotation: 0.5 for the forward transforms, 2 for the inverse.
template <class T>
[[gnu::always_inline]] inline Cx<T> rotate(Cx<T> x, double c, double s, double f) {
    return {(x.re * c - x.im * s) * f, (x.im * c + x.re * s) * f};
}

// The forward line transform (dft_inverse, then the rotation with factor 0.5) of the lines in
// the lane buffer buf, whose lanes T holds. Returns where the result starts.
template <class T>
double* forward(const LaneTables& t, double* buf) {
    T* a = reinterpret_cast<T*>(buf);
    // Output k is read anywhere in points 0 .. L - 1, so the results go past the transform.
    T* out = a + 2 * t.chirp.L;
    chirp_template::transform<T, true>(t.chirp, a, t.n, t.plus_pos, [&](int k, Cx<T> y) {
        fft_template::store(out + 2 * k, rotate(y, t.fwd_c[k], t.fwd_s[k], 0.5));
    });
    return reinterpret_cast<double*>(out);
}

// The inverse line transform (the rotation with factor 2, then dft_forward with its 1 / n).
template <class T>
double* inverse(const LaneTables& t, double* buf) {
    T* a = reinterpret_cast<T*>(buf);
    for (int k = 0; k < t.n; ++k)
        fft_template::store(a + 2 * k,
                            rotate(fft_template::load(a + 2 * k), t.inv_c[k], t.inv_s[k], 2.0));
    T* out = a + 2 * t.chirp.L;
    chirp_template::transform<T, false>(t.chirp, a, t.n, t.plus_pos, [&](int k, Cx<T> z) {
        out[2 * k] = z.re * t.inv_n;
        out[2 * k + 1] = z.im * t.inv_n;
    });
    return reinterpret_cast<double*>(out);
}

}  // namespace line_template
