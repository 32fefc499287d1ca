#pragma once
// The BMP reader: every common kind, read by the format's offsets:
//   - 1-, 4- and 8-bit pictures with a palette, uncompressed or run-length encoded (RLE4, RLE8);
//   - 16-bit: 5-5-5 (plain) or any bit-field masks, 5-6-5 among them;
//   - 24-bit;
//   - 32-bit: plain (the fourth byte unused) or with bit-field masks, with or without alpha;
//   - rows bottom-up (positive height) or top-down (negative height, uncompressed only);
//   - information headers of 40 bytes and more (40, 52, 56, 64, 108, 124).
// Samples of n-bit fields become 8 bits by sample_to_8 (image/planes.h); palettes are
// expanded. A picture with an alpha mask, or run-length data that skips pixels (skipped
// pixels are transparent, in the palette's first colour), gives an alpha plane when any
// pixel is not opaque.
//
// Reading is in two steps: read_bmp_format checks every header field against the others and
// against the file and says where everything lies; decode_bmp_pixels then turns the pixel data
// into planes, reading nothing outside it. The plain 24-bit kind (a header of 40 bytes or more,
// 24 bits, no compression, rows bottom-up), the one the results are written in, is a branch of
// the first step with rules of its own: its size field S must not exceed the file (else the
// refusal is "InputFileSizeError!!!" alone), its pixel rows are read from its pixel offset
// within those S bytes, and it is read whatever the memory limit. Every other kind is checked
// field by field, its header, masks, palette and pixel data inside the file and inside its
// size field, and within the memory limit, before any plane is taken.

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
    std::uint32_t compression = 0;
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
// ("InputFileSizeError!!!"); the file's own bytes count against limits (they are held while
// the planes are filled).
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
// the same verdicts. The plain kind is read as its 54-byte header and then its pixel rows, in
// one read; every other kind is read whole (read_file_bytes, image/planes.h) and decoded.
// f stays open.
Status read_bmp_file(FILE* f, std::uint64_t length, const std::string& display_name,
                     const DecodeLimits& limits, PlanarPicture* out);
