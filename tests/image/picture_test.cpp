#include "image/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/image/plane_checks.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/malformed.h"
#include "tests/support/png_builder.h"
#include "tests/support/temp_dir.h"

namespace {

PngLayout rgb_png(const TestPicture& pic) {
    PngLayout s;
    s.width = pic.width;
    s.height = pic.height;
    for (const Rgb& c : pic.pixels) s.samples.insert(s.samples.end(), {c.r, c.g, c.b});
    return s;
}

std::vector<std::uint8_t> eight_bit_bmp(const TestPicture& pic) {
    // Every pixel its own palette entry.
    BmpKind kind;
    kind.bits = 8;
    kind.palette = pic.pixels;
    kind.colours_used = static_cast<std::uint32_t>(pic.pixels.size());
    std::vector<std::uint32_t> indices;
    for (std::uint32_t i = 0; i < pic.pixels.size(); ++i) indices.push_back(i);
    return assemble_bmp(pic.width, pic.height, kind,
                        pack_bmp_rows(pic.width, pic.height, 8, false, indices));
}

TEST(PictureKind, ToldByTheFirstBytes) {
    const TestPicture pic = random_picture(3, 2, 1);
    const std::vector<std::uint8_t> bmp = encode_bmp(pic), png = encode_png_file(rgb_png(pic));
    EXPECT_EQ(picture_kind(bmp.data(), bmp.size()), PictureKind::bmp);
    EXPECT_EQ(picture_kind(png.data(), png.size()), PictureKind::png);
    const unsigned char jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0};
    EXPECT_EQ(picture_kind(jpeg, 4), PictureKind::jpeg);
    EXPECT_EQ(picture_kind(jpeg, 2), PictureKind::unknown);
    EXPECT_EQ(picture_kind(png.data(), 7), PictureKind::unknown);
    const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a'};
    EXPECT_EQ(picture_kind(gif, 6), PictureKind::unknown);
    EXPECT_EQ(picture_kind(nullptr, 0), PictureKind::unknown);
}

TEST(ReadPicture, EveryKindWhateverItsName) {
    // Each kind under each other's name: the bytes decide.
    const TestPicture pic = demo_picture(13, 9);
    const std::vector<std::uint8_t> files[] = {encode_bmp(pic), eight_bit_bmp(pic),
                                               encode_png_file(rgb_png(pic)),
                                               make_jpeg(pic, JpegLayout{})};
    const TestPicture want[] = {pic, pic, pic, plain_jpeg_samples(files[3])};
    const char* names[] = {"a.jpg", "b.png", "c.bmp", "d.bmp"};
    TempDir dir;
    for (int i = 0; i < 4; ++i) {
        write_file(dir.file(names[i]), files[i]);
        PlanarPicture got;
        Status st = read_picture(dir.file(names[i]), &got);
        ASSERT_TRUE(st.ok()) << names[i] << ": " << st.message;
        EXPECT_TRUE(same_colour_planes(got, expected_planes(want[i]))) << names[i];
        EXPECT_FALSE(got.has_alpha()) << names[i];
    }
}

TEST(ReadPicture, FromDiskGivesTheVerdictOfTheBytesInMemory) {
    // The disk reader takes a plain BMP's header and rows alone and every other file whole;
    // either way its verdict on every malformed file is the one its bytes give in memory.
    TempDir dir;
    const std::string path = dir.file("m.bmp");
    for (const MalformedFile& m : malformed_files()) {
        write_file(path, m.bytes);
        PlanarPicture in_memory, from_disk;
        const Status want = decode_picture(m.bytes.data(), m.bytes.size(), path,
                                           machine_decode_limits(), &in_memory);
        const Status st = read_picture(path, &from_disk);
        EXPECT_EQ(st.code, want.code) << m.name;
        EXPECT_EQ(st.message, want.message) << m.name;
    }
}

TEST(ReadPicture, AFileOfNoKnownKindIsRefusedByName) {
    TempDir dir;
    write_file(dir.file("notes.png"), {'h', 'e', 'l', 'l', 'o', '\n'});
    write_file(dir.file("empty.jpg"), {});
    for (const char* name : {"notes.png", "empty.jpg"}) {
        PlanarPicture got;
        Status st = read_picture(dir.file(name), &got);
        EXPECT_EQ(st.code, StatusCode::wrong_kind);
        EXPECT_TRUE(clear_refusal(st, name, "not a picture the tool reads"));
    }
}

