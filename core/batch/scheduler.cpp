#include "batch/scheduler.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

namespace kelvora::scheduling {

namespace {

// A slot's state: empty until its task ends, then how it ended, until the calling thread takes it.
enum SlotState : unsigned char { kEmpty, kFinished, kDropped, kFailed };

constexpr auto kTick = std::chrono::milliseconds(20);
constexpr long long kBatch = 64;  // tasks the calling thread lets end before it is woken

}  // namespace

std::size_t WindowOf(const ScheduleOptions& options, long long count) {
    const long long wanted = options.window > 0 ? options.window : 4096 + 64LL * std::max(1, options.threads);
    return static_cast<std::size_t>(std::clamp(count, 1LL, wanted));
}

long long RunSlots(long long count, const ScheduleOptions& options, std::size_t window,
                   const std::function<TaskEnd(long long index, int worker, std::size_t slot)>& run,
                   const std::function<void(long long index, std::size_t slot)>& take,
                   const std::function<void(const ScheduleProgress&)>& progress) {
    const auto w = static_cast<long long>(window);
    std::vector<std::atomic<unsigned char>> state(window);
    for (auto& s : state) s.store(kEmpty, std::memory_order_relaxed);
    std::vector<std::exception_ptr> errors(window);  // a failed task's, published by its state

    std::atomic<long long> next{0};       // the next task to claim
    std::atomic<long long> frontier{0};   // the next task to hand back; tasks from frontier + w on wait
    std::atomic<long long> finished{0};
    std::atomic<long long> awaited{-1};   // the task the calling thread sleeps for
    // The frontier at which a worker waiting for room goes on (none: the largest value).
    std::atomic<long long> wakeAt{std::numeric_limits<long long>::max()};
    std::atomic<int> alive{0};
    std::atomic<bool> end{false};         // no task starts any more: given up, failed, or the caller left
    std::mutex mutex;
    std::condition_variable ready;        // the calling thread's
    std::condition_variable room;         // the workers'
    const auto ending = [&] {
        return end.load(std::memory_order_relaxed) ||
               (options.stop != nullptr && options.stop->load(std::memory_order_relaxed));
    };

    const auto work = [&](int worker) {
        // Signals are the calling thread's: a handler never runs in the middle of a worker's task.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        while (!ending()) {
            const long long index = next.fetch_add(1);
            if (index >= count) break;
            if (index >= frontier.load() + w) {
                // Goes on once a quarter of the window is free, not at each result taken.
                const long long resume = index - w + 1 + w / 4;
                std::unique_lock lock(mutex);
                while (!ending()) {
                    if (wakeAt.load() > resume) wakeAt.store(resume);
                    if (frontier.load() >= resume) break;
                    room.wait_for(lock, kTick);
                }
            }
            if (ending()) break;  // claimed, never started: the hand-over ends before it
            const auto slot = static_cast<std::size_t>(index % w);
            unsigned char ended = kFailed;
            try {
                ended = run(index, worker, slot) == TaskEnd::finished ? kFinished : kDropped;
            } catch (...) {
                errors[slot] = std::current_exception();
            }
            if (ended == kFinished) finished.fetch_add(1, std::memory_order_relaxed);
            else end.store(true);
            state[slot].store(ended);
            if (awaited.load() == index) {
                const std::lock_guard lock(mutex);
                ready.notify_one();
            }
        }
        const std::lock_guard lock(mutex);
        alive.fetch_sub(1);
        ready.notify_one();
    };

    std::vector<std::thread> pool;
    // However the calling thread leaves (its take or progress threw), the workers end first.
    struct JoinOnExit {
        std::vector<std::thread>& pool;
        std::atomic<bool>& end;
        std::mutex& mutex;
        std::condition_variable& room;
        void operator()() {
            end.store(true);
            {
                const std::lock_guard lock(mutex);
                room.notify_all();
            }
            for (std::thread& t : pool)
                if (t.joinable()) t.join();
        }
        ~JoinOnExit() { (*this)(); }
    } joinAll{pool, end, mutex, room};

    const int threads = static_cast<int>(std::min<long long>(std::max(1, options.threads), std::max(1LL, count)));
    for (int i = 0; i < threads && count > 0; ++i) {
        alive.fetch_add(1);
        try {
            pool.emplace_back(work, i);
        } catch (const std::system_error&) {  // no room for another thread: the tasks go on fewer
            alive.fetch_sub(1);
            if (pool.empty()) throw;
            break;
        }
    }

    long long at = 0;
    auto lastReport = std::chrono::steady_clock::now();
    const auto report = [&](bool always) {
        if (!progress) return;
        const auto now = std::chrono::steady_clock::now();
        if (!always && now - lastReport < kTick) return;
        lastReport = now;
        progress({count, finished.load(std::memory_order_relaxed), at});
    };
    const auto takeAt = [&](std::size_t slot) {
        take(at, slot);
        state[slot].store(kEmpty, std::memory_order_relaxed);
        frontier.store(++at);
        if (at >= wakeAt.load()) {
            const std::lock_guard lock(mutex);
            wakeAt.store(std::numeric_limits<long long>::max());
            room.notify_all();
        }
    };
    while (at < count) {
        const auto slot = static_cast<std::size_t>(at % w);
        const unsigned char s = state[slot].load();
        if (s == kFinished) {
            takeAt(slot);
            if ((at & 63) == 0) report(false);
            continue;
        }
        if (s != kEmpty || ending() || alive.load() == 0) break;
        // Woken by the task that ends a batch of them, not at each one (or by the one it waits for,
        // when the batch's last has ended already); the tick bounds the wait.
        long long last = std::min({at + kBatch, count, at + w}) - 1;
        if (state[static_cast<std::size_t>(last % w)].load() != kEmpty) last = at;
        const auto lastSlot = static_cast<std::size_t>(last % w);
        awaited.store(last);
        {
            std::unique_lock lock(mutex);
            ready.wait_for(lock, kTick, [&] {
                return (state[slot].load() != kEmpty && state[lastSlot].load() != kEmpty) || alive.load() == 0 || ending();
            });
        }
        awaited.store(-1);
        report(false);
    }
    // The tasks under way finish; those finished in order after the last handed back follow it.
    joinAll();
    while (at < count && state[static_cast<std::size_t>(at % w)].load() == kFinished) takeAt(static_cast<std::size_t>(at % w));
    // A failed task's exception goes on to the caller, even when a task before it never started.
    for (long long i = at; i < std::min(count, at + w); ++i)
        if (state[static_cast<std::size_t>(i % w)].load() == kFailed) std::rethrow_exception(errors[static_cast<std::size_t>(i % w)]);
    report(true);
    return at;
}

}  // namespace kelvora::scheduling
