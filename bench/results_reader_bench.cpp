// Costs of reading a results.csv back: the index pass over a large file in the page cache, and
// showing one generation of population 10000 (read, parse and check its lines, the tips of its cloud).
//
//   kelvora_reader_bench           writes a 10000 x 1000 run (about 190 MB) to the temporary directory first
//   kelvora_reader_bench --full    a 10000 x 10000 run (1.9 GB, about 1.5 minutes to write)
//
// The whole check's goal: at least 1 GB/s on the machine's threads; its floor is `wc -l` (BM_WcLines).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

#include "io/results_reader.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"

namespace kelvora {
namespace {

constexpr int kTargetX = kBaseX + kOpeningTargetX, kTargetY = kBaseY - kOpeningTargetY;

int g_generations = 1000;

// One real run of population 10000 written once for all benchmarks, removed at exit.
struct LargeFile {
    std::string directory;
    ResultsFile file;
    ResultsIndex index;

    LargeFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvora-reader-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::exit(1);
        directory = pattern;
        ResultWriter writer(FlushMode::generation);
        const auto buffers = std::make_unique<RunBuffers>();
        std::fprintf(stderr, "writing a 10000 x %d results.csv to %s ...\n", g_generations, directory.c_str());
        const RunSetup setup{{kMaxPopulation, g_generations, 0.5, 0.1}, {kBaseX, kBaseY, kTargetX, kTargetY}, 1};
        const RunReport report = RunWithFiles(setup, writer, directory.c_str(), {}, *buffers);
        std::string error;
        if (!report.filesComplete() || !file.open(directory + "/results.csv", error)) {
            std::fprintf(stderr, "cannot write or open the benchmark's file: %s\n", error.c_str());
            std::exit(1);
        }
        if (IndexResults(file, index)) std::exit(1);
        std::fprintf(stderr, "%.1f MB\n", static_cast<double>(file.size()) / 1e6);
    }
    ~LargeFile() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
};

LargeFile& Large() {
    static LargeFile large;
    return large;
}

// The index pass: bytes per second is the figure (goal: at least 1 GB/s from the page cache).
void BM_IndexLargeFile(benchmark::State& state) {
    LargeFile& large = Large();
    for (auto _ : state) {
        ResultsIndex index;
        const ResultsFault fault = IndexResults(large.file, index);
        benchmark::DoNotOptimize(index.generationStarts.data());
        if (fault || index.generations() != g_generations) state.SkipWithError("index failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(large.file.size()));
}
BENCHMARK(BM_IndexLargeFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// What showing a generation takes beyond painting: read its 10001 lines from the file, parse and
// check them against the target, and place the tip of every individual for the population cloud.
// A random generation each time (goal: well within 50 ms for a file of 1.9 GB, --full).
void BM_ShowGeneration(benchmark::State& state) {
    LargeFile& large = Large();
    std::mt19937 random(7);
    LoggedGeneration gen;
    std::vector<TipPoint> tips(kMaxPopulation);
    for (auto _ : state) {
        const long long g = static_cast<long long>(random() % static_cast<unsigned>(large.index.generations()));
        if (ReadGeneration(large.file, large.index, g, gen) ||
            VerifyGeneration(gen, large.index, g, kBaseX, kBaseY, kTargetX, kTargetY))
            state.SkipWithError("generation failed");
        for (std::size_t i = 0; i < gen.individuals.size(); ++i)
            tips[i] = TipPosition(PoseOf(gen.individuals[i].genes), kBaseX, kBaseY);
        benchmark::DoNotOptimize(tips.data());
    }
}
BENCHMARK(BM_ShowGeneration)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The whole check of the large file, every line against its genes, on the machine's threads.
void BM_VerifyLargeFile(benchmark::State& state) {
    LargeFile& large = Large();
    for (auto _ : state) {
        const ResultsSummary s = VerifyResults(large.file, kBaseX, kBaseY);
        if (s.fault) state.SkipWithError(s.fault.message.c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(large.file.size()));
}
BENCHMARK(BM_VerifyLargeFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The floor of the whole check: `wc -l` over the same file in the page cache, started and waited for.
void BM_WcLines(benchmark::State& state) {
    LargeFile& large = Large();
    const std::string command = "wc -l " + large.directory + "/results.csv > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("wc -l failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(large.file.size()));
}
BENCHMARK(BM_WcLines)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace kelvora

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--full") == 0) kelvora::g_generations = kelvora::kMaxGenerations;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
