#include "mainwindow/resultsreplay.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include <QApplication>
#include <QPromise>
#include <QFileInfo>
#include <QProgressDialog>

#include "common/background.h"
#include "common/messagebox.h"
#include "common/resultsfaulttext.h"
#include "common/solverstate.h"
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

namespace {

// What the worker hands back: the check's summary and the file's size and SHA-256 for run.json.
struct CheckOutcome {
    ResultsSummary summary;
    kelvora::RecordedFile digest;
};

std::atomic<void (*)()> g_checkSeam{nullptr};

}  // namespace

void ResultsReplay::setCheckSeam(void (*seam)()) { g_checkSeam.store(seam); }

void ResultsReplay::open(QWidget* parent, const QString& path, Opened done) {
    // Shared with the worker, which reads the open file until it returns, whatever becomes of parent.
    std::shared_ptr<ResultsReplay> replay(new ResultsReplay);
    replay->m_path = path;
    std::string why;
    if (!replay->m_file.open(QFile::encodeName(path).toStdString(), why)) {
        done(nullptr, QCoreApplication::translate("ResultsReplay", "%1 を開けません: %2")
                          .arg(path, QString::fromLocal8Bit(why.c_str())));
        return;
    }

    auto* progress = new QProgressDialog(
        QCoreApplication::translate("ResultsReplay", "%1 を調べています...").arg(QFileInfo(path).fileName()),
        QCoreApplication::translate("ResultsReplay", "中止"), 0, 1000, parent);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    auto* filter = new OnlyTo(progress);
    filter->setParent(progress);  // gone with the dialog, should the window close during the check
    // The dialog goes before anything is told: a message box's own event loop must not see it
    // shown over the message 300 ms on, nor one modal stacked on another.
    // EndProgress, not delete: this may run inside the dialog's own setValue.
    const auto close = [progress, filter] {
        delete filter;
        EndProgress(progress);
    };
    auto* watcher = RunInBackground<CheckOutcome>(
        progress,
        [replay, name = QFile::encodeName(path).toStdString()](QPromise<CheckOutcome>& promise) {
            const ResultsFile& file = replay->m_file;
            promise.setProgressRange(0, 1000);
            if (const auto seam = g_checkSeam.load()) seam();
            CheckOutcome outcome;
            outcome.summary = VerifyResults(file, kBaseX, kBaseY, 0, [&](std::uint64_t bytes, std::uint64_t) {
                if (file.size() > 0)
                    promise.setProgressValue(static_cast<int>(static_cast<double>(bytes) * 1000.0 /
                                                              static_cast<double>(file.size())));
                return !promise.isCanceled();
            });
            // Its size and SHA-256 for run.json, here too: a big file takes a second or two.
            if (!outcome.summary.fault && !promise.isCanceled()) outcome.digest = kelvora::DigestFile(name);
            promise.addResult(std::move(outcome));
        },
        [=](CheckOutcome outcome) {
            close();
            const ResultsSummary& summary = outcome.summary;
            if (summary.fault) {  // a file changed under the check, or a read that failed, included
                const QString why = ResultsFaultText(summary.fault);
                done(nullptr, summary.fault.line > 0 ? QCoreApplication::translate("ResultsReplay", "%1 の %2 行目: %3")
                                                           .arg(path, QString::number(summary.fault.line), why)
                                                     : QCoreApplication::translate("ResultsReplay", "%1: %2").arg(path, why));
                return;
            }
            std::unique_ptr<ResultsReplay> opened(new ResultsReplay);
            opened->m_path = path;
            opened->m_file = std::move(replay->m_file);
            opened->m_digest = outcome.digest;
            opened->m_index = std::move(outcome.summary.index);
            opened->m_bests = std::move(outcome.summary.generationBest);
            opened->m_history = std::move(outcome.summary.history);
            opened->m_base = QPoint(kBaseX, kBaseY);
            opened->m_target = QPoint(outcome.summary.target.x, outcome.summary.target.y);
            opened->m_targetUnique = outcome.summary.target.unique;
            opened->computeElites();
            done(std::move(opened), QString());
        },
        [=] {
            close();
            done(nullptr, QString());  // the person asked for it: no error to show
        });
    QObject::connect(watcher, &QFutureWatcherBase::progressValueChanged, progress, &QProgressDialog::setValue);
    QObject::connect(progress, &QProgressDialog::canceled, watcher, &QFutureWatcherBase::cancel);
}

std::unique_ptr<ResultsReplay> ResultsReplay::fromRun(const QString& path, int population,
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
