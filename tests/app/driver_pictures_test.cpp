// Pictures of every kind through the command-line driver, as a user runs it, on Linux and as
// enlarge3.exe under Windows: each kind's results are those of the same 8-bit samples given as
// a plain 24-bit BMP (with transparency, as a plain RGBA PNG), alpha is enlarged by each method
// as one more plane, results are named after the picture, and PNG results hold the same
// samples on every platform.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/resize_run.h"
#include "image/picture.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/png_builder.h"
#include "tests/support/run_driver.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 9, kHeight = 7;          // odd: every row padding differs
constexpr int kOutWidth = 19, kOutHeight = 15;  // every method enlarges to this
const char* const kOutW = "19";
const char* const kOutH = "15";

Outcome run_driver(const TempDir& dir, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {}) {
    return run_program(dir, ENLARGE3_EXE, args, env);
}

// A picture file of one kind, and the 8-bit samples it stands for.
struct Kind {
    std::string name;
    std::string extension;  // of the file the test writes
    std::vector<std::uint8_t> file;
    TestPicture want;
    std::vector<std::uint8_t> alpha;  // row-major from the top; empty: fully opaque
};

void PrintTo(const Kind& k, std::ostream* os) {
    *os << k.name;
}

std::vector<Rgb> random_palette(std::size_t count, std::uint32_t seed) {
    return random_picture(static_cast<int>(count), 1, seed).pixels;
}

std::vector<std::uint32_t> random_indices(std::size_t count, std::uint32_t below,
                                          std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> v;
    for (std::size_t i = 0; i < count; ++i) v.push_back(static_cast<std::uint32_t>(rng() % below));
    return v;
}

TestPicture from_palette(const std::vector<Rgb>& palette,
                         const std::vector<std::uint32_t>& indices) {
    TestPicture p;
    p.width = kWidth;
    p.height = kHeight;
    for (std::uint32_t i : indices) p.pixels.push_back(palette[i]);
    return p;
}

std::uint8_t from_bits(std::uint32_t v, int bits) {
    const std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
}

// Run-length data of 8- or 4-bit indices: each row's runs of one index as encoded runs (a
// 4-bit run repeats the index in both halves of its byte), an end of line after each row and
// an end of picture after the last. Rows bottom-up, as the file stores them.
std::vector<std::uint8_t> run_length_rows(const std::vector<std::uint32_t>& indices, int bits) {
    std::vector<std::uint8_t> out;
    for (int y = kHeight - 1; y >= 0; --y) {
        int x = 0;
        while (x < kWidth) {
            const std::uint32_t index = indices[static_cast<std::size_t>(y * kWidth + x)];
            int run = 1;
            while (x + run < kWidth &&
                   indices[static_cast<std::size_t>(y * kWidth + x + run)] == index)
                ++run;
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(static_cast<std::uint8_t>(bits == 8 ? index : index << 4 | index));
            x += run;
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 1});
    return out;
}

PngLayout png_layout(int colour_type, int depth) {
    PngLayout s;
    s.width = kWidth;
    s.height = kHeight;
    s.colour_type = colour_type;
    s.bit_depth = depth;
    return s;
}

