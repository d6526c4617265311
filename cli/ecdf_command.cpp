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
#include "session/sweep_file.h"
#include "sweep_input.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return Refuse("ecdf", message); }

// What the command line asks for.
struct EcdfArgs {
    std::string input, output;
    bool evaluations = false, optimum = false, help = false;
    std::optional<double> epsilon;
};

// ecdf's flags, each storing into e as it is read, with its help.
FlagTable EcdfTable(EcdfArgs& e) {
    const auto oneOf = [](const char* flag, const char* a, const char* b, bool& second) {
        return [=, &second](const std::string& v) {
            if (v != a && v != b) return std::string(flag) + ": " + Quoted(v) + " is not one of " + a + ", " + b;
            second = v == b;
            return std::string();
        };
    };
    FlagTable table{
        {
            Flag{"--x", true, oneOf("--x", "generations", "evaluations", e.evaluations)}.Describe(
                "generations|evaluations", "x is the generation g, or g times the population", "generations"),
            Flag{"--target", true, oneOf("--target", "epsilon", "optimum", e.optimum)}.Describe(
                "epsilon|optimum",
                "epsilon: a run is there at its first_generation_within_epsilon, at the sweep's own epsilon, the "
                "one its --epsilon gave (the file records the first generation within that epsilon only); "
                "optimum: at its first_generation_at_optimum",
                "epsilon"),
            Flag{"--epsilon", true,
                 [&e](const std::string& v) {
                     e.epsilon = session::ParseNumberField(session::kEpsilonField, v);
                     if (!e.epsilon) return "--epsilon: " + Quoted(v) + " is not " + session::ExpectedText(session::kEpsilonField);
                     return std::string();
                 }}
                .Describe("E",
                          "a run is there at its first generation within E pixels (" +
                              session::RangeText(session::kEpsilonField) +
                              "): each row's run is made again from its seed, parameters, algorithm and target, on "
                              "every core, and must end at the row's elite distance (else the row is named); a "
                              "progress bar on a terminal; Ctrl-C stops, writing nothing. With the sweep's own "
                              "epsilon the same curves as without"),
            Flag{"--output", true,
                 [&e](const std::string& v) {
                     e.output = v;
                     return v.empty() ? std::string("--output: the file name is empty") : std::string();
                 }}
                .Describe("FILE", "write the CSV to FILE, locked and through FILE.part and a rename", "standard output"),
            Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
        },
        "ecdf --help",
        [&e](const std::string& name) {
            if (!e.input.empty()) return "one sweep file only, got " + Quoted(e.input) + " and " + Quoted(name);
            e.input = name;
            return std::string();
        }};
    table.text = {
        "kelvora-cli ecdf", "SWEEP.csv",
        "Writes the run-length distribution of each configuration of a sweep file (written by sweep or\n"
        "sweep-merge): for every generation g from 1 to the configuration's generation count, the runs\n"
        "whose first generation at the target is at most g, of all its runs (targets and seeds pooled),\n"
        "with the Wilson 95% interval. Nothing is run again, unless --epsilon asks for another epsilon.",
        "Columns: algorithm,population,generations,crossover,mutation,encoding,selection,elitism,\n"
        "crossover_operator,mutation_operator (the configuration, as the sweep file spells it), then\n"
        "x,runs,within,fraction,low,high,epsilon (the px the curve is taken at: --epsilon, else the file's\n"
        "own, else 0.5, said on standard error as not recorded; empty with --target optimum).\n"
        "Configurations come in the order they first appear in the file;\n"
        "numbers are the shortest text that reads back exactly; lines end in LF. Rows of several sweeps\n"
        "may share the file when each configuration's rows come from one sweep; a run of one sweep is\n"
        "there once (a repeated row is refused, naming both lines).\n"
        "Exit status: 0 done, 1 the output could not be written, 2 bad arguments or a bad sweep file\n"
        "(FILE:LINE named)."};
    return table;
}

std::string ParseEcdfArgs(const std::vector<std::string>& args, EcdfArgs& e) {
    const FlagTable table = EcdfTable(e);
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return parsed.error;
    if ((e.help = parsed.stopped)) return {};
    if (e.input.empty()) return "no sweep file given (see ecdf --help)";
    if (e.epsilon && e.optimum) return "--epsilon applies to --target epsilon, not to --target optimum";
    if (!e.output.empty() && SameFile({e.output, e.input}, 1).first >= 0)
        return "--output names the sweep file itself, " + Quoted(e.output);
    return {};
}

// The CSV: each configuration's columns, then one line per x; epsilon (px) the one the curves are
// taken at, empty for the curves to the optimum.
std::string EcdfCsv(const experiment::RunsByConfiguration& runs, bool optimum, bool evaluations, const std::string& epsilon) {
    std::string text =
        "algorithm,population,generations,crossover,mutation,encoding,selection,elitism,crossover_operator,"
        "mutation_operator,x,runs,within,fraction,low,high,epsilon\n";
    for (const experiment::ConfigurationRuns& g : runs.groups) {
        const SweepCombination& c = g.first;
        const std::vector<std::string> f = AlgorithmFields(c.algorithm);
        const std::string prefix = f[0] + "," + std::to_string(c.params.populationSize) + "," +
                                   std::to_string(c.params.generationCount) + "," + ExactText(c.params.crossoverRate) +
                                   "," + ExactText(c.params.mutationProbability) + "," + f[1] + "," + f[2] + "," +
                                   f[3] + "," + f[4] + "," + f[5] + ",";
        for (const RunLengthPoint& p :
             RunLengthDistribution(optimum ? g.firstAtOptimum : g.firstWithin, c.params.generationCount, c.params.populationSize, evaluations)) {
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

FlagTable kelvora::cli::EcdfFlags() {
    static EcdfArgs unused;  // the handlers are never called
    return EcdfTable(unused);
}

int kelvora::cli::EcdfCommand(const std::vector<std::string>& args) {
    EcdfArgs e;
    if (const std::string error = ParseEcdfArgs(args, e); !error.empty()) return Fail(error);
    if (e.help) {
        std::fputs(HelpText(EcdfFlags()).c_str(), stdout);
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
    experiment::RunsByConfiguration runs;
    std::vector<Rerun> reruns;           // with --epsilon: every row, in file order
    std::vector<std::size_t> groupOf;    // each rerun's configuration
    std::optional<double> recorded;  // the epsilon the file's rows were measured at
    const std::string error = ReadSweepRuns(e.input, runs, [&](const ParsedSweepRow& row, long long line, std::size_t k) {
        recorded = row.epsilon;
        if (!e.epsilon) return;
        reruns.push_back({row.result.combination, row.result.eliteDistance, line, nullptr});
        groupOf.push_back(k);
    });
    if (!error.empty()) return refuse(error);
    if (!e.optimum && !e.epsilon && !recorded)
        std::fprintf(stderr, "kelvora-cli ecdf: %s: %s\n", Printable(e.input).c_str(), session::EpsilonNotRecorded().c_str());
    const std::string epsilon = e.optimum ? std::string() : ExactText(e.epsilon ? *e.epsilon : recorded.value_or(kDefaultEpsilon));
    if (e.epsilon) {
        // Each rerun's slot, now that the groups no longer grow.
        std::vector<std::size_t> filled(runs.groups.size(), 0);
        for (std::size_t i = 0; i < reruns.size(); ++i)
            reruns[i].first = &runs.groups[groupOf[i]].firstWithin[filled[groupOf[i]]++];
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
    return Deliver(file, e.output, EcdfCsv(runs, e.optimum, e.evaluations, epsilon));
}
