// The arm model's numbers: tip positions, distances and fitness for the known poses, the odd
// degree factor, unreduced angle sums, and the tabulated trigonometry against per-call values.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

#include "reference_search.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::MakeGeometry;

TEST(ArmModel, StretchedPoseReachesAlongPositiveX) {
    const TipPoint tip = TipPosition(0, 0, 0, 300, 220);
    EXPECT_EQ(tip.x, 500.0);
    EXPECT_EQ(tip.y, 220.0);
}

TEST(ArmModel, InitialPoseTipTruncatesToTheInitialTarget) {
    const TipPoint tip = TipPosition(ArmPose{45, 30, 15}, 300, 220);
    EXPECT_NEAR(tip.x, 368.3083, 5e-5);
    EXPECT_NEAR(tip.y, 40.9810, 5e-5);
    EXPECT_EQ(static_cast<int>(tip.x), 368);
    EXPECT_EQ(static_cast<int>(tip.y), 40);
    // The opening constants agree with the pose they name.
    const TipPoint opening = TipPosition(kOpeningPose, kBaseX, kBaseY);
    EXPECT_EQ(kBaseX + kOpeningTargetX, static_cast<int>(opening.x));
    EXPECT_EQ(kBaseY - kOpeningTargetY, static_cast<int>(opening.y));
}

TEST(ArmModel, DistanceAndFitnessTowardTheInitialTarget) {
    const Geometry state = MakeGeometry(368, 40);
    EXPECT_NEAR(TipDistance(state, 45, 30, 15), 1.0283, 5e-5);
    EXPECT_NEAR(Fitness(state, Chromosome{{45, 30, 15}}), 0.49302, 5e-6);
    EXPECT_NEAR(TipDistance(state, ArmPose{0, 0, 0}), 223.2129, 5e-5);
    EXPECT_NEAR(Fitness(state, Chromosome{{0, 0, 0}}), 0.0044600, 5e-8);
}

TEST(ArmModel, NinetyDegreesMissesTheVerticalBecauseTheFactorIsNotPiOver180) {
    const TipPoint tip = TipPosition(90, 0, 0, 300, 220);
    EXPECT_NE(tip.x, 300.0);
    EXPECT_NEAR(tip.x, 300.0000053590, 1e-9);  // 200 * cos(90 * kDegToRad), cos about 2.68e-8
    EXPECT_NEAR(tip.y, 20.0, 1e-9);
}

TEST(ArmModel, AngleSumsGoIntoTheTrigonometryUnreduced) {
    // 255 + 255 + 255 = 765 degrees, which is 45 modulo 360; with this degree factor the two differ.
    const reference::Geometry geometry;
    const TipPoint tip = TipPosition(255, 255, 255, 300, 220);
    const TipPoint unreduced = reference::Tip(geometry, 255, 255, 255);
    const TipPoint reduced = reference::Tip(geometry, 255, 255, 45 - 510);
    EXPECT_EQ(tip.x, unreduced.x);
    EXPECT_EQ(tip.y, unreduced.y);
    EXPECT_NE(tip.x, reduced.x);
    EXPECT_NEAR(tip.x, 226.1526, 5e-5);
    EXPECT_NEAR(tip.y, 199.6713, 5e-5);
}

namespace angles {
using kelvora::kMaxAngleSum;
#include "model/link_angles.inc"
}  // namespace angles

TEST(ArmModel, AngleConstantsAreThisPlatformsCosineAndSine) {
    for (int s = 0; s <= kMaxAngleSum; ++s) {
        const double theta = s * kDegToRad;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(angles::kAngleCos[s]), std::bit_cast<std::uint64_t>(std::cos(theta))) << s;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(angles::kAngleSin[s]), std::bit_cast<std::uint64_t>(std::sin(theta))) << s;
    }
}

