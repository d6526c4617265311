#pragma once
// The main dialog (template IDD_MAIN): the four run parameters, the read-only progress, target and
// pointer fields, the Compute button "計算" and the plot. It is the program's one window.

#include <memory>

#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QRect>

#include <memory>
#include <vector>

#include "resource.h"
#include "solverstate.h"

class QThread;
class QAction;
class QDragEnterEvent;
class QDropEvent;
class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class QPaintEvent;
class QShowEvent;

namespace kelvora::ui {

class CDataExchange;
class EvolutionWindow;
struct RunChannel;
struct RunSnapshot;
class GenerationScrubber;
class ResultsReplay;
struct PopulationCloud;
class GroundTruthOverlay;

class CSolverDlg : public QDialog {
    Q_OBJECT

public:
    /// The dialog on state, which must outlive it: the program's main() owns it; tests pass their own.
    explicit CSolverDlg(SolverState& state, QWidget* pParent = nullptr);
    /// Stops a run that is still going and waits for its thread.
    ~CSolverDlg() override;

    /// A run is going (between Compute and runFinished()).
    bool IsRunning() const { return m_bRunning; }

    /// The evolution window, created and shown on first use ("進化のグラフ(&G)...", Ctrl+G).
    EvolutionWindow* ShowEvolutionWindow();
    /// The evolution window if it has been created, else nullptr.
    EvolutionWindow* GetEvolutionWindow() const { return m_pEvolution; }

signals:
    /// A run has ended and the dialog shows its outcome (fields, plot, seed tooltip, warnings).
    void runFinished();

public:
    /// true: reads and checks the fields from the controls in the exchange order, stopping at the
    /// first bad one (message box, focus into it); false: writes the fields into the controls.
    /// Returns false when a field was rejected.
    bool UpdateData(bool bSaveAndValidate = true);

    /// The control with resource id id (IDOK, IDC_*), or nullptr.
    QWidget* GetDlgItem(int id) const;

    /// The icon shown while the minimised window is dragged: the window's icon.
    QIcon OnQueryDragIcon() const;

    /// The window's own menu, which a right click on the dialog opens: Close, a separator and the
    /// About entry. Its entries carry their system-command ids as data and go to OnSysCommand.
    /// (The window manager owns the real window menu; a program cannot add to it.)
    QMenu* GetSystemMenu() const { return m_pSystemMenu; }

    /// The plot in client pixels, (100, 20)-(500, 420) whatever the dialog-unit scale: Qt's right()
    /// and bottom() are the last pixel, 499 and 419.
    static constexpr QRect kPlotRect{100, 20, 400, 400};

    /// Strictly inside m_rcPlot: left < x < right and top < y < bottom, with right and bottom one
    /// past the plot's last column and row. The frame's left column and top row are outside.
    bool IsInsidePlot(QPoint point) const;

    /// Centre of the plot in client pixels, (left + right) / 2 and (top + bottom) / 2: (300, 220).
    QPoint PlotCentre() const;

    /// Sets the text of edit control id (output fields written directly, not through the exchange).
    void SetDlgItemText(int id, const QString& text);

    /// Client-area size of template IDD_MAIN (351 x 445 dialog units, see dialogunits.h).
    static QSize ClientSize();

    // ---- replay of a results.csv (solverdlg_replay.cpp) ----

