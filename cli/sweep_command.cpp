// kelvora-cli sweep: every combination of parameter lists, targets and seeds, on every core, into
// one tidy CSV and a summary.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "options.h"
#include "output.h"
#include "signals.h"
#include "batch/sweep.h"
#include "sweep_table.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

constexpr long long kRunsWithoutYes = 1000000;
constexpr long long kMaxSeeds = 100000000;  // 400 MB of seeds; larger sweeps are sharded by seed range

const char* const kUsage =
    "Usage: kelvora-cli sweep --seeds A..B [options]\n"
    "Runs every combination of the parameter lists, targets and seeds (each exactly the run\n"
    "`kelvora-cli --seed S ...` makes, without its two files) on several threads, writes one CSV row\n"
    "per run in combination order, and prints a summary per parameter set.\n"
    "\n"
    "  --population LIST    population sizes, 1..10000 each (default 20)\n"
    "  --generations LIST   generation counts, 1..10000 each (default 100)\n"
    "  --crossover LIST     crossover rates, 0.001..1 each (default 0.5)\n"
    "  --mutation LIST      mutation probabilities, 0..1 each (default 0.1)\n"
    "  --seeds LIST         seeds or ranges A..B, 0..4294967295 (required), e.g. 1..100 or 1..10,42\n"
    "  --target X,Y         a target relative to the base, x right, y up, -199..199; repeat for more\n"
    "                       (default 68,180 when there is neither --target nor --targets)\n"
    "  --targets random:K   K distinct targets inside the reach circle, drawn from --target-seed\n"
    "  --target-seed S      seed of those draws, 0..4294967295 (default 1)\n"
    "  --epsilon E          pixels counted as close enough to the target, > 0 (default 0.5)\n"
    "  --threads T          worker threads, 1..1024 (default: the hardware's count)\n"
    "  --output FILE        the CSV, one row per run; - for standard output (then the summary is not\n"
    "                       printed)\n"
    "  --summary FILE       the summary as CSV\n"
    "  --logs DIR           also write each run's results.csv and fitness.csv to DIR/run-<run>/\n"
    "  --shard K/N          run only the combinations whose run number - 1 is K - 1 modulo N\n"
    "  --resume             continue the sweep in --output: keep its whole rows, run the rest\n"
    "  --yes                allow a sweep of more than 1000000 runs\n"
    "  --quiet              no progress bar and no printed summary\n"
    "  --help               this text\n"
    "\n"
    "Combinations nest population, generations, crossover, mutation, target, seed (the seed varies\n"
    "fastest); run numbers count them from 1. Columns: seed,population,generations,crossover,mutation,\n"
    "target_x,target_y,elite_a1..3 (the run's best pose), elite_distance, optimum_distance (the best of\n"
    "all 256^3 poses), gap (their difference), reached_optimum, first_generation_at_optimum and\n"
    "first_generation_within_epsilon (the first generation, counted from 1, whose best tip is as close\n"
    "as the optimum's, or within epsilon; empty if none), run, runs, sweep (the sweep's fingerprint).\n"
    "Distances are in pixels. The summary pools each parameter set's targets and seeds: success and\n"
    "within-epsilon rates with Wilson 95% intervals, median and interquartile range (linear\n"
    "interpolation) of the elite distance and of the first generation within epsilon.\n"
    "\n"
    "Ctrl-C or SIGTERM stops the runs under way; the file keeps every finished row whole and\n"
    "--resume continues it. Exit status: 0 done, 1 a file could not be written, 2 bad arguments,\n"
    "130 or 143 stopped by SIGINT or SIGTERM.\n";

