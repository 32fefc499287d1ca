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
// Layout of a lane buffer: room for 3L / 2 points (3L kLanes doubles, see lane_buffer_points),
// 64-byte aligned; point j of lane l has its real part at buf[2 j kLanes + l] and its
// imaginary part at buf[(2 j + 1) kLanes + l]. The line goes in at points 0 .. n - 1 and the
// transform uses points 0 .. L - 1; the result comes out at points L .. L + n - 1 (n <= L / 2),
// from lane_result_offset(L) on, in the same layout.

#include "fft/chirp_template.h"

constexpr int kLanes = 8;

// Points a lane buffer holds for lines of padded length padded.
constexpr long lane_buffer_points(int padded) {
    return static_cast<long>(padded) * 3 / 2;
}

// Where a transform's result starts in its lane buffer, in doubles.
constexpr long lane_result_offset(int padded) {
    return 2L * kLanes * padded;
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
    // convolution reads its n outputs from there and leaves the other L - n unmoved.
    const int* plus_pos;
};

// shifted_dft_*: dft_inverse, then the rotation with factor 0.5, on the lanes of buf. Returns
// where the result starts (inside buf).
double* lanes_forward_generic(const LaneTables& t, double* buf);
double* lanes_forward_avx2(const LaneTables& t, double* buf);
double* lanes_forward_avx512(const LaneTables& t, double* buf);

// shifted_idft_*: the rotation with factor 2, then dft_forward. Returns where the result
// starts (inside buf).
double* lanes_inverse_generic(const LaneTables& t, double* buf);
double* lanes_inverse_avx2(const LaneTables& t, double* buf);
double* lanes_inverse_avx512(const LaneTables& t, double* buf);

// complex_fft's fft_plus (sign >= 0) or fft_minus on n doubles per lane, in place, with the
// tables already built (nw = ip[0] >= n / 4).
void lanes_fft_generic(int n, int sign, double* buf, const int* ip, int nw, const double* w);
void lanes_fft_avx2(int n, int sign, double* buf, const int* ip, int nw, const double* w);
void lanes_fft_avx512(int n, int sign, double* buf, const int* ip, int nw, const double* w);
