#include "mainwindow/solverdlg.h"

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QApplication>
#include <QFileInfo>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QShowEvent>

#include "common/aboutdlg.h"
#include "batch/sweep_table.h"
#include "session/sweep_file.h"
#include "help/helpwindow.h"
#include "evolution/evolutionwindow.h"
#include "experiment/experimentwindow.h"
#include "landscape/landscapewindow.h"
#include "evolution/generationscrubber.h"
#include "mainwindow/groundtruthoverlay.h"
#include "microscope/microscopewindow.h"
#include "common/messagebox.h"
#include "operators/operatorsview.h"
#include "mainwindow/parameterpanel.h"
#include "mainwindow/replaycontroller.h"
#include "common/resourceloader.h"
#include "mainwindow/runcontroller.h"
#include "mainwindow/runworker.h"
#include "common/solvermodel.h"
#include "common/settings.h"
#include "session/run_record.h"

namespace kelvora::ui {

namespace {

constexpr char kEvolutionOpenKey[] = "evolution/open";

}  // namespace


CSolverDlg::CSolverDlg(SolverState& state, QWidget* parent)
    // An application window with a taskbar entry, not a dialog transient for the application; in
    // its title bar the window menu and the close button, no minimise or maximise button.
    : QDialog(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint),
      m_icon(LoadIconResource(IDI_APP)),
      m_model(new SolverModel(state, this)),
      m_state(state) {
    setWindowTitle(QStringLiteral("Kelvora"));
    // The face "ＭＳ Ｐゴシック" 9 pt is IPAPGothic here, its metric twin; named outright
    // so that fontconfig's fallback cannot pick another face.
    setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    resize(clientSize());
    m_panel = std::make_unique<ParameterPanel>(this);
    connect(m_panel->compute(), &QPushButton::clicked, this, &CSolverDlg::OnOK);

    // The line under 計算 that names an operator choice that is not classic.
    m_algorithmLabel = new QLabel(this);
    m_algorithmLabel->setObjectName(QStringLiteral("AlgorithmLabel"));
    m_algorithmLabel->setTextFormat(Qt::PlainText);
    m_algorithmLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_algorithmLabel->setGeometry(14, 691, 586, 16);
    m_algorithmLabel->hide();
    createWindowMenu();
    // The optimum and the unreachable targets, painted on request (see OnPaint).
    m_groundTruth = new GroundTruthOverlay(this);
    connect(m_groundTruth, &GroundTruthOverlay::changed, this, qOverload<>(&QWidget::update));
    m_plot = std::make_unique<PlotView>(this, m_state, *m_groundTruth);
    m_run = std::make_unique<RunController>(this, *m_model, m_plot->cursor());
    connect(m_run.get(), &RunController::snapshotTaken, this, &CSolverDlg::onRunSnapshot);
    connect(m_run.get(), &RunController::runEnded, this, &CSolverDlg::onRunFinished);
    connect(m_run.get(), &RunController::escapeStopped, this, [this] { m_escapeStoppedAt = m_clock(); });
    // After Close in the window's menu (the About entry follows): open a file, the population layer.
    m_replay = new ReplayController(this, m_systemMenu, *m_model, *m_panel, *m_run, [this] { return showEvolutionWindow(); });
    connect(m_replay, &ReplayController::replayChanged, this, &CSolverDlg::replayChanged);
    connect(m_replay, &ReplayController::resultsOpened, this, &CSolverDlg::resultsOpened);
    connect(m_replay, &ReplayController::openedFileChanged, this, &CSolverDlg::onOpenedFileChanged);
    // What the model shows: the target fields and the plot follow it.
    connect(m_model, &SolverModel::targetChanged, this, [this] {
        m_panel->showTarget(m_model->relativeTarget());
        update();  // the whole client area, background erased first
    });
    connect(m_model, &SolverModel::posesChanged, this, qOverload<>(&QWidget::update));
    // Pointer moves reach OnMouseMove with no button held too. The plot has no control of its own,
    // so moves over it go to the dialog itself.
    setMouseTracking(true);
    // The window's shortcuts work whichever field has the focus: a line edit claims some of them
    // for its own editing keys (Ctrl+E moves to the end of the line) unless told otherwise.
    for (QLineEdit* field : findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) field->installEventFilter(this);
    // A sweep CSV given as results (menu, drop, command line) opens in the experiment window.
    m_replay->setElsewhere([this](const QString& path) {
        // An experiment file opens in the experiment window too.
        if (path.endsWith(QLatin1String(".kelvora.json"))) {
            openExperimentWindow();
            m_experiment->openExperiment(path);
            return true;
        }
        if (!isSweepFile(path)) return false;
        openExperimentWindow();
        m_experiment->openSweep(path);
        return true;
    });
    createMenuBar();
}

void CSolverDlg::createMenuBar() {
    // Help, F1 whichever control has the focus, in every view, a floating one too (never past a
    // modal box); in the menu bar, not in the window menu.
    QAction* help = new QAction(tr("使い方(&H)"), this);
    help->setObjectName(QStringLiteral("HelpAction"));
    help->setShortcut(QKeySequence::HelpContents);
    help->setShortcutContext(Qt::ApplicationShortcut);
    connect(help, &QAction::triggered, this, &CSolverDlg::onHelp);
    addAction(help);
    // The experiment window's own "open a sweep CSV".
    QAction* sweep = new QAction(tr("スイープを開く(&S)..."), this);
    sweep->setObjectName(QStringLiteral("OpenSweepAction"));
    connect(sweep, &QAction::triggered, this, [this] {
        openExperimentWindow();
        if (auto* open = m_experiment->findChild<QAction*>(QStringLiteral("OpenSweepAction"))) open->trigger();
    });
    // The experiment window's own "open an experiment" and "save the experiment".
    for (const auto& [name, text] : {std::pair{"OpenExperimentAction", tr("実験を開く(&E)...")},
                                     std::pair{"SaveExperimentAction", tr("実験を保存(&X)...")}}) {
        QAction* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, name] {
            openExperimentWindow();
            if (auto* own = m_experiment->findChild<QAction*>(QLatin1String(name))) own->trigger();
        });
    }
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    for (const QString& title : {tr("ファイル(&F)"), tr("表示(&V)"), tr("実験(&X)"), tr("ヘルプ(&H)")})
        m_menuBar->addMenu(title);
    // The client area keeps its pixels below the bar: every control moves down by its height, and
    // the plot is painted and hit-tested from there.
    const int barHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, clientSize().width(), barHeight);
    m_clientOrigin = QPoint(0, barHeight);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child != m_menuBar && !child->isWindow()) child->move(child->pos() + m_clientOrigin);
    m_plot->setOrigin(m_clientOrigin);
    resize(clientSize() + QSize(0, barHeight));
}

