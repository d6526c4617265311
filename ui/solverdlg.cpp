#include "solverdlg.h"

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QThread>

#include "aboutdlg.h"
#include "dataexchange.h"
#include "dialogunits.h"
#include "evolutionwindow.h"
#include "fitnesschart.h"
#include "generationscrubber.h"
#include "groundtruthoverlay.h"
#include "messagebox.h"
#include "plotpainter.h"
#include "resourceloader.h"
#include "resultsreplay.h"
#include "runworker.h"
#include "settings.h"
#include "userinput.h"

namespace kelvora::ui {

namespace {

// Kinds of control in template IDD_MAIN.
enum class ControlKind {
    DefPushButton,   // the default button
    ParameterEdit,   // centred text, border, auto-scroll, tab stop
    OutputEdit,      // centred text, border, disabled
    ReadoutEdit,     // left-aligned text, border, disabled
    Static,          // left-aligned text, starts a group
};

struct ControlTemplate {
    int id;  // -1 for statics, which have none
    const char* name;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;  // dialog units
};

// Template IDD_MAIN: template order, which is also the tab order.
constexpr ControlTemplate kMainTemplate[] = {
    {IDOK, "IDOK", ControlKind::DefPushButton, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "計算"), 147, 406, 50, 14},
    {IDC_POPULATION_SIZE, "IDC_POPULATION_SIZE", ControlKind::ParameterEdit, "", 107, 358, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "集団サイズ(<10000)"), 38, 359, 63, 8},
    {IDC_GENERATION_LIMIT, "IDC_GENERATION_LIMIT", ControlKind::ParameterEdit, "", 234, 357, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "世代数の上限(<10000)"), 161, 359, 71, 8},
    {IDC_CROSSOVER_RATE, "IDC_CROSSOVER_RATE", ControlKind::ParameterEdit, "", 107, 381, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "突然変異の確率"), 181, 384, 49, 8},
    {IDC_MUTATION_PROBABILITY, "IDC_MUTATION_PROBABILITY", ControlKind::ParameterEdit, "", 234, 382, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "交差率"), 77, 383, 22, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "エリート解の誤差"), 179, 321, 51, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "世代"), 150, 320, 15, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "第"), 94, 320, 8, 8},
    {IDC_GENERATION, "IDC_GENERATION", ControlKind::OutputEdit, "", 106, 318, 40, 14},
    {IDC_ERROR, "IDC_ERROR", ControlKind::OutputEdit, "", 234, 318, 40, 14},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "目標点y座標"), 189, 301, 39, 8},
    {-1, nullptr, ControlKind::Static, QT_TRANSLATE_NOOP("kelvora::ui::CSolverDlg", "目標点x座標"), 64, 303, 39, 8},
    {IDC_TARGET_X, "IDC_TARGET_X", ControlKind::OutputEdit, "", 106, 301, 40, 14},
    {IDC_TARGET_Y, "IDC_TARGET_Y", ControlKind::OutputEdit, "", 234, 300, 40, 14},
    {IDC_POINTER_X, "IDC_POINTER_X", ControlKind::ReadoutEdit, "", 298, 87, 40, 14},
    {IDC_POINTER_Y, "IDC_POINTER_Y", ControlKind::ReadoutEdit, "", 298, 111, 40, 14},
};

// Template size in dialog units.
constexpr int kTemplateWidth = 351;
constexpr int kTemplateHeight = 445;

