// The PNG and JPEG codecs' contract, the same on Linux (libpng, libjpeg-turbo) and Windows
// (WIC): pictures made by the tests come out as the same samples given as a plain 24-bit BMP.

#include "image/codecs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#ifndef _WIN32
#include <zlib.h>
#endif

#include "tests/image/plane_checks.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/malformed.h"
#include "tests/support/png_builder.h"

namespace {

Status png(const std::vector<std::uint8_t>& bytes, PlanarPicture* out,
           const DecodeLimits& limits = DecodeLimits{}) {
    return decode_png(bytes.data(), bytes.size(), "pic.png", limits, out);
}

Status jpeg(const std::vector<std::uint8_t>& bytes, PlanarPicture* out,
            const DecodeLimits& limits = DecodeLimits{}) {
    return decode_jpeg(bytes.data(), bytes.size(), "pic.jpg", limits, out);
}

std::uint8_t nearest_8(std::uint32_t v, int depth) {
    const double max = std::ldexp(1.0, depth) - 1;
    return static_cast<std::uint8_t>(std::lround(static_cast<double>(v) * 255.0 / max));
}

struct PngCase {
    const char* name;
    int colour_type;
    int depth;
    bool interlaced;
    int trns;  // 0 none; palette: entries with alpha; grey and RGB: a colour key
};

void PrintTo(const PngCase& c, std::ostream* os) { *os << c.name; }

// A random picture of the case's kind, and the 8-bit RGB samples and alpha it stands for.
struct PngPicture {
    PngLayout layout;
    TestPicture want;
    std::vector<std::uint8_t> alpha;  // empty: none expected
};

PngPicture random_png(const PngCase& c, int width, int height, std::uint32_t seed) {
    PngPicture p;
    PngLayout& s = p.layout;
    s.width = width;
    s.height = height;
    s.colour_type = c.colour_type;
    s.bit_depth = c.depth;
    s.interlaced = c.interlaced;
    p.want.width = width;
    p.want.height = height;
    std::mt19937 rng(seed);
    const std::uint32_t top = (1u << c.depth) - 1;
    auto sample = [&]() { return static_cast<std::uint16_t>(rng() % (top + 1u)); };
    if (c.colour_type == 3) {
        s.palette = random_picture(1 << c.depth, 1, seed).pixels;
        for (int i = 0; i < c.trns; ++i) s.trns.push_back(static_cast<std::uint8_t>(rng()));
    }
    // A colour key that some pixels take: the first pixel's value.
    std::vector<std::uint16_t> key;
    bool any_transparent = false;
    for (int i = 0; i < width * height; ++i) {
        std::uint16_t v[4] = {sample(), sample(), sample(), sample()};
        const int spp = c.colour_type == 2 ? 3 : c.colour_type == 4 ? 2 : c.colour_type == 6 ? 4 : 1;
        if (c.trns && c.colour_type != 3 && i % 3 == 0 && !key.empty())
            for (int k = 0; k < spp; ++k) v[k] = key[static_cast<std::size_t>(k)];
        if (key.empty()) key.assign(v, v + spp);
        s.samples.insert(s.samples.end(), v, v + spp);
        std::uint8_t a = 255;
        Rgb rgb{};
        switch (c.colour_type) {
            case 0:
            case 4: {
                const std::uint8_t g = nearest_8(v[0], c.depth);
                rgb = {g, g, g};
                if (c.colour_type == 4) a = nearest_8(v[1], c.depth);
                if (c.colour_type == 0 && c.trns && v[0] == key[0]) a = 0;
                break;
            }
            case 2:
            case 6:
                rgb = {nearest_8(v[0], c.depth), nearest_8(v[1], c.depth), nearest_8(v[2], c.depth)};
                if (c.colour_type == 6) a = nearest_8(v[3], c.depth);
                if (c.colour_type == 2 && c.trns && v[0] == key[0] && v[1] == key[1] && v[2] == key[2])
                    a = 0;
                break;
            case 3:
                rgb = s.palette[v[0]];
                if (v[0] < s.trns.size()) a = s.trns[v[0]];
                break;
        }
        p.want.pixels.push_back(rgb);
        p.alpha.push_back(a);
        any_transparent = any_transparent || a != 255;
    }
    if (c.trns && c.colour_type != 3) {
        // The key as tRNS stores it: one or three 2-byte samples.
        for (std::uint16_t k : key) {
            s.trns.push_back(static_cast<std::uint8_t>(k >> 8));
            s.trns.push_back(static_cast<std::uint8_t>(k));
        }
    }
    if (!any_transparent) p.alpha.clear();
    return p;
}

class DecodePngKinds : public ::testing::TestWithParam<PngCase> {};

TEST_P(DecodePngKinds, GiveTheSamplesOfA24BitBmp) {
    const PngCase& c = GetParam();
    // Sizes where Adam7 leaves passes empty (1 x 1, 3 x 2) and where it fills them all.
    const int sizes[][2] = {{1, 1}, {3, 2}, {9, 7}, {17, 13}};
    for (const auto& size : sizes) {
        PngPicture p = random_png(c, size[0], size[1], static_cast<std::uint32_t>(size[0] * 37 + c.depth));
        PlanarPicture got;
        Status st = png(encode_png_file(p.layout), &got);
        ASSERT_TRUE(st.ok()) << st.message;
        EXPECT_TRUE(same_colour_planes(got, expected_planes(p.want)))
            << size[0] << " x " << size[1];
        EXPECT_TRUE(same_alpha(got, p.alpha)) << size[0] << " x " << size[1];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Png, DecodePngKinds,
    ::testing::Values(PngCase{"Grey1", 0, 1, false, 0}, PngCase{"Grey2", 0, 2, false, 0},
                      PngCase{"Grey4", 0, 4, true, 0}, PngCase{"Grey8", 0, 8, false, 0},
                      PngCase{"Grey16", 0, 16, true, 0}, PngCase{"Grey8Key", 0, 8, false, 1},
                      PngCase{"Grey16Key", 0, 16, false, 1}, PngCase{"Rgb8", 2, 8, false, 0},
                      PngCase{"Rgb8Interlaced", 2, 8, true, 0}, PngCase{"Rgb16", 2, 16, false, 0},
                      PngCase{"Rgb8Key", 2, 8, true, 1}, PngCase{"Palette1", 3, 1, false, 0},
                      PngCase{"Palette2", 3, 2, true, 0}, PngCase{"Palette4", 3, 4, false, 0},
                      PngCase{"Palette8", 3, 8, false, 0},
                      PngCase{"Palette8WithAlphas", 3, 8, true, 100},
                      PngCase{"Palette4WithAlphas", 3, 4, false, 16},
                      PngCase{"GreyAlpha8", 4, 8, false, 0},
                      PngCase{"GreyAlpha16", 4, 16, true, 0}, PngCase{"Rgba8", 6, 8, false, 0},
                      PngCase{"Rgba8Interlaced", 6, 8, true, 0}, PngCase{"Rgba16", 6, 16, false, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DecodePng, EverySixteenBitValueIsRoundedAsStated) {
    // A 256 x 256 grey picture holding each 16-bit value once.
    PngLayout s;
    s.width = s.height = 256;
    s.colour_type = 0;
    s.bit_depth = 16;
    TestPicture want = random_picture(256, 256, 0);
    for (std::uint32_t v = 0; v < 65536; ++v) {
        s.samples.push_back(static_cast<std::uint16_t>(v));
        const auto g = static_cast<std::uint8_t>((v * 255 + 32767) / 65535);
        want.pixels[v] = {g, g, g};
    }
    PlanarPicture got;
    ASSERT_TRUE(png(encode_png_file(s), &got).ok());
    EXPECT_TRUE(same_colour_planes(got, expected_planes(want)));
}

TEST(DecodePng, OpaqueAlphaChannelGivesNoAlphaPlane) {
    PngPicture p = random_png(PngCase{"", 6, 8, false, 0}, 4, 3, 1);
    for (std::size_t i = 3; i < p.layout.samples.size(); i += 4) p.layout.samples[i] = 255;
    PlanarPicture got;
    ASSERT_TRUE(png(encode_png_file(p.layout), &got).ok());
    EXPECT_TRUE(same_alpha(got, {}));
}

TEST(DecodePng, ChunksTheToolSkipsAreSkipped) {
    // Text, a compressed text and a colour profile (whose zlib data is nonsense: it must not
    // even be inflated), and gamma, which is not applied.
    PngPicture p = random_png(PngCase{"", 2, 8, false, 0}, 5, 4, 2);
    std::vector<std::uint8_t> file = encode_png_file(p.layout);
    std::vector<std::uint8_t> extra;
    for (const auto& chunk : {png_chunk("tEXt", {'a', 0, 'b'}), png_chunk("zTXt", {'a', 0, 0, 1, 2}),
                              png_chunk("iCCP", {'p', 0, 0, 9, 9, 9}), png_chunk("gAMA", {0, 1, 0, 0})})
        extra.insert(extra.end(), chunk.begin(), chunk.end());
    file.insert(file.begin() + 8 + 25, extra.begin(), extra.end());  // after IHDR
    PlanarPicture got;
    Status st = png(file, &got);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_TRUE(same_colour_planes(got, expected_planes(p.want)));
}

// A file with one byte changed and the changed chunk's CRC made right again, so that only the
// codec can notice.
std::vector<std::uint8_t> change_inside_chunk(std::vector<std::uint8_t> file, const std::string& type,
                                              std::size_t offset, std::uint8_t value) {
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::size_t length = std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 |
                                   std::size_t{file[at + 2]} << 8 | file[at + 3];
        if (std::string(file.begin() + static_cast<long>(at + 4), file.begin() + static_cast<long>(at + 8)) == type) {
            file[at + 8 + offset] = value;
            const std::uint32_t crc = crc32_bitwise(file.data() + at + 4, length + 4);
            for (int i = 0; i < 4; ++i)
                file[at + 8 + length + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
            return file;
        }
        at += 12 + length;
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return file;
}

std::vector<Refusal> bad_pngs() {
    PngPicture p = random_png(PngCase{"", 2, 8, false, 0}, 6, 5, 3);
    const std::vector<std::uint8_t> good = encode_png_file(p.layout);
    const std::size_t idat = 8 + 25;  // where the first IDAT chunk starts
    std::vector<Refusal> cases;
    auto cut = [&good](std::size_t n) { return std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)); };
    cases.push_back({"CutInsideTheSignature", StatusCode::wrong_kind, "not a PNG", cut(5)});
    cases.push_back({"CutInsideIhdr", StatusCode::short_file, "cut short", cut(20)});
    cases.push_back({"CutInsideImageData", StatusCode::short_file, "cut short", cut(idat + 30)});
    cases.push_back({"CutBeforeIend", StatusCode::short_file, "cut short", cut(good.size() - 12)});
    std::vector<std::uint8_t> bad_crc = good;
    bad_crc[idat + 20] ^= 0x10;
    cases.push_back({"ImageDataChecksum", StatusCode::damaged, "checksum", bad_crc});
    std::vector<std::uint8_t> bad_header_crc = good;
    bad_header_crc[8 + 8 + 3] ^= 1;  // the width's lowest byte
    cases.push_back({"HeaderChecksum", StatusCode::damaged, "checksum", bad_header_crc});
    std::vector<std::uint8_t> text = good;
    const std::vector<std::uint8_t> t = png_chunk("tEXt", {'a', 0, 'b'});
    text.insert(text.begin() + static_cast<long>(idat), t.begin(), t.end());
    text[idat + 9] ^= 4;
    cases.push_back({"TextChecksum", StatusCode::damaged, "checksum", text});
    // The stored block's length and its complement disagree; then the Adler-32 at the end.
    cases.push_back({"BrokenDeflateStream", StatusCode::damaged, "is damaged",
                     change_inside_chunk(good, "IDAT", 4, 0x55)});
    std::vector<std::uint8_t> z = zlib_stored(png_scanlines(p.layout));
    z.back() ^= 1;
    cases.push_back({"AdlerChecksum", StatusCode::damaged, "is damaged", encode_png_file(p.layout, z)});
    // Four rows of data for five.
    PngLayout four = p.layout;
    four.height = 4;
    four.samples.resize(static_cast<std::size_t>(6 * 4 * 3));
    cases.push_back({"TooLittleImageData", StatusCode::damaged, "is damaged",
                     encode_png_file(p.layout, zlib_stored(png_scanlines(four)))});
    PngLayout huge = p.layout;
    huge.width = huge.height = 100000;
    cases.push_back({"HundredThousandSquaredClaim", StatusCode::damaged, "100000 x 100000",
                     encode_png_file(huge, zlib_stored(png_scanlines(p.layout)))});
    PngLayout zero = p.layout;
    zero.width = 0;
    cases.push_back({"ZeroWidth", StatusCode::bad_header, "invalid size",
                     encode_png_file(zero, zlib_stored({0}))});
    // Each field of the header at fault named as such.
    PngLayout rgb4 = p.layout;
    rgb4.bit_depth = 4;
    cases.push_back(
        {"RgbOfFourBits", StatusCode::bad_header,
         "invalid PNG header: colour type 2 with 4-bit samples, which it does not allow",
         encode_png_file(rgb4, zlib_stored({0}))});
    PngLayout type5 = p.layout;
    type5.colour_type = 5;
    cases.push_back({"ColourType5", StatusCode::bad_header,
                     "invalid PNG header: colour type 5, which PNG does not have",
                     encode_png_file(type5, zlib_stored({0}))});
    const struct {
        const char* name;
        std::size_t at;  // in the IHDR body
        const char* says;
    } methods[] = {{"CompressionMethod1", 10, "compression method 1 (only 0 exists)"},
                   {"FilterMethod1", 11, "filter method 1 (only 0 exists)"},
                   {"InterlaceMethod2", 12, "interlace method 2 (only 0 and 1 exist)"}};
    for (const auto& m : methods) {
        std::vector<std::uint8_t> body = png_header(p.layout);
        body[m.at] = static_cast<std::uint8_t>(m.at == 12 ? 2 : 1);
        const std::vector<std::uint8_t> ihdr = png_chunk("IHDR", body);
        std::vector<std::uint8_t> file = good;
        std::copy(ihdr.begin(), ihdr.end(), file.begin() + 8);
        cases.push_back({m.name, StatusCode::bad_header, m.says, file});
    }
    std::vector<std::uint8_t> no_data = cut(idat);
    const std::vector<std::uint8_t> end = png_chunk("IEND", {});
    no_data.insert(no_data.end(), end.begin(), end.end());
    cases.push_back({"NoImageData", StatusCode::damaged, "no image data", no_data});
    std::vector<std::uint8_t> late_header = good;
    late_header.insert(late_header.begin() + 8, t.begin(), t.end());
    cases.push_back({"HeaderNotFirst", StatusCode::bad_header, "IHDR", late_header});
    std::vector<std::uint8_t> critical = good;
    const std::vector<std::uint8_t> unknown = png_chunk("ABCD", {1, 2, 3});
    critical.insert(critical.begin() + static_cast<long>(idat), unknown.begin(), unknown.end());
    cases.push_back({"UnknownCriticalChunk", StatusCode::damaged, "is damaged", critical});
    return cases;
}

class DecodePngRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(DecodePngRefuses, WithOneLineNamingTheFileAndTheReason) {
    PlanarPicture got;
    Status st = png(GetParam().bytes, &got);
    expect_refused(GetParam(), st, got, "pic.png");
}

INSTANTIATE_TEST_SUITE_P(Malformed, DecodePngRefuses, ::testing::ValuesIn(bad_pngs()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DecodePng, PlanesBeyondTheMemoryLimitAreRefusedBeforeTheyAreTaken) {
    PngPicture p = random_png(PngCase{"", 6, 8, false, 0}, 300, 200, 4);
    DecodeLimits limits;
    limits.memory_bytes = 300 * 200 * 4;  // the planes alone, nothing for the work
    PlanarPicture got;
    Status st = png(encode_png_file(p.layout), &got, limits);
    EXPECT_EQ(st.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(st, "pic.png", "memory"));
}

#ifndef _WIN32
std::vector<std::uint8_t> deflate_zlib(const std::vector<std::uint8_t>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

TEST(DecodePng, CompressedDataInManySmallChunks) {
    PngPicture p = random_png(PngCase{"", 6, 16, true, 0}, 33, 21, 5);
    PlanarPicture got;
    ASSERT_TRUE(png(encode_png_file(p.layout, deflate_zlib(png_scanlines(p.layout)), 7), &got).ok());
    EXPECT_TRUE(same_colour_planes(got, expected_planes(p.want)));
    EXPECT_TRUE(same_alpha(got, p.alpha));
}

TEST(DecodePng, DecompressionBombIsRefusedBeforeItsMemoryIsTaken) {
    // 8000 x 6000 RGBA pixels, all zero: 192 MB of samples in a file of about 190 KB. Its
    // stream is genuine, so the limit on memory is what refuses it.
    PngLayout bomb;
    bomb.width = 8000;
    bomb.height = 6000;
    bomb.colour_type = 6;
    std::vector<std::uint8_t> scanlines(static_cast<std::size_t>(6000) * (1 + 8000 * 4), 0);
    const std::vector<std::uint8_t> file = encode_png_file(bomb, deflate_zlib(scanlines), 1 << 20);
    EXPECT_LT(file.size(), 250000u);
    DecodeLimits limits;
    limits.memory_bytes = 100u << 20;
    PlanarPicture got;
    Status st = png(file, &got, limits);
    EXPECT_EQ(st.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(st, "pic.png", "8000 x 6000"));
}
#endif

TEST(EncodePng, RoundTripsRgbAndRgbaInEitherPlaneOrder) {
    for (bool with_alpha : {false, true}) {
        for (PlaneOrder order : {PlaneOrder::by_column, PlaneOrder::by_row}) {
            const int w = 37, h = 70;  // rows in three groups
            TestPicture pic = random_picture(w, h, 6);
            std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w * h));
            for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<std::uint8_t>(i * 7);
            std::vector<std::uint8_t> planes[4];
            for (auto& plane : planes) plane.resize(alpha.size());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::size_t i = order == PlaneOrder::by_row ? static_cast<std::size_t>(y * w + x)
                                                                      : static_cast<std::size_t>(x * h + y);
                    planes[0][i] = pic.at(x, y).r;
                    planes[1][i] = pic.at(x, y).g;
                    planes[2][i] = pic.at(x, y).b;
                    planes[3][i] = alpha[static_cast<std::size_t>(y * w + x)];
                }
            std::vector<std::uint8_t> file;
            Status st = encode_png("out.png", w, h, planes[0].data(), planes[1].data(), planes[2].data(),
                                   with_alpha ? planes[3].data() : nullptr, order,
                                   [&file](const unsigned char* b, std::size_t n) {
                                       file.insert(file.end(), b, b + n);
                                       return true;
                                   });
            ASSERT_TRUE(st.ok()) << st.message;
            // 8 bits, RGB or RGBA, not interlaced, as a reader other than the tool's sees it.
            ASSERT_GE(file.size(), 33u);
            EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 24, file.begin() + 29),
                      (std::vector<std::uint8_t>{8, static_cast<std::uint8_t>(with_alpha ? 6 : 2), 0, 0, 0}));
            PlanarPicture got;
            st = png(file, &got);
            ASSERT_TRUE(st.ok()) << st.message;
            EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)));
            EXPECT_TRUE(same_alpha(got, with_alpha ? alpha : std::vector<std::uint8_t>{}));
        }
    }
}

