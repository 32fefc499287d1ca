#pragma once
// Separable Lanczos-3 resampling of colour planes: every row first (the row pass), then every
// column of the row-pass result (the column pass), eight taps per output sample (taps.h),
// edges mirrored without repeating the edge sample, results clamped and truncated to bytes.
//
// Planes are column-major (sample (x, y) of a picture of height h at x * h + y). A line of N
// input values becomes M output values. Each output sample is the sum
// acc = v[index[j]] * weight[j] + acc for j = 0..7 from acc = 0.0 over its OutputTaps, in
// IEEE double in this order; the results are defined to the last bit, which the truncation to
// bytes makes visible.

#include <cstdint>
#include <string>

#include "base/progress.h"
#include "base/status.h"
#include "image/bmp.h"
#include "image/result.h"

// Row pass: lines rows of N samples to M samples. Row l has input i at in[i * lines + l] and
// output k at out[k * lines + l].
void lanczos3_rows(int lines, int N, int M, const double* in, double* out);

// Column pass: lines columns of N samples to M samples. Column l has input i at in[l * N + i]
// and output k at out[l * M + k].
void lanczos3_columns(int lines, int N, int M, const double* in, double* out);

// One plane of W x H bytes to W2 x H2 bytes (out allocated by the caller, column-major unless
// order says otherwise). The row-pass values enter the column pass unclamped. With a progress
// object, each band of output columns reports its count of columns as units once it is done,
// and no band starts after a stop was asked for (out is then incomplete).
void lanczos3_resize_plane(int W, int H, int W2, int H2, const std::uint8_t* in,
                           std::uint8_t* out, PlaneOrder order = PlaneOrder::by_column,
                           RunProgress* progress = nullptr);

// The whole picture, red, green, blue and then alpha (when not null) in turn, each plane on its
// own, written by write_result as the "lanczos3" result of path in format. W, H >= 1 and
// W2, H2 >= 0 with a result that fits in a BMP file (the run checks both). progress (may be
// null) counts W2 units per plane, its output columns; after a stop it returns
// StatusCode::stopped and writes nothing.
Status lanczos3_resize(const std::string& path, int W, int H, int W2, int H2,
                       const std::uint8_t* red, const std::uint8_t* green,
                       const std::uint8_t* blue, const std::uint8_t* alpha = nullptr,
                       ResultFormat format = ResultFormat::bmp, RunProgress* progress = nullptr);

// Bytes of memory lanczos3_resize takes at its peak beside its input planes, with an alpha
// plane when alpha is set.
std::uint64_t lanczos3_memory_needed(int W, int H, int W2, int H2, bool alpha = false);
