#include "image/bmp_decode.h"

#include <algorithm>
#include <cstring>

#include "base/file_io.h"
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
// OS/2's 24-bit run-length coding, whose file code 4 a Windows header gives to JPEG: kept in
// BmpFormat::compression as this code of its own, which no file holds.
constexpr std::uint32_t kRle24 = 0x100 | kJpeg;

// The OS/2 headers: the core header of 12 bytes (16-bit sides, 3-byte palette entries), and
// the 2.x header of 64 bytes, which may end after any field from 16 bytes on. In the latter,
// codes 3 and 4 mean Huffman 1D and 24-bit RLE, not bit fields and JPEG.
constexpr std::uint32_t kCoreInfoBytes = 12;
constexpr std::uint32_t kOs2ShortestInfoBytes = 16;
constexpr std::uint32_t kOs2InfoBytes = 64;
// Headers from this size on hold the colours-used field; a shorter one's palette is as long as
// its bits allow, or as the pixel offset leaves room for.
constexpr std::uint32_t kInfoBytesWithColoursUsed = 36;
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

// Whether an information header of info bytes is one of OS/2's. Sizes 40, 52 and 56 are the
// Windows headers (a 2.x header cut after 40 bytes reads the same but for codes 3 and 4), and
// those above 64 the later Windows ones.
bool is_os2(std::uint32_t info) {
    return info == kCoreInfoBytes ||
           (info >= kOs2ShortestInfoBytes && info <= kOs2InfoBytes &&
            info != static_cast<std::uint32_t>(kBmpInfoHeaderBytes) &&
            info != kInfoBytesWithColourMasks && info != kInfoBytesWithAlphaMask);
}

// The header's fields whatever its size, from the first size bytes of a file: the core
// header's 16-bit width, height, planes and bits; any other header's fields where the 40-byte
// header has them, those past its end read as 0.
BmpHeader header_fields(const unsigned char* data, std::size_t size) {
    unsigned char head[kBmpHeaderBytes] = {};
    std::memcpy(head, data, std::min<std::size_t>(size, sizeof head));
    const std::uint32_t info = get_le32(head + kBmpFileHeaderBytes);
    if (info == kCoreInfoBytes) {
        BmpHeader h = bmp_header_fields(head);
        const unsigned char* core = head + kBmpFileHeaderBytes + 4;
        h.width = get_le16(core);
        h.height = get_le16(core + 2);
        h.planes = get_le16(core + 4);
        h.bits = get_le16(core + 6);
        h.compression = kRgb;
        h.image_size = 0;
        h.x_pixels_per_metre = h.y_pixels_per_metre = 0;
        h.colours_used = h.important_colours = 0;
        return h;
    }
    if (info < static_cast<std::uint32_t>(kBmpInfoHeaderBytes))
        std::memset(head + kBmpFileHeaderBytes + info, 0, kBmpInfoHeaderBytes - info);
    return bmp_header_fields(head);
}

