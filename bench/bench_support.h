#pragma once
// Helpers shared by the benchmark programs: a scratch directory, a clock reading, and a reporter
// that keeps each benchmark's figures for a summary of goals.

#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace kelvora::bench {

/// A directory of its own under the temporary directory, removed with what it holds.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("benchmark: mkdtemp");
            std::exit(1);
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const char* c_str() const { return path_.c_str(); }
    std::string file(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// The clock's reading in seconds.
inline double Seconds(clockid_t clock = CLOCK_MONOTONIC) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

/// The console table (tabular when not on a terminal), and a record of each benchmark's real time
/// and counters. With --benchmark_repetitions the median stands for a benchmark, otherwise its one run.
class GoalReporter : public benchmark::ConsoleReporter {
public:
    struct Result {
        double ms = 0;     ///< real time, milliseconds
        double cpuMs = 0;  ///< processor time, milliseconds
        bool fromMedian = false;
        std::map<std::string, double> counters;
    };

    GoalReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || !(median || run.run_type == Run::RT_Iteration)) continue;
            Result& r = results_[run.run_name.str()];
            if (r.fromMedian && !median) continue;
            r.fromMedian = median;
            r.ms = run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            r.cpuMs = run.GetAdjustedCPUTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (const auto& [name, counter] : run.counters) r.counters[name] = counter.value;
            functions_[run.run_name.function_name] = run.run_name.str();
        }
    }

    /// A benchmark by its full name ("BM_Generation/10000") or by its function's name; nullptr
    /// when it did not run.
    const Result* Find(const std::string& name) const {
        auto it = results_.find(name);
        if (it == results_.end()) {
            const auto f = functions_.find(name);
            if (f != functions_.end()) it = results_.find(f->second);
        }
        return it == results_.end() ? nullptr : &it->second;
    }

    static const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

private:
    std::map<std::string, Result> results_;
    std::map<std::string, std::string> functions_;  // function name -> full name of its last run
};

/// A benchmark program's main(): runs the benchmarks the command line selects, prints their table,
/// then the summary printGoals writes from their figures.
inline int RunWithGoals(int argc, char** argv, void (*printGoals)(const GoalReporter&)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printGoals(reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace kelvora::bench
