// kelvora-cli inspect FILE [--json]: checks a results.csv line for line and prints what it holds.
// Exit status: 0 a good file, 1 standard output failed, 2 bad arguments, a malformed file, one that
// changed while it was being read or one that could not be read.

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "helpers.h"
#include "output.h"
#include "io/results_reader.h"
#include "io/run_record.h"
#include "session/run_record.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return kelvora::cli::Refuse("inspect", message); }

// What inspect found in a good results.csv, for the report.
struct Inspection {
    const std::string& path;
    const ResultsSummary& s;
    const Optimum& optimum;
    session::RecordMatch match;
    const RunRecord& record;
    const std::string& recordError;
    session::Rerun rerun;      ///< for a matching record: its run made again
    const std::string& rerunWhy;
};

// A fitness.csv given in a results.csv's place: says so, with what it holds.
void PrintFitnessFile(const std::string& path, const std::vector<GenerationStat>& rows, bool json) {
    const std::string shown = Printable(path);
    // A fitness.csv given in its place: say so, with what it holds.
    std::size_t best = 0;
    for (std::size_t g = 1; g < rows.size(); ++g)
        if (rows[g].best > rows[best].best) best = g;
    if (json)
        std::printf("%s\n", JsonLine({{"file", path},
                                      {"kind", "fitness.csv"},
                                      {"generations", rows.size()},
                                      {"best", rows[best].best},
                                      {"bestGeneration", best + 1}})
                                .c_str());
    else
        std::printf("file              %s\n"
                    "kind              this is a fitness.csv (best and average fitness per generation), not a results.csv\n"
                    "generations       %zu\n"
                    "best fitness      %.6f (error %.6f px), first at generation %zu\n",
                    shown.c_str(), rows.size(), rows[best].best, 1.0 / rows[best].best - 1.0, best + 1);
}

void PrintJson(const Inspection& in) {
    const ResultsSummary& s = in.s;
    static constexpr const char* kMatchNames[] = {"missing", "unreadable", "differs", "matches"};
    const bool rerunDiffers = in.match == session::RecordMatch::matches && in.rerun == session::Rerun::differs;
    const char* matchName = rerunDiffers ? "doesNotReproduce" : kMatchNames[static_cast<int>(in.match)];
    const RunRecord& record = in.record;
    const session::RecordMatch match = in.match;
    const Optimum& optimum = in.optimum;
    const std::string& path = in.path;
    const ArmPose& e = s.elitePose;
    const ArmPose& o = optimum.pose;
    const int targetX = s.target.x - kBaseX;
    const int targetY = kBaseY - s.target.y;
    nlohmann::ordered_json runRecord{{"status", matchName}};
    if (rerunDiffers) runRecord["why"] = in.rerunWhy;
    if (match == session::RecordMatch::matches && !rerunDiffers) {
        runRecord["seed"] = record.seed;
        runRecord["command"] = session::ReproducingCommand(record);
        // Whether the run was made again and gave the same bytes, or only the digests agree.
        runRecord["checked"] = in.rerun == session::Rerun::reproduces ? "rerun" : "digest";
        if (in.rerun == session::Rerun::notMade) runRecord["why"] = in.rerunWhy;
    }
    const nlohmann::ordered_json summary{{"file", path},
                                         {"population", s.index.population},
                                         {"generations", s.index.generations()},
                                         {"complete", !s.truncated},
                                         {"target", {targetX, targetY}},
                                         {"targetUnique", s.target.unique},
                                         {"elitePose", PoseArray(e)},
                                         {"eliteFitness", s.eliteFitness},
                                         {"optimumPose", PoseArray(o)},
                                         {"optimumFitness", optimum.fitness},
                                         {"optimumDistance", optimum.distance},
                                         {"runRecord", runRecord}};
    std::printf("%s\n", JsonLine(summary).c_str());
}

void PrintText(const Inspection& in) {
    const ResultsSummary& s = in.s;
    const RunRecord& record = in.record;
    const Optimum& optimum = in.optimum;
    const std::string shown = Printable(in.path);
    const ArmPose& e = s.elitePose;
    const ArmPose& o = optimum.pose;
    const int targetX = s.target.x - kBaseX;
    const int targetY = kBaseY - s.target.y;
    std::printf("file              %s\n"
                "population        %d\n"
                "generations       %lld%s\n",
                shown.c_str(), s.index.population, s.index.generations(),
                s.truncated ? " complete; cut off inside the next one (an interrupted run)" : "");
    if (s.target.unique)
        std::printf("target            %d,%d (pixel %d,%d)\n", targetX, targetY, s.target.x, s.target.y);
    else
        std::printf("target            %d,%d (pixel %d,%d; one of %d that fit: too few distinct tips)\n", targetX,
                    targetY, s.target.x, s.target.y, s.target.candidates);
    std::printf("elite pose        %d, %d, %d\n"
                "elite fitness     %.6f (error %.6f px)\n"
                "optimum pose      %d, %d, %d\n"
                "optimum fitness   %.6f (error %.6f px)\n"
                "check             every line matches its genes and this target\n",
                e.a1, e.a2, e.a3, s.eliteFitness, 1.0 / s.eliteFitness - 1.0, o.a1, o.a2, o.a3, optimum.fitness,
                optimum.distance);
    switch (in.match) {
    case session::RecordMatch::matches:
        if (in.rerun == session::Rerun::differs) {
            std::printf("run.json          describes this file by its size and SHA-256, but does not reproduce it: the "
                        "run it names, made again, writes other bytes (%s; a field edited after the run): what "
                        "the file shows is used\n",
                        in.rerunWhy.c_str());
            break;
        }
        if (in.rerun == session::Rerun::reproduces)
            std::printf("run.json          describes this file, and the run it names, made again, writes the same "
                        "bytes: seed %u, %s, started %s\n",
                        record.seed, AlgorithmSummary(record.algorithm).c_str(), record.started.c_str());
        else
            std::printf("run.json          describes this file by its size and SHA-256 only (the run it names was "
                        "not made again: %s): seed %u, %s, started %s\n",
                        Printable(in.rerunWhy, 4096).c_str(), record.seed, AlgorithmSummary(record.algorithm).c_str(),
                        record.started.c_str());
        std::printf("reproduce         %s\n", session::ReproducingCommand(record).c_str());
        break;
    case session::RecordMatch::differs:
        std::printf("run.json          does not describe this file (its size or SHA-256, population or generations differ): what the file shows is used\n");
        break;
    case session::RecordMatch::unreadable:
        std::printf("run.json          cannot be read (%s): what the file shows is used\n", Printable(in.recordError).c_str());
        break;
    case session::RecordMatch::missing:
        std::printf("run.json          none beside the file: the seed and rates are not known\n");
        break;
    }
}

}  // namespace

