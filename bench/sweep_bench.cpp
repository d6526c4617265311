// Costs of batch work: a large run's files written a generation at a time against line by line,
// a sweep's throughput on one thread against two (populations 20, 100 and 1000), and a sweep's run against the same run through the
// library alone. Each pair is timed inside the same iterations, so a busy machine's drift falls on
// both sides of a ratio. The memory of a sweep of 10^7 runs (kelvora-cli sweep itself, about 20 s;
// skip it with --benchmark_filter=-LargeSweepMemory), and of sweep-merge of 10^5 and 10^6 rows.
// A summary of the goals follows the table.
//
//   kelvora_sweep_bench
//   kelvora_sweep_bench --benchmark_repetitions=5   medians of five

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench_support.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "batch/sweep.h"

namespace kelvora {
namespace {

using bench::ScratchDir;
using bench::Seconds;

// ---------------------------------------------------------------- flush modes

ssize_t Discard(int, const void*, std::size_t size) { return static_cast<ssize_t>(size); }

// A population-10000, 100-generation run into real files, once with each flush mode per iteration,
// and once more with every line formatted and dropped: the floor no flushing can go below.
void BM_FlushModes(benchmark::State& bench) {
    const SolverParams params{kMaxPopulation, 100, 0.5, 0.1};
    auto buffers = std::make_unique<RunBuffers>();
    ScratchDir dir;
    double seconds[3] = {0, 0, 0};
    for (auto _ : bench) {
        for (int mode = 0; mode < 3; ++mode) {
            ResultWriter writer(mode == 1 ? FlushMode::generation : FlushMode::line, mode == 2 ? Discard : nullptr);
            const double start = Seconds();
            const RunReport report = RunWithFiles({params, Geometry{}, 1}, writer, dir.c_str(), {}, *buffers);
            seconds[mode] += Seconds() - start;
            if (!report.filesComplete()) bench.SkipWithError("a result file failed");
        }
    }
    const auto n = static_cast<double>(bench.iterations());
    bench.counters["line_ms"] = seconds[0] * 1e3 / n;
    bench.counters["generation_ms"] = seconds[1] * 1e3 / n;
    bench.counters["discarding_ms"] = seconds[2] * 1e3 / n;
    bench.counters["speedup"] = seconds[0] / seconds[1];
}
BENCHMARK(BM_FlushModes)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------- sweeps

SweepPlan ThousandRuns() {
    SweepPlan plan;
    plan.populations = {100};
    plan.generations = {100};
    plan.crossovers = {0.5};
    plan.mutations = {0.1};
    plan.targets = {{kOpeningTargetX, kOpeningTargetY}};
    for (std::uint32_t s = 1; s <= 1000; ++s) plan.seeds.push_back(s);
    return plan;
}

/// runs runs of population x 100 on the opening target, seeds 1..runs.
SweepPlan RunsOf(int population, int runs) {
    SweepPlan plan = ThousandRuns();
    plan.populations = {population};
    plan.seeds.clear();
    for (int s = 1; s <= runs; ++s) plan.seeds.push_back(static_cast<std::uint32_t>(s));
    return plan;
}

// Whole sweeps (optimum search included) of population x 100 on one thread and on two: 1000 runs at
// population 100, as many more or fewer as keep the work the same at 20 and 1000.
void BM_SweepThreads(benchmark::State& bench) {
    const int population = static_cast<int>(bench.range(0));
    const int runs = 100000 / population;
    const SweepPlan plan = RunsOf(population, runs);
    double seconds[2] = {0, 0}, cpu[2] = {0, 0};
    long long rows = 0;
    for (auto _ : bench) {
        for (int threads = 1; threads <= 2; ++threads) {
            const double start = Seconds(), cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
            RunSweep(plan, {.threads = threads}, [&](long long, const SweepResult&) { ++rows; });
            seconds[threads - 1] += Seconds() - start;
            cpu[threads - 1] += Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
        }
    }
    // Processor time of both threads together against one thread's: 1 when threading costs nothing,
    // whatever else the machine is doing. Real-time scaling needs two idle cores.
    bench.counters["cpu_ratio"] = cpu[1] / cpu[0];
    const auto n = static_cast<double>(bench.iterations());
    bench.counters["one_thread_runs_per_s"] = runs * n / seconds[0];
    bench.counters["two_threads_runs_per_s"] = runs * n / seconds[1];
    bench.counters["scaling"] = seconds[0] / seconds[1];
    // How many processors each sweep had on average: 1 and 2 on an idle machine; on a shared one the
    // scaling is at most the ratio of the two.
    bench.counters["one_thread_busy"] = cpu[0] / seconds[0];
    bench.counters["two_threads_busy"] = cpu[1] / seconds[1];
    if (rows != 2LL * runs * bench.iterations()) bench.SkipWithError("a sweep lost rows");
}
BENCHMARK(BM_SweepThreads)->Arg(100)->Arg(20)->Arg(1000)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sweep's cost per run on one thread (optimum search, ordering, measuring included) against
// the same 1000 runs through RunSolver alone, without files, one set of buffers lent throughout.
void BM_SweepRunOverhead(benchmark::State& bench) {
    const SweepPlan plan = ThousandRuns();
    auto buffers = std::make_unique<RunBuffers>();
    double sweep = 0, library = 0, optimum = 0;
    for (auto _ : bench) {
        double start = Seconds();
        benchmark::DoNotOptimize(FindOptimum(kBaseX, kBaseY, kBaseX + kOpeningTargetX, kBaseY - kOpeningTargetY));
        optimum += Seconds() - start;
        start = Seconds();
        RunSweep(plan, {.threads = 1}, [](long long, const SweepResult& r) { benchmark::DoNotOptimize(r.eliteDistance); });
        sweep += Seconds() - start;
        start = Seconds();
        for (std::uint32_t seed : plan.seeds) {
            const RunOutcome outcome = RunSolver({{100, 100, 0.5, 0.1}, Geometry{}, seed}, {}, *buffers);
            benchmark::DoNotOptimize(outcome.eliteFitness);
        }
        library += Seconds() - start;
    }
    const auto n = static_cast<double>(bench.iterations());
    // The target's optimum is searched once per sweep, not per run: it is shown apart.
    bench.counters["optimum_ms"] = optimum * 1e3 / n;
    bench.counters["sweep_us_per_run"] = (sweep - optimum) * 1e6 / (1000 * n);
    bench.counters["library_us_per_run"] = library * 1e6 / (1000 * n);
    bench.counters["overhead"] = (sweep - optimum) / library - 1.0;
}
BENCHMARK(BM_SweepRunOverhead)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------- a large sweep's memory

// kelvora-cli sweep of 10^7 runs of population 1 x 1 generation on two threads, rows and summary
// written (to /dev/null: the rows would fill 1.3 GB), started and waited for; its peak resident size.
void BM_LargeSweepMemory(benchmark::State& bench) {
    double maxrssMb = 0;
    for (auto _ : bench) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(KELVORA_CLI_PATH, KELVORA_CLI_PATH, "sweep", "--seeds", "1..10000000", "--population", "1",
                    "--generations", "1", "--threads", "2", "--yes", "--quiet", "--output", "/dev/null", "--summary",
                    "/dev/null", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            bench.SkipWithError("kelvora-cli sweep failed");
            return;
        }
        maxrssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KB on Linux
    }
    bench.counters["maxrss_mb"] = maxrssMb;
}
BENCHMARK(BM_LargeSweepMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---------------------------------------------------------------- a merge's memory

// Starts kelvora-cli with args (stdout and stderr to /dev/null) in dir, waits; its peak resident
// size in MB, or -1 when it failed.
double PeakMegabytes(const std::string& dir, const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(KELVORA_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KELVORA_CLI_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KB on Linux
}

// sweep-merge of a sweep of `rows` runs (population 1 x 1 generation) in two shards, into a file,
// against the unsharded sweep's own memory: the merge keeps a row of each shard, whatever the rows.
void BM_MergeMemory(benchmark::State& bench) {
    const std::string rows = std::to_string(bench.range(0));
    ScratchDir dir;
    for (const char* shard : {"1/2", "2/2"})
        if (PeakMegabytes(dir.c_str(), {"sweep", "--seeds", "1.." + rows, "--population", "1", "--generations", "1",
                                        "--threads", "2", "--yes", "--quiet", "--shard", shard, "--output",
                                        std::string("shard") + shard[0] + ".csv"}) < 0) {
            bench.SkipWithError("kelvora-cli sweep failed");
            return;
        }
    double merge = 0, sweep = 0;
    for (auto _ : bench) {
        merge = PeakMegabytes(dir.c_str(), {"sweep-merge", "--output", "merged.csv", "shard1.csv", "shard2.csv"});
        sweep = PeakMegabytes(dir.c_str(), {"sweep", "--seeds", "1.." + rows, "--population", "1", "--generations", "1",
                                            "--threads", "2", "--yes", "--quiet", "--output", "/dev/null"});
        if (merge < 0 || sweep < 0) {
            bench.SkipWithError("kelvora-cli failed");
            return;
        }
    }
    bench.counters["merge_maxrss_mb"] = merge;
    bench.counters["sweep_maxrss_mb"] = sweep;
}
BENCHMARK(BM_MergeMemory)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---------------------------------------------------------------- the summary of goals

// The goals, met or missed, after the table.
void PrintGoals(const bench::GoalReporter& report) {
    using bench::GoalReporter;
    std::printf("\nGoals\n");
    if (const GoalReporter::Result* f = report.Find("BM_FlushModes")) {
        const auto& c = f->counters;
        std::printf("  10000 x 100 run:   line %.0f ms, generation %.0f ms, %.1fx (goal 5x)  %s\n"
                    "                     lines formatted and dropped %.0f ms\n",
                    c.at("line_ms"), c.at("generation_ms"), c.at("speedup"), GoalReporter::Verdict(c.at("speedup") >= 5),
                    c.at("discarding_ms"));
    }
    for (const int population : {20, 100, 1000}) {
        const std::string name = "BM_SweepThreads/" + std::to_string(population) + "/iterations:5/real_time";
        const GoalReporter::Result* t = report.Find(name);
        if (!t) continue;
        const auto& c = t->counters;
        std::printf("  %5d runs %4dx100: %.0f runs/s on 1 thread, %.0f on 2, %.2fx (goal 1.9x)  %s\n"
                    "                     processor time on 2 threads / on 1: %.3f (1 = no cost of threading);\n"
                    "                     processors busy: %.2f on 1 thread, %.2f on 2\n",
                    100000 / population, population, c.at("one_thread_runs_per_s"), c.at("two_threads_runs_per_s"),
                    c.at("scaling"), GoalReporter::Verdict(c.at("scaling") >= 1.9), c.at("cpu_ratio"),
                    c.at("one_thread_busy"), c.at("two_threads_busy"));
    }
    if (const GoalReporter::Result* o = report.Find("BM_SweepRunOverhead")) {
        const auto& c = o->counters;
        std::printf("  a sweep's run:     %.1f us, the library's %.1f us, %+.1f%% (goal at most +5%%)  %s\n"
                    "                     plus the target's optimum search, once per sweep: %.1f ms\n",
                    c.at("sweep_us_per_run"), c.at("library_us_per_run"), 100 * c.at("overhead"),
                    GoalReporter::Verdict(c.at("overhead") <= 0.05), c.at("optimum_ms"));
    }
    if (const GoalReporter::Result* m = report.Find("BM_LargeSweepMemory")) {
        const double mb = m->counters.at("maxrss_mb");
        std::printf("  10^7 runs 1x1:     %.0f MB resident at most, in %.1f s (goal at most 300 MB)  %s\n", mb,
                    m->ms / 1e3, GoalReporter::Verdict(mb <= 300));
    }
    const GoalReporter::Result* small = report.Find("BM_MergeMemory/100000/iterations:1/real_time");
    const GoalReporter::Result* large = report.Find("BM_MergeMemory/1000000/iterations:1/real_time");
    if (small && large) {
        const double a = small->counters.at("merge_maxrss_mb"), b = large->counters.at("merge_maxrss_mb");
        std::printf("  sweep-merge:       %.1f MB for 10^5 rows, %.1f MB for 10^6 (unsharded sweep %.1f MB)\n"
                    "                     (goal: at most 10%% more for ten times the rows)  %s\n",
                    a, b, large->counters.at("sweep_maxrss_mb"), GoalReporter::Verdict(b <= 1.1 * a));
    }
}

}  // namespace
}  // namespace kelvora

int main(int argc, char** argv) {
    return kelvora::bench::RunWithGoals(argc, argv, kelvora::PrintGoals);
}
