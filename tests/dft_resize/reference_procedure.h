#pragma once
// The DCT enlargement of one plane step by step, exactly as the method is defined: mirror,
// every row and column through the one-line transforms with a plan per line and tables
// rebuilt per pass, zero insertion into full grids, the Nyquist split, the inverse passes,
// gain, clamp and truncation. Slow and memory-hungry (six grids of 4 * W2 * H2 doubles); the
// library's dft_interpolate_plane must give the same bytes.

#include <cstdint>

void reference_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in,
                                 std::uint8_t* out);
