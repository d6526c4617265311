#include "experiment/outcomes.h"

#include <algorithm>
#include <cctype>
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
    if (k == groupOf.size()) {
        groupOf.push_back(groups.size());
        groups.push_back({run.combination, {}, {}, {}, {}, {}, {}, {}, {}});
    }
    const SweepCombination& c = run.combination;
    return Record(groupOf[k], c.target, c.seed, run.eliteDistance, run.firstGenerationWithinEpsilon,
                  run.firstGenerationAtOptimum, run.optimumDistance);
}

std::string ForeignRunFaultText(const ForeignRunFault& fault, const std::string& method) {
    const std::string value = std::to_string(fault.value), limit = std::to_string(fault.limit);
    switch (fault.kind) {
        case ForeignRunFault::none: return {};
        case ForeignRunFault::name:
            return "the method name '" + method + "' is not 1..64 letters, digits, '.', '_' or '-'";
        case ForeignRunFault::builtIn: return "the method name '" + method + "' is a built-in method's";
        case ForeignRunFault::budget: return "budget " + value + " is outside 1.." + limit;
        case ForeignRunFault::evaluations: return "evaluations " + value + " are outside 0.." + limit + " (the budget)";
        case ForeignRunFault::distance: return "a distance is negative or not a number";
        case ForeignRunFault::budgetChanged:
            return "budget " + value + " differs from the " + limit + " of the method's earlier runs";
    }
    return {};
}

ForeignRunFault RunsByConfiguration::AddForeign(const ForeignRun& run, std::size_t* groupIndex) {
    const std::string& name = run.method;
    const bool spelled = !name.empty() && name.size() <= 64 && name.front() != '.' &&
                         std::all_of(name.begin(), name.end(), [](char ch) {
                             return std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == '_' || ch == '-';
                         });
    if (!spelled) return {ForeignRunFault::name, static_cast<long long>(name.size()), 64};
    Algorithm parsed;
    if (name == "all" || ParseMethod(name, parsed).empty()) return {ForeignRunFault::builtIn, 0, 0};
    if (run.budget < 1 || run.budget > kMaxForeignBudget) return {ForeignRunFault::budget, run.budget, kMaxForeignBudget};
    for (const long long e : {run.firstWithin, run.firstAtOptimum})
        if (e < 0 || e > run.budget) return {ForeignRunFault::evaluations, e, run.budget};
    for (const double d : {run.eliteDistance, run.optimumDistance})
        if (!(d >= 0.0) || !std::isfinite(d)) return {ForeignRunFault::distance, 0, 0};
    auto group = std::find_if(groups.begin(), groups.end(), [&](const ConfigurationRuns& g) { return g.method == name; });
    if (group != groups.end() && group->first.params.generationCount != run.budget)
        return {ForeignRunFault::budgetChanged, run.budget, group->first.params.generationCount};
    if (group == groups.end()) {
        // Counted as a run of population 1 whose generations are evaluations: the ERT, the quartiles
        // and the tests then read evaluations where a built-in group's read generations.
        SweepCombination first;
        first.params.populationSize = 1;
        first.params.generationCount = static_cast<int>(run.budget);
        first.target = run.target;
        first.seed = run.seed;
        groups.push_back({first, name, name, {}, {}, {}, {}, {}, {}});
        group = groups.end() - 1;
    }
    const std::size_t k = static_cast<std::size_t>(group - groups.begin());
    Record(k, run.target, run.seed, run.eliteDistance, static_cast<int>(run.firstWithin),
           static_cast<int>(run.firstAtOptimum), run.optimumDistance);
    if (groupIndex) *groupIndex = k;
    return {};
}

std::size_t RunsByConfiguration::Record(std::size_t k, const SweepTarget& target, std::uint32_t seed, double distance,
                                        int firstWithin, int firstAtOptimum, double optimum) {
    ConfigurationRuns& g = groups[k];
    const auto known = std::find(targets.begin(), targets.end(), target);
    const std::size_t t = static_cast<std::size_t>(known - targets.begin());
    if (known == targets.end()) {
        targets.push_back(target);
        optimumDistance.push_back(optimum);
    }
    g.targetOf.push_back(t);
    if (std::find(g.ownTargets.begin(), g.ownTargets.end(), t) == g.ownTargets.end()) g.ownTargets.push_back(t);
    g.distances.push_back(distance);
    g.firstWithin.push_back(firstWithin);
    g.firstAtOptimum.push_back(firstAtOptimum);
    g.seeds.insert(seed);
    return k;
}

void RunsByConfiguration::Label(const std::vector<std::string>& labels) {
    for (std::size_t k = 0; k < groupOf.size() && k < labels.size(); ++k) groups[groupOf[k]].label = labels[k];
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
