#pragma once
// A results.csv to play back in the window: an opened file, checked line for line, or the file the
// window's last run wrote, indexed while it was written. Any generation's arms come from memory at
// once; its whole population (for the population layer) is read from the file on demand, which
// stays open for that: a file that another program cuts short, extends or replaces later gives an
// unreadable generation, never a fault of the window.

#include <functional>
#include <memory>
#include <vector>

#include <QPoint>
#include <QString>

#include "mainwindow/plotpainter.h"
#include "io/results_reader.h"
#include "io/run_record.h"

class QWidget;

namespace kelvora::ui {

/// The arms and the error of one generation of a replay.
struct ReplayFrame {
    int generation = 0;          ///< 1-based
    kelvora::ArmPose currentPose;  ///< that generation's best
    kelvora::ArmPose elitePose;    ///< the best of the run up to and including it
    double error = 0.0;          ///< distance in pixels from currentPose's tip to the target
};

class ResultsReplay {
public:
    /// What an opening ends with: the replay, or nullptr and the reader's message in the window's
    /// language, naming the line, when the file cannot be read (or changed while it was checked);
    /// nullptr and an empty message when the check was cancelled.
    using Opened = std::function<void(std::unique_ptr<ResultsReplay> replay, const QString& error)>;
    /// Opens path and checks all of it on a worker thread, with a progress dialog over parent when
    /// it takes long (it can be cancelled); until the check has ended, input goes to that dialog
    /// only. Returns at once; done is called once, on the GUI thread (at once when the file cannot
    /// be opened), unless parent is destroyed first.
    static void open(QWidget* parent, const QString& path, Opened done);
    /// Tests: called on the check's thread as the check of an opened file begins (nullptr: none).
    static void setCheckSeam(void (*seam)());

    /// The file a run has just written: population, the byte offsets of its generations (recorded
    /// while writing, starting with 0), each generation's best pose, the base and target pixels.
    /// nullptr when the file cannot be opened or does not fit the offsets.
    static std::unique_ptr<ResultsReplay> fromRun(const QString& path, int population,
                                                  const std::vector<std::uint64_t>& offsets,
                                                  const std::vector<kelvora::ArmPose>& bests, QPoint base,
                                                  QPoint target);

    QString path() const { return m_path; }
    /// The file's size and SHA-256, taken beside the check (run.json is matched against it).
    const kelvora::RecordedFile& digest() const { return m_digest; }
    int population() const { return m_index.population; }
    int generationCount() const { return static_cast<int>(m_bests.size()); }
    QPoint target() const { return m_target; }  ///< pixel, x right, y down
    QPoint base() const { return m_base; }
    bool targetUnique() const { return m_targetUnique; }
    /// Each generation's best and average fitness as the file logs them, for a chart (an opened
    /// file only; empty for the last run, whose SolverState history holds them).
    const std::vector<kelvora::GenerationStat>& history() const { return m_history; }

    /// Generation (clamped to 1..generationCount()).
    ReplayFrame frame(int generation) const;
    /// Every individual's tip and fitness of generation (1-based, 1..generationCount()) into cloud.
    /// The reader's fault when the generation cannot be read (the file changed under the window, or
    /// a read failed); cloud is empty then.
    kelvora::ResultsFault population(int generation, PopulationCloud& cloud) const;

    ~ResultsReplay() = default;
    ResultsReplay(const ResultsReplay&) = delete;
    ResultsReplay& operator=(const ResultsReplay&) = delete;

private:
    ResultsReplay() = default;
    void computeElites();

    QString m_path;
    kelvora::ResultsFile m_file;  ///< open for reading generations
    kelvora::RecordedFile m_digest;
    kelvora::ResultsIndex m_index;
    mutable kelvora::LoggedGeneration m_generation;  ///< the last generation read, reused
    std::vector<kelvora::ArmPose> m_bests;
    std::vector<kelvora::GenerationStat> m_history;
    std::vector<int> m_eliteGeneration;  ///< 0-based generation holding the elite up to each one
    QPoint m_base;
    QPoint m_target;
    bool m_targetUnique = true;
};

}  // namespace kelvora::ui
