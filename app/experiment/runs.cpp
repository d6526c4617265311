#include "experiment/runs.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <string_view>
#include <vector>

#include "analysis/optimum.h"
#include "batch/scheduler.h"
#include "batch/sweep.h"
#include "batch/sweep_table.h"
#include "session/labels.h"
#include "session/sweep_file.h"

namespace kelvora::experiment {

std::string RunsPathOf(const std::string& experimentPath) {
    std::string stem = experimentPath;
    for (const std::string_view suffix : {std::string_view(".kelvora.json"), std::string_view(".json")})
        if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0) {
            stem.resize(stem.size() - suffix.size());
            break;
        }
    return stem + ".runs.csv";
}

long long TotalRuns(const ExperimentPlan& plan) {
    return static_cast<long long>(plan.configurations.size()) * static_cast<long long>(plan.targets.size()) *
           plan.seeds.count();
}

namespace {

// A run to make and the position of its target in the targets list.
struct PlannedRun {
    SweepCombination combination;
    std::size_t target = 0;
};

// Makes runs 0..count-1 (planned(i) each) on threads threads, after the optimum of each
// target wanted, in one schedule, and hands each run to take(i, run) on the calling thread, in
// order, measured against its target's optimum; progress(runs made) about every 20 ms and at the
// end. Stopped by stop; an exception from take ends the schedule and goes on to the caller.
void RunAfterOptima(const std::vector<SweepTarget>& targets, const std::vector<char>& wanted, long long count,
                    double epsilon, int threads, const std::atomic<bool>* stop,
                    const std::function<PlannedRun(long long)>& planned,
                    const std::function<void(long long, SweepResult&&)>& take,
                    const std::function<void(long long made)>& progress) {
    const auto targetCount = static_cast<long long>(targets.size());
    std::vector<double> optimum(targets.size(), std::nan(""));
    WorkerBuffers buffers(threads);
    std::atomic<long long> made{0};
    RunInOrder<SweepResult>(
        targetCount + count, {.threads = threads, .stop = stop},
        [&](long long task, int worker) -> std::optional<SweepResult> {
            SweepResult r;
            if (task < targetCount) {
                const SweepTarget& t = targets[static_cast<std::size_t>(task)];
                if (wanted[static_cast<std::size_t>(task)])
                    r.optimumDistance = FindOptimum(kBaseX, kBaseY, kBaseX + t.x, kBaseY - t.y).distance;
                return r;
            }
            RunReport report;
            r = RunCombination(planned(task - targetCount).combination, std::nan(""), epsilon, buffers[worker], stop, nullptr,
                               &report);
            if (report.stopped) return std::nullopt;
            made.fetch_add(1, std::memory_order_relaxed);
            return r;
        },
        [&](long long task, SweepResult&& r) {
            if (task < targetCount) {
                optimum[static_cast<std::size_t>(task)] = r.optimumDistance;
                return;
            }
            MeasureAgainstOptimum(r, optimum[planned(task - targetCount).target]);
            take(task - targetCount, std::move(r));
        },
        [&](const ScheduleProgress&) {
            if (progress) progress(made.load(std::memory_order_relaxed));
        });
}

// A write of the runs CSV was refused: the schedule ends there.
struct WriteRefused {};

}  // namespace

bool RunExperiment(const ExperimentPlan& plan, int threads, const std::atomic<bool>* stop,
                   const std::function<bool(const std::string& text)>& write,
                   const std::function<void(long long done, long long total)>& progress) {
    // Every configuration's runs in one schedule, each configuration's in its sweep's order: its rows
    // are those kelvora-cli sweep writes for it alone.
    std::vector<SweepPlan> sweeps;
    std::vector<std::string> fingerprints;
    std::vector<long long> first{0};  // each configuration's first run, and the total last
    for (std::size_t k = 0; k < plan.configurations.size(); ++k) {
        sweeps.push_back(plan.SweepOf(k));
        fingerprints.push_back(SweepFingerprint(sweeps.back()));
        first.push_back(first.back() + CombinationCount(sweeps.back()));
    }
    const auto placed = [&first](long long run) {
        const auto k = static_cast<std::size_t>(std::upper_bound(first.begin(), first.end(), run) - first.begin() - 1);
        return std::pair{k, run - first[k]};
    };
    const long long total = first.back();
    std::string pending = SweepHeader();
    try {
        RunAfterOptima(
            plan.targets, std::vector<char>(plan.targets.size(), 1), total, plan.epsilon, threads, stop,
            [&](long long run) {
                const auto [k, index] = placed(run);
                return PlannedRun{CombinationAt(sweeps[k], index), TargetIndexAt(sweeps[k], index)};
            },
            [&](long long run, SweepResult&& r) {
                const auto [k, index] = placed(run);
                pending += SweepRow(r, index, first[k + 1] - first[k], fingerprints[k], plan.epsilon);
                if (pending.size() >= (1u << 16)) {
                    if (!write(pending)) throw WriteRefused{};
                    pending.clear();
                }
            },
            [&](long long made) {
                if (progress) progress(made, total);
            });
    } catch (const WriteRefused&) {
        return false;
    }
    if (stop && stop->load()) return false;
    return write(pending);
}

std::string ForeignText(RunsCheck::Foreign why) {
    switch (why) {
        case RunsCheck::Foreign::configuration: return "its configuration is none of the experiment's";
        case RunsCheck::Foreign::target: return "its target is none of the experiment's";
        case RunsCheck::Foreign::seed: break;
    }
    return "its seed is none of the experiment's";
}

