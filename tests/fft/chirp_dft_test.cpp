#include "fft/chirp_dft.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "fft/complex_fft.h"
#include "tests/fft/fft_reference.h"
#include "tests/support/tolerances.h"

namespace {

using fft_test::dft_error_bound;
using fft_test::direct_dft;
using fft_test::FftTables;
using fft_test::Line;
using fft_test::LongLine;
using fft_test::padded_length;
using fft_test::random_line;
using fft_test::relative_error;
using fft_test::same_bits;

Line forward(const Line& x, FftTables& t) {
    const int n = static_cast<int>(x.re.size());
    Line y{std::vector<double>(x.re.size()), std::vector<double>(x.re.size())};
    EXPECT_EQ(
        dft_forward(n, x.re.data(), x.im.data(), y.re.data(), y.im.data(), t.ip.data(), t.w.data()),
        0);
    return y;
}

Line inverse(const Line& x, FftTables& t) {
    const int n = static_cast<int>(x.re.size());
    Line y{std::vector<double>(x.re.size()), std::vector<double>(x.re.size())};
    EXPECT_EQ(
        dft_inverse(n, x.re.data(), x.im.data(), y.re.data(), y.im.data(), t.ip.data(), t.w.data()),
        0);
    return y;
}

TEST(ChirpPlan, PaddedLengthIsTheSmallestPowerOfTwoAtLeastNPlusM) {
    FftTables t = fft_test::tables_for_line(16385);
    const int cases[][2] = {{2, 4},        {3, 8},        {4, 8},         {5, 16},
                            {8, 16},       {9, 32},       {4096, 8192},   {4097, 16384},
                            {8192, 16384}, {8193, 32768}, {16384, 32768}, {16385, 65536}};
    for (const auto& c : cases) {
        ChirpPlan plan;
        ASSERT_EQ(chirp_plan_create(&plan, c[0], c[0], t.ip.data(), t.w.data()), 0);
        EXPECT_EQ(plan.N, c[0]);
        EXPECT_EQ(plan.M, c[0]);
        EXPECT_EQ(plan.L, c[1]) << "N = " << c[0];
        chirp_plan_destroy(&plan);
        EXPECT_EQ(plan.N, 0);
        EXPECT_EQ(plan.M, 0);
        EXPECT_EQ(plan.L, 0);
        EXPECT_EQ(plan.chirp_re, nullptr);
    }
}

TEST(ChirpPlan, OutputCountOutsideTwoToNMeansN) {
    FftTables t;
    const int cases[][3] = {{10, 1, 10}, {10, 0, 10}, {10, 11, 10}, {10, 5, 5}, {10, 2, 2}};
    for (const auto& c : cases) {
        ChirpPlan plan;
        ASSERT_EQ(chirp_plan_create(&plan, c[0], c[1], t.ip.data(), t.w.data()), 0);
        EXPECT_EQ(plan.M, c[2]) << "asked for " << c[1];
        int L = 1;
        while (L < plan.N + plan.M) L *= 2;
        EXPECT_EQ(plan.L, L);
        chirp_plan_destroy(&plan);
    }
}

TEST(ChirpPlan, FewerThanTwoPointsAreRefusedWithoutAllocating) {
    FftTables t;
    for (int N : {1, 0, -5}) {
        ChirpPlan plan;
        EXPECT_EQ(chirp_plan_create(&plan, N, N, t.ip.data(), t.w.data()), 1) << N;
        EXPECT_EQ(plan.chirp_re, nullptr);
        EXPECT_EQ(plan.kernel_re, nullptr);
        EXPECT_EQ(plan.work_re, nullptr);
        EXPECT_EQ(plan.L, 0);
    }
}

TEST(ChirpPlan, FirstMOutputsOfAShortenedPlanAreTheDftsFirstOutputs) {
    FftTables t;
    const Line x = random_line(12, 3);
    const LongLine want = direct_dft(x, -1, 1.0L / 12);
    ChirpPlan plan;
    ASSERT_EQ(chirp_plan_create(&plan, 12, 5, t.ip.data(), t.w.data()), 0);
    Line y = x;
    chirp_plan_execute(&plan, 0, y.re.data(), y.im.data(), t.ip.data(), t.w.data());
    chirp_plan_destroy(&plan);
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(y.re[static_cast<std::size_t>(k)], static_cast<double>(want.re[k]),
                    tol::kFewRoundings);
        EXPECT_NEAR(y.im[static_cast<std::size_t>(k)], static_cast<double>(want.im[k]),
                    tol::kFewRoundings);
    }
    // Points from M on are not outputs: they keep the input.
    for (std::size_t k = 5; k < 12; ++k) {
        EXPECT_EQ(y.re[k], x.re[k]);
        EXPECT_EQ(y.im[k], x.im[k]);
    }
}

