#include "tests/support/bmp_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tests/support/rounded_trig.h"

TestPicture random_picture(int width, int height, std::uint32_t seed) {
    TestPicture pic;
    pic.width = width;
    pic.height = height;
    std::mt19937 rng(seed);
    pic.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (Rgb& p : pic.pixels) {
        p.r = static_cast<std::uint8_t>(rng());
        p.g = static_cast<std::uint8_t>(rng());
        p.b = static_cast<std::uint8_t>(rng());
    }
    return pic;
}

std::uint32_t test_pixel_rgb(int x, int t) {
    const auto r = static_cast<std::uint32_t>((x * 37 + t * 11 + 5) & 0xFF);
    const auto g = static_cast<std::uint32_t>((x * 5 + t * 71 + 90) & 0xFF);
    const auto b = static_cast<std::uint32_t>(((x * 13) ^ (t * 29)) & 0xFF);
    return r << 16 | g << 8 | b;
}

TestPicture pattern_picture(int width, int height) {
    TestPicture pic;
    pic.width = width;
    pic.height = height;
    for (int t = 0; t < height; ++t)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = test_pixel_rgb(x, t);
            pic.pixels.push_back({static_cast<std::uint8_t>(rgb >> 16),
                                  static_cast<std::uint8_t>(rgb >> 8),
                                  static_cast<std::uint8_t>(rgb)});
        }
    return pic;
}

TestPicture demo_picture(int width, int height) {
    TestPicture pic;
    pic.width = width;
    pic.height = height;
    for (int t = 0; t < height; ++t)
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(t) / height;
            double r = 70 + 150 * v, g = 130 + 90 * v, bl = 230 - 40 * v;  // sky
            const double dx = u - 0.72, dy = v - 0.3;
            if (dx * dx + dy * dy < 0.012) r = 255, g = 215, bl = 80;  // sun
            // Rounded once, so that Windows tests the same picture; glibc's sin gives the same
            // picture at every size the tests take.
            const double hill =
                0.68 + 0.08 * sin_rounded(u * 9.0) + 0.05 * sin_rounded(u * 23.0 + 1.0);
            if (v > hill) r = 50 + 60 * (v - hill), g = 140 - 50 * (v - hill), bl = 60;  // hills
            pic.pixels.push_back({static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                  static_cast<std::uint8_t>(bl)});
        }
    return pic;
}

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get_le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | bytes[at + static_cast<size_t>(i)];
    return v;
}

void put_le16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::vector<std::uint8_t> encode_bmp(const TestPicture& pic, const BmpLayout& layout) {
    size_t stride = (3 * static_cast<size_t>(pic.width) + 3) / 4 * 4;
    std::vector<std::uint8_t> bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put_le32(bytes, 10, layout.pixel_offset);
    put_le32(bytes, 14, layout.info_size);
    put_le32(bytes, 18, static_cast<std::uint32_t>(pic.width));
    put_le32(bytes, 22, static_cast<std::uint32_t>(layout.top_down ? -pic.height : pic.height));
    put_le16(bytes, 26, 1);
    put_le16(bytes, 28, layout.bits);
    put_le32(bytes, 30, layout.compression);
    put_le32(bytes, 38, 3780);
    put_le32(bytes, 42, 3780);
    bytes.resize(layout.pixel_offset, layout.gap_byte);
    for (int r = 0; r < pic.height; ++r) {
        int y = layout.top_down ? r : pic.height - 1 - r;
        size_t start = bytes.size();
        for (int x = 0; x < pic.width; ++x) {
            Rgb p = pic.at(x, y);
            bytes.push_back(p.b);
            bytes.push_back(p.g);
            bytes.push_back(p.r);
        }
        bytes.resize(start + stride, layout.padding_byte);
    }
    std::uint32_t size = layout.size_field >= 0 ? static_cast<std::uint32_t>(layout.size_field)
                                                : static_cast<std::uint32_t>(bytes.size());
    put_le32(bytes, 2, size);
    return bytes;
}

