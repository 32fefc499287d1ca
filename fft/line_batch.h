#pragma once
// The line transforms of line_transforms.h for many lines of one length, with everything that
// depends only on the length computed once: the chirp and its kernel spectrum (made by
// chirp_plan_create itself), the rotation factors (by shift_factors) and the FFT tables. The
// lines run kLanes at a time in the lanes of vector registers (lanes.h), with the instruction
// set active_isa() names. Every result has the bits of the one-line transform; the plan is
// read-only once built, so threads may share it.

#include <cstddef>

#include "base/alloc.h"
#include "base/isa.h"
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

// Lanes per block (lanes.h) of an instruction set: the doubles one of its registers holds.
int lane_width(Isa isa);

// Where the values of a lane buffer lie (lanes.h) with the instruction set in use.
struct LaneLayout {
    int shift;          // log2 of the lanes per block
    std::size_t block;  // doubles per block

    // Index of the real part of point j of lane l; the imaginary part is at im(j, l).
    std::size_t re(int j, int l) const {
        const std::size_t lane = static_cast<std::size_t>(l);
        return (lane >> shift) * block + (static_cast<std::size_t>(j) << (shift + 1)) +
               (lane & ((std::size_t{1} << shift) - 1));
    }
    std::size_t im(int j, int l) const { return re(j, l) + (std::size_t{1} << shift); }
};

// The layout of a lane buffer for lines of padded length L under active_isa().
LaneLayout lane_layout(int L);

namespace lane_detail {
template <int Width, class Copy>
inline void each_block(const LaneLayout& lay, int j, Copy copy) {
    const std::size_t at = static_cast<std::size_t>(j) * 2 * Width;
    for (int b = 0; b < kLanes / Width; ++b)
        for (int i = 0; i < Width; ++i)
            copy(at + static_cast<std::size_t>(b) * lay.block + static_cast<std::size_t>(i),
                 at + static_cast<std::size_t>(b) * lay.block + Width + static_cast<std::size_t>(i),
                 b * Width + i);
}

// copy(index of the real part, index of the imaginary part, lane) for every lane of point j.
template <class Copy>
inline void each_lane(const LaneLayout& lay, int j, Copy copy) {
    switch (lay.shift) {
        case 3:
            return each_block<8>(lay, j, copy);
        case 2:
            return each_block<4>(lay, j, copy);
        default:
            return each_block<2>(lay, j, copy);
    }
}
}  // namespace lane_detail

// Point j of the kLanes lanes of buf from re[l * stride] and im[l * stride], l = 0 .. kLanes - 1.
inline void lane_put(const LaneLayout& lay, double* buf, int j, const double* re, const double* im,
                     std::size_t stride) {
    lane_detail::each_lane(lay, j, [&](std::size_t r, std::size_t i, int l) {
        buf[r] = re[static_cast<std::size_t>(l) * stride];
        buf[i] = im[static_cast<std::size_t>(l) * stride];
    });
}

// The real parts alone of point j, for a line whose imaginary parts are known zeros.
inline void lane_put_real(const LaneLayout& lay, double* buf, int j, const double* re) {
    lane_detail::each_lane(lay, j, [&](std::size_t r, std::size_t, int l) {
        buf[r] = re[static_cast<std::size_t>(l)];
    });
}

// Point j of every lane of buf to re[l * stride] and im[l * stride].
inline void lane_get(const LaneLayout& lay, const double* buf, int j, double* re, double* im,
                     std::size_t stride) {
    lane_detail::each_lane(lay, j, [&](std::size_t r, std::size_t i, int l) {
        re[static_cast<std::size_t>(l) * stride] = buf[r];
        im[static_cast<std::size_t>(l) * stride] = buf[i];
    });
}

// A lane buffer for lines of padded length L, whatever the instruction set.
inline BigArray lane_buffer(int L, const char* name) {
    return BigArray(kLanes * lane_block_doubles(L, 1), name);
}

// shifted_dft_* (forward, all n outputs) and shifted_idft_* (inverse, outputs 0 .. count - 1,
// count <= n) on the kLanes lines of buf, laid out as lane_layout(plan.L) says; the values
// `in` names as zeros (chirp_template.h) are not read. The result replaces the line at points
// 0 .. count - 1.
void lanes_forward(const LinePlan& plan, const KnownZeros& in, double* buf);
void lanes_inverse(const LinePlan& plan, const KnownZeros& in, int count, double* buf);
