// kelvora-cli ecdf: the run-length distribution of each configuration of a sweep CSV, from its rows;
// for another epsilon than the sweep's, from its runs made again from their seeds.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "batch/runlength.h"
#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "output.h"
#include "batch/sweep_table.h"
#include "signals.h"
#include "session/numbers.h"
#include "session/configurations.h"
#include "session/sweep_file.h"
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
    "x,runs,within,fraction,low,high,epsilon (the px the curve is taken at: --epsilon, else the file's\n"
    "own, else 0.5, said on standard error as not recorded; empty with --target optimum).\n"
    "Configurations come in the order they first appear in the file;\n"
    "numbers are the shortest text that reads back exactly; lines end in LF. Rows of several sweeps\n"
    "may share the file when each configuration's rows come from one sweep; a run of one sweep is\n"
    "there once (a repeated row is refused, naming both lines).\n"
    "Exit status: 0 done, 1 the output could not be written, 2 bad arguments or a bad sweep file\n"
    "(FILE:LINE named).\n";

int Fail(const std::string& message) { return Refuse("ecdf", message); }

// One configuration's runs: each run's first generation at the target, 0 when it never got there.
struct Configuration {
    SweepCombination runs;  // its first run: the parameters and algorithm
    std::vector<int> first;
};


// What the command line asks for.
struct EcdfArgs {
    std::string input, output;
    bool evaluations = false, optimum = false, help = false;
    std::optional<double> epsilon;
};

std::string ParseEcdfArgs(const std::vector<std::string>& args, EcdfArgs& e) {
    const auto oneOf = [](const char* flag, const char* a, const char* b, bool& second) {
        return [=, &second](const std::string& v) {
            if (v != a && v != b) return std::string(flag) + ": " + Quoted(v) + " is not one of " + a + ", " + b;
            second = v == b;
            return std::string();
        };
    };
    const FlagTable table{
        {
            {"--x", true, oneOf("--x", "generations", "evaluations", e.evaluations)},
            {"--target", true, oneOf("--target", "epsilon", "optimum", e.optimum)},
            {"--epsilon", true,
             [&e](const std::string& v) {
                 e.epsilon = session::ParseNumberField(session::kEpsilonField, v);
                 if (!e.epsilon) return "--epsilon: " + Quoted(v) + " is not " + session::ExpectedText(session::kEpsilonField);
                 return std::string();
             }},
            {"--output", true,
             [&e](const std::string& v) {
                 e.output = v;
                 return v.empty() ? std::string("--output: the file name is empty") : std::string();
             }},
            {"--help", false, nullptr, false, true, "-h"},
        },
        "ecdf --help",
        [&e](const std::string& name) {
            if (!e.input.empty()) return "one sweep file only, got " + Quoted(e.input) + " and " + Quoted(name);
            e.input = name;
            return std::string();
        }};
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return parsed.error;
    if ((e.help = parsed.stopped)) return {};
    if (e.input.empty()) return "no sweep file given (see ecdf --help)";
    if (e.epsilon && e.optimum) return "--epsilon applies to --target epsilon, not to --target optimum";
    if (!e.output.empty() && SameFile({e.output, e.input}, 1).first >= 0)
        return "--output names the sweep file itself, " + Quoted(e.output);
    return {};
}

// Reads the sweep file's rows into their configurations (grouped by their values), the header
// first, so that a foreign file is refused before the rest; with --epsilon every row also becomes a
// rerun, groups[i] its configuration (its slot filled in later). Returns "" or the message naming
// FILE:LINE.
std::string ReadConfigurations(const EcdfArgs& e, std::vector<Configuration>& configurations, std::vector<Rerun>& reruns,
                               std::vector<std::size_t>& groupOf, std::optional<double>& recorded) {
    session::ConfigurationGroups groups;
    return session::ReadSweepFile(e.input, Printable(e.input), {},
                                  [&](const ParsedSweepRow& row, long long line, std::string_view) {
        recorded = row.epsilon;
        const SweepCombination& c = row.result.combination;
        const std::size_t k = groups.Add(c);
        if (k == configurations.size()) configurations.push_back({c, {}});
        configurations[k].first.push_back(e.optimum ? row.result.firstGenerationAtOptimum
                                                    : row.result.firstGenerationWithinEpsilon);
        if (e.epsilon) {
            reruns.push_back({c, row.result.eliteDistance, line, nullptr});
            groupOf.push_back(k);
        }
        return true;
    });
}