std::vector<Kind> bmp_kinds() {
    const TestPicture pic = random_picture(kWidth, kHeight, 11);
    const std::size_t n = pic.pixels.size();
    std::vector<Kind> kinds;
    std::mt19937 rng(3);

    {
        // The fourth byte is unused and random.
        BmpKind k;
        k.bits = 32;
        std::vector<std::uint32_t> v;
        for (const Rgb& c : pic.pixels)
            v.push_back(static_cast<std::uint32_t>(rng()) << 24 | std::uint32_t{c.r} << 16 |
                        std::uint32_t{c.g} << 8 | c.b);
        kinds.push_back(
            {"Bmp32",
             ".bmp",
             assemble_bmp(kWidth, kHeight, k, pack_bmp_rows(kWidth, kHeight, 32, false, v)),
             pic,
             {}});
        k.compression = 3;
        k.masks = {0xFF, 0xFF00, 0xFF0000};
        v.clear();
        for (const Rgb& c : pic.pixels)
            v.push_back(std::uint32_t{c.b} << 16 | std::uint32_t{c.g} << 8 | c.r);
        kinds.push_back(
            {"Bmp32BitFields",
             ".bmp",
             assemble_bmp(kWidth, kHeight, k, pack_bmp_rows(kWidth, kHeight, 32, false, v)),
             pic,
             {}});
        k.info_size = 124;
        k.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
        v.clear();
        std::vector<std::uint8_t> alpha;
        for (std::size_t i = 0; i < n; ++i) {
            const Rgb& c = pic.pixels[i];
            alpha.push_back(static_cast<std::uint8_t>(i % 4 == 0 ? 255 : rng()));
            v.push_back(std::uint32_t{alpha.back()} << 24 | std::uint32_t{c.r} << 16 |
                        std::uint32_t{c.g} << 8 | c.b);
        }
        kinds.push_back(
            {"Bmp32AlphaV5Header", ".bmp",
             assemble_bmp(kWidth, kHeight, k, pack_bmp_rows(kWidth, kHeight, 32, false, v)), pic,
             alpha});
    }
    for (bool plain : {true, false}) {
        // 5-5-5 without masks, 5-6-5 with.
        BmpKind k;
        k.bits = 16;
        if (!plain) {
            k.compression = 3;
            k.masks = {0xF800, 0x07E0, 0x001F};
        }
        const int green_bits = plain ? 5 : 6;
        std::vector<std::uint32_t> v;
        TestPicture want = pic;
        for (Rgb& c : want.pixels) {
            const std::uint32_t r = c.r >> 3, g = c.g >> (8 - green_bits), b = c.b >> 3;
            v.push_back(r << (5 + green_bits) | g << 5 | b);
            c = {from_bits(r, 5), from_bits(g, green_bits), from_bits(b, 5)};
        }
        kinds.push_back(
            {plain ? "Bmp16Plain555" : "Bmp16BitFields565",
             ".bmp",
             assemble_bmp(kWidth, kHeight, k, pack_bmp_rows(kWidth, kHeight, 16, false, v)),
             want,
             {}});
    }
    for (int bits : {1, 4, 8}) {
        BmpKind k;
        k.bits = static_cast<std::uint16_t>(bits);
        k.palette = random_palette(bits == 8 ? 200 : 1u << bits, static_cast<std::uint32_t>(bits));
        k.colours_used = bits == 8 ? 200 : 0;
        const std::vector<std::uint32_t> idx = random_indices(
            n, static_cast<std::uint32_t>(k.palette.size()), static_cast<std::uint32_t>(bits + 40));
        kinds.push_back(
            {"Bmp" + std::to_string(bits) + "Palette",
             ".bmp",
             assemble_bmp(kWidth, kHeight, k, pack_bmp_rows(kWidth, kHeight, bits, false, idx)),
             from_palette(k.palette, idx),
             {}});
    }
    for (int bits : {4, 8}) {
        BmpKind k;
        k.bits = static_cast<std::uint16_t>(bits);
        k.compression = bits == 8 ? 1 : 2;
        k.palette = random_palette(16, static_cast<std::uint32_t>(bits + 7));
        k.colours_used = 16;
        // Few colours, so that the runs are long.
        std::vector<std::uint32_t> idx =
            random_indices(n, 3, static_cast<std::uint32_t>(bits + 50));
        const std::vector<std::uint8_t> data = run_length_rows(idx, bits);
        k.image_size = static_cast<std::uint32_t>(data.size());
        kinds.push_back({"Bmp" + std::to_string(bits) + "RunLength",
                         ".bmp",
                         assemble_bmp(kWidth, kHeight, k, data),
                         from_palette(k.palette, idx),
                         {}});
    }
    BmpLayout top_down;
    top_down.top_down = true;
    kinds.push_back({"Bmp24TopDown", ".bmp", encode_bmp(pic, top_down), pic, {}});
    BmpLayout v5;
    v5.info_size = 124;
    v5.pixel_offset = 54 + 84;
    kinds.push_back({"Bmp24V5Header", ".bmp", encode_bmp(pic, v5), pic, {}});
    return kinds;
}

