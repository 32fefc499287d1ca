#pragma once
// zlib streams (a two-byte header, deflate data, the Adler-32 of what they hold) as PNG's
// compressed chunks carry them, without any library, so that a colour profile is read and
// written alike on every platform: inflating a stream into at most a given number of bytes, and
// deflating bytes by Huffman codes alone, which is also the image data of the Linux PNG writer,
// fast enough to keep up with the methods.

#include <cstddef>
#include <cstdint>
#include <vector>

// The Adler-32 of zlib: sums modulo 65521, starting from adler (1 for no bytes yet).
std::uint32_t adler32_of(const std::uint8_t* bytes, std::size_t count, std::uint32_t adler = 1);

enum class InflateResult {
    ok,
    damaged,    // a header, block or code the format does not allow, or a wrong Adler-32
    cut_short,  // the stream ends before its last block, or before its checksum
    too_large,  // it holds more than most_bytes
};

// Inflates the zlib stream data[0 .. size) into *out (replaced), reading nothing outside it and
// writing at most most_bytes. Bytes after the checksum are ignored. On failure *out is empty.
InflateResult zlib_inflate(const std::uint8_t* data, std::size_t size, std::size_t most_bytes,
                           std::vector<std::uint8_t>* out);

// Appends bytes to *out as deflate blocks of Huffman codes alone (no matches), one code per
// block of at most kHuffmanBlockBytes, fitted to that block's bytes. The last block is final
// when last is set; otherwise an empty stored block ends the data on a byte boundary (a sync
// flush), so that the data of several calls, joined in order with only the last one's last,
// are one deflate stream. On filtered photographs it keeps nearly all that matching would
// save, since their exact repeats are few.
inline constexpr std::size_t kHuffmanBlockBytes = 64u << 10;
void deflate_huffman_only(const std::uint8_t* bytes, std::size_t count, bool last,
                          std::vector<std::uint8_t>* out);

// bytes as a whole zlib stream of deflate_huffman_only's blocks: how a colour profile is
// written into PNG results, the same bytes on every platform.
std::vector<std::uint8_t> zlib_huffman_only(const std::uint8_t* bytes, std::size_t count);
