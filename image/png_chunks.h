#pragma once
// A PNG file's chunk structure, walked by hand before any decoder sees the file, so that every
// platform refuses the same files for the same reasons: the signature; every chunk inside the
// file with a matching CRC-32; IHDR first with a valid size, bit depth and colour type; image
// data present; IEND present (bytes after it are ignored). It also refuses a file whose image
// data could not hold its pixels even at deflate's greatest compression, so that a picture
// claiming far more than its bytes can carry is refused before its memory is taken.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"

inline constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// The PNG colour types.
enum PngColourType : int {
    kPngGrey = 0,
    kPngRgb = 2,
    kPngPalette = 3,
    kPngGreyAlpha = 4,
    kPngRgba = 6,
};

// What the chunk walk learnt.
struct PngFacts {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bit_depth = 0;
    int colour_type = 0;
    bool interlaced = false;
    bool transparency = false;     // an alpha channel or a tRNS chunk
    std::uint64_t idat_bytes = 0;  // compressed image data, all IDAT chunks together
};

// Deflate's best case: a length-258 match coded in 2 bits (a one-bit length code and a
// one-bit distance code), 1032 bytes out per byte in. No stream expands further.
inline constexpr std::uint64_t kDeflateMostBytesPerByte = 1032;

// Checks data[0 .. size) as above; display_name names the file in messages. Refusals are
// wrong_kind (no PNG signature), short_file (cut short), damaged (a CRC that does not match,
// image data too small for its pixels) and bad_header (a chunk or IHDR field out of range).
Status check_png_chunks(const unsigned char* data, std::size_t size,
                        const std::string& display_name, PngFacts* facts);

// The CRC-32 of PNG chunks (and zlib, gzip): polynomial 0xEDB88320 reflected, starting from
// and finished with all ones. crc continues an earlier CRC of preceding bytes (0 to start).
std::uint32_t png_crc32(const unsigned char* bytes, std::size_t count, std::uint32_t crc = 0);
