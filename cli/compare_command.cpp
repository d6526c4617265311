// kelvora-cli compare: whether the configurations of a sweep CSV really differ, pair by pair
// (Fisher's exact test of the successes, the Mann–Whitney U test and Vargha–Delaney A12 of the final
// distances, Holm's adjustment) and, over several targets, Friedman's test with Nemenyi's critical
// difference.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "batch/sweep_table.h"
#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "session/labels.h"
#include "output.h"
#include "report/comparison.h"
#include "session/numbers.h"
#include "session/sweep_file.h"
#include "signals.h"
#include "stats/statistics.h"
#include "sweep_input.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

const char* const kUsage =
    "Usage: kelvora-cli compare SWEEP.csv [--baseline LABEL|all] [--epsilon E] [--alpha A] [--json]\n"
    "                           [--output FILE]\n"
    "Tests whether the configurations of a sweep file (written by sweep or sweep-merge, grouped as\n"
    "ecdf groups them) differ, each against the baseline or every pair:\n"
    "  successes within epsilon, a/n against b/m, by Fisher's exact test (two-sided);\n"
    "  the final elite distances by the Mann-Whitney U test (two-sided, normal approximation with the\n"
    "  tie and continuity corrections; U is the first's pairs in which its distance is the larger,\n"
    "  ties one half) and Vargha-Delaney A12 (the chance that a run of the first ends closer);\n"
    "  both p-values adjusted by Holm's method over the pairs reported, each test on its own;\n"
    "  a verdict in words. With several targets, also Friedman's test with the targets as blocks\n"
    "  (rank 1: the highest success rate; ties share the mean rank), each configuration's mean rank\n"
    "  and Nemenyi's critical difference at alpha.\n"
    "\n"
    "  --baseline LABEL  compare every configuration with this one (default: the classic algorithm\n"
    "                    when the file holds it, else the first configuration); labels as the table\n"
    "                    prints them\n"
    "  --baseline all    every pair, in file order\n"
    "  --epsilon E       successes within E pixels (0 < E <= 1000): each row's run is made again from\n"
    "                    its seed, as ecdf --epsilon does; default: the sweep's own\n"
    "  --alpha A         the level of the verdicts and the critical difference (0 < A < 1; 0.05)\n"
    "  --json            one JSON object {\"epsilon\", \"epsilon_recorded\", \"alpha\", \"pairs\": [...],\n"
    "                    \"friedman\"}; epsilon_recorded false: the file did not say (0.5 assumed)\n"
    "  --output FILE     write to FILE (the pairs as CSV, or the JSON with --json) instead of the\n"
    "                    table on standard output, through FILE.part and a rename\n"
    "  --help            this text\n"
    "\n"
    "Exit status: 0 done, 1 the output could not be written, 2 bad arguments, a bad sweep file\n"
    "(FILE:LINE named) or an unknown baseline.\n";

int Fail(const std::string& message) { return Refuse("compare", message); }

struct Options {
    std::string input, output, baseline;  // baseline: a label, "all", or "" for the default
    std::optional<double> epsilon;
    double alpha = 0.05;
    bool json = false;
};

// The arguments into options; "" or the message of the refusal.
std::string ParseArguments(const std::vector<std::string>& args, Options& o, bool& help) {
    const FlagTable table{
        {
            {"--baseline", true,
             [&o](const std::string& v) {
                 o.baseline = v;
                 return v.empty() ? std::string("--baseline: the label is empty") : std::string();
             }},
            {"--epsilon", true,
             [&o](const std::string& v) {
                 o.epsilon = session::ParseNumberField(session::kEpsilonField, v);
                 if (!o.epsilon) return "--epsilon: " + Quoted(v) + " is not " + session::ExpectedText(session::kEpsilonField);
                 return std::string();
             }},
            {"--alpha", true,
             [&o](const std::string& v) {
                 const std::optional<double> alpha = ParseFiniteDouble(v);
                 if (!alpha || !(*alpha > 0.0 && *alpha < 1.0)) return "--alpha: " + Quoted(v) + " is not a level in (0, 1)";
                 o.alpha = *alpha;
                 return std::string();
             }},
            {"--json", false, [&o](const std::string&) { o.json = true; return std::string(); }},
            {"--output", true,
             [&o](const std::string& v) {
                 o.output = v;
                 return v.empty() ? std::string("--output: the file name is empty") : std::string();
             }},
            {"--help", false, nullptr, false, true, "-h"},
        },
        "compare --help",
        [&o](const std::string& name) {
            if (!o.input.empty()) return "one sweep file only, got " + Quoted(o.input) + " and " + Quoted(name);
            o.input = name;
            return std::string();
        }};
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return parsed.error;
    if ((help = parsed.stopped)) return {};
    if (o.input.empty()) return "no sweep file given (see compare --help)";
    return {};
}

