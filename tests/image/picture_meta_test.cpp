// A picture's metadata, read by hand the same way on every platform: the EXIF orientation made
// upright against pictures turned by the tests themselves, profiles in equal to profiles out,
// damaged parts read as absent with one line, and the zlib streams that carry them.

#include "image/picture_meta.h"

#include <gtest/gtest.h>

#include <random>

#ifndef _WIN32
#include <zlib.h>
#endif

#include "image/codecs.h"
#include "image/picture.h"
#include "image/zlib_stream.h"
#include "tests/image/plane_checks.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/metadata_builder.h"
#include "tests/support/temp_dir.h"

namespace {

// a then b, in a vector sized once (GCC 12 warns wrongly of an insert into a short vector).
std::vector<std::uint8_t> joined(const std::vector<std::uint8_t>& a,
                                 const std::vector<std::uint8_t>& b) {
    std::vector<std::uint8_t> v(a.size() + b.size());
    std::copy(a.begin(), a.end(), v.begin());
    std::copy(b.begin(), b.end(), v.begin() + static_cast<std::ptrdiff_t>(a.size()));
    return v;
}

Status decode(const std::vector<std::uint8_t>& file, PlanarPicture* out, PictureMeta* meta) {
    return decode_picture(file.data(), file.size(), "pic", DecodeLimits{}, out, meta);
}

TEST(ExifOrientation, EveryValueInEitherByteOrder) {
    for (int o = 1; o <= 8; ++o)
        for (bool big : {false, true}) {
            const std::vector<std::uint8_t> t = exif_tiff(o, big);
            std::string problem;
            EXPECT_EQ(exif_orientation(t.data(), t.size(), &problem), o)
                << o << (big ? " MM" : " II");
        }
    // A block without the tag has none, and no problem.
    std::vector<std::uint8_t> other = exif_tiff(6);
    other[10] = 0x13;  // the entry's tag is another
    std::string problem;
    EXPECT_EQ(exif_orientation(other.data(), other.size(), &problem), 0);
    EXPECT_EQ(problem, "");
}

TEST(ExifOrientation, DamagedBlocksGiveNoneAndSayWhy) {
    const std::vector<std::uint8_t> good = exif_tiff(6);
    auto with = [&](std::size_t at, std::uint8_t v) {
        std::vector<std::uint8_t> t = good;
        t[at] = v;
        return t;
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> tiff;
        const char* says;
    } cases[] = {
        {"cut inside its header", std::vector<std::uint8_t>(good.begin(), good.begin() + 6),
         "cut short"},
        {"no byte order", with(0, 'X'), "no byte order"},
        {"no TIFF mark", with(2, 41), "no TIFF header"},
        {"its directory outside it", with(4, 200), "lies outside it"},
        {"more entries than it holds", with(8, 9), "runs past its end"},
        {"an entry cut off", std::vector<std::uint8_t>(good.begin(), good.end() - 8),
         "runs past its end"},
        {"orientation 0", with(18, 0), "orientation of 0 is not one of 1 to 8"},
        {"orientation 9", with(18, 9), "orientation of 9 is not one of 1 to 8"},
        {"a LONG, not a SHORT", with(12, 4), "not one number"},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_EQ(exif_orientation(c.tiff.data(), c.tiff.size(), &problem), -1) << c.name;
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.name << ": " << problem;
    }
}

TEST(DecodePicture, EveryOrientationOfAPngIsMadeUpright) {
    const TestPicture stored = random_picture(5, 3, 8);
    for (int o = 1; o <= 8; ++o) {
        PlanarPicture got;
        PictureMeta meta;
        ASSERT_TRUE(
            decode(png_with(stored, png_chunk("eXIf", exif_tiff(o, o % 2 == 0))), &got, &meta)
                .ok());
        EXPECT_EQ(meta.orientation, o);
        EXPECT_TRUE(meta.notes.empty());
        EXPECT_TRUE(same_colour_planes(got, expected_planes(upright_of(stored, o)))) << o;
    }
}

TEST(DecodePicture, EveryOrientationOfAJpegTurnsItsDecodedSamples) {
    const std::vector<std::uint8_t> plain = make_jpeg(random_picture(16, 9, 4), JpegLayout{});
    ASSERT_FALSE(plain.empty());
    const TestPicture stored = plain_jpeg_samples(plain);
    for (int o = 1; o <= 8; ++o) {
        PlanarPicture got;
        ASSERT_TRUE(decode(jpeg_with(plain, jpeg_exif(exif_tiff(o, o > 4))), &got, nullptr).ok());
        EXPECT_TRUE(same_colour_planes(got, expected_planes(upright_of(stored, o)))) << o;
    }
}

TEST(DecodePicture, TransparencyIsTurnedWithTheColours) {
    PngLayout layout;
    layout.width = 3;
    layout.height = 2;
    layout.colour_type = 6;
    layout.samples = {1,  2,  3,  0,  4,  5,  6,  10, 7,  8,  9,  20,
                      11, 12, 13, 30, 14, 15, 16, 40, 17, 18, 19, 50};
    std::vector<std::uint8_t> file = encode_png_file(layout);
    const std::vector<std::uint8_t> exif = png_chunk("eXIf", exif_tiff(6));
    file.insert(file.begin() + 33, exif.begin(), exif.end());
    PlanarPicture got;
    ASSERT_TRUE(decode(file, &got, nullptr).ok());
    ASSERT_EQ(got.width, 2);
    ASSERT_TRUE(got.has_alpha());
    // Turned a quarter clockwise: the stored bottom row is the left column, read downwards.
    EXPECT_EQ(std::vector<std::uint8_t>(got.alpha.get(), got.alpha.get() + 6),
              (std::vector<std::uint8_t>{30, 40, 50, 0, 10, 20}));
}

// Where a profile comes from, and what it must come out as.
struct ProfileCase {
    const char* name;
    std::vector<std::uint8_t> file;
};

TEST(PictureMeta, AProfileIsReadWholeFromEveryPlace) {
    const std::vector<std::uint8_t> profile = test_profile(3000, 1);
    const TestPicture pic = random_picture(4, 3, 2);
    const std::vector<std::uint8_t> jpeg = make_jpeg(pic, JpegLayout{});
    const std::vector<std::uint8_t> iccp =
        joined({'W', 'i', 'd', 'e', 0, 0}, zlib_stored(profile));
    const ProfileCase cases[] = {
        {"JPEG, one marker", jpeg_with(jpeg, jpeg_profile(profile, 65519))},
        {"JPEG, three markers in sequence", jpeg_with(jpeg, jpeg_profile(profile, 1100))},
        {"JPEG, three markers out of sequence",
         jpeg_with(jpeg, jpeg_profile(profile, 1100, {2, 0, 1}))},
        {"PNG iCCP", png_with(pic, png_chunk("iCCP", iccp))},
        {"BMP V5", bmp_with_profile(pic, profile)},
    };
    TempDir dir;
    for (const ProfileCase& c : cases) {
        PlanarPicture got;
        PictureMeta in_memory, from_disk;
        ASSERT_TRUE(decode(c.file, &got, &in_memory).ok()) << c.name;
        EXPECT_EQ(in_memory.icc, profile) << c.name;
        EXPECT_TRUE(in_memory.notes.empty()) << c.name;
        ASSERT_TRUE(write_file(dir.file("pic"), c.file));
        ASSERT_TRUE(read_picture(dir.file("pic"), &got, DecodeLimits{}, nullptr, &from_disk).ok());
        EXPECT_EQ(from_disk.icc, profile) << c.name;
    }
}

TEST(PictureMeta, DamagedPartsAreReadAsAbsentWithOneLineEach) {
    const TestPicture pic = random_picture(4, 3, 5);
    const std::vector<std::uint8_t> jpeg = make_jpeg(pic, JpegLayout{});
    const std::vector<std::uint8_t> profile = test_profile(700, 3);
    std::vector<std::uint8_t> short_profile = profile, long_profile = profile;
    short_profile.resize(600);  // claims 700
    long_profile.push_back(0);  // claims 700, holds 701
    auto iccp = [](const std::vector<std::uint8_t>& zlib) {
        return png_chunk("iCCP", joined({'P', 0, 0}, zlib));
    };
    std::vector<std::uint8_t> z = zlib_stored(profile);
    std::vector<std::uint8_t> bad_check = z, cut = z;
    bad_check.back() ^= 1;
    cut.resize(cut.size() / 2);
    std::vector<std::uint8_t> three = jpeg_profile(profile, 300);
    const std::size_t second = 2 + 2 + 14 + 300;  // the second marker's place
    std::vector<std::uint8_t> renumbered = three;
    renumbered[second + 4 + 12] = 1;  // two markers numbered 1
    std::vector<std::uint8_t> orientation_outside = exif_tiff(6);
    orientation_outside[4] = 60;  // its directory past the end of the block
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* says;
    } cases[] = {
        {"PNG orientation 0", png_with(pic, png_chunk("eXIf", exif_tiff(0))), "orientation of 0"},
        {"JPEG orientation 9", jpeg_with(jpeg, jpeg_exif(exif_tiff(9))), "orientation of 9"},
        {"JPEG EXIF cut short", jpeg_with(jpeg, jpeg_exif({'I', 'I', 42})), "cut short"},
        {"PNG EXIF pointing outside", png_with(pic, png_chunk("eXIf", orientation_outside)),
         "outside"},
        {"JPEG profile cut short", jpeg_with(jpeg, jpeg_profile(short_profile, 300)), "cut short"},
        {"JPEG profile longer than it claims", jpeg_with(jpeg, jpeg_profile(long_profile, 300)),
         "claims 700"},
        {"JPEG profile missing a marker",
         jpeg_with(jpeg, std::vector<std::uint8_t>(
                             three.begin(), three.begin() + static_cast<std::ptrdiff_t>(second))),
         "not numbered 1 to 3"},
        {"JPEG profile numbered twice", jpeg_with(jpeg, renumbered), "not numbered 1 to 3"},
        {"PNG profile with a wrong checksum", png_with(pic, iccp(bad_check)), "do not decompress"},
        {"PNG profile cut short", png_with(pic, iccp(cut)), "end early"},
        {"BMP profile past the end of the file", bmp_with_profile(pic, profile, 800),
         "past the end"},
    };
    for (const auto& c : cases) {
        PlanarPicture got;
        PictureMeta meta;
        const Status st = decode(c.file, &got, &meta);
        ASSERT_TRUE(st.ok()) << c.name << ": " << st.message;
        EXPECT_TRUE(same_colour_planes(
            got, expected_planes(c.file[0] == 0xFF ? plain_jpeg_samples(c.file) : pic)))
            << c.name;
        EXPECT_TRUE(meta.icc.empty()) << c.name;
        ASSERT_EQ(meta.notes.size(), 1u) << c.name;
        EXPECT_EQ(meta.notes[0].rfind("'pic': ", 0), 0u) << meta.notes[0];
        EXPECT_NE(meta.notes[0].find(c.says), std::string::npos) << c.name << ": " << meta.notes[0];
    }
}

