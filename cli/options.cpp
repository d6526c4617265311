#include "options.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "ga/baseline.h"
#include "session/numbers.h"

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
    return FlagTable{
        {
            {"--population", true, number(session::kPopulationField, o.params.populationSize)},
            {"--generations", true, number(session::kGenerationsField, o.params.generationCount)},
            {"--crossover", true, number(session::kCrossoverField, o.params.crossoverRate)},
            {"--mutation", true, number(session::kMutationField, o.params.mutationProbability)},
            {"--target", true, [&o](const std::string& v) { return Target(v, o); }},
            {"--seed", true,
             [&o](const std::string& v) {
                 std::uint32_t seed = 0;
                 std::string error = Number(session::kSeedField, v, seed);
                 if (error.empty()) o.seed = seed;
                 return error;
             }},
            {"--output-dir", true,
             [&o](const std::string& v) {
                 o.outputDirectory = v;
                 return v.empty() ? std::string("--output-dir: the directory name is empty") : std::string();
             }},
            {"--flush", true, [&o](const std::string& v) { return Flush(v, o.flush); }},
            {"--encoding", true, algorithm("--encoding")},
            {"--selection", true, algorithm("--selection")},
            {"--elitism", true, algorithm("--elitism")},
            {"--crossover-operator", true, algorithm("--crossover-operator")},
            {"--mutation-operator", true, algorithm("--mutation-operator")},
            {"--algorithm", true, algorithm("--algorithm")},
            {"--trace", true,
             [&o](const std::string& v) {
                 o.tracePath = v;
                 return v.empty() ? std::string("--trace: the file name is empty") : std::string();
             }},
            {"--trace-generations", true,
             [&o](const std::string& v) {
                 const auto range = ParseRange(v, 0, kMaxGenerations - 1);
                 if (!range || range->first > range->second)
                     return Bad("--trace-generations", v, "A..B with 0 <= A <= B <= the generation count less one");
                 o.traceFirst = static_cast<int>(range->first);
                 o.traceLast = static_cast<int>(range->second);
                 o.traceGenerationsGiven = true;
                 return std::string();
             }},
            {"--json", false, on(o.json, true)},
            {"--quiet", false, on(o.quiet, true)},
            {"--help", false, on(o.help, true), false, false, "-h"},
            {"--version", false, on(o.version, true)},
            {"--no-run-json", false, on(o.runJson, false)},
        },
        "--help"};
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    result.error = ParseFlags(RunFlags(o), args).error;
    if (!result.error.empty()) return result;
    std::string& error = result.error;
    // A method that takes no operator choice would silently ignore one: refused.
    if (error = UntakenChoices(o.algorithm); !error.empty()) return result;
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