    /// Opens a results.csv (right-click menu "結果を開く(&O)...", Ctrl+O, a drop on the window,
    /// `kelvora FILE`): checks it off the GUI thread, then shows its recovered target, population,
    /// generation count and the last generation's arms. A file that cannot be read leaves the
    /// window as it was and shows the reader's message in a message box; returns false then.
    bool OpenResults(const QString& path);
    /// Shows generation (1-based) of the opened file or of the last run: its best arm blue, the best
    /// arm up to it red, its number and error in the fields, its population when that is shown.
    void ShowGeneration(int generation);
    /// Generations there are to replay: of the opened file or the last run, 0 when neither.
    int ReplayGenerationCount() const;
    /// The population layer ("集団を表示"): off at start, remembered in the settings.
    bool IsPopulationShown() const;
    void SetPopulationShown(bool shown);
    /// The generation scrubber, in the evolution window's scrubber slot once that window exists.
    GenerationScrubber* GetScrubber() const { return m_pScrubber; }

signals:
    /// A replay source came or went: a file was opened or a run finished.
    void ReplayChanged(int generationCount);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    /// Sets the window up and puts the opening state into SolverState: both poses (45, 30, 15), the
    /// base (300, 220), the target at the tip (368, 40), the default parameters. Runs once, when
    /// the dialog is first shown, before it appears.
    virtual bool OnInitDialog();
    /// Compute: reads the fields and starts the search on a thread of its own (RunWorker); never
    /// closes the dialog, and does nothing while a run is going. The window follows the run through
    /// the worker's snapshots (OnRunSnapshot, about 30 a second); input to the dialog is swallowed
    /// but for Escape, which stops the run after the current generation, and a close request, which
    /// stops it and closes the dialog once it has ended (OnRunFinished). Returns at once.
    /// When another run (a window or kelvora-cli) is writing the result files here, a warning says
    /// so and nothing starts.
    virtual void OnOK();
    /// Closing the dialog (Escape when idle, the close button, SC_CLOSE): during a run it stops the
    /// run and closes the dialog when the run has ended.
    void reject() override;
    /// Paints the plot from m_rcPlot and SolverState.
    void OnPaint();
    /// A run's notification, on the window's thread, for each snapshot the worker posts (at most
    /// about 30 a second, and always for the last finished generation): shows the generation's
    /// number and error and asks for a repaint.
    virtual void OnGenerationProgress(int generation, double error);
    /// Takes the worker's snapshot of the run into SolverState (poses, generation, history rows),
    /// feeds the evolution window and calls OnGenerationProgress.
    void OnRunSnapshot();
    /// The run has ended: its final state into SolverState, the thread gone, input back, then the
    /// seed tooltip, file warnings and a pending close.
    void OnRunFinished();
    /// Tests: the worker posts every generation and waits until the window has taken it, so that
    /// a test acting from OnGenerationProgress acts after a known generation.
    bool m_bEveryGeneration = false;
    /// History rows 0..generation-1 of the last run (or of the run going, as far as shown).
    QList<kelvora::GenerationStat> HistoryRows() const;
    /// After a run: the seed it used and the kelvora-cli command that repeats it, as the tooltip
    /// of the generation field 1004.
    void ShowRunSeed(const kelvora::SolverParams& params, const kelvora::RunReport& report, QPoint target);
    /// After a run, warns about a result file that lost lines, naming the file and the reason; for
    /// a run refused because another run is writing a file, says that nothing ran.
    void ReportResultFileFailures(const kelvora::RunReport& report);
    /// One line of that warning: the file's path in m_runDirectory and what became of it.
    QString ResultFileFailureText(const kelvora::ResultFileFailure& failure) const;
    /// The current directory's absolute name; after it has been deleted, the name it had.
    static QString CurrentDirectoryName();

