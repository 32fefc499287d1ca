#pragma once
// The line resampler's taps: where an output sample sits in its input line, the Lanczos-3
// kernel, the eight normalised weights and the reflection of tap indices at the line's ends.
// Both kernel resizers are built on these, and nothing here depends on how a line lies in
// memory.
//
// A line of N input values becomes M output values; output sample k sits at source position
// f = (k + 0.5) * N / M - 0.5, so input and output sample centres are aligned. Every value is
// computed in IEEE double in the order written in taps.cpp; the weights are defined to the
// last bit, which the truncation of results to bytes makes visible.

#include "base/alloc.h"

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

// The taps of all M output indices of a line of N >= 1 inputs; taps must hold M entries.
void line_taps(int N, int M, OutputTaps* taps);

// line_taps in a block of its own (M >= 0 entries).
HeapArray<OutputTaps> taps_of(int N, int M);
