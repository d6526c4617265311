// run.json: written whole beside a run's files, read back to the same record, and matched against
// the results.csv beside it.

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "io/run_record.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;

RunRecord RecordOfARun(const ScratchDir& dir) {
    RunRecord r;
    r.program = "kelvora-cli";
    r.version = "1.2.3.4";
    r.seed = 4294967295u;
    r.params = {30, 12, 0.58, 0.1};
    r.targetX = -50;
    r.targetY = 20;
    r.geometry = GeometryFor(-50, 20);
    r.algorithm.encoding = Encoding::gray;
    r.algorithm.selection = Selection::tournament;
    r.algorithm.tournamentSize = 3;
    r.algorithm.elitism = 2;
    r.started = RecordTimeNow();
    RunOutcome outcome;
    const RunReport report = RunWithFiles({r.params, r.geometry, r.seed, r.algorithm}, dir.c_str(), FlushMode::line, &outcome);
    r.ended = RecordTimeNow();
    r.generationsRun = report.generationsRun;
    r.failure = "results.csv: \"quoted\" \\ text";  // any text survives the trip
    return r;
}

TEST(RunRecord, WrittenLastAndWholeReadBackAndMatchedAgainstTheFileBesideIt) {
    ScratchDir dir;
    RunRecord written = RecordOfARun(dir);
    ASSERT_EQ(WriteRunRecord(written, dir.c_str()), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("run.json.part")));
    EXPECT_EQ(written.results.size, std::filesystem::file_size(dir.file("results.csv")));
    EXPECT_EQ(written.results.sha256.size(), 64u);
    EXPECT_NE(written.results.sha256, written.fitness.sha256);

    std::string error;
    const std::optional<RunRecord> read = ParseRunRecord(ReadBytes(dir.file("run.json")), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(RunRecordJson(*read), RunRecordJson(written));
    EXPECT_TRUE(read->algorithm == written.algorithm);
    EXPECT_EQ(read->params.crossoverRate, 0.58);

    // The command that makes the same files: the choices that are not the default.
    EXPECT_EQ(ReproducingCommand(written),
              "kelvora-cli --seed 4294967295 --population 30 --generations 12 --crossover 0.58 --mutation 0.1 "
              "--target=-50,20 --flush line --encoding gray --selection tournament:3 --elitism 2");
    RunRecord stopped = written;  // its files are a run of the generations it finished
    stopped.stopped = true;
    stopped.generationsRun = 5;
    EXPECT_NE(ReproducingCommand(stopped).find(" --generations 5 --crossover "), std::string::npos);

    RunRecord back;
    EXPECT_EQ(ReadMatchingRecord(dir.path().string(), back, error), RecordMatch::matches);
    std::ofstream(dir.file("results.csv"), std::ios::app) << "1,2,3,0.5\r\n";  // no longer that file
    EXPECT_EQ(ReadMatchingRecord(dir.path().string(), back, error), RecordMatch::differs);
    std::ofstream(dir.file("run.json")) << "{\"program\":";
    EXPECT_EQ(ReadMatchingRecord(dir.path().string(), back, error), RecordMatch::unreadable);
    EXPECT_FALSE(error.empty());
    std::filesystem::remove(dir.file("run.json"));
    EXPECT_EQ(ReadMatchingRecord(dir.path().string(), back, error), RecordMatch::missing);
}

TEST(RunRecord, ElitismIsReadByItsFlagsRuleAndRange) {
    ScratchDir dir;
    RunRecord written = RecordOfARun(dir);
    const std::string json = RunRecordJson(written);
    const std::string two = "\"elitism\":2";
    ASSERT_NE(json.find(two), std::string::npos) << json;
    for (const auto& [value, accepted] : {std::pair{"0", true}, std::pair{"9999", true}, std::pair{"10000", false},
                                          std::pair{"-1", false}, std::pair{"2.5", false}, std::pair{"\"2\"", false},
                                          std::pair{"4294967298", false}}) {
        std::string text = json;
        text.replace(text.find(two), two.size(), std::string("\"elitism\":") + value);
        std::string error;
        const std::optional<RunRecord> read = ParseRunRecord(text, error);
        EXPECT_EQ(read.has_value(), accepted) << value << ": " << error;
        if (accepted) EXPECT_EQ(read->algorithm.elitism, std::stoi(value));
        else EXPECT_NE(error.find("elitism"), std::string::npos) << value << ": " << error;
    }
}

}  // namespace
}  // namespace kelvora
