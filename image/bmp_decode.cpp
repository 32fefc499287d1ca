#include "image/bmp_decode.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <vector>

#include "image/byte_order.h"

namespace {

// The information header's compression codes.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kJpeg = 4;
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitFields = 6;

// The OS/2 2.x header: codes 3 and 4 mean Huffman 1D and 24-bit RLE there, not bit fields.
constexpr std::uint32_t kOs2InfoBytes = 64;
// Headers from 52 bytes on hold the red, green and blue masks, from 56 on the alpha mask too;
// a 40-byte header with bit fields is followed by them instead. Either way they start here.
constexpr std::size_t kAtMasks = kBmpHeaderBytes;
constexpr std::uint32_t kInfoBytesWithColourMasks = 52;
constexpr std::uint32_t kInfoBytesWithAlphaMask = 56;

// One channel of a 16- or 32-bit pixel: a run of bits.
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;  // the largest value of the field; 0 for an absent field

    std::uint8_t of(std::uint32_t pixel) const {
        return sample_to_8((pixel & mask) >> shift, max);
    }
};

struct Layout {
    int width = 0;
    int height = 0;  // rows, whatever the direction
    bool top_down = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    Field red, green, blue, alpha;        // 16 and 32 bits
    std::vector<std::array<std::uint8_t, 4>> palette;  // red, green, blue, 255: a row's pixel
    std::size_t pixels_at = 0;            // pixel data: [pixels_at, pixels_end)
    std::size_t pixels_end = 0;
    std::uint64_t stride = 0;             // bytes per stored row, uncompressed
    bool rle() const { return compression == kRle8 || compression == kRle4; }
};

std::string text(std::uint64_t v) { return std::to_string(v); }

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
    return buf;
}

// A mask must be one run of set bits inside the pixel; a zero mask means "no such channel".
bool make_field(std::uint32_t mask, int bits, Field* f) {
    f->mask = mask;
    if (mask == 0) return true;
    if (bits < 32 && (mask >> bits) != 0) return false;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    const std::uint64_t run = mask >> shift;
    if ((run & (run + 1)) != 0) return false;  // a hole in the run
    f->shift = shift;
    f->max = run;
    return true;
}

Status read_masks(const unsigned char* data, std::size_t size, const BmpHeader& h,
                  const std::string& name, Layout* L, std::size_t* tables_end) {
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (L->compression == kRgb) {
        // The fixed layouts: X1R5G5B5 and X8R8G8B8; the free bits carry nothing.
        const bool five = L->bits == 16;
        masks[0] = five ? 0x7C00u : 0xFF0000u;
        masks[1] = five ? 0x03E0u : 0x00FF00u;
        masks[2] = five ? 0x001Fu : 0x0000FFu;
    } else {
        const int count = L->compression == kAlphaBitFields ||
                                  h.info_size >= kInfoBytesWithAlphaMask
                              ? 4
                              : 3;
        // Masks outside the header follow it and come before any palette.
        if (h.info_size < kInfoBytesWithColourMasks ||
            (count == 4 && h.info_size < kInfoBytesWithAlphaMask))
            *tables_end = kAtMasks + 4 * static_cast<std::size_t>(count);
        if (*tables_end > size)
            return file_failure(StatusCode::short_file, name,
                                "is cut short inside its bit-field masks");
        for (int i = 0; i < count; ++i) masks[i] = get_le32(data + kAtMasks + 4 * i);
    }
    const char* names[4] = {"red", "green", "blue", "alpha"};
    Field* fields[4] = {&L->red, &L->green, &L->blue, &L->alpha};
    for (int i = 0; i < 4; ++i) {
        if (!make_field(masks[i], L->bits, fields[i]) || (i < 3 && masks[i] == 0))
            return file_failure(StatusCode::bad_header, name,
                                std::string("has an unusable ") + names[i] + " mask " +
                                    hex(masks[i]) + " for " +
                                    text(static_cast<std::uint64_t>(L->bits)) + "-bit pixels");
        for (int j = 0; j < i; ++j)
            if ((masks[i] & masks[j]) != 0)
                return file_failure(
                    StatusCode::bad_header, name,
                    std::string("has overlapping ") + names[j] + " and " + names[i] + " masks");
    }
    return Status::success();
}