namespace {

struct InspectArgs {
    std::string path;
    bool json = false;
};

// inspect's flags, each storing into a as it is read, with its help.
FlagTable InspectTable(InspectArgs& a) {
    FlagTable table{
        {
            Flag{"--json", false, [&a](const std::string&) { a.json = true; return std::string(); }}.Describe(
                nullptr,
                "one JSON object: file, population, generations, complete, target, target_unique, elite_pose, "
                "elite_fitness, optimum_pose, optimum_fitness, optimum_distance, run_record"),
            Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
        },
        "inspect --help",
        [&a](const std::string& name) {
            if (!a.path.empty()) return "one file only, got " + Quoted(a.path) + " and " + Quoted(name);
            a.path = name;
            return std::string();
        }};
    table.text = {
        "kelvora-cli inspect", "FILE",
        "Checks a results.csv line for line and prints what it holds: population size, generations,\n"
        "whether it is complete (a file cut off inside its last generation is read up to its last complete\n"
        "one), the target it was run for, the elite pose and fitness (recomputed from the genes) and the\n"
        "optimum for that target. When run.json lies beside the file and describes it (this file's size\n"
        "and SHA-256, population and generations, whatever the file is called), the run it names is made\n"
        "again in a temporary directory: when it writes the same bytes, the run's seed and the command that\n"
        "makes the same files are printed; when it writes other bytes, run.json does not reproduce the file\n"
        "(a field edited after the run); when it cannot be made again, that only the digest was checked.\n"
        "Otherwise it says that run.json is missing, cannot be read (a field outside its flag's range, a\n"
        "key given twice) or differs. A fitness.csv given instead is recognised and summed up.",
        "A malformed file is named with its line and the reason: kelvora-cli inspect: FILE:LINE: reason.\n"
        "Exit status: 0 a good file, 1 standard output failed, 2 bad arguments, a malformed file or one\n"
        "that cannot be read."};
    return table;
}

}  // namespace

FlagTable kelvora::cli::InspectFlags() {
    static InspectArgs unused;  // the handlers are never called
    return InspectTable(unused);
}

int kelvora::cli::InspectCommand(const std::vector<std::string>& args) {
    InspectArgs a;
    const FlagTable table = InspectTable(a);
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return Fail(parsed.error);
    if (parsed.stopped) {
        std::fputs(HelpText(table).c_str(), stdout);
        return FinishStdout();
    }
    const std::string& path = a.path;
    const bool json = a.json;
    if (path.empty()) return Fail("no file given (see inspect --help)");

    const std::string shown = Printable(path);  // as messages echo it
    ResultsFile file;
    std::string error;
    if (!file.open(path, error)) {
        std::fprintf(stderr, "kelvora-cli inspect: %s: cannot open: %s\n", shown.c_str(), error.c_str());
        return 2;
    }
    const ResultsSummary s = VerifyResults(file, kBaseX, kBaseY);
    std::vector<GenerationStat> rows;
    if (s.fault && s.fault.line > 0 && ReadFitnessFile(file, rows)) {
        PrintFitnessFile(path, rows, json);
        return FinishStdout();
    }
    if (s.fault) {  // a file changed while it was read, or a read that failed, included
        if (s.fault.line > 0)
            std::fprintf(stderr, "kelvora-cli inspect: %s:%lld: %s\n", shown.c_str(), s.fault.line, s.fault.message.c_str());
        else
            std::fprintf(stderr, "kelvora-cli inspect: %s: %s\n", shown.c_str(), s.fault.message.c_str());
        return 2;
    }

    const Optimum optimum = FindOptimum(kBaseX, kBaseY, s.target.x, s.target.y);
    // The run's record beside the file, when it describes this very file: its digest, population
    // and generations.
    RunRecord record;
    std::string recordError;
    const session::RecordMatch match =
        session::ReadRecordOf(path, DigestFile(path), {s.index.population, s.index.generations()}, record, recordError);
    // A record that matches by its digest is vouched for only once its run, made again, writes the
    // same bytes: a field edited within its range (elitism, the method) leaves the digest as it was.
    std::string rerunWhy;
    const session::Rerun rerun =
        match == session::RecordMatch::matches ? session::RerunRecord(record, rerunWhy) : session::Rerun::notMade;
    const Inspection inspection{path, s, optimum, match, record, recordError, rerun, rerunWhy};
    if (json) PrintJson(inspection);
    else PrintText(inspection);
    return FinishStdout();
}
