#pragma once
// One search of the window, run on a thread of its own. The worker owns the run's buffers and its
// result files; the window sees the run only through the snapshots it posts.

#include <atomic>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <functional>
#include <optional>
#include <string>

#include <vector>

#include <QList>

#include "analysis/diversity.h"
#include "io/run_record.h"
#include "common/solverstate.h"

namespace kelvora::ui {

/// What the window shows of a run at one moment, copied out of the worker's state.
struct RunSnapshot {
    int generation = 0;                  ///< generations finished, 1..generationCount
    double error = 0.0;                  ///< px from that generation's best tip to the target
    kelvora::ArmPose currentPose{};      ///< best pose of that generation
    kelvora::ArmPose elitePose{};        ///< best pose of the run so far
    double eliteFitness = 0.0;           ///< its fitness, in (0, 1]
    double eliteDistance = 0.0;          ///< its tip's distance to the target, px
    int firstRow = 0;                    ///< history index of rows.first()
    QList<kelvora::GenerationStat> rows; ///< history rows not posted before, firstRow..generation-1
    QList<std::uint64_t> resultsEnds;    ///< for the same generations: results.csv bytes after each
    QList<kelvora::ArmPose> bests;       ///< for the same generations: each one's best pose
    /// For the same generations, while the window asked for them (RunChannel::wantDiversity): each
    /// one's diversity (distinct 0 where it was not measured); else empty.
    QList<kelvora::Diversity> diversity;
    int populationSize = 0;              ///< individuals per generation
    /// The latest generation's individuals, when the window asked for them (RunChannel::wantPopulation),
    /// else empty: genes and fitness index for index.
    std::vector<kelvora::Chromosome> population;
    std::vector<double> fitness;
};

/// The end of a run: its report and the state the window keeps of it.
struct RunResult {
    kelvora::RunReport report;
    int generation = 0;                  ///< generations finished and logged (their rows came in the snapshots)
    double eliteFitness = 0.0;
    kelvora::ArmPose elitePose{};
    kelvora::ArmPose currentPose{};
    double eliteDistance = 0.0;          ///< px
    /// "" or why run.json could not be written beside the files (a refused run writes none).
    std::string recordError;
    /// The run's record, as run.json holds it (filled also when it could not be written; empty for
    /// a refused run): the command that repeats the run is made from it.
    kelvora::RunRecord record;
};

/// What the window and a run's worker share: the stop request, the pace of the snapshots and a
/// mailbox for what the run hands over. Both hold it by shared_ptr, so whichever lets go last frees
/// it. The worker deposits each snapshot and the run's end in the mailbox and only then wakes the
/// window, which takes them out under the same mutex: the hand-over is this mutex, not Qt's queue
/// or pool, so a ThreadSanitizer build sees it even with a Qt that is not built for it.
struct RunChannel {
    /// Asks the run to end after the generation it is in, and wakes a worker waiting for the
    /// window (every generation's mode). Safe on any thread.
    void requestStop();
    /// The window has done with the snapshots posted so far: the next may be posted, and a worker
    /// posting every generation goes on. Safe on any thread.
    void markHandled();
    /// The worker's side: snapshot into the mailbox, counted as posted.
    void deposit(RunSnapshot snapshot);
    /// The window's side: every snapshot deposited and not yet taken, oldest first.
    std::vector<RunSnapshot> takeSnapshots();
    /// The worker's side, last: the run's end.
    void depositResult(RunResult result);
    /// The window's side: the run's end once deposited (then only once), else nullopt.
    std::optional<RunResult> takeResult();
    /// The thread that made the worker lets go of it, and the run's thread takes it: the pair of
    /// locks that orders the worker's setup before its run.
    void release();
    void acquire();

    std::atomic<bool> stop{false};
    /// A snapshot has been posted and the window has not done with it yet.
    std::atomic<bool> snapshotPending{false};
    /// The window shows the population layer: snapshots carry the generation's individuals.
    std::atomic<bool> wantPopulation{false};
    /// The window shows the diversity chart: the worker measures every generation's diversity.
    std::atomic<bool> wantDiversity{false};
    std::mutex handOver;                 ///< guards the counts and the mailbox
    long long announced = 0;             ///< snapshots posted
    long long handled = 0;               ///< of them, those the window has done with
    std::condition_variable handledChanged;
    std::vector<RunSnapshot> snapshots;  ///< deposited, not yet taken
    std::optional<RunResult> result;     ///< deposited, not yet taken
};

/// Runs RunSolver for one set of parameters when run() is called (on a worker thread) and deposits
/// each snapshot in its channel's mailbox, then calls the sink to wake the window: at most one every kSnapshotInterval ms and never while the
/// previous one has not been handled, or after every generation when setEveryGeneration(true); the
/// last finished generation always. When the run has closed both files (stopped or failed too, but
/// not refused), it writes run.json beside them, program "kelvora", and returns the run's end.
/// Once the run has started, only the channel is touched from other threads.
class RunWorker {
public:
    /// Least time between two snapshots, in ms: about 30 a second.
    static constexpr int kSnapshotInterval = 33;
    /// Called on the worker's thread after each snapshot has been deposited in the channel.
    using Sink = std::function<void()>;

    /// A run of params with algorithm's operators (which must suit params' population) for
    /// geometry with seed.
    RunWorker(const kelvora::Geometry& geometry, const kelvora::SolverParams& params, std::uint32_t seed,
              const kelvora::Algorithm& algorithm);
    ~RunWorker();

    /// Post every generation, not at most ~30 a second. Set before the run starts.
    void setEveryGeneration(bool every) { m_everyGeneration = every; }
    /// What wakes the window for a deposited snapshot. Set before the run starts.
    void setSink(Sink sink) { m_sink = std::move(sink); }
    /// The run's channel; take it before the run starts.
    const std::shared_ptr<RunChannel>& channel() const { return m_channel; }

    /// The whole run, on the calling thread, after the channel's acquire(); after the last snapshot
    /// has been deposited. Its end comes back; the window's run deposits it in the channel too.
    RunResult run();

private:
    class Observer;
    RunSnapshot makeSnapshot(const kelvora::GenerationView& view);
    void measureDiversity(const kelvora::GenerationView& view);
    void post(RunSnapshot snapshot);

    kelvora::RunSetup m_setup;
    std::unique_ptr<kelvora::RunBuffers> m_buffers;
    std::unique_ptr<kelvora::ResultWriter> m_writer;
    bool m_everyGeneration = false;
    int m_rowsPosted = 0;
    // Of the generations finished since the last snapshot (the window holds the earlier ones):
    QList<kelvora::GenerationStat> m_rows;  ///< each one's best and average fitness
    QList<std::uint64_t> m_resultsEnds;     ///< results.csv bytes after each
    QList<kelvora::ArmPose> m_bests;        ///< each one's best pose
    QList<kelvora::Diversity> m_diversity;  ///< each one's diversity, while wanted
    std::unique_ptr<kelvora::DiversityScratch> m_scratch;
    std::vector<std::uint32_t> m_genotypes;
    Sink m_sink;
    std::shared_ptr<RunChannel> m_channel;
};

}  // namespace kelvora::ui