// The shortest text that reads back as the same double: a rate typed with more digits than the
// field shows must still repeat the very same run.
QString RoundTripText(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

// While a run goes, swallows the user's input to the dialog and its controls (keys, buttons, moves,
// wheel, context menus, drops), so that no field, target or button changes under the run; Escape
// only asks the run to stop. Paints and the window manager's close request still go through.
// Installed on the dialog and each of its widgets for the run's length; other windows (the
// evolution window) take their input as usual.
class RunInputFilter : public QObject {
public:
    RunInputFilter(QWidget* dialog, std::function<void()> stop) : m_dialog(dialog), m_stop(std::move(stop)) {
        m_dialog->installEventFilter(this);
        for (QWidget* child : m_dialog->findChildren<QWidget*>()) child->installEventFilter(this);
    }
    ~RunInputFilter() override {
        m_dialog->removeEventFilter(this);
        for (QWidget* child : m_dialog->findChildren<QWidget*>()) child->removeEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!IsUserInput(event->type()) || !IsDialogWidget(watched)) return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) m_stop();
        return true;
    }

private:
    bool IsDialogWidget(QObject* object) const {
        if (!object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        return widget == m_dialog || m_dialog->isAncestorOf(widget);
    }

    QWidget* m_dialog;
    std::function<void()> m_stop;
};

constexpr char kEvolutionOpenKey[] = "evolution/open";

}  // namespace


CSolverDlg::CSolverDlg(SolverState& state, QWidget* pParent)
    // An application window with a taskbar entry, not a dialog transient for the application; in
    // its title bar the window menu and the close button, no minimise or maximise button.
    : QDialog(pParent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint),
      m_hIcon(LoadIconResource(IDI_APP)),
      m_state(state) {
    setWindowTitle(QStringLiteral("Kelvora"));
    // The template's face "ＭＳ Ｐゴシック" 9 pt is IPAPGothic here, its metric twin; named outright
    // so that fontconfig's fallback cannot pick another face.
    setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    resize(ClientSize());
    CreateControls();

    // The window's menu starts with what a window menu always has here, Close; OnInitDialog adds
    // the About entry. A menu is a window of its own: give it the dialog's face explicitly.
    m_pSystemMenu = new QMenu(this);
    m_pSystemMenu->setObjectName(QStringLiteral("SystemMenu"));
    m_pSystemMenu->setFont(font());
    m_pSystemMenu->addAction(tr("閉じる(&C)"))->setData(SC_CLOSE);
    connect(m_pSystemMenu, &QMenu::triggered, this,
            [this](QAction* action) { OnSysCommand(action->data().toUInt(), 0); });
    // The evolution window's entry; its shortcut works with the menu closed, during a run too.
    QAction* evolution = m_pSystemMenu->addAction(tr("進化のグラフ(&G)..."));
    evolution->setData(IDM_EVOLUTION);
    evolution->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    evolution->setShortcutContext(Qt::WindowShortcut);
    evolution->setObjectName(QStringLiteral("EvolutionAction"));
    addAction(evolution);
    CreateReplayUi();
    // The optimum and the unreachable targets, painted on request (see OnPaint).
    m_pGroundTruth = new GroundTruthOverlay(this);
    connect(m_pGroundTruth, &GroundTruthOverlay::changed, this, qOverload<>(&QWidget::update));
    // Pointer moves reach OnMouseMove with no button held too. The plot has no control of its own,
    // so moves over it go to the dialog itself.
    setMouseTracking(true);
}

QSize CSolverDlg::ClientSize() {
    return QSize(DialogUnitsToPixelsX(kTemplateWidth), DialogUnitsToPixelsY(kTemplateHeight));
}


void CSolverDlg::CreateControls() {
    // Widgets are created in template order, so Qt's focus chain is the template's tab order.
    for (const ControlTemplate& t : kMainTemplate) {
        QWidget* control = nullptr;
        const QString text = tr(t.text);  // the template's Japanese, or its translation
        switch (t.kind) {
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(text, this);
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, &CSolverDlg::OnOK);
            control = button;
            break;
        }
        case ControlKind::ParameterEdit:
        case ControlKind::OutputEdit:
        case ControlKind::ReadoutEdit: {
            auto* edit = new QLineEdit(this);
            edit->setAlignment(t.kind == ControlKind::ReadoutEdit ? Qt::AlignLeft | Qt::AlignVCenter
                                                                   : Qt::AlignCenter);
            edit->setEnabled(t.kind == ControlKind::ParameterEdit);
            control = edit;
            break;
        }
        case ControlKind::Static: {
            auto* label = new QLabel(text, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
            break;
        }
        }
        control->setProperty("controlId", t.id);
        if (t.name) control->setObjectName(QString::fromLatin1(t.name));
        control->setGeometry(DialogUnitsToPixelsX(t.x), DialogUnitsToPixelsY(t.y), DialogUnitsToPixelsX(t.cx),
                             DialogUnitsToPixelsY(t.cy));
    }
}