    /// Pointer move over the dialog: inside the plot, the pick cursor and the pointer's position
    /// relative to the plot centre (y up) in 1008 and 1009; elsewhere the arrow, the readouts left
    /// at the last inside point. nFlags (the buttons held) is not used.
    void OnMouseMove(Qt::MouseButtons nFlags, QPoint point);
    /// Left press: inside the plot it moves the target of SolverState there, writes its relative
    /// position into 1006 and 1007 (not into m_nTargetX/m_nTargetY, which take it at the next
    /// Compute) and has the plot repainted. Outside nothing changes.
    void OnLButtonDown(Qt::MouseButtons nFlags, QPoint point);
    /// A system command: IDM_ABOUT, or any id that differs from it only in the low four bits, opens
    /// the About box modally; SC_CLOSE closes the dialog; every other id does nothing. lParam is
    /// not used.
    void OnSysCommand(unsigned nID, qintptr lParam);
    /// The Help command (F1): the program has no help text of its own and shows the About box.
    void OnHelp();
    /// Makes the cursor that m_bPointerInPlot calls for (pick cursor or arrow) the dialog's, and
    /// keeps it in m_hCursor.
    void SetPlotCursor();

    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    int m_bPointerInPlot = 0;  ///< 1 while the pointer was last strictly inside the plot
    QCursor m_hCursor;         ///< the cursor the pointer handler last set
    QRect m_rcPlot;            ///< the plot, kPlotRect once the dialog is open
    int m_nPopulationSize = 0;
    int m_nGenerationLimit = 0;
    double m_dMutationProbability = 0.0;
    double m_dCrossoverRate = 0.0;
    double m_dError = 0.0;
    int m_nGeneration = 0;
    int m_nTargetX = 0;  ///< target relative to the plot centre, x right
    int m_nTargetY = 0;  ///< target relative to the plot centre, y up
    QIcon m_hIcon;       ///< icon IDI_APP
    QMenu* m_pSystemMenu = nullptr;  ///< the window's menu, owned by the dialog
    GroundTruthOverlay* m_pGroundTruth = nullptr;  ///< the optimum and reach overlays, owned by the dialog

    SolverState& m_state;

    /// A run that has gone this long, in ms, shows the busy cursor over the dialog.
    static constexpr int kLiveInterval = 33;

    bool m_bRunning = false;                ///< from Compute until the run's end has been shown
    bool m_bRan = false;                    ///< a run has been started since the dialog opened
    int m_shownGeneration = 0;              ///< the run's latest generation shown
    bool m_bCloseRequested = false;         ///< close the dialog when the run has ended
    bool m_bBusyCursor = false;             ///< the run has shown the busy cursor
    std::shared_ptr<RunChannel> m_run;      ///< shared with the run's worker, on m_pRunThread
    QThread* m_pRunThread = nullptr;        ///< the run's thread
    QObject* m_pRunWorker = nullptr;        ///< the run's worker, only to disconnect it
    QObject* m_pInputFilter = nullptr;      ///< swallows input to the dialog during a run
    EvolutionWindow* m_pEvolution = nullptr;  ///< top-level, owned by the dialog
    kelvora::SolverParams m_runParams;      ///< parameters of the run going or last run
    QPoint m_runTarget;                     ///< its target relative to the base, y up
    QString m_runDirectory;                 ///< where the last run wrote (its current directory)

private:
    void CreateControls();
    // Replay (solverdlg_replay.cpp).
    void CreateReplayUi();
    void OnOpenResults();
    void BeginRunReplay();
    void EndRunReplay(int populationSize);
    /// During a run with the population layer on: the snapshot's generation's individuals become
    /// the layer (a snapshot taken before the layer was switched on has none: the layer waits).
    void ShowRunPopulation(const RunSnapshot& snapshot);
    void SetReplay(std::unique_ptr<ResultsReplay> replay);
    void PlaceScrubber(EvolutionWindow* evolution);  ///< into the new evolution window's scrubber slot
    std::unique_ptr<ResultsReplay> m_pReplay;        ///< what the scrubber plays back, or null
    std::unique_ptr<PopulationCloud> m_pCloud;       ///< the shown generation's population, when shown
    std::vector<std::uint64_t> m_runOffsets;         ///< results.csv bytes at each generation start of the run
    std::vector<kelvora::ArmPose> m_runBests;        ///< each generation's best pose of the run
    QAction* m_pOpenAction = nullptr;
    QAction* m_pPopulationAction = nullptr;
    GenerationScrubber* m_pScrubber = nullptr;
    std::unique_ptr<GenerationScrubber> m_pUnplacedScrubber;  ///< owns m_pScrubber until PlaceScrubber

    bool m_bInitialized = false;
    QElapsedTimer m_liveClock;  ///< since the run's start
};

}  // namespace kelvora::ui
