#include "kernel_resize/tap_sums.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Vector width is chosen when the program starts, from what the processor offers; every clone
// computes the same IEEE operations in the same order (no fused multiply-add: the build
// forbids contraction), only more lanes at a time.
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define ENLARGE3_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define ENLARGE3_CLONES
#endif

namespace {

// What an output sample takes: the eight-tap sum, the two-tap linear interpolation, or either
// one chosen by its flag.
enum class Take { taps, linear, by_flag };

// The sums of n consecutive lines from index 0 of every array. One body for every kind, so a
// sample's eight-tap sum or linear interpolation is the same sequence of operations whichever
// kind of run it falls in.
template <class T, Take kTake>
inline void sums_body(const T* __restrict s0, const T* __restrict s1, const T* __restrict s2,
                      const T* __restrict s3, const T* __restrict s4, const T* __restrict s5,
                      const T* __restrict s6, const T* __restrict s7, const double w[8],
                      const T* __restrict a, const T* __restrict b, double h,
                      const unsigned char* __restrict f, double* __restrict o, std::size_t n) {
    const double w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
    const double w4 = w[4], w5 = w[5], w6 = w[6], w7 = w[7];
    const double g = 1 - h;
    for (std::size_t l = 0; l < n; ++l) {
        double acc = 0.0;
        if constexpr (kTake != Take::linear) {
            acc = static_cast<double>(s0[l]) * w0 + acc;
            acc = static_cast<double>(s1[l]) * w1 + acc;
            acc = static_cast<double>(s2[l]) * w2 + acc;
            acc = static_cast<double>(s3[l]) * w3 + acc;
            acc = static_cast<double>(s4[l]) * w4 + acc;
            acc = static_cast<double>(s5[l]) * w5 + acc;
            acc = static_cast<double>(s6[l]) * w6 + acc;
            acc = static_cast<double>(s7[l]) * w7 + acc;
        }
        if constexpr (kTake == Take::linear) {
            acc = static_cast<double>(a[l]) * g + static_cast<double>(b[l]) * h;
        }
        if constexpr (kTake == Take::by_flag) {
            double lin = static_cast<double>(a[l]) * g + static_cast<double>(b[l]) * h;
            // A bitwise select rather than a conditional: only in this form does the compiler
            // keep the loop in vector lanes. Either way the value is lin or acc, unchanged.
            std::int64_t keep = -static_cast<std::int64_t>(f[l] == 0);
            std::int64_t x, y;
            std::memcpy(&x, &lin, sizeof x);
            std::memcpy(&y, &acc, sizeof y);
            std::int64_t r = (y & keep) | (x & ~keep);
            std::memcpy(&acc, &r, sizeof r);
        }
        o[l] = acc;
    }
}

template <class T>
inline void plain_sums(const T* const src[8], const double w[8], double* out, std::size_t n) {
    sums_body<T, Take::taps>(src[0], src[1], src[2], src[3], src[4], src[5], src[6], src[7], w,
                             nullptr, nullptr, 0.0, nullptr, out, n);
}

// Eight lines at a time in GCC's generic vectors: the compiler maps them onto whatever
// registers the clone has (one 512-bit, two 256-bit or four 128-bit), each lane doing the
// scalar operations of its own line; with contraction off no multiply-add is fused.
// The helpers below are always inlined into their clone, so the note about passing 512-bit
// vectors between functions compiled for different processors concerns no real call.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double Lanes __attribute__((vector_size(64)));
typedef std::int64_t LaneBits __attribute__((vector_size(64)));
typedef unsigned char LaneBytes __attribute__((vector_size(8)));

inline Lanes load_lanes(const double* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Lanes load_lanes(const unsigned char* p) {
    LaneBytes b;
    std::memcpy(&b, p, sizeof b);
    return __builtin_convertvector(b, Lanes);
}

template <class T>
inline Lanes taps_lanes(const T* const s[8], const double w[8], std::size_t l) {
    Lanes acc = {0, 0, 0, 0, 0, 0, 0, 0};
    for (int j = 0; j < 8; ++j) acc = load_lanes(s[j] + l) * w[j] + acc;
    return acc;
}

template <class T>
inline Lanes linear_lanes(const T* a, const T* b, double g, double h, std::size_t l) {
    return load_lanes(a + l) * g + load_lanes(b + l) * h;
}

// Flags come in runs along edges, so most groups of eight lines are all flagged or all clear;
// those compute only the one value they take.
template <class T>
inline void switched_sums(const T* const src[8], const double w[8], const T* left,
                          const T* right, double h, const unsigned char* flag, double* out,
                          std::size_t n) {
    constexpr std::size_t kGroup = 8;
    constexpr std::uint64_t kAllSet = 0x0101010101010101u;  // flags are 0 or 1
    const double g = 1 - h;
    std::size_t l = 0;
    for (; l + kGroup <= n; l += kGroup) {
        std::uint64_t flags;
        std::memcpy(&flags, flag + l, sizeof flags);
        Lanes v;
        if (flags == 0) {
            v = taps_lanes(src, w, l);
        } else if (flags == kAllSet) {
            v = linear_lanes(left, right, g, h, l);
        } else {
            LaneBytes fb;
            std::memcpy(&fb, flag + l, sizeof fb);
            LaneBits take_linear = __builtin_convertvector(fb, LaneBits) != 0;
            Lanes acc = taps_lanes(src, w, l), lin = linear_lanes(left, right, g, h, l);
            v = take_linear ? lin : acc;
        }
        std::memcpy(out + l, &v, sizeof v);
    }
    const T* s[8];
    for (int j = 0; j < 8; ++j) s[j] = src[j] + l;
    sums_body<T, Take::by_flag>(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], w, left + l,
                                right + l, h, flag + l, out + l, n - l);
}

}  // namespace