TEST(MakeChirp, ChirpIsExpOfMinusIPiJSquaredOverNWithReducedAngle) {
    for (int N : {2, 3, 7, 1000, 8191, 8192, 12000}) {
        const int L = padded_length(N);
        std::vector<double> c(2 * static_cast<std::size_t>(N)), k(2 * static_cast<std::size_t>(L));
        make_chirp(N, N, L, c.data(), c.data() + N, k.data(), k.data() + L);
        for (long long j = 0; j < N; ++j) {
            // exp(-i pi j^2 / N) has period 2N in j^2.
            const long double a = fft_test::kPi * static_cast<long double>(j * j % (2LL * N)) / N;
            ASSERT_NEAR(c[static_cast<std::size_t>(j)], static_cast<double>(std::cos(a)),
                        tol::kChirpValue)
                << "N = " << N << ", j = " << j;
            ASSERT_NEAR(c[static_cast<std::size_t>(N + j)], static_cast<double>(-std::sin(a)),
                        tol::kChirpValue)
                << "N = " << N << ", j = " << j;
        }
    }
}

TEST(MakeChirp, KernelIsTheSymmetricConjugateChirpTimesLWithZerosBetween) {
    const int N = 5, L = 16;
    for (int M : {5, 3}) {
        std::vector<double> cr(N), ci(N), kr(L, -7.0), ki(L, -7.0);
        make_chirp(N, M, L, cr.data(), ci.data(), kr.data(), ki.data());
        EXPECT_EQ(kr[0], 16.0);
        EXPECT_EQ(ki[0], 0.0);
        // The top end always holds the conjugate chirp; the bottom end up to M - 1 (from M on
        // the fill has zeroed it).
        for (int k = 1; k < N; ++k) {
            const std::size_t i = static_cast<std::size_t>(k),
                              mirror = static_cast<std::size_t>(L - k);
            EXPECT_EQ(kr[mirror], 16.0 * cr[i]) << k;
            EXPECT_EQ(ki[mirror], -16.0 * ci[i]) << k;
            if (k < M) {
                EXPECT_EQ(kr[i], kr[mirror]) << k;
                EXPECT_EQ(ki[i], ki[mirror]) << k;
            }
        }
        for (int i = M; i <= L - N; ++i) {
            EXPECT_EQ(kr[static_cast<std::size_t>(i)], 0.0) << "M = " << M << ", i = " << i;
            EXPECT_EQ(ki[static_cast<std::size_t>(i)], 0.0) << "M = " << M << ", i = " << i;
        }
    }
}

TEST(ChirpPlan, KernelSpectrumIsTheDftOfTheConjugateChirp) {
    FftTables t;
    for (int N : {3, 100}) {
        ChirpPlan plan;
        ASSERT_EQ(chirp_plan_create(&plan, N, N, t.ip.data(), t.w.data()), 0);
        const int L = plan.L;
        // h / L: 1 at 0, conj(c[k]) at k and L - k, zeros between.
        Line h{std::vector<double>(static_cast<std::size_t>(L), 0.0),
               std::vector<double>(static_cast<std::size_t>(L), 0.0)};
        h.re[0] = 1.0;
        for (int k = 1; k < N; ++k) {
            const long double a =
                fft_test::kPi * static_cast<long double>(1LL * k * k % (2 * N)) / N;
            h.re[static_cast<std::size_t>(k)] = h.re[static_cast<std::size_t>(L - k)] =
                static_cast<double>(std::cos(a));
            h.im[static_cast<std::size_t>(k)] = h.im[static_cast<std::size_t>(L - k)] =
                static_cast<double>(std::sin(a));
        }
        const LongLine want = direct_dft(h, -1, 1.0L);
        std::vector<double> kr(plan.kernel_re, plan.kernel_re + L);
        std::vector<double> ki(plan.kernel_im, plan.kernel_im + L);
        EXPECT_LT(relative_error(kr, ki, want), dft_error_bound(N)) << "N = " << N;
        chirp_plan_destroy(&plan);
    }
}

