#pragma once
// The line transforms of line_transforms.h for many lines of one length, with everything that
// depends only on the length computed once: the chirp and its kernel spectrum (made by
// chirp_plan_create itself), the rotation factors (by shift_factors) and the FFT tables. The
// lines run kLanes at a time in the lanes of vector registers (lanes.h), with the widest
// instruction set the processor offers. Every result has the bits of the one-line transform;
// the plan is read-only once built, so threads may share it.

#include <cstddef>

#include "base/alloc.h"
#include "fft/lanes.h"

struct LinePlan {
    int n = 0;                                     // line length
    int L = 0;                                     // padded length of the chirp-z convolution
    HeapArray<double> chirp_re, chirp_im;          // n each
    HeapArray<double> kernel_re, kernel_im;        // L each
    HeapArray<double> fwd_c, fwd_s, inv_c, inv_s;  // n each
    HeapArray<int> ip;                             // complex_fft's tables for 2L
    HeapArray<double> w;
    HeapArray<int> plus_pos;  // L
    LaneTables tables{};      // the above as plain pointers
};

// Builds the plan of length n (2 <= n <= kMaxDftLength). A plan that cannot be made ends the
// process like dft_forward ("failure!!!!", exit status 1).
void line_plan_build(LinePlan* plan, int n);

// A lane buffer for lines of padded length L (lanes.h gives the layout).
inline BigArray lane_buffer(int L, const char* name) {
    return BigArray(2 * static_cast<std::size_t>(lane_buffer_points(L)) * kLanes, name);
}

// Index of the real part of point j of lane l in a lane buffer; the imaginary part follows
// kLanes doubles later.
inline std::size_t lane_re(int j, int l) {
    return static_cast<std::size_t>(2 * j) * kLanes + static_cast<std::size_t>(l);
}

// shifted_dft_* (forward) and shifted_idft_* (inverse) on the kLanes lines of buf. The result
// comes back at the returned pointer (inside buf), in the layout of the input.
double* lanes_forward(const LinePlan& plan, double* buf);
double* lanes_inverse(const LinePlan& plan, double* buf);

// complex_fft(n, sign, ...) on each lane, with tables already built (nw = ip[0] >= n / 4).
void lanes_fft(int n, int sign, double* buf, const int* ip, const double* w);