QWidget* CSolverDlg::GetDlgItem(int id) const { return FindDlgItem(this, id); }

QIcon CSolverDlg::OnQueryDragIcon() const { return m_hIcon; }

bool CSolverDlg::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    dx.Proceed();  // reports a last field whose text did not convert
    return !dx.Failed();
}

void CSolverDlg::DoDataExchange(CDataExchange* pDX) {
    // The mutation probability is exchanged before the crossover rate; the first bad field stops it.
    DDX_Text(pDX, IDC_POPULATION_SIZE, m_nPopulationSize);
    DDV_MinMaxInt(pDX, m_nPopulationSize, kelvora::kMinPopulation, kelvora::kMaxPopulation);
    DDX_Text(pDX, IDC_GENERATION_LIMIT, m_nGenerationLimit);
    DDV_MinMaxInt(pDX, m_nGenerationLimit, kelvora::kMinGenerations, kelvora::kMaxGenerations);
    DDX_Text(pDX, IDC_MUTATION_PROBABILITY, m_dMutationProbability);
    DDV_MinMaxDouble(pDX, m_dMutationProbability, kelvora::kMinMutationProbability, kelvora::kMaxMutationProbability);
    DDX_Text(pDX, IDC_CROSSOVER_RATE, m_dCrossoverRate);
    DDV_MinMaxDouble(pDX, m_dCrossoverRate, kelvora::kMinCrossoverRate, kelvora::kMaxCrossoverRate);
    DDX_Text(pDX, IDC_ERROR, m_dError);
    DDX_Text(pDX, IDC_GENERATION, m_nGeneration);
    DDV_MinMaxInt(pDX, m_nGeneration, 0, 1000000);
    DDX_Text(pDX, IDC_TARGET_X, m_nTargetX);
    DDX_Text(pDX, IDC_TARGET_Y, m_nTargetY);
}

bool CSolverDlg::OnInitDialog() {
    // The overlay entries, then the About entry at the end of the window's menu, after a separator.
    if (QMenu* menu = GetSystemMenu()) {
        m_pGroundTruth->AddToMenu(menu);
        const QString about = LoadStringResource(IDS_ABOUT_MENU);
        if (!about.isEmpty()) {
            menu->addSeparator();
            menu->addAction(about)->setData(IDM_ABOUT);
        }
    }
    setWindowIcon(m_hIcon);  // large and small: the icon holds both sizes

    m_state.currentPose = kelvora::kOpeningPose;
    m_state.elitePose = kelvora::kOpeningPose;
    m_bPointerInPlot = 0;
    m_rcPlot = kPlotRect;
    // The base is the plot's centre, (left + right) / 2 and (top + bottom + 1) / 2: (300, 220).
    static_assert(kPlotRect.left() + kPlotRect.width() / 2 == kelvora::kBaseX &&
                  (2 * kPlotRect.top() + kPlotRect.height()) / 2 == kelvora::kBaseY);
    m_state.baseX = kelvora::kBaseX;
    m_state.baseY = kelvora::kBaseY;
    // The target at the opening pose's tip, truncated toward zero: (368, 40).
    m_state.targetX = kelvora::kBaseX + kelvora::kOpeningTargetX;
    m_state.targetY = kelvora::kBaseY - kelvora::kOpeningTargetY;
    m_nTargetX = m_state.targetX - m_state.baseX;
    m_runParams = kelvora::SolverParams{};
    m_nTargetY = m_state.baseY - m_state.targetY;

    const kelvora::SolverParams defaults;  // 20, 100, 0.5, 0.1
    m_dMutationProbability = defaults.mutationProbability;
    m_dCrossoverRate = defaults.crossoverRate;
    m_nPopulationSize = defaults.populationSize;
    m_nGenerationLimit = defaults.generationCount;
    m_nGeneration = 0;
    UpdateData(false);

    // The keyboard focus starts on the first tab stop, the Compute button.
    GetDlgItem(IDOK)->setFocus(Qt::OtherFocusReason);
    // The evolution window opens again when it was open as the program last ended.
    if (AppSettings().value(QLatin1String(kEvolutionOpenKey), false).toBool()) {
        ShowEvolutionWindow();
        activateWindow();
    }
    return true;
}

void CSolverDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialized && !event->spontaneous()) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

CSolverDlg::~CSolverDlg() {
    delete m_pInputFilter;
    if (m_pRunThread) {
        // The worker's signals reach this dialog no more, and one it may be waiting on (a late one
        // too, sent as the connection went) is dropped, so that it runs to its stop.
        disconnect(m_pRunWorker, nullptr, this, nullptr);
        m_run->requestStop();
        m_pRunThread->quit();
        do QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        while (!m_pRunThread->wait(20));  // the worker deletes itself on its thread as that ends
    }
}

void CSolverDlg::OnOK() {
    if (m_bRunning) return;  // never a run inside a run
    if (!UpdateData(true)) return;  // the message has been shown and the focus moved; no run, no file

    kelvora::SolverParams params;
    params.populationSize = m_nPopulationSize;
    params.generationCount = m_nGenerationLimit;
    params.crossoverRate = m_dCrossoverRate;
    params.mutationProbability = m_dMutationProbability;
    m_runParams = params;
    m_runTarget = QPoint(m_state.targetX - m_state.baseX, m_state.baseY - m_state.targetY);

    // Another run (a window or kelvora-cli) writing the files here: say so and start nothing.
    m_runDirectory = CurrentDirectoryName();
    if (const char* busy = kelvora::ResultFileInUse()) {
        kelvora::ResultFileFailure failure;
        failure.name = busy;
        failure.problem = kelvora::FileProblem::inUse;
        ShowMessageBox(this, QMessageBox::Warning, ResultFileFailureText(failure));
        return;
    }

    BeginRunReplay();
    m_bCloseRequested = false;
    m_bRan = true;

    // The worker has a state of its own: the window's SolverState is only written here, on the
    // window's thread, from the worker's snapshots.
    // From here on the window touches the run only through m_run.
    auto* worker = new RunWorker(m_state.geometry(), params, kelvora::ClockSeed());
    worker->setEveryGeneration(m_bEveryGeneration);
    m_run = worker->channel();
    m_run->wantPopulation.store(IsPopulationShown(), std::memory_order_relaxed);
    m_pRunWorker = worker;
    m_pRunThread = new QThread(this);
    m_pRunThread->setObjectName(QStringLiteral("kelvora run"));
    worker->moveToThread(m_pRunThread);
    connect(m_pRunThread, &QThread::started, worker, &RunWorker::run);
    // The worker ends on its own thread, after its last signal.
    connect(m_pRunThread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &RunWorker::snapshotReady, this, &CSolverDlg::OnRunSnapshot,
            m_bEveryGeneration ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
    connect(worker, &RunWorker::finished, this, &CSolverDlg::OnRunFinished, Qt::QueuedConnection);

    m_pInputFilter = new RunInputFilter(this, [this] {
        if (m_run) m_run->requestStop();
    });
    m_bRunning = true;
    m_shownGeneration = 0;
    if (m_pEvolution)
        m_pEvolution->beginRun(params.generationCount, QPoint(m_state.baseX, m_state.baseY),
                               QPoint(m_state.targetX, m_state.targetY));
    m_liveClock.start();
    m_pRunThread->start();
}

void CSolverDlg::OnRunSnapshot() {
    if (!m_bRunning || !m_run) return;
    const std::optional<RunSnapshot> taken = m_run->takeSnapshot();
    if (!taken || taken->generation <= m_shownGeneration) return;
    const RunSnapshot& snapshot = *taken;
    m_shownGeneration = snapshot.generation;
    m_state.currentPose = snapshot.currentPose;
    m_state.elitePose = snapshot.elitePose;
    m_state.eliteFitness = snapshot.eliteFitness;
    for (int i = 0; i < snapshot.rows.size(); ++i)
        m_state.history[static_cast<std::size_t>(snapshot.firstRow + i)] = snapshot.rows[i];
    m_state.generation = snapshot.generation;
    // The replay's index and arms, as the run wrote them, one entry per generation.
    for (int i = 0; i < snapshot.bests.size(); ++i) {
        if (static_cast<std::size_t>(snapshot.firstRow + i) != m_runBests.size()) continue;
        m_runOffsets.push_back(snapshot.resultsEnds[i]);
        m_runBests.push_back(snapshot.bests[i]);
    }
    if (IsPopulationShown()) ShowRunPopulation(snapshot);
    if (m_pEvolution) {
        // The rows the chart has not had yet, from the window's own copy of the history.
        const int from = static_cast<int>(m_pEvolution->chart()->history().size());
        QList<kelvora::GenerationStat> rows;
        for (int g = from; g < m_state.generation; ++g) rows.append(m_state.history[static_cast<std::size_t>(g)]);
        m_pEvolution->appendRows(from, rows, snapshot.eliteDistance);
    }
    // Snapshots at the window's pace come no sooner than kLiveInterval into the run.
    if (!m_bBusyCursor && (!m_bEveryGeneration || m_liveClock.hasExpired(kLiveInterval))) {
        setCursor(Qt::BusyCursor);  // the dialog takes no input now
        m_bBusyCursor = true;
    }
    OnGenerationProgress(snapshot.generation, snapshot.error);
}

void CSolverDlg::OnRunFinished() {
    // The thread has nothing more to do; the worker goes with it.
    if (!m_run) return;
    std::optional<RunResult> result = m_run->takeResult();
    m_run.reset();
    m_pRunWorker = nullptr;
    m_pRunThread->quit();
    m_pRunThread->wait();
    const kelvora::RunReport& report = result->report;
    if (!report.refused) {  // a refused run changed nothing
        m_state.populationSize = m_runParams.populationSize;
        m_state.crossoverRate = m_runParams.crossoverRate;
        m_state.mutationProbability = m_runParams.mutationProbability;
        m_state.generation = result->generation;
        m_state.history = result->history;
        m_state.eliteFitness = result->eliteFitness;
        m_state.elitePose = result->elitePose;
        m_state.currentPose = result->currentPose;
    }
    const double eliteDistance = result->eliteDistance;
    delete m_pRunThread;
    m_pRunThread = nullptr;

    // Input that came in during the run, still queued, goes while the filter is on: a late
    // Escape must not close the dialog, a late click must not move the target.
    QCoreApplication::processEvents();
    delete m_pInputFilter;
    m_pInputFilter = nullptr;
    m_bRunning = false;
    if (m_bBusyCursor) {
        setCursor(m_hCursor);
        m_bBusyCursor = false;
    }
    update();  // the last finished generation's poses
    if (m_pEvolution) m_pEvolution->finishRun(HistoryRows(), eliteDistance);
    if (!report.refused) {
        if (!report.results) EndRunReplay(m_runParams.populationSize);
        ShowRunSeed(m_runParams, report, m_runTarget);
        m_pGroundTruth->ShowRunGap(GetDlgItem(IDC_ERROR), m_state);
    }
    ReportResultFileFailures(report);
    emit runFinished();
    if (m_bCloseRequested) reject();
}

QList<kelvora::GenerationStat> CSolverDlg::HistoryRows() const {
    QList<kelvora::GenerationStat> rows;
    if (!m_bRan) return rows;
    rows.reserve(m_state.generation);
    for (int g = 0; g < m_state.generation && g < kelvora::kMaxGenerations; ++g)
        rows.append(m_state.history[static_cast<std::size_t>(g)]);
    return rows;
}

EvolutionWindow* CSolverDlg::ShowEvolutionWindow() {
    if (!m_pEvolution) {
        m_pEvolution = new EvolutionWindow(this);
        PlaceScrubber(m_pEvolution);
        // The last run, or the run going, from what the window has taken of it so far.
        m_pEvolution->beginRun(m_runParams.generationCount, QPoint(m_state.baseX, m_state.baseY),
                               QPoint(m_state.targetX, m_state.targetY));
        if (m_bRan)
            m_pEvolution->appendRows(0, HistoryRows(), TipDistance(m_state, m_state.elitePose));
    }
    m_pEvolution->show();
    m_pEvolution->raise();
    m_pEvolution->activateWindow();
    return m_pEvolution;
}

void CSolverDlg::reject() {
    if (m_bRunning) {
        if (m_run) m_run->requestStop();
        m_bCloseRequested = true;
        return;
    }
    // Whether the evolution window was open goes with the program's end.
    AppSettings().setValue(QLatin1String(kEvolutionOpenKey), m_pEvolution && m_pEvolution->isVisible());
    if (m_pEvolution) m_pEvolution->close();
    QDialog::reject();
}

void CSolverDlg::OnGenerationProgress(int generation, double error) {
    m_nGeneration = generation;
    m_dError = error;
    UpdateData(false);
    update();  // the whole client area, background erased first
}

void CSolverDlg::ShowRunSeed(const kelvora::SolverParams& params, const kelvora::RunReport& report, QPoint target) {
    // The clock value the generator was seeded with, and the command line that repeats the run
    // exactly: a stopped run is repeated by its finished generations.
    QString text = tr("シード %1\nkelvora-cli --seed %1 --population %2 --generations %3 --crossover %4 "
                       "--mutation %5 --target %6,%7 で再現できます")
                       .arg(report.seed)
                       .arg(params.populationSize)
                       .arg(report.generationsRun)
                       .arg(RoundTripText(params.crossoverRate), RoundTripText(params.mutationProbability))
                       .arg(target.x())
                       .arg(target.y());
    if (report.stopped)
        text += QLatin1Char('\n') + tr("第 %1 世代で中止しました (上限 %2 世代)").arg(report.generationsRun).arg(params.generationCount);
    GetDlgItem(IDC_GENERATION)->setToolTip(text);
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

void CSolverDlg::ReportResultFileFailures(const kelvora::RunReport& report) {
    QStringList lines;
    for (const kelvora::ResultFileFailure& failure : {report.results, report.fitness}) {
        if (!failure) continue;
        // A refused run names only the busy file: the other was never written.
        if (report.refused && failure.problem != kelvora::FileProblem::inUse) continue;
        lines << ResultFileFailureText(failure);
    }
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

void CSolverDlg::OnPaint() {
    QPainter painter(this);
    PlotScene scene;
    scene.plot = m_rcPlot;
    scene.base = QPoint(m_state.baseX, m_state.baseY);
    scene.currentPose = m_state.currentPose;
    scene.elitePose = m_state.elitePose;
    scene.target = QPoint(m_state.targetX, m_state.targetY);
    scene.cloud = IsPopulationShown() ? m_pCloud.get() : nullptr;
    // The bitmap is loaded for this paint and released with it; nothing is kept between paints.
    PaintPlot(painter, scene, LoadBitmapResource(IDB_BASE_MARK), m_pGroundTruth->Overlays(scene.base, scene.target));
}

QPoint CSolverDlg::PlotCentre() const {
    const int right = m_rcPlot.left() + m_rcPlot.width();
    const int bottom = m_rcPlot.top() + m_rcPlot.height();
    return QPoint((m_rcPlot.left() + right) / 2, (m_rcPlot.top() + bottom) / 2);  // (300, 220)
}

void CSolverDlg::SetDlgItemText(int id, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id))) {
        edit->setText(text);
        edit->setCursorPosition(0);  // a text wider than the field shows its start
    }
}

