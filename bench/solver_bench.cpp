// Costs of the solver: one generation against the plain baseline (linear roulette scan, sine and
// cosine per call, iostream formatting), one generation with its trace, one under each operator choice against the
// classic one, a sweep's run of 20, 100 and 1000 x 100 against its floor (its draws and evaluations
// alone), a run with real per-line writes against the floor of those writes alone, and the peak
// memory of the largest run. A summary of the goals follows the
// table.
//
//   kelvora_bench                                   everything (the largest run takes minutes)
//   kelvora_bench --benchmark_filter=-LargestRun    all but the largest run
//   kelvora_bench --benchmark_filter=SweepRun --benchmark_repetitions=5   a sweep's run and its floor

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "reference_search.h"
#include "bench_support.h"
#include "analysis/diversity.h"
#include "analysis/optimum.h"
#include "batch/sweep.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "io/trace_file.h"
#include "model/link_tables.h"

namespace kelvora {
namespace {

using bench::ScratchDir;
using bench::Seconds;

// The window's opening target, as a pixel.
constexpr int kTargetX = kBaseX + kOpeningTargetX, kTargetY = kBaseY - kOpeningTargetY;
constexpr const char* kLargestRunFlag = "--largest-run";

ssize_t Discard(int, const void*, std::size_t size) { return static_cast<ssize_t>(size); }

/// A stream buffer that takes every character and keeps none.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

const Geometry kGeometry{kBaseX, kBaseY, kTargetX, kTargetY};

/// One run of params with seed 1 into directory, through writer (nullptr: write(2)).
RunReport RunTo(const SolverParams& params, const char* directory, LineWriter writer = nullptr) {
    ResultWriter files(FlushMode::line, writer);
    static const auto buffers = std::make_unique<RunBuffers>();  // one run at a time in this program
    return RunWithFiles({params, kGeometry, 1}, files, directory, {}, *buffers);
}

// ---------------------------------------------------------------- one generation

void BM_Generation(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    ScratchDir dir;
    ResultWriter writer(FlushMode::line, Discard);  // lines are formatted in full, then dropped
    writer.open(dir.c_str());
    auto buffers = std::make_unique<RunBuffers>();
    CrtRandom rng;
    Srand(rng, 1);
    InitPopulation(n, buffers->population, rng);
    GenerationView view;
    EvaluateGeneration(kGeometry, n, *buffers, view);
    const Algorithm classic;
    int g = 0;
    for (auto _ : bench) {
        ReproduceWith(classic, n, 0.5, buffers->fitness.data(), buffers->population, buffers->scratch, rng);
        MutateWith(classic, n, 0.1, buffers->population, rng);
        EvaluateGeneration(kGeometry, n, *buffers, view);
        view.generation = ++g;
        view.error = TipDistance(kGeometry, view.currentPose);
        writer.onGeneration(view);
        benchmark::DoNotOptimize(view.error);
    }
    writer.onEnd({});
    bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_Generation)->Arg(20)->Arg(1000)->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);

// What the evolution window's diversity chart adds to each generation of a run on its thread:
// the genotypes of n random individuals and their four measures (goal: a small part of a generation).
static void BM_DiversityOfGeneration(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    std::vector<Chromosome> population(static_cast<std::size_t>(n));
    std::uint32_t state = 12345;
    for (Chromosome& c : population)
        for (std::uint8_t& gene : c.gene) gene = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    DiversityScratch scratch;
    std::vector<std::uint32_t> genotypes(static_cast<std::size_t>(n));
    for (auto _ : bench) {
        for (int i = 0; i < n; ++i) {
            std::uint32_t g = 0;
            for (const std::uint8_t a : population[static_cast<std::size_t>(i)].gene) g = (g << 8) | GrayEncode(a);
            genotypes[static_cast<std::size_t>(i)] = g;
        }
        benchmark::DoNotOptimize(MeasureDiversity(genotypes.data(), n, 0, scratch));
    }
    bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_DiversityOfGeneration)->Arg(1000)->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);

