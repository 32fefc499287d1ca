#pragma once
// Per-sample resamplers written straight from their definitions, deliberately naive (no shared
// taps, no loop reordering), for the fast passes to be compared with bit for bit. Lines of at
// least five samples only: the single reflection at the ends is written out as defined.

#include <vector>

struct NaivePosition {
    double f, h;
    int t, b;
};

NaivePosition naive_position(int k, int N, int M);

// Output sample k of M of the eight-tap Lanczos-3 sum over line.
double naive_lanczos3_sample(const std::vector<double>& line, int k, int M);

// Output sample k of M of the two-tap linear interpolation over line.
double naive_linear_sample(const std::vector<double>& line, int k, int M);