// chirp_plan_execute's steps exactly as the method states them: split work arrays, an
// interleaved buffer through complex_fft, a division by L, the chirp read conjugated for the
// sign-plus transform, the 1 / N last. The library runs the same steps through the code it
// shares with the lanes (a product with 1 / L, one buffer, reordered output reads); this
// pins that code to the statement bit for bit.
void execute_as_stated(const ChirpPlan& plan, int conjugate, Line& x, FftTables& t) {
    const int N = plan.N, M = plan.M, L = plan.L;
    const double sign = conjugate != 0 ? -1.0 : 1.0;
    std::vector<double> wr(static_cast<std::size_t>(L)), wi(static_cast<std::size_t>(L));
    std::vector<double> buf(2 * static_cast<std::size_t>(L));
    auto times = [](double xr, double xi, double cr, double ci, double& re, double& im) {
        re = xr * cr - xi * ci;
        im = xr * ci + xi * cr;
    };
    for (std::size_t j = 0; j < static_cast<std::size_t>(L); ++j) {
        if (j < static_cast<std::size_t>(N)) {
            times(x.re[j], x.im[j], plan.chirp_re[j], sign * plan.chirp_im[j], wr[j], wi[j]);
        } else {
            wr[j] = wi[j] = 0.0;
        }
    }
    auto fft = [&](int dir, bool divide) {
        for (std::size_t k = 0; k < wr.size(); ++k) {
            buf[2 * k] = wr[k];
            buf[2 * k + 1] = wi[k];
        }
        complex_fft(2 * L, dir, buf.data(), t.ip.data(), t.w.data());
        for (std::size_t k = 0; k < wr.size(); ++k) {
            wr[k] = divide ? buf[2 * k] / L : buf[2 * k];
            wi[k] = divide ? buf[2 * k + 1] / L : buf[2 * k + 1];
        }
    };
    fft(-1, true);
    for (std::size_t k = 0; k < wr.size(); ++k)
        times(wr[k], wi[k], plan.kernel_re[k], sign * plan.kernel_im[k], wr[k], wi[k]);
    fft(+1, false);
    for (std::size_t k = 0; k < static_cast<std::size_t>(M); ++k)
        times(wr[k], wi[k], plan.chirp_re[k], sign * plan.chirp_im[k], x.re[k], x.im[k]);
    if (conjugate == 0) {
        const double inv = 1.0 / N;
        for (std::size_t k = 0; k < static_cast<std::size_t>(M); ++k) {
            x.re[k] = x.re[k] * inv;
            x.im[k] = x.im[k] * inv;
        }
    }
}

TEST(ChirpPlanExecute, HasTheBitsOfItsStepsAsStated) {
    const int cases[][2] = {{2, 2},       {3, 3},       {5, 5},       {12, 5},       {100, 100},
                            {1001, 1001}, {4097, 4097}, {8192, 8192}, {12000, 12000}};
    for (const auto& c : cases) {
        for (int conjugate : {0, 1}) {
            FftTables t = fft_test::tables_for_line(c[0]);
            ChirpPlan plan;
            ASSERT_EQ(chirp_plan_create(&plan, c[0], c[1], t.ip.data(), t.w.data()), 0);
            // Tiny and huge values too, where a product with 1 / L and a division by L could
            // only differ if 1 / L were inexact.
            Line x = random_line(c[0], static_cast<unsigned>(c[0] * 2 + conjugate));
            x.re[0] = 3e-310;
            x.im[static_cast<std::size_t>(c[0] - 1)] = -1e300;
            Line want = x;
            execute_as_stated(plan, conjugate, want, t);
            chirp_plan_execute(&plan, conjugate, x.re.data(), x.im.data(), t.ip.data(), t.w.data());
            chirp_plan_destroy(&plan);
            for (std::size_t k = 0; k < x.re.size(); ++k) {
                ASSERT_TRUE(same_bits(x.re[k], want.re[k]) && same_bits(x.im[k], want.im[k]))
                    << "N " << c[0] << ", conjugate " << conjugate << ", k " << k << ": ("
                    << x.re[k] << ", " << x.im[k] << ") vs (" << want.re[k] << ", " << want.im[k]
                    << ")";
            }
        }
    }
}