// Checks every field and finds every table, before anything is taken. data holds at least
// the 54-byte header.
Status read_layout(const unsigned char* data, std::size_t size, const std::string& name,
                   const DecodeLimits& limits, Layout* L) {
    const BmpHeader h = bmp_header_fields(data);
    if (h.info_size < static_cast<std::uint32_t>(kBmpInfoHeaderBytes))
        return file_failure(StatusCode::unsupported, name,
                            "uses an old BMP header of " + text(h.info_size) +
                                " bytes; BMP headers of 40 bytes and more are read");
    if (h.info_size > size - kBmpFileHeaderBytes)
        return file_failure(StatusCode::short_file, name,
                            "is cut short inside its " + text(h.info_size) + "-byte BMP header");

    L->bits = h.bits;
    L->compression = h.compression;
    const bool os2 = h.info_size == kOs2InfoBytes;
    switch (h.compression) {
        case kRgb:
            if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
                h.bits != 32)
                return file_failure(
                    StatusCode::unsupported, name,
                    "has " + text(h.bits) +
                        " bits per pixel; BMP pictures of 1, 4, 8, 16, 24 and 32 bits "
                        "are read");
            break;
        case kRle8:
        case kRle4:
            if (h.bits != (h.compression == kRle8 ? 8 : 4))
                return file_failure(StatusCode::bad_header, name,
                                    "is run-length encoded for " +
                                        std::string(h.compression == kRle8 ? "8" : "4") +
                                        "-bit pixels but has " + text(h.bits) + " bits per pixel");
            break;
        case kBitFields:
        case kAlphaBitFields:
            if (os2)
                return file_failure(
                    StatusCode::unsupported, name,
                    h.compression == kBitFields
                        ? "is compressed with OS/2 Huffman coding, which is not read"
                        : "uses compression 6, which is not read");
            if (h.bits != 16 && h.bits != 32)
                return file_failure(StatusCode::bad_header, name,
                                    "has bit-field masks with " + text(h.bits) +
                                        " bits per pixel; masks go with 16 or 32 bits");
            break;
        case kJpeg:
            return file_failure(
                StatusCode::unsupported, name,
                os2 ? "is compressed with OS/2 24-bit run-length coding, which is not read"
                    : "holds a JPEG inside a BMP, which is not read");
        case kPng:
            return file_failure(StatusCode::unsupported, name,
                                "holds a PNG inside a BMP, which is not read");
        default:
            return file_failure(StatusCode::unsupported, name,
                                "is compressed (compression " + text(h.compression) +
                                    "), a BMP kind that is not read");
    }

    // Sizes; a negative height means rows stored top-down. -2^31 has no positive counterpart
    // and is caught as too large.
    const std::int64_t rows = h.height < 0 ? -static_cast<std::int64_t>(h.height) : h.height;
    L->top_down = h.height < 0;
    if (L->top_down && L->rle())
        return file_failure(
            StatusCode::bad_header, name,
            "stores run-length encoded rows top-down, which the format does not allow");

    std::size_t tables_end = kBmpFileHeaderBytes + static_cast<std::size_t>(h.info_size);
    if (h.bits == 16 || h.bits == 32) {
        Status st = read_masks(data, size, h, name, L, &tables_end);
        if (!st.ok()) return st;
    }
    std::uint64_t colours = 0;
    if (h.bits <= 8) {
        const std::uint64_t most = std::uint64_t{1} << h.bits;
        colours = h.colours_used == 0 ? most : h.colours_used;
        if (colours > most)
            return file_failure(StatusCode::bad_header, name,
                                "says it has " + text(colours) + " colours, more than " +
                                    text(h.bits) + " bits per pixel can choose from");
    }
    const std::uint64_t palette_at = tables_end;
    const std::uint64_t pixels_at_least = palette_at + 4 * colours;

    if (h.file_size < kBmpHeaderBytes)
        return file_failure(StatusCode::bad_header, name,
                            "has a file size field of " + std::to_string(h.file_size) +
                                " bytes, less than its own 54-byte header");
    const std::uint64_t size_field = static_cast<std::uint64_t>(h.file_size);
    if (h.pixel_offset < pixels_at_least || h.pixel_offset > size_field)
        return file_failure(
            StatusCode::bad_header, name,
            "has its pixel data at offset " + text(h.pixel_offset) + ", outside the picture's " +
                text(size_field) + " bytes" +
                (h.pixel_offset < pixels_at_least
                     ? " (its header and tables end at " + text(pixels_at_least) + ")"
                     : std::string()));
    const std::uint64_t data_bytes = size_field - h.pixel_offset;
    std::uint64_t pixel_bytes = data_bytes;
    if (L->rle()) {
        // The compressed size, when given, may be less than the rest of the file.
        if (h.image_size > data_bytes)
            return file_failure(
                StatusCode::bad_header, name,
                "announces " + text(h.image_size) +
                    " bytes of compressed pixels, more than its size field leaves (" +
                    text(data_bytes) + ")");
        if (h.image_size != 0) pixel_bytes = h.image_size;
    } else if (h.width > 0 && rows > 0) {
        L->stride = (static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32 * 4;
        const std::uint64_t need = L->stride * static_cast<std::uint64_t>(rows);
        if (need / L->stride != static_cast<std::uint64_t>(rows) || need > data_bytes)
            return file_failure(StatusCode::bad_header, name,
                                "is too small for its " + std::to_string(h.width) + " x " +
                                    text(static_cast<std::uint64_t>(rows)) +
                                    " pixels (size field " + text(size_field) + " bytes)");
        pixel_bytes = need;
    }
    if (size < size_field)
        return file_failure(StatusCode::short_file, name,
                            "is cut short: it has " + text(size) + " of the " + text(size_field) +
                                " bytes its header announces");

    const bool alpha = L->rle() || L->alpha.max != 0;
    const std::uint64_t working = size + RowsToPlanes::working_bytes(h.width, rows);
    Status st = check_decode_size(name, h.width, rows, alpha, working, limits);
    if (!st.ok()) return st;

    L->width = h.width;
    L->height = static_cast<int>(rows);
    L->pixels_at = h.pixel_offset;
    L->pixels_end = static_cast<std::size_t>(h.pixel_offset + pixel_bytes);
    for (std::uint64_t i = 0; i < colours; ++i) {
        const unsigned char* e = data + palette_at + 4 * i;  // blue, green, red, unused
        L->palette.push_back({e[2], e[1], e[0], 255});
    }
    return Status::success();
}

