#pragma once
// Tolerances of the tests that compare computed doubles with exact values, each named once
// with its reason. Tests of the tool's own results compare bytes and bits exactly instead.

namespace tol {

// Half the distance between 1 and the next double: one rounding of a product or a sum.
inline constexpr double kUnitRoundoff = 1.1102230246251565e-16;

// Transforms (tests/fft, tests/dft_resize).

// An FFT of N points against a long-double DFT, relative to the output's norm: about
// log2(N) / 2 rounds of radix-4 butterflies, each adding a few roundings, and twiddles with a
// few ulps of their own. Two unit roundoffs per binary level stay far above what is measured
// (under half a roundoff per level, 2.7e-16 at N = 16384) while a single wrong or
// single-precision twiddle (1e-8 or worse) fails.
inline constexpr double kFftRoundoffsPerLevel = 2.0;

// The chirp-z DFT, relative to the output's norm: three FFTs of the padded length L plus the
// chirp products, each adding a few roundings per binary level of L; the chirp itself is
// accurate to an ulp because its angle is reduced before it is formed. Four unit roundoffs per
// level of L stay well above the measured error (about one per level at the longest lengths)
// while a chirp formed from unreduced angles (1e-12 at N = 8192) or any wrong index fails.
inline constexpr double kChirpRoundoffsPerLevel = 4.0;

// The half-sample rotation of a line transform adds a product, a sum and a scaling to every
// value, with factors that carry an ulp of cos and sin: counted as two more binary levels of
// the chirp-z bound.
inline constexpr double kRotationLevels = 2.0;

// One value of the chirp exp(-i pi j^2 / N): its angle is exact up to the rounding of pi / N
// and of one product, under 2 pi 2^-52 in all, and cos and sin add half an ulp. Angles formed
// from unreduced j^2 would be off by up to j^2 / N pi 2^-53, 1e-12 for the longest lines.
inline constexpr double kChirpValue = 1.5e-15;

// A value of order one after a handful of roundings (a DFT of two points, one rotation): a few
// ulps, while a wrong sign, index or factor is off by order one.
inline constexpr double kFewRoundings = 1e-15;

// Values quoted to two decimals (the method's worked examples) are off by at most half a unit
// of the last decimal.
inline constexpr double kTwoDecimals = 0.005;

// The DCT enlargement's computed values differ from its closed form by rounding alone, far
// below 1e-9 for the sizes tested; a value this close to a whole number m may truncate to m or
// m - 1, so only there may a byte fall one below the closed form's.
inline constexpr long double kNearWhole = 1e-6L;

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
