#include "image/bmp.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/durable_file.h"
#include "base/file_io.h"
#include "image/byte_order.h"

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

Status bmp_check(const unsigned char* head, std::size_t head_len, std::uint64_t file_length,
                 const std::string& display_name, BmpHeader* out) {
    const std::string& n = display_name;
    if (head_len < 2 || head[kAtSignature] != 'B' || head[kAtSignature + 1] != 'M')
        return file_failure(StatusCode::wrong_kind, n, "is not a BMP picture");
    if (head_len < static_cast<std::size_t>(kBmpHeaderBytes))
        return file_failure(StatusCode::wrong_kind, n,
                            "is too short to be a BMP picture (header cut off)");
    BmpHeader h = bmp_header_fields(head);
    if (h.info_size < static_cast<std::uint32_t>(kBmpInfoHeaderBytes))
        return file_failure(StatusCode::unsupported, n,
                            "uses an old BMP header of " + std::to_string(h.info_size) +
                                " bytes; only 24-bit Windows BMP pictures are supported");
    if (h.bits != kBmpBitsPerPixel)
        return file_failure(StatusCode::unsupported, n,
                            "has " + std::to_string(h.bits) +
                                " bits per pixel; only 24-bit pictures are supported");
    if (h.compression != kBmpUncompressed)
        return file_failure(StatusCode::unsupported, n,
                            "is compressed (compression " + std::to_string(h.compression) +
                                "); only uncompressed pictures are supported");
    if (h.height < 0)
        return file_failure(
            StatusCode::unsupported, n,
            "stores its rows top-down (negative height); only bottom-up pictures are "
            "supported");
    if (h.width <= 0 || h.height <= 0)
        return file_failure(StatusCode::bad_header, n,
                            "has an invalid size of " + std::to_string(h.width) + " x " +
                                std::to_string(h.height) + " pixels");
    if (h.file_size < kBmpHeaderBytes)
        return file_failure(StatusCode::bad_header, n,
                            "has a file size field of " + std::to_string(h.file_size) +
                                " bytes, less than its own 54-byte header");
    std::uint64_t size_field = static_cast<std::uint64_t>(h.file_size);
    if (h.pixel_offset < static_cast<std::uint64_t>(kBmpHeaderBytes) ||
        h.pixel_offset < kBmpFileHeaderBytes + std::uint64_t{h.info_size} ||
        h.pixel_offset > size_field)
        return file_failure(StatusCode::bad_header, n,
                            "has its pixel data at offset " + std::to_string(h.pixel_offset) +
                                ", outside the picture's " + std::to_string(size_field) + " bytes");
    std::uint64_t rows = bmp_row_stride(static_cast<std::uint64_t>(h.width)) *
                         static_cast<std::uint64_t>(h.height);
    if (rows > size_field - h.pixel_offset)
        return file_failure(StatusCode::bad_header, n,
                            "is too small for its " + std::to_string(h.width) + " x " +
                                std::to_string(h.height) + " pixels (size field " +
                                std::to_string(size_field) + " bytes)");
    if (file_length < size_field)
        return Status::failure(StatusCode::short_file, "InputFileSizeError!!!");
    if (out) *out = h;
    return Status::success();
}

void split_pixel_rows(const unsigned char* rows, int width, int height, std::uint8_t* red,
                      std::uint8_t* green, std::uint8_t* blue) {
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride = static_cast<std::size_t>(bmp_row_stride(w));
    // In groups of rows, for the same reason as in the writer: each column takes a short run.
    constexpr std::size_t kGroup = 32;
    for (std::size_t y0 = 0; y0 < h; y0 += kGroup) {
        const std::size_t count = std::min(kGroup, h - y0);
        const std::size_t t_last = h - y0 - count;
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t at = x * h + t_last;
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned char* px = rows + (y0 + count - 1 - i) * stride + 3 * x;
                blue[at + i] = px[0];
                green[at + i] = px[1];
                red[at + i] = px[2];
            }
        }
    }
}

