#pragma once
// Tolerances of the tests that compare computed doubles with exact values, each named once
// with its reason. Tests of the tool's own results compare bytes and bits exactly instead.

namespace tol {

// Half the distance between 1 and the next double: one rounding of a product or a sum.
inline constexpr double kUnitRoundoff = 1.1102230246251565e-16;

// Transforms (tests/fft, tests/dft_resize).

// Resamplers (tests/kernel_resize).

// A kernel value or a normalised weight (magnitude below 1) against its exact value: a sine
// from the maths library and a few divisions, each off by at most an ulp below 1.
inline constexpr double kKernelValue = 8 * kUnitRoundoff;

// The kernel at a whole-number distance is not zero: pi rounded to a double leaves sin(k pi)
// at about k * 1.2e-16, which the kernel then divides by k pi. It stays far below this bound.
inline constexpr double kWholeNumberResidue = 1e-15;

// A source position below 2^16 by two algebraically equal formulas: each rounds a few times,
// every rounding at most 2^16 * kUnitRoundoff (7.3e-12).
inline constexpr double kLongLinePosition = 8 * 65536.0 * kUnitRoundoff;

// A two-tap interpolation of samples below 256: two products and a sum, each rounding at most
// 256 * kUnitRoundoff.
inline constexpr double kTwoTapValue = 4 * 256.0 * kUnitRoundoff;

// Overshoots quoted to one decimal ("about 6.9").
inline constexpr double kOneDecimal = 0.05;

}  // namespace tol
