#include "kernel_resize/hybrid.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "base/numeric.h"
#include "base/parallel.h"
#include "kernel_resize/passes.h"
#include "kernel_resize/taps.h"

namespace {

int iabs(int v) { return v < 0 ? -v : v; }

}  // namespace

EdgeMask::EdgeMask(int w, int h, bool keep_channels)
    : width(w),
      height(h),
      combined(to_size(w) * to_size(h), "edge mask"),
      widened(to_size(w) * to_size(h), "widened edge mask") {
    if (keep_channels) {
        const char* names[3] = {"edge mask red", "edge mask green", "edge mask blue"};
        for (int c = 0; c < 3; ++c) channel[c] = HeapArray<std::uint8_t>(to_size(w) * to_size(h), names[c]);
    }
}

namespace {

// The difference of two samples as the masks compare it: exact for 8-bit samples, truncated
// toward zero for the row pass's doubles.
inline int difference(std::uint8_t a, std::uint8_t b) { return a - b; }
inline int difference(double a, double b) { return static_cast<int>(a - b); }

// flag[i] = |difference(a[i], b[i])| >= 13 for i in [0, n), or'ed into any[i]; flag may be
// null when only the combined grid is wanted.
template <class T>
void flag_differences(const T* a, const T* b, std::size_t n, std::uint8_t* flag,
                      std::uint8_t* any) {
    if (flag == nullptr) {
        for (std::size_t i = 0; i < n; ++i)
            any[i] |= static_cast<std::uint8_t>(iabs(difference(a[i], b[i])) >= kEdgeThreshold);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t f = iabs(difference(a[i], b[i])) >= kEdgeThreshold;
        flag[i] = f;
        any[i] |= f;
    }
}

}  // namespace

void row_edge_mask(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                   int W, int H, EdgeMask* mask) {
    const std::uint8_t* planes[3] = {red, green, blue};
    const std::size_t h = to_size(H);
    parallel_for(to_size(W), 16, [&](std::size_t x0, std::size_t x1) {
        for (std::size_t x = x0; x < x1; ++x) {
            const int xi = static_cast<int>(x);
            // A picture one pixel wide compares its only column with itself.
            const std::size_t left = to_size(mirror_index(xi - 1, W)) * h;
            const std::size_t right = to_size(mirror_index(xi + 1, W)) * h;
            const std::size_t at = x * h;
            std::memset(mask->combined.get() + at, 0, h);
            for (int c = 0; c < 3; ++c) {
                std::uint8_t* ch = mask->channel[c].get();
                flag_differences(planes[c] + left, planes[c] + right, h,
                                 ch != nullptr ? ch + at : nullptr, mask->combined.get() + at);
            }
        }
    });
}

namespace {

// The column mask of columns [x0, x1), column x of colour c at rows[c] + x * H.
void column_mask_range(const double* const rows[3], std::size_t H, std::size_t x0,
                       std::size_t x1, std::uint8_t* combined, std::uint8_t* const channel[3]) {
    const int Hi = static_cast<int>(H);
    for (std::size_t x = x0; x < x1; ++x) {
        const std::size_t at = x * H;
        std::uint8_t* any = combined + at;
        std::memset(any, 0, H);
        for (int c = 0; c < 3; ++c) {
            const double* col = rows[c] + at;
            std::uint8_t* flag = channel[c] != nullptr ? channel[c] + at : nullptr;
            // Rows 1 .. H - 2 compare rows y + 1 and y - 1; the first and last rows compare
            // their one neighbour with itself (a single row, itself with itself).
            if (H >= 3) flag_differences(col + 2, col, H - 2, flag ? flag + 1 : nullptr, any + 1);
            flag_differences(col + mirror_index(1, Hi), col + mirror_index(-1, Hi), 1, flag, any);
            if (H >= 2)
                flag_differences(col + mirror_index(Hi, Hi), col + mirror_index(Hi - 2, Hi), 1,
                                 flag ? flag + H - 1 : nullptr, any + H - 1);
        }
    }
}

// Widening of columns [x0, x1) of a W x H grid.
void dilate_range(const std::uint8_t* src, std::size_t W, std::size_t H, MaskDirection direction,
                  std::size_t x0, std::size_t x1, std::uint8_t* dst) {
    for (std::size_t x = x0; x < x1; ++x) {
        std::uint8_t* to = dst + x * H;
        if (direction == MaskDirection::along_rows) {
            // Neighbours along a row are whole columns apart: a column takes the flags of the
            // columns up to two away on either side.
            const std::size_t lo = x >= 2 ? x - 2 : 0;
            const std::size_t hi = std::min(W - 1, x + 2);
            std::memcpy(to, src + lo * H, H);
            for (std::size_t nx = lo + 1; nx <= hi; ++nx) {
                const std::uint8_t* col = src + nx * H;
                for (std::size_t y = 0; y < H; ++y) to[y] |= col[y];
            }
        } else {
            const std::uint8_t* col = src + x * H;
            // Rows within two of an end have fewer neighbours; the rest take all four.
            for (std::size_t y = 0; y < H; ++y) {
                if (y == 2 && H >= 5) {
                    for (; y + 2 < H; ++y)
                        to[y] = col[y - 2] | col[y - 1] | col[y] | col[y + 1] | col[y + 2];
                    if (y >= H) break;
                }
                std::uint8_t f = col[y];
                if (y >= 1) f |= col[y - 1];
                if (y >= 2) f |= col[y - 2];
                if (y + 1 < H) f |= col[y + 1];
                if (y + 2 < H) f |= col[y + 2];
                to[y] = f;
            }
        }
    }
}

}  // namespace

