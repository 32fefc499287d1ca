#include "kernel_resize/tap_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "base/numeric.h"
#include "base/plane.h"
#include "kernel_resize/taps.h"
#include "tests/support/each_isa.h"

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Eight tap lines and the two lines of the linear interpolation, n samples each of type T,
// with the weights of a real fractional offset, and the values the contract gives each line.
template <class T>
struct TapLines {
    std::vector<T> line[10];  // taps 0..7, then left and right
    const T* tap[8];
    double w[8];
    double h;

    TapLines(std::size_t n, unsigned seed) {
        std::mt19937 rng(seed);
        // Bytes as they are, weighted colours up to 255 * 255; doubles with fractions and
        // out-of-range values, as row-pass results carry them.
        auto sample = [&rng]() -> T {
            if constexpr (sizeof(T) == 1)
                return static_cast<T>(rng() % 256);
            else if constexpr (sizeof(T) == 2)
                return static_cast<T>(rng() % 65026);
            else
                return static_cast<double>(rng() % 400000) / 997 - 60;
        };
        for (auto& v : line)
            for (std::size_t l = 0; l < n; ++l) v.push_back(sample());
        for (int j = 0; j < 8; ++j) tap[j] = line[j].data();
        h = static_cast<double>(rng() % 1000) / 1000.0;
        lanczos3_weights(h, w);
    }
    TapLines(const TapLines&) = delete;  // tap points into line
    double taps_of(std::size_t l) const {
        double acc = 0.0;
        for (int j = 0; j < 8; ++j) acc = static_cast<double>(tap[j][l]) * w[j] + acc;
        return acc;
    }
    double linear_of(std::size_t l) const {
        return static_cast<double>(line[8][l]) * (1 - h) + static_cast<double>(line[9][l]) * h;
    }
};

// Flag patterns over n lines: none, all, one run in the middle, alternating, random.
std::vector<std::vector<unsigned char>> flag_patterns(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::vector<unsigned char>> p(5, std::vector<unsigned char>(n, 0));
    for (std::size_t l = 0; l < n; ++l) {
        p[1][l] = 1;
        p[2][l] = l >= n / 3 && l < 2 * n / 3 + 5;
        p[3][l] = l % 2;
        p[4][l] = rng() % 3 == 0;
    }
    return p;
}

// Every length up to 41 on every set: whole groups of 2, 4 or 8 lines and every tail after
// them. out holds one more value, which must stay untouched.
template <class T>
void expect_every_line_has_its_own_bits(unsigned seed) {
    for_each_isa([&] {
        for (std::size_t n = 0; n <= 41; ++n) {
            const TapLines<T> d(n, seed + static_cast<unsigned>(n));
            std::vector<double> out(n + 1, -7.0);
            sum_eight_taps(d.tap, d.w, out.data(), n);
            for (std::size_t l = 0; l < n; ++l)
                ASSERT_TRUE(same_bits(out[l], d.taps_of(l)))
                    << "length " << n << " line " << l << ": " << out[l] << " vs " << d.taps_of(l);
            EXPECT_EQ(out[n], -7.0) << "wrote past line " << n;
            int pattern = 0;
            for (const auto& flag : flag_patterns(n, seed + static_cast<unsigned>(n))) {
                sum_eight_taps_switched(d.tap, d.w, d.line[8].data(), d.line[9].data(), d.h,
                                        flag.data(), out.data(), n);
                for (std::size_t l = 0; l < n; ++l) {
                    const double want = flag[l] ? d.linear_of(l) : d.taps_of(l);
                    ASSERT_TRUE(same_bits(out[l], want))
                        << "switched, length " << n << " pattern " << pattern << " line " << l
                        << " flag " << int(flag[l]) << ": " << out[l] << " vs " << want;
                }
                EXPECT_EQ(out[n], -7.0) << "wrote past line " << n;
                ++pattern;
            }
        }
    });
}

TEST(SumEightTaps, EverySetGivesEachLineTheBitsOfItsSumOrItsFlaggedInterpolation) {
    expect_every_line_has_its_own_bits<double>(10);
    expect_every_line_has_its_own_bits<unsigned char>(20);
    expect_every_line_has_its_own_bits<std::uint16_t>(30);
}

TEST(ClampToBytes, VectorLoopEqualsClampToByteOnEveryKindOfValue) {
    std::vector<double> v = {-1e300,       -256.0, -1.0,         -0.5,         -0.0,        0.0,
                             1e-300,       0.4999, 0.5,          0.9999999,    1.0,         12.5,
                             127.99999999, 128.0,  254.999999,   255.0,        255.0000001, 256.0,
                             1e9,          1e300,  std::nan(""), -std::nan("")};
    std::mt19937 rng(5);
    while (v.size() < 1000) v.push_back(static_cast<double>(rng() % 400000) / 1000.0 - 70.0);
    // Every length, so both the vector loop and the tail see every value.
    for (std::size_t start = 0; start < 40; ++start) {
        std::vector<unsigned char> out(v.size() - start);
        clamp_to_bytes(v.data() + start, out.data(), out.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], clamp_to_byte(v[start + i])) << "value " << v[start + i];
    }
}

// Weighted colours' values over alpha: clear, below 1, just 1, opaque, rung below 0 and above
// 255, and NaN; every length on every set, each value the scalar quotient or +0.0 bit for bit.
TEST(Unweight, EverySetGivesEachValueTheScalarQuotientOrZero) {
    std::vector<double> alpha = {0.0,   -0.0,  0.999, 1.0,         1.0000001,
                                 255.0, 300.0, -3.0,  std::nan("")};
    std::mt19937 rng(6);
    while (alpha.size() < 100) alpha.push_back(static_cast<double>(rng() % 300000) / 1000.0 - 20.0);
    std::vector<double> v;
    for (double a : alpha) v.push_back(a * 97.5 + static_cast<double>(rng() % 1000) / 7.0 - 50.0);
    for_each_isa([&] {
        for (std::size_t n = 0; n <= 41; ++n) {
            std::vector<double> got(v.begin(), v.begin() + static_cast<long>(n) + 1);
            unweight(got.data(), alpha.data(), n);
            for (std::size_t i = 0; i < n; ++i)
                ASSERT_TRUE(same_bits(got[i], unweighted(v[i], alpha[i])))
                    << "length " << n << ": " << v[i] << " over " << alpha[i] << " gave " << got[i];
            EXPECT_TRUE(same_bits(got[n], v[n])) << "wrote past " << n;
        }
    });
}

}  // namespace
