#include "image/bmp_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/picture.h"
#include "tests/image/plane_checks.h"
#include "tests/support/temp_dir.h"

namespace {

Status decode(const std::vector<std::uint8_t>& bytes, PlanarPicture* out,
              const DecodeLimits& limits = DecodeLimits{}, const std::string& name = "pic.bmp") {
    return decode_bmp(bytes.data(), bytes.size(), name, limits, out);
}

// Decodes bytes held in memory and again from a file on disk, which reads a plain picture by
// its header and rows alone: both must give the same verdict in the same words and the same
// planes. Gives the verdict in memory.
Status decode_both_ways(const std::vector<std::uint8_t>& bytes, PlanarPicture* out) {
    TempDir dir;
    const std::string path = dir.file("pic.bmp");
    write_file(path, bytes);
    const DecodeLimits limits = machine_decode_limits();
    const Status in_memory = decode(bytes, out, limits, path);
    PlanarPicture from_disk;
    const Status read = read_picture(path, &from_disk, limits);
    EXPECT_EQ(read.code, in_memory.code);
    EXPECT_EQ(read.message, in_memory.message);
    if (in_memory.ok() && read.ok()) {
        EXPECT_TRUE(same_colour_planes(from_disk, *out));
        EXPECT_EQ(from_disk.has_alpha(), out->has_alpha());
    }
    return in_memory;
}

std::vector<Rgb> random_palette(std::size_t count, std::uint32_t seed) {
    TestPicture p = random_picture(static_cast<int>(count), 1, seed);
    return p.pixels;
}

// A picture of palette colours with random indices below count.
struct Indexed {
    TestPicture pic;
    std::vector<std::uint32_t> indices;
};

Indexed random_indexed(int width, int height, const std::vector<Rgb>& palette,
                       std::uint32_t seed) {
    Indexed out;
    out.pic.width = width;
    out.pic.height = height;
    std::mt19937 rng(seed);
    for (int i = 0; i < width * height; ++i) {
        const auto index = static_cast<std::uint32_t>(rng() % palette.size());
        out.indices.push_back(index);
        out.pic.pixels.push_back(palette[index]);
    }
    return out;
}

TEST(DecodeBmp, PaletteKindsOfEveryWidthClassAndDirection) {
    for (int bits : {1, 4, 8}) {
        for (int width : {1, 2, 3, 4, 5, 7, 8, 9, 33}) {
            for (bool top_down : {false, true}) {
                BmpKind kind;
                kind.bits = static_cast<std::uint16_t>(bits);
                kind.top_down = top_down;
                // An 8-bit picture may name fewer colours than it could.
                kind.palette = random_palette(bits == 8 ? 200 : 1u << bits, 7u * bits);
                kind.colours_used = bits == 8 ? 200 : 0;
                Indexed in = random_indexed(width, 3, kind.palette, 31u * width);
                PlanarPicture got;
                Status st = decode(
                    assemble_bmp(width, 3, kind, pack_bmp_rows(width, 3, bits, top_down, in.indices)),
                    &got);
                ASSERT_TRUE(st.ok()) << st.message;
                EXPECT_TRUE(same_colour_planes(got, expected_planes(in.pic)))
                    << bits << " bits, width " << width << (top_down ? ", top-down" : "");
                EXPECT_TRUE(same_alpha(got, {}));
            }
        }
    }
}

// Expands a field of a pixel value to 8 bits by the nearest value, in floating point.
std::uint8_t nearest_8(std::uint32_t value, std::uint32_t mask) {
    int shift = 0;
    while (!(mask >> shift & 1u)) ++shift;
    const double max = static_cast<double>(mask >> shift);
    return static_cast<std::uint8_t>(std::lround(static_cast<double>((value & mask) >> shift) * 255.0 / max));
}

struct MaskCase {
    const char* name;
    std::uint16_t bits;
    std::uint32_t compression;
    std::uint32_t info_size;
    std::vector<std::uint32_t> masks;  // what the file holds; empty for the fixed layouts
    std::vector<std::uint32_t> fields;  // red, green, blue and perhaps alpha as decoded
};

void PrintTo(const MaskCase& c, std::ostream* os) { *os << c.name; }

class DecodeBmpMasks : public ::testing::TestWithParam<MaskCase> {};

TEST_P(DecodeBmpMasks, FieldsBecomeTheNearest8BitSamples) {
    const MaskCase& c = GetParam();
    BmpKind kind;
    kind.bits = c.bits;
    kind.compression = c.compression;
    kind.info_size = c.info_size;
    kind.masks = c.masks;
    const int width = 7, height = 4;
    std::mt19937 rng(c.bits * 1000u + c.info_size);
    std::vector<std::uint32_t> values;
    TestPicture want;
    want.width = width;
    want.height = height;
    std::vector<std::uint8_t> alpha;
    for (int i = 0; i < width * height; ++i) {
        // Every bit random, the unused ones too: they must not reach any sample.
        std::uint32_t v = static_cast<std::uint32_t>(rng());
        if (c.bits == 16) v &= 0xFFFFu;
        values.push_back(v);
        want.pixels.push_back({nearest_8(v, c.fields[0]), nearest_8(v, c.fields[1]),
                               nearest_8(v, c.fields[2])});
        if (c.fields.size() == 4) alpha.push_back(nearest_8(v, c.fields[3]));
    }
    PlanarPicture got;
    Status st = decode(
        assemble_bmp(width, height, kind, pack_bmp_rows(width, height, c.bits, false, values)), &got);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_TRUE(same_colour_planes(got, expected_planes(want)));
    EXPECT_TRUE(same_alpha(got, alpha));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DecodeBmpMasks,
    ::testing::Values(
        MaskCase{"Plain16Is555", 16, 0, 40, {}, {0x7C00, 0x03E0, 0x001F}},
        MaskCase{"BitFields565", 16, 3, 40, {0xF800, 0x07E0, 0x001F}, {0xF800, 0x07E0, 0x001F}},
        MaskCase{"BitFields565InV3Header", 16, 3, 56, {0xF800, 0x07E0, 0x001F, 0},
                 {0xF800, 0x07E0, 0x001F}},
        MaskCase{"Argb4444InV5Header", 16, 3, 124, {0x0F00, 0x00F0, 0x000F, 0xF000},
                 {0x0F00, 0x00F0, 0x000F, 0xF000}},
        MaskCase{"Plain32IgnoresTheFourthByte", 32, 0, 40, {}, {0xFF0000, 0xFF00, 0xFF}},
        MaskCase{"Plain32InV5HeaderIgnoresItsAlphaMask", 32, 0, 124,
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {0xFF0000, 0xFF00, 0xFF}},
        MaskCase{"BitFields32Rgb", 32, 3, 40, {0xFF, 0xFF00, 0xFF0000}, {0xFF, 0xFF00, 0xFF0000}},
        MaskCase{"BitFields32WithAlphaInV4Header", 32, 3, 108,
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
        MaskCase{"AlphaBitFieldsAfterA40ByteHeader", 32, 6, 40,
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
        MaskCase{"TenBitFieldsAndTwoBitAlpha", 32, 3, 124,
                 {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
                 {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}}),
    [](const auto& p) { return std::string(p.param.name); });

// All 255, or all 0 as programs write that name an alpha channel they never fill: opaque both.
TEST(DecodeBmp, AlphaMaskAllOpaqueOrAllClearGivesNoAlphaPlane) {
    BmpKind kind;
    kind.bits = 32;
    kind.compression = 3;
    kind.info_size = 124;
    kind.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    TestPicture pic = random_picture(3, 2, 8);
    for (const std::uint32_t alpha : {0xFF000000u, 0u}) {
        std::vector<std::uint32_t> values;
        for (const Rgb& c : pic.pixels)
            values.push_back(alpha | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
        PlanarPicture got;
        ASSERT_TRUE(
            decode(assemble_bmp(3, 2, kind, pack_bmp_rows(3, 2, 32, false, values)), &got).ok());
        EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)));
        EXPECT_TRUE(same_alpha(got, {})) << alpha;
    }
}

TEST(DecodeBmp, EveryHeaderSizeFrom40Up) {
    for (std::uint32_t info : {40u, 52u, 56u, 64u, 108u, 124u, 200u}) {
        BmpKind kind;
        kind.info_size = info;
        kind.bits = 8;
        kind.palette = random_palette(256, info);
        Indexed in = random_indexed(5, 3, kind.palette, info);
        PlanarPicture got;
        Status st = decode(assemble_bmp(5, 3, kind, pack_bmp_rows(5, 3, 8, false, in.indices)), &got);
        ASSERT_TRUE(st.ok()) << info << ": " << st.message;
        EXPECT_TRUE(same_colour_planes(got, expected_planes(in.pic))) << info;
    }
}

TEST(DecodeBmp, TopDown24BitRows) {
    TestPicture pic = random_picture(5, 4, 9);
    BmpLayout layout;
    layout.top_down = true;
    PlanarPicture got;
    ASSERT_TRUE(decode(encode_bmp(pic, layout), &got).ok());
    EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)));
}

