#pragma once
// The line transforms of line_transforms.h on kLanes lines at once, one line per lane of a
// vector register, each lane doing exactly the scalar operations of its own line (the same
// products and sums in the same order, never fused): every lane's result has the bits the
// one-line transform gives. Compiled once per instruction set; line_batch.h picks one.
//
// Layout of a lane buffer: 2L * kLanes doubles, 64-byte aligned; point j of lane l has its
// real part at buf[2 j kLanes + l] and its imaginary part at buf[(2 j + 1) kLanes + l]. The
// line occupies points 0 .. n - 1; the rest is the transform's padding and is overwritten.

constexpr int kLanes = 8;

// What a transform of one length reads, as plain pointers (see LinePlan in line_batch.h).
struct LaneTables {
    int n;
    int L;
    int nw;        // size of the FFT twiddle table in w (ip[0])
    double inv_n;  // 1.0 / n
    double inv_L;  // 1.0 / L, exact: L is a power of two
    const double* chirp_re;
    const double* chirp_im;
    const double* chirp_im_neg;  // -chirp_im: the conjugate chirp of the sign-plus DFT
    const double* kernel_re;
    const double* kernel_im;
    const double* kernel_im_neg;
    const double* fwd_c;  // shift_factors(n, k, false)
    const double* fwd_s;
    const double* inv_c;  // shift_factors(n, k, true)
    const double* inv_s;
    const int* ip;
    const double* w;
};

#define ENLARGE3_LANE_KERNELS(ns)                                                         \
    namespace ns {                                                                        \
    /* shifted_dft_*: dft_inverse, then the rotation with factor 0.5. */                  \
    void forward(const LaneTables& t, double* buf);                                       \
    /* shifted_idft_*: the rotation with factor 2, then dft_forward. */                   \
    void inverse(const LaneTables& t, double* buf);                                       \
    /* complex_fft's fft_plus (sign >= 0) or fft_minus on n doubles per lane, in place. */ \
    void fft(int n, int sign, double* buf, const int* ip, int nw, const double* w);       \
    }

ENLARGE3_LANE_KERNELS(lanes_generic)
ENLARGE3_LANE_KERNELS(lanes_avx2)
ENLARGE3_LANE_KERNELS(lanes_avx512)

#undef ENLARGE3_LANE_KERNELS