TEST(ArmModel, TabulatedTipEqualsPerCallTrigonometryForEveryAngleSum) {
    // a1 runs over every first angle, a1 + a2 over every second sum, and with a3 in {0, 255} the
    // third sum covers 0..765: every table entry of every link is used at least once.
    const reference::Geometry geometry;
    for (int a1 = 0; a1 <= 255; ++a1) {
        for (int a2 = 0; a2 <= 255; ++a2) {
            for (int a3 : {0, 255}) {
                const TipPoint fast = TipPosition(a1, a2, a3, 300, 220);
                const TipPoint slow = reference::Tip(geometry, a1, a2, a3);
                ASSERT_EQ(fast.x, slow.x) << a1 << "," << a2 << "," << a3;
                ASSERT_EQ(fast.y, slow.y) << a1 << "," << a2 << "," << a3;
            }
        }
    }
}

TEST(ArmModel, AnglesOutsideTheGeneRangeUseTheSameFormula) {
    const reference::Geometry geometry;
    for (const ArmPose& p : {ArmPose{-90, 30, 15}, ArmPose{300, 300, 300}, ArmPose{0, -45, 720}, ArmPose{255, 255, 256}}) {
        const TipPoint fast = TipPosition(p, 300, 220);
        const TipPoint slow = reference::Tip(geometry, p.a1, p.a2, p.a3);
        EXPECT_EQ(fast.x, slow.x) << p.a1 << "," << p.a2 << "," << p.a3;
        EXPECT_EQ(fast.y, slow.y) << p.a1 << "," << p.a2 << "," << p.a3;
    }
}

// Pixel (x right, y down) and offset from the base (x right, y up), worked by hand on three bases.
struct RelativeCase {
    PixelPoint base, pixel, relative;
};
class PixelToRelative : public testing::TestWithParam<RelativeCase> {};

TEST_P(PixelToRelative, ConvertsBothWaysExactly) {
    const RelativeCase& c = GetParam();
    EXPECT_EQ(RelativeFromPixel(c.pixel, c.base.x, c.base.y), c.relative);
    EXPECT_EQ(PixelFromRelative(c.relative, c.base.x, c.base.y), c.pixel);
    const Geometry geometry = GeometryFor(c.relative.x, c.relative.y, c.base.x, c.base.y);
    EXPECT_EQ(geometry.targetX, c.pixel.x);
    EXPECT_EQ(geometry.targetY, c.pixel.y);
    EXPECT_EQ(RelativeTarget(geometry), c.relative);
}

INSTANTIATE_TEST_SUITE_P(
    ArmModel, PixelToRelative,
    testing::Values(RelativeCase{{300, 220}, {368, 40}, {68, 180}},      // the opening target
                    RelativeCase{{300, 220}, {300, 220}, {0, 0}},        // the base itself
                    RelativeCase{{300, 220}, {150, 100}, {-150, 120}},   // up and to the left
                    RelativeCase{{300, 220}, {499, 419}, {199, -199}},   // the plot's last pixel
                    RelativeCase{{300, 220}, {101, 21}, {-199, 199}},    // its first inside pixel
                    RelativeCase{{0, 0}, {5, 7}, {5, -7}},               // below a base at the corner
                    RelativeCase{{-10, 40}, {-30, 90}, {-20, -50}}));    // a base off the client area

TEST(ArmModel, DistanceFollowsTheStatesBaseAndTarget) {
    Geometry state = MakeGeometry(500, 220);
    EXPECT_EQ(TipDistance(state, 0, 0, 0), 0.0);
    state.baseX = 303;
    state.baseY = 216;
    EXPECT_EQ(TipDistance(state, 0, 0, 0), 5.0);  // tip at (503, 216): a 3-4-5 triangle
}

TEST(ArmModel, FitnessIsOneOverDistancePlusOneAndOneOnlyOnTheTarget) {
    Geometry state = MakeGeometry(500, 220);
    EXPECT_EQ(Fitness(state, Chromosome{{0, 0, 0}}), 1.0);
    state.targetX = 368;
    state.targetY = 40;
    CrtRandom rng;
    for (int i = 0; i < 2000; ++i) {
        const Chromosome c{{static_cast<std::uint8_t>(Rand(rng)), static_cast<std::uint8_t>(Rand(rng)),
                            static_cast<std::uint8_t>(Rand(rng))}};
        const double f = Fitness(state, c);
        ASSERT_EQ(f, 1.0 / (TipDistance(state, PoseOf(c)) + 1.0));
        ASSERT_GT(f, 0.0);
        ASSERT_LT(f, 1.0);
    }
}