bool CSolverDlg::IsInsidePlot(QPoint point) const {
    const int right = m_rcPlot.left() + m_rcPlot.width();   // 500, one past the last column
    const int bottom = m_rcPlot.top() + m_rcPlot.height();  // 420, one past the last row
    return m_rcPlot.left() < point.x() && point.x() < right && m_rcPlot.top() < point.y() && point.y() < bottom;
}

namespace {

// The client pixel under a pointer position, each coordinate truncated toward zero: at a fractional
// scale factor 100.5 is pixel 100 (outside the plot) and 499.5 is pixel 499 (inside), where
// QPointF::toPoint() would round them to 101 and 500.
QPoint ClientPixel(QPointF position) {
    return QPoint(static_cast<int>(position.x()), static_cast<int>(position.y()));
}

}  // namespace

void CSolverDlg::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->buttons(), ClientPixel(event->position()));
    QDialog::mouseMoveEvent(event);
}

void CSolverDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OnLButtonDown(event->buttons(), ClientPixel(event->position()));
    QDialog::mousePressEvent(event);
}

void CSolverDlg::OnMouseMove(Qt::MouseButtons /*nFlags*/, QPoint point) {
    if (IsInsidePlot(point)) {
        m_bPointerInPlot = 1;
        SetPlotCursor();
        const QPoint centre = PlotCentre();
        SetDlgItemText(IDC_POINTER_X, QString::number(point.x() - centre.x()));
        SetDlgItemText(IDC_POINTER_Y, QString::number(centre.y() - point.y()));
    } else {
        m_bPointerInPlot = 0;
        SetPlotCursor();
    }
}

