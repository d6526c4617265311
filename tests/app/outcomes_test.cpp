// The outcome table of a configuration's runs and the grouping of runs by configuration, against
// values worked out by hand from the formulas (Wilson score interval with z = 1.96, ERT as every
// evaluation spent over the successes, quartiles at position (n - 1) p).

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "experiment/outcomes.h"
#include "session/labels.h"

namespace kelvora::experiment {
namespace {

struct Run {
    int firstWithin;     // 0: never within epsilon
    int firstAtOptimum;  // 0: never at the optimum
    double distance;
};

struct OutcomeCase {
    const char* name;
    int population, generations;
    std::vector<Run> runs;
    long long successes;
    double low, high;                       // Wilson 95%, 4 decimals
    double ert;                             // evaluations
    double distanceQ1, distanceMedian, distanceQ3;
    long long firstCount;
    double firstQ1, firstMedian, firstQ3;
    long long reached;
};

const double kInf = std::numeric_limits<double>::infinity();

// 7 of 10: (28 generations x 20 + 3 x 100 x 20) / 7. 2 of 4: (10 x 5 + 1 x 5 + 2 x 10 x 5) / 2.
const OutcomeCase kCases[] = {
    {"seven of ten", 20, 100,
     {{1, 0, 5}, {2, 3, 1}, {3, 0, 4}, {4, 0, 2}, {5, 7, 3}, {6, 0, 10}, {7, 0, 9}, {0, 0, 8}, {0, 0, 7}, {0, 0, 6}},
     7, 0.3968, 0.8922, 6560.0 / 7.0, 3.25, 5.5, 7.75, 7, 2.5, 4.0, 5.5, 2},
    {"none of three", 10, 50, {{0, 0, 2}, {0, 0, 8}, {0, 0, 2}}, 0, 0.0, 0.5615, kInf, 2.0, 2.0, 5.0, 0, 0, 0, 0, 0},
    {"one of one", 20, 100, {{4, 4, 0.25}}, 1, 0.2065, 1.0, 80.0, 0.25, 0.25, 0.25, 1, 4, 4, 4, 1},
    {"two of four, one at the last generation", 5, 10, {{10, 0, 4}, {0, 0, 1}, {1, 0, 3}, {0, 0, 2}}, 2, 0.1500, 0.8500,
     77.5, 1.75, 2.5, 3.25, 2, 3.25, 5.5, 7.75, 0},
};

std::vector<SweepResult> Results(const OutcomeCase& c) {
    std::vector<SweepResult> results;
    std::uint32_t seed = 1;
    for (const Run& run : c.runs) {
        SweepResult& r = results.emplace_back();
        r.combination.params = {c.population, c.generations, 0.5, 0.1};
        r.combination.seed = seed++;
        r.eliteDistance = run.distance;
        r.firstGenerationWithinEpsilon = run.firstWithin;
        r.firstGenerationAtOptimum = run.firstAtOptimum;
    }
    return results;
}

TEST(Outcomes, TableRowsOfOneConfiguration) {
    for (const OutcomeCase& c : kCases) {
        const std::vector<SweepResult> results = Results(c);
        const RunsByConfiguration grouped = GroupRuns(results);
        ASSERT_EQ(grouped.groups.size(), 1u) << c.name;
        std::vector<const SweepResult*> pooled;
        for (const SweepResult& r : results) pooled.push_back(&r);
        // The same runs as a group read from a file, as one configuration's results and pooled.
        const SweepSummaryRow rows[] = {Outcome(grouped.groups.front()), Outcome(results), PooledOutcome(pooled)};
        for (const SweepSummaryRow& row : rows) {
            SCOPED_TRACE(c.name);
            EXPECT_EQ(row.runs, static_cast<long long>(c.runs.size()));
            EXPECT_EQ(row.withinEpsilon.successes, c.successes);
            EXPECT_NEAR(row.withinEpsilon.low, c.low, 5e-5);
            EXPECT_NEAR(row.withinEpsilon.high, c.high, 5e-5);
            EXPECT_DOUBLE_EQ(row.eliteDistance.q1, c.distanceQ1);
            EXPECT_DOUBLE_EQ(row.eliteDistance.median, c.distanceMedian);
            EXPECT_DOUBLE_EQ(row.eliteDistance.q3, c.distanceQ3);
            EXPECT_EQ(row.firstWithinEpsilon.count, c.firstCount);
            EXPECT_DOUBLE_EQ(row.firstWithinEpsilon.q1, c.firstQ1);
            EXPECT_DOUBLE_EQ(row.firstWithinEpsilon.median, c.firstMedian);
            EXPECT_DOUBLE_EQ(row.firstWithinEpsilon.q3, c.firstQ3);
            EXPECT_EQ(row.reached.successes, c.reached);
        }
        EXPECT_DOUBLE_EQ(rows[0].ertEvaluations, c.ert) << c.name;
        EXPECT_DOUBLE_EQ(rows[1].ertEvaluations, c.ert) << c.name;
        EXPECT_TRUE(std::isnan(rows[2].ertEvaluations)) << c.name << ": pooled runs share no budget";
    }
}

TEST(Outcomes, RunsGroupByValuesInFirstAppearance) {
    // a and b differ in population; a's rows come back after b's, at another seed and target.
    SweepResult a, b;
    a.combination.params = {100, 100, 0.5, 0.1};
    b.combination.params = {50, 100, 0.5, 0.1};
    a.combination.target = b.combination.target = {68, 180};
    std::vector<SweepResult> rows = {a, b, a, b, a};
    rows[2].combination.seed = rows[4].combination.seed = 7;
    rows[4].combination.target = {0, 150};
    RunsByConfiguration runs;
    std::vector<std::size_t> of;
    for (const SweepResult& r : rows) of.push_back(runs.Add(r));
    EXPECT_EQ(of, (std::vector<std::size_t>{0, 1, 0, 1, 0}));
    ASSERT_EQ(runs.groups.size(), 2u);
    EXPECT_EQ(runs.groups[0].runs(), 3);
    EXPECT_EQ(runs.groups[0].seeds.size(), 2u);
    EXPECT_EQ(runs.groups[0].ownTargets, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(runs.groups[1].ownTargets, (std::vector<std::size_t>{0}));
    EXPECT_EQ(runs.targets.size(), 2u);

    // A label given names its group; an empty one leaves the short label of what sets it apart.
    const RunsByConfiguration labelled = GroupRuns(rows, {"", "small"});
    EXPECT_EQ(labelled.groups[0].label, session::DifferingLabels({a.combination, b.combination})[0]);
    EXPECT_FALSE(labelled.groups[0].label.empty());
    EXPECT_EQ(labelled.groups[1].label, "small");
}

TEST(Outcomes, ForeignRunsGroupByNameBetweenBuiltInOnes) {
    // A foreign group between two built-in ones: labels still go to the built-in groups in order.
    SweepResult a, b;
    a.combination.params = {100, 100, 0.5, 0.1};
    b.combination.params = {50, 100, 0.5, 0.1};
    ForeignRun mine{"my-es", {68, 180}, 1, 400, 0.25, 0.1, 120, 0};
    RunsByConfiguration runs;
    std::size_t group = 9;
    runs.Add(a);
    ASSERT_FALSE(runs.AddForeign(mine, &group));
    EXPECT_EQ(group, 1u);
    EXPECT_EQ(runs.Add(b), 2u);
    mine.seed = 2;
    mine.firstWithin = 0;
    ASSERT_FALSE(runs.AddForeign(mine, &group));
    EXPECT_EQ(group, 1u);
    EXPECT_EQ(runs.Add(a), 0u);
    runs.Label({"big", "small"});
    ASSERT_EQ(runs.groups.size(), 3u);
    EXPECT_EQ(runs.groups[0].label, "big");
    EXPECT_EQ(runs.groups[1].label, "my-es");
    EXPECT_EQ(runs.groups[2].label, "small");
    EXPECT_EQ(runs.configurations().size(), 2u);
    // Evaluations stand for generations: one success at 120 of 400, one failure: ERT (120 + 400) / 1.
    const SweepSummaryRow row = Outcome(runs.groups[1]);
    EXPECT_EQ(row.runs, 2);
    EXPECT_EQ(row.withinEpsilon.successes, 1);
    EXPECT_DOUBLE_EQ(row.ertEvaluations, 520.0);
    EXPECT_DOUBLE_EQ(row.firstWithinEpsilon.median, 120.0);
}

TEST(Outcomes, ForeignRunsAreRefusedWithTheirFault) {
    const ForeignRun good{"stub", {68, 180}, 1, 1000, 2.0, 0.5, 0, 0};
    const auto with = [&good](auto change) {
        ForeignRun r = good;
        change(r);
        return r;
    };
    const struct {
        ForeignRun run;
        ForeignRunFault fault;
    } cases[] = {
        {with([](ForeignRun& r) { r.method = ""; }), {ForeignRunFault::name, 0, 64}},
        {with([](ForeignRun& r) { r.method = std::string(65, 'a'); }), {ForeignRunFault::name, 65, 64}},
        {with([](ForeignRun& r) { r.method = "a/b"; }), {ForeignRunFault::name, 3, 64}},
        {with([](ForeignRun& r) { r.method = ".."; }), {ForeignRunFault::name, 2, 64}},
        {with([](ForeignRun& r) { r.method = "cmaes"; }), {ForeignRunFault::builtIn, 0, 0}},
        {with([](ForeignRun& r) { r.method = "all"; }), {ForeignRunFault::builtIn, 0, 0}},
        {with([](ForeignRun& r) { r.budget = 0; }), {ForeignRunFault::budget, 0, kMaxForeignBudget}},
        {with([](ForeignRun& r) { r.budget = kMaxForeignBudget + 1; }),
         {ForeignRunFault::budget, kMaxForeignBudget + 1, kMaxForeignBudget}},
        {with([](ForeignRun& r) { r.firstWithin = 1001; }), {ForeignRunFault::evaluations, 1001, 1000}},
        {with([](ForeignRun& r) { r.firstAtOptimum = -1; }), {ForeignRunFault::evaluations, -1, 1000}},
        {with([](ForeignRun& r) { r.eliteDistance = std::nan(""); }), {ForeignRunFault::distance, 0, 0}},
        {with([](ForeignRun& r) { r.optimumDistance = -0.5; }), {ForeignRunFault::distance, 0, 0}},
        {with([](ForeignRun& r) { r.budget = 999; }), {ForeignRunFault::budgetChanged, 999, 1000}},
    };
    for (const auto& c : cases) {
        RunsByConfiguration runs;
        ASSERT_FALSE(runs.AddForeign(good));
        EXPECT_EQ(runs.AddForeign(c.run), c.fault) << c.run.method << " " << c.run.budget;
        EXPECT_EQ(runs.groups.front().runs(), 1) << "a refused run adds nothing";
        EXPECT_EQ(runs.groups.size(), 1u);
        EXPECT_FALSE(ForeignRunFaultText(c.fault, c.run.method).empty());
    }
}

}  // namespace
}  // namespace kelvora::experiment
