#include "batch/sweep.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <system_error>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "analysis/optimum.h"
#include "batch/runlength.h"

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
    // Out of memory in a worker ends the sweep as a stop does, the runs handed over so far whole.
    std::atomic<bool> outOfMemory{false};
    auto stopped = [&options, &outOfMemory] {
        return (options.stop && options.stop->load(std::memory_order_relaxed)) ||
               outOfMemory.load(std::memory_order_relaxed);
    };

    const long long targetStride = static_cast<long long>(plan.seeds.size());
    auto targetOf = [&](long long index) {
        return static_cast<std::size_t>((index / targetStride) % static_cast<long long>(plan.targets.size()));
    };

    std::mutex mutex;
    std::condition_variable ready;
    std::condition_variable room;
    std::map<long long, SweepResult> finished;  // by position in the shard, until handed over in order
    // Runs that finished before one still under way wait here; past this many no new run starts, so
    // memory stays bounded when the runs outpace the hand-over.
    const std::size_t kMaxWaiting = 4096 + 64 * static_cast<std::size_t>(threads);
    std::vector<std::string> failures;
    // The optimum of each target is searched once, by whichever thread takes that task; the tasks
    // come first in the queue, but runs start beside them and are measured against it at hand-over.
    const auto targetCount = static_cast<long long>(plan.targets.size());
    std::vector<double> optimum(plan.targets.size());
    std::vector<char> optimumReady(plan.targets.size(), 0);
    int working = threads;
    std::atomic<long long> next{0};

    // Finished runs a worker has not handed to `finished` yet, and their number there (read without
    // the lock, to know when to wait for room).
    std::atomic<std::size_t> waiting{0};
    // A worker gathers its finished runs and moves them over under one lock once they come to about
    // this many evaluations (a millisecond's work or less), so that short runs do not take the lock
    // one by one; a run with files moves over at once.
    constexpr long long kBatchEvaluations = 1LL << 16;

    auto work = [&] {
        auto buffers = std::make_unique<RunBuffers>();
        std::vector<std::pair<long long, SweepResult>> gathered;
        long long gatheredEvaluations = 0;
        auto handOver = [&] {
            if (gathered.empty()) return;
            std::lock_guard lock(mutex);
            for (auto& [position, result] : gathered) finished.emplace(position, std::move(result));
            waiting.store(finished.size(), std::memory_order_relaxed);
            gathered.clear();
            gatheredEvaluations = 0;
        };
        for (;;) {
            if (stopped()) break;
            if (waiting.load(std::memory_order_relaxed) >= kMaxWaiting) {
                // Tasks are taken in order, so the run the hand-over waits for is taken already; it
                // may be among this worker's own, which go over before it waits.
                handOver();
                std::unique_lock lock(mutex);
                while (finished.size() >= kMaxWaiting && !stopped()) {
                    ready.notify_one();  // the hand-over has work at once
                    room.wait_for(lock, std::chrono::milliseconds(20));
                }
            }
            if (stopped()) break;
            const long long task = next.fetch_add(1);
            if (task < targetCount) {
                const SweepTarget& target = plan.targets[static_cast<std::size_t>(task)];
                const double distance = FindOptimum(kBaseX, kBaseY, kBaseX + target.x, kBaseY - target.y).distance;
                std::lock_guard lock(mutex);
                optimum[static_cast<std::size_t>(task)] = distance;
                optimumReady[static_cast<std::size_t>(task)] = 1;
                ready.notify_one();
                continue;
            }
            const long long position = task - targetCount + options.skip;
            if (position >= shardRuns) break;
            const long long index = options.shardIndex + position * options.shardCount;
            std::string directory;
            if (!options.logDirectory.empty()) {
                directory = options.logDirectory + "/run-" + std::to_string(index + 1);
                if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) {
                    const std::string message = directory + ": cannot create: " + std::generic_category().message(errno);
                    std::lock_guard lock(mutex);
                    failures.push_back(message);
                }
            }
            RunReport report;
            const SweepCombination combination = CombinationAt(plan, index);
            const long long evaluations =
                static_cast<long long>(combination.params.populationSize) * combination.params.generationCount;
            // The runs gathered go over before one that would hold them past the batch's worth of
            // work: a short run never waits for a long one to be handed over.
            if (gatheredEvaluations + evaluations > kBatchEvaluations) handOver();
            SweepResult result = RunCombination(combination, std::nan(""), plan.epsilon, *buffers, options.stop,
                                                directory.empty() ? nullptr : directory.c_str(), &report);
            if (report.refused) {  // another process writes that directory's files: run without them
                {
                    std::lock_guard lock(mutex);
                    failures.push_back(directory + ": another run is writing its result files; this run's were not written");
                }
                result = RunCombination(combination, std::nan(""), plan.epsilon, *buffers, options.stop, nullptr, &report);
            }
            if (report.stopped) break;  // an unfinished run is dropped; a resumed sweep runs it again
            if (report.results || report.fitness) {
                std::lock_guard lock(mutex);
                for (const ResultFileFailure& f : {report.results, report.fitness}) {
                    if (f) failures.push_back(directory + "/" + f.name + ": " +
                                              (f.duringOpen ? "cannot open: " : "write failed: ") +
                                              std::generic_category().message(f.error));
                }
            }
            // No wake-up per run: the calling thread looks every few milliseconds, so a short run
            // does not pay for a context switch.
            gathered.emplace_back(position, std::move(result));
            gatheredEvaluations += evaluations;
            if (gatheredEvaluations >= kBatchEvaluations || !directory.empty()) handOver();
        }
        handOver();  // whatever way the loop ended, the finished runs go over
    };
    auto worker = [&] {
        // Signals are the calling thread's: a handler never runs in the middle of a worker's run.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        try {
            work();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;  // told by the hand-over, which has its message ready
        }
        std::lock_guard lock(mutex);
        --working;
        ready.notify_one();
    };

    std::vector<std::thread> pool;

    long long handed = 0;
    long long expected = options.skip;
    auto indexOf = [&](long long position) { return options.shardIndex + position * options.shardCount; };
    auto handable = [&] {
        const auto it = finished.find(expected);
        return it != finished.end() && optimumReady[targetOf(indexOf(expected))];
    };
    const std::string outOfMemoryMessage = "out of memory: the sweep ends after the runs handed over so far";
    bool toldOutOfMemory = false;
    std::unique_lock lock(mutex, std::defer_lock);
    // Out of memory here (or in done) ends the workers before it goes on to the caller.
    struct JoinOnExit {
        std::vector<std::thread>& pool;
        std::atomic<bool>& end;
        std::unique_lock<std::mutex>& lock;
        ~JoinOnExit() {
            if (lock.owns_lock()) lock.unlock();
            if (std::uncaught_exceptions() > 0) end = true;
            for (std::thread& t : pool)
                if (t.joinable()) t.join();
        }
    } joinOnExit{pool, outOfMemory, lock};
    for (int i = 0; i < threads; ++i) {
        try {
            pool.emplace_back(worker);
        } catch (const std::system_error&) {  // no room for another thread: the sweep runs on fewer
            if (pool.empty()) throw;
            const std::lock_guard hold(mutex);
            working -= threads - i;
            break;
        }
    }
    lock.lock();
    for (;;) {
        ready.wait_for(lock, std::chrono::milliseconds(20),
                       [&] { return !failures.empty() || handable() || working == 0; });
        std::vector<std::string> messages = std::move(failures);
        failures.clear();
        std::vector<std::pair<long long, SweepResult>> batch;
        while (handable()) {
            const auto it = finished.find(expected);
            const long long index = indexOf(expected);
            MeasureAgainstOptimum(it->second, optimum[targetOf(index)]);
            batch.emplace_back(index, std::move(it->second));
            finished.erase(it);
            ++expected;
            waiting.store(finished.size(), std::memory_order_relaxed);
        }
        const bool over = working == 0 && batch.empty() && messages.empty();
        if (!batch.empty()) room.notify_all();
        lock.unlock();
        for (const std::string& m : messages)
            if (logFailure) logFailure(m);
        for (const auto& [index, result] : batch) {
            done(index, result);
            ++handed;
        }
        if (outOfMemory && !toldOutOfMemory && logFailure) logFailure(outOfMemoryMessage);
        toldOutOfMemory = toldOutOfMemory || outOfMemory;
        lock.lock();
        if (over) break;
    }
    lock.unlock();
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
