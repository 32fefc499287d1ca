#include "dft_resize/dft_interpolate.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "base/alloc.h"
#include "base/numeric.h"
#include "base/parallel.h"
#include "fft/line_batch.h"

// The method is defined line by line: a chirp-z plan per line, FFT tables rebuilt per pass,
// full 2W2 x 2H2 grids for the zero insertion. This schedule computes the same values with
// less work, and every shortcut keeps every bit:
// - A line transform's chirp, kernel spectrum, rotation factors and FFT tables depend only on
//   its length: one LinePlan per length, built by the very routines a per-line plan uses.
// - Lines are independent: kLanes of them run in vector lanes with exactly the scalar
//   operations of each line, and groups of lines are shared out among the cores.
// - Rows Y and 2H - 1 - Y of the mirrored grid are the same input, so the forward row pass
//   transforms rows 0 .. H - 1 only and the column pass reads the mirror of that.
// - The zero insertion and the Nyquist split are not stored: each inverse row is gathered
//   from the forward spectrum with the zeros and halvings applied on the way, the same
//   products in the same order as the split performs them on the full grid.
// - Rows that are all zero after the insertion transform to zeros (of either sign: products
//   with a zero are zero and a sum with an exact zero is exact, so the sign of a zero never
//   reaches a nonzero value, and a zero becomes the byte 0 either way). They are neither
//   transformed nor stored; the column pass reads them as zeros.
// - Columns at or beyond W2 of the last pass and rows at or beyond H2 of its result are never
//   used, so only W2 columns are transformed and kept.

namespace {

// The mirror of the DCT grid repeats the edge sample: 0 .. n-1 then n-1 .. 0.
int mirror_repeat(int i, int n) {
    return i < n ? i : 2 * n - 1 - i;
}

void stage(const char* line) {
    std::fputs(line, stderr);
}

// Runs body(group, buffer) for groups 0 .. count - 1 on all workers, worker i with lane
// buffer i. Groups are handed out one at a time, so a core slowed by other work takes fewer.
template <class Body>
void for_line_groups(int count, std::vector<BigArray>& buffers, const Body& body) {
    if (count <= 0) return;
    std::atomic<int> next{0};
    const std::size_t workers = std::min(buffers.size(), static_cast<std::size_t>(count));
    parallel_for(workers, 1, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            double* buf = buffers[i].get();
            for (int g = next.fetch_add(1); g < count; g = next.fetch_add(1)) body(g, buf);
        }
    });
}

int group_count(int lines) {
    return (lines + kLanes - 1) / kLanes;
}

}  // namespace

struct DftPlaneWork::Impl {
    int W, H, W2, H2, dx, dy;
    // Rows of the stuffed spectrum that are not all zero, in order; R of them.
    std::vector<int> rows;
    // For each row Y of the stuffed spectrum, its index in rows, or -1 for a zero row.
    std::vector<int> compact;
    // Plans by use: forward rows (2W), forward columns (2H), inverse rows (2W2), inverse
    // columns (2H2); equal lengths share one plan.
    std::vector<LinePlan> plans;
    const LinePlan* fwd_rows;
    const LinePlan* fwd_cols;
    const LinePlan* inv_rows;
    const LinePlan* inv_cols;
    // The grids are stored row by row (element (X, Y) of a grid of width w at Y * w + X), so
    // that a group of eight lines is gathered and scattered either as eight neighbouring
    // values or as eight sequential streams, never across thousands of pages.
    // The forward spectrum, 2H rows of 2W.
    BigArray spec_re, spec_im;
    // The inverse row pass's result: the rows in `rows`, each W2 wide (columns from W2 on are
    // never used). Before that it holds the forward row pass's result (H rows of 2W).
    BigArray rows_re, rows_im;
    // One lane buffer per worker, for the longest line.
    std::vector<BigArray> buffers;
};

