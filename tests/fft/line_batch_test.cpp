#include "fft/line_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/numeric.h"
#include "fft/chirp_dft.h"
#include "fft/complex_fft.h"
#include "fft/line_transforms.h"
#include "tests/fft/fft_reference.h"
#include "tests/fft/lanes_fft.h"
#include "tests/support/each_isa.h"

namespace {

// The lanes_fft_* entry of the set in use, as line_batch.cpp chooses its entries.
void lanes_fft(int n, int sign, double* buf, const int* ip, const double* w) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return lanes_fft_avx512(n, sign, buf, ip, ip[0], w);
        case Isa::avx2:
            return lanes_fft_avx2(n, sign, buf, ip, ip[0], w);
#endif
        default:
            return lanes_fft_generic(n, sign, buf, ip, ip[0], w);
    }
}

using fft_test::FftTables;
using fft_test::Line;
using fft_test::random_line;
using fft_test::same_bits;

class LaneFft : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(LaneFft, EveryLaneHasTheBitsOfComplexFft) {
    const auto [n, sign] = GetParam();
    FftTables t(std::max(n, fft_test::kMaxN));
    make_twiddle_table(n / 4 > 0 ? n / 4 : 1, t.ip.data(), t.w.data());
    // The lanes hold different lines; lane l's doubles are lines[l].
    std::vector<std::vector<double>> lines;
    for (int l = 0; l < kLanes; ++l) {
        const Line x = random_line(n / 2, static_cast<unsigned>(n * 8 + l));
        std::vector<double> a;
        for (int j = 0; j < n / 2; ++j) {
            a.push_back(x.re[static_cast<std::size_t>(j)]);
            a.push_back(x.im[static_cast<std::size_t>(j)]);
        }
        lines.push_back(a);
    }
    std::vector<std::vector<double>> want = lines;
    for (auto& a : want) complex_fft(n, sign, a.data(), t.ip.data(), t.w.data());
    const int nw_before = t.ip[0];
    for_each_isa([&] {
        // Blocks of `width` lanes, n doubles of each.
        const std::size_t width = static_cast<std::size_t>(lane_width(active_isa()));
        const auto at = [&](int i, int l) {
            const std::size_t lane = static_cast<std::size_t>(l);
            return lane / width * width * static_cast<std::size_t>(n) +
                   static_cast<std::size_t>(i) * width + lane % width;
        };
        BigArray buf(static_cast<std::size_t>(n) * kLanes, "test");
        for (int i = 0; i < n; ++i)
            for (int l = 0; l < kLanes; ++l)
                buf.get()[at(i, l)] = lines[static_cast<std::size_t>(l)][static_cast<std::size_t>(i)];
        lanes_fft(n, sign, buf.get(), t.ip.data(), t.w.data());
        for (int i = 0; i < n; ++i)
            for (int l = 0; l < kLanes; ++l) {
                const double got = buf.get()[at(i, l)];
                const double exp = want[static_cast<std::size_t>(l)][static_cast<std::size_t>(i)];
                ASSERT_TRUE(same_bits(got, exp)) << "n " << n << ", double " << i << ", lane " << l
                                                 << ": " << got << " vs " << exp;
            }
    });
    EXPECT_EQ(t.ip[0], nw_before);  // the tables are only read
}

std::vector<int> fft_lengths() {
    std::vector<int> v;
    // Up to the transforms of a line of 32768 points (n = 2L = 131072 doubles).
    for (int n = 4; n <= 131072; n *= 2) v.push_back(n);
    return v;
}

INSTANTIATE_TEST_SUITE_P(AllLengths, LaneFft,
                         ::testing::Combine(::testing::ValuesIn(fft_lengths()),
                                            ::testing::Values(-1, 1)),
                         [](const auto& p) {
                             return "n" + std::to_string(std::get<0>(p.param)) +
                                    (std::get<1>(p.param) < 0 ? "_minus" : "_plus");
                         });

class LaneLineTransforms : public ::testing::TestWithParam<int> {};

void load_lanes(const std::vector<Line>& lines, const LaneLayout& lay, double* buf) {
    for (int l = 0; l < kLanes; ++l) {
        const Line& x = lines[static_cast<std::size_t>(l)];
        for (std::size_t j = 0; j < x.re.size(); ++j) {
            buf[lay.re(static_cast<int>(j), l)] = x.re[j];
            buf[lay.im(static_cast<int>(j), l)] = x.im[j];
        }
    }
}

