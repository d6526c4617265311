#pragma once
// A sweep file read for the experiment window off the GUI thread, under a progress dialog that can
// stop it: the file's runs and what the window shows of them, all computed off the GUI thread and
// handed back whole.

#include <atomic>
#include <functional>
#include <memory>

#include <QString>

#include "experiment/experiment_model.h"
#include "experiment/experimentdata.h"

class QWidget;

namespace kelvora::ui {

struct SweepOpening {
    QString path;
    std::atomic<bool> stop{false};
    std::atomic<long long> bytesRead{0};
    kelvora::experiment::OpenedSweep sweep;
    ExperimentOutcome outcome;  ///< when read whole and not stopped
};

/// Reads the sweep file at path off the GUI thread under a window-modal progress dialog over parent
/// (its 中止 sets stop); done(opening) runs on parent's thread once the dialog has gone, never after
/// parent has. seam as
/// kelvora::experiment::ReadSweepForExperiment takes it.
std::shared_ptr<SweepOpening> StartSweepOpening(QWidget* parent, const QString& path,
                                                void (*seam)(long long rowsRead),
                                                std::function<void(std::shared_ptr<SweepOpening>)> done);

/// Lets one local file be dropped on window (or a child that takes no drops): dropped(path, sweep)
/// runs after the drop has finished (a message box may follow), path absolute, sweep true for a
/// regular file whose first line is a sweep CSV's header (with or without the epsilon column).
void AcceptFileDrops(QWidget* window, std::function<void(const QString& path, bool sweep)> dropped);

}  // namespace kelvora::ui
