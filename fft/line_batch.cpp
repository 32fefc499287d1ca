#include "fft/line_batch.h"

#include "base/isa.h"
#include "base/numeric.h"
#include "fft/chirp_dft.h"
#include "fft/complex_fft.h"
#include "fft/fft_template.h"
#include "fft/line_transforms.h"

namespace {

template <class T>
void copy(int count, const T* from, HeapArray<T>& to) {
    for (int i = 0; i < count; ++i) to[to_size(i)] = from[i];
}

}  // namespace

void line_plan_build(LinePlan* plan, int n) {
    if (n < 2 || n > kMaxDftLength) die_with_line("failure!!!!\n");
    // complex_fft's tables for this line's transforms, n = 2L doubles.
    int padded = 1;
    while (padded < 2 * n) padded *= 2;
    plan->ip = HeapArray<int>(to_size(fft_ip_length(2 * padded)), "ip");
    plan->w = HeapArray<double>(to_size(fft_w_length(2 * padded)), "ww");
    plan->ip[0] = 0;
    // The chirp and the kernel spectrum exactly as every per-line plan makes them; the table
    // this builds (for n = 2L) is the one each pass of the per-line procedure builds at its
    // first line and then reuses.
    ChirpPlan cp;
    if (chirp_plan_create(&cp, n, n, plan->ip.get(), plan->w.get()) != 0)
        die_with_line("failure!!!!\n");
    const int L = cp.L;
    plan->n = n;
    plan->L = L;
    plan->chirp_re = HeapArray<double>(to_size(n), "chirp");
    plan->chirp_im = HeapArray<double>(to_size(n), "chirp");
    plan->kernel_re = HeapArray<double>(to_size(L), "kernel");
    plan->kernel_im = HeapArray<double>(to_size(L), "kernel");
    copy(n, cp.chirp_re, plan->chirp_re);
    copy(n, cp.chirp_im, plan->chirp_im);
    copy(L, cp.kernel_re, plan->kernel_re);
    copy(L, cp.kernel_im, plan->kernel_im);
    chirp_plan_destroy(&cp);
    plan->fwd_c = HeapArray<double>(to_size(n), "rotation");
    plan->fwd_s = HeapArray<double>(to_size(n), "rotation");
    plan->inv_c = HeapArray<double>(to_size(n), "rotation");
    plan->inv_s = HeapArray<double>(to_size(n), "rotation");
    for (int k = 0; k < n; ++k) {
        shift_factors(n, k, false, &plan->fwd_c[to_size(k)], &plan->fwd_s[to_size(k)]);
        shift_factors(n, k, true, &plan->inv_c[to_size(k)], &plan->inv_s[to_size(k)]);
    }
    // The final permutation of the sign +1 FFT applied to point numbers tells where each
    // output lies before it.
    plan->plus_pos = HeapArray<int>(to_size(L), "order");
    {
        HeapArray<double> index(2 * to_size(L), "order");
        for (int j = 0; j < L; ++j) index[2 * to_size(j)] = index[2 * to_size(j) + 1] = j;
        fft_template::plus_permute(2 * L, plan->ip.get(), index.get());
        for (int k = 0; k < L; ++k)
            plan->plus_pos[to_size(k)] = static_cast<int>(index[2 * to_size(k)]);
    }
    LaneTables& t = plan->tables;
    t.n = n;
    t.inv_n = 1.0 / n;
    t.chirp.N = n;
    t.chirp.L = L;
    t.chirp.nw = plan->ip[0];
    t.chirp.inv_L = 1.0 / L;
    t.chirp.chirp_re = plan->chirp_re.get();
    t.chirp.chirp_im = plan->chirp_im.get();
    t.chirp.kernel_re = plan->kernel_re.get();
    t.chirp.kernel_im = plan->kernel_im.get();
    t.chirp.ip = plan->ip.get();
    t.chirp.w = plan->w.get();
    t.fwd_c = plan->fwd_c.get();
    t.fwd_s = plan->fwd_s.get();
    t.inv_c = plan->inv_c.get();
    t.inv_s = plan->inv_s.get();
    t.plus_pos = plan->plus_pos.get();
}

int lane_width(Isa isa) {
    switch (isa) {
        case Isa::avx512:
            return 8;
        case Isa::avx2:
            return 4;
        case Isa::generic:
            break;
    }
    return 2;
}

LaneLayout lane_layout(int L) {
    const int width = lane_width(active_isa());
    int shift = 0;
    while ((1 << shift) < width) ++shift;
    return {shift, lane_block_doubles(L, width)};
}

void lanes_forward(const LinePlan& plan, const KnownZeros& in, double* buf) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return lanes_forward_avx512(plan.tables, in, buf);
        case Isa::avx2:
            return lanes_forward_avx2(plan.tables, in, buf);
#endif
        default:
            return lanes_forward_generic(plan.tables, in, buf);
    }
}

void lanes_inverse(const LinePlan& plan, const KnownZeros& in, int count, double* buf) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return lanes_inverse_avx512(plan.tables, in, count, buf);
        case Isa::avx2:
            return lanes_inverse_avx2(plan.tables, in, count, buf);
#endif
        default:
            return lanes_inverse_generic(plan.tables, in, count, buf);
    }
}
