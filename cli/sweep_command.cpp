// kelvora-cli sweep: every combination of parameter lists, targets and seeds, on every core, into
// one tidy CSV and a summary.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <filesystem>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "options.h"
#include "output.h"
#include "signals.h"
#include "batch/sweep.h"
#include "batch/ioh_export.h"
#include "batch/sweep_table.h"
#include "session/lines.h"
#include "experiment/runs.h"
#include "session/numbers.h"
#include "session/sweep_file.h"
#include "session/sweep_plan.h"
#include "session/sweep_targets.h"
#include "experiment/experiment_file.h"
#include "experiment/lists.h"
#include "report/summary_text.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

constexpr long long kRunsWithoutYes = 1000000;
constexpr long long kMaxSeeds = session::kMaxSweepSeeds;  // 400 MB of seeds; larger sweeps are sharded by seed range

using session::kAlgorithmFlags;
constexpr std::size_t kAlgorithmFlagCount = kAlgorithmFlags.size();

struct SweepArgs {
    SweepPlan plan;
    // Each algorithm flag's list, spelled as AlgorithmColumns spells it; default: the classic choice.
    session::SweepChoices choices = session::ClassicSweepChoices();
    std::vector<std::pair<long long, long long>> seedRanges;
    experiment::TargetList targets;  // --target's, then --targets random:K drawn from --target-seed
    bool targetSeedGiven = false;
    int threads = 0;
    std::string output, summary, logs, ioh;
    std::string saveExperiment;  // --save-experiment: the experiment file of this sweep
    long long shardK = 1, shardN = 1;
    bool resume = false, yes = false, quiet = false, help = false;
};