// Each rerun's slot, now that the configurations' lists no longer grow.
void FillSlots(std::vector<Configuration>& configurations, std::vector<Rerun>& reruns,
               const std::vector<std::size_t>& groupOf) {
    std::vector<std::size_t> filled(configurations.size(), 0);
    for (std::size_t i = 0; i < reruns.size(); ++i) {
        const std::size_t k = groupOf[i];
        reruns[i].first = &configurations[k].first[filled[k]++];
    }
}

// The CSV: each configuration's columns, then one line per x; epsilon (px) the one the curves are
// taken at, empty for the curves to the optimum.
std::string EcdfCsv(const std::vector<Configuration>& configurations, bool evaluations, const std::string& epsilon) {
    std::string text =
        "algorithm,population,generations,crossover,mutation,encoding,selection,elitism,crossover_operator,"
        "mutation_operator,x,runs,within,fraction,low,high,epsilon\n";
    for (std::size_t k = 0; k < configurations.size(); ++k) {
        const SweepCombination& c = configurations[k].runs;
        const std::vector<std::string> f = AlgorithmFields(c.algorithm);
        const std::string prefix = f[0] + "," + std::to_string(c.params.populationSize) + "," +
                                   std::to_string(c.params.generationCount) + "," + ExactText(c.params.crossoverRate) +
                                   "," + ExactText(c.params.mutationProbability) + "," + f[1] + "," + f[2] + "," +
                                   f[3] + "," + f[4] + "," + f[5] + ",";
        for (const RunLengthPoint& p :
             RunLengthDistribution(configurations[k].first, c.params.generationCount, c.params.populationSize, evaluations)) {
            text += prefix + std::to_string(p.x) + "," + std::to_string(p.within.trials) + "," +
                    std::to_string(p.within.successes) + "," + ExactText(p.within.rate) + "," +
                    ExactText(p.within.low) + "," + ExactText(p.within.high) + "," + epsilon + "\n";
        }
    }
    return text;
}

// Writes text to the locked output file or, without one, to standard output; the exit status.
int Deliver(OutputFile& file, const std::string& output, const std::string& text) {
    if (file.fd >= 0) {
        if (const std::string reason = WriteWhole(file, text); !reason.empty()) {
            std::fprintf(stderr, "kelvora-cli ecdf: %s: cannot write: %s\n", Printable(output).c_str(),
                         Printable(reason, SIZE_MAX).c_str());
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

}  // namespace

int kelvora::cli::EcdfCommand(const std::vector<std::string>& args) {
    EcdfArgs e;
    if (const std::string error = ParseEcdfArgs(args, e); !error.empty()) return Fail(error);
    if (e.help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    OutputFile file;
    if (!e.output.empty()) {
        if (const std::string error = OpenOutput(e.output, file); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli ecdf: %s\n", error.c_str());
            return OpenFailureStatus(file);
        }
    }
    const auto refuse = [&file](const std::string& message) {
        Abandon(file);
        return Fail(message);
    };
    std::vector<Configuration> configurations;
    std::vector<Rerun> reruns;           // with --epsilon: every row, in file order
    std::vector<std::size_t> groupOf;    // each rerun's configuration
    std::optional<double> recorded;  // the epsilon the file's rows were measured at
    if (const std::string error = ReadConfigurations(e, configurations, reruns, groupOf, recorded); !error.empty())
        return refuse(error);
    if (!e.optimum && !e.epsilon && !recorded)
        std::fprintf(stderr, "kelvora-cli ecdf: %s: %s\n", Printable(e.input).c_str(), session::EpsilonNotRecorded().c_str());
    const std::string epsilon = e.optimum ? std::string() : ExactText(e.epsilon ? *e.epsilon : recorded.value_or(kDefaultEpsilon));
    if (e.epsilon) {
        FillSlots(configurations, reruns, groupOf);
        InstallStopSignals();
        const long long bad = RerunWithin(reruns, *e.epsilon, true);
        if (StopFlag().load()) {
            Abandon(file);
            std::fprintf(stderr, "kelvora-cli ecdf: stopped by %s; nothing written\n", StopSignalName());
            return StopExitStatus();
        }
        if (bad >= 0)
            return refuse(Printable(e.input) + ":" + std::to_string(bad) +
                          ": the row's run, made again, does not end at its elite_distance (a file edited, or "
                          "written by another version)");
    }
    return Deliver(file, e.output, EcdfCsv(configurations, e.evaluations, epsilon));
}