#ifndef _WIN32
// Linux only: Wine's PNG encoder is libpng with its default limit, and refuses such a side
// (in one clear line).
TEST(EncodePng, SidesBeyondAMillionPixels) {
    // A column of 1 000 001 pixels: beyond libpng's default limit, within the format's.
    const int h = 1000001;
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<std::uint8_t>(i * 13);
    std::vector<std::uint8_t> file;
    Status st = encode_png("tall.png", 1, h, plane.data(), plane.data(), plane.data(), nullptr,
                           PlaneOrder::by_column, [&file](const unsigned char* b, std::size_t n) {
                               file.insert(file.end(), b, b + n);
                               return true;
                           });
    ASSERT_TRUE(st.ok()) << st.message;
    PlanarPicture got;
    st = png(file, &got);
    ASSERT_TRUE(st.ok()) << st.message;
    ASSERT_EQ(got.height, h);
    EXPECT_EQ(std::vector<std::uint8_t>(got.green.get(), got.green.get() + h), plane);
}
#endif

TEST(EncodePng, ASinkThatFailsStopsTheWritingWithAClearLine) {
    TestPicture pic = random_picture(64, 64, 7);
    std::vector<std::uint8_t> plane(64 * 64, 9);
    int calls = 0;
    Status st = encode_png("out.png", 64, 64, plane.data(), plane.data(), plane.data(), nullptr,
                           PlaneOrder::by_column, [&calls](const unsigned char*, std::size_t) {
                               ++calls;
                               return false;
                           });
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_TRUE(clear_refusal(st, "out.png", "cannot write"));
    EXPECT_EQ(calls, 1);
}

