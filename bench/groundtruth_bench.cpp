// Costs of the ground truth: the optimum of the search space for one target (goal: at most 5 ms)
// and the reach map of the whole plot, each on one core. The reach map's floor is one plain pass
// over all 256^3 poses, the exhaustive search for one target through the solver's fitness: the map,
// the optimum of all 159,201 targets, must cost at most 1.5 times that pass. Beside it, the bare
// tips (each tip and its squared distance to one target, nothing else) show what is left of a pass
// without its square roots and divisions.
//
//   kelvora_groundtruth_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/reachmap.h"
#include "analysis/optimum.h"
#include "bench_support.h"
#include "model/link_tables.h"
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

// Every pose's tip once, in gene order, against one target; nothing per pixel.
void BM_BareTips(benchmark::State& bench) {
    const LinkTables& t = Tables();
    const double tx = kBaseX + kOpeningTargetX, ty = kBaseY - kOpeningTargetY;
    for (auto _ : bench) {
        double best = 1e300;
        for (int a1 = 0; a1 < 256; ++a1)
            for (int a2 = 0; a2 < 256; ++a2)
                for (int a3 = 0; a3 < 256; ++a3) {
                    const TipPoint tip = Tip(t, a1, a2, a3, kBaseX, kBaseY);
                    const double dx = tx - tip.x, dy = ty - tip.y;
                    best = std::min(best, dx * dx + dy * dy);
                }
        benchmark::DoNotOptimize(best);
    }
}
BENCHMARK(BM_BareTips)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: the exhaustive search for one target, every pose through the solver's fitness, the
// first best kept.
void BM_PlainPass(benchmark::State& bench) {
    const Geometry geometry;
    for (auto _ : bench) {
        double best = -1.0;
        int bestIndex = 0;
        for (int i = 0; i < (1 << 24); ++i) {
            const Chromosome c{{static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8),
                                static_cast<std::uint8_t>(i)}};
            const double f = Fitness(geometry, c);
            if (f > best) {
                best = f;
                bestIndex = i;
            }
        }
        benchmark::DoNotOptimize(bestIndex);
    }
}
BENCHMARK(BM_PlainPass)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintGoals(const bench::GoalReporter& report) {
    using bench::GoalReporter;
    std::printf("\nGoals\n");
    const GoalReporter::Result* map = report.Find("BM_ReachMap");
    const GoalReporter::Result* pass = report.Find("BM_PlainPass");
    const GoalReporter::Result* tips = report.Find("BM_BareTips");
    if (map && pass && pass->ms > 0)
        std::printf("  reach map: %.1f ms, one plain pass over all poses (the exhaustive search) %.1f ms, %.2fx"
                    " (goal at most 1.5x)  %s\n",
                    map->ms, pass->ms, map->ms / pass->ms, GoalReporter::Verdict(map->ms <= 1.5 * pass->ms));
    if (const GoalReporter::Result* random = report.Find("BM_FindOptimumRandomTargets"); random && pass) {
        const double perTarget = random->ms / 64;
        std::printf("  the optimum of one target: %.3f ms, %.0fx faster than the exhaustive search (goal at least 20x)  %s\n",
                    perTarget, pass->ms / perTarget, GoalReporter::Verdict(pass->ms >= 20 * perTarget));
    }
    if (map && tips && tips->ms > 0)
        std::printf("  reach map against the bare tips of all poses (%.1f ms): %.2fx\n", tips->ms, map->ms / tips->ms);
}

}  // namespace
}  // namespace kelvora

int main(int argc, char** argv) {
    return kelvora::bench::RunWithGoals(argc, argv, kelvora::PrintGoals);
}