void CSolverDlg::fillMenuBar() {
    const QList<QMenu*> menus = m_menuBar->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    const std::initializer_list<const char*> entries[] = {
        {"OpenResultsAction", "OpenSweepAction", "OpenExperimentAction", "SaveExperimentAction", "", "CloseAction"},
        {"EvolutionAction", "MicroscopeAction", "LandscapeAction", "OperatorsAction", "", "ShowPopulationAction", "ShowUnreachableAction",
         "ShowOptimumAction", "ShowFamilyAction"},
        {"OperatorsAction", "ExperimentAction"},
        {"HelpAction", "", "AboutAction"},
    };
    for (qsizetype i = 0; i < menus.size() && i < 4; ++i)
        for (const char* name : entries[i]) {
            if (!*name) {
                menus[i]->addSeparator();
            } else if (QAction* action = findChild<QAction*>(QLatin1String(name))) {
                menus[i]->addAction(action);
                addAction(action);  // its shortcut overrides a field's own keys (eventFilter)
            }
        }
}

bool CSolverDlg::isSweepFile(const QString& path) {
    // Only a regular file: opening a FIFO here would wait for its writer on the window's thread.
    if (!QFileInfo(path).isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return kelvora::session::IsSweepHeader(file.readLine(kelvora::SweepHeader().size() + 3).trimmed().toStdString());
}

void CSolverDlg::createWindowMenu() {
    // The window's menu starts with what a window menu always has here, Close; onInitDialog adds
    // the About entry. A menu is a window of its own: give it the dialog's face explicitly.
    m_systemMenu = new QMenu(this);
    m_systemMenu->setObjectName(QStringLiteral("SystemMenu"));
    m_systemMenu->setFont(font());
    QAction* closeAction = m_systemMenu->addAction(tr("閉じる(&C)"));
    closeAction->setObjectName(QStringLiteral("CloseAction"));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    // The evolution window's entry; its shortcut works with the menu closed, during a run too.
    QAction* evolution = m_systemMenu->addAction(tr("進化のグラフ(&G)..."));
    connect(evolution, &QAction::triggered, this, [this] { showEvolutionWindow(); });
    evolution->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    evolution->setShortcutContext(Qt::WindowShortcut);
    evolution->setObjectName(QStringLiteral("EvolutionAction"));
    addAction(evolution);
    // The operator dialog's entry, Ctrl+L.
    QAction* operators = m_systemMenu->addAction(tr("遺伝的操作(&L)..."));
    operators->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    operators->setShortcutContext(Qt::WindowShortcut);
    operators->setObjectName(QStringLiteral("OperatorsAction"));
    connect(operators, &QAction::triggered, this, &CSolverDlg::onOperators);
    addAction(operators);
    // The experiment window's entry, Ctrl+E.
    QAction* experiment = m_systemMenu->addAction(tr("実験(&E)..."));
    experiment->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    experiment->setShortcutContext(Qt::WindowShortcut);
    experiment->setObjectName(QStringLiteral("ExperimentAction"));
    addAction(experiment);
    connect(experiment, &QAction::triggered, this, &CSolverDlg::openExperimentWindow);
    // The landscape view of the target as it is now, for the operator choice of the next runs.
    QAction* landscape = m_systemMenu->addAction(tr("地形(&T)..."));
    landscape->setObjectName(QStringLiteral("LandscapeAction"));
    landscape->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    landscape->setShortcutContext(Qt::WindowShortcut);
    addAction(landscape);
    connect(landscape, &QAction::triggered, this, [this] {
        auto* window = new LandscapeWindow(m_state.geometry(), m_algorithm, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        m_landscapes.append(window);
        // The shown generation's population over its slices: scrubbed, and while a run goes.
        connect(scrubber(), &GenerationScrubber::generationChanged, window, &LandscapeWindow::showGeneration);
        if (isRunning()) m_run->setWantPopulation(true);
        // Its map across targets over the plot, until it is unticked or the window goes.
        connect(window, &LandscapeWindow::mapOverlayChanged, m_groundTruth, &GroundTruthOverlay::setLandscapeMap);
        connect(window, &QObject::destroyed, m_groundTruth, [this] { m_groundTruth->setLandscapeMap({}); });
        tellLandscapesTheRun();
        presentView(window);
    });
    // The generation microscope's entry, Ctrl+M.
    QAction* microscope = m_systemMenu->addAction(tr("世代の顕微鏡(&M)..."));
    microscope->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    microscope->setShortcutContext(Qt::WindowShortcut);
    microscope->setObjectName(QStringLiteral("MicroscopeAction"));
    addAction(microscope);
    connect(microscope, &QAction::triggered, this, [this] { showMicroscope(); });
}

MicroscopeWindow* CSolverDlg::showMicroscope() {
    if (!m_microscope) {
        m_microscope = new MicroscopeWindow(this);
        connect(scrubber(), &GenerationScrubber::generationChanged, m_microscope, [this](int generation) {
            if (m_microscope->isVisible()) m_microscope->showGeneration(generation);
        });
    }
    tellMicroscopeTheRun();
    presentView(m_microscope);
    return m_microscope;
}

void CSolverDlg::tellMicroscopeTheRun() {
    if (const std::optional<kelvora::RunRecord>& record = m_replay->openedRecord())
        m_microscope->setRun({record->params, record->geometry, record->seed, record->algorithm}, record->generationsRun);
    else if (!m_replay->openedFile().isEmpty())
        return m_microscope->forgetRun();  // a file that no run.json describes cannot be made again
    else if (m_lastRunGenerations > 0)
        m_microscope->setRun(m_lastRun, m_lastRunGenerations);
    else
        return;
    const int generation = scrubber()->generation();
    m_microscope->showGeneration(generation > 0 ? generation : 1);
}

void CSolverDlg::tellLandscapesTheRun() {
    for (LandscapeWindow* window : landscapes()) {
        if (const std::optional<kelvora::RunRecord>& record = m_replay->openedRecord()) {
            window->setRun({record->params, record->geometry, record->seed, record->algorithm}, record->generationsRun);
        } else if (!m_replay->openedFile().isEmpty()) {
            window->forgetRun();  // a file that no run.json describes cannot be made again
            continue;
        } else if (m_lastRunGenerations > 0) {
            window->setRun(m_lastRun, m_lastRunGenerations);
        } else {
            continue;
        }
        const int generation = scrubber()->generation();
        window->showGeneration(generation > 0 ? generation : m_replay->replayGenerationCount());
    }
}

void CSolverDlg::openExperimentWindow() {
    // The fields' settings and the target as they are now, for its "追加".
    if (!m_experiment) {
        m_experiment = new ExperimentWindow([this] {
            if (!isRunning()) m_panel->readParams();
            CurrentSettings now;
            now.params = m_panel->params();
            now.algorithm = m_algorithm;
            now.target = QPoint(m_model->relativeTarget().x, m_model->relativeTarget().y);
            return now;
        }, this);
        // A results.csv dropped there is replayed here.
        connect(m_experiment, &ExperimentWindow::resultsDropped, this, [this](const QString& path) {
            raise();
            activateWindow();
            openResults(path);
        });
    }
    presentView(m_experiment);
}

bool CSolverDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction* action : actions())
            if (action->isEnabled() && action->shortcut() == pressed) {
                event->ignore();  // not the field's: the shortcut goes to the action
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

QSize CSolverDlg::clientSize() { return ParameterPanel::clientSize(); }



bool CSolverDlg::onInitDialog() {
    // The overlay entries, then the About entry at the end of the window's menu, after a separator.
    if (QMenu* menu = windowMenu()) {
        m_groundTruth->addToMenu(menu);
        const QString about = LoadStringResource(IDS_ABOUT_MENU);
        if (!about.isEmpty()) {
            menu->addSeparator();
            QAction* action = menu->addAction(about);
            action->setObjectName(QStringLiteral("AboutAction"));
            connect(action, &QAction::triggered, this, &CSolverDlg::onAbout);
        }
    }
    fillMenuBar();
    setWindowIcon(m_icon);  // large and small: the icon holds both sizes

    m_plot->open();
    // The base is the plot's centre, (left + right) / 2 and (top + bottom + 1) / 2: (300, 220).
    static_assert(kPlotRect.left() + kPlotRect.width() / 2 == kelvora::kBaseX &&
                  (2 * kPlotRect.top() + kPlotRect.height()) / 2 == kelvora::kBaseY);
    m_model->open();  // the target fields follow
    m_runParams = kelvora::SolverParams{};
    m_panel->showParams(kelvora::SolverParams{});  // 20, 100, 0.5, 0.1
    m_panel->showGeneration(0, 0.0);
    m_algorithm = LoadAlgorithm();
    showAlgorithm();

    // The keyboard focus starts on the first tab stop, the Compute button.
    m_panel->compute()->setFocus(Qt::OtherFocusReason);
    // The evolution window opens again when it was open as the program last ended.
    if (AppSettings().value(QLatin1String(kEvolutionOpenKey), false).toBool()) {
        showEvolutionWindow();
        activateWindow();
    }
    return true;
}

void CSolverDlg::showEvent(QShowEvent* event) {
    // QDialog places the dialog first, so that an evolution window onInitDialog opens again can go
    // beside it.
    QDialog::showEvent(event);
    if (!m_initialized && !event->spontaneous()) {
        m_initialized = true;
        onInitDialog();
    }
}

CSolverDlg::~CSolverDlg() {
    m_run.reset();  // while the dialog and its controls, whose input it swallows, are still there
}

bool CSolverDlg::isRunning() const { return m_run->isRunning(); }

void CSolverDlg::OnOK() {
    if (isRunning()) return;  // never a run inside a run
    const std::optional<kelvora::SolverParams> read = m_panel->readParams();
    if (!read) return;  // the message has been shown and the focus moved; no run, no file
    const kelvora::SolverParams params = *read;
    if (!algorithmFits(params.populationSize)) return;
    m_runParams = params;
    m_runAlgorithm = m_algorithm;

    // The run would rewrite the very file the window has open: only when the person says so.
    if (const QString opened = m_replay->openedFile();
        !opened.isEmpty() && isSameFile(opened, QDir::current().absoluteFilePath(QStringLiteral("results.csv"))) &&
        !askOverwrite())
        return;

    // Another run (a window or kelvora-cli) writing the files here: say so and start nothing.
    m_runDirectory = CurrentDirectoryName();
    if (const char* busy = kelvora::ResultFileInUse()) {
        kelvora::ResultFileFailure failure;
        failure.name = busy;
        failure.problem = kelvora::FileProblem::inUse;
        ShowMessageBox(this, QMessageBox::Warning, ResultFileFailureText(failure));
        return;
    }

    // A run that cannot start (descriptors, memory, a thread) says why; the window stays as it was.
    std::optional<std::uint32_t> chosen;
    if (m_seedSource && !m_seedSource(chosen)) return;
    const std::uint32_t seed = chosen ? *chosen : kelvora::ClockSeed();
    const bool landscapeOpen = !landscapes().isEmpty();
    if (const QString failure = m_run->start(params, m_runAlgorithm, seed, m_everyGeneration,
                                              isPopulationShown() || landscapeOpen);
        !failure.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, failure);
        return;
    }
    m_escapeStoppedAt = -1;  // an Escape from now on is about this run
    emit runStarted(seed);
    // Its snapshots come queued, after this: the replay's index starts empty for them.
    m_replay->beginRunReplay();
    // The landscape views follow the new run's snapshots, not the last run's generations.
    for (LandscapeWindow* window : landscapes()) window->forgetRun();
    m_closeRequested = false;
    ChartedRun chart;
    chart.limit = params.generationCount;
    chart.readout = OperatorsView::Summary(m_runAlgorithm);
    chart.name = EvolutionWindow::RunName(params, m_runAlgorithm);
    chart.rows = ChartedRun::Rows::history;
    m_model->beginChart(std::move(chart));
}

bool CSolverDlg::algorithmFits(int populationSize) {
    // A tournament or elite count the population cannot hold: said like a bad field.
    if (const kelvora::AlgorithmFault fault = kelvora::CheckAlgorithm(m_algorithm, populationSize)) {
        const bool tournament = fault.kind == kelvora::AlgorithmFault::tournamentSize;
        ShowMessageBox(this, QMessageBox::Warning,
                       tournament ? tr("トーナメントの大きさ %1 は集団サイズ %2 より大きくできません。"
                                       "集団サイズを %1 以上にするか、遺伝的操作でトーナメントを %2 以下にしてください。")
                                        .arg(m_algorithm.tournamentSize)
                                        .arg(populationSize)
                                  : tr("エリート数 %1 は集団サイズ %2 より小さくなければなりません。"
                                       "集団サイズを %3 以上にするか、遺伝的操作でエリート数を %4 以下にしてください。")
                                        .arg(m_algorithm.elitism)
                                        .arg(populationSize)
                                        .arg(m_algorithm.elitism + 1)
                                        .arg(populationSize - 1));
        QLineEdit* field = m_panel->field(ParameterPanel::Field::populationSize);
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
        return false;
    }
    return true;
}

void CSolverDlg::onOperators() {
    if (!m_operators) {
        m_operators = new OperatorsView(m_algorithm, this);
        connect(m_operators, &OperatorsView::algorithmChosen, this, [this](const kelvora::Algorithm& chosen) {
            m_algorithm = chosen;
            SaveAlgorithm(m_algorithm);
            showAlgorithm();
        });
        // A run keeps the choice it started with: the controls wait for its end.
        connect(this, &CSolverDlg::runStarted, m_operators, [this] { m_operators->setEnabled(false); });
        connect(this, &CSolverDlg::runFinished, m_operators, [this] { m_operators->setEnabled(true); });
    }
    m_operators->setEnabled(!isRunning());
    presentView(m_operators);
}

void CSolverDlg::showAlgorithm() {
    m_algorithmLabel->setText(OperatorsView::Summary(m_algorithm));
    m_algorithmLabel->setVisible(!m_algorithm.classic());
    if (m_operators) m_operators->setAlgorithm(m_algorithm);
}

void CSolverDlg::onRunSnapshot(const RunSnapshot& snapshot) {
    m_replay->takeRunSnapshot(snapshot);
    if (!snapshot.population.empty()) {
        std::vector<kelvora::ArmPose> poses;  // the genes as evaluated are the angles
        for (const kelvora::Chromosome& c : snapshot.population) poses.push_back(kelvora::PoseOf(c));
        for (LandscapeWindow* window : landscapes())
            window->setPopulation(poses, snapshot.generation, m_state.geometry());
    }
    onGenerationProgress(snapshot.generation, snapshot.error);
}

void CSolverDlg::onRunFinished(const RunResult& result) {
    const kelvora::RunReport& report = result.report;
    update();  // the last finished generation's poses
    m_model->finishChart();
    if (!report.refused) {
        if (!report.results) m_replay->endRunReplay(m_runParams.populationSize);
        ShowRunSeed(result);
        const kelvora::RunRecord& record = result.record;
        m_lastRun = {record.params, record.geometry, record.seed, record.algorithm};
        m_lastRunGenerations = record.generationsRun;
        if (m_microscope && m_microscope->isVisible()) tellMicroscopeTheRun();
        tellLandscapesTheRun();
        if (!result.recordError.empty()) {
            QWidget* field = m_panel->field(ParameterPanel::Field::generation);
            field->setToolTip(field->toolTip() + QLatin1Char('\n') +
                              tr("run.json を書けませんでした: %1").arg(QString::fromLocal8Bit(result.recordError.c_str())));
        }
        m_groundTruth->showRunGap(m_panel->field(ParameterPanel::Field::error), m_state);
    }
    ReportResultFileFailures(report, result.recordError);
    emit runFinished();
    if (m_closeRequested) reject();
}

EvolutionWindow* CSolverDlg::showEvolutionWindow() {
    if (!m_evolution) {
        m_evolution = new EvolutionWindow(*m_model, this);
        m_replay->placeScrubber(m_evolution);
        m_run->setWantDiversity(m_evolution->showsDiversity());
        connect(m_evolution, &EvolutionWindow::diversityShownChanged, m_run.get(), &RunController::setWantDiversity);
    }
    presentView(m_evolution);
    return m_evolution;
}

void CSolverDlg::reject() {
    if (isRunning()) {
        m_run->requestStop();
        m_closeRequested = true;
        return;
    }
    if (m_closeAgreed) return;
    // Runs of the experiment window not saved yet are not dropped unasked (an Escape soon after the
    // one that stopped a run, say); the answer comes later, the window stays meanwhile.
    if (m_experiment && m_experiment->holdsUnsavedRuns() && !m_discardAgreed) {
        m_closeRequested = false;
        if (m_discardAsked) return;
        m_discardAsked = true;
        m_experiment->askDiscard(this, [this](bool discard) {
            m_discardAsked = false;
            if (!discard) return;
            m_discardAgreed = true;
            reject();
        });
        return;
    }
    // Whether the evolution window was open goes with the program's end.
    AppSettings().setValue(QLatin1String(kEvolutionOpenKey), m_evolution && m_evolution->isVisible());
    if (m_evolution) m_evolution->close();
    if (isWindow()) {
        QDialog::reject();
    } else {
        m_closeAgreed = true;
        emit closeAgreed();  // the window that holds the dialog closes with it
    }
}

void CSolverDlg::onGenerationProgress(int generation, double error) {
    m_panel->showParams(m_panel->params());
    m_panel->showGeneration(generation, error);
    update();  // the whole client area, background erased first
}

void CSolverDlg::ShowRunSeed(const RunResult& result) {
    // The clock value the generator was seeded with, and the command line that repeats the run
    // exactly, made from the run's record: a stopped run is repeated by its finished generations.
    const kelvora::RunReport& report = result.report;
    QString text = tr("シード %1\n%2 で再現できます")
                       .arg(report.seed)
                       .arg(QString::fromStdString(kelvora::session::ReproducingCommand(result.record)));
    if (report.stopped)
        text += QLatin1Char('\n') +
                tr("第 %1 世代で中止しました (上限 %2 世代)").arg(report.generationsRun).arg(result.record.params.generationCount);
    m_panel->field(ParameterPanel::Field::generation)->setToolTip(text);
    // The command line names the run under the evolution window's exported chart.
    m_model->setChartCaption(text.section(QLatin1Char('\n'), 1, 1));
}

QString CSolverDlg::CurrentDirectoryName() {
    const QString current = QDir::currentPath();
    if (!current.isEmpty()) return current;
    // Deleted: the system still knows the name it had.
    char link[4096];
    const ssize_t n = ::readlink("/proc/self/cwd", link, sizeof link - 1);
    if (n <= 0) return QString();
    QString name = QString::fromLocal8Bit(link, static_cast<int>(n));
    const QString deleted = QStringLiteral(" (deleted)");
    if (name.endsWith(deleted)) name.chop(deleted.size());
    return name;
}

QString CSolverDlg::ResultFileFailureText(const kelvora::ResultFileFailure& failure) const {
    const QString name = QString::fromLocal8Bit(failure.name);
    const QString path = QDir::toNativeSeparators(m_runDirectory.isEmpty() ? name : m_runDirectory + QLatin1Char('/') + name);
    const QString reason = QString::fromLocal8Bit(std::strerror(failure.error));
    switch (failure.problem) {
    case kelvora::FileProblem::inUse:
        return tr("結果ファイル \"%1\" には別の計算が書き込み中です。計算は行いませんでした。").arg(path);
    case kelvora::FileProblem::notAFile: {
        QString kind;
        switch (failure.fileType & S_IFMT) {
        case S_IFIFO: kind = tr("名前付きパイプ"); break;
        case S_IFSOCK: kind = tr("ソケット"); break;
        case S_IFBLK: kind = tr("ブロックデバイス"); break;
        case S_IFDIR: kind = tr("ディレクトリ"); break;
        default: kind = tr("特殊なファイル"); break;
        }
        return tr("結果ファイル \"%1\" は通常のファイルではないため開きませんでした (%2)。このファイルには何も書かれていません。")
            .arg(path, kind);
    }
    case kelvora::FileProblem::lost:
        return tr("結果ファイル \"%1\" は計算中に削除されました。このファイルの内容は失われました。").arg(path);
    default:
        return (failure.duringOpen ? tr("結果ファイル \"%1\" を開けませんでした (%2)。このファイルには何も書かれていません。")
                                   : tr("結果ファイル \"%1\" に書き込めませんでした (%2)。このファイルの内容は途中までです。"))
            .arg(path, reason);
    }
}

void CSolverDlg::ReportResultFileFailures(const kelvora::RunReport& report, const std::string& recordError) {
    QStringList lines;
    for (const kelvora::ResultFileFailure& failure : {report.results, report.fitness}) {
        if (!failure) continue;
        // A refused run names only the busy file: the other was never written.
        if (report.refused && failure.problem != kelvora::FileProblem::inUse) continue;
        lines << ResultFileFailureText(failure);
    }
    if (!report.refused && !recordError.empty())
        lines << tr("run.json を書けませんでした: %1").arg(QString::fromLocal8Bit(recordError.c_str()));
    if (lines.isEmpty()) return;
    if (!report.refused)
        lines << (report.stopped ? tr("計算は第 %1 世代で中止され、そこまでの結果が画面に表示されています。")
                                       .arg(report.generationsRun)
                                 : tr("計算は最後まで行われ、結果は画面に表示されています。"));
    ShowMessageBox(this, QMessageBox::Warning, lines.join(QLatin1Char('\n')));
}

void CSolverDlg::paintEvent(QPaintEvent* event) {
    OnPaint();
    QDialog::paintEvent(event);
}

void CSolverDlg::OnPaint() { m_plot->OnPaint(m_replay->shownCloud()); }

QPoint CSolverDlg::plotCentre() const { return m_plot->plotCentre(); }

bool CSolverDlg::isInsidePlot(QPoint point) const { return m_plot->isInsidePlot(point); }

namespace {

// The client pixel under a pointer position, each coordinate truncated toward zero: at a fractional
// scale factor 100.5 is pixel 100 (outside the plot) and 499.5 is pixel 499 (inside), where
// QPointF::toPoint() would round them to 101 and 500.
QPoint ClientPixel(QPointF position, QPoint origin) {
    return QPoint(static_cast<int>(position.x()), static_cast<int>(position.y())) - origin;
}

}  // namespace

void CSolverDlg::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->buttons(), ClientPixel(event->position(), m_clientOrigin));
    QDialog::mouseMoveEvent(event);
}

void CSolverDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OnLButtonDown(event->buttons(), ClientPixel(event->position(), m_clientOrigin));
    QDialog::mousePressEvent(event);
}

void CSolverDlg::OnMouseMove(Qt::MouseButtons /*buttons*/, QPoint point) {
    // Outside the plot the readouts stay at the last inside point.
    if (!m_plot->OnMouseMove(point)) return;
    const QPoint centre = plotCentre();
    const kelvora::PixelPoint pointer = kelvora::RelativeFromPixel({point.x(), point.y()}, centre.x(), centre.y());
    m_panel->showPointer(pointer);
}

void CSolverDlg::OnLButtonDown(Qt::MouseButtons /*buttons*/, QPoint point) {
    if (!isInsidePlot(point)) return;
    // A click during the replay of an opened file leaves it: the file's arms, numbers and chart go,
    // and all of the window follows the new target.
    const bool left = m_replay->leaveReplay();
    m_model->setTarget(point);  // the marker moves and the target fields follow
    if (left) {  // the chart starts over, empty, for the new target
        ChartedRun chart;
        chart.limit = m_panel->params().generationCount;
        m_model->beginChart(std::move(chart));
        m_model->finishChart();
    }
}

void CSolverDlg::onOpenedFileChanged(const QString& path) {
    if (path.isEmpty()) {
        setWindowTitle(QStringLiteral("Kelvora"));
        return;
    }
    const QFileInfo file(path);
    // The directory as a person would say it: from ~ when it is under the home directory, and
    // only its last name when it is deeper than one level.
    QString directory = QDir::toNativeSeparators(file.absolutePath());
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (directory == home || directory.startsWith(home + QLatin1Char('/'))) directory = QLatin1Char('~') + directory.mid(home.size());
    if (directory.count(QLatin1Char('/')) > 1) directory = QStringLiteral("…/") + file.absoluteDir().dirName();
    setWindowTitle(tr("Kelvora — %1 (%2)").arg(file.fileName(), directory));
    // The run's own operator choice, from its run.json: the next run repeats it, as the fields do.
    if (const std::optional<kelvora::RunRecord>& record = m_replay->openedRecord()) {
        m_algorithm = record->algorithm;
        showAlgorithm();
        // Every parameter as it ran (a stopped run by the generations it finished), so that the
        // next 計算 with its seed writes the same files.
        kelvora::SolverParams params = record->params;
        if (record->stopped) params.generationCount = record->generationsRun;
        m_panel->showParams(params);
        emit openedRunSeed(record->seed);
    }
    if (m_microscope && m_microscope->isVisible()) tellMicroscopeTheRun();
    tellLandscapesTheRun();
}

