// The tests that tell configurations apart, against values worked out by hand from their definitions.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stats/statistics.h"

using namespace kelvora;

namespace {

struct FisherCase {
    long long a, n, b, m;
    double p;  // from binomial coefficients
};

class FisherTable : public testing::TestWithParam<FisherCase> {};

TEST_P(FisherTable, IsTheSumOfTheNoMoreLikelyTables) {
    const FisherCase c = GetParam();
    EXPECT_NEAR(FisherExactTwoSided(c.a, c.n, c.b, c.m), c.p, 1e-12 * c.p) << c.a << "/" << c.n << " " << c.b << "/" << c.m;
}

// [[3,1],[1,3]]: tables 0..4 weigh 1, 16, 36, 16, 1 of C(8,4) = 70; the two 16s are one tie in
// exact numbers and must both count. [[10,0],[0,10]]: the two extreme tables, 2 / C(20,10).
// 2/5 against 0/5: C(5,x)C(5,2-x)/C(10,2) = 10, 25, 10 of 45, so the two tens.
INSTANTIATE_TEST_SUITE_P(
    Tables, FisherTable,
    testing::Values(FisherCase{3, 4, 1, 4, 34.0 / 70.0}, FisherCase{1, 4, 3, 4, 34.0 / 70.0},
                    FisherCase{10, 10, 0, 10, 2.0 / 184756.0}, FisherCase{2, 5, 0, 5, 20.0 / 45.0},
                    FisherCase{1, 1, 0, 1, 1.0},      // n = 1: both tables weigh one half
                    FisherCase{0, 5, 0, 7, 1.0},      // all failures: one table
                    FisherCase{5, 5, 7, 7, 1.0},      // all successes
                    FisherCase{2, 4, 2, 4, 1.0}));    // the likeliest table itself

TEST(MannWhitney, CountsPairsWithTiesAsHalvesAndCorrectsForThem) {
    // x = {1, 2, 2}, y = {2, 3}: x is larger in no pair, tied in two: U = 1 of 6. Among all five
    // values the three 2s tie: 3^3 - 3 = 24; sd^2 = 3·2/12 · (6 - 24/20) = 2.4; the larger U is 5.
    const std::vector<double> x{2, 1, 2}, y{3, 2};
    const MannWhitney r = MannWhitneyU(x, y);
    EXPECT_EQ(r.u, 1.0);
    EXPECT_NEAR(r.p, std::erfc((5.0 - 3.0 - 0.5) / std::sqrt(2.4) / std::sqrt(2.0)), 1e-14);
    const MannWhitney back = MannWhitneyU(y, x);
    EXPECT_EQ(back.u, 5.0);
    EXPECT_EQ(back.p, r.p);
    // Every value tied: no evidence.
    EXPECT_EQ(MannWhitneyU({1, 1}, {1}).p, 1.0);
    EXPECT_EQ(MannWhitneyU({1, 1}, {1}).u, 1.0);
    // Without ties, {1,2} against {3,4}: U = 0, sd^2 = 4/12 · 5, the larger U 4.
    EXPECT_NEAR(MannWhitneyU({1, 2}, {3, 4}).p, std::erfc((4.0 - 2.0 - 0.5) / std::sqrt(5.0 / 3.0) / std::sqrt(2.0)), 1e-14);
}

TEST(VarghaDelaney, IsTheChanceOfEndingCloser) {
    // x closer than y in 4 of the 6 pairs above, tied in 2.
    EXPECT_DOUBLE_EQ(VarghaDelaneyA12({2, 1, 2}, {3, 2}), 5.0 / 6.0);
    EXPECT_DOUBLE_EQ(VarghaDelaneyA12({3, 2}, {2, 1, 2}), 1.0 / 6.0);
    EXPECT_EQ(VarghaDelaneyA12({0.5, 1.5, 7}, {0.5, 1.5, 7}), 0.5);
    EXPECT_EQ(VarghaDelaneyA12({4}, {4}), 0.5);
    struct Word { double a12; const char* word; };
    for (const Word& w : {Word{0.5, "negligible"}, Word{0.555, "negligible"}, Word{0.6, "small"}, Word{0.3, "medium"},
                          Word{0.7, "medium"}, Word{0.2, "large"}, Word{1.0, "large"}})
        EXPECT_EQ(EffectSizeWord(w.a12), w.word) << w.a12;
}

TEST(Holm, StepsDownMonotoneAndCapped) {
    // Sorted: 0.005·4 = 0.02, 0.01·3 = 0.03, 0.03·2 = 0.06, 0.04·1 = 0.04 raised to 0.06.
    const std::vector<double> adjusted = HolmAdjust({0.01, 0.04, 0.03, 0.005});
    const std::vector<double> expected{0.03, 0.06, 0.06, 0.02};
    ASSERT_EQ(adjusted.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(adjusted[i], expected[i], 1e-15) << i;
    EXPECT_EQ(HolmAdjust({0.6, 0.5}), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(HolmAdjust({0.2}), (std::vector<double>{0.2}));
}

TEST(Friedman, RanksTheHighestRateFirstWithTiesAndTheirCorrection) {
    // Block 1 ranks 1, 2.5, 2.5; block 2 ranks 1, 2, 3: sums 2, 4.5, 5.5, squares 54.5.
    // 12/(2·3·4) · 54.5 - 3·2·4 = 3.25; ties 2^3 - 2 = 6, correction 1 - 6/(2·3·8) = 0.875.
    const Friedman f = FriedmanTest({{0.5, 0.25, 0.25}, {0.75, 0.5, 0.25}});
    EXPECT_NEAR(f.chi2, 26.0 / 7.0, 1e-14);
    EXPECT_NEAR(f.p, std::exp(-13.0 / 7.0), 1e-14);  // chi-squared with 2 degrees of freedom
    EXPECT_EQ(f.meanRanks, (std::vector<double>{1.0, 2.25, 2.75}));
    const Friedman tied = FriedmanTest({{1, 1}, {0, 0}});
    EXPECT_EQ(tied.chi2, 0.0);
    EXPECT_EQ(tied.p, 1.0);
    EXPECT_EQ(tied.meanRanks, (std::vector<double>{1.5, 1.5}));
}

TEST(Nemenyi, CriticalDifferenceFollowsTheStudentizedRange) {
    // k = 2: the range of two standard normals is sqrt(2)|Z|, so q / sqrt(2) is z at alpha/2.
    EXPECT_NEAR(StudentizedRangeQuantile(2, 0.05) / std::sqrt(2.0), 1.959963984540054, 1e-9);
    EXPECT_NEAR(StudentizedRangeQuantile(2, 0.10) / std::sqrt(2.0), 1.6448536269514722, 1e-9);
    // Published q_alpha / sqrt(2) at infinite degrees of freedom, k = 3..10, to the table's three
    // decimals (Demšar 2006, table 5).
    const double at05[] = {2.343, 2.569, 2.728, 2.850, 2.949, 3.031, 3.102, 3.164};
    const double at10[] = {2.052, 2.291, 2.459, 2.589, 2.693, 2.780, 2.855, 2.920};
    for (int k = 3; k <= 10; ++k) {
        EXPECT_NEAR(StudentizedRangeQuantile(k, 0.05) / std::sqrt(2.0), at05[k - 3], 1e-3) << k;
        EXPECT_NEAR(StudentizedRangeQuantile(k, 0.10) / std::sqrt(2.0), at10[k - 3], 1e-3) << k;
    }
    EXPECT_NEAR(NemenyiCriticalDifference(4, 10, 0.05), 2.569 * std::sqrt(20.0 / 60.0), 1e-3);
}

TEST(Verdict, SaysWhatDiffersInWords) {
    PairVerdictInput in{"gray", "classic", 30, 40, 16, 40, 0.0032, 0.02, 0.75, 40, 1};
    EXPECT_EQ(PairVerdict(in, 0.05), "gray succeeds more often than classic (30/40 against 16/40, p = 0.0032 after Holm), a large effect");
    in = {"rank", "gray", 22, 40, 30, 40, 0.04, 0.5, 0.4, 40, 1};
    EXPECT_EQ(PairVerdict(in, 0.05), "rank succeeds less often than gray (22/40 against 30/40, p = 0.04 after Holm), a small effect");
    EXPECT_EQ(PairVerdict(in, 0.01), "no evidence of a difference between rank and gray at 40 seeds");
    in = {"creep:4", "classic", 20, 40, 20, 40, 1.0, 0.00001, 0.625, 20, 2};
    EXPECT_EQ(PairVerdict(in, 0.05), "creep:4 ends closer to the target than classic (A12 = 0.625, p < 0.0001 after Holm), a small effect");
    in.mwuPHolm = 0.2;
    EXPECT_EQ(PairVerdict(in, 0.05), "no evidence of a difference between creep:4 and classic at 20 seeds on 2 targets");
}

}  // namespace
