// kelvora-cli experiment: an experiment file run into a runs CSV (each configuration's rows those
// `kelvora-cli sweep` writes for it alone), a runs CSV checked against it, and the experiment a
// sweep file was made by.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/scheduler.h"
#include "batch/sweep.h"
#include "batch/sweep_table.h"
#include "commands.h"
#include "experiment/experiment_file.h"
#include "files.h"
#include "helpers.h"
#include "session/configurations.h"
#include "session/labels.h"
#include "session/numbers.h"
#include "session/sweep_file.h"
#include "signals.h"
#include "analysis/optimum.h"

namespace kelvora::cli {

namespace {

struct ExperimentArgs {
    std::vector<std::string> files;
    std::string output;
    int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 1024u));
    bool quiet = false;
    bool help = false;
};

// experiment's flags, each storing into a as it is read, with its help.
FlagTable ExperimentTable(ExperimentArgs& a) {
    FlagTable table{
        {Flag{"--output", true,
              [&a](const std::string& v) {
                  a.output = v;
                  return v.empty() ? std::string("--output: the file name is empty") : std::string();
              }}
             .Describe("FILE", "run: the runs CSV (rows to standard output without it); from: the experiment file"),
         Flag{"--threads", true,
              [&a](const std::string& v) {
                  const auto t = ParseInteger(v);
                  if (!t || *t < 1 || *t > 1024) return "--threads: " + Quoted(v) + " is not an integer in 1..1024";
                  a.threads = static_cast<int>(*t);
                  return std::string();
              }}
             .Describe("N", "worker threads, 1..1024", "the hardware's count"),
         Flag{"--quiet", false, [&a](const std::string&) { a.quiet = true; return std::string(); }}.Describe(
             nullptr, "no progress bar"),
         Flag{"--help", false, [&a](const std::string&) { a.help = true; return std::string(); }, false, true, "-h"}
             .Describe(nullptr, "this text")},
        "experiment --help",
        [&a](const std::string& v) {
            a.files.push_back(v);
            return std::string();
        }};
    table.text = {
        "kelvora-cli experiment", "run FILE | verify FILE RUNS.csv | from SWEEP.csv",
        "An experiment file (NAME.kelvora.json) names configurations, seeds, targets and epsilon.\n"
        "  run     runs every configuration over every target and seed; each configuration's rows are\n"
        "          those `kelvora-cli sweep` writes for it alone, in the file's order, under one header;\n"
        "          the labels go to RUNS.labels.json beside it (rows to standard output without --output)\n"
        "  verify  runs every row of RUNS.csv again: exit 0 when each is reproduced, 1 naming the first\n"
        "          that is not (or is no run of the experiment), 2 when a file is malformed\n"
        "  from    writes the experiment a sweep file was made by (--output FILE needed)",
        "Ctrl-C, SIGTERM or SIGHUP stops: run leaves --output as it was (it is replaced whole at the end).\n"
        "Exit status: 0 done, 1 a file could not be written or a row not reproduced, 2 bad arguments or a\n"
        "malformed file, 130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP."};
    return table;
}

std::string ParseArgs(const std::vector<std::string>& args, ExperimentArgs& a) {
    return ParseFlags(ExperimentTable(a), args).error;
}

int Refusal(const std::string& message) { return Refuse("experiment", message); }

// The experiment file read and planned; "" or the refusal's message naming the file.
std::string Plan(const std::string& path, experiment::Experiment& e, experiment::ExperimentPlan& plan) {
    experiment::ExperimentFault fault = experiment::ReadExperimentFile(path, e);
    if (!fault) fault = experiment::PlanExperiment(e, plan);
    return fault ? Printable(path) + ": " + experiment::ExperimentFaultText(fault) : std::string();
}

long long TotalRuns(const experiment::ExperimentPlan& plan) {
    return static_cast<long long>(plan.configurations.size()) * static_cast<long long>(plan.targets.size()) * plan.seeds.count();
}

// A write of the runs file failed, with its errno: the schedule ends there.
struct WriteFailed {
    int error;
};

