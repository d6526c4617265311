// Cost of the exact landscape of one target: the distance table and the three default
// neighbourhoods (goal: all of it within 2 s on two cores), and creep:S for larger S.
//
//   kelvora_landscape_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include "analysis/landscape.h"

namespace kelvora {
namespace {

const Geometry kOpening = GeometryFor(kOpeningTargetX, kOpeningTargetY);

// The table and binary, gray and creep:4, as `kelvora-cli landscape` computes them by default.
void BM_DefaultLandscape(benchmark::State& bench) {
    DistanceTable table;
    for (auto _ : bench) {
        FillDistanceTable(kOpening, table, 2);
        for (const char* name : {"binary", "gray", "creep:4"})
            benchmark::DoNotOptimize(AnalyseLandscape(table, *ParseNeighbourhood(name), 0.5, 2));
    }
}
BENCHMARK(BM_DefaultLandscape)->Unit(benchmark::kMillisecond)->UseRealTime();

// One neighbourhood on a table made once: creep:S for S = 1, 4, 16, 128.
void BM_CreepLandscape(benchmark::State& bench) {
    DistanceTable table;
    FillDistanceTable(kOpening, table, 2);
    const Neighbourhood creep{Neighbourhood::Kind::creep, static_cast<int>(bench.range(0))};
    for (auto _ : bench) benchmark::DoNotOptimize(AnalyseLandscape(table, creep, 0.5, 2));
}
BENCHMARK(BM_CreepLandscape)->Arg(1)->Arg(4)->Arg(16)->Arg(128)->ArgName("S")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kelvora

BENCHMARK_MAIN();
