#pragma once
// The BMP the results are written as, and the one every other kind is measured against: a
// 14-byte file header, a 40-byte information header, no colour table, 24 bits per pixel, no
// compression, rows stored bottom-up, each row blue, green, red per pixel and padded with zeros
// to a multiple of 4 bytes. All multi-byte fields are little-endian. Planes: base/plane.h; the
// reader of every BMP kind: image/bmp_decode.h.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/alloc.h"
#include "base/plane.h"
#include "base/status.h"

class CommitBatch;  // base/durable_file.h

// The file header ("BM", sizes and the pixel offset) and the information header that follows
// it; the pixel rows of a result begin right after them.
constexpr int kBmpFileHeaderBytes = 14;
constexpr int kBmpInfoHeaderBytes = 40;
constexpr int kBmpHeaderBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;

// The one pixel format: 24 bits, blue, green, red; and the "no compression" code (BI_RGB).
constexpr std::uint16_t kBmpBitsPerPixel = 24;
constexpr std::uint32_t kBmpUncompressed = 0;

// Every field of the 54-byte header after the "BM" signature, by its fixed offset.
struct BmpHeader {
    std::int32_t file_size = 0;           // offset 2, S
    std::uint16_t reserved1 = 0;          // offset 6
    std::uint16_t reserved2 = 0;          // offset 8
    std::uint32_t pixel_offset = 0;       // offset 10
    std::uint32_t info_size = 0;          // offset 14
    std::int32_t width = 0;               // offset 18, W
    std::int32_t height = 0;              // offset 22, H; positive means bottom-up rows
    std::uint16_t planes = 0;             // offset 26
    std::uint16_t bits = 0;               // offset 28
    std::uint32_t compression = 0;        // offset 30
    std::uint32_t image_size = 0;         // offset 34; 0 is allowed when uncompressed
    std::int32_t x_pixels_per_metre = 0;  // offset 38
    std::int32_t y_pixels_per_metre = 0;  // offset 42
    std::uint32_t colours_used = 0;       // offset 46
    std::uint32_t important_colours = 0;  // offset 50
};

// Zero bytes after each row of width pixels: 0, 3, 2 or 1 for 3 * width mod 4 = 0, 1, 2, 3.
inline std::uint64_t bmp_row_padding(std::uint64_t width) { return (4 - (3 * width) % 4) % 4; }
inline std::uint64_t bmp_row_stride(std::uint64_t width) {
    return 3 * width + bmp_row_padding(width);
}

// Reads the fields from the first kBmpHeaderBytes bytes of a file.
BmpHeader bmp_header_fields(const unsigned char* head);

// The header of a result of width x height pixels (both at least 0, fitting bmp_size_fits):
// pixels right after the 54 bytes, no compression, 96 dots per inch.
BmpHeader bmp_result_header(int width, int height);

// Lays out h as the first kBmpHeaderBytes bytes of a file, "BM" first.
void put_bmp_header(const BmpHeader& h, unsigned char head[kBmpHeaderBytes]);

// The result name: input_path less its last four characters, put in place of "%s" in
// name_format ("%s_lanczos3.bmp", "%s_hybrid.bmp", "%s_dct.bmp"). Paths are UTF-8; a
// character is one code point, so a multi-byte character is never cut in half.
std::string result_name(const std::string& input_path, const char* name_format);

// stem put in place of the "%s" in name_format (name_format itself when it has none).
std::string name_from_stem(const std::string& stem, const char* name_format);

// Writes three planes of width * height samples (in the given order) as a 24-bit BMP named
// by result_name: write_bmp_file under that name.
Status write_result_bmp(const std::string& input_path, const char* name_format, int width,
                        int height, const std::uint8_t* red, const std::uint8_t* green,
                        const std::uint8_t* blue, PlaneOrder order = PlaneOrder::by_column);

// Writes three planes of width * height samples (in the given order) as the 24-bit BMP file
// name, through a DurableFile (base/durable_file.h): the file appears complete or not
// at all, also after a power cut, a failed write leaves an existing result untouched, and a
// file or link planted under a temporary name is never written through. With a batch, the
// finished file is handed to it and the batch's commit reports the rest; without one it is
// committed at once. width and height must be at least 0 and give a file of at most
// 2^31 - 1 bytes. Failures come back as StatusCode::write_failed or bad_size with one line
// naming the result.
Status write_bmp_file(const std::string& name, int width, int height, const std::uint8_t* red,
                      const std::uint8_t* green, const std::uint8_t* blue,
                      PlaneOrder order = PlaneOrder::by_column, CommitBatch* batch = nullptr);

// Whether a width x height result fits in a BMP file (whose size field is 32-bit signed).
bool bmp_size_fits(std::int64_t width, std::int64_t height);
