#include "mainwindow/runcontroller.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QWindow>
#include <QWidget>

#include "mainwindow/runworker.h"
#include "common/solvermodel.h"
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

RunController::RunController(QWidget* window, SolverModel& model, const QCursor& restCursor)
    : m_window(window), m_model(model), m_restCursor(restCursor) {}

RunController::~RunController() {
    m_inputFilter.reset();
    if (m_run) {
        // The run's end reaches this controller no more; wake-ups it still posts go with it.
        m_run->requestStop();
        m_thread.join();
    }
}

void RunController::requestStop() {
    if (m_run) m_run->requestStop();
}

void RunController::setWantDiversity(bool want) {
    m_wantDiversity = want;
    if (m_run) m_run->wantDiversity.store(want, std::memory_order_relaxed);
}

void RunController::setWantPopulation(bool want) {
    if (m_run) m_run->wantPopulation.store(want, std::memory_order_relaxed);
}

namespace {

// "" when count descriptors can be opened now, else the system's reason: a run that starts is sure
// of its files, so that a full descriptor table is said before anything changes.
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

void RunController::dropLateInput() {
    // Input that came in during the run and is still queued for the window goes unseen: a late
    // Escape must not close the window, a late click must not move the target. Nothing is
    // delivered here; the queue only loses the window's input events.
    static constexpr QEvent::Type kInput[] = {QEvent::KeyPress, QEvent::KeyRelease, QEvent::MouseButtonPress,
                                              QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                              QEvent::MouseMove, QEvent::Wheel, QEvent::ContextMenu,
                                              QEvent::Shortcut, QEvent::ShortcutOverride};
    QList<QObject*> receivers{m_window};
    if (QWindow* handle = m_window->windowHandle()) receivers << handle;
    for (QWidget* child : m_window->findChildren<QWidget*>()) receivers << child;
    for (QObject* receiver : receivers)
        for (const QEvent::Type type : kInput) QCoreApplication::removePostedEvents(receiver, type);
}

QString RunController::start(const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm,
                             std::uint32_t seed, bool everyGeneration, bool wantPopulation) {
    if (const QString reason = DescriptorShortage(kRunDescriptors); !reason.isEmpty())
        return tr("計算を始められません。開いているファイルの数が上限に達しています (%1)。"
                  "ほかのファイルやプログラムを閉じるか、上限 (ulimit -n) を上げてください。")
            .arg(reason);
    // The worker has a state of its own: the window's SolverState is only written here, on the
    // window's thread, from the snapshots and the end the worker hands over by value.
    std::shared_ptr<RunWorker> worker;
    try {
        worker = std::make_shared<RunWorker>(m_model.state().geometry(), params, seed, algorithm);
    } catch (const std::bad_alloc&) {
        return tr("計算を始められません。計算に使うメモリを確保できませんでした。");
    }
    worker->setEveryGeneration(everyGeneration);
    std::shared_ptr<RunChannel> channel = worker->channel();
    channel->wantPopulation.store(wantPopulation, std::memory_order_relaxed);
    channel->wantDiversity.store(m_wantDiversity, std::memory_order_relaxed);
    // The worker deposits each snapshot in the channel and then wakes this controller by a queued
    // call that carries nothing; a call that comes as the controller goes is dropped with it.
    worker->setSink([this] { QMetaObject::invokeMethod(this, "takeSnapshots", Qt::QueuedConnection); });
    m_params = params;
    m_everyGeneration = everyGeneration;
    m_run = channel;
    channel->release();  // the worker as set up here, for the run's thread to take
    // A thread of the run's own, not a pool's: its creation orders everything set up here before the
    // run, where a pool hands a task over inside Qt, out of a ThreadSanitizer build's sight.
    try {
        m_thread = std::thread([this, worker, channel] {
            channel->depositResult(worker->run());
            QMetaObject::invokeMethod(this, "onRunFinished", Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {  // no thread to be had: out of memory or of the process's threads
        m_run.reset();
        return tr("計算を始められません。計算に使うメモリを確保できませんでした。");
    }

    m_inputFilter = std::make_unique<RunInputFilter>(m_window, [this] {
        requestStop();
        emit escapeStopped();
    });
    m_running = true;
    m_shownGeneration = 0;
    m_liveClock.start();
    return QString();
}

void RunController::takeSnapshots() {
    if (!m_run) return;  // a wake-up from a run whose end has been taken
    // However this ends, the worker may go on (it waits for this in every generation's mode).
    struct Handled {
        RunChannel& channel;
        ~Handled() { channel.markHandled(); }
    } handled{*m_run};
    for (const RunSnapshot& snapshot : m_run->takeSnapshots()) takeSnapshot(snapshot);
}

void RunController::takeSnapshot(const RunSnapshot& snapshot) {
    if (!m_running || snapshot.generation <= m_shownGeneration) return;
    m_shownGeneration = snapshot.generation;
    // The arms and the diversity first: the rows' signal tells the readers the snapshot is in.
    m_model.showPoses(snapshot.currentPose, snapshot.elitePose, snapshot.eliteFitness);
    m_model.takeDiversity(snapshot.firstRow, snapshot.diversity, snapshot.populationSize);
    m_model.takeRows(snapshot.firstRow, snapshot.rows, snapshot.generation);
    // Snapshots at the window's pace come no sooner than kLiveInterval into the run.
    if (!m_busyCursor && (!m_everyGeneration || m_liveClock.hasExpired(kLiveInterval))) {
        m_window->setCursor(Qt::BusyCursor);  // the window takes no input now
        m_busyCursor = true;
    }
    emit snapshotTaken(snapshot);
}

void RunController::onRunFinished() {
    if (!m_run) return;
    // Snapshots deposited before the end whose wake-up is still queued are taken first.
    takeSnapshots();
    std::optional<RunResult> end = m_run->takeResult();
    const RunResult result = end ? std::move(*end) : RunResult{};
    m_run.reset();
    m_thread.join();  // it has deposited its end and only lets go of the worker now
    if (!result.report.refused) {  // a refused run changed nothing; the history came with the snapshots
        m_model.endRun(m_params, result.generation);
        m_model.showPoses(result.currentPose, result.elitePose, result.eliteFitness);
    }
    dropLateInput();
    m_inputFilter.reset();
    m_running = false;
    if (m_busyCursor) {
        m_window->setCursor(m_restCursor);
        m_busyCursor = false;
    }
    emit runEnded(result);
}

}  // namespace kelvora::ui
