#include "app/window_picture.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>
#include <vector>

#include "base/file_io.h"
#include "image/bmp.h"
#include "image/bmp_decode.h"

namespace {

// A BMP's size field is a signed 32-bit number, so no byte past this offset is ever read.
constexpr std::uint64_t kMaxHeldBytes = INT32_MAX;

// Sample c drawn with alpha a over background sample g, rounded to the nearest.
std::uint8_t over(std::uint8_t c, std::uint8_t a, std::uint8_t g) {
    return static_cast<std::uint8_t>((c * a + g * (255 - a) + 127) / 255);
}

}  // namespace

bool read_whole_file(const std::string& path, FileBytes* out) {
    std::uint64_t length = 0;
    int err = 0;
    if (file_kind(path, &length, &err) != FileKind::regular) return false;
    const std::size_t n = static_cast<std::size_t>(length < kMaxHeldBytes ? length : kMaxHeldBytes);
    // A block of 0 bytes would be no block at all; keep one so data is never null.
    std::shared_ptr<unsigned char> data(new (std::nothrow) unsigned char[n ? n : 1](),
                                        std::default_delete<unsigned char[]>());
    if (!data) return false;
    FILE* f = open_file(path, "rb");
    if (f == nullptr) return false;
    const bool complete = std::fread(data.get(), 1, n, f) == n;
    std::fclose(f);
    if (!complete) return false;
    out->data = std::move(data);
    out->size = n;
    out->file_length = length;
    return true;
}

bool bmp_of_picture(const PlanarPicture& pic, std::uint32_t background_rgb, BmpPicture* out) {
    if (!bmp_size_fits(pic.width, pic.height)) return false;
    const std::size_t w = static_cast<std::size_t>(pic.width);
    const std::size_t h = static_cast<std::size_t>(pic.height);
    const std::size_t stride = static_cast<std::size_t>(bmp_row_stride(w));
    const std::size_t size = kBmpHeaderBytes + stride * h;
    // Zeroed, so the rows' padding is too.
    std::shared_ptr<unsigned char> bytes(new (std::nothrow) unsigned char[size](),
                                         std::default_delete<unsigned char[]>());
    // With alpha, one column at a time drawn over the background before it is laid out.
    std::unique_ptr<std::uint8_t[]> drawn(pic.has_alpha() ? new (std::nothrow) std::uint8_t[3 * h]
                                                          : nullptr);
    if (!bytes || (pic.has_alpha() && !drawn)) return false;
    put_bmp_header(bmp_result_header(pic.width, pic.height), bytes.get());
    // Rows bottom-up, all at once: the whole picture is in memory, so each column of the planes
    // is read in one run.
    unsigned char* last_row = bytes.get() + kBmpHeaderBytes + (h > 0 ? h - 1 : 0) * stride;
    const std::ptrdiff_t up = -static_cast<std::ptrdiff_t>(stride);
    const std::uint8_t* planes[3] = {pic.blue.get(), pic.green.get(), pic.red.get()};
    if (!pic.has_alpha()) {
        interleave_rows(planes, 3, pic.width, pic.height, PlaneOrder::by_column, 0, h, last_row,
                        up);
    } else {
        const std::uint8_t background[3] = {static_cast<std::uint8_t>(background_rgb),
                                            static_cast<std::uint8_t>(background_rgb >> 8),
                                            static_cast<std::uint8_t>(background_rgb >> 16)};
        const std::uint8_t* columns[3] = {drawn.get(), drawn.get() + h, drawn.get() + 2 * h};
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint8_t* alpha = pic.alpha.get() + x * h;
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t* colour = planes[c] + x * h;
                std::uint8_t* to = drawn.get() + static_cast<std::size_t>(c) * h;
                for (std::size_t t = 0; t < h; ++t)
                    to[t] = over(colour[t], alpha[t], background[c]);
            }
            interleave_rows(columns, 3, 1, pic.height, PlaneOrder::by_column, 0, h,
                            last_row + 3 * x, up);
        }
    }
    out->bytes = std::move(bytes);
    out->width = pic.width;
    out->height = pic.height;
    out->header_offset = kBmpFileHeaderBytes;
    out->pixel_offset = kBmpHeaderBytes;
    return true;
}

Status window_picture(FileBytes bytes, const std::string& path, const DecodeLimits& limits,
                      BmpPicture* out, PictureKind* kind) {
    const PictureKind read_as = picture_kind(bytes.data.get(), bytes.size);
    if (read_as == PictureKind::bmp) {
        BmpFormat format;
        Status st = read_bmp_format(bytes.data.get(), bytes.size, path, limits, &format);
        if (!st.ok()) return st;
        // Stored as the platforms draw it: shown from the file's own bytes.
        if (format.plain_24_bit) {
            out->bytes = std::move(bytes.data);
            out->width = format.width;
            out->height = format.height;
            out->header_offset = kBmpFileHeaderBytes;
            out->pixel_offset = static_cast<std::size_t>(format.pixels_at);
            if (kind != nullptr) *kind = PictureKind::bmp;
            return Status::success();
        }
    }
    PlanarPicture pic;
    Status st = decode_picture(bytes.data.get(), bytes.size, path, limits, &pic);
    if (!st.ok()) return st;
    bytes = FileBytes{};
    if (!bmp_of_picture(pic, kTransparencyRgb, out))
        return Status::failure(StatusCode::too_large,
                               "'" + path + "' (" + std::to_string(pic.width) + " x " +
                                   std::to_string(pic.height) +
                                   " pixels) is too large to show: no memory for it");
    if (kind != nullptr) *kind = read_as;
    return Status::success();
}