// The plain kind from explicit bytes: stored first the bottom row A, B, then the top row C, D,
// each padded to 8 bytes with bytes that must not reach a plane.
TEST(DecodeBmp, PlainTwoByTwoGoesColumnMajorFromTheTop) {
    std::vector<std::uint8_t> bytes = encode_bmp(random_picture(2, 2, 1));
    const std::uint8_t rows[16] = {1, 11, 21, 2, 12, 22, 0xAB, 0xAB,   // A, B: blue, green, red
                                   3, 13, 23, 4, 14, 24, 0xAB, 0xAB};  // C, D
    std::copy(rows, rows + 16, bytes.begin() + 54);
    PlanarPicture got;
    ASSERT_TRUE(decode_both_ways(bytes, &got).ok());
    // Column 0 top then bottom (C, A), then column 1 (D, B).
    EXPECT_EQ(std::vector<int>(got.blue.get(), got.blue.get() + 4), (std::vector<int>{3, 1, 4, 2}));
    EXPECT_EQ(std::vector<int>(got.green.get(), got.green.get() + 4),
              (std::vector<int>{13, 11, 14, 12}));
    EXPECT_EQ(std::vector<int>(got.red.get(), got.red.get() + 4),
              (std::vector<int>{23, 21, 24, 22}));
}

