// The moving average of a full recording over half its length: the running
// window sum next to the in-order sums of every window, its reference.
#include "display/display.h"
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void Run(benchmark::State &state, void (*average)(const double *, int, int, double *)) {
    const int n = static_cast<int>(state.range(0));
    const int k = static_cast<int>(state.range(1));
    std::vector<double> value = testsupport::RunUpCurve(n), out(n);
    for (auto _ : state) {
        average(value.data(), n, k, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["samples"] = n;
}

void BM_MovingAverage(benchmark::State &state) {
    Run(state, MovingAverage);
}
BENCHMARK(BM_MovingAverage)->Args({MAX_SAMPLES, 32768})->Unit(benchmark::kMillisecond);

void BM_MovingAverageInOrder(benchmark::State &state) {
    Run(state, MovingAverageInOrder);
}
BENCHMARK(BM_MovingAverageInOrder)->Args({MAX_SAMPLES, 32768})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
