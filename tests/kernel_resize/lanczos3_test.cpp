#include "kernel_resize/lanczos3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "base/numeric.h"
#include "tests/support/each_isa.h"
#include "tests/support/naive_resample.h"
#include "tests/support/planes.h"

namespace {

std::vector<double> random_values(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<double> v(n);
    for (double& x : v) x = static_cast<double>(rng() % 256);
    return v;
}

TEST(Lanczos3Rows, SameSizeLineCanComeOutOneLower) {
    const std::vector<double> line = {52, 162, 15, 11, 13, 4, 195, 110};
    std::vector<double> out(8);
    lanczos3_rows(1, 8, 8, line.data(), out.data());
    std::vector<int> bytes;
    for (double v : out) bytes.push_back(clamp_to_byte(v));
    EXPECT_EQ(bytes, (std::vector<int>{52, 162, 15, 10, 12, 4, 195, 110}));
}

struct Sizes {
    int N, M, lines;
};

void PrintTo(const Sizes& s, std::ostream* os) { *os << s.N << " to " << s.M << " on " << s.lines << " lines"; }

class PassesMatchTheNaiveResampler : public ::testing::TestWithParam<Sizes> {};

TEST_P(PassesMatchTheNaiveResampler, BitForBitOnEveryInstructionSet) {
    const Sizes s = GetParam();
    std::vector<double> in = random_values(static_cast<size_t>(s.N * s.lines), 7);
    for_each_isa([&] {
        std::vector<double> rows(static_cast<size_t>(s.M * s.lines)), cols(rows.size());
        lanczos3_rows(s.lines, s.N, s.M, in.data(), rows.data());
        // The same data read as columns: line l is in[l * N .. l * N + N).
        lanczos3_columns(s.lines, s.N, s.M, in.data(), cols.data());
        for (int l = 0; l < s.lines; ++l) {
            std::vector<double> row_line(static_cast<size_t>(s.N)),
                col_line(static_cast<size_t>(s.N));
            for (int i = 0; i < s.N; ++i) {
                row_line[static_cast<size_t>(i)] = in[static_cast<size_t>(i * s.lines + l)];
                col_line[static_cast<size_t>(i)] = in[static_cast<size_t>(l * s.N + i)];
            }
            for (int k = 0; k < s.M; ++k) {
                ASSERT_EQ(rows[static_cast<size_t>(k * s.lines + l)],
                          naive_lanczos3_sample(row_line, k, s.M))
                    << "row " << l << " sample " << k;
                ASSERT_EQ(cols[static_cast<size_t>(l * s.M + k)],
                          naive_lanczos3_sample(col_line, k, s.M))
                    << "column " << l << " sample " << k;
            }
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Lanczos3, PassesMatchTheNaiveResampler,
                         ::testing::Values(Sizes{5, 10, 3}, Sizes{7, 7, 4}, Sizes{9, 23, 5},
                                           Sizes{64, 31, 2}, Sizes{10, 24, 1}, Sizes{33, 100, 7},
                                           Sizes{100, 17, 3}),
                         [](const auto& p) {
                             return std::to_string(p.param.N) + "to" + std::to_string(p.param.M) +
                                    "x" + std::to_string(p.param.lines);
                         });

TEST(Lanczos3Plane, FlatPlaneGivesItsValueOrOneBelow) {
    for (int c : {0, 1, 77, 128, 255}) {
        std::vector<std::uint8_t> in(static_cast<size_t>(9 * 7), static_cast<std::uint8_t>(c));
        std::vector<std::uint8_t> out(static_cast<size_t>(20 * 11));
        lanczos3_resize_plane(9, 7, 20, 11, in.data(), out.data());
        for (std::uint8_t v : out) {
            EXPECT_LE(v, c);
            EXPECT_GE(v, c == 0 ? 0 : c - 1);
        }
    }
}

TEST(Lanczos3Plane, SharpStepOvershootsAndIsClamped) {
    // Columns 0..5 black, 6..11 white, 4 rows.
    std::vector<std::uint8_t> in(static_cast<size_t>(12 * 4));
    for (int x = 6; x < 12; ++x)
        for (int y = 0; y < 4; ++y) in[static_cast<size_t>(x * 4 + y)] = 255;
    std::vector<double> src(in.begin(), in.end()), rows(static_cast<size_t>(24 * 4));
    lanczos3_rows(4, 12, 24, src.data(), rows.data());
    double lo = 0, hi = 0;
    for (double v : rows) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_LT(lo, -1.0);
    EXPECT_GT(hi, 256.0);
    std::vector<std::uint8_t> out(static_cast<size_t>(24 * 4));
    lanczos3_resize_plane(12, 4, 24, 4, in.data(), out.data());
    int zeros = 0, full = 0;
    for (std::uint8_t v : out) {
        zeros += v == 0;
        full += v == 255;
    }
    EXPECT_GT(zeros, 0);
    EXPECT_GT(full, 0);
}

TEST(Lanczos3Plane, TinyPicturesReadOnlyInsideTheirLines) {
    // Widths and heights 1 to 5, enlarged and reduced; a one-sample line is constant.
    for (int W = 1; W <= 5; ++W)
        for (int H = 1; H <= 5; ++H)
            for (int W2 : {1, 3, 11})
                for (int H2 : {1, 4, 9}) {
                    std::vector<std::uint8_t> in(static_cast<size_t>(W * H), 100);
                    std::vector<std::uint8_t> out(static_cast<size_t>(W2 * H2));
                    lanczos3_resize_plane(W, H, W2, H2, in.data(), out.data());
                    for (std::uint8_t v : out) {
                        EXPECT_LE(v, 100) << W << "x" << H << " to " << W2 << "x" << H2;
                        EXPECT_GE(v, 99) << W << "x" << H << " to " << W2 << "x" << H2;
                    }
                }
}

// Without alpha each colour is resized on its own. With it alpha is, and each colour is its
// weighted colour (c * a) through the same two passes, divided by alpha's value of the same
// sample, or 0 where alpha's byte is 0: bit for bit, over more than one band of columns.
TEST(Lanczos3Resize, ColoursOnTheirOwnOrWeightedByAlpha) {
    const int W = 9, H = 6, W2 = 70, H2 = 13;
    TestPlanes in{W, H, {}};
    for (int c = 0; c < 4; ++c)
        for (double v : random_values(static_cast<size_t>(W * H), static_cast<unsigned>(c)))
            in.plane[c].push_back(static_cast<std::uint8_t>(v));
    // Clear and opaque columns beside the random ones.
    for (int y = 0; y < H; ++y) {
        in.plane[3][static_cast<size_t>(y)] = 0;
        in.plane[3][static_cast<size_t>(H + y)] = 0;
        in.plane[3][static_cast<size_t>(5 * H + y)] = 255;
    }
    TestPlanes opaque = in;
    opaque.plane[3].clear();
    // Both passes over a column-major plane of doubles.
    auto passes = [&](const std::vector<double>& plane) {
        std::vector<double> rows(static_cast<size_t>(W2 * H)), out(static_cast<size_t>(W2 * H2));
        lanczos3_rows(H, W, W2, plane.data(), rows.data());
        lanczos3_columns(W2, H, H2, rows.data(), out.data());
        return out;
    };
    const std::vector<double> alpha =
        passes(std::vector<double>(in.plane[3].begin(), in.plane[3].end()));
    std::vector<std::uint8_t> want[4];
    for (double a : alpha) want[3].push_back(clamp_to_byte(a));
    for (int c = 0; c < 3; ++c) {
        std::vector<double> weighted;
        for (size_t i = 0; i < in.plane[c].size(); ++i)
            weighted.push_back(in.plane[c][i] * in.plane[3][i]);
        const std::vector<double> p = passes(weighted);
        for (size_t i = 0; i < p.size(); ++i)
            want[c].push_back(alpha[i] >= 1.0 ? clamp_to_byte(p[i] / alpha[i]) : 0);
    }
    for_each_isa([&] {
        ResizedPlanes out;
        ASSERT_TRUE(lanczos3_resize(in.set(), W2, H2, &out).ok());
        for (int c = 0; c < 4; ++c) EXPECT_EQ(column_major(out, c), want[c]) << "plane " << c;
        ResizedPlanes plain;
        ASSERT_TRUE(lanczos3_resize(opaque.set(), W2, H2, &plain).ok());
        EXPECT_EQ(plain.width, W2);
        EXPECT_EQ(plain.height, H2);
        for (int c = 0; c < 3; ++c) {
            std::vector<std::uint8_t> alone(static_cast<size_t>(W2 * H2));
            lanczos3_resize_plane(W, H, W2, H2, in.plane[c].data(), alone.data());
            EXPECT_EQ(column_major(plain, c), alone) << "plane " << c;
        }
        EXPECT_TRUE(column_major(plain, 3).empty());
    });
}

}  // namespace
