#include "image/bmp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "base/durable_file.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/temp_dir.h"

namespace {

// Planes of a test picture in the tool's column-major layout.
struct Planes {
    std::vector<std::uint8_t> r, g, b;
};

Planes planes_of(const TestPicture& pic) {
    Planes p;
    size_t n = static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height);
    p.r.resize(n);
    p.g.resize(n);
    p.b.resize(n);
    for (int x = 0; x < pic.width; ++x)
        for (int y = 0; y < pic.height; ++y) {
            size_t i = static_cast<size_t>(x * pic.height + y);
            p.r[i] = pic.at(x, y).r;
            p.g[i] = pic.at(x, y).g;
            p.b[i] = pic.at(x, y).b;
        }
    return p;
}

TEST(BmpRows, PaddingAndStrideForWidthsOneToFive) {
    // 3 bytes + 1, 6 + 2, 9 + 3, 12 + 0, 15 + 1.
    const std::uint64_t padding[] = {0, 1, 2, 3, 0, 1};
    const std::uint64_t stride[] = {0, 4, 8, 12, 12, 16};
    for (std::uint64_t w = 0; w <= 5; ++w) {
        EXPECT_EQ(bmp_row_padding(w), padding[w]) << "width " << w;
        EXPECT_EQ(bmp_row_stride(w), stride[w]) << "width " << w;
    }
}

TEST(BmpHeader, EveryFieldIsReadAndWrittenAtItsOwnOffset) {
    // A distinct value in every field, laid out by the format's table of offsets.
    std::vector<std::uint8_t> bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    const std::size_t at32[] = {2, 10, 14, 18, 22, 30, 34, 38, 42, 46, 50};
    for (std::size_t i = 0; i < std::size(at32); ++i)
        put_le32(bytes, at32[i], 0x01020304u * static_cast<std::uint32_t>(i + 1));
    const std::size_t at16[] = {6, 8, 26, 28};
    for (std::size_t i = 0; i < std::size(at16); ++i)
        put_le16(bytes, at16[i], static_cast<std::uint16_t>(0x0A0B * (i + 1)));
    const BmpHeader h = bmp_header_fields(bytes.data());
    EXPECT_EQ(h.file_size, 0x01020304);
    EXPECT_EQ(h.reserved1, 0x0A0B);
    EXPECT_EQ(h.reserved2, 2 * 0x0A0B);
    EXPECT_EQ(h.pixel_offset, 2 * 0x01020304u);
    EXPECT_EQ(h.info_size, 3 * 0x01020304u);
    EXPECT_EQ(h.width, 4 * 0x01020304);
    EXPECT_EQ(h.height, 5 * 0x01020304);
    EXPECT_EQ(h.planes, 3 * 0x0A0B);
    EXPECT_EQ(h.bits, 4 * 0x0A0B);
    EXPECT_EQ(h.compression, 6 * 0x01020304u);
    EXPECT_EQ(h.image_size, 7 * 0x01020304u);
    EXPECT_EQ(h.x_pixels_per_metre, 8 * 0x01020304);
    EXPECT_EQ(h.y_pixels_per_metre, 9 * 0x01020304);
    EXPECT_EQ(h.colours_used, 10 * 0x01020304u);
    EXPECT_EQ(h.important_colours, 11 * 0x01020304u);
    unsigned char again[54];
    put_bmp_header(h, again);
    EXPECT_EQ(std::vector<std::uint8_t>(again, again + 54), bytes);
}

TEST(BmpHeader, ResultHeaderNamesItsSizesAnd96Dpi) {
    const BmpHeader h = bmp_result_header(5, 3);
    EXPECT_EQ(h.file_size, 54 + 16 * 3);
    EXPECT_EQ(h.pixel_offset, 54u);
    EXPECT_EQ(h.info_size, 40u);
    EXPECT_EQ(h.width, 5);
    EXPECT_EQ(h.height, 3);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bits, 24);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.x_pixels_per_metre, 3780);  // 96 / 0.0254, rounded
    EXPECT_EQ(h.y_pixels_per_metre, 3780);
}