TEST(ReadPicture, MissingFilesAndFoldersAreRefusedByName) {
    TempDir dir;
    PlanarPicture got;
    const std::string none = dir.file("none.png");
    Status missing = read_picture(none, &got);
    EXPECT_EQ(missing.code, StatusCode::cannot_open);
    EXPECT_EQ(missing.message.rfind("cannot open '" + none + "': ", 0), 0u) << missing.message;
    Status folder = read_picture(dir.path(), &got);
    EXPECT_EQ(folder.code, StatusCode::not_a_file);
    EXPECT_EQ(folder.message, "'" + dir.path() + "' is a directory, not a picture");
}

TEST(ReadPicture, AFileLargerThanTheMemoryLimitIsNotRead) {
    TempDir dir;
    write_file(dir.file("big.png"), encode_png_file(rgb_png(random_picture(40, 40, 2))));
    DecodeLimits limits;
    limits.memory_bytes = 1000;
    PlanarPicture got;
    Status st = read_picture(dir.file("big.png"), &got, limits);
    EXPECT_EQ(st.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(st, "big.png", "memory"));
}

// A 24-bit BMP of width x height black pixels, its rows a hole in the file: written in no
// time, whatever its size, and read back as fast as the system gives zeros.
std::string sparse_bmp(const TempDir& dir, const char* name, int width, int height) {
    std::vector<std::uint8_t> head = encode_bmp(random_picture(1, 1, 1));
    const std::uint64_t size =
        54 + bmp_row_stride(static_cast<std::uint64_t>(width)) * static_cast<std::uint64_t>(height);
    put_le32(head, 2, static_cast<std::uint32_t>(size));
    put_le32(head, 18, static_cast<std::uint32_t>(width));
    put_le32(head, 22, static_cast<std::uint32_t>(height));
    head.resize(54);
    const std::string path = dir.file(name);
    write_file(path, head);
    std::filesystem::resize_file(std::filesystem::u8path(path), size);
    return path;
}

// The decompression bombs a user met: small files whose pictures would take gigabytes and
// minutes, each refused by default, before any of that memory or time is taken, with the
// reason. Their times are measured by bench/bombs.sh, for which the test writes them into the
// folder ENLARGE3_BOMB_DIR names, when it is set.
TEST(Bombs, AreRefusedByDefaultWithTheReason) {
    BmpKind rle8;
    rle8.bits = 8;
    rle8.compression = 1;
    rle8.palette = random_picture(2, 1, 3).pixels;
    rle8.colours_used = 2;
    PngLayout zeros;
    zeros.width = 26000;
    zeros.height = 27500;
    zeros.colour_type = 0;
    zeros.bit_depth = 1;
    const struct {
        const char* what;  // and its file's name
        std::vector<std::uint8_t> file;
        const char* says;
    } bombs[] = {
        // Only an end-of-bitmap code: 715 megapixels of transparent black.
        {"rle.bmp", assemble_bmp(26000, 27500, rle8, {0, 1}),
         "26000 x 27500 pixels, more than the 250000000 read by default"},
        // Rows of zeros, deflated: 715 megapixels.
        {"zeros.png", encode_png_file(zeros, zlib_zero_run(27500u * (1 + 26000 / 8)), 1u << 20),
         "26000 x 27500 pixels, more than the 250000000 read by default"},
        // 499 legal scans over 324 megapixels.
        {"scans.jpg", flat_progressive_jpeg(18000, 18000, 499),
         "499 scans that pass over its 18000 x 18000 pixels 499 times"},
    };
    for (const auto& b : bombs) {
        EXPECT_LT(b.file.size(), 1000000u) << b.what;
        PlanarPicture got;
        const Status st =
            decode_picture(b.file.data(), b.file.size(), "bomb", DecodeLimits{}, &got);
        EXPECT_NE(st.code, StatusCode::ok) << b.what;
        EXPECT_TRUE(clear_refusal(st, "bomb", b.says)) << b.what;
        if (const char* dir = std::getenv("ENLARGE3_BOMB_DIR"))
            write_file(std::string(dir) + "/" + b.what, b.file);
    }
    // The JPEG is a legal picture: with few scans, every decoder reads its flat grey.
    const std::vector<std::uint8_t> few = flat_progressive_jpeg(20, 12, 40);
    PlanarPicture flat;
    ASSERT_TRUE(decode_picture(few.data(), few.size(), "few", DecodeLimits{}, &flat).ok());
    EXPECT_TRUE(std::all_of(flat.red.get(), flat.red.get() + 240, [](int v) { return v == 128; }));
}

