#pragma once
// Sine and cosine rounded once: sin_rounded(x) is the double nearest the exact sine of the
// double x (ties cannot occur), and so on for cos_rounded, for every finite x. NaN and the
// infinities give NaN. The results depend on nothing but x: not on the platform, its maths
// library, the compiler or the processor.
//
// Why: the methods' tables of sines and cosines (twiddles, chirps, rotations, Lanczos-3
// weights) decide result bytes, because truncation to bytes turns a last-bit difference into a
// sample one lower, and the C libraries' sin and cos differ in the last bit on some arguments
// (MinGW's from glibc's). glibc's agree with these on every argument the methods use (see
// bench/trig_check.cpp for the comparison), so the Linux results are what they always were.
//
// How: in double-double arithmetic after a reduction by pi/2 held to about 200 bits, with an
// error bound that decides whether the double-double value rounds safely; where it cannot tell
// (about one argument in 2^40), by arbitrary-precision fixed-point arithmetic, refined until
// it can. Plain IEEE double operations only, so the build's -ffp-contract=off and round to
// nearest make them the same everywhere. Thread-safe; no state.

double sin_rounded(double x);
double cos_rounded(double x);

// The same values computed by the arbitrary-precision path alone, however easy the argument.
// Only the tests and the comparison program call these, to hold the fast path to them.
double sin_rounded_slowly(double x);
double cos_rounded_slowly(double x);
