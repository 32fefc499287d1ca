#include "image/bmp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/durable_file.h"
#include "image/byte_order.h"
#include "image/planes.h"

namespace {

std::uint32_t get_u32(const unsigned char* p) { return get_le32(p); }

std::int32_t get_i32(const unsigned char* p) { return static_cast<std::int32_t>(get_le32(p)); }

std::uint16_t get_u16(const unsigned char* p) { return get_le16(p); }

void put_u32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

void put_u16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

// Where each field lies in the header (BmpHeader names the same fields in the same order).
constexpr std::size_t kAtSignature = 0;
constexpr std::size_t kAtFileSize = 2;
constexpr std::size_t kAtReserved1 = 6;
constexpr std::size_t kAtReserved2 = 8;
constexpr std::size_t kAtPixelOffset = 10;
constexpr std::size_t kAtInfoSize = 14;
constexpr std::size_t kAtWidth = 18;
constexpr std::size_t kAtHeight = 22;
constexpr std::size_t kAtPlanes = 26;
constexpr std::size_t kAtBits = 28;
constexpr std::size_t kAtCompression = 30;
constexpr std::size_t kAtImageSize = 34;
constexpr std::size_t kAtXPixelsPerMetre = 38;
constexpr std::size_t kAtYPixelsPerMetre = 42;
constexpr std::size_t kAtColoursUsed = 46;
constexpr std::size_t kAtImportantColours = 50;

// What a result's header says beyond its size: one colour plane (the only value the format
// allows), no colour table, and 96 dots per inch, which is 3779.5 pixels per metre rounded.
constexpr std::uint16_t kPlanes = 1;
constexpr std::int32_t kPixelsPerMetreAt96Dpi = 3780;

}  // namespace

BmpHeader bmp_header_fields(const unsigned char* head) {
    BmpHeader h;
    h.file_size = get_i32(head + kAtFileSize);
    h.reserved1 = get_u16(head + kAtReserved1);
    h.reserved2 = get_u16(head + kAtReserved2);
    h.pixel_offset = get_u32(head + kAtPixelOffset);
    h.info_size = get_u32(head + kAtInfoSize);
    h.width = get_i32(head + kAtWidth);
    h.height = get_i32(head + kAtHeight);
    h.planes = get_u16(head + kAtPlanes);
    h.bits = get_u16(head + kAtBits);
    h.compression = get_u32(head + kAtCompression);
    h.image_size = get_u32(head + kAtImageSize);
    h.x_pixels_per_metre = get_i32(head + kAtXPixelsPerMetre);
    h.y_pixels_per_metre = get_i32(head + kAtYPixelsPerMetre);
    h.colours_used = get_u32(head + kAtColoursUsed);
    h.important_colours = get_u32(head + kAtImportantColours);
    return h;
}

BmpHeader bmp_result_header(int width, int height) {
    const std::uint64_t rows = bmp_row_stride(static_cast<std::uint64_t>(width)) *
                               static_cast<std::uint64_t>(height);
    BmpHeader h;
    h.file_size = static_cast<std::int32_t>(kBmpHeaderBytes + rows);
    h.pixel_offset = kBmpHeaderBytes;
    h.info_size = kBmpInfoHeaderBytes;
    h.width = width;
    h.height = height;  // positive: rows bottom-up
    h.planes = kPlanes;
    h.bits = kBmpBitsPerPixel;
    h.compression = kBmpUncompressed;
    h.image_size = 0;  // allowed for uncompressed pictures
    h.x_pixels_per_metre = kPixelsPerMetreAt96Dpi;
    h.y_pixels_per_metre = kPixelsPerMetreAt96Dpi;
    h.colours_used = 0;       // no colour table
    h.important_colours = 0;  // all are
    return h;
}

