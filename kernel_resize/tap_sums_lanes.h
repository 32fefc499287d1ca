#pragma once
// The entry points of tap_sums.h once per instruction set, each in a translation unit of its
// own compiled for that set (base/isa.h); tap_sums.cpp calls the one active_isa() names. Every
// set computes the same bits. The avx2 and avx512 ones exist only where ENLARGE3_HAVE_X86_LANES
// is defined.

#include <cstddef>
#include <cstdint>

void sum_eight_taps_generic(const double* const src[8], const double w[8], double* out,
                            std::size_t n);
void sum_eight_taps_generic(const unsigned char* const src[8], const double w[8], double* out,
                            std::size_t n);
void sum_eight_taps_switched_generic(const double* const src[8], const double w[8],
                                     const double* left, const double* right, double h,
                                     const unsigned char* flag, double* out, std::size_t n);
void sum_eight_taps_switched_generic(const unsigned char* const src[8], const double w[8],
                                     const unsigned char* left, const unsigned char* right,
                                     double h, const unsigned char* flag, double* out,
                                     std::size_t n);
void sum_eight_taps_generic(const std::uint16_t* const src[8], const double w[8], double* out,
                            std::size_t n);
void sum_eight_taps_switched_generic(const std::uint16_t* const src[8], const double w[8],
                                     const std::uint16_t* left, const std::uint16_t* right,
                                     double h, const unsigned char* flag, double* out,
                                     std::size_t n);
void unweight_generic(double* v, const double* alpha, std::size_t n);

#ifdef ENLARGE3_HAVE_X86_LANES
void sum_eight_taps_avx2(const double* const src[8], const double w[8], double* out, std::size_t n);
void sum_eight_taps_avx2(const unsigned char* const src[8], const double w[8], double* out,
                         std::size_t n);
void sum_eight_taps_switched_avx2(const double* const src[8], const double w[8], const double* left,
                                  const double* right, double h, const unsigned char* flag,
                                  double* out, std::size_t n);
void sum_eight_taps_switched_avx2(const unsigned char* const src[8], const double w[8],
                                  const unsigned char* left, const unsigned char* right, double h,
                                  const unsigned char* flag, double* out, std::size_t n);
void sum_eight_taps_avx2(const std::uint16_t* const src[8], const double w[8], double* out,
                         std::size_t n);
void sum_eight_taps_switched_avx2(const std::uint16_t* const src[8], const double w[8],
                                  const std::uint16_t* left, const std::uint16_t* right, double h,
                                  const unsigned char* flag, double* out, std::size_t n);
void unweight_avx2(double* v, const double* alpha, std::size_t n);

void sum_eight_taps_avx512(const double* const src[8], const double w[8], double* out,
                           std::size_t n);
void sum_eight_taps_avx512(const unsigned char* const src[8], const double w[8], double* out,
                           std::size_t n);
void sum_eight_taps_switched_avx512(const double* const src[8], const double w[8],
                                    const double* left, const double* right, double h,
                                    const unsigned char* flag, double* out, std::size_t n);
void sum_eight_taps_switched_avx512(const unsigned char* const src[8], const double w[8],
                                    const unsigned char* left, const unsigned char* right, double h,
                                    const unsigned char* flag, double* out, std::size_t n);
void sum_eight_taps_avx512(const std::uint16_t* const src[8], const double w[8], double* out,
                           std::size_t n);
void sum_eight_taps_switched_avx512(const std::uint16_t* const src[8], const double w[8],
                                    const std::uint16_t* left, const std::uint16_t* right, double h,
                                    const unsigned char* flag, double* out, std::size_t n);
void unweight_avx512(double* v, const double* alpha, std::size_t n);
#endif
