#pragma once
// The inner loop of both resizers: one output index over many interleaved lines at once. The
// sums run the code of the instruction set active_isa() names (tap_sums_lanes.h), with the
// same results on every set.

#include <cstddef>
#include <cstdint>

// For l in [0, n): out[l] = src[7][l] * w[7] + (... + (src[1][l] * w[1] + (src[0][l] * w[0] +
// 0.0))), that is acc = src[j][l] * w[j] + acc for j = 0..7 from acc = 0.0, the order of the
// per-sample sum. The lines run in the lanes of vector registers, each lane doing exactly the
// scalar operations of its own line, so the results are the scalar results bit for bit.
// out must not overlap any src.
void sum_eight_taps(const double* const src[8], const double w[8], double* out, std::size_t n);
// The same over 8-bit samples, and over the 16-bit weighted colours of a picture with alpha
// (base/plane.h), each converted exactly to a double first.
void sum_eight_taps(const unsigned char* const src[8], const double w[8], double* out,
                    std::size_t n);
void sum_eight_taps(const std::uint16_t* const src[8], const double w[8], double* out,
                    std::size_t n);

// out[i] = clamp_to_byte(v[i]) for i in [0, n), written so that it runs in vector lanes: below
// 0 (and NaN) gives 0, above 255 gives 255, the rest is truncated toward zero.
void clamp_to_bytes(const double* v, unsigned char* out, std::size_t n);

// v[i] = unweighted(v[i], alpha[i]) (base/plane.h) for i in [0, n): a weighted colour's values
// become colours, in the lanes of the active instruction set with the scalar bits.
void unweight(double* v, const double* alpha, std::size_t n);

// The hybrid's switch: as sum_eight_taps, except that where flag[l] is set out[l] is
// left[l] * (1 - h) + right[l] * h instead, the first product formed first.
void sum_eight_taps_switched(const double* const src[8], const double w[8], const double* left,
                             const double* right, double h, const unsigned char* flag,
                             double* out, std::size_t n);
void sum_eight_taps_switched(const unsigned char* const src[8], const double w[8],
                             const unsigned char* left, const unsigned char* right, double h,
                             const unsigned char* flag, double* out, std::size_t n);
void sum_eight_taps_switched(const std::uint16_t* const src[8], const double w[8],
                             const std::uint16_t* left, const std::uint16_t* right, double h,
                             const unsigned char* flag, double* out, std::size_t n);
