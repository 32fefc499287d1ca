#include "kernel_resize/passes.h"

#include <algorithm>

#include "base/numeric.h"
#include "kernel_resize/tap_sums.h"

namespace {

template <class T>
void rows_range_of(const OutputTaps* taps, std::size_t k0, std::size_t k1, const T* in,
                   std::size_t lines, const std::uint8_t* mask, double* out) {
    // Row l's samples lie one column apart, so a column of the plane holds one sample of every
    // row: output index by output index, all rows at once run through contiguous memory.
    for (std::size_t k = k0; k < k1; ++k) {
        const OutputTaps& tp = taps[k];
        const T* src[8];
        for (int j = 0; j < 8; ++j) src[j] = in + static_cast<std::size_t>(tp.index[j]) * lines;
        double* o = out + (k - k0) * lines;
        if (mask == nullptr) {
            sum_eight_taps(src, tp.weight, o, lines);
        } else {
            sum_eight_taps_switched(src, tp.weight, in + static_cast<std::size_t>(tp.left) * lines,
                                    in + static_cast<std::size_t>(tp.right) * lines, tp.h,
                                    mask + static_cast<std::size_t>(tp.t) * lines, o, lines);
        }
    }
}

}  // namespace

void rows_range(const OutputTaps* taps, std::size_t k0, std::size_t k1, const double* in,
                std::size_t lines, const std::uint8_t* mask, double* out) {
    rows_range_of(taps, k0, k1, in, lines, mask, out);
}

void rows_range(const OutputTaps* taps, std::size_t k0, std::size_t k1, const std::uint8_t* in,
                std::size_t lines, const std::uint8_t* mask, double* out) {
    rows_range_of(taps, k0, k1, in, lines, mask, out);
}

void rows_range(const OutputTaps* taps, std::size_t k0, std::size_t k1, const std::uint16_t* in,
                std::size_t lines, const std::uint8_t* mask, double* out) {
    rows_range_of(taps, k0, k1, in, lines, mask, out);
}

BandScratch::BandScratch(int N, int M, bool with_flags)
    : gathered(static_cast<std::size_t>(N) * kBandLines, "band samples"),
      flags(with_flags ? static_cast<std::size_t>(N) * kBandLines : 0, "band flags"),
      summed(static_cast<std::size_t>(M) * kBandLines, "band sums") {}

void gather_band_flags(std::size_t B, int N, const std::uint8_t* mask, BandScratch* s) {
    const std::size_t n = static_cast<std::size_t>(N);
    std::uint8_t* f = s->flags.get();
    for (std::size_t b = 0; b < B; ++b) {
        const std::uint8_t* line = mask + b * n;
        for (std::size_t i = 0; i < n; ++i) f[i * B + b] = line[i];
    }
}

void column_sums_band(std::size_t B, int N, int M, const OutputTaps* taps, const double* in,
                      bool switched, BandScratch* s) {
    const std::size_t n = static_cast<std::size_t>(N), m = static_cast<std::size_t>(M);
    double* g = s->gathered.get();
    for (std::size_t b = 0; b < B; ++b) {
        const double* line = in + b * n;
        for (std::size_t i = 0; i < n; ++i) g[i * B + b] = line[i];
    }
    for (std::size_t k = 0; k < m; ++k) {
        const OutputTaps& tp = taps[k];
        const double* src[8];
        for (int j = 0; j < 8; ++j) src[j] = g + static_cast<std::size_t>(tp.index[j]) * B;
        double* o = s->summed.get() + k * B;
        if (switched) {
            sum_eight_taps_switched(src, tp.weight, g + static_cast<std::size_t>(tp.left) * B,
                                    g + static_cast<std::size_t>(tp.right) * B, tp.h,
                                    s->flags.get() + static_cast<std::size_t>(tp.t) * B, o, B);
        } else {
            sum_eight_taps(src, tp.weight, o, B);
        }
    }
}

void store_band(std::size_t B, int M, const BandScratch& s, std::size_t l0, std::size_t lines,
                std::uint8_t* out, PlaneOrder order) {
    const std::size_t m = static_cast<std::size_t>(M);
    const double* sum = s.summed.get();
    if (order == PlaneOrder::by_row) {
        for (std::size_t k = 0; k < m; ++k) clamp_to_bytes(sum + k * B, out + k * lines + l0, B);
    } else {
        for (std::size_t k = 0; k < m; ++k)
            for (std::size_t b = 0; b < B; ++b) out[(l0 + b) * m + k] = clamp_to_byte(sum[k * B + b]);
    }
}

void store_weighted_band(std::size_t B, int M, const double* alpha, std::size_t l0,
                         std::size_t lines, std::uint8_t* out, BandScratch* s) {
    // A few rows at a time, so that the quotients are still in the first level of cache when
    // they are clamped, and each division runs over enough values to fill the lanes.
    const std::size_t m = static_cast<std::size_t>(M), rows = std::max<std::size_t>(1, 2048 / B);
    double* sum = s->summed.get();
    for (std::size_t k0 = 0; k0 < m; k0 += rows) {
        const std::size_t k1 = std::min(m, k0 + rows);
        unweight(sum + k0 * B, alpha + k0 * B, (k1 - k0) * B);
        for (std::size_t k = k0; k < k1; ++k) clamp_to_bytes(sum + k * B, out + k * lines + l0, B);
    }
}
