#include "image/planes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "base/machine.h"

Status max_pixels_setting(std::uint64_t* max_pixels, bool* set) {
    *max_pixels = kDefaultMaxPixels;
    *set = false;
    const char* env = std::getenv("ENLARGE3_MAX_PIXELS");
    if (env == nullptr) return Status::success();
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(env, &end, 10);
    if (end == env || *end != '\0' || *env < '0' || *env > '9' || errno == ERANGE)
        return Status::failure(StatusCode::bad_setting,
                               std::string("ENLARGE3_MAX_PIXELS=") + env +
                                   " is not a number of pixels (0 for no limit)");
    *max_pixels = v;
    *set = true;
    return Status::success();
}

DecodeLimits machine_decode_limits() {
    DecodeLimits limits;
    limits.memory_bytes = physical_memory_bytes();
    limits.memory_set = memory_limit_set();
    (void)max_pixels_setting(&limits.max_pixels, &limits.max_pixels_set);
    return limits;
}

Status check_decode_size(const std::string& display_name, std::int64_t width,
                         std::int64_t height, bool alpha, std::uint64_t working_bytes,
                         const DecodeLimits& limits) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 1 || height < 1)
        return Status::failure(StatusCode::bad_header,
                               "'" + display_name + "' has an invalid size of " + size + " pixels");
    if (!bmp_size_fits(width, height))
        return Status::failure(StatusCode::too_large,
                               "'" + display_name + "' claims " + size +
                                   " pixels, more than the tool reads (a picture must fit in a "
                                   "24-bit BMP of at most 2 GiB)");
    // Both sides are below 2^31 and their product below 2^30 here, so nothing overflows.
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) *
                                 static_cast<std::uint64_t>(height);
    const std::uint64_t planes = pixels * (alpha ? 4 : 3);
    // Memory first: no raised size limit would help a picture that cannot fit.
    if (limits.memory_bytes != 0 &&
        (planes > limits.memory_bytes || working_bytes > limits.memory_bytes - planes))
        return Status::failure(StatusCode::too_large,
                               "'" + display_name + "' is " + size +
                                   " pixels: reading it needs about " +
                                   format_bytes(planes + working_bytes) + " of memory, more than " +
                                   memory_limit_words(limits.memory_bytes, limits.memory_set));
    if (limits.max_pixels != 0 && pixels > limits.max_pixels)
        return Status::failure(
            StatusCode::too_large,
            "'" + display_name + "' is " + size + " pixels, more than the " +
                std::to_string(limits.max_pixels) +
                (limits.max_pixels_set ? " the limit set allows" : " read by default") +
                " (to read it, raise the limit: --max-pixels N on the command line, or "
                "ENLARGE3_MAX_PIXELS=N)");
    return Status::success();
}

Status read_file_bytes(std::FILE* f, std::uint64_t length, const std::string& path,
                       const DecodeLimits& limits, HeapArray<unsigned char>* out) {
    if (length > SIZE_MAX)
        return Status::failure(StatusCode::too_large, "'" + path + "' is a file of " +
                                                          format_bytes(length) +
                                                          ", more than this program can hold");
    if (limits.memory_bytes != 0 && length > limits.memory_bytes)
        return Status::failure(StatusCode::too_large,
                               "'" + path + "' is a file of " + format_bytes(length) +
                                   ", more than " +
                                   memory_limit_words(limits.memory_bytes, limits.memory_set));
    const std::size_t size = static_cast<std::size_t>(length);
    HeapArray<unsigned char> bytes(size, "picture file");
    std::rewind(f);
    if (std::fread(bytes.get(), 1, size, f) != size)
        return Status::failure(StatusCode::short_file, "cannot read '" + path +
                                                           "': it is shorter than its length of " +
                                                           std::to_string(length) + " bytes");
    *out = std::move(bytes);
    return Status::success();
}

void take_planes(int width, int height, bool alpha, PlanarPicture* out) {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    out->width = width;
    out->height = height;
    out->red = HeapArray<std::uint8_t>(n, "red");
    out->green = HeapArray<std::uint8_t>(n, "green");
    out->blue = HeapArray<std::uint8_t>(n, "blue");
    out->alpha = alpha ? HeapArray<std::uint8_t>(n, "alpha") : HeapArray<std::uint8_t>();
}

std::uint64_t RowsToPlanes::working_bytes(std::int64_t width, std::int64_t height) {
    return rows_per_group(height) * 4 * static_cast<std::uint64_t>(width > 0 ? width : 0);
}

RowsToPlanes::RowsToPlanes(PlanarPicture* out)
    : out_(out),
      stride_(4 * static_cast<std::size_t>(out->width)),
      rows_(rows_per_group(out->height) * stride_) {}

