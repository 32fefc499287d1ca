#pragma once
// From decoded pixel rows to the tool's planes, shared by every decoder (BMP, PNG, JPEG): the
// size and memory check made before any plane is taken, samples of any depth to 8 bits, and
// interleaved rows into column-major planes (sample of column x, row t at x * height + t).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/status.h"
#include "image/bmp.h"

// The most pixels a picture may have unless the user allows more: 250 megapixels. Cameras make
// up to about 200 (150 in one exposure, 187 from in-camera multi-shot modes), and the composites
// their makers' software stitches from 16 shifted exposures reach 240; no photograph comes
// near 250. A picture above it is almost surely a decompression bomb: a small file (an 88-byte
// run-length BMP, a PNG of zeros) claiming hundreds of megapixels to take gigabytes and
// minutes. At the limit the planes take 750 MB (1 GB with alpha), and decoding takes seconds.
inline constexpr std::uint64_t kDefaultMaxPixels = 250000000;

// How much one decode may take: in memory, the planes it fills plus the decoder's working
// memory (the file's bytes, row buffers, a codec's coefficient or interlace buffers); in size,
// the pixels of the picture.
struct DecodeLimits {
    std::uint64_t memory_bytes = 0;  // 0: no memory limit
    // memory_bytes is the limit ENLARGE3_MEMORY_LIMIT set, not the machine's memory (for the
    // refusal's words).
    bool memory_set = false;
    std::uint64_t max_pixels = kDefaultMaxPixels;  // 0: no limit but a 24-bit BMP's
    // max_pixels is the user's (ENLARGE3_MAX_PIXELS, --max-pixels), not the default.
    bool max_pixels_set = false;
};

// ENLARGE3_MAX_PIXELS, a number of pixels (0 for no limit): its value, and *set true, when it
// is set to one; kDefaultMaxPixels when it is not set. Another value is refused as
// bad_setting with one line naming it, and *max_pixels is then the default.
Status max_pixels_setting(std::uint64_t* max_pixels, bool* set);

// This machine's limits: its physical memory (base/machine.h; ENLARGE3_MEMORY_LIMIT lowers it)
// and the pixels ENLARGE3_MAX_PIXELS allows (max_pixels_setting; the default when its value is
// refused).
DecodeLimits machine_decode_limits();

// Checks a width x height picture before any of its memory is taken. Refused, each with one
// line naming display_name: a side below 1 (bad_header); a picture larger than a 24-bit BMP can
// hold (bmp_size_fits), the largest the tool takes in any kind, so that every picture it reads
// could also be given to it as a 24-bit BMP (too_large); planes (3 bytes per pixel, 4 with
// alpha) plus working_bytes beyond limits.memory_bytes (too_large, in the words of
// memory_limit_words); more than limits.max_pixels pixels (too_large, with the limit and how to
// raise it).
Status check_decode_size(const std::string& display_name, std::int64_t width,
                         std::int64_t height, bool alpha, std::uint64_t working_bytes,
                         const DecodeLimits& limits);

// Reads all length bytes of f, an open file, from its start into out, once they are known to
// fit limits. Refusals, each a line naming path: too_large when the bytes alone pass
// limits.memory_bytes (or the address space), short_file when fewer bytes arrive.
Status read_file_bytes(std::FILE* f, std::uint64_t length, const std::string& path,
                       const DecodeLimits& limits, HeapArray<unsigned char>* out);

// Takes out's planes for a width x height picture that check_decode_size passed, with an alpha
// plane when alpha is set; any planes out held before are released.
void take_planes(int width, int height, bool alpha, PlanarPicture* out);

// A sample v of 0 .. max (max = 2^bits - 1, bits from 1 to 32) as 8 bits, to the nearest:
// (v * 255 + max / 2) / max. For 16 bits that is (v * 255 + 32767) / 65535; for 1, 2, 4 and 8
// bits it is exact (v * 255, v * 85, v * 17, v). No quotient is ever a tie, so this is the
// only rounding.
inline std::uint8_t sample_to_8(std::uint64_t v, std::uint64_t max) {
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
}

// Interleaves rows t0 .. t0 + count - 1 of width x height planes, laid out as order says, into
// rows of width pixels of channels (3 or 4) bytes: byte c of a pixel comes from planes[c], and row
// t0 + i begins at rows + i * row_step, so a negative row_step lays them out bottom-up, as a
// BMP stores them. Bytes of a row after its pixels (a BMP's padding) are left as they are. The
// writers take their rows in groups of RowsToPlanes::kGroup this way, so that each column of a
// column-major plane is read in short runs.
void interleave_rows(const std::uint8_t* const* planes, int channels, int width, int height,
                     PlaneOrder order, std::size_t t0, std::size_t count, std::uint8_t* rows,
                     std::ptrdiff_t row_step);

// Takes a decoded picture's rows, each as red, green, blue, alpha bytes per pixel, and stores
// them in the planes that take_planes gave out. Rows are held in groups of kGroup consecutive
// rows and stored group by group, so that each column receives a short run at once instead of
// one byte per row; rows may come top-down or bottom-up, each row once.
class RowsToPlanes {
public:
    static constexpr int kGroup = 32;
    // The memory a RowsToPlanes for a picture of width x height holds, for the decoders'
    // budgets.
    static std::uint64_t working_bytes(std::int64_t width, std::int64_t height);

    explicit RowsToPlanes(PlanarPicture* out);
    RowsToPlanes(const RowsToPlanes&) = delete;
    RowsToPlanes& operator=(const RowsToPlanes&) = delete;

    // Where row t (0 = top) goes: width pixels of 4 bytes, red, green, blue, alpha (alpha is
    // not used when the picture has no alpha plane). Valid until the next call; its contents
    // start indeterminate and every byte must be written.
    std::uint8_t* row(int t);

    // Stores the rows still held. Then, when the picture has an alpha plane whose every sample
    // is 255, releases it: a picture that can carry transparency but has none is read as a
    // picture without.
    void finish();

private:
    void store_group();

    PlanarPicture* out_;
    std::size_t stride_;             // bytes per held row
    std::vector<std::uint8_t> rows_;  // the rows of the group being gathered
    int group_ = -1;                 // first row of that group divided by kGroup
    std::uint32_t held_ = 0;         // bit i: row group_ * kGroup + i was handed out
};

// The rows a group holds for a picture of height rows: RowsToPlanes::kGroup, or all of them
// when there are fewer. A picture of a few very long rows would otherwise hold many times its
// own size.
inline std::size_t rows_per_group(std::int64_t height) {
    constexpr std::int64_t group = RowsToPlanes::kGroup;
    return static_cast<std::size_t>(height < group ? (height > 0 ? height : 1) : group);
}
