#include "kernel_resize/tap_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "base/numeric.h"
#include "kernel_resize/taps.h"
#include "tests/support/each_isa.h"

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Eight tap lines, the two lines of the linear interpolation and one flag per line, of samples
// of type T, with the weights of a real fractional offset.
template <class T>
struct TapLines {
    std::vector<T> tap[8], left, right;
    std::vector<unsigned char> flag;
    double w[8];
    double h;

    TapLines(std::size_t n, unsigned seed) {
        std::mt19937 rng(seed);
        auto sample = [&rng]() {
            // Bytes as they are; doubles with fractions and out-of-range values, as row-pass
            // results carry them.
            if constexpr (sizeof(T) == 1) return static_cast<T>(rng() % 256);
            else return static_cast<T>(static_cast<double>(rng() % 400000) / 997.0 - 60.0);
        };
        for (auto& line : tap)
            for (std::size_t l = 0; l < n; ++l) line.push_back(sample());
        for (std::size_t l = 0; l < n; ++l) {
            left.push_back(sample());
            right.push_back(sample());
        }
        flag.assign(n, 0);
        h = static_cast<double>(rng() % 1000) / 1000.0;
        lanczos3_weights(h, w);
    }
    const T* const* src() {
        for (int j = 0; j < 8; ++j) ptr[j] = tap[j].data();
        return ptr;
    }
    // The per-line values as the contract states them.
    double taps_of(std::size_t l) const {
        double acc = 0.0;
        for (int j = 0; j < 8; ++j) acc = static_cast<double>(tap[j][l]) * w[j] + acc;
        return acc;
    }
    double linear_of(std::size_t l) const {
        return static_cast<double>(left[l]) * (1 - h) + static_cast<double>(right[l]) * h;
    }

private:
    const T* ptr[8];
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

// Every length up to 41 reaches groups of eight lines and every length of tail after them.
constexpr std::size_t kLongest = 41;

template <class T>
void expect_plain_sums_match(unsigned seed) {
    for_each_isa([&] {
        for (std::size_t n = 0; n <= kLongest; ++n) {
            TapLines<T> d(n, seed + static_cast<unsigned>(n));
            std::vector<double> out(n + 1, -7.0);
            sum_eight_taps(d.src(), d.w, out.data(), n);
            for (std::size_t l = 0; l < n; ++l)
                ASSERT_TRUE(same_bits(out[l], d.taps_of(l)))
                    << "length " << n << " line " << l << ": " << out[l] << " vs " << d.taps_of(l);
            EXPECT_EQ(out[n], -7.0) << "wrote past line " << n;
        }
    });
}

TEST(SumEightTaps, EverySetGivesEveryLineTheBitsOfItsOwnSum) {
    expect_plain_sums_match<double>(10);
    expect_plain_sums_match<unsigned char>(20);
}

template <class T>
void expect_switched_sums_match(unsigned seed) {
    for_each_isa([&] {
        for (std::size_t n = 0; n <= kLongest; ++n) {
            int pattern = 0;
            for (const auto& flags : flag_patterns(n, seed + static_cast<unsigned>(n))) {
                TapLines<T> d(n, seed + static_cast<unsigned>(n));
                d.flag = flags;
                std::vector<double> out(n + 1, -7.0);
                sum_eight_taps_switched(d.src(), d.w, d.left.data(), d.right.data(), d.h,
                                        d.flag.data(), out.data(), n);
                for (std::size_t l = 0; l < n; ++l) {
                    const double want = d.flag[l] ? d.linear_of(l) : d.taps_of(l);
                    ASSERT_TRUE(same_bits(out[l], want))
                        << "length " << n << " pattern " << pattern << " line " << l
                        << " flag " << int(d.flag[l]) << ": " << out[l] << " vs " << want;
                }
                EXPECT_EQ(out[n], -7.0) << "wrote past line " << n;
                ++pattern;
            }
        }
    });
}

TEST(SumEightTapsSwitched, EverySetTakesEachLinesValueByItsOwnFlag) {
    expect_switched_sums_match<double>(30);
    expect_switched_sums_match<unsigned char>(40);
}

TEST(ClampToBytes, VectorLoopEqualsClampToByteOnEveryKindOfValue) {
    std::vector<double> v = {-1e300, -256.0, -1.0, -0.5, -0.0, 0.0, 1e-300, 0.4999, 0.5, 0.9999999,
                             1.0, 12.5, 127.99999999, 128.0, 254.999999, 255.0, 255.0000001,
                             256.0, 1e9, 1e300, std::nan(""), -std::nan("")};
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

}  // namespace
