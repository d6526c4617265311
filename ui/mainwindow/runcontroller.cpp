#include "mainwindow/runcontroller.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>

#include "mainwindow/runworker.h"
#include "mainwindow/solverstate.h"
#include "common/userinput.h"

namespace kelvora::ui {

namespace {

// While a run goes, swallows the user's input to the window and its controls (keys, buttons, moves,
// wheel, context menus, drops), so that no field, target or button changes under the run; Escape
// only asks the run to stop. Paints and the window manager's close request still go through.
// Installed on the window and each of its widgets for the run's length; other windows (the
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

}  // namespace

RunController::RunController(QWidget* window, SolverState& state, const QCursor& restCursor)
    : m_window(window), m_state(state), m_restCursor(restCursor) {}

RunController::~RunController() {
    m_pInputFilter.reset();
    if (m_pRunThread) {
        // The worker's signals reach this controller no more, and one it may be waiting on (a late
        // one too, sent as the connection went) is dropped, so that it runs to its stop.
        disconnect(m_pRunWorker, nullptr, this, nullptr);
        m_run->requestStop();
        m_pRunThread->quit();
        do QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        while (!m_pRunThread->wait(20));  // the worker deletes itself on its thread as that ends
        delete m_pRunThread;
    }
}

void RunController::RequestStop() {
    if (m_run) m_run->requestStop();
}

void RunController::SetWantPopulation(bool want) {
    if (m_run) m_run->wantPopulation.store(want, std::memory_order_relaxed);
}

namespace {

// "" when count descriptors can be opened now, else the system's reason. A thread whose event loop
// finds no descriptor ends the program, so the run's are made sure of before it starts.
QString DescriptorShortage(int count) {
    std::vector<int> probes;
    int error = 0;
    for (int i = 0; i < count && !error; ++i) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) error = errno;
        else probes.push_back(fd);
    }
    for (const int fd : probes) ::close(fd);
    return error ? QString::fromLocal8Bit(std::strerror(error)) : QString();
}

}  // namespace

QString RunController::Start(const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm,
                             std::uint32_t seed, bool everyGeneration, bool wantPopulation) {
    if (const QString reason = DescriptorShortage(kRunDescriptors); !reason.isEmpty())
        return tr("計算を始められません。開いているファイルの数が上限に達しています (%1)。"
                  "ほかのファイルやプログラムを閉じるか、上限 (ulimit -n) を上げてください。")
            .arg(reason);
    // The worker has a state of its own: the window's SolverState is only written here, on the
    // window's thread, from the worker's snapshots.
    // From here on the window touches the run only through m_run.
    std::unique_ptr<RunWorker> made;
    try {
        made = std::make_unique<RunWorker>(m_state.geometry(), params, seed, algorithm);
    } catch (const std::bad_alloc&) {
        return tr("計算を始められません。計算に使うメモリを確保できませんでした。");
    }
    RunWorker* worker = made.get();
    worker->setEveryGeneration(everyGeneration);
    std::shared_ptr<RunChannel> channel = worker->channel();
    channel->wantPopulation.store(wantPopulation, std::memory_order_relaxed);
    auto thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("kelvora run"));
    worker->moveToThread(thread.get());
    connect(thread.get(), &QThread::started, worker, &RunWorker::run);
    // The worker ends on its own thread, after its last signal.
    connect(thread.get(), &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &RunWorker::snapshotReady, this, &RunController::OnRunSnapshot, Qt::QueuedConnection);
    connect(worker, &RunWorker::finished, this, &RunController::OnRunFinished, Qt::QueuedConnection);
    thread->start();
    if (!thread->isRunning() && !thread->isFinished()) {  // never created: the worker never ran, and goes here
        made.reset();
        return tr("計算を始められません。計算用のスレッドを作成できませんでした (スレッド数かメモリの上限)。");
    }
    made.release();
    m_params = params;
    m_bEveryGeneration = everyGeneration;
    m_run = std::move(channel);
    m_pRunWorker = worker;
    m_pRunThread = thread.release();

    m_pInputFilter = std::make_unique<RunInputFilter>(m_window, [this] { RequestStop(); });
    m_bRunning = true;
    m_shownGeneration = 0;
    m_liveClock.start();
    return QString();
}

void RunController::OnRunSnapshot() {
    if (!m_bRunning || !m_run) return;
    // However this ends, the worker may go on (it waits for this in every generation's mode).
    const std::shared_ptr<RunChannel> channel = m_run;
    struct Handled {
        RunChannel& channel;
        ~Handled() { channel.markHandled(); }
    } handled{*channel};
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
    // Snapshots at the window's pace come no sooner than kLiveInterval into the run.
    if (!m_bBusyCursor && (!m_bEveryGeneration || m_liveClock.hasExpired(kLiveInterval))) {
        m_window->setCursor(Qt::BusyCursor);  // the window takes no input now
        m_bBusyCursor = true;
    }
    emit snapshotTaken(snapshot);
}

void RunController::OnRunFinished() {
    // The thread has nothing more to do; the worker goes with it.
    if (!m_run) return;
    std::optional<RunResult> result = m_run->takeResult();
    m_run.reset();
    m_pRunWorker = nullptr;
    m_pRunThread->quit();
    m_pRunThread->wait();
    if (!result->report.refused) {  // a refused run changed nothing
        m_state.populationSize = m_params.populationSize;
        m_state.crossoverRate = m_params.crossoverRate;
        m_state.mutationProbability = m_params.mutationProbability;
        m_state.generation = result->generation;
        m_state.history = result->history;
        m_state.eliteFitness = result->eliteFitness;
        m_state.elitePose = result->elitePose;
        m_state.currentPose = result->currentPose;
    }
    delete m_pRunThread;
    m_pRunThread = nullptr;

    // Input that came in during the run, still queued, goes while the filter is on: a late
    // Escape must not close the window, a late click must not move the target.
    QCoreApplication::processEvents();
    m_pInputFilter.reset();
    m_bRunning = false;
    if (m_bBusyCursor) {
        m_window->setCursor(m_restCursor);
        m_bBusyCursor = false;
    }
    emit runEnded(*result);
}

}  // namespace kelvora::ui
