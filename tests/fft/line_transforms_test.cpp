#include "fft/line_transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/fft/fft_reference.h"
#include "tests/support/tolerances.h"

namespace {

using fft_test::FftTables;
using fft_test::kPi;
using fft_test::Line;
using fft_test::line_error_bound;
using fft_test::LongLine;
using fft_test::random_line;
using fft_test::relative_error;

// Y[k] = 0.5 exp(i pi k / n) sum_m x[m] exp(2 pi i k m / n).
LongLine forward_definition(const Line& x) {
    const LongLine d = fft_test::direct_dft(x, +1, 1.0L);
    const std::size_t n = x.re.size();
    LongLine y = d;
    for (std::size_t k = 0; k < n; ++k) {
        const long double a = kPi * static_cast<long double>(k) / static_cast<long double>(n);
        y.re[k] = 0.5L * (d.re[k] * std::cos(a) - d.im[k] * std::sin(a));
        y.im[k] = 0.5L * (d.im[k] * std::cos(a) + d.re[k] * std::sin(a));
    }
    return y;
}

// z[m] = (1 / n) sum_k 2 exp(-i pi k / n) Y[k] exp(-2 pi i k m / n).
LongLine inverse_definition(const Line& y) {
    const std::size_t n = y.re.size();
    // The rotation in long double, then a direct DFT of the rotated line, which is exact to
    // long double whatever the input's type.
    LongLine r{std::vector<long double>(n), std::vector<long double>(n)};
    for (std::size_t k = 0; k < n; ++k) {
        const long double a = -kPi * static_cast<long double>(k) / static_cast<long double>(n);
        r.re[k] = 2 * (y.re[k] * std::cos(a) - y.im[k] * std::sin(a));
        r.im[k] = 2 * (y.im[k] * std::cos(a) + y.re[k] * std::sin(a));
    }
    std::vector<long double> cs(n), sn(n);
    for (std::size_t q = 0; q < n; ++q) {
        const long double a = -2 * kPi * static_cast<long double>(q) / static_cast<long double>(n);
        cs[q] = std::cos(a);
        sn[q] = std::sin(a);
    }
    LongLine z{std::vector<long double>(n), std::vector<long double>(n)};
    for (std::size_t m = 0; m < n; ++m) {
        long double re = 0, im = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t q = k * m % n;
            re += r.re[k] * cs[q] - r.im[k] * sn[q];
            im += r.re[k] * sn[q] + r.im[k] * cs[q];
        }
        z.re[m] = re / n;
        z.im[m] = im / n;
    }
    return z;
}

// A line spread stride apart over arrays whose other elements hold a marker.
struct Strided {
    int n, stride, offset;
    std::vector<double> re, im;
    static constexpr double kMarker = -12345.0;
    Strided(int n_, int stride_, int offset_)
        : n(n_),
          stride(stride_),
          offset(offset_),
          re(static_cast<std::size_t>(n_ * stride_), kMarker),
          im(static_cast<std::size_t>(n_ * stride_), kMarker) {}
    std::size_t at(int i) const { return static_cast<std::size_t>(i * stride + offset); }
    void put(const Line& x) {
        for (int i = 0; i < n; ++i) {
            re[at(i)] = x.re[static_cast<std::size_t>(i)];
            im[at(i)] = x.im[static_cast<std::size_t>(i)];
        }
    }
    Line get() const {
        Line x{std::vector<double>(static_cast<std::size_t>(n)),
               std::vector<double>(static_cast<std::size_t>(n))};
        for (int i = 0; i < n; ++i) {
            x.re[static_cast<std::size_t>(i)] = re[at(i)];
            x.im[static_cast<std::size_t>(i)] = im[at(i)];
        }
        return x;
    }
    // Every element that is not on the line still holds the marker.
    bool untouched_between() const {
        for (std::size_t j = 0; j < re.size(); ++j) {
            if (static_cast<int>(j) % stride == offset) continue;
            if (re[j] != kMarker || im[j] != kMarker) return false;
        }
        return true;
    }
};