// The same generation with its trace: each slot's origin recorded, the genotypes kept before
// mutation, and the trace line formatted and written to /dev/null.
void BM_GenerationTraced(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    ScratchDir dir;
    ResultWriter writer(FlushMode::line, Discard);
    writer.open(dir.c_str());
    const int null = ::open("/dev/null", O_WRONLY);
    TraceWriter trace(null, Encoding::binary);
    auto buffers = std::make_unique<RunBuffers>();
    const auto origins = std::make_unique<std::array<SlotOrigin, kMaxPopulation>>();
    const auto before = std::make_unique<Population>();
    CrtRandom rng;
    Srand(rng, 1);
    InitPopulation(n, buffers->population, rng);
    GenerationView view;
    EvaluateGeneration(kGeometry, n, *buffers, view);
    const Algorithm classic;
    int g = 0;
    for (auto _ : bench) {
        ReproduceWith(classic, n, 0.5, buffers->fitness.data(), buffers->population, buffers->scratch, rng,
                      origins->data());
        CopyPopulation(buffers->population, *before, n);
        MutateWith(classic, n, 0.1, buffers->population, rng);
        trace.onStep(g, origins->data(), before->data(), buffers->population.data(), n);
        EvaluateGeneration(kGeometry, n, *buffers, view);
        view.generation = ++g;
        view.error = TipDistance(kGeometry, view.currentPose);
        writer.onGeneration(view);
        benchmark::DoNotOptimize(view.error);
    }
    writer.onEnd({});
    ::close(null);
    bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_GenerationTraced)->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);

// The same generation under an operator choice, as the run makes it: reproduction over the fitness
// the last evaluation left, mutation, evaluation (with the Gray decoding), the lines formatted.
void BM_GenerationWith(benchmark::State& bench, Algorithm algorithm) {
    const int n = static_cast<int>(bench.range(0));
    ScratchDir dir;
    ResultWriter writer(FlushMode::line, Discard);
    writer.open(dir.c_str());
    auto buffers = std::make_unique<RunBuffers>();
    CrtRandom rng;
    Srand(rng, 1);
    InitPopulation(n, buffers->population, rng);
    GenerationView view;
    EvaluateGeneration(kGeometry, n, *buffers, view, algorithm.encoding);
    int g = 0;
    for (auto _ : bench) {
        ReproduceWith(algorithm, n, 0.5, buffers->fitness.data(), buffers->population, buffers->scratch, rng);
        MutateWith(algorithm, n, 0.1, buffers->population, rng);
        EvaluateGeneration(kGeometry, n, *buffers, view, algorithm.encoding);
        view.generation = ++g;
        view.error = TipDistance(kGeometry, view.currentPose);
        writer.onGeneration(view);
        benchmark::DoNotOptimize(view.error);
    }
    writer.onEnd({});
    bench.SetItemsProcessed(bench.iterations() * n);
}
// Each choice alone, then all five together (with the tournament, and with rank selection).
constexpr Algorithm kAllWithTournament{Method::geneticAlgorithm, Encoding::gray, Selection::tournament, 3, 1, CrossoverOperator::uniform,
                                       MutationOperator::creep, 4};
constexpr Algorithm kAllWithRank{Method::geneticAlgorithm, Encoding::gray, Selection::rank, 2, 1, CrossoverOperator::twoPoint,
                                 MutationOperator::creep, 4};
BENCHMARK_CAPTURE(BM_GenerationWith, gray, Algorithm{.encoding = Encoding::gray})->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, tournament3, Algorithm{.selection = Selection::tournament, .tournamentSize = 3})
    ->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, rank, Algorithm{.selection = Selection::rank})->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, elitism1, Algorithm{.elitism = 1})->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, two_point, Algorithm{.crossover = CrossoverOperator::twoPoint})
    ->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, uniform, Algorithm{.crossover = CrossoverOperator::uniform})
    ->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, creep4, Algorithm{.mutation = MutationOperator::creep, .creepStep = 4})
    ->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, all_tournament, kAllWithTournament)->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GenerationWith, all_rank, kAllWithRank)->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);

void BM_GenerationBaseline(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    NullBuffer nothing;
    std::ostream sink(&nothing);
    reference::Search search({kBaseX, kBaseY, kTargetX, kTargetY}, {n, 1, 0.5, 0.1}, 1, sink);
    for (auto _ : bench) benchmark::DoNotOptimize(search.Step());
    bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_GenerationBaseline)->Arg(20)->Arg(1000)->Arg(kMaxPopulation)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- a run with its writes