std::vector<std::uint8_t> assemble_bmp(int width, int height, const BmpKind& kind,
                                       const std::vector<std::uint8_t>& pixel_data) {
    const bool core = kind.info_size == 12;
    const std::size_t header_end = 14 + std::size_t{kind.info_size};
    // The masks follow the 40-byte header's fields, inside a longer header or after it.
    const std::size_t tables =
        std::max(header_end, kind.masks.empty() ? 0 : 54 + 4 * kind.masks.size());
    std::vector<std::uint8_t> bytes(tables, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put_le32(bytes, 14, kind.info_size);
    if (core) {
        put_le16(bytes, 18, static_cast<std::uint16_t>(width));
        put_le16(bytes, 20, static_cast<std::uint16_t>(height));
        put_le16(bytes, 22, 1);
        put_le16(bytes, 24, kind.bits);
    } else {
        // A short OS/2 header holds the fields that end inside it.
        auto field32 = [&](std::size_t at, std::uint32_t v) {
            if (at + 4 <= header_end) put_le32(bytes, at, v);
        };
        auto field16 = [&](std::size_t at, std::uint16_t v) {
            if (at + 2 <= header_end) put_le16(bytes, at, v);
        };
        field32(18, static_cast<std::uint32_t>(width));
        field32(22, static_cast<std::uint32_t>(kind.top_down ? -height : height));
        field16(26, 1);
        field16(28, kind.bits);
        field32(30, kind.compression);
        field32(34, kind.image_size);
        field32(38, 3780);
        field32(42, 3780);
        field32(46, kind.colours_used);
    }
    for (std::size_t i = 0; i < kind.masks.size(); ++i) put_le32(bytes, 54 + 4 * i, kind.masks[i]);
    for (const Rgb& c : kind.palette) {
        bytes.push_back(c.b);
        bytes.push_back(c.g);
        bytes.push_back(c.r);
        if (!core) bytes.push_back(0);
    }
    put_le32(bytes, 10, static_cast<std::uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), pixel_data.begin(), pixel_data.end());
    put_le32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    return bytes;
}

std::vector<std::uint8_t> pack_bmp_rows(int width, int height, int bits, bool top_down,
                                        const std::vector<std::uint32_t>& values) {
    const std::size_t stride = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    for (int r = 0; r < height; ++r) {
        const int y = top_down ? r : height - 1 - r;
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = values[static_cast<std::size_t>(y * width + x)];
            if (bits < 8) {
                const std::size_t bit = static_cast<std::size_t>(x * bits);
                row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | v << (8 - bits - bit % 8));
            } else {
                for (int b = 0; b < bits / 8; ++b)
                    row[static_cast<std::size_t>(x * bits / 8 + b)] = static_cast<std::uint8_t>(v >> (8 * b));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::uint8_t> make_bmp(int width, int height, unsigned extra_info_bytes) {
    BmpLayout layout;
    layout.pixel_offset = 54 + extra_info_bytes;
    layout.info_size = 40 + extra_info_bytes;
    layout.gap_byte = 0;
    return encode_bmp(pattern_picture(width, height), layout);
}

TestPicture decode_result_bmp(const std::vector<std::uint8_t>& bytes) {
    TestPicture pic;
    EXPECT_GE(bytes.size(), 54u);
    if (bytes.size() < 54) return pic;
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(get_le32(bytes, 2), bytes.size());
    EXPECT_EQ(get_le32(bytes, 10), 54u);
    EXPECT_EQ(get_le32(bytes, 14), 40u);
    pic.width = static_cast<int>(get_le32(bytes, 18));
    pic.height = static_cast<int>(get_le32(bytes, 22));
    EXPECT_EQ(bytes[28], 24);
    size_t stride = (3 * static_cast<size_t>(pic.width) + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), 54 + stride * static_cast<size_t>(pic.height));
    if (bytes.size() != 54 + stride * static_cast<size_t>(pic.height)) return pic;
    pic.pixels.resize(static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height));
    for (int r = 0; r < pic.height; ++r) {
        int y = pic.height - 1 - r;
        const std::uint8_t* row = bytes.data() + 54 + static_cast<size_t>(r) * stride;
        for (int x = 0; x < pic.width; ++x)
            pic.pixels[static_cast<size_t>(y * pic.width + x)] = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
        for (size_t p = 3 * static_cast<size_t>(pic.width); p < stride; ++p) EXPECT_EQ(row[p], 0);
    }
    return pic;
}
