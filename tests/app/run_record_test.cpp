// run.json as the front ends use it: the record of a run, the command that repeats it (run by the
// real run again to the same bytes), and whether a record describes the very file a person names.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "session/run_record.h"
#include "test_support.h"

namespace kelvora::session {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;

struct Repeated {
    const char* name;
    Algorithm algorithm;
    const char* flags;  // what the command adds after --flush line
};

Algorithm RandomSearch() { return Algorithm{Method::randomSearch}; }
Algorithm GrayTournamentElite() {
    Algorithm a;
    a.encoding = Encoding::gray;
    a.selection = Selection::tournament;
    a.tournamentSize = 3;
    a.elitism = 2;
    return a;
}
Algorithm UniformCreep() {
    Algorithm a;
    a.crossover = CrossoverOperator::uniform;
    a.mutation = MutationOperator::creep;
    a.creepStep = 4;
    return a;
}

class ReproducingCommandOf : public testing::TestWithParam<Repeated> {};

// The command names every choice of the run, and the run it names writes the run's very bytes:
// the flags are parsed back by hand here, as kelvora-cli's spellings, into the setup of a second run.
TEST_P(ReproducingCommandOf, NamesEveryChoiceAndMakesTheSameFiles) {
    const Repeated& c = GetParam();
    ScratchDir first, second;
    const RunSetup setup({30, 12, 0.1234567890123456, 0.1}, GeometryFor(-50, 20), 4294967295u, c.algorithm);
    const RunReport report = RunWithFiles(setup, first.c_str(), FlushMode::line);
    RunRecord record = RecordOfRun("kelvora", setup, report, RecordTimeNow(), "");
    // A record names its flush mode; an older one, without it, gets the command line's default.
    EXPECT_NE(ReproducingCommand(record).find(" --flush generation"), std::string::npos);
    record.flush = FlushMode::line;
    const std::string command = ReproducingCommand(record);
    EXPECT_EQ(command, std::string("kelvora-cli --seed 4294967295 --population 30 --generations 12 --crossover "
                                   "0.1234567890123456 --mutation 0.1 --target=-50,20 --flush line") + c.flags);

    Algorithm again;
    const std::string flags = c.flags;
    for (std::size_t at = flags.find(" --"); at != std::string::npos;) {
        const std::size_t space = flags.find(' ', at + 3);
        const std::size_t next = flags.find(" --", space);
        const std::string flag = flags.substr(at + 1, space - at - 1);
        const std::string value = flags.substr(space + 1, next == std::string::npos ? next : next - space - 1);
        std::string bad = "unknown " + flag;
        if (flag == "--algorithm") bad = ParseMethod(value, again);
        if (flag == "--encoding") bad = ParseEncoding(value, again);
        if (flag == "--selection") bad = ParseSelection(value, again);
        if (flag == "--elitism") bad = ParseElitism(value, again);
        if (flag == "--crossover-operator") bad = ParseCrossover(value, again);
        if (flag == "--mutation-operator") bad = ParseMutation(value, again);
        ASSERT_EQ(bad, "") << flag << " " << value;
        at = next;
    }
    RunWithFiles(RunSetup(setup.params, setup.geometry, setup.seed, again), second.c_str(), FlushMode::line);
    for (const char* name : {"results.csv", "fitness.csv"})
        EXPECT_EQ(ReadBytes(second.file(name)), ReadBytes(first.file(name))) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, ReproducingCommandOf,
    testing::Values(Repeated{"Classic", Algorithm{}, ""},
                    // Random search is named, or the command makes the genetic algorithm's files.
                    Repeated{"RandomSearch", RandomSearch(), " --algorithm random-search"},
                    Repeated{"GrayTournamentElite", GrayTournamentElite(),
                             " --encoding gray --selection tournament:3 --elitism 2"},
                    Repeated{"UniformCreep", UniformCreep(), " --crossover-operator uniform --mutation-operator creep:4"}),
    [](const testing::TestParamInfo<Repeated>& info) { return std::string(info.param.name); });

TEST(ReproducingCommand, AStoppedRunIsRepeatedByTheGenerationsItFinished) {
    RunRecord r;
    r.params = {20, 100, 0.5, 0.1};
    r.stopped = true;
    r.generationsRun = 7;
    EXPECT_NE(ReproducingCommand(r).find(" --generations 7 --crossover "), std::string::npos);
}

TEST(RecordOfRun, NamesEachFailedFileInTheDirectoryAsShown) {
    RunReport report;
    report.seed = 3;
    report.generationsRun = 4;
    report.fitness.name = "fitness.csv";
    report.fitness.problem = FileProblem::lost;
    const RunSetup setup({20, 9, 0.5, 0.1}, GeometryFor(1, 2), 3);
    const RunRecord r = RecordOfRun("kelvora-cli", setup, report, "then", "out");
    EXPECT_EQ(r.failure, "out/fitness.csv: deleted during the run, its lines are lost");
    EXPECT_EQ(r.targetX, 1);
    EXPECT_EQ(r.targetY, 2);
    EXPECT_EQ(r.generationsRun, 4);
}

// A directory holding one run's files and run.json, and a record to read for any file.
class RecordOfFile : public testing::Test {
protected:
    void SetUp() override {
        setup_ = RunSetup({20, 10, 0.5, 0.1}, GeometryFor(68, 180), 7);
        const RunReport report = RunWithFiles(setup_, run_.c_str(), FlushMode::line);
        RunRecord record = RecordOfRun("kelvora-cli", setup_, report, RecordTimeNow(), "");
        ASSERT_EQ(WriteRunRecord(record, run_.c_str()), "");
    }
    RecordMatch Match(const std::string& file, FileShape shape = {20, 10}) {
        record_ = {};
        return ReadRecordOf(file, DigestFile(file), shape, record_, error_);
    }
    ScratchDir run_, other_;
    RunSetup setup_;
    RunRecord record_;
    std::string error_;
};

TEST_F(RecordOfFile, DescribesItsFileUnderAnyNameAndNoOtherFile) {
    EXPECT_EQ(Match(run_.file("results.csv")), RecordMatch::matches);
    EXPECT_EQ(record_.seed, 7u);
    // A renamed exact copy beside a copy of the record, no results.csv there: still the run's file.
    std::filesystem::copy_file(run_.file("results.csv"), other_.file("renamed.csv"));
    std::filesystem::copy_file(run_.file("run.json"), other_.file("run.json"));
    EXPECT_EQ(Match(other_.file("renamed.csv")), RecordMatch::matches);
    // Another run's file beside the record (its results.csv there untouched): not described.
    RunWithFiles(RunSetup({30, 6, 0.5, 0.1}, GeometryFor(-80, 120), 1), other_.c_str(), FlushMode::line);
    std::filesystem::copy_file(other_.file("results.csv"), run_.file("other.csv"));
    EXPECT_EQ(Match(run_.file("other.csv"), {30, 6}), RecordMatch::differs);
    // fitness.csv is not the file the record's results.csv entry describes.
    EXPECT_EQ(Match(run_.file("fitness.csv")), RecordMatch::differs);
}

TEST_F(RecordOfFile, ARecordWhoseNumbersAreNotTheFilesDoesNotDescribeIt) {
    // The digest matches, but the file holds another population or another number of generations.
    EXPECT_EQ(Match(run_.file("results.csv"), {21, 10}), RecordMatch::differs);
    EXPECT_EQ(Match(run_.file("results.csv"), {20, 9}), RecordMatch::differs);
    // A record edited to numbers no flag takes is no record, whatever its digest says.
    std::string json = ReadBytes(run_.file("run.json"));
    json.replace(json.find("\"population\":20"), 15, "\"population\":99999");
    std::ofstream(run_.file("run.json"), std::ios::trunc) << json;
    EXPECT_EQ(Match(run_.file("results.csv")), RecordMatch::unreadable);
    EXPECT_NE(error_.find("population: 99999"), std::string::npos) << error_;
    std::filesystem::remove(run_.file("run.json"));
    EXPECT_EQ(Match(run_.file("results.csv")), RecordMatch::missing);
}

// A record that matches its file by the digest is vouched for once its run, made again, writes the
// same bytes: a field edited within its range does not; a record of a failed file, or with no
// temporary directory to run in, is not made again. Nothing is left in the temporary directory.
struct Edited {
    const char* name;
    void (*edit)(RunRecord&);
    Rerun expected;
    const char* why;
    const char* tmpdir = "";  // under the scratch temporary directory; "" that directory itself
};

class RerunOf : public RecordOfFile, public testing::WithParamInterface<Edited> {};

TEST_P(RerunOf, VouchesOnlyForTheRunsOwnBytes) {
    const Edited& c = GetParam();
    ASSERT_EQ(Match(run_.file("results.csv")), RecordMatch::matches);
    c.edit(record_);
    ScratchDir tmp;
    const char* previous = std::getenv("TMPDIR");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    setenv("TMPDIR", (tmp.path() / c.tmpdir).c_str(), 1);
    std::string why;
    const Rerun rerun = RerunRecord(record_, why);
    if (saved) setenv("TMPDIR", saved->c_str(), 1);
    else unsetenv("TMPDIR");
    EXPECT_EQ(rerun, c.expected) << why;
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Records, RerunOf,
    testing::Values(Edited{"AsWritten", [](RunRecord&) {}, Rerun::reproduces, ""},
                    Edited{"Elitism19", [](RunRecord& r) { r.algorithm.elitism = 19; }, Rerun::differs, "results.csv differs"},
                    Edited{"MethodDls", [](RunRecord& r) { r.algorithm.method = Method::dampedLeastSquares; },
                           Rerun::differs, "results.csv differs"},
                    Edited{"StoppedEarlier", [](RunRecord& r) { r.stopped = true; r.generationsRun = 4; }, Rerun::differs,
                           "results.csv"},
                    Edited{"FitnessDigest", [](RunRecord& r) { r.fitness.sha256[0] ^= 1; }, Rerun::differs,
                           "fitness.csv differs"},
                    Edited{"FailedFile", [](RunRecord& r) { r.failure = "fitness.csv: deleted"; }, Rerun::notMade,
                           "lost lines of its files (fitness.csv: deleted)"},
                    Edited{"NoTemporaryDirectory", [](RunRecord&) {}, Rerun::notMade, "No such file or directory",
                           "missing"}),
    [](const testing::TestParamInfo<Edited>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvora::session
