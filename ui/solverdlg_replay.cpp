// The main dialog's replay of a results.csv: opening a file (menu, Ctrl+O, drop, command line),
// the generation scrubber and the population layer.

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>

#include "model/arm.h"
#include "evolutionwindow.h"
#include "generationscrubber.h"
#include "messagebox.h"
#include "plotpainter.h"
#include "resultsreplay.h"
#include "runworker.h"
#include "settings.h"
#include "solverdlg.h"

namespace kelvora::ui {

namespace {
const QString kPopulationShownKey = QStringLiteral("view/showPopulation");
}

void CSolverDlg::CreateReplayUi() {
    setAcceptDrops(true);

    // After Close in the window's menu (the About entry follows): open a file, the population layer.
    m_pOpenAction = new QAction(tr("結果を開く(&O)..."), this);
    m_pOpenAction->setObjectName(QStringLiteral("OpenResultsAction"));
    m_pOpenAction->setShortcut(QKeySequence::Open);
    m_pOpenAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_pOpenAction, &QAction::triggered, this, &CSolverDlg::OnOpenResults);
    addAction(m_pOpenAction);  // Ctrl+O works with the menu closed
    m_pPopulationAction = new QAction(tr("集団を表示"), this);
    m_pPopulationAction->setObjectName(QStringLiteral("ShowPopulationAction"));
    m_pPopulationAction->setCheckable(true);
    m_pPopulationAction->setChecked(AppSettings().value(kPopulationShownKey, false).toBool());
    connect(m_pPopulationAction, &QAction::toggled, this, &CSolverDlg::SetPopulationShown);
    m_pSystemMenu->addSeparator();
    m_pSystemMenu->addAction(m_pOpenAction);
    m_pSystemMenu->addAction(m_pPopulationAction);

    // The scrubber lives in the evolution window's scrubber slot (PlaceScrubber); until that window
    // exists it waits unparented, no control of the dialog. A new replay source puts it on its last
    // generation.
    m_pUnplacedScrubber = std::make_unique<GenerationScrubber>();
    m_pScrubber = m_pUnplacedScrubber.get();
    m_pScrubber->setObjectName(QStringLiteral("GenerationScrubber"));
    connect(m_pScrubber, &GenerationScrubber::generationChanged, this, &CSolverDlg::ShowGeneration);
    connect(this, &CSolverDlg::ReplayChanged, m_pScrubber, [this](int count) {
        m_pScrubber->setGenerationCount(0);
        m_pScrubber->setGenerationCount(count);  // the last generation, announced
    });
}

void CSolverDlg::PlaceScrubber(EvolutionWindow* evolution) {
    evolution->scrubberSlot()->addWidget(m_pUnplacedScrubber.release());
}

int CSolverDlg::ReplayGenerationCount() const { return m_pReplay ? m_pReplay->generationCount() : 0; }

bool CSolverDlg::IsPopulationShown() const { return m_pPopulationAction && m_pPopulationAction->isChecked(); }

void CSolverDlg::SetPopulationShown(bool shown) {
    if (m_pPopulationAction->isChecked() != shown) m_pPopulationAction->setChecked(shown);  // toggles back here
    AppSettings().setValue(kPopulationShownKey, shown);
    if (m_run) m_run->wantPopulation.store(shown, std::memory_order_relaxed);  // from the run's next snapshot on
    if (shown && m_pReplay && m_pScrubber->generation() > 0) {
        ShowGeneration(m_pScrubber->generation());
    } else if (!shown) {
        m_pCloud.reset();
    }
    update();
}

void CSolverDlg::OnOpenResults() {
    if (m_bRunning) return;
    const QString path = QFileDialog::getOpenFileName(this, tr("結果を開く"), QDir::currentPath(),
                                                      tr("結果ファイル (*.csv);;すべてのファイル (*)"));
    if (!path.isEmpty()) OpenResults(path);
}

