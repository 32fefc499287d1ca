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

// Whether neighbours of one colour are an edge, from the difference d of their colours (or,
// with alpha, of their weighted colours) and da of their alphas: 13 or more, or with alpha 13
// or more over black or over white, in units of 1 / 255.
bool naive_edge(double d, double da, bool weighted) {
    if (!weighted) return std::abs(static_cast<int>(d)) >= 13;
    return std::fabs(d) >= 13 * 255 || std::fabs(255 * da - d) >= 13 * 255;
}

// The whole hybrid resize written naively from its definition, for pictures of at least five
// pixels each way; with alpha, weighted by it.
std::vector<Bytes> naive_hybrid(const Picture& p, int W2, int H2, const Bytes* alpha = nullptr) {
    const int W = p.W, H = p.H;
    const bool weighted = alpha != nullptr;
    auto at = [](int x, int y, int h) { return static_cast<size_t>(x) * static_cast<size_t>(h) + static_cast<size_t>(y); };
    // The planes the passes take: the colours (weighted with alpha), then alpha.
    std::vector<std::vector<double>> in(weighted ? 4 : 3);
    const Bytes* colours[3] = {&p.r, &p.g, &p.b};
    for (size_t i = 0; i < p.sz(); ++i) {
        const double a = weighted ? (*alpha)[i] : 1;
        for (int c = 0; c < 3; ++c) in[static_cast<size_t>(c)].push_back((*colours[c])[i] * a);
        if (weighted) in[3].push_back(a);
    }
    const size_t planes = in.size();
    auto alpha_difference = [&](const std::vector<std::vector<double>>& v, size_t i, size_t j) {
        return weighted ? v[3][i] - v[3][j] : 0.0;
    };
    std::vector<int> rmask(p.sz()), rwide(p.sz());
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            int left = std::abs(x - 1);
            if (left > W - 1) left = 2 * W - left - 2;
            int right = x + 1;
            if (right > W - 1) right = 2 * W - right - 2;
            const size_t l = at(left, y, H), r = at(right, y, H);
            int sum = 0;
            for (size_t c = 0; c < 3; ++c)
                sum += naive_edge(in[c][l] - in[c][r], alpha_difference(in, l, r), weighted);
            rmask[at(x, y, H)] = sum >= 1;
        }
    rwide = rmask;
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y)
            if (rmask[at(x, y, H)])
                for (int d : {-2, -1, 1, 2})
                    if (x + d >= 0 && x + d < W) rwide[at(x + d, y, H)] = 1;
    std::vector<std::vector<double>> rows(planes, std::vector<double>(static_cast<size_t>(W2 * H)));
    for (size_t c = 0; c < planes; ++c)
        for (int y = 0; y < H; ++y) {
            std::vector<double> line;
            for (int x = 0; x < W; ++x) line.push_back(in[c][at(x, y, H)]);
            for (int k = 0; k < W2; ++k) {
                NaivePosition pos = naive_position(k, W, W2);
                rows[c][at(k, y, H)] = rwide[at(pos.t, y, H)] ? naive_linear_sample(line, k, W2)
                                                              : naive_lanczos3_sample(line, k, W2);
            }
        }
    std::vector<int> cmask(static_cast<size_t>(W2 * H)), cwide;
    for (int x = 0; x < W2; ++x)
        for (int y = 0; y < H; ++y) {
            int lower = std::abs(y - 1);
            int upper = y + 1 > H - 1 ? 2 * H - y - 3 : y + 1;
            const size_t u = at(x, upper, H), l = at(x, lower, H);
            int sum = 0;
            for (size_t c = 0; c < 3; ++c)
                sum += naive_edge(rows[c][u] - rows[c][l], alpha_difference(rows, u, l), weighted);
            cmask[at(x, y, H)] = sum >= 1;
        }
    cwide = cmask;
    for (int x = 0; x < W2; ++x)
        for (int y = 0; y < H; ++y)
            if (cmask[at(x, y, H)])
                for (int d : {-2, -1, 1, 2})
                    if (y + d >= 0 && y + d < H) cwide[at(x, y + d, H)] = 1;
    std::vector<std::vector<double>> sums(planes,
                                          std::vector<double>(static_cast<size_t>(W2 * H2)));
    for (size_t c = 0; c < planes; ++c)
        for (int x = 0; x < W2; ++x) {
            std::vector<double> line;
            for (int y = 0; y < H; ++y) line.push_back(rows[c][at(x, y, H)]);
            for (int k = 0; k < H2; ++k) {
                NaivePosition pos = naive_position(k, H, H2);
                sums[c][at(x, k, H2)] = cwide[at(x, pos.t, H)] ? naive_linear_sample(line, k, H2)
                                                               : naive_lanczos3_sample(line, k, H2);
            }
        }
    auto to_byte = [](double v) {
        return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(v));
    };
    std::vector<Bytes> out(planes);
    for (size_t c = 0; c < planes; ++c)
        for (size_t i = 0; i < sums[c].size(); ++i) {
            const double v = sums[c][i];
            if (!weighted || c == 3)
                out[c].push_back(to_byte(v));
            else
                out[c].push_back(sums[3][i] >= 1 ? to_byte(v / sums[3][i]) : std::uint8_t{0});
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

// An alpha plane of blocks other than the colours': clear (the colours hidden), opaque, and
// two partial levels with mild noise.
Bytes blocky_alpha(int W, int H) {
    Bytes a;
    std::mt19937 rng(static_cast<unsigned>(W * H));
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            const int level[4] = {0, 255, 120, 40};
            const int v = level[(x * 4 / W + y * 3 / H) % 4];
            a.push_back(static_cast<std::uint8_t>(v == 0 || v == 255 ? v : v + rng() % 9));
        }
    return a;
}