struct SweepArgs {
    SweepPlan plan;
    std::vector<std::pair<long long, long long>> seedRanges;
    int randomTargets = 0;
    std::uint32_t targetSeed = 1;
    int threads = 0;
    std::string output, summary, logs;
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

bool IntList(const std::string& flag, const std::string& value, long long low, long long high, std::vector<int>& out,
             std::string& error) {
    std::vector<std::string> items;
    if (!SplitList(flag, value, items, error)) return false;
    out.clear();
    for (const std::string& item : items) {
        const auto v = ParseInteger(item);
        if (!v || *v < low || *v > high) {
            error = flag + ": " + Quoted(item) + " is not an integer in " + std::to_string(low) + ".." + std::to_string(high);
            return false;
        }
        out.push_back(static_cast<int>(*v));
    }
    return NoDuplicates(flag, out, items, error);
}

bool RealList(const std::string& flag, const std::string& value, double low, const char* range, std::vector<double>& out,
              std::string& error) {
    std::vector<std::string> items;
    if (!SplitList(flag, value, items, error)) return false;
    out.clear();
    for (const std::string& item : items) {
        const auto v = ParseFiniteDouble(item);
        if (!v || !(*v >= low && *v <= 1.0)) {
            error = flag + ": " + Quoted(item) + " is not a number in " + range;
            return false;
        }
        out.push_back(*v);
    }
    return NoDuplicates(flag, out, items, error);
}

// Reads seeds and ranges A..B into ranges; a seed in two of them is an error. They are expanded only
// once the sweep's size has been accepted.
bool Seeds(const std::string& value, std::vector<std::pair<long long, long long>>& ranges, std::string& error) {
    std::vector<std::string> items;
    if (!SplitList("--seeds", value, items, error)) return false;
    constexpr long long kMax = std::numeric_limits<std::uint32_t>::max();
    ranges.clear();
    for (const std::string& item : items) {
        const auto range = ParseRange(item, 0, kMax);
        if (!range) {
            error = "--seeds: " + Quoted(item) + " is not a seed or a range A..B of seeds in 0..4294967295";
            return false;
        }
        if (range->second < range->first) {
            error = "--seeds: the range " + Quoted(item) + " is reversed (it would hold no seed)";
            return false;
        }
        ranges.push_back(*range);
    }
    std::vector<std::pair<long long, long long>> sorted = ranges;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i].first <= sorted[i - 1].second) {
            error = "--seeds: seed " + std::to_string(sorted[i].first) + " is listed twice";
            return false;
        }
    }
    return true;
}

bool Target(const std::string& value, std::vector<SweepTarget>& targets, std::string& error) {
    const auto xy = ParseIntegerPair(value, ',');
    const auto inside = [](long long v) { return v >= -kMaxTargetOffset && v <= kMaxTargetOffset; };
    if (!xy || !inside(xy->first) || !inside(xy->second)) {
        error = "--target: " + Quoted(value) + " is not X,Y with integers X and Y in -199..199";
        return false;
    }
    const SweepTarget t{static_cast<int>(xy->first), static_cast<int>(xy->second)};
    for (const SweepTarget& other : targets)
        if (other == t) {
            error = "--target: " + Quoted(value) + " is given twice";
            return false;
        }
    targets.push_back(t);
    return true;
}

