#include "experiment/sweeprunner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <new>

#include <QtConcurrent/QtConcurrentRun>

#include "analysis/optimum.h"

namespace kelvora::ui {

// What the workers of one sweep share with each other; the window sees none of it but the batches
// posted to it by value.
struct SweepRunner::Shared {
    std::vector<kelvora::SweepPlan> plans;
    std::vector<long long> firstOfPlan;  ///< each plan's first position within a round
    long long roundSize = 0;             ///< runs of one seed, over every plan
    long long seeds = 0;                 ///< rounds
    std::vector<kelvora::SweepTarget> targets;  ///< the plans' targets, each once
    std::vector<std::vector<std::size_t>> slot; ///< plan, its target -> position in targets
    std::unique_ptr<std::once_flag[]> optimumOnce;
    std::vector<double> optimum;         ///< of each of targets, pixels, once its flag has run

    std::atomic<bool> stop{false};
    std::atomic<long long> next{0};      ///< the next job, seed-major

    std::mutex mutex;                    ///< guards the rest
    std::map<long long, std::vector<FinishedRun>> open;  ///< runs of rounds not yet complete
    long long complete = 0;              ///< rounds complete, in order
    long long finished = 0;
    SweepBatch ready;                    ///< complete rounds not yet posted
    std::chrono::steady_clock::time_point lastPost{};
    int working = 0;
};

SweepRunner::SweepRunner(QObject* parent) : QObject(parent) { m_pool.setObjectName(QStringLiteral("kelvora sweep")); }

SweepRunner::~SweepRunner() { shutdown(); }

void SweepRunner::cancel() {
    if (m_shared) m_shared->stop = true;
}

void SweepRunner::shutdown() {
    cancel();
    m_pool.waitForDone();
}

void SweepRunner::start(std::vector<kelvora::SweepPlan> plans, int threads) {
    if (m_running || plans.empty()) return;
    auto s = std::make_shared<Shared>();
    s->seeds = static_cast<long long>(plans.front().seeds.size());
    std::map<std::pair<int, int>, std::size_t> known;  // each target's place in s->targets
    for (const kelvora::SweepPlan& plan : plans) {
        s->firstOfPlan.push_back(s->roundSize);
        s->roundSize += kelvora::CombinationCount(plan) / static_cast<long long>(plan.seeds.size());
        std::vector<std::size_t> places;
        for (const kelvora::SweepTarget& t : plan.targets) {
            const auto [at, added] = known.try_emplace({t.x, t.y}, s->targets.size());
            if (added) s->targets.push_back(t);
            places.push_back(at->second);
        }
        s->slot.push_back(std::move(places));
    }
    s->plans = std::move(plans);
    s->optimumOnce = std::make_unique<std::once_flag[]>(s->targets.size());
    s->optimum.assign(s->targets.size(), 0.0);
    threads = std::max(1, threads);
    s->working = threads;
    s->lastPost = std::chrono::steady_clock::now();
    m_shared = s;
    m_running = true;
    m_pool.setMaxThreadCount(threads);

    // Posts what is ready, under s->mutex; last: every worker is done.
    const auto post = [this](Shared& state, bool last) {
        SweepBatch batch = std::move(state.ready);
        state.ready = SweepBatch{};
        batch.rounds = static_cast<int>(state.complete);
        batch.finished = state.finished;
        state.lastPost = std::chrono::steady_clock::now();
        const bool cancelled = last && state.complete < state.seeds;
        QMetaObject::invokeMethod(
            this, [this, batch = std::move(batch), last, cancelled]() mutable { take(std::move(batch), last, cancelled); },
            Qt::QueuedConnection);
    };
    const auto work = [s, post] {
        Shared& state = *s;
        const long long jobs = state.roundSize * state.seeds;
        try {
            auto buffers = std::make_unique<kelvora::RunBuffers>();
            while (!state.stop.load(std::memory_order_relaxed)) {
                const long long job = state.next.fetch_add(1);
                if (job >= jobs) break;
                const long long round = job / state.roundSize;
                const long long offset = job % state.roundSize;
                const auto plan = static_cast<std::size_t>(
                    std::upper_bound(state.firstOfPlan.begin(), state.firstOfPlan.end(), offset) - state.firstOfPlan.begin() - 1);
                const kelvora::SweepPlan& p = state.plans[plan];
                // The plan's combinations of this seed: every one but the seed, the seed varying fastest.
                const long long index = (offset - state.firstOfPlan[plan]) * state.seeds + round;
                const std::size_t target = state.slot[plan][static_cast<std::size_t>(
                    (index / state.seeds) % static_cast<long long>(p.targets.size()))];
                std::call_once(state.optimumOnce[target], [&] {
                    const kelvora::SweepTarget& t = state.targets[target];
                    state.optimum[target] =
                        kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, kelvora::kBaseX + t.x, kelvora::kBaseY - t.y).distance;
                });
                kelvora::RunReport report;
                // Measured against the optimum afterwards, as a sweep measures its runs at the hand-over.
                kelvora::SweepResult result = kelvora::RunCombination(kelvora::CombinationAt(p, index), std::nan(""),
                                                                      p.epsilon, *buffers, &state.stop, nullptr, &report);
                if (report.stopped) break;  // an unfinished run is dropped
                kelvora::MeasureAgainstOptimum(result, state.optimum[target]);
                std::lock_guard lock(state.mutex);
                ++state.finished;
                state.open[round].push_back(FinishedRun{static_cast<int>(plan), index, std::move(result)});
                // Whole rounds in order, each plan's runs in its combination order.
                for (auto it = state.open.find(state.complete);
                     it != state.open.end() && static_cast<long long>(it->second.size()) == state.roundSize;
                     it = state.open.find(state.complete)) {
                    std::sort(it->second.begin(), it->second.end(), [](const FinishedRun& a, const FinishedRun& b) {
                        return a.plan != b.plan ? a.plan < b.plan : a.index < b.index;
                    });
                    for (FinishedRun& run : it->second) state.ready.runs.push_back(std::move(run));
                    state.open.erase(it);
                    ++state.complete;
                }
                if (std::chrono::steady_clock::now() - state.lastPost >= std::chrono::milliseconds(kHandoverInterval))
                    post(state, false);
            }
        } catch (const std::bad_alloc&) {
            state.stop = true;  // out of memory ends the sweep as 中止 does, the complete rounds kept
        }
        std::lock_guard lock(state.mutex);
        if (--state.working == 0) post(state, true);
    };
    for (int i = 0; i < threads; ++i) (void)QtConcurrent::run(&m_pool, work);
}

void SweepRunner::take(SweepBatch batch, bool last, bool cancelled) {
    if (!m_running) return;
    emit batchTaken(batch);
    if (!last) return;
    m_running = false;
    m_shared.reset();
    emit finished(cancelled);
}

}  // namespace kelvora::ui
