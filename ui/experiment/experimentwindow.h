#pragma once
// The experiment window "Kelvora — 実験": up to eight configurations (each may vary one parameter
// over a list) run over many seeds and targets as a sweep does, seed by seed across them, on a
// worker pool, then compared in charts and a table, with export of the runs, the summary and the
// charts.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QMainWindow>
#include <QPoint>

#include "batch/sweep.h"
#include "experiment/configurationtable.h"
#include "experiment/experimentdata.h"
#include "experiment/statisticspanel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace kelvora::ui {

class ExperimentPlots;
class ResponsePanel;
class SweepRunner;
struct SweepBatch;

/// What "追加" takes from the main window: its parameters, algorithm and target (relative to the base, y up).
struct CurrentSettings {
    kelvora::SolverParams params;
    kelvora::Algorithm algorithm;
    QPoint target;
};

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
    /// The spellings the drop-down of a configuration column offers (method, encoding, selection,
    /// crossover and mutation operators, as kelvora-cli takes them); empty for other columns.
    static QStringList choices(int column);
    /// The seam of a sweep file's reading off the window's thread: called there with the rows read
    /// so far, before each row is taken (tests hold the reading at a known row; nullptr: none).
    using OpenSeam = void (*)(long long rowsRead);
    static void SetOpenSeam(OpenSeam seam);

    /// The view (parent owns it; the main window docks it); current gives the main window's settings.
    ExperimentWindow(std::function<CurrentSettings()> current, QWidget* parent = nullptr);
    ~ExperimentWindow() override;

    /// "追加": the main window's current settings as a new row; false when the table is full.
    bool addCurrent();
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
    /// The title and notes of the experiment opened ("" and hidden when there are none).
    QLabel* aboutNote() const { return m_about; }
    bool isRunning() const;
    /// A sweep file is being read.
    bool isOpening() const { return m_opening != nullptr; }
    /// A sweep goes, or runs have finished since the runs or the summary were last saved (not
    /// runs opened from a file).
    bool holdsUnsavedRuns() const;
    /// answer(true) at once when nothing unsaved is held; otherwise asks (保存せずに閉じる /
    /// キャンセル) over parent and answers with the choice; a sweep going is stopped on "discard".
    void askDiscard(QWidget* parent, std::function<void(bool discard)> answer);

    QTableWidget* configurations() const;
    QTableWidget* summary() const { return m_summary; }
    ExperimentPlots* plots() const { return m_plots; }
    /// The 統計 tab among the plots' tabs.
    StatisticsPanel* statistics() const { return m_statistics; }
    /// The 応答 tab.
    ResponsePanel* response() const { return m_response; }
    QLineEdit* seedsEdit() const { return m_seeds; }
    QLineEdit* targetsEdit() const { return m_targets; }
    QLineEdit* epsilonEdit() const { return m_epsilon; }
    /// The line naming rows that repeat another's configuration ("" when none do).
    QLabel* duplicatesNote() const;
    /// The line over the charts saying that the results shown belong to the previous table (shown
    /// while the table, seeds, targets or ε have changed since they were run or opened).
    QLabel* staleNote() const { return m_staleNote; }
    /// The results shown belong to another table than the one shown: greyed, staleNote() showing.
    bool isStale() const { return m_stale; }
    /// The line under the table saying that an opened file's configurations did not fit in it.
    QLabel* fileNote() const { return m_fileNote; }
    /// The sentence over the charts saying what to do while nothing has been run or opened.
    QLabel* emptyHint() const { return m_hint; }
    /// The line under the summary saying how many runs each configuration holds.
    QLabel* runsNote() const { return m_runsEach; }
    /// Configurations of the last sweep or file (rows' value lists expanded), and their labels.
    int configurationCount() const { return static_cast<int>(m_results.size()); }
    QString configurationLabel(int configuration) const { return m_labels[static_cast<std::size_t>(configuration)]; }
    const kelvora::SweepPlan& plan(int configuration) const { return m_plans[static_cast<std::size_t>(configuration)]; }
    /// The finished runs of a configuration, in combination order.
    const std::vector<kelvora::SweepResult>& results(int row) const { return m_results[static_cast<std::size_t>(row)]; }
    /// The runs as kelvora-cli sweep writes them, one sweep per configuration, each after the header.
    QByteArray runsCsv() const;
    /// The summary as kelvora-cli sweep --summary writes it.
    QByteArray summaryCsv() const;
    /// Writes the labels of the configurations with runs beside the runs CSV at sweepPath, as
    /// kelvora::session::LabelsPath names it and LabelsJson writes it, for openSweep to read back
    /// (a message box says when it cannot be written). Returns "" or the reason.
    QString saveLabels(const QString& sweepPath);
    /// The labels of the configurations shown, in the summary's order.
    const std::vector<QString>& labels() const { return m_labels; }