std::string ParseSweepArgs(const std::vector<std::string>& args, SweepArgs& a) {
    std::string error;
    bool seedsGiven = false;
    constexpr SolverParams kDefaults{};  // the single run's defaults, as the window opens
    a.plan.populations = {kDefaults.populationSize};
    a.plan.generations = {kDefaults.generationCount};
    a.plan.crossovers = {kDefaults.crossoverRate};
    a.plan.mutations = {kDefaults.mutationProbability};
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        auto [flag, value] = SplitFlag(args[i]);
        if (flag == "--resume" || flag == "--yes" || flag == "--quiet" || flag == "--help" || flag == "-h") {
            if (value) return flag + " takes no value";
            if (flag == "--resume") a.resume = true;
            if (flag == "--yes") a.yes = true;
            if (flag == "--quiet") a.quiet = true;
            if (flag == "--help" || flag == "-h") a.help = true;
            continue;
        }
        static const std::set<std::string> kValued = {
            "--population", "--generations", "--crossover", "--mutation", "--seeds",  "--target",  "--targets",
            "--target-seed", "--epsilon",    "--threads",   "--output",   "--summary", "--logs",   "--shard"};
        if (!kValued.count(flag)) return "unknown argument " + Quoted(args[i]) + " (see sweep --help)";
        if (!value) {
            if (i + 1 >= args.size()) return flag + " needs a value";
            value = args[++i];
        }
        const std::string& v = *value;
        if (flag == "--population") {
            IntList(flag, v, kMinPopulation, kMaxPopulation, a.plan.populations, error);
        } else if (flag == "--generations") {
            IntList(flag, v, kMinGenerations, kMaxGenerations, a.plan.generations, error);
        } else if (flag == "--crossover") {
            RealList(flag, v, kMinCrossoverRate, "0.001..1", a.plan.crossovers, error);
        } else if (flag == "--mutation") {
            RealList(flag, v, kMinMutationProbability, "0..1", a.plan.mutations, error);
        } else if (flag == "--seeds") {
            seedsGiven = Seeds(v, a.seedRanges, error);
        } else if (flag == "--target") {
            Target(v, a.plan.targets, error);
        } else if (flag == "--targets") {
            const auto k = v.rfind("random:", 0) == 0 ? ParseInteger(v.substr(7)) : std::nullopt;
            if (!k || *k < 1 || *k > 10000) error = "--targets: " + Quoted(v) + " is not random:K with K in 1..10000";
            else a.randomTargets = static_cast<int>(*k);
        } else if (flag == "--target-seed") {
            const auto s = ParseInteger(v);
            if (!s || *s < 0 || *s > std::numeric_limits<std::uint32_t>::max())
                error = "--target-seed: " + Quoted(v) + " is not an integer in 0..4294967295";
            else a.targetSeed = static_cast<std::uint32_t>(*s);
        } else if (flag == "--epsilon") {
            const auto e = ParseFiniteDouble(v);
            if (!e || !(*e > 0.0 && *e <= 1000.0)) error = "--epsilon: " + Quoted(v) + " is not a number of pixels in (0, 1000]";
            else a.plan.epsilon = *e;
        } else if (flag == "--threads") {
            const auto t = ParseInteger(v);
            if (!t || *t < 1 || *t > 1024) error = "--threads: " + Quoted(v) + " is not an integer in 1..1024";
            else a.threads = static_cast<int>(*t);
        } else if (flag == "--shard") {
            const auto kn = ParseIntegerPair(v, '/');
            if (!kn || kn->second < 1 || kn->second > 1000000 || kn->first < 1 || kn->first > kn->second)
                error = "--shard: " + Quoted(v) + " is not K/N with 1 <= K <= N <= 1000000";
            else a.shardK = kn->first, a.shardN = kn->second;
        } else if (v.empty()) {
            error = flag + ": the file name is empty";
        } else if (flag == "--output") {
            a.output = v;
        } else if (flag == "--summary") {
            a.summary = v;
        } else if (flag == "--logs") {
            a.logs = v;
        }
    }
    if (!error.empty() || a.help) return error;
    if (!seedsGiven) return "--seeds is required (for example --seeds 1..100)";
    if (a.resume && a.output.empty()) return "--resume needs --output, the file to continue";
    if (a.resume && a.output == "-") return "--resume needs --output naming a file, not standard output";
    if (a.randomTargets > 0) {
        for (const SweepTarget& t : RandomTargets(a.randomTargets, a.targetSeed)) {
            for (const SweepTarget& other : a.plan.targets)
                if (other == t)
                    return "--targets: the drawn target " + std::to_string(t.x) + "," + std::to_string(t.y) +
                           " is also given by --target";
            a.plan.targets.push_back(t);
        }
    }
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

