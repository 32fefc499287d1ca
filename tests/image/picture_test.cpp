#include "image/picture.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/image/plane_checks.h"
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