// Every padding of a row, in pictures of more than one group of rows: after the 54-byte
// header, after a larger header and a gap at the pixel offset, and with bytes after the size
// field's end, which are ignored. Padding bytes that are not zero must never reach a plane.
TEST(DecodeBmp, PlainKindOfEveryPaddingOffsetAndLength) {
    const struct {
        const char* what;
        std::uint32_t info_size, pixel_offset;
        std::size_t trailing;
    } cases[] = {{"plain", 40, 54, 0}, {"offset", 108, 14 + 108 + 6, 0}, {"trailing", 40, 54, 500}};
    for (int w : {1, 2, 3, 4, 5, 17}) {
        for (const auto& c : cases) {
            const TestPicture pic = random_picture(w, 40, static_cast<std::uint32_t>(100 + w));
            BmpLayout layout;
            layout.padding_byte = 0xAB;
            layout.info_size = c.info_size;
            layout.pixel_offset = c.pixel_offset;
            std::vector<std::uint8_t> bytes = encode_bmp(pic, layout);
            bytes.insert(bytes.end(), c.trailing, 0x55);
            PlanarPicture got;
            const Status st = decode_both_ways(bytes, &got);
            ASSERT_TRUE(st.ok()) << st.message;
            EXPECT_TRUE(same_colour_planes(got, expected_planes(pic))) << c.what << ", width " << w;
            EXPECT_TRUE(same_alpha(got, {}));
        }
    }
}

// A picture of palette indices, row-major from the top; -1 marks a pixel no run draws.
TestPicture from_indices(int width, int height, const std::vector<int>& indices,
                         const std::vector<Rgb>& palette, std::vector<std::uint8_t>* alpha) {
    TestPicture pic;
    pic.width = width;
    pic.height = height;
    bool any_skipped = false;
    for (int i : indices) {
        pic.pixels.push_back(palette[i < 0 ? 0 : static_cast<std::size_t>(i)]);
        alpha->push_back(i < 0 ? 0 : 255);
        any_skipped = any_skipped || i < 0;
    }
    if (!any_skipped) alpha->clear();
    return pic;
}

struct RleCase {
    const char* name;
    std::uint16_t bits;
    int width, height;
    std::vector<std::uint8_t> data;
    std::vector<int> want;  // row-major from the top
    std::uint32_t info_size = 40;
};

void PrintTo(const RleCase& c, std::ostream* os) { *os << c.name; }

class DecodeBmpRle : public ::testing::TestWithParam<RleCase> {};

