#include "experiment/experiment_file.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "batch/sweep_table.h"
#include "flags/flags.h"
#include "model/text.h"
#include "session/labels.h"
#include "session/lines.h"
#include "session/numbers.h"
#include "session/sweep_plan.h"
#include "session/sweep_targets.h"

namespace kelvora::experiment {

const std::array<const char*, kParameterCount> kParameterNames = {
    "population", "generations", "crossover", "mutation", "algorithm", "encoding", "selection", "elitism",
    "crossover_operator", "mutation_operator"};

namespace {

using Json = nlohmann::json;
using flags::Quoted;

// The largest file read: an experiment is a page of text, a seed list of integers at most a few MB.
constexpr std::size_t kLongestFile = 64u << 20;

// The number fields of the four numeric parameters, in Parameter order.
const session::NumberField* const kNumberFields[] = {&session::kPopulationField, &session::kGenerationsField,
                                                     &session::kCrossoverField, &session::kMutationField};

// The arm the program solves: the only "problem" there is so far.
constexpr int kLinks[] = {60, 100, 40};

// A value as the file writes it, for messages: JSON, cut to 60 characters.
std::string Shown(const Json& value) {
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return text;
}

ExperimentFault Fault(ExperimentFault::Kind kind, std::string path = {}, std::string value = {}, std::string expected = {},
                      std::string detail = {}, ListFault list = {}) {
    ExperimentFault f;
    f.kind = kind;
    f.path = std::move(path);
    f.value = std::move(value);
    f.expected = std::move(expected);
    f.detail = std::move(detail);
    f.listFault = std::move(list);
    return f;
}

ExperimentFault WrongType(const std::string& path, const Json& value, const std::string& expected) {
    return Fault(ExperimentFault::wrongType, path, Shown(value), expected);
}

bool IsInteger(const Json& v) { return v.is_number_integer() || v.is_number_unsigned(); }

// A JSON number as a double: integers of any size, floating values as they are.
double NumberOf(const Json& v) {
    if (v.is_number_unsigned()) return static_cast<double>(v.get<std::uint64_t>());
    if (v.is_number_integer()) return static_cast<double>(v.get<std::int64_t>());
    return v.get<double>();
}

// A number held to a field's range, with the path in the fault.
ExperimentFault NumberIn(const std::string& path, const Json& v, const session::NumberField& field, double& out) {
    if (!v.is_number() || (field.integer && !IsInteger(v)))
        return WrongType(path, v, field.integer ? "an integer" : "a number");
    const double x = NumberOf(v);
    if (!session::InRange(field, x)) return Fault(ExperimentFault::outOfRange, path, Shown(v), session::RangeText(field));
    out = x;
    return {};
}

// One value of a parameter, checked on its own (the algorithm's counts against their own ranges;
// against the population once the configuration is whole) and spelled as its column spells it.
ExperimentFault ParameterValue(const std::string& path, int p, const Json& v, std::string& text) {
    if (p <= mutation) {
        double x = 0;
        if (ExperimentFault fault = NumberIn(path, v, *kNumberFields[p], x)) return fault;
        text = p <= generations ? std::to_string(static_cast<long long>(x)) : ExactText(x);
        return {};
    }
    if (p == elitism) {
        if (!IsInteger(v)) return WrongType(path, v, "an integer");
        const double x = NumberOf(v);
        if (x < 0 || x > kMaxPopulation - 1)
            return Fault(ExperimentFault::outOfRange, path, Shown(v), "0.." + std::to_string(kMaxPopulation - 1));
        text = std::to_string(static_cast<long long>(x));
        return {};
    }
    if (!v.is_string()) return WrongType(path, v, "text");
    using Parser = std::string (*)(std::string_view, Algorithm&);
    static constexpr Parser kParsers[] = {ParseMethod, ParseEncoding, ParseSelection, nullptr, ParseCrossover, ParseMutation};
    Algorithm a;
    const std::string spelled = v.get<std::string>();
    if (std::string error = kParsers[p - algorithm](spelled, a); !error.empty())
        return Fault(ExperimentFault::badValue, path, Shown(v), {}, error);
    const std::string names[] = {MethodName(a), EncodingName(a), SelectionName(a), {}, CrossoverName(a), MutationName(a)};
    text = names[p - algorithm];
    return {};
}

ExperimentFault ReadConfiguration(const std::string& path, const Json& entry, ExperimentConfiguration& out) {
    if (!entry.is_object()) return WrongType(path, entry, "an object");
    for (const auto& item : entry.items()) {
        const std::string& key = item.key();
        const Json& value = item.value();
        const std::string at = path + "." + key;
        if (key == "label") {
            if (!value.is_string()) return WrongType(at, value, "text");
            out.label = value.get<std::string>();
            continue;
        }
        const auto name = std::find_if(kParameterNames.begin(), kParameterNames.end(),
                                       [&key](const char* n) { return key == n; });
        if (name == kParameterNames.end()) return Fault(ExperimentFault::unknownKey, at);
        const int p = static_cast<int>(name - kParameterNames.begin());
        ParameterValues& values = out.parameters[static_cast<std::size_t>(p)];
        values.list = value.is_array();
        const Json items = values.list ? value : Json::array({value});
        if (items.empty()) return Fault(ExperimentFault::wrongType, at, "[]", "a value or a list of values");
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string itemPath = values.list ? at + "[" + std::to_string(i) + "]" : at;
            std::string text;
            if (ExperimentFault fault = ParameterValue(itemPath, p, items[i], text)) return fault;
            if (std::find(values.values.begin(), values.values.end(), text) != values.values.end())
                return Fault(ExperimentFault::sameConfiguration, itemPath, Shown(items[i]), {}, "listed twice");
            values.values.push_back(std::move(text));
        }
    }
    return {};
}

ExperimentFault ReadSeeds(const Json& v, Experiment& e) {
    if (v.is_string()) {
        e.seedsAsList = false;
        if (ListFault fault = ParseSeedList(v.get<std::string>(), e.seeds))
            return Fault(ExperimentFault::list, "seeds", Shown(v), {}, {}, fault);
        return {};
    }
    if (!v.is_array()) return WrongType("seeds", v, "text such as \"1..100\" or a list of integers");
    std::vector<long long> seeds;
    seeds.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!IsInteger(v[i])) return WrongType("seeds[" + std::to_string(i) + "]", v[i], "an integer");
        const double x = NumberOf(v[i]);
        if (x < 0 || x > 4294967295.0)
            return Fault(ExperimentFault::outOfRange, "seeds[" + std::to_string(i) + "]", Shown(v[i]), "0..4294967295");
        seeds.push_back(static_cast<long long>(x));
    }
    e.seedsAsList = true;
    if (ListFault fault = SeedListOf(seeds, e.seeds)) return Fault(ExperimentFault::list, "seeds", {}, {}, {}, fault);
    return {};
}

