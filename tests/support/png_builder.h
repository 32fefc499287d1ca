#pragma once
// PNG files for tests, built byte by byte without the code under test or any PNG library, so
// that a fault in a reader cannot hide itself: rows unfiltered (filter byte 0), Adam7 passes
// when interlaced, the zlib stream made of stored deflate blocks, and every CRC computed here.
// Portable: the Windows tests build the same files.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"

struct PngLayout {
    int width = 0;
    int height = 0;
    int colour_type = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int bit_depth = 8;
    bool interlaced = false;
    // Row-major from the top, the colour type's samples per pixel (1, 3, 1, 2, 4), each below
    // 2^bit_depth; palette indices for colour type 3.
    std::vector<std::uint16_t> samples;
    std::vector<Rgb> palette;          // PLTE, for colour type 3
    std::vector<std::uint8_t> trns;    // the body of a tRNS chunk, when not empty
};

// The scanlines the zlib stream carries: each (sub-)image row is a filter byte 0 and the row's
// samples packed big-endian from the highest bits; for an interlaced picture the seven passes
// one after another, empty passes left out.
std::vector<std::uint8_t> png_scanlines(const PngLayout& layout);

// A zlib stream holding bytes in stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlib_stored(const std::vector<std::uint8_t>& bytes);

// A zlib stream of count zero bytes that deflate compresses about 160 to one: a zero literal,
// then matches of 258 bytes at distance 1, in one block of the fixed Huffman codes.
std::vector<std::uint8_t> zlib_zero_run(std::size_t count);

// One chunk: length, type, body and CRC.
std::vector<std::uint8_t> png_chunk(const std::string& type, const std::vector<std::uint8_t>& body);

// The 13-byte IHDR body of layout.
std::vector<std::uint8_t> png_header(const PngLayout& layout);

// A whole file: signature, IHDR, PLTE and tRNS when given, the zlib stream in IDAT chunks of at
// most idat_size bytes, IEND. zlib_stream empty: zlib_stored(png_scanlines(layout)).
std::vector<std::uint8_t> encode_png_file(const PngLayout& layout,
                                          const std::vector<std::uint8_t>& zlib_stream = {},
                                          std::size_t idat_size = 1000);

// The CRC-32 of PNG and zlib, computed bit by bit.
std::uint32_t crc32_bitwise(const std::uint8_t* bytes, std::size_t count);