namespace {

// A row of the runs file to make again: which configuration, target and seed, and its text.
struct Row {
    long long line;
    std::size_t target;
    SweepCombination combination;
    long long run, runs;
    std::string fingerprint;
    std::string text;
    bool epsilonColumn;  // the file's rows say their epsilon
    bool reproduced = false;
};

}  // namespace

std::string VerifyRuns(const ExperimentPlan& plan, const std::string& path, const std::string& shown, int threads,
                       const std::atomic<bool>* stop, RunsCheck& check,
                       const std::function<void(long long done, long long total)>& progress) {
    std::vector<std::uint32_t> sortedSeeds = plan.seeds.seeds();
    std::sort(sortedSeeds.begin(), sortedSeeds.end());
    // The targets by their coordinates, for finding a row's target among thousands of random ones.
    std::vector<std::pair<std::pair<int, int>, std::size_t>> targetIndex;
    for (std::size_t t = 0; t < plan.targets.size(); ++t)
        targetIndex.push_back({{plan.targets[t].x, plan.targets[t].y}, t});
    std::sort(targetIndex.begin(), targetIndex.end());
    const auto targetOf = [&targetIndex](const SweepTarget& t) -> std::optional<std::size_t> {
        const auto at = std::lower_bound(targetIndex.begin(), targetIndex.end(),
                                         std::pair{std::pair{t.x, t.y}, std::size_t{0}});
        if (at == targetIndex.end() || at->first != std::pair{t.x, t.y}) return std::nullopt;
        return at->second;
    };
    std::vector<Row> rows;
    long long foreign = -1;  // the first row that is no run of the experiment
    RunsCheck::Foreign why = RunsCheck::Foreign::configuration;
    long long held = 0;
    const std::string error =
        session::ReadSweepFile(path, shown, {}, [&](const ParsedSweepRow& row, long long line, std::string_view text) {
            ++held;
            const SweepCombination& c = row.result.combination;
            std::size_t k = 0;
            while (k < plan.configurations.size() &&
                   !SameConfiguration({plan.configurations[k].params, {}, 0, plan.configurations[k].algorithm}, c))
                ++k;
            const std::optional<std::size_t> target = targetOf(c.target);
            if (foreign < 0 && (k == plan.configurations.size() || !target ||
                                !std::binary_search(sortedSeeds.begin(), sortedSeeds.end(), c.seed))) {
                foreign = line;
                why = k == plan.configurations.size() ? RunsCheck::Foreign::configuration
                      : !target                       ? RunsCheck::Foreign::target
                                                      : RunsCheck::Foreign::seed;
            }
            if (foreign < 0)
                rows.push_back({line, *target, c, row.run, row.runs,
                                row.fingerprint, std::string(text), row.epsilon.has_value(), false});
            return true;
        });
    if (!error.empty()) return error;

    // The optimum of each target the rows aim at first, every row's run beside those searches; each
    // run is measured against its target's optimum as it is handed back, after every search.
    const auto total = static_cast<long long>(rows.size());
    std::vector<char> wanted(plan.targets.size(), 0);
    for (const Row& r : rows) wanted[r.target] = 1;
    RunAfterOptima(
        plan.targets, wanted, total, plan.epsilon, threads, stop,
        [&](long long i) {
            const Row& row = rows[static_cast<std::size_t>(i)];
            return PlannedRun{row.combination, row.target};
        },
        [&](long long i, SweepResult&& r) {
            Row& row = rows[static_cast<std::size_t>(i)];
            row.reproduced = SweepRow(r, row.run - 1, row.runs, row.fingerprint,
                                      row.epsilonColumn ? std::optional<double>(plan.epsilon) : std::nullopt) ==
                             row.text + "\n";
        },
        [&](long long made) {
            if (progress) progress(made, total);
        });
    check = RunsCheck{};
    check.held = held;
    check.expected = TotalRuns(plan);
    if (stop && stop->load()) return {};
    for (const Row& r : rows)
        if (!r.reproduced) {
            check.kind = RunsCheck::Kind::differs;
            check.line = r.line;
            return {};
        }
    if (foreign >= 0) {
        check.kind = RunsCheck::Kind::foreign;
        check.line = foreign;
        check.why = why;
        return {};
    }
    // Every run of the experiment must be there: a file cut short at a row's end, or rows left out,
    // reproduce only part of it.
    check.kind = held < check.expected ? RunsCheck::Kind::incomplete : RunsCheck::Kind::reproduced;
    return {};
}

std::string LabelledSummaryCsv(const std::vector<SweepSummaryRow>& rows, const std::vector<std::string>& labels) {
    const std::string table = SummaryCsv(rows);
    std::string out;
    std::size_t row = 0, start = 0;
    for (std::size_t end = table.find('\n'); end != std::string::npos; start = end + 1, end = table.find('\n', start)) {
        out.append(table, start, end - start);
        if (start == 0) {
            out += ",label\n";
            continue;
        }
        const std::string label = row < labels.size() ? labels[row] : std::string();
        ++row;
        if (label.find_first_of(",\"\r\n") == std::string::npos) {
            out += "," + label + "\n";
            continue;
        }
        out += ",\"";
        for (const char c : label) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        out += "\"\n";
    }
    return out;
}

std::string LabelledSummaryCsv(const std::vector<SweepSummaryRow>& rows) {
    std::vector<SweepCombination> configurations;
    for (const SweepSummaryRow& r : rows) configurations.push_back({r.params, {}, 0, r.algorithm});
    return LabelledSummaryCsv(rows, session::DifferingLabels(configurations));
}

}  // namespace kelvora::experiment
