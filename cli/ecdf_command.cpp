// kelvora-cli ecdf: the run-length distribution of each configuration of a sweep CSV, from its rows;
// for another epsilon than the sweep's, from its runs made again from their seeds.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch/runlength.h"
#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "output.h"
#include "batch/sweep_table.h"
#include "signals.h"
#include "sweep_input.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

const char* const kUsage =
    "Usage: kelvora-cli ecdf SWEEP.csv [--x generations|evaluations] [--target epsilon|optimum]\n"
    "                        [--epsilon E] [--output FILE.csv]\n"
    "Writes the run-length distribution of each configuration of a sweep file (written by sweep or\n"
    "sweep-merge): for every generation g from 1 to the configuration's generation count, the runs\n"
    "whose first generation at the target is at most g, of all its runs (targets and seeds pooled),\n"
    "with the Wilson 95% interval. Nothing is run again, unless --epsilon asks for another epsilon.\n"
    "\n"
    "  --x generations      x is the generation g (default)\n"
    "  --x evaluations      x is g times the population\n"
    "  --target epsilon     a run is there at its first_generation_within_epsilon (default); the\n"
    "                       sweep's own epsilon is used, the one its --epsilon gave: the file records\n"
    "                       the first generation within that epsilon only\n"
    "  --epsilon E          a run is there at its first generation within E pixels (0 < E <= 1000):\n"
    "                       each row's run is made again from its seed, parameters, algorithm and\n"
    "                       target, on every core, and must end at the row's elite distance (else\n"
    "                       the row is named); a progress bar on a terminal; Ctrl-C stops, writing\n"
    "                       nothing. With the sweep's own epsilon the same curves as without\n"
    "  --target optimum     a run is there at its first_generation_at_optimum\n"
    "  --output FILE        write the CSV to FILE (default: standard output), locked and through\n"
    "                       FILE.part and a rename\n"
    "  --help               this text\n"
    "\n"
    "Columns: algorithm,population,generations,crossover,mutation,encoding,selection,elitism,\n"
    "crossover_operator,mutation_operator (the configuration, as the sweep file spells it), then\n"
    "x,runs,within,fraction,low,high. Configurations come in the order they first appear in the file;\n"
    "numbers are the shortest text that reads back exactly; lines end in LF. Rows of several sweeps\n"
    "may share the file when each configuration's rows come from one sweep.\n"
    "Exit status: 0 done, 1 the output could not be written, 2 bad arguments or a bad sweep file\n"
    "(FILE:LINE named).\n";

int Fail(const std::string& message) { return Refuse("ecdf", message); }

}  // namespace

