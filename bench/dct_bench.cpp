// Where the DCT method's time goes, per instruction set: one group of eight line transforms of
// each length that input B (1920 x 1080 to 3840 x 2160) and input E (3000 x 2000 to 6000 x 4000)
// run, and one whole colour plane of B.
// Arguments: the line length n (or 0 for the plane) and the set (0 generic, 1 avx2,
// 2 avx512); sets the processor lacks are skipped. Run a Release build on one thread, so
// that the plane's time is its processor time:
//   ENLARGE3_THREADS=1 build-bench/bench/dct_bench

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/isa.h"
#include "dft_resize/dft_interpolate.h"
#include "fft/line_batch.h"

namespace {

constexpr Isa kSets[] = {Isa::generic, Isa::avx2, Isa::avx512};

// Chooses the set of the benchmark's second argument; false (and the benchmark skipped) when
// this processor lacks it.
bool use_set(benchmark::State& state) {
    const Isa isa = kSets[state.range(1)];
    if (!isa_supported(isa)) {
        state.SkipWithError("instruction set not supported here");
        return false;
    }
    set_active_isa(isa);
    state.SetLabel(isa_name(isa));
    return true;
}

// Fills the kLanes lines of n points with values of a spectrum's size.
void fill(const LinePlan& plan, double* buf) {
    const LaneLayout lay = lane_layout(plan.L);
    for (int j = 0; j < plan.n; ++j)
        for (int l = 0; l < kLanes; ++l) {
            buf[lay.re(j, l)] = 1000.0 * ((j * 7 + l * 13) % 29 - 14);
            buf[lay.im(j, l)] = 10.0 * ((j * 3 + l * 5) % 17 - 8);
        }
}

// Times run on a plan of the benchmark's first argument, refilling the lines before each.
template <class Run>
void time_lines(benchmark::State& state, Run run) {
    if (!use_set(state)) return;
    LinePlan plan;
    line_plan_build(&plan, static_cast<int>(state.range(0)));
    BigArray buf = lane_buffer(plan.L, "bench");
    for (auto _ : state) {
        state.PauseTiming();
        fill(plan, buf.get());
        state.ResumeTiming();
        run(plan, buf.get());
        benchmark::ClobberMemory();
    }
}

// The forward transform as the column pass runs it (the row pass's lines are real).
void BM_lanes_forward(benchmark::State& state) {
    time_lines(state,
               [](const LinePlan& plan, double* buf) { lanes_forward(plan, KnownZeros{}, buf); });
}

// The inverse transform as the resize runs it: half the outputs.
void BM_lanes_inverse(benchmark::State& state) {
    time_lines(state, [](const LinePlan& plan, double* buf) {
        lanes_inverse(plan, KnownZeros{}, plan.n / 2, buf);
    });
}

// One colour plane of B, all four passes with their gathers and scatters; the grids' memory is
// touched before the timing starts.
void BM_dct_plane(benchmark::State& state) {
    if (!use_set(state)) return;
    const int W = 1920, H = 1080, W2 = 3840, H2 = 2160;
    std::vector<std::uint8_t> in(static_cast<std::size_t>(W) * H);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 24);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(W2) * H2);
    // The stage lines go to standard error: away with them while the plane runs.
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(null);
    DftPlaneWork work(W, H, W2, H2);
    dft_interpolate_with(work, in.data(), out.data());
    for (auto _ : state) {
        dft_interpolate_with(work, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
}

void lengths_and_sets(benchmark::internal::Benchmark* b) {
    // Forward rows (2W), forward columns (2H), inverse rows (2W2), inverse columns (2H2) of B,
    // then of E.
    for (int n : {3840, 2160, 7680, 4320, 6000, 4000, 12000, 8000})
        for (int s = 0; s < 3; ++s) b->Args({n, s});
}

}  // namespace

BENCHMARK(BM_lanes_forward)->Apply(lengths_and_sets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_lanes_inverse)->Apply(lengths_and_sets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dct_plane)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

BENCHMARK_MAIN();
