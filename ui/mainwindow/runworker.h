#pragma once
// One search of the window, run on a thread of its own. The worker owns the run's buffers and its
// result files; the window sees the run only through the snapshots it posts.

#include <atomic>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include <vector>

#include <QList>
#include <QObject>

#include "io/run_record.h"
#include "mainwindow/solverstate.h"

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
    /// The latest generation's individuals, when the window asked for them (RunChannel::wantPopulation),
    /// else empty: genes and fitness index for index.
    std::vector<kelvora::Chromosome> population;
    std::vector<double> fitness;
};

/// The end of a run: its report and the state the window keeps of it.
struct RunResult {
    kelvora::RunReport report;
    int generation = 0;                  ///< generations finished and logged
    std::array<kelvora::GenerationStat, kelvora::kMaxGenerations> history{};  ///< rows 0..generation-1
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

/// What the window and a run's worker share, and all they share: the stop request, and the
/// snapshots and the end handed over under a mutex. Both hold it by shared_ptr, so whichever lets
/// go last frees it, and nothing the worker writes is read by another thread without the mutex.
struct RunChannel {
    /// Asks the run to end after the generation it is in, and wakes a worker waiting for the
    /// window (every generation's mode). Safe on any thread.
    void requestStop();
    /// The window has done with the snapshots announced so far: a worker posting every generation
    /// goes on. Safe on any thread.
    void markHandled();
    /// The snapshot announced last, if not taken yet; the next one may then be announced.
    std::optional<RunSnapshot> takeSnapshot();
    /// The run's end, once the worker's finished() has come (once; nullopt after).
    std::optional<RunResult> takeResult();

    std::atomic<bool> stop{false};
    std::atomic<bool> snapshotPending{false};
    /// The window shows the population layer: snapshots carry the generation's individuals.
    std::atomic<bool> wantPopulation{false};
    std::mutex handOver;                 ///< guards snapshot, result and the counts
    std::optional<RunSnapshot> snapshot;
    std::unique_ptr<RunResult> result;
    long long announced = 0;             ///< snapshots announced
    long long handled = 0;               ///< of them, those the window has done with
    std::condition_variable handledChanged;
};

/// Runs RunSolver for one set of parameters when run() is called (on the worker's thread) and
/// announces snapshots through snapshotReady(), to be fetched from channel(): at most one every
/// kSnapshotInterval ms and never while the previous one has not been taken, or after every
/// generation when setEveryGeneration(true). When the run has closed both files (stopped or failed
/// too, but not refused), it writes run.json beside them, program "kelvora". finished() comes once,
/// after the last snapshot and run.json; the channel then holds the run's end. Once the run has started, only the channel is touched from
/// other threads; the worker is best deleted on its own thread (QThread::finished to deleteLater).
class RunWorker : public QObject {
    Q_OBJECT

public:
    /// Least time between two snapshots, in ms: about 30 a second.
    static constexpr int kSnapshotInterval = 33;

    /// A run of params with algorithm's operators (which must suit params' population) for
    /// geometry with seed.
    RunWorker(const kelvora::Geometry& geometry, const kelvora::SolverParams& params, std::uint32_t seed,
              const kelvora::Algorithm& algorithm, QObject* parent = nullptr);
    ~RunWorker() override;

    /// Post every generation, not at most ~30 a second. Set before the run starts.
    void setEveryGeneration(bool every) { m_everyGeneration = every; }
    /// The run's channel; take it before the run starts.
    const std::shared_ptr<RunChannel>& channel() const { return m_channel; }

public slots:
    void run();

signals:
    void snapshotReady();
    void finished();

private:
    class Observer;
    RunSnapshot makeSnapshot(const kelvora::GenerationView& view);
    void post(RunSnapshot snapshot);

    kelvora::RunSetup m_setup;
    std::unique_ptr<kelvora::RunBuffers> m_buffers;
    std::unique_ptr<kelvora::ResultWriter> m_writer;
    bool m_everyGeneration = false;
    int m_rowsPosted = 0;
    std::vector<kelvora::GenerationStat> m_history;  ///< every finished generation's best and average
    QList<std::uint64_t> m_resultsEnds;  ///< results.csv bytes after each finished generation
    QList<kelvora::ArmPose> m_bests;     ///< each finished generation's best pose
    std::shared_ptr<RunChannel> m_channel;
};

}  // namespace kelvora::ui