std::string Number(double v) { return ExactText(v); }

std::string ConfigurationJson(const report::ConfigurationRuns& g) {
    const std::vector<std::string> f = AlgorithmFields(g.first.algorithm);
    const SolverParams& p = g.first.params;
    return "{\"population\": " + std::to_string(p.populationSize) + ", \"generations\": " +
           std::to_string(p.generationCount) + ", \"crossover\": " + Number(p.crossoverRate) + ", \"mutation\": " +
           Number(p.mutationProbability) + ", \"algorithm\": \"" + f[0] + "\", \"encoding\": \"" + f[1] +
           "\", \"selection\": \"" + f[2] + "\", \"elitism\": \"" + f[3] + "\", \"crossover_operator\": \"" + f[4] +
           "\", \"mutation_operator\": \"" + f[5] + "\", \"label\": \"" + JsonText(g.label) + "\"}";
}

std::string CsvText(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Padded(const std::string& text, std::size_t width) {
    // Labels are ASCII (the flags' spellings and numbers): a byte is a column.
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Fixed(double v, const char* format = "%.4g") {
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

}  // namespace

int kelvora::cli::CompareCommand(const std::vector<std::string>& args) {
    Options o;
    bool help = false;
    if (const std::string error = ParseArguments(args, o, help); !error.empty()) return Fail(error);
    if (help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    if (!o.output.empty() && SameFile({o.output, o.input}, 1).first >= 0)
        return Fail("--output names the sweep file itself, " + Quoted(o.output));

    OutputFile file;
    if (!o.output.empty()) {
        if (const std::string error = OpenOutput(o.output, file); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli compare: %s\n", error.c_str());
            return OpenFailureStatus(file);
        }
    }
    const auto refuse = [&file](const std::string& message) {
        Abandon(file);
        return Fail(message);
    };

    std::vector<SweepCombination> configurations;  // each group's first run
    report::RunsByConfiguration runs;
    std::vector<Rerun> reruns;
    std::optional<double> recorded;  // the epsilon the file's rows were measured at
    const std::string error = ReadSweepConfigurations(o.input, configurations, [&](const ParsedSweepRow& row, long long line, std::size_t k) {
        recorded = row.epsilon;
        runs.Add(row.result, k);
        if (o.epsilon) reruns.push_back({row.result.combination, row.result.eliteDistance, line, nullptr});
    });
    if (!error.empty()) return refuse(error);
    std::vector<report::ConfigurationRuns>& groups = runs.groups;
    const std::vector<SweepTarget>& targets = runs.targets;
    const std::string shown = Printable(o.input);
    if (groups.size() < 2)
        return refuse(shown + ": the file holds one configuration (" + AlgorithmSummary(groups.front().first.algorithm) +
                      "): nothing to compare it with");
    std::string labelsWarning;
    runs.Label(session::SweepFileLabels(o.input, configurations, labelsWarning));
    if (!labelsWarning.empty())
        std::fprintf(stderr, "kelvora-cli compare: %s (the short labels are used)\n", Printable(labelsWarning).c_str());
    const std::optional<report::PairChoice> choice = report::ChoosePairs(runs, o.baseline);
    if (!choice) {
        std::string labels;
        for (const report::ConfigurationRuns& g : groups) labels += (labels.empty() ? "" : "; ") + g.label;
        return refuse("--baseline: " + Quoted(o.baseline) + " is not a configuration of " + shown + " (" +
                      Printable(labels, 400) + ", or all)");
    }

    if (o.epsilon) {
        // Each row's slot, now that the groups no longer grow.
        std::vector<std::size_t> filled(groups.size(), 0);
        for (Rerun& r : reruns) {
            std::size_t k = 0;
            while (!SameConfiguration(groups[k].first, r.combination)) ++k;
            r.first = &groups[k].firstWithin[filled[k]++];
        }
        InstallStopSignals();
        const long long bad = RerunWithin(reruns, *o.epsilon, true);
        if (StopFlag().load()) {
            Abandon(file);
            std::fprintf(stderr, "kelvora-cli compare: stopped by %s; nothing written\n", StopSignalName());
            return StopExitStatus();
        }
        if (bad >= 0)
            return refuse(shown + ":" + std::to_string(bad) +
                          ": the row's run, made again, does not end at its elite_distance (a file edited, or "
                          "written by another version)");
    }

    const report::Comparison comparison = report::Compare(runs, *choice, o.alpha);
    std::vector<PairTest> pairs;
    std::vector<std::string> verdicts;
    for (const report::PairOutcome& p : comparison.pairs) {
        pairs.push_back(p.test);
        verdicts.push_back(PairVerdict(p.counts, o.alpha));
    }
    const std::optional<Friedman>& friedman = comparison.friedman;
    const double cd = comparison.criticalDifference;

    std::string text;
    // --epsilon, else the file's own, else the one assumed for a file that does not say it.
    const double epsilon = o.epsilon ? *o.epsilon : recorded.value_or(kDefaultEpsilon);
    const bool assumed = !o.epsilon && !recorded;
    if (assumed) std::fprintf(stderr, "kelvora-cli compare: %s: %s\n", shown.c_str(), session::EpsilonNotRecorded().c_str());
    if (o.json) {
        text = "{\"epsilon\": " + Number(epsilon) + ", \"epsilon_recorded\": " + (assumed ? "false" : "true") +
               ", \"alpha\": " + Number(o.alpha) + ", \"pairs\": [";
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const PairTest& p = pairs[i];
            const report::ConfigurationRuns& a = groups[p.a];
            const report::ConfigurationRuns& b = groups[p.b];
            text += std::string(i ? ", " : "") + "{\"a\": " + ConfigurationJson(a) + ", \"b\": " + ConfigurationJson(b) +
                    ", \"successes\": [" + std::to_string(a.successes()) + ", " + std::to_string(a.firstWithin.size()) + ", " +
                    std::to_string(b.successes()) + ", " + std::to_string(b.firstWithin.size()) + "], \"fisher_p\": " +
                    Number(p.fisherP) + ", \"fisher_p_holm\": " + Number(p.fisherPHolm) + ", \"mwu_u\": " + Number(p.u) +
                    ", \"mwu_p\": " + Number(p.mwuP) + ", \"mwu_p_holm\": " + Number(p.mwuPHolm) + ", \"a12\": " +
                    Number(p.a12) + ", \"verdict\": \"" + JsonText(verdicts[i]) + "\"}";
        }
        text += "], \"friedman\": ";
        if (friedman) {
            text += "{\"chi2\": " + Number(friedman->chi2) + ", \"p\": " + Number(friedman->p) + ", \"ranks\": {";
            for (std::size_t k = 0; k < groups.size(); ++k)
                text += std::string(k ? ", " : "") + "\"" + JsonText(groups[k].label) + "\": " + Number(friedman->meanRanks[k]);
            text += "}, \"blocks\": " + std::to_string(targets.size()) + ", \"cd\": " + Number(cd) + "}";
        } else {
            text += "null";
        }
        text += "}\n";
    } else if (!o.output.empty()) {
        text = "a,b,a_successes,a_runs,b_successes,b_runs,fisher_p,fisher_p_holm,mwu_u,mwu_p,mwu_p_holm,a12,verdict\n";
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const PairTest& p = pairs[i];
            const report::ConfigurationRuns& a = groups[p.a];
            const report::ConfigurationRuns& b = groups[p.b];
            text += CsvText(a.label) + "," + CsvText(b.label) + "," + std::to_string(a.successes()) + "," +
                    std::to_string(a.firstWithin.size()) + "," + std::to_string(b.successes()) + "," +
                    std::to_string(b.firstWithin.size()) + "," + Number(p.fisherP) + "," + Number(p.fisherPHolm) + "," +
                    Number(p.u) + "," + Number(p.mwuP) + "," + Number(p.mwuPHolm) + "," + Number(p.a12) + "," +
                    CsvText(verdicts[i]) + "\n";
        }
    } else {
        text = "Successes within " + Number(epsilon) + " px" + (assumed ? " (" + session::EpsilonNotRecorded() + ")" : "") +
               "; p-values adjusted by Holm over " + std::to_string(pairs.size()) + (pairs.size() == 1 ? " pair" : " pairs") +
               "; * below alpha = " + Number(o.alpha) + "\n\n";
        std::size_t width = 1;
        for (const report::ConfigurationRuns& g : groups) width = std::max(width, g.label.size());
        text += Padded("a", width) + "  " + Padded("b", width) + "  " + Padded("successes", 15) + "  " +
                Padded("Fisher p", 9) + "  " + Padded("Holm", 9) + Padded("      U", 7) + "  " + Padded("U test p", 9) +
                "  " + Padded("Holm", 9) + "A12\n";
        for (const PairTest& p : pairs) {
            const report::ConfigurationRuns& a = groups[p.a];
            const report::ConfigurationRuns& b = groups[p.b];
            const std::string counts = std::to_string(a.successes()) + "/" + std::to_string(a.firstWithin.size()) + " " +
                                       std::to_string(b.successes()) + "/" + std::to_string(b.firstWithin.size());
            const auto marked = [&o](double holm) { return Padded(Fixed(holm, "%.2g") + (holm < o.alpha ? "*" : ""), 9); };
            text += Padded(a.label, width) + "  " + Padded(b.label, width) + "  " + Padded(counts, 15) + "  " +
                    Padded(Fixed(p.fisherP, "%.2g"), 9) + "  " + marked(p.fisherPHolm) + Fixed(p.u, "%7.1f") + "  " +
                    Padded(Fixed(p.mwuP, "%.2g"), 9) + "  " + marked(p.mwuPHolm) + Fixed(p.a12, "%.3f") + "\n";
        }
        text += "\n";
        for (const std::string& verdict : verdicts) text += verdict + "\n";
        if (friedman) {
            text += "\nFriedman over " + std::to_string(targets.size()) + " targets: chi2 = " + Fixed(friedman->chi2, "%.4g") +
                    ", p " + PValueText(friedman->p) + "; Nemenyi critical difference " + Fixed(cd, "%.3f") +
                    " at alpha = " + Number(o.alpha) + "\nmean ranks (1: succeeds most often):\n";
            std::vector<std::size_t> order(groups.size());
            for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t i, std::size_t j) { return friedman->meanRanks[i] < friedman->meanRanks[j]; });
            for (std::size_t k : order) text += "  " + Fixed(friedman->meanRanks[k], "%6.3f") + "  " + groups[k].label + "\n";
        } else if (comparison.incompleteTargets) {
            text += "\nNo Friedman test: not every configuration ran every target.\n";
        }
    }

    if (file.fd >= 0) {
        if (const std::string reason = WriteWhole(file, text); !reason.empty()) {
            std::fprintf(stderr, "kelvora-cli compare: %s: cannot write: %s\n", Printable(o.output).c_str(),
                         Printable(reason, SIZE_MAX).c_str());
            Abandon(file);
            return 1;
        }
        return FinishStdout();
    }
    std::fflush(stdout);
    if (!WriteAll(1, text)) {
        std::fprintf(stderr, "kelvora-cli compare: standard output: %s\n", std::strerror(errno));
        FinishStdout();
        return 1;
    }
    return FinishStdout();
}
