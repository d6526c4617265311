#include "batch/sweep_table.h"

#include <cstdio>
#include <limits>

#include "model/text.h"

namespace kelvora {
namespace {

constexpr const char* kColumns =
    "seed,population,generations,crossover,mutation,algorithm,encoding,selection,elitism,crossover_operator,"
    "mutation_operator,target_x,target_y,elite_a1,elite_a2,elite_a3,"
    "elite_distance,optimum_distance,gap,reached_optimum,first_generation_at_optimum,"
    "first_generation_within_epsilon,run,runs,sweep";
// Written after the columns above since the files have said the epsilon their rows were measured at.
constexpr const char* kEpsilonColumn = ",epsilon";

std::string Generation(int g) { return g > 0 ? std::to_string(g) : std::string(); }

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

}  // namespace

std::vector<std::string> AlgorithmFields(const Algorithm& a) {
    // A method's columns for the choices it does not take hold the classic spellings.
    const Algorithm shown = Canonical(a);
    return {MethodName(shown),   EncodingName(shown),  SelectionName(shown),
            ElitismName(shown),  CrossoverName(shown), MutationName(shown)};
}

std::string AlgorithmColumns(const Algorithm& a) {
    std::string text;
    for (const std::string& field : AlgorithmFields(a)) text += (text.empty() ? "" : ",") + field;
    return text;
}

namespace {

// The six algorithm columns of a row back into an algorithm; nullopt unless they are spelled as
// AlgorithmColumns spells them ("tournament:03", or random search with operator choices, is not a row).
std::optional<Algorithm> ParseAlgorithmColumns(const std::string* columns) {
    Algorithm a;
    if (!ParseMethod(columns[0], a).empty() || !ParseEncoding(columns[1], a).empty() ||
        !ParseSelection(columns[2], a).empty() || !ParseElitism(columns[3], a).empty() ||
        !ParseCrossover(columns[4], a).empty() || !ParseMutation(columns[5], a).empty())
        return std::nullopt;
    const std::vector<std::string> spelled = AlgorithmFields(a);
    for (std::size_t i = 0; i < spelled.size(); ++i)
        if (spelled[i] != columns[i]) return std::nullopt;
    return a;
}

}  // namespace

std::string SweepHeader() { return std::string(kColumns) + kEpsilonColumn + "\n"; }

std::string SweepHeaderWithoutEpsilon() { return std::string(kColumns) + "\n"; }

std::string SweepFingerprint(const SweepPlan& plan) {
    // FNV-1a, 64 bits, of "kelvora-sweep-1" and one item per value, hashed as it is made: a sweep of
    // 10^8 seeds would otherwise spell a gigabyte of text first.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    auto hashText = [&hash](const std::string& text) {
        for (unsigned char c : text) {
            hash ^= c;
            hash *= 0x100000001b3ULL;
        }
    };
    std::string item;
    auto add = [&](char kind, const std::string& value) {
        item.assign(1, kind);
        item += value;
        item += ';';
        hashText(item);
    };
    hashText("kelvora-sweep-1");
    // The classic algorithm alone hashes nothing for it, so such a sweep keeps the fingerprint it
    // had before sweeps took algorithms.
    if (plan.algorithms.size() != 1 || !plan.algorithms[0].classic())
        for (const Algorithm& a : plan.algorithms) add('a', AlgorithmColumns(a));
    for (int p : plan.populations) add('p', std::to_string(p));
    for (int g : plan.generations) add('g', std::to_string(g));
    for (double c : plan.crossovers) add('c', ExactText(c));
    for (double m : plan.mutations) add('m', ExactText(m));
    for (const SweepTarget& t : plan.targets) add('t', std::to_string(t.x) + ',' + std::to_string(t.y));
    for (std::uint32_t s : plan.seeds) add('s', std::to_string(s));
    add('e', ExactText(plan.epsilon));
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

std::string SweepRow(const SweepResult& r, long long index, long long runs, const std::string& fingerprint,
                     std::optional<double> epsilon) {
    const SweepCombination& c = r.combination;
    std::string row;
    row.reserve(160);
    auto field = [&row](const std::string& text) {
        row += text;
        row += ',';
    };
    field(std::to_string(c.seed));
    field(std::to_string(c.params.populationSize));
    field(std::to_string(c.params.generationCount));
    field(ExactText(c.params.crossoverRate));
    field(ExactText(c.params.mutationProbability));
    field(AlgorithmColumns(c.algorithm));
    field(std::to_string(c.target.x));
    field(std::to_string(c.target.y));
    field(std::to_string(r.elitePose.a1));
    field(std::to_string(r.elitePose.a2));
    field(std::to_string(r.elitePose.a3));
    field(ExactText(r.eliteDistance));
    field(ExactText(r.optimumDistance));
    field(ExactText(r.eliteDistance - r.optimumDistance));
    field(r.reachedOptimum() ? "true" : "false");
    field(Generation(r.firstGenerationAtOptimum));
    field(Generation(r.firstGenerationWithinEpsilon));
    field(std::to_string(index + 1));
    field(std::to_string(runs));
    row += fingerprint;
    if (epsilon) {
        row += ',';
        row += ExactText(*epsilon);
    }
    row += '\n';
    return row;
}

std::optional<ParsedSweepRow> ParseSweepRow(const std::string& line) {
    const std::vector<std::string> f = Split(line);
    if (f.size() != 25 && f.size() != 26) return std::nullopt;
    ParsedSweepRow p;
    SweepResult& r = p.result;
    auto integer = [&f](int i, long long low, long long high, auto& out) {
        const auto v = ParseInteger(f[static_cast<std::size_t>(i)]);
        if (!v || *v < low || *v > high) return false;
        out = static_cast<std::remove_reference_t<decltype(out)>>(*v);
        return true;
    };
    // Each value within the range its flag takes; distances are never negative.
    auto real = [&f](int i, double low, double high, double& out) {
        const auto v = ParseFiniteDouble(f[static_cast<std::size_t>(i)]);
        if (!v || !(*v >= low && *v <= high)) return false;
        out = *v;
        return true;
    };
    constexpr double kAnyDistance = std::numeric_limits<double>::max();
    auto generation = [&f](int i, int& out) {
        if (f[static_cast<std::size_t>(i)].empty()) {
            out = 0;
            return true;
        }
        const auto v = ParseInteger(f[static_cast<std::size_t>(i)]);
        if (!v || *v < 1 || *v > kMaxGenerations) return false;
        out = static_cast<int>(*v);
        return true;
    };
    SweepCombination& c = r.combination;
    double gap = 0.0;
    const bool ok = integer(0, 0, 0xFFFFFFFFLL, c.seed) && integer(1, kMinPopulation, kMaxPopulation, c.params.populationSize) &&
                    integer(2, kMinGenerations, kMaxGenerations, c.params.generationCount) &&
                    real(3, kMinCrossoverRate, kMaxCrossoverRate, c.params.crossoverRate) &&
                    real(4, kMinMutationProbability, kMaxMutationProbability, c.params.mutationProbability) &&
                    integer(11, -kMaxTargetOffset, kMaxTargetOffset, c.target.x) &&
                    integer(12, -kMaxTargetOffset, kMaxTargetOffset, c.target.y) && integer(13, 0, 255, r.elitePose.a1) &&
                    integer(14, 0, 255, r.elitePose.a2) && integer(15, 0, 255, r.elitePose.a3) &&
                    real(16, 0.0, kAnyDistance, r.eliteDistance) && real(17, 0.0, kAnyDistance, r.optimumDistance) &&
                    real(18, -kAnyDistance, kAnyDistance, gap) &&
                    (f[19] == "true" || f[19] == "false") && generation(20, r.firstGenerationAtOptimum) &&
                    generation(21, r.firstGenerationWithinEpsilon) && integer(22, 1, 1LL << 62, p.run) &&
                    integer(23, 1, 1LL << 62, p.runs) && f[24].size() == 16 && p.run <= p.runs &&
                    (f[19] == "true") == (r.firstGenerationAtOptimum > 0) &&
                    r.firstGenerationAtOptimum <= c.params.generationCount &&
                    r.firstGenerationWithinEpsilon <= c.params.generationCount;
    if (!ok) return std::nullopt;
    const auto algorithm = ParseAlgorithmColumns(&f[5]);
    if (!algorithm || !ValidateAlgorithm(*algorithm, c.params.populationSize).empty()) return std::nullopt;
    c.algorithm = *algorithm;
    p.fingerprint = f[24];
    if (f.size() == 26) {
        const auto epsilon = ParseFiniteDouble(f[25]);
        if (!epsilon || !(*epsilon > 0.0 && *epsilon <= kMaxEpsilon)) return std::nullopt;
        p.epsilon = *epsilon;
    }
    return p;
}

bool SameConfiguration(const SweepCombination& a, const SweepCombination& b) {
    return a.params.populationSize == b.params.populationSize && a.params.generationCount == b.params.generationCount &&
           a.params.crossoverRate == b.params.crossoverRate &&
           a.params.mutationProbability == b.params.mutationProbability && a.algorithm == b.algorithm;
}

std::string OneSweepPerConfiguration::Add(const ParsedSweepRow& row) {
    const SweepCombination& c = row.result.combination;
    // Rows come grouped by configuration, so the last one seen is nearly always the one.
    for (auto it = seen_.rbegin(); it != seen_.rend(); ++it) {
        if (!SameConfiguration(it->first, c)) continue;
        if (it->second == row.fingerprint) return {};
        return "the row is of sweep " + row.fingerprint + ", the rows of its configuration before it of sweep " +
               it->second + " (a configuration's runs must come from one sweep)";
    }
    seen_.emplace_back(c, row.fingerprint);
    return {};
}

std::string SummaryCsv(const std::vector<SweepSummaryRow>& rows) {
    std::string out =
        "population,generations,crossover,mutation,algorithm,encoding,selection,elitism,crossover_operator,"
        "mutation_operator,runs,"
        "reached_optimum,reached_optimum_rate,reached_optimum_low95,reached_optimum_high95,"
        "within_epsilon,within_epsilon_rate,within_epsilon_low95,within_epsilon_high95,"
        "elite_distance_median,elite_distance_q1,elite_distance_q3,elite_distance_iqr,"
        "first_generation_within_epsilon_median,first_generation_within_epsilon_q1,"
        "first_generation_within_epsilon_q3,first_generation_within_epsilon_iqr,first_generation_within_epsilon_runs,"
        "ert_evaluations\n";
    auto quartiles = [](const Quartiles& q) {
        if (q.count == 0) return std::string(",,,");
        return ExactText(q.median) + "," + ExactText(q.q1) + "," + ExactText(q.q3) + "," + ExactText(q.iqr());
    };
    auto proportion = [](const Proportion& p) {
        return std::to_string(p.successes) + "," + ExactText(p.rate) + "," + ExactText(p.low) + "," + ExactText(p.high);
    };
    for (const SweepSummaryRow& r : rows) {
        out += std::to_string(r.params.populationSize) + "," + std::to_string(r.params.generationCount) + "," +
               ExactText(r.params.crossoverRate) + "," + ExactText(r.params.mutationProbability) + "," +
               AlgorithmColumns(r.algorithm) + "," + std::to_string(r.runs) + "," + proportion(r.reached) + "," +
               proportion(r.withinEpsilon) + "," + quartiles(r.eliteDistance) + "," + quartiles(r.firstWithinEpsilon) +
               "," + std::to_string(r.firstWithinEpsilon.count) + "," + ExactText(r.ertEvaluations) + "\n";
    }
    return out;
}

}  // namespace kelvora