int kelvora::cli::EcdfCommand(const std::vector<std::string>& args) {
    std::string input, output;
    bool evaluations = false, optimum = false;
    std::optional<double> epsilon;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        auto [flag, value] = SplitFlag(args[i]);
        if (flag == "--help" || flag == "-h") {
            std::fputs(kUsage, stdout);
            return FinishStdout();
        }
        if (flag == "--x" || flag == "--target" || flag == "--output" || flag == "--epsilon") {
            if (const std::string twice = GivenTwice(seen, flag); !twice.empty()) return Fail(twice);
            if (!value) {
                if (i + 1 >= args.size()) return Fail(flag + " needs a value");
                value = args[++i];
            }
            if (flag == "--x") {
                if (*value != "generations" && *value != "evaluations")
                    return Fail("--x: " + Quoted(*value) + " is not one of generations, evaluations");
                evaluations = *value == "evaluations";
            } else if (flag == "--target") {
                if (*value != "epsilon" && *value != "optimum")
                    return Fail("--target: " + Quoted(*value) + " is not one of epsilon, optimum");
                optimum = *value == "optimum";
            } else if (flag == "--epsilon") {
                epsilon = ParseFiniteDouble(*value);
                if (!epsilon || !(*epsilon > 0.0 && *epsilon <= 1000.0))
                    return Fail("--epsilon: " + Quoted(*value) + " is not a number of pixels in (0, 1000]");
            } else {
                if (value->empty()) return Fail("--output: the file name is empty");
                output = *value;
            }
        } else if (flag.size() > 1 && flag[0] == '-') {
            return Fail(UnknownArgument(args[i], {"--x", "--target", "--epsilon", "--output", "--help"}, "ecdf --help"));
        } else if (!input.empty()) {
            return Fail("one sweep file only, got " + Quoted(input) + " and " + Quoted(args[i]));
        } else {
            input = args[i];
        }
    }
    if (input.empty()) return Fail("no sweep file given (see ecdf --help)");
    if (epsilon && optimum) return Fail("--epsilon applies to --target epsilon, not to --target optimum");
    if (!output.empty() && SameFile({output, input}, 1).first >= 0)
        return Fail("--output names the sweep file itself, " + Quoted(output));

    OutputFile file;
    if (!output.empty()) {
        if (const std::string error = OpenOutput(output, file); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli ecdf: %s\n", error.c_str());
            return 1;
        }
    }
    const auto refuse = [&file](const std::string& message) {
        Abandon(file);
        return Fail(message);
    };

    // The rows a line at a time; each configuration's first generations, in file order.
    const std::string shown = Printable(input);
    std::vector<SweepCombination> configurations;
    std::vector<std::vector<int>> first;
    std::vector<Rerun> reruns;  // with --epsilon: every row, in file order
    const std::string error =
        ReadSweepConfigurations(input, configurations, [&](const ParsedSweepRow& row, long long line, std::size_t k) {
            if (k == first.size()) first.emplace_back();
            first[k].push_back(optimum ? row.result.firstGenerationAtOptimum : row.result.firstGenerationWithinEpsilon);
            if (epsilon) reruns.push_back({row.result.combination, row.result.eliteDistance, line, nullptr});
        });
    if (!error.empty()) return refuse(error);
    if (epsilon) {
        // Each row's slot, now that the configurations' lists no longer grow.
        std::vector<std::size_t> filled(configurations.size(), 0);
        for (Rerun& r : reruns) {
            std::size_t k = 0;
            while (!SameConfiguration(configurations[k], r.combination)) ++k;
            r.first = &first[k][filled[k]++];
        }
        InstallStopSignals();
        const long long bad = RerunWithin(reruns, *epsilon, true);
        if (StopFlag().load()) {
            Abandon(file);
            std::fprintf(stderr, "kelvora-cli ecdf: stopped by %s; nothing written\n", StopSignalName());
            return StopExitStatus();
        }
        if (bad >= 0)
            return refuse(shown + ":" + std::to_string(bad) +
                          ": the row's run, made again, does not end at its elite_distance (a file edited, or "
                          "written by another version)");
    }

    std::string text =
        "algorithm,population,generations,crossover,mutation,encoding,selection,elitism,crossover_operator,"
        "mutation_operator,x,runs,within,fraction,low,high\n";
    for (std::size_t k = 0; k < configurations.size(); ++k) {
        const SweepCombination& c = configurations[k];
        const std::vector<std::string> f = AlgorithmFields(c.algorithm);
        const std::string prefix = f[0] + "," + std::to_string(c.params.populationSize) + "," +
                                   std::to_string(c.params.generationCount) + "," + ExactText(c.params.crossoverRate) +
                                   "," + ExactText(c.params.mutationProbability) + "," + f[1] + "," + f[2] + "," +
                                   f[3] + "," + f[4] + "," + f[5] + ",";
        for (const RunLengthPoint& p :
             RunLengthDistribution(first[k], c.params.generationCount, c.params.populationSize, evaluations)) {
            text += prefix + std::to_string(p.x) + "," + std::to_string(p.within.trials) + "," +
                    std::to_string(p.within.successes) + "," + ExactText(p.within.rate) + "," +
                    ExactText(p.within.low) + "," + ExactText(p.within.high) + "\n";
        }
    }
    if (file.fd >= 0) {
        if (!WriteWhole(file, text)) {
            std::fprintf(stderr, "kelvora-cli ecdf: %s: cannot write: %s\n", Printable(output).c_str(),
                         std::strerror(errno));
            Abandon(file);
            return 1;
        }
        return FinishStdout();
    }
    // Written straight to the descriptor, so that a failure is named with its own reason.
    std::fflush(stdout);
    if (!WriteAll(1, text)) {
        std::fprintf(stderr, "kelvora-cli ecdf: standard output: %s\n", std::strerror(errno));
        FinishStdout();
        return 1;
    }
    return FinishStdout();
}