void CSolverDlg::SetPlotCursor() {
    m_hCursor = LoadCursorResource(m_bPointerInPlot ? IDC_PICK_CURSOR : 0);
    setCursor(m_hCursor);
}

void CSolverDlg::OnLButtonDown(Qt::MouseButtons /*nFlags*/, QPoint point) {
    if (!IsInsidePlot(point)) return;
    m_state.targetX = point.x();
    m_state.targetY = point.y();
    update();  // the whole client area, background erased first: the marker moves
    const QPoint centre = PlotCentre();
    SetDlgItemText(IDC_TARGET_X, QString::number(m_state.targetX - centre.x()));
    SetDlgItemText(IDC_TARGET_Y, QString::number(centre.y() - m_state.targetY));
}

void CSolverDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Not modal: the chosen entry arrives through QMenu::triggered.
    m_pSystemMenu->popup(event->globalPos());
}

void CSolverDlg::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::HelpContents)) {
        OnHelp();
        return;
    }
    QDialog::keyPressEvent(event);  // Enter presses Compute, Escape closes
}

void CSolverDlg::OnSysCommand(unsigned nID, qintptr /*lParam*/) {
    if ((nID & SC_MASK) == IDM_EVOLUTION) {
        ShowEvolutionWindow();
        return;
    }
    if ((nID & SC_MASK) == IDM_ABOUT) {
        CAboutDlg dlgAbout(this);
        dlgAbout.DoModal();
        return;
    }
    // What the platform does with the other commands: here only Close means anything.
    if ((nID & SC_MASK) == SC_CLOSE) close();
}

void CSolverDlg::OnHelp() { OnSysCommand(IDM_ABOUT, 0); }

}  // namespace kelvora::ui
