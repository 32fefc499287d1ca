#pragma once
// The pieces both kernel resizers are built from, over ranges of output indices and blocks of
// lines rather than whole planes. A resize runs the row pass for a narrow band of output
// columns and the column pass for the same band at once, so the row-pass result of the whole
// plane never exists: each band stays in cache and every core takes bands of its own.
// Whole-plane passes are the same pieces over every range, so either way a sample is computed
// by the same operations in the same order.

#include <cstddef>
#include <cstdint>

#include "base/alloc.h"
#include "base/parallel.h"
#include "base/plane.h"
#include "kernel_resize/taps.h"

// Lines of a band: the column pass interleaves their samples so that all of them run in
// vector lanes at once.
constexpr std::size_t kBandLines = 32;

// Row pass for output indices [k0, k1) of taps over lines interleaved rows (sample i of row l
// at in[i * lines + l]): output k of every row goes to out + (k - k0) * lines. With a mask
// (flag (t, l) at t * lines + l), the hybrid's switch: row l of output k whose flag at the
// truncated source position t is set takes the linear interpolation instead.
void rows_range(const OutputTaps* taps, std::size_t k0, std::size_t k1, const double* in,
                std::size_t lines, const std::uint8_t* mask, double* out);
void rows_range(const OutputTaps* taps, std::size_t k0, std::size_t k1, const std::uint8_t* in,
                std::size_t lines, const std::uint8_t* mask, double* out);
void rows_range(const OutputTaps* taps, std::size_t k0, std::size_t k1, const std::uint16_t* in,
                std::size_t lines, const std::uint8_t* mask, double* out);

// Scratch of one worker for a band: interleaved samples (N * kBandLines), interleaved flags
// (N * kBandLines) and sums (M * kBandLines).
struct BandScratch {
    HeapArray<double> gathered;
    HeapArray<std::uint8_t> flags;
    HeapArray<double> summed;
    BandScratch(int N, int M, bool with_flags);
};

// Interleaves the flags of the B lines at mask (line b at mask + b * N) into s.flags, for
// switched column passes over those lines.
void gather_band_flags(std::size_t B, int N, const std::uint8_t* mask, BandScratch* s);

// Column pass of the B <= kBandLines lines at in (line b at in + b * N, N samples) to M
// samples: output k of line b is left in s.summed[k * B + b]. When switched, output k of line b
// whose flag (b, t) in s.flags is set takes the linear interpolation instead.
void column_sums_band(std::size_t B, int N, int M, const OutputTaps* taps, const double* in,
                      bool switched, BandScratch* s);

// Clamps the band's sums to bytes into out, the plane of lines x M samples whose lines
// [l0, l0 + B) the band holds (line l, sample k at l * M + k by column, k * lines + l by row).
void store_band(std::size_t B, int M, const BandScratch& s, std::size_t l0, std::size_t lines,
                std::uint8_t* out, PlaneOrder order);

// For a picture with alpha, store_band by row of a weighted colour's sums (s->summed, which it
// overwrites): each unweighted (base/plane.h) by alpha's sum of the same sample (alpha laid
// out as s->summed, M * B values) before it is clamped.
void store_weighted_band(std::size_t B, int M, const double* alpha, std::size_t l0,
                         std::size_t lines, std::uint8_t* out, BandScratch* s);

// Calls fn(l0, l1, scratch) for consecutive bands of at most kBandLines of [0, lines), spread
// over the workers; scratch is the worker's own, made by make().
template <class Scratch, class Make, class Fn>
void for_bands(std::size_t lines, Make make, Fn fn) {
    const std::size_t bands = (lines + kBandLines - 1) / kBandLines;
    parallel_for(bands, 1, [&](std::size_t b0, std::size_t b1) {
        Scratch scratch = make();
        for (std::size_t band = b0; band < b1; ++band) {
            std::size_t l0 = band * kBandLines;
            fn(l0, l0 + kBandLines < lines ? l0 + kBandLines : lines, scratch);
        }
    });
}
