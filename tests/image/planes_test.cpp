#include "image/planes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/image/plane_checks.h"

namespace {

TEST(SampleTo8, EveryValueOfEveryDepthUpTo16BitsIsTheNearest) {
    // The nearest byte to v * 255 / max, found in floating point: no quotient lies within
    // 1 / (2 max) of a half, far more than a double's error.
    for (int bits = 1; bits <= 16; ++bits) {
        const std::uint64_t max = (std::uint64_t{1} << bits) - 1;
        for (std::uint64_t v = 0; v <= max; ++v) {
            const long nearest = std::lround(static_cast<double>(v) * 255.0 / static_cast<double>(max));
            ASSERT_EQ(sample_to_8(v, max), nearest) << bits << " bits, value " << v;
        }
    }
}

TEST(SampleTo8, SixteenBitSamplesFollowTheStatedRounding) {
    // (v * 255 + 32767) / 65535, worked by hand: 128 is 0.498 of a step, 129 is 0.502.
    EXPECT_EQ(sample_to_8(128, 65535), 0);
    EXPECT_EQ(sample_to_8(129, 65535), 1);
    EXPECT_EQ(sample_to_8(257 * 200, 65535), 200);
    EXPECT_EQ(sample_to_8(65535, 65535), 255);
}

TEST(SampleTo8, WideFieldsOfA32BitPixel) {
    EXPECT_EQ(sample_to_8(0xFFFFFFFFu, 0xFFFFFFFFu), 255);
    EXPECT_EQ(sample_to_8(0x80000000u, 0xFFFFFFFFu), 128);  // 127.50000003
    EXPECT_EQ(sample_to_8(1023, 1023), 255);                 // a 10-bit field
    EXPECT_EQ(sample_to_8(512, 1023), 128);
}

TEST(DecodeSize, SidesBelowOneAreInvalid) {
    for (auto size : {std::pair<int, int>{0, 5}, {5, 0}, {-3, 5}}) {
        Status st = check_decode_size("a.png", size.first, size.second, false, 0, DecodeLimits{});
        EXPECT_EQ(st.code, StatusCode::bad_header);
        EXPECT_TRUE(clear_refusal(st, "a.png", "invalid size"));
    }
}

TEST(DecodeSize, NothingLargerThanA24BitBmpCanHold) {
    DecodeLimits any_size;
    any_size.max_pixels = 0;
    Status huge = check_decode_size("huge.png", 100000, 100000, false, 0, any_size);
    EXPECT_EQ(huge.code, StatusCode::too_large);
    EXPECT_TRUE(clear_refusal(huge, "huge.png", "100000 x 100000"));
    // The largest square whose BMP stays below 2 GiB passes, one more row does not.
    EXPECT_TRUE(check_decode_size("a.png", 26000, 26000, true, 0, any_size).ok());
    EXPECT_EQ(check_decode_size("a.png", 65536, 10922, false, 0, any_size).code, StatusCode::ok);
    EXPECT_EQ(check_decode_size("a.png", 65536, 10923, false, 0, any_size).code,
              StatusCode::too_large);
}

// The limit on pixels at its edge: the default, and one the user set. (The refusals' words
// are those the driver prints, tests/app/driver_test.cpp.)
TEST(DecodeSize, PicturesPastThePixelLimitAreRefused) {
    EXPECT_TRUE(check_decode_size("a.png", 20000, 12500, false, 0, DecodeLimits{}).ok());
    EXPECT_TRUE(clear_refusal(check_decode_size("a.png", 20000, 12501, false, 0, DecodeLimits{}),
                              "a.png", "more than the 250000000 read by default"));
    DecodeLimits set;
    set.max_pixels = 1000;
    set.max_pixels_set = true;
    EXPECT_TRUE(check_decode_size("a.png", 40, 25, false, 0, set).ok());
    EXPECT_TRUE(clear_refusal(check_decode_size("a.png", 41, 25, false, 0, set), "a.png",
                              "more than the 1000 the limit set allows"));
}

TEST(InterleaveRows, RowsOfEitherOrderBottomUpLeavingThePaddingAlone) {
    // Sample (x, t) of channel c is 100 c + 10 x + t, in planes of 2 x 3 laid out either way;
    // rows 1 and 2 go bottom-up into rows of 8 bytes, the last two of which are padding.
    std::uint8_t by_column[3][6], by_row[3][6];
    for (int c = 0; c < 3; ++c)
        for (int x = 0; x < 2; ++x)
            for (int t = 0; t < 3; ++t) {
                const auto v = static_cast<std::uint8_t>(100 * c + 10 * x + t);
                by_column[c][x * 3 + t] = v;
                by_row[c][t * 2 + x] = v;
            }
    const std::vector<std::uint8_t> want = {2, 102, 202, 12, 112, 212, 0xEE, 0xEE,   // row 2
                                            1, 101, 201, 11, 111, 211, 0xEE, 0xEE};  // row 1
    for (PlaneOrder order : {PlaneOrder::by_column, PlaneOrder::by_row}) {
        const auto& p = order == PlaneOrder::by_column ? by_column : by_row;
        const std::uint8_t* planes[3] = {p[0], p[1], p[2]};
        std::vector<std::uint8_t> rows(16, 0xEE);
        interleave_rows(planes, 3, 2, 3, order, 1, 2, rows.data() + 8, -8);
        EXPECT_EQ(rows, want) << (order == PlaneOrder::by_row ? "by row" : "by column");
    }
}

// Wider than the tiles columns are gathered in, with alpha: both orders give the same rows.
TEST(InterleaveRows, ColumnsPastOneTileWithAlphaAsByRow) {
    const int w = 150, h = 5;
    std::vector<std::uint8_t> by_column[4], by_row[4];
    for (int c = 0; c < 4; ++c) {
        by_column[c].resize(w * h);
        by_row[c].resize(w * h);
        for (int x = 0; x < w; ++x)
            for (int t = 0; t < h; ++t)
                by_column[c][x * h + t] = by_row[c][t * w + x] =
                    static_cast<std::uint8_t>(31 * c + 7 * x + 3 * t);
    }
    const std::uint8_t* cols[4] = {by_column[0].data(), by_column[1].data(), by_column[2].data(),
                                   by_column[3].data()};
    const std::uint8_t* rows_of[4] = {by_row[0].data(), by_row[1].data(), by_row[2].data(),
                                      by_row[3].data()};
    std::vector<std::uint8_t> got(4 * w * 3), want(4 * w * 3);
    interleave_rows(cols, 4, w, h, PlaneOrder::by_column, 1, 3, got.data(), 4 * w);
    interleave_rows(rows_of, 4, w, h, PlaneOrder::by_row, 1, 3, want.data(), 4 * w);
    EXPECT_EQ(got, want);
    EXPECT_EQ(got[4 * w + 4 * 100 + 3], static_cast<std::uint8_t>(31 * 3 + 7 * 100 + 3 * 2));
}

// Feeds pic's rows, in the given order, through RowsToPlanes.
PlanarPicture through_rows(const TestPicture& pic, const std::vector<std::uint8_t>& alpha,
                           bool bottom_up) {
    PlanarPicture out;
    take_planes(pic.width, pic.height, !alpha.empty(), &out);
    RowsToPlanes rows(&out);
    for (int i = 0; i < pic.height; ++i) {
        const int t = bottom_up ? pic.height - 1 - i : i;
        std::uint8_t* row = rows.row(t);
        for (int x = 0; x < pic.width; ++x) {
            const Rgb c = pic.at(x, t);
            row[4 * x] = c.r;
            row[4 * x + 1] = c.g;
            row[4 * x + 2] = c.b;
            row[4 * x + 3] = alpha.empty() ? 0 : alpha[static_cast<std::size_t>(t * pic.width + x)];
        }
    }
    rows.finish();
    return out;
}

TEST(RowsToPlanes, RowsInEitherOrderAcrossGroupBoundaries) {
    for (int height : {1, 31, 32, 33, 70}) {
        for (bool bottom_up : {false, true}) {
            TestPicture pic = random_picture(5, height, static_cast<std::uint32_t>(height));
            PlanarPicture got = through_rows(pic, {}, bottom_up);
            EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)))
                << "height " << height << (bottom_up ? " bottom-up" : " top-down");
            EXPECT_FALSE(got.has_alpha());
        }
    }
}

