// A picture's metadata through the command-line driver, on Linux and as enlarge3.exe under
// Windows: a picture stored turned gives the results of the upright picture at the sizes the
// user asked for, a profile goes into PNG results unchanged and a BMP result says it cannot
// hold it, and damaged metadata cost one line on standard error and nothing else.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/picture_meta.h"
#include "image/zlib_stream.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/metadata_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

Outcome run_driver(const TempDir& dir, const std::vector<std::string>& args) {
    return run_program(dir, ENLARGE3_EXE, args);
}

// The width and height in a PNG file's header.
std::pair<int, int> png_size(const std::vector<std::uint8_t>& png) {
    auto be32 = [&](std::size_t at) {
        return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    };
    return png.size() < 24 ? std::make_pair(0, 0) : std::make_pair(be32(16), be32(20));
}

TEST(DriverOrientation, ResultsAreThoseOfTheUprightPictureAtTheSizeAskedFor) {
    TempDir dir;
    const TestPicture stored = random_picture(5, 3, 31);
    for (int o = 1; o <= 8; ++o) {
        const std::string n = std::to_string(o);
        const TestPicture upright = upright_of(stored, o);
        ASSERT_TRUE(write_file(dir.file("up" + n + ".png"), png_with(upright, {})));
        ASSERT_TRUE(write_file(dir.file("turned" + n + ".png"),
                               png_with(stored, png_chunk("eXIf", exif_tiff(o)))));
        // A factor and auto: both from the upright sides.
        for (const char* name : {"up", "turned"}) {
            const Outcome r = run_driver(
                dir, {"--method", "lanczos3", dir.file(name + n + ".png"), "2x", "auto"});
            ASSERT_EQ(r.status, 0) << name << o << ": " << r.err;
            EXPECT_EQ(r.err, "") << name << o;
        }
        const std::vector<std::uint8_t> want = read_file(dir.file("up" + n + "_lanczos3.png"));
        EXPECT_EQ(png_size(want), std::make_pair(2 * upright.width, 2 * upright.height)) << o;
        EXPECT_TRUE(read_file(dir.file("turned" + n + "_lanczos3.png")) == want) << o;
    }
}

TEST(DriverProfile, PngResultsCarryItUnchangedAndBmpResultsSaySoInOneLine) {
    TempDir dir;
    const std::vector<std::uint8_t> profile = test_profile(2500, 6);
    const std::vector<std::uint8_t> jpeg = make_jpeg(random_picture(8, 6, 3), JpegLayout{});
    ASSERT_FALSE(jpeg.empty());
    const std::string photo = dir.file("photo.jpg");
    ASSERT_TRUE(write_file(photo, jpeg_with(jpeg, jpeg_profile(profile, 1000))));

    Outcome r = run_driver(dir, {photo, "16", "12"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("profile"), std::string::npos) << r.err;
    for (const char* m : {"lanczos3", "hybrid", "dct"}) {
        const std::vector<std::uint8_t> body =
            png_chunk_body(read_file(dir.file(std::string("photo_") + m + ".png")), "iCCP");
        const std::string name = "ICC profile";
        ASSERT_GT(body.size(), name.size() + 2) << m;
        EXPECT_EQ(std::string(body.begin(), body.begin() + 12), name + '\0') << m;
        std::vector<std::uint8_t> inflated;
        EXPECT_EQ(zlib_inflate(body.data() + 13, body.size() - 13, 1 << 20, &inflated),
                  InflateResult::ok);
        EXPECT_EQ(inflated, profile) << m;
    }

    r = run_driver(dir, {"--method", "lanczos3", "--format", "bmp", photo, "16", "12"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "'" + photo +
                         "' has a colour profile, which BMP results cannot hold: they hold its "
                         "samples without it\n");
    EXPECT_TRUE(file_exists(dir.file("photo_lanczos3.bmp")));
}

TEST(DriverMetadata, ADamagedPartIsOneLineAndTheRestIsKept) {
    TempDir dir;
    const TestPicture pic = random_picture(4, 3, 8);
    const std::string bad = dir.file("bad.png");
    // An orientation of 9, and an sRGB chunk that results keep.
    std::vector<std::uint8_t> chunks = png_chunk("eXIf", exif_tiff(9));
    const std::vector<std::uint8_t> srgb = png_chunk("sRGB", {0});
    chunks.insert(chunks.end(), srgb.begin(), srgb.end());
    ASSERT_TRUE(write_file(bad, png_with(pic, chunks)));
    const Outcome r = run_driver(dir, {"--method", "lanczos3", bad, "8", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "'" + bad +
                         "': its EXIF orientation of 9 is not one of 1 to 8, so its orientation is "
                         "not applied\n");
    const std::vector<std::uint8_t> result = read_file(dir.file("bad_lanczos3.png"));
    EXPECT_EQ(png_size(result), std::make_pair(8, 6));
    EXPECT_EQ(png_chunk_body(result, "sRGB"), std::vector<std::uint8_t>{0});
}

}  // namespace
