#pragma once
// The line transforms of line_transforms.h for many lines of one length, with everything that
// depends only on the length computed once: the chirp and its kernel spectrum (made by
// chirp_plan_create itself), the rotation factors (by shift_factors) and the FFT tables. The
// lines run kLanes at a time in the lanes of vector registers (lanes.h), with the instruction
// set active_isa() names. Every result has the bits of the one-line transform; the plan is
// read-only once built, so threads may share it.

#include <cstddef>
#include <cstring>

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

// The layout of a lane buffer with the lanes per block a constant, for loops over many points:
// a point's copies unroll, and the lanes of a block that lie side by side in memory on the other
// side move as one run.
template <int Width>
struct FixedLanes {
    std::size_t block;  // doubles per block

    // Point j of the kLanes lanes of buf from re[l * stride] and im[l * stride].
    void put(double* buf, int j, const double* re, const double* im, std::size_t stride) const {
        for (int b = 0; b < kLanes / Width; ++b) {
            double* d = at(buf, j, b);
            const std::size_t l = static_cast<std::size_t>(b * Width);
            if (stride == 1) {
                std::memcpy(d, re + l, sizeof(double) * Width);
                std::memcpy(d + Width, im + l, sizeof(double) * Width);
            } else {
                for (std::size_t i = 0; i < Width; ++i) {
                    d[i] = re[(l + i) * stride];
                    d[Width + i] = im[(l + i) * stride];
                }
            }
        }
    }
    // The real parts alone of point j, for a line whose imaginary parts are known zeros.
    void put_real(double* buf, int j, const double* re) const {
        for (int b = 0; b < kLanes / Width; ++b)
            std::memcpy(at(buf, j, b), re + b * Width, sizeof(double) * Width);
    }
    // Point j of every lane of buf to re[l * stride] and im[l * stride].
    void get(const double* buf, int j, double* re, double* im, std::size_t stride) const {
        for (int b = 0; b < kLanes / Width; ++b) {
            const double* d = at(buf, j, b);
            const std::size_t l = static_cast<std::size_t>(b * Width);
            if (stride == 1) {
                std::memcpy(re + l, d, sizeof(double) * Width);
                std::memcpy(im + l, d + Width, sizeof(double) * Width);
            } else {
                for (std::size_t i = 0; i < Width; ++i) {
                    re[(l + i) * stride] = d[i];
                    im[(l + i) * stride] = d[Width + i];
                }
            }
        }
    }

   private:
    // The real parts of point j in block b; its imaginary parts follow.
    template <class D>
    D* at(D* buf, int j, int b) const {
        return buf + static_cast<std::size_t>(b) * block + static_cast<std::size_t>(j) * 2 * Width;
    }
};

// Calls f(FixedLanes<width>{...}) with the width of the layout.
template <class F>
inline void with_fixed_lanes(const LaneLayout& lay, F f) {
    switch (lay.shift) {
        case 3:
            return f(FixedLanes<8>{lay.block});
        case 2:
            return f(FixedLanes<4>{lay.block});
        default:
            return f(FixedLanes<2>{lay.block});
    }
}

// Point j of the kLanes lanes of buf from re[l * stride] and im[l * stride], l = 0 .. kLanes - 1.
inline void lane_put(const LaneLayout& lay, double* buf, int j, const double* re, const double* im,
                     std::size_t stride) {
    with_fixed_lanes(lay, [&](const auto& lanes) { lanes.put(buf, j, re, im, stride); });
}

// The real parts alone of point j, for a line whose imaginary parts are known zeros.
inline void lane_put_real(const LaneLayout& lay, double* buf, int j, const double* re) {
    with_fixed_lanes(lay, [&](const auto& lanes) { lanes.put_real(buf, j, re); });
}

// Point j of every lane of buf to re[l * stride] and im[l * stride].
inline void lane_get(const LaneLayout& lay, const double* buf, int j, double* re, double* im,
                     std::size_t stride) {
    with_fixed_lanes(lay, [&](const auto& lanes) { lanes.get(buf, j, re, im, stride); });
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
