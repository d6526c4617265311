// Numbers a person types: each field's flag range at both ends, the text shown again reads back
// exactly; sweep plans held to the command line's limits whoever made them.

#include <cmath>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "session/numbers.h"
#include "session/sweep_plan.h"

namespace kelvora::session {
namespace {

// One row of the number table: a field, a text as typed, and the number it is (none: refused).
struct Typed {
    const char* name;
    const NumberField* field;
    const char* text;
    std::optional<double> number;
};

void PrintTo(const Typed& t, std::ostream* os) { *os << t.field->flag << " '" << t.text << "'"; }

class NumberFieldText : public testing::TestWithParam<Typed> {};

TEST_P(NumberFieldText, IsTakenWithinItsFlagsRangeOnly) {
    const Typed& t = GetParam();
    EXPECT_EQ(ParseNumberField(*t.field, t.text), t.number);
}

constexpr std::nullopt_t no = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Fields, NumberFieldText,
    testing::Values(
        // Integers: decimal digits with one optional sign, nothing else.
        Typed{"Population1", &kPopulationField, "1", 1}, Typed{"Population10000", &kPopulationField, "10000", 10000},
        Typed{"Population0", &kPopulationField, "0", no}, Typed{"Population10001", &kPopulationField, "10001", no},
        Typed{"PopulationNegative", &kPopulationField, "-5", no}, Typed{"PopulationPlus", &kPopulationField, "+20", 20},
        Typed{"PopulationLeadingZeros", &kPopulationField, "0020", 20},
        Typed{"PopulationTwoSigns", &kPopulationField, "+-5", no}, Typed{"PopulationSignAlone", &kPopulationField, "+", no},
        Typed{"PopulationPlusPlus", &kPopulationField, "++5", no},
        Typed{"PopulationFraction", &kPopulationField, "2.5", no}, Typed{"PopulationPoint0", &kPopulationField, "20.0", no},
        Typed{"PopulationExponent", &kPopulationField, "1e3", no}, Typed{"PopulationHex", &kPopulationField, "0x14", no},
        Typed{"PopulationEmpty", &kPopulationField, "", no}, Typed{"PopulationBlankBefore", &kPopulationField, " 20", no},
        Typed{"PopulationBlankAfter", &kPopulationField, "20 ", no}, Typed{"PopulationTrailing", &kPopulationField, "12abc", no},
        Typed{"PopulationFullWidth", &kPopulationField, "２０", no}, Typed{"PopulationGrouped", &kPopulationField, "10,000", no},
        Typed{"PopulationBeyondLongLong", &kPopulationField, "99999999999999999999", no},
        Typed{"Generations10000", &kGenerationsField, "10000", 10000}, Typed{"Generations1", &kGenerationsField, "1", 1},
        Typed{"Generations0", &kGenerationsField, "0", no}, Typed{"Generations10001", &kGenerationsField, "10001", no},
        Typed{"GenerationsNaN", &kGenerationsField, "nan", no},
        // Doubles: fixed or exponent form, finite, '.' whatever the locale.
        Typed{"CrossoverLeast", &kCrossoverField, "0.001", 0.001}, Typed{"Crossover1", &kCrossoverField, "1", 1.0},
        Typed{"CrossoverBelow", &kCrossoverField, "0.0009999", no}, Typed{"Crossover0", &kCrossoverField, "0", no},
        Typed{"CrossoverJustAbove1", &kCrossoverField, "1.0000000000000002", no},
        Typed{"Crossover1e300", &kCrossoverField, "1e300", no}, Typed{"Crossover1e999", &kCrossoverField, "1e999", no},
        Typed{"CrossoverTrailingText", &kCrossoverField, "0.5x", no},
        Typed{"CrossoverNoLeadingDigit", &kCrossoverField, ".75", 0.75},
        Typed{"CrossoverCapitalExponent", &kCrossoverField, "5E-1", 0.5},
        Typed{"CrossoverPlus", &kCrossoverField, "+0.25", 0.25}, Typed{"CrossoverComma", &kCrossoverField, "0,5", no},
        Typed{"CrossoverBareExponent", &kCrossoverField, "1e", no}, Typed{"CrossoverHexFloat", &kCrossoverField, "0x1p-1", no},
        Typed{"CrossoverPointAlone", &kCrossoverField, ".", no}, Typed{"CrossoverTwoPoints", &kCrossoverField, "0.5.1", no},
        Typed{"MutationZero", &kMutationField, "0", 0.0}, Typed{"Mutation1", &kMutationField, "1", 1.0},
        Typed{"MutationNoTrailingDigit", &kMutationField, "1.", 1.0},
        Typed{"MutationExponent", &kMutationField, "1e-2", 0.01}, Typed{"MutationNegative", &kMutationField, "-0.1", no},
        Typed{"Mutation1point5", &kMutationField, "1.5", no}, Typed{"MutationNaN", &kMutationField, "nan", no},
        Typed{"MutationInf", &kMutationField, "inf", no}, Typed{"MutationInfinity", &kMutationField, "-infinity", no},
        Typed{"SeedZero", &kSeedField, "0", 0}, Typed{"SeedTop", &kSeedField, "4294967295", 4294967295.0},
        Typed{"SeedBeyond", &kSeedField, "4294967296", no}, Typed{"SeedNegative", &kSeedField, "-1", no},
        Typed{"TargetLeast", &kTargetOffsetField, "-199", -199}, Typed{"TargetMost", &kTargetOffsetField, "199", 199},
        Typed{"TargetBelow", &kTargetOffsetField, "-200", no}, Typed{"TargetAbove", &kTargetOffsetField, "200", no},
        // Epsilon's range is open at 0.
        Typed{"EpsilonZero", &kEpsilonField, "0", no}, Typed{"EpsilonTiny", &kEpsilonField, "1e-9", 1e-9},
        Typed{"Epsilon1000", &kEpsilonField, "1000", 1000.0}, Typed{"EpsilonAbove1000", &kEpsilonField, "1000.0000001", no},
        Typed{"EpsilonNegative", &kEpsilonField, "-0.5", no}),
    [](const testing::TestParamInfo<Typed>& info) { return std::string(info.param.name); });

struct TargetText {
    const char* text;
    std::optional<PixelPoint> target;
};

class TargetPair : public testing::TestWithParam<TargetText> {};

TEST_P(TargetPair, IsTwoCoordinatesInRange) { EXPECT_EQ(ParseTarget(GetParam().text), GetParam().target) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(Targets, TargetPair,
                         testing::Values(TargetText{"68,180", PixelPoint{68, 180}}, TargetText{"-199,199", PixelPoint{-199, 199}},
                                         TargetText{"+5,-3", PixelPoint{5, -3}}, TargetText{"200,0", std::nullopt},
                                         TargetText{"0,-200", std::nullopt}, TargetText{"5", std::nullopt},
                                         TargetText{"1,2,3", std::nullopt}, TargetText{"1.5,2", std::nullopt},
                                         TargetText{"1, 2", std::nullopt}, TargetText{",", std::nullopt}));

TEST(NumberField, RefusalsNameTheKindAndTheRange) {
    EXPECT_EQ(ExpectedText(kPopulationField), "an integer in 1..10000");
    EXPECT_EQ(ExpectedText(kGenerationsField), "an integer in 1..10000");
    EXPECT_EQ(ExpectedText(kCrossoverField), "a number in 0.001..1");
    EXPECT_EQ(ExpectedText(kMutationField), "a number in 0..1");
    EXPECT_EQ(ExpectedText(kSeedField), "an integer in 0..4294967295");
    EXPECT_EQ(ExpectedText(kEpsilonField), "a number of pixels in (0, 1000]");
    EXPECT_EQ(ExpectedTargetText(), "X,Y with integers X and Y in -199..199");
}

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

// A negative zero is zero: the same text, so the same sweep fingerprint, as "0".
TEST(NumberFieldText, NegativeZeroIsReadAsZero) {
    for (const char* text : {"-0", "-0.0", "-0e7", "-.0"}) {
        const std::optional<double> v = ParseNumberField(kMutationField, text);
        ASSERT_TRUE(v) << text;
        EXPECT_FALSE(std::signbit(*v)) << text;
        EXPECT_EQ(NumberText(*v), NumberText(0.0)) << text;
    }
}

}  // namespace
}  // namespace kelvora::session
