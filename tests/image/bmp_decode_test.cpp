#include "image/bmp_decode.h"
#include "image/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "tests/image/plane_checks.h"
#include "tests/support/malformed.h"

namespace {

Status decode(const std::vector<std::uint8_t>& bytes, PlanarPicture* out,
              const DecodeLimits& limits = DecodeLimits{}) {
    return decode_bmp(bytes.data(), bytes.size(), "pic.bmp", limits, out);
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
                EXPECT_TRUE(same_colour_planes(got, plain_bmp_planes(in.pic)))
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
    EXPECT_TRUE(same_colour_planes(got, plain_bmp_planes(want)));
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

TEST(DecodeBmp, OpaqueAlphaMaskGivesNoAlphaPlane) {
    BmpKind kind;
    kind.bits = 32;
    kind.compression = 3;
    kind.info_size = 124;
    kind.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    TestPicture pic = random_picture(3, 2, 8);
    std::vector<std::uint32_t> values;
    for (const Rgb& c : pic.pixels)
        values.push_back(0xFF000000u | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
    PlanarPicture got;
    ASSERT_TRUE(decode(assemble_bmp(3, 2, kind, pack_bmp_rows(3, 2, 32, false, values)), &got).ok());
    EXPECT_TRUE(same_colour_planes(got, plain_bmp_planes(pic)));
    EXPECT_TRUE(same_alpha(got, {}));
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
        EXPECT_TRUE(same_colour_planes(got, plain_bmp_planes(in.pic))) << info;
    }
}

TEST(DecodeBmp, TopDown24BitRows) {
    TestPicture pic = random_picture(5, 4, 9);
    BmpLayout layout;
    layout.top_down = true;
    PlanarPicture got;
    ASSERT_TRUE(decode(encode_bmp(pic, layout), &got).ok());
    EXPECT_TRUE(same_colour_planes(got, plain_bmp_planes(pic)));
}

TEST(DecodeBmp, ThePlainKindKeepsEveryOriginalMessage) {
    // Files the original path refuses for a reason other than their kind are refused with its
    // very status; the other kinds it refused are now read or refused in words of their own.
    // (Files of other kinds never reach this reader.)
    for (const MalformedFile& m : malformed_files()) {
        if (picture_kind(m.bytes.data(), m.bytes.size()) == PictureKind::png ||
            picture_kind(m.bytes.data(), m.bytes.size()) == PictureKind::jpeg)
            continue;
        Status original = bmp_check(m.bytes.data(), m.bytes.size(), m.bytes.size(), "pic.bmp",
                                    nullptr);
        if (original.code == StatusCode::unsupported) continue;
        PlanarPicture got;
        Status st = decode(m.bytes, &got);
        EXPECT_EQ(st.code, original.code) << m.name;
        EXPECT_EQ(st.message, original.message) << m.name;
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
};

void PrintTo(const RleCase& c, std::ostream* os) { *os << c.name; }

class DecodeBmpRle : public ::testing::TestWithParam<RleCase> {};

TEST_P(DecodeBmpRle, DrawsItsRuns) {
    const RleCase& c = GetParam();
    BmpKind kind;
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
    EXPECT_TRUE(same_colour_planes(got, plain_bmp_planes(want)));
    EXPECT_TRUE(same_alpha(got, alpha));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DecodeBmpRle,
    ::testing::Values(
        // Bottom row first: a run, a literal run of three padded to four bytes, end of line;
        // a full run; a literal run of four (no padding), a run, end of picture.
        RleCase{"Rle8RunsAndLiterals", 8, 5, 3,
                {2, 1, 0, 3, 2, 3, 2, 0, 0, 0,  //
                 5, 3, 0, 0,                    //
                 0, 4, 0, 1, 2, 3, 1, 2, 0, 1},
                {0, 1, 2, 3, 2,  //
                 3, 3, 3, 3, 3,  //
                 1, 1, 2, 3, 2}},
        // A move right 2 and up 1 and an early end leave pixels undrawn: transparent.
        RleCase{"Rle8DeltaAndEarlyEndLeaveHoles", 8, 4, 3,
                {1, 1, 0, 2, 2, 1, 1, 2, 0, 1},
                {-1, -1, -1, -1,  //
                 -1, -1, -1, 2,   //
                 1, -1, -1, -1}},
        // Runs past the right edge are dropped, not carried into the next row; the data may
        // end after the last row's end of line.
        RleCase{"Rle8RunsPastTheEdgeAreDropped", 8, 2, 2,
                {4, 1, 0, 0, 0, 3, 2, 3, 4, 0, 0, 0},
                {2, 3,  //
                 1, 1}},
        // Nibbles alternate within a run; a literal run of 3 nibbles takes 2 bytes, one of 5
        // takes 3 bytes and a pad byte.
        RleCase{"Rle4RunsAndLiterals", 4, 5, 3,
                {5, 0x12, 0, 0,                     //
                 0, 3, 0x30, 0x20, 2, 0x31, 0, 0,   //
                 0, 5, 0x01, 0x23, 0x40, 0, 0, 1},
                {0, 1, 2, 3, 4,  //
                 3, 0, 2, 3, 1,  //
                 1, 2, 1, 2, 1}}),
    [](const auto& p) { return std::string(p.param.name); });

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

std::vector<Refusal> bad_bmps() {
    std::vector<Refusal> cases;
    auto zeros = [](int w, int h, int bits) {
        return pack_bmp_rows(w, h, bits, false, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), 0));
    };
    const BmpKind eight = palette_kind(8, 256);
    const std::vector<std::uint8_t> good8 = assemble_bmp(4, 3, eight, zeros(4, 3, 8));
    auto with = [](std::vector<std::uint8_t> b, auto change) {
        change(b);
        return b;
    };

    BmpKind core = eight;
    core.info_size = 12;
    cases.push_back({"CoreHeader", StatusCode::unsupported, "old BMP header of 12 bytes",
                     assemble_bmp(4, 3, core, zeros(4, 3, 8))});
    BmpKind v5 = eight;
    v5.info_size = 124;
    std::vector<std::uint8_t> cut_header = assemble_bmp(4, 3, v5, zeros(4, 3, 8));
    cut_header.resize(100);
    cases.push_back({"CutInsideHeader", StatusCode::short_file, "cut short", cut_header});
    cases.push_back({"PixelsCutShort", StatusCode::short_file, "cut short",
                     std::vector<std::uint8_t>(good8.begin(), good8.end() - 1)});
    cases.push_back({"RowsBeyondSizeField", StatusCode::bad_header, "too small",
                     with(good8, [](auto& b) { put_le32(b, 2, get_le32(b, 2) - 1); })});
    cases.push_back({"SizeFieldBelowHeader", StatusCode::bad_header, "size field",
                     with(good8, [](auto& b) { put_le32(b, 2, 20); })});
    cases.push_back({"PixelsInsidePalette", StatusCode::bad_header, "offset",
                     with(good8, [](auto& b) { put_le32(b, 10, 54 + 4 * 100); })});
    cases.push_back({"PixelsPastSizeField", StatusCode::bad_header, "offset",
                     with(good8, [](auto& b) { put_le32(b, 10, get_le32(b, 2) + 1); })});
    BmpKind few = palette_kind(8, 4);
    few.colours_used = 4;
    cases.push_back({"IndexBeyondPalette", StatusCode::bad_header, "colour 4 of a palette of 4",
                     assemble_bmp(2, 1, few, pack_bmp_rows(2, 1, 8, false, {3, 4}))});
    BmpKind many = palette_kind(4, 17);
    many.colours_used = 17;
    cases.push_back({"MoreColoursThanBitsCanChoose", StatusCode::bad_header, "17 colours",
                     assemble_bmp(4, 3, many, zeros(4, 3, 4))});
    std::vector<std::uint8_t> no_masks = assemble_bmp(2, 2, mask_kind(16, {0xF800, 0x07E0, 0x001F}), {});
    no_masks.resize(14 + 40 + 7);  // the masks that follow the header, cut short
    put_le32(no_masks, 2, static_cast<std::uint32_t>(no_masks.size()));
    cases.push_back({"CutInsideMasks", StatusCode::short_file, "masks", no_masks});
    cases.push_back({"MaskWithAHole", StatusCode::bad_header, "red mask",
                     assemble_bmp(2, 2, mask_kind(16, {0xF00F, 0x07E0, 0x0010}), zeros(2, 2, 16))});
    cases.push_back({"ZeroGreenMask", StatusCode::bad_header, "green mask",
                     assemble_bmp(2, 2, mask_kind(16, {0xF800, 0, 0x001F}), zeros(2, 2, 16))});
    cases.push_back({"MaskBeyond16Bits", StatusCode::bad_header, "red mask",
                     assemble_bmp(2, 2, mask_kind(16, {0x1F0000, 0x07E0, 0x001F}), zeros(2, 2, 16))});
    cases.push_back({"OverlappingMasks", StatusCode::bad_header, "overlapping red and green",
                     assemble_bmp(2, 2, mask_kind(32, {0xFFFF00, 0xFF00, 0xFF}), zeros(2, 2, 32))});
    BmpKind masks24 = mask_kind(24, {0xFF0000, 0xFF00, 0xFF});
    cases.push_back({"MasksWith24Bits", StatusCode::bad_header, "16 or 32 bits",
                     assemble_bmp(2, 2, masks24, zeros(2, 2, 24))});
    BmpKind two = palette_kind(2, 4);
    cases.push_back({"TwoBitsPerPixel", StatusCode::unsupported, "2 bits per pixel",
                     assemble_bmp(2, 2, two, zeros(2, 2, 2))});
    for (std::uint32_t code : {4u, 5u, 7u}) {
        BmpKind k = eight;
        k.compression = code;
        cases.push_back({code == 4 ? "EmbeddedJpeg" : code == 5 ? "EmbeddedPng" : "Compression7",
                         StatusCode::unsupported,
                         code == 4 ? "JPEG" : code == 5 ? "PNG" : "compression 7",
                         assemble_bmp(4, 3, k, zeros(4, 3, 8))});
    }
    BmpKind os2 = palette_kind(1, 2);
    os2.info_size = 64;
    os2.compression = 3;
    cases.push_back({"Os2Huffman", StatusCode::unsupported, "OS/2 Huffman",
                     assemble_bmp(8, 1, os2, zeros(8, 1, 1))});
    BmpKind rle8 = palette_kind(8, 16);
    rle8.compression = 1;
    BmpKind rle_bits = rle8;
    rle_bits.bits = 4;
    cases.push_back({"Rle8With4Bits", StatusCode::bad_header, "8-bit pixels but has 4",
                     assemble_bmp(2, 2, rle_bits, {0, 1})});
    BmpKind rle_top = rle8;
    rle_top.top_down = true;
    cases.push_back({"RleTopDown", StatusCode::bad_header, "top-down",
                     assemble_bmp(2, 2, rle_top, {0, 1})});
    cases.push_back({"RleEndsInsideThePicture", StatusCode::short_file, "run-length data ends",
                     assemble_bmp(2, 2, rle8, {2, 1, 0, 0, 1, 1})});
    cases.push_back({"RleCutInsideALiteralRun", StatusCode::short_file, "run-length data ends",
                     assemble_bmp(8, 1, rle8, {0, 5, 1, 2, 3})});
    cases.push_back({"RleCutInsideAMove", StatusCode::short_file, "run-length data ends",
                     assemble_bmp(8, 2, rle8, {0, 2, 1})});
    cases.push_back({"RleIndexBeyondPalette", StatusCode::bad_header, "colour 16 of a palette of 16",
                     assemble_bmp(2, 1, rle8, {1, 3, 1, 16, 0, 1})});
    BmpKind rle_size = rle8;
    rle_size.image_size = 100;
    cases.push_back({"RleSizeBeyondTheFile", StatusCode::bad_header, "100 bytes of compressed",
                     assemble_bmp(2, 1, rle_size, {2, 1, 0, 1})});
    cases.push_back({"HugeRleClaim", StatusCode::too_large, "100000 x 100000",
                     assemble_bmp(100000, 100000, rle8, {0, 1})});
    BmpKind top = eight;
    top.top_down = true;
    cases.push_back({"ZeroWidthTopDown", StatusCode::bad_header, "invalid size",
                     with(assemble_bmp(4, 3, top, zeros(4, 3, 8)), [](auto& b) { put_le32(b, 18, 0); })});
    cases.push_back({"LowestHeight", StatusCode::bad_header, "4 x 2147483648",
                     with(assemble_bmp(4, 3, top, zeros(4, 3, 8)),
                          [](auto& b) { put_le32(b, 22, 0x80000000u); })});
    return cases;
}

class DecodeBmpRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(DecodeBmpRefuses, WithOneLineNamingTheFileAndTheReason) {
    PlanarPicture got;
    Status st = decode(GetParam().bytes, &got);
    expect_refused(GetParam(), st, got, "pic.bmp");
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
