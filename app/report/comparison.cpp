#include "report/comparison.h"

#include <algorithm>


namespace kelvora::report {

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
