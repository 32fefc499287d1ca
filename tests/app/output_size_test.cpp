// Sizes as people say them: which texts are sizes, and what each comes to for a picture.

#include "app/output_size.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// The size "width height" comes to for a W x H picture, or the refusal's message.
struct Resolved {
    bool ok = false;
    int width = 0, height = 0;
    std::string message;
};

Resolved resolve(const std::string& width, const std::string& height, int W, int H) {
    Resolved r;
    OutputSize size;
    const Status parsed = parse_output_size(width, height, &size);
    if (!parsed.ok()) {
        r.message = parsed.message;
        return r;
    }
    const Status st = resolve_output_size(size, W, H, &r.width, &r.height);
    r.ok = st.ok();
    r.message = st.message;
    return r;
}

TEST(ParseSide, PlainNumbersKeepTheirMeaningZeroAndSignsIncluded) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"0", 0},
        {"640", 640},
        {"+7", 7},
        {"-5", -5},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases) {
        SideSize s;
        ASSERT_TRUE(parse_side(c.first, "WIDTH", &s).ok()) << c.first;
        EXPECT_EQ(s.kind, SideSize::Kind::pixels) << c.first;
        EXPECT_EQ(s.pixels, c.second) << c.first;
    }
}

TEST(ParseSide, FactorsAndPercentagesAreExactDecimalFractions) {
    struct Case {
        const char* text;
        std::int64_t numerator, denominator;
    };
    const Case cases[] = {
        {"2x", 2, 1},
        {"2X", 2, 1},
        {"1.5x", 15, 10},
        {".5x", 5, 10},
        {"2.x", 2, 1},
        {"1.500x", 15, 10},
        {"007x", 7, 1},
        {"200%", 200, 100},
        {"12.5%", 125, 1000},
        {"0.000000001x", 1, 1000000000},
        {"999999999x", 999999999, 1},
        {"0.000000001%", 1, 100000000000},
    };
    for (const Case& c : cases) {
        SideSize s;
        ASSERT_TRUE(parse_side(c.text, "WIDTH", &s).ok()) << c.text;
        EXPECT_EQ(s.kind, SideSize::Kind::fraction) << c.text;
        EXPECT_EQ(s.numerator, c.numerator) << c.text;
        EXPECT_EQ(s.denominator, c.denominator) << c.text;
        EXPECT_EQ(s.text, c.text);
    }
}

TEST(ParseSide, RefusesWhatIsNoSizeNamingTheSideAndTheText) {
    const char* malformed[] = {
        "",
        "x",
        "%",
        ".x",
        "1.2.3x",
        "-2x",
        "+2x",
        "1e3x",
        "1e3",
        "0x10",
        "0x1p3x",
        "infx",
        "nanx",
        "inf",
        "nan",
        " 2x",
        "2x ",
        "2xx",
        "2 x",
        "2x%",
        "Auto",
        "auto ",
        "1,5x",
        "2147483648",
        "-2147483649",
        "99999999999999999999",
        "ten",
        "２x",
    };
    for (const char* text : malformed) {
        SideSize s;
        const Status st = parse_side(text, "HEIGHT", &s);
        EXPECT_EQ(st.code, StatusCode::bad_size) << "'" << text << "'";
        EXPECT_EQ(st.message.rfind(std::string("HEIGHT '") + text + "' ", 0), 0u) << st.message;
    }
}

TEST(ParseSide, RefusesZeroFactorsAndTooManyDigits) {
    for (const char* text : {"0x", "0%", "0.0x", ".0%", "000x"}) {
        SideSize s;
        const Status st = parse_side(text, "WIDTH", &s);
        EXPECT_EQ(st.code, StatusCode::bad_size) << text;
        EXPECT_NE(st.message.find("more than 0"), std::string::npos) << st.message;
    }
    for (const char* text : {"1234567890x", "0.0000000001x", "1.0000000001%", "12345.678901x"}) {
        SideSize s;
        const Status st = parse_side(text, "WIDTH", &s);
        EXPECT_EQ(st.code, StatusCode::bad_size) << text;
        EXPECT_NE(st.message.find("too many digits"), std::string::npos) << st.message;
    }
}

