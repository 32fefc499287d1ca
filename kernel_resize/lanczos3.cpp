#include "kernel_resize/lanczos3.h"

#include <cstddef>
#include <utility>

#include "base/alloc.h"
#include "base/parallel.h"
#include "kernel_resize/passes.h"
#include "kernel_resize/taps.h"

void lanczos3_rows(int lines, int N, int M, const double* in, double* out) {
    HeapArray<OutputTaps> taps = taps_of(N, M);
    const std::size_t nl = static_cast<std::size_t>(lines);
    parallel_for(static_cast<std::size_t>(M), 8, [&](std::size_t k0, std::size_t k1) {
        rows_range(taps.get(), k0, k1, in, nl, nullptr, out + k0 * nl);
    });
}

void lanczos3_columns(int lines, int N, int M, const double* in, double* out) {
    HeapArray<OutputTaps> taps = taps_of(N, M);
    const std::size_t n = static_cast<std::size_t>(N), m = static_cast<std::size_t>(M);
    for_bands<BandScratch>(
        static_cast<std::size_t>(lines), [&] { return BandScratch(N, M, false); },
        [&](std::size_t l0, std::size_t l1, BandScratch& s) {
            const std::size_t B = l1 - l0;
            column_sums_band(B, N, M, taps.get(), in + l0 * n, false, &s);
            for (std::size_t b = 0; b < B; ++b)
                for (std::size_t k = 0; k < m; ++k) out[(l0 + b) * m + k] = s.summed[k * B + b];
        });
}

namespace {

// A band's own row-pass result, beside the column-pass scratch.
struct PlaneScratch {
    BandScratch band;
    HeapArray<double> rows;
    PlaneScratch(int H, int H2)
        : band(H, H2, false), rows(static_cast<std::size_t>(H) * kBandLines, "band rows") {}
};

}  // namespace

void lanczos3_resize_plane(int W, int H, int W2, int H2, const std::uint8_t* in,
                           std::uint8_t* out, PlaneOrder order, RunProgress* progress) {
    HeapArray<OutputTaps> row_taps = taps_of(W, W2);
    HeapArray<OutputTaps> col_taps = taps_of(H, H2);
    const std::size_t h = static_cast<std::size_t>(H);
    // Band by band of output columns: the band's row pass, then its column pass straight into
    // bytes. The row-pass values enter the column pass unclamped.
    for_bands<PlaneScratch>(
        static_cast<std::size_t>(W2), [&] { return PlaneScratch(H, H2); },
        [&](std::size_t l0, std::size_t l1, PlaneScratch& s) {
            if (stop_requested(progress)) return;
            rows_range(row_taps.get(), l0, l1, in, h, nullptr, s.rows.get());
            column_sums_band(l1 - l0, H, H2, col_taps.get(), s.rows.get(), false, &s.band);
            store_band(l1 - l0, H2, s.band, l0, static_cast<std::size_t>(W2), out, order);
            add_units(progress, l1 - l0);
        });
}

namespace {

// A band of a picture with alpha: alpha's row pass, column pass and bytes as a plane of its
// own, its sums then kept, and each weighted colour's passes divided by them.
struct WeightedScratch {
    PlaneScratch plane;
    HeapArray<double> alpha;
    WeightedScratch(int H, int H2)
        : plane(H, H2), alpha(static_cast<std::size_t>(H2) * kBandLines, "band alpha sums") {}
};

void lanczos3_weighted(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                       RunProgress* progress) {
    const int H = in.height;
    const WeightedColours weighted = weight_by_alpha(in);
    HeapArray<OutputTaps> row_taps = taps_of(in.width, W2);
    HeapArray<OutputTaps> col_taps = taps_of(H, H2);
    const std::size_t h = static_cast<std::size_t>(H), w2 = static_cast<std::size_t>(W2);
    for_bands<WeightedScratch>(
        w2, [&] { return WeightedScratch(H, H2); },
        [&](std::size_t l0, std::size_t l1, WeightedScratch& s) {
            if (stop_requested(progress)) return;
            const std::size_t B = l1 - l0;
            BandScratch& band = s.plane.band;
            double* rows = s.plane.rows.get();
            rows_range(row_taps.get(), l0, l1, in.plane[3], h, nullptr, rows);
            column_sums_band(B, H, H2, col_taps.get(), rows, false, &band);
            store_band(B, H2, band, l0, w2, out->plane[3].get(), PlaneOrder::by_row);
            std::swap(band.summed, s.alpha);
            for (int c = 0; c < 3; ++c) {
                rows_range(row_taps.get(), l0, l1, weighted.plane[c].get(), h, nullptr, rows);
                column_sums_band(B, H, H2, col_taps.get(), rows, false, &band);
                store_weighted_band(B, H2, s.alpha.get(), l0, w2, out->plane[c].get(), &band);
            }
            add_units(progress, 4 * B);
        });
}

}  // namespace

Status lanczos3_resize(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                       RunProgress* progress) {
    const char* names[4] = {"lanczos3 red", "lanczos3 green", "lanczos3 blue", "lanczos3 alpha"};
    // By row: the last pass runs along rows, and the file's rows come straight from them.
    out->make(W2, H2, in.count(), PlaneOrder::by_row, names);
    set_units(progress, static_cast<std::uint64_t>(in.count()) * static_cast<std::uint64_t>(W2));
    if (in.has_alpha()) {
        lanczos3_weighted(in, W2, H2, out, progress);
        return stop_requested(progress) ? stopped_status("lanczos3") : Status::success();
    }
    const bool done = for_each_plane(in.count(), progress, [&](int c) {
        lanczos3_resize_plane(in.width, in.height, W2, H2, in.plane[c], out->plane[c].get(),
                              PlaneOrder::by_row, progress);
    });
    return done ? Status::success() : stopped_status("lanczos3");
}

std::uint64_t lanczos3_memory_needed(int W, int H, int W2, int H2, bool alpha) {
    const std::uint64_t h = static_cast<std::uint64_t>(H), h2 = static_cast<std::uint64_t>(H2);
    const std::uint64_t planes = (alpha ? 4 : 3) * static_cast<std::uint64_t>(W2) * h2;
    const std::uint64_t taps = (static_cast<std::uint64_t>(W2) + h2) * sizeof(OutputTaps);
    // With alpha, the weighted colours and a band of alpha's sums beside each worker's own.
    const std::uint64_t band =
        kBandLines * (2 * h * sizeof(double) + (alpha ? 2 : 1) * h2 * sizeof(double));
    const std::uint64_t weighted = alpha ? weighted_colours_bytes(W, H) : 0;
    return planes + weighted + taps + band * static_cast<std::uint64_t>(worker_count());
}