std::vector<Kind> png_kinds() {
    const TestPicture pic = random_picture(kWidth, kHeight, 12);
    const std::size_t n = pic.pixels.size();
    std::vector<Kind> kinds;
    std::mt19937 rng(4);
    for (int depth : {1, 4, 8, 16}) {
        PngLayout s = png_layout(0, depth);
        TestPicture want = pic;
        for (Rgb& c : want.pixels) {
            const std::uint32_t v = static_cast<std::uint32_t>(rng()) & ((1u << depth) - 1);
            s.samples.push_back(static_cast<std::uint16_t>(v));
            const std::uint8_t g = depth == 16
                                       ? static_cast<std::uint8_t>((v * 255 + 32767) / 65535)
                                       : from_bits(v, depth);
            c = {g, g, g};
        }
        kinds.push_back({"PngGrey" + std::to_string(depth), ".png", encode_png_file(s), want, {}});
    }
    for (bool interlaced : {false, true}) {
        PngLayout s = png_layout(2, 8);
        s.interlaced = interlaced;
        for (const Rgb& c : pic.pixels) s.samples.insert(s.samples.end(), {c.r, c.g, c.b});
        kinds.push_back(
            {interlaced ? "PngRgb8Interlaced" : "PngRgb8", ".png", encode_png_file(s), pic, {}});
    }
    {
        // 16 bits whose nearest 8-bit value is the picture's, and low bytes that must not count.
        PngLayout s = png_layout(2, 16);
        for (const Rgb& c : pic.pixels)
            for (std::uint8_t v : {c.r, c.g, c.b}) {
                const int jittered = v * 257 + static_cast<int>(rng() % 129) - 64;
                s.samples.push_back(
                    static_cast<std::uint16_t>(std::min(65535, std::max(0, jittered))));
            }
        TestPicture want = pic;
        for (std::size_t i = 0; i < n; ++i) {
            auto to8 = [](std::uint16_t v) {
                return static_cast<std::uint8_t>((v * 255u + 32767u) / 65535u);
            };
            want.pixels[i] = {to8(s.samples[3 * i]), to8(s.samples[3 * i + 1]),
                              to8(s.samples[3 * i + 2])};
        }
        kinds.push_back({"PngRgb16", ".png", encode_png_file(s), want, {}});
    }
    for (int depth : {2, 8}) {
        PngLayout s = png_layout(3, depth);
        s.palette = random_palette(1u << depth, static_cast<std::uint32_t>(depth + 60));
        const std::vector<std::uint32_t> idx = random_indices(
            n, static_cast<std::uint32_t>(s.palette.size()), static_cast<std::uint32_t>(depth));
        for (std::uint32_t i : idx) s.samples.push_back(static_cast<std::uint16_t>(i));
        kinds.push_back({"PngPalette" + std::to_string(depth),
                         ".png",
                         encode_png_file(s),
                         from_palette(s.palette, idx),
                         {}});
    }
    {
        PngLayout s = png_layout(3, 4);
        s.interlaced = true;
        s.palette = random_palette(16, 70);
        s.trns = {0, 128, 255, 40};  // the first four entries' alpha, the rest opaque
        const std::vector<std::uint32_t> idx = random_indices(n, 16, 71);
        std::vector<std::uint8_t> alpha;
        for (std::uint32_t i : idx) {
            s.samples.push_back(static_cast<std::uint16_t>(i));
            alpha.push_back(i < 4 ? s.trns[i] : 255);
        }
        kinds.push_back({"PngPalette4TransparentInterlaced", ".png", encode_png_file(s),
                         from_palette(s.palette, idx), alpha});
    }
    {
        PngLayout s = png_layout(6, 8);
        std::vector<std::uint8_t> alpha;
        for (std::size_t i = 0; i < n; ++i) {
            const Rgb& c = pic.pixels[i];
            alpha.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 255 : rng()));
            s.samples.insert(s.samples.end(), {c.r, c.g, c.b, alpha.back()});
        }
        kinds.push_back({"PngRgba8", ".png", encode_png_file(s), pic, alpha});
    }
    {
        // Grey and alpha of 16 bits, exact multiples of 257: the 8-bit values themselves.
        PngLayout s = png_layout(4, 16);
        TestPicture want = pic;
        std::vector<std::uint8_t> alpha;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t g = want.pixels[i].g;
            want.pixels[i] = {g, g, g};
            alpha.push_back(static_cast<std::uint8_t>(rng()));
            s.samples.insert(s.samples.end(), {static_cast<std::uint16_t>(g * 257),
                                               static_cast<std::uint16_t>(alpha.back() * 257)});
        }
        kinds.push_back({"PngGreyAlpha16", ".png", encode_png_file(s), want, alpha});
    }
    {
        // A colour key: the pixels of the first pixel's colour are transparent.
        PngLayout s = png_layout(2, 8);
        TestPicture want = pic;
        std::vector<std::uint8_t> alpha;
        for (std::size_t i = 0; i < n; ++i) {
            if (i % 5 == 0) want.pixels[i] = want.pixels[0];
            const Rgb& c = want.pixels[i];
            s.samples.insert(s.samples.end(), {c.r, c.g, c.b});
            alpha.push_back(c == want.pixels[0] ? 0 : 255);
        }
        const Rgb& key = want.pixels[0];
        s.trns = {0, key.r, 0, key.g, 0, key.b};
        kinds.push_back({"PngRgb8ColourKey", ".png", encode_png_file(s), want, alpha});
    }
    return kinds;
}