TEST(ResultName, CutsFourCharactersWhateverTheyAre) {
    EXPECT_EQ(result_name("C:\\pics\\cat.bmp", "%s_lanczos3.bmp"), "C:\\pics\\cat_lanczos3.bmp");
    EXPECT_EQ(result_name("C:\\pics\\cat.bmp", "%s_hybrid.bmp"), "C:\\pics\\cat_hybrid.bmp");
    EXPECT_EQ(result_name("C:\\pics\\cat.BMP", "%s_dct.bmp"), "C:\\pics\\cat_dct.bmp");
    EXPECT_EQ(result_name("C:\\pics\\cat.jpeg", "%s_dct.bmp"), "C:\\pics\\cat._dct.bmp");
    EXPECT_EQ(result_name("C:\\pics\\picture", "%s_dct.bmp"), "C:\\pics\\pic_dct.bmp");
    EXPECT_EQ(result_name("/tmp/a.bmp", "%s_dct.bmp"), "/tmp/a_dct.bmp");
    EXPECT_EQ(result_name("a.bm", "%s_dct.bmp"), "_dct.bmp");
    EXPECT_EQ(result_name("", "%s_dct.bmp"), "_dct.bmp");
}

TEST(ResultName, NeverCutsAMultiByteCharacterInHalf) {
    // "写真" without an extension: both characters are three bytes in UTF-8.
    EXPECT_EQ(result_name("/p/\xE5\x86\x99\xE7\x9C\x9F", "%s_dct.bmp"), "/_dct.bmp");
    EXPECT_EQ(result_name("/p/\xE7\x8C\xAB.bmp", "%s_dct.bmp"), "/p/\xE7\x8C\xAB_dct.bmp");
    EXPECT_EQ(result_name("/p/xab\xC3\xA9z", "%s_dct.bmp"), "/p/x_dct.bmp");
}

TEST(WriteResult, FiveByThreeHeaderIsExact) {
    TempDir dir;
    Planes p = planes_of(random_picture(5, 3, 1));
    ASSERT_TRUE(write_result_bmp(dir.file("in.bmp"), "%s_dct.bmp", 5, 3, p.r.data(), p.g.data(),
                                 p.b.data())
                    .ok());
    std::vector<std::uint8_t> bytes = read_file(dir.file("in_dct.bmp"));
    ASSERT_EQ(bytes.size(), 102u);
    const std::uint8_t expected_head[54] = {
        0x42, 0x4D, 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,           // file header
        40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,  // size, w, h, planes, bits
        0, 0, 0, 0, 0xC4, 0x0E, 0, 0, 0xC4, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 54),
              std::vector<std::uint8_t>(expected_head, expected_head + 54));
}

TEST(WriteResult, RowsAreBottomUpBgrWithZeroPaddingForEveryWidthClassAndPlaneOrder) {
    // 40 rows: more than one group of rows.
    for (int w = 1; w <= 4; ++w) {
        TempDir dir;
        TestPicture pic = random_picture(w, 40, static_cast<std::uint32_t>(w));
        Planes by_column = planes_of(pic), by_row;
        for (const Rgb& c : pic.pixels) {
            by_row.r.push_back(c.r);
            by_row.g.push_back(c.g);
            by_row.b.push_back(c.b);
        }
        for (PlaneOrder order : {PlaneOrder::by_column, PlaneOrder::by_row}) {
            const Planes& p = order == PlaneOrder::by_row ? by_row : by_column;
            ASSERT_TRUE(write_result_bmp(dir.file("x.bmp"), "%s_lanczos3.bmp", w, 40, p.r.data(),
                                         p.g.data(), p.b.data(), order)
                            .ok());
            // An independent encoder must produce the very same bytes.
            EXPECT_EQ(read_file(dir.file("x_lanczos3.bmp")), encode_bmp(pic))
                << "width " << w << (order == PlaneOrder::by_row ? ", by row" : "");
        }
    }
}

