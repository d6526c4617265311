// What one call of a small kelvora-cli command costs: `kelvora-cli --version`, `kelvora-cli optimum`
// and a run of population 1 for 1 generation (its two files and run.json written), each started and
// waited for (fork, exec, wait) against a trivial C++ program built here, which prints one line the
// same way. Goal: each within 1.5 times the trivial program. Each iteration starts both, in turns,
// so a busy machine's drift falls on both; the medians are of the single starts.
//
//   kelvora_startup_bench
//   kelvora_startup_bench --benchmark_min_time=2

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"

namespace kelvora {
namespace {

using bench::Seconds;

/// Starts program with its arguments, stdout and stderr to /dev/null, and waits for it.
/// Returns the seconds it took, or a negative number when it did not exit with status 0.
double StartAndWait(const char* program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const double start = Seconds();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    const double seconds = Seconds() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// The commands timed, by the benchmark's argument.
struct Command {
    const char* name;
    std::vector<std::string> arguments;
};

const std::vector<Command>& Commands() {
    static const bench::ScratchDir scratch;
    static const std::vector<Command> commands = {
        {"kelvora-cli --version", {"--version"}},
        {"kelvora-cli optimum", {"optimum"}},
        {"kelvora-cli 1 x 1 run", {"--population", "1", "--generations", "1", "--seed", "1", "--output-dir", scratch.c_str()}},
    };
    return commands;
}

void BM_Startup(benchmark::State& bench) {
    const Command& command = Commands()[static_cast<std::size_t>(bench.range(0))];
    bench.SetLabel(command.name);
    std::vector<double> cli, trivial;
    for (auto _ : bench) {
        const bool cliFirst = cli.size() % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool isCli = (turn == 0) == cliFirst;
            const double s = isCli ? StartAndWait(KELVORA_CLI_PATH, command.arguments)
                                   : StartAndWait(KELVORA_TRIVIAL_PATH, {"--version"});
            if (s < 0) {
                bench.SkipWithError(isCli ? "the kelvora-cli command failed" : "the trivial program failed");
                return;
            }
            (isCli ? cli : trivial).push_back(s);
        }
    }
    const double cliMedian = Median(cli), trivialMedian = Median(trivial);
    bench.counters["cli_median_ms"] = cliMedian * 1e3;
    bench.counters["trivial_median_ms"] = trivialMedian * 1e3;
    bench.counters["ratio"] = trivialMedian > 0 ? cliMedian / trivialMedian : 0;
}
BENCHMARK(BM_Startup)->DenseRange(0, 2)->ArgName("command")->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintGoals(const bench::GoalReporter& report) {
    std::printf("\nGoals\n");
    for (int k = 0; k < 3; ++k) {
        const bench::GoalReporter::Result* r = report.Find("BM_Startup/command:" + std::to_string(k) + "/real_time");
        if (!r) continue;
        const auto& c = r->counters;
        std::printf("  %-22s median %.2f ms, a trivial C++ program %.2f ms, %.2fx (goal at most 1.5x)  %s\n",
                    (Commands()[static_cast<std::size_t>(k)].name + std::string(":")).c_str(), c.at("cli_median_ms"),
                    c.at("trivial_median_ms"), c.at("ratio"), bench::GoalReporter::Verdict(c.at("ratio") <= 1.5));
    }
}

}  // namespace
}  // namespace kelvora

int main(int argc, char** argv) {
    return kelvora::bench::RunWithGoals(argc, argv, kelvora::PrintGoals);
}
