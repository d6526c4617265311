#pragma once
// A sweep's runs grouped by configuration and compared, pair by pair and across targets: what
// kelvora-cli compare prints and what a report shows, computed once.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/sweep.h"
#include "experiment/outcomes.h"
#include "stats/statistics.h"

namespace kelvora::report {

using experiment::ConfigurationRuns;
using experiment::RunsByConfiguration;

/// Which pairs are tested: every configuration against one, or every pair.
struct PairChoice {
    bool all = false;
    std::size_t baseline = 0;  ///< an index into the groups when not all
};

/// The baseline a text names: "" is the classic algorithm when the groups hold it, else the first;
/// "all" is every pair; else the group of that label, or nullopt when none has it.
std::optional<PairChoice> ChoosePairs(const RunsByConfiguration& runs, const std::string& baseline);

/// One pair's tests and what they mean.
struct PairOutcome {
    PairTest test;               ///< a and b index the groups
    PairVerdictInput counts;     ///< the labels, counts and adjusted p-values the verdict is worded from
};

/// The comparison of every chosen pair, and across targets.
struct Comparison {
    double alpha = 0.05;
    PairChoice choice;
    std::vector<PairOutcome> pairs;       ///< with baseline: each other group against it, in group order
    std::optional<Friedman> friedman;     ///< over several targets, when every group ran each
    double criticalDifference = 0.0;      ///< Nemenyi's, of mean ranks, at alpha (with friedman)
    bool incompleteTargets = false;       ///< several targets, but not every group ran each
};

/// Fisher's test of the successes, the U test and A12 of the distances for each chosen pair (Holm over
/// the pairs, each test on its own) and, over several targets, Friedman's test of the success rates
/// with the targets as blocks and Nemenyi's critical difference. At least two groups; 0 < alpha < 1.
Comparison Compare(const RunsByConfiguration& runs, const PairChoice& choice, double alpha);

}  // namespace kelvora::report