DftPlaneWork::DftPlaneWork(int W, int H, int W2, int H2) : impl_(new Impl) {
    Impl& m = *impl_;
    m.W = W;
    m.H = H;
    m.W2 = W2;
    m.H2 = H2;
    m.dx = W2 - W;
    m.dy = H2 - H;
    // Rows 0 .. H - 1 and H + 2dy .. 2H2 - 1 carry the spectrum; row H also carries the
    // Nyquist row's copy when dy > 0 (with dy = 0 it is the Nyquist row itself).
    m.compact.assign(to_size(2 * H2), -1);
    for (int Y = 0; Y < 2 * H2; ++Y) {
        if (Y <= H || Y >= H + 2 * m.dy) {
            m.compact[to_size(Y)] = static_cast<int>(m.rows.size());
            m.rows.push_back(Y);
        }
    }
    const int lengths[4] = {2 * W, 2 * H, 2 * W2, 2 * H2};
    m.plans.reserve(4);
    const LinePlan* chosen[4];
    for (int i = 0; i < 4; ++i) {
        chosen[i] = nullptr;
        for (const LinePlan& p : m.plans)
            if (p.n == lengths[i]) chosen[i] = &p;
        if (chosen[i] == nullptr) {
            m.plans.emplace_back();
            line_plan_build(&m.plans.back(), lengths[i]);
            chosen[i] = &m.plans.back();
        }
    }
    m.fwd_rows = chosen[0];
    m.fwd_cols = chosen[1];
    m.inv_rows = chosen[2];
    m.inv_cols = chosen[3];
    const std::size_t spectrum = 4 * to_size(W) * to_size(H);
    m.spec_re = BigArray(spectrum, "fourieR");
    m.spec_im = BigArray(spectrum, "fourieI");
    const std::size_t kept = to_size(W2) * m.rows.size();
    m.rows_re = BigArray(kept, "VOUTR");
    m.rows_im = BigArray(kept, "VOUTI");
    int longest = 0;
    for (const LinePlan& p : m.plans) longest = std::max(longest, p.L);
    for (int i = 0; i < worker_count(); ++i)
        m.buffers.push_back(lane_buffer(longest, "line buffer"));
}

DftPlaneWork::~DftPlaneWork() = default;

