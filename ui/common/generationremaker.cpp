#include "common/generationremaker.h"

#include "common/background.h"

#include <exception>

namespace kelvora::ui {

GenerationRemaker::GenerationRemaker(QObject* parent) : QObject(parent) {}

GenerationRemaker::~GenerationRemaker() { cancel(); }

void GenerationRemaker::request(const kelvora::RunSetup& setup, int generation) {
    if (busy_) {
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
    busy_ = true;
    RunInBackground<kelvora::GenerationStep>(
        this,
        [setup = request.setup, generation = request.generation, stop = stop_] {
            try {
                return kelvora::TraceGenerationStep(setup, generation, stop.get());
            } catch (const std::exception&) {
                return kelvora::GenerationStep{};
            }
        },
        [this](kelvora::GenerationStep step) { onFinished(std::move(step)); });
}

void GenerationRemaker::onFinished(kelvora::GenerationStep step) {
    busy_ = false;
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
