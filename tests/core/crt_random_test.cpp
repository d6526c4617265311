// The C-runtime generator: its known sequence, its 32-bit wrap-around and its 0..32767 range.

#include <vector>

#include <gtest/gtest.h>

#include "ga/crt_random.h"
#include "test_support.h"

namespace kelvora {
namespace {

std::vector<int> Draws(CrtRandom& rng, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(Rand(rng));
    return out;
}

TEST(CrtRandom, SeedOneGivesTheRuntimesKnownSequence) {
    CrtRandom rng;
    Srand(rng, 1);
    EXPECT_EQ(Draws(rng, 10), (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}));
}

TEST(CrtRandom, AFreshGeneratorBehavesAsSeededWithOne) {
    CrtRandom fresh;
    CrtRandom seeded;
    Srand(seeded, 1);
    EXPECT_EQ(Draws(fresh, 5), Draws(seeded, 5));
}

TEST(CrtRandom, ReseedingRestartsTheSequence) {
    CrtRandom rng;
    Srand(rng, 1733658000u);
    const std::vector<int> first = Draws(rng, 8);
    Srand(rng, 1733658000u);
    EXPECT_EQ(Draws(rng, 8), first);
    Srand(rng, 1733658001u);
    EXPECT_NE(Draws(rng, 8), first);
}

TEST(CrtRandom, StateWrapsModulo2To32AndOutputsBits16To30) {
    CrtRandom rng;
    Srand(rng, 0);
    EXPECT_EQ(Rand(rng), 38);  // 2531011 >> 16
    EXPECT_EQ(rng.state, 2531011u);
    // 0xFFFFFFFF * 214013 + 2531011 wraps to 2316998; bit 31 of a state never reaches the output.
    Srand(rng, 0xFFFFFFFFu);
    EXPECT_EQ(Rand(rng), 35);
    EXPECT_EQ(rng.state, 2316998u);
    rng.state = testing_support::StateBefore(0x80000000u);
    EXPECT_EQ(Rand(rng), 0);
    EXPECT_EQ(rng.state, 0x80000000u);
}

TEST(CrtRandom, EveryValueOf0To32767AndNothingElseComesOut) {
    CrtRandom rng;
    Srand(rng, 20240607u);
    std::vector<bool> seen(kRandMax + 1, false);
    int distinct = 0;
    for (int i = 0; i < (1 << 22); ++i) {
        const int r = Rand(rng);
        ASSERT_GE(r, 0);
        ASSERT_LE(r, kRandMax);
        if (!seen[static_cast<std::size_t>(r)]) {
            seen[static_cast<std::size_t>(r)] = true;
            ++distinct;
        }
    }
    EXPECT_EQ(distinct, kRandMax + 1);
}

}  // namespace
}  // namespace kelvora