// Reads the whole rows of a sweep file being resumed and checks that they are this sweep's first
// rows of this shard. Returns an error message, or "" with rows and the byte length they fill.
std::string ReadResumed(const std::string& path, const SweepPlan& plan, const std::string& fingerprint,
                        long long shardIndex, long long shardCount, std::vector<SweepResult>& rows, off_t& keep) {
    const std::string shown = Printable(path);
    std::string text;
    if (const std::string reason = ReadInput(path, text); !reason.empty())
        return shown + ": cannot read it to resume: " + reason;
    const std::string header = SweepHeader();
    if (text.size() < header.size()) {
        if (header.compare(0, text.size(), text) != 0)
            return shown + ": not a sweep file (its first line is not the sweep header)";
        keep = 0;  // not even the header is whole: start over
        return {};
    }
    if (text.compare(0, header.size(), header) != 0) return shown + ": not a sweep file (its first line is not the sweep header)";
    const long long runs = CombinationCount(plan);
    std::size_t at = header.size();
    long long line = 2;
    for (;; ++line) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // a row cut short by an interruption: run it again
        const auto row = ParseSweepRow(text.substr(at, end - at));
        const long long expected = shardIndex + static_cast<long long>(rows.size()) * shardCount;
        if (!row) return shown + ": line " + std::to_string(line) + " is not a sweep row";
        if (row->fingerprint != fingerprint || row->runs != runs)
            return shown + ": line " + std::to_string(line) + " belongs to a different sweep (other lists, targets, "
                   "seeds or epsilon); resume with the same arguments";
        if (row->run != expected + 1)
            return shown + ": line " + std::to_string(line) + " is run " + std::to_string(row->run) + ", expected run " +
                   std::to_string(expected + 1) + " (a different --shard?)";
        rows.push_back(row->result);
        at = end + 1;
    }
    keep = static_cast<off_t>(at);
    return {};
}

}  // namespace

