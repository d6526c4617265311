// Sweeps: combination order, runs equal to plain runs whatever the thread count, shards, stopping,
// the statistics, reproducible random targets, and batched result files.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "batch/sweep.h"
#include "batch/sweep_table.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::TestRun;

using testing_support::ReadBytes;
using testing_support::ScratchDir;

SweepPlan SmallPlan() {
    SweepPlan plan;
    plan.populations = {8, 30};
    plan.generations = {15};
    plan.crossovers = {0.3, 0.9};
    plan.mutations = {0.05};
    plan.targets = {{68, 180}, {-50, 20}};
    plan.seeds = {1, 2, 7};
    plan.epsilon = 2.0;
    return plan;
}

TEST(Sweep, CombinationsNestParametersThenTargetsThenSeeds) {
    const SweepPlan plan = SmallPlan();
    long long index = 0;
    for (int p : plan.populations)
        for (int g : plan.generations)
            for (double c : plan.crossovers)
                for (double m : plan.mutations)
                    for (const SweepTarget& t : plan.targets)
                        for (std::uint32_t s : plan.seeds) {
                            const SweepCombination got = CombinationAt(plan, index++);
                            EXPECT_EQ(got.params.populationSize, p);
                            EXPECT_EQ(got.params.generationCount, g);
                            EXPECT_EQ(got.params.crossoverRate, c);
                            EXPECT_EQ(got.params.mutationProbability, m);
                            EXPECT_EQ(got.target, t);
                            EXPECT_EQ(got.seed, s);
                        }
    EXPECT_EQ(CombinationCount(plan), index);
    SweepPlan empty = plan;
    empty.seeds.clear();
    EXPECT_EQ(CombinationCount(empty), 0);
}

// What a plain run of the library gives for one combination, measured from its progress calls.
SweepResult PlainRun(const SweepCombination& c, double epsilon) {
    ScratchDir dir;
    SweepResult r;
    r.combination = c;
    static std::map<std::pair<int, int>, double> optima;  // the exhaustive search takes a while
    auto [at, added] = optima.try_emplace({c.target.x, c.target.y}, 0.0);
    if (added) at->second = FindOptimum(kBaseX, kBaseY, kBaseX + c.target.x, kBaseY - c.target.y).distance;
    r.optimumDistance = at->second;
    std::vector<double> errors;
    const Geometry geometry = GeometryFor(c.target.x, c.target.y);
    const TestRun run = testing_support::RunInto(dir.c_str(), c.params, geometry, c.seed,
                                                 [&](int, double e) { errors.push_back(e); });
    for (std::size_t g = errors.size(); g-- > 0;) {
        if (errors[g] <= r.optimumDistance) r.firstGenerationAtOptimum = static_cast<int>(g) + 1;
        if (errors[g] <= epsilon) r.firstGenerationWithinEpsilon = static_cast<int>(g) + 1;
    }
    r.elitePose = run.outcome.elitePose;
    r.eliteDistance = TipDistance(geometry, run.outcome.elitePose);
    return r;
}

class SweepThreads : public testing::TestWithParam<int> {};

TEST_P(SweepThreads, RowsComeInCombinationOrderAndEqualPlainRuns) {
    const SweepPlan plan = SmallPlan();
    std::vector<long long> order;
    std::vector<SweepResult> rows;
    const long long handed = RunSweep(plan, {.threads = GetParam()}, [&](long long index, const SweepResult& r) {
        order.push_back(index);
        rows.push_back(r);
    });
    ASSERT_EQ(handed, CombinationCount(plan));
    for (long long i = 0; i < handed; ++i) {
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
        const SweepResult want = PlainRun(CombinationAt(plan, i), plan.epsilon);
        const SweepResult& got = rows[static_cast<std::size_t>(i)];
        EXPECT_EQ(got.combination.seed, want.combination.seed);
        EXPECT_EQ(got.elitePose, want.elitePose) << "run " << i;
        EXPECT_EQ(got.eliteDistance, want.eliteDistance);
        EXPECT_EQ(got.optimumDistance, want.optimumDistance);
        EXPECT_EQ(got.firstGenerationAtOptimum, want.firstGenerationAtOptimum);
        EXPECT_EQ(got.firstGenerationWithinEpsilon, want.firstGenerationWithinEpsilon);
    }
}
INSTANTIATE_TEST_SUITE_P(Threads, SweepThreads, testing::Values(1, 2, 5));