TEST_P(DecodeBmpRle, DrawsItsRuns) {
    const RleCase& c = GetParam();
    BmpKind kind;
    kind.info_size = c.info_size;
    kind.bits = c.bits;
    kind.compression = c.bits == 8 ? 1 : 2;
    kind.palette = random_palette(16, 3);
    kind.colours_used = 16;
    kind.image_size = static_cast<std::uint32_t>(c.data.size());
    std::vector<std::uint8_t> alpha;
    TestPicture want = from_indices(c.width, c.height, c.want, kind.palette, &alpha);
    PlanarPicture got;
    Status st = decode(assemble_bmp(c.width, c.height, kind, c.data), &got);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_TRUE(same_colour_planes(got, expected_planes(want)));
    EXPECT_TRUE(same_alpha(got, alpha));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DecodeBmpRle,
    ::testing::Values(
        // Bottom row first: a run, a literal run of three padded to four bytes, end of line;
        // a full run; a literal run of four (no padding), a run, end of picture.
        RleCase{"Rle8RunsAndLiterals",
                8,
                5,
                3,
                {2, 1, 0, 3, 2, 3, 2, 0, 0, 0,  //
                 5, 3, 0, 0,                    //
                 0, 4, 0, 1, 2, 3, 1, 2, 0, 1},
                {0, 1, 2, 3, 2,  //
                 3, 3, 3, 3, 3,  //
                 1, 1, 2, 3, 2}},
        // A move right 2 and up 1 and an early end leave pixels undrawn: transparent.
        RleCase{"Rle8DeltaAndEarlyEndLeaveHoles",
                8,
                4,
                3,
                {1, 1, 0, 2, 2, 1, 1, 2, 0, 1},
                {-1, -1, -1, -1,  //
                 -1, -1, -1, 2,   //
                 1, -1, -1, -1}},
        // Runs past the right edge are dropped, not carried into the next row; the data may
        // end after the last row's end of line.
        RleCase{"Rle8RunsPastTheEdgeAreDropped",
                8,
                2,
                2,
                {4, 1, 0, 0, 0, 3, 2, 3, 4, 0, 0, 0},
                {2, 3,  //
                 1, 1}},
        // Nibbles alternate within a run; a literal run of 3 nibbles takes 2 bytes, one of 5
        // takes 3 bytes and a pad byte.
        RleCase{"Rle4RunsAndLiterals",
                4,
                5,
                3,
                {5, 0x12, 0,    0,                       //
                 0, 3,    0x30, 0x20, 2,    0x31, 0, 0,  //
                 0, 5,    0x01, 0x23, 0x40, 0,    0, 1},
                {0, 1, 2, 3, 4,  //
                 3, 0, 2, 3, 1,  //
                 1, 2, 1, 2, 1}},
        // The same codes under an OS/2 2.x header.
        RleCase{"Rle8InAnOs2Header",
                8,
                4,
                2,
                {0, 3, 5, 6, 7, 0, 1, 8, 0, 0, 4, 9, 0, 1},
                {9, 9, 9, 9,  //
                 5, 6, 7, 8},
                64}),
    [](const auto& p) { return std::string(p.param.name); });

// OS/2's 24-bit run-length coding: runs of a blue, green, red pixel, literal runs of 3 bytes a
// pixel padded to an even count, and the escapes of RLE8.
TEST(DecodeBmp, Os2Rle24RunsAndLiterals) {
    const std::vector<Rgb> palette = random_palette(4, 24);
    auto bgr = [&palette](std::vector<std::uint8_t>* out, int i) {
        const Rgb& c = palette[static_cast<std::size_t>(i)];
        out->insert(out->end(), {c.b, c.g, c.r});
    };
    // Bottom row: a run of three, then a literal run of three of which two are past the edge
    // (9 bytes, padded to 10), end of line. Top row: move right 1, a run of two, end.
    std::vector<std::uint8_t> data = {3};
    bgr(&data, 1);
    data.insert(data.end(), {0, 3});
    for (int i : {2, 3, 0}) bgr(&data, i);
    data.insert(data.end(), {0, 0, 0, 0, 2, 1, 0, 2});
    bgr(&data, 3);
    data.insert(data.end(), {0, 1});
    BmpKind kind;
    kind.info_size = 64;
    kind.compression = 4;
    std::vector<std::uint8_t> alpha;
    const TestPicture want = from_indices(4, 2, {-1, 3, 3, -1, 1, 1, 1, 2}, palette, &alpha);
    PlanarPicture got;
    const Status st = decode_both_ways(assemble_bmp(4, 2, kind, data), &got);
    ASSERT_TRUE(st.ok()) << st.message;
    // Undrawn pixels are transparent black.
    TestPicture black = want;
    black.pixels[0] = black.pixels[3] = {0, 0, 0};
    EXPECT_TRUE(same_colour_planes(got, expected_planes(black)));
    EXPECT_TRUE(same_alpha(got, alpha));
}

struct Os2Case {
    const char* name;
    std::uint32_t info_size;
    std::uint16_t bits;
    std::size_t colours;  // the palette's entries; 0 for 24 bits
};

void PrintTo(const Os2Case& c, std::ostream* os) {
    *os << c.name;
}

class DecodeBmpOs2 : public ::testing::TestWithParam<Os2Case> {};