ExperimentFault ReadTargets(const Json& v, TargetList& list) {
    if (!v.is_array()) return WrongType("targets", v, "a list of [x, y] pairs and \"random:K\"");
    if (v.empty()) return Fault(ExperimentFault::list, "targets", "[]", {}, {}, {ListFault::empty, {}});
    for (std::size_t i = 0; i < v.size(); ++i) {
        const std::string path = "targets[" + std::to_string(i) + "]";
        const Json& item = v[i];
        std::string text;
        if (item.is_string()) {
            text = item.get<std::string>();
            if (text.rfind("random", 0) != 0) return WrongType(path, item, "[x, y] or \"random:K\"");
        } else if (item.is_array() && item.size() == 2 && IsInteger(item[0]) && IsInteger(item[1])) {
            for (const Json& xy : item)
                if (std::abs(NumberOf(xy)) > kMaxTargetOffset)
                    return Fault(ExperimentFault::outOfRange, path, Shown(item), session::RangeText(session::kTargetOffsetField));
            text = std::to_string(item[0].get<long long>()) + "," + std::to_string(item[1].get<long long>());
        } else {
            return WrongType(path, item, "[x, y] with integers x and y, or \"random:K\"");
        }
        if (ListFault fault = AddTargetItem(text, list)) return Fault(ExperimentFault::list, path, Shown(item), {}, {}, fault);
    }
    return {};
}

ExperimentFault ReadProblem(const Json& v) {
    if (!v.is_object()) return WrongType("problem", v, "an object");
    for (const auto& [key, value] : v.items())
        if (key != "links") return Fault(ExperimentFault::unknownKey, "problem." + key);
    const auto links = v.find("links");
    if (links == v.end()) return Fault(ExperimentFault::missing, "problem.links");
    if (*links != Json::array({kLinks[0], kLinks[1], kLinks[2]})) return Fault(ExperimentFault::problem, "problem.links", Shown(*links));
    return {};
}

