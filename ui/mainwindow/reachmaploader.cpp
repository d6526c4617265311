#include "mainwindow/reachmaploader.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include "analysis/reachmap.h"

namespace kelvora::ui {

namespace {

struct Waiter {
    QPointer<QObject> receiver;
    std::function<void()> ready;
};

// Never destroyed: it lives as long as the process.
struct Shared {
    std::mutex mutex;
    bool started = false;
    std::atomic<const kelvora::ReachMap*> map{nullptr};
    std::vector<Waiter> waiters;
};

Shared& TheShared() {
    static Shared* shared = new Shared;
    return *shared;
}


}  // namespace

const kelvora::ReachMap* ReachMapLoader::Request(QObject* receiver, std::function<void()> ready) {
    Shared& shared = TheShared();
    if (const kelvora::ReachMap* map = shared.map.load(std::memory_order_acquire)) return map;
    std::lock_guard lock(shared.mutex);
    if (const kelvora::ReachMap* map = shared.map.load(std::memory_order_acquire)) return map;
    if (receiver && ready) shared.waiters.push_back({receiver, std::move(ready)});
    if (!shared.started) {
        shared.started = true;
        // On the application's pool, which the application waits for as it ends.
        static_cast<void>(QtConcurrent::run([&shared] {
            const kelvora::ReachMap* map = kelvora::ComputeReachMap(kelvora::kBaseX, kelvora::kBaseY).release();
            std::vector<Waiter> waiters;
            {
                std::lock_guard lock(shared.mutex);
                shared.map.store(map, std::memory_order_release);
                waiters.swap(shared.waiters);
            }
            // Receivers are checked on the GUI thread, where they are destroyed.
            if (QCoreApplication* app = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(
                    app,
                    [waiters = std::move(waiters)] {
                        for (const Waiter& w : waiters)
                            if (w.receiver) w.ready();
                    },
                    Qt::QueuedConnection);
            }
        }));
    }
    return nullptr;
}

}  // namespace kelvora::ui
