// The run-length distribution and the expected running time, against a direct count over the runs.

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "batch/runlength.h"

namespace kelvora {
namespace {

struct RunLengthCase {
    const char* name;
    std::vector<int> first;  // each run's first generation at the target, 0: never
    int generations;
    int population;
    double ert;              // evaluations, by hand
};

void PrintTo(const RunLengthCase& c, std::ostream* os) { *os << c.name; }

class RunLength : public testing::TestWithParam<RunLengthCase> {};

TEST_P(RunLength, MatchesADirectCountAndTheErtByHand) {
    const RunLengthCase& c = GetParam();
    for (const bool evaluations : {false, true}) {
        const std::vector<RunLengthPoint> points =
            RunLengthDistribution(c.first, c.generations, c.population, evaluations);
        ASSERT_EQ(points.size(), static_cast<std::size_t>(c.generations));
        for (int g = 1; g <= c.generations; ++g) {
            long long within = 0;
            for (int f : c.first) within += f >= 1 && f <= g;
            const RunLengthPoint& p = points[static_cast<std::size_t>(g - 1)];
            EXPECT_EQ(p.x, evaluations ? static_cast<long long>(g) * c.population : g);
            EXPECT_EQ(p.within.successes, within) << "generation " << g;
            EXPECT_EQ(p.within.trials, static_cast<long long>(c.first.size()));
            EXPECT_LE(p.within.low, p.within.rate);
            EXPECT_GE(p.within.high, p.within.rate);
        }
    }
    const double ert = ExpectedRunningTime(c.first, c.generations, c.population);
    if (std::isinf(c.ert))
        EXPECT_TRUE(std::isinf(ert) && ert > 0);
    else
        EXPECT_DOUBLE_EQ(ert, c.ert);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunLength,
    testing::Values(RunLengthCase{"AllSucceed", {1, 3, 3, 5}, 5, 10, (1 + 3 + 3 + 5) * 10 / 4.0},
                    RunLengthCase{"NoneSucceed", {0, 0, 0}, 4, 20, std::numeric_limits<double>::infinity()},
                    RunLengthCase{"TiesAtTheBudget", {4, 4, 0, 0}, 4, 7, (4 + 4 + 4 + 4) * 7 / 2.0},
                    RunLengthCase{"OneRunOneGeneration", {1}, 1, 1, 1.0},
                    RunLengthCase{"MixedWithFailures", {2, 0, 6, 0, 1}, 6, 100, (2 + 6 + 6 + 6 + 1) * 100 / 3.0}),
    [](const testing::TestParamInfo<RunLengthCase>& info) { return std::string(info.param.name); });

TEST(RunLength, NoRunsHaveNoExpectedRunningTime) { EXPECT_TRUE(std::isnan(ExpectedRunningTime({}, 3, 5))); }

}  // namespace
}  // namespace kelvora
