// kelvora-cli without a subcommand: runs one search on the core libraries and reports it.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <memory>
#include <new>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "options.h"
#include "output.h"
#include "signals.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "io/run_record.h"
#include "io/trace_file.h"
#include "model/kelvora_version.h"
#include "session/file_failure.h"
#include "session/run_record.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

// {"encoding":"binary","selection":"roulette","elitism":0,"crossover":"one-point","mutation":"bit-flip"}:
// the spellings the flags take, the elite count as a number, led by "method":"random-search" for the
// baseline (a run of the genetic algorithm leaves the method out).
nlohmann::ordered_json AlgorithmJson(const Algorithm& a) {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    if (a.method != Method::geneticAlgorithm) json["method"] = MethodName(a);
    json["encoding"] = EncodingName(a);
    json["selection"] = SelectionName(a);
    json["elitism"] = a.elitism;
    json["crossover"] = CrossoverName(a);
    json["mutation"] = MutationName(a);
    return json;
}

std::string FilePath(const std::string& directory, const char* name) {
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// A result file's path as an error message names it: the directory as it was given, escaped and cut
// as an echoed argument is.
std::string ShownPath(const CliOptions& o, const char* name) {
    if (o.outputDirectory.empty()) return name;
    const std::string directory = Printable(o.outputDirectory);
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// What happened to a result file, as stderr and run.json say it: the file's path and the reason.
std::string FailureText(const CliOptions& o, const ResultFileFailure& failure) {
    return session::FileFailureText(failure, ShownPath(o, failure.name));
}

void ReportFailure(const CliOptions& o, const ResultFileFailure& failure) {
    std::fprintf(stderr, "kelvora-cli: %s\n", FailureText(o, failure).c_str());
}

// Makes the --output-dir directory, with its parents, when it does not exist; "" when it is there
// (or made) and can be entered, otherwise the system's reason.
std::string PrepareOutputDirectory(const std::string& directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0) {
        if (errno != ENOENT) return std::strerror(errno);
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) return error.message();
        if (::stat(directory.c_str(), &info) != 0) return std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) return std::strerror(ENOTDIR);
    if (::access(directory.c_str(), X_OK) != 0) return std::strerror(errno);
    return {};
}

// Tells the signal handler, after each generation, how long results.csv's whole generations are, so
// that a second signal cuts it back to them. Runs after the writer, which has written the generation.
class WholeGenerations final : public RunObserver {
public:
    explicit WholeGenerations(const ResultWriter& writer) : writer_(writer) {}
    void onGeneration(const GenerationView&) override {
        const LogFile& log = writer_.results;
        if (log.regular && log.fd >= 0 && log.error == 0) KeepWholeOnSecondSignal(log.fd, log.bytesLogged);
    }
    void onEnd(const RunOutcome&) override { KeepWholeOnSecondSignal(-1, 0); }  // closed by now

private:
    const ResultWriter& writer_;
};

// A seed for a run without --seed: random, so that runs started within the same second differ.
std::uint32_t FreshSeed() {
    try {
        return std::random_device{}();
    } catch (...) {  // no entropy source: the clock, finer than seconds
        return static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
    }
}

// run.json, the last file written, once both result files are closed and whole: "" or the reason
// it could not be written.
std::string WriteRecord(const CliOptions& o, const RunSetup& setup, const RunReport& report, const std::string& started) {
    // Out of memory here is tried once more; the result files are whole either way.
    for (int attempt = 0;; ++attempt) {
        try {
            RunRecord record = session::RecordOfRun("kelvora-cli", setup, report, started,
                                                    o.outputDirectory.empty() ? "" : Printable(o.outputDirectory));
            record.flush = o.flush;
            return WriteRunRecord(record, o.outputDirectory.c_str());
        } catch (const std::bad_alloc&) {
            if (attempt == 1)
                return FilePath(o.outputDirectory, kRunRecordName) + ": out of memory, not written; " +
                       FilePath(o.outputDirectory, "results.csv") + " and " + FilePath(o.outputDirectory, "fitness.csv") +
                       " are kept as the run left them";
        }
    }
}

