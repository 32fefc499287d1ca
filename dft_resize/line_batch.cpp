#include "dft_resize/line_batch.h"

#include <cstdint>

#include "base/isa.h"
#include "base/numeric.h"
#include "dft_resize/chirp_dft.h"
#include "dft_resize/line_transforms.h"

namespace {

// complex_fft's tables for the longest transform the DFT runs (n = 2L = 32768 doubles).
constexpr std::size_t kIpEntries = 64;
constexpr std::size_t kWEntries = 8192;

}  // namespace

void line_plan_build(LinePlan* plan, int n) {
    plan->ip = HeapArray<int>(kIpEntries, "ip");
    plan->w = HeapArray<double>(kWEntries, "ww");
    plan->ip[0] = 0;
    // The chirp and the kernel spectrum exactly as every per-line plan makes them; the table
    // this builds (for n = 2L) is the one each pass of the per-line procedure builds at its
    // first line and then reuses.
    ChirpPlan cp;
    if (n < 2 || n > kMaxDftLength ||
        chirp_plan_create(&cp, n, n, plan->ip.get(), plan->w.get()) != 0)
        die_with_line("failure!!!!\n");
    const int L = cp.L;
    plan->n = n;
    plan->L = L;
    plan->inv_n = 1.0 / n;
    plan->chirp_re = HeapArray<double>(to_size(n), "chirp");
    plan->chirp_im = HeapArray<double>(to_size(n), "chirp");
    plan->chirp_im_neg = HeapArray<double>(to_size(n), "chirp");
    plan->kernel_re = HeapArray<double>(to_size(L), "kernel");
    plan->kernel_im = HeapArray<double>(to_size(L), "kernel");
    plan->kernel_im_neg = HeapArray<double>(to_size(L), "kernel");
    for (int j = 0; j < n; ++j) {
        plan->chirp_re[to_size(j)] = cp.chirp_re[j];
        plan->chirp_im[to_size(j)] = cp.chirp_im[j];
        plan->chirp_im_neg[to_size(j)] = -cp.chirp_im[j];
    }
    for (int k = 0; k < L; ++k) {
        plan->kernel_re[to_size(k)] = cp.kernel_re[k];
        plan->kernel_im[to_size(k)] = cp.kernel_im[k];
        plan->kernel_im_neg[to_size(k)] = -cp.kernel_im[k];
    }
    chirp_plan_destroy(&cp);
    plan->fwd_c = HeapArray<double>(to_size(n), "rotation");
    plan->fwd_s = HeapArray<double>(to_size(n), "rotation");
    plan->inv_c = HeapArray<double>(to_size(n), "rotation");
    plan->inv_s = HeapArray<double>(to_size(n), "rotation");
    for (int k = 0; k < n; ++k) {
        shift_factors(n, k, false, &plan->fwd_c[to_size(k)], &plan->fwd_s[to_size(k)]);
        shift_factors(n, k, true, &plan->inv_c[to_size(k)], &plan->inv_s[to_size(k)]);
    }
    plan->plus_pos = HeapArray<int>(to_size(L), "order");
    {
        HeapArray<double> scratch(2 * to_size(L), "order");
        lanes_generic::plus_order(2 * L, plan->ip.get(), scratch.get(), plan->plus_pos.get());
    }
    LaneTables& t = plan->tables;
    t.n = n;
    t.L = L;
    t.nw = plan->ip[0];
    t.inv_n = plan->inv_n;
    t.inv_L = 1.0 / L;
    t.chirp_re = plan->chirp_re.get();
    t.chirp_im = plan->chirp_im.get();
    t.chirp_im_neg = plan->chirp_im_neg.get();
    t.kernel_re = plan->kernel_re.get();
    t.kernel_im = plan->kernel_im.get();
    t.kernel_im_neg = plan->kernel_im_neg.get();
    t.fwd_c = plan->fwd_c.get();
    t.fwd_s = plan->fwd_s.get();
    t.inv_c = plan->inv_c.get();
    t.inv_s = plan->inv_s.get();
    t.ip = plan->ip.get();
    t.w = plan->w.get();
    t.plus_pos = plan->plus_pos.get();
}

double* lanes_forward(const LinePlan& plan, double* buf) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return lanes_avx512::forward(plan.tables, buf);
        case Isa::avx2:
            return lanes_avx2::forward(plan.tables, buf);
#endif
        default:
            return lanes_generic::forward(plan.tables, buf);
    }
}

double* lanes_inverse(const LinePlan& plan, double* buf) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return lanes_avx512::inverse(plan.tables, buf);
        case Isa::avx2:
            return lanes_avx2::inverse(plan.tables, buf);
#endif
        default:
            return lanes_generic::inverse(plan.tables, buf);
    }
}

void lanes_fft(int n, int sign, double* buf, const int* ip, const double* w) {
    switch (active_isa()) {
#ifdef ENLARGE3_HAVE_X86_LANES
        case Isa::avx512:
            return lanes_avx512::fft(n, sign, buf, ip, ip[0], w);
        case Isa::avx2:
            return lanes_avx2::fft(n, sign, buf, ip, ip[0], w);
#endif
        default:
            return lanes_generic::fft(n, sign, buf, ip, ip[0], w);
    }
}
