#include "mainwindow/replaycontroller.h"

#include <algorithm>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>

#include "io/results_reader.h"
#include "model/arm.h"
#include "session/numbers.h"
#include "evolution/evolutionwindow.h"
#include "common/filedialog.h"
#include "evolution/generationscrubber.h"
#include "common/messagebox.h"
#include "operators/operatorsview.h"
#include "mainwindow/parameterpanel.h"
#include "mainwindow/plotpainter.h"
#include "common/resultsfaulttext.h"
#include "mainwindow/resultsreplay.h"
#include "mainwindow/runcontroller.h"
#include "mainwindow/runworker.h"
#include "common/settings.h"
#include "common/solvermodel.h"

namespace kelvora::ui {

namespace {
const QString kPopulationShownKey = QStringLiteral("view/showPopulation");
}

ReplayController::ReplayController(QWidget* window, QMenu* menu, SolverModel& model, ParameterPanel& panel,
                                   RunController& runner, std::function<EvolutionWindow*()> showEvolution)
    : QObject(window),
      m_window(window),
      m_model(model),
      m_panel(panel),
      m_runner(runner),
      m_showEvolution(std::move(showEvolution)) {
    window->setAcceptDrops(true);

    // After Close in the window's menu (the About entry follows): open a file, the population layer.
    m_openAction = new QAction(QCoreApplication::translate("kelvora::ui::CSolverDlg", "結果を開く(&O)..."), window);
    m_openAction->setObjectName(QStringLiteral("OpenResultsAction"));
    m_openAction->setShortcut(QKeySequence::Open);
    m_openAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_openAction, &QAction::triggered, this, &ReplayController::onOpenResults);
    window->addAction(m_openAction);  // Ctrl+O works with the menu closed
    m_populationAction = new QAction(QCoreApplication::translate("kelvora::ui::CSolverDlg", "集団を表示"), window);
    m_populationAction->setObjectName(QStringLiteral("ShowPopulationAction"));
    m_populationAction->setCheckable(true);
    m_populationAction->setChecked(AppSettings().value(kPopulationShownKey, false).toBool());
    connect(m_populationAction, &QAction::toggled, this, &ReplayController::setPopulationShown);
    menu->addSeparator();
    menu->addAction(m_openAction);
    menu->addAction(m_populationAction);

    // The scrubber lives in the evolution window's scrubber slot (placeScrubber); until that window
    // exists it waits unparented, no control of the main window. A new replay source puts it on its last
    // generation.
    m_unplacedScrubber = std::make_unique<GenerationScrubber>();
    m_scrubber = m_unplacedScrubber.get();
    m_scrubber->setObjectName(QStringLiteral("GenerationScrubber"));
    connect(m_scrubber, &GenerationScrubber::generationChanged, this, &ReplayController::showGeneration);
    m_scrubber->follow(m_model);
}

void ReplayController::placeScrubber(EvolutionWindow* evolution) {
    evolution->scrubberSlot()->addWidget(m_unplacedScrubber.release());
}

int ReplayController::replayGenerationCount() const { return m_replay ? m_replay->generationCount() : 0; }

bool ReplayController::isPopulationShown() const { return m_populationAction && m_populationAction->isChecked(); }

void ReplayController::setPopulationShown(bool shown) {
    if (m_populationAction->isChecked() != shown) m_populationAction->setChecked(shown);  // toggles back here
    AppSettings().setValue(kPopulationShownKey, shown);
    m_runner.setWantPopulation(shown);  // from the run's next snapshot on
    if (shown && m_replay && m_scrubber->generation() > 0) {
        showGeneration(m_scrubber->generation());
    } else if (!shown) {
        m_cloud.reset();
    }
    m_window->update();
}

void ReplayController::onOpenResults() {
    if (m_runner.isRunning()) return;
    const QString path = GetOpenFileName(
        m_window, QCoreApplication::translate("kelvora::ui::CSolverDlg", "結果を開く"), QDir::currentPath(),
        QCoreApplication::translate("kelvora::ui::CSolverDlg", "結果ファイル (*.csv);;すべてのファイル (*)"));
    if (!path.isEmpty()) openResults(path);
}

void ReplayController::openResults(const QString& path) {
    if (m_runner.isRunning() || m_checking || (m_elsewhere && m_elsewhere(path))) {
        emit resultsOpened(false);
        return;
    }
    m_checking = true;
    ResultsReplay::open(m_window, path, [this, path](std::unique_ptr<ResultsReplay> replay, const QString& error) {
        m_checking = false;
        emit resultsOpened(takeOpened(path, std::move(replay), error));
    });
}

