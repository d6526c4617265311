#pragma once
// Runs an experiment's sweeps off the GUI thread: one sweep plan after another on a thread of its
// own, each on every core, its finished runs gathered for the window to take in batches.

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <QObject>

#include "batch/sweep.h"

class QTimer;

namespace kelvora::ui {

/// One finished run of a plan: the plan's position in the list given to start() and the result.
struct FinishedRun {
    int plan = 0;
    long long index = 0;  ///< the run's 0-based combination index within its plan
    kelvora::SweepResult result;
};

class SweepRunner : public QObject {
    Q_OBJECT

public:
    explicit SweepRunner(QObject* parent = nullptr);
    /// Stops the sweep and waits for its thread.
    ~SweepRunner() override;

    /// Runs plans in order on threads worker threads (>= 1). Does nothing while a sweep goes.
    void start(std::vector<kelvora::SweepPlan> plans, int threads);
    /// No run starts any more; runs under way are dropped, finished ones are still handed over.
    void cancel();
    bool isRunning() const { return m_thread.joinable(); }

signals:
    /// Runs finished since the last batch, in each plan's combination order (about 20 a second at most).
    void runsFinished(const std::vector<kelvora::ui::FinishedRun>& runs);
    /// Every plan has run or the sweep was cancelled; every finished run has been handed over.
    void finished(bool cancelled);

private:
    void drain();

    QTimer* m_timer;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::mutex m_mutex;
    std::vector<FinishedRun> m_pending;  ///< guarded by m_mutex
};

}  // namespace kelvora::ui
