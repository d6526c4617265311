#pragma once
// What an experiment found, per configuration: its runs grouped by configuration (the same four
// parameters and algorithm, targets and seeds aside), and the outcome table of each group (runs
// within epsilon with their Wilson interval, runs at the optimum, ERT, medians and quartiles).
// Computed here once for the window, kelvora-cli, the report and the Python binding.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "batch/sweep.h"
#include "session/configurations.h"

namespace kelvora::experiment {

/// One configuration's runs, in the order they were added.
struct ConfigurationRuns {
    SweepCombination first;                 ///< its first run: the parameters and the algorithm
    std::string label;                      ///< the short label that tells it from the others
    std::vector<double> distances;          ///< each run's final elite distance, px
    std::vector<int> firstWithin;           ///< each run's first generation within epsilon, 1.., 0: never
    std::vector<int> firstAtOptimum;        ///< each run's first generation at the optimum, 1.., 0: never
    std::vector<std::size_t> targetOf;      ///< each run's target, an index into RunsByConfiguration::targets
    std::vector<std::size_t> ownTargets;    ///< the targets it ran, indexes in first appearance
    std::set<std::uint32_t> seeds;          ///< the seeds it ran
    long long runs() const { return static_cast<long long>(distances.size()); }
    long long successes() const;            ///< runs that came within epsilon
};

/// Runs grouped by configuration, each group and each target in first appearance.
struct RunsByConfiguration {
    std::vector<ConfigurationRuns> groups;
    std::vector<SweepTarget> targets;
    std::vector<double> optimumDistance;    ///< per target, px: the optimum's distance its rows record

    /// Adds a run to the group of its configuration (a new group last when it is the first of it);
    /// returns that group's index.
    std::size_t Add(const SweepResult& run);
    /// Names each group by its label, in order; groups beyond labels keep theirs.
    void Label(const std::vector<std::string>& labels);
    /// Each group's first run (its parameters and algorithm), in order: what labels are made from.
    std::vector<SweepCombination> configurations() const { return index.configurations(); }

    session::ConfigurationGroups index;     ///< the groups' configurations, by the one rule
};

/// results grouped by configuration; each group labelled by labels[k] where it has a non-empty
/// one, else by the short label of what sets it apart (session::DifferingLabels).
RunsByConfiguration GroupRuns(const std::vector<SweepResult>& results, const std::vector<std::string>& labels = {});

/// The outcome table's row of one group: runs, within epsilon and at the optimum with Wilson 95%
/// intervals, the ERT in evaluations (+infinity without a success), the final distances' and the
/// first generations within epsilon's quartiles (the latter over the runs that got there).
SweepSummaryRow Outcome(const ConfigurationRuns& runs);

/// The same of runs of one configuration given as results (none: a row of 0 runs).
SweepSummaryRow Outcome(const std::vector<SweepResult>& runs);

/// The same of any runs (of several configurations, as a chart point pools them), without the
/// ERT (NaN: runs of different budgets share none) and with the first run's parameters.
SweepSummaryRow PooledOutcome(const std::vector<const SweepResult*>& runs);

}  // namespace kelvora::experiment