namespace {

using Impl = DftPlaneWork::Impl;

// Index in the forward spectrum (n wide, n = W or H) of index i of the stuffed spectrum grown
// by d (n + 2d wide), or -1 inside the band of zeros: i < n keeps its place, the band
// n .. n + 2d - 1 is zero, and the upper half moves up by 2d (the Nyquist index n to n + 2d).
int stuffed_source(int i, int n, int d) {
    return i < n ? i : i < n + 2 * d ? -1 : i - 2 * d;
}

// Forward row pass: rows 0 .. H - 1 of the mirrored plane (row 2H - 1 - Y is row Y again),
// 2W long with imaginary parts 0, transformed into rows_re/rows_im as H rows of 2W.
void forward_rows(Impl& m, const std::uint8_t* in) {
    const int W = m.W, H = m.H;
    const std::size_t width = 2 * to_size(W);
    double* rows_re = m.rows_re.get();
    double* rows_im = m.rows_im.get();
    const LaneLayout lay = lane_layout(m.fwd_rows->L);
    for_line_groups(group_count(H), m.buffers, [&](int g, double* buf) {
        const int y0 = g * kLanes, cnt = std::min(kLanes, H - y0);
        for (int X = 0; X < 2 * W; ++X) {
            const std::uint8_t* src = in + to_size(mirror_repeat(X, W)) * to_size(H) + to_size(y0);
            for (int l = 0; l < kLanes; ++l) {
                buf[lay.re(X, l)] = l < cnt ? static_cast<double>(src[l]) : 0.0;
                buf[lay.im(X, l)] = 0.0;
            }
        }
        lanes_forward(*m.fwd_rows, buf);
        for (int l = 0; l < cnt; ++l) {
            double* dr = rows_re + to_size(y0 + l) * width;
            double* di = rows_im + to_size(y0 + l) * width;
            for (int X = 0; X < 2 * W; ++X) {
                dr[X] = buf[lay.re(X, l)];
                di[X] = buf[lay.im(X, l)];
            }
        }
    });
}

// Forward column pass: the 2W columns of the mirrored forward rows (2H long, row Y read from
// row mirror_repeat(Y, H)) transformed into the spectrum spec_re/spec_im, 2H rows of 2W.
void forward_columns(Impl& m) {
    const int W = m.W, H = m.H;
    const std::size_t width = 2 * to_size(W);
    const double* rows_re = m.rows_re.get();
    const double* rows_im = m.rows_im.get();
    double* spec_re = m.spec_re.get();
    double* spec_im = m.spec_im.get();
    const LaneLayout lay = lane_layout(m.fwd_cols->L);
    for_line_groups(group_count(2 * W), m.buffers, [&](int g, double* buf) {
        const int x0 = g * kLanes, cnt = std::min(kLanes, 2 * W - x0);
        for (int Y = 0; Y < 2 * H; ++Y) {
            const std::size_t row = to_size(mirror_repeat(Y, H)) * width;
            // Lanes past the last column repeat it.
            for (int l = 0; l < kLanes; ++l) {
                const std::size_t at = row + to_size(x0 + std::min(l, cnt - 1));
                buf[lay.re(Y, l)] = rows_re[at];
                buf[lay.im(Y, l)] = rows_im[at];
            }
        }
        lanes_forward(*m.fwd_cols, buf);
        for (int Y = 0; Y < 2 * H; ++Y) {
            double* dr = spec_re + to_size(Y) * width + to_size(x0);
            double* di = spec_im + to_size(Y) * width + to_size(x0);
            for (int l = 0; l < cnt; ++l) {
                dr[l] = buf[lay.re(Y, l)];
                di[l] = buf[lay.im(Y, l)];
            }
        }
    });
}

// Zero insertion and Nyquist split on the way into the inverse row pass: loads rows
// rows[r0 .. r0 + cnt - 1] of the stuffed 2W2 x 2H2 spectrum into the lanes of buf (lanes past
// cnt repeat the last row), reading the forward spectrum through stuffed_source.
// The split, real parts only: column nyq_col and row nyq_row halved, in this order, then
// column nyq_col copied into column W and row nyq_row into row H. So real part (X, Y) is that
// of (x, y) = (X == W ? nyq_col : X, Y == H ? nyq_row : Y) after the insertion, times 0.5 if x
// is nyq_col, then times 0.5 if y is nyq_row: the same products in the same order as the
// split on the full grid. Imaginary parts are those of the insertion alone.
void gather_stuffed_rows(const Impl& m, const LaneLayout& lay, int r0, int cnt, double* buf) {
    const int W = m.W, H = m.H, W2 = m.W2;
    const int nyq_col = W + 2 * m.dx, nyq_row = H + 2 * m.dy;
    const std::size_t width = 2 * to_size(W);
    const double* re_row[kLanes];
    const double* im_row[kLanes];
    bool halve_row[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        const int Y = m.rows[to_size(r0 + std::min(l, cnt - 1))];
        const int y = Y == H ? nyq_row : Y;
        const int fr = stuffed_source(y, H, m.dy), fi = stuffed_source(Y, H, m.dy);
        re_row[l] = fr < 0 ? nullptr : m.spec_re.get() + to_size(fr) * width;
        im_row[l] = fi < 0 ? nullptr : m.spec_im.get() + to_size(fi) * width;
        halve_row[l] = y == nyq_row;
    }
    for (int X = 0; X < 2 * W2; ++X) {
        const int x = X == W ? nyq_col : X;
        const int re_col = stuffed_source(x, W, m.dx), im_col = stuffed_source(X, W, m.dx);
        const bool halve_col = x == nyq_col;
        for (int l = 0; l < kLanes; ++l) {
            double re = 0.0, im = 0.0;
            if (re_col >= 0 && re_row[l] != nullptr) re = re_row[l][re_col];
            if (halve_col) re = re * 0.5;
            if (halve_row[l]) re = re * 0.5;
            if (im_col >= 0 && im_row[l] != nullptr) im = im_row[l][im_col];
            buf[lay.re(X, l)] = re;
            buf[lay.im(X, l)] = im;
        }
    }
}

// Inverse row pass: the rows of the stuffed spectrum that are not all zero (m.rows), 2W2 long,
// transformed into rows_re/rows_im, of which only columns 0 .. W2 - 1 are kept (W2 wide).
void inverse_rows(Impl& m) {
    const std::size_t width = to_size(m.W2);
    const int W2 = m.W2, R = static_cast<int>(m.rows.size());
    double* rows_re = m.rows_re.get();
    double* rows_im = m.rows_im.get();
    const LaneLayout lay = lane_layout(m.inv_rows->L);
    for_line_groups(group_count(R), m.buffers, [&](int g, double* buf) {
        const int r0 = g * kLanes, cnt = std::min(kLanes, R - r0);
        gather_stuffed_rows(m, lay, r0, cnt, buf);
        lanes_inverse(*m.inv_rows, W2, buf);
        for (int l = 0; l < cnt; ++l) {
            double* dr = rows_re + to_size(r0 + l) * width;
            double* di = rows_im + to_size(r0 + l) * width;
            for (int X = 0; X < W2; ++X) {
                dr[X] = buf[lay.re(X, l)];
                di[X] = buf[lay.im(X, l)];
            }
        }
    });
}

// The conversion of the last pass: samples y = 0 .. H2 - 1 of lanes 0 .. cnt - 1 of res (the
// columns x0 ..) times gain, clamped to 0 .. 255 and truncated, into out (column length H2).
void store_bytes(const double* res, const LaneLayout& lay, int x0, int cnt, int H2, double gain,
                 std::uint8_t* out) {
    for (int l = 0; l < cnt; ++l) {
        std::uint8_t* o = out + to_size(x0 + l) * to_size(H2);
        for (int y = 0; y < H2; ++y) o[y] = clamp_to_byte(gain * res[lay.re(y, l)]);
    }
}

// Inverse column pass: columns 0 .. W2 - 1 (the others are never used), 2H2 long, read from the
// kept inverse rows (the rows never stored are zeros), transformed and converted to bytes.
void inverse_columns(Impl& m, std::uint8_t* out) {
    const int W = m.W, H = m.H, W2 = m.W2, H2 = m.H2;
    const std::size_t width = to_size(W2);
    const double* rows_re = m.rows_re.get();
    const double* rows_im = m.rows_im.get();
    // The inverse transforms divide by the new lengths while the spectrum was taken at the
    // old ones without division; g restores the level. Order fixed: (H2 * W2) / W / H.
    const double gain = static_cast<double>(H2) * static_cast<double>(W2) / W / H;
    const LaneLayout lay = lane_layout(m.inv_cols->L);
    for_line_groups(group_count(W2), m.buffers, [&](int g, double* buf) {
        const int x0 = g * kLanes, cnt = std::min(kLanes, W2 - x0);
        // Lanes past the last column repeat it.
        for (int Y = 0; Y < 2 * H2; ++Y) {
            const int r = m.compact[to_size(Y)];
            if (r < 0) {
                for (int l = 0; l < kLanes; ++l) buf[lay.re(Y, l)] = buf[lay.im(Y, l)] = 0.0;
                continue;
            }
            const double* sr = rows_re + to_size(r) * width + to_size(x0);
            const double* si = rows_im + to_size(r) * width + to_size(x0);
            for (int l = 0; l < kLanes; ++l) {
                buf[lay.re(Y, l)] = sr[std::min(l, cnt - 1)];
                buf[lay.im(Y, l)] = si[std::min(l, cnt - 1)];
            }
        }
        lanes_inverse(*m.inv_cols, H2, buf);
        store_bytes(buf, lay, x0, cnt, H2, gain, out);
    });
}

}  // namespace