TEST(WriteResult, ZeroSizedResultIsAHeaderOnly) {
    TempDir dir;
    std::uint8_t none = 0;
    ASSERT_TRUE(write_result_bmp(dir.file("x.bmp"), "%s_dct.bmp", 0, 7, &none, &none, &none).ok());
    std::vector<std::uint8_t> bytes = read_file(dir.file("x_dct.bmp"));
    ASSERT_EQ(bytes.size(), 54u);
    EXPECT_EQ(get_le32(bytes, 18), 0u);
    EXPECT_EQ(get_le32(bytes, 22), 7u);
}

TEST(WriteResult, ReplacesAnExistingResult) {
    TempDir dir;
    write_file(dir.file("x_dct.bmp"), std::vector<std::uint8_t>(1000, 7));
    Planes p = planes_of(random_picture(2, 2, 3));
    ASSERT_TRUE(
        write_result_bmp(dir.file("x.bmp"), "%s_dct.bmp", 2, 2, p.r.data(), p.g.data(), p.b.data())
            .ok());
    EXPECT_EQ(read_file(dir.file("x_dct.bmp")).size(), 54u + 2 * 8);
}

TEST(WriteResult, FailedReplacementIsAnErrorNamingTheFileAndLeavesNoTrace) {
    // A folder in the result's place cannot be replaced by a file (this holds for root too).
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("x_dct.bmp").c_str(), 0700), 0);
    write_file(dir.file("x_dct.bmp/keep"), {1, 2, 3});
    Planes p = planes_of(random_picture(2, 2, 3));
    Status st =
        write_result_bmp(dir.file("x.bmp"), "%s_dct.bmp", 2, 2, p.r.data(), p.g.data(), p.b.data());
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_NE(st.message.find("x_dct.bmp"), std::string::npos) << st.message;
    EXPECT_EQ(read_file(dir.file("x_dct.bmp/keep")), (std::vector<std::uint8_t>{1, 2, 3}));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1) << "the temporary file must be removed";
}

TEST(WriteResult, MissingFolderIsAnErrorAndLeavesNoTemporaryFile) {
    TempDir dir;
    Planes p = planes_of(random_picture(2, 2, 3));
    Status st = write_result_bmp(dir.file("no/such/x.bmp"), "%s_dct.bmp", 2, 2, p.r.data(),
                                 p.g.data(), p.b.data());
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_NE(st.message.find("no/such/x_dct.bmp"), std::string::npos) << st.message;
}

TEST(WriteResult, LinksPlantedUnderTheNextTemporaryNamesAreNeverWrittenThrough) {
    TempDir shared, home;
    const std::vector<std::uint8_t> users(50, 'u');
    write_file(home.file("notes.txt"), users);
    const std::string result = shared.file("x_dct.bmp");
    seed_temporary_names(5);
    std::vector<std::string> planted;
    for (int i = 0; i + 1 < kTemporaryNameAttempts; ++i) {
        planted.push_back(temporary_name(result, next_temporary_draw()));
        ASSERT_EQ(symlink(home.file("notes.txt").c_str(), planted.back().c_str()), 0);
    }
    seed_temporary_names(5);
    TestPicture pic = random_picture(3, 2, 9);
    Planes p = planes_of(pic);
    Status st = write_result_bmp(shared.file("x.bmp"), "%s_dct.bmp", 3, 2, p.r.data(), p.g.data(),
                                 p.b.data());
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_EQ(read_file(result), encode_bmp(pic));
    EXPECT_EQ(read_file(home.file("notes.txt")), users);
    for (const std::string& link : planted) EXPECT_TRUE(std::filesystem::is_symlink(link)) << link;
}

TEST(BmpSize, FitsUpToTwoGibibytes) {
    EXPECT_TRUE(bmp_size_fits(0, 0));
    EXPECT_TRUE(bmp_size_fits(4096, 4096));
    EXPECT_FALSE(bmp_size_fits(-1, 5));
    EXPECT_FALSE(bmp_size_fits(5, -1));
    EXPECT_FALSE(bmp_size_fits(40000, 40000));
    EXPECT_FALSE(bmp_size_fits(0x7FFFFFFF, 1));
}

}  // namespace