std::vector<std::uint8_t> encoded(const TestPicture& pic, const PictureMeta& colour) {
    const PlanarPicture planes = expected_planes(pic);
    std::vector<std::uint8_t> file;
    const Status st = encode_png(
        "out.png", pic.width, pic.height, planes.red.get(), planes.green.get(), planes.blue.get(),
        nullptr, PlaneOrder::by_column,
        [&file](const unsigned char* b, std::size_t n) {
            file.insert(file.end(), b, b + n);
            return true;
        },
        &colour);
    EXPECT_TRUE(st.ok()) << st.message;
    return file;
}

#ifndef _WIN32
// The Linux writer's bands and rounds (Windows' encoder has neither).
TEST(EncodePng, RowsInManyBandsAndRoundsReadBackTheSame) {
    // Rows of more than 1 MiB: a band each, 12 bands, more than one round of them (four bands a
    // thread) on a machine of up to two threads.
    const TestPicture pic = random_picture(349526, 12, 12);
    const std::vector<std::uint8_t> file = encoded(pic, PictureMeta{});
    PlanarPicture got;
    ASSERT_TRUE(decode_png(file.data(), file.size(), "out.png", DecodeLimits{}, &got).ok());
    EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)));
}
#endif

TEST(EncodePng, CarriesTheProfileUnchangedOrElseSrgbGammaAndChromaticities) {
    const TestPicture pic = random_picture(6, 5, 9);
    PictureMeta with_profile;
    with_profile.icc = test_profile(5000, 4);
    with_profile.icc_name = "Wide gamut";
    with_profile.srgb_intent = 0;  // a profile wins over sRGB
    std::vector<std::uint8_t> file = encoded(pic, with_profile);
    std::vector<std::string> types = png_chunk_types(file);
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types[1], "iCCP");
    EXPECT_EQ(std::count(types.begin(), types.end(), "sRGB"), 0);
    PictureMeta back;
    read_png_meta(file.data(), file.size(), "out.png", &back);
    EXPECT_EQ(back.icc, with_profile.icc);
    EXPECT_EQ(back.icc_name, "Wide gamut");
    PlanarPicture got;
    ASSERT_TRUE(decode_png(file.data(), file.size(), "out.png", DecodeLimits{}, &got).ok());
    EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)));

    PictureMeta no_profile;
    no_profile.srgb_intent = 1;
    no_profile.has_gamma = true;
    no_profile.gamma = 45455;
    no_profile.has_chromaticities = true;
    for (int i = 0; i < 32; ++i) no_profile.chromaticities[i] = static_cast<std::uint8_t>(i * 5);
    file = encoded(pic, no_profile);
    types = png_chunk_types(file);
    EXPECT_EQ(std::vector<std::string>(types.begin() + 1, types.begin() + 4),
              (std::vector<std::string>{"sRGB", "gAMA", "cHRM"}));
    EXPECT_EQ(std::count(types.begin(), types.end(), "iCCP"), 0);
    back = PictureMeta{};
    read_png_meta(file.data(), file.size(), "out.png", &back);
    EXPECT_EQ(back.srgb_intent, 1);
    EXPECT_EQ(back.gamma, 45455u);
    EXPECT_EQ(std::vector<std::uint8_t>(back.chromaticities, back.chromaticities + 32),
              std::vector<std::uint8_t>(no_profile.chromaticities, no_profile.chromaticities + 32));
}