/// The lines of one file of a run, each with its line break.
std::vector<std::string> LinesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return lines;
    std::string line;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        line.push_back(static_cast<char>(c));
        if (c == '\n') lines.push_back(std::move(line)), line.clear();
    }
    std::fclose(in);
    return lines;
}

/// Writes lines to path one write(2) each, the file opened as a run opens its files.
void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    for (const std::string& line : lines) benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
    ::close(fd);
}

// A run with real per-line writes, and after each run, with the benchmark's clock stopped, the
// floor: the run's own lines, the same bytes in the same order, written one write(2) each to two
// files opened the same way, which is what the run would cost if computing and formatting were
// free. Timing both in every iteration keeps a busy machine's drift out of their ratio.
void BM_RunWithWrites(benchmark::State& bench) {
    const SolverParams params{static_cast<int>(bench.range(0)), static_cast<int>(bench.range(1)), 0.5, 0.1};
    ScratchDir dir, floorDir;
    RunTo(params, dir.c_str());
    const std::vector<std::string> results = LinesOf(dir.file("results.csv"));
    const std::vector<std::string> fitness = LinesOf(dir.file("fitness.csv"));
    if (results.size() != static_cast<std::size_t>(params.generationCount) * (params.populationSize + 1)) {
        bench.SkipWithError("results.csv is incomplete");
        return;
    }
    double runReal = 0, runCpu = 0, floorReal = 0, floorCpu = 0;
    for (auto _ : bench) {
        const double real0 = Seconds(CLOCK_MONOTONIC), cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        const RunReport report = RunTo(params, dir.c_str());
        const double real1 = Seconds(CLOCK_MONOTONIC), cpu1 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        bench.PauseTiming();
        WriteLines(floorDir.file("results.csv"), results);
        WriteLines(floorDir.file("fitness.csv"), fitness);
        const double real2 = Seconds(CLOCK_MONOTONIC), cpu2 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        bench.ResumeTiming();
        if (!report.filesComplete()) bench.SkipWithError("a result file failed");
        runReal += real1 - real0;
        runCpu += cpu1 - cpu0;
        floorReal += real2 - real1;
        floorCpu += cpu2 - cpu1;
    }
    bench.counters["lines"] = static_cast<double>(results.size() + fitness.size());
    bench.counters["alone_ms"] = floorReal * 1e3 / static_cast<double>(bench.iterations());
    bench.counters["ratio"] = runReal / floorReal;
    bench.counters["cpu_ratio"] = runCpu / floorCpu;
}
BENCHMARK(BM_RunWithWrites)->Args({20, 100})->Args({1000, 100})->Unit(benchmark::kMillisecond)->UseRealTime();

// The same run with every line formatted and then dropped: its computing alone.
void BM_RunDiscardingLines(benchmark::State& bench) {
    const SolverParams params{static_cast<int>(bench.range(0)), static_cast<int>(bench.range(1)), 0.5, 0.1};
    ScratchDir dir;
    for (auto _ : bench) RunTo(params, dir.c_str(), Discard);
}
BENCHMARK(BM_RunDiscardingLines)->Args({20, 100})->Args({1000, 100})->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------- a sweep's run against its floor

constexpr int kSweepGenerations = 100;

/// One sweep combination of the classic algorithm on the opening target: n x 100, crossover 0.5,
/// mutation 0.1.
SweepCombination SweepRunOf(int n, std::uint32_t seed) {
    SweepCombination c;
    c.params = {n, kSweepGenerations, 0.5, 0.1};
    c.target = {kOpeningTargetX, kOpeningTargetY};
    c.seed = seed;
    return c;
}