Line fresh(int n) {
    return Line{std::vector<double>(static_cast<std::size_t>(n)),
                std::vector<double>(static_cast<std::size_t>(n))};
}

Line forward_contiguous(const Line& x, FftTables& t) {
    Line y = fresh(static_cast<int>(x.re.size()));
    shifted_dft_contiguous(static_cast<int>(x.re.size()), x.re.data(), x.im.data(), y.re.data(),
                           y.im.data(), t.ip.data(), t.w.data());
    return y;
}

Line inverse_contiguous(Line x, FftTables& t) {
    Line y = fresh(static_cast<int>(x.re.size()));
    shifted_idft_contiguous(static_cast<int>(x.re.size()), x.re.data(), x.im.data(), y.re.data(),
                            y.im.data(), t.ip.data(), t.w.data());
    return y;
}

class LineTransformByLength : public ::testing::TestWithParam<int> {};

TEST_P(LineTransformByLength, ForwardMatchesItsDefinitionStridedAndContiguousAlike) {
    const int n = GetParam();
    FftTables t = fft_test::tables_for_line(n);
    const Line x = random_line(n, static_cast<unsigned>(n) + 100u);
    const LongLine want = forward_definition(x);

    const Line c = forward_contiguous(x, t);
    EXPECT_LT(relative_error(c.re, c.im, want), line_error_bound(n));

    Strided in(n, 3, 1), out(n, 3, 1);
    in.put(x);
    const Strided in_before = in;
    shifted_dft_strided(n, 3, in.re.data() + 1, in.im.data() + 1, out.re.data() + 1,
                        out.im.data() + 1, t.ip.data(), t.w.data());
    const Line s = out.get();
    // The same operations on the same values: the same bits.
    EXPECT_EQ(s.re, c.re);
    EXPECT_EQ(s.im, c.im);
    EXPECT_TRUE(out.untouched_between());
    EXPECT_EQ(in.re, in_before.re);
    EXPECT_EQ(in.im, in_before.im);
}

TEST_P(LineTransformByLength, InverseMatchesItsDefinitionStridedAndContiguousAlike) {
    const int n = GetParam();
    FftTables t = fft_test::tables_for_line(n);
    const Line y = random_line(n, static_cast<unsigned>(n) + 200u);
    const LongLine want = inverse_definition(y);

    const Line c = inverse_contiguous(y, t);
    EXPECT_LT(relative_error(c.re, c.im, want), line_error_bound(n));

    Strided in(n, 4, 3), out(n, 4, 3);
    in.put(y);
    const Strided in_before = in;
    shifted_idft_strided(n, 4, in.re.data() + 3, in.im.data() + 3, out.re.data() + 3,
                         out.im.data() + 3, t.ip.data(), t.w.data());
    const Line s = out.get();
    EXPECT_EQ(s.re, c.re);
    EXPECT_EQ(s.im, c.im);
    EXPECT_TRUE(out.untouched_between());
    EXPECT_EQ(in.re, in_before.re);
    EXPECT_EQ(in.im, in_before.im);
}

TEST_P(LineTransformByLength, InverseUndoesForward) {
    const int n = GetParam();
    FftTables t = fft_test::tables_for_line(n);
    const Line x = random_line(n, static_cast<unsigned>(n) + 300u);
    const Line back = inverse_contiguous(forward_contiguous(x, t), t);
    const LongLine want{std::vector<long double>(x.re.begin(), x.re.end()),
                        std::vector<long double>(x.im.begin(), x.im.end())};
    EXPECT_LT(relative_error(back.re, back.im, want), 2 * line_error_bound(n));
}

// The lengths the resize uses are even (twice a side); odd ones work as well. 8194 is the
// shortest beyond the 8192 points of the original tool.
INSTANTIATE_TEST_SUITE_P(Lengths, LineTransformByLength,
                         ::testing::Values(2, 3, 4, 6, 10, 14, 50, 97, 256, 1000, 2162, 8192, 8194),
                         [](const auto& p) { return "n" + std::to_string(p.param); });