// Bytes whose frequencies fall as a Fibonacci series: their Huffman code would be longer than
// deflate's 15 bits, so it must be flattened.
std::vector<std::uint8_t> skewed_bytes() {
    std::vector<std::uint8_t> v;
    std::uint32_t a = 1, b = 1;
    for (int s = 0; s < 22; ++s) {
        v.insert(v.end(), a, static_cast<std::uint8_t>(s));
        const std::uint32_t c = a + b;
        a = b;
        b = c;
    }
    return v;
}

TEST(ZlibStream, HuffmanCodedBytesInflateToThemselves) {
    std::mt19937 rng(3);
    std::vector<std::uint8_t> noise(200000);
    for (std::uint8_t& v : noise) v = static_cast<std::uint8_t>(rng() % 7 * rng() % 256);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {{"nothing", {}},
                 {"one byte", {42}},
                 {"one value repeated", std::vector<std::uint8_t>(1000, 9)},
                 {"noise over several blocks", noise},
                 {"a code too long for deflate", skewed_bytes()}};
    for (const auto& c : cases) {
        // In two calls, the first not final, joined as the PNG writer joins its bands.
        const std::size_t half = c.bytes.size() / 2;
        std::vector<std::uint8_t> z(2);
        z[0] = 0x78;
        z[1] = 0x01;
        deflate_huffman_only(c.bytes.data(), half, false, &z);
        deflate_huffman_only(c.bytes.data() + half, c.bytes.size() - half, true, &z);
        const std::uint32_t adler = adler32_of(c.bytes.data(), c.bytes.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            z.push_back(static_cast<std::uint8_t>(adler >> shift));
        std::vector<std::uint8_t> back;
        EXPECT_EQ(zlib_inflate(z.data(), z.size(), c.bytes.size(), &back), InflateResult::ok)
            << c.name;
        EXPECT_EQ(back, c.bytes) << c.name;
#ifndef _WIN32
        std::vector<std::uint8_t> by_zlib(c.bytes.size() + 1);
        uLongf size = static_cast<uLongf>(by_zlib.size());
        EXPECT_EQ(uncompress(by_zlib.data(), &size, z.data(), static_cast<uLong>(z.size())), Z_OK)
            << c.name;
        by_zlib.resize(size);
        EXPECT_EQ(by_zlib, c.bytes) << c.name;
#endif
    }
}

#ifndef _WIN32
TEST(ZlibStream, InflatesWhatZlibWritesAtEveryKindOfBlock) {
    std::vector<std::uint8_t> text;
    for (int i = 0; i < 3000; ++i)
        text.push_back(static_cast<std::uint8_t>("profile tags "[i % 13] + i / 700));
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED})
        for (int level : {0, 1, 9}) {
            z_stream s{};
            ASSERT_EQ(deflateInit2(&s, level, Z_DEFLATED, 15, 8, strategy), Z_OK);
            std::vector<std::uint8_t> z(deflateBound(&s, static_cast<uLong>(text.size())));
            s.next_in = text.data();
            s.avail_in = static_cast<uInt>(text.size());
            s.next_out = z.data();
            s.avail_out = static_cast<uInt>(z.size());
            ASSERT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
            z.resize(s.total_out);
            deflateEnd(&s);
            std::vector<std::uint8_t> back;
            EXPECT_EQ(zlib_inflate(z.data(), z.size(), 1 << 20, &back), InflateResult::ok) << level;
            EXPECT_EQ(back, text) << strategy << " " << level;
        }
}
#endif