bool ReplayController::takeOpened(const QString& path, std::unique_ptr<ResultsReplay> replay, const QString& error) {
    if (!replay) {
        if (error.isEmpty()) return false;  // cancelled
        if (openFitness(path)) return true;  // a fitness.csv, taken for a results.csv
        ShowMessageBox(m_window, QMessageBox::Warning, error);
        return false;
    }
    kelvora::SolverParams params = m_panel.params();
    params.populationSize = replay->population();
    params.generationCount = replay->generationCount();
    m_panel.showParams(params);
    const QString record = takeRecord(path, replay->digest(), {replay->population(), replay->generationCount()});
    setReplay(std::move(replay), QFileInfo(path).absoluteFilePath());
    if (!m_replay) return false;  // changed already as its last generation was shown: said so
    // The evolution window shows the file's run as after a live one, and holds the scrubber.
    const int count = m_replay->generationCount();
    const std::vector<kelvora::GenerationStat>& history = m_replay->history();
    m_showEvolution();
    m_scrubber->setFocus(Qt::OtherFocusReason);  // ←/→ move through the file at once
    ChartedRun chart;
    chart.limit = count;
    chart.readout = record;
    if (m_record && !m_record->algorithm.classic())
        chart.readout += QLatin1Char('\n') + OperatorsView::Summary(m_record->algorithm);
    // Named among the earlier runs by the file and what is known of its run.
    chart.name = QFileInfo(path).fileName() + QStringLiteral(", ") +
                 (m_record ? EvolutionWindow::RunName(m_record->params, m_record->algorithm)
                           : tr("%1 × %2").arg(m_replay->population()).arg(count));
    chart.rows = ChartedRun::Rows::file;
    chart.fileRows = QList<kelvora::GenerationStat>(history.begin(), history.end());
    chart.fileEliteDistance = TipDistance(m_model.state(), m_replay->frame(count).elitePose);
    chart.diversityPath = path;
    chart.diversityGray = m_record && m_record->algorithm.method == kelvora::Method::geneticAlgorithm &&
                          m_record->algorithm.encoding == kelvora::Encoding::gray;
    m_model.beginChart(std::move(chart));
    m_model.finishChart();
    return true;
}

QString ReplayController::takeRecord(const QString& path, const kelvora::RecordedFile& digest,
                                    const kelvora::session::FileShape& shape) {
    // run.json beside the file, compared with the opened file itself (whatever its name), whose
    // digest the check took off this thread, and with its population and generations.
    kelvora::RunRecord record;
    std::string why;
    const kelvora::session::RecordMatch match = kelvora::session::ReadRecordOf(
        QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString(), digest, shape, record, why);
    m_record.reset();
    QString text;
    switch (match) {
    case kelvora::session::RecordMatch::matches: {
        m_record = record;
        kelvora::SolverParams params = m_panel.params();
        params.generationCount = record.params.generationCount;
        params.crossoverRate = record.params.crossoverRate;
        params.mutationProbability = record.params.mutationProbability;
        m_panel.showParams(params);
        const auto exact = [](double v) { return QString::fromStdString(kelvora::session::NumberText(v)); };
        text = tr("run.json の記録どおり: シード %1、交差率 %2、突然変異の確率 %3")
                   .arg(record.seed)
                   .arg(exact(record.params.crossoverRate), exact(record.params.mutationProbability));
        if (record.stopped) text += QLatin1Char('\n') + tr("第 %1 世代で中止された計算です").arg(record.generationsRun);
        if (!record.failure.empty())
            text += QLatin1Char('\n') + tr("計算中の問題: %1").arg(QString::fromStdString(record.failure));
        break;
    }
    case kelvora::session::RecordMatch::missing:
        text = tr("run.json がありません: 交差率、突然変異の確率と遺伝的操作は入力欄のままです");
        break;
    case kelvora::session::RecordMatch::differs:
        text = tr("run.json はこのファイルの記録ではありません (大きさ、SHA-256、集団サイズか世代数が違います): "
                  "交差率、突然変異の確率と遺伝的操作は入力欄のままです");
        break;
    case kelvora::session::RecordMatch::unreadable:
        text = tr("run.json を読めません (%1): 交差率、突然変異の確率と遺伝的操作は入力欄のままです")
                   .arg(QString::fromStdString(why));
        break;
    }
    QString tip = text;
    if (m_record) tip += QLatin1Char('\n') + QString::fromStdString(kelvora::session::ReproducingCommand(*m_record));
    m_panel.field(ParameterPanel::Field::generation)->setToolTip(tip);
    return text;
}

bool ReplayController::openFitness(const QString& path) {
    kelvora::ResultsFile file;
    std::string why;
    std::vector<kelvora::GenerationStat> rows;
    if (!file.open(QFile::encodeName(path).toStdString(), why) || !kelvora::ReadFitnessFile(file, rows)) return false;
    // Only the chart: no arms, no population, no replay. Whatever the window showed goes.
    clearShown();
    double best = 0.0;
    for (const kelvora::GenerationStat& row : rows) best = std::max(best, row.best);
    m_showEvolution();
    ChartedRun chart;
    chart.limit = static_cast<int>(rows.size());
    chart.readout = tr("このファイルは fitness.csv です: 世代ごとの最良と平均の適応度だけで、集団も腕もありません");
    chart.name = QFileInfo(path).fileName() + QStringLiteral(", ") + tr("%1 世代").arg(rows.size());
    chart.rows = ChartedRun::Rows::file;
    chart.fileRows = QList<kelvora::GenerationStat>(rows.begin(), rows.end());
    chart.fileEliteDistance = 1.0 / best - 1.0;
    m_model.beginChart(std::move(chart));
    m_model.finishChart();
    return true;
}

