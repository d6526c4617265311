#include "flags/window_flags.h"

#include "model/text.h"

namespace kelvora::flags {

FlagTable PlotTable(PlotArgs& out) {
    const auto store = [](std::string& into) {
        return [&into](const std::string& value) { into = value; return std::string(); };
    };
    FlagTable table{
        {
            Flag{"--plot", true, store(out.input)}
                .Describe("SWEEP.csv", "the sweep file (kelvora-cli sweep) whose chart is drawn")
                .Required(),
            Flag{"--output", true, store(out.output)}
                .Describe("FILE.svg|FILE.png", "where the picture goes, replaced whole")
                .Required(),
            Flag{"--x", true,
                 [&out](const std::string& value) {
                     if (value != "generations" && value != "evaluations")
                         return "--x is '" + value + "', expected generations or evaluations";
                     out.evaluations = value == "evaluations";
                     return std::string();
                 }}
                .Describe("generations|evaluations", "the run-length chart's x: the generation, or the evaluations",
                          "generations"),
            Flag{"--kind", true,
                 [&out](const std::string& value) {
                     out.kind = value;
                     return value == "runlength" || value == "cd" || value == "response"
                                ? std::string()
                                : "--kind is '" + value + "', expected runlength, cd or response";
                 }}
                .Describe("runlength|cd|response",
                          "the chart: runlength; cd, the critical-difference diagram of a sweep over two targets or "
                          "more; or response, with --parameter P",
                          "runlength"),
            Flag{"--parameter", true, store(out.parameter)}.Describe(
                "P", "--kind response: population, generations, crossover, mutation, tournament, elitism or creep"),
            Flag{"--alpha", true,
                 [&out](const std::string& value) {
                     out.alpha = ParseFiniteDouble(value);
                     if (out.alpha && *out.alpha > 0.0 && *out.alpha < 1.0) return std::string();
                     return "--alpha: " + Quoted(value) + " is not a level in (0, 1)";
                 }}
                .Describe("A", "--kind cd: the level of Nemenyi's critical difference, 0 < A < 1", "0.05"),
        },
        "kelvora --help",
        nullptr,
        false,
        [](const std::string& argument) {
            return "unknown argument '" + argument +
                   "' (accepted: --plot SWEEP.csv --output FILE.svg|FILE.png [--x generations|evaluations] "
                   "[--kind runlength|cd|response] [--parameter P] [--alpha A])";
        }};
    table.text = {"kelvora", "", "", ""};
    return table;
}

FlagTable WindowTable() {
    FlagTable table{{
                        Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
                        Flag{"--version", false, nullptr, false, true}.Describe(nullptr, "the program's version"),
                    },
                    "kelvora --help"};
    table.text = {
        "kelvora", "[FILE]",
        "Opens the window that solves the inverse kinematics of the three-link arm by a genetic\n"
        "algorithm; with FILE, a results.csv, it opens with that run to replay. --plot draws the\n"
        "experiment window's run-length chart of a sweep file (kelvora-cli sweep) into FILE and opens no\n"
        "window: exit status 2 for bad arguments or a file that is not a sweep file, 1 when the picture\n"
        "cannot be written.",
        ""};
    return table;
}

std::string WindowHelp() {
    static PlotArgs unused;  // the handlers are never called
    const FlagTable window = WindowTable();
    const FlagTable plot = PlotTable(unused);
    FlagTable both = window;
    both.flags.insert(both.flags.begin(), plot.flags.begin(), plot.flags.end());
    // The usage lines of both forms, then every flag of either.
    return "Usage: " + UsageLine(window) + "\n       " + UsageLine(plot) + "\n" + window.text.about + "\n\n" +
           FlagList(both);
}

std::string WindowManPage(const std::string& version) {
    static PlotArgs unused;
    const FlagTable window = WindowTable();
    FlagTable plot = PlotTable(unused);
    plot.text.about = "--plot draws a sweep's chart into a file and opens no window.";
    return ManPage("kelvora", version, "inverse kinematics of a three-link arm by a genetic algorithm, in a window",
                   {&window, &plot});
}

}  // namespace kelvora::flags