// Each OS/2 kind gives the planes of the same picture given as a plain 24-bit BMP, in memory
// and from disk.
TEST_P(DecodeBmpOs2, GivesThePlanesOfTheSamePictureAs24BitBmp) {
    const Os2Case& c = GetParam();
    for (int width : {1, 5, 9}) {
        BmpKind kind;
        kind.info_size = c.info_size;
        kind.bits = c.bits;
        TestPicture pic;
        std::vector<std::uint32_t> values;
        if (c.bits == 24) {
            pic = random_picture(width, 3, c.info_size);
            for (const Rgb& p : pic.pixels)
                values.push_back(std::uint32_t{p.r} << 16 | std::uint32_t{p.g} << 8 | p.b);
        } else {
            kind.palette = random_palette(c.colours, c.bits);
            Indexed in = random_indexed(width, 3, kind.palette, c.info_size + c.bits);
            pic = in.pic;
            values = in.indices;
        }
        PlanarPicture got, as_24_bit;
        Status st = decode_both_ways(
            assemble_bmp(width, 3, kind, pack_bmp_rows(width, 3, c.bits, false, values)), &got);
        ASSERT_TRUE(st.ok()) << st.message;
        ASSERT_TRUE(decode(encode_bmp(pic), &as_24_bit).ok());
        EXPECT_TRUE(same_colour_planes(got, as_24_bit)) << "width " << width;
        EXPECT_FALSE(got.has_alpha());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DecodeBmpOs2,
    ::testing::Values(Os2Case{"Core1", 12, 1, 2}, Os2Case{"Core4", 12, 4, 16},
                      Os2Case{"Core8", 12, 8, 256}, Os2Case{"Core24", 12, 24, 0},
                      // No colours-used field: the pixel offset says the palette is short.
                      Os2Case{"CoreShortPalette", 12, 8, 20},
                      Os2Case{"Os2Of16BytesShortPalette", 16, 4, 5},
                      Os2Case{"Os2Of16Bytes24", 16, 24, 0}, Os2Case{"Os2Of24Bytes1", 24, 1, 2},
                      Os2Case{"Os2Of64Bytes8", 64, 8, 256}),
    [](const auto& p) { return std::string(p.param.name); });

// Writers often leave the size fields wrong. Every kind but the plain one is read whatever
// they say when the pixels are in the file; the plain kind too when its file size field is
// too small for its rows (not when it is larger than the file: "InputFileSizeError!!!").
TEST(DecodeBmp, SizeFieldsNeedNotBeRightWhenThePixelsAreThere) {
    const TestPicture pic = random_picture(4, 3, 9);
    const std::vector<std::uint8_t> plain = encode_bmp(pic);
    BmpKind eight;
    eight.bits = 8;
    eight.palette = random_palette(256, 8);
    const Indexed in = random_indexed(4, 3, eight.palette, 8);
    const std::vector<std::uint8_t> good8 =
        assemble_bmp(4, 3, eight, pack_bmp_rows(4, 3, 8, false, in.indices));
    BmpKind rle = eight;
    rle.compression = 1;
    // Four runs of one colour each, a row apiece but the last, then the end.
    const std::vector<std::uint8_t> runs = {4, 7, 0, 0, 4, 8, 0, 0, 4, 9, 0, 1};
    TestPicture rle_pic;
    rle_pic.width = 4;
    rle_pic.height = 3;
    for (int i : {9, 8, 7})
        for (int x = 0; x < 4; ++x)
            rle_pic.pixels.push_back(eight.palette[static_cast<std::size_t>(i)]);
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        TestPicture want;
        std::size_t size_at;  // the field changed
        std::uint32_t value;
    } cases[] = {
        {"plain, file size 0", plain, pic, 2, 0},
        {"plain, file size below the header", plain, pic, 2, 20},
        {"plain, file size negative", plain, pic, 2, 0x80000000u},
        {"plain, file size one byte short of the rows", plain, pic, 2, 89},
        {"8-bit, file size 0", good8, in.pic, 2, 0},
        {"8-bit, file size one byte short", good8, in.pic, 2, 1089},
        {"8-bit, file size past the end", good8, in.pic, 2, 5000},
        {"8-bit, image size wrong", good8, in.pic, 34, 3},
        {"run-length, image size past the end", assemble_bmp(4, 3, rle, runs), rle_pic, 34, 100},
        {"run-length, image size short of the data", assemble_bmp(4, 3, rle, runs), rle_pic, 34, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = c.bytes;
        put_le32(bytes, c.size_at, c.value);
        PlanarPicture got;
        const Status st = decode_both_ways(bytes, &got);
        ASSERT_TRUE(st.ok()) << c.what << ": " << st.message;
        EXPECT_TRUE(same_colour_planes(got, expected_planes(c.want))) << c.what;
    }
}

BmpKind palette_kind(std::uint16_t bits, std::size_t colours) {
    BmpKind kind;
    kind.bits = bits;
    kind.palette = random_palette(colours, bits);
    if (colours < (1u << bits)) kind.colours_used = static_cast<std::uint32_t>(colours);
    return kind;
}

BmpKind mask_kind(std::uint16_t bits, std::vector<std::uint32_t> masks) {
    BmpKind kind;
    kind.bits = bits;
    kind.compression = 3;
    kind.masks = std::move(masks);
    return kind;
}

// A BMP the reader must refuse: the status code and the message, or a part of it.
struct BmpRefusal {
    const char* name;  // the test's name
    StatusCode code;
    const char* says;
    bool whole;  // says is all of the message, %s standing for the file's name
    std::vector<std::uint8_t> bytes;
};

void PrintTo(const BmpRefusal& c, std::ostream* os) {
    *os << c.name;
}

std::vector<BmpRefusal> bad_bmps() {
    std::vector<BmpRefusal> cases;
    // The plain kind's refusals word for word, %s for the file's name: they must not change.
    const std::vector<std::uint8_t> plain = encode_bmp(random_picture(4, 3, 9));  // 90 bytes
    auto exactly = [&cases](const char* name, StatusCode code, const char* message,
                            std::vector<std::uint8_t> bytes) {
        cases.push_back({name, code, message, true, std::move(bytes)});
    };
    auto plain_with = [&plain](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = plain;
        put_le32(b, at, value);
        return b;
    };
    exactly("PlainEmpty", StatusCode::wrong_kind, "'%s' is not a BMP picture", {});
    exactly("PlainPngSignature", StatusCode::wrong_kind, "'%s' is not a BMP picture",
            {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13});
    exactly("PlainHeaderCutAt30", StatusCode::wrong_kind,
            "'%s' is too short to be a BMP picture (header cut off)",
            std::vector<std::uint8_t>(plain.begin(), plain.begin() + 30));
    exactly("PlainZeroWidth", StatusCode::bad_header, "'%s' has an invalid size of 0 x 3 pixels",
            plain_with(18, 0));
    exactly("PlainNegativeWidth", StatusCode::bad_header,
            "'%s' has an invalid size of -2 x 3 pixels", plain_with(18, 0xFFFFFFFEu));
    exactly("PlainZeroHeight", StatusCode::bad_header, "'%s' has an invalid size of 4 x 0 pixels",
            plain_with(22, 0));
    std::vector<std::uint8_t> square = plain_with(18, 0x10000);
    put_le32(square, 22, 0x10000);  // 2^32 pixels: past 32 bits
    exactly("PlainSamplesPast32Bits", StatusCode::bad_header,
            "'%s' is too small for its 65536 x 65536 pixels (size field 90 bytes)", square);
    std::vector<std::uint8_t> largest = plain_with(18, 0x7FFFFFFF);
    put_le32(largest, 22, 0x7FFFFFFF);
    exactly("PlainLargestSides", StatusCode::bad_header,
            "'%s' is too small for its 2147483647 x 2147483647 pixels (size field 90 bytes)",
            largest);
    // A size field too small for the rows is read past when the rows are all in the file
    // (SizeFieldsNeedNotBeRight); here they are not.
    std::vector<std::uint8_t> small_field_cut = plain_with(2, 20);
    small_field_cut.pop_back();
    exactly("PlainRowsPastASmallSizeFieldAndTheFile", StatusCode::bad_header,
            "'%s' is too small for its 4 x 3 pixels (a file of 89 bytes)", small_field_cut);
    exactly("PlainSizeFieldBeyondTheFile", StatusCode::short_file,
            "InputFileSizeError!!!\n'%s' is cut short: it has 90 of the 91 bytes its size field "
            "gives (1 missing)",
            plain_with(2, 91));
    exactly("PlainPixelsCutByOneByte", StatusCode::short_file,
            "InputFileSizeError!!!\n'%s' is cut short: it has 89 of the 90 bytes its size field "
            "gives (1 missing)",
            std::vector<std::uint8_t>(plain.begin(), plain.end() - 1));
    exactly("PlainPixelOffsetPastTheEnd", StatusCode::bad_header,
            "'%s' has its pixel data at offset 100000, outside the picture's 90 bytes",
            plain_with(10, 100000));
    exactly("PlainPixelOffsetInsideTheHeader", StatusCode::bad_header,
            "'%s' has its pixel data at offset 20, inside its 54-byte header", plain_with(10, 20));

    // Every other kind: a part of the message names the fault.
    auto add = [&cases](const char* name, StatusCode code, const char* says,
                        std::vector<std::uint8_t> bytes) {
        cases.push_back({name, code, says, false, std::move(bytes)});
    };
    auto zeros = [](int w, int h, int bits) {
        return pack_bmp_rows(w, h, bits, false,
                             std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), 0));
    };
    const BmpKind eight = palette_kind(8, 256);
    const std::vector<std::uint8_t> good8 = assemble_bmp(4, 3, eight, zeros(4, 3, 8));
    auto with = [](std::vector<std::uint8_t> b, auto change) {
        change(b);
        return b;
    };

    BmpKind core16 = mask_kind(16, {});
    core16.compression = 0;
    core16.info_size = 12;
    add("CoreHeaderOf16Bits", StatusCode::unsupported, "OS/2 core BMP pictures of 1, 4, 8 and 24",
        assemble_bmp(4, 3, core16, zeros(4, 3, 16)));
    std::vector<std::uint8_t> core_cut = assemble_bmp(4, 3, palette_kind(1, 2), zeros(4, 3, 1));
    put_le32(core_cut, 14, 12);
    core_cut.resize(22);
    add("CutInsideCoreHeader", StatusCode::short_file, "cut short inside its 12-byte BMP header",
        core_cut);
    BmpKind thirteen = eight;
    thirteen.info_size = 13;
    add("HeaderOf13Bytes", StatusCode::bad_header, "header of 13 bytes, a size no BMP kind has",
        assemble_bmp(4, 3, thirteen, zeros(4, 3, 8)));
    BmpKind v5 = eight;
    v5.info_size = 124;
    std::vector<std::uint8_t> cut_header = assemble_bmp(4, 3, v5, zeros(4, 3, 8));
    cut_header.resize(100);
    add("CutInsideHeader", StatusCode::short_file, "cut short", cut_header);
    add("PixelsCutShort", StatusCode::short_file,
        "cut short: its 4 x 3 pixels need 12 bytes from offset 1078, and the file has 11 (1 "
        "missing)",
        std::vector<std::uint8_t>(good8.begin(), good8.end() - 1));
    add("PixelsInsidePalette", StatusCode::bad_header,
        "has a palette of 256 colours, to byte 1078, that runs into its pixel data at offset 454",
        with(good8, [](auto& b) { put_le32(b, 10, 54 + 4 * 100); }));
    add("PixelsInsideHeader", StatusCode::bad_header, "at offset 30, inside its 54-byte header",
        with(good8, [](auto& b) { put_le32(b, 10, 30); }));
    add("PixelsPastTheEnd", StatusCode::bad_header, "at offset 1091, past the end of its 1090",
        with(good8, [](auto& b) { put_le32(b, 10, get_le32(b, 2) + 1); }));
    BmpKind few = palette_kind(8, 4);
    few.colours_used = 4;
    add("IndexBeyondPalette", StatusCode::bad_header, "colour 4 of a palette of 4",
        assemble_bmp(2, 1, few, pack_bmp_rows(2, 1, 8, false, {3, 4})));
    BmpKind many = palette_kind(4, 17);
    many.colours_used = 17;
    add("MoreColoursThanBitsCanChoose", StatusCode::bad_header, "17 colours",
        assemble_bmp(4, 3, many, zeros(4, 3, 4)));
    std::vector<std::uint8_t> no_masks =
        assemble_bmp(2, 2, mask_kind(16, {0xF800, 0x07E0, 0x001F}), {});
    no_masks.resize(14 + 40 + 7);  // the masks that follow the header, cut short
    put_le32(no_masks, 2, static_cast<std::uint32_t>(no_masks.size()));
    add("CutInsideMasks", StatusCode::short_file, "masks", no_masks);
    add("MaskWithAHole", StatusCode::bad_header, "red mask",
        assemble_bmp(2, 2, mask_kind(16, {0xF00F, 0x07E0, 0x0010}), zeros(2, 2, 16)));
    add("ZeroGreenMask", StatusCode::bad_header, "green mask",
        assemble_bmp(2, 2, mask_kind(16, {0xF800, 0, 0x001F}), zeros(2, 2, 16)));
    add("MaskBeyond16Bits", StatusCode::bad_header, "red mask",
        assemble_bmp(2, 2, mask_kind(16, {0x1F0000, 0x07E0, 0x001F}), zeros(2, 2, 16)));
    add("OverlappingMasks", StatusCode::bad_header, "overlapping red and green",
        assemble_bmp(2, 2, mask_kind(32, {0xFFFF00, 0xFF00, 0xFF}), zeros(2, 2, 32)));
    BmpKind masks24 = mask_kind(24, {0xFF0000, 0xFF00, 0xFF});
    add("MasksWith24Bits", StatusCode::bad_header, "16 or 32 bits",
        assemble_bmp(2, 2, masks24, zeros(2, 2, 24)));
    BmpKind two = palette_kind(2, 4);
    add("TwoBitsPerPixel", StatusCode::unsupported, "2 bits per pixel",
        assemble_bmp(2, 2, two, zeros(2, 2, 2)));
    for (std::uint32_t code : {4u, 5u, 7u}) {
        BmpKind k = eight;
        k.compression = code;
        add(code == 4   ? "EmbeddedJpeg"
            : code == 5 ? "EmbeddedPng"
                        : "Compression7",
            StatusCode::unsupported,
            code == 4   ? "JPEG"
            : code == 5 ? "PNG"
                        : "compression 7",
            assemble_bmp(4, 3, k, zeros(4, 3, 8)));
    }
    BmpKind os2 = palette_kind(1, 2);
    os2.info_size = 64;
    os2.compression = 3;
    add("Os2Huffman", StatusCode::unsupported, "OS/2 Huffman",
        assemble_bmp(8, 1, os2, zeros(8, 1, 1)));
    BmpKind rle8 = palette_kind(8, 16);
    rle8.compression = 1;
    BmpKind rle_bits = rle8;
    rle_bits.bits = 4;
    add("Rle8With4Bits", StatusCode::bad_header, "8-bit pixels but has 4",
        assemble_bmp(2, 2, rle_bits, {0, 1}));
    BmpKind rle_top = rle8;
    rle_top.top_down = true;
    add("RleTopDown", StatusCode::bad_header, "top-down", assemble_bmp(2, 2, rle_top, {0, 1}));
    add("RleEndsInsideThePicture", StatusCode::short_file, "run-length data ends",
        assemble_bmp(2, 2, rle8, {2, 1, 0, 0, 1, 1}));
    add("RleCutInsideALiteralRun", StatusCode::short_file, "run-length data ends",
        assemble_bmp(8, 1, rle8, {0, 5, 1, 2, 3}));
    add("RleCutInsideAMove", StatusCode::short_file, "run-length data ends",
        assemble_bmp(8, 2, rle8, {0, 2, 1}));
    add("RleIndexBeyondPalette", StatusCode::bad_header, "colour 16 of a palette of 16",
        assemble_bmp(2, 1, rle8, {1, 3, 1, 16, 0, 1}));
    BmpKind rle24 = palette_kind(8, 0);
    rle24.info_size = 64;
    rle24.compression = 4;
    add("Rle24With8Bits", StatusCode::bad_header, "24-bit pixels but has 8",
        assemble_bmp(2, 1, rle24, {2, 1, 0, 1}));
    add("HugeRleClaim", StatusCode::too_large, "100000 x 100000",
        assemble_bmp(100000, 100000, rle8, {0, 1}));
    BmpKind top = eight;
    top.top_down = true;
    add("ZeroWidthTopDown", StatusCode::bad_header, "invalid size",
        with(assemble_bmp(4, 3, top, zeros(4, 3, 8)), [](auto& b) { put_le32(b, 18, 0); }));
    add("LowestHeight", StatusCode::short_file, "4 x 2147483648",
        with(assemble_bmp(4, 3, top, zeros(4, 3, 8)),
             [](auto& b) { put_le32(b, 22, 0x80000000u); }));
    return cases;
}