TEST(DftEntries, TwoPointsGiveHalfSumAndHalfDifferenceForwardAndSumAndDifferenceInverse) {
    FftTables t;
    const Line x{{3.0, 1.0}, {-2.0, 0.5}};
    const Line f = forward(x, t);
    EXPECT_NEAR(f.re[0], 2.0, tol::kFewRoundings);
    EXPECT_NEAR(f.im[0], -0.75, tol::kFewRoundings);
    EXPECT_NEAR(f.re[1], 1.0, tol::kFewRoundings);
    EXPECT_NEAR(f.im[1], -1.25, tol::kFewRoundings);
    const Line i = inverse(x, t);
    EXPECT_NEAR(i.re[0], 4.0, tol::kFewRoundings);
    EXPECT_NEAR(i.im[0], -1.5, tol::kFewRoundings);
    EXPECT_NEAR(i.re[1], 2.0, tol::kFewRoundings);
    EXPECT_NEAR(i.im[1], -2.5, tol::kFewRoundings);
}

class DftByLength : public ::testing::TestWithParam<int> {};

TEST_P(DftByLength, ForwardIsTheMinusDftScaledByOneOverN) {
    const int N = GetParam();
    FftTables t = fft_test::tables_for_line(N);
    const Line x = random_line(N, static_cast<unsigned>(N) * 3u + 1u);
    const Line y = forward(x, t);
    EXPECT_LT(relative_error(y.re, y.im, direct_dft(x, -1, 1.0L / N)), dft_error_bound(N));
}

TEST_P(DftByLength, InverseIsThePlusDftUnscaled) {
    const int N = GetParam();
    FftTables t = fft_test::tables_for_line(N);
    const Line x = random_line(N, static_cast<unsigned>(N) * 5u + 2u);
    const Line y = inverse(x, t);
    EXPECT_LT(relative_error(y.re, y.im, direct_dft(x, +1, 1.0L)), dft_error_bound(N));
}

TEST_P(DftByLength, InverseUndoesForward) {
    const int N = GetParam();
    FftTables t = fft_test::tables_for_line(N);
    const Line x = random_line(N, static_cast<unsigned>(N) + 11u);
    const Line back = inverse(forward(x, t), t);
    LongLine want{std::vector<long double>(x.re.begin(), x.re.end()),
                  std::vector<long double>(x.im.begin(), x.im.end())};
    EXPECT_LT(relative_error(back.re, back.im, want), 2 * dft_error_bound(N));
}

TEST_P(DftByLength, ConstantInputGoesToPointZeroAlone) {
    const int N = GetParam();
    FftTables t = fft_test::tables_for_line(N);
    Line x{std::vector<double>(static_cast<std::size_t>(N), 0.75),
           std::vector<double>(static_cast<std::size_t>(N), 0.0)};
    const Line y = forward(x, t);
    const double bound = 0.75 * dft_error_bound(N) * std::sqrt(static_cast<double>(N));
    EXPECT_NEAR(y.re[0], 0.75, bound);
    EXPECT_NEAR(y.im[0], 0.0, bound);
    for (std::size_t k = 1; k < y.re.size(); ++k) {
        ASSERT_NEAR(y.re[k], 0.0, bound) << "k = " << k;
        ASSERT_NEAR(y.im[k], 0.0, bound) << "k = " << k;
    }
}

// Small lengths, powers of two (which still take the chirp path), primes, and the first beyond
// the 8192 points of the original tool's buffers.
INSTANTIATE_TEST_SUITE_P(Lengths, DftByLength,
                         ::testing::Values(2, 3, 4, 5, 6, 7, 8, 16, 17, 97, 127, 128, 255, 256, 257,
                                           1000, 1021, 2048, 3001, 4096, 4097, 7919, 8192, 8193),
                         [](const auto& p) { return "N" + std::to_string(p.param); });

TEST(DftEntries, OutputMayBeTheInput) {
    FftTables t;
    const Line x = random_line(30, 9);
    const Line f = forward(x, t);
    const Line i = inverse(x, t);
    Line a = x;
    EXPECT_EQ(dft_forward(30, a.re.data(), a.im.data(), a.re.data(), a.im.data(), t.ip.data(),
                          t.w.data()),
              0);
    EXPECT_EQ(a.re, f.re);
    EXPECT_EQ(a.im, f.im);
    a = x;
    EXPECT_EQ(dft_inverse(30, a.re.data(), a.im.data(), a.re.data(), a.im.data(), t.ip.data(),
                          t.w.data()),
              0);
    EXPECT_EQ(a.re, i.re);
    EXPECT_EQ(a.im, i.im);
}

