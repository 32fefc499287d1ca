#pragma once
// The line transforms of line_transforms.h on kLanes lines at once, one line per lane of a
// vector, each lane doing exactly the double operations of its own line (the same products and
// sums in the same order, never fused): every lane's result has the bits the one-line
// transform gives. The bodies are the templates of fft_template.h, chirp_template.h and
// line_template.h; each entry point below exists once per instruction set, in its own file
// (lanes_generic.cpp, lanes_avx2.cpp, lanes_avx512.cpp, see base/isa.h), and line_batch.h
// chooses one with active_isa(). The avx2 and avx512 entries exist only in builds for x86-64
// (ENLARGE3_HAVE_X86_LANES).
//
// Layout of a lane buffer for lines of padded length L: kLanes lines in blocks of `width`
// lanes, width being the doubles one vector register of the set holds (lane_width: 8 for
// AVX-512, 4 for AVX2, 2 for the generic set). Block b holds lanes b * width .. and is
// lane_block_doubles(L, width) doubles long; in it, point j of its lane i has its real part at
// 2 j width + i and its imaginary part at (2 j + 1) width + i. Each block is transformed on
// its own with one register per value: two blocks of the same points in the same registers
// would not leave room for a butterfly. Every block has room for 2L points, 64-byte aligned:
// the line goes in at points 0 .. n - 1 and the result comes back at points 0 .. count - 1.

#include <cstddef>

#include "fft/chirp_template.h"

constexpr int kLanes = 8;

// Doubles in one block of width lanes for lines of padded length padded: 2L points.
constexpr std::size_t lane_block_doubles(int padded, int width) {
    return 4 * static_cast<std::size_t>(padded) * static_cast<std::size_t>(width);
}

// What a line transform of one length reads, as plain pointers (see LinePlan in
// line_batch.h). A plain record, like ChirpTables.
struct LaneTables {
    int n;                // line length
    double inv_n;         // 1.0 / n
    ChirpTables chirp;    // the chirp-z transform of n points
    const double* fwd_c;  // shift_factors(n, k, false)
    const double* fwd_s;
    const double* inv_c;  // shift_factors(n, k, true)
    const double* inv_s;
    // Where output k of the last FFT lies before its final permutation, in points: the
    // convolution reads its outputs from there and leaves the other points unmoved. The same
    // table tells where the first FFT's final permutation takes each point from.
    const int* plus_pos;
};

// shifted_dft_*: dft_inverse (the positive-exponent DFT, unscaled), then the rotation with
// factor 0.5, on the lanes of buf; all n outputs.
void lanes_forward_generic(const LaneTables& t, const KnownZeros& in, double* buf);
void lanes_forward_avx2(const LaneTables& t, const KnownZeros& in, double* buf);
void lanes_forward_avx512(const LaneTables& t, const KnownZeros& in, double* buf);

// shifted_idft_*: the rotation with factor 2, then dft_forward (the negative exponent and
// 1 / n); outputs 0 .. count - 1 only (count <= n).
void lanes_inverse_generic(const LaneTables& t, const KnownZeros& in, int count, double* buf);
void lanes_inverse_avx2(const LaneTables& t, const KnownZeros& in, int count, double* buf);
void lanes_inverse_avx512(const LaneTables& t, const KnownZeros& in, int count, double* buf);