// Outputs 0 .. count - 1 of every lane against the one-line results.
void expect_lanes_equal(const std::vector<Line>& want, std::size_t count, const LaneLayout& lay,
                        const double* buf) {
    for (int l = 0; l < kLanes; ++l) {
        const Line& y = want[static_cast<std::size_t>(l)];
        for (std::size_t k = 0; k < count; ++k) {
            const double re = buf[lay.re(static_cast<int>(k), l)];
            const double im = buf[lay.im(static_cast<int>(k), l)];
            ASSERT_TRUE(same_bits(re, y.re[k]) && same_bits(im, y.im[k]))
                << "lane " << l << ", k " << k << ": (" << re << ", " << im << ") vs (" << y.re[k]
                << ", " << y.im[k] << ")";
        }
    }
}

std::vector<Line> random_lines(int n, unsigned seed) {
    std::vector<Line> lines;
    for (int l = 0; l < kLanes; ++l)
        lines.push_back(random_line(n, seed + static_cast<unsigned>(l)));
    // A line of zeros and a real line, as the resize's first pass and stuffed spectra give.
    lines[1].re.assign(lines[1].re.size(), 0.0);
    lines[1].im.assign(lines[1].im.size(), 0.0);
    lines[2].im.assign(lines[2].im.size(), 0.0);
    return lines;
}

Line one_line_forward(const Line& x) {
    FftTables t = fft_test::tables_for_line(static_cast<int>(x.re.size()));
    Line y{std::vector<double>(x.re.size()), std::vector<double>(x.re.size())};
    shifted_dft_contiguous(static_cast<int>(x.re.size()), x.re.data(), x.im.data(), y.re.data(),
                           y.im.data(), t.ip.data(), t.w.data());
    return y;
}

Line one_line_inverse(Line x) {
    FftTables t = fft_test::tables_for_line(static_cast<int>(x.re.size()));
    Line y{std::vector<double>(x.re.size()), std::vector<double>(x.re.size())};
    shifted_idft_contiguous(static_cast<int>(x.re.size()), x.re.data(), x.im.data(), y.re.data(),
                            y.im.data(), t.ip.data(), t.w.data());
    return y;
}

// Runs lanes_forward (count < 0) or lanes_inverse with every set on lines whose known zeros
// are poisoned in the buffer (a NaN read would spread to every output) and compares the first
// count outputs, or all n, with the one-line results.
void expect_lanes_match(const LinePlan& plan, const std::vector<Line>& lines,
                        const std::vector<Line>& want, const KnownZeros& in, int count) {
    for_each_isa([&] {
        BigArray buf = lane_buffer(plan.L, "test");
        const LaneLayout lay = lane_layout(plan.L);
        load_lanes(lines, lay, buf.get());
        const double poison = std::numeric_limits<double>::quiet_NaN();
        for (int j = 0; j < plan.n; ++j)
            for (int l = 0; l < kLanes; ++l) {
                if (j >= in.from && j < in.to) buf.get()[lay.re(j, l)] = poison;
                if ((j >= in.from && j < in.to) || in.real) buf.get()[lay.im(j, l)] = poison;
            }
        if (count < 0) {
            lanes_forward(plan, in, buf.get());
        } else {
            lanes_inverse(plan, in, count, buf.get());
        }
        expect_lanes_equal(want, to_size(count < 0 ? plan.n : count), lay, buf.get());
    });
}

TEST_P(LaneLineTransforms, ForwardHasTheBitsOfShiftedDftContiguous) {
    const int n = GetParam();
    const std::vector<Line> lines = random_lines(n, static_cast<unsigned>(n));
    std::vector<Line> want;
    for (const Line& x : lines) want.push_back(one_line_forward(x));
    LinePlan plan;
    line_plan_build(&plan, n);
    expect_lanes_match(plan, lines, want, KnownZeros{}, -1);
}

TEST_P(LaneLineTransforms, InverseHasTheBitsOfShiftedIdftContiguous) {
    const int n = GetParam();
    const std::vector<Line> lines = random_lines(n, static_cast<unsigned>(n) + 1000u);
    std::vector<Line> want;
    for (const Line& x : lines) want.push_back(one_line_inverse(x));
    LinePlan plan;
    line_plan_build(&plan, n);
    // All outputs, and the first half alone as the resize asks for.
    for (const int count : {n, (n + 1) / 2}) {
        SCOPED_TRACE("count " + std::to_string(count));
        expect_lanes_match(plan, lines, want, KnownZeros{}, count);
    }
}

