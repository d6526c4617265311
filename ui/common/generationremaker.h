#pragma once
// One generation of a run made again from its setup off the GUI thread, for the windows that look
// into a scrubbed generation. One is made at a time; a newer request stops the one under way at its
// next generation and is made after it; what was stopped is never handed over.

#include <QObject>

#include <atomic>
#include <memory>
#include <optional>

#include "io/trace_step.h"

namespace kelvora::ui {

class GenerationRemaker final : public QObject {
    Q_OBJECT
public:
    explicit GenerationRemaker(QObject* parent = nullptr);
    /// Stops the one under way and returns at once: the worker holds its own copy of the setup and
    /// nothing of this object, and what it makes is dropped.
    ~GenerationRemaker() override;

    /// Makes generation (1..setup.params.generationCount) of setup's run again; made() hands it
    /// over. Returns at once; a request under way or waiting is replaced by this one.
    void request(const kelvora::RunSetup& setup, int generation);
    /// Stops the one under way and forgets the one waiting: nothing more is handed over.
    void cancel();
    /// A generation is being made (also one stopped but not yet ended).
    bool busy() const { return busy_; }

signals:
    /// The newest request's generation, made; generation 0 (empty) when the setup or the
    /// generation was refused.
    void made(kelvora::GenerationStep step);

private:
    struct Request {
        kelvora::RunSetup setup;
        int generation = 0;
    };
    void start(const Request& request);
    void onFinished(kelvora::GenerationStep step);

    bool busy_ = false;
    std::shared_ptr<std::atomic<bool>> stop_;  ///< the one under way's, raised to stop it
    std::optional<Request> waiting_;           ///< made once the one under way has ended
};

}  // namespace kelvora::ui
