#include "tests/support/metadata_builder.h"

#include <algorithm>
#include <cstring>

namespace {

void put16(std::vector<std::uint8_t>* v, std::uint32_t x, bool big) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8)};
    v->push_back(big ? b[1] : b[0]);
    v->push_back(big ? b[0] : b[1]);
}

void put32(std::vector<std::uint8_t>* v, std::uint32_t x, bool big) {
    put16(v, big ? x >> 16 : x & 0xFFFF, big);
    put16(v, big ? x & 0xFFFF : x >> 16, big);
}

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void set_le32(std::vector<std::uint8_t>* v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i)
        (*v)[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> exif_tiff(int orientation, bool big) {
    std::vector<std::uint8_t> t;
    t.reserve(26);
    t.push_back(big ? 'M' : 'I');
    t.push_back(big ? 'M' : 'I');
    put16(&t, 42, big);
    put32(&t, 8, big);  // the first directory right after the header
    put16(&t, 1, big);  // one entry
    put16(&t, 0x0112, big);
    put16(&t, 3, big);  // SHORT
    put32(&t, 1, big);
    put16(&t, static_cast<std::uint32_t>(orientation), big);
    put16(&t, 0, big);
    put32(&t, 0, big);  // no next directory
    return t;
}

std::vector<std::uint8_t> test_profile(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> p;
    p.reserve(size);
    put32(&p, static_cast<std::uint32_t>(size), true);
    std::uint32_t x = seed * 2654435761u + 1;
    while (p.size() < size) {
        x = x * 1103515245u + 12345u;
        p.push_back(static_cast<std::uint8_t>(x >> 16));
    }
    std::memcpy(p.data() + 36, "acsp", 4);
    return p;
}

std::vector<std::uint8_t> png_with(const TestPicture& pic,
                                   const std::vector<std::uint8_t>& chunks) {
    PngLayout layout;
    layout.width = pic.width;
    layout.height = pic.height;
    for (const Rgb& c : pic.pixels) layout.samples.insert(layout.samples.end(), {c.r, c.g, c.b});
    std::vector<std::uint8_t> file = encode_png_file(layout);
    file.insert(file.begin() + 8 + 25, chunks.begin(), chunks.end());
    return file;
}

std::vector<std::uint8_t> jpeg_segment(std::uint8_t marker, const std::vector<std::uint8_t>& body) {
    const std::size_t length = body.size() + 2;
    std::vector<std::uint8_t> s(length + 2);
    s[0] = 0xFF;
    s[1] = marker;
    s[2] = static_cast<std::uint8_t>(length >> 8);
    s[3] = static_cast<std::uint8_t>(length);
    std::copy(body.begin(), body.end(), s.begin() + 4);
    return s;
}

std::vector<std::uint8_t> jpeg_exif(const std::vector<std::uint8_t>& tiff) {
    std::vector<std::uint8_t> body = {'E', 'x', 'i', 'f', 0, 0};
    body.insert(body.end(), tiff.begin(), tiff.end());
    return jpeg_segment(0xE1, body);
}

std::vector<std::uint8_t> jpeg_profile(const std::vector<std::uint8_t>& profile, std::size_t piece,
                                       const std::vector<int>& order) {
    const std::size_t count = (profile.size() + piece - 1) / piece;
    std::vector<std::vector<std::uint8_t>> pieces;
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<std::uint8_t> body = {'I',
                                          'C',
                                          'C',
                                          '_',
                                          'P',
                                          'R',
                                          'O',
                                          'F',
                                          'I',
                                          'L',
                                          'E',
                                          0,
                                          static_cast<std::uint8_t>(i + 1),
                                          static_cast<std::uint8_t>(count)};
        const std::size_t end = std::min(profile.size(), (i + 1) * piece);
        body.insert(body.end(), profile.begin() + static_cast<std::ptrdiff_t>(i * piece),
                    profile.begin() + static_cast<std::ptrdiff_t>(end));
        pieces.push_back(jpeg_segment(0xE2, body));
    }
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t k = order.empty() ? i : static_cast<std::size_t>(order[i]);
        out.insert(out.end(), pieces[k].begin(), pieces[k].end());
    }
    return out;
}

std::vector<std::uint8_t> jpeg_with(const std::vector<std::uint8_t>& jpeg,
                                    const std::vector<std::uint8_t>& segments) {
    std::vector<std::uint8_t> out(jpeg.size() + segments.size());
    std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
    std::copy(segments.begin(), segments.end(), out.begin() + 2);
    std::copy(jpeg.begin() + 2, jpeg.end(),
              out.begin() + 2 + static_cast<std::ptrdiff_t>(segments.size()));
    return out;
}

std::vector<std::uint8_t> bmp_with_profile(const TestPicture& pic,
                                           const std::vector<std::uint8_t>& profile,
                                           std::uint32_t profile_size) {
    BmpLayout v5;
    v5.info_size = 124;
    v5.pixel_offset = 14 + 124;
    std::vector<std::uint8_t> file = encode_bmp(pic, v5);
    set_le32(&file, 14 + 56, 0x4D424544);  // 'MBED': embedded
    set_le32(&file, 14 + 112, static_cast<std::uint32_t>(file.size() - 14));
    set_le32(&file, 14 + 116,
             profile_size != 0 ? profile_size : static_cast<std::uint32_t>(profile.size()));
    file.insert(file.end(), profile.begin(), profile.end());
    return file;
}

TestPicture upright_of(const TestPicture& stored, int o) {
    const int w = stored.width, h = stored.height;
    const bool swap = o >= 5;
    TestPicture up;
    up.width = swap ? h : w;
    up.height = swap ? w : h;
    up.pixels.resize(stored.pixels.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Where the stored first row and first column belong, for each value.
            int X = x, Y = y;
            switch (o) {
                case 2:
                    X = w - 1 - x;
                    break;  // top, right
                case 3:
                    X = w - 1 - x;
                    Y = h - 1 - y;
                    break;  // bottom, right
                case 4:
                    Y = h - 1 - y;
                    break;  // bottom, left
                case 5:
                    X = y;
                    Y = x;
                    break;  // left, top
                case 6:
                    X = h - 1 - y;
                    Y = x;
                    break;  // right, top
                case 7:
                    X = h - 1 - y;
                    Y = w - 1 - x;
                    break;  // right, bottom
                case 8:
                    X = y;
                    Y = w - 1 - x;
                    break;  // left, bottom
                default:
                    break;
            }
            up.pixels[static_cast<std::size_t>(Y * up.width + X)] = stored.at(x, y);
        }
    return up;
}

std::vector<std::string> png_chunk_types(const std::vector<std::uint8_t>& png) {
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + be32(png.data() + at))
        types.emplace_back(reinterpret_cast<const char*>(png.data() + at + 4), 4);
    return types;
}

std::vector<std::uint8_t> png_chunk_body(const std::vector<std::uint8_t>& png,
                                         const std::string& type) {
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + be32(png.data() + at))
        if (std::memcmp(png.data() + at + 4, type.data(), 4) == 0)
            return std::vector<std::uint8_t>(
                png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                png.begin() + static_cast<std::ptrdiff_t>(at + 8 + be32(png.data() + at)));
    return {};
}