// The JSON text of a string: quoted and escaped, UTF-8 kept, bytes that are no UTF-8 replaced.
std::string JsonString(const std::string& text) { return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string ParameterJson(int p, const std::string& value) {
    return p <= mutation || p == elitism ? value : JsonString(value);
}

// Expands one entry into its configurations: every combination of its values, the later key faster.
ExperimentFault ExpandEntry(const Experiment& e, std::size_t index, std::vector<PlannedConfiguration>& out) {
    const ExperimentConfiguration& entry = e.configurations[index];
    const std::string path = "configurations[" + std::to_string(index) + "]";
    std::array<std::size_t, kParameterCount> at{};
    const std::size_t first = out.size();
    for (;;) {
        // Defaults first, then each value as the command line takes it.
        PlannedConfiguration c;
        c.entry = index;
        std::string varied;
        for (int p = 0; p < kParameterCount; ++p) {
            const ParameterValues& values = entry.parameters[static_cast<std::size_t>(p)];
            if (values.values.empty()) continue;
            const std::string& v = values.values[at[static_cast<std::size_t>(p)]];
            if (values.values.size() > 1) varied += std::string(varied.empty() ? "" : ", ") + kParameterNames[p] + "=" + v;
            switch (p) {
            case population: c.params.populationSize = static_cast<int>(*ParseInteger(v)); break;
            case generations: c.params.generationCount = static_cast<int>(*ParseInteger(v)); break;
            case crossover: c.params.crossoverRate = *ParseFiniteDouble(v); break;
            case mutation: c.params.mutationProbability = *ParseFiniteDouble(v); break;
            case algorithm: (void)ParseMethod(v, c.algorithm); break;
            case encoding: (void)ParseEncoding(v, c.algorithm); break;
            case selection: (void)ParseSelection(v, c.algorithm); break;
            case elitism: (void)ParseElitism(v, c.algorithm); break;
            case crossoverOperator: (void)ParseCrossover(v, c.algorithm); break;
            case mutationOperator: (void)ParseMutation(v, c.algorithm); break;
            default: break;
            }
        }
        if (const AlgorithmFault fault = CheckAlgorithm(c.algorithm, c.params.populationSize)) {
            ExperimentFault f = Fault(ExperimentFault::algorithm, path);
            f.algorithmFault = fault;
            return f;
        }
        if (entry.label) c.label = varied.empty() ? *entry.label : *entry.label + " " + varied;
        // Random search takes no operator choices: its combinations with them are one configuration.
        const bool again = std::any_of(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(), [&c](const auto& o) {
            return o.algorithm == c.algorithm && o.params.populationSize == c.params.populationSize &&
                   o.params.generationCount == c.params.generationCount && o.params.crossoverRate == c.params.crossoverRate &&
                   o.params.mutationProbability == c.params.mutationProbability;
        });
        if (!again) out.push_back(std::move(c));
        // The next combination: the last key with several values varies fastest.
        int p = kParameterCount - 1;
        for (; p >= 0; --p) {
            const std::size_t size = entry.parameters[static_cast<std::size_t>(p)].values.size();
            if (size > 1 && ++at[static_cast<std::size_t>(p)] < size) break;
            at[static_cast<std::size_t>(p)] = 0;
        }
        if (p < 0) return {};
    }
}

}  // namespace

