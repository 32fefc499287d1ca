#include "app/output_size.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

constexpr int kMaxDigits = 9;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A whole decimal number in int range, with an optional sign.
bool parse_pixels(const std::string& text, int* out) {
    const char* s = text.c_str();
    if (!(*s == '-' || *s == '+' || is_digit(*s))) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (end == s || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

// The decimal text number (no sign, no exponent) as numerator / denominator, read digit by
// digit rather than by strtod, so that no locale, hex form, "inf" or "nan" can slip through and
// the value is exact. false for a malformed number; *too_long for too many digits.
bool parse_decimal(const std::string& number, std::int64_t* numerator, std::int64_t* denominator,
                   bool* too_long) {
    *too_long = false;
    const std::size_t point = number.find('.');
    const std::string whole = number.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : number.substr(point + 1);
    if (whole.empty() && fraction.empty()) return false;
    for (char c : whole + fraction)
        if (!is_digit(c)) return false;
    // Zeros that add nothing do not count as digits: "007x" and "1.500x" are fine.
    std::string digits = whole + fraction;
    std::size_t scale = fraction.size();
    while (scale > 0 && digits.back() == '0') {
        digits.pop_back();
        --scale;
    }
    const std::size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "" : digits.substr(first);
    if (digits.size() > kMaxDigits || scale > kMaxDigits) {
        *too_long = true;
        return false;
    }
    *numerator = 0;
    for (char c : digits) *numerator = *numerator * 10 + (c - '0');
    *denominator = 1;
    for (std::size_t i = 0; i < scale; ++i) *denominator *= 10;
    return true;
}

// numerator / denominator rounded to the nearest whole number, halves up; both at most 2^62.
std::uint64_t rounded_quotient(std::uint64_t numerator, std::uint64_t denominator) {
    return (numerator / denominator) + (numerator % denominator >= (denominator + 1) / 2 ? 1 : 0);
}

Status side_failure(const char* which, const std::string& text, const std::string& why) {
    return Status::failure(StatusCode::bad_size, std::string(which) + " '" + text + "' " + why);
}

}  // namespace

OutputSize OutputSize::exact(int width, int height) {
    OutputSize s;
    s.width.pixels = width;
    s.width.text = std::to_string(width);
    s.height.pixels = height;
    s.height.text = std::to_string(height);
    return s;
}

bool OutputSize::is_exact() const {
    return width.kind == SideSize::Kind::pixels && height.kind == SideSize::Kind::pixels;
}

Status parse_side(const std::string& text, const char* which, SideSize* out) {
    SideSize s;
    s.text = text;
    if (text == "auto") {
        s.kind = SideSize::Kind::automatic;
        *out = s;
        return Status::success();
    }
    if (parse_pixels(text, &s.pixels)) {
        *out = s;
        return Status::success();
    }
    const char last = text.empty() ? '\0' : text.back();
    if (last == 'x' || last == 'X' || last == '%') {
        bool too_long = false;
        if (parse_decimal(text.substr(0, text.size() - 1), &s.numerator, &s.denominator,
                          &too_long)) {
            if (s.numerator == 0) return side_failure(which, text, "must be more than 0");
            if (last == '%') s.denominator *= 100;
            s.kind = SideSize::Kind::fraction;
            *out = s;
            return Status::success();
        }
        if (too_long)
            return side_failure(which, text,
                                "has too many digits (at most 9, and 9 after the point)");
    }
    return side_failure(which, text,
                        "is not a size: give pixels (640), a factor (2x, 1.5x), a percentage "
                        "(200%) or auto");
}

Status parse_output_size(const std::string& width, const std::string& height, OutputSize* out) {
    OutputSize s;
    Status st = parse_side(width, "WIDTH", &s.width);
    if (!st.ok()) return st;
    st = parse_side(height, "HEIGHT", &s.height);
    if (!st.ok()) return st;
    if (s.width.kind == SideSize::Kind::automatic && s.height.kind == SideSize::Kind::automatic)
        return Status::failure(StatusCode::bad_size,
                               "WIDTH and HEIGHT cannot both be auto: give one of them");
    *out = s;
    return Status::success();
}

namespace {

// A side that does not depend on the other one: pixels as given, a fraction of picture_side.
Status resolve_direct(const SideSize& s, const char* which, int picture_side, int* out) {
    if (s.kind == SideSize::Kind::pixels) {
        *out = s.pixels;
        return Status::success();
    }
    // picture_side < 2^31 and numerator < 10^9, so the product stays below 2^62.
    const std::uint64_t v = rounded_quotient(
        static_cast<std::uint64_t>(picture_side) * static_cast<std::uint64_t>(s.numerator),
        static_cast<std::uint64_t>(s.denominator));
    const std::string of = "of the picture's " + std::to_string(picture_side) + " pixels ";
    if (v == 0) return side_failure(which, s.text, of + "comes to 0 pixels");
    if (v > static_cast<std::uint64_t>(INT_MAX))
        return side_failure(which, s.text,
                            of + "comes to " + std::to_string(v) + " pixels, far too many");
    *out = static_cast<int>(v);
    return Status::success();
}

// The side that keeps the proportions: other_out x this_in / other_in.
Status resolve_auto(const SideSize& s, const char* which, int this_in, int other_in, int other_out,
                    int* out) {
    if (other_in <= 0 || other_out < 0)
        return side_failure(which, s.text,
                            "cannot keep the proportions of " + std::to_string(other_out) +
                                " pixels from a picture side of " + std::to_string(other_in));
    // Both factors are below 2^31, so the product stays below 2^62.
    const std::uint64_t v = rounded_quotient(
        static_cast<std::uint64_t>(other_out) * static_cast<std::uint64_t>(this_in),
        static_cast<std::uint64_t>(other_in));
    if (v == 0) return side_failure(which, s.text, "comes to 0 pixels");
    if (v > static_cast<std::uint64_t>(INT_MAX))
        return side_failure(which, s.text,
                            "comes to " + std::to_string(v) + " pixels, far too many");
    *out = static_cast<int>(v);
    return Status::success();
}

}  // namespace

Status resolve_output_size(const OutputSize& size, int W, int H, int* out_width, int* out_height) {
    const bool auto_width = size.width.kind == SideSize::Kind::automatic;
    const bool auto_height = size.height.kind == SideSize::Kind::automatic;
    if (auto_width && auto_height)
        return Status::failure(StatusCode::bad_size,
                               "WIDTH and HEIGHT cannot both be auto: give one of them");
    int w = 0, h = 0;
    Status st = Status::success();
    if (auto_width) {
        st = resolve_direct(size.height, "HEIGHT", H, &h);
        if (st.ok()) st = resolve_auto(size.width, "WIDTH", W, H, h, &w);
    } else {
        st = resolve_direct(size.width, "WIDTH", W, &w);
        if (st.ok())
            st = auto_height ? resolve_auto(size.height, "HEIGHT", H, W, w, &h)
                             : resolve_direct(size.height, "HEIGHT", H, &h);
    }
    if (!st.ok()) return st;
    *out_width = w;
    *out_height = h;
    return Status::success();
}
