// The tap sums compiled for AVX2 (-mavx2): four lines at a time fill a 256-bit register.

#include "kernel_resize/tap_sums_body.h"
#include "kernel_resize/tap_sums_lanes.h"

namespace {

struct Avx2;  // keeps every instantiation below private to this unit
using Sums = tap_sums_body::TapSums<Avx2, 4>;

}  // namespace

void sum_eight_taps_avx2(const double* const src[8], const double w[8], double* out,
                         std::size_t n) {
    Sums::plain(src, w, out, n);
}

void sum_eight_taps_avx2(const unsigned char* const src[8], const double w[8], double* out,
                         std::size_t n) {
    Sums::plain(src, w, out, n);
}

void sum_eight_taps_switched_avx2(const double* const src[8], const double w[8], const double* left,
                                  const double* right, double h, const unsigned char* flag,
                                  double* out, std::size_t n) {
    Sums::switched(src, w, left, right, h, flag, out, n);
}

void sum_eight_taps_switched_avx2(const unsigned char* const src[8], const double w[8],
                                  const unsigned char* left, const unsigned char* right, double h,
                                  const unsigned char* flag, double* out, std::size_t n) {
    Sums::switched(src, w, left, right, h, flag, out, n);
}

void sum_eight_taps_avx2(const std::uint16_t* const src[8], const double w[8], double* out,
                         std::size_t n) {
    Sums::plain(src, w, out, n);
}

void sum_eight_taps_switched_avx2(const std::uint16_t* const src[8], const double w[8],
                                  const std::uint16_t* left, const std::uint16_t* right, double h,
                                  const unsigned char* flag, double* out, std::size_t n) {
    Sums::switched(src, w, left, right, h, flag, out, n);
}

void unweight_avx2(double* v, const double* alpha, std::size_t n) {
    Sums::unweight(v, alpha, n);
}
