#pragma once
// Sine and cosine rounded once: sin_rounded(x) is the double nearest the exact sine of the
// double x (ties cannot occur), and so on for cos_rounded, for every finite x. NaN and the
// infinities give NaN. The results depend on nothing but x: not on the platform, its maths
// library, the compiler or the processor.
//
// Why: the methods' tables of sines and cosines (twiddles, chirps, rotations, Lanczos-3
// weights) decide result bytes, because truncation to bytes turns a last-bit difference into a
// sample one lower, and the C libraries' sin and cos are not rounded once: they differ from
// each other, and glibc's even between processors with and without fused multiply-add, in the
// last bit of about one argument in 700 (bench/trig_check.cpp counts them).
//
// Cost: about four times glibc's sin on most arguments; one in a thousand takes a slower
// double-double evaluation and about one in 2^40 an arbitrary-precision one, refined until the
// rounding is sure. Plain IEEE double operations only, so the build's -ffp-contract=off and
// round to nearest make them the same everywhere. Thread-safe; no state.

double sin_rounded(double x);
double cos_rounded(double x);

// The same values computed by the arbitrary-precision path alone, however easy the argument.
// Only the tests and the comparison program call these, to hold the fast path to them.
double sin_rounded_slowly(double x);
double cos_rounded_slowly(double x);
