// The landscape view's repaint on the window's thread: a slice's basin outlines and its picture
// with a basin lit and a population over it, as a hover redraws it (goal: well within 50 ms).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "landscape/landscapepicture.h"

namespace {

using namespace kelvora::ui;

// A slice of fine-grained basins: the attractor changes every few cells, as under gray.
std::vector<std::uint32_t> Attractors() {
    std::vector<std::uint32_t> a(65536);
    for (int i = 0; i < 65536; ++i) a[i] = static_cast<std::uint32_t>((i / 256 / 3) * 97 + (i % 256) / 5);
    return a;
}

void BM_HoverRepaint(benchmark::State& state) {
    const std::vector<std::uint32_t> attractor = Attractors();
    LandscapeSlice slice;
    slice.distance.resize(65536);
    for (int i = 0; i < 65536; ++i) slice.distance[i] = static_cast<float>(std::hypot(i / 256 - 40, i % 256 - 90));
    for (int k = 0; k < 400; ++k) slice.population.emplace_back(k % 256, (k * 7) % 256);
    for (auto _ : state) {
        slice.edges = BasinEdges(attractor, 256);
        slice.lit.assign(65536, 0);
        for (int i = 0; i < 65536; ++i) slice.lit[i] = attractor[i] == attractor[12345];
        benchmark::DoNotOptimize(DrawLandscapeSlice(slice));
    }
}
BENCHMARK(BM_HoverRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