std::uint8_t* RowsToPlanes::row(int t) {
    const int group = t / kGroup;
    if (group != group_) {
        store_group();
        group_ = group;
    }
    const int i = t - group * kGroup;
    held_ |= 1u << i;
    return rows_.data() + static_cast<std::size_t>(i) * stride_;
}

void RowsToPlanes::store_group() {
    // Members in locals: a store to a plane could otherwise change them, as far as the compiler
    // knows, and they would be loaded again for each sample.
    const std::uint32_t held = held_;
    if (held == 0) return;
    const std::size_t h = static_cast<std::size_t>(out_->height);
    const std::size_t w = static_cast<std::size_t>(out_->width);
    const std::size_t t0 = static_cast<std::size_t>(group_) * kGroup;
    const std::size_t count = std::min<std::size_t>(kGroup, h - t0);
    const std::size_t stride = stride_;
    const bool all = held == (count < 32 ? (std::uint32_t{1} << count) - 1 : ~std::uint32_t{0});
    std::uint8_t* planes[4] = {out_->red.get(), out_->green.get(), out_->blue.get(),
                               out_->alpha.get()};
    const int channels = out_->has_alpha() ? 4 : 3;
    const std::uint8_t* rows = rows_.data();
    for (std::size_t x = 0; x < w; ++x) {
        const std::size_t at = x * h + t0;
        const std::uint8_t* px = rows + 4 * x;
        for (int c = 0; c < channels; ++c) {
            std::uint8_t* column = planes[c] + at;
            const std::uint8_t* from = px + static_cast<std::size_t>(c);
            if (all) {
                for (std::size_t i = 0; i < count; ++i) column[i] = from[i * stride];
            } else {
                for (std::size_t i = 0; i < count; ++i)
                    if (held >> i & 1u) column[i] = from[i * stride];
            }
        }
    }
    held_ = 0;
}

void RowsToPlanes::finish() {
    store_group();
    group_ = -1;
    if (!out_->has_alpha()) return;
    const std::size_t n = out_->alpha.size();
    const std::uint8_t* a = out_->alpha.get();
    if (std::all_of(a, a + n, [](std::uint8_t v) { return v == 255; })) out_->alpha.reset();
}

namespace {

// The channels are fixed at compile time, with a pointer each, so that nothing is loaded again
// after each byte stored.
template <bool kAlpha>
void interleave(const std::uint8_t* const* planes, std::size_t w, std::size_t h, PlaneOrder order,
                std::size_t t0, std::size_t count, std::uint8_t* rows, std::ptrdiff_t row_step) {
    constexpr std::size_t ch = kAlpha ? 4 : 3;
    if (order == PlaneOrder::by_row) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = (t0 + i) * w;
            const std::uint8_t* c0 = planes[0] + at;
            const std::uint8_t* c1 = planes[1] + at;
            const std::uint8_t* c2 = planes[2] + at;
            const std::uint8_t* c3 = kAlpha ? planes[3] + at : nullptr;
            std::uint8_t* out = rows + static_cast<std::ptrdiff_t>(i) * row_step;
            for (std::size_t x = 0; x < w; ++x, out += ch) {
                out[0] = c0[x];
                out[1] = c1[x];
                out[2] = c2[x];
                if constexpr (kAlpha) out[3] = c3[x];
            }
        }
        return;
    }
    // A tile of 64 columns at a time, row by row: the tile's columns are read as runs and each
    // row's part is written as one run. A column at a time wrote a byte a row into every row
    // of the band; the tiles made the PNG writer's gathering of a DCT result about a fifth
    // faster (docs/PERFORMANCE.md).
    constexpr std::size_t kTile = 64;
    for (std::size_t x0 = 0; x0 < w; x0 += kTile) {
        const std::size_t n = w - x0 < kTile ? w - x0 : kTile;
        const std::size_t at = x0 * h + t0;
        const std::uint8_t* c0 = planes[0] + at;
        const std::uint8_t* c1 = planes[1] + at;
        const std::uint8_t* c2 = planes[2] + at;
        const std::uint8_t* c3 = kAlpha ? planes[3] + at : nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t* out = rows + static_cast<std::ptrdiff_t>(i) * row_step + x0 * ch;
            for (std::size_t x = 0; x < n; ++x, out += ch) {
                const std::size_t k = x * h + i;
                out[0] = c0[k];
                out[1] = c1[k];
                out[2] = c2[k];
                if constexpr (kAlpha) out[3] = c3[k];
            }
        }
    }
}

}  // namespace

void interleave_rows(const std::uint8_t* const* planes, int channels, int width, int height,
                     PlaneOrder order, std::size_t t0, std::size_t count, std::uint8_t* rows,
                     std::ptrdiff_t row_step) {
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (w == 0) return;
    if (channels == 4)
        interleave<true>(planes, w, h, order, t0, count, rows, row_step);
    else
        interleave<false>(planes, w, h, order, t0, count, rows, row_step);
}