std::vector<Kind> jpeg_kinds() {
    const TestPicture pic = demo_picture(kWidth, kHeight);
    std::vector<Kind> kinds;
    JpegLayout baseline, grey, progressive;
    grey.grey = true;
    progressive.progressive = true;
    const struct {
        const char* name;
        const JpegLayout& layout;
    } layouts[] = {{"JpegBaseline", baseline}, {"JpegGrey", grey}, {"JpegProgressive", progressive}};
    for (const auto& s : layouts) {
        if (s.layout.progressive && !progressive_jpeg_supported()) continue;
        std::vector<std::uint8_t> file = make_jpeg(pic, s.layout);
        // The samples the platform's decoder gives are the reference.
        const TestPicture want = plain_jpeg_samples(file);
        kinds.push_back({s.name, ".jpg", std::move(file), want, {}});
    }
    return kinds;
}

std::vector<Kind> every_kind() {
    std::vector<Kind> all = bmp_kinds();
    for (std::vector<Kind> more : {png_kinds(), jpeg_kinds()})
        all.insert(all.end(), more.begin(), more.end());
    return all;
}

const char* const kMethods[kMethodCount] = {"lanczos3", "hybrid", "dct"};

// The three BMP results of want given as a plain 24-bit BMP or, with alpha (row-major from the
// top), as a plain 8-bit RGBA PNG, run once per distinct picture.
const std::vector<std::vector<std::uint8_t>>& reference_results(
    const TestPicture& want, const std::vector<std::uint8_t>& alpha = {}) {
    static std::map<std::vector<std::uint8_t>, std::vector<std::vector<std::uint8_t>>> cache;
    std::vector<std::uint8_t> file = encode_bmp(want);
    if (!alpha.empty()) {
        PngLayout s = png_layout(6, 8);
        for (std::size_t i = 0; i < want.pixels.size(); ++i) {
            const Rgb& c = want.pixels[i];
            s.samples.insert(s.samples.end(), {c.r, c.g, c.b, alpha[i]});
        }
        file = encode_png_file(s);
    }
    auto it = cache.find(file);
    if (it != cache.end()) return it->second;
    TempDir dir;
    const std::string path = dir.file(alpha.empty() ? "ref.bmp" : "ref.png");
    write_file(path, file);
    const Outcome o = run_driver(dir, {"--format=bmp", path, kOutW, kOutH});
    EXPECT_EQ(o.status, 0) << o.err;
    std::vector<std::vector<std::uint8_t>> results;
    for (const char* m : kMethods)
        results.push_back(read_file(dir.file(std::string("ref_") + m + ".bmp")));
    return cache[file] = results;
}

