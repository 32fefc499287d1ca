#include "kernel_resize/hybrid.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

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

// The weighted rule of a picture with alpha, one colour: neighbours whose weighted colours
// (c * a, or their row-pass doubles) differ by d show over black a difference of d / 255 and
// over white one of (255 (a1 - a2) - d) / 255; flag[i] when either is 13 or more, that is
// when |d| or |255 (a1 - a2) - d| is 13 * 255 or more.
constexpr int kWeightedEdgeThreshold = kEdgeThreshold * 255;

template <class W, class A>
std::uint8_t weighted_flag(W wa, W wb, A aa, A ab) {
    // Exact for 8- and 16-bit samples; the row pass's doubles are truncated toward zero, as the
    // rule without alpha truncates them, which against a whole threshold changes nothing and
    // lets the loops run in vector lanes.
    const int black = static_cast<int>(wa - wb);
    const int white = static_cast<int>(255 * (aa - ab) - (wa - wb));
    return static_cast<std::uint8_t>((iabs(black) >= kWeightedEdgeThreshold) |
                                     (iabs(white) >= kWeightedEdgeThreshold));
}

template <class W, class A>
void flag_weighted_differences(const W* wa, const W* wb, const A* aa, const A* ab, std::size_t n,
                               std::uint8_t* flag, std::uint8_t* any) {
    if (flag == nullptr) {
        for (std::size_t i = 0; i < n; ++i) any[i] |= weighted_flag(wa[i], wb[i], aa[i], ab[i]);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t f = weighted_flag(wa[i], wb[i], aa[i], ab[i]);
        flag[i] = f;
        any[i] |= f;
    }
}

// The row mask, whichever the rule: flag_column(c, left, right, at, flag, any) flags colour c
// of the column at offset at from the columns at offsets left and right, h samples each.
template <class FlagColumn>
void row_mask_of(int W, int H, EdgeMask* mask, FlagColumn flag_column) {
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
                flag_column(c, left, right, h, ch != nullptr ? ch + at : nullptr,
                            mask->combined.get() + at);
            }
        }
    });
}

}  // namespace

void row_edge_mask(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                   int W, int H, EdgeMask* mask) {
    const std::uint8_t* planes[3] = {red, green, blue};
    row_mask_of(W, H, mask,
                [&](int c, std::size_t left, std::size_t right, std::size_t h, std::uint8_t* flag,
                    std::uint8_t* any) {
                    flag_differences(planes[c] + left, planes[c] + right, h, flag, any);
                });
}

void row_edge_mask(const std::uint16_t* red, const std::uint16_t* green, const std::uint16_t* blue,
                   const std::uint8_t* alpha, int W, int H, EdgeMask* mask) {
    const std::uint16_t* planes[3] = {red, green, blue};
    row_mask_of(W, H, mask,
                [&](int c, std::size_t left, std::size_t right, std::size_t h, std::uint8_t* flag,
                    std::uint8_t* any) {
                    flag_weighted_differences(planes[c] + left, planes[c] + right, alpha + left,
                                              alpha + right, h, flag, any);
                });
}

