#pragma once
// The one scheduler of many independent tasks on worker threads: tasks numbered 0..count-1, each
// run once by a worker, their results handed back by value on the calling thread in task order,
// whatever the thread count; a bounded window of finished results waits for the hand-over.

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kelvora {

/// How tasks are scheduled.
struct ScheduleOptions {
    int threads = 1;  ///< worker threads, >= 1 (fewer when the system gives no more; at least one or it throws)
    /// Finished results held past the next one to hand back, at most; a worker waits for room
    /// before it starts a task further ahead. 0: 4096 + 64 a thread.
    long long window = 0;
    /// Raised (by a signal handler, by a window's cancel): no task starts any more; tasks under way
    /// finish, and the finished ones up to the first that did not are handed back. May be nullptr.
    const std::atomic<bool>* stop = nullptr;
};

/// Counts of a schedule under way, as the calling thread sees them.
struct ScheduleProgress {
    long long total = 0;     ///< tasks in all
    long long finished = 0;  ///< tasks run to their end (in any order), 0..total
    long long handed = 0;    ///< results handed back (in order), 0..finished
};

namespace scheduling {

/// What a worker did with a task.
enum class TaskEnd : unsigned char { finished, dropped };

/// The engine under RunInOrder, on slots 0..window-1 (task index % window); see RunInOrder.
/// run(index, worker, slot) fills the slot; take(index, slot) empties it on the calling thread.
long long RunSlots(long long count, const ScheduleOptions& options, std::size_t window,
                   const std::function<TaskEnd(long long index, int worker, std::size_t slot)>& run,
                   const std::function<void(long long index, std::size_t slot)>& take,
                   const std::function<void(const ScheduleProgress&)>& progress);

/// The window a schedule of options on count tasks uses: options.window or its default, at most count, >= 1.
std::size_t WindowOf(const ScheduleOptions& options, long long count);

}  // namespace scheduling

/// Runs tasks 0..count-1 (count >= 0) on options.threads workers and hands each result to take on
/// the calling thread, by value, in task order, never in completion order. run(index, worker)
/// makes task index's result on worker 0..threads-1 (each worker's tasks one after another, so a
/// worker may keep buffers of its own), or nullopt when it gave up (a stop seen in the middle):
/// nothing from that task on is handed back and no task starts any more. progress, when given,
/// is called on the calling thread about every 20 ms while it waits, and once at the end.
/// Returns the number of results handed back: count unless stopped or given up.
/// An exception from a task ends the schedule the same way, after the results before it are
/// handed back, and is rethrown here; one from take or progress ends it at once (the workers
/// finish their tasks and are joined) and goes on to the caller. Signals are blocked in workers.
template <typename Result>
long long RunInOrder(long long count, const ScheduleOptions& options,
                     const std::function<std::optional<Result>(long long index, int worker)>& run,
                     const std::function<void(long long index, Result&& result)>& take,
                     const std::function<void(const ScheduleProgress&)>& progress = {}) {
    const std::size_t window = scheduling::WindowOf(options, count);
    // One result a slot, written by the worker that ran the task and read by the calling thread once
    // the engine has published it.
    std::vector<std::optional<Result>> held(window);
    return scheduling::RunSlots(
        count, options, window,
        [&](long long index, int worker, std::size_t slot) {
            std::optional<Result> result = run(index, worker);
            if (!result) return scheduling::TaskEnd::dropped;
            held[slot] = std::move(result);
            return scheduling::TaskEnd::finished;
        },
        [&](long long index, std::size_t slot) {
            Result result = std::move(*held[slot]);
            held[slot].reset();
            take(index, std::move(result));
        },
        progress);
}

}  // namespace kelvora
