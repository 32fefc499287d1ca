#include "base/numeric.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Every angle of the tool derives from kPi; it must be the value 4 * atan(1.0) gives, on every
// platform's maths library, or results would differ between them.
TEST(Pi, IsFourTimesTheArcTangentOfOne) {
    EXPECT_EQ(kPi, 4.0 * std::atan(1.0));
    EXPECT_EQ(kPi / 4, std::atan(1.0));
}

TEST(ClampToByte, ClampsThenTruncates) {
    EXPECT_EQ(clamp_to_byte(-0.5), 0);
    EXPECT_EQ(clamp_to_byte(-300.0), 0);
    EXPECT_EQ(clamp_to_byte(0.7), 0);
    EXPECT_EQ(clamp_to_byte(12.999999), 12);
    EXPECT_EQ(clamp_to_byte(254.99), 254);
    EXPECT_EQ(clamp_to_byte(255.0), 255);
    EXPECT_EQ(clamp_to_byte(255.5), 255);
    EXPECT_EQ(clamp_to_byte(1e300), 255);
    EXPECT_EQ(clamp_to_byte(std::nan("")), 0);
}


}  // namespace
