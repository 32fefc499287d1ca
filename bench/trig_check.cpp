// Holds the C library's sin and cos against sin_rounded and cos_rounded
// (tests/support/rounded_trig.h) on the arguments the methods take, family by family, and the fast path against the
// arbitrary-precision one on a sample and on every argument where the C library differs:
//   build-bench/bench/trig_check [LONGEST [--list]]
// LONGEST (default 8192) is the longest line of the DCT method checked length by length;
// lengths up to 8 LONGEST are sampled. --list prints every argument where the C library
// differs as "family sin|cos x ours libc" (hexadecimal), for bench/trig_check.py to settle
// with arbitrary precision of its own, or to compare two C libraries' lists. On x86-64 glibc
// takes a variant with fused multiply-add where the processor has one;
// GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA,-AVX runs the other. For MinGW's, build it by hand
// and run it under Wine (MinGW's sin and cos are linked into the program, not taken from a DLL):
//   x86_64-w64-mingw32-g++ -std=c++17 -O2 -ffp-contract=off -static -I. -o trig_check.exe
//     bench/trig_check.cpp base/trig.cpp base/alloc.cpp kernel_resize/taps.cpp

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "base/numeric.h"
#include "base/trig.h"
#include "tests/support/rounded_trig.h"
#include "kernel_resize/taps.h"

namespace {

bool g_list = false;

// One family of arguments: how many, how many the C library rounds differently, how many the
// fast path got wrong (checked on every 97th argument and on every difference), and a digest
// of all our values, to compare between platforms.
struct Tally {
    const char* family;
    long long args = 0, differ = 0, checked = 0, wrong = 0;
    std::uint64_t digest = 14695981039346656037u;  // FNV-1a
    int shown = 0;

    void check(double x, bool cosine) {
        ++args;
        const double ours = cosine ? cos_rounded(x) : sin_rounded(x);
        std::uint64_t bits;
        std::memcpy(&bits, &ours, sizeof bits);
        digest = (digest ^ bits) * 1099511628211u;
        const double libc = cosine ? std::cos(x) : std::sin(x);
        const char* name = cosine ? "cos" : "sin";
        if (ours != libc) {
            ++differ;
            if (g_list) std::printf("%s %s %a %a %a\n", family, name, x, ours, libc);
            if (!g_list && shown < 3) {
                std::printf("  %-9s %s(%a): rounded %a, C library %a\n", family, name, x, ours,
                            libc);
                ++shown;
            }
        }
        if (ours != libc || args % 97 == 0) {
            ++checked;
            const double slow = cosine ? cos_rounded_slowly(x) : sin_rounded_slowly(x);
            if (slow != ours) {
                ++wrong;
                std::printf("  %-9s FAST PATH WRONG: %s(%a) = %a, arbitrary precision %a\n", family,
                            name, x, ours, slow);
            }
        }
    }