Status bad_index(const std::string& name, unsigned index, std::size_t colours) {
    return file_failure(
        StatusCode::bad_header, name,
        "is damaged: a pixel uses colour " + text(index) + " of a palette of " + text(colours));
}

// One uncompressed stored row to red, green, blue, alpha bytes.
bool expand_row(const Layout& L, const unsigned char* src, std::uint8_t* dst, unsigned* bad) {
    // Sizes are taken as sizes: 4 bytes for each of 700 million pixels pass int's range.
    const std::size_t w = static_cast<std::size_t>(L.width);
    if (L.bits <= 8) {
        const std::size_t per_byte = static_cast<std::size_t>(8 / L.bits);
        const unsigned low = (1u << L.bits) - 1;
        for (std::size_t x = 0; x < w; ++x) {
            // The leftmost pixel sits in the highest bits of its byte.
            const unsigned shift = static_cast<unsigned>(L.bits) * static_cast<unsigned>(per_byte - 1 - x % per_byte);
            const unsigned index = (src[x / per_byte] >> shift) & low;
            if (index >= L.palette.size()) {
                *bad = index;
                return false;
            }
            std::memcpy(dst + 4 * x, L.palette[index].data(), 4);
        }
    } else if (L.bits == 24) {
        for (std::size_t x = 0; x < w; ++x) {
            const unsigned char* s = src + 3 * x;
            std::uint8_t* px = dst + 4 * x;
            px[0] = s[2];
            px[1] = s[1];
            px[2] = s[0];
            px[3] = 255;
        }
    } else {
        const bool wide = L.bits == 32;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t v = wide ? get_le32(src + 4 * x) : get_le16(src + 2 * x);
            std::uint8_t* px = dst + 4 * x;
            px[0] = L.red.of(v);
            px[1] = L.green.of(v);
            px[2] = L.blue.of(v);
            px[3] = L.alpha.max != 0 ? L.alpha.of(v) : 255;
        }
    }
    return true;
}

Status decode_rows(const unsigned char* data, const Layout& L, const std::string& name,
                   RowsToPlanes* rows) {
    for (int y = 0; y < L.height; ++y) {
        const unsigned char* src = data + L.pixels_at + static_cast<std::size_t>(y) * L.stride;
        std::uint8_t* dst = rows->row(L.top_down ? y : L.height - 1 - y);
        unsigned bad = 0;
        if (!expand_row(L, src, dst, &bad)) return bad_index(name, bad, L.palette.size());
    }
    return Status::success();
}

