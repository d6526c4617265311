#include "experiment/experimentdata.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "batch/sweep_table.h"

namespace kelvora::ui {

namespace {

std::string Shortest(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

std::string ConfigurationLabel(const kelvora::SolverParams& params, const kelvora::Algorithm& algorithm) {
    return std::to_string(params.populationSize) + " × " + std::to_string(params.generationCount) + ", " +
           Shortest(params.crossoverRate) + ", " + Shortest(params.mutationProbability) + ", " +
           kelvora::AlgorithmSummary(algorithm);
}

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

std::vector<PlotGroup> GroupsOfSweepRows(const std::vector<kelvora::SweepResult>& results) {
    std::vector<std::vector<kelvora::SweepResult>> sets;
    std::vector<std::pair<kelvora::SolverParams, kelvora::Algorithm>> keys;
    for (const kelvora::SweepResult& r : results) {
        const auto& c = r.combination;
        auto same = [&c](const auto& key) {
            return key.first.populationSize == c.params.populationSize &&
                   key.first.generationCount == c.params.generationCount &&
                   key.first.crossoverRate == c.params.crossoverRate &&
                   key.first.mutationProbability == c.params.mutationProbability && key.second == c.algorithm;
        };
        const auto it = std::find_if(keys.begin(), keys.end(), same);
        if (it == keys.end()) {
            keys.emplace_back(c.params, c.algorithm);
            sets.emplace_back();
            sets.back().push_back(r);
        } else {
            sets[static_cast<std::size_t>(it - keys.begin())].push_back(r);
        }
    }
    std::vector<PlotGroup> groups;
    for (std::size_t i = 0; i < sets.size(); ++i)
        groups.push_back(GroupOfResults(ConfigurationLabel(keys[i].first, keys[i].second), sets[i], false));
    return groups;
}

std::string ReadSweepCsv(const std::string& path, std::vector<kelvora::SweepResult>& results) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path + ": cannot be opened";
    std::string line;
    if (!std::getline(in, line) || line + "\n" != kelvora::SweepHeader())
        return path + ":1: not a sweep file (its first line is not the sweep header)";
    long long number = 1;
    kelvora::OneSweepPerConfiguration sources;
    while (std::getline(in, line)) {
        ++number;
        const auto row = kelvora::ParseSweepRow(line);
        if (!row) return path + ":" + std::to_string(number) + ": not a sweep row";
        if (const std::string mixed = sources.Add(*row); !mixed.empty())
            return path + ":" + std::to_string(number) + ": " + mixed;
        results.push_back(row->result);
    }
    if (results.empty()) return path + ": holds no runs";
    return {};
}

}  // namespace kelvora::ui
