#pragma once
// The sine and cosine of the methods, and sine and cosine rounded once, the same on every
// platform.

#include <cmath>

// Sine and cosine rounded once: sin_rounded(x) is the double nearest the exact sine of the
// double x (ties cannot occur), and so on for cos_rounded, for every finite x. NaN and the
// infinities give NaN. The results depend on nothing but x: not on the platform, its maths
// library, the compiler or the processor.
//
// Cost: about four times glibc's sin on most arguments; one in a thousand takes a slower
// double-double evaluation and about one in 2^40 an arbitrary-precision one, refined until the
// rounding is sure. Plain IEEE double operations only, so the build's -ffp-contract=off and
// round to nearest make them the same everywhere. Thread-safe; no state. The methods do not take
// them (see sine below): the tests' landscape picture (tests/support) does, so that both builds
// test the same input, and bench/trig_check.cpp holds the C libraries to them.
double sin_rounded(double x);
double cos_rounded(double x);

// The same values computed by the arbitrary-precision path alone, however easy the argument.
// Only the tests and the comparison program call these, to hold the fast path to them.
double sin_rounded_slowly(double x);
double cos_rounded_slowly(double x);

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
// sin_rounded and cos_rounded bring Windows no nearer than MinGW's own: over 101 enlargements
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
