// Result files: their format by the picture's kind, their names, and both writers behind one
// call, PNG with the durable writer's guarantees.

#include "image/result.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/durable_file.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/planes.h"
#include "tests/support/run_driver.h"
#include "tests/support/temp_dir.h"

namespace {

// Column-major planes of a test picture, and an alpha plane of its own.
TestPlanes planes_of(const TestPicture& pic) {
    TestPlanes p{pic.width, pic.height, {}};
    for (int x = 0; x < pic.width; ++x)
        for (int y = 0; y < pic.height; ++y) {
            const Rgb& c = pic.at(x, y);
            p.plane[0].push_back(c.r);
            p.plane[1].push_back(c.g);
            p.plane[2].push_back(c.b);
            p.plane[3].push_back(static_cast<std::uint8_t>(x * 50 + y));
        }
    return p;
}

// The "dct" result of the picture at input, laid out as order says.
Status write(const std::string& input, ResultFormat format, TestPlanes p, bool alpha,
             PlaneOrder order = PlaneOrder::by_column, CommitBatch* batch = nullptr) {
    if (!alpha) p.plane[3].clear();
    return write_result(method_result_name(input, "dct", format), format, resized_copy(p, order),
                        batch);
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
    const TestPlanes p = planes_of(random_picture(5, 3, 1));
    ASSERT_TRUE(write_result_bmp(dir.file("a.bmp"), "%s_dct.bmp", 5, 3, p.plane[0].data(),
                                 p.plane[1].data(), p.plane[2].data())
                    .ok());
    // Alpha has no place in a BMP and is left out; planes by row give the same file.
    ASSERT_TRUE(write(dir.file("b.png"), ResultFormat::bmp, p, true).ok());
    EXPECT_EQ(read_file(dir.file("b_dct.bmp")), read_file(dir.file("a_dct.bmp")));
    ASSERT_TRUE(write(dir.file("c.png"), ResultFormat::bmp, p, false, PlaneOrder::by_row).ok());
    EXPECT_EQ(read_file(dir.file("c_dct.bmp")), read_file(dir.file("a_dct.bmp")));
}

TEST(WriteResultInEitherFormat, PngIsRgbOrWithAlphaRgbaAndReadsBackTheSame) {
    TempDir dir;
    const TestPicture pic = random_picture(7, 4, 2);
    const TestPlanes p = planes_of(pic);
    for (bool alpha : {false, true}) {
        const std::string input = dir.file(alpha ? "with.jpg" : "without.jpg");
        // By row with alpha, by column without: both layouts read back the same.
        ASSERT_TRUE(write(input, ResultFormat::png, p, alpha,
                          alpha ? PlaneOrder::by_row : PlaneOrder::by_column)
                        .ok());
        const std::string name = method_result_name(input, "dct", ResultFormat::png);
        const std::vector<std::uint8_t> file = read_file(name);
        ASSERT_GT(file.size(), 26u);
        EXPECT_EQ(file[25], alpha ? 6 : 2) << "colour type";  // IHDR's, after signature and head
        PlanarPicture got;
        ASSERT_TRUE(read_picture(name, &got).ok());
        ASSERT_EQ(got.width, 7);
        ASSERT_EQ(got.height, 4);
        EXPECT_TRUE(std::equal(p.plane[0].begin(), p.plane[0].end(), got.red.get()));
        EXPECT_TRUE(std::equal(p.plane[2].begin(), p.plane[2].end(), got.blue.get()));
        EXPECT_EQ(got.has_alpha(), alpha);
        if (alpha) {
            EXPECT_TRUE(std::equal(p.plane[3].begin(), p.plane[3].end(), got.alpha.get()));
        }
    }
}

TEST(WriteResultInEitherFormat, APngWithoutPixelsIsRefusedBeforeAnythingIsCreated) {
    TempDir dir;
    for (int side : {0, 1}) {
        TestPlanes p{side, 1 - side, {}};
        const Status st =
            write_result(dir.file("z_hybrid.png"), ResultFormat::png, resized_copy(p));
        EXPECT_EQ(st.code, StatusCode::bad_size);
        EXPECT_NE(st.message.find("z_hybrid.png"), std::string::npos) << st.message;
    }
    EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(WriteResultInEitherFormat, APngThatCannotBeWrittenIsNamedAndLeavesNothing) {
    TempDir dir;
    const TestPlanes p = planes_of(random_picture(3, 3, 4));
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

TEST(WriteResultInEitherFormat, APngResultWaitsForItsBatch) {
    TempDir dir;
    const TestPlanes p = planes_of(random_picture(3, 2, 5));
    const std::string name = dir.file("b_dct.png");
    {
        CommitBatch batch;
        ASSERT_TRUE(
            write(dir.file("b.png"), ResultFormat::png, p, true, PlaneOrder::by_column, &batch)
                .ok());
        EXPECT_FALSE(file_exists(name));
        const std::vector<Status> done = batch.commit();
        ASSERT_EQ(done.size(), 1u);
        EXPECT_TRUE(done[0].ok()) << done[0].message;
    }
    EXPECT_TRUE(file_exists(name));
}

}  // namespace
