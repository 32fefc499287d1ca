#include "kernel_resize/hybrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "base/numeric.h"
#include "kernel_resize/lanczos3.h"
#include "tests/support/each_isa.h"
#include "tests/support/naive_resample.h"
#include "tests/support/planes.h"
#include "tests/support/tolerances.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Picture {
    int W, H;
    Bytes r, g, b;  // column-major
    Picture(int w, int h) : W(w), H(h), r(sz()), g(sz()), b(sz()) {}
    size_t sz() const { return static_cast<size_t>(W) * static_cast<size_t>(H); }
    void set(int x, int y, int rv, int gv, int bv) {
        size_t i = static_cast<size_t>(x * H + y);
        r[i] = static_cast<std::uint8_t>(rv);
        g[i] = static_cast<std::uint8_t>(gv);
        b[i] = static_cast<std::uint8_t>(bv);
    }
    // The planes as the methods read them, with alpha when given.
    PlaneSet planes(const Bytes* alpha = nullptr) const {
        return PlaneSet{W, H, {r.data(), g.data(), b.data(), alpha ? alpha->data() : nullptr}};
    }
};

// The column-major planes of a method's result.
std::vector<Bytes> planes_made(Status (*method)(const PlaneSet&, int, int, ResizedPlanes*,
                                                RunProgress*),
                               const PlaneSet& in, int W2, int H2) {
    ResizedPlanes out;
    EXPECT_TRUE(method(in, W2, H2, &out, nullptr).ok());
    std::vector<Bytes> planes;
    for (int c = 0; c < in.count(); ++c) planes.push_back(column_major(out, c));
    return planes;
}

std::vector<Bytes> hybrid_of(const Picture& p, int W2, int H2) {
    return planes_made(hybrid_resize, p.planes(), W2, H2);
}

// Both resizes of a picture.
struct Results {
    std::vector<Bytes> lanczos3, hybrid;
};

Results resize_both(const Picture& p, int W2, int H2) {
    return {planes_made(lanczos3_resize, p.planes(), W2, H2), hybrid_of(p, W2, H2)};
}

// Columns 0 .. e - 1 of value lo and e .. W - 1 of value hi in every colour.
Picture vertical_step(int W, int H, int e, int lo, int hi) {
    Picture p(W, H);
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            int v = x < e ? lo : hi;
            p.set(x, y, v, v, v);
        }
    return p;
}

std::vector<int> flags_of_row(const EdgeMask& m, const HeapArray<std::uint8_t>& grid, int y) {
    std::vector<int> f;
    for (int x = 0; x < m.width; ++x) f.push_back(grid[static_cast<size_t>(x * m.height + y)]);
    return f;
}

TEST(HybridResize, FlatPictureEqualsTheLanczos3Result) {
    Picture p(9, 7);
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y) p.set(x, y, 200, 31, 77);
    Results res = resize_both(p, 20, 15);
    EXPECT_EQ(res.hybrid, res.lanczos3);
}

TEST(RowEdgeMask, StepOfTwelveRaisesNoFlag) {
    Picture p = vertical_step(12, 6, 6, 100, 112);
    EdgeMask m(12, 6);
    row_edge_mask(p.r.data(), p.g.data(), p.b.data(), 12, 6, &m);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(flags_of_row(m, m.combined, y), std::vector<int>(12, 0));
}

// The threshold as hybrid_resize itself applies it: the resize builds its masks without the
// channel grids, on a path of its own, so the boundary is checked through its results.
TEST(HybridResize, VerticalStepOfThirteenSwitchesTheRowPassAndTwelveDoesNot) {
    Results twelve = resize_both(vertical_step(12, 6, 6, 100, 112), 25, 13);
    EXPECT_EQ(twelve.hybrid, twelve.lanczos3) << "a step of 12 is no edge";
    Results thirteen = resize_both(vertical_step(12, 6, 6, 100, 113), 25, 13);
    EXPECT_NE(thirteen.hybrid, thirteen.lanczos3) << "a step of 13 is an edge";
}

// Red steps from 100 to 100 + step between rows 5 and 6 of a 12 x 12 picture; blue repeats
// 0, 0, 100, 100 along every row, which flags every column of the row mask, so the row pass
// (at the same width, f = k and h = 0) interpolates v[k] * 1 + v[k + 1] * 0 and hands the
// column mask the step exactly. Returns the red column of the hybrid result, doubled in height.
std::vector<int> red_column_across_a_horizontal_step(int step) {
    Picture p(12, 12);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 12; ++y) p.set(x, y, y < 6 ? 100 : 100 + step, 50, x % 4 < 2 ? 0 : 100);
    const Bytes red = hybrid_of(p, 12, 24)[0];
    return std::vector<int>(red.begin() + 5 * 24, red.begin() + 6 * 24);
}

