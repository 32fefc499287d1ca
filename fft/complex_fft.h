#pragma once
// In-place discrete Fourier transform of a power-of-two number of complex points.
//
// Conventions
// - Layout: a holds n doubles, N = n / 2 complex points interleaved: a[2j] is the real and
//   a[2j + 1] the imaginary part of point j. The result replaces the input, same layout,
//   natural order.
// - Lengths: n is a power of two, 2 <= n <= 2^30. Nothing is checked; the chirp-z DFT asks for
//   n = 2L, four times its line or more (chirp_dft.h).
// - Exponent: sign >= 0 gives X[k] = sum over j of x[j] exp(+2 pi i j k / N); sign < 0 gives
//   X[k] = sum over j of x[j] exp(-2 pi i j k / N), for k = 0 .. N - 1.
// - Scaling: none in either direction. A sign -1 transform followed by a sign +1 transform
//   returns N times the input; the caller divides where it wants to.
// - Tables: ip (ints) and w (doubles) are owned by the caller and passed on every call.
//   ip[0] = nw, the size of the twiddle table built so far (0: none); set it to 0 before the
//   first call on fresh arrays, or to force a rebuild. A call builds the tables when
//   n > 4 * ip[0], for nw = n / 4, and otherwise reuses them: a table built for a long
//   transform serves every shorter one. ip[1] is set to 1 by every build and never read.
// - Table lengths, for the longest n used since the last reset: w needs n / 4 doubles; ip
//   needs 2 ints for n <= 32, then 4 (n <= 128), 8 (n <= 512), 16 (n <= 2048),
//   32 (n <= 8192), 64 (n <= 32768), doubling for every further factor of four.
// - Not reentrant on shared tables: a call may rewrite ip and w, so two transforms sharing
//   one pair must not run at the same time. There is no other state.
// - No allocation and no failure: every cosine and sine is computed while building the
//   tables, never inside a transform.
// - Arithmetic is IEEE double in the order written in fft_template.h, the one code of the
//   transform for doubles and for vectors of lines; the build keeps multiply-adds unfused, so
//   results are reproducible to the last bit.

// The transform above: builds or reuses the tables, then runs fft_plus (sign >= 0) or
// fft_minus (sign < 0).
void complex_fft(int n, int sign, double* a, int* ip, double* w);

// complex_fft's first step alone, for callers that run fft_plus or fft_minus themselves:
// builds the tables for a transform of n doubles when n > 4 * ip[0] (with nw = n / 4) and
// returns ip[0], the size nw of the table now built.
int prepare_fft_tables(int n, int* ip, double* w);

// The lengths of ip (ints) and w (doubles) that a transform of n doubles needs, as the
// Conventions above state them: fft_ip_length(32768) = 64, fft_w_length(32768) = 8192.
int fft_ip_length(int n);
int fft_w_length(int n);

// Writes ip[0] = nw, ip[1] = 1, the twiddle table of nw doubles (nw - 2 written) and, for
// nw >= 16, the bit-reversal offsets from ip[2] on. The table is a chain of twiddle blocks
// of sizes nw / 2, nw / 4, ..., 2; the block of size s starts at w[nw - 2s], so a transform
// finds its blocks at the same distance from the end whatever larger nw was built. With
// d = pi / (4s), a block holds 1, cos(pi / 4), then for s = 4 cos(2d), sin(2d), and for
// s > 4 the half-angle factors 0.5 / cos(2d), 0.5 / cos(6d) followed, for j = 4, 8, .., s - 4,
// by cos(j d), sin(j d), cos(3 j d), -sin(3 j d). Only the largest block is computed with
// cosines and sines; each smaller block copies every other group of the one above it.
void make_twiddle_table(int nw, int* ip, double* w);

// Offsets, in doubles, that the bit-reversal permutation starts its groups of exchanges
// from: for each group size m = 2, 4, 8, .. (as many as nw needs), ip[m + k] = 8 m rev(k),
// rev reversing the log2(m) bits of k, for k = 0 .. m - 1. They do not depend on nw beyond
// how many groups are built.
void make_bitrev_table(int nw, int* ip);

// The two directions for a table already built with size nw >= n / 4: fft_plus computes the
// sign +1 transform, fft_minus the sign -1 transform, in place and in natural order.
void fft_plus(int n, double* a, const int* ip, int nw, const double* w);
void fft_minus(int n, double* a, const int* ip, int nw, const double* w);
