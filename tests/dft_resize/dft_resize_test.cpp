#include "dft_resize/dft_resize.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/numeric.h"
#include "dft_resize/dft_interpolate.h"
#include "tests/dft_resize/dft_reference.h"
#include "tests/dft_resize/reference_procedure.h"
#include "tests/support/planes.h"

namespace {

using dft_test::Plane;
using dft_test::random_plane;

// Colour planes of one size, and an alpha plane when a is not empty.
struct Picture {
    Plane r, g, b, a;
    PlaneSet planes() const {
        return PlaneSet{
            r.W, r.H, {r.s.data(), g.s.data(), b.s.data(), a.s.empty() ? nullptr : a.s.data()}};
    }
};

Picture random_rgb(int W, int H, unsigned seed) {
    return {
        random_plane(W, H, seed), random_plane(W, H, seed + 1), random_plane(W, H, seed + 2), {}};
}

Status run(const Picture& p, int W2, int H2, ResizedPlanes* out, std::string* printed = nullptr) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();  // the stage lines
    Status s = dft_resize_image(p.planes(), W2, H2, out);
    ::testing::internal::GetCapturedStderr();
    const std::string said = ::testing::internal::GetCapturedStdout();
    if (printed != nullptr) *printed = said;
    return s;
}

std::vector<std::uint8_t> enlarged(const Plane& in, int W2, int H2) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(W2) * static_cast<std::size_t>(H2));
    ::testing::internal::CaptureStderr();
    dft_interpolate_plane(in.W, in.H, W2 - in.W, H2 - in.H, in.s.data(), out.data());
    ::testing::internal::GetCapturedStderr();
    return out;
}

// Without alpha each plane is its own plane enlarged, announced before it in order. With alpha,
// alpha is so, announced first, and each colour is its weighted colour (c * a) through the
// step-by-step procedure, divided by alpha's value of the same sample (0 where alpha's byte is
// 0), in the method's order of announcing.
TEST(DftResizeImage, EachPlaneEnlargedAndAnnouncedInOrderColoursWeightedByAlpha) {
    const int W2 = 11, H2 = 13;
    Picture with_alpha = random_rgb(6, 5, 9);
    with_alpha.a = random_plane(6, 5, 12);
    for (int y = 0; y < 5; ++y) with_alpha.a.s[static_cast<std::size_t>(y)] = 0;  // clear column
    const struct {
        Picture picture;
        const char* printed;
    } cases[] = {{random_rgb(6, 5, 7), "RED START\nGREEN START\nBLUE START\n"},
                 {with_alpha, "ALPHA START\nRED START\nGREEN START\nBLUE START\n"}};
    for (const auto& c : cases) {
        ResizedPlanes out;
        std::string printed;
        const Status s = run(c.picture, W2, H2, &out, &printed);
        ASSERT_TRUE(s.ok()) << s.message;
        EXPECT_EQ(printed, c.printed);
        EXPECT_EQ(out.width, W2);
        EXPECT_EQ(out.height, H2);
        const Plane* in[4] = {&c.picture.r, &c.picture.g, &c.picture.b, &c.picture.a};
        const Plane& a = c.picture.a;
        if (a.s.empty()) {
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_EQ(column_major(out, ch), enlarged(*in[ch], W2, H2)) << "plane " << ch;
            EXPECT_TRUE(column_major(out, 3).empty());
            continue;
        }
        EXPECT_EQ(column_major(out, 3), enlarged(a, W2, H2));
        const std::size_t n = static_cast<std::size_t>(W2 * H2);
        std::vector<double> alpha(n), colour(n);
        reference_interpolate_values(
            6, 5, W2 - 6, H2 - 5, std::vector<double>(a.s.begin(), a.s.end()).data(), alpha.data());
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<double> weighted;
            for (std::size_t i = 0; i < a.s.size(); ++i) weighted.push_back(in[ch]->s[i] * a.s[i]);
            reference_interpolate_values(6, 5, W2 - 6, H2 - 5, weighted.data(), colour.data());
            std::vector<std::uint8_t> want;
            for (std::size_t i = 0; i < n; ++i)
                want.push_back(alpha[i] >= 1.0 ? clamp_to_byte(colour[i] / alpha[i]) : 0);
            EXPECT_EQ(column_major(out, ch), want) << "plane " << ch;
        }
    }
}

