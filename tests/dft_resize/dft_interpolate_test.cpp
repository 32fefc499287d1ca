#include "dft_resize/dft_interpolate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/dft_resize/dft_reference.h"

namespace {

using dft_test::closed_form;
using dft_test::near_whole;
using dft_test::Plane;
using dft_test::random_plane;
using dft_test::to_byte;

Plane enlarge(const Plane& in, int W2, int H2) {
    Plane out{W2, H2, std::vector<std::uint8_t>(static_cast<std::size_t>(W2) * H2, 0xA5)};
    ::testing::internal::CaptureStderr();  // the stage lines
    dft_interpolate_plane(in.W, in.H, W2 - in.W, H2 - in.H, in.s.data(), out.s.data());
    ::testing::internal::GetCapturedStderr();
    return out;
}

Plane from_values(int W, int H, const std::vector<int>& column_major) {
    Plane p{W, H, {}};
    for (int v : column_major) p.s.push_back(static_cast<std::uint8_t>(v));
    return p;
}

std::vector<int> bytes_of(const Plane& p) {
    return std::vector<int>(p.s.begin(), p.s.end());
}

TEST(DftInterpolateWorkedExamples, ZeroAnd255ToWidthFour) {
    const Plane in = from_values(2, 1, {0, 255});
    // The reference itself first: the values the example states.
    const std::vector<long double> v = closed_form(in, 4, 1);
    const double stated[4] = {-39.09, 58.50, 196.50, 294.09};
    for (int x = 0; x < 4; ++x)
        EXPECT_NEAR(static_cast<double>(v[x]), stated[x], tol::kTwoDecimals) << x;
    EXPECT_EQ(bytes_of(enlarge(in, 4, 1)), (std::vector<int>{0, 58, 196, 255}));
}

TEST(DftInterpolateWorkedExamples, TenTwentyThirtyToWidthSix) {
    const Plane in = from_values(3, 1, {10, 20, 30});
    const std::vector<long double> v = closed_form(in, 6, 1);
    const double stated[6] = {8.85, 11.84, 17.01, 22.99, 28.16, 31.15};
    for (int x = 0; x < 6; ++x)
        EXPECT_NEAR(static_cast<double>(v[x]), stated[x], tol::kTwoDecimals) << x;
    EXPECT_EQ(bytes_of(enlarge(in, 6, 1)), (std::vector<int>{8, 11, 17, 22, 28, 31}));
}

TEST(DftInterpolateWorkedExamples, ZeroAnd255ToFourByTwoRepeatsEachValue) {
    const Plane out = enlarge(from_values(2, 1, {0, 255}), 4, 2);
    // Column-major: each column holds its value in both rows.
    EXPECT_EQ(bytes_of(out), (std::vector<int>{0, 0, 58, 58, 196, 196, 255, 255}));
}

struct Size {
    int W, H, W2, H2;
};

std::string size_name(const Size& s) {
    return std::to_string(s.W) + "x" + std::to_string(s.H) + "_to_" + std::to_string(s.W2) + "x" +
           std::to_string(s.H2);
}

class DftInterpolateBySize : public ::testing::TestWithParam<Size> {};

// Every byte is the truncation of the closed form, evaluated independently in long double;
// only where the closed form lies within kNearWhole of a whole number may it fall one below.
TEST_P(DftInterpolateBySize, EveryByteIsTheClosedFormTruncated) {
    const Size sz = GetParam();
    const Plane in = random_plane(sz.W, sz.H, static_cast<unsigned>(sz.W * 31 + sz.H));
    const Plane out = enlarge(in, sz.W2, sz.H2);
    const std::vector<long double> v = closed_form(in, sz.W2, sz.H2);
    int ambiguous = 0;
    for (int x = 0; x < sz.W2; ++x)
        for (int y = 0; y < sz.H2; ++y) {
            const long double want = v[static_cast<std::size_t>(x) * sz.H2 + y];
            const int got = out.at(x, y);
            if (near_whole(want)) {
                ++ambiguous;
                const int m = static_cast<int>(std::round(want));
                EXPECT_TRUE(got == m || got == m - 1) << "(" << x << ", " << y << "): " << got
                                                      << " for " << static_cast<double>(want);
            } else {
                ASSERT_EQ(got, to_byte(want))
                    << "(" << x << ", " << y << "): closed form " << static_cast<double>(want);
            }
        }
    // Random planes rarely land near a whole number, except a single pixel (a constant) or a
    // plane kept at its size; a test where every byte were excused would prove nothing.
    if (sz.W * sz.H > 1 && (sz.W2 != sz.W || sz.H2 != sz.H)) {
        EXPECT_LT(ambiguous, sz.W2 * sz.H2 / 4 + 1);
    }
}

// Odd and even sides, one-direction growth, doubling, same size, width or height 1, and a
// prime output side; every case also exercises the Nyquist split.
INSTANTIATE_TEST_SUITE_P(Sizes, DftInterpolateBySize,
                         ::testing::Values(Size{7, 5, 13, 11}, Size{12, 9, 31, 17},
                                           Size{9, 8, 18, 16}, Size{16, 16, 40, 33},
                                           Size{10, 7, 10, 7}, Size{11, 6, 23, 6},
                                           Size{6, 11, 6, 29}, Size{1, 5, 4, 9}, Size{10, 1, 23, 1},
                                           Size{1, 1, 5, 3}, Size{2, 3, 5, 7}, Size{3, 2, 97, 2}),
                         [](const auto& p) { return size_name(p.param); });

TEST(DftInterpolate, SameSizeGivesTheInputOrOneBelowNeverAbove) {
    const Size sizes[] = {{1, 1, 1, 1}, {1, 7, 1, 7},   {7, 1, 7, 1},
                          {5, 4, 5, 4}, {16, 9, 16, 9}, {33, 20, 33, 20}};
    for (const Size& s : sizes) {
        const Plane in = random_plane(s.W, s.H, static_cast<unsigned>(s.W * 7 + s.H));
        const Plane out = enlarge(in, s.W, s.H);
        for (std::size_t i = 0; i < in.s.size(); ++i) {
            const int d = in.s[i] - out.s[i];
            ASSERT_TRUE(d == 0 || d == 1) << s.W << "x" << s.H << " at " << i << ": "
                                          << int(in.s[i]) << " gave " << int(out.s[i]);
        }
    }
}

TEST(DftInterpolate, ConstantPlaneGivesItsValueOrOneBelowAndZerosGiveZeros) {
    const Size sizes[] = {{1, 1, 1, 1}, {1, 1, 6, 4}, {3, 2, 7, 9}, {5, 5, 5, 12}, {8, 3, 17, 3}};
    for (int c : {0, 1, 37, 128, 254, 255}) {
        for (const Size& s : sizes) {
            Plane in{s.W, s.H,
                     std::vector<std::uint8_t>(static_cast<std::size_t>(s.W) * s.H,
                                               static_cast<std::uint8_t>(c))};
            const Plane out = enlarge(in, s.W2, s.H2);
            for (std::uint8_t b : out.s) {
                if (c == 0) {
                    ASSERT_EQ(b, 0) << size_name(s);
                } else {
                    ASSERT_TRUE(b == c || b == c - 1)
                        << size_name(s) << ": " << c << " gave " << int(b);
                }
            }
        }
    }
}

TEST(DftInterpolate, OnePixelGoesToEverySampleOfAnySize) {
    for (int c : {1, 90, 255}) {
        const Plane in = from_values(1, 1, {c});
        for (const Size& s : {Size{1, 1, 1, 9}, Size{1, 1, 8, 1}, Size{1, 1, 13, 6}}) {
            for (std::uint8_t b : enlarge(in, s.W2, s.H2).s)
                ASSERT_TRUE(b == c || b == c - 1) << size_name(s) << ": " << int(b);
        }
    }
}

// With growth along x only, every output row is the interpolation of its own input row; the
// rows of the 2-D result and of the one-row runs agree except near whole numbers.
TEST(DftInterpolate, GrowthAlongOneDirectionInterpolatesEachLineAlone) {
    const Plane in = random_plane(9, 6, 5);
    const Plane wide = enlarge(in, 22, 6);
    for (int y = 0; y < 6; ++y) {
        Plane row{9, 1, {}};
        for (int x = 0; x < 9; ++x) row.s.push_back(in.at(x, y));
        const Plane alone = enlarge(row, 22, 1);
        const std::vector<long double> v = closed_form(row, 22, 1);
        for (int x = 0; x < 22; ++x) {
            if (near_whole(v[static_cast<std::size_t>(x)])) continue;
            ASSERT_EQ(wide.at(x, y), alone.at(x, 0)) << "row " << y << ", x " << x;
        }
    }
    const Plane tall = enlarge(in, 9, 19);
    for (int x = 0; x < 9; ++x) {
        Plane column{1, 6, {}};
        for (int y = 0; y < 6; ++y) column.s.push_back(in.at(x, y));
        const Plane alone = enlarge(column, 1, 19);
        const std::vector<long double> v = closed_form(column, 1, 19);
        for (int y = 0; y < 19; ++y) {
            if (near_whole(v[static_cast<std::size_t>(y)])) continue;
            ASSERT_EQ(tall.at(x, y), alone.at(0, y)) << "column " << x << ", y " << y;
        }
    }
}

// A hard step rings when enlarged a lot: overshoots come out 255 and undershoots 0, not
// wrapped around.
TEST(DftInterpolate, RingingNextToAStepIsClampedNotWrapped) {
    Plane in{8, 2, {}};
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 2; ++y) in.s.push_back(x < 4 ? 0 : 255);
    const Plane out = enlarge(in, 64, 3);
    const std::vector<long double> v = closed_form(in, 64, 3);
    int over = 0, under = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] > 255.5L) {
            ++over;
            EXPECT_EQ(out.s[i], 255) << i;
        }
        if (v[i] < -0.5L) {
            ++under;
            EXPECT_EQ(out.s[i], 0) << i;
        }
    }
    EXPECT_GT(over, 0);
    EXPECT_GT(under, 0);
}

}  // namespace