// A file of a few bytes can claim a picture of a few rows of millions of pixels (run-length
// data); the rows held while decoding must then stay within the picture's own size.
TEST(RowsToPlanes, AShortPictureHoldsNoMoreRowsThanItHas) {
    EXPECT_EQ(RowsToPlanes::working_bytes(16'000'000, 3), 3u * 4 * 16'000'000);
    EXPECT_EQ(RowsToPlanes::working_bytes(100, 1000), 32u * 4 * 100);
    EXPECT_EQ(rows_per_group(0), 1u);
}

TEST(RowsToPlanes, AlphaIsKeptWhenAnyPixelIsNotOpaque) {
    TestPicture pic = random_picture(3, 40, 4);
    std::vector<std::uint8_t> alpha(3 * 40, 255);
    alpha[3 * 37 + 2] = 254;  // one pixel in the second group
    PlanarPicture got = through_rows(pic, alpha, true);
    EXPECT_TRUE(same_alpha(got, alpha));
    EXPECT_TRUE(same_colour_planes(got, expected_planes(pic)));
}

TEST(RowsToPlanes, AnAllOpaqueAlphaPlaneIsDropped) {
    TestPicture pic = random_picture(3, 4, 5);
    PlanarPicture got = through_rows(pic, std::vector<std::uint8_t>(12, 255), false);
    EXPECT_TRUE(same_alpha(got, {}));
}

}  // namespace
