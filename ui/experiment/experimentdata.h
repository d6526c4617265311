#pragma once
// What the experiment window plots and tabulates of a configuration's runs: the run lengths to a
// target, the final elite distances and the best-so-far distance by generation, taken from sweep
// results (run in the window or read from a sweep CSV).

#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "batch/runlength.h"
#include "batch/sweep.h"
#include "experiment/experiment_model.h"
#include "experiment/statisticspanel.h"

namespace kelvora::ui {

/// One configuration's runs, as the plots take them.
struct PlotGroup {
    std::string label;                 ///< the configuration's name in legends and tables
    int population = 0;                ///< 1..kMaxPopulation
    int generations = 0;               ///< the runs' budget, 1..kMaxGenerations
    std::vector<int> firstWithin;      ///< each run's first generation within epsilon, 0: never
    std::vector<int> firstAtOptimum;   ///< each run's first generation at the optimum, 0: never
    std::vector<double> eliteDistances;   ///< each run's final elite distance, px
    std::vector<double> optimumDistances; ///< the distinct optimum distances of the runs' targets, px
    /// Quartiles of the runs' best-so-far distance (px) at generation g + 1, for g in 0..generations - 1;
    /// empty when the runs' improvements are not known (read from a sweep CSV).
    std::vector<kelvora::Quartiles> convergence;
};

/// The plot data of one configuration's results (all of the same parameters and algorithm).
/// withConvergence: the best-so-far quartiles from each result's improvements.
PlotGroup GroupOfResults(const std::string& label, const std::vector<kelvora::SweepResult>& results, bool withConvergence);

/// The results grouped by configuration (kelvora::experiment::GroupRuns), in the order each first
/// appears, each labelled by labels (one per configuration in that order) or, where labels has
/// none, by the short label of what sets it apart ("classic", "gray", "pop 50").
std::vector<PlotGroup> GroupsOfSweepRows(const std::vector<kelvora::SweepResult>& results,
                                         const std::vector<std::string>& labels = {});

/// What the experiment window's charts and summary show of its runs.
struct ExperimentOutcome {
    std::vector<PlotGroup> groups;
    std::vector<std::optional<kelvora::SweepSummaryRow>> rows;  ///< none for a configuration without runs
    StatisticsPanel::Gathered statistics;                       ///< the 統計 tab's
    QString caption;  ///< the line saved under a chart alone: what the runs are (report::SetupLine)
};

/// The outcome of results (one list per configuration, labelled by labels), on any thread;
/// convergence: the best-so-far quartiles from the runs' improvements; epsilon (px) the runs were
/// measured at, epsilonRecorded false where their file did not say it (the caption says so).
ExperimentOutcome ComputeOutcome(const std::vector<QString>& labels,
                                 const std::vector<std::vector<kelvora::SweepResult>>& results, bool convergence,
                                 double epsilon, bool epsilonRecorded);
/// The outcome of the runs model shows: convergence for the runs it made (an opened file's carry no
/// improvements), at the epsilon they were measured at.
ExperimentOutcome ComputeOutcome(const kelvora::experiment::ExperimentModel& model);

}  // namespace kelvora::ui