namespace {

// The column mask of columns [x0, x1), column x of colour c at rows[c] + x * H; with alpha's
// row-pass results (column x at alpha + x * H) the colours are weighted and compared by the
// weighted rule.
void column_mask_range(const double* const rows[3], const double* alpha, std::size_t H,
                       std::size_t x0, std::size_t x1, std::uint8_t* combined,
                       std::uint8_t* const channel[3]) {
    const int Hi = static_cast<int>(H);
    for (std::size_t x = x0; x < x1; ++x) {
        const std::size_t at = x * H;
        std::uint8_t* any = combined + at;
        std::memset(any, 0, H);
        for (int c = 0; c < 3; ++c) {
            const double* col = rows[c] + at;
            std::uint8_t* flag = channel[c] != nullptr ? channel[c] + at : nullptr;
            // Flags rows [y, y + n) from rows [i, i + n) and [j, j + n).
            const auto compare = [&](std::size_t y, std::size_t i, std::size_t j, std::size_t n) {
                std::uint8_t* f = flag != nullptr ? flag + y : nullptr;
                if (alpha == nullptr)
                    flag_differences(col + i, col + j, n, f, any + y);
                else
                    flag_weighted_differences(col + i, col + j, alpha + at + i, alpha + at + j, n,
                                              f, any + y);
            };
            // Rows 1 .. H - 2 compare rows y + 1 and y - 1; the first and last rows compare
            // their one neighbour with itself (a single row, itself with itself).
            if (H >= 3) compare(1, 2, 0, H - 2);
            compare(0, to_size(mirror_index(1, Hi)), to_size(mirror_index(-1, Hi)), 1);
            if (H >= 2)
                compare(H - 1, to_size(mirror_index(Hi, Hi)), to_size(mirror_index(Hi - 2, Hi)), 1);
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
                      EdgeMask* mask, const double* alpha) {
    const double* rows[3] = {red, green, blue};
    std::uint8_t* channel[3] = {mask->channel[0].get(), mask->channel[1].get(),
                                mask->channel[2].get()};
    parallel_for(to_size(W2), 16, [&](std::size_t x0, std::size_t x1) {
        column_mask_range(rows, alpha, to_size(H), x0, x1, mask->combined.get(), channel);
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

// One worker's band: the row-pass results of every plane, the band's column mask, the
// column-pass scratch and, with alpha, alpha's column sums kept for the colours' division.
struct HybridScratch {
    HeapArray<double> rows[4];
    HeapArray<std::uint8_t> combined, widened;
    BandScratch band;
    HeapArray<double> alpha;
    HybridScratch(int H, int H2, int planes)
        : combined(to_size(H) * kBandLines, "hybrid band mask"),
          widened(to_size(H) * kBandLines, "hybrid band widened mask"),
          band(H, H2, true),
          alpha(planes == 4 ? to_size(H2) * kBandLines : 0, "hybrid band alpha sums") {
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
    const bool weighted = in.has_alpha();
    set_units(progress, to_size(W2));
    WeightedColours colours;
    EdgeMask row_mask(W, H, false);
    if (weighted) {
        colours = weight_by_alpha(in);
        row_edge_mask(colours.plane[0].get(), colours.plane[1].get(), colours.plane[2].get(),
                      in.plane[3], W, H, &row_mask);
    } else {
        row_edge_mask(in.plane[0], in.plane[1], in.plane[2], W, H, &row_mask);
    }
    dilate_mask(&row_mask, MaskDirection::along_rows);

    HeapArray<OutputTaps> row_taps = taps_of(W, W2);
    HeapArray<OutputTaps> col_taps = taps_of(H, H2);
    const std::size_t h = to_size(H), w2 = to_size(W2);
    const char* names[4] = {"hybrid red", "hybrid green", "hybrid blue", "hybrid alpha"};
    out->make(W2, H2, count, PlaneOrder::by_row, names);
    // Band by band of output columns, all planes together since the column mask joins the
    // colours: the row pass, the column mask of the band's columns from the colours (each flag
    // depends on its own column only), then the column pass, alpha's before the colours that
    // are divided by it.
    for_bands<HybridScratch>(
        w2, [&] { return HybridScratch(H, H2, count); },
        [&](std::size_t l0, std::size_t l1, HybridScratch& s) {
            if (stop_requested(progress)) return;
            const std::size_t B = l1 - l0;
            const std::uint8_t* mask = row_mask.widened.get();
            const double* rows[4];
            for (int c = 0; c < count; ++c) {
                if (weighted && c < 3)
                    rows_range(row_taps.get(), l0, l1, colours.plane[c].get(), h, mask,
                               s.rows[c].get());
                else
                    rows_range(row_taps.get(), l0, l1, in.plane[c], h, mask, s.rows[c].get());
                rows[c] = s.rows[c].get();
            }
            std::uint8_t* no_channels[3] = {nullptr, nullptr, nullptr};
            column_mask_range(rows, weighted ? rows[3] : nullptr, h, 0, B, s.combined.get(),
                              no_channels);
            dilate_range(s.combined.get(), B, h, MaskDirection::along_columns, 0, B,
                         s.widened.get());
            gather_band_flags(B, H, s.widened.get(), &s.band);
            if (weighted) {
                column_sums_band(B, H, H2, col_taps.get(), rows[3], true, &s.band);
                store_band(B, H2, s.band, l0, w2, out->plane[3].get(), PlaneOrder::by_row);
                std::swap(s.band.summed, s.alpha);
            }
            for (int c = 0; c < 3; ++c) {
                column_sums_band(B, H, H2, col_taps.get(), rows[c], true, &s.band);
                if (weighted)
                    store_weighted_band(B, H2, s.alpha.get(), l0, w2, out->plane[c].get(), &s.band);
                else
                    store_band(B, H2, s.band, l0, w2, out->plane[c].get(), PlaneOrder::by_row);
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
    // With alpha, the weighted colours and a band of alpha's sums beside each worker's own.
    const std::uint64_t weighted = alpha ? weighted_colours_bytes(W, H) : 0;
    const std::uint64_t band = kBandLines * ((planes + 1) * h * sizeof(double) + 3 * h +
                                             (alpha ? 2 : 1) * h2 * sizeof(double));
    return masks + weighted + out + taps + band * static_cast<std::uint64_t>(worker_count());
}
