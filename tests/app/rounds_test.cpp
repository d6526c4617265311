// The round order of an experiment's runs: every run of every plan exactly once, and the first k
// rounds' jobs exactly the runs of the first k seeds of each plan (what a stop keeps).

#include <set>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "experiment/rounds.h"

namespace kelvora::experiment {
namespace {

struct RoundCase {
    const char* name;
    std::vector<std::vector<SweepTarget>> targets;  // one list per plan
    std::vector<int> populations;                   // per plan: the list's size varies the plan's runs
    int seeds;
};

class RoundOrderTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundOrderTest, WholeRoundsOfEveryRun) {
    const RoundCase& c = GetParam();
    std::vector<SweepPlan> plans;
    for (std::size_t k = 0; k < c.targets.size(); ++k) {
        SweepPlan p;
        for (int i = 0; i < c.populations[k]; ++i) p.populations.push_back(10 + i);
        p.generations = {5};
        p.crossovers = {0.5};
        p.mutations = {0.1};
        p.targets = c.targets[k];
        for (int s = 0; s < c.seeds; ++s) p.seeds.push_back(100u + static_cast<unsigned>(s) * 7u);
        plans.push_back(p);
    }
    const RoundOrder order(plans);
    long long total = 0;
    for (const SweepPlan& p : plans) total += CombinationCount(p);
    ASSERT_EQ(order.jobs(), total);
    ASSERT_EQ(order.roundSize() * c.seeds, total);

    std::set<std::pair<int, long long>> seen;
    for (long long job = 0; job < order.jobs(); ++job) {
        const RoundOrder::Job j = order.At(job);
        ASSERT_TRUE(seen.insert({j.plan, j.index}).second) << "job " << job << " twice";
        const SweepCombination run = CombinationAt(plans[static_cast<std::size_t>(j.plan)], j.index);
        // Its round is its seed's place in the list; its target is the one the order names.
        EXPECT_EQ(run.seed, plans[0].seeds[static_cast<std::size_t>(job / order.roundSize())]) << "job " << job;
        const SweepTarget& t = order.targets().at(j.target);
        EXPECT_EQ(std::tie(run.target.x, run.target.y), std::tie(t.x, t.y)) << "job " << job;
    }
    // Each target once in targets(), in first appearance.
    std::set<std::pair<int, int>> distinct;
    for (const auto& list : c.targets)
        for (const SweepTarget& t : list) distinct.insert({t.x, t.y});
    EXPECT_EQ(order.targets().size(), distinct.size());
}

INSTANTIATE_TEST_SUITE_P(
    Plans, RoundOrderTest,
    ::testing::Values(RoundCase{"one", {{{68, 180}}}, {1}, 1},
                      RoundCase{"twoPlansTwoTargets", {{{68, 180}, {-5, 3}}, {{68, 180}, {-5, 3}}}, {1, 1}, 4},
                      RoundCase{"sharedAndOwnTargets", {{{1, 2}}, {{3, 4}, {1, 2}, {5, 6}}, {{5, 6}}}, {2, 1, 3}, 3}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kelvora::experiment