TEST(SizeLimits, AHundredMegapixelPhotoIsReadByDefault) {
    TempDir dir;
    const std::string path = sparse_bmp(dir, "photo.bmp", 10000, 10000);
    PlanarPicture got;
    const Status st = read_picture(path, &got);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_EQ(got.width, 10000);
    EXPECT_EQ(got.height, 10000);
}

TEST(SizeLimits, APlain24BitBmpIsCheckedBeforeItsRowsAreRead) {
    // 2 GB of rows: held whole they would pass the limit ten times over.
    TempDir dir;
    const std::string path = sparse_bmp(dir, "sparse.bmp", 26000, 26000);
    DecodeLimits limits;
    limits.memory_bytes = 200000000;
    limits.memory_set = true;
    PlanarPicture got;
    const Status st = read_picture(path, &got, limits);
    EXPECT_EQ(st.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(st, "sparse.bmp",
                              "is 26000 x 26000 pixels: reading it needs about 3.8 GiB of memory, "
                              "more than the limit set (ENLARGE3_MEMORY_LIMIT) of 190.7 MiB"));
}

TEST(DecodePicture, GivesTheAlphaPlaneOfATransparentPicture) {
    PngLayout s;
    s.width = 2;
    s.height = 1;
    s.colour_type = 6;
    s.samples = {10, 20, 30, 0, 40, 50, 60, 128};
    const std::vector<std::uint8_t> file = encode_png_file(s);
    PlanarPicture got;
    ASSERT_TRUE(decode_picture(file.data(), file.size(), "t.png", DecodeLimits{}, &got).ok());
    EXPECT_TRUE(same_alpha(got, {0, 128}));
}

TEST(ResultNames, ABmpPathKeepsTheOriginalRule) {
    for (const char* path : {"C:\\pics\\cat.bmp", "/p/cat.BMP", "a.bMp", ".bmp", "/p/\xE7\x8C\xAB.bmp"})
        for (const char* format : {"%s_lanczos3.bmp", "%s_dct.png"})
            EXPECT_EQ(picture_result_name(path, format), result_name(path, format)) << path;
    EXPECT_EQ(picture_result_name("/p/cat.BMP", "%s_hybrid.png"), "/p/cat_hybrid.png");
}

TEST(ResultNames, OtherPathsLoseTheirExtension) {
    EXPECT_EQ(picture_result_name("holiday.jpeg", "%s_lanczos3.png"), "holiday_lanczos3.png");
    EXPECT_EQ(picture_result_name("/photos/holiday.jpeg", "%s_dct.bmp"), "/photos/holiday_dct.bmp");
    EXPECT_EQ(picture_result_name("/p/archive.tar.png", "%s_dct.png"), "/p/archive.tar_dct.png");
    EXPECT_EQ(picture_result_name("/p/\xE5\x86\x99\xE7\x9C\x9F.jpg", "%s_dct.png"),
              "/p/\xE5\x86\x99\xE7\x9C\x9F_dct.png");
    // No dot after the last folder separator: no extension.
    EXPECT_EQ(picture_result_name("/scans.d/page", "%s_hybrid.png"), "/scans.d/page_hybrid.png");
    EXPECT_EQ(picture_result_name("picture", "%s_hybrid.png"), "picture_hybrid.png");
    EXPECT_EQ(picture_result_name("/p/.png", "%s_dct.png"), "/p/_dct.png");
#ifdef _WIN32
    EXPECT_EQ(picture_result_name("C:\\scans.d\\page", "%s_dct.png"), "C:\\scans.d\\page_dct.png");
    EXPECT_EQ(picture_result_name("C:\\pics\\cat.jpeg", "%s_dct.png"), "C:\\pics\\cat_dct.png");
#endif
}

}  // namespace
