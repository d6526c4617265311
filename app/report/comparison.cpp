#include "report/comparison.h"

#include <algorithm>


namespace kelvora::report {

long long ConfigurationRuns::successes() const {
    return static_cast<long long>(std::count_if(firstWithin.begin(), firstWithin.end(), [](int g) { return g > 0; }));
}

void RunsByConfiguration::Add(const SweepResult& run, std::size_t configuration) {
    if (configuration == groups.size()) groups.push_back({run.combination, {}, {}, {}, {}, {}, {}, {}});
    ConfigurationRuns& g = groups[configuration];
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
}

void RunsByConfiguration::Label(const std::vector<std::string>& labels) {
    for (std::size_t k = 0; k < groups.size() && k < labels.size(); ++k) groups[k].label = labels[k];
}

std::optional<PairChoice> ChoosePairs(const RunsByConfiguration& runs, const std::string& baseline) {
    const auto& groups = runs.groups;
    if (baseline == "all") return PairChoice{true, 0};
    if (baseline.empty()) {
        const auto classic = std::find_if(groups.begin(), groups.end(),
                                          [](const ConfigurationRuns& g) { return g.first.algorithm == Algorithm{}; });
        return PairChoice{false, classic == groups.end() ? 0 : static_cast<std::size_t>(classic - groups.begin())};
    }
    const auto named = std::find_if(groups.begin(), groups.end(),
                                    [&baseline](const ConfigurationRuns& g) { return g.label == baseline; });
    if (named == groups.end()) return std::nullopt;
    return PairChoice{false, static_cast<std::size_t>(named - groups.begin())};
}

Comparison Compare(const RunsByConfiguration& runs, const PairChoice& choice, double alpha) {
    const auto& groups = runs.groups;
    Comparison c;
    c.alpha = alpha;
    c.choice = choice;
    std::vector<std::pair<std::size_t, std::size_t>> which;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (choice.all) {
            for (std::size_t j = i + 1; j < groups.size(); ++j) which.emplace_back(i, j);
        } else if (i != choice.baseline) {
            which.emplace_back(i, choice.baseline);
        }
    }
    std::vector<Sample> samples;
    for (const ConfigurationRuns& g : groups) samples.push_back({g.successes(), g.distances});
    for (const PairTest& p : ComparePairs(samples, which)) {
        const ConfigurationRuns& a = groups[p.a];
        const ConfigurationRuns& b = groups[p.b];
        c.pairs.push_back({p,
                           {a.label, b.label, a.successes(), a.runs(), b.successes(), b.runs(), p.fisherPHolm, p.mwuPHolm,
                            p.a12, static_cast<long long>(a.seeds.size()), static_cast<long long>(a.ownTargets.size())}});
    }

    const std::size_t blocks = runs.targets.size();
    bool complete = true;
    for (const ConfigurationRuns& g : groups) complete &= g.ownTargets.size() == blocks;
    if (blocks > 1 && complete) {
        std::vector<std::vector<double>> rates(blocks, std::vector<double>(groups.size(), 0.0));
        for (std::size_t k = 0; k < groups.size(); ++k) {
            std::vector<long long> ran(blocks, 0), within(blocks, 0);
            for (std::size_t r = 0; r < groups[k].firstWithin.size(); ++r) {
                ++ran[groups[k].targetOf[r]];
                within[groups[k].targetOf[r]] += groups[k].firstWithin[r] > 0;
            }
            for (std::size_t t = 0; t < blocks; ++t)
                rates[t][k] = static_cast<double>(within[t]) / static_cast<double>(ran[t]);
        }
        c.friedman = FriedmanTest(rates);
        c.criticalDifference =
            NemenyiCriticalDifference(static_cast<int>(groups.size()), static_cast<long long>(blocks), alpha);
    }
    c.incompleteTargets = blocks > 1 && !complete;
    return c;
}

}  // namespace kelvora::report
