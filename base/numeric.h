#pragma once
// Small numeric helpers that every layer uses, each defined once.

#include <cstddef>
#include <cstdint>

// pi as the tool computes it: 4 * atan(1.0), which is the double nearest pi (atan(1.0) is the
// double nearest pi / 4, and multiplying by 4 is exact). A test holds the two equal.
inline constexpr double kPi = 3.141592653589793;

// A computed sample to a byte: below 0 (and NaN) gives 0, above 255 gives 255, everything else
// is truncated toward zero, never rounded.
inline std::uint8_t clamp_to_byte(double v) {
    if (!(v > 0.0)) return 0;
    if (v > 255.0) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

// A count or index that is known not to be negative, as a size.
inline std::size_t to_size(int v) {
    return static_cast<std::size_t>(v);
}
