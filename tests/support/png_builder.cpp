#include "tests/support/png_builder.h"

#include <algorithm>

namespace {

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

int samples_per_pixel(int colour_type) {
    return colour_type == 2 ? 3 : colour_type == 4 ? 2 : colour_type == 6 ? 4 : 1;
}

// Appends the rows of the sub-image of pixels (x0 + i dx, y0 + j dy).
void append_rows(const PngLayout& s, int x0, int y0, int dx, int dy, std::vector<std::uint8_t>& out) {
    const int spp = samples_per_pixel(s.colour_type);
    for (int y = y0; y < s.height; y += dy) {
        if (x0 >= s.width) return;
        out.push_back(0);  // filter: none
        std::uint32_t acc = 0;
        int bits = 0;
        for (int x = x0; x < s.width; x += dx)
            for (int c = 0; c < spp; ++c) {
                const std::uint32_t v = s.samples[static_cast<std::size_t>((y * s.width + x) * spp + c)];
                acc = acc << s.bit_depth | v;
                bits += s.bit_depth;
                while (bits >= 8) {
                    bits -= 8;
                    out.push_back(static_cast<std::uint8_t>(acc >> bits));
                }
            }
        if (bits > 0) out.push_back(static_cast<std::uint8_t>(acc << (8 - bits)));
    }
}

}  // namespace

std::uint32_t crc32_bitwise(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::vector<std::uint8_t> png_scanlines(const PngLayout& layout) {
    std::vector<std::uint8_t> out;
    if (!layout.interlaced) {
        append_rows(layout, 0, 0, 1, 1, out);
        return out;
    }
    // Adam7: the first column and row of each pass and its steps.
    const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& p : passes) append_rows(layout, p[0], p[1], p[2], p[3], out);
    return out;
}

std::vector<std::uint8_t> zlib_stored(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window, check bits
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, bytes.size() - at);
        const bool last = at + n == bytes.size();
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
        out.push_back(static_cast<std::uint8_t>(~n));
        out.push_back(static_cast<std::uint8_t>(~n >> 8));
        out.insert(out.end(), bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n));
        at += n;
    } while (at < bytes.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : bytes) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put_be32(out, b << 16 | a);
    return out;
}

std::vector<std::uint8_t> png_chunk(const std::string& type, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out;
    put_be32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), body.begin(), body.end());
    put_be32(out, crc32_bitwise(out.data() + 4, out.size() - 4));
    return out;
}

std::vector<std::uint8_t> png_header(const PngLayout& layout) {
    std::vector<std::uint8_t> body;
    put_be32(body, static_cast<std::uint32_t>(layout.width));
    put_be32(body, static_cast<std::uint32_t>(layout.height));
    body.push_back(static_cast<std::uint8_t>(layout.bit_depth));
    body.push_back(static_cast<std::uint8_t>(layout.colour_type));
    body.push_back(0);  // deflate
    body.push_back(0);  // adaptive filtering
    body.push_back(layout.interlaced ? 1 : 0);
    return body;
}

std::vector<std::uint8_t> encode_png_file(const PngLayout& layout,
                                          const std::vector<std::uint8_t>& zlib_stream,
                                          std::size_t idat_size) {
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto add = [&out](const std::vector<std::uint8_t>& chunk) {
        out.insert(out.end(), chunk.begin(), chunk.end());
    };
    add(png_chunk("IHDR", png_header(layout)));
    if (!layout.palette.empty()) {
        std::vector<std::uint8_t> plte;
        for (const Rgb& c : layout.palette) plte.insert(plte.end(), {c.r, c.g, c.b});
        add(png_chunk("PLTE", plte));
    }
    if (!layout.trns.empty()) add(png_chunk("tRNS", layout.trns));
    const std::vector<std::uint8_t> z = zlib_stream.empty() ? zlib_stored(png_scanlines(layout)) : zlib_stream;
    for (std::size_t at = 0; at < z.size(); at += idat_size)
        add(png_chunk("IDAT", std::vector<std::uint8_t>(z.begin() + static_cast<long>(at),
                                                        z.begin() + static_cast<long>(std::min(z.size(), at + idat_size)))));
    add(png_chunk("IEND", {}));
    return out;
}

namespace {

// Deflate's bit order: values from their lowest bit, Huffman codes from their highest.
class BitWriter {
public:
    void code(std::uint32_t bits, int length) {
        for (int i = length - 1; i >= 0; --i) bit(bits >> i & 1u);
    }
    void value(std::uint32_t bits, int length) {
        for (int i = 0; i < length; ++i) bit(bits >> i & 1u);
    }
    std::vector<std::uint8_t> bytes() { return out_; }

private:
    void bit(std::uint32_t b) {
        if (used_ == 0) out_.push_back(0);
        out_.back() = static_cast<std::uint8_t>(out_.back() | b << used_);
        used_ = (used_ + 1) % 8;
    }
    std::vector<std::uint8_t> out_;
    int used_ = 0;
};

}  // namespace

std::vector<std::uint8_t> zlib_zero_run(std::size_t count) {
    BitWriter w;
    w.value(1, 1);  // the last block
    w.value(1, 2);  // fixed Huffman codes
    std::size_t left = count;
    if (left > 0) {
        w.code(0x30, 8);  // literal 0
        --left;
    }
    for (; left >= 258; left -= 258) {
        w.code(0xC5, 8);  // length 258 (code 285)
        w.code(0, 5);     // distance 1 (code 0)
    }
    for (; left > 0; --left) w.code(0x30, 8);
    w.code(0, 7);  // end of block (code 256)
    std::vector<std::uint8_t> out = {0x78, 0x01};
    const std::vector<std::uint8_t> body = w.bytes();
    out.insert(out.end(), body.begin(), body.end());
    // Adler-32 of zeros: the first sum stays 1, the second adds 1 per byte.
    const std::uint32_t adler = static_cast<std::uint32_t>(count % 65521) << 16 | 1u;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(adler >> shift));
    return out;
}