// What the DCT method announces: alpha first when the picture has it.
std::string announced(bool alpha) {
    return std::string(alpha ? "ALPHA START\n" : "") + "RED START\nGREEN START\nBLUE START\n";
}

// A result as planes, read by the tool's own reader (the readers are tested on their own).
PlanarPicture read_result(const std::string& path) {
    PlanarPicture p;
    const Status st = read_picture(path, &p);
    EXPECT_TRUE(st.ok()) << st.message;
    return p;
}

// Plane c (0 red, 1 green, 2 blue, 3 alpha) of a picture, column-major.
std::vector<std::uint8_t> plane(const PlanarPicture& p, int c) {
    const HeapArray<std::uint8_t>* planes[4] = {&p.red, &p.green, &p.blue, &p.alpha};
    const std::uint8_t* data = planes[c]->get();
    const std::size_t n = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height);
    return data == nullptr ? std::vector<std::uint8_t>()
                           : std::vector<std::uint8_t>(data, data + n);
}

class DriverKinds : public ::testing::TestWithParam<Kind> {};

// With --format bmp every kind gives, byte for byte, the results of its samples as a 24-bit
// BMP, or with transparency as an RGBA PNG: its colours weighted by its alpha, and one line
// says that the alpha itself is not kept.
TEST_P(DriverKinds, BmpResultsAreThoseOfTheSamplesAs24BitBmp) {
    const Kind& k = GetParam();
    const auto& reference = reference_results(k.want, k.alpha);
    TempDir dir;
    const std::string path = dir.file("pic" + k.extension);
    write_file(path, k.file);
    const Outcome o = run_driver(dir, {"--format", "bmp", path, kOutW, kOutH});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, announced(!k.alpha.empty()));
    const std::string notice = "'" + path + "' is partly transparent";
    EXPECT_EQ(o.err.find(notice) != std::string::npos, !k.alpha.empty()) << o.err;
    EXPECT_EQ(o.err.find(notice), o.err.rfind(notice)) << "said more than once: " << o.err;
    for (int m = 0; m < kMethodCount; ++m)
        EXPECT_TRUE(read_file(dir.file(std::string("pic_") + kMethods[m] + ".bmp")) == reference[m])
            << kMethods[m];
}

// In PNG (the default for PNG and JPEG pictures, asked for a BMP one) the colours are those of
// the BMP results, and a transparent picture's results carry an alpha plane.
TEST_P(DriverKinds, PngResultsHoldTheSameColours) {
    const Kind& k = GetParam();
    const auto& reference = reference_results(k.want, k.alpha);
    TempDir dir;
    const std::string path = dir.file("pic" + k.extension);
    write_file(path, k.file);
    std::vector<std::string> args = {path, kOutW, kOutH};
    if (k.extension == ".bmp") args.insert(args.begin(), "--format=png");
    const Outcome o = run_driver(dir, args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, announced(!k.alpha.empty()));
    EXPECT_EQ(o.err.find("transparent"), std::string::npos) << o.err;
    for (int m = 0; m < kMethodCount; ++m) {
        const std::string result = dir.file(std::string("pic_") + kMethods[m] + ".png");
        ASSERT_TRUE(file_exists(result)) << kMethods[m];
        const PlanarPicture got = read_result(result);
        const TestPicture want = decode_result_bmp(reference[m]);
        ASSERT_EQ(got.width, kOutWidth);
        ASSERT_EQ(got.height, kOutHeight);
        int wrong = 0;
        for (int t = 0; t < kOutHeight && wrong == 0; ++t)
            for (int x = 0; x < kOutWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(x * kOutHeight + t);
                const Rgb g{got.red[i], got.green[i], got.blue[i]};
                if (!(g == want.at(x, t))) {
                    ADD_FAILURE() << kMethods[m] << ": pixel " << x << "," << t << " differs";
                    ++wrong;
                    break;
                }
            }
        EXPECT_EQ(got.has_alpha(), !k.alpha.empty()) << kMethods[m];
    }
    EXPECT_FALSE(file_exists(dir.file("pic_lanczos3.bmp")));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DriverKinds, ::testing::ValuesIn(every_kind()),
                         [](const auto& p) { return p.param.name; });

