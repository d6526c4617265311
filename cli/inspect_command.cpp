// kelvora-cli inspect FILE [--json]: checks a results.csv line for line and prints what it holds.
// Exit status: 0 a good file, 1 standard output failed, 2 bad arguments, a malformed file, one that
// changed while it was being read or one that could not be read.

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "helpers.h"
#include "output.h"
#include "io/results_reader.h"
#include "io/run_record.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "session/run_record.h"

using namespace kelvora;

namespace {

constexpr const char* kUsage =
    "Usage: kelvora-cli inspect FILE [--json]\n"
    "Checks a results.csv line for line and prints what it holds: population size, generations,\n"
    "whether it is complete (a file cut off inside its last generation is read up to its last complete\n"
    "one), the target it was run for, the elite pose and fitness (recomputed from the genes) and the\n"
    "optimum for that target. When run.json lies beside the file and describes it (this file's size\n"
    "and SHA-256, population and generations, whatever the file is called), the run's seed and the\n"
    "command that makes the same files are printed too; otherwise it says that run.json is missing,\n"
    "cannot be read (a field outside its flag's range) or differs. A fitness.csv given instead is\n"
    "recognised and summed up.\n"
    "\n"
    "  --json     one JSON object: file, population, generations, complete, target, targetUnique,\n"
    "             elitePose, eliteFitness, optimumPose, optimumFitness, optimumDistance, runRecord\n"
    "  --help     this text\n"
    "\n"
    "A malformed file is named with its line and the reason: kelvora-cli inspect: FILE:LINE: reason.\n"
    "Exit status: 0 a good file, 1 standard output failed, 2 bad arguments, a malformed file or one\n"
    "that cannot be read.\n";

int Fail(const std::string& message) { return kelvora::cli::Refuse("inspect", message); }

}  // namespace

int kelvora::cli::InspectCommand(const std::vector<std::string>& args) {
    std::string path;
    bool json = false;
    std::set<std::string> seen;
    for (const std::string& a : args) {
        const bool option = a.size() > 1 && a[0] == '-' && a != "-";
        if (option && (a == "--json" || a == "--help" || a == "-h")) {
            if (const std::string twice = GivenTwice(seen, a); !twice.empty()) return Fail(twice);
        }
        if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return FinishStdout();
        } else if (option) {
            return Fail(UnknownArgument(a, {"--json", "--help"}, "inspect --help"));
        } else if (path.empty()) {
            path = a;
        } else {
            return Fail("one file only, got " + Quoted(path) + " and " + Quoted(a));
        }
    }
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
        // A fitness.csv given in its place: say so, with what it holds.
        std::size_t best = 0;
        for (std::size_t g = 1; g < rows.size(); ++g)
            if (rows[g].best > rows[best].best) best = g;
        if (json)
            std::printf("{\"file\":\"%s\",\"kind\":\"fitness.csv\",\"generations\":%zu,\"best\":%s,\"bestGeneration\":%zu}\n",
                        JsonText(path).c_str(), rows.size(), ExactText(rows[best].best).c_str(), best + 1);
        else
            std::printf("file              %s\n"
                        "kind              this is a fitness.csv (best and average fitness per generation), not a results.csv\n"
                        "generations       %zu\n"
                        "best fitness      %.6f (error %.6f px), first at generation %zu\n",
                        shown.c_str(), rows.size(), rows[best].best, 1.0 / rows[best].best - 1.0, best + 1);
        return FinishStdout();
    }
    if (s.fault) {  // a file changed while it was read, or a read that failed, included
        if (s.fault.line > 0)
            std::fprintf(stderr, "kelvora-cli inspect: %s:%lld: %s\n", shown.c_str(), s.fault.line, s.fault.message.c_str());
        else
            std::fprintf(stderr, "kelvora-cli inspect: %s: %s\n", shown.c_str(), s.fault.message.c_str());
        return 2;
    }

    const int targetX = s.target.x - kBaseX;
    const int targetY = kBaseY - s.target.y;
    const Optimum optimum = FindOptimum(kBaseX, kBaseY, s.target.x, s.target.y);
    const ArmPose& e = s.elitePose;
    const ArmPose& o = optimum.pose;

    // The run's record beside the file, when it describes this very file: its digest, population
    // and generations.
    RunRecord record;
    std::string recordError;
    const session::RecordMatch match =
        session::ReadRecordOf(path, DigestFile(path), {s.index.population, s.index.generations()}, record, recordError);
    static constexpr const char* kMatchNames[] = {"missing", "unreadable", "differs", "matches"};
    const char* matchName = kMatchNames[static_cast<int>(match)];
    if (json) {
        std::string recordJson = "{\"status\":\"" + std::string(matchName) + "\"";
        if (match == session::RecordMatch::matches)
            recordJson += ",\"seed\":" + std::to_string(record.seed) + ",\"command\":\"" + JsonText(session::ReproducingCommand(record)) + "\"";
        recordJson += "}";
        std::printf("{\"file\":\"%s\",\"population\":%d,\"generations\":%lld,\"complete\":%s,\"target\":[%d,%d],"
                    "\"targetUnique\":%s,\"elitePose\":[%d,%d,%d],\"eliteFitness\":%s,"
                    "\"optimumPose\":[%d,%d,%d],\"optimumFitness\":%s,\"optimumDistance\":%s,\"runRecord\":%s}\n",
                    JsonText(path).c_str(), s.index.population, s.index.generations(), s.truncated ? "false" : "true",
                    targetX, targetY,
                    s.target.unique ? "true" : "false", e.a1, e.a2, e.a3, ExactText(s.eliteFitness).c_str(), o.a1, o.a2,
                    o.a3, ExactText(optimum.fitness).c_str(), ExactText(optimum.distance).c_str(), recordJson.c_str());
        return FinishStdout();
    }
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
    switch (match) {
    case session::RecordMatch::matches:
        std::printf("run.json          describes this file: seed %u, %s, started %s\n"
                    "reproduce         %s\n",
                    record.seed, AlgorithmSummary(record.algorithm).c_str(), record.started.c_str(),
                    session::ReproducingCommand(record).c_str());
        break;
    case session::RecordMatch::differs:
        std::printf("run.json          does not describe this file (its size or SHA-256, population or generations differ): what the file shows is used\n");
        break;
    case session::RecordMatch::unreadable:
        std::printf("run.json          cannot be read (%s): what the file shows is used\n", Printable(recordError).c_str());
        break;
    case session::RecordMatch::missing:
        std::printf("run.json          none beside the file: the seed and rates are not known\n");
        break;
    }
    return FinishStdout();
}
