#include "fft/chirp_dft.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "base/alloc.h"
#include "base/numeric.h"
#include "base/trig.h"
#include "fft/chirp_template.h"
#include "fft/complex_fft.h"

namespace {

void interleave(int L, const double* re, const double* im, double* buf) {
    for (int k = 0; k < L; ++k) {
        buf[2 * k] = re[k];
        buf[2 * k + 1] = im[k];
    }
}

// The FFT's result back into split arrays, each value divided by L, as the kernel's spectrum
// is defined. (The transforms multiply by the exact 1 / L instead, chirp_template.h: the same
// values.)
void deinterleave_scaled(int L, const double* buf, double* re, double* im) {
    const double l = static_cast<double>(L);
    for (int k = 0; k < L; ++k) {
        re[k] = buf[2 * k] / l;
        im[k] = buf[2 * k + 1] / l;
    }
}

void clear_plan(ChirpPlan* plan) {
    std::free(plan->chirp_re);
    std::free(plan->kernel_re);
    std::free(plan->work_re);
    *plan = ChirpPlan{};
}

}  // namespace

void make_chirp(int N, int M, int L, double* chirp_re, double* chirp_im, double* kernel_re,
                double* kernel_im) {
    const double pi_over_n = kPi / N;
    // j^2 mod 2N, kept in integers so every angle lies in [0, 2 pi): a long row's chirp keeps
    // full precision where j^2 * (pi / N) in doubles would not.
    long long e = 0;
    const long long period = 2LL * N;
    for (int j = 0; j < N; ++j) {
        const double theta = static_cast<double>(e) * pi_over_n;
        chirp_re[j] = cosine(theta);
        chirp_im[j] = -sine(theta);
        e = (e + 2LL * j + 1) % period;
    }
    const double l = static_cast<double>(L);
    kernel_re[0] = l;
    kernel_im[0] = 0.0;
    for (int k = 1; k < N; ++k) {
        kernel_re[k] = kernel_re[L - k] = l * chirp_re[k];
        kernel_im[k] = kernel_im[L - k] = -l * chirp_im[k];
    }
    for (int i = M; i <= L - N; ++i) {
        kernel_re[i] = 0.0;
        kernel_im[i] = 0.0;
    }
}

int chirp_plan_create(ChirpPlan* plan, int N, int M, int* ip, double* w) {
    if (N <= 1) return 1;
    if (M < 2 || M > N) M = N;
    int L = 1;
    while (L < N + M) L *= 2;
    plan->N = N;
    plan->M = M;
    plan->L = L;
    double* chirp = static_cast<double*>(std::malloc(2 * to_size(N) * sizeof(double)));
    double* kernel = static_cast<double*>(std::malloc(2 * to_size(L) * sizeof(double)));
    double* work = static_cast<double*>(std::malloc(2 * to_size(L) * sizeof(double)));
    plan->chirp_re = chirp;
    plan->kernel_re = kernel;
    plan->work_re = work;
    if (chirp == nullptr || kernel == nullptr || work == nullptr) {
        clear_plan(plan);
        return 2;
    }
    plan->chirp_im = chirp + N;
    plan->kernel_im = kernel + L;
    plan->work_im = work + L;
    make_chirp(N, M, L, plan->chirp_re, plan->chirp_im, plan->kernel_re, plan->kernel_im);
    // The kernel is transformed in the work block, which is free until execution.
    interleave(L, plan->kernel_re, plan->kernel_im, work);
    complex_fft(2 * L, -1, work, ip, w);
    deinterleave_scaled(L, work, plan->kernel_re, plan->kernel_im);
    return 0;
}

namespace {

// chirp_plan_execute reading its N inputs from in_re, in_im and writing its M outputs to
// out_re, out_im. Every input is in the work block before the first output is written, so
// the outputs may be the inputs.
void execute(ChirpPlan* plan, int conjugate, const double* in_re, const double* in_im,
             double* out_re, double* out_im, int* ip, double* w) {
    const int N = plan->N, M = plan->M;
    ChirpTables t;
    t.N = N;
    t.L = plan->L;
    t.nw = prepare_fft_tables(2 * plan->L, ip, w);
    t.inv_L = 1.0 / plan->L;
    t.chirp_re = plan->chirp_re;
    t.chirp_im = plan->chirp_im;
    t.kernel_re = plan->kernel_re;
    t.kernel_im = plan->kernel_im;
    t.ip = ip;
    t.w = w;
    // The convolution runs in the work block, its L points interleaved as complex_fft takes
    // them.
    double* a = plan->work_re;
    interleave(N, in_re, in_im, a);
    if (conjugate != 0) {
        chirp_template::transform<double, true>(t, a, M, nullptr, [&](int k, double x, double y) {
            out_re[k] = x;
            out_im[k] = y;
        });
    } else {
        const double inv = 1.0 / N;
        chirp_template::transform<double, false>(t, a, M, nullptr, [&](int k, double x, double y) {
            out_re[k] = x * inv;
            out_im[k] = y * inv;
        });
    }
}

}  // namespace

void chirp_plan_execute(ChirpPlan* plan, int conjugate, double* re, double* im, int* ip,
                        double* w) {
    execute(plan, conjugate, re, im, re, im, ip, w);
}

void chirp_plan_destroy(ChirpPlan* plan) {
    clear_plan(plan);
}

namespace {

// Both entries: plan, execute, destroy. Returns the plan's status; nothing is written unless
// it is 0.
int entry(int N, int conjugate, const double* in_re, const double* in_im, double* out_re,
          double* out_im, int* ip, double* w) {
    // The limit keeps every index of the transform an int.
    if (N < 2 || N > kMaxDftLength) return 1;
    ChirpPlan plan;
    const int status = chirp_plan_create(&plan, N, N, ip, w);
    if (status != 0) return status;
    execute(&plan, conjugate, in_re, in_im, out_re, out_im, ip, w);
    chirp_plan_destroy(&plan);
    return 0;
}

}  // namespace

int dft_forward(int N, const double* in_re, const double* in_im, double* out_re, double* out_im,
                int* ip, double* w) {
    if (entry(N, 0, in_re, in_im, out_re, out_im, ip, w) != 0) die_with_line("failure!!!!\n");
    return 0;
}

int dft_inverse(int N, const double* in_re, const double* in_im, double* out_re, double* out_im,
                int* ip, double* w) {
    return entry(N, 1, in_re, in_im, out_re, out_im, ip, w) == 0 ? 0 : 1;
}
