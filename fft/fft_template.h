#pragma once
// The power-of-two FFT (complex_fft.h) and its kernels (fft_kernels.h) written once, over a
// sample type T. The named double routines (fft_kernels.cpp, complex_fft.cpp) and the chirp-z
// DFT (chirp_dft.cpp) instantiate it with T = double; the lane files (lanes.h) with a vector
// of doubles whose lanes hold separate lines. Every operation on
// a T is an elementwise +, -, unary - or a product with a double, so each lane of a vector
// undergoes exactly the operations of the double code, in the same order, against the same
// twiddles, and ends with the same bits.
//
// Layout and terms are those of complex_fft.h and fft_kernels.h: a[2j] and a[2j + 1] are the
// real and imaginary parts of point j, each a T; twiddles and offsets are complex_fft's
// double and int tables, built beforehand (nw = ip[0] >= n / 4) and only read here.
//
// Everything here lies in an anonymous namespace, so every translation unit has a copy of its
// own: code instantiated in a file compiled for a wider instruction set can never be merged by
// the linker into another file's. The order of operations inside the helpers is part of the
// results: do not regroup.

namespace fft_template {
namespace {

template <class T>
struct Cx {
    T re;
    T im;
};

struct Twiddle {
    double re;
    double im;
};

// The butterflies are forced inline: as calls, a vector's lanes would pass through memory.

// Reads a point, negated in its imaginary part when Conj (the minus direction's first pass).
template <class T, bool Conj = false>
[[gnu::always_inline]] inline Cx<T> load(const T* p) {
    if (Conj) return {p[0], -p[1]};
    return {p[0], p[1]};
}

template <class T>
[[gnu::always_inline]] inline void store(T* p, Cx<T> v) {
    p[0] = v.re;
    p[1] = v.im;
}

template <class T>
[[gnu::always_inline]] inline Cx<T> add(Cx<T> x, Cx<T> y) {
    return {x.re + y.re, x.im + y.im};
}
template <class T>
[[gnu::always_inline]] inline Cx<T> sub(Cx<T> x, Cx<T> y) {
    return {x.re - y.re, x.im - y.im};
}
// x + i y and x - i y: only signs move, so these are exact rearrangements.
template <class T>
[[gnu::always_inline]] inline Cx<T> add_i(Cx<T> x, Cx<T> y) {
    return {x.re - y.im, x.im + y.re};
}
template <class T>
[[gnu::always_inline]] inline Cx<T> sub_i(Cx<T> x, Cx<T> y) {
    return {x.re + y.im, x.im - y.re};
}
// Data times twiddle.
template <class T>
[[gnu::always_inline]] inline Cx<T> mul(Cx<T> x, Twiddle t) {
    return {x.re * t.re - x.im * t.im, x.re * t.im + x.im * t.re};
}
// x exp(i pi / 4) and x exp(3 i pi / 4), with c4 = cos(pi / 4) applied once to a sum.
template <class T>
[[gnu::always_inline]] inline Cx<T> rot45(Cx<T> x, double c4) {
    return {c4 * (x.re - x.im), c4 * (x.re + x.im)};
}
template <class T>
[[gnu::always_inline]] inline Cx<T> rot135(Cx<T> x, double c4) {
    return {-(c4 * (x.re + x.im)), c4 * (x.re - x.im)};
}

// One j of the plain pass on the points x0 .. x3 at j in the four quarters, results to
// p0 .. p3:
//   quarter 0: (x0 + x2) + (x1 + x3)       quarter 1: (x0 + x2) - (x1 + x3)
//   quarter 2: ((x0 - x2) + i (x1 - x3)) w1   quarter 3: ((x0 - x2) - i (x1 - x3)) w3
// with w1 = omega^j, w3 = omega^(3j). The _unit form is j = 0, the _c4 form j = M / 8.
template <class T>
[[gnu::always_inline]] inline void plain_butterfly(Cx<T> x0, Cx<T> x1, Cx<T> x2, Cx<T> x3, T* p0,
                                                   T* p1, T* p2, T* p3, Twiddle w1, Twiddle w3) {
    const Cx<T> s02 = add(x0, x2), d02 = sub(x0, x2), s13 = add(x1, x3), d13 = sub(x1, x3);
    store(p0, add(s02, s13));
    store(p1, sub(s02, s13));
    store(p2, mul(add_i(d02, d13), w1));
    store(p3, mul(sub_i(d02, d13), w3));
}

// Kept: see kernel8_a. The outputs a caller never reads are not stored, so the compiler drops
// what only they need.
template <class T, int Kept = 4>
[[gnu::always_inline]] inline void plain_butterfly_unit(Cx<T> x0, Cx<T> x1, Cx<T> x2, Cx<T> x3,
                                                        T* p0, T* p1, T* p2, T* p3) {
    const Cx<T> s02 = add(x0, x2), d02 = sub(x0, x2), s13 = add(x1, x3), d13 = sub(x1, x3);
    store(p0, add(s02, s13));
    if (Kept == 4) store(p1, sub(s02, s13));
    if (Kept >= 2) store(p2, add_i(d02, d13));
    if (Kept == 4) store(p3, sub_i(d02, d13));
}

template <class T>
[[gnu::always_inline]] inline void plain_butterfly_c4(Cx<T> x0, Cx<T> x1, Cx<T> x2, Cx<T> x3, T* p0,
                                                      T* p1, T* p2, T* p3, double c4) {
    const Cx<T> s02 = add(x0, x2), d02 = sub(x0, x2), s13 = add(x1, x3), d13 = sub(x1, x3);
    store(p0, add(s02, s13));
    store(p1, sub(s02, s13));
    store(p2, rot45(add_i(d02, d13), c4));
    store(p3, rot135(sub_i(d02, d13), c4));
}

// The same in place: the points are read from p0 .. p3 (Conj: imaginary parts negated).
template <class T, bool Conj = false>
[[gnu::always_inline]] inline void plain_step(T* p0, T* p1, T* p2, T* p3, Twiddle w1, Twiddle w3) {
    plain_butterfly(load<T, Conj>(p0), load<T, Conj>(p1), load<T, Conj>(p2), load<T, Conj>(p3), p0,
                    p1, p2, p3, w1, w3);
}

template <class T, bool Conj = false>
[[gnu::always_inline]] inline void plain_unit(T* p0, T* p1, T* p2, T* p3) {
    plain_butterfly_unit(load<T, Conj>(p0), load<T, Conj>(p1), load<T, Conj>(p2), load<T, Conj>(p3),
                         p0, p1, p2, p3);
}

template <class T, bool Conj = false>
[[gnu::always_inline]] inline void plain_c4(T* p0, T* p1, T* p2, T* p3, double c4) {
    plain_butterfly_c4(load<T, Conj>(p0), load<T, Conj>(p1), load<T, Conj>(p2), load<T, Conj>(p3),
                       p0, p1, p2, p3, c4);
}

// The plain pass at j and at its mirror Q - j (offsets in Ts from the block start, q Ts per
// quarter), from the group (cos, sin, cos 3, -sin 3) of omega^j. The mirror's twiddles follow
// exactly: omega^(Q - j) = i conj(omega^j), omega^(3(Q - j)) = -i conj(omega^(3j)).
template <class T>
[[gnu::always_inline]] inline void plain_pair(T* a, int q, int j, double c1, double s1, double c3,
                                              double ns3) {
    plain_step(a + j, a + q + j, a + 2 * q + j, a + 3 * q + j, {c1, s1}, {c3, -ns3});
    const int k = q - j;
    plain_step(a + k, a + q + k, a + 2 * q + k, a + 3 * q + k, {s1, c1}, {ns3, -c3});
}

// One j of the twisted pass. With a = x0 + i x2, b = x1 + i x3, c = x0 - i x2, e = x1 - i x3
// the pending rotations fold into two factors per output pair:
//   quarter 0: r1 a + f1 b   quarter 1: r1 a - f1 b   (r1 = rho^j, f1 = exp(i pi/4) rho^j)
//   quarter 2: r3 c + f3 e   quarter 3: r3 c - f3 e   (r3 = rho^3j, f3 = exp(3i pi/4) rho^3j)
// which is (y0 + y2) + (y1 + y3) and so on for the rotated points y; quarter 3 keeps the
// rotation omega^(2j) pending, so it stays twisted.
template <class T>
[[gnu::always_inline]] inline void twisted_step(T* p0, T* p1, T* p2, T* p3, Twiddle r1, Twiddle f1,
                                                Twiddle r3, Twiddle f3) {
    const Cx<T> x0 = load(p0), x1 = load(p1), x2 = load(p2), x3 = load(p3);
    const Cx<T> ra = mul(add_i(x0, x2), r1), fb = mul(add_i(x1, x3), f1);
    const Cx<T> rc = mul(sub_i(x0, x2), r3), fe = mul(sub_i(x1, x3), f3);
    store(p0, add(ra, fb));
    store(p1, sub(ra, fb));
    store(p2, add(rc, fe));
    store(p3, sub(rc, fe));
}

// j = 0 of the twisted pass: r1 = r3 = 1, f1 = exp(i pi / 4), f3 = exp(3 i pi / 4).
template <class T, int Kept = 4>
[[gnu::always_inline]] inline void twisted_unit(T* p0, T* p1, T* p2, T* p3, double c4) {
    const Cx<T> x0 = load(p0), x1 = load(p1), x2 = load(p2), x3 = load(p3);
    const Cx<T> ra = add_i(x0, x2), fb = rot45(add_i(x1, x3), c4);
    const Cx<T> rc = sub_i(x0, x2), fe = rot135(sub_i(x1, x3), c4);
    store(p0, add(ra, fb));
    if (Kept == 4) store(p1, sub(ra, fb));
    if (Kept >= 2) store(p2, add(rc, fe));
    if (Kept == 4) store(p3, sub(rc, fe));
}

// Plain and twisted blocks of 2 and 4 points (at p, consecutive), bit-reversed order. These
// end every transform, so their second point holds an output k + L/2 (Kept < 4 drops it) and,
// for 4 points, the third k + L/4 and the fourth k + 3L/4.
template <class T, int Kept = 4>
[[gnu::always_inline]] inline void plain2(T* p) {
    const Cx<T> x0 = load(p), x1 = load(p + 2);
    store(p, add(x0, x1));
    if (Kept == 4) store(p + 2, sub(x0, x1));
}

template <class T, int Kept = 4>
[[gnu::always_inline]] inline void twisted2(T* p) {
    const Cx<T> x0 = load(p), x1 = load(p + 2);
    store(p, add_i(x0, x1));
    if (Kept == 4) store(p + 2, sub_i(x0, x1));
}

template <class T, int Kept = 4>
[[gnu::always_inline]] inline void plain4(T* p) {
    plain_butterfly_unit<T, Kept>(load(p), load(p + 2), load(p + 4), load(p + 6), p, p + 2, p + 4,
                                  p + 6);
}

template <class T, int Kept = 4>
[[gnu::always_inline]] inline void twisted4(T* p, double c4) {
    twisted_unit<T, Kept>(p, p + 2, p + 4, p + 6, c4);
}

template <class T>
[[gnu::always_inline]] inline void swap_points(T* a, int i, int j) {
    const T re = a[i], im = a[i + 1];
    a[i] = a[j];
    a[i + 1] = a[j + 1];
    a[j] = re;
    a[j + 1] = im;
}

template <class T>
[[gnu::always_inline]] inline void swap_points_conj(T* a, int i, int j) {
    const T re = a[i], im = a[i + 1];
    a[i] = a[j];
    a[i + 1] = -a[j + 1];
    a[j] = re;
    a[j + 1] = -im;
}

// Where the first pass takes its points from. point(o) is the point at offset o (in Ts) of
// quarters 0 and 1, upper(o) that of quarters 2 and 3; the pass writes to its own array,
// which may be the one a source reads, since a butterfly reads its four points before it
// writes. InPlace reads the array itself, imaginary parts negated when Conj (the minus
// direction). A source whose upper half is known to hold zeros returns constants from upper:
// the compiler then drops exactly the operations that leave every bit unchanged (x - 0,
// x + -0) and keeps the rest (x + 0 turns -0 into +0).
template <class T, bool Conj>
struct InPlace {
    const T* a;
    [[gnu::always_inline]] Cx<T> point(int o) const { return load<T, Conj>(a + o); }
    [[gnu::always_inline]] Cx<T> upper(int o) const { return load<T, Conj>(a + o); }
};

// plain_pair from a source into d, with w1 = omega^j and w3 = omega^(3j).
template <class T, class Src>
[[gnu::always_inline]] inline void pair_from(const Src& src, T* d, int q, int j, Twiddle w1,
                                             Twiddle w3) {
    plain_butterfly(src.point(j), src.point(q + j), src.upper(2 * q + j), src.upper(3 * q + j),
                    d + j, d + q + j, d + 2 * q + j, d + 3 * q + j, w1, w3);
    const int k = q - j;
    plain_butterfly(src.point(k), src.point(q + k), src.upper(2 * q + k), src.upper(3 * q + k),
                    d + k, d + q + k, d + 2 * q + k, d + 3 * q + k, {w1.im, w1.re},
                    {-w3.im, -w3.re});
}

// The plain pass over the whole array of n Ts (n >= 64) from src into d, w = w + nw - n / 4:
// first_pass_plus (InPlace<T, false>) and first_pass_minus (InPlace<T, true>) of fft_kernels.h,
// and the same pass fused with the steps before it (chirp_template.h).
template <class T, class Src>
void first_pass_from(int n, const Src& src, T* d, const double* w) {
    const int q = n >> 2;     // Ts per quarter
    const int half = q >> 1;  // offset of point N / 8
    const double c4 = w[1], f1 = w[2], f3 = w[3];
    plain_butterfly_unit(src.point(0), src.point(q), src.upper(2 * q), src.upper(3 * q), d, d + q,
                         d + 2 * q, d + 3 * q);
    // j is the offset of an odd point p = j / 2; prev holds omega^(p - 1) and
    // conj(omega^(3(p - 1))), starting from omega^0 = 1.
    Twiddle prev1 = {1.0, 0.0}, prev3 = {1.0, 0.0};
    for (int j = 2; j < half; j += 4) {
        // The even neighbour is stored, except omega^(N / 8) = exp(i pi / 4) at the end.
        Twiddle next1, next3;
        if (j + 2 < half) {
            next1 = {w[j + 2], w[j + 3]};
            next3 = {w[j + 4], w[j + 5]};
        } else {
            next1 = {c4, c4};
            next3 = {-c4, -c4};
        }
        // Half-angle rule: omega^p = (omega^(p-1) + omega^(p+1)) * 0.5 / cos(2 pi / N), and
        // the same for the cubes with 0.5 / cos(6 pi / N).
        const Twiddle odd1 = {(prev1.re + next1.re) * f1, (prev1.im + next1.im) * f1};
        const Twiddle odd3 = {(prev3.re + next3.re) * f3, (prev3.im + next3.im) * f3};
        pair_from(src, d, q, j, odd1, {odd3.re, -odd3.im});
        if (j + 2 < half) pair_from(src, d, q, j + 2, next1, {next3.re, -next3.im});
        prev1 = next1;
        prev3 = next3;
    }
    plain_butterfly_c4(src.point(half), src.point(q + half), src.upper(2 * q + half),
                       src.upper(3 * q + half), d + half, d + q + half, d + 2 * q + half,
                       d + 3 * q + half, c4);
}

template <class T, bool Conj>
void first_pass(int n, T* a, const double* w) {
    first_pass_from(n, InPlace<T, Conj>{a}, a, w);
}

template <class T>
void middle_pass_a(int m, T* a, const double* w) {
    const int q = m >> 2;
    const int half = q >> 1;
    plain_unit(a, a + q, a + 2 * q, a + 3 * q);
    // Point j (offset 2j) reads the group at entry 4j = 2 * offset.
    for (int j = 2; j < half; j += 2) {
        const double* g = w + 2 * j;
        plain_pair(a, q, j, g[0], g[1], g[2], g[3]);
    }
    plain_c4(a + half, a + q + half, a + 2 * q + half, a + 3 * q + half, w[1]);
}

template <class T>
void middle_pass_b(int m, T* a, const double* w) {
    const int q = m >> 2;
    const int half = q >> 1;
    const int size = m >> 1;  // the twiddle block's size, M
    twisted_unit(a, a + q, a + 2 * q, a + 3 * q, w[1]);
    // Point j reads the group g of rho^j at entry 4j and the mirrored group h at M - 4j
    // (rho^(Q - j) = exp(i pi / 4) conj(rho^j)); the mirror point Q - j reads the same two
    // groups the other way round.
    for (int j = 2; j < half; j += 2) {
        const double* g = w + 2 * j;
        const double* h = w + size - 2 * j;
        twisted_step(a + j, a + q + j, a + 2 * q + j, a + 3 * q + j, {g[0], g[1]}, {h[1], h[0]},
                     {g[2], -g[3]}, {h[3], -h[2]});
        const int k = q - j;
        twisted_step(a + k, a + q + k, a + 2 * q + k, a + 3 * q + k, {h[0], h[1]}, {g[1], g[0]},
                     {h[2], -h[3]}, {g[3], -g[2]});
    }
    // j = Q / 2 is its own mirror.
    const double* g = w + 2 * half;
    twisted_step(a + half, a + q + half, a + 2 * q + half, a + 3 * q + half, {g[0], g[1]},
                 {g[1], g[0]}, {g[2], -g[3]}, {g[3], -g[2]});
}

// Kept = 4 computes every output. A transform whose caller reads only its outputs k < L / 2
// (Kept = 2) or k < L / 4 (Kept = 1), L its number of points, passes Kept down to these last
// kernels, which then store nothing else.
template <class T, int Kept = 4>
void kernel8_a(T* a, const double* w) {
    const double c4 = w[1];
    plain_unit(a, a + 4, a + 8, a + 12);
    plain_c4(a + 2, a + 6, a + 10, a + 14, c4);
    plain2<T, Kept>(a);
    twisted2<T, Kept>(a + 4);
    plain2<T, Kept>(a + 8);
    plain2<T, Kept>(a + 12);
}

template <class T, int Kept = 4>
void kernel8_b(T* a, const double* w) {
    const double c4 = w[1], c8 = w[2], s8 = w[3];
    twisted_unit(a, a + 4, a + 8, a + 12, c4);
    // rho = exp(i pi / 8); exp(i pi / 4) rho = rho^3 = exp(3 i pi / 8);
    // exp(3 i pi / 4) rho^3 = exp(9 i pi / 8).
    twisted_step(a + 2, a + 6, a + 10, a + 14, {c8, s8}, {s8, c8}, {s8, c8}, {-c8, -s8});
    plain2<T, Kept>(a);
    twisted2<T, Kept>(a + 4);
    plain2<T, Kept>(a + 8);
    twisted2<T, Kept>(a + 12);
}

template <class T, int Kept = 4>
void kernel16_a(T* a, const double* w) {
    const double c4 = w[1], c8 = w[2], s8 = w[3];
    plain_unit(a, a + 8, a + 16, a + 24);
    // omega = exp(i pi / 8): j = 1 and its mirror j = 3.
    plain_pair(a, 8, 2, c8, s8, s8, -c8);
    plain_c4(a + 4, a + 12, a + 20, a + 28, c4);
    plain4<T, Kept>(a);
    twisted4<T, Kept>(a + 8, c4);
    plain4<T, Kept>(a + 16);
    plain4<T, Kept>(a + 24);
}

template <class T, int Kept = 4>
void kernel16_b(T* a, const double* w) {
    const double c4 = w[1];
    // cos, sin of pi / 16 and cos, -sin of 3 pi / 16; cos, sin of pi / 8.
    const double c1 = w[4], s1 = w[5], c3 = w[6], ns3 = w[7];
    const double c8 = w[8], s8 = w[9];
    twisted_unit(a, a + 8, a + 16, a + 24, c4);
    // rho = exp(i pi / 16); every factor is one of the stored values up to order and sign.
    twisted_step(a + 2, a + 10, a + 18, a + 26, {c1, s1}, {-ns3, c3}, {c3, -ns3}, {-c1, s1});
    twisted_step(a + 4, a + 12, a + 20, a + 28, {c8, s8}, {s8, c8}, {s8, c8}, {-c8, -s8});
    twisted_step(a + 6, a + 14, a + 22, a + 30, {c3, -ns3}, {s1, c1}, {-s1, c1}, {ns3, -c3});
    plain4<T, Kept>(a);
    twisted4<T, Kept>(a + 8, c4);
    plain4<T, Kept>(a + 16);
    twisted4<T, Kept>(a + 24, c4);
}

// The leaf of leaf_kernel for one kernel size: quarters of qd Ts, passes on blocks of qd Ts,
// sub-quarters of qd / 4 Ts finished by Ka / Kb.
template <class T, void (*Ka)(T*, const double*), void (*Kb)(T*, const double*)>
void leaf(int qd, int split, T* a, const double* wpa, const double* wpb, const double* wka,
          const double* wkb) {
    const int s = qd >> 2;
    middle_pass_a(qd, a, wpa);
    Ka(a, wka);
    Kb(a + s, wkb);
    Ka(a + 2 * s, wka);
    Ka(a + 3 * s, wka);
    T* b = a + qd;
    middle_pass_b(qd, b, wpb);
    Ka(b, wka);
    Kb(b + s, wkb);
    Ka(b + 2 * s, wka);
    Kb(b + 3 * s, wkb);
    b = a + 2 * qd;
    middle_pass_a(qd, b, wpa);
    Ka(b, wka);
    Kb(b + s, wkb);
    Ka(b + 2 * s, wka);
    Ka(b + 3 * s, wka);
    b = a + 3 * qd;
    if (split) {
        middle_pass_a(qd, b, wpa);
        Ka(b + 3 * s, wka);
    } else {
        middle_pass_b(qd, b, wpb);
        Kb(b + 3 * s, wkb);
    }
    Ka(b, wka);
    Kb(b + s, wkb);
    Ka(b + 2 * s, wka);
}

template <class T, int Kept = 4>
void quad_kernel(int n, T* a, int nw, const double* w) {
    const int q = n >> 2;
    const double* w4 = w + nw - 8;
    if (n == 128) {
        const double* w16 = w + nw - 32;
        kernel16_a<T, Kept>(a, w4);
        kernel16_b<T, Kept>(a + q, w16);
        kernel16_a<T, Kept>(a + 2 * q, w4);
        kernel16_a<T, Kept>(a + 3 * q, w4);
    } else {
        kernel8_a<T, Kept>(a, w4);
        kernel8_b<T, Kept>(a + q, w4);
        kernel8_a<T, Kept>(a + 2 * q, w4);
        kernel8_a<T, Kept>(a + 3 * q, w4);
    }
}

template <class T, int Kept = 4>
void leaf_kernel(int n, int split, T* a, int nw, const double* w) {
    if (n == 512) {
        leaf<T, kernel16_a<T, Kept>, kernel16_b<T, Kept>>(128, split, a, w + nw - 64, w + nw - 128,
                                                          w + nw - 8, w + nw - 32);
    } else {
        leaf<T, kernel8_a<T, Kept>, kernel8_b<T, Kept>>(64, split, a, w + nw - 32, w + nw - 64,
                                                        w + nw - 8, w + nw - 8);
    }
}

template <class T>
int tree_step(int m, int j, int k, T* a, int nw, const double* w) {
    if (k % 4 != 0) {
        // Counted from the end, k mod 4 = 1, 2, 3 is quarter 2, 1, 0 of a parent already
        // passed: plain, twisted, plain.
        const int split = k & 1;
        if (split) {
            middle_pass_a(m, a + j - m, w + nw - (m >> 1));
        } else {
            middle_pass_b(m, a + j - m, w + nw - m);
        }
        return split;
    }
    // The leaf is the last quarter of a block not yet passed; climb to the first ancestor
    // that is not a last quarter. Last quarters inherit their parent's kind, so that
    // ancestor's kind is the kind of every block on the way down.
    int i = k, size = m;
    do {
        i >>= 2;
        size <<= 2;
    } while (i % 4 == 0);
    const int split = i & 1;
    for (; size > 128; size >>= 2) {
        if (split) {
            middle_pass_a(size, a + j - size, w + nw - (size >> 1));
        } else {
            middle_pass_b(size, a + j - size, w + nw - size);
        }
    }
    return split;
}

template <class T, int Kept = 4>
void recursive_pass(int n, T* a, int nw, const double* w) {
    // The last quarter of a plain block is plain, so the chain of last quarters down to the
    // leaf size all take plain passes.
    int m = n;
    while (m > 512) {
        m >>= 2;
        middle_pass_a(m, a + n - m, w + nw - (m >> 1));
    }
    leaf_kernel<T, Kept>(m, 1, a + n - m, nw, w);
    int k = 0;
    for (int j = n - m; j > 0; j -= m) {
        ++k;
        const int split = tree_step(m, j, k, a, nw, w);
        leaf_kernel<T, Kept>(m, split, a + j - m, nw, w);
    }
}

// Exchanges of bit_reversal: point (x, mid, y) of an array of N = 2 l g^2 points, with x and
// y of t bits (g = 2^t) and mid of one more bit than l has, sits at offset
// 2x + 2g mid + (l / 2) ip[g + rev(y)]; its reversal is (rev(y), rev(mid), rev(x)). Pairs
// with x < rev(y) exchange every mid; on the diagonal only the mids that reverse to another.
template <class T, int MidBits, bool Conj>
void bit_reversal(int n, const int* ip, T* a) {
    constexpr int kMids = 1 << MidBits;
    static constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    static constexpr int kRev4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    const int* rev = MidBits == 3 ? kRev3 : kRev4;
    int l = n >> 2, g = 1;
    while (l > 8) {
        l >>= 2;
        g <<= 1;
    }
    const int* off = ip + g;
    const int scale = kMids / 4;  // l / 2
    const int step = 2 * g;
    for (int v = 0; v < g; ++v) {
        for (int x = 0; x < v; ++x) {
            const int b1 = 2 * x + scale * off[v];
            const int b2 = 2 * v + scale * off[x];
            for (int mid = 0; mid < kMids; ++mid) {
                if (Conj) {
                    swap_points_conj(a, b1 + step * mid, b2 + step * rev[mid]);
                } else {
                    swap_points(a, b1 + step * mid, b2 + step * rev[mid]);
                }
            }
        }
        const int b = 2 * v + scale * off[v];
        for (int mid = 0; mid < kMids; ++mid) {
            if (mid < rev[mid]) {
                if (Conj) {
                    swap_points_conj(a, b + step * mid, b + step * rev[mid]);
                } else {
                    swap_points(a, b + step * mid, b + step * rev[mid]);
                }
            } else if (Conj && mid == rev[mid]) {
                a[b + step * mid + 1] = -a[b + step * mid + 1];
            }
        }
    }
}

// bitrev_permute (Conj false) and bitrev_permute_conj (Conj true) of fft_kernels.h.
template <class T, bool Conj>
void permute(int n, const int* ip, T* a) {
    int l = n >> 2;
    while (l > 8) l >>= 2;
    if (l == 8) {
        bit_reversal<T, 4, Conj>(n, ip, a);
    } else {
        bit_reversal<T, 3, Conj>(n, ip, a);
    }
}

template <class T>
void dft4_plus(T* a) {
    const Cx<T> x0 = load(a), x1 = load(a + 2), x2 = load(a + 4), x3 = load(a + 6);
    const Cx<T> s02 = add(x0, x2), d02 = sub(x0, x2), s13 = add(x1, x3), d13 = sub(x1, x3);
    store(a, add(s02, s13));
    store(a + 2, add_i(d02, d13));
    store(a + 4, sub(s02, s13));
    store(a + 6, sub_i(d02, d13));
}

template <class T>
void dft4_minus(T* a) {
    const Cx<T> x0 = load(a), x1 = load(a + 2), x2 = load(a + 4), x3 = load(a + 6);
    const Cx<T> s02 = add(x0, x2), d02 = sub(x0, x2), s13 = add(x1, x3), d13 = sub(x1, x3);
    store(a, add(s02, s13));
    store(a + 2, sub_i(d02, d13));
    store(a + 4, sub(s02, s13));
    store(a + 6, add_i(d02, d13));
}

template <class T>
void dft2(T* a) {
    plain2(a);
}

template <class T>
void bitrev8(T* a) {
    swap_points(a, 2, 8);
    swap_points(a, 6, 12);
}

template <class T>
void bitrev8_neg(T* a) {
    static constexpr int kFrom[8] = {0, 7, 3, 5, 1, 6, 2, 4};
    T t[16];
    for (int i = 0; i < 16; ++i) t[i] = a[i];
    for (int k = 0; k < 8; ++k) {
        a[2 * k] = t[2 * kFrom[k]];
        a[2 * k + 1] = t[2 * kFrom[k] + 1];
    }
}

template <class T>
void bitrev16(T* a) {
    swap_points(a, 2, 16);
    swap_points(a, 4, 8);
    swap_points(a, 6, 24);
    swap_points(a, 10, 20);
    swap_points(a, 14, 28);
    swap_points(a, 22, 26);
}

template <class T>
void bitrev16_neg(T* a) {
    static constexpr int kFrom[16] = {0, 15, 7, 11, 3, 13, 5, 9, 1, 14, 6, 10, 2, 12, 4, 8};
    T t[32];
    for (int i = 0; i < 32; ++i) t[i] = a[i];
    for (int k = 0; k < 16; ++k) {
        a[2 * k] = t[2 * kFrom[k]];
        a[2 * k + 1] = t[2 * kFrom[k] + 1];
    }
}

// The drivers of complex_fft.cpp. Both directions share the kernel of 8 or 16 points
// (n = 16, 32) and, for n >= 64, every pass after the first.
template <class T>
void small_kernel(int n, T* a, int nw, const double* w) {
    if (n == 32) {
        kernel16_a(a, w + nw - 8);
    } else {
        kernel8_a(a, w);
    }
}

template <class T, int Kept = 4>
void passes_after_first(int n, T* a, int nw, const double* w) {
    if (n > 512) {
        recursive_pass<T, Kept>(n, a, nw, w);
    } else if (n > 128) {
        leaf_kernel<T, Kept>(n, 1, a, nw, w);
    } else {
        quad_kernel<T, Kept>(n, a, nw, w);
    }
}

// fft_plus without its final permutation: for n <= 8 the result is in natural order, above
// that point k holds X+[rev(k)] until plus_permute runs.
template <class T>
void fft_plus_bitrev(int n, T* a, int nw, const double* w) {
    if (n <= 8) {
        if (n == 8) {
            dft4_plus(a);
        } else if (n == 4) {
            dft2(a);
        }
        return;
    }
    if (n <= 32) {
        small_kernel(n, a, nw, w);
        return;
    }
    first_pass<T, false>(n, a, w + nw - (n >> 2));
    passes_after_first(n, a, nw, w);
}

// The final permutation of fft_plus alone. Applied to index values (a[2j] = j beforehand, T
// double), a[2k] afterwards names the point of fft_plus_bitrev's result that fft_plus moves to
// point k.
template <class T>
void plus_permute(int n, const int* ip, T* a) {
    if (n <= 8) return;
    if (n == 32) {
        bitrev16(a);
    } else if (n == 16) {
        bitrev8(a);
    } else {
        permute<T, false>(n, ip, a);
    }
}

template <class T>
void fft_plus(int n, T* a, const int* ip, int nw, const double* w) {
    fft_plus_bitrev(n, a, nw, w);
    plus_permute(n, ip, a);
}

template <class T>
void fft_minus(int n, T* a, const int* ip, int nw, const double* w) {
    if (n <= 8) {
        if (n == 8) {
            dft4_minus(a);
        } else if (n == 4) {
            dft2(a);
        }
        return;
    }
    // The small kernels compute the plus transform; X-[k] = X+[(N - k) mod N] turns it into
    // the minus transform by a different permutation alone.
    if (n <= 32) {
        small_kernel(n, a, nw, w);
        if (n == 32) {
            bitrev16_neg(a);
        } else {
            bitrev8_neg(a);
        }
        return;
    }
    // X- = conj(X+(conj x)): conjugate on the way into the first pass and on the way out of
    // the permutation; every pass in between is shared with the plus direction.
    first_pass<T, true>(n, a, w + nw - (n >> 2));
    passes_after_first(n, a, nw, w);
    permute<T, true>(n, ip, a);
}

}  // namespace
}  // namespace fft_template
