// Result files: their format by the picture's kind, their names, and both writers behind one
// call, PNG with the durable writer's guarantees.

#include "image/result.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/durable_file.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

// Column-major planes of a test picture, and an alpha plane of its own.
struct Planes {
    int width, height;
    std::vector<std::uint8_t> r, g, b, a;
};

Planes planes_of(const TestPicture& pic) {
    Planes p{pic.width, pic.height, {}, {}, {}, {}};
    for (int x = 0; x < pic.width; ++x)
        for (int y = 0; y < pic.height; ++y) {
            const Rgb& c = pic.at(x, y);
            p.r.push_back(c.r);
            p.g.push_back(c.g);
            p.b.push_back(c.b);
            p.a.push_back(static_cast<std::uint8_t>(x * 50 + y));
        }
    return p;
}

Status write(const std::string& input, ResultFormat format, const Planes& p, bool alpha) {
    return write_result(input, "dct", format, p.width, p.height, p.r.data(), p.g.data(), p.b.data(),
                        alpha ? p.a.data() : nullptr);
}

TEST(ResultFormat, BmpForABmpPictureAndPngForTheOthers) {
    EXPECT_EQ(default_result_format(PictureKind::bmp), ResultFormat::bmp);
    EXPECT_EQ(default_result_format(PictureKind::png), ResultFormat::png);
    EXPECT_EQ(default_result_format(PictureKind::jpeg), ResultFormat::png);
    EXPECT_STREQ(result_extension(ResultFormat::bmp), ".bmp");
    EXPECT_STREQ(result_extension(ResultFormat::png), ".png");
}

TEST(MethodResultName, TheOriginalRuleForBmpNamesAndTheExtensionOffOtherwise) {
    EXPECT_EQ(method_result_name("/p/cat.bmp", "lanczos3", ResultFormat::bmp),
              result_name("/p/cat.bmp", "%s_lanczos3.bmp"));
    EXPECT_EQ(method_result_name("/p/cat.BMP", "hybrid", ResultFormat::png), "/p/cat_hybrid.png");
    EXPECT_EQ(method_result_name("/p/holiday.jpeg", "dct", ResultFormat::png),
              "/p/holiday_dct.png");
    EXPECT_EQ(method_result_name("/p/holiday.jpeg", "dct", ResultFormat::bmp),
              "/p/holiday_dct.bmp");
}

TEST(WriteResultInEitherFormat, BmpIsTheOriginalWritersFileUnderThePicturesName) {
    TempDir dir;
    const Planes p = planes_of(random_picture(5, 3, 1));
    ASSERT_TRUE(
        write_result_bmp(dir.file("a.bmp"), "%s_dct.bmp", 5, 3, p.r.data(), p.g.data(), p.b.data())
            .ok());
    // Alpha has no place in a BMP and is left out.
    ASSERT_TRUE(write(dir.file("b.png"), ResultFormat::bmp, p, true).ok());
    EXPECT_EQ(read_file(dir.file("b_dct.bmp")), read_file(dir.file("a_dct.bmp")));
}

TEST(WriteResultInEitherFormat, PngIsRgbOrWithAlphaRgbaAndReadsBackTheSame) {
    TempDir dir;
    const TestPicture pic = random_picture(7, 4, 2);
    const Planes p = planes_of(pic);
    for (bool alpha : {false, true}) {
        const std::string input = dir.file(alpha ? "with.jpg" : "without.jpg");
        ASSERT_TRUE(write(input, ResultFormat::png, p, alpha).ok());
        const std::string name = method_result_name(input, "dct", ResultFormat::png);
        const std::vector<std::uint8_t> file = read_file(name);
        ASSERT_GT(file.size(), 26u);
        EXPECT_EQ(file[25], alpha ? 6 : 2) << "colour type";  // IHDR's, after signature and head
        PlanarPicture got;
        ASSERT_TRUE(read_picture(name, &got).ok());
        ASSERT_EQ(got.width, 7);
        ASSERT_EQ(got.height, 4);
        EXPECT_TRUE(std::equal(p.r.begin(), p.r.end(), got.red.get()));
        EXPECT_TRUE(std::equal(p.b.begin(), p.b.end(), got.blue.get()));
        EXPECT_EQ(got.has_alpha(), alpha);
        if (alpha) {
            EXPECT_TRUE(std::equal(p.a.begin(), p.a.end(), got.alpha.get()));
        }
    }
}

TEST(WriteResultInEitherFormat, APngWithoutPixelsIsRefusedBeforeAnythingIsCreated) {
    TempDir dir;
    const Planes p = planes_of(random_picture(1, 1, 3));
    for (int side : {0, 1}) {
        const Status st = write_result(dir.file("z.png"), "hybrid", ResultFormat::png, side,
                                       1 - side, p.r.data(), p.g.data(), p.b.data(), nullptr);
        EXPECT_EQ(st.code, StatusCode::bad_size);
        EXPECT_NE(st.message.find("z_hybrid.png"), std::string::npos) << st.message;
    }
    EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(WriteResultInEitherFormat, APngThatCannotBeWrittenIsNamedAndLeavesNothing) {
    TempDir dir;
    const Planes p = planes_of(random_picture(3, 3, 4));
    const Status st = write(dir.file("missing/x.png"), ResultFormat::png, p, false);
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_NE(st.message.find("cannot write"), std::string::npos) << st.message;
    EXPECT_NE(st.message.find("x_dct.png"), std::string::npos) << st.message;
    // An earlier result that is a folder cannot be replaced; it stays, and no temporary file
    // is left beside it.
    make_folder(dir.file("x_dct.png"));
    EXPECT_FALSE(write(dir.file("x.png"), ResultFormat::png, p, false).ok());
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"x_dct.png"});
}

TEST(WriteResultInEitherFormat, APngResultWaitsForTheThreadsBatch) {
    TempDir dir;
    const Planes p = planes_of(random_picture(3, 2, 5));
    const std::string name = dir.file("b_dct.png");
    {
        CommitBatch batch;
        ASSERT_TRUE(write(dir.file("b.png"), ResultFormat::png, p, true).ok());
        EXPECT_FALSE(file_exists(name));
        const std::vector<Status> done = batch.commit();
        ASSERT_EQ(done.size(), 1u);
        EXPECT_TRUE(done[0].ok()) << done[0].message;
    }
    EXPECT_TRUE(file_exists(name));
}

}  // namespace