int kelvora::cli::SweepCommand(const std::vector<std::string>& args) {
    SweepArgs a;
    if (const std::string error = ParseSweepArgs(args, a); !error.empty()) {
        std::fprintf(stderr, "kelvora-cli sweep: %s\n", error.c_str());
        return 2;
    }
    if (a.help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    const SweepPlan& plan = a.plan;
    const long long runs = CombinationCount(plan);
    const std::string fingerprint = SweepFingerprint(plan);
    const long long shardIndex = a.shardK - 1;
    const long long shardRuns = runs > shardIndex ? (runs - shardIndex + a.shardN - 1) / a.shardN : 0;
    const bool rowsToStdout = a.output == "-";

    // Everything that can be refused is checked before anything is written.
    if (!a.logs.empty()) {
        struct stat info {};
        if (::stat(a.logs.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            std::fprintf(stderr, "kelvora-cli sweep: --logs: %s is not an existing directory\n", Quoted(a.logs).c_str());
            return 2;
        }
    }
    for (const std::string* path : {&a.output, &a.summary}) {
        if (path->empty() || (path == &a.output && rowsToStdout)) continue;
        struct stat info {};
        if (::stat(path->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            std::fprintf(stderr, "kelvora-cli sweep: %s is a directory\n", Quoted(*path).c_str());
            return 2;
        }
        // The summary is written at the end: a missing directory is found out now, not after the runs.
        const std::size_t slash = path->rfind('/');
        const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path->substr(0, slash);
        if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || ::access(directory.c_str(), W_OK) != 0) {
            std::fprintf(stderr, "kelvora-cli sweep: %s: %s is not a writable directory\n", Quoted(*path).c_str(),
                         Quoted(directory).c_str());
            return 2;
        }
    }
    if (!a.output.empty() && !rowsToStdout && !a.summary.empty() && SameFile({a.output, a.summary}, 1).first >= 0) {
        std::fprintf(stderr, "kelvora-cli sweep: --output and --summary name the same file, %s\n",
                     Quoted(a.summary).c_str());
        return 2;
    }

    // Both outputs are held (locked) from here on, so that a second sweep is refused before it
    // touches either; the resumed file is read only once it is ours.
    OutputFile output, summaryFile;
    for (OutputFile* file : {&output, &summaryFile}) {
        const std::string& path = file == &output ? a.output : a.summary;
        if (path.empty()) continue;
        if (const std::string error = OpenOutput(path, *file, file == &output); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli sweep: %s\n", error.c_str());
            Abandon(output);
            Abandon(summaryFile);
            return 1;
        }
    }
    std::vector<SweepResult> results;
    off_t keep = 0;
    if (a.resume && !output.created) {
        if (const std::string error = ReadResumed(a.output, plan, fingerprint, shardIndex, a.shardN, results, keep);
            !error.empty()) {
            std::fprintf(stderr, "kelvora-cli sweep: %s\n", error.c_str());
            Abandon(output);
            Abandon(summaryFile);
            return 2;
        }
    }

    InstallStopSignals();
    const std::string shownOutput = rowsToStdout ? "standard output" : Printable(a.output);
    const int fd = output.fd;
    if (fd >= 0) {
        // A resumed file loses only a row cut short; a new one starts with the header. A device
        // (/dev/null, a terminal) or standard output is written as it is.
        bool ok = !output.regular || (::ftruncate(fd, keep) == 0 && ::lseek(fd, keep, SEEK_SET) == keep);
        if (ok && keep == 0) ok = WriteAll(fd, SweepHeader());
        if (!ok) {
            std::fprintf(stderr, "kelvora-cli sweep: %s: cannot write: %s\n", shownOutput.c_str(), std::strerror(errno));
            Abandon(output);
            Abandon(summaryFile);
            return 1;
        }
    }

    SweepOptions options;
    options.threads = a.threads > 0 ? a.threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    options.shardIndex = shardIndex;
    options.shardCount = a.shardN;
    options.skip = static_cast<long long>(results.size());
    options.stop = &StopFlag();
    options.logDirectory = a.logs;

    ProgressBar bar(!a.quiet);
    const long long firstDone = options.skip;
    bool writeFailed = false;
    int status = 0;
    results.reserve(static_cast<std::size_t>(shardRuns));
    RunSweep(
        plan, options,
        [&](long long index, const SweepResult& r) {
            results.push_back(r);
            results.back().improvements = {};  // only the summary's fields are kept
            if (fd >= 0 && !writeFailed && !WriteAll(fd, SweepRow(r, index, runs, fingerprint))) {
                writeFailed = true;
                bar.Finish();
                std::fprintf(stderr, "kelvora-cli sweep: %s: write failed: %s\n", shownOutput.c_str(),
                             std::strerror(errno));
            }
            const auto done = static_cast<long long>(results.size());
            if (!bar.Due(done == shardRuns)) return;
            const double seconds = bar.Seconds();
            const long long ranHere = done - firstDone;
            char estimate[32] = "?";
            if (ranHere > 0) {
                const double left = seconds / static_cast<double>(ranHere) * static_cast<double>(shardRuns - done);
                std::snprintf(estimate, sizeof estimate, left < 10 ? "%.1fs" : "%.0fs", left);
            }
            char tail[128];
            std::snprintf(tail, sizeof tail, "runs %lld/%lld  %.1fs elapsed  about %s left ", done, shardRuns, seconds,
                          estimate);
            bar.Draw(done, shardRuns, tail);
        },
        [&](const std::string& message) {
            bar.Finish();
            std::fprintf(stderr, "kelvora-cli sweep: %s\n", message.c_str());
            status = 1;
        });
    bar.Finish();
    if (fd >= 0 && ::close(fd) != 0 && !writeFailed) {
        std::fprintf(stderr, "kelvora-cli sweep: %s: %s\n", shownOutput.c_str(), std::strerror(errno));
        writeFailed = true;
    }
    output.fd = -1;
    if (writeFailed) status = 1;

    const std::vector<SweepSummaryRow> summary = Summarise(results);
    // With the rows on standard output the printed summary would land among them: --summary has it.
    if (!a.quiet && !rowsToStdout) std::fputs(SummaryText(summary, plan.epsilon).c_str(), stdout);
    if (summaryFile.fd >= 0 && !WriteWhole(summaryFile, SummaryCsv(summary))) {
        std::fprintf(stderr, "kelvora-cli sweep: %s: cannot write the summary: %s\n", Printable(a.summary).c_str(),
                     std::strerror(errno));
        Abandon(summaryFile);
        status = 1;
    }
    if (StopExitStatus() != 0) {
        std::fprintf(stderr, "kelvora-cli sweep: %s: stopped with %lld of %lld runs done%s%s%s\n", StopSignalName(),
                     static_cast<long long>(results.size()), shardRuns, a.output.empty() ? "" : " in ",
                     a.output.empty() ? "" : shownOutput.c_str(), a.output.empty() ? "" : "; add --resume to continue");
        FinishStdout();
        return StopExitStatus();
    }
    return std::max(status, FinishStdout());
}
