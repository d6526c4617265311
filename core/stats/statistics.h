#pragma once
// Whether two configurations really differ: exact and rank tests of their runs, effect sizes,
// corrections for many comparisons, and the rank test across several targets with its critical
// difference. Plain numbers in and out; the distributions come from Boost.Math.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

/// Fisher's exact test, two-sided, of a successes in n runs against b successes in m runs (0 <= a <= n,
/// 0 <= b <= m): the sum of the hypergeometric probabilities of every table with the same margins
/// that is no more likely than the observed one (relative tolerance 1e-7). In [0, 1]; 1 when a
/// margin is empty.
double FisherExactTwoSided(long long a, long long n, long long b, long long m);

/// The Mann–Whitney U test of two samples (each non-empty).
struct MannWhitney {
    double u = 0.0;  ///< the first sample's U: pairs in which its value is the larger, ties one half; 0..n·m
    double p = 1.0;  ///< two-sided, normal approximation with tie and continuity corrections; in [0, 1]
};
MannWhitney MannWhitneyU(const std::vector<double>& x, const std::vector<double>& y);

/// Vargha–Delaney A12 of distances: the probability that a value of x is smaller (a run of x ends
/// closer) than a value of y, ties one half; in [0, 1], 0.5 for identical samples. Both non-empty.
double VarghaDelaneyA12(const std::vector<double>& x, const std::vector<double>& y);

/// "negligible", "small", "medium" or "large" by Vargha and Delaney's thresholds on A12 or 1 - A12
/// (0.56, 0.64, 0.71).
std::string EffectSizeWord(double a12);

/// Holm's step-down adjustment of one family of p-values (each in [0, 1]), in their order:
/// monotone in the p-values, capped at 1.
std::vector<double> HolmAdjust(const std::vector<double>& p);

/// The Friedman test of k configurations over n blocks (targets).
struct Friedman {
    double chi2 = 0.0;              ///< the statistic with the tie correction; 0 when every block is one tie
    double p = 1.0;                 ///< upper tail of chi-squared with k - 1 degrees of freedom
    std::vector<double> meanRanks;  ///< each configuration's mean rank, 1 (best) .. k
};

/// rates[b][j]: configuration j's success rate on block b (every block of the same k >= 2 entries,
/// n >= 1 blocks). Within a block the highest rate ranks 1 and ties share their mean rank.
Friedman FriedmanTest(const std::vector<std::vector<double>>& rates);

/// The upper alpha quantile of the studentized range of k >= 2 standard normals (infinite degrees of
/// freedom), 0 < alpha < 1: integrated from its definition and solved for.
double StudentizedRangeQuantile(int k, double alpha);

/// Nemenyi's critical difference of mean ranks for k >= 2 configurations over n >= 1 blocks at
/// alpha: q_alpha / sqrt(2) · sqrt(k (k + 1) / (6 n)).
double NemenyiCriticalDifference(int k, long long n, double alpha);

/// One configuration's runs as the pairwise tests take them.
struct Sample {
    long long successes = 0;          ///< runs that came within epsilon, 0..distances.size()
    std::vector<double> distances;    ///< each run's final elite distance, px; one per run, non-empty
};

/// The tests of one pair of samples; a is the first sample of each.
struct PairTest {
    std::size_t a = 0, b = 0;         ///< indexes into the samples
    double fisherP = 1.0, fisherPHolm = 1.0;
    double u = 0.0, mwuP = 1.0, mwuPHolm = 1.0;
    double a12 = 0.5;
};

/// Fisher's test of the successes, the U test and A12 of the distances for each pair (a, b) of
/// samples, both p-values adjusted by Holm over these pairs, each test on its own.
std::vector<PairTest> ComparePairs(const std::vector<Sample>& samples,
                                   const std::vector<std::pair<std::size_t, std::size_t>>& pairs);

/// A p-value as the verdicts write it: two significant digits, "< 0.0001" below that.
std::string PValueText(double p);

/// What a comparison of a against b means, in words: the success counts when their adjusted Fisher
/// p is below alpha ("gray succeeds more often than classic (30/40 against 16/40, p = 0.0032 after
/// Holm), a large effect"), else the distances when their adjusted U test p is ("... ends closer to
/// the target than ..."), else "no evidence of a difference between gray and classic at S seeds"
/// (S: seeds per target, with the target count when there are several).
struct PairVerdictInput {
    std::string a, b;                 ///< the two configurations' labels
    long long aSuccesses = 0, aRuns = 0, bSuccesses = 0, bRuns = 0;
    double fisherPHolm = 1.0, mwuPHolm = 1.0, a12 = 0.5;
    long long seeds = 0, targets = 1;
};
std::string PairVerdict(const PairVerdictInput& in, double alpha);

}  // namespace kelvora
