#include "fft/fft_kernels.h"

#include <gtest/gtest.h>

#include <complex>
#include <string>
#include <vector>

#include "fft/complex_fft.h"
#include "tests/fft/fft_reference.h"

namespace {

using fft_test::error_bound;
using fft_test::random_points;
using fft_test::relative_error;
using fft_test::same_bits;

enum class Kind { kPlain, kTwisted };

int reverse_bits(int k, int bits) {
    int r = 0;
    for (int b = 0; b < bits; ++b) r |= ((k >> b) & 1) << (bits - 1 - b);
    return r;
}

// What a block of M points must become: D[k] = sum_j d[j] r^j exp(2 pi i j k / M), with
// r = exp(i pi / M) for a twisted block and 1 for a plain one, stored at position rev(k).
std::vector<long double> block_reference(const double* d, int points, Kind kind) {
    const long double M = points;
    int bits = 0;
    while ((1 << bits) < points) ++bits;
    std::vector<long double> out(2 * points);
    for (int k = 0; k < points; ++k) {
        std::complex<long double> sum = 0;
        for (int j = 0; j < points; ++j) {
            long double turns = static_cast<long double>((j * k) % points);
            if (kind == Kind::kTwisted) turns += j / 2.0L;
            const long double angle = 2 * fft_test::kPi * turns / M;
            sum += std::complex<long double>(d[2 * j], d[2 * j + 1]) *
                   std::complex<long double>(std::cos(angle), std::sin(angle));
        }
        const int p = reverse_bits(k, bits);
        out[2 * p] = sum.real();
        out[2 * p + 1] = sum.imag();
    }
    return out;
}

// Finishes each quarter of a passed block (m doubles) with the reference of its kind.
std::vector<double> finish_quarters(const std::vector<double>& a, const Kind kinds[4]) {
    const int q = static_cast<int>(a.size()) / 4;
    std::vector<double> out(a.size());
    for (int i = 0; i < 4; ++i) {
        const auto part = block_reference(a.data() + i * q, q / 2, kinds[i]);
        for (int j = 0; j < q; ++j) out[i * q + j] = static_cast<double>(part[j]);
    }
    return out;
}

// A table as complex_fft builds it for its longest transform; every routine finds its
// blocks from the end.
struct Table {
    static constexpr int nw = fft_test::kWLength;
    std::vector<int> ip = std::vector<int>(fft_test::kIpLength, 0);
    std::vector<double> w = std::vector<double>(nw, 0.0);
    Table() { make_twiddle_table(nw, ip.data(), w.data()); }
    const double* block(int size) const { return w.data() + nw - 2 * size; }
};

const Table& table() {
    static const Table t;
    return t;
}

std::string length_name(const ::testing::TestParamInfo<int>& p) {
    return "n" + std::to_string(p.param);
}

struct KernelCase {
    const char* name;
    void (*kernel)(double*, const double*);
    int points;
    Kind kind;
    int block_size;  // the twiddle block handed to the kernel
};

std::string kernel_name(const ::testing::TestParamInfo<KernelCase>& p) {
    return p.param.name;
}

class FixedKernel : public ::testing::TestWithParam<KernelCase> {};

TEST_P(FixedKernel, GivesTheBlockTransformInBitReversedOrder) {
    const KernelCase& c = GetParam();
    std::vector<double> a = random_points(2 * c.points, 3u);
    const auto want = block_reference(a.data(), c.points, c.kind);
    c.kernel(a.data(), table().block(c.block_size));
    EXPECT_LT(relative_error(a, want), error_bound(c.points));
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, FixedKernel,
    ::testing::Values(KernelCase{"kernel8_a", kernel8_a, 8, Kind::kPlain, 4},
                      KernelCase{"kernel8_b", kernel8_b, 8, Kind::kTwisted, 4},
                      KernelCase{"kernel16_a", kernel16_a, 16, Kind::kPlain, 4},
                      KernelCase{"kernel16_b", kernel16_b, 16, Kind::kTwisted, 16}),
    kernel_name);

class MiddlePass : public ::testing::TestWithParam<int> {};

TEST_P(MiddlePass, PlainPassLeavesPlainTwistedPlainPlainQuarters) {
    const int m = GetParam();
    std::vector<double> a = random_points(m, 11u);
    const auto want = block_reference(a.data(), m / 2, Kind::kPlain);
    middle_pass_a(m, a.data(), table().block(m / 4));
    const Kind kinds[4] = {Kind::kPlain, Kind::kTwisted, Kind::kPlain, Kind::kPlain};
    EXPECT_LT(relative_error(finish_quarters(a, kinds), want), error_bound(m / 2));
}

TEST_P(MiddlePass, TwistedPassLeavesPlainTwistedPlainTwistedQuarters) {
    const int m = GetParam();
    std::vector<double> a = random_points(m, 13u);
    const auto want = block_reference(a.data(), m / 2, Kind::kTwisted);
    middle_pass_b(m, a.data(), table().block(m / 2));
    const Kind kinds[4] = {Kind::kPlain, Kind::kTwisted, Kind::kPlain, Kind::kTwisted};
    EXPECT_LT(relative_error(finish_quarters(a, kinds), want), error_bound(m / 2));
}

TEST_P(MiddlePass, PlainPassOnAConstantBlockPutsFourTimesItInQuarterZero) {
    const int m = GetParam();
    std::vector<double> a(m);
    for (int j = 0; j < m; j += 2) {
        a[j] = 0.75;
        a[j + 1] = -1.5;
    }
    middle_pass_a(m, a.data(), table().block(m / 4));
    for (int j = 0; j < m; j += 2) {
        const bool first = j < m / 4;
        ASSERT_EQ(a[j], first ? 3.0 : 0.0) << "double " << j;
        ASSERT_EQ(a[j + 1], first ? -6.0 : 0.0) << "double " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, MiddlePass, ::testing::Values(64, 128, 256, 1024),
                         length_name);

class LeafKernel : public ::testing::TestWithParam<int> {};

TEST_P(LeafKernel, FinishesAPassedBlockOfEitherKind) {
    const int n = GetParam();
    const Table& t = table();
    for (int split : {1, 0}) {
        const Kind kind = split ? Kind::kPlain : Kind::kTwisted;
        std::vector<double> a = random_points(n, 17u);
        const auto want = block_reference(a.data(), n / 2, kind);
        if (split) {
            middle_pass_a(n, a.data(), t.block(n / 4));
        } else {
            middle_pass_b(n, a.data(), t.block(n / 2));
        }
        leaf_kernel(n, split, a.data(), t.nw, t.w.data());
        EXPECT_LT(relative_error(a, want), error_bound(n / 2)) << "split " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(LeafSizes, LeafKernel, ::testing::Values(256, 512), length_name);

TEST(TreeStep, ReturnsTheKindOfEachLeafCountedFromTheEnd) {
    // n = 4096 in leaves of 256: 16 leaves, two base-4 digits of quarter indices from the
    // start. A quarter-1 digit makes a block twisted; a last quarter keeps its parent's kind.
    const int n = 4096, m = 256;
    const Table& t = table();
    std::vector<double> a(n, 0.0);
    for (int k = 1; k < 16; ++k) {
        const int leaf = 15 - k;
        bool plain = true;
        for (int digit : {leaf / 4, leaf % 4}) {
            if (digit == 1) plain = false;
            if (digit == 0 || digit == 2) plain = true;
        }
        EXPECT_EQ(tree_step(m, n - k * m, k, a.data(), t.nw, t.w.data()), plain ? 1 : 0)
            << "k " << k;
    }
}

TEST(BitReversal, EightPointKernelOnAnImpulseGivesRootsOfUnityEitherWay) {
    const double bound = error_bound(8);
    for (bool neg : {false, true}) {
        std::vector<double> a(16, 0.0);
        a[2] = 1.0;
        kernel8_a(a.data(), table().w.data());
        neg ? bitrev8_neg(a.data()) : bitrev8(a.data());
        for (int k = 0; k < 8; ++k) {
            const long double angle = 2 * fft_test::kPi * k / 8;
            EXPECT_NEAR(a[2 * k], static_cast<double>(std::cos(angle)), bound) << "k " << k;
            EXPECT_NEAR(a[2 * k + 1], static_cast<double>((neg ? -1 : 1) * std::sin(angle)), bound)
                << "k " << k;
        }
    }
}

TEST(BitReversal, SmallPermutationsMovePointsToTheirReversedPositions) {
    for (int points : {8, 16}) {
        const int bits = points == 8 ? 3 : 4;
        std::vector<double> a(2 * points), b;
        for (int k = 0; k < points; ++k) {
            a[2 * k] = k;
            a[2 * k + 1] = -k;
        }
        b = a;
        points == 8 ? bitrev8(a.data()) : bitrev16(a.data());
        points == 8 ? bitrev8_neg(b.data()) : bitrev16_neg(b.data());
        for (int k = 0; k < points; ++k) {
            EXPECT_EQ(a[2 * k], reverse_bits(k, bits)) << points << " k " << k;
            EXPECT_EQ(b[2 * k], reverse_bits((points - k) % points, bits)) << points << " k " << k;
        }
    }
}

TEST(BitReversal, TablePermutationMovesEveryPointToItsReversedIndex) {
    const Table& t = table();
    for (int n = 64; n <= fft_test::kMaxN; n *= 2) {
        const int points = n / 2;
        int bits = 0;
        while ((1 << bits) < points) ++bits;
        std::vector<double> a(n), b;
        for (int k = 0; k < points; ++k) {
            a[2 * k] = k;
            a[2 * k + 1] = k + 0.5;
        }
        b = a;
        bitrev_permute(n, t.ip.data(), a.data());
        bitrev_permute_conj(n, t.ip.data(), b.data());
        for (int k = 0; k < points; ++k) {
            const double from = reverse_bits(k, bits);
            ASSERT_EQ(a[2 * k], from) << "n " << n << " k " << k;
            ASSERT_EQ(a[2 * k + 1], from + 0.5) << "n " << n << " k " << k;
            ASSERT_EQ(b[2 * k], from) << "n " << n << " k " << k;
            ASSERT_EQ(b[2 * k + 1], -(from + 0.5)) << "n " << n << " k " << k;
        }
    }
}

// complex_fft put together from the named routines as its drivers combine them: the one
// kernel of a short length, else the first pass of the direction, the passes after it and the
// final permutation.
void fft_from_kernels(int n, int sign, double* a, const int* ip, int nw, const double* w) {
    const bool plus = sign >= 0;
    if (n == 2) return;
    if (n == 4) return dft2(a);
    if (n == 8) return plus ? dft4_plus(a) : dft4_minus(a);
    if (n == 16) {
        kernel8_a(a, w);
        return plus ? bitrev8(a) : bitrev8_neg(a);
    }
    if (n == 32) {
        kernel16_a(a, w + nw - 8);
        return plus ? bitrev16(a) : bitrev16_neg(a);
    }
    (plus ? first_pass_plus : first_pass_minus)(n, a, w + nw - n / 4);
    if (n > 512) {
        recursive_pass(n, a, nw, w);
    } else if (n > 128) {
        leaf_kernel(n, 1, a, nw, w);
    } else {
        quad_kernel(n, a, nw, w);
    }
    (plus ? bitrev_permute : bitrev_permute_conj)(n, ip, a);
}

TEST(NamedRoutines, PutTogetherGiveTheBitsOfComplexFftAtEveryLength) {
    Table t;
    for (int n = 2; n <= fft_test::kMaxN; n *= 2) {
        for (int sign : {1, -1}) {
            std::vector<double> a = random_points(n, static_cast<unsigned>(n) + (sign > 0));
            std::vector<double> want = a;
            complex_fft(n, sign, want.data(), t.ip.data(), t.w.data());
            fft_from_kernels(n, sign, a.data(), t.ip.data(), t.nw, t.w.data());
            for (std::size_t i = 0; i < a.size(); ++i)
                ASSERT_TRUE(same_bits(a[i], want[i]))
                    << "n " << n << ", sign " << sign << ", double " << i << ": " << a[i] << " vs "
                    << want[i];
        }
    }
}

}  // namespace