signals:
    /// The sweep has ended (all runs or cancelled); plots and table show its runs.
    void sweepFinished(bool cancelled);
    /// A sweep file given to openSweep has been shown (opened), or was not (a fault, or stopped).
    void sweepOpened(bool opened);
    /// A file that is no sweep CSV was dropped on the window (a results.csv, for the main window's
    /// replay); path is absolute.
    void resultsDropped(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    /// One local file may be dropped: a sweep CSV opens here (openSweep), anything else is offered
    /// as resultsDropped.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double m_fileEpsilon = 0.5;  ///< px, the epsilon of the runs of the file opened last
    struct Opened;
    void finishOpening(std::shared_ptr<Opened> opened);
    /// The table, seeds and targets of the configurations of an opened file (their runs' seeds and
    /// targets in the order they first appear).
    void fillFromFile(const std::vector<kelvora::SweepCombination>& configurations, const std::vector<std::uint32_t>& seeds,
                      const std::vector<std::pair<int, int>>& targets);
    /// Sizes the summary's columns to their contents (the label's capped) and, until the splitter is
    /// moved by hand, gives the summary's side what its columns up to the p need, the charts' side
    /// keeping its least; columns false leaves the columns as they are (a resize of the window).
    void fitSummary(bool columns = true);
    void takeBatch(SweepBatch& batch);
    /// Names configuration (of the runs shown) label in the summary, the charts and the tests, and
    /// in the configurations table when its row still holds that configuration.
    void relabel(std::size_t configuration, const QString& label);
    /// The configuration of the last run that row holds alone (a row without a value list, read as
    /// it was run), or -1.
    int configurationOfRow(int row) const;
    /// The row holding configuration of the last run alone, or -1.
    int rowOfConfiguration(std::size_t configuration) const;
    /// The parameters and algorithm of configuration of the runs shown, when known.
    std::optional<kelvora::SweepCombination> shownConfiguration(std::size_t configuration) const;
    /// The table, seeds, targets or ε changed: the results shown are marked stale.
    void tableEdited();
    void setStale(bool stale);
    /// The configurations of removed rows that no row holds any more leave the results shown.
    void dropConfigurations(const std::vector<ConfigurationTable::Configuration>& removed);
    void onFinished(bool cancelled);
    /// What the charts and the table show of the runs, computed from them on any thread.
    struct Outcome {
        std::vector<PlotGroup> groups;
        std::vector<std::optional<kelvora::SweepSummaryRow>> rows;  ///< none for a configuration without runs
        StatisticsPanel::Gathered statistics;  ///< the 統計 tab's
    };
    static Outcome ComputeOutcome(const std::vector<QString>& labels,
                                  const std::vector<std::vector<kelvora::SweepResult>>& results, bool convergence);
    std::vector<std::string> labelTexts() const;
    void showOutcome();
    void showOutcome(Outcome outcome);
    void updateProgress();
    void setRunning(bool running);
    /// The path written, or "" (cancelled, or a message box said why not).
    QString saveText(const QString& title, const QString& name, const QByteArray& bytes);
    void saveTable() const;
    void restoreTable();
    void savePlot(bool svg);

    std::function<CurrentSettings()> m_current;
    ConfigurationTable* m_configs;
    QLineEdit* m_seeds;
    QLineEdit* m_targets;
    QLineEdit* m_epsilon;
    QPushButton* m_run;
    QPushButton* m_cancel;
    QProgressBar* m_progress;
    QLabel* m_timeLeft;
    QComboBox* m_xAxis;
    QCheckBox* m_logX;
    QComboBox* m_target;
    ExperimentPlots* m_plots;
    StatisticsPanel* m_statistics;
    ResponsePanel* m_response;
    QTableWidget* m_summary;
    QLabel* m_staleNote;
    QLabel* m_about;
    std::optional<std::string> m_title, m_notes;        ///< of the experiment opened
    QLabel* m_runsEach;
    QLabel* m_fileNote;
    QLabel* m_hint;
    QSplitter* m_splitter;
    SweepRunner* m_runner;

    std::vector<kelvora::SweepPlan> m_plans;            ///< one per configuration of the last sweep
    std::vector<QString> m_labels;                      ///< their labels
    std::vector<std::vector<kelvora::SweepResult>> m_results;  ///< their finished runs
    int m_rounds = 0;                                   ///< seeds every configuration has run
    bool m_cancelled = false;                           ///< the last sweep was stopped
    bool m_unsaved = false;                             ///< runs finished since the last save
    bool m_tableFromFile = false;                       ///< the table holds an opened file's rows, not yet run: not kept
    bool m_splitterMoved = false;                       ///< the splitter was dragged: fitSummary leaves it
    QString m_varied;                                   ///< the parameter a row's list varied (the 応答 tab's name)
    QByteArray m_loadedRuns;                            ///< the bytes of an opened sweep CSV
    bool m_computing = false;                           ///< the outcome of the last sweep is being computed (on the runner's pool)
    long long m_total = 0;
    long long m_done = 0;
    std::chrono::steady_clock::time_point m_started;
    bool m_stale = false;                               ///< the results shown are of another table
    std::shared_ptr<Opened> m_opening;                  ///< the sweep file being read
};

}  // namespace kelvora::ui
