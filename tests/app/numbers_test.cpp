// Numbers a person types: each field's flag range at both ends, the text shown again reads back
// exactly; sweep plans held to the command line's limits whoever made them.

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "session/numbers.h"
#include "session/sweep_plan.h"

namespace kelvora::session {
namespace {

struct Typed {
    const char* name;
    const NumberField* field;
    const char* text;
    bool accepted;
};

class NumberFieldText : public testing::TestWithParam<Typed> {};

TEST_P(NumberFieldText, IsTakenWithinItsFlagsRangeOnly) {
    const Typed& t = GetParam();
    EXPECT_EQ(ParseNumberField(*t.field, t.text).has_value(), t.accepted) << t.text;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NumberFieldText,
    testing::Values(Typed{"Population1", &kPopulationField, "1", true}, Typed{"Population0", &kPopulationField, "0", false},
                    Typed{"Population10000Spaced", &kPopulationField, " 10000 ", true},
                    Typed{"Population10001", &kPopulationField, "10001", false},
                    Typed{"PopulationFraction", &kPopulationField, "2.5", false},
                    Typed{"CrossoverLeast", &kCrossoverField, "0.001", true},
                    Typed{"CrossoverBelow", &kCrossoverField, "0.0009999", false},
                    Typed{"Crossover1e300", &kCrossoverField, "1e300", false},
                    Typed{"CrossoverTrailingText", &kCrossoverField, "0.5x", false},
                    Typed{"MutationZero", &kMutationField, "0", true}, Typed{"MutationNaN", &kMutationField, "nan", false},
                    Typed{"EpsilonZero", &kEpsilonField, "0", false}, Typed{"EpsilonTiny", &kEpsilonField, "1e-9", true},
                    Typed{"Epsilon1000", &kEpsilonField, "1000", true}, Typed{"Epsilon1001", &kEpsilonField, "1001", false},
                    Typed{"SeedTop", &kSeedField, "4294967295", true}, Typed{"SeedBeyond", &kSeedField, "4294967296", false},
                    Typed{"SeedNegative", &kSeedField, "-1", false}),
    [](const testing::TestParamInfo<Typed>& info) { return std::string(info.param.name); });

TEST(NumberText, ReadsBackAsTheSameDouble) {
    // Sixteen digits: more than the 15 of %.15g, which would give 0.123456789012346.
    for (const double v : {0.1234567890123456, 0.1, 1e-05, 1.0 / 3.0, 0.5000001, std::nextafter(1.0, 0.0)}) {
        const std::string text = NumberText(v);
        EXPECT_EQ(ParseNumberField(kMutationField, text), v) << text;
    }
    EXPECT_EQ(NumberText(0.1234567890123456), "0.1234567890123456");
    EXPECT_EQ(NumberText(0.5), "0.5");
}

SweepPlan Plan() {
    SweepPlan p;
    p.populations = {20};
    p.generations = {100};
    p.crossovers = {0.5};
    p.mutations = {0.1};
    p.targets = {{68, 180}};
    p.seeds = {1, 2, 3};
    p.epsilon = 0.5;
    return p;
}

struct PlanCase {
    const char* name;
    void (*change)(SweepPlan&);
    std::string says;
};

class SweepPlanLimit : public testing::TestWithParam<PlanCase> {};

TEST_P(SweepPlanLimit, IsTheCommandLines) {
    SweepPlan plan = Plan();
    GetParam().change(plan);
    EXPECT_EQ(SweepPlanFaultText(CheckSweepPlan(plan)), GetParam().says);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, SweepPlanLimit,
    testing::Values(
        PlanCase{"Good", [](SweepPlan&) {}, ""},
        PlanCase{"EpsilonZero", [](SweepPlan& p) { p.epsilon = 0; }, "--epsilon: '0' is not a number of pixels in (0, 1000]"},
        PlanCase{"EpsilonAtItsTop", [](SweepPlan& p) { p.epsilon = 1000; }, ""},
        PlanCase{"SeedTwiceInOrder", [](SweepPlan& p) { p.seeds = {1, 2, 2, 3}; }, "--seeds: seed 2 is listed twice"},
        PlanCase{"SeedTwiceOutOfOrder", [](SweepPlan& p) { p.seeds = {9, 4, 7, 4}; }, "--seeds: seed 4 is listed twice"},
        PlanCase{"SeedsOutOfOrderDistinct", [](SweepPlan& p) { p.seeds = {9, 4, 7}; }, ""},
        PlanCase{"NoSeeds", [](SweepPlan& p) { p.seeds.clear(); }, "--seeds: the list is empty"},
        PlanCase{"TargetTwice", [](SweepPlan& p) { p.targets = {{1, 2}, {1, 2}}; }, "--target: '1,2' is given twice"},
        PlanCase{"TargetOutside", [](SweepPlan& p) { p.targets = {{0, -200}}; },
                 "--target: '0,-200' is not X,Y with integers X and Y in -199..199"},
        PlanCase{"CrossoverZero", [](SweepPlan& p) { p.crossovers = {0.0}; }, "--crossover: '0' is not a number in 0.001..1"},
        PlanCase{"MutationTwice", [](SweepPlan& p) { p.mutations = {0.1, 0.2, 0.1}; }, "--mutation: '0.1' is listed twice"},
        PlanCase{"Population0", [](SweepPlan& p) { p.populations = {0}; }, "--population: '0' is not an integer in 1..10000"},
        PlanCase{"EliteOfTheSmallestPopulation", [](SweepPlan& p) {
                     p.populations = {30, 5};
                     p.algorithms[0].elitism = 5;
                 },
                 "elitism 5 is outside 0..4 (the population less one) for --population 5"}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvora::session