class DecodeBmpRefuses : public ::testing::TestWithParam<BmpRefusal> {};

// In memory and from disk alike, with one line naming the file (the plain kind's short file
// aside) and nothing taken.
TEST_P(DecodeBmpRefuses, InMemoryAndFromDiskAlike) {
    const BmpRefusal& c = GetParam();
    PlanarPicture got;
    const std::string name = "pic.bmp";
    const Status st = decode(c.bytes, &got, DecodeLimits{}, name);
    EXPECT_EQ(st.code, c.code) << st.message;
    if (c.whole) {
        std::string message = c.says;
        const std::size_t at = message.find("%s");
        if (at != std::string::npos) message.replace(at, 2, name);
        EXPECT_EQ(st.message, message);
    } else {
        EXPECT_TRUE(clear_refusal(st, name, c.says));
    }
    EXPECT_EQ(got.red.get(), nullptr) << "a refused picture leaves no planes";
    // A file that is no BMP at all is refused as such before the BMP reader sees it.
    if (picture_kind(c.bytes.data(), c.bytes.size()) == PictureKind::bmp)
        (void)decode_both_ways(c.bytes, &got);
}

INSTANTIATE_TEST_SUITE_P(Malformed, DecodeBmpRefuses, ::testing::ValuesIn(bad_bmps()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DecodeBmp, RunLengthPictureBeyondTheMemoryLimitIsRefusedBeforeItsPlanes) {
    // Two bytes of data claim 20000 x 20000 transparent pixels: 1.6 GB of planes.
    BmpKind rle8 = palette_kind(8, 2);
    rle8.compression = 1;
    DecodeLimits limits;
    limits.memory_bytes = 64u << 20;
    PlanarPicture got;
    Status st = decode(assemble_bmp(20000, 20000, rle8, {0, 1}), &got, limits);
    EXPECT_EQ(st.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(st, "pic.bmp", "memory"));
}

}  // namespace
