// What the windows draw for a picture of each kind: a plain 24-bit BMP as it is, every other
// picture as the 24-bit rows of its samples, transparency drawn over the window's grey.

#include "app/window_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/png_builder.h"
#include "tests/support/temp_dir.h"

namespace {

FileBytes bytes_of(const std::vector<std::uint8_t>& file) {
    FileBytes b;
    b.data = std::shared_ptr<unsigned char>(new unsigned char[file.size() + 1](),
                                            std::default_delete<unsigned char[]>());
    std::copy(file.begin(), file.end(), b.data.get());
    b.size = file.size();
    b.file_length = file.size();
    return b;
}

// The rows a plain 24-bit BMP of pic stores, which is what every kind must be drawn as.
std::vector<std::uint8_t> plain_rows(const TestPicture& pic) {
    const std::vector<std::uint8_t> file = encode_bmp(pic);
    return std::vector<std::uint8_t>(file.begin() + 54, file.end());
}

std::vector<std::uint8_t> rows_of(const BmpPicture& p) {
    const std::size_t stride = (3 * static_cast<std::size_t>(p.width) + 3) / 4 * 4;
    return std::vector<std::uint8_t>(p.rows(),
                                     p.rows() + stride * static_cast<std::size_t>(p.height));
}

PngLayout png_of(const TestPicture& pic, const std::vector<std::uint8_t>& alpha = {}) {
    PngLayout s;
    s.width = pic.width;
    s.height = pic.height;
    s.colour_type = alpha.empty() ? 2 : 6;
    for (std::size_t i = 0; i < pic.pixels.size(); ++i) {
        const Rgb& c = pic.pixels[i];
        s.samples.insert(s.samples.end(), {c.r, c.g, c.b});
        if (!alpha.empty()) s.samples.push_back(alpha[i]);
    }
    return s;
}

Status show(const std::vector<std::uint8_t>& file, BmpPicture* out, PictureKind* kind = nullptr) {
    return window_picture(bytes_of(file), "/p/pic", DecodeLimits{}, out, kind);
}

TEST(WindowPicture, APlainBmpIsDrawnFromItsOwnBytes) {
    FileBytes file = bytes_of(make_bmp(5, 3, 84));
    const unsigned char* held = file.data.get();
    BmpPicture p;
    PictureKind kind = PictureKind::unknown;
    ASSERT_TRUE(window_picture(file, "/p/a.bmp", DecodeLimits{}, &p, &kind).ok());
    EXPECT_EQ(kind, PictureKind::bmp);
    EXPECT_EQ(p.bytes.get(), held);
    EXPECT_EQ(p.info_header(), held + 14);
    EXPECT_EQ(p.rows(), held + 54 + 84);
    EXPECT_EQ(p.width, 5);
    EXPECT_EQ(p.height, 3);
}

TEST(WindowPicture, EveryOtherKindIsDrawnAsThe24BitRowsOfItsSamples) {
    // Odd widths: every padding of a row.
    for (int width : {1, 2, 3, 4, 7}) {
        const TestPicture pic = random_picture(width, 5, static_cast<std::uint32_t>(width));
        BmpLayout top_down;
        top_down.top_down = true;
        const std::vector<std::uint8_t> jpeg = make_jpeg(pic, JpegLayout{});
        const struct {
            const char* name;
            std::vector<std::uint8_t> file;
            TestPicture want;
            PictureKind kind;
        } cases[] = {
            {"top-down BMP", encode_bmp(pic, top_down), pic, PictureKind::bmp},
            {"PNG", encode_png_file(png_of(pic)), pic, PictureKind::png},
            {"JPEG", jpeg, plain_jpeg_samples(jpeg), PictureKind::jpeg},
        };
        for (const auto& c : cases) {
            BmpPicture p;
            PictureKind kind = PictureKind::unknown;
            const Status st = show(c.file, &p, &kind);
            ASSERT_TRUE(st.ok()) << c.name << ": " << st.message;
            EXPECT_EQ(kind, c.kind) << c.name;
            EXPECT_EQ(p.width, width);
            EXPECT_EQ(p.height, 5);
            // The header the platform's draw call takes: 40 bytes, 24 bits, bottom-up.
            EXPECT_EQ(p.info_header()[0], 40) << c.name;
            EXPECT_EQ(p.info_header()[14], 24) << c.name;
            EXPECT_EQ(rows_of(p), plain_rows(c.want)) << c.name << ", width " << width;
        }
    }
}

TEST(WindowPicture, TransparencyIsDrawnOverTheWindowsGrey) {
    TestPicture pic;
    pic.width = 4;
    pic.height = 1;
    pic.pixels = {{200, 100, 0}, {200, 100, 0}, {200, 100, 0}, {10, 250, 130}};
    BmpPicture p;
    ASSERT_TRUE(show(encode_png_file(png_of(pic, {255, 0, 128, 51})), &p).ok());
    // Blue, green, red per pixel; the grey is 192 in each: c * a / 255 + 192 * (255 - a) / 255,
    // rounded to the nearest.
    const std::vector<std::uint8_t> want = {0,   100, 200,   // opaque: the colour itself
                                            192, 192, 192,   // transparent: the grey
                                            96,  146, 196,   // half: halfway
                                            180, 204, 156};  // a fifth of 130, 250, 10
    EXPECT_EQ(rows_of(p), want);
}

TEST(WindowPicture, ARefusalIsTheReadersLineAndHoldsNothing) {
    BmpPicture p;
    PictureKind kind = PictureKind::png;
    std::vector<std::uint8_t> cut = encode_png_file(png_of(random_picture(6, 5, 2)));
    cut.resize(cut.size() / 2);
    Status st = show(cut, &p, &kind);
    EXPECT_EQ(st.code, StatusCode::short_file);
    EXPECT_NE(st.message.find("'/p/pic'"), std::string::npos) << st.message;
    EXPECT_EQ(p.bytes, nullptr);
    EXPECT_EQ(kind, PictureKind::png);  // untouched
    st = show({'G', 'I', 'F', '8', '9', 'a'}, &p);
    EXPECT_NE(st.message.find("not a picture the tool reads"), std::string::npos) << st.message;
    // Within the limits given: the planes of 40 x 40 pixels need more than 1000 bytes.
    DecodeLimits small;
    small.memory_bytes = 1000;
    st = window_picture(bytes_of(encode_png_file(png_of(random_picture(40, 40, 3)))), "/p/pic",
                        small, &p);
    EXPECT_EQ(st.code, StatusCode::too_large);
}

TEST(LoadWindowPicture, ReadsResultsOfEitherFormatAndRefusesWhatIsNone) {
    TempDir dir;
    const TestPicture pic = random_picture(6, 4, 5);
    write_file(dir.file("r.bmp"), encode_bmp(pic));
    write_file(dir.file("r.png"), encode_png_file(png_of(pic)));
    for (const char* name : {"r.bmp", "r.png"}) {
        BmpPicture p;
        const Status st = load_window_picture(dir.file(name), &p);
        ASSERT_TRUE(st.ok()) << name << ": " << st.message;
        EXPECT_EQ(p.width, 6);
        EXPECT_EQ(p.height, 4);
        EXPECT_EQ(rows_of(p), plain_rows(pic)) << name;
    }
    BmpPicture p;
    write_file(dir.file("half.bmp"), {'B', 'M', 1, 2});
    Status st = load_window_picture(dir.file("half.bmp"), &p);
    EXPECT_FALSE(st.ok());
    EXPECT_NE(st.message.find("half.bmp"), std::string::npos) << st.message;
    st = load_window_picture(dir.file("gone.png"), &p);
    EXPECT_EQ(st.code, StatusCode::cannot_open);
    EXPECT_EQ(p.bytes, nullptr);
}

// The reader of the Qt window and the compare windows, on names a user may drop.
TEST(ReadWholeFile, ReadsNonAsciiAndLongPaths) {
    TempDir dir;
    const std::string long_dir = dir.file(std::string(120, 'd')) + "/" + std::string(120, 'e');
    ASSERT_TRUE(make_folder(dir.file(std::string(120, 'd'))));
    ASSERT_TRUE(make_folder(long_dir));
    for (const std::string& path : {dir.file("写真 ①.bmp"), long_dir + "/写真の名前.bmp"}) {
        const std::vector<unsigned char> bytes = make_bmp(3, 2);
        ASSERT_TRUE(write_file(path, bytes)) << path;
        FileBytes got;
        ASSERT_TRUE(read_whole_file(path, &got)) << path;
        ASSERT_EQ(got.size, bytes.size());
        EXPECT_EQ(got.file_length, bytes.size());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), got.data.get()));
    }
    EXPECT_GT((long_dir + "/写真の名前.bmp").size(), 255u);
}

