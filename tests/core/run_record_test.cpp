// run.json: written whole beside a run's files, read back to the same record, and matched against
// the results.csv beside it.

#include <cstdint>
#include <cstdio>
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
    r.flush = FlushMode::line;
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

    // The flush mode is the record's last key; a record without it (an older one) reads back, and
    // its command names the command line's default.
    const std::string json = RunRecordJson(written);
    EXPECT_EQ(json.substr(json.size() - 17), ",\"flush\":\"line\"}\n");
    RunRecord generation = written;
    generation.flush = FlushMode::generation;
    EXPECT_NE(RunRecordJson(generation).find("}},\"flush\":\"generation\"}\n"), std::string::npos);
    EXPECT_NE(ReproducingCommand(generation).find(" --flush generation"), std::string::npos);
    const std::optional<RunRecord> older =
        ParseRunRecord(json.substr(0, json.size() - 17) + "}\n", error);
    ASSERT_TRUE(older) << error;
    EXPECT_FALSE(older->flush);
    EXPECT_NE(ReproducingCommand(*older).find(" --flush generation"), std::string::npos);
    EXPECT_FALSE(ParseRunRecord(json.substr(0, json.size() - 7) + "often\"}\n", error));

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

// The digest against the standard's test vectors, and a file of several reads against coreutils'
// sha256sum.
TEST(RunRecord, DigestIsTheFilesSha256) {
    ScratchDir dir;
    const auto digestOf = [&](const std::string& bytes) {
        std::ofstream(dir.file("f"), std::ios::binary) << bytes;
        return DigestFile(dir.file("f"));
    };
    EXPECT_EQ(digestOf("abc").sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestOf("").sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const RecordedFile million = digestOf(std::string(1000000, 'a'));
    EXPECT_EQ(million.sha256, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(million.size, 1000000u);

    std::string large(3 * (1 << 20) + 5, '\0');
    std::uint32_t x = 12345;
    for (char& c : large) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
    const RecordedFile got = digestOf(large);
    std::string expected(64, '\0');
    FILE* sum = ::popen(("sha256sum " + dir.file("f")).c_str(), "r");
    ASSERT_NE(sum, nullptr);
    ASSERT_EQ(std::fread(expected.data(), 1, 64, sum), 64u);
    ::pclose(sum);
    EXPECT_EQ(got.sha256, expected);
    EXPECT_EQ(got.size, large.size());
    EXPECT_FALSE(DigestFile(dir.file("missing")).present);
}

}  // namespace
}  // namespace kelvora
