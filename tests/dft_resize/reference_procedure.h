#pragma once
// The DCT enlargement of one plane step by step, exactly as the method is defined: mirror,
// every row and column through the one-line transforms with a plan per line and tables
// rebuilt per pass, zero insertion into full grids, the Nyquist split, the inverse passes,
// gain, clamp and truncation. Slow and memory-hungry (six grids of 4 * W2 * H2 doubles); the
// library's dft_interpolate_plane must give the same bytes.

#include <cstdint>

void reference_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in,
                                 std::uint8_t* out);

// The same over samples given as doubles (exact integers, such as the weighted colours of a
// picture with alpha), up to the values before the clamp: g times the kept corner, W2 x H2
// column-major.
void reference_interpolate_values(int W, int H, int dx, int dy, const double* in, double* values);
