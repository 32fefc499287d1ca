#include "fft/complex_fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "tests/fft/fft_reference.h"

namespace {

using fft_test::direct_dft;
using fft_test::error_bound;
using fft_test::random_points;
using fft_test::relative_error;

struct Tables {
    std::vector<int> ip = std::vector<int>(fft_test::kIpLength, 0);
    std::vector<double> w = std::vector<double>(fft_test::kWLength, 0.0);
};

void transform(int sign, std::vector<double>& a, Tables& t) {
    complex_fft(static_cast<int>(a.size()), sign, a.data(), t.ip.data(), t.w.data());
}

std::vector<int> all_lengths() {
    std::vector<int> v;
    for (int n = 4; n <= fft_test::kMaxN; n *= 2) v.push_back(n);
    return v;
}

class FftBySizeAndSign : public ::testing::TestWithParam<std::tuple<int, int>> {};

std::string size_and_sign_name(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
    return "n" + std::to_string(std::get<0>(info.param)) +
           (std::get<1>(info.param) < 0 ? "_minus" : "_plus");
}

TEST_P(FftBySizeAndSign, MatchesDirectDft) {
    const auto [n, sign] = GetParam();
    Tables t;
    std::vector<double> a = random_points(n, static_cast<unsigned>(n) + 7u);
    const auto want = direct_dft(a, sign);
    transform(sign, a, t);
    const double err = relative_error(a, want);
    EXPECT_LT(err, error_bound(n / 2)) << "n = " << n << ", sign = " << sign;
}

TEST_P(FftBySizeAndSign, ImpulseAtZeroGivesAllOnes) {
    const auto [n, sign] = GetParam();
    Tables t;
    std::vector<double> a(n, 0.0);
    a[0] = 1.0;
    transform(sign, a, t);
    for (int k = 0; k < n / 2; ++k) {
        ASSERT_EQ(a[2 * k], 1.0) << "point " << k;
        ASSERT_EQ(a[2 * k + 1], 0.0) << "point " << k;
    }
}

TEST_P(FftBySizeAndSign, ImpulseAtOneGivesRootsOfUnity) {
    const auto [n, sign] = GetParam();
    const int N = n / 2;
    Tables t;
    std::vector<double> a(n, 0.0);
    a[2] = 1.0;
    transform(sign, a, t);
    const double bound = error_bound(N);
    for (int k = 0; k < N; ++k) {
        const long double angle = 2 * fft_test::kPi * k / N;
        ASSERT_NEAR(a[2 * k], static_cast<double>(std::cos(angle)), bound) << "point " << k;
        ASSERT_NEAR(a[2 * k + 1], static_cast<double>((sign < 0 ? -1 : 1) * std::sin(angle)), bound)
            << "point " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(AllLengths, FftBySizeAndSign,
                         ::testing::Combine(::testing::ValuesIn(all_lengths()),
                                            ::testing::Values(-1, 1)),
                         size_and_sign_name);

std::string length_name(const ::testing::TestParamInfo<int>& p) {
    return "n" + std::to_string(p.param);
}

class FftRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(FftRoundTrip, MinusThenPlusGivesNTimesTheInput) {
    const int n = GetParam();
    const double N = n / 2;
    Tables t;
    const std::vector<double> x = random_points(n, 12345u);
    std::vector<double> a = x;
    transform(-1, a, t);
    transform(+1, a, t);
    std::vector<long double> want(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) want[i] = N * x[i];
    EXPECT_LT(relative_error(a, want), 2 * error_bound(n / 2));
}

INSTANTIATE_TEST_SUITE_P(AllLengths, FftRoundTrip, ::testing::ValuesIn(all_lengths()), length_name);

TEST(FftShortLengths, OnePointIsLeftUnchanged) {
    for (int sign : {-1, 1}) {
        Tables t;
        std::vector<double> a = {0.25, -3.5};
        transform(sign, a, t);
        EXPECT_EQ(a, (std::vector<double>{0.25, -3.5})) << "sign " << sign;
    }
}

TEST(FftShortLengths, TwoPointsGiveSumAndDifference) {
    for (int sign : {-1, 1}) {
        Tables t;
        std::vector<double> a = {1.0, 2.0, 0.5, -4.0};
        transform(sign, a, t);
        EXPECT_EQ(a, (std::vector<double>{1.5, -2.0, 0.5, 6.0})) << "sign " << sign;
    }
}

TEST(FftShortLengths, PowersOfIGoToBinThreeForPlusAndBinOneForMinus) {
    // x[j] = i^j = exp(2 pi i j / 4): the plus transform sends it to k = -1 mod 4 = 3.
    const std::vector<double> powers_of_i = {1, 0, 0, 1, -1, 0, 0, -1};
    Tables t;
    std::vector<double> a = powers_of_i;
    transform(+1, a, t);
    EXPECT_EQ(a, (std::vector<double>{0, 0, 0, 0, 0, 0, 4, 0}));
    a = powers_of_i;
    transform(-1, a, t);
    EXPECT_EQ(a, (std::vector<double>{0, 0, 4, 0, 0, 0, 0, 0}));
}

TEST(FftTables, AreBuiltOnlyForALongerTransform) {
    Tables t;
    std::vector<double> a(4096, 0.0);
    transform(-1, a, t);
    EXPECT_EQ(t.ip[0], 1024);
    EXPECT_EQ(t.ip[1], 1);

    const std::vector<double> built = t.w;
    std::vector<double> shorter(64, 0.0);
    transform(-1, shorter, t);
    EXPECT_EQ(t.ip[0], 1024);
    EXPECT_EQ(t.w, built);

    std::vector<double> longer(8192, 0.0);
    transform(-1, longer, t);
    EXPECT_EQ(t.ip[0], 2048);
}

TEST(FftTables, SmallestTablesHoldTheirExactValues) {
    const double cos_pi_4 = std::sqrt(0.5);
    const double cos_pi_8 = std::sqrt(2.0 + std::sqrt(2.0)) / 2.0;
    const double sin_pi_8 = std::sqrt(2.0 - std::sqrt(2.0)) / 2.0;
    const double untouched = -99.0;

    std::vector<int> ip(2, 0);
    std::vector<double> w(8, untouched);
    make_twiddle_table(4, ip.data(), w.data());
    EXPECT_EQ(ip[0], 4);
    EXPECT_EQ(w[0], 1.0);
    EXPECT_DOUBLE_EQ(w[1], cos_pi_4);
    EXPECT_EQ(w[2], untouched);
    EXPECT_EQ(w[3], untouched);

    std::fill(w.begin(), w.end(), untouched);
    make_twiddle_table(8, ip.data(), w.data());
    EXPECT_EQ(ip[0], 8);
    EXPECT_EQ(w[0], 1.0);
    EXPECT_DOUBLE_EQ(w[1], cos_pi_4);
    EXPECT_DOUBLE_EQ(w[2], cos_pi_8);
    EXPECT_DOUBLE_EQ(w[3], sin_pi_8);
    EXPECT_EQ(w[4], 1.0);
    EXPECT_DOUBLE_EQ(w[5], cos_pi_4);
    EXPECT_EQ(w[6], untouched);
    EXPECT_EQ(w[7], untouched);
}

int reverse_bits(int k, int bits) {
    int r = 0;
    for (int b = 0; b < bits; ++b) r |= ((k >> b) & 1) << (bits - 1 - b);
    return r;
}

TEST(FftTables, BitReversalOffsetsAreEightMTimesReversedIndices) {
    std::vector<int> ip(fft_test::kIpLength, 0);
    make_bitrev_table(8192, ip.data());
    EXPECT_EQ((std::vector<int>(ip.begin() + 4, ip.begin() + 8)),
              (std::vector<int>{0, 64, 32, 96}));
    for (int m = 2, bits = 1; m <= 32; m *= 2, ++bits) {
        for (int k = 0; k < m; ++k) {
            EXPECT_EQ(ip[m + k], 8 * m * reverse_bits(k, bits)) << "group " << m << ", k " << k;
        }
    }
}

// The table lengths the Conventions state, and tables of exactly those lengths are enough: a
// sanitizer build fails on any use beyond them, up to transforms longer than a line of 8192
// points needs.
TEST(FftTables, LengthsAreThoseStatedAndSufficeForTheirTransform) {
    const int cases[][3] = {{4, 2, 1},           {32, 2, 8},        {64, 4, 16},
                            {128, 4, 32},        {512, 8, 128},     {2048, 16, 512},
                            {8192, 32, 2048},    {32768, 64, 8192}, {131072, 128, 32768},
                            {262144, 256, 65536}};
    for (const auto& c : cases) {
        const int n = c[0];
        EXPECT_EQ(fft_ip_length(n), c[1]) << n;
        EXPECT_EQ(fft_w_length(n), c[2]) << n;
        std::vector<int> ip(static_cast<std::size_t>(fft_ip_length(n)), 0);
        std::vector<double> w(static_cast<std::size_t>(fft_w_length(n)), 0.0);
        std::vector<double> a = random_points(n, static_cast<unsigned>(n));
        std::vector<long double> want(a.begin(), a.end());
        for (long double& v : want) v *= n / 2;
        complex_fft(n, -1, a.data(), ip.data(), w.data());
        complex_fft(n, +1, a.data(), ip.data(), w.data());
        EXPECT_LT(relative_error(a, want), 2 * error_bound(n / 2)) << n;
    }
}

TEST(FftTableReuse, LongTransformIsCorrectAfterAShortOneBuiltTheTable) {
    for (int n : {1024, 4096}) {
        Tables t;
        std::vector<double> warm(64, 1.0);
        transform(-1, warm, t);
        std::vector<double> a = random_points(n, 99u);
        const auto want = direct_dft(a, +1);
        transform(+1, a, t);
        EXPECT_LT(relative_error(a, want), error_bound(n / 2)) << "n = " << n;
    }
}

TEST(FftTableReuse, TableOfTheLongestTransformServesEveryShorterOne) {
    Tables t;
    std::vector<double> longest(fft_test::kMaxN, 0.0);
    transform(-1, longest, t);
    for (int n = 4; n <= 4096; n *= 2) {
        for (int sign : {-1, 1}) {
            std::vector<double> a = random_points(n, 5u);
            const auto want = direct_dft(a, sign);
            transform(sign, a, t);
            EXPECT_LT(relative_error(a, want), error_bound(n / 2))
                << "n = " << n << ", sign " << sign;
        }
    }
    EXPECT_EQ(t.ip[0], fft_test::kMaxN / 4);
}

}  // namespace
