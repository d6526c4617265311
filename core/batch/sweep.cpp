#include "batch/sweep.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <random>
#include <set>
#include <system_error>
#include <utility>

#include "analysis/optimum.h"
#include "batch/runlength.h"
#include "batch/scheduler.h"

namespace kelvora {

long long CombinationCount(const SweepPlan& plan) {
    long long n = 1;
    for (std::size_t size : {plan.algorithms.size(), plan.populations.size(), plan.generations.size(),
                             plan.crossovers.size(), plan.mutations.size(), plan.targets.size(), plan.seeds.size()}) {
        if (size == 0) return 0;
        // Saturate rather than overflow: callers refuse anything near this anyway.
        if (n > (1LL << 62) / static_cast<long long>(size)) return 1LL << 62;
        n *= static_cast<long long>(size);
    }
    return n;
}

SweepCombination CombinationAt(const SweepPlan& plan, long long index) {
    SweepCombination c;
    auto take = [&index](std::size_t size) {
        const auto i = static_cast<std::size_t>(index % static_cast<long long>(size));
        index /= static_cast<long long>(size);
        return i;
    };
    // Innermost first: seed, target, mutation, crossover, generations, population, algorithm.
    c.seed = plan.seeds[take(plan.seeds.size())];
    c.target = plan.targets[take(plan.targets.size())];
    c.params.mutationProbability = plan.mutations[take(plan.mutations.size())];
    c.params.crossoverRate = plan.crossovers[take(plan.crossovers.size())];
    c.params.generationCount = plan.generations[take(plan.generations.size())];
    c.params.populationSize = plan.populations[take(plan.populations.size())];
    c.algorithm = plan.algorithms[take(plan.algorithms.size())];
    return c;
}

std::size_t TargetIndexAt(const SweepPlan& plan, long long index) {
    // The seed varies fastest, the target next (CombinationAt).
    return static_cast<std::size_t>(index / static_cast<long long>(plan.seeds.size()) %
                                    static_cast<long long>(plan.targets.size()));
}

std::vector<SweepTarget> RandomTargets(int count, std::uint32_t seed) {
    // mt19937's output is fixed by the standard; the draw from it is done here, not by a
    // distribution whose algorithm differs between libraries.
    std::mt19937 engine(seed);
    constexpr std::uint32_t kSpan = 2 * kMaxTargetOffset + 1;
    constexpr std::uint32_t kLimit = (0xFFFFFFFFu / kSpan) * kSpan;  // rejection keeps the draw uniform
    auto draw = [&engine] {
        std::uint32_t r;
        do r = static_cast<std::uint32_t>(engine()); while (r >= kLimit);
        return static_cast<int>(r % kSpan) - kMaxTargetOffset;
    };
    const double reach = kLink1 + kLink2 + kLink3;
    std::vector<SweepTarget> targets;
    std::set<std::pair<int, int>> seen;
    while (static_cast<int>(targets.size()) < count) {
        const int x = draw();
        const int y = draw();
        if (static_cast<double>(x) * x + static_cast<double>(y) * y > reach * reach) continue;
        if (!seen.insert({x, y}).second) continue;
        targets.push_back({x, y});
    }
    return targets;
}

void SweepStatistics::onGeneration(const GenerationView& view) {
    // The error is the generation's best tip distance, TipDistance of currentPose, the same
    // computation as the optimum's distance, so equality is exact.
    if (result_.improvements.empty() || view.error < result_.improvements.back().second)
        result_.improvements.emplace_back(view.generation, view.error);
    if (result_.firstGenerationWithinEpsilon == 0 && view.error <= epsilon_)
        result_.firstGenerationWithinEpsilon = view.generation;
}

SweepResult RunCombination(const SweepCombination& combination, double optimumDistance, double epsilon,
                           RunBuffers& buffers, const std::atomic<bool>* stop, const char* logDirectory,
                           RunReport* report) {
    SweepResult result;
    result.combination = combination;
    result.improvements.reserve(32);
    const RunSetup setup{combination.params, GeometryFor(combination.target.x, combination.target.y),
                         combination.seed, combination.algorithm};
    SweepStatistics statistics(result, epsilon);
    RunObserver* observers[] = {&statistics};
    RunOutcome outcome;
    RunReport r;
    if (logDirectory) {
        ResultWriter writer(FlushMode::generation);
        r = RunWithFiles(setup, writer, logDirectory, observers, buffers, stop, &outcome);
    } else {
        outcome = RunSolver(setup, observers, buffers, stop);
        r.seed = outcome.seed;
        r.generationsRun = outcome.generationsRun;
        r.stopped = outcome.stopped;
    }
    result.elitePose = outcome.elitePose;
    result.eliteDistance = TipDistance(setup.geometry, outcome.elitePose);
    if (!std::isnan(optimumDistance)) MeasureAgainstOptimum(result, optimumDistance);
    if (report) *report = r;
    return result;
}

void MeasureAgainstOptimum(SweepResult& result, double optimumDistance) {
    result.optimumDistance = optimumDistance;
    result.firstGenerationAtOptimum = 0;
    for (const auto& [generation, error] : result.improvements) {
        if (error <= optimumDistance) {
            result.firstGenerationAtOptimum = generation;
            break;
        }
    }
}

long long RunSweep(const SweepPlan& plan, const SweepOptions& options,
                   const std::function<void(long long index, const SweepResult&)>& done,
                   const std::function<void(const std::string& message)>& logFailure) {
    const long long total = CombinationCount(plan);
    const long long shardRuns =
        total > options.shardIndex ? (total - options.shardIndex + options.shardCount - 1) / options.shardCount : 0;
    if (options.skip >= shardRuns) return 0;
    const int threads = std::max(1, options.threads);
    // Out of memory in a run ends the sweep as a stop does, the runs handed over so far whole.
    std::atomic<bool> outOfMemory{false};

    // The first tasks search the optimum of each target, once; the runs start beside them and are
    // measured against it as they are handed over, after every search.
    const auto targetCount = static_cast<long long>(plan.targets.size());
    const long long targetStride = static_cast<long long>(plan.seeds.size());
    std::vector<double> optimum(plan.targets.size());
    auto indexOf = [&](long long task) { return options.shardIndex + (task - targetCount + options.skip) * options.shardCount; };

    std::mutex mutex;  // guards failures, noted by the workers and told on the calling thread
    std::vector<std::string> failures;
    auto note = [&](std::string message) {
        const std::lock_guard lock(mutex);
        failures.push_back(std::move(message));
    };
    auto tell = [&](const ScheduleProgress&) {
        std::vector<std::string> messages;
        {
            const std::lock_guard lock(mutex);
            messages.swap(failures);
        }
        for (const std::string& m : messages)
            if (logFailure) logFailure(m);
    };
    WorkerBuffers buffers(threads);

    auto run = [&](long long task, int worker) -> std::optional<SweepResult> {
        SweepResult result;
        if (task < targetCount) {
            const SweepTarget& target = plan.targets[static_cast<std::size_t>(task)];
            result.optimumDistance = FindOptimum(kBaseX, kBaseY, kBaseX + target.x, kBaseY - target.y).distance;
            return result;
        }
        const long long index = indexOf(task);
        std::string directory;
        if (!options.logDirectory.empty()) {
            directory = options.logDirectory + "/run-" + std::to_string(index + 1);
            if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST)
                note(directory + ": cannot create: " + std::generic_category().message(errno));
        }
        RunReport report;
        const SweepCombination combination = CombinationAt(plan, index);
        try {
            RunBuffers& mine = buffers[worker];
            result = RunCombination(combination, std::nan(""), plan.epsilon, mine, options.stop,
                                    directory.empty() ? nullptr : directory.c_str(), &report);
            if (report.refused) {  // another process writes that directory's files: run without them
                note(directory + ": another run is writing its result files; this run's were not written");
                result = RunCombination(combination, std::nan(""), plan.epsilon, mine, options.stop, nullptr, &report);
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;  // told after the runs before it
            return std::nullopt;
        }
        if (report.stopped) return std::nullopt;  // an unfinished run is dropped; a resumed sweep runs it again
        for (const ResultFileFailure& f : {report.results, report.fitness}) {
            if (f) note(directory + "/" + f.name + ": " + (f.duringOpen ? "cannot open: " : "write failed: ") +
                        std::generic_category().message(f.error));
        }
        return result;
    };
    long long handed = 0;
    auto take = [&](long long task, SweepResult&& result) {
        if (task < targetCount) {
            optimum[static_cast<std::size_t>(task)] = result.optimumDistance;
            return;
        }
        const long long index = indexOf(task);
        MeasureAgainstOptimum(result, optimum[static_cast<std::size_t>((index / targetStride) % targetCount)]);
        done(index, result);
        ++handed;
    };
    RunInOrder<SweepResult>(targetCount + shardRuns - options.skip, {.threads = threads, .stop = options.stop}, run,
                            take, tell);
    tell({});
    if (outOfMemory && logFailure) logFailure("out of memory: the sweep ends after the runs handed over so far");
    return handed;
}

Proportion WilsonInterval(long long successes, long long trials) {
    Proportion p;
    p.successes = successes;
    p.trials = trials;
    if (trials <= 0) return p;
    constexpr double z = 1.959963984540054;
    const double n = static_cast<double>(trials);
    const double phat = static_cast<double>(successes) / n;
    const double denominator = 1.0 + z * z / n;
    const double centre = (phat + z * z / (2.0 * n)) / denominator;
    const double half = z * std::sqrt(phat * (1.0 - phat) / n + z * z / (4.0 * n * n)) / denominator;
    p.rate = phat;
    // At no successes (or no failures) the bound is 0 (or 1) exactly; the subtraction would leave
    // rounding residue such as 3.5e-18 in the file.
    p.low = successes == 0 ? 0.0 : std::max(0.0, centre - half);
    p.high = successes == trials ? 1.0 : std::min(1.0, centre + half);
    return p;
}

namespace {

template <typename T>
Quartiles QuartilesOfValues(std::vector<T>& values) {
    Quartiles q;
    q.count = static_cast<long long>(values.size());
    if (values.empty()) return q;
    std::sort(values.begin(), values.end());
    auto at = [&values](double p) {
        const double position = (static_cast<double>(values.size()) - 1.0) * p;
        const auto low = static_cast<std::size_t>(std::floor(position));
        const std::size_t high = std::min(low + 1, values.size() - 1);
        const double fraction = position - static_cast<double>(low);
        const auto lowValue = static_cast<double>(values[low]);
        return lowValue + (static_cast<double>(values[high]) - lowValue) * fraction;
    };
    q.q1 = at(0.25);
    q.median = at(0.5);
    q.q3 = at(0.75);
    return q;
}

bool SameSet(const SweepGroupTally& g, const SweepCombination& c) {
    const SolverParams& a = g.params;
    const SolverParams& b = c.params;
    return a.populationSize == b.populationSize && a.generationCount == b.generationCount &&
           a.crossoverRate == b.crossoverRate && a.mutationProbability == b.mutationProbability &&
           g.algorithm == c.algorithm;
}

}  // namespace

Quartiles QuartilesOf(std::vector<double> values) { return QuartilesOfValues(values); }

void AddToTally(SweepTally& tally, const SweepResult& r) {
    const SweepCombination& c = r.combination;
    // Runs come grouped by parameter set in a sweep's order: the last set is nearly always the one.
    auto it = !tally.groups.empty() && SameSet(tally.groups.back(), c)
                  ? tally.groups.end() - 1
                  : std::find_if(tally.groups.begin(), tally.groups.end(),
                                 [&](const SweepGroupTally& g) { return SameSet(g, c); });
    if (it == tally.groups.end()) {
        tally.groups.push_back({c.params, c.algorithm, 0, {}, {}});
        it = tally.groups.end() - 1;
        if (tally.runsPerGroup > 0) it->distances.reserve(static_cast<std::size_t>(tally.runsPerGroup));
    }
    it->reached += r.reachedOptimum() ? 1 : 0;
    it->distances.push_back(r.eliteDistance);
    if (r.firstGenerationWithinEpsilon > 0) it->firstWithin.push_back(r.firstGenerationWithinEpsilon);
}

std::vector<SweepSummaryRow> Summarise(SweepTally&& tally) {
    std::vector<SweepSummaryRow> rows;
    for (SweepGroupTally& g : tally.groups) {
        SweepSummaryRow row;
        row.params = g.params;
        row.algorithm = g.algorithm;
        row.runs = static_cast<long long>(g.distances.size());
        row.ertEvaluations =
            ExpectedRunningTime(row.runs, g.firstWithin, g.params.generationCount, g.params.populationSize);
        row.reached = WilsonInterval(g.reached, row.runs);
        row.withinEpsilon = WilsonInterval(static_cast<long long>(g.firstWithin.size()), row.runs);
        row.eliteDistance = QuartilesOfValues(g.distances);
        row.firstWithinEpsilon = QuartilesOfValues(g.firstWithin);
        g.distances = {};
        g.firstWithin = {};
        rows.push_back(row);
    }
    return rows;
}

std::vector<SweepSummaryRow> Summarise(const std::vector<SweepResult>& results) {
    SweepTally tally;
    for (const SweepResult& r : results) AddToTally(tally, r);
    return Summarise(std::move(tally));
}

}  // namespace kelvora
