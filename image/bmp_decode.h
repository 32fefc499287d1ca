#pragma once
// The BMP reader: every common kind, read by the format's offsets:
//   - 1-, 4- and 8-bit pictures with a palette, uncompressed or run-length encoded (RLE4, RLE8);
//   - 16-bit: 5-5-5 (plain) or any bit-field masks, 5-6-5 among them;
//   - 24-bit, uncompressed or (OS/2) run-length encoded (RLE24);
//   - 32-bit: plain (the fourth byte unused) or with bit-field masks, with or without alpha;
//   - rows bottom-up (positive height) or top-down (negative height, uncompressed only);
//   - Windows information headers of 40 bytes and more (40, 52, 56, 108, 124), the OS/2 core
//     header of 12 bytes (16-bit sides, 1, 4, 8 or 24 bits, 3-byte palette entries) and OS/2
//     2.x headers of 16 to 64 bytes (fields past a short header's end read as 0).
// Samples of n-bit fields become 8 bits by sample_to_8 (image/planes.h); palettes are
// expanded. A picture with an alpha mask, or run-length data that skips pixels (skipped
// pixels are transparent, in the palette's first colour), gives an alpha plane when any
// pixel is not opaque.
//
// Reading is in two steps: read_bmp_format checks every header field against the others and
// against the file and says where everything lies; decode_bmp_pixels then turns the pixel data
// into planes, reading nothing outside it. The plain 24-bit kind (a header of 40 bytes or more,
// 24 bits, no compression, rows bottom-up), the one the results are written in, is a branch of
// the first step with rules of its own: a file shorter than its size field S is refused as
// "InputFileSizeError!!!" and a line saying how many bytes are missing; its rows are read from
// its pixel offset within those S bytes, or within the file's real length when S is too small
// for them. Every other kind is checked field by field, its header, masks, palette and pixel
// data inside the file; its size fields (file size, image size) are not used, since writers
// often leave them wrong. Every kind is then checked against the limits (check_decode_size)
// before any plane is taken.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/status.h"
#include "image/bmp.h"
#include "image/planes.h"

// One channel of a 16- or 32-bit pixel: a run of bits.
struct BmpField {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;  // the largest value of the field; 0 for an absent field

    std::uint8_t of(std::uint32_t pixel) const { return sample_to_8((pixel & mask) >> shift, max); }
};

// Where a checked BMP's pixels lie and how they are stored.
struct BmpFormat {
    bool plain_24_bit = false;  // the plain kind: its rows are stored as the results' are
    int width = 0;
    int height = 0;  // rows, whatever the direction
    bool top_down = false;
    int bits = 0;
    std::uint32_t compression = 0;  // the file's code; OS/2's RLE24 has one of its own
    BmpField red, green, blue, alpha;                  // 16 and 32 bits
    std::vector<std::array<std::uint8_t, 4>> palette;  // red, green, blue, 255
    std::uint64_t pixels_at = 0;  // the pixel data: pixel_bytes bytes from this offset
    std::uint64_t pixel_bytes = 0;
    std::uint64_t stride = 0;  // bytes per stored row, uncompressed

    bool rle() const;
    // Whether the planes need room for alpha: an alpha mask, or run-length data that may skip
    // pixels.
    bool may_have_alpha() const { return rle() || alpha.max != 0; }
};

// Checks the headers of the BMP file data[0 .. size) and says where its pixels lie. Each
// refusal is one line naming display_name, except the plain kind's short file
// ("InputFileSizeError!!!" and such a line); the file's own bytes count against limits (they
// are held while the planes are filled).
Status read_bmp_format(const unsigned char* data, std::size_t size, const std::string& display_name,
                       const DecodeLimits& limits, BmpFormat* out);

// Decodes the pixel data of a BMP whose format read_bmp_format gave: pixels holds its
// format.pixel_bytes bytes. Refused (one line naming display_name) when a pixel names a colour
// the palette lacks or run-length data ends early; *out is then left as it was.
Status decode_bmp_pixels(const unsigned char* pixels, const BmpFormat& format,
                         const std::string& display_name, PlanarPicture* out);

// Both steps on the BMP file data[0 .. size) held in memory. On failure *out is left as it
// was.
Status decode_bmp(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out);

// Reads a BMP from f, open at its start, of length bytes in all, as decode_bmp decodes it, with
// the same verdicts. Its headers and tables are read and checked first, against the limits
// too, and only then its pixel data, in one read (a file whose information header claims
// more than the first 64 KiB is read whole: read_file_bytes, image/planes.h). f stays open.
Status read_bmp_file(FILE* f, std::uint64_t length, const std::string& display_name,
                     const DecodeLimits& limits, PlanarPicture* out);