bool CSolverDlg::isSameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

bool CSolverDlg::askOverwrite() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvora"), tr("開いている結果ファイルを上書きしますか？"),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("OverwriteQuestion"));
    box.setFont(font());
    QPushButton* overwrite = box.addButton(tr("上書きして計算"), QMessageBox::AcceptRole);
    overwrite->setObjectName(QStringLiteral("OverwriteButton"));
    QPushButton* keep = box.addButton(tr("計算しない"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("KeepButton"));
    box.setDefaultButton(keep);  // Enter keeps the file
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == overwrite;
}

void CSolverDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Not modal: the chosen entry arrives through QMenu::triggered.
    m_systemMenu->popup(event->globalPos());
}

void CSolverDlg::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::HelpContents)) {
        onHelp();
        return;
    }
    // A second Escape soon after the one that stopped a run belongs to the same intent: it keeps the
    // program, rather than closing it the moment the run has ended.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_escapeStoppedAt >= 0 &&
        m_clock() - m_escapeStoppedAt < kEscapeGraceMs) {
        event->accept();
        return;
    }
    // Enter presses Compute from any field. (QDialog finds its default button only while the dialog is
    // a window of its own; set in the program's window, a field's focus takes the button's default.)
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() == Qt::NoModifier ||
                        (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter));
    if (enter && !isWindow()) {
        if (QPushButton* compute = m_panel->compute(); compute->isVisible() && compute->isEnabled()) compute->click();
        return;
    }
    QDialog::keyPressEvent(event);  // Enter presses Compute, Escape closes
}

