#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>
#include <utility>

namespace kelvora::cli {
namespace {

// "low..high", the numbers as printf's %g writes them ("0.001..1").
std::string NumberRange(double low, double high) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g..%g", low, high);
    return buffer;
}

std::string IntegerRange(long long low, long long high) { return std::to_string(low) + ".." + std::to_string(high); }

std::string Bad(const std::string& flag, const std::string& value, const std::string& expected) {
    return flag + ": " + Quoted(value) + " is not " + expected;
}

bool IntegerIn(const std::string& flag, const std::string& value, long long low, long long high,
               long long& out, std::string& error) {
    const auto v = ParseInteger(value);
    if (!v || *v < low || *v > high) {
        error = Bad(flag, value, "an integer in " + IntegerRange(low, high));
        return false;
    }
    out = *v;
    return true;
}

bool DoubleIn(const std::string& flag, const std::string& value, double low, double high, double& out,
              std::string& error) {
    const auto v = ParseFiniteDouble(value);
    if (!v || !(*v >= low && *v <= high)) {
        error = Bad(flag, value, "a number in " + NumberRange(low, high));
        return false;
    }
    out = *v;
    return true;
}

bool Target(const std::string& value, CliOptions& options, std::string& error) {
    const auto xy = ParseIntegerPair(value, ',');
    const auto inside = [](long long v) { return v >= -kMaxTargetOffset && v <= kMaxTargetOffset; };
    if (!xy || !inside(xy->first) || !inside(xy->second)) {
        error = Bad("--target", value, "X,Y with integers X and Y in " + IntegerRange(-kMaxTargetOffset, kMaxTargetOffset));
        return false;
    }
    options.targetX = static_cast<int>(xy->first);
    options.targetY = static_cast<int>(xy->second);
    return true;
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

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    std::string& error = result.error;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        auto [flag, value] = SplitFlag(args[i]);
        const bool isSwitch = flag == "--json" || flag == "--quiet" || flag == "--help" || flag == "-h" ||
                              flag == "--version" || flag == "--no-run-json";
        if (isSwitch) {
            if (value) {
                error = flag + " takes no value";
                break;
            }
            if (error = GivenTwice(seen, flag); !error.empty()) break;
            if (flag == "--no-run-json") o.runJson = false;
            if (flag == "--json") o.json = true;
            if (flag == "--quiet") o.quiet = true;
            if (flag == "--help" || flag == "-h") o.help = true;
            if (flag == "--version") o.version = true;
            continue;
        }
        const bool known = flag == "--population" || flag == "--generations" || flag == "--crossover" ||
                           flag == "--mutation" || flag == "--target" || flag == "--seed" || flag == "--output-dir" ||
                           flag == "--flush" || flag == "--encoding" || flag == "--selection" ||
                           flag == "--elitism" || flag == "--crossover-operator" || flag == "--mutation-operator" ||
                           flag == "--algorithm";
        if (!known) {
            error = UnknownArgument(args[i],
                                    {"--population", "--generations", "--crossover", "--mutation", "--target", "--seed",
                                     "--output-dir", "--flush", "--encoding", "--selection", "--elitism",
                                     "--crossover-operator", "--mutation-operator", "--algorithm", "--json", "--quiet",
                                     "--help", "--version", "--no-run-json"},
                                    "--help");
            break;
        }
        if (error = GivenTwice(seen, flag); !error.empty()) break;
        if (!value) {
            if (i + 1 >= args.size()) {
                error = flag + " needs a value";
                break;
            }
            value = args[++i];
        }
        long long n = 0;
        if (flag == "--population") {
            if (IntegerIn(flag, *value, kMinPopulation, kMaxPopulation, n, error)) o.params.populationSize = static_cast<int>(n);
        } else if (flag == "--generations") {
            if (IntegerIn(flag, *value, kMinGenerations, kMaxGenerations, n, error)) o.params.generationCount = static_cast<int>(n);
        } else if (flag == "--crossover") {
            DoubleIn(flag, *value, kMinCrossoverRate, kMaxCrossoverRate, o.params.crossoverRate, error);
        } else if (flag == "--mutation") {
            DoubleIn(flag, *value, kMinMutationProbability, kMaxMutationProbability, o.params.mutationProbability,
                     error);
        } else if (flag == "--target") {
            Target(*value, o, error);
        } else if (flag == "--seed") {
            if (IntegerIn(flag, *value, 0, std::numeric_limits<std::uint32_t>::max(), n, error))
                o.seed = static_cast<std::uint32_t>(n);
        } else if (flag == "--flush") {
            if (*value == "generation") o.flush = FlushMode::generation;
            else if (*value == "line") o.flush = FlushMode::line;
            else error = Bad(flag, *value, "'generation' or 'line'");
        } else if (flag == "--output-dir") {
            if (value->empty()) error = "--output-dir: the directory name is empty";
            o.outputDirectory = *value;
        } else {
            error = ParseAlgorithmFlag(flag, *value, o.algorithm);
        }
    }
    // A method that inherits nothing would silently ignore an operator choice: refused.
    if (error.empty()) error = UntakenChoices(o.algorithm);
    if (error.empty()) {
        // The counts against the population, which may have come after them.
        const std::string invalid = ValidateAlgorithm(o.algorithm, o.params.populationSize);
        if (!invalid.empty()) {
            const bool tournament = invalid.rfind("tournament", 0) == 0;
            const bool elitism = invalid.rfind("elitism", 0) == 0;
            error = std::string(tournament ? "--selection" : elitism ? "--elitism" : "--mutation-operator") + ": " +
                    invalid;
        }
    }
    return result;
}

