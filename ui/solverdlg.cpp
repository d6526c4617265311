#include "solverdlg.h"
#include "windowplacement.h"

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

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
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QShowEvent>

#include "aboutdlg.h"
#include "evolutionwindow.h"
#include "experimentwindow.h"
#include "landscape/landscapewindow.h"
#include "fitnesschart.h"
#include "groundtruthoverlay.h"
#include "messagebox.h"
#include "operatordialog.h"
#include "dialogunits.h"
#include "parameterpanel.h"
#include "replaycontroller.h"
#include "resourceloader.h"
#include "runcontroller.h"
#include "runworker.h"
#include "settings.h"

namespace kelvora::ui {

namespace {

// The shortest text that reads back as the same double: a rate typed with more digits than the
// field shows must still repeat the very same run.
QString RoundTripText(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

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
    m_pPanel = std::make_unique<ParameterPanel>(this);
    connect(qobject_cast<QPushButton*>(GetDlgItem(IDOK)), &QPushButton::clicked, this, &CSolverDlg::OnOK);

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
    // The operator dialog's entry, Ctrl+L; the line under 計算 names a choice that is not classic.
    QAction* operators = m_pSystemMenu->addAction(tr("遺伝的操作(&L)..."));
    operators->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    operators->setShortcutContext(Qt::WindowShortcut);
    operators->setObjectName(QStringLiteral("OperatorsAction"));
    connect(operators, &QAction::triggered, this, &CSolverDlg::OnOperators);
    addAction(operators);
    m_pAlgorithmLabel = new QLabel(this);
    m_pAlgorithmLabel->setObjectName(QStringLiteral("AlgorithmLabel"));
    m_pAlgorithmLabel->setTextFormat(Qt::PlainText);
    m_pAlgorithmLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pAlgorithmLabel->setGeometry(DialogUnitsToPixelsX(8), DialogUnitsToPixelsY(425), DialogUnitsToPixelsX(335),
                                   DialogUnitsToPixelsY(10));
    m_pAlgorithmLabel->hide();
    // The experiment window: the fields' settings and the target as they are now, for its "追加".
    QAction* experiment = m_pSystemMenu->addAction(tr("実験(&E)..."));
    experiment->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    experiment->setShortcutContext(Qt::WindowShortcut);
    experiment->setObjectName(QStringLiteral("ExperimentAction"));
    addAction(experiment);
    connect(experiment, &QAction::triggered, this, [this] {
        if (!m_pExperiment)
            m_pExperiment = new ExperimentWindow([this] {
                if (!IsRunning()) UpdateData(true);
                CurrentSettings now;
                now.params.populationSize = m_pPanel->m_nPopulationSize;
                now.params.generationCount = m_pPanel->m_nGenerationLimit;
                now.params.crossoverRate = m_pPanel->m_dCrossoverRate;
                now.params.mutationProbability = m_pPanel->m_dMutationProbability;
                now.algorithm = m_algorithm;
                now.target = QPoint(m_state.targetX - m_state.baseX, m_state.baseY - m_state.targetY);
                return now;
            }, this);
        m_pExperiment->show();
        m_pExperiment->raise();
        m_pExperiment->activateWindow();
    });
    // The optimum and the unreachable targets, painted on request (see OnPaint).
    m_pGroundTruth = new GroundTruthOverlay(this);
    connect(m_pGroundTruth, &GroundTruthOverlay::changed, this, qOverload<>(&QWidget::update));
    m_pPlot = std::make_unique<PlotView>(this, m_state, *m_pGroundTruth);
    m_pRun = std::make_unique<RunController>(this, m_state, m_pPlot->Cursor());
    connect(m_pRun.get(), &RunController::snapshotTaken, this, &CSolverDlg::OnRunSnapshot);
    connect(m_pRun.get(), &RunController::runEnded, this, &CSolverDlg::OnRunFinished);
    // After Close in the window's menu (the About entry follows): open a file, the population layer.
    m_pReplay = new ReplayController(this, m_pSystemMenu, m_state, *m_pPanel, *m_pRun, [this] { return ShowEvolutionWindow(); });
    connect(m_pReplay, &ReplayController::ReplayChanged, this, &CSolverDlg::ReplayChanged);
    connect(m_pReplay, &ReplayController::OpenedFileChanged, this, &CSolverDlg::OnOpenedFileChanged);
    // The landscape view of the target as it is now, for the operator choice of the next runs.
    QAction* landscape = m_pSystemMenu->addAction(tr("地形(&T)..."));
    landscape->setObjectName(QStringLiteral("LandscapeAction"));
    landscape->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    landscape->setShortcutContext(Qt::WindowShortcut);
    addAction(landscape);
    connect(landscape, &QAction::triggered, this, [this] {
        auto* window = new LandscapeWindow(m_state.geometry(), m_algorithm, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    // Pointer moves reach OnMouseMove with no button held too. The plot has no control of its own,
    // so moves over it go to the dialog itself.
    setMouseTracking(true);
}

QSize CSolverDlg::ClientSize() { return ParameterPanel::ClientSize(); }


QWidget* CSolverDlg::GetDlgItem(int id) const { return m_pPanel->GetDlgItem(id); }

QIcon CSolverDlg::OnQueryDragIcon() const { return m_hIcon; }

bool CSolverDlg::UpdateData(bool bSaveAndValidate) { return m_pPanel->UpdateData(bSaveAndValidate); }

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
    m_pPlot->Open();
    // The base is the plot's centre, (left + right) / 2 and (top + bottom + 1) / 2: (300, 220).
    static_assert(kPlotRect.left() + kPlotRect.width() / 2 == kelvora::kBaseX &&
                  (2 * kPlotRect.top() + kPlotRect.height()) / 2 == kelvora::kBaseY);
    m_state.baseX = kelvora::kBaseX;
    m_state.baseY = kelvora::kBaseY;
    // The target at the opening pose's tip, truncated toward zero: (368, 40).
    m_state.targetX = kelvora::kBaseX + kelvora::kOpeningTargetX;
    m_state.targetY = kelvora::kBaseY - kelvora::kOpeningTargetY;
    ParameterPanel& fields = *m_pPanel;
    fields.m_nTargetX = m_state.targetX - m_state.baseX;
    m_runParams = kelvora::SolverParams{};
    fields.m_nTargetY = m_state.baseY - m_state.targetY;

    const kelvora::SolverParams defaults;  // 20, 100, 0.5, 0.1
    fields.m_dMutationProbability = defaults.mutationProbability;
    fields.m_dCrossoverRate = defaults.crossoverRate;
    fields.m_nPopulationSize = defaults.populationSize;
    fields.m_nGenerationLimit = defaults.generationCount;
    fields.m_nGeneration = 0;
    UpdateData(false);
    m_algorithm = LoadAlgorithm();
    m_pAlgorithmLabel->setText(OperatorDialog::Summary(m_algorithm));
    m_pAlgorithmLabel->setVisible(!m_algorithm.classic());

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
    // QDialog places the dialog first, so that an evolution window OnInitDialog opens again can go
    // beside it.
    QDialog::showEvent(event);
    if (!m_bInitialized && !event->spontaneous()) {
        m_bInitialized = true;
        OnInitDialog();
    }
}

CSolverDlg::~CSolverDlg() {
    m_pRun.reset();  // while the dialog and its controls, whose input it swallows, are still there
}

bool CSolverDlg::IsRunning() const { return m_pRun->IsRunning(); }

void CSolverDlg::OnOK() {
    if (IsRunning()) return;  // never a run inside a run
    if (!UpdateData(true)) return;  // the message has been shown and the focus moved; no run, no file

    kelvora::SolverParams params;
    params.populationSize = m_pPanel->m_nPopulationSize;
    params.generationCount = m_pPanel->m_nGenerationLimit;
    params.crossoverRate = m_pPanel->m_dCrossoverRate;
    params.mutationProbability = m_pPanel->m_dMutationProbability;
    // A tournament or elite count the population cannot hold: said like a bad field.
    if (const std::string bad = kelvora::ValidateAlgorithm(m_algorithm, params.populationSize); !bad.empty()) {
        const bool tournament = m_algorithm.selection == kelvora::Selection::tournament &&
                                m_algorithm.tournamentSize > params.populationSize;
        ShowMessageBox(this, QMessageBox::Warning,
                       tournament ? tr("トーナメントの大きさ %1 は集団サイズ %2 より大きくできません。"
                                       "集団サイズを %1 以上にするか、遺伝的操作でトーナメントを %2 以下にしてください。")
                                        .arg(m_algorithm.tournamentSize)
                                        .arg(params.populationSize)
                                  : tr("エリート数 %1 は集団サイズ %2 より小さくなければなりません。"
                                       "集団サイズを %3 以上にするか、遺伝的操作でエリート数を %4 以下にしてください。")
                                        .arg(m_algorithm.elitism)
                                        .arg(params.populationSize)
                                        .arg(m_algorithm.elitism + 1)
                                        .arg(params.populationSize - 1));
        if (auto* field = qobject_cast<QLineEdit*>(GetDlgItem(IDC_POPULATION_SIZE))) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
        }
        return;
    }
    m_runParams = params;
    m_runAlgorithm = m_algorithm;
    m_runTarget = QPoint(m_state.targetX - m_state.baseX, m_state.baseY - m_state.targetY);

    // The run would rewrite the very file the window has open: only when the person says so.
    if (const QString opened = m_pReplay->OpenedFile();
        !opened.isEmpty() && IsSameFile(opened, QDir::current().absoluteFilePath(QStringLiteral("results.csv"))) &&
        !AskOverwrite())
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
    if (const QString failure = m_pRun->Start(params, m_runAlgorithm, kelvora::ClockSeed(), m_bEveryGeneration,
                                              IsPopulationShown());
        !failure.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, failure);
        return;
    }
    // Its snapshots come queued, after this: the replay's index starts empty for them.
    m_pReplay->BeginRunReplay();
    m_bCloseRequested = false;
    m_bRan = true;
    if (m_pEvolution) {
        m_pEvolution->beginRun(params.generationCount, QPoint(m_state.baseX, m_state.baseY),
                               QPoint(m_state.targetX, m_state.targetY), OperatorDialog::Summary(m_runAlgorithm));
        m_pEvolution->setRunName(EvolutionWindow::RunName(params, m_runAlgorithm));
    }
}

void CSolverDlg::OnOperators() {
    if (IsRunning()) return;
    OperatorDialog dialog(m_algorithm, this);
    // Beside the window, not over its plot, as every further window opens.
    dialog.adjustSize();
    PlaceBesideOn(&dialog, this, dialog.size(), Side::Right);
    if (dialog.DoModal() != QDialog::Accepted) return;
    m_algorithm = dialog.algorithm();
    SaveAlgorithm(m_algorithm);
    m_pAlgorithmLabel->setText(OperatorDialog::Summary(m_algorithm));
    m_pAlgorithmLabel->setVisible(!m_algorithm.classic());
}

void CSolverDlg::OnRunSnapshot(const RunSnapshot& snapshot) {
    m_pReplay->TakeRunSnapshot(snapshot);
    if (m_pEvolution) {
        // The rows the chart has not had yet, from the window's own copy of the history.
        const int from = static_cast<int>(m_pEvolution->chart()->history().size());
        QList<kelvora::GenerationStat> rows;
        for (int g = from; g < m_state.generation; ++g) rows.append(m_state.history[static_cast<std::size_t>(g)]);
        m_pEvolution->appendRows(from, rows, snapshot.eliteDistance);
    }
    OnGenerationProgress(snapshot.generation, snapshot.error);
}

void CSolverDlg::OnRunFinished(const RunResult& result) {
    const kelvora::RunReport& report = result.report;
    update();  // the last finished generation's poses
    if (m_pEvolution) m_pEvolution->finishRun(HistoryRows(), result.eliteDistance);
    if (!report.refused) {
        if (!report.results) m_pReplay->EndRunReplay(m_runParams.populationSize);
        ShowRunSeed(m_runParams, report, m_runTarget);
        if (!result.recordError.empty()) {
            QWidget* field = GetDlgItem(IDC_GENERATION);
            field->setToolTip(field->toolTip() + QLatin1Char('\n') +
                              tr("run.json を書けませんでした: %1").arg(QString::fromLocal8Bit(result.recordError.c_str())));
        }
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
        m_pReplay->PlaceScrubber(m_pEvolution);
        // The last run, or the run going, from what the window has taken of it so far.
        m_pEvolution->beginRun(m_runParams.generationCount, QPoint(m_state.baseX, m_state.baseY),
                               QPoint(m_state.targetX, m_state.targetY),
                               m_bRan ? OperatorDialog::Summary(m_runAlgorithm) : QString());
        if (m_bRan) m_pEvolution->setRunName(EvolutionWindow::RunName(m_runParams, m_runAlgorithm));
        // A run that has ended is shown as ended: whether it reached the optimum, its axis and caption.
        if (m_bRan && IsRunning()) {
            m_pEvolution->appendRows(0, HistoryRows(), TipDistance(m_state, m_state.elitePose));
        } else if (m_bRan) {
            m_pEvolution->finishRun(HistoryRows(), TipDistance(m_state, m_state.elitePose));
            m_pEvolution->setRunCaption(GetDlgItem(IDC_GENERATION)->toolTip().section(QLatin1Char('\n'), 1, 1));
        }
    }
    m_pEvolution->show();
    m_pEvolution->raise();
    m_pEvolution->activateWindow();
    return m_pEvolution;
}

void CSolverDlg::reject() {
    if (IsRunning()) {
        m_pRun->RequestStop();
        m_bCloseRequested = true;
        return;
    }
    // Whether the evolution window was open goes with the program's end.
    AppSettings().setValue(QLatin1String(kEvolutionOpenKey), m_pEvolution && m_pEvolution->isVisible());
    if (m_pEvolution) m_pEvolution->close();
    QDialog::reject();
}

void CSolverDlg::OnGenerationProgress(int generation, double error) {
    m_pPanel->m_nGeneration = generation;
    m_pPanel->m_dError = error;
    UpdateData(false);
    update();  // the whole client area, background erased first
}

void CSolverDlg::ShowRunSeed(const kelvora::SolverParams& params, const kelvora::RunReport& report, QPoint target) {
    // The clock value the generator was seeded with, and the command line that repeats the run
    // exactly: a stopped run is repeated by its finished generations.
    QString text = tr("シード %1\nkelvora-cli --seed %1 --population %2 --generations %3 --crossover %4 "
                       "--mutation %5 --target %6,%7%8 で再現できます")
                       .arg(report.seed)
                       .arg(params.populationSize)
                       .arg(report.generationsRun)
                       .arg(RoundTripText(params.crossoverRate), RoundTripText(params.mutationProbability))
                       .arg(target.x())
                       .arg(target.y())
                       .arg(AlgorithmFlags(m_runAlgorithm));
    if (report.stopped)
        text += QLatin1Char('\n') + tr("第 %1 世代で中止しました (上限 %2 世代)").arg(report.generationsRun).arg(params.generationCount);
    GetDlgItem(IDC_GENERATION)->setToolTip(text);
    // The command line names the run under the evolution window's exported chart.
    if (m_pEvolution) m_pEvolution->setRunCaption(text.section(QLatin1Char('\n'), 1, 1));
}

QString CSolverDlg::AlgorithmFlags(const kelvora::Algorithm& algorithm) {
    const kelvora::Algorithm classic;
    QString flags;
    const auto add = [&](const char* flag, const std::string& value, const std::string& standard) {
        if (value != standard) flags += QStringLiteral(" --%1 %2").arg(QLatin1String(flag), QString::fromStdString(value));
    };
    add("encoding", kelvora::EncodingName(algorithm), kelvora::EncodingName(classic));
    add("selection", kelvora::SelectionName(algorithm), kelvora::SelectionName(classic));
    add("elitism", kelvora::ElitismName(algorithm), kelvora::ElitismName(classic));
    add("crossover-operator", kelvora::CrossoverName(algorithm), kelvora::CrossoverName(classic));
    add("mutation-operator", kelvora::MutationName(algorithm), kelvora::MutationName(classic));
    return flags;
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

void CSolverDlg::OnPaint() { m_pPlot->OnPaint(m_pReplay->ShownCloud()); }

QPoint CSolverDlg::PlotCentre() const { return m_pPlot->PlotCentre(); }

void CSolverDlg::SetDlgItemText(int id, const QString& text) { m_pPanel->SetDlgItemText(id, text); }

bool CSolverDlg::IsInsidePlot(QPoint point) const { return m_pPlot->IsInsidePlot(point); }

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
    // Outside the plot the readouts stay at the last inside point.
    if (!m_pPlot->OnMouseMove(point)) return;
    const QPoint centre = PlotCentre();
    SetDlgItemText(IDC_POINTER_X, QString::number(point.x() - centre.x()));
    SetDlgItemText(IDC_POINTER_Y, QString::number(centre.y() - point.y()));
}

void CSolverDlg::OnLButtonDown(Qt::MouseButtons /*nFlags*/, QPoint point) {
    if (!IsInsidePlot(point)) return;
    // A click during the replay of an opened file leaves it: the file's arms, numbers and chart go,
    // and all of the window follows the new target.
    const bool left = m_pReplay->LeaveReplay();
    m_state.targetX = point.x();
    m_state.targetY = point.y();
    update();  // the whole client area, background erased first: the marker moves
    const QPoint centre = PlotCentre();
    SetDlgItemText(IDC_TARGET_X, QString::number(m_state.targetX - centre.x()));
    SetDlgItemText(IDC_TARGET_Y, QString::number(centre.y() - m_state.targetY));
    if (left && m_pEvolution) {
        m_pEvolution->beginRun(m_pPanel->m_nGenerationLimit, QPoint(m_state.baseX, m_state.baseY),
                               QPoint(m_state.targetX, m_state.targetY));
        m_pEvolution->finishRun({}, 0.0);
    }
}

void CSolverDlg::OnOpenedFileChanged(const QString& path) {
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
    if (const std::optional<kelvora::RunRecord>& record = m_pReplay->OpenedRecord()) {
        m_algorithm = record->algorithm;
        m_pAlgorithmLabel->setText(OperatorDialog::Summary(m_algorithm));
        m_pAlgorithmLabel->setVisible(!m_algorithm.classic());
    }
}

bool CSolverDlg::IsSameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

bool CSolverDlg::AskOverwrite() {
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

// ---- replay of a results.csv: ReplayController ----

bool CSolverDlg::OpenResults(const QString& path) { return m_pReplay->OpenResults(path); }

void CSolverDlg::ShowGeneration(int generation) { m_pReplay->ShowGeneration(generation); }

int CSolverDlg::ReplayGenerationCount() const { return m_pReplay->ReplayGenerationCount(); }

bool CSolverDlg::IsPopulationShown() const { return m_pReplay && m_pReplay->IsPopulationShown(); }

void CSolverDlg::SetPopulationShown(bool shown) { m_pReplay->SetPopulationShown(shown); }

GenerationScrubber* CSolverDlg::GetScrubber() const { return m_pReplay->GetScrubber(); }

void CSolverDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (m_pReplay->AcceptsDrop(event->mimeData())) event->acceptProposedAction();
}

void CSolverDlg::dropEvent(QDropEvent* event) {
    if (m_pReplay->Drop(event->mimeData())) event->acceptProposedAction();
}

}  // namespace kelvora::ui
