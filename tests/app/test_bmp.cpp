#include "tests/app/test_bmp.h"

#include <cmath>
#include <cstdio>

#include "base/file_io.h"
#include "image/bmp.h"

std::uint32_t test_pixel_rgb(int x, int t) {
    const auto r = static_cast<std::uint32_t>((x * 37 + t * 11 + 5) & 0xFF);
    const auto g = static_cast<std::uint32_t>((x * 5 + t * 71 + 90) & 0xFF);
    const auto b = static_cast<std::uint32_t>(((x * 13) ^ (t * 29)) & 0xFF);
    return r << 16 | g << 8 | b;
}

void set_u16(std::vector<unsigned char>* bytes, std::size_t offset, std::uint16_t v) {
    (*bytes)[offset] = static_cast<unsigned char>(v);
    (*bytes)[offset + 1] = static_cast<unsigned char>(v >> 8);
}

void set_u32(std::vector<unsigned char>* bytes, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        (*bytes)[offset + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

std::vector<unsigned char> make_bmp(int width, int height, unsigned extra_info_bytes) {
    const std::size_t stride =
        static_cast<std::size_t>(bmp_row_stride(static_cast<std::uint64_t>(width)));
    const std::size_t offset = 54 + extra_info_bytes;
    std::vector<unsigned char> b(offset + stride * static_cast<std::size_t>(height), 0);
    b[0] = 'B';
    b[1] = 'M';
    set_u32(&b, 2, static_cast<std::uint32_t>(b.size()));
    set_u32(&b, 10, static_cast<std::uint32_t>(offset));
    set_u32(&b, 14, 40 + extra_info_bytes);
    set_u32(&b, 18, static_cast<std::uint32_t>(width));
    set_u32(&b, 22, static_cast<std::uint32_t>(height));
    set_u16(&b, 26, 1);
    set_u16(&b, 28, 24);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &b[offset + static_cast<std::size_t>(y) * stride];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = test_pixel_rgb(x, height - 1 - y);
            row[3 * x] = static_cast<unsigned char>(rgb);
            row[3 * x + 1] = static_cast<unsigned char>(rgb >> 8);
            row[3 * x + 2] = static_cast<unsigned char>(rgb >> 16);
        }
    }
    return b;
}

bool write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = open_file(path, "wb");
    if (f == nullptr) return false;
    const bool good =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && good;
}

std::vector<unsigned char> read_bytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = open_file(path, "rb");
    if (f == nullptr) return bytes;
    unsigned char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

std::vector<unsigned char> make_demo_bmp(int width, int height) {
    std::vector<unsigned char> b = make_bmp(width, height);
    const std::size_t stride =
        static_cast<std::size_t>(bmp_row_stride(static_cast<std::uint64_t>(width)));
    for (int t = 0; t < height; ++t) {
        unsigned char* row = &b[54 + static_cast<std::size_t>(height - 1 - t) * stride];
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(t) / height;
            double r = 70 + 150 * v, g = 130 + 90 * v, bl = 230 - 40 * v;  // sky
            const double dx = u - 0.72, dy = v - 0.3;
            if (dx * dx + dy * dy < 0.012) r = 255, g = 215, bl = 80;  // sun
            const double hill = 0.68 + 0.08 * std::sin(u * 9.0) + 0.05 * std::sin(u * 23.0 + 1.0);
            if (v > hill) r = 50 + 60 * (v - hill), g = 140 - 50 * (v - hill), bl = 60;  // hills
            row[3 * x] = static_cast<unsigned char>(bl);
            row[3 * x + 1] = static_cast<unsigned char>(g);
            row[3 * x + 2] = static_cast<unsigned char>(r);
        }
    }
    return b;
}