// What the run came to, against the best pose of the whole search space: one JSON object, or the
// summary unless --quiet.
void PrintOutcome(const CliOptions& o, const RunReport& report, const Geometry& geometry, const RunOutcome& outcome,
                  double lastError) {
    const Optimum optimum = FindOptimum(geometry.baseX, geometry.baseY, geometry.targetX, geometry.targetY);
    const double eliteDistance = TipDistance(geometry, outcome.elitePose);
    if (o.json) {
        const nlohmann::ordered_json json{
            {"seed", report.seed},
            {"population", o.params.populationSize},
            {"generations", o.params.generationCount},
            {"crossover", o.params.crossoverRate},
            {"mutation", o.params.mutationProbability},
            {"target", {o.targetX, o.targetY}},
            {"error", lastError},
            {"currentPose", PoseArray(outcome.currentPose)},
            {"elitePose", PoseArray(outcome.elitePose)},
            {"eliteFitness", outcome.eliteFitness},
            {"optimum", {{"pose", PoseArray(optimum.pose)}, {"distance", optimum.distance}, {"fitness", optimum.fitness}}},
            {"eliteDistance", eliteDistance},
            {"gap", eliteDistance - optimum.distance},
            {"reachedOptimum", outcome.eliteFitness == optimum.fitness},
            {"algorithm", AlgorithmJson(o.algorithm)}};
        std::printf("%s\n", JsonLine(json).c_str());
    } else if (!o.quiet) {
        const ArmPose& c = outcome.currentPose;
        const ArmPose& e = outcome.elitePose;
        std::printf("seed              %u\n"
                    "generation        %d of %d (population %d, crossover %g, mutation %g)\n",
                    report.seed, report.generationsRun, o.params.generationCount, o.params.populationSize,
                    o.params.crossoverRate, o.params.mutationProbability);
        // The classic algorithm's summary stays as it always was; any other is named in one line.
        if (!o.algorithm.classic()) std::printf("algorithm         %s\n", AlgorithmSummary(o.algorithm).c_str());
        std::printf("target            %d,%d (pixel %d,%d)\n"
                    "last error        %.6f px\n"
                    "current pose      %d, %d, %d\n"
                    "elite pose        %d, %d, %d\n"
                    "elite fitness     %.6f (error %.6f px)\n"
                    "results           %s\n"
                    "fitness           %s\n",
                    o.targetX, o.targetY, geometry.targetX,
                    geometry.targetY, lastError, c.a1, c.a2, c.a3, e.a1, e.a2, e.a3, outcome.eliteFitness,
                    TipDistance(geometry, e), FilePath(o.outputDirectory, "results.csv").c_str(),
                    FilePath(o.outputDirectory, "fitness.csv").c_str());
        std::printf("optimum pose      %d, %d, %d (error %.6f px)\n"
                    "gap               %.6f px%s\n",
                    optimum.pose.a1, optimum.pose.a2, optimum.pose.a3, optimum.distance, eliteDistance - optimum.distance,
                    outcome.eliteFitness == optimum.fitness ? " (reached the optimum)" : "");
    }
}

}  // namespace

