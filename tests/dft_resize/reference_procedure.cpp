#include "tests/dft_resize/reference_procedure.h"

#include <cstddef>
#include <cstdio>
#include <vector>

#include "base/alloc.h"
#include "fft/complex_fft.h"
#include "fft/line_transforms.h"

namespace {

// The FFT tables: 32768 entries each, as the original tool takes them, or room for the
// transforms of the longest line (n = 2L doubles) when that needs more.
std::size_t table_entries(int longest_line, bool ints) {
    int L = 1;
    while (L < 2 * longest_line) L *= 2;
    const int entries = ints ? fft_ip_length(2 * L) : fft_w_length(2 * L);
    return entries > 32768 ? static_cast<std::size_t>(entries) : 32768;
}

// The stage lines are the library's business; the reference stays quiet.
void stage(const char*) {}

std::size_t idx(int v) {
    return static_cast<std::size_t>(v);
}

// The mirror of the DCT grid repeats the edge sample: 0 .. n-1 then n-1 .. 0.
int mirror_repeat(int i, int n) {
    return i < n ? i : 2 * n - 1 - i;
}

std::uint8_t to_byte(double v) {
    if (v >= 255.0) return 255;
    if (v > 0.0) return static_cast<std::uint8_t>(static_cast<int>(v));
    return 0;  // v <= 0
}

}  // namespace