TEST(ReadWholeFile, CannotReadMissingFilesOrFolders) {
    TempDir dir;
    FileBytes got;
    EXPECT_FALSE(read_whole_file(dir.file("missing.bmp"), &got));
    EXPECT_FALSE(read_whole_file(dir.path(), &got));
    EXPECT_EQ(got.data, nullptr);
    ASSERT_TRUE(write_file(dir.file("empty.bmp"), {}));
    EXPECT_TRUE(read_whole_file(dir.file("empty.bmp"), &got));
    EXPECT_EQ(got.size, 0u);
}

}  // namespace

// Each shown pixel averages the pixels under it, weighted by the area each covers, so that a
// scaled-down preview is smooth; rows keep their order.
TEST(ShrinkPicture, AveragesThePixelsUnderEachShownPixelByArea) {
    auto grey = [](std::initializer_list<std::uint8_t> values, int width) {
        TestPicture p;
        p.width = width;
        p.height = static_cast<int>(values.size()) / width;
        for (std::uint8_t v : values) p.pixels.push_back({v, v, v});
        return p;
    };
    const struct {
        const char* what;
        TestPicture from;
        int width, height;
        std::vector<std::uint8_t> shown;  // top row first
    } cases[] = {
        {"blocks of two by two", grey({0, 40, 200, 100, 80, 120, 0, 60}, 4), 2, 1, {60, 90}},
        {"a pixel shared by two", grey({0, 90, 180}, 3), 2, 1, {30, 150}},
        {"whole pixels between shared ones", grey({0, 50, 100, 150, 200}, 5), 2, 1, {40, 160}},
        {"a row into one pixel", grey({10, 20, 30, 40, 50, 60}, 6), 1, 1, {35}},
        {"a half rounds up", grey({0, 1}, 2), 1, 1, {1}},
        {"a column, top stays on top", grey({10, 20, 30, 40}, 1), 1, 2, {15, 35}},
        {"both ways at once",
         grey({0, 90, 180, 0, 90, 180, 90, 90, 90}, 3),
         2,
         2,
         {30, 150, 70, 110}},
    };
    for (const auto& c : cases) {
        BmpPicture held, shown;
        ASSERT_TRUE(show(encode_bmp(c.from), &held).ok());
        ASSERT_TRUE(shrink_picture(held, c.width, c.height, &shown)) << c.what;
        const TestPicture got = decode_result_bmp(std::vector<std::uint8_t>(
            shown.bytes.get(), shown.bytes.get() + 54 + rows_of(shown).size()));
        std::vector<std::uint8_t> values;
        for (const Rgb& px : got.pixels) {
            EXPECT_TRUE(px.r == px.g && px.g == px.b) << c.what;
            values.push_back(px.r);
        }
        EXPECT_EQ(values, c.shown) << c.what;
    }
    // Colours stay apart, and a flat picture stays flat at any scale.
    TestPicture flat;
    flat.width = 7;
    flat.height = 5;
    flat.pixels.assign(35, Rgb{200, 77, 3});
    BmpPicture held, shown;
    ASSERT_TRUE(show(encode_bmp(flat), &held).ok());
    ASSERT_TRUE(shrink_picture(held, 3, 2, &shown));
    for (const Rgb& px :
         decode_result_bmp(std::vector<std::uint8_t>(
                               shown.bytes.get(), shown.bytes.get() + 54 + rows_of(shown).size()))
             .pixels)
        EXPECT_EQ(std::tie(px.r, px.g, px.b), std::make_tuple(200, 77, 3));
    // Never larger than the picture.
    EXPECT_FALSE(shrink_picture(held, 8, 5, &shown));
}