Status load_window_picture(const std::string& path, BmpPicture* out) {
    FileBytes bytes;
    if (!read_whole_file(path, &bytes))
        return Status::failure(StatusCode::cannot_open, "'" + path + "' cannot be read");
    return window_picture(std::move(bytes), path, machine_decode_limits(), out);
}

bool shrink_picture(const BmpPicture& picture, int width, int height, BmpPicture* out) {
    const std::uint64_t W = static_cast<std::uint64_t>(picture.width);
    const std::uint64_t H = static_cast<std::uint64_t>(picture.height);
    const std::uint64_t w = static_cast<std::uint64_t>(width);
    const std::uint64_t h = static_cast<std::uint64_t>(height);
    if (width < 1 || height < 1 || w > W || h > H) return false;
    const std::size_t stride = static_cast<std::size_t>(bmp_row_stride(w));
    const std::size_t source_stride = static_cast<std::size_t>(bmp_row_stride(W));
    std::shared_ptr<unsigned char> bytes(
        new (std::nothrow) unsigned char[kBmpHeaderBytes + stride * h](),
        std::default_delete<unsigned char[]>());
    if (!bytes) return false;
    put_bmp_header(bmp_result_header(width, height), bytes.get());
    unsigned char* rows = bytes.get() + kBmpHeaderBytes;

    // Measured in units of 1 / (W * w) of the picture's width, source pixel i spans
    // [i * w, (i + 1) * w) and shown pixel x spans [x * W, (x + 1) * W): since w <= W, a shown
    // pixel covers whole source pixels, with a share of one more at either end, and the shares
    // are whole units. The same down the rows.
    struct Span {
        std::size_t first, last;                // the source pixels it touches
        std::uint64_t first_share, last_share;  // their shares; the rest have w each
    };
    std::vector<Span> spans(static_cast<std::size_t>(w));
    for (std::uint64_t x = 0; x < w; ++x) {
        const std::uint64_t from = x * W, to = (x + 1) * W;
        const std::uint64_t first = from / w, last = (to - 1) / w;
        spans[x] = {static_cast<std::size_t>(first), static_cast<std::size_t>(last),
                    std::min((first + 1) * w, to) - from, to - std::max(last * w, from)};
    }
    const std::size_t n = static_cast<std::size_t>(3 * w);
    std::vector<std::uint64_t> row(n), current(n), next(n);
    const std::uint64_t total = W * H;  // each shown pixel's weights add up to this
    auto emit = [&](std::uint64_t y, const std::vector<std::uint64_t>& sums) {
        unsigned char* px = rows + static_cast<std::size_t>(h - 1 - y) * stride;
        for (std::size_t k = 0; k < n; ++k)
            px[k] = static_cast<unsigned char>((sums[k] + total / 2) / total);
    };
    std::uint64_t y = 0;
    for (std::uint64_t t = 0; t < H; ++t) {
        const std::uint64_t y0 = t * h / H;
        if (y0 > y) {  // at most one row on, as h <= H
            emit(y, current);
            current.swap(next);
            std::fill(next.begin(), next.end(), 0);
            y = y0;
        }
        // Source row t (from the top), summed into the shown columns: the whole pixels plainly,
        // then weighted by w, the two ends by their shares.
        const unsigned char* src =
            picture.rows() + static_cast<std::size_t>(H - 1 - t) * source_stride;
        for (std::size_t x = 0; x < static_cast<std::size_t>(w); ++x) {
            const Span& s = spans[x];
            std::uint32_t whole[3] = {0, 0, 0};
            for (const unsigned char* px = src + 3 * (s.first + 1); px < src + 3 * s.last;
                 px += 3) {
                whole[0] += px[0];
                whole[1] += px[1];
                whole[2] += px[2];
            }
            const unsigned char* first = src + 3 * s.first;
            const unsigned char* last = src + 3 * s.last;
            for (std::size_t c = 0; c < 3; ++c)
                row[3 * x + c] = s.last == s.first ? s.first_share * first[c]
                                                   : s.first_share * first[c] + w * whole[c] +
                                                         s.last_share * last[c];
        }
        const std::uint64_t share = std::min((t + 1) * h, (y0 + 1) * H) - t * h;
        const std::uint64_t rest = h - share;
        for (std::size_t k = 0; k < n; ++k) {
            current[k] += share * row[k];
            if (rest != 0) next[k] += rest * row[k];
        }
    }
    emit(y, current);
    out->bytes = std::move(bytes);
    out->width = width;
    out->height = height;
    out->header_offset = kBmpFileHeaderBytes;
    out->pixel_offset = kBmpHeaderBytes;
    return true;
}
