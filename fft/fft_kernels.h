#pragma once
// Building blocks of complex_fft (complex_fft.h): radix-4 decimation-in-frequency passes,
// fixed-size kernels, the block schedule for long transforms and the bit-reversal
// permutations. All work in place on the interleaved layout of complex_fft.h, allocate
// nothing and cannot fail. Each is the double case of the one code in fft_template.h, which
// the lanes (lanes.h) run on vectors of lines.
//
// These named entries are the FFT's vocabulary, callable one by one; only the tests call
// them. The transforms themselves (complex_fft, chirp_dft.h, the lanes) run the templates of
// fft_template.h directly, so that each pass is inlined into its driver.
//
// Terms. A block is a contiguous run of M complex points (m = 2M doubles), M a power of two,
// split by a pass into four quarters of M / 4 points. With omega = exp(+2 pi i / M):
// - a plain block is due to become, in bit-reversed order, D[k] = sum_j d[j] omega^(j k);
// - a twisted block carries a pending rotation: D[k] = sum_j d[j] exp(i pi j / M) omega^(j k).
// After a plain pass quarters 0, 2, 3 are plain and quarter 1 is twisted; after a twisted
// pass quarters 0, 2 are plain and 1, 3 twisted. Routines ending in _a take plain blocks,
// those ending in _b twisted ones. "Bit-reversed order" means position k holds D[rev(k)].
//
// Twiddle blocks: w is the table of make_twiddle_table with size nw; the block of size s
// starts at w + nw - 2s. Each routine takes a pointer to the block it needs, as stated.
//
// Every routine computes the sign +1 transform; the minus direction is obtained by the
// conjugating first pass and permutation, or by the _neg permutations for 8 and 16 points.

// Plain pass over the whole array of n doubles (n >= 64), w = w + nw - n / 4 (the block of
// size n / 8, whose odd twiddles are rebuilt from their even neighbours by the half-angle
// factors in entries 2 and 3).
void first_pass_plus(int n, double* a, const double* w);
// The same pass on the complex conjugate of the input (imaginary parts read negated).
void first_pass_minus(int n, double* a, const double* w);

// Plain pass on one plain block of m doubles (m >= 64), w = w + nw - m / 2.
void middle_pass_a(int m, double* a, const double* w);
// Twisted pass on one twisted block of m doubles (m >= 64), w = w + nw - m: gives each point
// t its pending rotation exp(i pi t / M) folded into the butterfly.
void middle_pass_b(int m, double* a, const double* w);

// Finishes, after the first pass, the four quarters of an array of n = 64 or 128 doubles
// (plain, twisted, plain, plain) with the 8- or 16-point kernels.
void quad_kernel(int n, double* a, int nw, const double* w);

// Finishes one block of n = 256 or 512 doubles whose own pass is done: its quarters are
// plain, twisted, plain, and the last one plain when split is 1 (the block was plain) or
// twisted when split is 0. Each quarter gets its pass, then its four sub-quarters their
// kernels.
void leaf_kernel(int n, int split, double* a, int nw, const double* w);

// Finishes, after the first pass, an array of n > 512 doubles in leaf blocks of 256 or 512
// doubles, depth first from the end of the array: each pass runs just before the leaves it
// feeds, so the working set of a leaf stays in cache.
void recursive_pass(int n, double* a, int nw, const double* w);

// Prepares the leaf block of m doubles that ends at double index j, the k-th leaf counted
// back from the end (the last leaf counts 0): runs the passes it still lacks, from the
// largest enclosing block not yet passed down to the leaf itself. Returns the leaf's split
// flag for leaf_kernel: 1 plain, 0 twisted.
int tree_step(int m, int j, int k, double* a, int nw, const double* w);

// 8-point plain block (16 doubles) to bit-reversed order; reads only w[1] = cos(pi / 4) of
// whatever block w points to.
void kernel8_a(double* a, const double* w);
// 8-point twisted block; w = w + nw - 8 (entries 1, 2, 3 of the block of size 4).
void kernel8_b(double* a, const double* w);
// 16-point plain block (32 doubles); w = w + nw - 8 (entries 1, 2, 3 of the block of size 4).
void kernel16_a(double* a, const double* w);
// 16-point twisted block; w = w + nw - 32 (entries 1 and 4 .. 9 of the block of size 16).
void kernel16_b(double* a, const double* w);

// 4 points in natural order: X[k] = sum_j x[j] exp(+-2 pi i j k / 4).
void dft4_plus(double* a);
void dft4_minus(double* a);
// 2 points: x0 + x1, x0 - x1 (the same in both directions).
void dft2(double* a);

// Permutations of 8 and 16 points: position k receives the point from rev(k) (bitrev8,
// bitrev16), or from rev((N - k) mod N) (the _neg forms, which turn a plus transform in
// bit-reversed order into the minus transform in natural order).
void bitrev8(double* a);
void bitrev8_neg(double* a);
void bitrev16(double* a);
void bitrev16_neg(double* a);

// Moves point k of an array of n doubles (N = n / 2 >= 32 points) to rev(k), by exchanges
// in place, reading the offset group ip[g] .. ip[2g - 1] of make_bitrev_table.
void bitrev_permute(int n, const int* ip, double* a);
// The same permutation, negating every imaginary part, including those of points that stay.
void bitrev_permute_conj(int n, const int* ip, double* a);
