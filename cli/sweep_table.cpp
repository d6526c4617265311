#include "sweep_table.h"

#include <cstdio>

#include "options.h"

namespace kelvora::cli {
namespace {

constexpr const char* kColumns =
    "seed,population,generations,crossover,mutation,target_x,target_y,elite_a1,elite_a2,elite_a3,"
    "elite_distance,optimum_distance,gap,reached_optimum,first_generation_at_optimum,"
    "first_generation_within_epsilon,run,runs,sweep";

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

std::string SweepHeader() { return std::string(kColumns) + "\n"; }

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

std::string SweepRow(const SweepResult& r, long long index, long long runs, const std::string& fingerprint) {
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
    row += '\n';
    return row;
}

std::optional<ParsedSweepRow> ParseSweepRow(const std::string& line) {
    const std::vector<std::string> f = Split(line);
    if (f.size() != 19) return std::nullopt;
    ParsedSweepRow p;
    SweepResult& r = p.result;
    auto integer = [&f](int i, long long low, long long high, auto& out) {
        const auto v = ParseInteger(f[static_cast<std::size_t>(i)]);
        if (!v || *v < low || *v > high) return false;
        out = static_cast<std::remove_reference_t<decltype(out)>>(*v);
        return true;
    };
    auto real = [&f](int i, double& out) {
        const auto v = ParseFiniteDouble(f[static_cast<std::size_t>(i)]);
        if (v) out = *v;
        return v.has_value();
    };
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
                    real(3, c.params.crossoverRate) && real(4, c.params.mutationProbability) &&
                    integer(5, -kMaxTargetOffset, kMaxTargetOffset, c.target.x) &&
                    integer(6, -kMaxTargetOffset, kMaxTargetOffset, c.target.y) && integer(7, 0, 255, r.elitePose.a1) &&
                    integer(8, 0, 255, r.elitePose.a2) && integer(9, 0, 255, r.elitePose.a3) &&
                    real(10, r.eliteDistance) && real(11, r.optimumDistance) && real(12, gap) &&
                    (f[13] == "true" || f[13] == "false") && generation(14, r.firstGenerationAtOptimum) &&
                    generation(15, r.firstGenerationWithinEpsilon) && integer(16, 1, 1LL << 62, p.run) &&
                    integer(17, 1, 1LL << 62, p.runs) && f[18].size() == 16 && p.run <= p.runs &&
                    (f[13] == "true") == (r.firstGenerationAtOptimum > 0);
    if (!ok) return std::nullopt;
    p.fingerprint = f[18];
    return p;
}

std::string SummaryCsv(const std::vector<SweepSummaryRow>& rows) {
    std::string out =
        "population,generations,crossover,mutation,runs,"
        "reached_optimum,reached_optimum_rate,reached_optimum_low95,reached_optimum_high95,"
        "within_epsilon,within_epsilon_rate,within_epsilon_low95,within_epsilon_high95,"
        "elite_distance_median,elite_distance_q1,elite_distance_q3,elite_distance_iqr,"
        "first_generation_within_epsilon_median,first_generation_within_epsilon_q1,"
        "first_generation_within_epsilon_q3,first_generation_within_epsilon_iqr\n";
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
               std::to_string(r.runs) + "," + proportion(r.reached) + "," + proportion(r.withinEpsilon) + "," +
               quartiles(r.eliteDistance) + "," + quartiles(r.firstWithinEpsilon) + "\n";
    }
    return out;
}

std::string SummaryText(const std::vector<SweepSummaryRow>& rows, double epsilon) {
    std::string out;
    char line[512];
    std::snprintf(line, sizeof line, "%10s %11s %9s %8s %6s  %-24s  %-24s  %-26s  %s\n", "population", "generations",
                  "crossover", "mutation", "runs", "reached optimum (95% CI)",
                  ("within " + ExactText(epsilon) + " px (95% CI)").c_str(), "elite distance median [IQR]",
                  "first gen within median [IQR]");
    out += line;
    auto percent = [](const Proportion& p) {
        char b[64];
        std::snprintf(b, sizeof b, "%5.1f%% [%5.1f, %5.1f]", 100.0 * p.rate, 100.0 * p.low, 100.0 * p.high);
        return std::string(b);
    };
    for (const SweepSummaryRow& r : rows) {
        char distance[64];
        std::snprintf(distance, sizeof distance, "%.4g [%.4g]", r.eliteDistance.median, r.eliteDistance.iqr());
        char first[64] = "-";
        if (r.firstWithinEpsilon.count > 0)
            std::snprintf(first, sizeof first, "%g [%g]", r.firstWithinEpsilon.median, r.firstWithinEpsilon.iqr());
        std::snprintf(line, sizeof line, "%10d %11d %9g %8g %6lld  %-24s  %-24s  %-26s  %s\n", r.params.populationSize,
                      r.params.generationCount, r.params.crossoverRate, r.params.mutationProbability, r.runs,
                      percent(r.reached).c_str(), percent(r.withinEpsilon).c_str(), distance, first);
        out += line;
    }
    return out;
}

}  // namespace kelvora::cli
