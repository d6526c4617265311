#pragma once
// One search of the window, run on a thread of its own. The worker owns the run's SolverState,
// population and scratch; the window sees the run only through the snapshots it posts.

#include <atomic>
#include <memory>

#include <QList>
#include <QObject>

#include "solver.h"

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
};
Q_DECLARE_METATYPE(RunSnapshot)
Q_DECLARE_METATYPE(kelvora::RunReport)

/// Runs RunSolver for one set of parameters when run() is called (on the worker's thread) and
/// posts snapshots through progressed(): at most one every kSnapshotInterval ms and never while the
/// previous one has not been taken (snapshotTaken()), or after every generation when
/// setEveryGeneration(true). finished() comes once, after the last snapshot.
class RunWorker : public QObject {
    Q_OBJECT

public:
    /// Least time between two snapshots, in ms: about 30 a second.
    static constexpr int kSnapshotInterval = 33;

    /// A run of params for the base, target and poses of start (its other fields are not read).
    RunWorker(const kelvora::SolverState& start, const kelvora::SolverParams& params, QObject* parent = nullptr);
    ~RunWorker() override;

    /// Post every generation, not at most ~30 a second. Set before the run starts.
    void setEveryGeneration(bool every) { m_everyGeneration = every; }
    /// Asks the run to end after the generation it is in. Safe on any thread.
    void requestStop() { m_stop.store(true, std::memory_order_release); }
    bool stopRequested() const { return m_stop.load(std::memory_order_acquire); }
    /// The receiver has taken the last snapshot: the next one may be posted. Safe on any thread.
    void snapshotTaken() { m_snapshotPending.store(false, std::memory_order_release); }

    /// The run's state; read it only after finished() has come.
    const kelvora::SolverState& state() const { return *m_state; }

public slots:
    void run();

signals:
    void progressed(const RunSnapshot& snapshot);
    void finished(const kelvora::RunReport& report);

private:
    RunSnapshot takeSnapshot(int generation, double error);

    std::unique_ptr<kelvora::SolverState> m_state;
    std::unique_ptr<kelvora::RunBuffers> m_buffers;
    kelvora::SolverParams m_params;
    bool m_everyGeneration = false;
    int m_rowsPosted = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_snapshotPending{false};
};
