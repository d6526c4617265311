// run.json, the file: written whole beside a run's files, read back to the same record, and every
// field held to its flag's range.

#include <cctype>
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

TEST(RunRecord, WrittenLastAndWholeAndReadBack) {
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

    // The flush mode is the record's last key; a record without it (an older one) reads back, and
    // its command names the command line's default.
    const std::string json = RunRecordJson(written);
    EXPECT_EQ(json.substr(json.size() - 17), ",\"flush\":\"line\"}\n");
    RunRecord generation = written;
    generation.flush = FlushMode::generation;
    EXPECT_NE(RunRecordJson(generation).find("}},\"flush\":\"generation\"}\n"), std::string::npos);
    const std::optional<RunRecord> older =
        ParseRunRecord(json.substr(0, json.size() - 17) + "}\n", error);
    ASSERT_TRUE(older) << error;
    EXPECT_FALSE(older->flush);
    EXPECT_FALSE(ParseRunRecord(json.substr(0, json.size() - 7) + "often\"}\n", error));
}

// A record whose digest may match but whose numbers no flag takes is no record: each field's range
// is the flag's, checked at both ends.
struct ForgedField {
    const char* name;
    const char* from;  // text of the written record
    const char* to;    // forged in its place
    bool readable;
};

class RunRecordField : public testing::TestWithParam<ForgedField> {};

TEST_P(RunRecordField, IsHeldToItsFlagsRange) {
    RunRecord r;
    r.program = "kelvora-cli";
    r.version = "1.2.3.4";
    r.seed = 7;
    r.params = {20, 100, 0.5, 0.1};
    r.targetX = 68;
    r.targetY = 180;
    r.geometry = GeometryFor(68, 180);
    r.generationsRun = 100;
    const std::string json = RunRecordJson(r);
    const ForgedField& f = GetParam();
    const std::size_t at = json.find(f.from);
    ASSERT_NE(at, std::string::npos) << json;
    std::string forged = json;
    forged.replace(at, std::string(f.from).size(), f.to);
    std::string error;
    EXPECT_EQ(ParseRunRecord(forged, error).has_value(), f.readable) << forged << "\n" << error;
}

INSTANTIATE_TEST_SUITE_P(
    Forged, RunRecordField,
    testing::Values(ForgedField{"seed at its top", "\"seed\":7", "\"seed\":4294967295", true},
                    ForgedField{"seed -1", "\"seed\":7", "\"seed\":-1", false},
                    ForgedField{"seed 2^32", "\"seed\":7", "\"seed\":4294967296", false},
                    ForgedField{"seed 7.5", "\"seed\":7", "\"seed\":7.5", false},
                    ForgedField{"population 10000", "\"population\":20", "\"population\":10000", true},
                    ForgedField{"population 99999", "\"population\":20", "\"population\":99999", false},
                    ForgedField{"population 0", "\"population\":20", "\"population\":0", false},
                    ForgedField{"generations 0", "\"generations\":100", "\"generations\":0", false},
                    ForgedField{"crossover 0.001", "\"crossover\":0.5", "\"crossover\":0.001", true},
                    ForgedField{"crossover 1e300", "\"crossover\":0.5", "\"crossover\":1e300", false},
                    ForgedField{"crossover 0", "\"crossover\":0.5", "\"crossover\":0", false},
                    ForgedField{"mutation -5", "\"mutation\":0.1", "\"mutation\":-5", false},
                    ForgedField{"mutation 1", "\"mutation\":0.1", "\"mutation\":1", true},
                    ForgedField{"target 200", "\"target\":[68,180]", "\"target\":[68,200]", false},
                    ForgedField{"target not its pixel", "\"target\":[68,180]", "\"target\":[67,180]", false},
                    ForgedField{"elitism N", "\"elitism\":0", "\"elitism\":20", false},
                    ForgedField{"elitism N - 1", "\"elitism\":0", "\"elitism\":19", true},
                    ForgedField{"elitism -1", "\"elitism\":0", "\"elitism\":-1", false},
                    ForgedField{"tournament N + 1", "\"roulette\"", "\"tournament:21\"", false},
                    ForgedField{"generationsRun beyond", "\"generationsRun\":100", "\"generationsRun\":101", false},
                    ForgedField{"seed twice", "\"seed\":7", "\"seed\":7,\"seed\":8", false},
                    ForgedField{"elitism twice", "\"elitism\":0", "\"elitism\":0,\"elitism\":0", false},
                    ForgedField{"a key of two objects", "\"elitism\":0", "\"elitism\":0,\"x\":{\"elitism\":1}", true},
                    ForgedField{"sha256 short", "\"results.csv\":null", "\"results.csv\":{\"size\":1,\"sha256\":\"ab\"}", false}),
    [](const testing::TestParamInfo<ForgedField>& info) {
        std::string name;
        for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

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

TEST(RunRecord, ElitismIsReadByItsFlagsRuleAndRange) {
    ScratchDir dir;
    RunRecord written = RecordOfARun(dir);
    const std::string json = RunRecordJson(written);
    const std::string two = "\"elitism\":2";
    ASSERT_NE(json.find(two), std::string::npos) << json;
    // The record's population is 30: 29 elites at most.
    for (const auto& [value, accepted] : {std::pair{"0", true}, std::pair{"29", true}, std::pair{"30", false},
                                          std::pair{"9999", false}, std::pair{"10000", false},
                                          std::pair{"-1", false}, std::pair{"2.5", false}, std::pair{"\"2\"", false},
                                          std::pair{"4294967298", false}}) {
        std::string text = json;
        text.replace(text.find(two), two.size(), std::string("\"elitism\":") + value);
        std::string error;
        const std::optional<RunRecord> read = ParseRunRecord(text, error);
        EXPECT_EQ(read.has_value(), accepted) << value << ": " << error;
        if (accepted) {
            EXPECT_EQ(read->algorithm.elitism, std::stoi(value));
        } else {
            EXPECT_NE(error.find("elitism"), std::string::npos) << value << ": " << error;
        }
    }
}

}  // namespace
}  // namespace kelvora
