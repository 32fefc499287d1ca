#pragma once
// Tolerances of the tests that compare computed doubles with exact values, each named once
// with its reason. Tests of the tool's own results compare bytes and bits exactly instead.

namespace tol {

// Half the distance between 1 and the next double: one rounding of a product or a sum.
inline constexpr double kUnitRoundoff = 1.1102230246251565e-16;

// Transforms (tests/fft, tests/dft_resize).

// Resamplers (tests/kernel_resize).

}  // namespace tol