std::string UsageText() {
    const CliOptions defaults;
    const SolverParams& d = defaults.params;
    char text[8192];
    std::snprintf(
        text, sizeof text,
        "Usage: kelvora-cli [options]\n"
        "       kelvora-cli inspect FILE [--json]\n"
        "       kelvora-cli optimum --target X,Y [--json]\n"
        "       kelvora-cli reach-map --output FILE [--plain]\n"
        "       kelvora-cli landscape --target X,Y [--neighbourhood LIST] [--json]\n"
        "       kelvora-cli landscape-map --output FILE [--neighbourhood N] [--step PX]\n"
        "       kelvora-cli sweep --seeds A..B [options]\n"
        "       kelvora-cli ecdf SWEEP.csv [--x generations|evaluations] [--epsilon E] [--output FILE]\n"
        "       kelvora-cli diversity RESULTS.csv [--encoding binary|gray] [--output FILE]\n"
        "       kelvora-cli compare SWEEP.csv [--baseline LABEL|all] [--epsilon E] [--alpha A] [--json]\n"
        "Solves the inverse kinematics of the three-link arm (links %g, %g, %g px) for a target by a\n"
        "genetic algorithm and writes results.csv and fitness.csv. The subcommand optimum prints the best\n"
        "of all whole-degree poses for a target; reach-map writes the best distance for every target of\n"
        "the plot as a PNG figure or, for a name ending in .csv, as x,y,distance lines; landscape counts\n"
        "a target's local optima and steepest-ascent basins exactly, landscape-map does so across the\n"
        "plot (see their --help).\n"
        "\n"
        "  --population N     population size, %s (default %d)\n"
        "  --generations G    generation count, %s (default %d)\n"
        "  --crossover R      crossover rate, %s (default %g)\n"
        "  --mutation P       mutation probability per gene, %s (default %g); the draw is compared\n"
        "                     with <=, so even 0 changes about one gene in 32768, as it always has\n"
        "  --target X,Y       target relative to the base, x right, y up, each %s (default %d,%d)\n"
        "  --seed S           generator seed, 0..%u (default: a random seed, printed)\n"
        "  --output-dir DIR   where the files go, made with its parents when missing (default: the\n"
        "                     current directory)\n"
        "  --no-run-json      no run.json (seed, parameters, times, the files' SHA-256) beside them\n"
        "  --flush MODE       generation: a generation's lines reach results.csv in one write at its\n"
        "                     end (default, fast); line: each line as soon as it is complete; same bytes;\n"
        "                     fitness.csv is written at the run's end either way\n"
        "  --algorithm A      ga: the genetic algorithm (default); random-search: every generation N fresh\n"
        "                     random poses, nothing inherited; or a baseline on the same budget: ccd,\n"
        "                     fabrik, jacobian-transpose, dls, de, pso, cmaes, simulated-annealing,\n"
        "                     one-plus-one, hill-climbing (the last two take --encoding, hill-climbing\n"
        "                     --mutation-operator too; the others no operator choice)\n"
        "  --trace FILE       also write the run's trace: how each slot of every generation came to be\n"
        "                     (kind, parents, crossover mask, genotype before and after mutation), one\n"
        "                     JSON line per generation of about 75 bytes per individual (0.75 MB a\n"
        "                     generation at population 10000); the run is the same with it or without;\n"
        "                     ga and random-search only (a baseline has no generations to trace)\n"
        "  --trace-generations A..B\n"
        "                     keep only generations A..B of the trace, counted from 0 (the first line,\n"
        "                     the initial population, always)\n"
        "  --json             print the outcome as one JSON object\n"
        "  --quiet            no progress bar and no summary; errors only\n"
        "  --help             this text\n"
        "  --version          the program's version\n"
        "\n"
        "The operators (the defaults are the classic algorithm; see the README for their definitions):\n"
        "  --encoding E       binary: the angle is the gene byte; gray: its Gray decoding (default binary)\n"
        "  --selection S      roulette, tournament:K (K = 2..population) or rank (default roulette)\n"
        "  --elitism E        the E fittest pass on unchanged, 0..population - 1 (default 0)\n"
        "  --crossover-operator C\n"
        "                     one-point, two-point or uniform (default one-point)\n"
        "  --mutation-operator M\n"
        "                     bit-flip or creep:S, S = 1..%d: the angle moves by -S..S (default bit-flip)\n"
        "\n"
        "inspect checks a results.csv line for line and prints its population, generations, whether\n"
        "it is complete, the target it was run for, the elite and the optimum for that target; a\n"
        "malformed file gets exit status 2 and its first bad line on stderr.\n"
        "\n"
        "Ctrl-C, SIGTERM or SIGHUP ends the run after the current generation with both files whole; a\n"
        "second signal ends it at once, results.csv cut back to its last whole generation and\n"
        "fitness.csv left as it is (empty unless the run had ended).\n"
        "\n"
        "Subcommands: kelvora-cli sweep --help, kelvora-cli sweep-merge --help, kelvora-cli ecdf --help,\n"
        "kelvora-cli diversity --help, kelvora-cli compare --help.\n"
        "\n"
        "Exit status: 0 done; 1 a result file could not be written, was deleted during the run, or is\n"
        "being written by another run (then nothing runs), or standard output failed; 2 bad arguments;\n"
        "130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP.\n",
        kLink1, kLink2, kLink3, session::RangeText(session::kPopulationField).c_str(), d.populationSize,
        session::RangeText(session::kGenerationsField).c_str(), d.generationCount,
        session::RangeText(session::kCrossoverField).c_str(), d.crossoverRate,
        session::RangeText(session::kMutationField).c_str(), d.mutationProbability,
        session::RangeText(session::kTargetOffsetField).c_str(), defaults.targetX, defaults.targetY,
        std::numeric_limits<std::uint32_t>::max(), kMaxCreepStep);
    return text;
}

}  // namespace kelvora::cli
