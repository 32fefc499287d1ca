#pragma once
// The line transforms of line_transforms.h for many lines of one length, with everything that
// depends only on the length computed once: the chirp and its kernel spectrum (made by
// chirp_plan_create itself), the rotation factors (by shift_factors) and the FFT tables. The
// lines run kLanes at a time in the lanes of vector registers (lane_kernels.h), with the
// widest instruction set the processor offers. Every result has the bits of the one-line
// transform; the plan is read-only once built, so threads may share it.

#include <cstddef>

#include "dft_resize/lane_kernels.h"
#include "image/alloc.h"

struct LinePlan {
    int n = 0;  // line length
    int L = 0;  // padded length of the chirp-z convolution
    double inv_n = 0.0;
    HeapArray<double> chirp_re, chirp_im, chirp_im_neg;     // n each
    HeapArray<double> kernel_re, kernel_im, kernel_im_neg;  // L each
    HeapArray<double> fwd_c, fwd_s, inv_c, inv_s;           // n each
    HeapArray<int> ip;                                      // complex_fft's tables for 2L
    HeapArray<double> w;
    HeapArray<int> plus_pos;  // L
    LaneTables tables{};      // the above as plain pointers
};

// Builds the plan of length n (2 <= n <= kMaxDftLength). A plan that cannot be made ends the
// process like dft_forward ("failure!!!!", exit status 1).
void line_plan_build(LinePlan* plan, int n);

// A block of doubles for a grid or a lane buffer. Blocks of 2 MiB or more are aligned to 2 MiB
// and, where the system offers transparent huge pages, advised to use them: the passes gather
// and scatter across many rows, and with 4 KiB pages every row would cost a TLB miss (and
// every page a fault on first touch). Smaller blocks are aligned to 64 bytes, a vector
// register. A failed allocation ends the process with "<name> no memory!!".
class BigArray {
   public:
    BigArray() = default;
    BigArray(std::size_t count, const char* name);
    ~BigArray();
    BigArray(BigArray&& o) noexcept : data_(o.data_) { o.data_ = nullptr; }
    BigArray& operator=(BigArray&& o) noexcept;
    BigArray(const BigArray&) = delete;
    BigArray& operator=(const BigArray&) = delete;
    double* get() { return data_; }
    const double* get() const { return data_; }

   private:
    double* data_ = nullptr;
};

// A lane buffer for lines of padded length L (lane_kernels.h gives the layout).
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

enum class LaneIsa { generic, avx2, avx512 };
// The instruction set the lane kernels run with: the widest the processor supports, unless
// ENLARGE3_LANE_ISA=generic|avx2|avx512 names a narrower one (for tests and comparisons).
LaneIsa lane_isa();
// Whether this processor and build can run the kernels of isa.
bool lane_isa_supported(LaneIsa isa);
// Switches the instruction set for the rest of the process (tests); isa must be supported.
void set_lane_isa(LaneIsa isa);
