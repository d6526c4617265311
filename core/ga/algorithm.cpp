#include "ga/algorithm.h"

#include <charconv>

#include "model/types.h"

namespace kelvora {
namespace {

// A whole decimal number of at most six digits, nothing else.
bool ParseCount(std::string_view text, int& value) {
    if (text.empty() || text.size() > 6) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && text[0] != '-' && text[0] != '+';
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '\'');
    quoted.append(text.substr(0, 80));
    quoted.push_back('\'');
    return quoted;
}

// "name:N" with name the given prefix: the count N, or false.
bool ParseSuffixCount(std::string_view text, std::string_view name, int& count) {
    if (text.size() <= name.size() + 1 || text.substr(0, name.size()) != name || text[name.size()] != ':') return false;
    return ParseCount(text.substr(name.size() + 1), count);
}

}  // namespace

namespace {

struct MethodSpelling {
    Method method;
    const char* name;
};

constexpr MethodSpelling kMethodNames[] = {
    {Method::geneticAlgorithm, "ga"},
    {Method::randomSearch, "random-search"},
    {Method::ccd, "ccd"},
    {Method::fabrik, "fabrik"},
    {Method::jacobianTranspose, "jacobian-transpose"},
    {Method::dampedLeastSquares, "dls"},
    {Method::differentialEvolution, "de"},
    {Method::particleSwarm, "pso"},
    {Method::cmaEs, "cmaes"},
    {Method::simulatedAnnealing, "simulated-annealing"},
    {Method::onePlusOne, "one-plus-one"},
    {Method::hillClimbing, "hill-climbing"},
};

}  // namespace

std::string MethodName(const Algorithm& a) {
    for (const MethodSpelling& m : kMethodNames)
        if (m.method == a.method) return m.name;
    return "ga";
}

bool TakesEncoding(Method m) {
    return m == Method::geneticAlgorithm || m == Method::onePlusOne || m == Method::hillClimbing;
}
bool TakesMutation(Method m) { return m == Method::geneticAlgorithm || m == Method::hillClimbing; }
bool TakesSelection(Method m) { return m == Method::geneticAlgorithm; }

Algorithm Canonical(const Algorithm& a) {
    Algorithm c = a;
    const Algorithm classic;
    if (!TakesEncoding(a.method)) c.encoding = classic.encoding;
    if (!TakesMutation(a.method)) {
        c.mutation = classic.mutation;
        c.creepStep = classic.creepStep;
    }
    if (!TakesSelection(a.method)) {
        c.selection = classic.selection;
        c.tournamentSize = classic.tournamentSize;
        c.elitism = classic.elitism;
        c.crossover = classic.crossover;
    }
    return c;
}

UntakenFault CheckTakenChoices(const Algorithm& a) {
    Algorithm untaken = a;
    untaken.method = Method::geneticAlgorithm;
    const Algorithm classic;
    if (TakesEncoding(a.method)) untaken.encoding = classic.encoding;
    if (TakesMutation(a.method)) untaken.mutation = classic.mutation;
    if (TakesSelection(a.method) || untaken.classic()) return {};
    const UntakenFault::Kind kind = !TakesEncoding(a.method)  ? UntakenFault::any
                                    : !TakesMutation(a.method) ? UntakenFault::allButEncoding
                                                               : UntakenFault::allButEncodingAndMutation;
    return {kind, a.method, untaken};
}

std::string EncodingName(const Algorithm& a) { return a.encoding == Encoding::gray ? "gray" : "binary"; }

std::string SelectionName(const Algorithm& a) {
    switch (a.selection) {
    case Selection::tournament: return "tournament:" + std::to_string(a.tournamentSize);
    case Selection::rank: return "rank";
    default: return "roulette";
    }
}

std::string ElitismName(const Algorithm& a) { return std::to_string(a.elitism); }

std::string CrossoverName(const Algorithm& a) {
    switch (a.crossover) {
    case CrossoverOperator::twoPoint: return "two-point";
    case CrossoverOperator::uniform: return "uniform";
    default: return "one-point";
    }
}

std::string MutationName(const Algorithm& a) {
    return a.mutation == MutationOperator::creep ? "creep:" + std::to_string(a.creepStep) : "bit-flip";
}

std::vector<AlgorithmPart> AlgorithmParts(const Algorithm& given) {
    const Algorithm a = Canonical(given);
    if (a.method == Method::randomSearch) return {{AlgorithmPart::randomSearch}};
    std::vector<AlgorithmPart> parts;
    if (a.method != Method::geneticAlgorithm) parts.push_back({AlgorithmPart::method, static_cast<int>(a.method)});
    if (a.encoding == Encoding::gray) parts.push_back({AlgorithmPart::gray});
    if (a.selection == Selection::tournament) parts.push_back({AlgorithmPart::tournament, a.tournamentSize});
    if (a.selection == Selection::rank) parts.push_back({AlgorithmPart::rank});
    if (a.elitism != 0) parts.push_back({AlgorithmPart::elitism, a.elitism});
    if (a.crossover == CrossoverOperator::twoPoint) parts.push_back({AlgorithmPart::twoPoint});
    if (a.crossover == CrossoverOperator::uniform) parts.push_back({AlgorithmPart::uniform});
    if (a.mutation == MutationOperator::creep) parts.push_back({AlgorithmPart::creep, a.creepStep});
    return parts;
}

