#pragma once
// The main window's replay: opening a results.csv (menu, Ctrl+O, a drop, the command line), its
// check off the GUI thread, the generation scrubber over it or over the last run, and the
// population layer ("集団を表示").

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QObject>
#include <QString>

#include "io/run_record.h"
#include "session/run_record.h"
#include "model/types.h"

class QAction;
class QMenu;
class QMimeData;
class QWidget;

namespace kelvora::ui {

class EvolutionWindow;
class GenerationScrubber;
class ParameterPanel;
class ResultsReplay;
class RunController;
struct PopulationCloud;
struct RunSnapshot;
class SolverModel;

class ReplayController : public QObject {
    Q_OBJECT

public:
    /// The replay of window: its entries go at the end of menu; it writes model and panel's fields
    /// and asks showEvolution for the evolution window. All of them outlive the controller.
    ReplayController(QWidget* window, QMenu* menu, SolverModel& model, ParameterPanel& panel,
                     RunController& runner, std::function<EvolutionWindow*()> showEvolution);
    ~ReplayController() override;

    /// Opens a results.csv: checks it off the GUI thread (returning at once), then shows its recovered target,
    /// population, generation count and the last generation's arms. When the run.json beside it
    /// describes this very file, its crossover rate, mutation probability and operator choice fill
    /// the fields too; the evolution window's readout and the generation field's tooltip say which
    /// (or that run.json is missing or describes another file). A fitness.csv opens as a chart of
    /// its own in the evolution window, with no arms and no population. A file that cannot be read
    /// leaves the window as it was and shows the reader's message in a message box. resultsOpened
    /// says how it ended (false at once during a run or another file's check).
    void openResults(const QString& path);
    /// elsewhere(path) is asked first whenever a file is to be opened: when it returns true it has
    /// taken the file (a sweep CSV to the experiment window) and the replay stays as it was.
    void setElsewhere(std::function<bool(const QString&)> elsewhere) { m_elsewhere = std::move(elsewhere); }
    /// The results.csv the window has open, absolute, or "" (the last run's own file is none).
    QString openedFile() const { return m_openedFile; }
    /// The opened file's run.json when it describes that very file, else nullopt.
    const std::optional<kelvora::RunRecord>& openedRecord() const { return m_record; }
    /// Leaves the replay of an opened file (a click in the plot): the file is let go, the arms go
    /// back to the opening pose, the generation and error fields to 0, the scrubber to no
    /// generation, and the evolution window starts over, empty, for the current target. After a
    /// run (no file open) only the scrubber lets go of the run, whose arms and numbers stay shown;
    /// returns whether a file was left.
    bool leaveReplay();
    /// Shows generation (1-based) of the opened file or of the last run: its best arm blue, the best
    /// arm up to it red, its number and error in the fields, its population when that is shown.
    void showGeneration(int generation);
    /// Generations there are to replay: of the opened file or the last run, 0 when neither.
    int replayGenerationCount() const;
    /// The population layer: off at start, remembered in the settings.
    bool isPopulationShown() const;
    void setPopulationShown(bool shown);
    /// The shown generation's population when the layer is on, else nullptr.
    const PopulationCloud* shownCloud() const;
    /// The generation scrubber, in the evolution window's scrubber slot once that window exists.
    GenerationScrubber* scrubber() const { return m_scrubber; }
    /// Puts the scrubber into the new evolution window's scrubber slot.
    void placeScrubber(EvolutionWindow* evolution);

    /// A run starts: the file it rewrites is let go, its index starts empty.
    void beginRunReplay();
    /// A run's snapshot: its generations' index and best arms, its population when shown.
    void takeRunSnapshot(const RunSnapshot& snapshot);
    /// The run has ended with every line in results.csv: it becomes the replay.
    void endRunReplay(int populationSize);

    /// A drag of mime onto the window may drop (one local file, no run going).
    bool acceptsDrop(const QMimeData* mime) const;
    /// A drop of mime: opens its file once the drop has finished. Returns whether it was taken.
    bool drop(const QMimeData* mime);

signals:
    /// An openResults has ended: true when the file is shown, false when it was refused, could not
    /// be read or its check was cancelled.
    void resultsOpened(bool opened);
    /// A replay source came or went: a file was opened or a run finished.
    void replayChanged(int generationCount);
    /// The opened file changed: its absolute path, or "" when none is open any more.
    void openedFileChanged(const QString& path);

private:
    std::function<bool(const QString&)> m_elsewhere;
    bool takeOpened(const QString& path, std::unique_ptr<ResultsReplay> replay, const QString& error);
    bool openFitness(const QString& path);
    QString takeRecord(const QString& path, const kelvora::RecordedFile& digest, const kelvora::session::FileShape& shape);
    void clearShown();
    void onOpenResults();
    void setReplay(std::unique_ptr<ResultsReplay> replay, const QString& openedFile = {});
    void showRunPopulation(const RunSnapshot& snapshot);

    QWidget* m_window;
    SolverModel& m_model;
    ParameterPanel& m_panel;
    RunController& m_runner;
    std::function<EvolutionWindow*()> m_showEvolution;
    std::unique_ptr<ResultsReplay> m_replay;        ///< what the scrubber plays back, or null
    std::unique_ptr<PopulationCloud> m_cloud;       ///< the shown generation's population, when shown
    bool m_checking = false;                        ///< a file's check is going
    QString m_openedFile;                            ///< the opened results.csv, absolute, or ""
    std::optional<kelvora::RunRecord> m_record;      ///< its run.json, when it describes it
    std::vector<std::uint64_t> m_runOffsets;         ///< results.csv bytes at each generation start of the run
    std::vector<kelvora::ArmPose> m_runBests;        ///< each generation's best pose of the run
    QAction* m_openAction = nullptr;
    QAction* m_populationAction = nullptr;
    GenerationScrubber* m_scrubber = nullptr;
    std::unique_ptr<GenerationScrubber> m_unplacedScrubber;  ///< owns m_scrubber until placeScrubber
};

}  // namespace kelvora::ui
