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
            bits == 32 ? "cut short" : std::to_string(bits) + " bits per pixel");
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
    // A 40-byte header's fields under the core header's size: its 16-bit fields then read a
    // height of 0 and 0 bits.
    BmpLayout core;
    core.info_size = 12;
    add("CoreHeader", encode_bmp(pic, core), "0 bits per pixel");
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
    // Bytes between segments, and nothing after them.
    std::vector<std::uint8_t> stray_at_end(jpeg.begin(), jpeg.begin() + 20);
    stray_at_end.insert(stray_at_end.end(), {1, 2, 3});
    add("JpegStrayBytesThenTheEnd", stray_at_end, "cut short");
    return files;
}

std::vector<std::uint8_t> jpeg_with_stray_bytes(const std::vector<std::uint8_t>& jpeg) {
    // After the start-of-image marker, an application segment whose length field is 3 short
    // of its 6 bytes: its last 3 bytes follow it as stray bytes.
    const std::vector<std::uint8_t> segment = {0xFF, 0xE5, 0x00, 0x05, 'a',
                                               'b',  'c',  'd',  'e',  'f'};
    std::vector<std::uint8_t> out = jpeg;
    out.insert(out.begin() + 2, segment.begin(), segment.end());
    return out;
}

std::vector<FlawedFile> flawed_files() {
    const TestPicture pic = random_picture(5, 4, 78);
    const std::vector<std::uint8_t> good = encode_bmp(pic);
    std::vector<FlawedFile> files;
    auto changed = [](std::vector<std::uint8_t> b, std::size_t at, std::uint32_t value) {
        put_le32(b, at, value);
        return b;
    };
    files.push_back({"SizeFieldBelowHeader", changed(good, 2, 53), good, ""});
    files.push_back({"SizeFieldNegative", changed(good, 2, 0xFFFFFFF0u), good, ""});
    files.push_back({"SizeFieldZero", changed(good, 2, 0), good, ""});
    BmpKind eight;
    eight.bits = 8;
    eight.palette = pic.pixels;
    eight.colours_used = 20;
    std::vector<std::uint32_t> indices;
    for (std::uint32_t i = 0; i < 20; ++i) indices.push_back(i);
    const std::vector<std::uint8_t> palette8 =
        assemble_bmp(5, 4, eight, pack_bmp_rows(5, 4, 8, false, indices));
    files.push_back({"PaletteSizeFieldPastTheEnd", changed(palette8, 2, 100000), good, ""});
    const std::vector<std::uint8_t> jpeg = make_jpeg(pic, JpegLayout{});
    files.push_back({"JpegStrayBytesAfterAnApplicationSegment", jpeg_with_stray_bytes(jpeg), jpeg,
                     "3 stray bytes between its markers (the first at byte 9), which were "
                     "skipped"});
    return files;
}
