#pragma once
// The bodies of the tap sums of tap_sums.h, written once for every instruction set: each of
// tap_sums_generic.cpp, tap_sums_avx2.cpp and tap_sums_avx512.cpp compiles them for its own set,
// with as many lanes as that set's registers hold.
//
// One sample's eight-tap sum and one sample's linear interpolation are each one template over
// a lane type. With OneLane it is the scalar code of one line: the plain sums run it over all
// lines in a loop that the compiler turns into vector code. With Lanes it is the same code on
// kLanes lines at once, for the switched sums, which choose per group of lines. Every lane
// does exactly the scalar operations of its own line, so every set gives the same bits.
//
// Each translation unit instantiates TapSums with a tag type declared in its own anonymous
// namespace: every instantiation is then private to that unit, so the linker cannot hand code
// compiled for a wider instruction set to a unit built for a narrower one.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/plane.h"

namespace tap_sums_body {

// Vectors of kLanes lines in GCC's generic vectors (their sizes must be literal).
template <int kLanes>
struct LaneTypes;
template <>
struct LaneTypes<2> {
    typedef double Doubles __attribute__((vector_size(16)));
    typedef std::int64_t Bits __attribute__((vector_size(16)));
    typedef unsigned char Bytes __attribute__((vector_size(2)));
    typedef std::uint16_t Shorts __attribute__((vector_size(4)));
    typedef std::uint16_t Flags;  // the lanes' flags, one byte each
};
template <>
struct LaneTypes<4> {
    typedef double Doubles __attribute__((vector_size(32)));
    typedef std::int64_t Bits __attribute__((vector_size(32)));
    typedef unsigned char Bytes __attribute__((vector_size(4)));
    typedef std::uint16_t Shorts __attribute__((vector_size(8)));
    typedef std::uint32_t Flags;  // the lanes' flags, one byte each
};
template <>
struct LaneTypes<8> {
    typedef double Doubles __attribute__((vector_size(64)));
    typedef std::int64_t Bits __attribute__((vector_size(64)));
    typedef unsigned char Bytes __attribute__((vector_size(8)));
    typedef std::uint16_t Shorts __attribute__((vector_size(16)));
    typedef std::uint64_t Flags;  // the lanes' flags, one byte each
};

template <class Tag, int kLanes>
struct TapSums {
    // kLanes lines at once, as many as the registers of the unit's set hold, each lane doing
    // the scalar operations of its own line; with contraction off no multiply-add is fused.
    using Doubles = typename LaneTypes<kLanes>::Doubles;
    using Bits = typename LaneTypes<kLanes>::Bits;
    using Bytes = typename LaneTypes<kLanes>::Bytes;
    using Shorts = typename LaneTypes<kLanes>::Shorts;
    using Flags = typename LaneTypes<kLanes>::Flags;

    // One line: the scalar code.
    struct OneLane {
        using V = double;
        static V load(const double* p) { return *p; }
        static V load(const unsigned char* p) { return static_cast<double>(*p); }
        static V load(const std::uint16_t* p) { return static_cast<double>(*p); }
    };

    struct Lanes {
        using V = Doubles;
        static V load(const double* p) {
            V v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        static V load(const unsigned char* p) {
            Bytes b;
            std::memcpy(&b, p, sizeof b);
            return __builtin_convertvector(b, V);
        }
        static V load(const std::uint16_t* p) {
            Shorts b;
            std::memcpy(&b, p, sizeof b);
            return __builtin_convertvector(b, V);
        }
    };

    // acc = s[j][l] * w[j] + acc for j = 0..7 from acc = 0.0, the order of the per-sample sum.
    template <class L, class T>
    static typename L::V taps_at(const T* const s[8], const double w[8], std::size_t l) {
        typename L::V acc = typename L::V{};
        for (int j = 0; j < 8; ++j) acc = L::load(s[j] + l) * w[j] + acc;
        return acc;
    }

    // a[l] * g + b[l] * h with g = 1 - h, the first product formed first.
    template <class L, class T>
    static typename L::V linear_at(const T* a, const T* b, double g, double h, std::size_t l) {
        return L::load(a + l) * g + L::load(b + l) * h;
    }

    // All n lines, one per iteration; the separate unaliased pointers let the compiler run
    // the iterations in vector lanes.
    template <class T>
    static void plain_run(const T* __restrict s0, const T* __restrict s1, const T* __restrict s2,
                          const T* __restrict s3, const T* __restrict s4, const T* __restrict s5,
                          const T* __restrict s6, const T* __restrict s7, const double w[8],
                          double* __restrict o, std::size_t n) {
        const T* const s[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
        for (std::size_t l = 0; l < n; ++l) o[l] = taps_at<OneLane>(s, w, l);
    }

    template <class T>
    static void plain(const T* const src[8], const double w[8], double* out, std::size_t n) {
        plain_run(src[0], src[1], src[2], src[3], src[4], src[5], src[6], src[7], w, out, n);
    }

    // v[l] = unweighted(v[l], a[l]) (base/plane.h) for l in [0, n): each lane forms the
    // quotient and keeps it where its alpha is 1 or more, +0.0 elsewhere, as the scalar tail.
    static void unweight(double* v, const double* a, std::size_t n) {
        std::size_t l = 0;
        for (; l + kLanes <= n; l += kLanes) {
            const Doubles alpha = Lanes::load(a + l);
            const Doubles q = Lanes::load(v + l) / alpha;
            const Doubles u = alpha >= 1.0 ? q : Doubles{};
            std::memcpy(v + l, &u, sizeof u);
        }
        for (; l < n; ++l) v[l] = unweighted(v[l], a[l]);
    }

    // Flags come in runs along edges, so most groups of lines are all flagged or all clear;
    // those compute only the one value they take.
    template <class T>
    static void switched(const T* const src[8], const double w[8], const T* left, const T* right,
                         double h, const unsigned char* flag, double* out, std::size_t n) {
        // Flags are 0 or 1: every byte 1.
        constexpr Flags kAllSet = static_cast<Flags>(0x0101010101010101u);
        const double g = 1 - h;
        std::size_t l = 0;
        for (; l + kLanes <= n; l += kLanes) {
            Flags flags;
            std::memcpy(&flags, flag + l, sizeof flags);
            Doubles v;
            if (flags == 0) {
                v = taps_at<Lanes>(src, w, l);
            } else if (flags == kAllSet) {
                v = linear_at<Lanes>(left, right, g, h, l);
            } else {
                Bytes fb;
                std::memcpy(&fb, flag + l, sizeof fb);
                Bits take_linear = __builtin_convertvector(fb, Bits) != 0;
                Doubles acc = taps_at<Lanes>(src, w, l);
                Doubles lin = linear_at<Lanes>(left, right, g, h, l);
                v = take_linear ? lin : acc;
            }
            std::memcpy(out + l, &v, sizeof v);
        }
        for (; l < n; ++l)
            out[l] = flag[l] != 0 ? linear_at<OneLane>(left, right, g, h, l)
                                  : taps_at<OneLane>(src, w, l);
    }
};

}  // namespace tap_sums_body