// Runs that find the exact optimum, where a distance equal to the optimum's counts as reaching it.
TEST(Sweep, ARunThatFindsTheOptimumReachesItAtTheGenerationThePlainRunDoes) {
    SweepPlan plan = SmallPlan();
    plan.populations = {100};
    plan.generations = {40};
    plan.crossovers = {0.5};
    plan.mutations = {0.1};
    plan.targets = {{150, 0}};
    plan.seeds = {5, 6};
    int reached = 0;
    RunSweep(plan, {.threads = 2}, [&](long long index, const SweepResult& got) {
        const SweepResult want = PlainRun(CombinationAt(plan, index), plan.epsilon);
        EXPECT_EQ(got.reachedOptimum(), want.firstGenerationAtOptimum > 0) << "run " << index;
        EXPECT_EQ(got.firstGenerationAtOptimum, want.firstGenerationAtOptimum) << "run " << index;
        reached += got.reachedOptimum() ? 1 : 0;
    });
    EXPECT_GE(reached, 1);  // the row is only worth its time when a run gets there
}

TEST(Sweep, ShardsPartitionTheCombinationsAndResumeSkipsTheDoneOnes) {
    const SweepPlan plan = SmallPlan();
    std::set<long long> seen;
    for (long long k = 0; k < 5; ++k) {
        RunSweep(plan, {.threads = 2, .shardIndex = k, .shardCount = 5, .skip = k == 1 ? 2 : 0},
                 [&](long long index, const SweepResult&) {
                     EXPECT_EQ(index % 5, k);
                     EXPECT_TRUE(seen.insert(index).second);
                 });
    }
    // Shard 2 of 5 skipped its first two combinations, 1 and 6.
    EXPECT_EQ(static_cast<long long>(seen.size()), CombinationCount(plan) - 2);
    EXPECT_FALSE(seen.count(1) || seen.count(6));
    EXPECT_TRUE(seen.count(11));
}

TEST(Sweep, AStopRaisedBeforehandRunsNothingAndOneRaisedMidwayKeepsAnOrderedPrefix) {
    SweepPlan plan = SmallPlan();
    std::atomic<bool> stop{true};
    EXPECT_EQ(RunSweep(plan, {.threads = 2, .stop = &stop}, [](long long, const SweepResult&) {}), 0);
    stop = false;
    plan.generations = {1000};  // runs long enough that most are still to come when index 4 is handed over
    plan.seeds.resize(100);
    for (std::uint32_t s = 0; s < 100; ++s) plan.seeds[s] = s;
    long long expected = 0;
    const long long handed = RunSweep(plan, {.threads = 2, .stop = &stop}, [&](long long index, const SweepResult&) {
        EXPECT_EQ(index, expected++);
        if (index == 4) stop = true;
    });
    EXPECT_EQ(handed, expected);
    EXPECT_LT(handed, CombinationCount(plan));
}

TEST(Sweep, LogsGoToOneDirectoryPerRunWithThePlainRunsBytes) {
    SweepPlan plan = SmallPlan();
    plan.populations = {8};
    plan.crossovers = {0.3};
    plan.targets = {{-50, 20}};
    ScratchDir dir;
    RunSweep(plan, {.threads = 2, .logDirectory = dir.path().string()}, [](long long, const SweepResult&) {});
    for (long long i = 0; i < CombinationCount(plan); ++i) {
        const SweepCombination c = CombinationAt(plan, i);
        ScratchDir plain;
        testing_support::RunInto(plain.c_str(), c.params, GeometryFor(-50, 20), c.seed);
        const std::filesystem::path run = dir.path() / ("run-" + std::to_string(i + 1));
        for (const char* name : {"results.csv", "fitness.csv"})
            EXPECT_EQ(ReadBytes((run / name).string()), ReadBytes(plain.file(name))) << run << name;
    }
}