// One run as a sweep makes it (RunCombination: the run, its statistics, no files), a new seed each
// iteration, on buffers lent throughout.
void BM_SweepRun(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    auto buffers = std::make_unique<RunBuffers>();
    std::uint32_t seed = 0;
    for (auto _ : bench) {
        const SweepResult result = RunCombination(SweepRunOf(n, ++seed), std::nan(""), 0.5, *buffers);
        benchmark::DoNotOptimize(result.eliteDistance);
    }
    bench.counters["runs_per_s"] = benchmark::Counter(static_cast<double>(bench.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SweepRun)->Arg(20)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

/// The number of draws a classic run of params with seed makes: the steps of the generator from
/// the seed to the state the plain reference search leaves it in (far fewer than its period, 2^32).
long long DrawsOfRun(const SolverParams& params, std::uint32_t seed) {
    NullBuffer nothing;
    std::ostream sink(&nothing);
    reference::Search search({kBaseX, kBaseY, kTargetX, kTargetY}, params, seed, sink);
    for (int g = 0; g < params.generationCount; ++g) search.Step();
    CrtRandom rng;
    Srand(rng, seed);
    long long draws = 0;
    for (; rng.state != search.rng().state; ++draws) Rand(rng);
    return draws;
}

// The floor of a sweep's run of n x 100: as many generator draws as the run of seed 1 makes, each
// depending on the last, and as many table evaluations as it makes (n a generation and n for the
// initial population), which is all a run must compute. BM_SweepRun's time over this one is the
// run's distance from its floor.
void BM_SweepRunFloor(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    const SolverParams params = SweepRunOf(n, 1).params;
    const long long draws = DrawsOfRun(params, 1);
    const auto population = std::make_unique<Population>();
    CrtRandom rng;
    Srand(rng, 1);
    InitPopulation(n, *population, rng);
    std::vector<double> fitness(static_cast<std::size_t>(n));
    const LinkTables& tables = Tables();
    const Geometry& g = kGeometry;
    double drawSeconds = 0, evaluationSeconds = 0;
    for (auto _ : bench) {
        const double start = Seconds();
        CrtRandom chain;
        Srand(chain, 1);
        int sum = 0;
        for (long long k = 0; k < draws; ++k) sum += Rand(chain);
        benchmark::DoNotOptimize(sum);
        const double middle = Seconds();
        for (int generation = 0; generation <= kSweepGenerations; ++generation) {
            for (int i = 0; i < n; ++i) {
                const Chromosome& c = (*population)[static_cast<std::size_t>(i)];
                fitness[static_cast<std::size_t>(i)] = FitnessOfDistance(
                    TargetDistance(g.targetX, g.targetY, Tip(tables, c.gene[0], c.gene[1], c.gene[2], g.baseX, g.baseY)));
            }
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(fitness.data());
        drawSeconds += middle - start;
        evaluationSeconds += Seconds() - middle;
    }
    const auto iterations = static_cast<double>(bench.iterations());
    const double evaluations = static_cast<double>(n) * (kSweepGenerations + 1);
    bench.counters["draws"] = static_cast<double>(draws);
    bench.counters["evaluations"] = evaluations;
    bench.counters["draw_ns"] = drawSeconds * 1e9 / (iterations * static_cast<double>(draws));
    bench.counters["evaluation_ns"] = evaluationSeconds * 1e9 / (iterations * evaluations);
}
BENCHMARK(BM_SweepRunFloor)->Arg(20)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- the largest run

/// The child's side: one run of 10000 chromosomes for 10000 generations into directory.
int LargestRun(const char* directory) {
    const RunReport report = RunTo({kMaxPopulation, kMaxGenerations, 0.5, 0.1}, directory);
    if (!report.filesComplete()) {
        const ResultFileFailure& failure = report.results ? report.results : report.fitness;
        std::fprintf(stderr, "kelvora_bench: %s: %s\n", failure.name, std::strerror(failure.error));
        return 1;
    }
    return report.generationsRun == kMaxGenerations ? 0 : 1;
}

// Runs the largest run in a fresh process (this program again), so that its peak resident size is
// the run's own and not the benchmark's, and reads it from the kernel when the process ends.
void BM_LargestRun(benchmark::State& bench) {
    for (auto _ : bench) {
        ScratchDir dir;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/proc/self/exe", "kelvora_bench", kLargestRunFlag, dir.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        int status = 0;
        rusage usage{};
        if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            bench.SkipWithError("the largest run did not complete");
            return;
        }
        bench.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
        bench.counters["results_GB"] =
            static_cast<double>(std::filesystem::file_size(dir.file("results.csv"))) / 1e9;
    }
}
BENCHMARK(BM_LargestRun)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---------------------------------------------------------------- the summary of goals

// The goals, met or missed, after the table.
void PrintGoals(const bench::GoalReporter& report) {
    using bench::GoalReporter;
    std::printf("\nGoals\n");
    const GoalReporter::Result* fast = report.Find("BM_Generation/" + std::to_string(kMaxPopulation));
    const GoalReporter::Result* slow = report.Find("BM_GenerationBaseline/" + std::to_string(kMaxPopulation));
    if (fast)
        std::printf("  generation at %-5d:      %8.3f ms   (goal under 1.5 ms)      %s\n", kMaxPopulation, fast->ms,
                    GoalReporter::Verdict(fast->ms < 1.5));
    if (fast && slow) {
        const double speedup = slow->ms / fast->ms;
        std::printf("  baseline at %-5d:        %8.3f ms   speed-up %.1fx (goal 50x)  %s\n", kMaxPopulation, slow->ms, speedup,
                    GoalReporter::Verdict(speedup >= 50));
    }
    if (fast) {
        for (const char* choice : {"gray", "tournament3", "rank", "elitism1", "two_point", "uniform", "creep4",
                                   "all_tournament", "all_rank"}) {
            const GoalReporter::Result* with =
                report.Find(std::string("BM_GenerationWith/") + choice + "/" + std::to_string(kMaxPopulation));
            if (!with) continue;
            const double ratio = with->ms / fast->ms;
            std::printf("  generation, %-14s %8.3f ms   %.2fx the classic (goal 1.25x)  %s\n", choice, with->ms, ratio,
                        GoalReporter::Verdict(ratio <= 1.25));
        }
    }
    for (const char* args : {"20/100", "1000/100"}) {
        const GoalReporter::Result* run = report.Find(std::string("BM_RunWithWrites/") + args + "/real_time");
        const GoalReporter::Result* computing = report.Find(std::string("BM_RunDiscardingLines/") + args + "/real_time");
        if (!run) continue;
        // On a busy machine real time also counts waiting for a processor; processor time does
        // not, so its ratio is shown beside.
        const double ratio = run->counters.at("ratio");
        std::printf("  run %-9s with writes: %8.3f ms   writes alone %.3f ms, ratio %.3f (goal 1.3)  %s\n", args,
                    run->ms, run->counters.at("alone_ms"), ratio, GoalReporter::Verdict(ratio <= 1.3));
        std::printf("%37s processor-time ratio %.3f\n", "", run->counters.at("cpu_ratio"));
        if (computing) std::printf("%37s computing alone %.3f ms\n", "", computing->ms);
    }
    for (const int n : {20, 100, 1000}) {
        const GoalReporter::Result* run = report.Find("BM_SweepRun/" + std::to_string(n));
        const GoalReporter::Result* floor = report.Find("BM_SweepRunFloor/" + std::to_string(n));
        if (!run || !floor) continue;
        // Processor time first: on a shared machine it counts this program's own work alone.
        const double ratio = run->cpuMs / floor->cpuMs;
        std::printf("  sweep run %4d x %d:   %8.1f us CPU  %.0f runs/s, floor %.1f us (%.0f draws, %.0f evaluations)\n"
                    "%28s ratio %.2f in CPU, %.2f in real time (goal 1.5)  %s\n",
                    n, kSweepGenerations, run->cpuMs * 1e3, 1e3 / run->cpuMs, floor->cpuMs * 1e3,
                    floor->counters.at("draws"), floor->counters.at("evaluations"), "", ratio, run->ms / floor->ms,
                    GoalReporter::Verdict(ratio <= 1.5));
    }
    if (const GoalReporter::Result* largest = report.Find("BM_LargestRun/iterations:1/real_time")) {
        const double peak = largest->counters.at("peak_MB");
        std::printf("  largest run %dx%d:  %8.1f s    peak %.2f MB (goal under 16 MB)  %s\n", kMaxPopulation,
                    kMaxGenerations, largest->ms / 1e3, peak, GoalReporter::Verdict(peak < 16));
    }
}

}  // namespace
}  // namespace kelvora

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], kelvora::kLargestRunFlag) == 0) return kelvora::LargestRun(argv[2]);
    return kelvora::bench::RunWithGoals(argc, argv, kelvora::PrintGoals);
}
