#include "image/bmp_decode.h"

#include <cstring>

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

std::string text(std::uint64_t v) { return std::to_string(v); }

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
    return buf;
}

// The plain kind, the one the results are written in.
bool is_plain_24_bit(const BmpHeader& h) {
    return h.info_size >= static_cast<std::uint32_t>(kBmpInfoHeaderBytes) &&
           h.bits == kBmpBitsPerPixel && h.compression == kBmpUncompressed && h.height >= 0;
}

// What the checks learn on their way and the later ones use.
struct Facts {
    BmpHeader h;
    std::uint64_t rows = 0;        // the height's magnitude
    std::uint64_t tables_end = 0;  // the header, the masks that follow it and the palette end here
    std::uint64_t palette_at = 0;
    std::uint64_t colours = 0;
    // A palette entry: blue, green, red, and in the headers read here a fourth byte, unused.
    std::uint64_t palette_entry_bytes = 4;
};

// Header, plain kind: its signature, its 54 bytes and a size of at least 1 x 1.
Status read_plain_header(const unsigned char* data, std::size_t size, const std::string& name,
                         BmpFormat* format, Facts* facts) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M')
        return file_failure(StatusCode::wrong_kind, name, "is not a BMP picture");
    if (size < static_cast<std::size_t>(kBmpHeaderBytes))
        return file_failure(StatusCode::wrong_kind, name,
                            "is too short to be a BMP picture (header cut off)");
    facts->h = bmp_header_fields(data);
    if (facts->h.width <= 0 || facts->h.height <= 0)
        return file_failure(StatusCode::bad_header, name,
                            "has an invalid size of " + std::to_string(facts->h.width) + " x " +
                                std::to_string(facts->h.height) + " pixels");
    format->bits = kBmpBitsPerPixel;
    format->compression = kBmpUncompressed;
    facts->rows = static_cast<std::uint64_t>(facts->h.height);
    facts->tables_end = kBmpFileHeaderBytes + std::uint64_t{facts->h.info_size};
    return Status::success();
}

// Header, every other kind: a header of 40 bytes or more inside the file, and a compression
// that goes with the bits per pixel.
Status read_header(const unsigned char* data, std::size_t size, const std::string& name,
                   BmpFormat* format, Facts* facts) {
    const BmpHeader h = bmp_header_fields(data);
    facts->h = h;
    if (h.info_size < static_cast<std::uint32_t>(kBmpInfoHeaderBytes))
        return file_failure(StatusCode::unsupported, name,
                            "uses an old BMP header of " + text(h.info_size) +
                                " bytes; BMP headers of 40 bytes and more are read");
    if (h.info_size > size - kBmpFileHeaderBytes)
        return file_failure(StatusCode::short_file, name,
                            "is cut short inside its " + text(h.info_size) + "-byte BMP header");

    format->bits = h.bits;
    format->compression = h.compression;
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

    // A negative height means rows stored top-down. -2^31 has no positive counterpart and is
    // caught as too large.
    facts->rows = h.height < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(h.height)
                               : static_cast<std::uint64_t>(h.height);
    format->top_down = h.height < 0;
    if (format->top_down && format->rle())
        return file_failure(
            StatusCode::bad_header, name,
            "stores run-length encoded rows top-down, which the format does not allow");
    facts->tables_end = kBmpFileHeaderBytes + std::uint64_t{h.info_size};
    return Status::success();
}

// A mask must be one run of set bits inside the pixel; a zero mask means "no such channel".
bool make_field(std::uint32_t mask, int bits, BmpField* field) {
    field->mask = mask;
    if (mask == 0) return true;
    if (bits < 32 && (mask >> bits) != 0) return false;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    const std::uint64_t run = mask >> shift;
    if ((run & (run + 1)) != 0) return false;  // a hole in the run
    field->shift = shift;
    field->max = run;
    return true;
}