Status open_picture_file(const std::string& path, FILE** f, std::uint64_t* length) {
    int err = 0;
    switch (file_kind(path, length, &err)) {
        case FileKind::missing:
            return Status::failure(StatusCode::cannot_open,
                                   "cannot open '" + path + "': " + error_text(err));
        case FileKind::directory:
            return file_failure(StatusCode::not_a_file, path, "is a directory, not a picture");
        case FileKind::other:
            return file_failure(StatusCode::not_a_file, path, "is not a regular file");
        case FileKind::regular:
            break;
    }
    *f = open_file(path, "rb");
    if (*f == nullptr)
        return Status::failure(StatusCode::cannot_open,
                               "cannot open '" + path + "': " + error_text(errno));
    return Status::success();
}

Status read_bmp_planes_from(FILE* f, std::uint64_t length, const std::string& path,
                            PlanarPicture* out) {
    unsigned char head[kBmpHeaderBytes];
    std::size_t got = std::fread(head, 1, sizeof head, f);
    BmpHeader h;
    Status st = bmp_check(head, got, length, path, &h);
    if (!st.ok()) return st;
    // Only the rows the header announces are kept; bytes between them and the size field's end
    // are ignored, and so is anything after the first S bytes of the file.
    const std::size_t w = static_cast<std::size_t>(h.width);
    const std::size_t ht = static_cast<std::size_t>(h.height);
    const std::size_t data_len = static_cast<std::size_t>(bmp_row_stride(w) * ht);
    HeapArray<unsigned char> pixels(data_len, "pixels");
    bool complete = std::fseek(f, static_cast<long>(h.pixel_offset), SEEK_SET) == 0 &&
                    std::fread(pixels.get(), 1, data_len, f) == data_len;
    if (!complete) return Status::failure(StatusCode::short_file, "InputFileSizeError!!!");

    out->width = h.width;
    out->height = h.height;
    out->red = HeapArray<std::uint8_t>(w * ht, "red");
    out->green = HeapArray<std::uint8_t>(w * ht, "green");
    out->blue = HeapArray<std::uint8_t>(w * ht, "blue");
    out->alpha = HeapArray<std::uint8_t>();
    split_pixel_rows(pixels.get(), h.width, h.height, out->red.get(), out->green.get(),
                     out->blue.get());
    return Status::success();
}

Status read_bmp_planes(const std::string& path, PlanarPicture* out) {
    FILE* f = nullptr;
    std::uint64_t length = 0;
    Status st = open_picture_file(path, &f, &length);
    if (!st.ok()) return st;
    st = read_bmp_planes_from(f, length, path, out);
    std::fclose(f);
    return st;
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
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride = static_cast<std::size_t>(bmp_row_stride(w));
    unsigned char head[kBmpHeaderBytes];
    put_bmp_header(bmp_result_header(width, height), head);

    DurableFile file;
    Status created = file.create(name);
    if (!created.ok()) return created;
    bool good = file.write(head, sizeof head);
    // Rows are written in groups: in a column-major plane a column holds the group's samples
    // next to each other, so each column is read in one short run instead of one byte per row.
    constexpr std::size_t kGroup = 32;
    std::vector<unsigned char> rows(stride * std::min(kGroup, h), 0);
    for (std::size_t y0 = 0; y0 < h && good; y0 += kGroup) {
        const std::size_t count = std::min(kGroup, h - y0);
        for (std::size_t i = 0; i < count; ++i) {
            // File row y0 + i is picture row t, counted from the top.
            const std::size_t t = h - 1 - (y0 + i);
            unsigned char* row = rows.data() + i * stride;
            if (order == PlaneOrder::by_row) {
                const std::size_t at = t * w;
                for (std::size_t x = 0; x < w; ++x) {
                    row[3 * x] = blue[at + x];
                    row[3 * x + 1] = green[at + x];
                    row[3 * x + 2] = red[at + x];
                }
            }
        }
        if (order == PlaneOrder::by_column) {
            const std::size_t t_last = h - y0 - count;
            for (std::size_t x = 0; x < w; ++x) {
                const std::size_t at = x * h + t_last;
                for (std::size_t i = 0; i < count; ++i) {
                    unsigned char* px = rows.data() + (count - 1 - i) * stride + 3 * x;
                    px[0] = blue[at + i];
                    px[1] = green[at + i];
                    px[2] = red[at + i];
                }
            }
        }
        good = file.write(rows.data(), stride * count);
    }
    // A failed write is reported by the commit, which also removes the temporary file.
    return batch != nullptr ? batch->add(std::move(file)) : file.commit();
}
