#pragma once
// Sweeps: every combination of parameter lists, targets and seeds, each one an ordinary run, run on
// several threads at once, and the statistics of their outcomes.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ga/run.h"
#include "io/result_files.h"

namespace kelvora {

/// A target relative to the base, x right, y up, each -kMaxTargetOffset..kMaxTargetOffset pixels.
struct SweepTarget {
    int x = 0;
    int y = 0;
    friend bool operator==(const SweepTarget&, const SweepTarget&) = default;
};

/// What a sweep runs: every algorithm x population x generations x crossover x mutation x target x
/// seed, in that nesting order (the seed varies fastest). Every list must be non-empty and hold valid values.
struct SweepPlan {
    /// Outermost, varying slowest: a plan of the classic algorithm alone numbers its runs as a plan
    /// without this list did. Each must suit every population (ValidateAlgorithm).
    std::vector<Algorithm> algorithms{Algorithm{}};
    std::vector<int> populations;       ///< 1..kMaxPopulation each
    std::vector<int> generations;       ///< 1..kMaxGenerations each
    std::vector<double> crossovers;     ///< 0.001..1 each
    std::vector<double> mutations;      ///< 0..1 each
    std::vector<SweepTarget> targets;   ///< relative to the base
    std::vector<std::uint32_t> seeds;   ///< generator seeds
    double epsilon = kDefaultEpsilon;   ///< pixels, 0 < epsilon <= kMaxEpsilon; a generation whose best tip is this close counts as within
};

/// One combination of a plan: the run's parameters, target and seed.
struct SweepCombination {
    SolverParams params;
    SweepTarget target;
    std::uint32_t seed = 0;
    Algorithm algorithm;
};

/// Number of combinations in plan (the product of the list sizes).
long long CombinationCount(const SweepPlan& plan);

/// Combination number index (0-based, < CombinationCount) in the plan's nesting order.
SweepCombination CombinationAt(const SweepPlan& plan, long long index);
/// The position in plan.targets of combination number index's target (0-based, < CombinationCount).
std::size_t TargetIndexAt(const SweepPlan& plan, long long index);

/// The outcome of one run of a sweep. Generations count from 1, as the progress callback counts them;
/// 0 means the run never got there.
struct SweepResult {
    SweepCombination combination;
    ArmPose elitePose{};             ///< best pose of the run (earliest wins ties)
    double eliteDistance = 0.0;      ///< pixels from the elite's tip to the target
    double optimumDistance = 0.0;    ///< pixels from the best pose of all 256^3 to the target
    int firstGenerationAtOptimum = 0;       ///< first generation whose best tip is as close as the optimum's
    int firstGenerationWithinEpsilon = 0;   ///< first generation whose best tip is within epsilon
    /// Each generation whose best tip came closer than every earlier one's: (generation, pixels).
    /// The first generation within any distance is among them, so the optimum may come later.
    std::vector<std::pair<int, double>> improvements;
    bool reachedOptimum() const { return firstGenerationAtOptimum > 0; }
};

/// Sets optimumDistance and firstGenerationAtOptimum from the run's improvements.
void MeasureAgainstOptimum(SweepResult& result, double optimumDistance);

/// Draws count distinct targets with integer coordinates inside the arm's reach circle (x^2 + y^2
/// <= 200^2, each within the plot) from seed, the same ones for the same seed on any machine.
std::vector<SweepTarget> RandomTargets(int count, std::uint32_t seed);

/// How a sweep runs.
struct SweepOptions {
    int threads = 1;                 ///< worker threads, >= 1
    long long shardIndex = 0;        ///< run only combinations with index % shardCount == shardIndex
    long long shardCount = 1;        ///< >= 1
    long long skip = 0;              ///< the shard's first skip combinations are done already (resuming)
    /// Raised (by a signal handler, say): no new run starts, runs under way stop after their current
    /// generation and are dropped. May be nullptr.
    const std::atomic<bool>* stop = nullptr;
    /// Directory for each run's two result files, one subdirectory per run named "run-<index+1>";
    /// empty: no files at all.
    std::string logDirectory{};
};

/// Runs the plan's combinations of this shard, from the skip-th on, on options.threads threads of
/// the scheduler (RunInOrder, batch/scheduler.h), and hands every finished result to done on the
/// calling thread, in combination order, never in completion order; at most 4096 + 64 a thread
/// finished results wait for the hand-over. Each run is exactly RunSolver's with that seed, those
/// parameters and that target.
/// Returns the number of results handed over: fewer than the shard holds only when stopped.
/// Log directories that cannot be written are reported through logFailure (on the calling thread).
long long RunSweep(const SweepPlan& plan, const SweepOptions& options,
                   const std::function<void(long long index, const SweepResult&)>& done,
                   const std::function<void(const std::string& message)>& logFailure = {});

/// The sweep's statistics of one run, as an observer: each improvement of the generation's best
/// distance and the first generation within epsilon. Nothing is allocated after the first 32
/// improvements' room.
class SweepStatistics final : public RunObserver {
public:
    /// result's improvements and firstGenerationWithinEpsilon are filled as the run goes; epsilon in px.
    SweepStatistics(SweepResult& result, double epsilon) : result_(result), epsilon_(epsilon) {}
    void onGeneration(const GenerationView& view) override;

private:
    SweepResult& result_;
    double epsilon_;
};

/// Runs one combination exactly as kelvora-cli runs it (base kBaseX, kBaseY) and measures it
/// against the optimum's distance (pixels; NaN: not yet known, see MeasureAgainstOptimum) and
/// epsilon (pixels). buffers are the caller's own, one per thread. logDirectory: an existing
/// directory for the two result files, written a generation at a time; nullptr: no files. stop as
/// in SweepOptions. report, when given, receives the run's report (stopped, refused, file failures).
SweepResult RunCombination(const SweepCombination& combination, double optimumDistance, double epsilon,
                           RunBuffers& buffers, const std::atomic<bool>* stop = nullptr,
                           const char* logDirectory = nullptr, RunReport* report = nullptr);

/// The buffers of a schedule's workers (RunInOrder's worker 0..threads-1), each made at its
/// worker's first run: one worker's runs take turns with its own, large, set.
class WorkerBuffers {
public:
    explicit WorkerBuffers(int threads) : buffers_(static_cast<std::size_t>(std::max(1, threads))) {}
    /// Worker worker's buffers (0 <= worker < threads); call only on that worker.
    RunBuffers& operator[](int worker) {
        std::unique_ptr<RunBuffers>& mine = buffers_[static_cast<std::size_t>(worker)];
        if (!mine) mine = std::make_unique<RunBuffers>();
        return *mine;
    }

private:
    std::vector<std::unique_ptr<RunBuffers>> buffers_;
};

/// A proportion with its Wilson score 95% interval (z = 1.959963984540054).
struct Proportion {
    long long successes = 0;
    long long trials = 0;
    double rate = 0.0;   ///< successes / trials, 0 without trials
    double low = 0.0;    ///< interval bounds in [0, 1]
    double high = 0.0;
};
Proportion WilsonInterval(long long successes, long long trials);

/// Median and quartiles by linear interpolation between order statistics (position (n - 1) p).
struct Quartiles {
    long long count = 0;  ///< values summarised; the rest are 0 when count is 0
    double q1 = 0.0;
    double median = 0.0;
    double q3 = 0.0;
    double iqr() const { return q3 - q1; }
};
Quartiles QuartilesOf(std::vector<double> values);

/// One parameter set's statistics, over all its targets and seeds.
struct SweepSummaryRow {
    SolverParams params;
    Algorithm algorithm;
    long long runs = 0;
    Proportion reached;          ///< reached the optimum
    Proportion withinEpsilon;    ///< came within epsilon of the target
    Quartiles eliteDistance;
    Quartiles firstWithinEpsilon;  ///< over the runs that came within epsilon
    /// Expected running time in evaluations (see ExpectedRunningTime): +infinity when no run came within epsilon.
    double ertEvaluations = 0.0;
};

/// One parameter set's outcomes so far: 8 bytes a run, and 4 more for a run that came within epsilon.
struct SweepGroupTally {
    SolverParams params;
    Algorithm algorithm;
    long long reached = 0;               ///< runs that reached the optimum
    std::vector<double> distances;       ///< each run's elite distance, pixels
    std::vector<int> firstWithin;        ///< first generation within epsilon (>= 1) of each run that came there
};

/// A sweep's summary gathered run by run, without keeping the runs' results: what a summary row
/// needs of each run and nothing more, so that a sweep of 10^7 runs keeps about 120 MB.
struct SweepTally {
    std::vector<SweepGroupTally> groups;  ///< in the order the parameter sets first appear
    long long runsPerGroup = 0;           ///< expected runs of each set (room reserved at once), 0: unknown
};

/// Adds one run's outcome to its parameter set's tally (a new set goes last).
void AddToTally(SweepTally& tally, const SweepResult& result);

/// The statistics of each parameter set of the tally, in its order; the tally's values are used up.
std::vector<SweepSummaryRow> Summarise(SweepTally&& tally);

/// Groups results by parameter set, in the order the sets first appear.
std::vector<SweepSummaryRow> Summarise(const std::vector<SweepResult>& results);

}  // namespace kelvora
