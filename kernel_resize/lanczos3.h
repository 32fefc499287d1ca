#pragma once
// Separable Lanczos-3 resampling of colour planes: every row first (the row pass), then every
// column of the row-pass result (the column pass), eight taps per output sample, edges
// mirrored without repeating the edge sample, results clamped and truncated to bytes.
//
// Planes are column-major (sample (x, y) of a picture of height h at x * h + y). A line of N
// input values becomes M output values; output sample k sits at source position
// f = (k + 0.5) * N / M - 0.5, so input and output sample centres are aligned.
//
// Every value is computed in IEEE double in the order written in lanczos3.cpp; the results are
// defined to the last bit, which the truncation to bytes makes visible.

#include <cstdint>
#include <string>

#include "base/numeric.h"
#include "base/status.h"
#include "image/bmp.h"

// Everything a line resampler needs for one output index: the source position f, its
// truncation t, floor b and fraction h, the eight taps b - 3 .. b + 4 as already mirrored
// input indices with their normalised weights, and the two mirrored samples b and b + 1 that
// the hybrid resize interpolates linearly between. The same for every line of a pass.
struct OutputTaps {
    double f;
    int t;
    int b;
    double h;
    int index[8];
    double weight[8];
    int left;   // b mirrored: b = -1 reads sample 1
    int right;  // b + 1 mirrored: b + 1 = N reads sample N - 2
};

// f = (k * N) / M + ((N - M) * 0.5) / M, two double quotients added in this order.
double source_position(int k, int N, int M);

// sin(pi x) / (pi x) * sin(pi x / 3) / (pi x / 3) on -3 .. 3 (bounds inclusive), 1 at 0,
// 0 outside.
double lanczos3_kernel(double x);

// The eight weights for fractional offset h (0 <= h < 1), normalised by their sum taken in
// index order: w[3 - j] = L(j + h), w[4 + j] = L(j + (1 - h)) for j = 0..3.
void lanczos3_weights(double h, double w[8]);

// Mirrors a tap index into 0 .. N - 1 without repeating the edge sample: -1 reads 1, N reads
// N - 2. For N >= 5 every tap of a line needs one reflection at most; shorter lines reflect
// again (period 2N - 2), and a line of one sample reads that sample at every tap.
int mirror_index(int i, int N);

// The taps of all M output indices of a line of N inputs; taps must hold M entries.
void line_taps(int N, int M, OutputTaps* taps);

// The Lanczos-3 sum of one output sample from a line whose element i is v[i * step]:
// acc = v[index[j]] * weight[j] + acc for j = 0..7, from acc = 0.
inline double lanczos3_sum(const double* v, long step, const OutputTaps& tp) {
    double acc = 0.0;
    for (int j = 0; j < 8; ++j) acc = v[tp.index[j] * step] * tp.weight[j] + acc;
    return acc;
}

// Linear interpolation between samples b and b + 1: v[left] * (1 - h) + v[right] * h, the
// first product formed first.
inline double linear_sum(const double* v, long step, const OutputTaps& tp) {
    return v[tp.left * step] * (1 - tp.h) + v[tp.right * step] * tp.h;
}

// Row pass: lines rows of N samples to M samples. Row l has input i at in[i * lines + l] and
// output k at out[k * lines + l].
void lanczos3_rows(int lines, int N, int M, const double* in, double* out);
// The same over an 8-bit plane, each sample converted exactly to a double.
void lanczos3_rows(int lines, int N, int M, const std::uint8_t* in, double* out);

// Column pass: lines columns of N samples to M samples. Column l has input i at in[l * N + i]
// and output k at out[l * M + k].
void lanczos3_columns(int lines, int N, int M, const double* in, double* out);

// The column pass straight into bytes: lines columns of N doubles (column l at in[l * N]) to
// M samples each, clamped by clamp_to_byte into out, a lines x M plane in the given order.
// Where mask (lines x N flags, flag (l, i) at l * N + i) is not null, every output sample k of
// column l whose truncated source position t has flag (l, t) set takes linear_sum instead of
// the Lanczos-3 sum: the hybrid resize's column pass, sharing every other operation.
void column_pass_bytes(int lines, int N, int M, const double* in, const std::uint8_t* mask,
                       std::uint8_t* out, PlaneOrder order);

// One plane of W x H bytes to W2 x H2 bytes (out allocated by the caller, column-major unless
// order says otherwise). The row-pass values enter the column pass unclamped.
void lanczos3_resize_plane(int W, int H, int W2, int H2, const std::uint8_t* in,
                           std::uint8_t* out, PlaneOrder order = PlaneOrder::by_column);

// The whole picture, red, green, blue in turn, written as "%s_lanczos3.bmp" beside path.
// W, H >= 1 and W2, H2 >= 0 with a result that fits in a BMP file (the run checks both).
Status lanczos3_resize(const std::string& path, int W, int H, int W2, int H2,
                       const std::uint8_t* red, const std::uint8_t* green,
                       const std::uint8_t* blue);

// Bytes of memory lanczos3_resize takes at its peak beside its input planes.
std::uint64_t lanczos3_memory_needed(int W, int H, int W2, int H2);