// Run-length data, bottom-up: pairs (count, index) draw count pixels; a count of 0 is an
// escape: 0 ends the line, 1 ends the picture, 2 moves right and up by the next two bytes,
// 3 to 255 are that many literal indices padded to an even number of bytes. Pixels that no
// run draws stay transparent; pixels past the right edge are dropped.
Status decode_rle(const unsigned char* data, const Layout& L, const std::string& name,
                  RowsToPlanes* rows) {
    const bool four = L.compression == kRle4;
    const std::int64_t w = L.width;
    const std::array<std::uint8_t, 4> blank = {L.palette[0][0], L.palette[0][1],
                                               L.palette[0][2], 0};
    std::size_t at = L.pixels_at;
    const std::size_t end = L.pixels_end;
    int y = 0;          // stored row, from the bottom
    std::int64_t x = 0;
    std::uint8_t* row = nullptr;
    auto start_row = [&]() {
        row = rows->row(L.height - 1 - y);
        for (std::int64_t i = 0; i < w; ++i) std::memcpy(row + 4 * i, blank.data(), 4);
    };
    auto next_row = [&]() {
        ++y;
        if (y < L.height) start_row();
    };
    unsigned bad = 0;
    auto put = [&](std::int64_t px_x, unsigned index) {
        if (px_x >= w) return true;
        if (index >= L.palette.size()) {
            bad = index;
            return false;
        }
        std::memcpy(row + 4 * px_x, L.palette[index].data(), 4);
        return true;
    };
    const Status cut = file_failure(StatusCode::short_file, name,
                                    "is cut short: its run-length data ends inside the picture");

    start_row();
    bool ended = false;
    while (y < L.height && !ended) {
        if (end - at < 2) return cut;
        const unsigned count = data[at];
        const unsigned value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned k = 0; k < count; ++k) {
                const unsigned index = !four ? value : (k & 1u) ? value & 15u : value >> 4;
                if (!put(x + k, index)) return bad_index(name, bad, L.palette.size());
            }
            x += count;
        } else if (value == 0) {
            next_row();
            x = 0;
        } else if (value == 1) {
            ended = true;
        } else if (value == 2) {
            if (end - at < 2) return cut;
            const unsigned dx = data[at];
            const unsigned dy = data[at + 1];
            at += 2;
            for (unsigned k = 0; k < dy && y < L.height; ++k) next_row();
            x += dx;
        } else {
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const std::size_t padded = bytes + (bytes & 1u);
            if (end - at < padded) return cut;
            for (unsigned k = 0; k < value; ++k) {
                const unsigned char b = data[at + (four ? k / 2 : k)];
                const unsigned index = !four ? b : (k & 1u) ? b & 15u : b >> 4u;
                if (!put(x + k, index)) return bad_index(name, bad, L.palette.size());
            }
            at += padded;
            x += value;
        }
    }
    // The end of the picture leaves the rows above it undrawn.
    while (y < L.height) next_row();
    return Status::success();
}

Status decode_plain_24_bit(const unsigned char* data, std::size_t size,
                           const std::string& name, PlanarPicture* out) {
    BmpHeader h;
    Status st = bmp_check(data, size, size, name, &h);
    if (!st.ok()) return st;
    PlanarPicture pic;
    take_planes(h.width, h.height, false, &pic);
    split_pixel_rows(data + h.pixel_offset, h.width, h.height, pic.red.get(), pic.green.get(),
                     pic.blue.get());
    *out = std::move(pic);
    return Status::success();
}

}  // namespace

bool bmp_is_plain_24_bit(const BmpHeader& h) {
    return h.info_size >= static_cast<std::uint32_t>(kBmpInfoHeaderBytes) &&
           h.bits == kBmpBitsPerPixel && h.compression == kBmpUncompressed && h.height >= 0;
}

Status decode_bmp(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out) {
    // Too short for a header, or the plain kind: the original checks and messages.
    if (size < static_cast<std::size_t>(kBmpHeaderBytes) ||
        bmp_is_plain_24_bit(bmp_header_fields(data)))
        return decode_plain_24_bit(data, size, display_name, out);

    Layout L;
    Status st = read_layout(data, size, display_name, limits, &L);
    if (!st.ok()) return st;
    PlanarPicture pic;
    take_planes(L.width, L.height, L.rle() || L.alpha.max != 0, &pic);
    RowsToPlanes rows(&pic);
    st = L.rle() ? decode_rle(data, L, display_name, &rows)
                 : decode_rows(data, L, display_name, &rows);
    if (!st.ok()) return st;
    rows.finish();
    *out = std::move(pic);
    return Status::success();
}