void dft_interpolate_with(DftPlaneWork& work, const std::uint8_t* in, std::uint8_t* out) {
    Impl& m = *work.impl_;
    stage("horizontal DFT start!!\n");
    forward_rows(m, in);
    stage("horizontal DFT end\n");
    stage("vertical DFT start!!\n");
    forward_columns(m);
    stage("vertical DFT end!!\n");
    // The stuffed spectrum is never formed: the inverse row pass reads the forward spectrum
    // through gather_stuffed_rows.
    stage("high frequency 0 staffing start!!\n");
    stage("high frequency 0 staffing end!!\n");
    stage("horizontal IDFT start!!\n");
    inverse_rows(m);
    stage("horizontal IDFT end!!\n");
    stage("vertical IDFT start!!\n");
    inverse_columns(m, out);
    stage("vertical IDFT end!!\n");
}

void dft_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in,
                           std::uint8_t* out) {
    DftPlaneWork work(W, H, W + dx, H + dy);
    dft_interpolate_with(work, in, out);
}

std::uint64_t dft_interpolate_memory(int W, int H, int W2, int H2) {
    const std::uint64_t w = static_cast<std::uint64_t>(W), h = static_cast<std::uint64_t>(H);
    const std::uint64_t w2 = static_cast<std::uint64_t>(W2), h2 = static_cast<std::uint64_t>(H2);
    const std::uint64_t rows = 2 * h + (h2 > h ? 1 : 0);
    const std::uint64_t longest_n = 2 * std::max(w2, h2);
    std::uint64_t longest = 1;
    while (longest < 2 * longest_n) longest *= 2;  // L of the longest line
    const std::uint64_t d = sizeof(double);
    const std::uint64_t spectrum = 2 * 4 * w * h * d;
    const std::uint64_t kept = 2 * w2 * rows * d;
    // Per plan: chirp and rotation tables (6 n), kernel spectrum (2 L), output order (L ints),
    // FFT tables.
    const std::uint64_t plans = 4 * ((6 * longest_n + 2 * longest) * d + longest * sizeof(int) +
                                     8192 * d + 64 * sizeof(int));
    const std::uint64_t buffers = static_cast<std::uint64_t>(worker_count()) * kLanes *
                                  lane_block_doubles(static_cast<int>(longest), 1) * d;
    // Each large block is rounded up to a 2 MiB page.
    const std::uint64_t rounding = (4 + static_cast<std::uint64_t>(worker_count())) << 21;
    return spectrum + kept + plans + buffers + rounding;
}
