#include "mainwindow/resultsreplay.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include "common/resultsfaulttext.h"
#include "mainwindow/solverstate.h"
#include "common/userinput.h"

namespace kelvora::ui {

using namespace kelvora;

namespace {

double FitnessOf(const ArmPose& pose, QPoint base, QPoint target) {
    const TipPoint tip = TipPosition(pose, base.x(), base.y());
    const double dx = target.x() - tip.x, dy = target.y() - tip.y;
    return 1.0 / (std::sqrt(dx * dx + dy * dy) + 1.0);
}

// While a file is being checked, input goes to the progress dialog only: nothing else may start
// (a run would rewrite results.csv under the check).
class OnlyTo : public QObject {
public:
    explicit OnlyTo(QWidget* widget) : m_widget(widget) { qApp->installEventFilter(this); }
    ~OnlyTo() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!IsUserInput(event->type()) && event->type() != QEvent::Close) return false;
        if (!watched->isWidgetType()) return false;
        return !(watched == m_widget || m_widget->isAncestorOf(static_cast<QWidget*>(watched)));
    }

private:
    QWidget* m_widget;
};

}  // namespace

std::unique_ptr<ResultsReplay> ResultsReplay::Open(QWidget* parent, const QString& path, QString& error) {
    std::unique_ptr<ResultsReplay> replay(new ResultsReplay);
    replay->m_path = path;
    std::string why;
    if (!replay->m_file.open(QFile::encodeName(path).toStdString(), why)) {
        error = QCoreApplication::translate("ResultsReplay", "%1 を開けません: %2").arg(path, QString::fromLocal8Bit(why.c_str()));
        return nullptr;
    }

    // The check runs on a thread of its own; this one shows its progress and stays responsive.
    std::atomic<std::uint64_t> done{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    ResultsSummary summary;
    const ResultsFile& file = replay->m_file;
    kelvora::RecordedFile& digest = replay->m_digest;
    const std::string name = QFile::encodeName(path).toStdString();
    std::thread worker([&] {
        summary = VerifyResults(file, kBaseX, kBaseY, 0, [&](std::uint64_t bytes, std::uint64_t) {
            done.store(bytes);
            return !cancel.load();
        });
        // Its size and SHA-256 for run.json, here too: a big file takes a second or two.
        if (!summary.fault && !cancel.load()) digest = kelvora::DigestFile(name);
        finished.store(true);
    });
    {
        QProgressDialog progress(QCoreApplication::translate("ResultsReplay", "%1 を調べています...")
                                     .arg(QFileInfo(path).fileName()),
                                 QCoreApplication::translate("ResultsReplay", "中止"), 0, 1000, parent);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        progress.setAutoReset(false);
        progress.setAutoClose(false);
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (finished.load()) {
                loop.quit();
                return;
            }
            if (progress.wasCanceled()) cancel.store(true);
            const double share =
                file.size() == 0 ? 0.0 : static_cast<double>(done.load()) / static_cast<double>(file.size());
            progress.setValue(static_cast<int>(share * 1000.0));
        });
        poll.start(30);
        const OnlyTo filter(&progress);
        if (!finished.load()) loop.exec();
    }
    worker.join();
    if (summary.fault) {  // a file changed under the check, or a read that failed, included
        if (cancel.load()) return nullptr;  // the person asked for it: no error to show
        const QString why = ResultsFaultText(summary.fault);
        error = summary.fault.line > 0
                    ? QCoreApplication::translate("ResultsReplay", "%1 の %2 行目: %3")
                          .arg(path, QString::number(summary.fault.line), why)
                    : QCoreApplication::translate("ResultsReplay", "%1: %2").arg(path, why);
        return nullptr;
    }
    replay->m_index = std::move(summary.index);
    replay->m_bests = std::move(summary.generationBest);
    replay->m_history = std::move(summary.history);
    replay->m_base = QPoint(kBaseX, kBaseY);
    replay->m_target = QPoint(summary.target.x, summary.target.y);
    replay->m_complete = !summary.truncated;
    replay->m_targetUnique = summary.target.unique;
    replay->computeElites();
    return replay;
}

std::unique_ptr<ResultsReplay> ResultsReplay::FromRun(const QString& path, int population,
                                                      const std::vector<std::uint64_t>& offsets,
                                                      const std::vector<ArmPose>& bests, QPoint base, QPoint target) {
    if (offsets.size() != bests.size() + 1 || bests.empty()) return nullptr;
    std::unique_ptr<ResultsReplay> replay(new ResultsReplay);
    replay->m_path = path;
    std::string why;
    if (!replay->m_file.open(QFile::encodeName(path).toStdString(), why)) return nullptr;
    if (IndexFromOffsets(replay->m_file, population, offsets, replay->m_index)) return nullptr;
    replay->m_bests = bests;
    replay->m_base = base;
    replay->m_target = target;
    replay->m_complete = replay->m_index.complete;
    replay->computeElites();
    return replay;
}

void ResultsReplay::computeElites() {
    // As the run keeps its elite: a strictly higher best replaces it.
    m_eliteGeneration.assign(m_bests.size(), 0);
    double elite = 0.0;
    int at = 0;
    for (std::size_t g = 0; g < m_bests.size(); ++g) {
        const double f = FitnessOf(m_bests[g], m_base, m_target);
        if (f > elite) {
            elite = f;
            at = static_cast<int>(g);
        }
        m_eliteGeneration[g] = at;
    }
}

ReplayFrame ResultsReplay::frame(int generation) const {
    ReplayFrame f;
    if (m_bests.empty()) return f;
    generation = std::clamp(generation, 1, generationCount());
    f.generation = generation;
    f.currentPose = m_bests[static_cast<std::size_t>(generation - 1)];
    f.elitePose = m_bests[static_cast<std::size_t>(m_eliteGeneration[static_cast<std::size_t>(generation - 1)])];
    const TipPoint tip = TipPosition(f.currentPose, m_base.x(), m_base.y());
    const double dx = m_target.x() - tip.x, dy = m_target.y() - tip.y;
    f.error = std::sqrt(dx * dx + dy * dy);
    return f;
}

kelvora::ResultsFault ResultsReplay::population(int generation, PopulationCloud& cloud) const {
    cloud.tips.clear();
    cloud.fitness.clear();
    // The generation's bytes, read now: the file may have changed since it was checked.
    const int g = std::clamp(generation, 1, generationCount());
    if (kelvora::ResultsFault fault = ReadGeneration(m_file, m_index, g - 1, m_generation)) return fault;
    cloud.tips.reserve(m_generation.individuals.size());
    cloud.fitness.reserve(m_generation.individuals.size());
    for (const LoggedIndividual& individual : m_generation.individuals) {
        cloud.tips.push_back(TipPosition(PoseOf(individual.genes), m_base.x(), m_base.y()));
        cloud.fitness.push_back(individual.fitness);
    }
    return {};
}

}  // namespace kelvora::ui