int kelvora::cli::RunCommand(const std::vector<std::string>& args) {
    const ParseResult parsed = ParseCommandLine(args);
    if (!parsed.ok()) {
        std::fprintf(stderr, "kelvora-cli: %s\n", parsed.error.c_str());
        return 2;
    }
    const CliOptions& o = parsed.options;
    if (o.help) {
        std::fputs(ProgramHelp().c_str(), stdout);
        return FinishStdout();
    }
    if (o.version) {
        std::printf("kelvora-cli %s\n", kVersion);
        return FinishStdout();
    }
    if (!o.outputDirectory.empty()) {
        if (const std::string reason = PrepareOutputDirectory(o.outputDirectory); !reason.empty()) {
            std::fprintf(stderr, "kelvora-cli: --output-dir: '%s': %s\n", Printable(o.outputDirectory).c_str(),
                         reason.c_str());
            return 2;
        }
    }

    // What is printed must not land in a file the run writes (the shell's "> run.json" there).
    if (!o.quiet || o.json) {
        for (const char* name : {"results.csv", "fitness.csv", o.runJson ? kRunRecordName : nullptr, "trace"}) {
            if (!name) continue;
            const bool trace = std::string_view(name) == "trace";
            if (trace && o.tracePath.empty()) continue;
            const std::string path = trace ? o.tracePath : FilePath(o.outputDirectory, name);
            if (SameFile({"", path}, 1).first >= 0) {
                std::fprintf(stderr, "kelvora-cli: standard output and %s are the same file; nothing was run\n",
                             Quoted(path).c_str());
                return 2;
            }
        }
    }

    // The trace is held (locked) from before the run, and emptied once the run's files are ours too.
    OutputFile traceFile;
    std::unique_ptr<TraceWriter> trace;
    if (!o.tracePath.empty()) {
        const std::vector<std::string> paths{o.tracePath, FilePath(o.outputDirectory, "results.csv"),
                                             FilePath(o.outputDirectory, "fitness.csv"),
                                             FilePath(o.outputDirectory, kRunRecordName)};
        if (SameFile(paths, 1).first >= 0) {
            std::fprintf(stderr, "kelvora-cli: --trace: %s is one of the run's own files\n", Quoted(o.tracePath).c_str());
            return 2;
        }
        if (const std::string error = OpenOutput(o.tracePath, traceFile); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli: --trace: %s\n", error.c_str());
            return OpenFailureStatus(traceFile);
        }
        const bool gray = o.algorithm.method == Method::geneticAlgorithm && o.algorithm.encoding == Encoding::gray;
        trace = std::make_unique<TraceWriter>(traceFile.fd, gray ? Encoding::gray : Encoding::binary, o.traceFirst,
                                              o.traceLast);
    }

    const RunSetup setup{o.params, GeometryFor(o.targetX, o.targetY), o.seed ? *o.seed : FreshSeed(), o.algorithm};
    const Geometry& geometry = setup.geometry;
    InstallStopSignals();
    ProgressBar bar(!o.quiet);
    const int generations = o.params.generationCount;
    ProgressObserver progress([&bar, generations](int generation, double error) {
        if (!bar.Due(generation == generations)) return;
        char tail[96];
        std::snprintf(tail, sizeof tail, "generation %d/%d  error %.4f  %.1fs", generation, generations, error,
                      bar.Seconds());
        bar.Draw(generation, generations, tail);
    });
    ResultWriter writer(o.flush);
    WholeGenerations whole(writer);
    RunObserver* observers[] = {&whole, &progress};
    RunOutcome outcome;
    const std::string started = RecordTimeNow();
    const std::string recordPath = FilePath(o.outputDirectory, kRunRecordName);
    // The process's one run: static storage, which the system hands out zeroed page by page as the
    // run touches it, so that a small run does not clear the 430 KB the largest one needs.
    static RunBuffers buffers;
    int traceEmptied = 0;  // errno when the trace could not be emptied
    // The signal handler raises the stop flag; the run ends after the generation it is in.
    const RunReport report = RunWithFiles(setup, writer, o.outputDirectory.c_str(), observers, buffers,
                                          &StopFlag(), &outcome, [&](const ResultWriter& opened) {
                                              // Emptied by now: a second signal in the first generation empties it again.
                                              if (opened.results.regular) KeepWholeOnSecondSignal(opened.results.fd, 0);
                                              // The files are ours: a record of an earlier run no longer describes them.
                                              if (o.runJson) ::unlink(recordPath.c_str());
                                              if (traceFile.regular && ::ftruncate(traceFile.fd, 0) != 0) traceEmptied = errno;
                                              Keep(traceFile);  // the run writes it from here on
                                          },
                                          trace.get());
    const double lastError = TipDistance(geometry, outcome.currentPose);
    bar.Finish();
    if (report.refused) {  // another run is writing here: nothing ran, nothing to print
        if (report.results) ReportFailure(o, report.results);
        if (report.fitness) ReportFailure(o, report.fitness);
        Abandon(traceFile);
        return 1;
    }
    const int traceError = traceEmptied != 0 ? traceEmptied : trace ? trace->error() : 0;
    // run.json, the last file written, once both result files are closed and whole.
    const std::string recordError = o.runJson ? WriteRecord(o, setup, report, started) : std::string();
    PrintOutcome(o, report, geometry, outcome, lastError);
    if (report.results) ReportFailure(o, report.results);
    if (report.fitness) ReportFailure(o, report.fitness);
    if (!recordError.empty()) std::fprintf(stderr, "kelvora-cli: %s\n", Printable(recordError, 200).c_str());
    if (traceError != 0)
        std::fprintf(stderr, "kelvora-cli: --trace: %s: write failed, the trace is incomplete: %s\n",
                     Printable(o.tracePath).c_str(), std::strerror(traceError));
    if (StopExitStatus() != 0) {
        std::fprintf(stderr, "kelvora-cli: %s: stopped after generation %d of %d; %s and %s hold the finished "
                     "generations\n", StopSignalName(), report.generationsRun, o.params.generationCount,
                     FilePath(o.outputDirectory, "results.csv").c_str(), FilePath(o.outputDirectory, "fitness.csv").c_str());
        FinishStdout();
        return StopExitStatus();
    }
    return std::max(report.filesComplete() && recordError.empty() && traceError == 0 ? 0 : 1, FinishStdout());
}
