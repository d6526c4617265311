#include "options.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "ga/baseline.h"
#include "session/numbers.h"
#include "session/sweep_plan.h"

namespace kelvora::cli {
namespace {

std::string Bad(const std::string& flag, const std::string& value, const std::string& expected) {
    return flag + ": " + Quoted(value) + " is not " + expected;
}

// A number flag's value read by its field: "" with the number stored, or the refusal.
template <class T>
std::string Number(const session::NumberField& field, const std::string& value, T& out) {
    const auto v = session::ParseNumberField(field, value);
    if (!v) return Bad(field.flag, value, session::ExpectedText(field));
    out = static_cast<T>(*v);
    return {};
}

std::string Target(const std::string& value, CliOptions& options) {
    const auto xy = session::ParseTarget(value);
    if (!xy) return Bad("--target", value, session::ExpectedTargetText());
    options.targetX = xy->x;
    options.targetY = xy->y;
    return {};
}

}  // namespace

std::string ParseAlgorithmFlag(const std::string& flag, const std::string& value, Algorithm& algorithm) {
    std::string message;
    if (flag == "--algorithm") message = ParseMethod(value, algorithm);
    else if (flag == "--encoding") message = ParseEncoding(value, algorithm);
    else if (flag == "--selection") message = ParseSelection(value, algorithm);
    else if (flag == "--elitism") message = ParseElitism(value, algorithm);
    else if (flag == "--crossover-operator") message = ParseCrossover(value, algorithm);
    else message = ParseMutation(value, algorithm);
    if (message.empty()) return message;
    // The parsers quote the value as given; the message echoes it escaped, as every echo does.
    std::string quoted(1, '\'');
    quoted.append(value, 0, 80);
    quoted.push_back('\'');
    if (const auto at = message.find(quoted); at != std::string::npos) message.replace(at, quoted.size(), Quoted(value));
    return flag + ": " + message;
}

namespace {

// The --flush value.
std::string Flush(const std::string& value, FlushMode& flush) {
    if (value == "generation") flush = FlushMode::generation;
    else if (value == "line") flush = FlushMode::line;
    else return Bad("--flush", value, "'generation' or 'line'");
    return {};
}

// An operator count against the population, which may have come after it: the tournament size for
// --selection, the elite count for --elitism (the creep step has no bound from the population).
std::string CountsAgainstPopulation(const Algorithm& a, int population) {
    Algorithm selection;  // the selection alone, every other choice the classic one
    selection.selection = a.selection;
    selection.tournamentSize = a.tournamentSize;
    if (std::string invalid = ValidateAlgorithm(selection, population); !invalid.empty()) return "--selection: " + invalid;
    Algorithm elitism;
    elitism.elitism = a.elitism;
    if (std::string invalid = ValidateAlgorithm(elitism, population); !invalid.empty()) return "--elitism: " + invalid;
    return {};
}

}  // namespace

FlagTable RunFlags(CliOptions& o) {
    const auto number = [](const session::NumberField& field, auto& out) {
        return [&field, &out](const std::string& v) { return Number(field, v, out); };
    };
    const auto algorithm = [&o](const char* flag) {
        return [flag, &o](const std::string& v) { return ParseAlgorithmFlag(flag, v, o.algorithm); };
    };
    const auto on = [](bool& b, bool to) { return [&b, to](const std::string&) { b = to; return std::string(); }; };
    const auto range = [](const session::NumberField& field) { return session::RangeText(field); };
    const CliOptions defaults;
    const SolverParams& d = defaults.params;
    FlagTable table{
        {
            Flag{"--population", true, number(session::kPopulationField, o.params.populationSize)}.Describe(
                "N", "population size, " + range(session::kPopulationField), std::to_string(d.populationSize)),
            Flag{"--generations", true, number(session::kGenerationsField, o.params.generationCount)}.Describe(
                "G", "generation count, " + range(session::kGenerationsField), std::to_string(d.generationCount)),
            Flag{"--crossover", true, number(session::kCrossoverField, o.params.crossoverRate)}.Describe(
                "R", "crossover rate, " + range(session::kCrossoverField), ExactText(d.crossoverRate)),
            Flag{"--mutation", true, number(session::kMutationField, o.params.mutationProbability)}.Describe(
                "P",
                "mutation probability per gene, " + range(session::kMutationField) +
                    "; the draw is compared with <=, so even 0 changes about one gene in 32768, as it always has",
                ExactText(d.mutationProbability)),
            Flag{"--target", true, [&o](const std::string& v) { return Target(v, o); }}.Describe(
                "X,Y", "target relative to the base, x right, y up, each " + range(session::kTargetOffsetField),
                std::to_string(defaults.targetX) + "," + std::to_string(defaults.targetY)),
            Flag{"--seed", true,
                 [&o](const std::string& v) {
                     std::uint32_t seed = 0;
                     std::string error = Number(session::kSeedField, v, seed);
                     if (error.empty()) o.seed = seed;
                     return error;
                 }}
                .Describe("S", "generator seed, " + range(session::kSeedField), "a random seed, printed"),
            Flag{"--output-dir", true,
                 [&o](const std::string& v) {
                     o.outputDirectory = v;
                     return v.empty() ? std::string("--output-dir: the directory name is empty") : std::string();
                 }}
                .Describe("DIR", "where the files go, made with its parents when missing", "the current directory"),
            Flag{"--flush", true, [&o](const std::string& v) { return Flush(v, o.flush); }}.Describe(
                "MODE",
                "generation: a generation's lines reach results.csv in one write at its end (fast); line: each "
                "line as soon as it is complete; same bytes; fitness.csv is written at the run's end either way",
                "generation"),
            Flag{"--encoding", true, algorithm("--encoding")}.Describe(
                "E", "binary: the angle is the gene byte; gray: its Gray decoding", "binary"),
            Flag{"--selection", true, algorithm("--selection")}.Describe(
                "S", "roulette, tournament:K (K = 2..population) or rank", "roulette"),
            Flag{"--elitism", true, algorithm("--elitism")}.Describe(
                "E", "the E fittest pass on unchanged, 0..population - 1", "0"),
            Flag{"--crossover-operator", true, algorithm("--crossover-operator")}.Describe(
                "C", "one-point, two-point or uniform", "one-point"),
            Flag{"--mutation-operator", true, algorithm("--mutation-operator")}.Describe(
                "M", "bit-flip or creep:S, S = 1.." + std::to_string(kMaxCreepStep) + ": the angle moves by -S..S",
                "bit-flip"),
            Flag{"--algorithm", true, algorithm("--algorithm")}.Describe(
                "A",
                "ga: the genetic algorithm; random-search: every generation N fresh random poses, nothing "
                "inherited; or a baseline on the same budget: ccd, fabrik, jacobian-transpose, dls, de, pso, cmaes, "
                "simulated-annealing, one-plus-one, hill-climbing (the last two take --encoding, hill-climbing "
                "--mutation-operator too; the others no operator choice)",
                "ga"),
            Flag{"--trace", true,
                 [&o](const std::string& v) {
                     o.tracePath = v;
                     return v.empty() ? std::string("--trace: the file name is empty") : std::string();
                 }}
                .Describe("FILE",
                          "also write the run's trace: how each slot of every generation came to be (kind, parents, "
                          "crossover mask, genotype before and after mutation), one JSON line per generation of "
                          "about 75 bytes per individual (0.75 MB a generation at population 10000); the run is the "
                          "same with it or without; ga and random-search only (a baseline has no generations to "
                          "trace)"),
            Flag{"--trace-generations", true,
                 [&o](const std::string& v) {
                     const auto range = ParseRange(v, 0, kMaxGenerations - 1);
                     if (!range || range->first > range->second)
                         return Bad("--trace-generations", v, "A..B with 0 <= A <= B <= the generation count less one");
                     o.traceFirst = static_cast<int>(range->first);
                     o.traceLast = static_cast<int>(range->second);
                     o.traceGenerationsGiven = true;
                     return std::string();
                 }}
                .Describe("A..B",
                          "keep only generations A..B of the trace, counted from 0 (the first line, the initial "
                          "population, always)"),
            Flag{"--json", false, on(o.json, true)}.Describe(nullptr, "print the outcome as one JSON object"),
            Flag{"--quiet", false, on(o.quiet, true)}.Describe(nullptr, "no progress bar and no summary; errors only"),
            Flag{"--help", false, on(o.help, true), false, false, "-h"}.Describe(nullptr, "this text"),
            Flag{"--version", false, on(o.version, true)}.Describe(nullptr, "the program's version"),
            Flag{"--no-run-json", false, on(o.runJson, false)}.Describe(
                nullptr, "no run.json (seed, parameters, times, the files' SHA-256) beside them"),
        },
        "--help"};
    char about[512];
    std::snprintf(about, sizeof about,
                  "Solves the inverse kinematics of the three-link arm (links %g, %g, %g px) for a target by a\n"
                  "genetic algorithm and writes results.csv and fitness.csv. The operators' defaults are the\n"
                  "classic algorithm (see the README for their definitions).",
                  kLink1, kLink2, kLink3);
    table.text = {"kelvora-cli", "", about,
                  "Ctrl-C, SIGTERM or SIGHUP ends the run after the current generation with both files whole; a\n"
                  "second signal ends it at once, results.csv cut back to its last whole generation and\n"
                  "fitness.csv left as it is (empty unless the run had ended).\n"
                  "\n"
                  "Exit status: 0 done; 1 a result file could not be written, was deleted during the run, or is\n"
                  "being written by another run (then nothing runs), or standard output failed; 2 bad arguments;\n"
                  "130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP."};
    return table;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    result.error = ParseFlags(RunFlags(o), args).error;
    if (!result.error.empty()) return result;
    std::string& error = result.error;
    // A method that takes no operator choice would silently ignore one: refused.
    if (error = session::UntakenChoicesText(CheckTakenChoices(o.algorithm)); !error.empty()) return result;
    // A trace tells how each slot of a generation came to be; a baseline's blocks of evaluations have no slots.
    if (!o.tracePath.empty() && IsBaseline(o.algorithm.method)) {
        error = "--trace: the method '" + MethodName(o.algorithm) +
                "' has no generations to trace; only ga and random-search do";
        return result;
    }
    if (o.traceGenerationsGiven) {
        if (o.tracePath.empty()) error = "--trace-generations: needs --trace FILE";
        else if (o.traceLast >= o.params.generationCount)
            error = "--trace-generations: " + std::to_string(o.traceFirst) + ".." + std::to_string(o.traceLast) +
                    " is not within 0.." + std::to_string(o.params.generationCount - 1) +
                    " (the generations, counted from 0)";
        if (!error.empty()) return result;
    }
    result.error = CountsAgainstPopulation(o.algorithm, o.params.populationSize);
    return result;
}

}  // namespace kelvora::cli
