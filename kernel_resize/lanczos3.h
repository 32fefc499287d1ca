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

#include "base/plane.h"
#include "base/progress.h"
#include "base/status.h"

// The two passes of the definition over whole planes, each on its own. The resize does not call
// them: it runs both passes band by band of output columns (kernel_resize/passes.h), each
// sample by the same operations in the same order; the tests hold it to them.

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

// The whole picture: in's planes (red, green, blue, then alpha when in has it) into out's, W2 x
// H2 samples by row. Without alpha each colour is resized on its own by lanczos3_resize_plane.
// With alpha, alpha is resized so, and the colours are weighted by it (base/plane.h): each
// weighted colour plane goes through the same two passes, and every sample of it is unweighted
// by alpha's column-pass value of that sample before the clamp. in's sides are at least 1 and
// W2, H2 >= 0 with a result that fits in a BMP file (the run checks both). progress (may be
// null) counts W2 units per plane, its output columns; after a stop it returns
// StatusCode::stopped and out is incomplete.
Status lanczos3_resize(const PlaneSet& in, int W2, int H2, ResizedPlanes* out,
                       RunProgress* progress = nullptr);

// Bytes of memory lanczos3_resize takes at its peak beside its input planes, its result planes
// included, with an alpha plane when alpha is set.
std::uint64_t lanczos3_memory_needed(int W, int H, int W2, int H2, bool alpha = false);
