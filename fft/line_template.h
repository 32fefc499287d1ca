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

// The transforms of one block of a lane buffer, a = its start, T a vector of its lanes; the
// result replaces the line at points 0 .. count - 1. Lines too short for the fused steps of
// chirp_template.h (L < 32) take the steps one by one, reading the last FFT's result in
// natural order, so that each output is read before it is written; their known zeros are
// stored first.
struct NoRotation {
    template <class T>
    [[gnu::always_inline]] void operator()(int, T*, T*) const {}
};

template <class T>
void store_zeros(const KnownZeros& in, int n, T* a) {
    const T zero{};
    for (int j = 0; j < n; ++j) {
        if (j >= in.from && j < in.to) a[2 * j] = zero;
        if ((j >= in.from && j < in.to) || in.real) a[2 * j + 1] = zero;
    }
}

template <class T>
void forward(const LaneTables& t, const KnownZeros& in, T* a) {
    const auto rotated = [&](int k, T re, T im) {
        rotate(re, im, t.fwd_c[k], t.fwd_s[k], 0.5, &a[2 * k], &a[2 * k + 1]);
    };
    if (t.chirp.L < 32) {
        store_zeros(in, t.n, a);
        chirp_template::transform<T, true>(t.chirp, a, t.n, nullptr, rotated);
    } else {
        chirp_template::transform_fused<T, true>(t.chirp, t.plus_pos, in, a, a + 2 * t.chirp.L, t.n,
                                                 NoRotation{}, rotated);
    }
}

template <class T>
void inverse(const LaneTables& t, const KnownZeros& in, int count, T* a) {
    const double inv_n = t.inv_n;
    const auto scaled = [&](int k, T re, T im) {
        a[2 * k] = re * inv_n;
        a[2 * k + 1] = im * inv_n;
    };
    const auto rotation = [&](int k, T* re, T* im) {
        rotate(*re, *im, t.inv_c[k], t.inv_s[k], 2.0, re, im);
    };
    if (t.chirp.L < 32) {
        store_zeros(in, t.n, a);
        for (int k = 0; k < t.n; ++k) rotation(k, &a[2 * k], &a[2 * k + 1]);
        chirp_template::transform<T, false>(t.chirp, a, count, nullptr, scaled);
    } else {
        chirp_template::transform_fused<T, false>(t.chirp, t.plus_pos, in, a, a + 2 * t.chirp.L,
                                                  count, rotation, scaled);
    }
}

// The entry points of a lane file: every block of buf in turn, T a vector of Width doubles.
template <class T, int Width>
void forward_blocks(const LaneTables& t, const KnownZeros& in, double* buf) {
    for (int b = 0; b < kLanes / Width; ++b)
        forward(t, in, reinterpret_cast<T*>(buf + b * lane_block_doubles(t.chirp.L, Width)));
}

template <class T, int Width>
void inverse_blocks(const LaneTables& t, const KnownZeros& in, int count, double* buf) {
    for (int b = 0; b < kLanes / Width; ++b)
        inverse(t, in, count, reinterpret_cast<T*>(buf + b * lane_block_doubles(t.chirp.L, Width)));
}

}  // namespace
}  // namespace line_template
