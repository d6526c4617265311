// A population's diversity against small populations counted by hand.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "analysis/diversity.h"

namespace kelvora {
namespace {

struct DiversityRow {
    const char* name;
    std::vector<std::uint32_t> genotypes;
    int bestIndex;
    Diversity expected;
};

void PrintTo(const DiversityRow& row, std::ostream* os) { *os << row.name; }

class DiversityByHand : public ::testing::TestWithParam<DiversityRow> {};

TEST_P(DiversityByHand, AllFourMeasures) {
    // One scratch for every row, as a run's generations share it: each use must leave it clear.
    static const auto scratch = std::make_unique<DiversityScratch>();
    const DiversityRow& row = GetParam();
    for (int twice = 0; twice < 2; ++twice) {
        const Diversity d = MeasureDiversity(row.genotypes.data(), static_cast<int>(row.genotypes.size()), row.bestIndex, *scratch);
        EXPECT_EQ(d.distinct, row.expected.distinct);
        EXPECT_DOUBLE_EQ(d.hamming, row.expected.hamming);
        EXPECT_NEAR(d.entropy, row.expected.entropy, 1e-12);
        EXPECT_DOUBLE_EQ(d.bestShare, row.expected.bestShare);
    }
}

// H(p) = -p log2 p - (1 - p) log2 (1 - p): H(1/2) = 1, H(1/4) = 0.8112781244591328,
// H(1/3) = H(2/3) = 0.9182958340544896.
INSTANTIATE_TEST_SUITE_P(
    Populations, DiversityByHand,
    ::testing::Values(
        // One individual: no pair, no spread.
        DiversityRow{"One", {5}, 0, {1, 0.0, 0.0, 1.0}},
        // All bits differ in the one pair; every position is half ones.
        DiversityRow{"Opposites", {0, 0xFFFFFF}, 0, {2, 24.0, 1.0, 0.5}},
        // Pairs differ by 0, 1, 2, 1, 2, 1 bits: 7 over 6 pairs. Bit 0 has 2 of 4 ones, bit 1 one of 4.
        DiversityRow{"SmallSpread", {0, 0, 1, 3}, 2, {3, 7.0 / 6.0, (1.0 + 0.8112781244591328) / 24, 0.25}},
        DiversityRow{"AllEqual", {0xAAAAAA, 0xAAAAAA, 0xAAAAAA}, 1, {1, 0.0, 0.0, 1.0}},
        // Bits 23 and 0, each 2 of 3 ones: distances 2, 1, 1 over 3 pairs.
        DiversityRow{"HighAndLowBits", {0x800000, 0x000001, 0x800001}, 1, {3, 4.0 / 3.0, 2 * 0.9182958340544896 / 24, 1.0 / 3}},
        // The best's copies count, wherever they stand. 7, 9, 8 are 0111, 1001, 1000: bits 0..3 hold
        // 4, 3, 3 and 2 ones of 5, so 4·1 + 3·2 + 3·2 + 2·3 = 22 differing pairs of bits over 10 pairs;
        // H(4/5) = 0.7219280948873623, H(3/5) = H(2/5) = 0.9709505944546686.
        DiversityRow{"BestThrice", {7, 9, 7, 8, 7}, 4, {3, 2.2, (0.7219280948873623 + 3 * 0.9709505944546686) / 24, 0.6}}));

}  // namespace
}  // namespace kelvora
