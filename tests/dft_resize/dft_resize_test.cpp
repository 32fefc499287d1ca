#include "dft_resize/dft_resize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "dft_resize/dft_interpolate.h"
#include "image/picture.h"
#include "tests/dft_resize/dft_reference.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"

namespace {

using dft_test::Plane;
using dft_test::random_plane;

struct Picture {
    Plane r, g, b;
};

Picture random_rgb(int W, int H, unsigned seed) {
    return {random_plane(W, H, seed), random_plane(W, H, seed + 1), random_plane(W, H, seed + 2)};
}

Status run(const std::string& path, const Picture& p, int W2, int H2, std::string* out = nullptr) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();  // the stage lines
    Status s =
        dft_resize_image(path, p.r.W, p.r.H, W2, H2, p.r.s.data(), p.g.s.data(), p.b.s.data());
    ::testing::internal::GetCapturedStderr();
    std::string printed = ::testing::internal::GetCapturedStdout();
    if (out != nullptr) *out = printed;
    return s;
}

TEST(DftResizeImage, WritesTheDctResultAndAnnouncesEachColourInOrder) {
    TempDir dir;
    const Picture p = random_rgb(5, 4, 1);
    std::string printed;
    Status s = run(dir.file("cat.bmp"), p, 9, 7, &printed);
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ(printed, "RED START\nGREEN START\nBLUE START\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"cat_dct.bmp"});
}

TEST(DftResizeImage, EachColourOfTheFileIsItsOwnPlaneEnlarged) {
    TempDir dir;
    const Picture p = random_rgb(6, 5, 7);
    ASSERT_TRUE(run(dir.file("p.bmp"), p, 11, 13).ok());
    const TestPicture got = decode_result_bmp(read_file(dir.file("p_dct.bmp")));
    ASSERT_EQ(got.width, 11);
    ASSERT_EQ(got.height, 13);
    std::vector<std::uint8_t> r(11 * 13), g(11 * 13), b(11 * 13);
    ::testing::internal::CaptureStderr();
    dft_interpolate_plane(6, 5, 5, 8, p.r.s.data(), r.data());
    dft_interpolate_plane(6, 5, 5, 8, p.g.s.data(), g.data());
    dft_interpolate_plane(6, 5, 5, 8, p.b.s.data(), b.data());
    ::testing::internal::GetCapturedStderr();
    for (int x = 0; x < 11; ++x)
        for (int y = 0; y < 13; ++y) {
            const std::size_t i = static_cast<std::size_t>(x * 13 + y);
            ASSERT_EQ(got.at(x, y), (Rgb{r[i], g[i], b[i]})) << "(" << x << ", " << y << ")";
        }
}

TEST(DftResizeImage, AlphaIsAnnouncedAndEnlargedAsItsOwnPlane) {
    TempDir dir;
    const Picture p = random_rgb(6, 5, 9);
    const Plane a = random_plane(6, 5, 12);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Status s = dft_resize_image(dir.file("p.bmp"), 6, 5, 11, 13, p.r.s.data(), p.g.s.data(),
                                p.b.s.data(), a.s.data(), ResultFormat::png);
    std::vector<std::uint8_t> want(11 * 13), red(11 * 13);
    dft_interpolate_plane(6, 5, 5, 8, a.s.data(), want.data());
    dft_interpolate_plane(6, 5, 5, 8, p.r.s.data(), red.data());
    ::testing::internal::GetCapturedStderr();
    const std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ(printed, "RED START\nGREEN START\nBLUE START\nALPHA START\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"p_dct.png"});
    PlanarPicture got;
    ASSERT_TRUE(read_picture(dir.file("p_dct.png"), &got).ok());
    ASSERT_TRUE(got.has_alpha());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.alpha.get()));
    EXPECT_TRUE(std::equal(red.begin(), red.end(), got.red.get()));
}

TEST(DftResizeImage, GreyPictureGivesAGreyResult) {
    TempDir dir;
    const Plane grey = random_plane(7, 6, 3);
    const Picture p{grey, grey, grey};
    ASSERT_TRUE(run(dir.file("g.bmp"), p, 15, 8).ok());
    for (const Rgb& px : decode_result_bmp(read_file(dir.file("g_dct.bmp"))).pixels)
        ASSERT_TRUE(px.r == px.g && px.g == px.b)
            << int(px.r) << " " << int(px.g) << " " << int(px.b);
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
    TempDir dir;
    const Picture p = random_rgb(50, 40, 2);
    std::string printed;
    Status s = run(dir.file("in.bmp"), p, c.W2, c.H2, &printed);
    EXPECT_EQ(s.code, StatusCode::bad_size);
    EXPECT_NE(s.message.find("50 x 40"), std::string::npos) << s.message;
    EXPECT_NE(s.message.find("up to " + std::to_string(kMaxDftResizeSide) + " pixels"),
              std::string::npos)
        << s.message;
    EXPECT_NE(s.message.find("only enlarges"), std::string::npos) << s.message;
    EXPECT_EQ(s.message.find('\n'), std::string::npos) << s.message;
    EXPECT_EQ(printed, "");
    EXPECT_TRUE(files_in(dir.path()).empty());
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

TEST(DftResizeImage, AResultThatCannotBeWrittenIsReported) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("in_dct.bmp"));
    Status s = run(dir.file("in.bmp"), random_rgb(4, 4, 5), 6, 6);
    EXPECT_EQ(s.code, StatusCode::write_failed);
    EXPECT_NE(s.message.find("in_dct.bmp"), std::string::npos) << s.message;
}

}  // namespace