void reference_interpolate_values(int W, int H, int dx, int dy, const double* in, double* values) {
    const int W2 = W + dx, H2 = H + dy;
    const std::size_t S = 4 * idx(W2) * idx(H2);  // values: one 2W2 x 2H2 grid
    HeapArray<double> kariR(S, "kariR");
    HeapArray<double> kariI(S, "kariI");
    HeapArray<double> VINR(S, "VINR");
    HeapArray<double> VINI(S, "VINI");
    HeapArray<double> VOUTR(S, "VOUTR");
    HeapArray<double> VOUTI(S, "VOUTI");

    const std::size_t col = 2 * idx(H);  // column length of the 2W x 2H grids
    for (int X = 0; X < 2 * W; ++X) {
        const int mx = mirror_repeat(X, W);
        for (int Y = 0; Y < 2 * H; ++Y) {
            const int my = mirror_repeat(Y, H);
            VINR[idx(X) * col + idx(Y)] = in[idx(mx) * idx(H) + idx(my)];
            VINI[idx(X) * col + idx(Y)] = 0.0;
        }
    }

    stage("horizontal DFT start!!\n");
    const int longest = 2 * (W2 > H2 ? W2 : H2);
    HeapArray<double> ww(table_entries(longest, false), "ww");
    HeapArray<int> ip(table_entries(longest, true), "ip");
    ip[0] = 0;
    for (int Y = 0; Y < 2 * H; ++Y)
        shifted_dft_strided(2 * W, 2 * H, VINR.get() + Y, VINI.get() + Y, VOUTR.get() + Y,
                            VOUTI.get() + Y, ip.get(), ww.get());
    stage("horizontal DFT end\n");
    const std::size_t small = 4 * idx(W) * idx(H);
    for (std::size_t i = 0; i < small; ++i) {
        VINR[i] = VOUTR[i];
        VINI[i] = VOUTI[i];
    }

    stage("vertical DFT start!!\n");
    ip[0] = 0;
    for (int X = 0; X < 2 * W; ++X)
        shifted_dft_contiguous(2 * H, VINR.get() + idx(X) * col, VINI.get() + idx(X) * col,
                               VOUTR.get() + idx(X) * col, VOUTI.get() + idx(X) * col, ip.get(),
                               ww.get());
    stage("vertical DFT end!!\n");
    VINR.reset();
    VINI.reset();
    HeapArray<double> fourieR(S, "fourieR");
    HeapArray<double> fourieI(S, "fourieI");

    stage("high frequency 0 staffing start!!\n");
    // Along x, column length still 2H: the upper half of the spectrum moves up by 2dx, so the
    // Nyquist column W lands at W + 2dx.
    for (int X = 0; X < 2 * W2; ++X) {
        double* dr = fourieR.get() + idx(X) * col;
        double* di = fourieI.get() + idx(X) * col;
        if (X >= W && X < W + 2 * dx) {
            for (std::size_t Y = 0; Y < col; ++Y) dr[Y] = di[Y] = 0.0;
            continue;
        }
        const int from = X < W ? X : X - 2 * dx;
        const double* sr = VOUTR.get() + idx(from) * col;
        const double* si = VOUTI.get() + idx(from) * col;
        for (std::size_t Y = 0; Y < col; ++Y) {
            dr[Y] = sr[Y];
            di[Y] = si[Y];
        }
    }
    // Along y, into column length 2H2: the Nyquist row H lands at H + 2dy.
    const std::size_t col2 = 2 * idx(H2);
    for (int X = 0; X < 2 * W2; ++X) {
        const double* sr = fourieR.get() + idx(X) * col;
        const double* si = fourieI.get() + idx(X) * col;
        double* dr = kariR.get() + idx(X) * col2;
        double* di = kariI.get() + idx(X) * col2;
        for (int Y = 0; Y < 2 * H2; ++Y) {
            if (Y < H) {
                dr[Y] = sr[Y];
                di[Y] = si[Y];
            } else if (Y < H + 2 * dy) {
                dr[Y] = di[Y] = 0.0;
            } else {
                dr[Y] = sr[Y - 2 * dy];
                di[Y] = si[Y - 2 * dy];
            }
        }
    }
    for (std::size_t i = 0; i < S; ++i) {
        fourieR[i] = kariR[i];
        fourieI[i] = kariI[i];
    }
    kariR.reset();
    kariI.reset();
    stage("high frequency 0 staffing end!!\n");

    // Nyquist split, real parts only, in this order: both halvings before both copies, so the
    // corner ends up quartered in all four places.
    const std::size_t nyq_col = idx(W + 2 * dx), nyq_row = idx(H + 2 * dy);
    double* fr = fourieR.get();
    for (std::size_t Y = 0; Y < col2; ++Y) fr[nyq_col * col2 + Y] = fr[nyq_col * col2 + Y] * 0.5;
    for (std::size_t X = 0; X < 2 * idx(W2); ++X)
        fr[X * col2 + nyq_row] = fr[X * col2 + nyq_row] * 0.5;
    for (std::size_t Y = 0; Y < col2; ++Y) fr[idx(W) * col2 + Y] = fr[nyq_col * col2 + Y];
    for (std::size_t X = 0; X < 2 * idx(W2); ++X) fr[X * col2 + idx(H)] = fr[X * col2 + nyq_row];

    stage("horizontal IDFT start!!\n");
    ip[0] = 0;
    for (int Y = 0; Y < 2 * H2; ++Y)
        shifted_idft_strided(2 * W2, 2 * H2, fourieR.get() + Y, fourieI.get() + Y, VOUTR.get() + Y,
                             VOUTI.get() + Y, ip.get(), ww.get());
    stage("horizontal IDFT end!!\n");

    stage("vertical IDFT start!!\n");
    ip[0] = 0;
    for (int X = 0; X < 2 * W2; ++X)
        shifted_idft_contiguous(2 * H2, VOUTR.get() + idx(X) * col2, VOUTI.get() + idx(X) * col2,
                                fourieR.get() + idx(X) * col2, fourieI.get() + idx(X) * col2,
                                ip.get(), ww.get());
    stage("vertical IDFT end!!\n");
    VOUTR.reset();
    VOUTI.reset();

    // The inverse transforms divide by the new lengths while the spectrum was taken at the
    // old ones without division; g restores the level. Order fixed: (H2 * W2) / W / H.
    const double g = static_cast<double>(H2) * static_cast<double>(W2) / W / H;
    for (int y = 0; y < H2; ++y)
        for (int x = 0; x < W2; ++x)
            values[idx(x) * idx(H2) + idx(y)] = g * fr[idx(x) * col2 + idx(y)];

    fourieR.reset();
    fourieI.reset();
    ip.reset();
    ww.reset();
}

void reference_interpolate_plane(int W, int H, int dx, int dy, const std::uint8_t* in,
                                 std::uint8_t* out) {
    const std::vector<double> samples(in, in + idx(W) * idx(H));
    std::vector<double> values(idx(W + dx) * idx(H + dy));
    reference_interpolate_values(W, H, dx, dy, samples.data(), values.data());
    for (std::size_t i = 0; i < values.size(); ++i) out[i] = to_byte(values[i]);
}
