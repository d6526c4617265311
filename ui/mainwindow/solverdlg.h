#pragma once
// The main dialog: the four run parameters, the read-only progress, target and pointer fields, the
// Compute button "計算" and the plot. It is the program's main window, and wires its parts around
// what it shows (SolverModel): the plot (PlotView), the fields (ParameterPanel), the run
// (RunController) and the replay (ReplayController); it keeps the window's menu, the evolution
// window and the run's texts.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>
#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QRect>

#include "ga/run.h"
#include "mainwindow/plotview.h"
#include "common/solverstate.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QContextMenuEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QPaintEvent;
class QShowEvent;

namespace kelvora::ui {

class EvolutionWindow;
class ExperimentWindow;
struct RunResult;
struct RunSnapshot;
class GenerationScrubber;
class GroundTruthOverlay;
class HelpWindow;
class LandscapeWindow;
class MicroscopeWindow;
class OperatorsView;
class ParameterPanel;
class ReplayController;
class RunController;
class SolverModel;
struct SolverDlgTestAccess;

class CSolverDlg : public QDialog {
    Q_OBJECT

public:
    /// The dialog on state, which must outlive it: the program's main() owns it; tests pass their own.
    explicit CSolverDlg(SolverState& state, QWidget* parent = nullptr);
    /// Stops a run that is still going and waits for its thread.
    ~CSolverDlg() override;

    /// A run is going (between Compute and runFinished()).
    bool isRunning() const;
    /// The operator choice of the next runs (the settings' once the window has opened).
    const kelvora::Algorithm& algorithm() const { return m_algorithm; }

    /// The evolution window, created and shown on first use ("進化のグラフ(&G)...", Ctrl+G).
    EvolutionWindow* showEvolutionWindow();
    /// The generation microscope on the opened file's run or the last run, created and shown on
    /// first use ("世代の顕微鏡(&M)...", Ctrl+M); it follows the scrubber's generation.
    MicroscopeWindow* showMicroscope();

    /// Where the views (evolution, microscope, landscape, experiment, help) go when they are opened
    /// or asked for again: host takes the view and shows it (the workbench docks it). Without one,
    /// each view is a window of its own, shown and raised.
    void setViewHost(std::function<void(QWidget* view)> host) { m_viewHost = std::move(host); }

    /// The seed of the next run: nullopt draws a fresh one from the clock at each 計算.
    /// source is asked at each 計算; it returns false when its text is not a seed (it has said why),
    /// and then nothing runs.
    void setSeedSource(std::function<bool(std::optional<std::uint32_t>& seed)> source) { m_seedSource = std::move(source); }

    /// An Escape within this long (ms) of the Escape that stopped a run is taken as the same press.
    static constexpr int kEscapeGraceMs = 1000;

signals:
    /// A run has ended and the dialog shows its outcome (fields, plot, seed tooltip, warnings).
    void runFinished();
    /// Embedded in another window: closing has been agreed (nothing runs, nothing unsaved is
    /// dropped unasked); that window closes now.
    void closeAgreed();
    /// A run has started with seed.
    void runStarted(std::uint32_t seed);
    /// An opened results.csv came with the run.json that made it: its parameters are in the fields
    /// and its operator choice is the next runs'; with this seed the next 計算 repeats it.
    void openedRunSeed(std::uint32_t seed);

public:
    /// The menu bar over the client area: ファイル, 表示, 実験 and ヘルプ, holding the window menu's
    /// entries (the same actions, so their check states agree) and 使い方 (F1).
    QMenuBar* menuBar() const { return m_menuBar; }

    /// The plot in client pixels, (100, 20)-(500, 420): Qt's right()
    /// and bottom() are the last pixel, 499 and 419.
    static constexpr QRect kPlotRect = PlotView::kPlotRect;

    /// Strictly inside the plot: left < x < right and top < y < bottom, with right and bottom one
    /// past the plot's last column and row. The frame's left column and top row are outside.
    bool isInsidePlot(QPoint point) const;

    /// Centre of the plot in client pixels, (left + right) / 2 and (top + bottom) / 2: (300, 220).
    QPoint plotCentre() const;

    /// Client-area size in pixels: 614 x 723.
    static QSize clientSize();

    // ---- replay of a results.csv (ReplayController) ----