struct Case {
    int W, H, W2, H2;
    bool alpha;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.W << "x" << c.H << " to " << c.W2 << "x" << c.H2 << (c.alpha ? " with alpha" : "");
}

class HybridMatchesItsDefinition : public ::testing::TestWithParam<Case> {};

TEST_P(HybridMatchesItsDefinition, ByteForByteOnEveryInstructionSet) {
    const Case c = GetParam();
    Picture p = blocky_picture(c.W, c.H, static_cast<unsigned>(c.W * 31 + c.H));
    const Bytes alpha = blocky_alpha(c.W, c.H);
    const Bytes* a = c.alpha ? &alpha : nullptr;
    std::vector<Bytes> want = naive_hybrid(p, c.W2, c.H2, a);
    for_each_isa([&] {
        const std::vector<Bytes> got = planes_made(hybrid_resize, p.planes(a), c.W2, c.H2);
        ASSERT_EQ(got.size(), want.size());
        for (size_t ch = 0; ch < got.size(); ++ch)
            for (size_t i = 0; i < got[0].size(); ++i)
                ASSERT_EQ(int(got[ch][i]), int(want[ch][i]))
                    << "plane " << ch << " at " << i / static_cast<size_t>(c.H2) << ","
                    << i % static_cast<size_t>(c.H2);
    });
}

INSTANTIATE_TEST_SUITE_P(Sizes, HybridMatchesItsDefinition,
                         ::testing::Values(Case{12, 9, 24, 18, false}, Case{17, 11, 40, 23, false},
                                           Case{20, 20, 20, 20, false}, Case{30, 12, 17, 31, false},
                                           Case{9, 7, 9, 30, false}, Case{13, 5, 51, 5, false},
                                           Case{17, 11, 40, 23, true}, Case{30, 12, 17, 31, true},
                                           Case{12, 9, 70, 18, true}),
                         [](const auto& i) {
                             const Case& c = i.param;
                             return std::to_string(c.W) + "x" + std::to_string(c.H) + "to" +
                                    std::to_string(c.W2) + "x" + std::to_string(c.H2) +
                                    (c.alpha ? "Alpha" : "");
                         });