void put_bmp_header(const BmpHeader& h, unsigned char head[kBmpHeaderBytes]) {
    head[kAtSignature] = 'B';
    head[kAtSignature + 1] = 'M';
    put_u32(head + kAtFileSize, static_cast<std::uint32_t>(h.file_size));
    put_u16(head + kAtReserved1, h.reserved1);
    put_u16(head + kAtReserved2, h.reserved2);
    put_u32(head + kAtPixelOffset, h.pixel_offset);
    put_u32(head + kAtInfoSize, h.info_size);
    put_u32(head + kAtWidth, static_cast<std::uint32_t>(h.width));
    put_u32(head + kAtHeight, static_cast<std::uint32_t>(h.height));
    put_u16(head + kAtPlanes, h.planes);
    put_u16(head + kAtBits, h.bits);
    put_u32(head + kAtCompression, h.compression);
    put_u32(head + kAtImageSize, h.image_size);
    put_u32(head + kAtXPixelsPerMetre, static_cast<std::uint32_t>(h.x_pixels_per_metre));
    put_u32(head + kAtYPixelsPerMetre, static_cast<std::uint32_t>(h.y_pixels_per_metre));
    put_u32(head + kAtColoursUsed, h.colours_used);
    put_u32(head + kAtImportantColours, h.important_colours);
}

std::string result_name(const std::string& input_path, const char* name_format) {
    // Drop four characters from the end; UTF-8 continuation bytes (10xxxxxx) belong to the
    // character before them.
    std::size_t end = input_path.size();
    for (int chars = 0; chars < 4 && end > 0; ++chars) {
        --end;
        while (end > 0 && (static_cast<unsigned char>(input_path[end]) & 0xC0) == 0x80) --end;
    }
    return name_from_stem(input_path.substr(0, end), name_format);
}

std::string name_from_stem(const std::string& stem, const char* name_format) {
    std::string fmt = name_format;
    std::size_t at = fmt.find("%s");
    if (at == std::string::npos) return fmt;
    return fmt.substr(0, at) + stem + fmt.substr(at + 2);
}

bool bmp_size_fits(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0) return false;
    if (width > INT32_MAX || height > INT32_MAX) return false;
    std::uint64_t rows = bmp_row_stride(static_cast<std::uint64_t>(width)) *
                         static_cast<std::uint64_t>(height);
    return rows <= static_cast<std::uint64_t>(INT32_MAX) - kBmpHeaderBytes;
}

Status write_result_bmp(const std::string& input_path, const char* name_format, int width,
                        int height, const std::uint8_t* red, const std::uint8_t* green,
                        const std::uint8_t* blue, PlaneOrder order) {
    return write_bmp_file(result_name(input_path, name_format), width, height, red, green, blue,
                          order);
}

Status write_bmp_file(const std::string& name, int width, int height, const std::uint8_t* red,
                      const std::uint8_t* green, const std::uint8_t* blue, PlaneOrder order,
                      CommitBatch* batch) {
    if (!bmp_size_fits(width, height))
        return Status::failure(StatusCode::bad_size,
                               "cannot write '" + name + "': " + std::to_string(width) + " x " +
                                   std::to_string(height) + " pixels do not fit in a BMP file");
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride =
        static_cast<std::size_t>(bmp_row_stride(static_cast<std::size_t>(width)));
    unsigned char head[kBmpHeaderBytes];
    put_bmp_header(bmp_result_header(width, height), head);

    DurableFile file;
    Status created = file.create(name);
    if (!created.ok()) return created;
    bool good = file.write(head, sizeof head);
    // Zeroed once: the rows' padding is never written over.
    const std::size_t group = RowsToPlanes::kGroup;
    std::vector<unsigned char> rows(stride * std::min(group, h), 0);
    const std::uint8_t* planes[3] = {blue, green, red};
    for (std::size_t y0 = 0; y0 < h && good; y0 += group) {
        // File rows y0 .. y0 + count - 1 hold picture rows h - 1 - y0 down to t_first.
        const std::size_t count = std::min(group, h - y0);
        const std::size_t t_first = h - y0 - count;
        interleave_rows(planes, 3, width, height, order, t_first, count,
                        rows.data() + (count - 1) * stride, -static_cast<std::ptrdiff_t>(stride));
        good = file.write(rows.data(), stride * count);
    }
    // A failed write is reported by the commit, which also removes the temporary file.
    return batch != nullptr ? batch->add(std::move(file)) : file.commit();
}
