#pragma once
// The result's size as people say it on the command line: each side a number of pixels
// ("640"), a factor of the picture's side ("2x", "1.5x"), a percentage of it ("200%"), or
// "auto", which keeps the picture's proportions from the other side. Factors and "auto" need
// the picture's size, so the text is parsed first, before anything is read, and resolved once
// the picture's W x H are known.

#include <cstdint>
#include <string>

#include "base/status.h"

struct SideSize {
    enum class Kind { pixels, fraction, automatic };
    Kind kind = Kind::pixels;
    // Kind::pixels: the side itself, any int (negative sides are refused by the run, not here).
    int pixels = 0;
    // Kind::fraction: the side is the picture's side times numerator / denominator, exactly as
    // written in decimal: "1.5x" is 15 / 10 and "12.5%" is 125 / 1000. numerator is 1 to
    // 999999999, denominator a power of ten from 1 to 10^11.
    std::int64_t numerator = 0;
    std::int64_t denominator = 1;
    std::string text;  // as the user wrote it, for messages
};

struct OutputSize {
    SideSize width, height;
    // Both sides as plain pixel counts.
    static OutputSize exact(int width, int height);
    // Whether the sides can be known without the picture's size.
    bool is_exact() const;
};

// Parses one side. A plain number is a whole decimal number in int range with an optional
// sign, as before factors existed, 0 included. A factor is a decimal number without sign or
// exponent ("2", "1.5", ".5", "2.") followed by 'x' or 'X'; a percentage the same followed by
// '%'. Each has at most 9 significant digits and 9 after the point, and is above 0. "auto"
// keeps the proportions. Anything else is refused as bad_size with a line that names the side
// (which: "WIDTH" or "HEIGHT") and repeats the text.
Status parse_side(const std::string& text, const char* which, SideSize* out);

// Parses WIDTH and HEIGHT; both "auto" is refused as bad_size, since nothing fixes the size.
Status parse_output_size(const std::string& width, const std::string& height, OutputSize* out);

// The result's size for a picture of W x H pixels. A factor gives the picture's side times the
// factor rounded to the nearest whole pixel, halves up; "auto" gives the other side's result
// times the picture's proportion (W / H for the width), rounded the same way, all in exact
// integer arithmetic. Pixel sides pass unchanged. Refused as bad_size, with a line naming the
// side: a computed side of 0 pixels (a plain 0 stays allowed), a computed side above INT_MAX,
// and "auto" following a side that is negative or whose picture side is 0.
Status resolve_output_size(const OutputSize& size, int W, int H, int* out_width, int* out_height);