TEST(ArmModel, FitnessStaysAboveTwoThousandthsForTargetsInsideThePlot) {
    // The farthest inside point is a corner of the plot, 282 px from the base; the tip is never
    // more than 200 px beyond it.
    for (const auto& [x, y] : {std::pair{101, 21}, std::pair{499, 21}, std::pair{101, 419}, std::pair{499, 419}}) {
        const Geometry state = MakeGeometry(x, y);
        for (int a1 = 0; a1 < 256; a1 += 5) {
            for (int a2 = 0; a2 < 256; a2 += 5) {
                for (int a3 = 0; a3 < 256; a3 += 5) {
                    const Chromosome c{{static_cast<std::uint8_t>(a1), static_cast<std::uint8_t>(a2),
                                        static_cast<std::uint8_t>(a3)}};
                    ASSERT_GT(Fitness(state, c), 0.002);
                }
            }
        }
    }
}

TEST(ArmJointPoints, EachCoordinateIsComputedAndTruncatedOnItsOwn) {
    const ArmJoints stretched = ArmJointPoints({0, 0, 0}, 300, 220);
    EXPECT_EQ(stretched.j1, (PixelPoint{360, 220}));
    EXPECT_EQ(stretched.j2, (PixelPoint{460, 220}));
    EXPECT_EQ(stretched.j3, (PixelPoint{500, 220}));

    const ArmJoints initial = ArmJointPoints({45, 30, 15}, 300, 220);
    EXPECT_EQ(initial.j1, (PixelPoint{342, 177}));
    EXPECT_EQ(initial.j2, (PixelPoint{368, 80}));
    EXPECT_EQ(initial.j3, (PixelPoint{368, 40}));

    // Pointing left from (0, 0): x is -59.99999999999991 and y is -3.2e-6, which truncate toward
    // zero to -59 and 0, where rounding down would give -60 and -1.
    const ArmJoints left = ArmJointPoints({180, 0, 0}, 0, 0);
    EXPECT_EQ(left.j1, (PixelPoint{-59, 0}));
    EXPECT_EQ(left.j2, (PixelPoint{-159, 0}));
    EXPECT_EQ(left.j3, (PixelPoint{-199, 0}));
}

TEST(ArmJointPoints, EveryJointOfEveryPoseLiesInThePlotRectangle) {
    // The plot is the base plus or minus the full reach on both axes, edges included (the stretched
    // pose ends at x = base + 200). Truncation moves a joint by less than a pixel on each axis, so
    // some joints lie a little beyond the 200 px reach circle, but none leaves the rectangle.
    const int reach = static_cast<int>(kLink1 + kLink2 + kLink3);
    double farthest = 0.0;
    for (int a1 = 0; a1 <= 255; ++a1) {
        for (int a2 = 0; a2 <= 255; ++a2) {
            for (int a3 = 0; a3 <= 255; ++a3) {
                const ArmJoints joints = ArmJointPoints({a1, a2, a3}, kBaseX, kBaseY);
                for (const PixelPoint& p : {joints.j1, joints.j2, joints.j3}) {
                    const int dx = p.x - kBaseX, dy = p.y - kBaseY;
                    ASSERT_TRUE(-reach <= dx && dx <= reach && -reach <= dy && dy <= reach)
                        << "pose (" << a1 << ", " << a2 << ", " << a3 << "): joint (" << p.x << ", " << p.y << ")";
                    farthest = std::max(farthest, std::hypot(dx, dy));
                }
            }
        }
    }
    EXPECT_GT(farthest, reach);
    EXPECT_LT(farthest, reach + std::sqrt(2.0));
}

}  // namespace
}  // namespace kelvora
