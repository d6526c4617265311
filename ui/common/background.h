#pragma once
// The one way the windows run one-shot work off the GUI thread: the work runs on Qt's global pool,
// its result comes back by value on the owner's thread, and the owner's end cancels it (a work that
// takes a QPromise sees promise.isCanceled(); any result is dropped). The run's own thread with its
// mailbox (mainwindow/runcontroller) is the one other way: it streams a run's generations as they
// come, which one-shot work does not.

#include <functional>
#include <utility>

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
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

}  // namespace kelvora::ui
