#include "experiment/experimentdata.h"

#include <algorithm>

#include "experiment/outcomes.h"
#include "report/report.h"
#include "session/ui_language.h"

namespace kelvora::ui {

PlotGroup GroupOfResults(const std::string& label, const std::vector<kelvora::SweepResult>& results, bool withConvergence) {
    PlotGroup group;
    group.label = label;
    if (results.empty()) return group;
    group.population = results.front().combination.params.populationSize;
    group.generations = results.front().combination.params.generationCount;
    for (const kelvora::SweepResult& r : results) {
        group.firstWithin.push_back(r.firstGenerationWithinEpsilon);
        group.firstAtOptimum.push_back(r.firstGenerationAtOptimum);
        group.eliteDistances.push_back(r.eliteDistance);
        if (std::find(group.optimumDistances.begin(), group.optimumDistances.end(), r.optimumDistance) ==
            group.optimumDistances.end())
            group.optimumDistances.push_back(r.optimumDistance);
    }
    if (!withConvergence) return group;
    // Each run's best so far at generation g is its last improvement at or before g.
    std::vector<std::size_t> cursor(results.size(), 0);
    std::vector<double> values(results.size());
    group.convergence.reserve(static_cast<std::size_t>(group.generations));
    for (int g = 1; g <= group.generations; ++g) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < results.size(); ++i) {
            const auto& steps = results[i].improvements;
            while (cursor[i] < steps.size() && steps[cursor[i]].first <= g) ++cursor[i];
            if (cursor[i] > 0) values[n++] = steps[cursor[i] - 1].second;
        }
        group.convergence.push_back(kelvora::QuartilesOf(std::vector<double>(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n))));
    }
    return group;
}

std::vector<PlotGroup> GroupsOfSweepRows(const std::vector<kelvora::SweepResult>& results,
                                         const std::vector<std::string>& labels) {
    const kelvora::experiment::RunsByConfiguration runs = kelvora::experiment::GroupRuns(results, labels);
    std::vector<PlotGroup> plotted;
    for (const kelvora::experiment::ConfigurationRuns& g : runs.groups) {
        PlotGroup& group = plotted.emplace_back();
        group.label = g.label;
        group.population = g.first.params.populationSize;
        group.generations = g.first.params.generationCount;
        group.firstWithin = g.firstWithin;
        group.firstAtOptimum = g.firstAtOptimum;
        group.eliteDistances = g.distances;
        for (const std::size_t t : g.ownTargets)
            if (std::find(group.optimumDistances.begin(), group.optimumDistances.end(), runs.optimumDistance[t]) ==
                group.optimumDistances.end())
                group.optimumDistances.push_back(runs.optimumDistance[t]);
    }
    return plotted;
}

ExperimentOutcome ComputeOutcome(const kelvora::experiment::ExperimentModel& model) {
    std::vector<QString> labels;
    for (const std::string& label : model.labels()) labels.push_back(QString::fromStdString(label));
    return ComputeOutcome(labels, model.results(), !model.opened(), model.epsilon(), model.epsilonRecorded());
}

ExperimentOutcome ComputeOutcome(const std::vector<QString>& labels,
                                 const std::vector<std::vector<kelvora::SweepResult>>& results, bool convergence,
                                 double epsilon, bool epsilonRecorded) {
    ExperimentOutcome outcome;
    for (std::size_t i = 0; i < results.size(); ++i) {
        outcome.groups.push_back(GroupOfResults(labels[i].toStdString(), results[i], convergence));
        outcome.rows.push_back(results[i].empty() ? std::nullopt : std::optional(kelvora::experiment::Outcome(results[i])));
    }
    outcome.statistics = StatisticsPanel::Gather(labels, results);
    outcome.caption = QString::fromStdString(kelvora::report::SetupLine(
        results, epsilon, epsilonRecorded,
        kelvora::session::EnglishFromEnvironment() ? kelvora::report::Language::English : kelvora::report::Language::Japanese));
    return outcome;
}

}  // namespace kelvora::ui
