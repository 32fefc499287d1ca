#pragma once
// The chirp-z steps of chirp_plan_execute (chirp_dft.h) written once over a sample type T, as
// fft_template.h writes the FFT: chirp_dft.cpp runs them on doubles, the lanes (lanes.h) on
// vectors of lines, with the same operations in the same order. Like fft_template.h, the
// templates lie in an anonymous namespace: every file has its own copy.

#include "fft/fft_template.h"

// What the chirp-z transform of one length reads. Every array is owned elsewhere. A plain
// record with no member functions, so that no code of it is compiled into the lane files.
struct ChirpTables {
    int N;                   // input points
    int L;                   // padded length, a power of two
    int nw;                  // size of the FFT table in w (ip[0]), built for n = 2L doubles or more
    double inv_L;            // 1.0 / L
    const double* chirp_re;  // c[j] = exp(-i pi j^2 / N), N entries
    const double* chirp_im;
    const double* kernel_re;  // spectrum of the conjugate chirp kernel, L entries
    const double* kernel_im;
    const int* ip;  // complex_fft's tables
    const double* w;
};

// What a caller knows of every line's input without it being read: points from .. to - 1 are
// zero, and with real set every imaginary part is zero. Those values are neither read nor
// need they be stored; the transforms take +0 for them, the value a store of them would
// hold. A plain record, like ChirpTables.
struct KnownZeros {
    int from = 0;
    int to = 0;
    bool real = false;
};