bool CSolverDlg::OpenResults(const QString& path) {
    if (m_bRunning) return false;
    QString error;
    std::unique_ptr<ResultsReplay> replay = ResultsReplay::Open(this, path, error);
    if (!replay) {
        if (!error.isEmpty()) ShowMessageBox(this, QMessageBox::Warning, error);  // empty: cancelled
        return false;
    }
    m_nPopulationSize = replay->population();
    m_nGenerationLimit = replay->generationCount();
    SetReplay(std::move(replay));
    // The evolution window shows the file's run as after a live one, and holds the scrubber.
    const int count = m_pReplay->generationCount();
    const std::vector<kelvora::GenerationStat>& history = m_pReplay->history();
    EvolutionWindow* evolution = ShowEvolutionWindow();
    m_pScrubber->setFocus(Qt::OtherFocusReason);  // ←/→ move through the file at once
    evolution->beginRun(count, QPoint(m_state.baseX, m_state.baseY), QPoint(m_state.targetX, m_state.targetY));
    evolution->finishRun(QList<kelvora::GenerationStat>(history.begin(), history.end()),
                         TipDistance(m_state, m_pReplay->frame(count).elitePose));
    return true;
}

void CSolverDlg::SetReplay(std::unique_ptr<ResultsReplay> replay) {
    m_pReplay = std::move(replay);
    m_pCloud.reset();
    if (m_pReplay) {
        const QPoint t = m_pReplay->target();
        m_state.targetX = t.x();
        m_state.targetY = t.y();
        m_nTargetX = t.x() - m_state.baseX;
        m_nTargetY = m_state.baseY - t.y();
    }
    emit ReplayChanged(ReplayGenerationCount());  // the scrubber goes to the last generation
}

void CSolverDlg::ShowGeneration(int generation) {
    if (!m_pReplay || m_bRunning) return;
    const ReplayFrame frame = m_pReplay->frame(generation);
    m_state.currentPose = frame.currentPose;
    m_state.elitePose = frame.elitePose;
    m_nGeneration = frame.generation;
    m_dError = frame.error;
    if (IsPopulationShown()) {
        if (!m_pCloud) m_pCloud = std::make_unique<PopulationCloud>();
        if (!m_pReplay->population(frame.generation, *m_pCloud)) m_pCloud.reset();
    }
    UpdateData(false);
    if (m_pScrubber->generation() != frame.generation) m_pScrubber->setGeneration(frame.generation);
    update();
}

void CSolverDlg::BeginRunReplay() {
    // The run rewrites results.csv: let go of the replay's open file first.
    SetReplay(nullptr);
    m_runOffsets.assign(1, 0);
    m_runBests.clear();
}

void CSolverDlg::EndRunReplay(int populationSize) {
    if (m_runBests.empty()) return;  // called only when results.csv took every line
    SetReplay(ResultsReplay::FromRun(QDir::current().absoluteFilePath(QStringLiteral("results.csv")),
                                     populationSize, m_runOffsets, m_runBests, QPoint(m_state.baseX, m_state.baseY),
                                     QPoint(m_state.targetX, m_state.targetY)));
}

void CSolverDlg::ShowRunPopulation(const RunSnapshot& snapshot) {
    if (snapshot.population.empty()) return;
    if (!m_pCloud) m_pCloud = std::make_unique<PopulationCloud>();
    PopulationCloud& cloud = *m_pCloud;
    cloud.tips.clear();
    cloud.tips.reserve(snapshot.population.size());
    for (const kelvora::Chromosome& c : snapshot.population)
        cloud.tips.push_back(kelvora::TipPosition(kelvora::PoseOf(c), m_state.baseX, m_state.baseY));
    cloud.fitness = snapshot.fitness;
}

void CSolverDlg::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!m_bRunning && urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CSolverDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (m_bRunning || urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // After the drop has finished: the file's check may take a while and shows its progress.
    QMetaObject::invokeMethod(this, [this, path] { OpenResults(path); }, Qt::QueuedConnection);
}

}  // namespace kelvora::ui
