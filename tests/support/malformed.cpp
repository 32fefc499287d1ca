#include "tests/support/malformed.h"

#include "tests/support/bmp_builder.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/png_builder.h"

std::vector<MalformedFile> malformed_files() {
    const TestPicture pic = random_picture(5, 4, 77);
    const std::vector<std::uint8_t> good = encode_bmp(pic);
    std::vector<MalformedFile> files;
    auto add = [&files](std::string name, std::vector<std::uint8_t> bytes, std::string says) {
        files.push_back({std::move(name), std::move(bytes), std::move(says)});
    };
    auto changed = [&good](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = good;
        put_le32(b, at, value);
        return b;
    };

    add("Empty", {}, "not a picture the tool reads");
    add("OneByte", {'B'}, "not a picture the tool reads");
    for (std::size_t cut = 2; cut < 54; ++cut)
        add("HeaderCutAt" + std::to_string(cut),
            std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)),
            "too short");
    add("PixelDataShortByOneByte", std::vector<std::uint8_t>(good.begin(), good.end() - 1),
        "InputFileSizeError!!!");
    add("WidthZero", changed(18, 0), "invalid size");
    add("HeightZero", changed(22, 0), "invalid size");
    add("WidthNegative", changed(18, static_cast<std::uint32_t>(-5)), "invalid size");
    std::vector<std::uint8_t> over32 = changed(18, 70000);
    put_le32(over32, 22, 70000);  // 4.9e9 samples: past 32 bits
    add("SampleCountPast32Bits", over32, "too small");
    std::vector<std::uint8_t> over64 = changed(18, 0x7FFFFFFF);
    put_le32(over64, 22, 0x7FFFFFFF);  // rows of 6 GiB, 2^31 of them: near 2^64 bytes
    add("SampleCountNear64Bits", over64, "too small");
    add("SizeFieldBelowHeader", changed(2, 53), "size field");
    add("SizeFieldNegative", changed(2, 0xFFFFFFF0u), "size field");
    add("SizeFieldFarBeyondTheFile", changed(2, 0x7FFFFFFF), "InputFileSizeError!!!");
    add("PixelOffsetPastTheEnd", changed(10, static_cast<std::uint32_t>(good.size() + 1)),
        "offset");
    add("PixelOffsetZero", changed(10, 0), "offset");
    // A 24-bit picture's rows under another bit count: its palette, masks or rows do not fit.
    for (int bits : {1, 4, 8}) {
        BmpLayout l;
        l.bits = static_cast<std::uint16_t>(bits);
        add("BitsPerPixel" + std::to_string(bits), encode_bmp(pic, l), "pixel data at offset");
    }
    for (int bits : {32, 0, 48}) {
        BmpLayout l;
        l.bits = static_cast<std::uint16_t>(bits);
        add("BitsPerPixel" + std::to_string(bits), encode_bmp(pic, l),
            bits == 32 ? "too small" : std::to_string(bits) + " bits per pixel");
    }
    const char* compression_says[] = {"run-length encoded for 8-bit",
                                      "run-length encoded for 4-bit",
                                      "bit-field masks with 24 bits",
                                      "JPEG inside a BMP",
                                      "PNG inside a BMP",
                                      "bit-field masks with 24 bits"};
    for (std::uint32_t c = 1; c <= 6; ++c) {
        BmpLayout l;
        l.compression = c;
        add("Compression" + std::to_string(c), encode_bmp(pic, l), compression_says[c - 1]);
    }
    BmpLayout core;
    core.info_size = 12;
    add("CoreHeader", encode_bmp(pic, core), "old BMP header");
    add("PngRenamed",
        {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 5,
         0, 0, 0, 4, 8, 2, 0, 0, 0, 0x12, 0x34, 0x56, 0x78},
        "checksum");
    add("TextFile", {'h', 'e', 'l', 'l', 'o', '\n'}, "not a picture the tool reads");

    PngLayout layout;
    layout.width = pic.width;
    layout.height = pic.height;
    for (const Rgb& c : pic.pixels) layout.samples.insert(layout.samples.end(), {c.r, c.g, c.b});
    const std::vector<std::uint8_t> png = encode_png_file(layout);
    const std::size_t idat = 8 + 25;  // the first IDAT chunk, right after IHDR
    add("PngCutInsideImageData",
        std::vector<std::uint8_t>(png.begin(), png.begin() + static_cast<long>(idat + 30)),
        "cut short");
    std::vector<std::uint8_t> bad_crc = png;
    bad_crc[idat + 20] ^= 0x10;
    add("PngImageDataChecksum", bad_crc, "checksum");
    PngLayout huge = layout;
    huge.width = huge.height = 100000;
    add("PngClaimsHundredThousandSquared", encode_png_file(huge, zlib_stored(png_scanlines(layout))),
        "100000 x 100000");

    const std::vector<std::uint8_t> jpeg = make_jpeg(pic, JpegLayout{});
    add("JpegCutInHalf",
        std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)),
        "cut short");
    JpegLayout cmyk;
    cmyk.cmyk = true;
    const std::vector<std::uint8_t> four = make_jpeg(pic, cmyk);
    // Not every platform's encoder writes CMYK.
    if (!four.empty()) add("JpegCmyk", four, "CMYK");
    return files;
}