std::string AlgorithmSummary(const Algorithm& given) {
    const Algorithm a = Canonical(given);
    std::string text;
    for (const AlgorithmPart& part : AlgorithmParts(a)) {
        if (!text.empty()) text.append(", ");
        switch (part.kind) {
        case AlgorithmPart::randomSearch:
        case AlgorithmPart::method: text += MethodName(a); break;
        case AlgorithmPart::gray: text += EncodingName(a); break;
        case AlgorithmPart::tournament:
        case AlgorithmPart::rank: text += SelectionName(a); break;
        case AlgorithmPart::elitism: text += "elitism " + ElitismName(a); break;
        case AlgorithmPart::twoPoint:
        case AlgorithmPart::uniform: text += CrossoverName(a); break;
        case AlgorithmPart::creep: text += MutationName(a); break;
        }
    }
    return text.empty() ? "classic" : text;
}

std::string ParseMethod(std::string_view text, Algorithm& a) {
    std::string names;
    for (const MethodSpelling& m : kMethodNames) {
        if (text == m.name) {
            a.method = m.method;
            return {};
        }
        names += (names.empty() ? "" : ", ") + std::string(m.name);
    }
    return "algorithm " + Quoted(text) + " is not one of " + names;
}

std::string ParseEncoding(std::string_view text, Algorithm& a) {
    if (text == "binary") a.encoding = Encoding::binary;
    else if (text == "gray") a.encoding = Encoding::gray;
    else return "encoding " + Quoted(text) + " is not one of binary, gray";
    return {};
}

std::string ParseSelection(std::string_view text, Algorithm& a) {
    int k = 0;
    if (text == "roulette") {
        a.selection = Selection::roulette;
    } else if (text == "rank") {
        a.selection = Selection::rank;
    } else if (ParseSuffixCount(text, "tournament", k)) {
        if (k < 2 || k > kMaxPopulation)
            return "tournament size " + std::to_string(k) + " is outside 2.." + std::to_string(kMaxPopulation);
        a.selection = Selection::tournament;
        a.tournamentSize = k;
    } else {
        return "selection " + Quoted(text) + " is not one of roulette, tournament:K (K = 2..population), rank";
    }
    return {};
}

std::string ParseElitism(std::string_view text, Algorithm& a) {
    int e = 0;
    if (!ParseCount(text, e) || e >= kMaxPopulation)
        return "elitism " + Quoted(text) + " is not a whole number 0.." + std::to_string(kMaxPopulation - 1);
    a.elitism = e;
    return {};
}

std::string ParseCrossover(std::string_view text, Algorithm& a) {
    if (text == "one-point") a.crossover = CrossoverOperator::onePoint;
    else if (text == "two-point") a.crossover = CrossoverOperator::twoPoint;
    else if (text == "uniform") a.crossover = CrossoverOperator::uniform;
    else return "crossover operator " + Quoted(text) + " is not one of one-point, two-point, uniform";
    return {};
}

std::string ParseMutation(std::string_view text, Algorithm& a) {
    int s = 0;
    if (text == "bit-flip") {
        a.mutation = MutationOperator::bitFlip;
    } else if (ParseSuffixCount(text, "creep", s)) {
        if (s < 1 || s > kMaxCreepStep)
            return "creep step " + std::to_string(s) + " is outside 1.." + std::to_string(kMaxCreepStep);
        a.mutation = MutationOperator::creep;
        a.creepStep = s;
    } else {
        return "mutation operator " + Quoted(text) + " is not one of bit-flip, creep:S (S = 1.." +
               std::to_string(kMaxCreepStep) + ")";
    }
    return {};
}

AlgorithmFault CheckAlgorithm(const Algorithm& a, int populationSize) {
    const bool creep = TakesMutation(a.method) && a.mutation == MutationOperator::creep;
    if (TakesSelection(a.method)) {
        if (a.selection == Selection::tournament && (a.tournamentSize < 2 || a.tournamentSize > populationSize))
            return {AlgorithmFault::tournamentSize, a.tournamentSize, populationSize};
        if (a.elitism < 0 || a.elitism >= populationSize) return {AlgorithmFault::elitism, a.elitism, populationSize - 1};
    }
    if (creep && (a.creepStep < 1 || a.creepStep > kMaxCreepStep)) return {AlgorithmFault::creepStep, a.creepStep, kMaxCreepStep};
    return {};
}

std::string AlgorithmFaultText(const AlgorithmFault& f) {
    const std::string value = std::to_string(f.value), limit = std::to_string(f.limit);
    switch (f.kind) {
    case AlgorithmFault::tournamentSize: return "tournament size " + value + " is outside 2.." + limit + " (the population)";
    case AlgorithmFault::elitism: return "elitism " + value + " is outside 0.." + limit + " (the population less one)";
    case AlgorithmFault::creepStep: return "creep step " + value + " is outside 1.." + limit;
    default: return {};
    }
}

std::string ValidateAlgorithm(const Algorithm& a, int populationSize) {
    return AlgorithmFaultText(CheckAlgorithm(a, populationSize));
}

}  // namespace kelvora
