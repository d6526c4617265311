#include "session/comparison.h"

#include "session/labels.h"

#include <algorithm>

#include "batch/sweep_table.h"

namespace kelvora::session {

long long ComparedConfiguration::successes() const {
    return static_cast<long long>(std::count_if(first.begin(), first.end(), [](int g) { return g > 0; }));
}

std::size_t ComparedRuns::find(const SweepCombination& c) const {
    std::size_t k = 0;
    while (k < configurations.size() && !SameConfiguration(configurations[k].runs, c)) ++k;
    return k;
}

void ComparedRuns::add(std::size_t k, const SweepCombination& c, double eliteDistance, int firstWithin) {
    if (k == configurations.size()) configurations.push_back({c, {}, {}, {}, {}, {}, {}});
    ComparedConfiguration& g = configurations[k];
    const auto known = std::find(targets.begin(), targets.end(), c.target);
    g.targetOf.push_back(static_cast<std::size_t>(known - targets.begin()));
    if (known == targets.end()) targets.push_back(c.target);
    g.distances.push_back(eliteDistance);
    g.first.push_back(firstWithin);
    if (std::find(g.targets.begin(), g.targets.end(), c.target) == g.targets.end()) g.targets.push_back(c.target);
    g.seeds.insert(c.seed);
}

void ComparedRuns::label() {
    std::vector<SweepCombination> firsts;
    for (const ComparedConfiguration& g : configurations) firsts.push_back(g.runs);
    const std::vector<std::string> labels = DifferingLabels(firsts);
    for (std::size_t k = 0; k < configurations.size(); ++k) configurations[k].label = labels[k];
}

std::size_t DefaultBaseline(const ComparedRuns& runs) {
    const auto& c = runs.configurations;
    const auto classic = std::find_if(c.begin(), c.end(), [](const ComparedConfiguration& g) { return g.runs.algorithm == Algorithm{}; });
    return classic != c.end() ? static_cast<std::size_t>(classic - c.begin()) : 0;
}

std::optional<std::size_t> ConfigurationLabelled(const ComparedRuns& runs, const std::string& label) {
    const auto& c = runs.configurations;
    const auto named = std::find_if(c.begin(), c.end(), [&label](const ComparedConfiguration& g) { return g.label == label; });
    if (named == c.end()) return std::nullopt;
    return static_cast<std::size_t>(named - c.begin());
}

Comparison CompareConfigurations(const ComparedRuns& runs, std::size_t baseline, double alpha) {
    const std::vector<ComparedConfiguration>& groups = runs.configurations;
    Comparison out;
    // The pairs, their tests, and each family adjusted on its own.
    std::vector<std::pair<std::size_t, std::size_t>> which;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (baseline == kAllPairs) {
            for (std::size_t j = i + 1; j < groups.size(); ++j) which.emplace_back(i, j);
        } else if (i != baseline) {
            which.emplace_back(i, baseline);
        }
    }
    std::vector<Sample> samples;
    for (const ComparedConfiguration& g : groups) samples.push_back({g.successes(), g.distances});
    out.pairs = ComparePairs(samples, which);
    for (const PairTest& p : out.pairs) {
        const ComparedConfiguration& a = groups[p.a];
        const ComparedConfiguration& b = groups[p.b];
        out.verdicts.push_back(PairVerdict({a.label, b.label, a.successes(), static_cast<long long>(a.first.size()),
                                            b.successes(), static_cast<long long>(b.first.size()), p.fisherPHolm,
                                            p.mwuPHolm, p.a12, static_cast<long long>(a.seeds.size()),
                                            static_cast<long long>(a.targets.size())},
                                           alpha));
    }

    // Across targets: Friedman's test with the targets as blocks, when every configuration ran each.
    const std::vector<SweepTarget>& targets = runs.targets;
    bool complete = true;
    for (const ComparedConfiguration& g : groups) complete &= g.targets.size() == targets.size();
    if (targets.size() > 1 && complete) {
        std::vector<std::vector<double>> rates(targets.size(), std::vector<double>(groups.size(), 0.0));
        for (std::size_t k = 0; k < groups.size(); ++k) {
            std::vector<long long> count(targets.size(), 0), within(targets.size(), 0);
            for (std::size_t r = 0; r < groups[k].first.size(); ++r) {
                ++count[groups[k].targetOf[r]];
                within[groups[k].targetOf[r]] += groups[k].first[r] > 0;
            }
            for (std::size_t t = 0; t < targets.size(); ++t)
                rates[t][k] = static_cast<double>(within[t]) / static_cast<double>(count[t]);
        }
        out.friedman = FriedmanTest(rates);
        out.criticalDifference =
            NemenyiCriticalDifference(static_cast<int>(groups.size()), static_cast<long long>(targets.size()), alpha);
    }
    return out;
}

}  // namespace kelvora::session