struct WilsonCase {
    long long successes, trials;
    double low, high;  // published 95% Wilson score intervals, 4 decimals
};
class Wilson : public testing::TestWithParam<WilsonCase> {};
TEST_P(Wilson, MatchesPublishedIntervals) {
    const WilsonCase c = GetParam();
    const Proportion p = WilsonInterval(c.successes, c.trials);
    EXPECT_DOUBLE_EQ(p.rate, static_cast<double>(c.successes) / static_cast<double>(c.trials));
    EXPECT_NEAR(p.low, c.low, 5e-5);
    EXPECT_NEAR(p.high, c.high, 5e-5);
    // Exactly 0 and 1 where they are the bounds, as the summary file prints them.
    if (c.successes == 0) {
        EXPECT_EQ(p.low, 0.0);
    }
    if (c.successes == c.trials) {
        EXPECT_EQ(p.high, 1.0);
    }
}
INSTANTIATE_TEST_SUITE_P(Table, Wilson,
                         testing::Values(WilsonCase{0, 10, 0.0, 0.2775}, WilsonCase{10, 10, 0.7225, 1.0}, WilsonCase{0, 100, 0.0, 0.0370},
                                         WilsonCase{5, 10, 0.2366, 0.7634}, WilsonCase{8, 10, 0.4902, 0.9433},
                                         WilsonCase{1, 1, 0.2065, 1.0}, WilsonCase{50, 100, 0.4038, 0.5962}));

TEST(Quartiles, InterpolateBetweenOrderStatistics) {
    const Quartiles q = QuartilesOf({4.0, 1.0, 3.0, 2.0});
    EXPECT_DOUBLE_EQ(q.q1, 1.75);
    EXPECT_DOUBLE_EQ(q.median, 2.5);
    EXPECT_DOUBLE_EQ(q.q3, 3.25);
    const Quartiles one = QuartilesOf({7.0});
    EXPECT_EQ(one.q1, 7.0);
    EXPECT_EQ(one.iqr(), 0.0);
    EXPECT_EQ(QuartilesOf({}).count, 0);
}

TEST(Summarise, PoolsTargetsAndSeedsPerParameterSetInFirstSeenOrder) {
    std::vector<SweepResult> results;
    const SolverParams a{10, 5, 0.5, 0.1}, b{20, 5, 0.5, 0.1};
    for (int i = 0; i < 6; ++i) {
        SweepResult r;
        r.combination.params = i % 2 ? a : b;
        r.eliteDistance = i;
        r.firstGenerationAtOptimum = i < 2 ? 3 : 0;
        r.firstGenerationWithinEpsilon = i < 4 ? i + 1 : 0;
        results.push_back(r);
    }
    const std::vector<SweepSummaryRow> rows = Summarise(results);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].params.populationSize, 20);  // b came first (i = 0, 2, 4)
    EXPECT_EQ(rows[0].runs, 3);
    EXPECT_EQ(rows[0].reached.successes, 1);
    EXPECT_EQ(rows[0].withinEpsilon.successes, 2);
    EXPECT_EQ(rows[0].eliteDistance.median, 2.0);
    EXPECT_EQ(rows[0].firstWithinEpsilon.median, 2.0);  // generations 1 and 3
    EXPECT_EQ(rows[1].eliteDistance.median, 3.0);
}

TEST(RandomTargets, DistinctInsideTheReachAndTheSameForTheSameSeed) {
    const std::vector<SweepTarget> t = RandomTargets(200, 9);
    ASSERT_EQ(t.size(), 200u);
    std::set<std::pair<int, int>> distinct;
    for (const SweepTarget& p : t) {
        EXPECT_LE(p.x * p.x + p.y * p.y, 200 * 200);
        EXPECT_LE(std::abs(p.x), kMaxTargetOffset);
        EXPECT_LE(std::abs(p.y), kMaxTargetOffset);
        distinct.insert({p.x, p.y});
    }
    EXPECT_EQ(distinct.size(), 200u);
    EXPECT_EQ(RandomTargets(200, 9), t);
    EXPECT_NE(RandomTargets(200, 10), t);
}