template <typename T>
bool NoDuplicates(const std::string& flag, const std::vector<T>& values, const std::vector<std::string>& items,
                  std::string& error) {
    for (std::size_t i = 0; i < values.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (values[i] == values[j]) {
                error = flag + ": " + Quoted(items[i]) + " is listed twice";
                return false;
            }
    return true;
}

// A number flag's comma list, each item read by the flag's field, none given twice.
template <class T>
bool NumberList(const session::NumberField& field, const std::string& value, std::vector<T>& out, std::string& error) {
    std::vector<std::string> items;
    if (!SplitList(field.flag, value, items, error)) return false;
    out.clear();
    for (const std::string& item : items) {
        const auto v = session::ParseNumberField(field, item);
        if (!v) {
            error = std::string(field.flag) + ": " + Quoted(item) + " is not " + session::ExpectedText(field);
            return false;
        }
        out.push_back(static_cast<T>(*v));
    }
    return NoDuplicates(field.flag, out, items, error);
}

// Reads seeds and ranges A..B into ranges by the one seed-list rule; they are expanded only once the
// sweep's size has been accepted.
bool Seeds(const std::string& value, std::vector<std::pair<long long, long long>>& ranges, std::string& error) {
    experiment::SeedList list;
    if (const experiment::ListFault fault = experiment::ParseSeedList(value, list)) {
        error = experiment::ListFaultText(fault, "--seeds");
        return false;
    }
    ranges.assign(list.ranges.begin(), list.ranges.end());
    return true;
}

// One --target by the one target-list rule (a random:K is --targets' business).
bool Target(const std::string& value, experiment::TargetList& targets, std::string& error) {
    if (value.rfind("random", 0) == 0) {
        error = experiment::ListFaultText({experiment::ListFault::notTarget, value}, "--target");
        return false;
    }
    if (const experiment::ListFault fault = experiment::AddTargetItem(value, targets)) {
        error = experiment::ListFaultText(fault, "--target");
        return false;
    }
    return true;
}

// One algorithm flag's comma list: each item parsed on its own (its own range), none given twice
// (compared as spelled back: tournament:3 and tournament:03 are the same).
bool ChoiceList(std::size_t which, const std::string& value, std::vector<std::string>& out, std::string& error) {
    const std::string flag = kAlgorithmFlags[which];
    std::vector<std::string> items;
    if (!SplitList(flag, value, items, error)) return false;
    std::vector<std::string> spelled;
    for (const std::string& item : items) {
        Algorithm a;
        error = ParseAlgorithmFlag(flag, item, a);
        if (!error.empty()) return false;
        spelled.push_back(AlgorithmFields(a)[which]);  // the column this flag fills, as the file spells it
    }
    if (!NoDuplicates(flag, spelled, items, error)) return false;
    out = std::move(spelled);
    return true;
}

// The plan's algorithms from the flags' lists, each count checked against the smallest population.
std::string BuildAlgorithms(SweepArgs& a) {
    const int smallest = *std::min_element(a.plan.populations.begin(), a.plan.populations.end());
    return session::SweepAlgorithms(a.choices, smallest, a.plan.algorithms);
}

// A flag's handler that reads its value with parse, which reports into its error argument.
template <typename Parse>
Flag::Handler Reading(Parse parse) {
    return [parse](const std::string& v) {
        std::string error;
        parse(v, error);
        return error;
    };
}

// A file or directory flag's handler: the name stored, an empty one refused.
Flag::Handler Name(const char* flag, std::string& into) {
    return [flag, &into](const std::string& v) {
        if (v.empty()) return std::string(flag) + ": the file name is empty";
        into = v;
        return std::string();
    };
}

Flag::Handler Raise(bool& b) {
    return [&b](const std::string&) { b = true; return std::string(); };
}

// sweep's flags, each storing into a as it is read, with their help; seedsGiven is raised by a valid
// --seeds.
FlagTable SweepTable(SweepArgs& a, bool& seedsGiven) {
    constexpr const char* kList = "give its values once, as one comma list";
    const auto numbers = [](const session::NumberField& field, auto& out, const char* what, const char* fallback) {
        return Flag{field.flag, true,
                    Reading([&field, &out](const std::string& v, std::string& e) { NumberList(field, v, out, e); }), false,
                    false, nullptr, kList}
            .Describe("LIST", std::string(what) + ", " + session::RangeText(field) + " each", fallback);
    };
    // Each algorithm flag's list, as the single run's flag takes one value.
    static constexpr std::array<const char*, kAlgorithmFlagCount> kChoiceHelp{
        "ga, random-search and the baselines (ccd, fabrik, jacobian-transpose, dls, de, pso, cmaes, "
        "simulated-annealing, one-plus-one, hill-climbing)",
        "encodings: binary, gray", "selections: roulette, tournament:K, rank", "elite counts, 0..population - 1",
        "crossover operators: one-point, two-point, uniform", "mutation operators: bit-flip, creep:S"};
    const auto choices = [&a](std::size_t which) {
        return Flag{kAlgorithmFlags[which], true,
                    Reading([which, &a](const std::string& v, std::string& e) { ChoiceList(which, v, a.choices[which], e); }),
                    false, false, nullptr, kList}
            .Describe("LIST", kChoiceHelp[which], session::ClassicSweepChoices()[which].front());
    };
    FlagTable table{
        {
            numbers(session::kPopulationField, a.plan.populations, "population sizes", "20"),
            numbers(session::kGenerationsField, a.plan.generations, "generation counts", "100"),
            numbers(session::kCrossoverField, a.plan.crossovers, "crossover rates", "0.5"),
            numbers(session::kMutationField, a.plan.mutations, "mutation probabilities", "0.1"),
            Flag{"--seeds", true, Reading([&](const std::string& v, std::string& e) { seedsGiven = Seeds(v, a.seedRanges, e); }),
                 false, false, nullptr, kList}
                .Describe("LIST",
                          "seeds or ranges A..B, 0..4294967295, e.g. 1..100 or 1..10,42; at most 100000000 seeds "
                          "(shard larger sweeps by seed range)")
                .Required(),
            Flag{"--target", true, Reading([&a](const std::string& v, std::string& e) { Target(v, a.targets, e); }), true}
                .Describe("X,Y", "a target relative to the base, x right, y up, -199..199; repeat for more",
                          "68,180 when there is neither --target nor --targets"),
            Flag{"--targets", true,
                 [&a](const std::string& v) {
                     const auto k = session::ParseRandomTargets(v);
                     if (!k)
                         return "--targets: " + Quoted(v) + " is not random:K with K in 1.." +
                                std::to_string(session::kMaxRandomTargets);
                     a.targets.randomCount = *k;
                     return std::string();
                 }}
                .Describe("random:K", "K distinct targets inside the reach circle, drawn from --target-seed"),
            Flag{"--target-seed", true,
                 [&a](const std::string& v) {
                     const auto s = session::ParseNumberField(session::kSeedField, v);
                     if (!s) return "--target-seed: " + Quoted(v) + " is not " + session::ExpectedText(session::kSeedField);
                     a.targets.randomSeed = static_cast<std::uint32_t>(*s);
                     a.targetSeedGiven = true;
                     return std::string();
                 }}
                .Describe("S", "seed of those draws, 0..4294967295", "1"),
            Flag{"--epsilon", true,
                 [&a](const std::string& v) {
                     const auto e = session::ParseNumberField(session::kEpsilonField, v);
                     if (!e) return "--epsilon: " + Quoted(v) + " is not " + session::ExpectedText(session::kEpsilonField);
                     a.plan.epsilon = *e;
                     return std::string();
                 }}
                .Describe("E", "pixels counted as close enough to the target, " + session::RangeText(session::kEpsilonField),
                          "0.5"),
            Flag{"--threads", true,
                 [&a](const std::string& v) {
                     const auto t = ParseInteger(v);
                     if (!t || *t < 1 || *t > 1024) return "--threads: " + Quoted(v) + " is not an integer in 1..1024";
                     a.threads = static_cast<int>(*t);
                     return std::string();
                 }}
                .Describe("T", "worker threads, 1..1024", "the hardware's count"),
            Flag{"--output", true, Name("--output", a.output)}.Describe(
                "FILE", "the CSV, one row per run; - for standard output (then the summary is not printed)"),
            Flag{"--summary", true, Name("--summary", a.summary)}.Describe("FILE", "the summary as CSV"),
            Flag{"--save-experiment", true, Name("--save-experiment", a.saveExperiment)}.Describe(
                "FILE",
                "also write the sweep as an experiment file (NAME.kelvora.json), before the runs: each "
                "configuration an entry, its seeds, targets and epsilon"),
            Flag{"--logs", true, Name("--logs", a.logs)}.Describe(
                "DIR", "also write each run's results.csv and fitness.csv to DIR/run-<run>/"),
            Flag{"--ioh", true, Name("--ioh", a.ioh)}.Describe(
                "DIR",
                "also write the runs in the IOHprofiler format to DIR (made if missing; locked; its files "
                "replaced whole at the end, or left as they were)"),
            Flag{"--shard", true,
                 [&a](const std::string& v) {
                     const auto kn = ParseIntegerPair(v, '/');
                     if (!kn || kn->second < 1 || kn->second > 1000000 || kn->first < 1 || kn->first > kn->second)
                         return "--shard: " + Quoted(v) + " is not K/N with 1 <= K <= N <= 1000000";
                     a.shardK = kn->first, a.shardN = kn->second;
                     return std::string();
                 }}
                .Describe("K/N", "run only the combinations whose run number - 1 is K - 1 modulo N"),
        },
        "sweep --help"};
    for (std::size_t which = 0; which < kAlgorithmFlagCount; ++which) table.flags.push_back(choices(which));
    table.flags.push_back(Flag{"--resume", false, Raise(a.resume)}.Describe(
        nullptr, "continue the sweep in --output: keep its whole rows, run the rest"));
    table.flags.push_back(Flag{"--yes", false, Raise(a.yes)}.Describe(nullptr, "allow a sweep of more than 1000000 runs"));
    table.flags.push_back(Flag{"--quiet", false, Raise(a.quiet)}.Describe(
        nullptr, "no progress bar and no printed summary; needs --output, --summary, --ioh or --logs"));
    table.flags.push_back(Flag{"--help", false, Raise(a.help), false, false, "-h"}.Describe(nullptr, "this text"));
    table.text = {
        "kelvora-cli sweep", "",
        "Runs every combination of the parameter lists, targets and seeds (each exactly the run\n"
        "`kelvora-cli --seed S ...` makes, without its two files) on several threads, writes one CSV row\n"
        "per run in combination order, and prints a summary per parameter set.",
        "Algorithms: every combination of the six lists in that order (the last varies fastest),\n"
        "random-search once. Combinations nest algorithm, population, generations, crossover, mutation,\n"
        "target, seed (the seed varies fastest); run numbers count them from 1. Columns: seed,population,\n"
        "generations,crossover,mutation,algorithm,encoding,selection,elitism,crossover_operator,\n"
        "mutation_operator (as the flags spell them; classic for random-search),\n"
        "target_x,target_y,elite_a1..3 (the run's best pose), elite_distance, optimum_distance (the best of\n"
        "all 256^3 poses), gap (their difference), reached_optimum, first_generation_at_optimum and\n"
        "first_generation_within_epsilon (the first generation, counted from 1, whose best tip is as close\n"
        "as the optimum's, or within epsilon; empty if none), run, runs, sweep (the sweep's fingerprint),\n"
        "epsilon (the pixels first_generation_within_epsilon was measured at).\n"
        "Distances are in pixels. The summary pools each parameter set and algorithm's targets and seeds:\n"
        "success and within-epsilon rates with Wilson 95% intervals [in brackets], median and quartiles\n"
        "q1–q3 (linear interpolation) of the elite distance and of the first generation within epsilon\n"
        "(over the runs that came there: \"14 of 100\"), and the ERT (all evaluations, a failed run's\n"
        "whole budget, over the runs within epsilon; inf for none). Each flag is given once (a list holds\n"
        "its values); only --target repeats.\n"
        "\n"
        "Ctrl-C, SIGTERM or SIGHUP stops the runs under way; the file keeps every finished row whole and\n"
        "--resume continues it (a second signal ends at once, the file cut back to its whole rows).\n"
        "--resume refuses a file whose rows are not this sweep's runs, naming the first line and column.\n"
        "Exit status: 0 done, 1 a file could not be written, 2 bad arguments, 130, 143 or 129 stopped by\n"
        "SIGINT, SIGTERM or SIGHUP."};
    return table;
}

// The flags' combinations that are refused, the targets drawn, and the seeds expanded once the
// sweep's size has been accepted.
std::string CompletePlan(SweepArgs& a, bool seedsGiven) {
    if (!seedsGiven) return "--seeds is required (for example --seeds 1..100)";
    if (a.quiet && a.output.empty() && a.summary.empty() && a.logs.empty() && a.ioh.empty())
        return "--quiet without --output, --summary, --ioh or --logs would keep nothing of the runs; add one of them";
    if (a.resume && !a.ioh.empty())
        return "--ioh cannot be combined with --resume: the runs kept in the file do not record their improvements";
    if (a.resume && a.output.empty()) return "--resume needs --output, the file to continue";
    if (a.resume && a.output == "-") return "--resume needs --output naming a file, not standard output";
    if (const std::string invalid = BuildAlgorithms(a); !invalid.empty()) return invalid;
    if (a.targetSeedGiven && a.targets.randomCount == 0)
        return "--target-seed needs --targets random:K: it seeds the draws of those targets";
    if (const experiment::ListFault fault = experiment::ResolveTargets(a.targets, a.plan.targets))
        return experiment::ListFaultText(fault, "--targets") + " by --target";
    if (a.plan.targets.empty()) a.plan.targets.push_back({kOpeningTargetX, kOpeningTargetY});
    long long seeds = 0;
    for (const auto& [first, last] : a.seedRanges) seeds += last - first + 1;
    a.plan.seeds = {0};  // one stand-in seed: the size of everything but the seeds
    const long long perSeed = CombinationCount(a.plan);
    const long long runs = seeds > (1LL << 62) / perSeed ? (1LL << 62) : seeds * perSeed;
    if (runs > kRunsWithoutYes && !a.yes)
        return "the sweep has " + std::to_string(runs) + " runs, more than " + std::to_string(kRunsWithoutYes) +
               "; add --yes to run it";
    if (seeds > kMaxSeeds) return "--seeds: " + std::to_string(seeds) + " seeds are more than " + std::to_string(kMaxSeeds);
    a.plan.seeds.clear();
    a.plan.seeds.reserve(static_cast<std::size_t>(seeds));
    for (const auto& [first, last] : a.seedRanges)
        for (long long seed = first; seed <= last; ++seed) a.plan.seeds.push_back(static_cast<std::uint32_t>(seed));
    return {};
}

std::string ParseSweepArgs(const std::vector<std::string>& args, SweepArgs& a) {
    constexpr SolverParams kDefaults{};  // the single run's defaults, as the window opens
    a.plan.populations = {kDefaults.populationSize};
    a.plan.generations = {kDefaults.generationCount};
    a.plan.crossovers = {kDefaults.crossoverRate};
    a.plan.mutations = {kDefaults.mutationProbability};
    bool seedsGiven = false;
    if (const FlagParse parsed = ParseFlags(SweepTable(a, seedsGiven), args); !parsed.ok()) return parsed.error;
    return a.help ? std::string() : CompletePlan(a, seedsGiven);
}

// Where a kept row disagrees with the combination the plan gives its run number: the column, the
// row's value and the plan's; nullopt when it agrees.
struct Disagreement {
    const char* column;
    std::string row, plan;
};
std::optional<Disagreement> Disagrees(const SweepCombination& row, const SweepCombination& plan) {
    const SolverParams& r = row.params;
    const SolverParams& p = plan.params;
    if (row.seed != plan.seed) return Disagreement{"seed", std::to_string(row.seed), std::to_string(plan.seed)};
    if (r.populationSize != p.populationSize)
        return Disagreement{"population", std::to_string(r.populationSize), std::to_string(p.populationSize)};
    if (r.generationCount != p.generationCount)
        return Disagreement{"generations", std::to_string(r.generationCount), std::to_string(p.generationCount)};
    if (r.crossoverRate != p.crossoverRate)
        return Disagreement{"crossover", ExactText(r.crossoverRate), ExactText(p.crossoverRate)};
    if (r.mutationProbability != p.mutationProbability)
        return Disagreement{"mutation", ExactText(r.mutationProbability), ExactText(p.mutationProbability)};
    if (!(row.algorithm == plan.algorithm)) {
        // The first of the six columns that differs, spelled as the file spells it.
        static const char* const kColumns[] = {"algorithm", "encoding", "selection", "elitism", "crossover_operator",
                                               "mutation_operator"};
        const std::vector<std::string> rowColumns = AlgorithmFields(row.algorithm);
        const std::vector<std::string> planColumns = AlgorithmFields(plan.algorithm);
        for (std::size_t i = 0; i < rowColumns.size(); ++i)
            if (rowColumns[i] != planColumns[i]) return Disagreement{kColumns[i], rowColumns[i], planColumns[i]};
    }
    if (row.target.x != plan.target.x)
        return Disagreement{"target_x", std::to_string(row.target.x), std::to_string(plan.target.x)};
    if (row.target.y != plan.target.y)
        return Disagreement{"target_y", std::to_string(row.target.y), std::to_string(plan.target.y)};
    return std::nullopt;
}

// Reads the whole rows of a sweep file being resumed, a line at a time, and checks that they are
// this sweep's first rows of this shard, each the run the plan gives its number. The header is read
// first, so that a foreign file is refused before the rest of it. Returns an error message, or ""
// with the rows' outcomes added to tally, their number in kept and the byte length they fill in keep.
// A file begun before rows carried their epsilon is finished as it was begun: older is then true and
// its rows are written without the column.
std::string ReadResumed(const std::string& path, const SweepPlan& plan, const std::string& fingerprint,
                        long long shardIndex, long long shardCount, SweepTally& tally, long long& kept, off_t& keep,
                        bool& older) {
    const std::string shown = Printable(path);
    const std::string header = SweepHeader();
    const std::string_view columns(header.data(), header.size() - 1);
    const std::string olderHeader = SweepHeaderWithoutEpsilon();
    const std::string_view olderColumns(olderHeader.data(), olderHeader.size() - 1);
    older = false;
    const long long runs = CombinationCount(plan);
    std::string error;
    long long line = 0;
    long long at = 0;  // bytes of the header and the whole rows read so far
    kept = 0;
    const std::string reason = session::ReadFileLines(path, session::kLongestSweepLine, [&](std::string_view text, session::LineEnd end) {
        ++line;
        if (line == 1) {
            // Not even the header is whole: start over. Anything else than the header: refused.
            if (end == session::LineEnd::eof && columns.substr(0, text.size()) == text) return false;
            older = text == olderColumns;
            if (end != session::LineEnd::lf || (text != columns && !older))
                error = shown + ": " + session::NotASweepHeader(text);
            else
                at = static_cast<long long>(text.size()) + 1;
            return error.empty();
        }
        if (end == session::LineEnd::eof) return false;  // a row cut short by an interruption: run it again
        const auto row = end == session::LineEnd::lf ? ParseSweepRow(std::string(text)) : std::nullopt;
        const long long expected = shardIndex + kept * shardCount;
        const std::string where = shown + ": line " + std::to_string(line);
        if (!row || row->epsilon.has_value() == older) {
            error = where + " is not a sweep row";
        } else if (row->fingerprint != fingerprint || row->runs != runs) {
            error = where + " belongs to a different sweep (other lists, targets, seeds or epsilon); resume with "
                            "the same arguments";
        } else if (row->run != expected + 1) {
            error = where + " is run " + std::to_string(row->run) + ", expected run " + std::to_string(expected + 1) +
                    " (a different --shard?)";
        } else if (const auto d = Disagrees(row->result.combination, CombinationAt(plan, expected))) {
            error = shown + ":" + std::to_string(line) + ": its " + d->column + " column is " + d->row + ", but run " +
                    std::to_string(expected + 1) + " of this sweep has " + d->plan +
                    " (the row was edited or written by something else); nothing was changed";
        }
        if (!error.empty()) return false;
        AddToTally(tally, row->result);
        ++kept;
        at += static_cast<long long>(text.size()) + 1;
        return true;
    });
    if (!reason.empty()) return shown + ": cannot read it to resume: " + reason;
    keep = static_cast<off_t>(at);
    return error;
}

// Everything that can be refused about the named files and directories, before anything is
// written: "" or the message (exit status 2).
std::string CheckPaths(const SweepArgs& a) {
    const bool rowsToStdout = a.output == "-";
    if (!a.logs.empty()) {
        struct stat info {};
        if (::stat(a.logs.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return "--logs: " + Quoted(a.logs) + " is not an existing directory";
    }
    if (!a.ioh.empty()) {
        std::error_code error;
        std::filesystem::create_directories(a.ioh, error);
        struct stat info {};
        if (::stat(a.ioh.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return "--ioh: " + Quoted(a.ioh) + ": " + (error ? error.message() : std::string("not a directory"));
    }
    for (const std::string* path : {&a.output, &a.summary}) {
        if (path->empty() || (path == &a.output && rowsToStdout)) continue;
        struct stat info {};
        if (::stat(path->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return Quoted(*path) + " is a directory";
        // The summary is written at the end: a missing directory is found out now, not after the runs.
        const std::size_t slash = path->rfind('/');
        const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path->substr(0, slash);
        if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || ::access(directory.c_str(), W_OK) != 0)
            return Quoted(*path) + ": " + Quoted(directory) + " is not a writable directory";
    }
    // The outputs, standard output among them when the rows or the printed summary go there (an
    // empty path): no two may be one file, however they are named.
    std::vector<std::string> paths, roles;
    if (!a.output.empty()) paths.push_back(rowsToStdout ? "" : a.output), roles.push_back("--output");
    if (!a.summary.empty()) paths.push_back(a.summary), roles.push_back("--summary");
    if (!a.quiet && !rowsToStdout) paths.push_back(""), roles.push_back("the printed summary");
    if (const auto [x, y] = SameFile(paths, paths.size()); x >= 0) {
        const auto shown = [&](int i) {
            return paths[i].empty() ? roles[i] + " (standard output)" : roles[i] + " " + Quoted(paths[i]);
        };
        return shown(x) + " and " + shown(y) + " are the same file; nothing was written";
    }
    return {};
}

// A resumed file loses only a row cut short; a new one starts with the header. A device
// (/dev/null, a terminal) or standard output is written as it is. keep: the bytes kept, then the
// whole bytes in the file. Returns false with errno set when the file cannot be written.
bool StartRows(OutputFile& output, off_t& keep) {
    const int fd = output.fd;
    bool ok = !output.regular || (::ftruncate(fd, keep) == 0 && ::lseek(fd, keep, SEEK_SET) == keep);
    if (ok && keep == 0) {
        ok = WriteAll(fd, SweepHeader());
        if (ok) {
            keep = static_cast<off_t>(SweepHeader().size());
            Keep(output);  // it holds the header: kept from now on
        } else if (output.regular) {
            (void)::ftruncate(fd, 0);
        }
    }
    if (output.regular && ok) KeepWholeOnSecondSignal(fd, keep);
    return ok;
}

// The runs under way: each result handed over in run order is tallied, exported, written as a row
// and counted on the progress bar.
class SweepRows {
public:
    SweepRows(const SweepArgs& a, const OutputFile& output, SweepTally& tally, long long runs, long long shardRuns,
              long long done, off_t whole, std::unique_ptr<IohExport> ioh, bool older)
        : a_(a), output_(output), tally_(tally), runs_(runs), shardRuns_(shardRuns), firstDone_(done), done_(done),
          whole_(whole), fingerprint_(SweepFingerprint(a.plan)),
          shownOutput_(a.output == "-" ? "standard output" : Printable(a.output)),
          rowEpsilon_(older ? std::nullopt : std::optional<double>(a.plan.epsilon)), bar_(!a.quiet) {
        ioh_ = std::move(ioh);
    }

    void Add(long long index, const SweepResult& r) {
        AddToTally(tally_, r);
        ++done_;
        Export(index, r);
        Write(index, r);
        Draw();
    }

    void Failed(const std::string& message) {
        bar_.Finish();
        std::fprintf(stderr, "kelvora-cli sweep: %s\n", message.c_str());
        status_ = 1;
    }

    // Closes the rows' file and the export once the sweep has ended; the exit status so far.
    int Finish() {
        bar_.Finish();
        KeepWholeOnSecondSignal(-1, 0);
        const int fd = output_.fd;
        if (fd >= 0 && ::close(fd) != 0 && !writeFailed_) {
            std::fprintf(stderr, "kelvora-cli sweep: %s: %s\n", shownOutput_.c_str(), std::strerror(errno));
            writeFailed_ = true;
        }
        if (writeFailed_) {
            status_ = 1;
            ioh_.reset();  // an export of runs whose rows were lost is not written; its temporaries go
        }
        if (ioh_) {
            if (const std::string failure = ioh_->finish(); !failure.empty()) {
                std::fprintf(stderr, "kelvora-cli sweep: --ioh: %s\n", Printable(failure, SIZE_MAX).c_str());
                status_ = 1;
            }
        }
        return status_;
    }

    long long done() const { return done_; }
    /// The rows' file is still being written (none failed).
    bool writing() const { return output_.fd >= 0 && !writeFailed_; }
    /// Writing the rows failed: the sweep was stopped, and nothing else of it is written.
    bool writeFailed() const { return writeFailed_; }
    const std::string& shownOutput() const { return shownOutput_; }

private:
    // Each target an instance, numbered from 1 in the sweep's order.
    void Export(long long index, const SweepResult& r) {
        if (!ioh_) return;
        const long long seeds = static_cast<long long>(a_.plan.seeds.size());
        const long long targets = static_cast<long long>(a_.plan.targets.size());
        (void)ioh_->add(r, static_cast<int>((index / seeds) % targets) + 1);  // a failure is told at finish()
    }

    // Each row is written as it is handed over, in run order; only a whole row stays in the file:
    // one cut short (a full disk) is cut off again.
    void Write(long long index, const SweepResult& r) {
        const int fd = output_.fd;
        if (fd < 0 || writeFailed_) return;
        const std::string row = SweepRow(r, index, runs_, fingerprint_, rowEpsilon_);
        if (WriteAll(fd, row)) {
            whole_ += static_cast<off_t>(row.size());
            if (output_.regular) KeepWholeOnSecondSignal(fd, whole_);
            return;
        }
        const int error = errno;
        if (output_.regular) (void)::ftruncate(fd, whole_);
        writeFailed_ = true;
        RequestStop();  // the rows have nowhere to go: the runs left would be lost
        bar_.Finish();
        std::fprintf(stderr, "kelvora-cli sweep: %s: write failed: %s\n", shownOutput_.c_str(), std::strerror(error));
    }

    void Draw() {
        if (!bar_.Due(done_ == shardRuns_)) return;
        const double seconds = bar_.Seconds();
        const long long ranHere = done_ - firstDone_;
        char estimate[32] = "?";
        if (ranHere > 0) {
            const double left = seconds / static_cast<double>(ranHere) * static_cast<double>(shardRuns_ - done_);
            std::snprintf(estimate, sizeof estimate, left < 10 ? "%.1fs" : "%.0fs", left);
        }
        char tail[128];
        std::snprintf(tail, sizeof tail, "runs %lld/%lld  %.1fs elapsed  about %s left ", done_, shardRuns_, seconds,
                      estimate);
        bar_.Draw(done_, shardRuns_, tail);
    }

    const SweepArgs& a_;
    const OutputFile& output_;
    SweepTally& tally_;
    const long long runs_, shardRuns_, firstDone_;
    long long done_;
    off_t whole_;  // bytes of the header and the whole rows in the file
    const std::string fingerprint_, shownOutput_;
    std::optional<double> rowEpsilon_;  // nullopt: a file begun without the epsilon column
    ProgressBar bar_;
    std::unique_ptr<IohExport> ioh_;
    bool writeFailed_ = false;
    int status_ = 0;
};

// The summary printed and written once the runs have ended; the exit status with it.
int DeliverSummary(const SweepArgs& a, SweepTally tally, OutputFile& summaryFile, int status) {
    const std::vector<SweepSummaryRow> summary = Summarise(std::move(tally));
    // With the rows on standard output the printed summary would land among them: --summary has it.
    if (!a.quiet && a.output != "-") std::fputs(report::SummaryText(summary, a.plan.epsilon).c_str(), stdout);
    if (const std::string reason = summaryFile.fd >= 0 ? WriteWhole(summaryFile, experiment::LabelledSummaryCsv(summary)) : "";
        !reason.empty()) {
        std::fprintf(stderr, "kelvora-cli sweep: %s: cannot write the summary: %s\n", Printable(a.summary).c_str(),
                     Printable(reason, SIZE_MAX).c_str());
        Abandon(summaryFile);
        return 1;
    }
    return status;
}

// Both outputs held (locked) from here on, so that a second sweep is refused before it touches
// either; the exit status (both abandoned, the reason on stderr) when one cannot be, else 0.
int HoldOutputs(const SweepArgs& a, OutputFile& output, OutputFile& summaryFile) {
    for (OutputFile* file : {&output, &summaryFile}) {
        const std::string& path = file == &output ? a.output : a.summary;
        if (path.empty()) continue;
        if (const std::string error = OpenOutput(path, *file, file == &output); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli sweep: %s\n", error.c_str());
            Abandon(output);
            Abandon(summaryFile);
            return OpenFailureStatus(*file);
        }
    }
    return 0;
}

// The sweep as an experiment file: one entry per configuration in the sweep's order, written whole.
int SaveExperiment(const SweepArgs& a) {
    std::vector<experiment::PlannedConfiguration> configurations;
    const long long perConfiguration = static_cast<long long>(a.plan.targets.size() * a.plan.seeds.size());
    for (long long index = 0; index < CombinationCount(a.plan); index += perConfiguration) {
        const SweepCombination c = CombinationAt(a.plan, index);
        configurations.push_back({{}, c.params, c.algorithm, configurations.size()});
    }
    experiment::SeedList seeds;
    for (const auto& [first, last] : a.seedRanges)
        seeds.ranges.emplace_back(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last));
    experiment::Experiment e = experiment::ExperimentOf(configurations, a.targets.given, seeds, a.plan.epsilon);
    if (a.targets.randomCount > 0) {
        e.targets->randomCount = a.targets.randomCount;
        if (a.targets.randomSeed != session::kDefaultTargetSeed) e.targetSeed = a.targets.randomSeed;
    } else if (a.targets.given.empty()) {
        e.targets.reset();  // the default target, as the sweep ran it
    }
    OutputFile file;
    std::string error = OpenOutput(a.saveExperiment, file);
    if (error.empty()) error = WriteWhole(file, experiment::ExperimentText(e));
    if (error.empty()) return 0;
    std::fprintf(stderr, "kelvora-cli sweep: --save-experiment: %s\n", Printable(error, SIZE_MAX).c_str());
    return 1;
}

}  // namespace

FlagTable kelvora::cli::SweepFlags() {
    static SweepArgs unused;  // the handlers are never called
    static bool seedsGiven = false;
    return SweepTable(unused, seedsGiven);
}

int kelvora::cli::SweepCommand(const std::vector<std::string>& args) {
    SweepArgs a;
    if (const std::string error = ParseSweepArgs(args, a); !error.empty()) return Refuse("sweep", error);
    if (a.help) {
        std::fputs(HelpText(SweepFlags()).c_str(), stdout);
        return FinishStdout();
    }
    const SweepPlan& plan = a.plan;
    // The limits every plan is held to, the experiment window's too.
    if (const session::SweepPlanFault fault = session::CheckSweepPlan(plan))
        return Refuse("sweep", session::SweepPlanFaultText(fault));
    if (const std::string error = CheckPaths(a); !error.empty()) return Refuse("sweep", error);
    if (!a.saveExperiment.empty())
        if (const int status = SaveExperiment(a); status != 0) return status;
    const long long runs = CombinationCount(plan);
    const long long shardIndex = a.shardK - 1;
    const long long shardRuns = runs > shardIndex ? (runs - shardIndex + a.shardN - 1) / a.shardN : 0;

    // The IOH directory is held (locked) like the files, so that a second export into it is refused.
    std::unique_ptr<IohExport> ioh;
    if (!a.ioh.empty()) {
        ioh = std::make_unique<IohExport>(a.ioh);
        if (const std::string error = ioh->lock(); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli sweep: --ioh: %s\n", Printable(error, SIZE_MAX).c_str());
            return 1;
        }
    }
    OutputFile output, summaryFile;
    if (const int status = HoldOutputs(a, output, summaryFile); status != 0) return status;
    // The summary's share of each run, not the runs: room for each parameter set's runs at once.
    SweepTally tally;
    const long long perSet = runs / static_cast<long long>(plan.algorithms.size() * plan.populations.size() *
                                                           plan.generations.size() * plan.crossovers.size() *
                                                           plan.mutations.size());
    tally.runsPerGroup = std::min(shardRuns, perSet / a.shardN + 1);
    long long kept = 0;
    off_t keep = 0;
    bool older = false;
    if (a.resume && !output.created) {  // read only once it is ours
        if (const std::string error =
                ReadResumed(a.output, plan, SweepFingerprint(plan), shardIndex, a.shardN, tally, kept, keep, older);
            !error.empty()) {
            Abandon(output);
            Abandon(summaryFile);
            return Refuse("sweep", error);
        }
    }

    InstallStopSignals();
    if (output.fd >= 0 && !StartRows(output, keep)) {
        std::fprintf(stderr, "kelvora-cli sweep: %s: cannot write: %s\n",
                     a.output == "-" ? "standard output" : Printable(a.output).c_str(), std::strerror(errno));
        Abandon(output);
        Abandon(summaryFile);
        return 1;
    }

    SweepOptions options;
    options.threads = a.threads > 0 ? a.threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    options.shardIndex = shardIndex;
    options.shardCount = a.shardN;
    options.skip = kept;
    options.stop = &StopFlag();
    options.logDirectory = a.logs;
    SweepRows rows(a, output, tally, runs, shardRuns, kept, keep, std::move(ioh), older);
    // Out of memory on the way (a summary's tally grows with the runs) ends the sweep: the rows
    // written so far are whole and named; the summary and the IOH export, incomplete, are not written.
    try {
        RunSweep(
            plan, options, [&rows](long long index, const SweepResult& r) { rows.Add(index, r); },
            [&rows](const std::string& message) { rows.Failed(message); });
    } catch (const std::bad_alloc&) {
        KeepWholeOnSecondSignal(-1, 0);
        const bool writing = rows.writing();
        std::fprintf(stderr, "kelvora-cli sweep: out of memory after %lld of %lld runs; nothing more was written%s%s%s\n",
                     rows.done(), shardRuns, writing ? ": " : "", writing ? rows.shownOutput().c_str() : "",
                     writing ? " holds their rows whole (add --resume to continue)" : "");
        Abandon(summaryFile);
        return 1;
    }
    int status = rows.Finish();
    output.fd = -1;
    if (rows.writeFailed()) {
        Abandon(summaryFile);
        FinishStdout();
        return 1;
    }
    status = DeliverSummary(a, std::move(tally), summaryFile, status);
    if (StopExitStatus() != 0) {
        std::fprintf(stderr, "kelvora-cli sweep: %s: stopped with %lld of %lld runs done%s%s%s\n", StopSignalName(),
                     rows.done(), shardRuns, a.output.empty() ? "" : " in ",
                     a.output.empty() ? "" : rows.shownOutput().c_str(),
                     a.output.empty() ? "" : "; add --resume to continue");
        FinishStdout();
        return StopExitStatus();
    }
    return std::max(status, FinishStdout());
}