// Masks, for 16 and 32 bits: the fixed layouts, or those the file gives.
Status read_masks(const unsigned char* data, std::size_t size, const std::string& name,
                  BmpFormat* format, Facts* facts) {
    if (format->bits != 16 && format->bits != 32) return Status::success();
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (format->compression == kRgb) {
        // The fixed layouts: X1R5G5B5 and X8R8G8B8; the free bits carry nothing.
        const bool five = format->bits == 16;
        masks[0] = five ? 0x7C00u : 0xFF0000u;
        masks[1] = five ? 0x03E0u : 0x00FF00u;
        masks[2] = five ? 0x001Fu : 0x0000FFu;
    } else {
        const std::uint32_t info = facts->h.info_size;
        const int count =
            format->compression == kAlphaBitFields || info >= kInfoBytesWithAlphaMask ? 4 : 3;
        // Masks outside the header follow it and come before any palette.
        if (info < kInfoBytesWithColourMasks || (count == 4 && info < kInfoBytesWithAlphaMask))
            facts->tables_end = kAtMasks + 4 * static_cast<std::size_t>(count);
        if (facts->tables_end > size)
            return file_failure(StatusCode::short_file, name,
                                "is cut short inside its bit-field masks");
        for (int i = 0; i < count; ++i) masks[i] = get_le32(data + kAtMasks + 4 * i);
    }
    const char* names[4] = {"red", "green", "blue", "alpha"};
    BmpField* fields[4] = {&format->red, &format->green, &format->blue, &format->alpha};
    for (int i = 0; i < 4; ++i) {
        if (!make_field(masks[i], format->bits, fields[i]) || (i < 3 && masks[i] == 0))
            return file_failure(StatusCode::bad_header, name,
                                std::string("has an unusable ") + names[i] + " mask " +
                                    hex(masks[i]) + " for " +
                                    text(static_cast<std::uint64_t>(format->bits)) + "-bit pixels");
        for (int j = 0; j < i; ++j)
            if ((masks[i] & masks[j]) != 0)
                return file_failure(
                    StatusCode::bad_header, name,
                    std::string("has overlapping ") + names[j] + " and " + names[i] + " masks");
    }
    return Status::success();
}

// Palette, for 8 bits and fewer: how many colours and where they lie. Its entries are taken
// only once the extent has shown them to be inside the file (take_palette).
Status read_palette_size(const std::string& name, const BmpFormat& format, Facts* facts) {
    if (format.bits > 8) return Status::success();
    const std::uint64_t most = std::uint64_t{1} << format.bits;
    facts->colours = facts->h.colours_used == 0 ? most : facts->h.colours_used;
    if (facts->colours > most)
        return file_failure(StatusCode::bad_header, name,
                            "says it has " + text(facts->colours) + " colours, more than " +
                                text(static_cast<std::uint64_t>(format.bits)) +
                                " bits per pixel can choose from");
    facts->palette_at = facts->tables_end;
    facts->tables_end += facts->palette_entry_bytes * facts->colours;
    return Status::success();
}

