#pragma once
// Pictures with metadata for tests, built byte by byte: an EXIF block holding an Orientation,
// an ICC profile of any size, and the places they take in a PNG (chunks after IHDR), a JPEG
// (marker segments after SOI) and a BMP (a V5 header's embedded profile). And the upright
// picture an orientation stands for, turned here pixel by pixel from its definition.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/png_builder.h"

// A TIFF structure (an EXIF block less "Exif\0\0") whose first directory holds one entry, the
// Orientation value as a SHORT, in either byte order.
std::vector<std::uint8_t> exif_tiff(int orientation, bool big_endian = false);

// A profile of size bytes (at least 132): a header giving that size and the "acsp" signature,
// then bytes of seed.
std::vector<std::uint8_t> test_profile(std::size_t size, std::uint32_t seed);

// An RGB PNG of pic, with chunks (png_chunk's, one after another) right after IHDR.
std::vector<std::uint8_t> png_with(const TestPicture& pic, const std::vector<std::uint8_t>& chunks);

// A JPEG marker segment: FF, marker, length, body.
std::vector<std::uint8_t> jpeg_segment(std::uint8_t marker, const std::vector<std::uint8_t>& body);
// The APP1 segment of an EXIF block, and the APP2 segments of a profile in pieces of at most
// piece bytes, numbered from 1, in the order given by order (indices into the pieces; empty:
// in sequence).
std::vector<std::uint8_t> jpeg_exif(const std::vector<std::uint8_t>& tiff);
std::vector<std::uint8_t> jpeg_profile(const std::vector<std::uint8_t>& profile, std::size_t piece,
                                       const std::vector<int>& order = {});
// jpeg with segments put right after its SOI marker.
std::vector<std::uint8_t> jpeg_with(const std::vector<std::uint8_t>& jpeg,
                                    const std::vector<std::uint8_t>& segments);

// A plain 24-bit BMP of pic with a V5 header embedding profile after its rows; profile_size
// (when not 0) is what the header claims instead of the profile's size.
std::vector<std::uint8_t> bmp_with_profile(const TestPicture& pic,
                                           const std::vector<std::uint8_t>& profile,
                                           std::uint32_t profile_size = 0);

// The picture shown upright from stored, a picture stored with the EXIF orientation (1 to 8):
// stored pixel (x, y) goes to the column and row the orientation's first row and first column
// name (6: the first row on the right, the first column at the top).
TestPicture upright_of(const TestPicture& stored, int orientation);

// The types of a PNG file's chunks in order, and the body of the first chunk of a type (empty
// when there is none).
std::vector<std::string> png_chunk_types(const std::vector<std::uint8_t>& png);
std::vector<std::uint8_t> png_chunk_body(const std::vector<std::uint8_t>& png,
                                         const std::string& type);