// The entries keep no state but the caller's tables, so threads with tables of their own may
// transform at once, both directions and different lengths alike, and every call gets the
// bits of calls made one after another.
TEST(DftEntries, CallsWithTablesOfTheirOwnMayRunAtOnce) {
    const int lengths[] = {8192, 3001, 8191, 100};
    const auto transform = [&](int i, FftTables& t) {
        const Line x = random_line(lengths[i], static_cast<unsigned>(i) + 40u);
        return i % 2 == 0 ? forward(x, t) : inverse(x, t);
    };
    std::vector<Line> alone;
    for (int i = 0; i < 4; ++i) {
        FftTables t;
        alone.push_back(transform(i, t));
    }
    std::vector<int> differing(4, 0);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            FftTables t;
            for (++ready; ready < 4;) std::this_thread::yield();  // start together
            const Line& want = alone[static_cast<std::size_t>(i)];
            for (int round = 0; round < 20; ++round) {
                const Line got = transform(i, t);
                if (got.re != want.re || got.im != want.im)
                    ++differing[static_cast<std::size_t>(i)];
            }
        });
    for (std::thread& th : threads) th.join();
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(differing[i], 0) << "calls of N = " << lengths[i] << " out of 20 differed";
}

// Lines past 8192 points: a longer line after a shorter one, and a shorter one again, each give
// what a plan of their own gives.
TEST(DftEntries, ALineLongerThan8192AndShorterOnesAfterItGiveWhatTheirPlansGive) {
    FftTables t = fft_test::tables_for_line(9000);
    for (int N : {20, 9000, 20}) {
        const Line x = random_line(N, static_cast<unsigned>(N));
        const Line y = inverse(x, t);
        Line want = x;
        ChirpPlan plan;
        ASSERT_EQ(chirp_plan_create(&plan, N, N, t.ip.data(), t.w.data()), 0);
        chirp_plan_execute(&plan, 1, want.re.data(), want.im.data(), t.ip.data(), t.w.data());
        chirp_plan_destroy(&plan);
        for (std::size_t k = 0; k < want.re.size(); ++k)
            ASSERT_TRUE(same_bits(y.re[k], want.re[k]) && same_bits(y.im[k], want.im[k]))
                << "N " << N << ", k " << k;
    }
}

TEST(DftEntries, TablesAreBuiltOnceAndReusedForTheSameLength) {
    FftTables t;
    const Line x = random_line(100, 4);
    const Line first = forward(x, t);
    EXPECT_EQ(t.ip[0], 128);  // L = 256, n = 2L = 512 doubles: nw = n / 4
    const std::vector<double> table = t.w;
    const Line again = forward(x, t);
    EXPECT_EQ(t.w, table);
    EXPECT_EQ(again.re, first.re);
    EXPECT_EQ(again.im, first.im);
}

TEST(DftInverse, LengthsOutsideTwoToTheLongestAreRefusedAndNothingIsWritten) {
    FftTables t;
    std::vector<double> in(9000, 1.0), out_re(9000, -3.0), out_im(9000, -3.0);
    for (int N : {1, 0, -2, kMaxDftLength + 1}) {
        EXPECT_EQ(dft_inverse(N, in.data(), in.data(), out_re.data(), out_im.data(), t.ip.data(),
                              t.w.data()),
                  1)
            << N;
        for (std::size_t i = 0; i < out_re.size(); ++i) {
            ASSERT_EQ(out_re[i], -3.0) << "N = " << N;
            ASSERT_EQ(out_im[i], -3.0) << "N = " << N;
        }
    }
}

// dft_forward cannot report, so a length it cannot plan ends the process with its line on
// standard output (sent to standard error here, where the death test can see it).
void forward_of_length(int N) {
    FftTables t;
    std::vector<double> v(9000, 1.0);
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    (void)dft_forward(N, v.data(), v.data(), v.data(), v.data(), t.ip.data(), t.w.data());
    std::fputs("returned\n", stdout);
}

TEST(DftForwardDeathTest, LengthOneEndsTheProcessWithFailure) {
    EXPECT_EXIT(forward_of_length(1), ::testing::ExitedWithCode(1), "^failure!!!!\n$");
}

TEST(DftForwardDeathTest, LengthAboveTheLongestEndsTheProcessWithFailure) {
    EXPECT_EXIT(forward_of_length(kMaxDftLength + 1), ::testing::ExitedWithCode(1),
                "^failure!!!!\n$");
}

}  // namespace