    /// Opens a results.csv (right-click menu "結果を開く(&O)...", Ctrl+O, a drop on the window,
    /// `kelvora FILE`): checks it off the GUI thread, then shows its recovered target, population,
    /// generation count and the last generation's arms. A file that cannot be read leaves the
    /// window as it was and shows the reader's message in a message box. Returns at once;
    /// resultsOpened says how it ended. A sweep CSV (isSweepFile) opens in the experiment window
    /// instead, and resultsOpened(false) follows at once.
    void openResults(const QString& path);
    /// Shows generation (1-based) of the opened file or of the last run: its best arm blue, the best
    /// arm up to it red, its number and error in the fields, its population when that is shown.
    void showGeneration(int generation);
    /// Generations there are to replay: of the opened file or the last run, 0 when neither.
    int replayGenerationCount() const;
    /// The population layer ("集団を表示"): off at start, remembered in the settings.
    bool isPopulationShown() const;
    void setPopulationShown(bool shown);

signals:
    /// An openResults has ended: true when the file is shown, false when it was refused, could not
    /// be read or its check was cancelled.
    void resultsOpened(bool opened);
    /// A replay source came or went: a file was opened or a run finished.
    void replayChanged(int generationCount);

protected:
    /// Sets the window up and puts the opening state into SolverState: both poses (45, 30, 15), the
    /// base (300, 220), the target at the tip (368, 40), the default parameters. Runs once, when
    /// the dialog is first shown, before it appears.
    virtual bool onInitDialog();
    /// Compute: reads the fields and starts the search on a worker thread (RunController); never
    /// closes the dialog, and does nothing while a run is going. The window follows the run through
    /// the worker's snapshots (onRunSnapshot, about 30 a second); input to the dialog is swallowed
    /// but for Escape, which stops the run after the current generation, and a close request, which
    /// stops it and closes the dialog once it has ended (onRunFinished). Returns at once.
    /// When another run (a window or kelvora-cli) is writing the result files here, a warning says
    /// so and nothing starts.
    virtual void OnOK();
    /// Closing the dialog (Escape when idle, the close button, Close in the window menu): during a run it stops the
    /// run and closes the dialog when the run has ended.
    void reject() override;
    /// Paints the plot from SolverState (PlotView::OnPaint), the population layer when shown.
    void OnPaint();
    /// A run's notification, on the window's thread, for each snapshot the worker posts (at most
    /// about 30 a second, and always for the last finished generation): shows the generation's
    /// number and error and asks for a repaint.
    virtual void onGenerationProgress(int generation, double error);
    /// A snapshot of the run is in SolverState (RunController): feeds the replay's index and calls
    /// onGenerationProgress (the evolution window follows the model).
    void onRunSnapshot(const RunSnapshot& snapshot);
    /// The run has ended and RunController has put its final state in SolverState and given input
    /// back: the plot, the charted run's end, the replay, the seed tooltip, file warnings and a
    /// pending close.
    void onRunFinished(const RunResult& result);
    /// After a run: the seed it used and the kelvora-cli command that repeats it, as the tooltip
    /// of the generation field.
    void ShowRunSeed(const RunResult& result);
    /// After a run, warns about a result file that lost lines, naming the file and the reason; for
    /// a run refused because another run is writing a file, says that nothing ran; likewise for
    /// run.json when recordError (what WriteRunRecord returned) is not empty.
    void ReportResultFileFailures(const kelvora::RunReport& report, const std::string& recordError = {});
    /// One line of that warning: the file's path in m_runDirectory and what became of it.
    QString ResultFileFailureText(const kelvora::ResultFileFailure& failure) const;
    /// The current directory's absolute name; after it has been deleted, the name it had.
    static QString CurrentDirectoryName();

    /// Pointer move over the dialog: inside the plot, the pick cursor and the pointer's position
    /// relative to the plot centre (y up) in the pointer readouts; elsewhere the arrow, the readouts left
    /// at the last inside point. buttons (those held) is not used.
    void OnMouseMove(Qt::MouseButtons buttons, QPoint point);
    /// Left press: inside the plot it moves the target of SolverState there, writes its relative
    /// position into the target fields and has the plot repainted. During the replay of an opened file it first leaves
    /// the replay (ReplayController::leaveReplay) and charts an empty run (the evolution window) for
    /// the new target. Outside nothing changes.
    void OnLButtonDown(Qt::MouseButtons buttons, QPoint point);
    /// The opened results.csv changed (path, or "" when none): the title names it, and its run.json's
    /// operator choice, when it describes the file, becomes the next runs'.
    void onOpenedFileChanged(const QString& path);
    /// Asks whether a run may rewrite the results.csv the window has open; the default answer keeps it.
    bool askOverwrite();
    /// a and b are the same file: the same device and inode, or (when one cannot be looked up) the
    /// same absolute path.
    static bool isSameFile(const QString& a, const QString& b);
    /// The About entry: the About box, modal over the window.
    void onAbout();
    /// The Help command "使い方" (F1): the help window beside this one, created once, raised when open.
    void onHelp();
    /// "遺伝的操作(&L)..." (Ctrl+L): the operator dialog, modal; an accepted choice is kept in the
    /// settings and used from the next run on. Does nothing during a run.
    /// The operators view, made on first use, shown where the views go.
    void onOperators();
    /// The line under 計算 and the operators view follow m_algorithm.
    void showAlgorithm();
    /// Shows view through the view host, else as a window of its own.
    void presentView(QWidget* view);
    /// The parts the dialog wires.
    PlotView& plot() const { return *m_plot; }
    ParameterPanel& panel() const { return *m_panel; }

    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// The window's menu and its entries' shortcuts: Close, the evolution window, the operators, the experiment.
    void createWindowMenu();
    /// Whether the operator choice suits a population of populationSize; if not, says why like a
    /// bad field (message box, the population field focused with its text selected).
    bool algorithmFits(int populationSize);
    /// "実験(&E)...": the experiment window, created on first use.
    void openExperimentWindow();
    /// The menu bar's menus; their entries come once the window menu is whole (fillMenuBar).
    void createMenuBar();
    void fillMenuBar();
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    QIcon m_icon;       ///< the program's icon
    QMenu* m_systemMenu = nullptr;  ///< the window's menu, owned by the dialog
    QMenuBar* m_menuBar = nullptr;  ///< over the client area, owned by the dialog
    QPoint m_clientOrigin;          ///< the client area's top left in the window, px
    HelpWindow* m_help = nullptr;   ///< "使い方", top-level, owned by the dialog
    GroundTruthOverlay* m_groundTruth = nullptr;  ///< the optimum and reach overlays, owned by the dialog