std::string ExperimentFaultText(const ExperimentFault& f) {
    const std::string at = f.path.empty() ? std::string() : f.path + ": ";
    switch (f.kind) {
    case ExperimentFault::none: return {};
    case ExperimentFault::unreadable: return "cannot read: " + f.detail;
    case ExperimentFault::notJson: return "not JSON (" + f.detail + ")";
    case ExperimentFault::notExperiment:
        return "not an experiment file (no \"format\": \"" + std::string(kFormat) + "\")";
    case ExperimentFault::version:
        return "version: " + f.value + " is not a version this program reads (" + std::to_string(kVersion) + ")";
    case ExperimentFault::unknownKey: return f.path + ": unknown key";
    case ExperimentFault::missing: return f.path + ": missing (it is required)";
    case ExperimentFault::wrongType: return at + f.value + " is not " + f.expected;
    case ExperimentFault::outOfRange: return at + f.value + " is outside " + f.expected;
    case ExperimentFault::badValue: return at + f.detail;
    case ExperimentFault::algorithm: return at + AlgorithmFaultText(f.algorithmFault);
    case ExperimentFault::list: return ListFaultText(f.listFault, f.path);
    case ExperimentFault::problem:
        return at + f.value + " is not [60, 100, 40] (the only arm solved so far)";
    case ExperimentFault::sameConfiguration:
        return at + (f.detail.empty() ? "the same configuration as " + f.value : f.value + " is " + f.detail);
    case ExperimentFault::sameLabel: return at + "the label " + Quoted(f.value) + " names two configurations";
    case ExperimentFault::noBaseline: return at + Quoted(f.value) + " is not the label of a configuration, nor \"all\"";
    }
    return {};
}

ExperimentFault ParseExperiment(std::string_view text, Experiment& experiment) {
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::parse_error& error) {
        return Fault(ExperimentFault::notJson, {}, {}, {}, "at byte " + std::to_string(error.byte));
    }
    if (!json.is_object() || !json.contains("format") || json["format"] != kFormat)
        return Fault(ExperimentFault::notExperiment);
    Experiment e;
    bool seedsGiven = false;
    for (const auto& [key, value] : json.items()) {
        if (key == "format") continue;
        if (key == "version") {
            if (!IsInteger(value)) return WrongType("version", value, "an integer");
            if (NumberOf(value) != kVersion) return Fault(ExperimentFault::version, "version", Shown(value));
        } else if (key == "title" || key == "notes") {
            if (!value.is_string()) return WrongType(key, value, "text");
            (key == "title" ? e.title : e.notes) = value.get<std::string>();
        } else if (key == "configurations") {
            if (!value.is_array() || value.empty()) return WrongType(key, value, "a list of one configuration or more");
            e.configurations.resize(value.size());
            for (std::size_t i = 0; i < value.size(); ++i)
                if (ExperimentFault fault = ReadConfiguration("configurations[" + std::to_string(i) + "]", value[i], e.configurations[i]))
                    return fault;
        } else if (key == "seeds") {
            if (ExperimentFault fault = ReadSeeds(value, e)) return fault;
            seedsGiven = true;
        } else if (key == "targets") {
            TargetList list;
            if (ExperimentFault fault = ReadTargets(value, list)) return fault;
            e.targets = std::move(list);
        } else if (key == "target_seed") {
            double seed = 0;
            if (ExperimentFault fault = NumberIn(key, value, session::kSeedField, seed)) return fault;
            e.targetSeed = static_cast<std::uint32_t>(seed);
        } else if (key == "epsilon") {
            double x = 0;
            if (ExperimentFault fault = NumberIn(key, value, session::kEpsilonField, x)) return fault;
            e.epsilon = x;
        } else if (key == "alpha") {
            if (!value.is_number()) return WrongType(key, value, "a number");
            const double x = NumberOf(value);
            if (!(x > 0 && x < 1)) return Fault(ExperimentFault::outOfRange, key, Shown(value), "(0, 1)");
            e.alpha = x;
        } else if (key == "baseline") {
            if (!value.is_string()) return WrongType(key, value, "text (a configuration's label or \"all\")");
            e.baseline = value.get<std::string>();
        } else if (key == "problem") {
            if (ExperimentFault fault = ReadProblem(value)) return fault;
            e.problemGiven = true;
        } else {
            return Fault(ExperimentFault::unknownKey, key);
        }
    }
    if (!json.contains("version")) return Fault(ExperimentFault::missing, "version");
    if (e.configurations.empty()) return Fault(ExperimentFault::missing, "configurations");
    if (!seedsGiven) return Fault(ExperimentFault::missing, "seeds");
    // As on the command line, a seed of draws without draws is a slip, not a choice.
    if (e.targetSeed && (!e.targets || e.targets->randomCount == 0))
        return Fault(ExperimentFault::badValue, "target_seed", {}, {}, "given without a \"random:K\" among the targets");
    experiment = std::move(e);
    return {};
}

