#include "common/generationremaker.h"

#include <QtConcurrent/QtConcurrentRun>

#include <exception>

namespace kelvora::ui {

GenerationRemaker::GenerationRemaker(QObject* parent) : QObject(parent) {}

GenerationRemaker::~GenerationRemaker() { cancel(); }

void GenerationRemaker::request(const kelvora::RunSetup& setup, int generation) {
    if (watcher_) {
        // The one under way stops at its next generation; this one follows it.
        waiting_ = Request{setup, generation};
        stop_->store(true, std::memory_order_release);
        return;
    }
    start({setup, generation});
}

void GenerationRemaker::cancel() {
    waiting_.reset();
    if (stop_) stop_->store(true, std::memory_order_release);
}

void GenerationRemaker::start(const Request& request) {
    stop_ = std::make_shared<std::atomic<bool>>(false);
    watcher_ = std::make_unique<QFutureWatcher<kelvora::GenerationStep>>();
    connect(watcher_.get(), &QFutureWatcher<kelvora::GenerationStep>::finished, this, &GenerationRemaker::onFinished);
    watcher_->setFuture(QtConcurrent::run([setup = request.setup, generation = request.generation, stop = stop_] {
        try {
            return kelvora::TraceGenerationStep(setup, generation, stop.get());
        } catch (const std::exception&) {
            return kelvora::GenerationStep{};
        }
    }));
}

void GenerationRemaker::onFinished() {
    kelvora::GenerationStep step = watcher_->result();
    watcher_.reset();
    const bool stopped = stop_->load(std::memory_order_acquire);
    if (waiting_) {
        const Request next = std::move(*waiting_);
        waiting_.reset();
        start(next);
        return;
    }
    if (!stopped) emit made(std::move(step));
}

}  // namespace kelvora::ui
