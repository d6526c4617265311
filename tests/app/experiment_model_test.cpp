// The experiment model: the fields read into a plan's seeds, targets and epsilon, runs handed over
// round by round kept in a sweep's combination order, and which configuration a table row holds.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "experiment/experiment_model.h"

namespace kelvora::experiment {
namespace {

using Field = FieldFault::Field;
using List = ListFault::Kind;

// The fields are read by the list parser kelvora-cli sweep and the experiment file use: the same
// items accepted ("+5,3", blanks around a seed) and the same limits (10^8 seeds in all, none twice).
TEST(ExperimentModel, FieldsReadAsTheCommandLineTakesThem) {
    const struct {
        const char *seeds, *targets, *epsilon;
        Field field;
        List list;
        const char* value;                 // the item named, for a fault
        std::vector<std::uint32_t> first;  // the first seeds (all of them when fewer than 4)
        std::size_t seedCount, targetCount;
        double epsilonValue;
    } rows[] = {
        {"1..3, 7", "68,180", "0.5", Field::none, List::none, "", {1, 2, 3, 7}, 4, 1, 0.5},
        {" 5\u3000", "10,20  -5,7", " 2 ", Field::none, List::none, "", {5}, 1, 2, 2.0},
        {"0..999999", "+5,3", "1000", Field::none, List::none, "", {0, 1, 2, 3}, 1000000, 1, 1000.0},
        {"1", "random:3", "0.5", Field::none, List::none, "", {1}, 1, 3, 0.5},
        {"0..100000000", "68,180", "0.5", Field::seeds, List::tooManySeeds, "100000001", {}, 0, 0, 0},
        {"1..3,2", "68,180", "0.5", Field::seeds, List::seedTwice, "2", {}, 0, 0, 0},
        {"3..1", "68,180", "0.5", Field::seeds, List::reversed, "3..1", {}, 0, 0, 0},
        {"1,,2", "68,180", "0.5", Field::seeds, List::emptyItem, "1,,2", {}, 0, 0, 0},
        {"4294967296", "68,180", "0.5", Field::seeds, List::notSeed, "4294967296", {}, 0, 0, 0},
        {"1", "random:0", "0.5", Field::targets, List::notRandom, "random:0", {}, 0, 0, 0},
        {"1", "random:2 random:3", "0.5", Field::targets, List::randomTwice, "random:3", {}, 0, 0, 0},
        {"1", "68,180 200,0", "0.5", Field::targets, List::notTarget, "200,0", {}, 0, 0, 0},
        {"1", "68;180", "0.5", Field::targets, List::notTarget, "68;180", {}, 0, 0, 0},
        {"1", "68,180 68,180", "0.5", Field::targets, List::targetTwice, "68,180", {}, 0, 0, 0},
        {"1", "   ", "0.5", Field::noTarget, List::none, "", {}, 0, 0, 0},
        {"1", "68,180", "0", Field::epsilon, List::none, "0", {}, 0, 0, 0},
        {"1", "68,180", "1000.5", Field::epsilon, List::none, "1000.5", {}, 0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.seeds) + " | " + r.targets + " | " + r.epsilon);
        SweepPlan plan;
        const FieldFault fault = ParseFields(r.seeds, r.targets, r.epsilon, plan);
        EXPECT_EQ(fault.field, r.field);
        EXPECT_EQ(fault.list.kind, r.list);
        if (fault) {
            EXPECT_EQ(fault.field == Field::epsilon ? fault.item : fault.list.value, r.value);
            continue;
        }
        ASSERT_EQ(plan.seeds.size(), r.seedCount);
        EXPECT_TRUE(std::equal(r.first.begin(), r.first.end(), plan.seeds.begin()));
        EXPECT_EQ(plan.targets.size(), r.targetCount);
        EXPECT_EQ(plan.epsilon, r.epsilonValue);
    }
}

// 実行's checks in their order: the fields, then each configuration's plan (an elitism its population
// cannot hold, a population out of range), then the count; a sweep's runs are every plan's
// configurations x targets x seeds.
TEST(ExperimentModel, RunIsPlannedOrRefusedWithTheFirstFault) {
    using Kind = RunFault::Kind;
    const struct {
        std::vector<int> populations;  // one configuration each
        int elitism;
        const char* seeds;
        std::size_t limit;
        Kind kind;
        std::size_t count;  // tooMany: configurations; none: runs
    } rows[] = {
        {{20, 50}, 0, "1..3", 2, Kind::none, 2 * 2 * 3},
        {{20, 50, 60}, 0, "1..3", 2, Kind::tooMany, 3},
        {{20, 50, 60}, 0, "1,1", 2, Kind::fields, 0},    // the fields before the count
        {{20, 3}, 5, "1", 8, Kind::plan, 0},             // elitism 5 in a population of 3
        {{20, 10001}, 0, "1", 1, Kind::plan, 0},         // the plans before the count
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.populations) + " " + r.seeds);
        std::vector<TableConfiguration> configurations;
        for (const int population : r.populations) {
            TableConfiguration c;
            c.params.populationSize = population;
            c.algorithm.elitism = r.elitism;
            configurations.push_back(c);
        }
        std::vector<SweepPlan> plans;
        const RunFault fault = PlanRun(configurations, r.seeds, "68,180 -20,150", "0.5", r.limit, plans);
        ASSERT_EQ(fault.kind, r.kind);
        if (fault) {
            EXPECT_TRUE(plans.empty());
            if (r.kind == Kind::tooMany) {
                EXPECT_EQ(fault.count, r.count);
                EXPECT_EQ(fault.limit, r.limit);
            }
            continue;
        }
        ExperimentModel model;
        model.Begin(plans, std::vector<std::string>(plans.size()), "");
        EXPECT_EQ(model.RunCount(), static_cast<long long>(r.count));
        EXPECT_EQ(plans[1].populations, std::vector<int>{r.populations[1]});
    }
}

