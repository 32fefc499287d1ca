#pragma once
// Enlargement of one colour plane by zero insertion in the DCT domain.
//
// Conventions
// - Planes are column-major: sample (x, y) of a plane of height h at x * h + y. The input is
//   W x H, the output W2 x H2 with W2 = W + dx, H2 = H + dy.
// - Grids are doubles, column-major with column length L (element (X, Y) at X * L + Y), real
//   and imaginary parts in separate arrays.
// - The plane is mirrored into a 2W x 2H grid with the edge sample repeated (a b c c b a), so
//   the forward line transforms (rows, then columns) give its unnormalised DCT-II:
//   C[k][l] = sum_m sum_n in(m, n) cos(pi k (2m + 1) / 2W) cos(pi l (2n + 1) / 2H).
//   A band of zeros widens the spectrum to 2W2 x 2H2, the Nyquist column and row are split
//   between both sides of the band, the inverse line transforms (rows, then columns) return
//   to samples, and the W2 x H2 corner times g = H2 * W2 / W / H is clamped to 0 .. 255 and
//   truncated toward zero. In exact arithmetic output (x, y) is the plane's cosine series at
//   input position ((x + 1/2) W / W2 - 1/2, (y + 1/2) H / H2 - 1/2); a same-size result
//   equals the input or lies one below it, never above.
// - Every value is IEEE double in the order written in dft_interpolate.cpp.
// - Stage lines go to standard error, from "horizontal DFT start!!" to "vertical IDFT end!!".
// - Working arrays are taken from the heap and released before the call returns; a failed
//   allocation ends the process with "<array> no memory!!" (kariR, kariI, VINR, VINI, VOUTR,
//   VOUTI, ww, ip, fourieR, fourieI, and the line transforms' R, I1, OR, OI).
// - Not reentrant: the line transforms share process-wide staging buffers.

#include <cstdint>

// Longest output side: twice it is the longest line the arbitrary-length DFT takes.
constexpr int kMaxDftResizeSide = 4096;

// Enlarges in (W x H bytes) into out (W2 x H2 bytes, every byte written, allocated by the
// caller). Requires W >= 1, H >= 1, dx >= 0, dy >= 0, W + dx <= 4096 and H + dy <= 4096;
// the caller checks (dft_resize_size_ok).
void dft_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in,
                           std::uint8_t* out);