TEST(HybridResize, HorizontalStepOfThirteenSwitchesTheColumnPassAndTwelveDoesNot) {
    // Linear interpolation stays between the two levels; the Lanczos-3 sum rings below the
    // lower one next to the step.
    std::vector<int> thirteen = red_column_across_a_horizontal_step(13);
    EXPECT_EQ(*std::min_element(thirteen.begin(), thirteen.end()), 100)
        << "a step of 13 is an edge";
    EXPECT_EQ(*std::max_element(thirteen.begin(), thirteen.end()), 113);
    std::vector<int> twelve = red_column_across_a_horizontal_step(12);
    EXPECT_LT(*std::min_element(twelve.begin(), twelve.end()), 99) << "a step of 12 is no edge";
}

TEST(RowEdgeMask, StepOfThirteenInOneColourFlagsBothSidesAndWidensByTwo) {
    Picture p(12, 3);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 3; ++y) p.set(x, y, 50, x < 6 ? 100 : 113, 50);
    EdgeMask m(12, 3);
    row_edge_mask(p.r.data(), p.g.data(), p.b.data(), 12, 3, &m);
    dilate_mask(&m, MaskDirection::along_rows);
    const std::vector<int> edge = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0};
    const std::vector<int> wide = {0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0};
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(flags_of_row(m, m.channel[0], y), std::vector<int>(12, 0));
        EXPECT_EQ(flags_of_row(m, m.channel[1], y), edge);
        EXPECT_EQ(flags_of_row(m, m.combined, y), edge);
        EXPECT_EQ(flags_of_row(m, m.widened, y), wide);
    }
}