// Extent: the pixel data lies after the header and tables and inside the size field S, the
// rows the header announces fit in it, and the file holds S bytes. The plain kind says these
// in its own words, and a file shorter than S as "InputFileSizeError!!!" alone.
Status read_extent(std::uint64_t file_length, const std::string& name, BmpFormat* format,
                   const Facts& facts) {
    const BmpHeader& h = facts.h;
    if (h.file_size < kBmpHeaderBytes)
        return file_failure(StatusCode::bad_header, name,
                            "has a file size field of " + std::to_string(h.file_size) +
                                " bytes, less than its own 54-byte header");
    const std::uint64_t size_field = static_cast<std::uint64_t>(h.file_size);
    if (h.pixel_offset < facts.tables_end || h.pixel_offset > size_field)
        return file_failure(
            StatusCode::bad_header, name,
            "has its pixel data at offset " + text(h.pixel_offset) + ", outside the picture's " +
                text(size_field) + " bytes" +
                (h.pixel_offset < facts.tables_end && !format->plain_24_bit
                     ? " (its header and tables end at " + text(facts.tables_end) + ")"
                     : std::string()));
    const std::uint64_t data_bytes = size_field - h.pixel_offset;
    std::uint64_t pixel_bytes = data_bytes;
    if (format->rle()) {
        // The compressed size, when given, may be less than the rest of the file.
        if (h.image_size > data_bytes)
            return file_failure(
                StatusCode::bad_header, name,
                "announces " + text(h.image_size) +
                    " bytes of compressed pixels, more than its size field leaves (" +
                    text(data_bytes) + ")");
        if (h.image_size != 0) pixel_bytes = h.image_size;
    } else if (h.width > 0 && facts.rows > 0) {
        format->stride = (static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32 * 4;
        const std::uint64_t need = format->stride * facts.rows;
        if (need / format->stride != facts.rows || need > data_bytes)
            return file_failure(StatusCode::bad_header, name,
                                "is too small for its " + std::to_string(h.width) + " x " +
                                    text(facts.rows) + " pixels (size field " + text(size_field) +
                                    " bytes)");
        pixel_bytes = need;
    }
    if (file_length < size_field) {
        if (format->plain_24_bit)
            return Status::failure(StatusCode::short_file, "InputFileSizeError!!!");
        return file_failure(StatusCode::short_file, name,
                            "is cut short: it has " + text(file_length) + " of the " +
                                text(size_field) + " bytes its header announces");
    }
    format->pixels_at = h.pixel_offset;
    format->pixel_bytes = pixel_bytes;
    return Status::success();
}

// The size and memory check before any plane is taken, for every kind but the plain one, which
// is read as its header says. held_bytes are the file's bytes held meanwhile.
Status check_size(std::uint64_t held_bytes, const std::string& name, const DecodeLimits& limits,
                  const BmpFormat& format, const Facts& facts) {
    if (format.plain_24_bit) return Status::success();
    const std::int64_t rows = static_cast<std::int64_t>(facts.rows);
    const std::uint64_t working = held_bytes + RowsToPlanes::working_bytes(facts.h.width, rows);
    return check_decode_size(name, facts.h.width, rows, format.may_have_alpha(), working, limits);
}

void take_palette(const unsigned char* data, BmpFormat* format, const Facts& facts) {
    for (std::uint64_t i = 0; i < facts.colours; ++i) {
        const unsigned char* e = data + facts.palette_at + facts.palette_entry_bytes * i;
        format->palette.push_back({e[2], e[1], e[0], 255});
    }
}

// data holds the first size bytes of a file of file_length bytes: all of them, or at least the
// header of a plain 24-bit picture.
Status read_format(const unsigned char* data, std::size_t size, std::uint64_t file_length,
                   const std::string& name, const DecodeLimits& limits, BmpFormat* out) {
    BmpFormat format;
    Facts facts;
    // A file too short for the header is refused in the plain kind's words.
    format.plain_24_bit = size < static_cast<std::size_t>(kBmpHeaderBytes) ||
                          is_plain_24_bit(bmp_header_fields(data));
    Status st = format.plain_24_bit ? read_plain_header(data, size, name, &format, &facts)
                                    : read_header(data, size, name, &format, &facts);
    if (st.ok()) st = read_masks(data, size, name, &format, &facts);
    if (st.ok()) st = read_palette_size(name, format, &facts);
    if (st.ok()) st = read_extent(file_length, name, &format, facts);
    if (st.ok()) st = check_size(file_length, name, limits, format, facts);
    if (!st.ok()) return st;
    format.width = facts.h.width;
    format.height = static_cast<int>(facts.rows);
    take_palette(data, &format, facts);
    *out = std::move(format);
    return Status::success();
}

Status bad_index(const std::string& name, unsigned index, std::size_t colours) {
    return file_failure(
        StatusCode::bad_header, name,
        "is damaged: a pixel uses colour " + text(index) + " of a palette of " + text(colours));
}

// One uncompressed stored row to red, green, blue, alpha bytes.
bool expand_row(const BmpFormat& format, const unsigned char* src, std::uint8_t* dst,
                unsigned* bad) {
    // Sizes are taken as sizes: 4 bytes for each of 700 million pixels pass int's range.
    const std::size_t w = static_cast<std::size_t>(format.width);
    if (format.bits <= 8) {
        const std::size_t per_byte = static_cast<std::size_t>(8 / format.bits);
        const unsigned low = (1u << format.bits) - 1;
        for (std::size_t x = 0; x < w; ++x) {
            // The leftmost pixel sits in the highest bits of its byte.
            const unsigned shift = static_cast<unsigned>(format.bits) *
                                   static_cast<unsigned>(per_byte - 1 - x % per_byte);
            const unsigned index = (src[x / per_byte] >> shift) & low;
            if (index >= format.palette.size()) {
                *bad = index;
                return false;
            }
            std::memcpy(dst + 4 * x, format.palette[index].data(), 4);
        }
    } else if (format.bits == 24) {
        for (std::size_t x = 0; x < w; ++x) {
            const unsigned char* s = src + 3 * x;
            std::uint8_t* px = dst + 4 * x;
            px[0] = s[2];
            px[1] = s[1];
            px[2] = s[0];
            px[3] = 255;
        }
    } else {
        const bool wide = format.bits == 32;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t v = wide ? get_le32(src + 4 * x) : get_le16(src + 2 * x);
            std::uint8_t* px = dst + 4 * x;
            px[0] = format.red.of(v);
            px[1] = format.green.of(v);
            px[2] = format.blue.of(v);
            px[3] = format.alpha.max != 0 ? format.alpha.of(v) : 255;
        }
    }
    return true;
}

Status decode_rows(const unsigned char* pixels, const BmpFormat& format, const std::string& name,
                   RowsToPlanes* rows) {
    const std::size_t stride = static_cast<std::size_t>(format.stride);
    for (int y = 0; y < format.height; ++y) {
        const unsigned char* src = pixels + static_cast<std::size_t>(y) * stride;
        std::uint8_t* dst = rows->row(format.top_down ? y : format.height - 1 - y);
        unsigned bad = 0;
        if (!expand_row(format, src, dst, &bad)) return bad_index(name, bad, format.palette.size());
    }
    return Status::success();
}