namespace chirp_template {
namespace {

// (xr + i xi) times c, c's imaginary part negated when Conj, into re and im:
// (xr cr - xi ci, xr ci + xi cr). The inputs are taken by value, so re and im may be where
// they came from. (Plain T values, not a pair: on the wider lane types a pair is copied
// through memory.)
template <class T, bool Conj>
[[gnu::always_inline]] inline void times(T xr, T xi, double c_re, double c_im, T* re, T* im) {
    const double ci = Conj ? -c_im : c_im;
    *re = xr * c_re - xi * ci;
    *im = xr * ci + xi * c_re;
}

// chirp_plan_execute short of its 1 / N. a holds L points of T in complex_fft's layout, the N
// inputs at points 0 .. N - 1; all L points are overwritten. Then out(k, re, im) is called for
// k = 0 .. count - 1 in order (count <= N) with X[k] = c[k] sum_j x[j] c[j] conj(c[k - j]),
// the sign-minus DFT unscaled; with Conj every chirp and kernel value is read conjugated,
// which gives the sign-plus DFT.
// order: nullptr runs the last FFT whole and reads X[k] at point k; otherwise the last FFT
// skips its final permutation and X[k] is read at point order[k] (where that permutation
// would take it from), leaving the other points unmoved.
// The spectrum is divided by L as a product with the exact power of two inv_L, which rounds
// to the same value as the division and costs far less on vectors.
template <class T, bool Conj, class Out>
void transform(const ChirpTables& t, T* a, int count, const int* order, Out out) {
    const int N = t.N, L = t.L;
    for (int j = 0; j < N; ++j)
        times<T, Conj>(a[2 * j], a[2 * j + 1], t.chirp_re[j], t.chirp_im[j], &a[2 * j],
                       &a[2 * j + 1]);
    const T zero{};
    for (int j = N; j < L; ++j) {
        a[2 * j] = zero;
        a[2 * j + 1] = zero;
    }
    fft_template::fft_minus(2 * L, a, t.ip, t.nw, t.w);
    const double inv_L = t.inv_L;
    for (int k = 0; k < L; ++k)
        times<T, Conj>(a[2 * k] * inv_L, a[2 * k + 1] * inv_L, t.kernel_re[k], t.kernel_im[k],
                       &a[2 * k], &a[2 * k + 1]);
    if (order == nullptr) {
        fft_template::fft_plus(2 * L, a, t.ip, t.nw, t.w);
    } else {
        fft_template::fft_plus_bitrev(2 * L, a, t.nw, t.w);
    }
    for (int k = 0; k < count; ++k) {
        const int q = order == nullptr ? k : order[k];
        T re, im;
        times<T, Conj>(a[2 * q], a[2 * q + 1], t.chirp_re[k], t.chirp_im[k], &re, &im);
        out(k, re, im);
    }
}

// The same steps fused into fewer sweeps over the L points, for many lines at once (lanes.h);
// every value still undergoes the operations of transform, in the same order:
// - the product with the chirp (after pre, which may rotate the point first) is taken where
//   the first pass of the sign-minus FFT reads its points, and the padding from N on is a
//   zero there, never written; since N <= L / 2, quarters 2 and 3 of that pass are all zero;
// - the sign-minus FFT stops before its final permutation; the first pass of the sign-plus
//   FFT reads each point where that permutation would take it from, conjugated as it would
//   be, and multiplies it by 1 / L and the kernel spectrum on the way. That pass cannot run
//   in place, so it writes to b;
// - of the sign-plus FFT's outputs only k < count are read, so its last kernels leave out
//   those from L / 2 on (count <= N <= L / 2), and those from L / 4 on when count <= L / 4.
// a and b hold L points each, the N inputs at points 0 .. N - 1 of a (those that `in` names as
// zeros need not be there); both are overwritten.
// out(k, re, im) is called for k = 0 .. count - 1 with what transform hands it. order is the
// table of LaneTables::plus_pos. Needs L >= 32, the shortest transform with a first pass.

// Point j of the line times the chirp, read conjugated (the minus direction's first pass),
// zero from N on. Points zero_from .. zero_to - 1, and every imaginary part when real, are
// zeros that were never stored: the chirp product is taken of the +0 a store would hold.
template <class T, bool Conj, class Pre>
struct ChirpedLine {
    const T* a;
    int end;  // 2N, the offset where the line ends
    int zero_from, zero_to;
    bool real;
    const double* c_re;
    const double* c_im;
    Pre pre;
    [[gnu::always_inline]] fft_template::Cx<T> point(int o) const {
        if (o >= end) return upper(o);
        const int j = o >> 1;
        const T zero{};
        const bool stored = j < zero_from || j >= zero_to;
        T re = stored ? a[o] : zero;
        T im = stored && !real ? a[o + 1] : zero;
        pre(j, &re, &im);
        times<T, Conj>(re, im, c_re[j], c_im[j], &re, &im);
        return {re, -im};
    }
    // The zero padding read conjugated: +0 and -0.
    [[gnu::always_inline]] fft_template::Cx<T> upper(int) const {
        const T zero{};
        return {zero, -zero};
    }
};

// Point j of the sign-minus spectrum in natural order (from order[j], conjugated), divided by
// L and multiplied by the kernel spectrum.
template <class T, bool Conj>
struct KernelProduct {
    const T* a;
    const int* order;
    double inv_L;
    const double* k_re;
    const double* k_im;
    [[gnu::always_inline]] fft_template::Cx<T> point(int o) const {
        const int j = o >> 1;
        const T* p = a + 2 * order[j];
        T re, im;
        times<T, Conj>(p[0] * inv_L, -p[1] * inv_L, k_re[j], k_im[j], &re, &im);
        return {re, im};
    }
    [[gnu::always_inline]] fft_template::Cx<T> upper(int o) const { return point(o); }
};

template <class T, bool Conj, class Pre, class Out>
void transform_fused(const ChirpTables& t, const int* order, const KnownZeros& in, T* a, T* b,
                     int count, Pre pre, Out out) {
    const int n = 2 * t.L;
    const double* first = t.w + t.nw - (n >> 2);
    fft_template::first_pass_from(
        n,
        ChirpedLine<T, Conj, Pre>{a, 2 * t.N, in.from, in.to, in.real, t.chirp_re, t.chirp_im, pre},
        a, first);
    fft_template::passes_after_first(n, a, t.nw, t.w);
    fft_template::first_pass_from(
        n, KernelProduct<T, Conj>{a, order, t.inv_L, t.kernel_re, t.kernel_im}, b, first);
    // count <= N <= L / 2: the outputs from L / 2 on, and from L / 4 on when count allows,
    // are never read, so the last kernels do not compute them.
    if (count <= t.L / 4) {
        fft_template::passes_after_first<T, 1>(n, b, t.nw, t.w);
    } else {
        fft_template::passes_after_first<T, 2>(n, b, t.nw, t.w);
    }
    for (int k = 0; k < count; ++k) {
        const int q = order[k];
        T re, im;
        times<T, Conj>(b[2 * q], b[2 * q + 1], t.chirp_re[k], t.chirp_im[k], &re, &im);
        out(k, re, im);
    }
}

}  // namespace
}  // namespace chirp_template
