// Every method's run at one budget against the genetic algorithm's: population 100 x 100
// generations (10,000 evaluations) at the opening target, as a sweep runs it (no files). Each
// iteration runs the classic GA and the method on the same seed, one after the other, so that a
// busy machine's drift falls on both sides of the ratio; the seeds go round 1..100. Both sides are
// timed in the thread's CPU time, which a machine shared with other work disturbs least. The goal:
// no method costs more than the GA run of the same budget (ratio at most 1). The GA's own row, the
// same run twice, shows the noise.
//
//   kelvora_baseline_bench --benchmark_repetitions=5   medians of five

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "bench_support.h"
#include "ga/algorithm.h"
#include "ga/run.h"
#include "model/arm.h"
#include "model/types.h"

namespace kelvora {
namespace {

using bench::Seconds;

constexpr int kPopulation = 100;
constexpr int kGenerations = 100;
constexpr int kSeeds = 100;

void BM_MethodAgainstGa(benchmark::State& bench) {
    Algorithm method;
    method.method = kMethods[bench.range(0)];
    bench.SetLabel(MethodName(method));
    const SolverParams params{kPopulation, kGenerations, 0.5, 0.1};
    const Geometry geometry = GeometryFor(kOpeningTargetX, kOpeningTargetY);
    auto buffers = std::make_unique<RunBuffers>();
    double methodSeconds = 0, gaSeconds = 0, checksum = 0;
    std::uint32_t seed = 0;
    for (auto _ : bench) {
        seed = seed % kSeeds + 1;
        double start = Seconds(CLOCK_THREAD_CPUTIME_ID);
        const RunOutcome ga = RunSolver({params, geometry, seed}, {}, *buffers);
        gaSeconds += Seconds(CLOCK_THREAD_CPUTIME_ID) - start;
        start = Seconds(CLOCK_THREAD_CPUTIME_ID);
        const RunOutcome run = RunSolver({params, geometry, seed, method}, {}, *buffers);
        methodSeconds += Seconds(CLOCK_THREAD_CPUTIME_ID) - start;
        checksum += ga.eliteFitness + run.eliteFitness;
    }
    benchmark::DoNotOptimize(checksum);
    const auto n = static_cast<double>(bench.iterations());
    bench.counters["runs_per_cpu_s"] = n / methodSeconds;
    bench.counters["ga_runs_per_cpu_s"] = n / gaSeconds;
    bench.counters["ratio"] = methodSeconds / gaSeconds;  // the method's time over the GA's
}
BENCHMARK(BM_MethodAgainstGa)->DenseRange(0, static_cast<int>(std::size(kMethods)) - 1)->MinTime(0.5);

void PrintGoals(const bench::GoalReporter& report) {
    using bench::GoalReporter;
    std::printf("\nGoal: a run of every method at %d x %d costs at most the GA run's (ratio <= 1)\n", kPopulation,
                kGenerations);
    for (std::size_t i = 0; i < std::size(kMethods); ++i) {
        const std::string name = "BM_MethodAgainstGa/" + std::to_string(i) + "/min_time:0.500";
        const GoalReporter::Result* r = report.Find(name);
        if (!r) continue;
        Algorithm a;
        a.method = kMethods[i];
        const auto& c = r->counters;
        const bool itself = kMethods[i] == Method::geneticAlgorithm;
        std::printf("  %-20s %8.0f runs per CPU second, the GA's %6.0f, ratio %.3f  %s\n", MethodName(a).c_str(),
                    c.at("runs_per_cpu_s"), c.at("ga_runs_per_cpu_s"), c.at("ratio"),
                    itself ? "(the GA against itself)" : GoalReporter::Verdict(c.at("ratio") <= 1.0));
    }
}

}  // namespace
}  // namespace kelvora

int main(int argc, char** argv) {
    return kelvora::bench::RunWithGoals(argc, argv, kelvora::PrintGoals);
}