// What the checks learn on their way and the later ones use.
struct Facts {
    BmpHeader h;
    std::uint64_t rows = 0;        // the height's magnitude
    std::uint64_t tables_end = 0;  // the header, the masks that follow it and the palette end here
    std::uint64_t palette_at = 0;
    std::uint64_t colours = 0;
    // A palette entry: blue, green, red and an unused fourth byte, which the entries of the OS/2
    // core header lack.
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

// Header, every other kind: a header of a size some BMP kind has, inside the file, and a
// compression that goes with the bits per pixel.
Status read_header(const unsigned char* data, std::size_t size, const std::string& name,
                   BmpFormat* format, Facts* facts) {
    if (data[0] != 'B' || data[1] != 'M')
        return file_failure(StatusCode::wrong_kind, name, "is not a BMP picture");
    const BmpHeader h = header_fields(data, size);
    facts->h = h;
    const bool os2 = is_os2(h.info_size);
    const bool core = h.info_size == kCoreInfoBytes;
    if (h.info_size < static_cast<std::uint32_t>(kBmpInfoHeaderBytes) && !os2)
        return file_failure(StatusCode::bad_header, name,
                            "has a BMP header of " + text(h.info_size) +
                                " bytes, a size no BMP kind has (OS/2's are 12 and 16 to 64 "
                                "bytes, Windows' 40 and more)");
    if (h.info_size > size - kBmpFileHeaderBytes)
        return file_failure(StatusCode::short_file, name,
                            "is cut short inside its " + text(h.info_size) + "-byte BMP header");
    if (core) facts->palette_entry_bytes = 3;

    format->bits = h.bits;
    format->compression = h.compression;
    switch (h.compression) {
        case kRgb:
            if (core && h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 24)
                return file_failure(StatusCode::unsupported, name,
                                    "has " + text(h.bits) +
                                        " bits per pixel; OS/2 core BMP pictures of 1, 4, 8 and "
                                        "24 bits are read");
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
            if (!os2)
                return file_failure(StatusCode::unsupported, name,
                                    "holds a JPEG inside a BMP, which is not read");
            if (h.bits != 24)
                return file_failure(StatusCode::bad_header, name,
                                    "is run-length encoded for 24-bit pixels but has " +
                                        text(h.bits) + " bits per pixel");
            format->compression = kRle24;
            break;
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
    // A header without the colours-used field cannot say that its palette is short; its pixel
    // offset can, and some writers of OS/2 pictures let it.
    const std::uint64_t pixels_at = facts->h.pixel_offset;
    const std::uint64_t room = pixels_at > facts->palette_at
                                   ? (pixels_at - facts->palette_at) / facts->palette_entry_bytes
                                   : 0;
    if (facts->h.info_size < kInfoBytesWithColoursUsed && room >= 1 && room < facts->colours)
        facts->colours = room;
    facts->tables_end += facts->palette_entry_bytes * facts->colours;
    return Status::success();
}

// "InputFileSizeError!!!", the plain kind's refusal of a file shorter than its size field S
// (or, should it shrink while it is read, than its rows need), and on the next line what it
// lacks.
Status input_file_size_error(const std::string& name, std::uint64_t has, std::uint64_t wanted,
                             const char* wanted_by = "its size field gives") {
    return Status::failure(StatusCode::short_file,
                           "InputFileSizeError!!!\n'" + name + "' is cut short: it has " +
                               text(has) + " of the " + text(wanted) + " bytes " + wanted_by +
                               " (" + text(wanted - has) + " missing)");
}

// Extent, plain kind: a file shorter than its size field S is "InputFileSizeError!!!"; the
// rows lie after the header, and are read from the pixel offset within S bytes or, when S is
// too small for them (0 and less among them), within the file's real length.
Status read_plain_extent(std::uint64_t file_length, const std::string& name, BmpFormat* format,
                         const Facts& facts) {
    const BmpHeader& h = facts.h;
    if (h.file_size > 0 && file_length < static_cast<std::uint64_t>(h.file_size))
        return input_file_size_error(name, file_length, static_cast<std::uint64_t>(h.file_size));
    const std::uint64_t at = h.pixel_offset;
    if (at < facts.tables_end)
        return file_failure(StatusCode::bad_header, name,
                            "has its pixel data at offset " + text(at) + ", inside its " +
                                text(facts.tables_end) + "-byte header");
    // Below 2^33 bytes a row and 2^31 rows: the product stays below 2^64.
    format->stride = bmp_row_stride(static_cast<std::uint64_t>(h.width));
    const std::uint64_t need = format->stride * facts.rows;
    if (at + need > file_length) {
        const std::int64_t s = h.file_size;
        if (s >= kBmpHeaderBytes && at > static_cast<std::uint64_t>(s))
            return file_failure(StatusCode::bad_header, name,
                                "has its pixel data at offset " + text(at) +
                                    ", outside the picture's " +
                                    text(static_cast<std::uint64_t>(s)) + " bytes");
        return file_failure(StatusCode::bad_header, name,
                            "is too small for its " + std::to_string(h.width) + " x " +
                                text(facts.rows) + " pixels (" +
                                (static_cast<std::uint64_t>(s) == file_length
                                     ? "size field " + text(file_length) + " bytes)"
                                     : "a file of " + text(file_length) + " bytes)"));
    }
    format->pixels_at = at;
    format->pixel_bytes = need;
    return Status::success();
}

// Where the pixel data at offset at runs into the header and tables before it (at is below
// facts.tables_end): the real fault, in words.
std::string overlap_text(std::uint64_t at, const Facts& facts) {
    const std::uint64_t header_end = kBmpFileHeaderBytes + std::uint64_t{facts.h.info_size};
    if (at < header_end)
        return "has its pixel data at offset " + text(at) + ", inside its " + text(header_end) +
               "-byte header";
    if (facts.colours == 0 || at < facts.palette_at)
        return "has its pixel data at offset " + text(at) +
               ", inside the bit-field masks after its header";
    return "has a palette of " + text(facts.colours) + " colours, to byte " +
           text(facts.tables_end) + ", that runs into its pixel data at offset " + text(at);
}

// Extent, every other kind: the pixel data lies after the header and tables, and the rows the
// header announces lie in the file. The size fields (file size, image size) are not used:
// writers often leave them wrong, and the pixel offset and the file's length say the same.
Status read_extent(std::uint64_t file_length, const std::string& name, BmpFormat* format,
                   const Facts& facts) {
    const BmpHeader& h = facts.h;
    const std::uint64_t at = h.pixel_offset;
    if (at < facts.tables_end)
        return file_failure(StatusCode::bad_header, name, overlap_text(at, facts));
    if (at > file_length)
        return file_failure(StatusCode::bad_header, name,
                            "has its pixel data at offset " + text(at) + ", past the end of its " +
                                text(file_length) + " bytes");
    const std::uint64_t data_bytes = file_length - at;
    // Run-length data may end anywhere before the end of the file.
    std::uint64_t pixel_bytes = data_bytes;
    if (!format->rle() && h.width > 0 && facts.rows > 0) {
        format->stride = (static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32 * 4;
        // Below 2^33 bytes a row and 2^31 rows: the product stays below 2^64.
        const std::uint64_t need = format->stride * facts.rows;
        if (need > data_bytes)
            return file_failure(StatusCode::short_file, name,
                                "is cut short: its " + std::to_string(h.width) + " x " +
                                    text(facts.rows) + " pixels need " + text(need) +
                                    " bytes from offset " + text(at) + ", and the file has " +
                                    text(data_bytes) + " (" + text(need - data_bytes) +
                                    " missing)");
        pixel_bytes = need;
    }
    format->pixels_at = at;
    format->pixel_bytes = pixel_bytes;
    return Status::success();
}

// The size and memory check before any plane is taken, for every kind. held_bytes are the
// file's bytes held meanwhile (from a file on disk, the pixel data alone are, but the same
// count keeps the verdicts alike).
Status check_size(std::uint64_t held_bytes, const std::string& name, const DecodeLimits& limits,
                  const BmpFormat& format, const Facts& facts) {
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

// Whether the first size bytes of a file are those of the plain kind, or too few to tell
// another kind's header by its size (whose refusal is then in the plain kind's words).
bool plain_or_cut(const unsigned char* data, std::size_t size) {
    constexpr std::size_t kInfoSizeEnd = kBmpFileHeaderBytes + 4;
    if (size >= kInfoSizeEnd &&
        get_le32(data + kBmpFileHeaderBytes) < static_cast<std::uint32_t>(kBmpInfoHeaderBytes))
        return false;
    return size < static_cast<std::size_t>(kBmpHeaderBytes) ||
           is_plain_24_bit(bmp_header_fields(data));
}

// data holds the first size bytes of a file of file_length bytes: all of them, or at least its
// header and tables (the plain kind's 54-byte header, any other kind's header, masks and
// palette).
Status read_format(const unsigned char* data, std::size_t size, std::uint64_t file_length,
                   const std::string& name, const DecodeLimits& limits, BmpFormat* out) {
    BmpFormat format;
    Facts facts;
    format.plain_24_bit = plain_or_cut(data, size);
    Status st = format.plain_24_bit ? read_plain_header(data, size, name, &format, &facts)
                                    : read_header(data, size, name, &format, &facts);
    if (st.ok()) st = read_masks(data, size, name, &format, &facts);
    if (st.ok()) st = read_palette_size(name, format, &facts);
    if (st.ok())
        st = format.plain_24_bit ? read_plain_extent(file_length, name, &format, facts)
                                 : read_extent(file_length, name, &format, facts);
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

// Run-length data, bottom-up: pairs (count, value) draw count pixels, where the value is one
// index (RLE8), two indices taking turns (RLE4) or one blue, green, red pixel (RLE24); a count
// of 0 is an escape: 0 ends the line, 1 ends the picture, 2 moves right and up by the next two
// bytes, 3 to 255 are that many literal pixels (indices, or 3 bytes each) padded to an even
// number of bytes. Pixels that no run draws stay transparent, in the palette's first colour
// (black without one); pixels past the right edge are dropped, and so cost no work: each run
// then costs at most its pixels in the row, each row is filled once, and the data's length
// bounds the rest.
Status decode_rle(const unsigned char* data, const BmpFormat& format, const std::string& name,
                  RowsToPlanes* rows) {
    const bool four = format.compression == kRle4;
    const bool rgb = format.compression == kRle24;
    const std::int64_t w = format.width;
    std::array<std::uint8_t, 4> blank = {0, 0, 0, 0};
    if (!rgb) blank = {format.palette[0][0], format.palette[0][1], format.palette[0][2], 0};
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
    // The pixels of a run that lie in the row.
    auto inside = [&](unsigned count) {
        return x >= w ? 0u : static_cast<unsigned>(std::min<std::int64_t>(count, w - x));
    };
    unsigned bad = 0;
    auto put_index = [&](std::int64_t px_x, unsigned index) {
        if (index >= format.palette.size()) {
            bad = index;
            return false;
        }
        std::memcpy(row + 4 * px_x, format.palette[index].data(), 4);
        return true;
    };
    auto put_bgr = [&](std::int64_t px_x, const unsigned char* bgr) {
        const std::uint8_t px[4] = {bgr[2], bgr[1], bgr[0], 255};
        std::memcpy(row + 4 * px_x, px, 4);
    };
    const Status cut = file_failure(StatusCode::short_file, name,
                                    "is cut short: its run-length data ends inside the picture");

    start_row();
    bool ended = false;
    while (y < format.height && !ended) {
        if (end - at < 2) return cut;
        const unsigned count = data[at];
        const unsigned value = data[at + 1];
        if (count > 0) {
            if (rgb) {
                if (end - at < 4) return cut;
                for (unsigned k = 0, n = inside(count); k < n; ++k) put_bgr(x + k, data + at + 1);
                at += 4;
            } else {
                for (unsigned k = 0, n = inside(count); k < n; ++k) {
                    const unsigned index = !four ? value : (k & 1u) ? value & 15u : value >> 4;
                    if (!put_index(x + k, index))
                        return bad_index(name, bad, format.palette.size());
                }
                at += 2;
            }
            x += count;
            continue;
        }
        at += 2;
        if (value == 0) {
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
            const std::size_t bytes = rgb ? 3 * std::size_t{value} : four ? (value + 1) / 2 : value;
            const std::size_t padded = bytes + (bytes & 1u);
            if (end - at < padded) return cut;
            for (unsigned k = 0, n = inside(value); k < n; ++k) {
                if (rgb) {
                    put_bgr(x + k, data + at + 3 * std::size_t{k});
                    continue;
                }
                const unsigned char b = data[at + (four ? k / 2 : k)];
                const unsigned index = !four ? b : (k & 1u) ? b & 15u : b >> 4u;
                if (!put_index(x + k, index)) return bad_index(name, bad, format.palette.size());
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
    return compression == kRle8 || compression == kRle4 || compression == kRle24;
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
    // Many programs write 32-bit BMPs whose mask names an alpha channel they leave at 0
    // everywhere; such a file is meant opaque, as viewers show it, and read as one it keeps its
    // colours instead of enlarging to nothing.
    if (pic.has_alpha() && !format.rle()) {
        const std::uint8_t* a = pic.alpha.get();
        const std::size_t n = static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height);
        if (std::all_of(a, a + n, [](std::uint8_t v) { return v == 0; })) pic.alpha.reset();
    }
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
    // The headers and tables are read first and checked, the pixel data only then. Every
    // header and table of the common kinds lies in the first few KiB; a file whose
    // information header claims more than fits the head is read whole.
    constexpr std::size_t kHeadBytes = 64 * 1024;
    constexpr std::uint64_t kLargestTables = 16 + 256 * 4;  // masks and a palette
    std::vector<unsigned char> head(
        static_cast<std::size_t>(std::min<std::uint64_t>(length, kHeadBytes)));
    const std::size_t got = std::fread(head.data(), 1, head.size(), f);
    const std::uint64_t info =
        got >= kBmpFileHeaderBytes + 4 ? get_le32(head.data() + kBmpFileHeaderBytes) : 0;
    const std::uint64_t header_end = kBmpFileHeaderBytes + info;
    if (!plain_or_cut(head.data(), got) && got < length && header_end <= length &&
        header_end + kLargestTables > got) {
        HeapArray<unsigned char> bytes;
        Status st = read_file_bytes(f, length, display_name, limits, &bytes);
        if (!st.ok()) return st;
        return decode_bmp(bytes.get(), bytes.size(), display_name, limits, out);
    }
    BmpFormat format;
    Status st = read_format(head.data(), got, length, display_name, limits, &format);
    if (!st.ok()) return st;
    head = std::vector<unsigned char>();
    // Only the pixel data are read, in one read: a plain picture's rows, and bytes between
    // them and the end of the file are ignored.
    const std::size_t n = static_cast<std::size_t>(format.pixel_bytes);
    HeapArray<unsigned char> pixels(n, "pixels");
    const std::size_t read = seek_file(f, format.pixels_at) ? std::fread(pixels.get(), 1, n, f) : 0;
    if (read != n) {
        // The file shrank since its length was taken.
        const std::uint64_t has = format.pixels_at + read;
        const std::uint64_t wanted = format.pixels_at + n;
        if (format.plain_24_bit)
            return input_file_size_error(display_name, has, wanted, "its rows need");
        return file_failure(StatusCode::short_file, display_name,
                            "is cut short: it has " + text(has) + " of the " + text(wanted) +
                                " bytes its pixel data need");
    }
    return decode_bmp_pixels(pixels.get(), format, display_name, out);
}
