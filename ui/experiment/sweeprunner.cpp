#include "experiment/sweeprunner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>

#include "analysis/optimum.h"
#include "batch/scheduler.h"
#include "common/background.h"
#include "experiment/rounds.h"

namespace kelvora::ui {

// What the scheduler's workers of one sweep share; the window sees none of it but the batches
// posted to it by value.
struct SweepRunner::Shared {
    explicit Shared(kelvora::experiment::RoundOrder o) : order(std::move(o)) {}
    std::vector<kelvora::SweepPlan> plans;
    kelvora::experiment::RoundOrder order;
    long long seeds = 0;                 ///< rounds
    std::unique_ptr<std::once_flag[]> optimumOnce;
    std::vector<double> optimum;         ///< of each of targets, pixels, once its flag has run
    std::atomic<bool> stop{false};
    std::atomic<bool> cancelled{false};  ///< set as the work ends: not every round completed
};

SweepRunner::SweepRunner(QObject* parent) : QObject(parent) {}

SweepRunner::~SweepRunner() { shutdown(); }

void SweepRunner::cancel() {
    if (m_shared) m_shared->stop = true;
}

void SweepRunner::shutdown() {
    cancel();
    if (!m_work) return;
    m_work->future().cancel();  // nothing still queued is handed over
    m_work->future().waitForFinished();
    delete m_work;  // nor is its end
    end();
}

void SweepRunner::start(std::vector<kelvora::SweepPlan> plans, int threads) {
    if (m_running || plans.empty()) return;
    auto s = std::make_shared<Shared>(kelvora::experiment::RoundOrder(plans));
    s->seeds = static_cast<long long>(plans.front().seeds.size());
    s->plans = std::move(plans);
    s->optimumOnce = std::make_unique<std::once_flag[]>(s->order.targets().size());
    s->optimum.assign(s->order.targets().size(), 0.0);
    threads = std::max(1, threads);
    m_shared = s;
    m_running = true;

    // The jobs handed back in order come round by round (RoundOrder).
    const auto run = [s](long long job, int worker, kelvora::WorkerBuffers& buffers)
        -> std::optional<FinishedRun> {
        Shared& state = *s;
        const auto [plan, index, target] = state.order.At(job);
        const kelvora::SweepPlan& p = state.plans[static_cast<std::size_t>(plan)];
        std::call_once(state.optimumOnce[target], [&] {
            const kelvora::SweepTarget& t = state.order.targets()[target];
            state.optimum[target] =
                kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, kelvora::kBaseX + t.x, kelvora::kBaseY - t.y).distance;
        });
        kelvora::RunReport report;
        // Measured against the optimum afterwards, as a sweep measures its runs at the hand-over.
        kelvora::SweepResult result = kelvora::RunCombination(kelvora::CombinationAt(p, index), std::nan(""), p.epsilon,
                                                              buffers[worker], &state.stop, nullptr, &report);
        if (report.stopped) return std::nullopt;  // an unfinished run is dropped
        kelvora::MeasureAgainstOptimum(result, state.optimum[target]);
        return FinishedRun{plan, index, std::move(result)};
    };
    // The scheduler's calling thread, on the pool: takes the runs in order and hands whole rounds over.
    const auto drive = [s, run, threads](QPromise<void>& promise, Handover<SweepBatch>& hand) {
        Shared& state = *s;
        kelvora::WorkerBuffers buffers(threads);
        std::vector<FinishedRun> round;  // the runs of the round not yet complete
        SweepBatch ready;                // complete rounds not yet posted
        long long complete = 0;
        long long finished = 0;
        auto lastPost = std::chrono::steady_clock::now();
        const auto post = [&] {
            SweepBatch batch = std::move(ready);
            ready = SweepBatch{};
            batch.rounds = static_cast<int>(complete);
            batch.finished = finished;
            lastPost = std::chrono::steady_clock::now();
            hand(std::move(batch));
        };
        const auto due = [&] { return std::chrono::steady_clock::now() - lastPost >= std::chrono::milliseconds(kHandoverInterval); };
        try {
            kelvora::RunInOrder<FinishedRun>(
                state.order.roundSize() * state.seeds, {.threads = threads, .stop = &s->stop},
                [&](long long job, int worker) { return run(job, worker, buffers); },
                [&](long long job, FinishedRun&& done) {
                    round.push_back(std::move(done));
                    finished = std::max(finished, job + 1);
                    if ((job + 1) % state.order.roundSize() == 0) {
                        for (FinishedRun& r : round) ready.runs.push_back(std::move(r));
                        round.clear();
                        ++complete;
                    }
                    if (due()) post();
                },
                [&](const kelvora::ScheduleProgress& p) {
                    if (promise.isCanceled()) state.stop = true;  // the owner has gone
                    finished = std::max(finished, p.finished);
                    if (due()) post();
                });
        } catch (const std::exception&) {
            // Out of memory, or not a thread to run on: the sweep ends as 中止 does, the complete rounds kept.
        }
        state.cancelled = complete < state.seeds;
        post();
    };
    m_work = StreamInBackground<SweepBatch>(
        this, drive, [this](SweepBatch batch) { emit batchTaken(batch); },
        [this, s](bool) {
            end();
            emit finished(s->cancelled);
        });
}

void SweepRunner::end() {
    m_work = nullptr;
    m_running = false;
    m_shared.reset();
}

}  // namespace kelvora::ui
