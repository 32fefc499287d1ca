#pragma once
// Discrete Fourier transforms of any length from 2 to kMaxDftLength points by the chirp-z method:
// the transform is rewritten as a convolution with a quadratic-phase chirp, and the convolution is
// done by three power-of-two transforms of complex_fft on a padded length L.
//
// Conventions
// - Layout: split arrays, re[j] and im[j] for j = 0 .. N - 1 (not interleaved). Outputs may be
//   the inputs: an entry reads its whole input before it writes anything.
// - dft_forward: X[k] = (1 / N) sum_j x[j] exp(-2 pi i j k / N). The only scaling is this 1/N.
// - dft_inverse: x[j] = sum_k X[k] exp(+2 pi i j k / N), unscaled, so it undoes dft_forward.
// - Lengths: 2 <= N <= kMaxDftLength. L is the smallest power of two >= 2N, so complex_fft runs
//   with n = 2L doubles.
// - Tables: ip and w are complex_fft's (complex_fft.h), owned by the caller and passed through;
//   the caller sets ip[0] = 0 before the first call and keeps both alive between calls. They
//   need fft_ip_length(2L) ints and fft_w_length(2L) doubles: for N <= 8192, 64 and 8192.
// - State: none but the tables, which a call may rewrite, so calls that share ip and w must
//   not run at once. Each entry works in the heap blocks of a plan of its own.
// - Every value is IEEE double in the order written in chirp_dft.cpp and, for the steps of a
//   transform, chirp_template.h, which the lanes (lanes.h) share.

// Longest transform the entries take: complex_fft's n = 2L, at most 4N, must stay an int of
// at most 2^30 doubles, and the lanes (lanes.h) index 4L values per line.
constexpr int kMaxDftLength = 1 << 27;

// The plan of one transform. The three blocks are owned by the plan.
struct ChirpPlan {
    int N = 0;                   // input points
    int M = 0;                   // output points (the entries always use M = N)
    int L = 0;                   // padded length: the smallest power of two >= N + M
    double* chirp_re = nullptr;  // c[j] = exp(-i pi j^2 / N), N entries; one block of 2N
    double* chirp_im = nullptr;
    double* kernel_re = nullptr;  // spectrum of the conjugate chirp kernel, L entries; one
    double* kernel_im = nullptr;  // block of 2L
    double* work_re = nullptr;    // convolution scratch, one block of 2L doubles (work_im is
    double* work_im = nullptr;    // its second half) that the transforms use as L points
};                                // interleaved, complex_fft's layout

// Makes the plan for N inputs and M outputs (M < 2 or M > N means M = N): the chirp and the
// kernel spectrum, by one complex_fft call of n = 2L in the work block. Returns 0 on success,
// 1 for N <= 1 (nothing allocated), 2 when a block cannot be allocated (everything taken
// released, the lengths cleared).
[[nodiscard]] int chirp_plan_create(ChirpPlan* plan, int N, int M, int* ip, double* w);

// Transforms N points in re, im in place and writes M points back: conjugate = 0 gives the
// sign-minus transform scaled by 1/N, conjugate = 1 the sign-plus transform, unscaled. Two
// transforms of complex_fft (n = 2L, tables built first if ip[0] is too small for it) in the
// plan's work block; nothing is allocated. The steps are chirp_template.h's, which the lanes
// share.
void chirp_plan_execute(ChirpPlan* plan, int conjugate, double* re, double* im, int* ip, double* w);

// Frees the plan's blocks and sets N, M and L to 0. A cleared plan may be destroyed again.
void chirp_plan_destroy(ChirpPlan* plan);

// Fills chirp_re/im (N entries) with c[j] = exp(-i pi j^2 / N), the exponent j^2 reduced
// modulo 2N in integers, and kernel_re/im (L entries) with the conjugate chirp times L laid
// out for a cyclic convolution: h[0] = L, h[k] = h[L - k] = L conj(c[k]) for k = 1 .. N - 1,
// zero from M to L - N.
void make_chirp(int N, int M, int L, double* chirp_re, double* chirp_im, double* kernel_re,
                double* kernel_im);

// The two entries below, each a plan made, executed once and destroyed, define the system's
// DFT; only the tests and the line transforms (line_transforms.h) call them. The DFT resize
// runs many lines of a length on one plan instead (line_batch.h), with the same bits.

// The forward entry (see Conventions). Returns 0. When no plan can be made (N outside
// 2 .. kMaxDftLength, or no memory for it) it prints "failure!!!!" on standard output and
// ends the process with exit status 1: the run cannot go on without the transform.
int dft_forward(int N, const double* in_re, const double* in_im, double* out_re, double* out_im,
                int* ip, double* w);

// The inverse entry (see Conventions). Returns 0, or 1 when no plan can be made (N outside
// 2 .. kMaxDftLength, or no memory for it); then nothing is written.
[[nodiscard]] int dft_inverse(int N, const double* in_re, const double* in_im, double* out_re,
                              double* out_im, int* ip, double* w);
