#pragma once
// The one way the windows run work off the GUI thread: the work runs on Qt's global pool, its
// results come back by value on the owner's thread, and the owner's end cancels it (a work that
// takes a QPromise sees promise.isCanceled(); any result is dropped). RunInBackground is for work
// with one result; StreamInBackground for long work that hands results over as it goes (an
// experiment's sweeps). The run's own thread with its mailbox (mainwindow/runcontroller) is the one
// other way: it paces a run generation by generation, steered from the window as it goes.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace kelvora::ui {

/// A watcher that cancels its future as it goes (with its owner, or when it is done with).
template <typename T>
class BackgroundWatcher final : public QFutureWatcher<T> {
public:
    using QFutureWatcher<T>::QFutureWatcher;
    ~BackgroundWatcher() override { this->future().cancel(); }
};

/// Starts work on the global pool: a callable returning T, or one taking QPromise<T>& that adds its
/// result and may report progress and look at isCanceled(). When it ends, on owner's thread, done(T)
/// gets its result, or cancelled() runs instead when it was cancelled or added none. Neither runs
/// once owner is gone. The watcher returned is owner's child, reports progress
/// (progressRangeChanged, progressValueChanged), cancels with cancel(), and deletes itself once the
/// work has ended.
template <typename T, typename Work, typename Done>
QFutureWatcher<T>* RunInBackground(QObject* owner, Work work, Done done, std::function<void()> cancelled = {}) {
    auto* watcher = new BackgroundWatcher<T>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, done = std::move(done), cancelled = std::move(cancelled)]() mutable {
                         QFuture<T> future = watcher->future();
                         watcher->setParent(nullptr);  // done may delete owner: the watcher goes after it
                         watcher->deleteLater();
                         if (!future.isCanceled() && future.resultCount() > 0)
                             done(future.takeResult());
                         else if (cancelled)
                             cancelled();
                     });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
    return watcher;
}

/// What a streaming work hands its results over through (see StreamInBackground). Thread-safe.
template <typename T>
class Handover {
public:
    /// The values handed and not yet delivered, shared by the work and its owner.
    struct Queue {
        std::mutex mutex;
        std::deque<T> values;
        int handed = 0;  ///< values handed in all

        /// Takes the values queued so far.
        std::deque<T> drain() {
            std::lock_guard lock(mutex);
            return std::exchange(values, {});
        }
    };

    Handover(QPromise<void>& promise, std::shared_ptr<Queue> queue) : m_promise(promise), m_queue(std::move(queue)) {}

    /// Queues value for the owner's each(T) and wakes the owner (at most about 25 times a second;
    /// every value queued is delivered, in order, by the end at the latest).
    void operator()(T value) {
        int count = 0;
        {
            std::lock_guard lock(m_queue->mutex);
            m_queue->values.push_back(std::move(value));
            count = ++m_queue->handed;
        }
        m_promise.setProgressValue(count);
    }

private:
    QPromise<void>& m_promise;
    std::shared_ptr<Queue> m_queue;
};

/// Starts long work on the global pool: work(QPromise<void>&, Handover<T>&) hands values over as it
/// goes and may look at isCanceled(). On owner's thread each(T) gets every value handed, in order,
/// and then ended(bool cancelled) runs once the work has returned (cancelled: the watcher was
/// cancelled, and values still queued are dropped). Neither runs once owner is gone or the watcher
/// returned (owner's child) is deleted. Work that mostly waits on threads of its own gives its pool
/// slot back while it runs (QThreadPool::releaseThread), so one-shot work is not held up behind it.
template <typename T, typename Work, typename Each, typename Ended>
QFutureWatcher<void>* StreamInBackground(QObject* owner, Work work, Each each, Ended ended) {
    using Queue = typename Handover<T>::Queue;
    auto* watcher = new BackgroundWatcher<void>(owner);
    auto queue = std::make_shared<Queue>();
    auto deliver = [watcher, queue, each = std::move(each)] {
        if (watcher->isCanceled()) return;
        for (T& value : queue->drain()) each(std::move(value));
    };
    QObject::connect(watcher, &QFutureWatcherBase::progressValueChanged, watcher, deliver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, deliver, ended = std::move(ended)]() mutable {
                         const bool cancelled = watcher->isCanceled();
                         watcher->setParent(nullptr);  // ended may delete owner: the watcher goes after it
                         watcher->deleteLater();
                         deliver();
                         ended(cancelled);
                     });
    watcher->setFuture(QtConcurrent::run([work = std::move(work), queue](QPromise<void>& promise) mutable {
        struct Slot {  // the pool's slot given back while the work runs, taken again as it ends
            Slot() { QThreadPool::globalInstance()->releaseThread(); }
            ~Slot() { QThreadPool::globalInstance()->reserveThread(); }
        } slot;
        Handover<T> hand(promise, queue);
        work(promise, hand);
    }));
    return watcher;
}

}  // namespace kelvora::ui
