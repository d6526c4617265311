// The exact landscape against this file's own brute force: neighbour lists by hand, local optima
// counted from TipDistance pose by pose, steepest-ascent successors of sampled poses, the optimum's
// basin bounded from below by hand, the invariants of attractors and basins, and the fitness-distance
// correlation computed directly.

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/landscape.h"
#include "ga/algorithm.h"

namespace kelvora {
namespace {

using Kind = Neighbourhood::Kind;

TEST(Neighbourhood, SpellingsReadBackAndBadOnesAreRefused) {
    for (const char* good : {"binary", "gray", "creep:1", "creep:4", "creep:128"})
        EXPECT_EQ(NeighbourhoodName(*ParseNeighbourhood(good)), good);
    for (const char* bad : {"", "Binary", "grey", "creep", "creep:", "creep:0", "creep:129", "creep:-4", "creep:+4",
                            "creep:4 ", " gray", "creep:1000", "creep:04", "bit-flip"})
        EXPECT_FALSE(ParseNeighbourhood(bad)) << bad;
}

TEST(Neighbourhood, AnglesComeInTheStatedOrder) {
    const struct {
        Neighbourhood n;
        int angle;
        std::vector<int> want;
    } rows[] = {
        {{Kind::binary, 0}, 5, {4, 7, 1, 13, 21, 37, 69, 133}},
        {{Kind::binary, 0}, 255, {254, 253, 251, 247, 239, 223, 191, 127}},
        // Gray code 0 with one bit set decodes to 1, 3, 7, ..., 255.
        {{Kind::gray, 0}, 0, {1, 3, 7, 15, 31, 63, 127, 255}},
        // 2 is Gray 3: flipping bit 0 gives Gray 2 = angle 3, bit 1 gives Gray 1 = angle 1, bit k >= 2
        // gives Gray 3 + 2^k, whose decoding is 2^(k+1) - 3.
        {{Kind::gray, 0}, 2, {3, 1, 5, 13, 29, 61, 125, 253}},
        {{Kind::creep, 2}, 0, {1, 2}},
        {{Kind::creep, 2}, 100, {98, 99, 101, 102}},
        {{Kind::creep, 3}, 254, {251, 252, 253, 255}},
    };
    for (const auto& row : rows) EXPECT_EQ(NeighbourAngles(row.n, row.angle), row.want) << row.angle;
    // creep:128 from 127 covers the whole gene but itself.
    EXPECT_EQ(NeighbourAngles({Kind::creep, 128}, 127).size(), 255u);
    // Gray neighbours agree with the run's own encoding: one encoded bit apart.
    for (int a = 0; a < 256; ++a)
        for (const int b : NeighbourAngles({Kind::gray, 0}, a)) EXPECT_EQ(std::popcount(unsigned(GrayEncode(a) ^ GrayEncode(b))), 1);
}

struct Offset {
    int x, y;  // relative to the base, y up
};
void PrintTo(const Offset& o, std::ostream* os) { *os << "(" << o.x << "," << o.y << ")"; }

// The opening target, the base, an unreachable pocket, the reach circle's edge on an axis, a corner.
constexpr Offset kTargets[] = {{68, 180}, {0, 0}, {150, -100}, {199, 0}, {-199, 199}};

const Neighbourhood kNeighbourhoods[] = {{Kind::binary, 0}, {Kind::gray, 0}, {Kind::creep, 1}, {Kind::creep, 4},
                                         {Kind::creep, 128}};

// Each target's table, made once.
const DistanceTable& TableFor(const Offset& o) {
    static std::map<std::pair<int, int>, std::unique_ptr<DistanceTable>> tables;
    auto& table = tables[{o.x, o.y}];
    if (!table) {
        table = std::make_unique<DistanceTable>();
        FillDistanceTable(GeometryFor(o.x, o.y), *table, 2);
    }
    return *table;
}

// The neighbours of pose i by the definitions, gene 0 first.
std::vector<std::uint32_t> Neighbours(const Neighbourhood& n, std::uint32_t i) {
    const ArmPose p = PoseAt(i);
    const int genes[3] = {p.a1, p.a2, p.a3};
    std::vector<std::uint32_t> out;
    for (int g = 0; g < 3; ++g) {
        const int a = genes[g];
        std::vector<int> angles;
        if (n.kind == Kind::binary)
            for (int bit = 0; bit < 8; ++bit) angles.push_back(a ^ (1 << bit));
        else if (n.kind == Kind::gray)
            for (int bit = 0; bit < 8; ++bit) angles.push_back(GrayDecode(GrayEncode(a) ^ (1 << bit)));
        else
            for (int b = std::max(0, a - n.step); b <= std::min(255, a + n.step); ++b)
                if (b != a) angles.push_back(b);
        for (const int b : angles) {
            int h[3] = {genes[0], genes[1], genes[2]};
            h[g] = b;
            out.push_back(PoseIndex(h[0], h[1], h[2]));
        }
    }
    return out;
}

// The steepest-ascent successor of pose i, from TipDistance itself.
std::uint32_t BruteSuccessor(const Geometry& geometry, const Neighbourhood& n, std::uint32_t i) {
    const auto d = [&](std::uint32_t j) {
        const ArmPose p = PoseAt(j);
        return TipDistance(geometry, p.a1, p.a2, p.a3);
    };
    std::uint32_t best = i;
    double bestDistance = INFINITY;
    for (const std::uint32_t j : Neighbours(n, i))
        if (d(j) < bestDistance) bestDistance = d(j), best = j;
    return bestDistance < d(i) ? best : i;
}

class LandscapeTarget : public testing::TestWithParam<Offset> {};

TEST_P(LandscapeTarget, SuccessorsOfSampledPosesAndTheOptimumsBasin) {
    const DistanceTable& table = TableFor(GetParam());
    const std::uint32_t o = PoseIndex(table.optimum.pose.a1, table.optimum.pose.a2, table.optimum.pose.a3);
    std::mt19937 rng(7);
    for (const Neighbourhood& n : kNeighbourhoods) {
        SCOPED_TRACE(NeighbourhoodName(n));
        std::vector<std::uint32_t> successor = SteepestSuccessors(table, n, 2);
        // Random poses, the cube's corners and edges.
        std::vector<std::uint32_t> poses = {0, 255, 0xff00, 0xff0000, 0xffffff, 0x00ff00 | 128, 0x80ff00};
        for (int k = 0; k < 1000; ++k) poses.push_back(rng() & 0xffffff);
        for (const std::uint32_t i : poses) ASSERT_EQ(successor[i], BruteSuccessor(table.geometry, n, i)) << i;
        // The optimum is nearer than any other pose (no tie at these targets), so it is its own
        // successor and every one of its neighbours steps straight onto it.
        EXPECT_EQ(successor[o], o);
        const std::vector<std::uint32_t> around = Neighbours(n, o);
        for (const std::uint32_t j : around) EXPECT_EQ(successor[j], o) << j;
        FollowToAttractors(successor);
        const LandscapeSummary s = SummariseLandscape(table, n, successor, 0.5, 2);
        EXPECT_GE(s.basinOptimum, 1 + static_cast<long long>(around.size()));
    }
}

TEST_P(LandscapeTarget, AttractorsAreLocalOptimaAndBasinsPartitionThePoses) {
    const DistanceTable& table = TableFor(GetParam());
    for (const Neighbourhood& n : {kNeighbourhoods[0], kNeighbourhoods[1], kNeighbourhoods[3]}) {
        SCOPED_TRACE(NeighbourhoodName(n));
        const std::vector<std::uint32_t> successor = SteepestSuccessors(table, n, 2);
        std::vector<std::uint32_t> attractor = successor;
        FollowToAttractors(attractor);
        long long fixed = 0, within = 0;
        for (std::uint32_t i = 0; i < kPoseCount; ++i) {
            fixed += successor[i] == i;
            ASSERT_EQ(successor[attractor[i]], attractor[i]) << i;
            // One step further along the path ends at the same attractor.
            ASSERT_EQ(attractor[successor[i]], attractor[i]) << i;
            within += table.distance[attractor[i]] <= 1.5;
        }
        const LandscapeSummary s = SummariseLandscape(table, n, attractor, 1.5, 2);
        EXPECT_EQ(s.localOptima, fixed);
        EXPECT_EQ(static_cast<long long>(s.optima.size()), fixed);
        EXPECT_EQ(s.startsWithin, within);
        long long sum = 0, optimaWithin = 0;
        for (const LocalOptimum& l : s.optima) {
            sum += l.basinSize;
            optimaWithin += l.distance <= 1.5;
        }
        EXPECT_EQ(sum, kPoseCount);
        EXPECT_EQ(s.localOptimaWithin, optimaWithin);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, LandscapeTarget, testing::ValuesIn(kTargets));

// One target the arm reaches within half a pixel: the optimum lies within epsilon, so its basin is
// among the starts within, and a zero epsilon keeps no local optimum of a nonzero distance.
TEST(Landscape, AReachedTargetCountsTheOptimumsBasinAmongTheStartsWithin) {
    const DistanceTable& table = TableFor({68, 180});
    ASSERT_LT(table.optimum.distance, 0.5);
    const LandscapeSummary s = AnalyseLandscape(table, {Kind::creep, 4}, 0.5, 2);
    EXPECT_GE(s.localOptimaWithin, 1);
    EXPECT_GE(s.startsWithin, s.basinOptimum + s.localOptimaWithin - 1);
    std::vector<std::uint32_t> attractors = SteepestSuccessors(table, {Kind::creep, 4}, 2);
    FollowToAttractors(attractors);
    const LandscapeSummary exact = SummariseLandscape(table, {Kind::creep, 4}, attractors, 0.0, 2);
    EXPECT_EQ(exact.localOptimaWithin, 0);
    EXPECT_EQ(exact.startsWithin, 0);
    EXPECT_EQ(exact.basinOptimum, s.basinOptimum);
}

// Local optima counted pose by pose from TipDistance at the opening target; 1105 and 292 are the
// counts measured independently when the landscape was first asked for.
TEST(Landscape, LocalOptimaAtTheOpeningTargetCountedByBruteForce) {
    const Geometry geometry = GeometryFor(kOpeningTargetX, kOpeningTargetY);
    std::vector<double> d(kPoseCount);
    for (std::uint32_t i = 0; i < kPoseCount; ++i) {
        const ArmPose p = PoseAt(i);
        d[i] = TipDistance(geometry, p.a1, p.a2, p.a3);
    }
    const DistanceTable& table = TableFor({kOpeningTargetX, kOpeningTargetY});
    ASSERT_EQ(table.distance, d);
    for (const bool gray : {false, true}) {
        long long optima = 0, within = 0;
        for (std::uint32_t i = 0; i < kPoseCount; ++i) {
            bool local = true;
            for (int g = 0; g < 3 && local; ++g) {
                const int shift = 16 - 8 * g;
                const int a = (i >> shift) & 0xff;
                for (int bit = 0; bit < 8 && local; ++bit) {
                    const int b = gray ? GrayDecode(GrayEncode(a) ^ (1 << bit)) : a ^ (1 << bit);
                    local = !(d[(i & ~(0xffu << shift)) | (static_cast<std::uint32_t>(b) << shift)] < d[i]);
                }
            }
            optima += local;
            within += local && d[i] <= 0.5;
        }
        const LandscapeSummary s = AnalyseLandscape(table, {gray ? Kind::gray : Kind::binary, 0}, 0.5, 2);
        EXPECT_EQ(s.localOptima, optima);
        EXPECT_EQ(s.localOptimaWithin, within);
        EXPECT_EQ(s.localOptima, gray ? 292 : 1105);
    }
}

// Pearson's correlation in one pass of long double sums, against the two-pass sums of the library.
TEST(Landscape, FitnessDistanceCorrelationComputedDirectly) {
    const DistanceTable& table = TableFor({150, -100});
    const ArmPose o = table.optimum.pose;
    for (const Neighbourhood& n : {kNeighbourhoods[0], kNeighbourhoods[1], kNeighbourhoods[4]}) {
        long double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
        for (std::uint32_t i = 0; i < kPoseCount; ++i) {
            const ArmPose p = PoseAt(i);
            long double y = 0;
            const int a[3] = {p.a1, p.a2, p.a3}, b[3] = {o.a1, o.a2, o.a3};
            for (int g = 0; g < 3; ++g) {
                if (n.kind == Kind::binary) y += std::popcount(unsigned(a[g] ^ b[g]));
                else if (n.kind == Kind::gray) y += std::popcount(unsigned(GrayEncode(a[g]) ^ GrayEncode(b[g])));
                else y += std::ceil(std::abs(a[g] - b[g]) / static_cast<double>(n.step));
            }
            const long double x = 1.0 / (table.distance[i] + 1.0);
            sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y;
        }
        const long double N = kPoseCount;
        const double want = static_cast<double>((N * sxy - sx * sy) / std::sqrt((N * sxx - sx * sx) * (N * syy - sy * sy)));
        EXPECT_NEAR(AnalyseLandscape(table, n, 0.5, 2).fdc, want, 1e-9) << NeighbourhoodName(n);
    }
}

TEST(Landscape, TheSameNumbersOnAnyNumberOfThreads) {
    const DistanceTable& table = TableFor({68, 180});
    DistanceTable one;
    FillDistanceTable(table.geometry, one, 1);
    EXPECT_EQ(one.distance, table.distance);
    for (const Neighbourhood& n : {kNeighbourhoods[1]}) {
        const LandscapeSummary a = AnalyseLandscape(table, n, 0.5, 1), b = AnalyseLandscape(table, n, 0.5, 3);
        EXPECT_EQ(a.fdc, b.fdc);
        EXPECT_EQ(a.startsWithin, b.startsWithin);
        EXPECT_EQ(a.basinOptimum, b.basinOptimum);
        ASSERT_EQ(a.optima.size(), b.optima.size());
        for (std::size_t k = 0; k < a.optima.size(); ++k) EXPECT_EQ(a.optima[k].basinSize, b.optima[k].basinSize);
    }
}

// The map's grid by hand: multiples of step within -199..199, top row first, each left to right.
TEST(LandscapeMap, GridRowsTopFirstLeftToRight) {
    const std::vector<std::pair<int, std::vector<std::pair<int, int>>>> grids{
        {199, {{-199, 199}, {0, 199}, {199, 199}, {-199, 0}, {0, 0}, {199, 0}, {-199, -199}, {0, -199}, {199, -199}}},
        {150, {{-150, 150}, {0, 150}, {150, 150}, {-150, 0}, {0, 0}, {150, 0}, {-150, -150}, {0, -150}, {150, -150}}},
    };
    for (const auto& [step, want] : grids) {
        std::vector<std::pair<int, int>> got;
        for (const LandscapeMapCell& c : LandscapeMapGrid(step)) got.emplace_back(c.x, c.y);
        EXPECT_EQ(got, want) << step;
    }
    EXPECT_EQ(LandscapeMapGrid(1).size(), 399u * 399u);
}

// The loop fills the cells from `from` on with each target's own numbers, at the epsilon given,
// and ends at the stop flag or when the callback says so, leaving the other cells as they were.
TEST(LandscapeMap, ComputesFromTheGivenCellUntilStoppedOrRefused) {
    const Neighbourhood gray = *ParseNeighbourhood("gray");
    std::vector<LandscapeMapCell> cells{{5, 5, -7, -7}, {68, 180, -7, -7}, {-1, -1, -7, -7}};
    std::atomic<bool> stop{true};
    int calls = 0;
    EXPECT_EQ(ComputeLandscapeMap(cells, 1, gray, 1.5, stop, [&](std::size_t) { return ++calls, true; }), 1u);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(cells[1].startsWithin, -7);
    stop = false;
    std::vector<std::size_t> done;
    EXPECT_EQ(ComputeLandscapeMap(cells, 1, gray, 1.5, stop, [&](std::size_t d) { return done.push_back(d), false; }), 2u);
    EXPECT_EQ(done, std::vector<std::size_t>{2});
    const LandscapeSummary want = AnalyseLandscape(TableFor({68, 180}), gray, 1.5, 2);
    EXPECT_EQ(cells[1].localOptima, want.localOptima);
    EXPECT_EQ(cells[1].startsWithin, want.startsWithin);
    for (std::size_t i : {0u, 2u}) EXPECT_EQ(cells[i].localOptima + cells[i].startsWithin, -14) << i;
}

}  // namespace
}  // namespace kelvora
