#pragma once
// The main window's run: the search on a thread of its own (RunWorker), its stop,
// its snapshots (deposited in the run's channel, taken on the window's thread) taken into what the
// window shows (SolverModel), and the window's input swallowed while it goes.

#include <cstdint>
#include <memory>
#include <thread>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "ga/run.h"
#include "mainwindow/runworker.h"

class QCursor;
class QWidget;

namespace kelvora::ui {

class SolverModel;

class RunController : public QObject {
    Q_OBJECT

public:
    /// Runs for window, whose input it swallows during a run, writing state from the run's
    /// snapshots and end; restCursor is the cursor the window gets back after the busy one. All
    /// three outlive the controller.
    RunController(QWidget* window, SolverModel& model, const QCursor& restCursor);
    /// Stops a run that is still going and waits for its thread.
    ~RunController() override;

    /// A run is going (from start until runEnded has been emitted).
    bool isRunning() const { return m_running; }

    /// Starts params with algorithm's operators on state's geometry with seed on a thread of its own
    /// and returns at once: "" then. everyGeneration (tests): the worker posts every generation and
    /// waits until it has been taken. wantPopulation: snapshots carry the generation's individuals.
    /// When the run cannot start (no descriptors left for its files and thread, no memory for its
    /// buffers), returns the cause in the window's words; nothing has started then and
    /// the window takes input as before.
    QString start(const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm, std::uint32_t seed,
                  bool everyGeneration, bool wantPopulation);

    /// Descriptors a run needs free as it starts: its two result files, run.json as it ends, and
    /// the replay's reading of results.csv afterwards.
    static constexpr int kRunDescriptors = 4;
    /// Asks the run going, if any, to stop after its current generation.
    void requestStop();
    /// From the run's next snapshot on, its individuals come with it (or no longer).
    void setWantPopulation(bool want);
    /// Whether the snapshots of this and later runs carry each generation's diversity.
    void setWantDiversity(bool want);

    /// A run that has gone this long, in ms, shows the busy cursor over the window.
    static constexpr int kLiveInterval = 33;

signals:
    /// A newer generation of the run is in the state (poses, generation, history rows).
    void snapshotTaken(const kelvora::ui::RunSnapshot& snapshot);
    /// The run has ended: its final state is in the state (unless it was refused), its thread is
    /// gone, the window takes input again and has its cursor back.
    void runEnded(const kelvora::ui::RunResult& result);
    /// Escape was pressed on the window during the run, which has been asked to stop.
    void escapeStopped();

private:
    /// Takes every snapshot the run has deposited in its channel (the worker's wake-up, by name).
    Q_INVOKABLE void takeSnapshots();
    void takeSnapshot(const RunSnapshot& snapshot);
    /// The run's end is in its channel (the run's thread wakes this by name as it goes).
    Q_INVOKABLE void onRunFinished();
    void dropLateInput();

    QWidget* m_window;
    SolverModel& m_model;
    const QCursor& m_restCursor;
    kelvora::SolverParams m_params;      ///< of the run going
    bool m_running = false;
    bool m_everyGeneration = false;
    int m_shownGeneration = 0;           ///< the run's latest generation taken
    bool m_busyCursor = false;          ///< the run has shown the busy cursor
    std::shared_ptr<RunChannel> m_run;   ///< shared with the run's worker
    bool m_wantDiversity = false;
    std::thread m_thread;                ///< the run's, until its end has been taken
    std::unique_ptr<QObject> m_inputFilter;  ///< swallows input to the window during a run
    QElapsedTimer m_liveClock;           ///< since the run's start
};

}  // namespace kelvora::ui