struct JpegCase {
    const char* name;
    JpegLayout layout;
};

void PrintTo(const JpegCase& c, std::ostream* os) { *os << c.name; }

class DecodeJpegKinds : public ::testing::TestWithParam<JpegCase> {};

TEST_P(DecodeJpegKinds, GiveTheSamplesThePlatformsDecoderGives) {
    const JpegCase& c = GetParam();
    if (c.layout.progressive && !progressive_jpeg_supported()) GTEST_SKIP() << "no progressive encoder";
    for (const auto& size : {std::pair<int, int>{1, 1}, {17, 11}, {40, 33}}) {
        TestPicture pic = demo_picture(size.first, size.second);
        const std::vector<std::uint8_t> file = make_jpeg(pic, c.layout);
        ASSERT_FALSE(file.empty());
        PlanarPicture got;
        Status st = jpeg(file, &got);
        ASSERT_TRUE(st.ok()) << st.message;
        EXPECT_TRUE(same_colour_planes(got, expected_planes(plain_jpeg_samples(file))))
            << size.first << " x " << size.second;
        EXPECT_FALSE(got.has_alpha());
    }
}

INSTANTIATE_TEST_SUITE_P(Jpeg, DecodeJpegKinds,
                         ::testing::Values(JpegCase{"Colour", {}}, JpegCase{"Grey", {true}},
                                           JpegCase{"ProgressiveColour", {false, true}},
                                           JpegCase{"ProgressiveGrey", {true, true}},
                                           JpegCase{"LowQuality", {false, false, false, 20}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DecodeJpeg, GreyGivesEqualRedGreenAndBlue) {
    JpegLayout grey;
    grey.grey = true;
    PlanarPicture got;
    ASSERT_TRUE(jpeg(make_jpeg(random_picture(9, 8, 8), grey), &got).ok());
    for (std::size_t i = 0; i < 72; ++i) {
        ASSERT_EQ(got.red[i], got.green[i]);
        ASSERT_EQ(got.red[i], got.blue[i]);
    }
}

// Where the first scan's data starts, after its SOS header.
std::size_t scan_data_start(const std::vector<std::uint8_t>& f) {
    for (std::size_t i = 2; i + 3 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] == 0xDA) return i + 2 + (std::size_t{f[i + 2]} << 8 | f[i + 3]);
    ADD_FAILURE() << "no scan";
    return f.size();
}

std::size_t frame_header(const std::vector<std::uint8_t>& f) {
    for (std::size_t i = 2; i + 1 < f.size(); ++i)
        if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC2)) return i;
    ADD_FAILURE() << "no frame header";
    return 0;
}

