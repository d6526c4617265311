#pragma once
// A sweep's configurations compared pair by pair: each configuration's runs gathered in file order,
// the pairs tested (Fisher, Mann-Whitney, A12, Holm), each pair's verdict in words and, over
// several targets, Friedman's test with Nemenyi's critical difference. kelvora-cli compare and the
// Python package both compare this way; how the outcome is printed is theirs.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/sweep.h"
#include "stats/statistics.h"

namespace kelvora::session {

/// One configuration's runs, in the order they were added.
struct ComparedConfiguration {
    SweepCombination runs;                  ///< its first run: the parameters and algorithm
    std::string label;                      ///< its short label (DifferingLabels), or the labels file's
    std::vector<double> distances;          ///< each run's elite distance, px
    std::vector<int> first;                 ///< each run's first generation within epsilon, 0: never
    std::vector<std::size_t> targetOf;      ///< each run's target, an index into ComparedRuns::targets
    std::vector<SweepTarget> targets;       ///< the configuration's own targets, in first appearance
    std::set<std::uint32_t> seeds;
    long long successes() const;            ///< runs that came within epsilon
};

/// Every run of a sweep, by configuration.
struct ComparedRuns {
    std::vector<ComparedConfiguration> configurations;  ///< in first appearance
    std::vector<SweepTarget> targets;                   ///< every target, in first appearance

    /// The index of the configuration c belongs to (SameConfiguration), configurations.size() if none.
    std::size_t find(const SweepCombination& c) const;
    /// Adds a run to configuration k (configurations.size(): a new one, of which this is the first run).
    void add(std::size_t k, const SweepCombination& c, double eliteDistance, int firstWithin);
    /// Names each configuration by its short label (DifferingLabels).
    void label();
};

/// Compare every pair instead of against a baseline.
inline constexpr std::size_t kAllPairs = static_cast<std::size_t>(-1);

/// The baseline when none is named: the classic algorithm's configuration, else the first.
std::size_t DefaultBaseline(const ComparedRuns& runs);

/// The configuration labelled label, or nullopt.
std::optional<std::size_t> ConfigurationLabelled(const ComparedRuns& runs, const std::string& label);

/// The comparison's outcome.
struct Comparison {
    std::vector<PairTest> pairs;          ///< each against the baseline in file order, or every pair (i < j)
    std::vector<std::string> verdicts;    ///< PairVerdict of each pair at alpha
    std::optional<Friedman> friedman;     ///< over the targets as blocks, when there are several and every
                                          ///< configuration ran each
    double criticalDifference = 0.0;      ///< Nemenyi's at alpha, with friedman
};

/// Compares runs' configurations (at least two) against configuration baseline, or every pair
/// (kAllPairs), at level alpha (0 < alpha < 1).
Comparison CompareConfigurations(const ComparedRuns& runs, std::size_t baseline, double alpha);

}  // namespace kelvora::session