int Run(const ExperimentArgs& a) {
    if (a.files.size() != 1) return Refusal("run takes one experiment file (see experiment --help)");
    experiment::Experiment e;
    experiment::ExperimentPlan plan;
    if (const std::string error = Plan(a.files[0], e, plan); !error.empty()) return Refusal(error);
    const bool toStdout = a.output.empty() || a.output == "-";
    OutputFile file;
    if (const std::string error = OpenOutput(toStdout ? "-" : a.output, file, true); !error.empty()) return Refusal(error);
    OutputFile labelsFile;
    std::vector<SweepCombination> configurations;
    std::vector<std::string> labels;
    for (const experiment::PlannedConfiguration& c : plan.configurations) {
        configurations.push_back({c.params, {}, 0, c.algorithm});
        labels.push_back(c.label);
    }
    if (!toStdout)
        if (const std::string error = OpenOutput(session::LabelsPath(a.output), labelsFile); !error.empty()) return Refusal(error);

    InstallStopSignals();
    ProgressBar bar(!a.quiet);
    const long long total = TotalRuns(plan);
    // One schedule of every configuration's runs, each configuration's in its sweep's order, after
    // the optimum of each target: a configuration's rows are those kelvora-cli sweep writes for it.
    std::vector<SweepPlan> sweeps;
    std::vector<std::string> fingerprints;
    std::vector<long long> first{0};  // the task of each configuration's first run, after the targets'
    for (std::size_t k = 0; k < plan.configurations.size(); ++k) {
        sweeps.push_back(plan.SweepOf(k));
        fingerprints.push_back(SweepFingerprint(sweeps.back()));
        first.push_back(first.back() + CombinationCount(sweeps.back()));
    }
    const auto targetCount = static_cast<long long>(plan.targets.size());
    const auto placed = [&](long long task) {
        const auto k = static_cast<std::size_t>(std::upper_bound(first.begin(), first.end(), task - targetCount) - first.begin() - 1);
        return std::pair{k, task - targetCount - first[k]};
    };
    std::vector<double> optimum(plan.targets.size(), std::nan(""));
    WorkerBuffers buffers(a.threads);
    std::atomic<long long> made{0};
    const std::string written = WriteWhole(file, [&](int fd) {
        std::string pending = SweepHeader();
        try {
            RunInOrder<SweepResult>(
                targetCount + total, {.threads = a.threads, .stop = &StopFlag()},
                [&](long long task, int worker) -> std::optional<SweepResult> {
                    SweepResult r;
                    if (task < targetCount) {
                        const SweepTarget& t = plan.targets[static_cast<std::size_t>(task)];
                        r.optimumDistance = FindOptimum(kBaseX, kBaseY, kBaseX + t.x, kBaseY - t.y).distance;
                        return r;
                    }
                    const auto [k, index] = placed(task);
                    RunReport report;
                    r = RunCombination(CombinationAt(sweeps[k], index), std::nan(""), plan.epsilon, buffers[worker],
                                       &StopFlag(), nullptr, &report);
                    if (report.stopped) return std::nullopt;
                    made.fetch_add(1, std::memory_order_relaxed);
                    return r;
                },
                [&](long long task, SweepResult&& r) {
                    if (task < targetCount) {
                        optimum[static_cast<std::size_t>(task)] = r.optimumDistance;
                        return;
                    }
                    const auto [k, index] = placed(task);
                    const auto target = std::find(plan.targets.begin(), plan.targets.end(), r.combination.target);
                    MeasureAgainstOptimum(r, optimum[static_cast<std::size_t>(target - plan.targets.begin())]);
                    pending += SweepRow(r, index, first[k + 1] - first[k], fingerprints[k], plan.epsilon);
                    if (pending.size() >= (1u << 16)) {
                        if (!WriteAll(fd, pending)) throw WriteFailed{errno};  // ends the schedule at once
                        pending.clear();
                    }
                },
                [&](const ScheduleProgress&) {
                    const long long done = made.load(std::memory_order_relaxed);
                    if (bar.Due(done == total)) bar.Draw(done, total, "runs");
                });
        } catch (const WriteFailed& failed) {
            errno = failed.error;
            return false;
        }
        if (StopFlag().load()) {
            errno = EINTR;
            return false;
        }
        return WriteAll(fd, pending);
    });
    bar.Finish();
    if (StopFlag().load()) {
        Abandon(labelsFile);
        std::fprintf(stderr, "kelvora-cli experiment: stopped by %s; %s left as it was\n", StopSignalName(),
                     toStdout ? "nothing more written" : Quoted(a.output).c_str());
        return StopExitStatus();
    }
    if (!written.empty()) {
        std::fprintf(stderr, "kelvora-cli experiment: %s: %s\n", toStdout ? "standard output" : Printable(a.output).c_str(),
                     written.c_str());
        return 1;
    }
    if (!toStdout)
        if (const std::string error = WriteWhole(labelsFile, session::LabelsJson(configurations, labels)); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli experiment: %s: %s\n", Printable(labelsFile.path).c_str(), error.c_str());
            return 1;
        }
    return 0;
}

// A row of the runs file to make again: which configuration, target and seed, and its text.
struct Check {
    long long line;
    std::size_t configuration;
    std::size_t target;
    SweepCombination combination;
    long long run, runs;
    std::string fingerprint;
    std::string text;
    bool epsilonColumn;  ///< the file's rows say their epsilon
    bool reproduced = false;
};