std::string UsageText() {
    const CliOptions defaults;
    const SolverParams& d = defaults.params;
    char text[6144];
    std::snprintf(
        text, sizeof text,
        "Usage: kelvora-cli [options]\n"
        "       kelvora-cli inspect FILE [--json]\n"
        "       kelvora-cli optimum --target X,Y [--json]\n"
        "       kelvora-cli reach-map --output FILE [--plain]\n"
        "       kelvora-cli sweep --seeds A..B [options]\n"
        "       kelvora-cli ecdf SWEEP.csv [--x generations|evaluations] [--epsilon E] [--output FILE]\n"
        "Solves the inverse kinematics of the three-link arm (links %g, %g, %g px) for a target by a\n"
        "genetic algorithm and writes results.csv and fitness.csv. The subcommand optimum prints the best\n"
        "of all whole-degree poses for a target; reach-map writes the best distance for every target of\n"
        "the plot as a PNG figure or, for a name ending in .csv, as x,y,distance lines (see their --help).\n"
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
        "                     random poses, nothing inherited (a baseline; takes no operator choices)\n"
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
        "Subcommands: kelvora-cli sweep --help, kelvora-cli sweep-merge --help, kelvora-cli ecdf --help.\n"
        "\n"
        "Exit status: 0 done; 1 a result file could not be written, was deleted during the run, or is\n"
        "being written by another run (then nothing runs), or standard output failed; 2 bad arguments;\n"
        "130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP.\n",
        kLink1, kLink2, kLink3, IntegerRange(kMinPopulation, kMaxPopulation).c_str(), d.populationSize,
        IntegerRange(kMinGenerations, kMaxGenerations).c_str(), d.generationCount,
        NumberRange(kMinCrossoverRate, kMaxCrossoverRate).c_str(), d.crossoverRate,
        NumberRange(kMinMutationProbability, kMaxMutationProbability).c_str(), d.mutationProbability,
        IntegerRange(-kMaxTargetOffset, kMaxTargetOffset).c_str(), defaults.targetX, defaults.targetY,
        std::numeric_limits<std::uint32_t>::max(), kMaxCreepStep);
    return text;
}

}  // namespace kelvora::cli