TEST(ParseOutputSize, OneAutoIsFineBothAreRefused) {
    OutputSize s;
    EXPECT_TRUE(parse_output_size("auto", "2x", &s).ok());
    EXPECT_EQ(s.width.kind, SideSize::Kind::automatic);
    EXPECT_FALSE(s.is_exact());
    EXPECT_TRUE(parse_output_size("50", "auto", &s).ok());
    EXPECT_TRUE(parse_output_size("50", "40", &s).ok());
    EXPECT_TRUE(s.is_exact());
    const Status st = parse_output_size("auto", "auto", &s);
    EXPECT_EQ(st.code, StatusCode::bad_size);
    EXPECT_NE(st.message.find("both be auto"), std::string::npos) << st.message;
}

struct ResolveCase {
    const char* name;
    const char *width, *height;
    int W, H;
    int want_width, want_height;
};

void PrintTo(const ResolveCase& c, std::ostream* os) {
    *os << c.name;
}

class ResolveOutputSize : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveOutputSize, GivesTheSidesRoundedToTheNearestPixelHalvesUp) {
    const ResolveCase& c = GetParam();
    const Resolved r = resolve(c.width, c.height, c.W, c.H);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.width, c.want_width);
    EXPECT_EQ(r.height, c.want_height);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResolveOutputSize,
    ::testing::Values(ResolveCase{"PixelsPassUnchanged", "13", "0", 8, 6, 13, 0},
                      ResolveCase{"TwiceAsFactorAndPercentage", "2x", "200%", 8, 6, 16, 12},
                      ResolveCase{"HalfAPixelRoundsUp", "1.5x", "0.5x", 7, 3, 11, 2},
                      ResolveCase{"BelowHalfRoundsDown", "33.3%", "1.1x", 10, 4, 3, 4},
                      ResolveCase{"TinyPercentageHalf", "2.5%", "12.5%", 20, 4, 1, 1},
                      ResolveCase{"AutoHeightHalfUp", "50", "auto", 8, 6, 50, 38},
                      ResolveCase{"AutoWidthFromAFactor", "auto", "3x", 8, 6, 24, 18},
                      ResolveCase{"AutoWidthThirds", "auto", "10", 3, 7, 4, 10},
                      ResolveCase{"AutoOfAThinPicture", "auto", "1", 1000, 1, 1000, 1},
                      ResolveCase{"LargestFactorOnASmallSide", "999999999x", "1", 2, 1, 1999999998,
                                  1},
                      ResolveCase{"AutoNearIntMax", "auto", "2147483647", 1, 1, INT_MAX, INT_MAX}),
    [](const auto& p) { return std::string(p.param.name); });

// "1.25x" and "125%" are one size; a whole factor is an exact multiple.
TEST(ResolveOutputSize, PercentagesAreFactorsAndWholeFactorsMultiply) {
    for (int side = 1; side <= 300; ++side) {
        const Resolved factor = resolve("1.25x", "3x", side, side);
        const Resolved percent = resolve("125%", "300%", side, side);
        ASSERT_TRUE(factor.ok && percent.ok) << side;
        EXPECT_EQ(factor.width, percent.width) << side;
        EXPECT_EQ(factor.width, (side * 125 + 50) / 100) << side;
        EXPECT_EQ(factor.height, 3 * side) << side;
    }
}

TEST(ResolveOutputSize, RefusesComputedSidesOfZeroOrPastIntRange) {
    struct Case {
        const char *width, *height;
        int W, H;
        const char* says;
    };
    const Case cases[] = {
        {"1%", "5", 8, 6, "WIDTH '1%' of the picture's 8 pixels comes to 0 pixels"},
        {"5", "0.1x", 8, 4, "HEIGHT '0.1x' of the picture's 4 pixels comes to 0 pixels"},
        {"1", "auto", 1000, 1, "HEIGHT 'auto' comes to 0 pixels"},
        {"0", "auto", 8, 6, "HEIGHT 'auto' comes to 0 pixels"},
        {"999999999x", "1", 2147483647, 1, "far too many"},
        {"auto", "2147483647", 2147483647, 1, "far too many"},
        {"-3", "auto", 8, 6, "cannot keep the proportions"},
        {"auto", "5", 8, 0, "cannot keep the proportions"},
    };
    for (const Case& c : cases) {
        const Resolved r = resolve(c.width, c.height, c.W, c.H);
        EXPECT_FALSE(r.ok) << c.width << " " << c.height;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    }
}

}  // namespace
