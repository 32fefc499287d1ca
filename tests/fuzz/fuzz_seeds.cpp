// Writes the fuzzer's seed corpus into a folder: every malformed and flawed file the tests
// know, a few well-formed BMPs of awkward sizes and of every kind, PNGs of every colour type
// and JPEGs, and pictures with metadata (orientations, profiles, damaged ones).

#include <cstdio>
#include <string>

#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/malformed.h"
#include "tests/support/metadata_builder.h"
#include "tests/support/png_builder.h"
#include "tests/support/temp_dir.h"

namespace {

void bmp_kinds(const std::string& dir) {
    const TestPicture pic = random_picture(7, 5, 3);
    std::vector<std::uint32_t> indices, pixels;
    for (std::uint32_t i = 0; i < 35; ++i) indices.push_back(i % 2);
    for (const Rgb& c : pic.pixels) pixels.push_back(0x80000000u | c.r << 16 | c.g << 8 | c.b);
    for (int bits : {1, 4, 8}) {
        BmpKind kind;
        kind.bits = static_cast<std::uint16_t>(bits);
        kind.palette = {{0, 0, 0}, {255, 128, 0}};
        kind.colours_used = 2;
        kind.top_down = bits == 4;
        write_file(dir + "/kind-palette" + std::to_string(bits) + ".bmp",
                   assemble_bmp(7, 5, kind, pack_bmp_rows(7, 5, bits, kind.top_down, indices)));
    }
    BmpKind rle8;
    rle8.bits = 8;
    rle8.compression = 1;
    rle8.palette = {{0, 0, 0}, {255, 128, 0}, {9, 9, 9}};
    rle8.colours_used = 3;
    write_file(dir + "/kind-rle8.bmp", assemble_bmp(4, 3, rle8, {2, 1, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 1, 1, 4, 2, 0, 1}));
    BmpKind rle4 = rle8;
    rle4.bits = 4;
    rle4.compression = 2;
    write_file(dir + "/kind-rle4.bmp", assemble_bmp(5, 2, rle4, {5, 0x12, 0, 0, 0, 3, 0x20, 0x10, 2, 0x21, 0, 1}));
    BmpKind fields;
    fields.bits = 32;
    fields.compression = 3;
    fields.info_size = 124;
    fields.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    write_file(dir + "/kind-argb32.bmp", assemble_bmp(7, 5, fields, pack_bmp_rows(7, 5, 32, false, pixels)));
    BmpKind five = fields;
    five.bits = 16;
    five.info_size = 40;
    five.masks = {0xF800, 0x07E0, 0x001F};
    write_file(dir + "/kind-565.bmp", assemble_bmp(7, 5, five, pack_bmp_rows(7, 5, 16, false, pixels)));
    // OS/2: the core header, 2.x headers cut short, and 24-bit run-length data.
    for (const std::uint32_t info : {12u, 16u, 24u, 64u}) {
        for (const int bits : {4, 24}) {
            BmpKind os2;
            os2.info_size = info;
            os2.bits = static_cast<std::uint16_t>(bits);
            if (bits == 4) os2.palette = {{0, 0, 0}, {255, 128, 0}, {1, 2, 3}};
            std::vector<std::uint32_t> values = bits == 4 ? indices : pixels;
            write_file(
                dir + "/kind-os2-" + std::to_string(info) + "-" + std::to_string(bits) + ".bmp",
                assemble_bmp(7, 5, os2, pack_bmp_rows(7, 5, bits, false, values)));
        }
    }
    BmpKind rle24;
    rle24.info_size = 64;
    rle24.compression = 4;
    write_file(dir + "/kind-os2-rle24.bmp",
               assemble_bmp(5, 2, rle24, {3,  1, 2, 3, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                          12, 0, 0, 0, 0, 2, 1, 0, 2, 9, 9, 9, 0,  1}));
}

void pngs(const std::string& dir) {
    const int depths[][2] = {{0, 1}, {0, 16}, {2, 8}, {2, 16}, {3, 2}, {3, 8}, {4, 8}, {6, 8}, {6, 16}};
    for (const auto& d : depths)
        for (bool interlaced : {false, true}) {
            PngLayout s;
            s.width = 9;
            s.height = 6;
            s.colour_type = d[0];
            s.bit_depth = d[1];
            s.interlaced = interlaced;
            const int spp = d[0] == 2 ? 3 : d[0] == 4 ? 2 : d[0] == 6 ? 4 : 1;
            for (int i = 0; i < 9 * 6 * spp; ++i)
                s.samples.push_back(static_cast<std::uint16_t>((i * 2654435761u) % (1u << d[1])));
            if (d[0] == 3) {
                s.palette = random_picture(1 << d[1], 1, 5).pixels;
                s.trns = {0, 128};
            }
            write_file(dir + "/png-" + std::to_string(d[0]) + "-" + std::to_string(d[1]) +
                           (interlaced ? "-adam7" : "") + ".png",
                       encode_png_file(s, {}, 40));
        }
}

void jpegs(const std::string& dir) {
    const TestPicture pic = demo_picture(24, 16);
    JpegLayout layout;
    write_file(dir + "/jpeg-colour.jpg", make_jpeg(pic, layout));
    layout.grey = true;
    write_file(dir + "/jpeg-grey.jpg", make_jpeg(pic, layout));
    layout.grey = false;
    layout.progressive = true;
    write_file(dir + "/jpeg-progressive.jpg", make_jpeg(pic, layout));
    write_file(dir + "/jpeg-stray-bytes.jpg", jpeg_with_stray_bytes(make_jpeg(pic, JpegLayout{})));
    write_file(dir + "/jpeg-flat-many-scans.jpg", flat_progressive_jpeg(24, 16, 60));
}

// Pictures with metadata: every orientation, profiles in each place, and damaged ones.
void metadata(const std::string& dir) {
    const TestPicture pic = random_picture(5, 3, 12);
    const std::vector<std::uint8_t> jpeg = make_jpeg(pic, JpegLayout{});
    const std::vector<std::uint8_t> profile = test_profile(300, 2);
    for (int o = 0; o <= 9; ++o) {
        write_file(dir + "/meta-png-orientation" + std::to_string(o) + ".png",
                   png_with(pic, png_chunk("eXIf", exif_tiff(o, o % 2 == 1))));
        write_file(dir + "/meta-jpeg-orientation" + std::to_string(o) + ".jpg",
                   jpeg_with(jpeg, jpeg_exif(exif_tiff(o, o % 2 == 0))));
    }
    std::vector<std::uint8_t> iccp = {'p', 0, 0};
    const std::vector<std::uint8_t> z = zlib_stored(profile);
    iccp.insert(iccp.end(), z.begin(), z.end());
    write_file(dir + "/meta-png-iccp.png", png_with(pic, png_chunk("iCCP", iccp)));
    std::vector<std::uint8_t> colour = png_chunk("sRGB", {0});
    for (const auto& c : {png_chunk("gAMA", {0, 0, 0xB1, 0x8F}), png_chunk("cHRM", std::vector<std::uint8_t>(32, 1))})
        colour.insert(colour.end(), c.begin(), c.end());
    write_file(dir + "/meta-png-srgb.png", png_with(pic, colour));
    write_file(dir + "/meta-jpeg-profile.jpg", jpeg_with(jpeg, jpeg_profile(profile, 100, {1, 2, 0})));
    write_file(dir + "/meta-bmp-profile.bmp", bmp_with_profile(pic, profile));
    write_file(dir + "/meta-bmp-profile-outside.bmp", bmp_with_profile(pic, profile, 400));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    std::string dir = argv[1];
    for (const MalformedFile& m : malformed_files()) write_file(dir + "/" + m.name + ".bmp", m.bytes);
    for (const FlawedFile& f : flawed_files())
        write_file(dir + "/flawed-" + f.name + ".bmp", f.bytes);
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 1}, {1, 7}, {9, 6}, {17, 5}};
    for (const auto& s : sizes) {
        TestPicture pic = random_picture(s[0], s[1], static_cast<std::uint32_t>(s[0] * 100 + s[1]));
        write_file(dir + "/good-" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + ".bmp",
                   encode_bmp(pic));
        BmpLayout v4;
        v4.info_size = 108;
        v4.pixel_offset = 122;
        write_file(dir + "/good-v4-" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + ".bmp",
                   encode_bmp(pic, v4));
    }
    bmp_kinds(dir);
    pngs(dir);
    jpegs(dir);
    metadata(dir);
    return 0;
}