std::vector<Refusal> bad_jpegs() {
    const std::vector<std::uint8_t> good = make_jpeg(demo_picture(48, 40), JpegLayout{});
    std::vector<Refusal> cases;
    const std::size_t data = scan_data_start(good);
    auto cut = [&good](std::size_t n) { return std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)); };
    cases.push_back({"CutInsideTheHeaders", StatusCode::short_file, "cut short", cut(data - 5)});
    cases.push_back({"CutInsideTheScan", StatusCode::short_file, "cut short", cut(data + (good.size() - data) / 2)});
    cases.push_back({"CutJustBeforeTheEnd", StatusCode::short_file, "end-of-image", cut(good.size() - 2)});
#ifndef _WIN32
    // Half the scan, then the end marker: the decoder meets the marker in mid-scan. (WIC
    // decodes what there is.)
    std::vector<std::uint8_t> half = cut(data + (good.size() - data) / 2);
    half.insert(half.end(), {0xFF, 0xD9});
    cases.push_back({"ScanEndsEarly", StatusCode::damaged, "is damaged", half});
#endif
    std::vector<std::uint8_t> twelve = good;
    twelve[frame_header(good) + 4] = 12;
    cases.push_back({"TwelveBitSamples", StatusCode::unsupported, "12-bit", twelve});
    std::vector<std::uint8_t> lossless = good;
    lossless[frame_header(good) + 1] = 0xC3;
    cases.push_back({"Lossless", StatusCode::unsupported, "lossless", lossless});
    std::vector<std::uint8_t> huge = good;
    const std::size_t sof = frame_header(good);
    for (const std::size_t at : {sof + 5, sof + 7}) {  // 65500 a side
        huge[at] = 0xFF;
        huge[at + 1] = 0xDC;
    }
    cases.push_back({"LargestClaim", StatusCode::too_large, "65500 x 65500", huge});
    // A side past the decoders' limit is a limit, not damage.
    huge[sof + 8] = 0xDD;
    cases.push_back({"SidePastTheLimit", StatusCode::unsupported,
                     "is 65501 x 65500 pixels; JPEG pictures of at most 65500 pixels a side are "
                     "read",
                     huge});
    std::vector<std::uint8_t> empty = good;
    empty[sof + 5] = empty[sof + 6] = 0;
    cases.push_back({"ZeroHeight", StatusCode::bad_header, "invalid size", empty});
    cases.push_back({"NotAJpeg", StatusCode::wrong_kind, "not a JPEG", {0xFF, 0xD8, 0x00}});
    JpegLayout cmyk;
    cmyk.cmyk = true;
    const std::vector<std::uint8_t> four = make_jpeg(demo_picture(16, 16), cmyk);
    if (!four.empty()) cases.push_back({"Cmyk", StatusCode::unsupported, "CMYK", four});
    return cases;
}

class DecodeJpegRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(DecodeJpegRefuses, WithOneLineNamingTheFileAndTheReason) {
    PlanarPicture got;
    Status st = jpeg(GetParam().bytes, &got);
    expect_refused(GetParam(), st, got, "pic.jpg");
}

INSTANTIATE_TEST_SUITE_P(Malformed, DecodeJpegRefuses, ::testing::ValuesIn(bad_jpegs()),
                         [](const auto& p) { return std::string(p.param.name); });

// Bytes between markers that belong to no segment are skipped, as other viewers skip them:
// the same samples as the file without them, and a line that says so.
TEST(DecodeJpeg, StrayBytesBetweenMarkersAreSkipped) {
    for (const bool progressive : {false, true}) {
        if (progressive && !progressive_jpeg_supported()) continue;
        JpegLayout layout;
        layout.progressive = progressive;
        const std::vector<std::uint8_t> file = make_jpeg(demo_picture(21, 13), layout);
        PlanarPicture want, got;
        ASSERT_TRUE(jpeg(file, &want).ok());
        const Status st = jpeg(jpeg_with_stray_bytes(file), &got);
        ASSERT_TRUE(st.ok()) << st.message;
        EXPECT_TRUE(same_colour_planes(got, want));
        EXPECT_EQ(got.notice,
                  "'pic.jpg' has 3 stray bytes between its markers (the first at byte 9), which "
                  "were skipped");
        EXPECT_EQ(want.notice, "");
    }
}

TEST(DecodeJpeg, PlanesBeyondTheMemoryLimitAreRefusedBeforeTheyAreTaken) {
    const std::vector<std::uint8_t> file = make_jpeg(demo_picture(300, 200), JpegLayout{});
    DecodeLimits limits;
    limits.memory_bytes = 300 * 200 * 3;
    PlanarPicture got;
    Status st = jpeg(file, &got, limits);
    EXPECT_EQ(st.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(st, "pic.jpg", "memory"));
}

}  // namespace
