#include "kernel_resize/lanczos3.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <random>
#include <vector>

#include "base/numeric.h"
#include "image/picture.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/each_isa.h"
#include "tests/support/naive_resample.h"
#include "tests/support/temp_dir.h"

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

// An alpha plane is enlarged on its own, like a colour, into an RGBA PNG; the colours are
// those the BMP result holds.
TEST(Lanczos3Resize, AlphaIsOneMorePlaneOfAPngResult) {
    const int W = 9, H = 6, W2 = 20, H2 = 13;
    const TestPicture pic = random_picture(W, H, 4);
    std::vector<std::uint8_t> r, g, b, a;
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            const Rgb& c = pic.at(x, y);
            r.push_back(c.r);
            g.push_back(c.g);
            b.push_back(c.b);
            a.push_back(static_cast<std::uint8_t>(x < 3 ? 0 : 40 * x - 7 * y));
        }
    TempDir dir;
    ASSERT_TRUE(lanczos3_resize(dir.file("p.bmp"), W, H, W2, H2, r.data(), g.data(), b.data()).ok());
    ASSERT_TRUE(lanczos3_resize(dir.file("p.bmp"), W, H, W2, H2, r.data(), g.data(), b.data(),
                                a.data(), ResultFormat::png)
                    .ok());
    PlanarPicture got;
    ASSERT_TRUE(read_picture(dir.file("p_lanczos3.png"), &got).ok());
    std::vector<std::uint8_t> want(static_cast<std::size_t>(W2 * H2));
    lanczos3_resize_plane(W, H, W2, H2, a.data(), want.data());
    ASSERT_TRUE(got.has_alpha());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.alpha.get()));
    const TestPicture colours = decode_result_bmp(read_file(dir.file("p_lanczos3.bmp")));
    for (int x = 0; x < W2; ++x)
        for (int y = 0; y < H2; ++y) {
            const std::size_t i = static_cast<std::size_t>(x * H2 + y);
            ASSERT_EQ(colours.at(x, y), (Rgb{got.red[i], got.green[i], got.blue[i]})) << x << "," << y;
        }
}

}  // namespace
