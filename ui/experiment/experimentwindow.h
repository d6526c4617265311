#pragma once
// The experiment window "Kelvora — 実験": up to eight configurations (each may vary one parameter
// over a list) run over many seeds and targets as a sweep does, seed by seed across them, on a
// worker pool, then compared in charts and a table, with export of the runs, the summary and the
// charts.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QMainWindow>
#include <QPoint>

#include "batch/sweep.h"
#include "experiment/experiment_model.h"
#include "experiment/chartspanel.h"
#include "experiment/configurationtable.h"
#include "experiment/experimentdata.h"
#include "experiment/runpanel.h"
#include "experiment/statisticspanel.h"
#include "experiment/summarytable.h"

class QLabel;
class QLineEdit;
class QSplitter;
class QTableWidget;

namespace kelvora::ui {

class ChartsPanel;
class ExperimentPlots;
class ResponsePanel;
class RunPanel;
class SummaryTable;
struct SweepOpening;
class SweepRunner;
struct SweepBatch;

/// What "追加" takes from the main window: its parameters, algorithm and target (relative to the base, y up).
struct CurrentSettings {
    kelvora::SolverParams params;
    kelvora::Algorithm algorithm;
    QPoint target;
};

struct ExperimentWindowTestAccess;

class ExperimentWindow : public QMainWindow {
    Q_OBJECT

public:
    /// Most configuration rows a comparison holds: every method of the baselines' comparison (twelve)
    /// fits, each of the palette's eight colours twice, solid and dashed.
    static constexpr int kMaxConfigurations = 16;
    /// Most configurations the rows' value lists expand into.
    static constexpr int kMaxExpanded = 32;
    /// Asks whether runs not saved may be dropped and calls answer with true for "保存せずに閉じる"
    /// (tests replace it; the window's own shows a window-modal box and returns at once).
    using DiscardQuestion = void (*)(QWidget* parent, const QString& text, std::function<void(bool discard)> answer);
    /// Replaces the question and returns the one it replaced; nullptr restores the box.
    static DiscardQuestion SetDiscardQuestion(DiscardQuestion question);
    /// The seam of a sweep file's reading off the window's thread: called there with the rows read
    /// so far, before each row is taken (tests hold the reading at a known row; nullptr: none).
    using OpenSeam = void (*)(long long rowsRead);
    static void SetOpenSeam(OpenSeam seam);

    /// The view (parent owns it; the main window docks it); current gives the main window's settings.
    ExperimentWindow(std::function<CurrentSettings()> current, QWidget* parent = nullptr);
    ~ExperimentWindow() override;

    /// "実行": checks the table, seeds, targets and epsilon (a message box names the first bad
    /// value, and nothing runs) and starts the sweep; false when nothing started.
    bool run();
    /// "中止": no new run starts; finished runs are kept and shown.
    void cancel();
    /// Shows the runs of a sweep CSV written by kelvora-cli sweep or sweep-merge (or this window),
    /// grouped by configuration, without running anything. The file is read off the window's thread
    /// under a progress dialog that can stop it; sweepOpened says when it has been shown. A file that
    /// cannot be read is reported in a message box (after the progress dialog has gone) naming the
    /// line and the reason, and what was shown stays. Returns false when nothing started (a sweep
    /// goes, or a file is being read).
    /// The table takes the file's configurations as plain rows (their labels as shown) and the seeds
    /// and targets fields its seeds and targets, ε staying, so that a cell can be edited and run
    /// again; a file of more than kMaxConfigurations leaves them as they were, fileNote() saying so.
    /// The table kept for the next session stays the one last run until 実行.
    bool openSweep(const QString& path);
    /// Opens an experiment file (NAME.kelvora.json): the table takes its configurations (an entry
    /// varying one parameter as a row with its list, one varying more as a row per combination), the
    /// fields its seeds, targets and ε, and its title and notes show over the table. A file that
    /// cannot be read is named in a message box with the key at fault, and nothing changes; false then.
    bool openExperiment(const QString& path);
    /// Writes the table, seeds, targets and ε (with the title and notes of the experiment opened) as
    /// an experiment file at path; "" or the reason, which a message box has shown.
    QString saveExperiment(const QString& path);
    bool isRunning() const;
    /// A sweep goes, or runs have finished since the runs or the summary were last saved (not
    /// runs opened from a file).
    bool holdsUnsavedRuns() const;
    /// answer(true) at once when nothing unsaved is held; otherwise asks (保存せずに閉じる /
    /// キャンセル) over parent and answers with the choice; a sweep going is stopped on "discard".
    void askDiscard(QWidget* parent, std::function<void(bool discard)> answer);