    SolverModel* m_model;          ///< what the window shows, its one writer's interface; owned by the dialog
    const SolverState& m_state;    ///< the model's state, to read

    bool m_closeRequested = false;         ///< close the dialog when the run has ended
    bool m_discardAsked = false;           ///< the experiment window's unsaved runs are being asked about
    bool m_discardAgreed = false;          ///< they may be dropped: the dialog closes
    bool m_closeAgreed = false;            ///< embedded: closeAgreed has been emitted
    std::function<void(QWidget*)> m_viewHost;
    std::function<bool(std::optional<std::uint32_t>&)> m_seedSource;
    QList<QPointer<LandscapeWindow>> m_landscapes;  ///< every landscape view opened, gone ones null
    /// ms since some fixed point; the tests' own clock in its place.
    std::function<std::int64_t()> m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    std::int64_t m_escapeStoppedAt = -1;   ///< m_clock() when Escape last stopped a run, -1 never
    EvolutionWindow* m_evolution = nullptr;  ///< top-level, owned by the dialog
    ExperimentWindow* m_experiment = nullptr;  ///< "実験(&E)...", top-level, owned by the dialog
    OperatorsView* m_operators = nullptr;  ///< "遺伝的操作(&L)...", owned by the dialog
    MicroscopeWindow* m_microscope = nullptr;  ///< "世代の顕微鏡(&M)...", top-level, owned by the dialog
    kelvora::RunSetup m_lastRun;               ///< the last finished run as it ran, for the microscope
    int m_lastRunGenerations = 0;              ///< its generations finished, 0 before the first
    void tellMicroscopeTheRun();               ///< the opened file's run, else the last run, to the microscope
    void tellLandscapesTheRun();               ///< the same to every landscape window, its shown generation drawn
    kelvora::SolverParams m_runParams;      ///< parameters of the run going or last run
    kelvora::Algorithm m_algorithm;         ///< the operator choice of the next runs (settings)
    kelvora::Algorithm m_runAlgorithm;      ///< that of the run going or last run
    QString m_runDirectory;                 ///< where the last run wrote (its current directory)

private:
    friend struct SolverDlgTestAccess;  // the tests' pacing of the run and their look at its views, defined by the tests

    /// The generation scrubber, in the evolution window's scrubber slot once that window exists.
    GenerationScrubber* scrubber() const;
    /// The landscape views open now, oldest first.
    QList<LandscapeWindow*> landscapes() const;
    /// The window's own menu, which a right click on the dialog opens: Close, the windows' entries,
    /// a separator and the About entry. (The window manager owns the real window menu; a program
    /// cannot add to it.)
    QMenu* windowMenu() const { return m_systemMenu; }
    /// Whether the file at path starts with the header line of a sweep CSV (kelvora-cli sweep).
    static bool isSweepFile(const QString& path);

    /// The worker posts every generation and waits until the window has taken it (tests).
    bool m_everyGeneration = false;
    std::unique_ptr<ParameterPanel> m_panel;
    std::unique_ptr<PlotView> m_plot;
    std::unique_ptr<RunController> m_run;
    ReplayController* m_replay = nullptr;  ///< owned by the dialog
    QLabel* m_algorithmLabel = nullptr;    ///< the line under 計算 naming a choice that is not classic
    bool m_initialized = false;
};

}  // namespace kelvora::ui
