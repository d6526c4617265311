#include "session/sweep_plan.h"

#include <algorithm>

#include "session/numbers.h"

namespace kelvora::session {
namespace {

template <class T, class Spell>
SweepPlanFault CheckList(const NumberField& field, const std::vector<T>& values, Spell spell) {
    if (values.empty()) return {SweepPlanFault::empty, field.flag, {}, {}, {}};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!InRange(field, static_cast<double>(values[i])))
            return {SweepPlanFault::outOfRange, field.flag, spell(values[i]), RangeText(field), {}};
        for (std::size_t j = 0; j < i; ++j)
            if (values[i] == values[j]) return {SweepPlanFault::twice, field.flag, spell(values[i]), {}, {}};
    }
    return {};
}

// Each list's parser, in kAlgorithmFlags' order.
using ChoiceParser = std::string (*)(std::string_view, Algorithm&);
constexpr ChoiceParser kChoiceParsers[] = {ParseMethod, ParseEncoding, ParseSelection, ParseElitism, ParseCrossover,
                                           ParseMutation};

}  // namespace

SweepChoices ClassicSweepChoices() {
    return {{{"ga"}, {"binary"}, {"roulette"}, {"0"}, {"one-point"}, {"bit-flip"}}};
}

std::string SweepAlgorithms(const SweepChoices& c, int smallest, std::vector<Algorithm>& algorithms) {
    std::vector<Method> methods;
    for (const std::string& name : c[0]) {
        Algorithm m;
        (void)ParseMethod(name, m);
        methods.push_back(m.method);
    }
    const auto anyTakes = [&](std::size_t which) {
        return std::any_of(methods.begin(), methods.end(), [which](Method m) {
            return which == 1 ? TakesEncoding(m) : which == 5 ? TakesMutation(m) : TakesSelection(m);
        });
    };
    for (std::size_t which = 1; which < kAlgorithmFlags.size(); ++which) {
        for (const std::string& item : c[which]) {
            Algorithm one;
            (void)kChoiceParsers[which](item, one);
            if (!anyTakes(which) && !one.classic()) {
                if (methods.size() == 1 && methods[0] == Method::randomSearch)
                    return std::string(kAlgorithmFlags[which]) + ": '" + item +
                           "' does not apply to --algorithm random-search, which takes no operator choices";
                return std::string(kAlgorithmFlags[which]) + ": '" + item + "' does not apply to any method --algorithm lists";
            }
            if (const std::string invalid = ValidateAlgorithm(one, smallest); !invalid.empty())
                return std::string(kAlgorithmFlags[which]) + ": " + invalid + " for --population " + std::to_string(smallest);
        }
    }
    const std::vector<std::string> classic{"binary"}, roulette{"roulette"}, none{"0"}, onePoint{"one-point"},
        bitFlip{"bit-flip"};
    algorithms.clear();
    for (const Method method : methods) {
        const bool ga = TakesSelection(method);
        for (const std::string& encoding : TakesEncoding(method) ? c[1] : classic)
            for (const std::string& selection : ga ? c[2] : roulette)
                for (const std::string& elitism : ga ? c[3] : none)
                    for (const std::string& crossover : ga ? c[4] : onePoint)
                        for (const std::string& mutation : TakesMutation(method) ? c[5] : bitFlip) {
                            Algorithm algorithm;
                            algorithm.method = method;
                            (void)ParseEncoding(encoding, algorithm);
                            (void)ParseSelection(selection, algorithm);
                            (void)ParseElitism(elitism, algorithm);
                            (void)ParseCrossover(crossover, algorithm);
                            (void)ParseMutation(mutation, algorithm);
                            algorithms.push_back(algorithm);
                        }
    }
    return {};
}

std::string UntakenChoicesText(const UntakenFault& f) {
    if (!f) return {};
    Algorithm method;
    method.method = f.method;
    const std::string given = " (" + AlgorithmSummary(f.given) + " given); leave out ";
    const std::string name = "--algorithm " + MethodName(method);
    switch (f.kind) {
    case UntakenFault::any:
        return name + " takes no operator choices" + given +
               "--encoding, --selection, --elitism, --crossover-operator and --mutation-operator";
    case UntakenFault::allButEncoding:
        return name + " takes only --encoding" + given + "--selection, --elitism, --crossover-operator and --mutation-operator";
    default:
        return name + " takes only --encoding and --mutation-operator" + given + "--selection, --elitism and --crossover-operator";
    }
}