ExperimentFault ReadExperimentFile(const std::string& path, Experiment& experiment) {
    std::string text;
    bool tooLong = false;
    const std::string reason = session::ReadFileLines(path, kLongestFile, [&](std::string_view line, session::LineEnd end) {
        if (end == session::LineEnd::tooLong || text.size() + line.size() >= kLongestFile) {
            tooLong = true;
            return false;
        }
        text.append(line);
        if (end == session::LineEnd::lf) text.push_back('\n');
        return true;
    });
    if (!reason.empty()) return Fault(ExperimentFault::unreadable, {}, {}, {}, reason);
    if (tooLong) return Fault(ExperimentFault::unreadable, {}, {}, {}, "larger than 64 MiB, no experiment file");
    return ParseExperiment(text, experiment);
}

std::string ExperimentText(const Experiment& e) {
    std::string out = "{\n  \"format\": \"" + std::string(kFormat) + "\",\n  \"version\": " + std::to_string(kVersion);
    const auto member = [&out](const char* key, const std::string& json) { out += ",\n  \"" + std::string(key) + "\": " + json; };
    if (e.title) member("title", JsonString(*e.title));
    if (e.notes) member("notes", JsonString(*e.notes));
    std::string list = "[";
    for (std::size_t i = 0; i < e.configurations.size(); ++i) {
        const ExperimentConfiguration& c = e.configurations[i];
        std::string entry;
        const auto add = [&entry](const std::string& key, const std::string& json) {
            entry += (entry.empty() ? "" : ", ") + JsonString(key) + ": " + json;
        };
        if (c.label) add("label", JsonString(*c.label));
        for (int p = 0; p < kParameterCount; ++p) {
            const ParameterValues& values = c.parameters[static_cast<std::size_t>(p)];
            if (values.values.empty()) continue;
            std::string json;
            for (const std::string& v : values.values) json += (json.empty() ? "" : ", ") + ParameterJson(p, v);
            add(kParameterNames[p], values.list || values.values.size() > 1 ? "[" + json + "]" : json);
        }
        list += (i ? ",\n    {" : "\n    {") + entry + "}";
    }
    member("configurations", list + "\n  ]");
    if (e.seedsAsList) {
        std::string seeds;
        for (const std::uint32_t s : e.seeds.seeds()) seeds += (seeds.empty() ? "" : ", ") + std::to_string(s);
        member("seeds", "[" + seeds + "]");
    } else {
        member("seeds", JsonString(SeedListText(e.seeds)));
    }
    if (e.targets) {
        std::string targets;
        for (const SweepTarget& t : e.targets->given)
            targets += (targets.empty() ? "[" : ", [") + std::to_string(t.x) + ", " + std::to_string(t.y) + "]";
        if (e.targets->randomCount > 0)
            targets += (targets.empty() ? "\"random:" : ", \"random:") + std::to_string(e.targets->randomCount) + "\"";
        member("targets", "[" + targets + "]");
    }
    if (e.targetSeed) member("target_seed", std::to_string(*e.targetSeed));
    if (e.epsilon) member("epsilon", ExactText(*e.epsilon));
    if (e.alpha) member("alpha", ExactText(*e.alpha));
    if (e.baseline) member("baseline", JsonString(*e.baseline));
    if (e.problemGiven) member("problem", "{\"links\": [60, 100, 40]}");
    return out + "\n}\n";
}

SweepPlan ExperimentPlan::SweepOf(std::size_t k) const {
    SweepPlan plan;
    const PlannedConfiguration& c = configurations[k];
    plan.algorithms = {c.algorithm};
    plan.populations = {c.params.populationSize};
    plan.generations = {c.params.generationCount};
    plan.crossovers = {c.params.crossoverRate};
    plan.mutations = {c.params.mutationProbability};
    plan.targets = targets;
    plan.seeds = seeds.seeds();
    plan.epsilon = epsilon;
    return plan;
}