TEST(DftResizeImage, GreyPictureGivesAGreyResult) {
    const Plane grey = random_plane(7, 6, 3);
    ResizedPlanes out;
    ASSERT_TRUE(run(Picture{grey, grey, grey, {}}, 15, 8, &out).ok());
    EXPECT_EQ(column_major(out, 0), column_major(out, 1));
    EXPECT_EQ(column_major(out, 1), column_major(out, 2));
}

struct Refused {
    const char* name;
    int W2, H2;
};

class DftResizeRefuses : public ::testing::TestWithParam<Refused> {};

// Sizes outside the method's range: a one-line reason naming the range, nothing printed,
// nothing written.
TEST_P(DftResizeRefuses, WithItsRangeAndWithoutTouchingAnything) {
    const Refused& c = GetParam();
    ResizedPlanes out;
    std::string printed;
    Status s = run(random_rgb(50, 40, 2), c.W2, c.H2, &out, &printed);
    EXPECT_EQ(s.code, StatusCode::bad_size);
    EXPECT_NE(s.message.find("50 x 40"), std::string::npos) << s.message;
    EXPECT_NE(s.message.find("up to " + std::to_string(kMaxDftResizeSide) + " pixels"),
              std::string::npos)
        << s.message;
    EXPECT_NE(s.message.find("only enlarges"), std::string::npos) << s.message;
    EXPECT_EQ(s.message.find('\n'), std::string::npos) << s.message;
    EXPECT_EQ(printed, "");
    EXPECT_EQ(out.plane[0].get(), nullptr);
    EXPECT_EQ(dft_resize_memory_needed(50, 40, c.W2, c.H2), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DftResizeRefuses,
    ::testing::Values(Refused{"NarrowerThanInput", 49, 40}, Refused{"LowerThanInput", 50, 39},
                      Refused{"WiderThanTheLongestSide", kMaxDftResizeSide + 1, 40},
                      Refused{"HigherThanTheLongestSide", 50, kMaxDftResizeSide + 1},
                      Refused{"Zero", 0, 0}, Refused{"Negative", -50, 40},
                      Refused{"Huge", 2147483647, 2147483647}),
    [](const auto& p) { return std::string(p.param.name); });

// Only the lines' indices bound a side (kMaxDftResizeSide, far beyond any memory): the
// original tool's 4096 is no limit.
TEST(DftResizeSize, RangeRunsFromTheInputSizeToTheLongestSide) {
    EXPECT_TRUE(dft_resize_size_ok(50, 40, 50, 40));
    EXPECT_TRUE(dft_resize_size_ok(50, 40, 4097, 8000));
    EXPECT_TRUE(dft_resize_size_ok(1, 1, 1, kMaxDftResizeSide));
    EXPECT_TRUE(dft_resize_size_ok(4000, 3000, 8000, 6000));
    EXPECT_FALSE(dft_resize_size_ok(10, 10, kMaxDftResizeSide + 1, 10));
    EXPECT_FALSE(dft_resize_size_ok(0, 10, 5, 10));
    EXPECT_FALSE(dft_resize_size_ok(10, 0, 10, 5));
    EXPECT_GT(dft_resize_memory_needed(50, 40, 4096, 4096), 3ull * 4096 * 4096);
}

struct Doubling {
    const char* name;
    int W, H;
};

class DftResizeMemory : public ::testing::TestWithParam<Doubling> {};

// The working set of a doubling stays within 24 bytes per output pixel (the step-by-step
// procedure holds 192), however many threads run: the spectrum, 2W x 2H complex values, is
// the largest grid and the only one held whole.
TEST_P(DftResizeMemory, DoublingStaysWithin24BytesPerOutputPixel) {
    const Doubling& c = GetParam();
    const std::uint64_t px = 4ull * static_cast<std::uint64_t>(c.W) * c.H;
    const std::uint64_t need = dft_resize_memory_needed(c.W, c.H, 2 * c.W, 2 * c.H);
    EXPECT_GT(need, 16 * px);  // the spectrum alone
    EXPECT_LT(need, 24 * px);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DftResizeMemory,
                         ::testing::Values(Doubling{"FullHd", 1920, 1080},
                                           Doubling{"SixMegapixels", 3000, 2000},
                                           Doubling{"TwelveMegapixels", 4000, 3000}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