    void report() const {
        if (g_list) return;
        std::printf(
            "%-9s %12lld arguments, C library differs on %8lld (1 in %.0f); fast path "
            "checked on %lld, wrong on %lld; digest %016llx\n",
            family, args, differ,
            differ ? static_cast<double>(args) / static_cast<double>(differ) : 0.0, checked, wrong,
            static_cast<unsigned long long>(digest));
        std::fflush(stdout);
    }
};

// complex_fft's twiddle table for nw entries (make_twiddle_table), argument for argument.
void twiddles(Tally& t, int nw) {
    const int h = nw >> 1;
    if (nw <= 2) return;
    const double d = (kPi / 4) / h;
    t.check(d * h, true);
    if (h == 4) {
        t.check(2 * d, true);
        t.check(2 * d, false);
    } else if (h > 4) {
        t.check(2 * d, true);
        t.check(d * 6.0, true);
        const double d3 = d * 3.0;
        for (int j = 4; j < h; j += 4) {
            t.check(j * d, true);
            t.check(j * d, false);
            t.check(d3 * j, true);
            t.check(d3 * j, false);
        }
    }
}

// make_chirp's angles for a transform of length N.
void chirp(Tally& t, int N) {
    const double pi_over_n = kPi / N;
    long long e = 0;
    for (int j = 0; j < N; ++j) {
        const double theta = static_cast<double>(e) * pi_over_n;
        t.check(theta, true);
        t.check(theta, false);
        e = (e + 2LL * j + 1) % (2LL * N);
    }
}

// shift_factors' angles for a line of length n, forward and inverse.
void rotations(Tally& t, int n) {
    for (int k = 0; k < n; ++k) {
        const double q = (static_cast<double>(k) * kPi) / static_cast<double>(n);
        for (double theta : {q, -q}) {
            t.check(theta, true);
            t.check(theta, false);
        }
    }
}

// lanczos3_kernel's two sines at distance x.
void kernel_at(Tally& t, double x) {
    const double m = x * kPi;
    if (m == 0.0 || x < -3.0 || x > 3.0) return;
    t.check(m / 3, false);
    t.check(m, false);
}

// line_taps' distances for N samples resampled to M.
void lanczos_pair(Tally& t, int N, int M) {
    for (int k = 0; k < M; ++k) {
        const double f = source_position(k, N, M);
        const int whole = static_cast<int>(f);
        const double h = f >= 0 ? f - whole : f - whole + 1;
        for (int j = 0; j < 4; ++j) {
            kernel_at(t, j + h);
            kernel_at(t, j + (1.0 - h));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int longest = argc > 1 ? std::atoi(argv[1]) : 8192;
    g_list = argc > 2 && std::strcmp(argv[2], "--list") == 0;
    if (longest < 2) {
        std::fprintf(stderr, "usage: trig_check [LONGEST [--list]]\n");
        return 2;
    }
    // Lengths up to `longest` one by one, then a sample up to 8 times as long with the powers
    // of two among them.
    auto each_length = [longest](auto&& visit) {
        for (int n = 2; n <= longest; ++n) visit(n);
        for (int n = longest + 1; n <= 8 * longest; n += 997) visit(n);
        for (int n = 2 * longest; n <= 8 * longest; n *= 2) visit(n);
    };

    Tally tw{"twiddles"};
    int L = 1;
    while (L < 2 * 8 * longest) L *= 2;
    for (int nw = 4; nw <= L / 2; nw *= 2) twiddles(tw, nw);
    tw.report();

    Tally ch{"chirps"};
    each_length([&](int n) { chirp(ch, n); });
    ch.report();

    Tally ro{"rotations"};
    each_length([&](int n) { rotations(ro, n); });
    ro.report();

    Tally la{"lanczos"};
    for (int N = 1; N <= 128; ++N)
        for (int M = 1; M <= 128; ++M) lanczos_pair(la, N, M);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> side(1, 8192);
    for (int i = 0; i < 3000; ++i) lanczos_pair(la, side(rng), side(rng));
    std::uniform_real_distribution<double> offset(0.0, 1.0);
    for (int i = 0; i < 1000000; ++i) {
        const double h = offset(rng);
        for (int j = 0; j < 4; ++j) kernel_at(la, j + h);
    }
    la.report();

    Tally wide{"any"};
    for (double range : {0x1p-20, 1.0, 8.0, 1e3, 0x1p20, 1e9, 1e300}) {
        std::uniform_real_distribution<double> any(-range, range);
        // Beyond 2^20 every argument takes the arbitrary-precision path.
        const int count = range < 0x1p20 ? 200000 : 2000;
        for (int i = 0; i < count; ++i) {
            const double x = any(rng);
            wide.check(x, false);
            wide.check(x, true);
        }
    }
    wide.report();
    const long long wrong = tw.wrong + ch.wrong + ro.wrong + la.wrong + wide.wrong;
    return wrong == 0 ? 0 : 1;
}
