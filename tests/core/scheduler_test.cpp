// The scheduler: results in task order and byte for byte those of one thread, whatever the thread
// count and window; memory held to the window; a stop ends within the tasks under way; a task's
// failure reaches the caller.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/scheduler.h"
#include "batch/sweep.h"
#include "batch/sweep_table.h"

namespace kelvora {
namespace {

// Runs of unequal length (3 to 90 generations), so that they end out of order on several threads.
SweepCombination TaskCombination(long long index) {
    SweepCombination c;
    c.params.populationSize = 6 + static_cast<int>(index % 5) * 7;
    c.params.generationCount = 3 + static_cast<int>((index * 37) % 88);
    c.target = {static_cast<int>(index % 9) * 20 - 80, 60};
    c.seed = static_cast<std::uint32_t>(1000 + index);
    return c;
}

std::string RowOf(long long index, long long count) {
    const auto buffers = std::make_unique<RunBuffers>();
    const SweepResult r = RunCombination(TaskCombination(index), 12.0, 2.0, *buffers);
    return SweepRow(r, index, count, "f", 2.0);
}

struct OrderCase {
    int threads;
    long long window;  // 0: the default
};
class SchedulerOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(SchedulerOrder, HandsBackTheSingleThreadRowsInTaskOrderWithinItsWindow) {
    const int threads = GetParam().threads;
    const long long window = GetParam().window;
    constexpr long long kCount = 60;
    std::vector<std::string> want;
    for (long long i = 0; i < kCount; ++i) want.push_back(RowOf(i, kCount));

    WorkerBuffers buffers(threads);
    std::atomic<long long> taken{0};     // takes begun: the frontier is never past it
    std::atomic<long long> ahead{-1000}; // the furthest a task started ahead of the takes
    std::vector<std::string> got;
    const long long handed = RunInOrder<SweepResult>(
        kCount, {.threads = threads, .window = window},
        [&](long long i, int worker) -> std::optional<SweepResult> {
            const long long lead = i - taken.load();
            for (long long seen = ahead.load(); lead > seen && !ahead.compare_exchange_weak(seen, lead);) {}
            return RunCombination(TaskCombination(i), 12.0, 2.0, buffers[worker]);
        },
        [&](long long i, SweepResult&& r) {
            taken.fetch_add(1);
            EXPECT_EQ(i, static_cast<long long>(got.size()));
            got.push_back(SweepRow(r, i, kCount, "f", 2.0));
        });
    EXPECT_EQ(handed, kCount);
    EXPECT_EQ(got, want);
    if (window > 0) {
        EXPECT_LT(ahead.load(), window);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, SchedulerOrder,
                         testing::Values(OrderCase{1, 0}, OrderCase{2, 0}, OrderCase{7, 0}, OrderCase{7, 2},
                                         OrderCase{2, 1}, OrderCase{3, 5}));

struct StopCase {
    int threads;
    long long window;
    long long stopAt;  // raised as this task is taken; -1: before the start
};
class SchedulerStop : public testing::TestWithParam<StopCase> {};

TEST_P(SchedulerStop, EndsWithinTheTasksUnderWayAndCountsThoseThatRan) {
    const int threads = GetParam().threads;
    const long long window = GetParam().window, stopAt = GetParam().stopAt;
    constexpr long long kCount = 5000;
    std::atomic<bool> stop{stopAt < 0};
    std::atomic<long long> ran{0};
    std::atomic<long long> startedAfterStop{0};
    long long expected = 0;
    ScheduleProgress last;
    const long long handed = RunInOrder<long long>(
        kCount, {.threads = threads, .window = window, .stop = &stop},
        [&](long long i, int) -> std::optional<long long> {
            if (stop.load()) startedAfterStop.fetch_add(1);
            ran.fetch_add(1);
            return i * i;
        },
        [&](long long i, long long&& square) {
            EXPECT_EQ(i, expected++);
            EXPECT_EQ(square, i * i);
            if (i == stopAt) stop = true;
        },
        [&](const ScheduleProgress& p) { last = p; });
    EXPECT_EQ(handed, expected);
    // Each worker may have been past its look at the flag when it was raised: one task each at most.
    EXPECT_LE(startedAfterStop.load(), threads);
    EXPECT_GE(handed, stopAt + 1);
    EXPECT_LE(ran.load(), stopAt < 0 ? 0 : stopAt + 1 + window + threads);
    EXPECT_EQ(last.finished, ran.load());  // every task that started ran to its end
    EXPECT_EQ(last.handed, handed);
    EXPECT_EQ(last.total, kCount);
}
INSTANTIATE_TEST_SUITE_P(Rows, SchedulerStop,
                         testing::Values(StopCase{2, 4, -1}, StopCase{1, 1, 0}, StopCase{2, 4, 3}, StopCase{7, 16, 40},
                                         StopCase{3, 64, 999}));

struct FaultCase {
    int threads;
    long long at;     // the task, or the take, that fails
    bool inTake;      // the take throws, not the task
    bool gives;       // the task gives up (nullopt) rather than throwing
};
class SchedulerFault : public testing::TestWithParam<FaultCase> {};

TEST_P(SchedulerFault, AFailureReachesTheCallerAfterTheResultsBeforeIt) {
    const int threads = GetParam().threads;
    const long long at = GetParam().at;
    const bool inTake = GetParam().inTake, gives = GetParam().gives;
    constexpr long long kCount = 400;
    std::vector<long long> handed;
    std::string caught;
    long long returned = -1;
    try {
        returned = RunInOrder<long long>(
            kCount, {.threads = threads},
            [&](long long i, int) -> std::optional<long long> {
                if (i == at && !inTake) {
                    if (gives) return std::nullopt;
                    throw std::runtime_error("task " + std::to_string(i));
                }
                return i;
            },
            [&](long long i, long long&& value) {
                if (i == at && inTake) throw std::runtime_error("take " + std::to_string(i));
                EXPECT_EQ(value, i);
                handed.push_back(i);
            });
    } catch (const std::runtime_error& e) {
        caught = e.what();
    }
    EXPECT_EQ(caught, gives ? "" : (inTake ? "take " : "task ") + std::to_string(at));
    if (gives) {
        EXPECT_EQ(returned, static_cast<long long>(handed.size()));
    }
    for (std::size_t k = 0; k < handed.size(); ++k) EXPECT_EQ(handed[k], static_cast<long long>(k));
    // One worker has run every task before the failed one; with more, one claimed just before may
    // never have started.
    if (threads == 1 || inTake) {
        EXPECT_EQ(static_cast<long long>(handed.size()), at);
    } else {
        EXPECT_LE(static_cast<long long>(handed.size()), at);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, SchedulerFault,
                         testing::Values(FaultCase{1, 0, false, false}, FaultCase{1, 57, false, false},
                                         FaultCase{3, 57, false, false}, FaultCase{7, 399, false, false},
                                         FaultCase{3, 120, true, false}, FaultCase{1, 30, false, true},
                                         FaultCase{4, 200, false, true}));

}  // namespace
}  // namespace kelvora