TEST(ShiftedIdftContiguous, LeavesTheRotatedValuesInItsInput) {
    FftTables t;
    const int n = 12;
    const Line y = random_line(n, 17);
    Line in = y;
    Line out = fresh(n);
    shifted_idft_contiguous(n, in.re.data(), in.im.data(), out.re.data(), out.im.data(),
                            t.ip.data(), t.w.data());
    for (int k = 0; k < n; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        const long double a = -kPi * k / n;
        EXPECT_NEAR(in.re[i],
                    static_cast<double>(2 * (y.re[i] * std::cos(a) - y.im[i] * std::sin(a))),
                    tol::kFewRoundings);
        EXPECT_NEAR(in.im[i],
                    static_cast<double>(2 * (y.im[i] * std::cos(a) + y.re[i] * std::sin(a))),
                    tol::kFewRoundings);
    }
}

TEST(ShiftedDft, TwoEqualPointsGiveTheValueAndZero) {
    FftTables t;
    const Line y = forward_contiguous(Line{{5.5, 5.5}, {0.0, 0.0}}, t);
    // Errors relative to the line's norm, 5.5 sqrt(2).
    const double bound = 5.5 * std::sqrt(2.0) * line_error_bound(2);
    EXPECT_NEAR(y.re[0], 5.5, bound);
    EXPECT_NEAR(y.im[0], 0.0, bound);
    EXPECT_NEAR(y.re[1], 0.0, bound);
    EXPECT_NEAR(y.im[1], 0.0, bound);
}

class MirroredLine : public ::testing::TestWithParam<int> {};

// A real line of N values mirrored to 2N (a b c c b a) transforms to the unnormalised DCT-II
// of its first half: real, zero at N, antisymmetric about N.
TEST_P(MirroredLine, TransformsToTheRealAntisymmetricDct) {
    const int N = GetParam();
    FftTables t;
    std::vector<double> half(static_cast<std::size_t>(N));
    for (int m = 0; m < N; ++m) half[static_cast<std::size_t>(m)] = (m * 37 + 11) % 256;
    Line x = fresh(2 * N);
    for (int m = 0; m < N; ++m)
        x.re[static_cast<std::size_t>(m)] = x.re[static_cast<std::size_t>(2 * N - 1 - m)] =
            half[static_cast<std::size_t>(m)];
    const Line y = forward_contiguous(x, t);

    long double norm = 0;
    std::vector<long double> dct(static_cast<std::size_t>(N));
    for (int k = 0; k < N; ++k) {
        long double s = 0;
        for (int m = 0; m < N; ++m)
            s += half[static_cast<std::size_t>(m)] * std::cos(kPi * k * (2 * m + 1) / (2.0L * N));
        dct[static_cast<std::size_t>(k)] = s;
        norm += s * s;
    }
    const double bound = static_cast<double>(std::sqrt(norm)) * line_error_bound(2 * N);
    for (int k = 0; k < N; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        EXPECT_NEAR(y.re[i], static_cast<double>(dct[i]), bound) << "k = " << k;
        EXPECT_NEAR(y.im[i], 0.0, bound) << "k = " << k;
        if (k > 0) {
            const std::size_t m = static_cast<std::size_t>(2 * N - k);
            EXPECT_NEAR(y.re[m], -static_cast<double>(dct[i]), bound) << "k = " << 2 * N - k;
            EXPECT_NEAR(y.im[m], 0.0, bound) << "k = " << 2 * N - k;
        }
    }
    EXPECT_NEAR(y.re[static_cast<std::size_t>(N)], 0.0, bound);
    EXPECT_NEAR(y.im[static_cast<std::size_t>(N)], 0.0, bound);
}

INSTANTIATE_TEST_SUITE_P(HalfLengths, MirroredLine, ::testing::Values(1, 2, 3, 8, 41, 1080, 4096),
                         [](const auto& p) { return "N" + std::to_string(p.param); });

}  // namespace
