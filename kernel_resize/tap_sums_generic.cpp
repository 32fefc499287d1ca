// The tap sums for every processor: the baseline instruction set of the build, and the only
// set built off x86-64. Two lines at a time fill a 128-bit register (SSE2 on x86-64).

#include "kernel_resize/tap_sums_body.h"
#include "kernel_resize/tap_sums_lanes.h"

namespace {

struct Generic;  // keeps every instantiation below private to this unit
using Sums = tap_sums_body::TapSums<Generic, 2>;

}  // namespace

void sum_eight_taps_generic(const double* const src[8], const double w[8], double* out,
                            std::size_t n) {
    Sums::plain(src, w, out, n);
}

void sum_eight_taps_generic(const unsigned char* const src[8], const double w[8], double* out,
                            std::size_t n) {
    Sums::plain(src, w, out, n);
}

void sum_eight_taps_switched_generic(const double* const src[8], const double w[8],
                                     const double* left, const double* right, double h,
                                     const unsigned char* flag, double* out, std::size_t n) {
    Sums::switched(src, w, left, right, h, flag, out, n);
}

void sum_eight_taps_switched_generic(const unsigned char* const src[8], const double w[8],
                                     const unsigned char* left, const unsigned char* right,
                                     double h, const unsigned char* flag, double* out,
                                     std::size_t n) {
    Sums::switched(src, w, left, right, h, flag, out, n);
}

void sum_eight_taps_generic(const std::uint16_t* const src[8], const double w[8], double* out,
                            std::size_t n) {
    Sums::plain(src, w, out, n);
}

void sum_eight_taps_switched_generic(const std::uint16_t* const src[8], const double w[8],
                                     const std::uint16_t* left, const std::uint16_t* right,
                                     double h, const unsigned char* flag, double* out,
                                     std::size_t n) {
    Sums::switched(src, w, left, right, h, flag, out, n);
}

void unweight_generic(double* v, const double* alpha, std::size_t n) {
    Sums::unweight(v, alpha, n);
}
