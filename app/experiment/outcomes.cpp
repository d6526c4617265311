#include "experiment/outcomes.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "session/labels.h"

namespace kelvora::experiment {

namespace {

// One group's row, by the sweep's own summary (the numbers kelvora-cli sweep prints).
SweepSummaryRow RowOf(const SweepCombination& first, long long reached, std::vector<double> distances,
                      std::vector<int> successes) {
    SweepTally tally;
    tally.groups.push_back({first.params, first.algorithm, reached, std::move(distances), std::move(successes)});
    return Summarise(std::move(tally)).front();
}

std::vector<int> Successes(const std::vector<int>& firstWithin) {
    std::vector<int> successes;
    std::copy_if(firstWithin.begin(), firstWithin.end(), std::back_inserter(successes), [](int g) { return g > 0; });
    return successes;
}

SweepSummaryRow RowOfRuns(const std::vector<const SweepResult*>& runs) {
    long long reached = 0;
    std::vector<double> distances;
    std::vector<int> successes;
    for (const SweepResult* r : runs) {
        reached += r->reachedOptimum() ? 1 : 0;
        distances.push_back(r->eliteDistance);
        if (r->firstGenerationWithinEpsilon > 0) successes.push_back(r->firstGenerationWithinEpsilon);
    }
    return RowOf(runs.empty() ? SweepCombination{} : runs.front()->combination, reached, std::move(distances),
                 std::move(successes));
}

}  // namespace

long long ConfigurationRuns::successes() const {
    return static_cast<long long>(std::count_if(firstWithin.begin(), firstWithin.end(), [](int g) { return g > 0; }));
}

std::size_t RunsByConfiguration::Add(const SweepResult& run) {
    const std::size_t k = index.Add(run.combination);
    if (k == groups.size()) groups.push_back({run.combination, {}, {}, {}, {}, {}, {}, {}});
    ConfigurationRuns& g = groups[k];
    const SweepTarget& target = run.combination.target;
    const auto known = std::find(targets.begin(), targets.end(), target);
    const std::size_t t = static_cast<std::size_t>(known - targets.begin());
    if (known == targets.end()) {
        targets.push_back(target);
        optimumDistance.push_back(run.optimumDistance);
    }
    g.targetOf.push_back(t);
    if (std::find(g.ownTargets.begin(), g.ownTargets.end(), t) == g.ownTargets.end()) g.ownTargets.push_back(t);
    g.distances.push_back(run.eliteDistance);
    g.firstWithin.push_back(run.firstGenerationWithinEpsilon);
    g.firstAtOptimum.push_back(run.firstGenerationAtOptimum);
    g.seeds.insert(run.combination.seed);
    return k;
}

void RunsByConfiguration::Label(const std::vector<std::string>& labels) {
    for (std::size_t k = 0; k < groups.size() && k < labels.size(); ++k) groups[k].label = labels[k];
}

RunsByConfiguration GroupRuns(const std::vector<SweepResult>& results, const std::vector<std::string>& labels) {
    RunsByConfiguration runs;
    for (const SweepResult& r : results) runs.Add(r);
    std::vector<std::string> named = session::DifferingLabels(runs.configurations());
    for (std::size_t k = 0; k < named.size() && k < labels.size(); ++k)
        if (!labels[k].empty()) named[k] = labels[k];
    runs.Label(named);
    return runs;
}

SweepSummaryRow Outcome(const ConfigurationRuns& runs) {
    const long long reached = static_cast<long long>(
        std::count_if(runs.firstAtOptimum.begin(), runs.firstAtOptimum.end(), [](int g) { return g > 0; }));
    return RowOf(runs.first, reached, runs.distances, Successes(runs.firstWithin));
}

SweepSummaryRow Outcome(const std::vector<SweepResult>& runs) {
    std::vector<const SweepResult*> pointers;
    for (const SweepResult& r : runs) pointers.push_back(&r);
    return RowOfRuns(pointers);
}

SweepSummaryRow PooledOutcome(const std::vector<const SweepResult*>& runs) {
    SweepSummaryRow row = RowOfRuns(runs);
    row.ertEvaluations = std::nan("");
    return row;
}

}  // namespace kelvora::experiment