// Run-length data, bottom-up: pairs (count, index) draw count pixels; a count of 0 is an
// escape: 0 ends the line, 1 ends the picture, 2 moves right and up by the next two bytes,
// 3 to 255 are that many literal indices padded to an even number of bytes. Pixels that no
// run draws stay transparent; pixels past the right edge are dropped.
Status decode_rle(const unsigned char* data, const BmpFormat& format, const std::string& name,
                  RowsToPlanes* rows) {
    const bool four = format.compression == kRle4;
    const std::int64_t w = format.width;
    const std::array<std::uint8_t, 4> blank = {format.palette[0][0], format.palette[0][1],
                                               format.palette[0][2], 0};
    std::size_t at = 0;
    const std::size_t end = static_cast<std::size_t>(format.pixel_bytes);
    int y = 0;  // stored row, from the bottom
    std::int64_t x = 0;
    std::uint8_t* row = nullptr;
    auto start_row = [&]() {
        row = rows->row(format.height - 1 - y);
        for (std::int64_t i = 0; i < w; ++i) std::memcpy(row + 4 * i, blank.data(), 4);
    };
    auto next_row = [&]() {
        ++y;
        if (y < format.height) start_row();
    };
    unsigned bad = 0;
    auto put = [&](std::int64_t px_x, unsigned index) {
        if (px_x >= w) return true;
        if (index >= format.palette.size()) {
            bad = index;
            return false;
        }
        std::memcpy(row + 4 * px_x, format.palette[index].data(), 4);
        return true;
    };
    const Status cut = file_failure(StatusCode::short_file, name,
                                    "is cut short: its run-length data ends inside the picture");

    start_row();
    bool ended = false;
    while (y < format.height && !ended) {
        if (end - at < 2) return cut;
        const unsigned count = data[at];
        const unsigned value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned k = 0; k < count; ++k) {
                const unsigned index = !four ? value : (k & 1u) ? value & 15u : value >> 4;
                if (!put(x + k, index)) return bad_index(name, bad, format.palette.size());
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
            for (unsigned k = 0; k < dy && y < format.height; ++k) next_row();
            x += dx;
        } else {
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const std::size_t padded = bytes + (bytes & 1u);
            if (end - at < padded) return cut;
            for (unsigned k = 0; k < value; ++k) {
                const unsigned char b = data[at + (four ? k / 2 : k)];
                const unsigned index = !four ? b : (k & 1u) ? b & 15u : b >> 4u;
                if (!put(x + k, index)) return bad_index(name, bad, format.palette.size());
            }
            at += padded;
            x += value;
        }
    }
    // The end of the picture leaves the rows above it undrawn.
    while (y < format.height) next_row();
    return Status::success();
}

}  // namespace

bool BmpFormat::rle() const {
    return compression == kRle8 || compression == kRle4;
}

Status read_bmp_format(const unsigned char* data, std::size_t size, const std::string& display_name,
                       const DecodeLimits& limits, BmpFormat* out) {
    return read_format(data, size, size, display_name, limits, out);
}

Status decode_bmp_pixels(const unsigned char* pixels, const BmpFormat& format,
                         const std::string& display_name, PlanarPicture* out) {
    PlanarPicture pic;
    take_planes(format.width, format.height, format.may_have_alpha(), &pic);
    RowsToPlanes rows(&pic);
    Status st = format.rle() ? decode_rle(pixels, format, display_name, &rows)
                             : decode_rows(pixels, format, display_name, &rows);
    if (!st.ok()) return st;
    rows.finish();
    *out = std::move(pic);
    return Status::success();
}

Status decode_bmp(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out) {
    BmpFormat format;
    Status st = read_bmp_format(data, size, display_name, limits, &format);
    if (!st.ok()) return st;
    return decode_bmp_pixels(data + format.pixels_at, format, display_name, out);
}

Status read_bmp_file(FILE* f, std::uint64_t length, const std::string& display_name,
                     const DecodeLimits& limits, PlanarPicture* out) {
    unsigned char head[kBmpHeaderBytes];
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    if (got == sizeof head && !is_plain_24_bit(bmp_header_fields(head))) {
        HeapArray<unsigned char> bytes;
        Status st = read_file_bytes(f, length, display_name, limits, &bytes);
        if (!st.ok()) return st;
        return decode_bmp(bytes.get(), bytes.size(), display_name, limits, out);
    }
    BmpFormat format;
    Status st = read_format(head, got, length, display_name, limits, &format);
    if (!st.ok()) return st;
    // Only the rows the header announces are read, in one read; bytes between them and the
    // size field's end are ignored, and so is anything after the first S bytes of the file.
    const std::size_t n = static_cast<std::size_t>(format.pixel_bytes);
    HeapArray<unsigned char> pixels(n, "pixels");
    const bool complete = std::fseek(f, static_cast<long>(format.pixels_at), SEEK_SET) == 0 &&
                          std::fread(pixels.get(), 1, n, f) == n;
    if (!complete) return Status::failure(StatusCode::short_file, "InputFileSizeError!!!");
    return decode_bmp_pixels(pixels.get(), format, display_name, out);
}