TEST(RowEdgeMask, FirstAndLastColumnsAreFlaggedOnlyThroughWidening) {
    // Steps between columns 1|2 and 9|10: columns 1, 2, 9, 10 differ; 0 and 11 compare a
    // column with itself.
    Picture p(12, 1);
    for (int x = 0; x < 12; ++x) p.set(x, 0, x < 2 || x >= 10 ? 0 : 200, 0, 0);
    EdgeMask m(12, 1);
    row_edge_mask(p.r.data(), p.g.data(), p.b.data(), 12, 1, &m);
    dilate_mask(&m, MaskDirection::along_rows);
    EXPECT_EQ(flags_of_row(m, m.combined, 0),
              (std::vector<int>{0, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(flags_of_row(m, m.widened, 0),
              (std::vector<int>{1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1}));
}

TEST(HybridRows, StepRowEnlargesToStraightRamp) {
    const Bytes row = {10, 10, 10, 10, 10, 10, 40, 40, 40, 40, 40, 40};
    Picture p(12, 1);
    for (int x = 0; x < 12; ++x) p.set(x, 0, row[static_cast<size_t>(x)], 0, 0);
    EdgeMask m(12, 1);
    row_edge_mask(p.r.data(), p.g.data(), p.b.data(), 12, 1, &m);
    dilate_mask(&m, MaskDirection::along_rows);
    std::vector<double> out(24);
    hybrid_rows(1, 12, 24, p.r.data(), m.widened.get(), out.data());
    for (int k = 0; k < 11; ++k)
        EXPECT_NEAR(out[static_cast<size_t>(k)], 10.0, tol::kTwoTapValue) << k;
    EXPECT_NEAR(out[11], 17.5, tol::kTwoTapValue);
    EXPECT_NEAR(out[12], 32.5, tol::kTwoTapValue);
    for (int k = 13; k < 24; ++k)
        EXPECT_NEAR(out[static_cast<size_t>(k)], 40.0, tol::kTwoTapValue) << k;
    // The plain Lanczos3 row overshoots next to the same step.
    std::vector<double> in(row.begin(), row.end()), plain(24);
    lanczos3_rows(1, 12, 24, in.data(), plain.data());
    EXPECT_NEAR(plain[10], 6.9, tol::kOneDecimal);
    EXPECT_NEAR(plain[13], 43.1, tol::kOneDecimal);
}

TEST(HybridRows, DoubledRowWithColumnZeroFlaggedStartsBetweenSamplesZeroAndOne) {
    const Bytes row = {0, 100, 60, 60, 60, 60};
    Bytes mask = {1, 0, 0, 0, 0, 0};  // one line: flag (x, 0) at x
    std::vector<double> out(12);
    hybrid_rows(1, 6, 12, row.data(), mask.data(), out.data());
    // f = -0.25: t = 0, b = -1, h = 0.75, so v[1] * 0.25 + v[0] * 0.75.
    EXPECT_EQ(out[0], 100 * (1 - 0.75) + 0 * 0.75);
    EXPECT_EQ(out[0], 25.0);
}

TEST(HybridColumns, SwitchesEachSampleByTheFlagAtItsSourcePosition) {
    // 37 columns (more than one band) of 9 doubles each, enlarged to 20 samples, with flags in
    // runs and alone.
    const int lines = 37, N = 9, M = 20;
    std::mt19937 rng(3);
    std::vector<double> in(static_cast<size_t>(lines * N));
    for (double& v : in) v = static_cast<double>(rng() % 300000) / 1000.0 - 20.0;
    Bytes mask(in.size());
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = (i / 5) % 3 == 0 || rng() % 7 == 0;
    Bytes want(static_cast<size_t>(lines * M));
    for (int l = 0; l < lines; ++l) {
        std::vector<double> line(in.begin() + l * N, in.begin() + (l + 1) * N);
        for (int k = 0; k < M; ++k) {
            const int t = naive_position(k, N, M).t;
            const double v = mask[static_cast<size_t>(l * N + t)]
                                 ? naive_linear_sample(line, k, M)
                                 : naive_lanczos3_sample(line, k, M);
            want[static_cast<size_t>(l * M + k)] = clamp_to_byte(v);
        }
    }
    for_each_isa([&] {
        Bytes out(want.size());
        hybrid_columns(lines, N, M, in.data(), mask.data(), out.data());
        EXPECT_EQ(out, want);
    });
}

TEST(ColumnEdgeMask, TruncatesTheDifferenceBeforeComparing) {
    // One column of four rows per colour; row 1 compares rows 2 and 0, row 2 rows 3 and 1.
    const std::vector<double> red = {0.0, 50.0, 12.9, 50.0};
    const std::vector<double> green = {100.0, 0.0, 100.0, -13.4 + 0.0};
    const std::vector<double> zero(4, 0.0);
    EdgeMask m(1, 4);
    column_edge_mask(red.data(), zero.data(), zero.data(), 1, 4, &m);
    EXPECT_EQ(m.combined[1], 0) << "12.9 is not an edge";
    EdgeMask g(1, 4);
    column_edge_mask(zero.data(), green.data(), zero.data(), 1, 4, &g);
    EXPECT_EQ(g.channel[1][2], 1) << "-13.4 - 0 is an edge";
    EXPECT_EQ(g.channel[1][1], 0) << "100 - 100 is none";
    // The first and last rows compare a row with itself.
    EXPECT_EQ(g.combined[0], 0);
    EXPECT_EQ(g.combined[3], 0);
}

TEST(HybridResize, HorizontalStepIsFoundOnlyByTheColumnMask) {
    // Upper rows one colour, lower rows another, each row uniform: a step of 14.
    Picture p(8, 10);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 10; ++y) p.set(x, y, y < 5 ? 100 : 114, 40, 40);
    EdgeMask rm(8, 10);
    row_edge_mask(p.r.data(), p.g.data(), p.b.data(), 8, 10, &rm);
    for (size_t i = 0; i < p.sz(); ++i) ASSERT_EQ(rm.combined[i], 0);
    std::vector<double> rows[3];
    dilate_mask(&rm, MaskDirection::along_rows);
    const Bytes* planes[3] = {&p.r, &p.g, &p.b};
    for (int c = 0; c < 3; ++c) {
        rows[c].resize(16 * 10);
        hybrid_rows(10, 8, 16, planes[c]->data(), rm.widened.get(), rows[c].data());
    }
    EdgeMask cm(16, 10);
    column_edge_mask(rows[0].data(), rows[1].data(), rows[2].data(), 16, 10, &cm);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 10; ++y)
            EXPECT_EQ(cm.combined[static_cast<size_t>(x * 10 + y)], y == 4 || y == 5)
                << x << "," << y;
    Results res = resize_both(p, 16, 20);
    EXPECT_NE(res.hybrid, res.lanczos3);
}

// The whole hybrid resize written naively from its definition, for pictures of at least five
// pixels each way.
std::vector<Bytes> naive_hybrid(const Picture& p, int W2, int H2) {
    const int W = p.W, H = p.H;
    const Bytes* planes[3] = {&p.r, &p.g, &p.b};
    auto at = [](int x, int y, int h) { return static_cast<size_t>(x) * static_cast<size_t>(h) + static_cast<size_t>(y); };
    std::vector<int> rmask(p.sz()), rwide(p.sz());
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            int left = std::abs(x - 1);
            if (left > W - 1) left = 2 * W - left - 2;
            int right = x + 1;
            if (right > W - 1) right = 2 * W - right - 2;
            int sum = 0;
            for (int c = 0; c < 3; ++c)
                sum += std::abs((*planes[c])[at(left, y, H)] - (*planes[c])[at(right, y, H)]) >= 13;
            rmask[at(x, y, H)] = sum >= 1;
        }
    rwide = rmask;
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y)
            if (rmask[at(x, y, H)])
                for (int d : {-2, -1, 1, 2})
                    if (x + d >= 0 && x + d < W) rwide[at(x + d, y, H)] = 1;
    std::vector<std::vector<double>> rows(3, std::vector<double>(static_cast<size_t>(W2 * H)));
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < H; ++y) {
            std::vector<double> line;
            for (int x = 0; x < W; ++x) line.push_back((*planes[c])[at(x, y, H)]);
            for (int k = 0; k < W2; ++k) {
                NaivePosition pos = naive_position(k, W, W2);
                rows[static_cast<size_t>(c)][at(k, y, H)] =
                    rwide[at(pos.t, y, H)] ? naive_linear_sample(line, k, W2)
                                           : naive_lanczos3_sample(line, k, W2);
            }
        }
    std::vector<int> cmask(static_cast<size_t>(W2 * H)), cwide;
    for (int x = 0; x < W2; ++x)
        for (int y = 0; y < H; ++y) {
            int lower = std::abs(y - 1);
            int upper = y + 1 > H - 1 ? 2 * H - y - 3 : y + 1;
            int sum = 0;
            for (int c = 0; c < 3; ++c) {
                const auto& r = rows[static_cast<size_t>(c)];
                sum += std::abs(static_cast<int>(r[at(x, upper, H)] - r[at(x, lower, H)])) >= 13;
            }
            cmask[at(x, y, H)] = sum >= 1;
        }
    cwide = cmask;
    for (int x = 0; x < W2; ++x)
        for (int y = 0; y < H; ++y)
            if (cmask[at(x, y, H)])
                for (int d : {-2, -1, 1, 2})
                    if (y + d >= 0 && y + d < H) cwide[at(x, y + d, H)] = 1;
    std::vector<Bytes> out(3, Bytes(static_cast<size_t>(W2 * H2)));
    for (int c = 0; c < 3; ++c)
        for (int x = 0; x < W2; ++x) {
            std::vector<double> line;
            for (int y = 0; y < H; ++y) line.push_back(rows[static_cast<size_t>(c)][at(x, y, H)]);
            for (int k = 0; k < H2; ++k) {
                NaivePosition pos = naive_position(k, H, H2);
                double v = cwide[at(x, pos.t, H)] ? naive_linear_sample(line, k, H2)
                                                  : naive_lanczos3_sample(line, k, H2);
                out[static_cast<size_t>(c)][at(x, k, H2)] =
                    v < 0 ? 0 : v > 255 ? 255 : static_cast<std::uint8_t>(static_cast<int>(v));
            }
        }
    return out;
}

