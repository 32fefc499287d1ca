#include "kernel_resize/tap_sums.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/isa.h"
#include "base/numeric.h"
#include "kernel_resize/tap_sums_lanes.h"

namespace {

// One dispatcher per entry point serves both sample types: overload resolution picks the
// entry point of the type.
template <class T>
void plain_sums(const T* const src[8], const double w[8], double* out, std::size_t n) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return sum_eight_taps_avx512(src, w, out, n);
        case Isa::avx2:
            return sum_eight_taps_avx2(src, w, out, n);
#endif
        default:
            return sum_eight_taps_generic(src, w, out, n);
    }
}

template <class T>
void switched_sums(const T* const src[8], const double w[8], const T* left, const T* right,
                   double h, const unsigned char* flag, double* out, std::size_t n) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return sum_eight_taps_switched_avx512(src, w, left, right, h, flag, out, n);
        case Isa::avx2:
            return sum_eight_taps_switched_avx2(src, w, left, right, h, flag, out, n);
#endif
        default:
            return sum_eight_taps_switched_generic(src, w, left, right, h, flag, out, n);
    }
}

}  // namespace

void sum_eight_taps(const double* const src[8], const double w[8], double* out, std::size_t n) {
    plain_sums(src, w, out, n);
}

void sum_eight_taps(const unsigned char* const src[8], const double w[8], double* out,
                    std::size_t n) {
    plain_sums(src, w, out, n);
}

void sum_eight_taps_switched(const double* const src[8], const double w[8], const double* left,
                             const double* right, double h, const unsigned char* flag, double* out,
                             std::size_t n) {
    switched_sums(src, w, left, right, h, flag, out, n);
}

void sum_eight_taps_switched(const unsigned char* const src[8], const double w[8],
                             const unsigned char* left, const unsigned char* right, double h,
                             const unsigned char* flag, double* out, std::size_t n) {
    switched_sums(src, w, left, right, h, flag, out, n);
}

void sum_eight_taps(const std::uint16_t* const src[8], const double w[8], double* out,
                    std::size_t n) {
    plain_sums(src, w, out, n);
}

void sum_eight_taps_switched(const std::uint16_t* const src[8], const double w[8],
                             const std::uint16_t* left, const std::uint16_t* right, double h,
                             const unsigned char* flag, double* out, std::size_t n) {
    switched_sums(src, w, left, right, h, flag, out, n);
}

void clamp_to_bytes(const double* v, unsigned char* out, std::size_t n) {
    std::size_t i = 0;
#ifdef __SSE2__
    // The saturating packs of the x86-64 baseline narrow to bytes several times faster than
    // anything the compiler makes of a plain loop, on every wider set too, so this one body
    // serves them all. maxpd(v, 0) gives 0 for NaN and for -0.0, as the scalar comparison below
    // does; the values then lie in 0 .. 255, so truncation and the packs are exact.
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
    for (; i < n; ++i) out[i] = clamp_to_byte(v[i]);
}

void unweight(double* v, const double* alpha, std::size_t n) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return unweight_avx512(v, alpha, n);
        case Isa::avx2:
            return unweight_avx2(v, alpha, n);
#endif
        default:
            return unweight_generic(v, alpha, n);
    }
}
