#pragma once
// Every common kind of BMP, read by the format's offsets from a file held whole in memory:
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
// The plain kind of the original tool (24-bit, uncompressed, bottom-up) is read exactly as
// bmp_check and split_pixel_rows read it, with the same messages. Every other kind is checked
// field by field before any plane is taken: header, masks, palette and pixel data must lie
// inside the file and inside its size field, and nothing outside them is read.

#include <cstddef>
#include <string>

#include "base/status.h"
#include "image/bmp.h"
#include "image/planes.h"

// Whether a BMP with header h is the plain kind that bmp_check and read_bmp_planes take:
// a header of 40 bytes or more, 24 bits, no compression, rows bottom-up.
bool bmp_is_plain_24_bit(const BmpHeader& h);

// Decodes the BMP file data[0 .. size) into *out. display_name names the file in messages.
// The file's own bytes count against limits (they are held while the planes are filled). On
// failure *out is left as it was and the status has one line naming the file and the reason.
Status decode_bmp(const unsigned char* data, std::size_t size, const std::string& display_name,
                  const DecodeLimits& limits, PlanarPicture* out);
