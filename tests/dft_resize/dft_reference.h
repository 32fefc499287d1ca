#pragma once
// Slow, plainly written references for the DFT resize tests, in long double.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace dft_test {

inline const long double kPi = 3.141592653589793238462643383279502884L;

// Tables of complex_fft for the longest transform (n = 32768 doubles): exactly the sizes the
// DFT promises to need, so that a sanitizer build catches any use beyond them.
struct FftTables {
    std::vector<int> ip = std::vector<int>(64, 0);
    std::vector<double> w = std::vector<double>(8192, 0.0);
};

struct Line {
    std::vector<double> re, im;
};

struct LongLine {
    std::vector<long double> re, im;
};

inline Line random_line(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Line x{std::vector<double>(static_cast<std::size_t>(n)),
           std::vector<double>(static_cast<std::size_t>(n))};
    for (int i = 0; i < n; ++i) {
        x.re[static_cast<std::size_t>(i)] = dist(gen);
        x.im[static_cast<std::size_t>(i)] = dist(gen);
    }
    return x;
}

// X[k] = scale * sum_j x[j] exp(sign 2 pi i j k / N). The angle is taken of j k mod N, so
// every root is accurate whatever the length.
inline LongLine direct_dft(const Line& x, int sign, long double scale) {
    const std::size_t N = x.re.size();
    std::vector<long double> cs(N), sn(N);
    for (std::size_t r = 0; r < N; ++r) {
        const long double a = 2 * kPi * static_cast<long double>(r) / static_cast<long double>(N);
        cs[r] = std::cos(a);
        sn[r] = sign * std::sin(a);
    }
    LongLine out{std::vector<long double>(N), std::vector<long double>(N)};
    for (std::size_t k = 0; k < N; ++k) {
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < N; ++j) {
            const std::size_t r = j * k % N;
            re += x.re[j] * cs[r] - x.im[j] * sn[r];
            im += x.re[j] * sn[r] + x.im[j] * cs[r];
        }
        out.re[k] = scale * re;
        out.im[k] = scale * im;
    }
    return out;
}

// ||got - want|| / ||want|| over real and imaginary parts.
inline double relative_error(const std::vector<double>& got_re, const std::vector<double>& got_im,
                             const LongLine& want) {
    long double err = 0, norm = 0;
    for (std::size_t i = 0; i < got_re.size(); ++i) {
        const long double dr = got_re[i] - want.re[i], di = got_im[i] - want.im[i];
        err += dr * dr + di * di;
        norm += want.re[i] * want.re[i] + want.im[i] * want.im[i];
    }
    return static_cast<double>(std::sqrt(err / norm));
}

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

// The computed values differ from the closed form by rounding alone, far below 1e-9 for these
// sizes; a value this close to a whole number m in 1 .. 255 may truncate to m or m - 1. (Near 0
// and beyond 255 the clamp gives one byte either way.)
constexpr long double kNearWhole = 1e-6L;

inline bool near_whole(long double v) {
    const long double m = std::round(v);
    return std::fabs(v - m) < kNearWhole && m >= 1 && m <= 255;
}

}  // namespace dft_test