// Flat blocks with mild noise: some borders are edges, some are not, and noise alone rarely is.
Picture blocky_picture(int W, int H, unsigned seed) {
    std::mt19937 rng(seed);
    Picture p(W, H);
    int base[4][3];
    for (auto& b : base)
        for (int& v : b) v = static_cast<int>(rng() % 200) + 20;
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            const int* b = base[(x * 3 / W) % 2 * 2 + (y * 2 / H)];
            auto n = [&rng]() { return static_cast<int>(rng() % 9) - 4; };
            p.set(x, y, b[0] + n(), b[1] + n(), b[2] + n());
        }
    return p;
}

struct Case {
    int W, H, W2, H2;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.W << "x" << c.H << " to " << c.W2 << "x" << c.H2; }

class HybridMatchesItsDefinition : public ::testing::TestWithParam<Case> {};

TEST_P(HybridMatchesItsDefinition, ByteForByteOnEveryInstructionSet) {
    const Case c = GetParam();
    Picture p = blocky_picture(c.W, c.H, static_cast<unsigned>(c.W * 31 + c.H));
    std::vector<Bytes> want = naive_hybrid(p, c.W2, c.H2);
    for_each_isa([&] {
        const std::vector<Bytes> got = hybrid_of(p, c.W2, c.H2);
        for (int ch = 0; ch < 3; ++ch)
            for (size_t i = 0; i < got[0].size(); ++i)
                ASSERT_EQ(int(got[static_cast<size_t>(ch)][i]),
                          int(want[static_cast<size_t>(ch)][i]))
                    << "colour " << ch << " at " << i / static_cast<size_t>(c.H2) << ","
                    << i % static_cast<size_t>(c.H2);
    });
}

