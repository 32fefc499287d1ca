#pragma once
// The bodies of the tap sums of tap_sums.h, written once for every instruction set: each of
// tap_sums_generic.cpp, tap_sums_avx2.cpp and tap_sums_avx512.cpp compiles them for its own set.
//
// One sample's sum and one sample's linear interpolation are each one template over a lane
// type: with OneLane it is the scalar code of one line, which the compiler runs in the lanes
// of its vectors over a whole run of lines; with EightLanes it is the same code on eight lines
// at once, for groups of lines whose flags are mixed. Every lane does exactly the scalar
// operations of its own line, so every set and every grouping gives the same bits.
//
// Each translation unit instantiates TapSums with a tag type declared in its own anonymous
// namespace: every instantiation is then private to that unit, so the linker cannot hand code
// compiled for a wider instruction set to a unit built for a narrower one.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tap_sums_body {

// Eight lines in GCC's generic vectors, which the compiler maps onto the registers of the set
// it builds for (one 512-bit, two 256-bit or four 128-bit), each lane doing the scalar
// operations of its own line; with contraction off no multiply-add is fused.
typedef double EightDoubles __attribute__((vector_size(64)));
typedef std::int64_t EightBits __attribute__((vector_size(64)));
typedef unsigned char EightBytes __attribute__((vector_size(8)));

template <class Tag>
struct TapSums {
    // One line: the scalar code.
    struct OneLane {
        using V = double;
        static V load(const double* p) { return *p; }
        static V load(const unsigned char* p) { return static_cast<double>(*p); }
    };

    struct EightLanes {
        using V = EightDoubles;
        static V load(const double* p) {
            V v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        static V load(const unsigned char* p) {
            EightBytes b;
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

    // What a run of lines takes: the eight-tap sum, or the sum or the linear interpolation as
    // each line's flag chooses.
    enum class Take { taps, by_flag };

    // Lines [0, n) of a run, one line per iteration; the separate unaliased pointers let the
    // compiler run the iterations in vector lanes.
    template <Take kTake, class T>
    static void run(const T* __restrict s0, const T* __restrict s1, const T* __restrict s2,
                    const T* __restrict s3, const T* __restrict s4, const T* __restrict s5,
                    const T* __restrict s6, const T* __restrict s7, const double w[8],
                    const T* __restrict a, const T* __restrict b, double h,
                    const unsigned char* __restrict f, double* __restrict o, std::size_t n) {
        const T* const s[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
        const double g = 1 - h;
        for (std::size_t l = 0; l < n; ++l) {
            double v;
            if constexpr (kTake == Take::taps) {
                v = taps_at<OneLane>(s, w, l);
            } else {
                double acc = taps_at<OneLane>(s, w, l), lin = linear_at<OneLane>(a, b, g, h, l);
                // A bitwise select rather than a conditional: only in this form does the
                // compiler keep the loop in vector lanes. Either way the value is lin or acc.
                std::int64_t keep = -static_cast<std::int64_t>(f[l] == 0);
                std::int64_t x, y;
                std::memcpy(&x, &lin, sizeof x);
                std::memcpy(&y, &acc, sizeof y);
                std::int64_t r = (y & keep) | (x & ~keep);
                std::memcpy(&v, &r, sizeof r);
            }
            o[l] = v;
        }
    }

    template <class T>
    static void plain(const T* const src[8], const double w[8], double* out, std::size_t n) {
        run<Take::taps>(src[0], src[1], src[2], src[3], src[4], src[5], src[6], src[7], w,
                        static_cast<const T*>(nullptr), static_cast<const T*>(nullptr), 0.0,
                        nullptr, out, n);
    }

    // Flags come in runs along edges, so most groups of eight lines are all flagged or all
    // clear; those compute only the one value they take.
    template <class T>
    static void switched(const T* const src[8], const double w[8], const T* left,
                         const T* right, double h, const unsigned char* flag, double* out,
                         std::size_t n) {
        constexpr std::size_t kGroup = 8;
        constexpr std::uint64_t kAllSet = 0x0101010101010101u;  // flags are 0 or 1
        const double g = 1 - h;
        std::size_t l = 0;
        for (; l + kGroup <= n; l += kGroup) {
            std::uint64_t flags;
            std::memcpy(&flags, flag + l, sizeof flags);
            EightDoubles v;
            if (flags == 0) {
                v = taps_at<EightLanes>(src, w, l);
            } else if (flags == kAllSet) {
                v = linear_at<EightLanes>(left, right, g, h, l);
            } else {
                EightBytes fb;
                std::memcpy(&fb, flag + l, sizeof fb);
                EightBits take_linear = __builtin_convertvector(fb, EightBits) != 0;
                EightDoubles acc = taps_at<EightLanes>(src, w, l);
                EightDoubles lin = linear_at<EightLanes>(left, right, g, h, l);
                v = take_linear ? lin : acc;
            }
            std::memcpy(out + l, &v, sizeof v);
        }
        const T* s[8];
        for (int j = 0; j < 8; ++j) s[j] = src[j] + l;
        run<Take::by_flag>(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], w, left + l,
                           right + l, h, flag + l, out + l, n - l);
    }
};

}  // namespace tap_sums_body