// Plans of two seeds; each run's elite distance is its combination index, so that the order kept
// reads back as 0, 1, 2, ...
SweepPlan TwoSeeds(std::size_t targets) {
    SweepPlan plan;
    plan.populations = {20};  // the default configuration's values
    plan.generations = {100};
    plan.crossovers = {0.5};
    plan.mutations = {0.1};
    plan.seeds = {1, 2};
    for (std::size_t t = 0; t < targets; ++t) plan.targets.push_back({static_cast<int>(t), 100});
    return plan;
}

PlacedRun Placed(int plan, long long index) {
    PlacedRun run{plan, index, {}};
    run.result.eliteDistance = static_cast<double>(index);
    return run;
}

TEST(ExperimentModel, RoundsKeepEachSweepsCombinationOrder) {
    ExperimentModel model;
    model.Begin({TwoSeeds(1), TwoSeeds(3)}, {"one target", "three targets"}, "");
    // Round 1 is seed 1 at every target (indexes 0, 2, 4 of the second plan), round 2 seed 2.
    std::vector<PlacedRun> first = {Placed(0, 0), Placed(1, 0), Placed(1, 2), Placed(1, 4)};
    model.Take(first, 1);
    std::vector<PlacedRun> second = {Placed(0, 1), Placed(1, 1), Placed(1, 3), Placed(1, 5)};
    model.Take(second, 2);
    const std::vector<double> oneTarget = {0, 1}, threeTargets = {0, 1, 2, 3, 4, 5};
    for (std::size_t p = 0; p < 2; ++p) {
        std::vector<double> order;
        for (const SweepResult& r : model.results()[p]) order.push_back(r.eliteDistance);
        EXPECT_EQ(order, p == 0 ? oneTarget : threeTargets) << model.labels()[p];
    }
    EXPECT_TRUE(model.unsaved());
}

TEST(ExperimentModel, RowsHoldTheConfigurationsTheyRan) {
    SweepPlan a = TwoSeeds(1), b = TwoSeeds(1), c = TwoSeeds(1);
    b.populations = {50};
    c.populations = {60};
    ExperimentModel model;
    model.Begin({a, b, c}, {"a", "b", "c"}, "population");
    const auto combination = [](int population) {
        SweepCombination run;
        run.params.populationSize = population;
        return run;
    };
    using Rows = std::vector<std::optional<std::vector<SweepCombination>>>;
    // Row 0 holds a alone; row 1 lists b and c; row 2 holds c alone but follows a row that does not read.
    const Rows asRun = {std::vector{combination(20)}, std::vector{combination(50), combination(60)}};
    EXPECT_EQ(model.ConfigurationOfRow(asRun, 0), 0);
    EXPECT_EQ(model.ConfigurationOfRow(asRun, 1), -1);
    EXPECT_EQ(model.RowOfConfiguration(asRun, 0), 0);
    EXPECT_EQ(model.RowOfConfiguration(asRun, 2), -1);
    const Rows split = {std::vector{combination(20)}, std::vector{combination(50)}, std::vector{combination(60)}};
    EXPECT_EQ(model.RowOfConfiguration(split, 2), 2);
    const Rows broken = {std::vector{combination(20)}, std::nullopt, std::vector{combination(60)}};
    EXPECT_EQ(model.ConfigurationOfRow(broken, 2), -1);
    const Rows edited = {std::vector{combination(30)}};
    EXPECT_EQ(model.ConfigurationOfRow(edited, 0), -1);

    // A row deleted whose configuration no other row holds takes its runs and label with it.
    EXPECT_FALSE(model.Drop({combination(50)}, {combination(20), combination(50)}));
    EXPECT_TRUE(model.Drop({combination(50)}, {combination(20), combination(60)}));
    EXPECT_EQ(model.labels(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(model.plans().size(), 2u);
}

TEST(ExperimentModel, AnOpenedFileKeepsItsBytesAndEpsilon) {
    const struct {
        std::optional<double> recorded;
        double shown;
    } rows[] = {{std::nullopt, 0.5}, {2.0, 2.0}, {0.25, 0.25}};
    for (const auto& r : rows) {
        ExperimentModel model;
        OpenedSweep opened;
        opened.bytes = "the file's own bytes\n";
        opened.epsilon = r.recorded;
        opened.results.resize(1);
        opened.labels = {"classic"};
        model.Open(opened);
        EXPECT_TRUE(model.opened());
        EXPECT_EQ(model.RunsCsv(), "the file's own bytes\n");
        EXPECT_EQ(model.epsilon(), r.shown);
        // Run again: the sweep's own epsilon, and the runs are the sweep's.
        SweepPlan plan = TwoSeeds(1);
        plan.epsilon = 3.0;
        model.Begin({plan}, {"classic"}, "");
        EXPECT_EQ(model.epsilon(), 3.0);
        EXPECT_FALSE(model.opened());
    }
}

}  // namespace
}  // namespace kelvora::experiment