TEST(ZlibStream, RefusesWhatItCannotInflateWithinItsBytes) {
    const std::vector<std::uint8_t> bytes(100, 7);
    const std::vector<std::uint8_t> good = zlib_stored(bytes);
    std::vector<std::uint8_t> bad_check = good, bad_header = good, bad_type = good;
    bad_check.back() ^= 1;
    bad_header[1] ^= 1;
    bad_type[2] = 0x07;  // block type 3
    const struct {
        const char* name;
        std::vector<std::uint8_t> z;
        std::size_t most;
        InflateResult want;
    } cases[] = {
        {"whole", good, 100, InflateResult::ok},
        {"more than allowed", good, 99, InflateResult::too_large},
        {"without its checksum", std::vector<std::uint8_t>(good.begin(), good.end() - 4), 100,
         InflateResult::cut_short},
        {"cut in its block", std::vector<std::uint8_t>(good.begin(), good.begin() + 50), 100,
         InflateResult::cut_short},
        {"a wrong checksum", bad_check, 100, InflateResult::damaged},
        {"a wrong header check", bad_header, 100, InflateResult::damaged},
        {"a reserved block type", bad_type, 100, InflateResult::damaged},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out;
        EXPECT_EQ(zlib_inflate(c.z.data(), c.z.size(), c.most, &out), c.want) << c.name;
    }
}

}  // namespace