    /// The runs as kelvora-cli sweep writes them, one sweep per configuration, each after the header.
    QByteArray runsCsv() const;
    /// The summary as kelvora-cli sweep --summary writes it.
    QByteArray summaryCsv() const;
    /// Writes the labels of the configurations with runs beside the runs CSV at sweepPath, as
    /// kelvora::session::LabelsPath names it and LabelsJson writes it, for openSweep to read back
    /// (a message box says when it cannot be written). Returns "" or the reason.
    QString saveLabels(const QString& sweepPath);
    /// Why no report can be written of the runs shown now (a sweep going, no runs, one
    /// configuration, runs stale), in the window's words; "" when one can.
    QString reportRefusal() const;
    /// Starts writing the lab report of the runs shown (kelvora-cli report's page, the 統計 tab's
    /// baseline) to path, built off the window's thread; reportWritten follows. Returns "" or why no
    /// report can be written (reportRefusal), which a message box has shown.
    QString exportReport(const QString& path);
    /// The labels of the configurations shown, in the summary's order.
    std::vector<QString> labels() const;

signals:
    /// The sweep has ended (all runs or cancelled); plots and table show its runs.
    void sweepFinished(bool cancelled);
    /// A sweep file given to openSweep has been shown (opened), or was not (a fault, or stopped).
    void sweepOpened(bool opened);
    /// The report exportReport started has been written ("") or could not be (the reason, which a
    /// message box has shown).
    void reportWritten(const QString& problem);
    /// A file that is no sweep CSV was dropped on the window (a results.csv, for the main window's
    /// replay); path is absolute.
    void resultsDropped(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend struct ExperimentWindowTestAccess;  // defined by the tests
    /// "追加": the main window's current settings as a new row; false when the table is full.
    bool addCurrent();
    void finishOpening(std::shared_ptr<SweepOpening> opened);
    /// The experiment file's text of the table, seeds, targets and ε; "" or the first fault, worded.
    QString experimentText(std::string& text) const;
    /// The table, seeds and targets of the configurations of an opened file (their runs' seeds and
    /// targets in the order they first appear).
    void fillFromFile(const std::vector<kelvora::SweepCombination>& configurations, const std::vector<std::uint32_t>& seeds,
                      const std::vector<kelvora::SweepTarget>& targets);
    /// Sizes the summary's columns to their contents (the label's capped) and, until the splitter is
    /// moved by hand, gives the summary's side what its columns up to the p need, the charts' side
    /// keeping its least; columns false leaves the columns as they are (a resize of the window).
    void fitSummary(bool columns = true);
    void takeBatch(SweepBatch& batch);
    /// Names configuration (of the runs shown) label in the summary, the charts and the tests, and
    /// in the configurations table when its row still holds that configuration.
    void relabel(std::size_t configuration, const QString& label);
    /// The table, seeds, targets or ε changed: the results shown are marked stale.
    void tableEdited();
    void setStale(bool stale);
    /// The configurations of removed rows that no row holds any more leave the results shown.
    void dropConfigurations(const std::vector<ConfigurationTable::Configuration>& removed);
    void onFinished(bool cancelled);
    void showOutcome();
    void showOutcome(ExperimentOutcome outcome);
    void updateProgress();
    void setRunning(bool running);
    void saveTable() const;

    std::function<CurrentSettings()> m_current;
    ConfigurationTable* m_configs;
    RunPanel* m_fields;
    ChartsPanel* m_charts;
    ExperimentPlots* m_plots;
    StatisticsPanel* m_statistics;
    SummaryTable* m_summary;
    QLabel* m_about;
    QLabel* m_runsEach;
    QLabel* m_fileNote;
    QSplitter* m_splitter;
    SweepRunner* m_runner;

    kelvora::experiment::ExperimentModel m_model;       ///< the runs shown, their plans and labels
    QString m_runsName = QStringLiteral("sweep.csv");  ///< the runs CSV's name as last saved or opened
    bool m_tableFromFile = false;                       ///< the table holds an opened file's rows, not yet run: not kept
    bool m_splitterMoved = false;                       ///< the splitter was dragged: fitSummary leaves it
    bool m_computing = false;                           ///< the outcome of the last sweep is being computed (on the runner's pool)
    long long m_total = 0;
    long long m_done = 0;
    std::shared_ptr<SweepOpening> m_opening;            ///< the sweep file being read
};

}  // namespace kelvora::ui
