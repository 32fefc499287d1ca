#include "kernel_resize/taps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/tolerances.h"

namespace {

TEST(SourcePosition, DoublingFiveSamplesStartsAndEndsAQuarterOutside) {
    const double expected[10] = {-0.25, 0.25, 0.75, 1.25, 1.75, 2.25, 2.75, 3.25, 3.75, 4.25};
    for (int k = 0; k < 10; ++k) EXPECT_DOUBLE_EQ(source_position(k, 5, 10), expected[k]) << k;
}

TEST(SourcePosition, LongLinesDoNotOverflow) {
    // k * N passes 2^31 here; the position must still lie inside the line.
    double f = source_position(59999, 40000, 60000);
    EXPECT_NEAR(f, (59999 + 0.5) * 40000.0 / 60000 - 0.5, tol::kLongLinePosition);
}

TEST(LineTaps, DoublingFiveSamplesMirrorsWithoutRepeatingTheEdge) {
    OutputTaps taps[10];
    line_taps(5, 10, taps);
    EXPECT_EQ(taps[0].t, 0);
    EXPECT_EQ(taps[0].b, -1);
    EXPECT_DOUBLE_EQ(taps[0].h, 0.75);
    EXPECT_EQ(std::vector<int>(taps[0].index, taps[0].index + 8),
              (std::vector<int>{4, 3, 2, 1, 0, 1, 2, 3}));
    EXPECT_EQ(taps[9].b, 4);
    EXPECT_EQ(std::vector<int>(taps[9].index, taps[9].index + 8),
              (std::vector<int>{1, 2, 3, 4, 3, 2, 1, 0}));
}

TEST(Lanczos3Weights, HalfOffsetGivesNinthsOf368) {
    double w[8];
    lanczos3_weights(0.5, w);
    const double expected[8] = {0, 9, -50, 225, 225, -50, 9, 0};
    for (int j = 0; j < 8; ++j)
        EXPECT_NEAR(w[j], expected[j] / 368, tol::kKernelValue) << "tap " << j;
}

TEST(Lanczos3Kernel, SupportEndsAtThreeInclusive) {
    EXPECT_EQ(lanczos3_kernel(0.0), 1.0);
    // Whole-number distances give the tiny residue of sin(k pi), not zero.
    for (double x : {1.0, 2.0, 3.0, -3.0}) {
        EXPECT_NE(lanczos3_kernel(x), 0.0) << x;
        EXPECT_LT(std::fabs(lanczos3_kernel(x)), tol::kWholeNumberResidue) << x;
    }
    EXPECT_EQ(lanczos3_kernel(3.0000001), 0.0);
    EXPECT_EQ(lanczos3_kernel(-3.5), 0.0);
    EXPECT_NEAR(lanczos3_kernel(0.5), 0.6079271018540267, tol::kKernelValue);
}

TEST(MirrorIndex, ReflectsOnceWithoutRepeatingTheEdge) {
    // N = 8: -4 .. 11.
    const int expected[] = {4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3};
    for (int i = -4; i <= 11; ++i) EXPECT_EQ(mirror_index(i, 8), expected[i + 4]) << "index " << i;
}

TEST(MirrorIndex, ShortLinesStayInsideForEveryTap) {
    EXPECT_EQ(mirror_index(-4, 1), 0);
    EXPECT_EQ(mirror_index(4, 1), 0);
    // N = 2 reflects with period 2; N = 3 with period 4.
    EXPECT_EQ(mirror_index(5, 2), 1);
    EXPECT_EQ(mirror_index(-3, 2), 1);
    EXPECT_EQ(mirror_index(6, 3), 2);  // 6 -> -2 -> 2
    EXPECT_EQ(mirror_index(7, 4), 1);  // 7 -> -1 -> 1
    for (int N = 1; N <= 5; ++N)
        for (int i = -8; i <= N + 8; ++i) {
            int m = mirror_index(i, N);
            EXPECT_GE(m, 0) << "N " << N << " index " << i;
            EXPECT_LT(m, N) << "N " << N << " index " << i;
        }
}

}  // namespace