// The lines as the resize hands them over, on every set: real rows to the forward pass, and
// to the inverse a band of zeros in the middle of each line (the zero insertion), half of the
// outputs kept. The zeros are not read, yet every bit is that of the line holding them.
void expect_resize_lines_match(int n) {
    std::vector<Line> real = random_lines(n, static_cast<unsigned>(n) + 2000u);
    for (Line& x : real) x.im.assign(x.im.size(), 0.0);
    std::vector<Line> want;
    for (const Line& x : real) want.push_back(one_line_forward(x));
    LinePlan plan;
    line_plan_build(&plan, n);
    KnownZeros in;
    in.real = true;
    {
        SCOPED_TRACE("real lines");
        expect_lanes_match(plan, real, want, in, -1);
    }
    in = KnownZeros{};
    in.from = n / 3 + 1;
    in.to = n - n / 3;
    std::vector<Line> banded = random_lines(n, static_cast<unsigned>(n) + 3000u);
    for (Line& x : banded)
        for (int j = in.from; j < in.to; ++j) x.re[to_size(j)] = x.im[to_size(j)] = 0.0;
    want.clear();
    for (const Line& x : banded) want.push_back(one_line_inverse(x));
    SCOPED_TRACE("zeros " + std::to_string(in.from) + " .. " + std::to_string(in.to - 1));
    expect_lanes_match(plan, banded, want, in, (n + 1) / 2);
}

TEST_P(LaneLineTransforms, KnownZerosAreNotReadAndGiveTheBitsOfStoredZeros) {
    expect_resize_lines_match(GetParam());
}

// Every even line length of the resize up to 24576 (sides up to 12288 pixels). It takes many
// minutes, so it runs only when asked for (--gtest_also_run_disabled_tests), after a change to
// the templates of fft/; the lengths below cover every padded length at its shortest and
// longest line.
TEST(LaneLineTransformsEveryLength, DISABLED_EveryEvenLengthOfTheResize) {
    for (int n = 2; n <= 24576 && !HasFatalFailure(); n += 2) {
        SCOPED_TRACE("n " + std::to_string(n));
        expect_resize_lines_match(n);
    }
}

// For every padded length L from 4 to 65536 the shortest and the longest line (L / 4 + 1 and
// L / 2 points; 2 and 3 for the shortest L), the resize's lengths of a full-HD doubling and of
// a 12-megapixel photo doubled (4000 x 3000 to 8000 x 6000), odd and prime lengths.
INSTANTIATE_TEST_SUITE_P(Lengths, LaneLineTransforms,
                         ::testing::Values(2, 3, 4, 5, 8, 9, 16, 17, 32, 33, 64, 65, 128, 129, 256,
                                           257, 512, 513, 1024, 1025, 2048, 2049, 4096, 4097, 8192,
                                           8193, 16384, 16385, 32768, 97, 1000, 2160, 3001, 3840,
                                           4320, 7680, 12000, 16000),
                         [](const auto& p) { return "n" + std::to_string(p.param); });

TEST(LinePlan, HoldsTheChirpKernelAndTablesOfAOneLinePlan) {
    FftTables t;
    ChirpPlan cp;
    ASSERT_EQ(chirp_plan_create(&cp, 202, 202, t.ip.data(), t.w.data()), 0);
    LinePlan plan;
    line_plan_build(&plan, 202);
    EXPECT_EQ(plan.L, cp.L);
    EXPECT_EQ(plan.tables.chirp.nw, t.ip[0]);
    for (int j = 0; j < 202; ++j) {
        EXPECT_TRUE(same_bits(plan.chirp_re[static_cast<std::size_t>(j)], cp.chirp_re[j]));
        EXPECT_TRUE(same_bits(plan.chirp_im[static_cast<std::size_t>(j)], cp.chirp_im[j]));
    }
    for (int k = 0; k < cp.L; ++k)
        EXPECT_TRUE(same_bits(plan.kernel_im[static_cast<std::size_t>(k)], cp.kernel_im[k]));
    // nw - 2 entries of the table are written; the last two are never read.
    for (int i = 0; i < t.ip[0] - 2; ++i)
        ASSERT_TRUE(
            same_bits(plan.w[static_cast<std::size_t>(i)], t.w[static_cast<std::size_t>(i)]))
            << i;
    chirp_plan_destroy(&cp);
}

}  // namespace