ExperimentFault PlanExperiment(const Experiment& e, ExperimentPlan& plan) {
    ExperimentPlan p;
    for (std::size_t i = 0; i < e.configurations.size(); ++i) {
        const std::size_t before = p.configurations.size();
        if (ExperimentFault fault = ExpandEntry(e, i, p.configurations)) return fault;
        // No configuration twice across entries: its rows would be run, and counted, twice.
        for (std::size_t k = before; k < p.configurations.size(); ++k)
            for (std::size_t j = 0; j < before; ++j) {
                const PlannedConfiguration& a = p.configurations[j];
                const PlannedConfiguration& b = p.configurations[k];
                if (a.algorithm == b.algorithm && a.params.populationSize == b.params.populationSize &&
                    a.params.generationCount == b.params.generationCount && a.params.crossoverRate == b.params.crossoverRate &&
                    a.params.mutationProbability == b.params.mutationProbability)
                    return Fault(ExperimentFault::sameConfiguration, "configurations[" + std::to_string(i) + "]",
                            "configurations[" + std::to_string(a.entry) + "]");
            }
    }
    // The short labels of what sets the configurations apart name those the file does not.
    std::vector<SweepCombination> combinations;
    for (const PlannedConfiguration& c : p.configurations) combinations.push_back({c.params, {}, 0, c.algorithm});
    const std::vector<std::string> labels = session::DifferingLabels(combinations);
    for (std::size_t k = 0; k < p.configurations.size(); ++k) {
        PlannedConfiguration& c = p.configurations[k];
        if (!e.configurations[c.entry].label) c.label = labels[k];
        for (std::size_t j = 0; j < k; ++j)
            if (p.configurations[j].label == c.label)
                return Fault(ExperimentFault::sameLabel, "configurations[" + std::to_string(c.entry) + "].label", c.label);
    }
    p.seeds = e.seeds;
    if (!e.targets) {
        p.targets = {{kOpeningTargetX, kOpeningTargetY}};
    } else {
        TargetList targets = *e.targets;
        targets.randomSeed = e.targetSeed.value_or(session::kDefaultTargetSeed);
        if (ListFault fault = ResolveTargets(targets, p.targets)) return Fault(ExperimentFault::list, "targets", {}, {}, {}, fault);
    }
    p.epsilon = e.epsilon.value_or(0.5);
    p.alpha = e.alpha.value_or(0.05);
    if (e.baseline) {
        p.baseline = *e.baseline;
        const bool known = p.baseline == "all" || std::any_of(p.configurations.begin(), p.configurations.end(),
                                                              [&p](const auto& c) { return c.label == p.baseline; });
        if (!known) return Fault(ExperimentFault::noBaseline, "baseline", p.baseline);
    }
    // Each configuration's sweep within the limits kelvora-cli sweep holds its plans to.
    for (std::size_t k = 0; k < p.configurations.size(); ++k) {
        SweepPlan sweep = p.SweepOf(k);
        sweep.seeds = {0};  // the seeds were checked as they were read; a stand-in keeps this cheap
        if (const session::SweepPlanFault fault = session::CheckSweepPlan(sweep))
            return Fault(ExperimentFault::badValue, "configurations[" + std::to_string(p.configurations[k].entry) + "]", {}, {},
                    session::SweepPlanFaultText(fault));
    }
    plan = std::move(p);
    return {};
}

Experiment ExperimentOf(const std::vector<PlannedConfiguration>& configurations, const std::vector<SweepTarget>& targets,
                        const SeedList& seeds, double epsilon) {
    Experiment e;
    const Algorithm classic;
    for (const PlannedConfiguration& c : configurations) {
        ExperimentConfiguration entry;
        if (!c.label.empty()) entry.label = c.label;
        const auto set = [&entry](int p, std::string value) { entry.parameters[static_cast<std::size_t>(p)].values = {std::move(value)}; };
        set(population, std::to_string(c.params.populationSize));
        set(generations, std::to_string(c.params.generationCount));
        set(crossover, ExactText(c.params.crossoverRate));
        set(mutation, ExactText(c.params.mutationProbability));
        const std::vector<std::string> fields = AlgorithmFields(c.algorithm);
        const std::vector<std::string> defaults = AlgorithmFields(classic);
        for (int p = algorithm; p < kParameterCount; ++p)
            if (fields[static_cast<std::size_t>(p - algorithm)] != defaults[static_cast<std::size_t>(p - algorithm)])
                set(p, fields[static_cast<std::size_t>(p - algorithm)]);
        e.configurations.push_back(std::move(entry));
    }
    e.seeds = seeds;
    e.targets = TargetList{targets, 0, session::kDefaultTargetSeed};
    e.epsilon = epsilon;
    return e;
}

}  // namespace kelvora::experiment
