// Random targets as both front ends take them: random:K with K in 1..10000, drawn after the
// targets given, a drawn one among those refused by name.

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "session/sweep_targets.h"

namespace kelvora::session {
namespace {

struct Spelled {
    const char* text;
    std::optional<int> k;
};

class RandomTargetsText : public testing::TestWithParam<Spelled> {};

TEST_P(RandomTargetsText, GivesKWithinItsRangeOnly) { EXPECT_EQ(ParseRandomTargets(GetParam().text), GetParam().k); }

INSTANTIATE_TEST_SUITE_P(Spellings, RandomTargetsText,
                         testing::Values(Spelled{"random:1", 1}, Spelled{"random:10000", 10000},
                                         Spelled{"random:0", std::nullopt}, Spelled{"random:10001", std::nullopt},
                                         Spelled{"random:", std::nullopt}, Spelled{"random:-3", std::nullopt},
                                         Spelled{"random:4x", std::nullopt}, Spelled{"Random:4", std::nullopt},
                                         Spelled{"4", std::nullopt}));

TEST(RandomTargets, AreDrawnAfterTheGivenOnesOrRefusedNamingTheClash) {
    const std::vector<SweepTarget> drawn = RandomTargets(5, 7);
    std::vector<SweepTarget> targets{{-150, -150}};  // outside the reach circle: never drawn
    ASSERT_EQ(AddRandomTargets(targets, 5, 7), "");
    ASSERT_EQ(targets.size(), 6u);
    EXPECT_EQ(targets.front(), (SweepTarget{-150, -150}));
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), targets.begin() + 1));

    std::vector<SweepTarget> clashing{drawn[3]};
    SweepTarget clash;
    const std::string why = AddRandomTargets(clashing, 5, 7, &clash);
    EXPECT_EQ(clash, drawn[3]);
    EXPECT_EQ(why, "--targets: the drawn target " + std::to_string(drawn[3].x) + "," + std::to_string(drawn[3].y) +
                       " is also given by --target");
    EXPECT_EQ(clashing.size(), 1u);  // nothing added
}

}  // namespace
}  // namespace kelvora::session