void CSolverDlg::onAbout() {
    CAboutDlg about(this);
    about.DoModal();
}

void CSolverDlg::onHelp() {
    if (!m_help) {
        m_help = new HelpWindow(this);
    }
    presentView(m_help);
}

void CSolverDlg::presentView(QWidget* view) {
    if (m_viewHost) {
        m_viewHost(view);
        return;
    }
    view->show();
    view->raise();
    view->activateWindow();
}

QList<LandscapeWindow*> CSolverDlg::landscapes() const {
    QList<LandscapeWindow*> open;
    for (const QPointer<LandscapeWindow>& window : m_landscapes)
        if (window) open.append(window);
    return open;
}

// ---- replay of a results.csv: ReplayController ----

void CSolverDlg::openResults(const QString& path) { m_replay->openResults(path); }

void CSolverDlg::showGeneration(int generation) { m_replay->showGeneration(generation); }

int CSolverDlg::replayGenerationCount() const { return m_replay->replayGenerationCount(); }

bool CSolverDlg::isPopulationShown() const { return m_replay && m_replay->isPopulationShown(); }

void CSolverDlg::setPopulationShown(bool shown) { m_replay->setPopulationShown(shown); }

GenerationScrubber* CSolverDlg::scrubber() const { return m_replay->scrubber(); }

void CSolverDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (m_replay->acceptsDrop(event->mimeData())) event->acceptProposedAction();
}

void CSolverDlg::dropEvent(QDropEvent* event) {
    if (m_replay->drop(event->mimeData())) event->acceptProposedAction();
}

}  // namespace kelvora::ui