// Counts the writes that reach the files.
std::atomic<int> writes{0};
ssize_t CountingWrite(int fd, const void* data, std::size_t size) {
    ++writes;
    return ::write(fd, data, size);
}

class Flush : public testing::TestWithParam<std::tuple<int, int>> {};
TEST_P(Flush, GenerationModeWritesTheSameBytesOnceAGeneration) {
    const auto [population, generations] = GetParam();
    const SolverParams params{population, generations, 0.5, 0.1};
    std::string bytes[2];
    int counted[2];
    for (int mode = 0; mode < 2; ++mode) {
        ScratchDir dir;
        writes = 0;
        ResultWriter writer(mode ? FlushMode::generation : FlushMode::line, CountingWrite);
        const auto buffers = std::make_unique<RunBuffers>();
        RunWithFiles({params, testing_support::MakeGeometry(), 5}, writer, dir.c_str(), {}, *buffers);
        counted[mode] = writes;
        EXPECT_EQ(writer.results.bytesLogged, static_cast<long long>(ReadBytes(dir.file("results.csv")).size()));
        bytes[mode] = ReadBytes(dir.file("results.csv")) + "|" + ReadBytes(dir.file("fitness.csv"));
    }
    EXPECT_EQ(bytes[1], bytes[0]);
    EXPECT_EQ(counted[0], generations * (population + 1) + generations);
    EXPECT_EQ(counted[1], generations + 1);
}
INSTANTIATE_TEST_SUITE_P(Sizes, Flush, testing::Values(std::tuple{1, 3}, std::tuple{50, 20}, std::tuple{10000, 2}));

TEST(RunSolver, WithoutAWriterNothingIsCreatedAndTheRunIsTheSame) {
    ScratchDir dir;
    const SolverParams params{40, 30, 0.5, 0.1};
    std::vector<std::pair<int, double>> with, without;
    const TestRun written = testing_support::RunInto(dir.c_str(), params, testing_support::MakeGeometry(), 3,
                                                     [&](int g, double e) { with.emplace_back(g, e); });
    ProgressObserver progress([&](int g, double e) { without.emplace_back(g, e); });
    RunObserver* observers[] = {&progress};
    const RunOutcome alone = RunSolver({params, testing_support::MakeGeometry(), 3}, observers);
    EXPECT_EQ(without, with);
    EXPECT_EQ(alone.elitePose, written.outcome.elitePose);
    EXPECT_EQ(alone.eliteFitness, written.outcome.eliteFitness);
    EXPECT_EQ(alone.currentPose, written.outcome.currentPose);
}

}  // namespace
}  // namespace kelvora

namespace kelvora {
namespace {

// Takes what fits in a budget of bytes, then fails as a full disk does.
std::size_t budget = 0;
ssize_t FillingWrite(int fd, const void* data, std::size_t size) {
    if (budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const std::size_t n = std::min(size, budget);
    budget -= n;
    return ::write(fd, data, n);
}

TEST(Flush, ABatchCutShortByAFullDiskLeavesWholeLinesOnly) {
    const SolverParams params{50, 5, 0.5, 0.1};
    ScratchDir whole, cut;
    testing_support::RunInto(whole.c_str(), params, testing_support::MakeGeometry(), 8);
    budget = 1500;  // inside the second generation's batch
    ResultWriter writer(FlushMode::generation, FillingWrite);
    const auto buffers = std::make_unique<RunBuffers>();
    const RunReport report = RunWithFiles({params, testing_support::MakeGeometry(), 8}, writer, cut.c_str(), {}, *buffers);
    const std::string full = ReadBytes(whole.file("results.csv"));
    const std::string kept = ReadBytes(cut.file("results.csv"));
    ASSERT_TRUE(report.results);
    EXPECT_EQ(report.results.error, ENOSPC);
    ASSERT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), 1500u);
    EXPECT_EQ(kept.substr(kept.size() - 2), "\r\n");
    EXPECT_EQ(full.substr(0, kept.size()), kept);
    EXPECT_EQ(writer.results.linesWritten, std::count(kept.begin(), kept.end(), '\n'));
    EXPECT_EQ(writer.results.bytesLogged, static_cast<long long>(kept.size()));
}

}  // namespace
}  // namespace kelvora
