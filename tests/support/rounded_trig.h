#pragma once
// Sine and cosine rounded once, the same on every platform: a reference for the tests and for
// bench/trig_check.cpp, not taken by the methods.

// Sine and cosine rounded once: sin_rounded(x) is the double nearest the exact sine of the
// double x (ties cannot occur), and so on for cos_rounded, for every finite x. NaN and the
// infinities give NaN. The results depend on nothing but x: not on the platform, its maths
// library, the compiler or the processor.
//
// Cost: about four times glibc's sin on most arguments; one in a thousand takes a slower
// double-double evaluation and about one in 2^40 an arbitrary-precision one, refined until the
// rounding is sure. Plain IEEE double operations only, so the build's -ffp-contract=off and
// round to nearest make them the same everywhere. Thread-safe; no state. The methods do not take
// them (base/trig.h says why): the tests' landscape picture does, so that both builds test the
// same input, and bench/trig_check.cpp holds the C libraries to them.
double sin_rounded(double x);
double cos_rounded(double x);

// The same values computed by the arbitrary-precision path alone, however easy the argument.
// Only the tests and the comparison program call these, to hold the fast path to them.
double sin_rounded_slowly(double x);
double cos_rounded_slowly(double x);
