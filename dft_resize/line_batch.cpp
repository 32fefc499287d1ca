#include "dft_resize/line_batch.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef _WIN32
#include <malloc.h>
#endif

#include "dft_resize/chirp_dft.h"
#include "dft_resize/line_transforms.h"

namespace {

std::size_t count_of(int n) {
    return static_cast<std::size_t>(n);
}

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
    plan->chirp_re = HeapArray<double>(count_of(n), "chirp");
    plan->chirp_im = HeapArray<double>(count_of(n), "chirp");
    plan->chirp_im_neg = HeapArray<double>(count_of(n), "chirp");
    plan->kernel_re = HeapArray<double>(count_of(L), "kernel");
    plan->kernel_im = HeapArray<double>(count_of(L), "kernel");
    plan->kernel_im_neg = HeapArray<double>(count_of(L), "kernel");
    for (int j = 0; j < n; ++j) {
        plan->chirp_re[count_of(j)] = cp.chirp_re[j];
        plan->chirp_im[count_of(j)] = cp.chirp_im[j];
        plan->chirp_im_neg[count_of(j)] = -cp.chirp_im[j];
    }
    for (int k = 0; k < L; ++k) {
        plan->kernel_re[count_of(k)] = cp.kernel_re[k];
        plan->kernel_im[count_of(k)] = cp.kernel_im[k];
        plan->kernel_im_neg[count_of(k)] = -cp.kernel_im[k];
    }
    chirp_plan_destroy(&cp);
    plan->fwd_c = HeapArray<double>(count_of(n), "rotation");
    plan->fwd_s = HeapArray<double>(count_of(n), "rotation");
    plan->inv_c = HeapArray<double>(count_of(n), "rotation");
    plan->inv_s = HeapArray<double>(count_of(n), "rotation");
    for (int k = 0; k < n; ++k) {
        shift_factors(n, k, false, &plan->fwd_c[count_of(k)], &plan->fwd_s[count_of(k)]);
        shift_factors(n, k, true, &plan->inv_c[count_of(k)], &plan->inv_s[count_of(k)]);
    }
    plan->plus_pos = HeapArray<int>(count_of(L), "order");
    {
        HeapArray<double> scratch(2 * count_of(L), "order");
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

namespace {

// Windows' C library has no aligned_alloc; its own aligned blocks need their own free.
void* aligned_block(std::size_t align, std::size_t size) {
#ifdef _WIN32
    return _aligned_malloc(size, align);
#else
    return std::aligned_alloc(align, size);
#endif
}

void free_aligned_block(void* p) {
#ifdef _WIN32
    _aligned_free(p);
#else
    std::free(p);
#endif
}

}  // namespace

BigArray::BigArray(std::size_t count, const char* name) {
    constexpr std::size_t kHugePage = std::size_t{1} << 21;
    if (count > (SIZE_MAX - kHugePage) / sizeof(double)) die_no_memory(name);
    const std::size_t bytes = count * sizeof(double);
    // Huge pages only pay for blocks of a page or more; smaller ones are 64-byte aligned (a
    // vector register). aligned_alloc wants a multiple of the alignment.
    const std::size_t align = bytes >= kHugePage ? kHugePage : 64;
    const std::size_t size = bytes == 0 ? align : (bytes + align - 1) / align * align;
    data_ = static_cast<double*>(aligned_block(align, size));
    if (data_ == nullptr) die_no_memory(name);
#ifdef __linux__
    // Only advice: without huge pages everything works the same, more slowly.
    if (align == kHugePage) (void)madvise(data_, size, MADV_HUGEPAGE);
#endif
}

BigArray::~BigArray() {
    free_aligned_block(data_);
}

BigArray& BigArray::operator=(BigArray&& o) noexcept {
    if (this != &o) {
        free_aligned_block(data_);
        data_ = o.data_;
        o.data_ = nullptr;
    }
    return *this;
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ENLARGE3_LANE_DISPATCH 1
#endif

bool supported(LaneIsa isa) {
    switch (isa) {
        case LaneIsa::generic:
            return true;
#ifdef ENLARGE3_LANE_DISPATCH
        case LaneIsa::avx2:
            return __builtin_cpu_supports("avx2");
        case LaneIsa::avx512:
            return __builtin_cpu_supports("avx512f");
#else
        case LaneIsa::avx2:
        case LaneIsa::avx512:
            return false;
#endif
    }
    return false;
}

LaneIsa chosen_at_start() {
    LaneIsa best = supported(LaneIsa::avx512) ? LaneIsa::avx512
                   : supported(LaneIsa::avx2) ? LaneIsa::avx2
                                              : LaneIsa::generic;
    if (const char* env = std::getenv("ENLARGE3_LANE_ISA")) {
        const LaneIsa asked = std::strcmp(env, "generic") == 0 ? LaneIsa::generic
                              : std::strcmp(env, "avx2") == 0  ? LaneIsa::avx2
                                                               : LaneIsa::avx512;
        if (supported(asked) && static_cast<int>(asked) < static_cast<int>(best)) best = asked;
    }
    return best;
}

std::atomic<int>& current() {
    static std::atomic<int> isa{static_cast<int>(chosen_at_start())};
    return isa;
}

}  // namespace

LaneIsa lane_isa() {
    return static_cast<LaneIsa>(current().load(std::memory_order_relaxed));
}

bool lane_isa_supported(LaneIsa isa) {
    return supported(isa);
}

void set_lane_isa(LaneIsa isa) {
    if (supported(isa)) current().store(static_cast<int>(isa), std::memory_order_relaxed);
}

double* lanes_forward(const LinePlan& plan, double* buf) {
    switch (lane_isa()) {
#ifdef ENLARGE3_LANE_DISPATCH
        case LaneIsa::avx512:
            return lanes_avx512::forward(plan.tables, buf);
        case LaneIsa::avx2:
            return lanes_avx2::forward(plan.tables, buf);
#endif
        default:
            return lanes_generic::forward(plan.tables, buf);
    }
}

double* lanes_inverse(const LinePlan& plan, double* buf) {
    switch (lane_isa()) {
#ifdef ENLARGE3_LANE_DISPATCH
        case LaneIsa::avx512:
            return lanes_avx512::inverse(plan.tables, buf);
        case LaneIsa::avx2:
            return lanes_avx2::inverse(plan.tables, buf);
#endif
        default:
            return lanes_generic::inverse(plan.tables, buf);
    }
}

void lanes_fft(int n, int sign, double* buf, const int* ip, const double* w) {
    switch (lane_isa()) {
#ifdef ENLARGE3_LANE_DISPATCH
        case LaneIsa::avx512:
            return lanes_avx512::fft(n, sign, buf, ip, ip[0], w);
        case LaneIsa::avx2:
            return lanes_avx2::fft(n, sign, buf, ip, ip[0], w);
#endif
        default:
            return lanes_generic::fft(n, sign, buf, ip, ip[0], w);
    }
}