bool ReplayController::leaveReplay() {
    if (m_openedFile.isEmpty()) {
        // The last run's replay: its arms and numbers stay shown, but the scrubber lets go of it, so
        // that no step of it puts the run's target back under the new one.
        if (m_replay) setReplay(nullptr);
        return false;
    }
    clearShown();
    return true;
}

void ReplayController::clearShown() {
    setReplay(nullptr);
    m_model.clearPoses();
    m_panel.showParams(m_panel.params());
    m_panel.showGeneration(0, 0.0);
    m_panel.field(ParameterPanel::Field::generation)->setToolTip(QString());
    m_window->update();
}

void ReplayController::setReplay(std::unique_ptr<ResultsReplay> replay, const QString& openedFile) {
    m_replay = std::move(replay);
    m_cloud.reset();
    if (m_replay) {
        const QPoint t = m_replay->target();
        m_model.setTarget(t);  // the fields follow
    }
    const QString opened = m_replay ? openedFile : QString();
    if (opened.isEmpty()) m_record.reset();
    if (opened != m_openedFile) {
        m_openedFile = opened;
        emit openedFileChanged(m_openedFile);
    }
    m_model.setReplayGenerations(replayGenerationCount());  // the scrubber goes to the last generation
    emit replayChanged(replayGenerationCount());
}

void ReplayController::showGeneration(int generation) {
    if (!m_replay || m_runner.isRunning()) return;
    const ReplayFrame frame = m_replay->frame(generation);
    m_model.showPoses(frame.currentPose, frame.elitePose, m_model.state().eliteFitness);
    QString changed;  // the file is no longer what was checked: the replay ends
    if (isPopulationShown()) {
        if (!m_cloud) m_cloud = std::make_unique<PopulationCloud>();
        if (const kelvora::ResultsFault fault = m_replay->population(frame.generation, *m_cloud)) {
            changed = QCoreApplication::translate("kelvora::ui::CSolverDlg",
                                                  "結果ファイル \"%1\" は開いた後に変わったため、この世代の集団を読めません (%2)。再生を終了します。")
                          .arg(QDir::toNativeSeparators(m_replay->path()), ResultsFaultText(fault));
            setReplay(nullptr);
        }
    }
    m_panel.showParams(m_panel.params());
    m_panel.showGeneration(frame.generation, frame.error);
    if (m_replay && m_scrubber->generation() != frame.generation) m_scrubber->setGeneration(frame.generation);
    m_window->update();
    if (!changed.isEmpty()) ShowMessageBox(m_window, QMessageBox::Warning, changed);
}

void ReplayController::beginRunReplay() {
    // The run rewrites results.csv: let go of the replay's open file first.
    setReplay(nullptr);
    m_runOffsets.assign(1, 0);
    m_runBests.clear();
}

void ReplayController::endRunReplay(int populationSize) {
    if (m_runBests.empty()) return;  // called only when results.csv took every line
    setReplay(ResultsReplay::fromRun(QDir::current().absoluteFilePath(QStringLiteral("results.csv")),
                                     populationSize, m_runOffsets, m_runBests, m_model.base(),
                                     m_model.target()));
}

void ReplayController::takeRunSnapshot(const RunSnapshot& snapshot) {
    // The replay's index and arms, as the run wrote them, one entry per generation.
    for (int i = 0; i < snapshot.bests.size(); ++i) {
        if (static_cast<std::size_t>(snapshot.firstRow + i) != m_runBests.size()) continue;
        m_runOffsets.push_back(snapshot.resultsEnds[i]);
        m_runBests.push_back(snapshot.bests[i]);
    }
    if (isPopulationShown()) showRunPopulation(snapshot);
}

const PopulationCloud* ReplayController::shownCloud() const { return isPopulationShown() ? m_cloud.get() : nullptr; }

ReplayController::~ReplayController() = default;

void ReplayController::showRunPopulation(const RunSnapshot& snapshot) {
    if (snapshot.population.empty()) return;
    if (!m_cloud) m_cloud = std::make_unique<PopulationCloud>();
    PopulationCloud& cloud = *m_cloud;
    cloud.tips.clear();
    cloud.tips.reserve(snapshot.population.size());
    for (const kelvora::Chromosome& c : snapshot.population)
        cloud.tips.push_back(kelvora::TipPosition(kelvora::PoseOf(c), m_model.state().baseX, m_model.state().baseY));
    cloud.fitness = snapshot.fitness;
}

bool ReplayController::acceptsDrop(const QMimeData* mime) const {
    const QList<QUrl> urls = mime->urls();
    return !m_runner.isRunning() && urls.size() == 1 && urls.first().isLocalFile();
}

bool ReplayController::drop(const QMimeData* mime) {
    if (!acceptsDrop(mime)) return false;
    const QString path = mime->urls().first().toLocalFile();
    // After the drop has finished: the file's check may take a while and shows its progress.
    QMetaObject::invokeMethod(this, [this, path] { openResults(path); }, Qt::QueuedConnection);
    return true;
}

}  // namespace kelvora::ui