int Verify(const ExperimentArgs& a) {
    if (a.files.size() != 2) return Refusal("verify takes an experiment file and a runs file (see experiment --help)");
    experiment::Experiment e;
    experiment::ExperimentPlan plan;
    if (const std::string error = Plan(a.files[0], e, plan); !error.empty()) return Refusal(error);
    const std::vector<std::uint32_t> seeds = plan.seeds.seeds();
    std::vector<std::uint32_t> sortedSeeds = seeds;
    std::sort(sortedSeeds.begin(), sortedSeeds.end());
    const std::string shown = Printable(a.files[1]);
    std::vector<Check> checks;
    long long foreign = -1;  // the first row that is no run of the experiment
    std::string why;
    const std::string error =
        session::ReadSweepFile(a.files[1], shown, {}, [&](const ParsedSweepRow& row, long long line, std::string_view text) {
            const SweepCombination& c = row.result.combination;
            std::size_t k = 0;
            while (k < plan.configurations.size() &&
                   !SameConfiguration({plan.configurations[k].params, {}, 0, plan.configurations[k].algorithm}, c))
                ++k;
            const auto target = std::find(plan.targets.begin(), plan.targets.end(), c.target);
            if (foreign < 0 && (k == plan.configurations.size() || target == plan.targets.end() ||
                                !std::binary_search(sortedSeeds.begin(), sortedSeeds.end(), c.seed))) {
                foreign = line;
                why = k == plan.configurations.size() ? "its configuration is none of the experiment's"
                      : target == plan.targets.end()  ? "its target is none of the experiment's"
                                                      : "its seed is none of the experiment's";
            }
            if (foreign < 0)
                checks.push_back({line, k, static_cast<std::size_t>(target - plan.targets.begin()), c, row.run, row.runs,
                                  row.fingerprint, std::string(text), row.epsilon.has_value(), false});
            return true;
        });
    if (!error.empty()) return Refusal(error);

    // The optimum of each target the rows aim at first, every row's run beside those searches; each
    // run is measured against its target's optimum as it is handed back, after every search.
    InstallStopSignals();
    const auto targetCount = static_cast<long long>(plan.targets.size());
    const auto total = static_cast<long long>(checks.size());
    std::vector<double> optimum(plan.targets.size(), std::nan(""));
    std::vector<char> wanted(plan.targets.size(), 0);
    for (const Check& c : checks) wanted[c.target] = 1;
    WorkerBuffers buffers(a.threads);
    std::atomic<long long> made{0};
    ProgressBar bar(!a.quiet);
    RunInOrder<SweepResult>(
        targetCount + total, {.threads = a.threads, .stop = &StopFlag()},
        [&](long long task, int worker) -> std::optional<SweepResult> {
            SweepResult r;
            if (task < targetCount) {
                const SweepTarget& t = plan.targets[static_cast<std::size_t>(task)];
                if (wanted[static_cast<std::size_t>(task)])
                    r.optimumDistance = FindOptimum(kBaseX, kBaseY, kBaseX + t.x, kBaseY - t.y).distance;
                return r;
            }
            RunReport report;
            r = RunCombination(checks[static_cast<std::size_t>(task - targetCount)].combination, std::nan(""),
                               plan.epsilon, buffers[worker], &StopFlag(), nullptr, &report);
            if (report.stopped) return std::nullopt;
            made.fetch_add(1, std::memory_order_relaxed);
            return r;
        },
        [&](long long task, SweepResult&& r) {
            if (task < targetCount) {
                optimum[static_cast<std::size_t>(task)] = r.optimumDistance;
                return;
            }
            Check& c = checks[static_cast<std::size_t>(task - targetCount)];
            MeasureAgainstOptimum(r, optimum[c.target]);
            c.reproduced = SweepRow(r, c.run - 1, c.runs, c.fingerprint,
                                    c.epsilonColumn ? std::optional<double>(plan.epsilon) : std::nullopt) == c.text + "\n";
        },
        [&](const ScheduleProgress&) {
            const long long done = made.load(std::memory_order_relaxed);
            if (bar.Due(done == total)) bar.Draw(done, total, "runs made again");
        });
    bar.Finish();
    if (StopFlag().load()) {
        std::fprintf(stderr, "kelvora-cli experiment: stopped by %s; nothing verified\n", StopSignalName());
        return StopExitStatus();
    }
    for (const Check& c : checks)
        if (!c.reproduced && (foreign < 0 || c.line < foreign)) {
            std::fprintf(stderr, "kelvora-cli experiment: %s:%lld: not reproduced (the run made again writes another row)\n",
                         shown.c_str(), c.line);
            return 1;
        }
    if (foreign >= 0) {
        std::fprintf(stderr, "kelvora-cli experiment: %s:%lld: not reproduced (%s)\n", shown.c_str(), foreign, why.c_str());
        return 1;
    }
    // Every run of the experiment must be there: a file cut short at a row's end, or rows left out,
    // reproduce only part of it.
    if (const long long expected = TotalRuns(plan); total < expected) {
        std::fprintf(stderr, "kelvora-cli experiment: %s: not reproduced in full: it holds %lld of the experiment's %lld runs\n",
                     shown.c_str(), total, expected);
        return 1;
    }
    if (!a.quiet) std::printf("%lld runs reproduced\n", total);
    return 0;
}

