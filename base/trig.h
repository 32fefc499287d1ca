#pragma once
// The sine and cosine of the methods.

#include <cmath>

// The sine and cosine every method takes (twiddles, chirps, rotations, Lanczos-3 weights): the
// C library's, on every platform. Their last bits decide result bytes, because truncation to
// bytes turns a last-bit difference into a sample one lower, and no two libraries round alike.
// On the 379 million arguments of the methods' four kinds that bench/trig_check.cpp makes,
// glibc's values (on a processor with fused multiply-add) differ from the nearest doubles in
// one in 734, MinGW's from glibc's in one in 525, and glibc's without fused multiply-add from
// its own with it in one in 1490.
//
// Linux keeps glibc's: every result on Linux was fixed with them. No portable routine gives
// glibc's bits everywhere (they are neither rounded once nor the same on every processor), and
// a correctly rounded sine and cosine (tests/support/rounded_trig.h) bring Windows no nearer than MinGW's own: over 101 enlargements
// (203 million samples a method) the Windows results differed from Linux's in 9,067, 9,260 and
// 1,427,704 samples (Lanczos-3, Hybrid, DCT) with MinGW's, and in 9,030, 9,224 and 1,427,902
// with the rounded ones; the DCT's nearly all at whole odd factors (3, 5, 7), where a sample
// lands on each of the picture's pixels and is a whole level in exact arithmetic.
inline double sine(double x) {
    return std::sin(x);
}

inline double cosine(double x) {
    return std::cos(x);
}
