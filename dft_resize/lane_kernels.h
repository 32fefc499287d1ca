#pragma once
// The line transforms of line_transforms.h on kLanes lines at once, one line per lane of a
// vector register, each lane doing exactly the scalar operations of its own line (the same
// products and sums in the same order, never fused): every lane's result has the bits the
// one-line transform gives. Compiled once per instruction set; line_batch.h picks one.
//
// Layout of a lane buffer: room for 3L / 2 points (3L kLanes doubles, see lane_buffer_points),
// 64-byte aligned; point j of lane l has its real part at buf[2 j kLanes + l] and its
// imaginary part at buf[(2 j + 1) kLanes + l]. The line goes in at points 0 .. n - 1 and the
// transform uses points 0 .. L - 1; the result comes out at points L .. L + n - 1 (n <= L / 2),
// from lane_result_offset(L) on, in the same layout.

constexpr int kLanes = 8;

// Points a lane buffer holds for lines of padded length padded.
constexpr long lane_buffer_points(int padded) {
    return static_cast<long>(padded) * 3 / 2;
}

// Where a transform's result starts in its lane buffer, in doubles.
constexpr long lane_result_offset(int padded) {
    return 2L * kLanes * padded;
}

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
    // Where output k of the last FFT lies before its final permutation, in points: the
    // convolution reads its n outputs from there and leaves the other L - n unmoved.
    const int* plus_pos;
};

#define ENLARGE3_LANE_KERNELS(ns)                                                            \
    namespace ns {                                                                           \
    /* shifted_dft_*: dft_inverse, then the rotation with factor 0.5. Returns the result. */ \
    double* forward(const LaneTables& t, double* buf);                                       \
    /* shifted_idft_*: the rotation with factor 2, then dft_forward. Returns the result. */  \
    double* inverse(const LaneTables& t, double* buf);                                       \
    /* complex_fft's fft_plus (sign >= 0) or fft_minus on n doubles per lane, in place. */   \
    void fft(int n, int sign, double* buf, const int* ip, int nw, const double* w);          \
    /* plus_pos for the sign +1 FFT of n doubles: scratch holds n doubles, pos n / 2. */     \
    void plus_order(int n, const int* ip, double* scratch, int* pos);                        \
    }

ENLARGE3_LANE_KERNELS(lanes_generic)
ENLARGE3_LANE_KERNELS(lanes_avx2)
ENLARGE3_LANE_KERNELS(lanes_avx512)

#undef ENLARGE3_LANE_KERNELS
