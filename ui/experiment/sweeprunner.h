#pragma once
// Runs an experiment's sweeps off the GUI thread on the core's scheduler: the plans' runs taken
// round by round (the first seed of every plan, then the second ...), each exactly the run
// kelvora-cli sweep makes of that combination, and posted to the window by value in whole rounds.

#include <memory>
#include <vector>

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>

#include "batch/sweep.h"

namespace kelvora::ui {

/// One finished run of a plan: the plan's position in the list given to start() and the result.
struct FinishedRun {
    int plan = 0;
    long long index = 0;  ///< the run's 0-based combination index within its plan
    kelvora::SweepResult result;
};

/// What one handover carries: the runs of the rounds completed since the last one.
struct SweepBatch {
    /// Round by round; within a round plan by plan, each plan's runs in combination order.
    std::vector<FinishedRun> runs;
    int rounds = 0;          ///< rounds (seeds) complete so far, these included
    long long finished = 0;  ///< runs finished so far, those of incomplete rounds too
};

class SweepRunner : public QObject {
    Q_OBJECT

public:
    /// Least time between two handovers, in ms: about 20 a second at most.
    static constexpr int kHandoverInterval = 50;

    explicit SweepRunner(QObject* parent = nullptr);
    /// shutdown().
    ~SweepRunner() override;

    /// Runs plans on threads workers (>= 1). Every plan has the same seeds, in the same order; a
    /// round is one seed of every plan, all its other combinations (targets) included. Does nothing
    /// while a sweep goes.
    void start(std::vector<kelvora::SweepPlan> plans, int threads);
    /// No run starts any more; runs under way stop after their current generation and are dropped,
    /// and so are the runs of rounds not complete. Safe to call at any time.
    void cancel();
    /// cancel(), then waits for the sweep's work (the scheduler's hand-over and a generation of each
    /// run under way); after it nothing is handed over or emitted any more.
    void shutdown();
    /// From start() until finished() has been emitted.
    bool isRunning() const { return m_running; }

signals:
    /// Complete rounds finished since the last batch (at most one batch every kHandoverInterval ms);
    /// the receiver (connected directly) may move the runs out.
    void batchTaken(kelvora::ui::SweepBatch& batch);
    /// Every round has run or the sweep was cancelled; every complete round has been handed over.
    void finished(bool cancelled);

private:
    struct Shared;
    void end();

    QPointer<QFutureWatcher<void>> m_work;  ///< the sweep going, or null
    std::shared_ptr<Shared> m_shared;       ///< of the sweep going
    bool m_running = false;
};

}  // namespace kelvora::ui