TEST(HybridResize, TinyPicturesStayInsideTheirLines) {
    // Widths and heights 1 to 5 with a strong edge wherever there are two pixels, opaque and
    // under an alpha with edges of its own (both kernel methods take the weighted path then).
    for (int W = 1; W <= 5; ++W)
        for (int H = 1; H <= 5; ++H) {
            Picture p(W, H);
            Bytes alpha;
            for (int x = 0; x < W; ++x)
                for (int y = 0; y < H; ++y) {
                    p.set(x, y, (x + y) % 2 ? 250 : 5, 128, 128);
                    alpha.push_back((x + 2 * y) % 3 ? 255 : 100);
                }
            const Bytes* alphas[2] = {nullptr, &alpha};
            for (const Bytes* a : alphas)
                for (auto method : {hybrid_resize, lanczos3_resize}) {
                    if (a == nullptr && method == lanczos3_resize) continue;
                    const std::vector<Bytes> got =
                        planes_made(method, p.planes(a), 2 * W + 1, 3 * H);
                    EXPECT_EQ(got[1].size(), static_cast<size_t>((2 * W + 1) * 3 * H));
                    for (std::uint8_t g : got[1])
                        EXPECT_TRUE(g == 128 || g == 127) << W << "x" << H << (a ? " alpha" : "");
                }
        }
}

// The weighted rule's boundary on the path the resize takes: halves of one colour and one
// alpha each, side by side, switch the Hybrid away from the Lanczos-3 result exactly when they
// differ by 13 or more as shown over black or over white.
TEST(HybridResize, WithAlphaAnEdgeIsWhatThePictureShows) {
    const struct {
        int c1, a1, c2, a2;
        bool edge;
        const char* why;
    } cases[] = {
        {255, 0, 255, 13, true, "white appearing: 13 over black"},
        {255, 0, 255, 12, false, "white appearing: 12 over black, nothing over white"},
        {0, 0, 0, 13, true, "black appearing: 13 over white"},
        {0, 0, 0, 12, false, "black appearing: 12 over white, nothing over black"},
        {128, 255, 128, 229, true, "128 fading by 26: 13.05 over black, 12.95 over white"},
        {127, 255, 127, 229, true, "127 fading by 26: 12.95 over black, 13.05 over white"},
        {128, 255, 128, 230, false, "128 fading by 25: 12.5 over either"},
        {0, 0, 255, 0, false, "colours hidden under alpha 0"},
        {100, 255, 113, 255, true, "opaque, 13 apart"},
        {100, 255, 112, 255, false, "opaque, 12 apart"},
    };
    for (const auto& c : cases) {
        Picture p(12, 4);
        Bytes a;
        for (int x = 0; x < 12; ++x)
            for (int y = 0; y < 4; ++y) {
                const int v = x < 6 ? c.c1 : c.c2;
                p.set(x, y, v, v, v);
                a.push_back(static_cast<std::uint8_t>(x < 6 ? c.a1 : c.a2));
            }
        const std::vector<Bytes> hybrid = planes_made(hybrid_resize, p.planes(&a), 25, 9);
        const std::vector<Bytes> lanczos3 = planes_made(lanczos3_resize, p.planes(&a), 25, 9);
        EXPECT_EQ(hybrid != lanczos3, c.edge) << c.why;
    }
}

// The same rule on the row pass's doubles: 13 * 255 in weighted colour over black, or in
// 255 * alpha - weighted colour over white, is an edge; a hair less is none.
TEST(ColumnEdgeMask, WithAlphaComparesWhatThePictureShows) {
    const struct {
        double p0, p2, a0, a2;
        bool edge;
    } cases[] = {
        {0, 3315, 0, 13, true},     {0, 3314.9, 0, 13, false},  {3315, 0, 13, 0, true},
        {0, 0, 0, 13, true},        {0, 0, 0, 12.99, false},    {0, 0, 13, 0, true},
        {0, 65025, 255, 255, true}, {7000, 7000, 0, 255, true}, {0, 3200, 0, 25, false},
    };
    for (const auto& c : cases) {
        // Row 1 compares rows 2 and 0 in red; green and blue are clear.
        const std::vector<double> red = {c.p0, 0.0, c.p2}, alpha = {c.a0, 0.0, c.a2};
        const std::vector<double> clear = {0.0, 0.0, 0.0};
        EdgeMask m(1, 3);
        column_edge_mask(red.data(), clear.data(), clear.data(), 1, 3, &m, alpha.data());
        EXPECT_EQ(m.channel[0][1], c.edge) << c.p0 << " " << c.p2 << " " << c.a0 << " " << c.a2;
    }
}

}  // namespace
