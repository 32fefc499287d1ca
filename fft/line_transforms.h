#pragma once
// The line transforms of the DFT resize: the arbitrary-length DFT (chirp_dft.h) with a
// half-sample phase rotation, so that a mirrored real line of length 2N transforms to the
// DCT-II of its first half and a zero-extended spectrum transforms back to a finer sampling.
// These one-line forms define the transforms and serve the tests as their reference; the DFT
// resize runs them on many lines at once (line_batch.h), with the same bits.
//
// Conventions
// - A line is n complex values in two arrays of doubles (real, imaginary). The strided forms
//   read and write element i at index i * stride (a row of a column-major grid); the
//   contiguous forms at index i. 2 <= n <= kMaxDftLength; input and output must not overlap.
// - Forward: Y[k] = 0.5 exp(+i pi k / n) sum_m x[m] exp(+2 pi i k m / n), through dft_inverse,
//   which is the positive-exponent DFT, unscaled, whatever its name. The 0.5 is applied after
//   the rotation.
// - Inverse: z[m] = (1 / n) sum_k 2 exp(-i pi k / n) Y[k] exp(-2 pi i k m / n), through
//   dft_forward (negative exponent, 1/n). The 2 is applied after the rotation, before the DFT.
// - Rotation factors: pi = 4 atan(1.0) per call; theta = (k * pi) / n (k and n as doubles),
//   negated for the inverse; c = cos(theta), s = sin(theta); rotated value
//   ((Xr c - Xi s) f, (Xi c + Xr s) f) with f = 0.5 forward, 2 inverse: line_template.h's
//   rotate, which the lanes (lanes.h) share.
// - ip and w are complex_fft's tables, owned by the caller, passed through unchanged.
// - Scratch: the strided forms take four arrays of n values (R, I1, OR, OI) for the call; an
//   allocation failure ends the process with "<name> no memory!!". The contiguous forms take
//   nothing.
// - A DFT that cannot be planned ends the process with "failure!!!!" and exit status 1 (the
//   lengths here are always in range, so only a lack of memory gets there).
// - Calls that share ip and w must not run at once (the DFT may rewrite them).

// The rotation factors at index k of a line of length n: c = cos(theta), s = sin(theta) with
// theta = (k * pi) / n (k and n as doubles, pi = 4 atan(1.0)), negated when inverse. Every
// line transform takes its factors from here, so a table made with it holds the same bits.
void shift_factors(int n, int k, bool inverse, double* c, double* s);

// Forward transform of the line at in_re/in_im (stride apart) into out_re/out_im (stride
// apart). The input is left unchanged.
void shifted_dft_strided(int n, int stride, const double* in_re, const double* in_im,
                         double* out_re, double* out_im, int* ip, double* w);

// Forward transform of n consecutive values. The input is left unchanged.
void shifted_dft_contiguous(int n, const double* in_re, const double* in_im, double* out_re,
                            double* out_im, int* ip, double* w);

// Inverse transform of the line at in_re/in_im (stride apart) into out_re/out_im (stride
// apart). The input is left unchanged.
void shifted_idft_strided(int n, int stride, const double* in_re, const double* in_im,
                          double* out_re, double* out_im, int* ip, double* w);

// Inverse transform of n consecutive values. The input is overwritten with the rotated values
// (2 exp(-i pi k / n) Y[k]); a caller that needs it afterwards must copy it first.
void shifted_idft_contiguous(int n, double* in_re, double* in_im, double* out_re, double* out_im,
                             int* ip, double* w);
