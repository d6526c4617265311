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
    /// its first run: the parameters and the algorithm. A foreign method's group has population 1
    /// and its budget as generations, so that its "generations" below count evaluations.
    SweepCombination first;
    std::string method;                     ///< a foreign method's name, "" for a built-in configuration
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

/// A run of an optimiser that is not one of the built-in methods (an ask-and-tell loop of the
/// caller's own), as it measured itself against one target, in evaluations.
struct ForeignRun {
    std::string method;                 ///< its name: 1..64 of A-Z a-z 0-9 . _ -, not a built-in method's
    SweepTarget target;
    std::uint32_t seed = 0;
    long long budget = 0;               ///< evaluations it was given, 1..kMaxForeignBudget
    double eliteDistance = 0.0;         ///< px >= 0: its best pose's distance
    double optimumDistance = 0.0;       ///< px >= 0: the target's optimum's distance
    long long firstWithin = 0;          ///< evaluations when it first came within epsilon, 1..budget, 0: never
    long long firstAtOptimum = 0;       ///< evaluations when it first reached the optimum's distance, 0: never
};

/// The most evaluations a foreign run may record (a run of the largest population and generations).
inline constexpr long long kMaxForeignBudget = 100000000;

/// Why a foreign run was refused: its field, the value given and the limit it broke.
struct ForeignRunFault {
    enum Kind : std::uint8_t {
        none,
        name,          ///< the method name is empty, too long (value: its length, limit 64) or has another character
        builtIn,       ///< the method name is a built-in method's (or "all", the comparison's keyword)
        budget,        ///< outside 1..kMaxForeignBudget (value, limit)
        evaluations,   ///< firstWithin or firstAtOptimum outside 0..budget (value, limit: the budget)
        distance,      ///< eliteDistance or optimumDistance negative or not finite
        budgetChanged, ///< the method's earlier runs had another budget (value; limit: theirs)
    };
    Kind kind = none;
    long long value = 0;
    long long limit = 0;
    explicit operator bool() const { return kind != none; }
    friend bool operator==(const ForeignRunFault&, const ForeignRunFault&) = default;
};

/// The fault in English, as an exception's or a front end's message names it: "" for none,
/// "the method name 'ga' is a built-in method's", "budget 0 is outside 1..100000000", ...
std::string ForeignRunFaultText(const ForeignRunFault& fault, const std::string& method);

/// Runs grouped by configuration, each group and each target in first appearance.
struct RunsByConfiguration {
    std::vector<ConfigurationRuns> groups;
    std::vector<SweepTarget> targets;
    std::vector<double> optimumDistance;    ///< per target, px: the optimum's distance its rows record

    /// Adds a run to the group of its configuration (a new group last when it is the first of it);
    /// returns that group's index.
    std::size_t Add(const SweepResult& run);
    /// Adds a foreign method's run to its method's group, a new group last (labelled by the method's
    /// name) when it is the first; the group's index in groupIndex. Refuses the run, adding nothing,
    /// with its fault.
    ForeignRunFault AddForeign(const ForeignRun& run, std::size_t* groupIndex = nullptr);
    /// Names each built-in configuration's group by its label, in the order of configurations();
    /// groups beyond labels, and foreign methods' groups, keep theirs.
    void Label(const std::vector<std::string>& labels);
    /// Each built-in configuration's first run (its parameters and algorithm), in order: what labels
    /// are made from.
    std::vector<SweepCombination> configurations() const { return index.configurations(); }

    session::ConfigurationGroups index;     ///< the built-in groups' configurations, by the one rule
    std::vector<std::size_t> groupOf;       ///< the group of each of index's configurations

private:
    std::size_t Record(std::size_t group, const SweepTarget& target, std::uint32_t seed, double distance,
                       int firstWithin, int firstAtOptimum, double optimumDistance);
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
