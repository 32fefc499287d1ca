// complex_fft beside FFTW's complex DFT of the same length, in place, sign -1, for
// n = 2^6 .. 2^15 doubles (the argument of every benchmark is n, not the number of points).
// Run a Release build: build/bench/fft_bench

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstddef>
#include <random>
#include <vector>

#include "fft/complex_fft.h"

namespace {

// The transforms are unnormalised, so repeated ones grow the data by sqrt(N) each time;
// restoring the input every so often keeps it far from overflow at a negligible cost.
constexpr int kRefillEvery = 32;

std::vector<double> random_input(int n) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x) v = dist(gen);
    return x;
}

void set_counters(benchmark::State& state, int n) {
    state.SetItemsProcessed(state.iterations() * (n / 2));
    state.counters["points"] = n / 2;
}

void BM_complex_fft(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> input = random_input(n);
    std::vector<double> a = input;
    std::vector<int> ip(64, 0);
    std::vector<double> w(static_cast<std::size_t>(n / 4), 0.0);
    complex_fft(n, -1, a.data(), ip.data(), w.data());  // builds the tables
    int count = 0;
    for (auto _ : state) {
        if (++count == kRefillEvery) {
            a = input;
            count = 0;
        }
        complex_fft(n, -1, a.data(), ip.data(), w.data());
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    set_counters(state, n);
}

void fftw_case(benchmark::State& state, unsigned flags) {
    const int n = static_cast<int>(state.range(0));
    const int points = n / 2;
    const std::vector<double> input = random_input(n);
    auto* a = static_cast<fftw_complex*>(
        fftw_malloc(sizeof(fftw_complex) * static_cast<std::size_t>(points)));
    // Planning with FFTW_MEASURE overwrites the array, so the data goes in afterwards.
    fftw_plan plan = fftw_plan_dft_1d(points, a, a, FFTW_FORWARD, flags);
    auto refill = [&] {
        for (int j = 0; j < points; ++j) {
            a[j][0] = input[static_cast<std::size_t>(2 * j)];
            a[j][1] = input[static_cast<std::size_t>(2 * j + 1)];
        }
    };
    refill();
    int count = 0;
    for (auto _ : state) {
        if (++count == kRefillEvery) {
            refill();
            count = 0;
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(a);
        benchmark::ClobberMemory();
    }
    set_counters(state, n);
    fftw_destroy_plan(plan);
    fftw_free(a);
}

void BM_fftw_estimate(benchmark::State& state) {
    fftw_case(state, FFTW_ESTIMATE);
}
void BM_fftw_measure(benchmark::State& state) {
    fftw_case(state, FFTW_MEASURE);
}

}  // namespace

BENCHMARK(BM_complex_fft)->RangeMultiplier(2)->Range(1 << 6, 1 << 15);
BENCHMARK(BM_fftw_estimate)->RangeMultiplier(2)->Range(1 << 6, 1 << 15);
BENCHMARK(BM_fftw_measure)->RangeMultiplier(2)->Range(1 << 6, 1 << 15);

BENCHMARK_MAIN();