SweepPlanFault CheckSweepPlan(const SweepPlan& plan) {
    if (plan.algorithms.empty()) return {SweepPlanFault::empty, "--algorithm", {}, {}, {}};
    if (!plan.populations.empty()) {
        const int smallest = *std::min_element(plan.populations.begin(), plan.populations.end());
        for (const Algorithm& a : plan.algorithms)
            if (const AlgorithmFault bad = CheckAlgorithm(a, std::max(smallest, kMinPopulation)))
                return {SweepPlanFault::algorithm, "--population", std::to_string(smallest), {}, bad};
    }
    const auto integer = [](int v) { return std::to_string(v); };
    const auto real = [](double v) { return NumberText(v); };
    if (auto f = CheckList(kPopulationField, plan.populations, integer)) return f;
    if (auto f = CheckList(kGenerationsField, plan.generations, integer)) return f;
    if (auto f = CheckList(kCrossoverField, plan.crossovers, real)) return f;
    if (auto f = CheckList(kMutationField, plan.mutations, real)) return f;
    if (plan.targets.empty()) return {SweepPlanFault::empty, "--target", {}, {}, {}};
    for (std::size_t i = 0; i < plan.targets.size(); ++i) {
        const SweepTarget& t = plan.targets[i];
        const std::string spelled = std::to_string(t.x) + "," + std::to_string(t.y);
        if (!InRange(kTargetOffsetField, t.x) || !InRange(kTargetOffsetField, t.y))
            return {SweepPlanFault::outOfRange, "--target", spelled, RangeText(kTargetOffsetField), {}};
        for (std::size_t j = 0; j < i; ++j)
            if (plan.targets[j] == t) return {SweepPlanFault::twice, "--target", spelled, {}, {}};
    }
    if (plan.seeds.empty()) return {SweepPlanFault::empty, "--seeds", {}, {}, {}};
    if (static_cast<long long>(plan.seeds.size()) > kMaxSweepSeeds)
        return {SweepPlanFault::tooMany, "--seeds", std::to_string(plan.seeds.size()), {}, {}};
    // Ranges given in order are already strictly increasing: no copy of a long list then.
    if (!std::is_sorted(plan.seeds.begin(), plan.seeds.end(), std::less_equal<>())) {
        std::vector<std::uint32_t> sorted = plan.seeds;
        std::sort(sorted.begin(), sorted.end());
        const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
        if (twice != sorted.end()) return {SweepPlanFault::twice, "--seeds", std::to_string(*twice), {}, {}};
    }
    if (!InRange(kEpsilonField, plan.epsilon))
        return {SweepPlanFault::outOfRange, "--epsilon", NumberText(plan.epsilon), RangeText(kEpsilonField), {}};
    return {};
}

std::string SweepPlanFaultText(const SweepPlanFault& f) {
    switch (f.kind) {
    case SweepPlanFault::none: return {};
    case SweepPlanFault::empty: return f.flag + ": the list is empty";
    case SweepPlanFault::outOfRange: {
        if (f.flag == kTargetOffsetField.flag) return f.flag + ": '" + f.value + "' is not " + ExpectedTargetText();
        for (const NumberField* field : {&kPopulationField, &kGenerationsField, &kCrossoverField, &kMutationField, &kEpsilonField})
            if (f.flag == field->flag) return f.flag + ": '" + f.value + "' is not " + ExpectedText(*field);
        return f.flag + ": '" + f.value + "' is not in " + f.range;
    }
    case SweepPlanFault::twice:
        if (f.flag == "--seeds") return "--seeds: seed " + f.value + " is listed twice";
        if (f.flag == "--target") return "--target: '" + f.value + "' is given twice";
        return f.flag + ": '" + f.value + "' is listed twice";
    case SweepPlanFault::tooMany:
        return "--seeds: " + f.value + " seeds are more than " + std::to_string(kMaxSweepSeeds);
    case SweepPlanFault::algorithm: return AlgorithmFaultText(f.algorithmFault) + " for --population " + f.value;
    }
    return {};
}

}  // namespace kelvora::session
