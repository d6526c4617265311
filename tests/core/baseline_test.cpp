// The baselines: every method spends exactly its budget on whole-degree poses, logged in blocks of
// the population, is reproducible from its seed, never beats the exact optimum and stops when asked;
// each inverse-kinematics step against cases worked out by hand; hill climbing's restart rule.

#include <atomic>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/optimum.h"
#include "ga/baseline.h"
#include "ga/run.h"
#include "reference_search.h"

namespace kelvora {
namespace {

constexpr double kRadToDeg = 1.0 / kDegToRad;
// A quarter turn in the arm's degrees: its degree is 3.1415926 / 180 rad, not pi / 180.
const double kQuarter = 90.0 * M_PI / 3.1415926;

// Every evaluated pose with its fitness, and each generation's summary.
struct Log final : RunObserver {
    std::vector<ArmPose> poses;
    std::vector<double> fitness;
    std::vector<GenerationView> views;
    void onGeneration(const GenerationView& v) override {
        for (int i = 0; i < v.populationSize; ++i) {
            poses.push_back(PoseOf(v.population[i]));
            fitness.push_back(v.fitness[i]);
        }
        views.push_back(v);
    }
};

Log RunOf(Method method, int population, int generations, std::uint32_t seed, Geometry g = GeometryFor(68, 180),
        const std::atomic<bool>* stop = nullptr) {
    SolverParams params;
    params.populationSize = population;
    params.generationCount = generations;
    Algorithm a;
    a.method = method;
    Log log;
    RunObserver* observers[] = {&log};
    RunSolver(RunSetup(params, g, seed, a), observers, stop);
    return log;
}

class EveryBaseline : public ::testing::TestWithParam<Method> {};

TEST_P(EveryBaseline, SpendsItsBudgetOnWholeDegreePosesReproducibly) {
    const Method method = GetParam();
    const Geometry g = GeometryFor(-50, 20);
    const reference::Geometry rg{g.baseX, g.baseY, g.targetX, g.targetY};
    const Optimum optimum = FindOptimum(g.baseX, g.baseY, g.targetX, g.targetY);
    for (const int population : {1, 3, 20}) {
        const Log log = RunOf(method, population, 15, 7, g);
        ASSERT_EQ(log.views.size(), 15u);
        ASSERT_EQ(log.poses.size(), std::size_t(population) * 15u) << "the budget is population x generations";
        double elite = 0.0;
        for (std::size_t i = 0; i < log.poses.size(); ++i) {
            const ArmPose& p = log.poses[i];
            ASSERT_TRUE(p.a1 >= 0 && p.a1 <= 255 && p.a2 >= 0 && p.a2 <= 255 && p.a3 >= 0 && p.a3 <= 255);
            EXPECT_EQ(log.fitness[i], 1.0 / (reference::Distance(rg, p.a1, p.a2, p.a3) + 1.0));
            elite = std::max(elite, log.fitness[i]);
        }
        EXPECT_EQ(log.views.back().eliteFitness, elite) << "the elite is the best pose evaluated";
        EXPECT_LE(elite, optimum.fitness);
        const Log again = RunOf(method, population, 15, 7, g);
        EXPECT_EQ(again.fitness, log.fitness) << "the same seed gives the same run";
    }
    // Another seed, another run.
    EXPECT_NE(RunOf(method, 20, 5, 7, g).fitness, RunOf(method, 20, 5, 8, g).fitness);
    // A stop after the first generation ends the run there.
    std::atomic<bool> stop{true};
    EXPECT_EQ(RunOf(method, 10, 50, 7, g, &stop).views.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryBaseline,
                         ::testing::Values(Method::ccd, Method::fabrik, Method::jacobianTranspose,
                                           Method::dampedLeastSquares, Method::differentialEvolution,
                                           Method::particleSwarm, Method::cmaEs, Method::simulatedAnnealing,
                                           Method::onePlusOne, Method::hillClimbing),
                         [](const auto& info) {
                             std::string name = MethodName(Algorithm{info.param});
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

// Pose (0, 0, 0) lies along +x: joints at 0, 60 and 160 px, the tip at 200 px.
TEST(InverseKinematicsStep, CcdTurnsTheTipOntoTheTarget) {
    const ArmFrame f = FrameOf({0, 0, 0});
    EXPECT_NEAR(f.x[3], 200.0, 1e-12);
    EXPECT_NEAR(CcdTurn(f, 0, 0.0, 150.0), kQuarter, 1e-9);     // straight up from the base
    EXPECT_NEAR(CcdTurn(f, 2, 160.0, -40.0), -kQuarter, 1e-9);  // straight down from the last joint
    EXPECT_NEAR(CcdTurn(f, 1, -40.0, 0.0), 2 * kQuarter, 1e-9);  // behind joint 1: half a turn
    EXPECT_EQ(CcdTurn(f, 2, 160.0, 0.0), 0.0);              // the target on the joint: no turn
}

TEST(InverseKinematicsStep, AtTheTargetNoMethodMoves) {
    const ArmFrame f = FrameOf({58, 6, 37});
    for (double s : JacobianTransposeStep(f, f.x[3], f.y[3])) EXPECT_EQ(s, 0.0);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(CcdTurn(f, j, f.x[3], f.y[3]), 0.0);
}

// Along +x, every Jacobian column points up with the joint's distance to the tip (200, 140, 40 px).
TEST(InverseKinematicsStep, JacobianStepsOfTheStretchedArm) {
    const ArmFrame f = FrameOf({0, 0, 0});
    const double d[3] = {200.0, 140.0, 40.0};
    // The transpose step is J^T e scaled so that J step = e along the one direction J spans.
    const Angles t = JacobianTransposeStep(f, 200.0, 10.0);
    EXPECT_NEAR((d[0] * t[0] + d[1] * t[1] + d[2] * t[2]) / kRadToDeg, 10.0, 1e-9);
    EXPECT_NEAR(t[0] / t[1], 200.0 / 140.0, 1e-12);
}

// A target at (150, 0) straight ahead: the backward pass puts the joints at 30, 90, 190 px, the
// forward pass at 60, 160 and the tip back at 120 px: the last link turned by half a turn.
TEST(InverseKinematicsStep, FabrikOnTheAxis) {
    const Angles a = FabrikAngles(FrameOf({0, 0, 0}), 150.0, 0.0);
    EXPECT_NEAR(a[0], 0.0, 1e-9);
    EXPECT_NEAR(a[1], 0.0, 1e-9);
    EXPECT_NEAR(a[2], 2 * kQuarter, 1e-9);
}

// The run keeps FABRIK's iterations by the first two angles: the last moves only the tip, which
// the backward pass replaces by the target, so every last angle gives the same doubles.
TEST(InverseKinematicsStep, FabrikDoesNotDependOnTheLastAngle) {
    for (const ArmPose p : {ArmPose{0, 0, 0}, ArmPose{58, 6, 37}, ArmPose{200, 255, 1}, ArmPose{255, 128, 64}}) {
        const Angles first = FabrikAngles(FrameOf(p), -120.0, 40.0);
        for (int a3 = 0; a3 < 256; ++a3) {
            const Angles a = FabrikAngles(FrameOf({p.a1, p.a2, a3}), -120.0, 40.0);
            ASSERT_EQ(a, first) << p.a1 << " " << p.a2 << " " << a3;
        }
    }
}

TEST(InverseKinematicsStep, AnglesIntoTheJointRange) {
    struct Row { double in; int whole, wrapped; };
    for (const Row& r : {Row{-3.2, 0, 0}, Row{12.5, 13, 13}, Row{255.4, 255, 255}, Row{300.0, 255, 255},
                         Row{320.0, 255, 0}, Row{307.0, 255, 255}, Row{308.0, 255, 0}, Row{359.6, 255, 0}}) {
        EXPECT_EQ(WholeDegrees(r.in), r.whole) << r.in;
        if (r.in >= 0.0) {
            EXPECT_EQ(WrapToJoint(r.in), r.wrapped) << r.in;
        }
    }
}

// Rounding as std::round would, halves away from zero, then the clamp: at the halves, the doubles
// just below them, the ends, negatives, infinities and NaN (which a joint takes as 0).
TEST(InverseKinematicsStep, WholeDegreesAtTheHalves) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Row { double in; int whole; };
    for (const Row& r : {Row{0.5, 1}, Row{std::nextafter(0.5, 0.0), 0}, Row{1.5, 2}, Row{2.5, 3}, Row{127.5, 128},
                         Row{std::nextafter(127.5, 0.0), 127}, Row{std::nextafter(127.0, 0.0), 127}, Row{254.5, 255},
                         Row{std::nextafter(254.5, 0.0), 254}, Row{255.0, 255}, Row{1e300, 255}, Row{inf, 255},
                         Row{0.0, 0}, Row{-0.0, 0}, Row{-0.5, 0}, Row{-0.4, 0}, Row{-300.0, 0}, Row{-inf, 0},
                         Row{nan, 0}, Row{4.0 * std::numeric_limits<double>::denorm_min(), 0}}) {
        EXPECT_EQ(WholeDegrees(r.in), r.whole) << r.in;
    }
    // A read-back angle: halves up, then 256..360 to the nearer end around the circle.
    for (const Row& r : {Row{0.5, 1}, Row{std::nextafter(0.5, 0.0), 0}, Row{254.5, 255}, Row{255.5, 255},
                         Row{std::nextafter(307.5, 0.0), 255}, Row{307.5, 0}, Row{359.5, 0}, Row{360.0, 0}}) {
        EXPECT_EQ(WrapToJoint(r.in), r.whole) << r.in;
    }
}

TEST(Neighbourhoods, InTheirOrder) {
    std::vector<ArmPose> n;
    Neighbours({0, 128, 255}, Neighbourhood::binary, 1, n);
    ASSERT_EQ(n.size(), 24u);
    EXPECT_EQ(n[0].a1, 1);
    EXPECT_EQ(n[7].a1, 128);
    EXPECT_EQ(n[15].a2, 0);   // 128 with bit 7 flipped
    EXPECT_EQ(n[23].a3, 127);
    Neighbours({127, 0, 0}, Neighbourhood::gray, 1, n);
    EXPECT_EQ(n[7].a1, 128) << "127 and 128 differ in the Gray code's top bit";
    Neighbours({0, 200, 255}, Neighbourhood::creep, 128, n);
    ASSERT_EQ(n.size(), 128u + (128u + 55u) + 128u);
    EXPECT_EQ(n.front().a1, 1);
    EXPECT_EQ(n[128].a2, 72);
    EXPECT_EQ(n.back().a3, 254);
}

// FABRIK, worked out again from its rule, each iteration made afresh here: a start is the
// generator's next three draws; each evaluation after it is the iteration of the pose before; a
// restart when the iteration leaves the pose as it is, or after 8 evaluations in a row no closer
// than the start's best. 10,000 evaluations come back to about 2,800 poses, so that the run's
// table of iterations made (4096 slots) is shared and overwritten many times over.
TEST(Fabrik, EveryIterationIsThatOfThePoseBefore) {
    const Geometry g = GeometryFor(-120, 40);
    const reference::Geometry rg{g.baseX, g.baseY, g.targetX, g.targetY};
    const double tx = g.targetX - g.baseX, ty = g.baseY - g.targetY;
    const Log log = RunOf(Method::fabrik, 100, 100, 3, g);
    CrtRandom rng;
    Srand(rng, 3);
    const auto same = [](const ArmPose& a, const ArmPose& b) { return a.a1 == b.a1 && a.a2 == b.a2 && a.a3 == b.a3; };
    int restarts = 0;
    for (std::size_t i = 0; i < log.poses.size(); ++restarts) {
        ArmPose pose{Rand(rng) % 256, Rand(rng) % 256, Rand(rng) % 256};
        ASSERT_TRUE(same(log.poses[i], pose)) << "evaluation " << i;
        double best = reference::Distance(rg, pose.a1, pose.a2, pose.a3);
        for (int still = 0; ++i < log.poses.size() && still < 8;) {
            const Angles a = FabrikAngles(FrameOf(pose), tx, ty);
            const ArmPose next{WrapToJoint(a[0]), WrapToJoint(a[1]), WrapToJoint(a[2])};
            if (same(next, pose)) break;
            ASSERT_TRUE(same(log.poses[i], next)) << "evaluation " << i;
            pose = next;
            const double d = reference::Distance(rg, pose.a1, pose.a2, pose.a3);
            still = d < best ? 0 : still + 1;
            best = std::min(best, d);
        }
    }
    EXPECT_GT(restarts, 1000);
}

// CCD, worked out again from its rule with CcdTurn made afresh each time: the joints in turn from
// the tip's, each angle turned and taken around the circle into 0..255 (above 255 to the nearer
// end), evaluated when its whole degrees move the pose; a restart after three turns in a row that
// leave it, or 8 evaluations in a row no closer than the start's best.
TEST(Ccd, EveryTurnIsThatOfThePoseBefore) {
    for (const auto& [x, y] : {std::pair{-120, 40}, std::pair{68, 180}, std::pair{150, -20}}) {
        const Geometry g = GeometryFor(x, y);
        const reference::Geometry rg{g.baseX, g.baseY, g.targetX, g.targetY};
        const double tx = g.targetX - g.baseX, ty = g.baseY - g.targetY;
        const Log log = RunOf(Method::ccd, 100, 30, 5, g);
        CrtRandom rng;
        Srand(rng, 5);
        const auto into = [](double a) {
            a = std::fmod(a, 360.0);
            if (a < 0.0) a += 360.0;
            return a <= 255.0 ? a : a - 255.0 <= 360.0 - a ? 255.0 : 0.0;
        };
        int restarts = 0;
        for (std::size_t i = 0; i < log.poses.size(); ++restarts) {
            ArmPose pose{Rand(rng) % 256, Rand(rng) % 256, Rand(rng) % 256};
            ASSERT_EQ(log.poses[i++], pose) << "evaluation " << i;
            double q[3] = {double(pose.a1), double(pose.a2), double(pose.a3)};
            double best = reference::Distance(rg, pose.a1, pose.a2, pose.a3);
            for (int still = 0, j = 2; i < log.poses.size() && still < 8;) {
                ArmPose next = pose;
                for (int turns = 0; turns < 3 && next == pose; ++turns, j = (j + 2) % 3) {
                    q[j] = into(q[j] + CcdTurn(FrameOf(pose), j, tx, ty));
                    next = {WholeDegrees(q[0]), WholeDegrees(q[1]), WholeDegrees(q[2])};
                }
                if (next == pose) break;  // three turns in a row left it
                ASSERT_EQ(log.poses[i++], next) << "evaluation " << i;
                pose = next;
                const double d = reference::Distance(rg, pose.a1, pose.a2, pose.a3);
                still = d < best ? 0 : still + 1;
                best = std::min(best, d);
            }
        }
        EXPECT_GT(restarts, 50);
    }
}

// Hill climbing, worked out again from its rule: the start is the generator's first three draws;
// then all 24 binary neighbours in order; a move to the first closest when strictly closer, else the
// next three draws start afresh.
TEST(HillClimbing, RestartsFromTheGeneratorAtALocalOptimum) {
    const Geometry g = GeometryFor(68, 180);
    const reference::Geometry rg{g.baseX, g.baseY, g.targetX, g.targetY};
    const Log log = RunOf(Method::hillClimbing, 50, 40, 11, g);
    CrtRandom rng;
    Srand(rng, 11);
    const auto draw = [&rng] { return ArmPose{Rand(rng) % 256, Rand(rng) % 256, Rand(rng) % 256}; };
    const auto distance = [&rg](const ArmPose& p) { return reference::Distance(rg, p.a1, p.a2, p.a3); };
    std::size_t i = 0;
    int restarts = 0;
    ArmPose current = draw();
    bool fresh = true;
    const auto same = [](const ArmPose& a, const ArmPose& b) { return a.a1 == b.a1 && a.a2 == b.a2 && a.a3 == b.a3; };
    while (i < log.poses.size()) {
        if (fresh) {  // a start is evaluated once
            ASSERT_TRUE(same(log.poses[i], current)) << "evaluation " << i;
            ++i;
            fresh = false;
            continue;
        }
        ArmPose best = current;
        for (int k = 0; k < 24 && i < log.poses.size(); ++k, ++i) {
            ArmPose n = current;
            int& a = k < 8 ? n.a1 : k < 16 ? n.a2 : n.a3;
            a ^= 1 << (k % 8);
            ASSERT_TRUE(same(log.poses[i], n)) << "evaluation " << i;
            if (distance(n) < distance(best)) best = n;
        }
        if (distance(best) < distance(current)) {
            current = best;
        } else {
            current = draw();
            fresh = true;
            ++restarts;
        }
    }
    EXPECT_GT(restarts, 5);
}

// CMA-ES's first generation, worked out from the generator: the mean uniform in the box (two draws
// of 15 bits a coordinate), then 3 lambda normal numbers by the polar method, a pair from each
// point of the unit disc, the odd count's last second dropped; C = I, so x = m + 0.3 * 255 * z.
TEST(CmaEs, FirstGenerationSamplesThePolarMethodsNormals) {
    for (const int population : {7, 20}) {
        const std::uint32_t seed = 11;
        const Log log = RunOf(Method::cmaEs, population, 1, seed);
        CrtRandom rng;
        Srand(rng, seed);
        const auto uniform = [&rng] {
            const int high = Rand(rng);
            return (high * 32768.0 + Rand(rng)) / 1073741824.0;
        };
        double m[3];
        for (double& c : m) c = 255.0 * uniform();
        std::vector<double> z;
        while (z.size() < 3u * population) {
            double v1, v2, w;
            do {
                v1 = 2.0 * uniform() - 1.0;
                v2 = 2.0 * uniform() - 1.0;
                w = v1 * v1 + v2 * v2;
            } while (w >= 1.0 || w == 0.0);
            z.push_back(v1 * std::sqrt(-2.0 * std::log(w) / w));
            z.push_back(v2 * std::sqrt(-2.0 * std::log(w) / w));
        }
        ASSERT_EQ(log.poses.size(), std::size_t(population));
        for (int k = 0; k < population; ++k) {
            int whole[3];
            for (int j = 0; j < 3; ++j)
                whole[j] = int(std::lround(std::clamp(m[j] + 76.5 * z[std::size_t(3 * k + j)], 0.0, 255.0)));
            EXPECT_EQ(log.poses[std::size_t(k)].a1, whole[0]) << "point " << k;
            EXPECT_EQ(log.poses[std::size_t(k)].a2, whole[1]) << "point " << k;
            EXPECT_EQ(log.poses[std::size_t(k)].a3, whole[2]) << "point " << k;
        }
    }
}

}  // namespace
}  // namespace kelvora
