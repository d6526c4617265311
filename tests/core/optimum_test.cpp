// The optimum of the search space against an exhaustive search with the solver's own fitness
// function, over random targets and the places where a shortcut goes wrong: the base, J2 exactly on
// the target, the reach circle, the corners and edges of the plot, the unreachable pockets and far
// outside. Then the reach map against the optimum on a sample of its pixels.

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/reachmap.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace kelvora {
namespace {

struct Offset {
    int x, y;  // relative to the base, y up
};

// Rows are named by their target in test listings.
void PrintTo(const Offset& o, std::ostream* os) { *os << "(" << o.x << "," << o.y << ")"; }

// Every pose through the solver's Fitness; the first of equal fitness wins, as the runs compare.
Optimum ExhaustiveOptimum(int targetX, int targetY) {
    const auto state = testing_support::MakeGeometry(targetX, targetY);
    Optimum best;
    best.fitness = -1.0;
    Chromosome c;
    for (int a1 = 0; a1 < 256; ++a1) {
        c.gene[0] = static_cast<std::uint8_t>(a1);
        for (int a2 = 0; a2 < 256; ++a2) {
            c.gene[1] = static_cast<std::uint8_t>(a2);
            for (int a3 = 0; a3 < 256; ++a3) {
                c.gene[2] = static_cast<std::uint8_t>(a3);
                const double f = Fitness(state, c);
                if (f > best.fitness) {
                    best.fitness = f;
                    best.pose = PoseOf(c);
                }
            }
        }
    }
    best.distance = TipDistance(state, best.pose);
    return best;
}

std::vector<Offset> Targets() {
    std::vector<Offset> rows = {
        {0, 0},                                   // the base
        {160, 0},     {-160, 0},   {0, 160},      // J2 exactly on the target for some pairs
        {40, 0},      {0, -40},                   // the innermost reach
        {200, 0},     {0, 199},    {-141, 141},   {141, -141}, {-199, 20},  // the reach circle
        {199, 199},   {-199, 199}, {199, -199},   {-199, -199},             // corners
        {0, -199},    {150, -100}, {120, -160},   {180, -60},  {60, -180},  // unreachable pockets
        {199, 0},     {-199, 0},   {0, 199},      {100, 199},  {-199, -77}, // edges
        {68, 180},    {1, 0},      {0, 1},        {-1, -1},                 // the opening target, near the base
        {500, -300},  {-1000, 1000},                                        // far outside the plot
    };
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> offset(-199, 199);
    for (int i = 0; i < 200; ++i) rows.push_back({offset(rng), offset(rng)});
    return rows;
}

class OptimumTest : public ::testing::TestWithParam<Offset> {};

TEST_P(OptimumTest, EqualsTheExhaustiveSearch) {
    const Offset o = GetParam();
    const int x = kBaseX + o.x, y = kBaseY - o.y;
    const Optimum expected = ExhaustiveOptimum(x, y);
    const Optimum got = FindOptimum(kBaseX, kBaseY, x, y);
    EXPECT_EQ(got.pose, expected.pose);
    EXPECT_EQ(got.fitness, expected.fitness);  // bit for bit
    EXPECT_EQ(got.distance, expected.distance);
}

INSTANTIATE_TEST_SUITE_P(Targets, OptimumTest, ::testing::ValuesIn(Targets()));

TEST(OptimumTest, OtherBasesGiveTheSameRelativeAnswerAsTheExhaustiveSearch) {
    // A base off the plot's centre moves the rounding of every tip; the search must follow it.
    for (const Offset base : {Offset{0, 0}, Offset{-37, 911}}) {
        const int x = base.x + 57, y = base.y - 133;
        Geometry state = testing_support::MakeGeometry(x, y);
        state.baseX = base.x;
        state.baseY = base.y;
        Optimum best;
        best.fitness = -1.0;
        for (int i = 0; i < (1 << 24); ++i) {
            const Chromosome c{{static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8),
                                static_cast<std::uint8_t>(i)}};
            const double f = Fitness(state, c);
            if (f > best.fitness) {
                best.fitness = f;
                best.pose = PoseOf(c);
            }
        }
        const Optimum got = FindOptimum(base.x, base.y, x, y);
        EXPECT_EQ(got.pose, best.pose);
        EXPECT_EQ(got.fitness, best.fitness);
    }
}

struct FamilyRow {
    Offset target;
    double epsilon;
    std::size_t limit;
    bool reachable;  // some pose lies within epsilon (the optimum's distance says)
};

void PrintTo(const FamilyRow& r, std::ostream* os) {
    *os << "(" << r.target.x << "," << r.target.y << ") eps " << r.epsilon << " limit " << r.limit;
}

class FamilyTest : public ::testing::TestWithParam<FamilyRow> {};

TEST_P(FamilyTest, EqualsTheExhaustiveListInPoseOrder) {
    const FamilyRow r = GetParam();
    const Geometry state = GeometryFor(r.target.x, r.target.y);
    std::vector<ArmPose> expected;
    for (int i = 0; i < (1 << 24) && expected.size() < r.limit; ++i)
        if (TipDistance(state, i >> 16, (i >> 8) & 0xff, i & 0xff) <= r.epsilon) expected.push_back({i >> 16, (i >> 8) & 0xff, i & 0xff});
    const Optimum optimum = FindOptimum(state.baseX, state.baseY, state.targetX, state.targetY);
    ASSERT_EQ(optimum.distance <= r.epsilon, r.reachable);
    ASSERT_EQ(expected.empty(), !r.reachable);
    const std::vector<ArmPose> got = PosesWithin(state.baseX, state.baseY, state.targetX, state.targetY, r.epsilon, r.limit);
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Targets, FamilyTest,
                         ::testing::Values(FamilyRow{{68, 180}, 0.5, 100000, true},   // the opening target
                                           FamilyRow{{68, 180}, 1.0, 100000, true},   // a wider epsilon: more of the family
                                           FamilyRow{{-141, 141}, 0.5, 100000, true}, // near the reach circle
                                           FamilyRow{{150, -100}, 0.5, 100000, false}, // an unreachable pocket
                                           FamilyRow{{68, 180}, 3.0, 7, true}));        // the first few only

const ReachMap& Map() {
    static const std::unique_ptr<ReachMap> map = ComputeReachMap(kBaseX, kBaseY);
    return *map;
}

std::vector<Offset> MapSample() {
    std::vector<Offset> rows = {{-199, 199}, {199, 199}, {-199, -199}, {199, -199}, {0, 0},
                                {150, -100}, {0, -199}, {160, 0}, {199, 0}, {68, 180}};
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> offset(-kMaxTargetOffset, kMaxTargetOffset);
    for (int i = 0; i < 400; ++i) rows.push_back({offset(rng), offset(rng)});
    return rows;
}

// One test over the whole sample: the map is computed once per process, and each discovered test
// is a process of its own.
TEST(ReachMapTest, HoldsTheOptimumDistanceOnASampleOfPixels) {
    for (const Offset o : MapSample()) {
        ASSERT_EQ(Map().At(o.x, o.y), FindOptimum(kBaseX, kBaseY, kBaseX + o.x, kBaseY - o.y).distance)
            << o.x << "," << o.y;
    }
}

TEST(ReachMapTest, WholeRowsThroughTheUnreachablePocketAndTheCircle) {
    // Every pixel of two rows and a column: the pocket's edges, where the two passes meet.
    for (int x = -kMaxTargetOffset; x <= kMaxTargetOffset; ++x) {
        for (const int y : {-100, -181}) {
            const double expected = FindOptimum(kBaseX, kBaseY, kBaseX + x, kBaseY - y).distance;
            ASSERT_EQ(Map().At(x, y), expected) << x << "," << y;
        }
        const double expected = FindOptimum(kBaseX, kBaseY, kBaseX + 130, kBaseY - x).distance;
        ASSERT_EQ(Map().At(130, x), expected) << 130 << "," << x;
    }
}

// Every pixel, on a base whose tips round differently from the plot's (the first pass's cells and
// the exact searches' bounds both move with it): the whole map bit for bit.
TEST(ReachMapTest, EveryPixelOnAnotherBaseHoldsItsOptimum) {
    const int baseX = -37, baseY = 911;
    const std::unique_ptr<ReachMap> map = ComputeReachMap(baseX, baseY);
    for (int y = -kMaxTargetOffset; y <= kMaxTargetOffset; ++y)
        for (int x = -kMaxTargetOffset; x <= kMaxTargetOffset; ++x)
            ASSERT_EQ(map->At(x, y), FindOptimum(baseX, baseY, baseX + x, baseY - y).distance) << x << "," << y;
}

}  // namespace
}  // namespace kelvora