void column_edge_mask(const double* red, const double* green, const double* blue, int W2, int H,
                      EdgeMask* mask) {
    const double* rows[3] = {red, green, blue};
    std::uint8_t* channel[3] = {mask->channel[0].get(), mask->channel[1].get(),
                                mask->channel[2].get()};
    parallel_for(to_size(W2), 16, [&](std::size_t x0, std::size_t x1) {
        column_mask_range(rows, to_size(H), x0, x1, mask->combined.get(), channel);
    });
}

void dilate_mask(EdgeMask* mask, MaskDirection direction) {
    parallel_for(to_size(mask->width), 16, [&](std::size_t x0, std::size_t x1) {
        dilate_range(mask->combined.get(), to_size(mask->width), to_size(mask->height), direction, x0, x1,
                     mask->widened.get());
    });
}

void hybrid_rows(int lines, int N, int M, const std::uint8_t* in, const std::uint8_t* mask,
                 double* out) {
    HeapArray<OutputTaps> taps = taps_of(N, M);
    const std::size_t nl = to_size(lines);
    parallel_for(to_size(M), 8, [&](std::size_t k0, std::size_t k1) {
        rows_range(taps.get(), k0, k1, in, nl, mask, out + k0 * nl);
    });
}

void hybrid_columns(int lines, int N, int M, const double* in, const std::uint8_t* mask,
                    std::uint8_t* out) {
    HeapArray<OutputTaps> taps = taps_of(N, M);
    const std::size_t n = to_size(N), nl = to_size(lines);
    for_bands<BandScratch>(
        nl, [&] { return BandScratch(N, M, true); },
        [&](std::size_t l0, std::size_t l1, BandScratch& s) {
            const std::size_t B = l1 - l0;
            gather_band_flags(B, N, mask + l0 * n, &s);
            column_sums_band(B, N, M, taps.get(), in + l0 * n, true, &s);
            store_band(B, M, s, l0, nl, out, PlaneOrder::by_column);
        });
}

namespace {

// One worker's band: the row-pass results of every plane, the band's column mask and the
// column-pass scratch.
struct HybridScratch {
    HeapArray<double> rows[4];
    HeapArray<std::uint8_t> combined, widened;
    BandScratch band;
    HybridScratch(int H, int H2, int planes)
        : combined(to_size(H) * kBandLines, "hybrid band mask"),
          widened(to_size(H) * kBandLines, "hybrid band widened mask"),
          band(H, H2, true) {
        const char* names[4] = {"hybrid band red", "hybrid band green", "hybrid band blue",
                                "hybrid band alpha"};
        for (int c = 0; c < planes; ++c)
            rows[c] = HeapArray<double>(to_size(H) * kBandLines, names[c]);
    }
};

}  // namespace

Status hybrid_resize(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                     RunProgress* progress) {
    const int W = in.width, H = in.height, count = in.count();
    set_units(progress, to_size(W2));
    EdgeMask row_mask(W, H, false);
    row_edge_mask(in.plane[0], in.plane[1], in.plane[2], W, H, &row_mask);
    dilate_mask(&row_mask, MaskDirection::along_rows);

    HeapArray<OutputTaps> row_taps = taps_of(W, W2);
    HeapArray<OutputTaps> col_taps = taps_of(H, H2);
    const std::size_t h = to_size(H);
    const char* names[4] = {"hybrid red", "hybrid green", "hybrid blue", "hybrid alpha"};
    out->make(W2, H2, count, PlaneOrder::by_row, names);
    // Band by band of output columns, all planes together since the column mask joins the
    // colours: the row pass, the column mask of the band's columns from the colours (each flag
    // depends on its own column only), then the column pass.
    for_bands<HybridScratch>(
        to_size(W2), [&] { return HybridScratch(H, H2, count); },
        [&](std::size_t l0, std::size_t l1, HybridScratch& s) {
            if (stop_requested(progress)) return;
            const std::size_t B = l1 - l0;
            const double* rows[4];
            for (int c = 0; c < count; ++c) {
                rows_range(row_taps.get(), l0, l1, in.plane[c], h, row_mask.widened.get(),
                           s.rows[c].get());
                rows[c] = s.rows[c].get();
            }
            std::uint8_t* no_channels[3] = {nullptr, nullptr, nullptr};
            column_mask_range(rows, h, 0, B, s.combined.get(), no_channels);
            dilate_range(s.combined.get(), B, h, MaskDirection::along_columns, 0, B,
                         s.widened.get());
            gather_band_flags(B, H, s.widened.get(), &s.band);
            for (int c = 0; c < count; ++c) {
                column_sums_band(B, H, H2, col_taps.get(), rows[c], true, &s.band);
                store_band(B, H2, s.band, l0, to_size(W2), out->plane[c].get(), PlaneOrder::by_row);
            }
            add_units(progress, B);
        });
    return stop_requested(progress) ? stopped_status("hybrid") : Status::success();
}

std::uint64_t hybrid_memory_needed(int W, int H, int W2, int H2, bool alpha) {
    const std::uint64_t h = static_cast<std::uint64_t>(H), h2 = static_cast<std::uint64_t>(H2);
    const std::uint64_t planes = alpha ? 4 : 3;
    const std::uint64_t masks = 2 * static_cast<std::uint64_t>(W) * h;
    const std::uint64_t out = planes * static_cast<std::uint64_t>(W2) * h2;
    const std::uint64_t taps = (static_cast<std::uint64_t>(W2) + h2) * sizeof(OutputTaps);
    const std::uint64_t band =
        kBandLines * ((planes + 1) * h * sizeof(double) + 3 * h + h2 * sizeof(double));
    return masks + out + taps + band * static_cast<std::uint64_t>(worker_count());
}