ENLARGE3_CLONES
void sum_eight_taps(const double* const src[8], const double w[8], double* out, std::size_t n) {
    plain_sums(src, w, out, n);
}

ENLARGE3_CLONES
void sum_eight_taps(const unsigned char* const src[8], const double w[8], double* out,
                    std::size_t n) {
    plain_sums(src, w, out, n);
}

ENLARGE3_CLONES
void sum_eight_taps_switched(const double* const src[8], const double w[8], const double* left,
                             const double* right, double h, const unsigned char* flag,
                             double* out, std::size_t n) {
    switched_sums(src, w, left, right, h, flag, out, n);
}

ENLARGE3_CLONES
void sum_eight_taps_switched(const unsigned char* const src[8], const double w[8],
                             const unsigned char* left, const unsigned char* right, double h,
                             const unsigned char* flag, double* out, std::size_t n) {
    switched_sums(src, w, left, right, h, flag, out, n);
}

void clamp_to_bytes(const double* v, unsigned char* out, std::size_t n) {
    std::size_t i = 0;
#ifdef __SSE2__
    // maxpd(v, 0) gives 0 for NaN and for -0.0, as the scalar comparison below does; the
    // values then lie in 0 .. 255, so truncation and the saturating packs are exact.
    const __m128d zero = _mm_setzero_pd(), top = _mm_set1_pd(255.0);
    for (; i + 16 <= n; i += 16) {
        __m128i q[4];
        for (std::size_t k = 0; k < 4; ++k) {
            __m128d a = _mm_min_pd(_mm_max_pd(_mm_loadu_pd(v + i + 4 * k), zero), top);
            __m128d b = _mm_min_pd(_mm_max_pd(_mm_loadu_pd(v + i + 4 * k + 2), zero), top);
            q[k] = _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
        }
        __m128i lo = _mm_packs_epi32(q[0], q[1]), hi = _mm_packs_epi32(q[2], q[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i) {
        double c = v[i] > 0.0 ? v[i] : 0.0;
        c = c > 255.0 ? 255.0 : c;
        out[i] = static_cast<unsigned char>(static_cast<int>(c));
    }
}

