#pragma once
// Slow, plainly written references for the DCT resize tests, in long double.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/fft/fft_reference.h"
#include "tests/support/tolerances.h"

namespace dft_test {

using fft_test::kPi;

// A W x H plane (column-major, sample (x, y) at x * H + y).
struct Plane {
    int W = 0, H = 0;
    std::vector<std::uint8_t> s;
    std::uint8_t at(int x, int y) const {
        return s[static_cast<std::size_t>(x) * static_cast<std::size_t>(H) +
                 static_cast<std::size_t>(y)];
    }
};

inline Plane random_plane(int W, int H, unsigned seed) {
    std::mt19937 gen(seed);
    Plane p{W, H, std::vector<std::uint8_t>(static_cast<std::size_t>(W) * H)};
    for (std::uint8_t& v : p.s) v = static_cast<std::uint8_t>(gen() % 256);
    return p;
}

// The enlargement in closed form: the plane's cosine series (unnormalised DCT-II C[k][l],
// weights 1 for k = 0 and 2 above) evaluated at the W2 x H2 output positions, divided by
// W * H. Column-major W2 x H2 values.
inline std::vector<long double> closed_form(const Plane& p, int W2, int H2) {
    const int W = p.W, H = p.H;
    auto basis = [](int n, int n2, std::vector<long double>& out) {
        // out[k * n2 + x] = cos(pi k (2x + 1) / (2 n2)), k < n, x < n2.
        out.assign(static_cast<std::size_t>(n) * n2, 0);
        for (int k = 0; k < n; ++k)
            for (int x = 0; x < n2; ++x)
                out[static_cast<std::size_t>(k) * n2 + x] =
                    std::cos(kPi * k * (2 * x + 1) / (2.0L * n2));
    };
    std::vector<long double> bx, by, bx2, by2;
    basis(W, W, bx);
    basis(H, H, by);
    basis(W, W2, bx2);
    basis(H, H2, by2);
    // C[k][l] = sum_m sum_n in(m, n) cos(pi k (2m + 1) / 2W) cos(pi l (2n + 1) / 2H), as a
    // row pass then a column pass.
    std::vector<long double> rows(static_cast<std::size_t>(W) * H, 0);  // (k, n)
    for (int k = 0; k < W; ++k)
        for (int n = 0; n < H; ++n) {
            long double s = 0;
            for (int m = 0; m < W; ++m) s += p.at(m, n) * bx[static_cast<std::size_t>(k) * W + m];
            rows[static_cast<std::size_t>(k) * H + n] = s;
        }
    std::vector<long double> C(static_cast<std::size_t>(W) * H, 0);  // (k, l)
    for (int k = 0; k < W; ++k)
        for (int l = 0; l < H; ++l) {
            long double s = 0;
            for (int n = 0; n < H; ++n)
                s += rows[static_cast<std::size_t>(k) * H + n] *
                     by[static_cast<std::size_t>(l) * H + n];
            C[static_cast<std::size_t>(k) * H + l] = s * (k == 0 ? 1 : 2) * (l == 0 ? 1 : 2);
        }
    // v(x, y) = 1 / (W H) sum_k sum_l C[k][l] cos(pi k (2x + 1) / 2W2) cos(pi l (2y + 1) / 2H2).
    std::vector<long double> half(static_cast<std::size_t>(W) * H2, 0);  // (k, y)
    for (int k = 0; k < W; ++k)
        for (int y = 0; y < H2; ++y) {
            long double s = 0;
            for (int l = 0; l < H; ++l)
                s += C[static_cast<std::size_t>(k) * H + l] *
                     by2[static_cast<std::size_t>(l) * H2 + y];
            half[static_cast<std::size_t>(k) * H2 + y] = s;
        }
    std::vector<long double> v(static_cast<std::size_t>(W2) * H2, 0);
    for (int x = 0; x < W2; ++x)
        for (int y = 0; y < H2; ++y) {
            long double s = 0;
            for (int k = 0; k < W; ++k)
                s += half[static_cast<std::size_t>(k) * H2 + y] *
                     bx2[static_cast<std::size_t>(k) * W2 + x];
            v[static_cast<std::size_t>(x) * H2 + y] = s / (static_cast<long double>(W) * H);
        }
    return v;
}

// The byte a value becomes: clamped to 0 .. 255, truncated toward zero.
inline int to_byte(long double v) {
    if (v >= 255) return 255;
    if (v <= 0) return 0;
    return static_cast<int>(v);
}

// Whether the closed form lies so near a whole number m in 1 .. 255 that the byte may be m or
// m - 1 (tol::kNearWhole). Near 0 and beyond 255 the clamp gives one byte either way.
inline bool near_whole(long double v) {
    const long double m = std::round(v);
    return std::fabs(v - m) < tol::kNearWhole && m >= 1 && m <= 255;
}

}  // namespace dft_test
