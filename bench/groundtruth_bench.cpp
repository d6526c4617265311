// Costs of the ground truth: the optimum of the search space for one target (goal: at most 5 ms)
// and the reach map of the whole plot (goal: under 300 ms), each on one core.
//
//   kelvora_groundtruth_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "analysis/reachmap.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"

namespace kelvora {
namespace {

struct Offset {
    int x, y;  // relative to the base, y up
};

// Named targets: the opening one, the base, an unreachable pocket, a plot corner.
constexpr Offset kNamed[] = {{kOpeningTargetX, kOpeningTargetY}, {0, 0}, {150, -100}, {-199, -199}};

void BM_FindOptimum(benchmark::State& bench) {
    const Offset o = kNamed[bench.range(0)];
    for (auto _ : bench) benchmark::DoNotOptimize(FindOptimum(kBaseX, kBaseY, kBaseX + o.x, kBaseY - o.y));
}
BENCHMARK(BM_FindOptimum)->DenseRange(0, 3)->ArgName("target")->Unit(benchmark::kMillisecond);

// Per target, over 64 random targets of the plot: the mean a click costs.
void BM_FindOptimumRandomTargets(benchmark::State& bench) {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> offset(-kMaxTargetOffset, kMaxTargetOffset);
    std::vector<Offset> targets(64);
    for (Offset& t : targets) t = {offset(rng), offset(rng)};
    for (auto _ : bench)
        for (const Offset& t : targets) benchmark::DoNotOptimize(FindOptimum(kBaseX, kBaseY, kBaseX + t.x, kBaseY - t.y));
    bench.SetItemsProcessed(bench.iterations() * static_cast<long long>(targets.size()));
}
BENCHMARK(BM_FindOptimumRandomTargets)->Unit(benchmark::kMillisecond);

void BM_ReachMap(benchmark::State& bench) {
    for (auto _ : bench) benchmark::DoNotOptimize(ComputeReachMap(kBaseX, kBaseY));
}
BENCHMARK(BM_ReachMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kelvora

BENCHMARK_MAIN();
