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
// - Every value is IEEE double in the order the line transforms (fft/line_transforms.h) and
//   the steps above define; dft_interpolate.cpp lists the shortcuts its schedule takes, each of
//   which keeps every bit.
// - Stage lines go to standard error, from "horizontal DFT start!!" to "vertical IDFT end!!".
// - Working memory is taken from the heap, all of it when a DftPlaneWork is made, and released
//   by its owner; a failed allocation ends the process with "<array> no memory!!" (tiles: the
//   grids between the passes, which hold at most the largest of them, the 2W x 2H spectrum;
//   ww, ip: FFT tables; line buffer: one per thread).
// - The work is spread over worker_count() threads (base/parallel.h); results do not depend
//   on their number or on the instruction set the lanes run with.

#include <cstdint>
#include <memory>

#include "base/progress.h"
#include "fft/chirp_dft.h"

// Longest output side: twice it is the longest line the arbitrary-length DFT takes. Far
// beyond what memory allows; the memory a size needs is the real limit.
constexpr int kMaxDftResizeSide = kMaxDftLength / 2;

// Plans and grids for enlarging W x H planes to W2 x H2, made once and used for each colour
// plane of a picture, so that the grids' pages are touched once. Requires W >= 1, H >= 1,
// W <= W2 <= kMaxDftResizeSide and H <= H2 <= kMaxDftResizeSide (dft_resize_size_ok). Holds
// about dft_interpolate_memory(W, H, W2, H2) bytes.
struct DftPlaneWork {
    DftPlaneWork(int W, int H, int W2, int H2);
    ~DftPlaneWork();
    DftPlaneWork(const DftPlaneWork&) = delete;
    DftPlaneWork& operator=(const DftPlaneWork&) = delete;

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Enlarges in (W x H bytes) into out (W2 x H2 bytes, every byte written, allocated by the
// caller) with the sizes work was made for. With a progress object, every group of lines
// reports its line length as units when it is done, dft_interpolate_units(work) in all; after
// a stop no group starts, the remaining stages are skipped and out is incomplete.
void dft_interpolate_with(DftPlaneWork& work, const std::uint8_t* in, std::uint8_t* out,
                          RunProgress* progress = nullptr);

// Where the last pass puts its W2 x H2 values v = g * re (column-major, every one written, all
// allocated by the caller), for a picture with alpha (base/plane.h): bytes gets clamp_to_byte(v),
// or with unweight_by (the kept values of the picture's enlarged alpha) the byte of
// unweighted(v, unweight_by[i]), v being a weighted colour; keep, when set, gets v itself.
struct DftResults {
    std::uint8_t* bytes = nullptr;
    double* keep = nullptr;
    const double* unweight_by = nullptr;
};

// dft_interpolate_with into results, over bytes (alpha) or over weighted colours, each
// sample converted exactly to a double.
void dft_interpolate_with(DftPlaneWork& work, const std::uint8_t* in, const DftResults& results,
                          RunProgress* progress = nullptr);
void dft_interpolate_with(DftPlaneWork& work, const std::uint16_t* in, const DftResults& results,
                          RunProgress* progress = nullptr);

// The units dft_interpolate_with reports for one plane.
std::uint64_t dft_interpolate_units(const DftPlaneWork& work);

// The same with a work of its own: W2 = W + dx, H2 = H + dy, within the limits above. The
// method (dft_resize.h) makes one work for all planes of a picture and does not call this; the
// tests hold it to the step-by-step procedure.
void dft_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in, std::uint8_t* out);

// Bytes a DftPlaneWork for these sizes holds, lane buffers of all threads included.
std::uint64_t dft_interpolate_memory(int W, int H, int W2, int H2);
