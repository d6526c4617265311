// The generator's jumps: k steps at once land where k single steps do, and the (1+1) evolutionary
// algorithm's 24 flip tests worked out side by side are the tests of its 24 draws in a row, for
// every draw value at every bit.

#include <vector>

#include <gtest/gtest.h>

#include "ga/baseline.h"
#include "ga/crt_jump.h"
#include "reference_search.h"
#include "test_support.h"

namespace kelvora {
namespace {

constexpr std::uint32_t kStates[] = {0u, 1u, 41u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 1733658000u, 2531011u};

TEST(CrtJump, KStepsAtOnceLandWhereKSingleStepsDo) {
    for (const std::uint32_t state : kStates) {
        for (const int k : {0, 1, 2, 16, 24, 25, 1000}) {
            CrtRandom rng{state};
            for (int i = 0; i < k; ++i) Rand(rng);
            const CrtJump j = CrtJumpOf(k);
            EXPECT_EQ(j.multiplier * state + j.increment, rng.state) << state << " after " << k;
        }
    }
}

// Every draw value 0..32767 at every one of the 24 places: the state k + 1 steps before a state
// that outputs it (bit 31 and the low bits varied with the value).
TEST(CrtJump, MultiplesOf24AreTheSingleDrawsTests) {
    for (int value = 0; value <= kRandMax; ++value) {
        for (int k = 0; k < 24; ++k) {
            std::uint32_t state = static_cast<std::uint32_t>(value) << 16 | (static_cast<std::uint32_t>(value * 7919 + k) & 0xFFFFu);
            if ((value + k) % 2 != 0) state |= 0x80000000u;
            for (int i = 0; i <= k; ++i) state = testing_support::StateBefore(state);
            CrtRandom rng{state};
            std::uint32_t expected = 0;
            for (int bit = 0; bit < 24; ++bit)
                if (Rand(rng) % 24 == 0) expected |= 1u << bit;
            const std::uint32_t got = MultiplesOf24(state);
            ASSERT_EQ(got >> k & 1u, value % 24 == 0 ? 1u : 0u) << "value " << value << " at draw " << k + 1;
            ASSERT_EQ(got, expected) << "state " << state;
        }
    }
}

// The (1+1) evolutionary algorithm against its rule drawn one draw at a time: the same poses in the
// same order, binary and Gray: the 25th draw taken exactly when no bit flipped.
TEST(CrtJump, OnePlusOneEvaluatesThePosesOfItsSequentialDraws) {
    const Geometry g = GeometryFor(-50, 20);
    const reference::Geometry rg{g.baseX, g.baseY, g.targetX, g.targetY};
    for (const Encoding encoding : {Encoding::binary, Encoding::gray}) {
        for (const std::uint32_t seed : {1u, 7u, 123456789u}) {
            struct Log final : RunObserver {
                std::vector<ArmPose> poses;
                void onGeneration(const GenerationView& v) override {
                    for (int i = 0; i < v.populationSize; ++i) poses.push_back(PoseOf(v.population[i]));
                }
            } log;
            SolverParams params;
            params.populationSize = 7;
            params.generationCount = 40;
            Algorithm a;
            a.method = Method::onePlusOne;
            a.encoding = encoding;
            RunObserver* observers[] = {&log};
            RunSolver(RunSetup(params, g, seed, a), observers, nullptr);

            const auto gene = [encoding](int angle) { return encoding == Encoding::gray ? GrayEncode(angle) : angle; };
            const auto angle = [encoding](int bits) { return encoding == Encoding::gray ? GrayDecode(bits) : bits; };
            CrtRandom rng;
            Srand(rng, seed);
            ArmPose parent{Rand(rng) % 256, Rand(rng) % 256, Rand(rng) % 256};
            std::vector<ArmPose> expected{parent};
            double distance = reference::Distance(rg, parent.a1, parent.a2, parent.a3);
            while (expected.size() < log.poses.size()) {
                std::uint32_t bits = std::uint32_t(gene(parent.a1)) << 16 | std::uint32_t(gene(parent.a2)) << 8 |
                                     std::uint32_t(gene(parent.a3));
                const std::uint32_t before = bits;
                for (int bit = 0; bit < 24; ++bit)
                    if (Rand(rng) % 24 == 0) bits ^= 1u << bit;
                if (bits == before) bits ^= 1u << (Rand(rng) % 24);
                const ArmPose child{angle(int(bits >> 16 & 0xFF)), angle(int(bits >> 8 & 0xFF)), angle(int(bits & 0xFF))};
                expected.push_back(child);
                const double d = reference::Distance(rg, child.a1, child.a2, child.a3);
                if (d <= distance) parent = child, distance = d;
            }
            ASSERT_EQ(log.poses.size(), 280u);
            for (std::size_t i = 0; i < expected.size(); ++i) {
                ASSERT_EQ(log.poses[i].a1, expected[i].a1) << "evaluation " << i << ", seed " << seed;
                ASSERT_EQ(log.poses[i].a2, expected[i].a2) << "evaluation " << i << ", seed " << seed;
                ASSERT_EQ(log.poses[i].a3, expected[i].a3) << "evaluation " << i << ", seed " << seed;
            }
        }
    }
}

}  // namespace
}  // namespace kelvora