// A transparent PNG's alpha plane is enlarged by each method exactly as a colour plane of the
// same values: for Lanczos-3 and DCT on its own, so a picture whose red is the alpha values
// gives the alpha results as its red results. The Hybrid switches alpha by edges of the picture
// as it shows: white under alpha shows over black as alpha itself would, and not at all over
// white, so there a grey picture of the alpha values gives the same masks.
TEST(DriverAlpha, EnlargedByEachMethodAsOneMorePlane) {
    const TestPicture colours = demo_picture(kWidth, kHeight);
    TestPicture as_colour = colours;  // red replaced by alpha
    TestPicture white = colours, grey = colours;
    std::vector<std::uint8_t> alpha;
    std::mt19937 rng(9);
    for (std::size_t i = 0; i < colours.pixels.size(); ++i) {
        // Hard edges and soft ones, every value from clear to opaque.
        alpha.push_back(static_cast<std::uint8_t>((i % kWidth) < 3   ? 0
                                                  : (i % kWidth) > 6 ? 255
                                                                     : rng()));
        as_colour.pixels[i].r = alpha.back();
        white.pixels[i] = Rgb{255, 255, 255};
        grey.pixels[i] = Rgb{alpha.back(), alpha.back(), alpha.back()};
    }
    const struct {
        const TestPicture& pic;
        const TestPicture& reference;
        std::vector<int> methods;
    } cases[] = {{colours, as_colour, {0, 2}}, {white, grey, {0, 1, 2}}};
    for (const auto& c : cases) {
        PngLayout s = png_layout(6, 8);
        for (std::size_t i = 0; i < c.pic.pixels.size(); ++i) {
            const Rgb& p = c.pic.pixels[i];
            s.samples.insert(s.samples.end(), {p.r, p.g, p.b, alpha[i]});
        }
        TempDir dir;
        write_file(dir.file("t.png"), encode_png_file(s));
        const Outcome o = run_driver(dir, {dir.file("t.png"), kOutW, kOutH});
        ASSERT_EQ(o.status, 0) << o.err;
        const auto& reference = reference_results(c.reference);
        for (int m : c.methods) {
            const PlanarPicture got =
                read_result(dir.file(std::string("t_") + kMethods[m] + ".png"));
            ASSERT_TRUE(got.has_alpha()) << kMethods[m];
            const TestPicture want = decode_result_bmp(reference[static_cast<std::size_t>(m)]);
            std::vector<std::uint8_t> red;
            for (int x = 0; x < kOutWidth; ++x)
                for (int t = 0; t < kOutHeight; ++t) red.push_back(want.at(x, t).r);
            EXPECT_EQ(plane(got, 3), red) << kMethods[m];
        }
    }
}

struct NameCase {
    const char* picture;  // a file name in the test's folder
    const char* format;   // --format, or "" for the default
    bool png_bytes;       // the file holds a PNG, else a 24-bit BMP
    const char* stem;     // what the results are named after
    const char* extension;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.picture << " " << c.format;
}

class DriverNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(DriverNames, ResultsAreNamedAfterThePicture) {
    const NameCase& c = GetParam();
    TempDir dir;
    const TestPicture pic = random_picture(5, 4, 2);
    PngLayout s = png_layout(2, 8);
    s.width = 5;
    s.height = 4;
    for (const Rgb& p : pic.pixels) s.samples.insert(s.samples.end(), {p.r, p.g, p.b});
    write_file(dir.file(c.picture), c.png_bytes ? encode_png_file(s) : encode_bmp(pic));
    std::vector<std::string> args = {"--method", "lanczos3", dir.file(c.picture), "10", "8"};
    if (*c.format != '\0') args.insert(args.begin(), std::string("--format=") + c.format);
    const Outcome o = run_driver(dir, args);
    ASSERT_EQ(o.status, 0) << o.err;
    std::vector<std::string> want = {c.picture, std::string(c.stem) + "_lanczos3" + c.extension};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(files_in(dir.path()), want);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DriverNames,
    ::testing::Values(NameCase{"holiday.jpeg", "", true, "holiday", ".png"},
                      NameCase{"cat.bmp", "", false, "cat", ".bmp"},
                      NameCase{"cat.BMP", "png", false, "cat", ".png"},
                      NameCase{"shot.png", "bmp", true, "shot", ".bmp"},
                      // A BMP's name keeps the original rule whatever the file holds.
                      NameCase{"x.bmp", "", true, "x", ".png"},
                      NameCase{"archive.tar.png", "", true, "archive.tar", ".png"},
                      NameCase{"scan", "", true, "scan", ".png"},
                      NameCase{"photo.jpeg", "", false, "photo", ".bmp"}),
    [](const auto& p) {
        std::string n = std::string(p.param.picture) + "_" + p.param.format;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

// A PNG whose pixels would take far more memory than its file (zeros compress about a
// thousand to one) is refused from its header, before the memory is taken.
TEST(DriverRefusesPng, ADecompressionBombWithinTheMemoryLimit) {
    TempDir dir;
    PngLayout bomb;
    bomb.width = 8000;
    bomb.height = 6000;
    bomb.colour_type = 6;
    const std::vector<std::uint8_t> file = encode_png_file(
        bomb, zlib_zero_run(static_cast<std::size_t>(6000) * (1 + 8000 * 4)), 1 << 20);
    EXPECT_LT(file.size(), 2u << 20);
    write_file(dir.file("bomb.png"), file);
    const Outcome o = run_driver(dir, {dir.file("bomb.png"), "9000", "7000"},
                                 {{"ENLARGE3_MEMORY_LIMIT", std::to_string(64u << 20)}});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("8000 x 6000"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("memory"), std::string::npos) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"bomb.png"});
}