int From(const ExperimentArgs& a) {
    if (a.files.size() != 1) return Refusal("from takes one sweep file (see experiment --help)");
    if (a.output.empty()) return Refusal("from needs --output, the experiment file to write");
    const std::string shown = Printable(a.files[0]);
    session::ConfigurationGroups groups;
    std::vector<std::vector<std::pair<SweepTarget, std::uint32_t>>> runs;  // each configuration's (target, seed)
    std::optional<double> epsilon;
    const std::string error =
        session::ReadSweepFile(a.files[0], shown, {}, [&](const ParsedSweepRow& row, long long, std::string_view) {
            epsilon = row.epsilon;
            const SweepCombination& c = row.result.combination;
            const std::size_t k = groups.Add(c);
            if (k == runs.size()) runs.emplace_back();
            runs[k].emplace_back(c.target, c.seed);
            return true;
        });
    if (!error.empty()) return Refusal(error);
    const std::vector<SweepCombination>& configurations = groups.configurations();
    // Targets and seeds in the order the first configuration ran them; every other the same.
    std::vector<SweepTarget> targets;
    std::vector<long long> seeds;
    for (const auto& [target, seed] : runs[0]) {
        if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(target);
        if (std::find(seeds.begin(), seeds.end(), seed) == seeds.end()) seeds.push_back(seed);
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        auto mine = runs[k];
        auto first = runs[0];
        std::sort(mine.begin(), mine.end(), [](const auto& x, const auto& y) {
            return std::tie(x.first.x, x.first.y, x.second) < std::tie(y.first.x, y.first.y, y.second);
        });
        std::sort(first.begin(), first.end(), [](const auto& x, const auto& y) {
            return std::tie(x.first.x, x.first.y, x.second) < std::tie(y.first.x, y.first.y, y.second);
        });
        if (mine != first || first.size() != targets.size() * seeds.size())
            return Refusal(shown + ": its configurations did not all run every target with every seed; an experiment runs them so");
    }
    experiment::SeedList seedList;
    if (const experiment::ListFault fault = experiment::SeedListOf(seeds, seedList))
        return Refusal(experiment::ListFaultText(fault, shown));
    std::string warning;
    const std::vector<std::string> labels = session::SweepFileLabels(a.files[0], configurations, warning);
    const std::vector<std::string> automatic = session::DifferingLabels(configurations);
    std::vector<experiment::PlannedConfiguration> planned;
    for (std::size_t k = 0; k < configurations.size(); ++k)
        planned.push_back({labels[k] == automatic[k] ? std::string() : labels[k], configurations[k].params,
                           configurations[k].algorithm, k});
    if (!epsilon) std::fprintf(stderr, "kelvora-cli experiment: %s: %s\n", shown.c_str(), session::EpsilonNotRecorded().c_str());
    const experiment::Experiment e = experiment::ExperimentOf(planned, targets, seedList, epsilon.value_or(kDefaultEpsilon));
    OutputFile file;
    if (const std::string failure = OpenOutput(a.output, file, true); !failure.empty()) return Refusal(failure);
    if (const std::string failure = WriteWhole(file, experiment::ExperimentText(e)); !failure.empty()) {
        std::fprintf(stderr, "kelvora-cli experiment: %s: %s\n", Printable(a.output).c_str(), failure.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

FlagTable ExperimentFlags() {
    static ExperimentArgs unused;  // the handlers are never called
    return ExperimentTable(unused);
}

int ExperimentCommand(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(HelpText(ExperimentFlags()).c_str(), args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    ExperimentArgs a;
    if (const std::string error = ParseArgs({args.begin() + 1, args.end()}, a); !error.empty()) return Refusal(error);
    if (a.help) {
        std::fputs(HelpText(ExperimentFlags()).c_str(), stdout);
        return 0;
    }
    if (args[0] == "run") return Run(a);
    if (args[0] == "verify") return Verify(a);
    if (args[0] == "from") return From(a);
    return Refusal(Quoted(args[0]) + " is not run, verify or from (see experiment --help)");
}

}  // namespace kelvora::cli