INSTANTIATE_TEST_SUITE_P(Sizes, HybridMatchesItsDefinition,
                         ::testing::Values(Case{12, 9, 24, 18}, Case{17, 11, 40, 23},
                                           Case{20, 20, 20, 20}, Case{30, 12, 17, 31},
                                           Case{9, 7, 9, 30}, Case{13, 5, 51, 5}),
                         [](const auto& i) {
                             const Case& c = i.param;
                             return std::to_string(c.W) + "x" + std::to_string(c.H) + "to" +
                                    std::to_string(c.W2) + "x" + std::to_string(c.H2);
                         });

TEST(HybridResize, TinyPicturesStayInsideTheirLines) {
    // Widths and heights 1 to 5 with a strong edge wherever there are two pixels.
    for (int W = 1; W <= 5; ++W)
        for (int H = 1; H <= 5; ++H) {
            Picture p(W, H);
            for (int x = 0; x < W; ++x)
                for (int y = 0; y < H; ++y) p.set(x, y, (x + y) % 2 ? 250 : 5, 128, 128);
            const std::vector<Bytes> got = hybrid_of(p, 2 * W + 1, 3 * H);
            EXPECT_EQ(got[1].size(), static_cast<size_t>((2 * W + 1) * 3 * H));
            for (std::uint8_t g : got[1]) EXPECT_TRUE(g == 128 || g == 127) << W << "x" << H;
        }
}

// Alpha is switched by the colours' masks, not by edges of its own: its expected result is
// built from the public passes with the masks of the three colours. A step in alpha where the
// colours have none stays a Lanczos-3 step, and alpha's row-pass results take no part in the
// column mask.
TEST(HybridResize, AlphaFollowsTheMasksOfTheColours) {
    const int W = 14, H = 9, W2 = 31, H2 = 20;
    Picture p = vertical_step(W, H, 5, 20, 200);  // a colour edge at column 5
    Bytes a(p.sz());
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y)
            // Its own edge at column 10, a horizontal one at row 4, and the colours' one.
            a[static_cast<std::size_t>(x * H + y)] =
                static_cast<std::uint8_t>((x >= 10 ? 250 : 30) - (y >= 4 ? 25 : 0) - (x >= 5 ? 0 : 5));
    const std::vector<Bytes> got = planes_made(hybrid_resize, p.planes(&a), W2, H2);
    ASSERT_EQ(got.size(), 4u);

    EdgeMask rows(W, H);
    row_edge_mask(p.r.data(), p.g.data(), p.b.data(), W, H, &rows);
    dilate_mask(&rows, MaskDirection::along_rows);
    const std::size_t n1 = static_cast<std::size_t>(W2 * H);
    std::vector<double> rr(n1), rg(n1), rb(n1), ra(n1);
    hybrid_rows(H, W, W2, p.r.data(), rows.widened.get(), rr.data());
    hybrid_rows(H, W, W2, p.g.data(), rows.widened.get(), rg.data());
    hybrid_rows(H, W, W2, p.b.data(), rows.widened.get(), rb.data());
    hybrid_rows(H, W, W2, a.data(), rows.widened.get(), ra.data());
    EdgeMask columns(W2, H);
    column_edge_mask(rr.data(), rg.data(), rb.data(), W2, H, &columns);
    dilate_mask(&columns, MaskDirection::along_columns);
    Bytes want(static_cast<std::size_t>(W2 * H2));
    hybrid_columns(W2, H, H2, ra.data(), columns.widened.get(), want.data());
    EXPECT_EQ(got[3], want);

    // Alpha's own edges would have switched it elsewhere: the test can tell.
    Picture alone(W, H);
    alone.r = alone.g = alone.b = a;
    EXPECT_NE(hybrid_of(alone, W2, H2)[0], want);
    // And the colours are those of the result without alpha.
    const std::vector<Bytes> plain = hybrid_of(p, W2, H2);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(got[static_cast<size_t>(c)], plain[static_cast<size_t>(c)]) << c;
}

}  // namespace