TEST(DriverRefusesPng, AZeroSideForPngResults) {
    TempDir dir;
    write_file(dir.file("p.bmp"), encode_bmp(random_picture(4, 3, 1)));
    const Outcome o = run_driver(dir, {"--format", "png", dir.file("p.bmp"), "0", "5"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "the output size 0 x 5 cannot be written as PNG (each side at least 1 pixel)\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"p.bmp"});
}

// PNG pictures' results, as samples, with their SHA-256 recorded from the Linux driver: the
// Windows driver must give the very same. The PNG files themselves differ (each platform's
// encoder compresses in its own way); their samples may not.
//   ENLARGE3_GOLDEN_PRINT=1 build/tests/app/driver_pictures_test --gtest_filter='PngGolden*'
struct PngGolden {
    const char* name;
    int colour_type, depth, width, height, out_width, out_height;
    const char* hash[kMethodCount];  // lanczos3, hybrid, dct
};

void PrintTo(const PngGolden& g, std::ostream* os) {
    *os << g.name;
}

const PngGolden kPngGoldens[] = {
    {"Rgb8",
     2,
     8,
     23,
     17,
     50,
     40,
     {"20e44ed29004a018eb60660a4e6642bc921091755effe7ec3fb1435b35459db3",
      "3eb980c415c3e79fc503c6fa4f4ecb29d9c05a872e297efbdf4a3a96e49627a6",
      "aff9af530c797172373cb32c93c84f0f763341652b41786834a7922354046bcc"}},
    {"Rgba8",
     6,
     8,
     16,
     12,
     40,
     30,
     // Recorded again when transparency came to be enlarged weighted by alpha.
     {"9321806baa8bbecfea2bed7f89777f47f6dce0f2181f4f701efe767b2bcb639a",
      "7dacd65b3866b966ac99a4e1a5016794a7f7fab30a5d3f36dd39d377e8208073",
      "78f4b917807f9dc4e70d6728a28e7178e2778ae6c9ef3a00bc983b0dc349120a"}},
    {"Grey16",
     0,
     16,
     13,
     11,
     30,
     25,
     {"a06f331ba60ee53e770f721e3c05049afe2559fc545ae1f5d54b9c52751f86a4",
      "31d806bee2fb3b839bcb70734e965d713867a7ca1af27beb790ce1c7d0c3e898",
      "d29280322bd0602ebb333718fad9c7513b75f13dc7b921f8fd6db2b2f32f43f3"}},
};

PngLayout golden_layout(const PngGolden& g) {
    PngLayout s = png_layout(g.colour_type, g.depth);
    s.width = g.width;
    s.height = g.height;
    const TestPicture pic = demo_picture(g.width, g.height);
    std::mt19937 rng(static_cast<std::uint32_t>(g.width));
    for (std::size_t i = 0; i < pic.pixels.size(); ++i) {
        const Rgb& c = pic.pixels[i];
        const int x = static_cast<int>(i % static_cast<std::size_t>(g.width));
        if (g.colour_type == 0)
            s.samples.push_back(static_cast<std::uint16_t>(c.g * 257 + rng() % 257));
        if (g.colour_type == 2 || g.colour_type == 6)
            s.samples.insert(s.samples.end(), {c.r, c.g, c.b});
        // A hard edge and a soft ramp of transparency.
        if (g.colour_type == 6)
            s.samples.push_back(static_cast<std::uint16_t>(x < 4 ? 0 : x < 10 ? 25 * x : 255));
    }
    return s;
}

std::string sample_hash(const PlanarPicture& p) {
    std::vector<std::uint8_t> all = {static_cast<std::uint8_t>(p.width),
                                     static_cast<std::uint8_t>(p.height)};
    for (int c = 0; c < 4; ++c) {
        const std::vector<std::uint8_t> v = plane(p, c);
        all.insert(all.end(), v.begin(), v.end());
    }
    return sha256_hex(all);
}

class PngGoldenResults : public ::testing::TestWithParam<PngGolden> {};

TEST_P(PngGoldenResults, SameSamplesOnEveryPlatform) {
    const PngGolden& g = GetParam();
    TempDir dir;
    write_file(dir.file("g.png"), encode_png_file(golden_layout(g)));
    const Outcome o = run_driver(
        dir, {dir.file("g.png"), std::to_string(g.out_width), std::to_string(g.out_height)});
    ASSERT_EQ(o.status, 0) << o.err;
    std::string line = std::string("    {\"") + g.name + "\", " + std::to_string(g.colour_type) +
                       ", " + std::to_string(g.depth) + ", " + std::to_string(g.width) + ", " +
                       std::to_string(g.height) + ", " + std::to_string(g.out_width) + ", " +
                       std::to_string(g.out_height) + ", {";
    for (int m = 0; m < kMethodCount; ++m) {
        const std::string got =
            sample_hash(read_result(dir.file(std::string("g_") + kMethods[m] + ".png")));
        line += "\"" + got + "\"" + (m + 1 < kMethodCount ? ", " : "}},");
        if (std::getenv("ENLARGE3_GOLDEN_PRINT") == nullptr) {
            EXPECT_EQ(got, g.hash[m] ? g.hash[m] : "") << kMethods[m];
        }
    }
    if (std::getenv("ENLARGE3_GOLDEN_PRINT") != nullptr) std::printf("%s\n", line.c_str());
}

INSTANTIATE_TEST_SUITE_P(Pictures, PngGoldenResults, ::testing::ValuesIn(kPngGoldens),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
