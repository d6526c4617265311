#include "session/run_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "model/kelvora_version.h"
#include "io/leftovers.h"
#include "model/text.h"
#include "session/file_failure.h"

namespace kelvora::session {

RunRecord RecordOfRun(const std::string& program, const RunSetup& setup, const RunReport& report,
                      const std::string& started, const std::string& shownDirectory) {
    RunRecord record;
    record.program = program;
    record.version = kVersion;
    record.seed = report.seed;
    record.params = setup.params;
    record.geometry = setup.geometry;
    record.targetX = setup.geometry.targetX - setup.geometry.baseX;
    record.targetY = setup.geometry.baseY - setup.geometry.targetY;
    record.algorithm = setup.algorithm;
    record.started = started;
    record.ended = RecordTimeNow();
    record.generationsRun = report.generationsRun;
    record.stopped = report.stopped;
    std::string prefix = shownDirectory;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    for (const ResultFileFailure* failure : {&report.results, &report.fitness}) {
        if (!*failure) continue;
        if (!record.failure.empty()) record.failure += "; ";
        record.failure += FileFailureText(*failure, prefix + failure->name);
    }
    return record;
}

std::string ReproducingCommand(const RunRecord& r) {
    const Algorithm& a = r.algorithm;
    const Algorithm classic;
    // A stopped run's files are the bytes of a run given the generations it finished.
    const int generations = r.stopped ? r.generationsRun : r.params.generationCount;
    std::string command = "kelvora-cli --seed " + std::to_string(r.seed) + " --population " +
                          std::to_string(r.params.populationSize) + " --generations " + std::to_string(generations) +
                          " --crossover " + ExactText(r.params.crossoverRate) + " --mutation " +
                          ExactText(r.params.mutationProbability) + " --target=" + std::to_string(r.targetX) + "," +
                          std::to_string(r.targetY) + " --flush " +
                          (r.flush.value_or(FlushMode::generation) == FlushMode::line ? "line" : "generation");
    if (a.method != classic.method) command += " --algorithm " + MethodName(a);
    // Each choice the method takes that is not the default.
    if (TakesEncoding(a.method) && a.encoding != classic.encoding) command += " --encoding " + EncodingName(a);
    if (TakesSelection(a.method)) {
        if (a.selection != classic.selection) command += " --selection " + SelectionName(a);
        if (a.elitism != classic.elitism) command += " --elitism " + ElitismName(a);
        if (a.crossover != classic.crossover) command += " --crossover-operator " + CrossoverName(a);
    }
    if (TakesMutation(a.method) && a.mutation != classic.mutation) command += " --mutation-operator " + MutationName(a);
    return command;
}

Rerun RerunRecord(const RunRecord& record, std::string& why) {
    if (!record.failure.empty()) {
        why = "its run lost lines of its files (" + record.failure + ")";
        return Rerun::notMade;
    }
    RunSetup setup(record.params, record.geometry, record.seed, record.algorithm);
    // A stopped run's files are those of a run given the generations it finished.
    if (record.stopped) setup.params.generationCount = record.generationsRun;
    if (setup.params.generationCount < kMinGenerations) {
        why = "it finished no generation";
        return Rerun::notMade;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string parent = tmp && *tmp ? tmp : "/tmp";
    std::string directory = parent + "/kelvora-rerun-XXXXXX";
    if (!::mkdtemp(directory.data())) {
        why = "no temporary directory for it in " + parent + ": " + std::strerror(errno);
        return Rerun::notMade;
    }
    const std::string results = directory + "/results.csv", fitness = directory + "/fitness.csv";
    MarkLeftover(results);
    MarkLeftover(fitness);
    const RunReport report = RunWithFiles(setup, directory.c_str(), FlushMode::generation);
    const RecordedFile madeResults = DigestFile(results), madeFitness = DigestFile(fitness);
    for (const std::string& path : {results, fitness}) {
        ::unlink(path.c_str());
        ClearLeftover(path);
    }
    ::rmdir(directory.c_str());
    if (report.refused || !report.filesComplete()) {
        const ResultFileFailure& failure = report.results ? report.results : report.fitness;
        why = "its files could not be written again: " + FileFailureText(failure, directory + "/" + failure.name);
        return Rerun::notMade;
    }
    if (!(madeResults == record.results)) {
        why = "results.csv differs";
        return Rerun::differs;
    }
    if (record.fitness.present && !(madeFitness == record.fitness)) {
        why = "fitness.csv differs";
        return Rerun::differs;
    }
    return Rerun::reproduces;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

RecordMatch ReadRecordOf(const std::string& file, const RecordedFile& digest, const FileShape& shape,
                         RunRecord& record, std::string& error) {
    const std::string path = DirectoryOf(file) + kRunRecordName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return RecordMatch::missing;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || text.size() > (1u << 20)) break;  // a record is a few hundred bytes
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const std::optional<RunRecord> read = ParseRunRecord(text, error);
    if (!read) return RecordMatch::unreadable;
    record = *read;
    if (!record.results.present || !(digest == record.results)) return RecordMatch::differs;
    // The digest matched: a record whose numbers are not the file's was edited after it.
    // A file whose writes failed holds fewer generations than the run finished (the record says so).
    const bool generationsAgree = record.failure.empty() ? shape.generations == record.generationsRun
                                                         : shape.generations <= record.generationsRun;
    if (record.params.populationSize != shape.population || !generationsAgree) return RecordMatch::differs;
    return RecordMatch::matches;
}

}  // namespace kelvora::session
