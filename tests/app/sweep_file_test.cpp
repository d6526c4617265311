// The one sweep-file reader: every row value held to its flag's range, FIFOs refused at once, a
// repeated run refused naming both lines, each fault worded once; configurations grouped by value.

#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session/configurations.h"
#include "session/labels.h"
#include "session/sweep_file.h"
#include "test_support.h"

namespace kelvora::session {
namespace {

using testing_support::ScratchDir;

constexpr const char* kSweep = "0123456789abcdef";

// Run `run` (1-based) of a sweep of `runs`, crossover c, measured at epsilon (none: a row of a file
// written before rows carried it): a row as `sweep` writes it.
std::string Row(long long run, long long runs = 4, double crossover = 0.5, const char* sweep = kSweep,
                std::optional<double> epsilon = 0.5) {
    SweepResult r;
    r.combination.params = {20, 100, crossover, 0.1};
    r.combination.target = {68, 180};
    r.combination.seed = static_cast<std::uint32_t>(run);
    r.elitePose = {1, 2, 3};
    r.eliteDistance = 1.5;
    r.optimumDistance = 0.25;
    r.firstGenerationWithinEpsilon = 40;
    return SweepRow(r, run - 1, runs, sweep, epsilon);
}

std::string Written(const ScratchDir& dir, const std::string& text) {
    const std::string path = dir.file("s.csv");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

// Row 2 of a good file with one field replaced: field index, its new text.
struct BadValue {
    const char* name;
    int field;
    const char* text;
};

class SweepRowValue : public testing::TestWithParam<BadValue> {};

TEST_P(SweepRowValue, OutsideItsFlagsRangeIsNoRow) {
    std::string row = Row(1);
    row.pop_back();
    std::vector<std::string> f;
    for (std::size_t start = 0;;) {
        const std::size_t comma = row.find(',', start);
        f.push_back(row.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    f[static_cast<std::size_t>(GetParam().field)] = GetParam().text;
    std::string forged;
    for (const std::string& field : f) forged += (forged.empty() ? "" : ",") + field;
    ScratchDir dir;
    std::vector<SweepResult> rows;
    EXPECT_EQ(ReadSweepFile(Written(dir, SweepHeader() + forged + "\n" + Row(2)), "s.csv", rows), "s.csv:2: not a sweep row");
    EXPECT_TRUE(rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SweepRowValue,
    testing::Values(BadValue{"Crossover1e300", 3, "1e300"}, BadValue{"CrossoverNegative", 3, "-1"},
                    BadValue{"CrossoverZero", 3, "0"}, BadValue{"CrossoverBelowItsLeast", 3, "0.0009"},
                    BadValue{"Crossover1Point5", 3, "1.5"}, BadValue{"MutationNegative", 4, "-0.1"},
                    BadValue{"Mutation2", 4, "2"}, BadValue{"Population0", 1, "0"}, BadValue{"Generations10001", 2, "10001"},
                    BadValue{"Target200", 11, "200"}, BadValue{"EliteDistanceNegative", 16, "-1"},
                    BadValue{"FirstWithinBeyondTheGenerations", 21, "101"}, BadValue{"EliteCountOfThePopulation", 8, "20"},
                    BadValue{"EpsilonZero", 25, "0"}, BadValue{"EpsilonBeyondItsMost", 25, "1000.5"},
                    BadValue{"EpsilonNoNumber", 25, "half"}),
    [](const testing::TestParamInfo<BadValue>& info) { return std::string(info.param.name); });

TEST(SweepFile, AcceptsTheEndsOfTheRanges) {
    ScratchDir dir;
    std::vector<SweepResult> rows;
    EXPECT_EQ(ReadSweepFile(Written(dir, SweepHeader() + Row(1, 2, 0.001) + Row(2, 2, 1.0)), "s.csv", rows), "");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].combination.params.crossoverRate, 0.001);
}

struct Fault {
    const char* name;
    std::string text;
    std::string says;
};

class SweepFileFault : public testing::TestWithParam<Fault> {};

TEST_P(SweepFileFault, IsWordedOnce) {
    ScratchDir dir;
    std::vector<SweepResult> rows;
    EXPECT_EQ(ReadSweepFile(Written(dir, GetParam().text), "s.csv", rows), GetParam().says);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SweepFileFault,
    testing::Values(
        Fault{"Empty", "", "s.csv:1: not a sweep file (it is empty)"},
        Fault{"NoHeader", Row(1), "s.csv:1: not a sweep file (its first line is not the sweep header)"},
        Fault{"HeaderAlone", SweepHeader(), "s.csv: the file holds no rows"},
        // What an editor adds to a header is named.
        Fault{"ByteOrderMark", "\xEF\xBB\xBF" + SweepHeader() + Row(1),
              "s.csv:1: not a sweep file (its first line is not the sweep header: it begins with a UTF-8 byte order mark)"},
        Fault{"CrLf", SweepHeader().insert(SweepHeader().size() - 1, "\r") + Row(1),
              "s.csv:1: not a sweep file (its first line is not the sweep header: its lines end in CR LF, not LF)"},
        Fault{"ByteOrderMarkAndCrLf", "\xEF\xBB\xBF" + SweepHeader().insert(SweepHeader().size() - 1, "\r"),
              "s.csv:1: not a sweep file (its first line is not the sweep header: it begins with a UTF-8 byte order "
              "mark and its lines end in CR LF, not LF)"},
        Fault{"CutShort", SweepHeader() + Row(1) + Row(2).substr(0, 30),
              "s.csv:3: the row is cut short (an interrupted sweep: finish it with sweep --resume)"},
        Fault{"TooLong", SweepHeader() + std::string(kLongestSweepLine + 1, 'x') + "\n", "s.csv:2: not a sweep row"},
        // The same run of the same sweep twice counts twice: refused, both lines named.
        Fault{"RunRepeated", SweepHeader() + Row(1) + Row(2) + Row(3) + Row(2),
              "s.csv:5: the row repeats run 2 of sweep 0123456789abcdef, the row of line 3"},
        Fault{"RunRepeatedAtOnce", SweepHeader() + Row(1) + Row(1),
              "s.csv:3: the row repeats run 1 of sweep 0123456789abcdef, the row of line 2"},
        Fault{"RunRepeatedOutOfOrder", SweepHeader() + Row(4) + Row(2) + Row(3) + Row(1) + Row(3),
              "s.csv:6: the row repeats run 3 of sweep 0123456789abcdef, the row of line 4"},
        // A file holds rows with the epsilon column or, written before rows carried it, without.
        Fault{"RowWithoutEpsilonUnderTheHeader", SweepHeader() + Row(1, 4, 0.5, kSweep, std::nullopt),
              "s.csv:2: not a sweep row"},
        Fault{"RowWithEpsilonUnderTheOlderHeader", SweepHeaderWithoutEpsilon() + Row(1), "s.csv:2: not a sweep row"},
        Fault{"TwoEpsilons", SweepHeader() + Row(1) + Row(1, 4, 0.25, "fedcba9876543210", 2.0),
              "s.csv:3: the row was measured at ε 2 px, the rows before it at 0.5 px (a file's runs must share one ε)"},
        Fault{"ConfigurationOfTwoSweeps", SweepHeader() + Row(1) + Row(2, 4, 0.5, "fedcba9876543210"),
              "s.csv:3: the row is of sweep fedcba9876543210, the rows of its configuration before it of sweep "
              "0123456789abcdef (a configuration's runs must come from one sweep)"}),
    [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST(SweepFile, SaysTheEpsilonItsRowsWereMeasuredAt) {
    struct Case {
        std::string text;
        std::optional<double> epsilon;
    };
    for (const Case& c : {Case{SweepHeader() + Row(1, 4, 0.5, kSweep, 2.5) + Row(2, 4, 0.5, kSweep, 2.5), 2.5},
                          Case{SweepHeaderWithoutEpsilon() + Row(1, 4, 0.5, kSweep, std::nullopt), std::nullopt}}) {
        ScratchDir dir;
        std::vector<SweepResult> rows;
        std::optional<double> epsilon = 99.0;
        EXPECT_EQ(ReadSweepFile(Written(dir, c.text), "s.csv", rows, &epsilon), "");
        EXPECT_EQ(epsilon, c.epsilon);
        EXPECT_FALSE(rows.empty());
    }
}

TEST(SweepFile, RowsOutOfRunOrderAreEachTheirOwnRun) {
    ScratchDir dir;
    std::vector<SweepResult> rows;
    EXPECT_EQ(ReadSweepFile(Written(dir, SweepHeader() + Row(3) + Row(1) + Row(4) + Row(2)), "s.csv", rows), "");
    EXPECT_EQ(rows.size(), 4u);
}

TEST(SweepFile, OneRunNumberInTwoSweepsIsTwoRuns) {
    ScratchDir dir;
    std::vector<SweepResult> rows;
    const std::string text = SweepHeader() + Row(1) + Row(1, 4, 0.25, "fedcba9876543210");
    EXPECT_EQ(ReadSweepFile(Written(dir, text), "s.csv", rows), "");
    EXPECT_EQ(rows.size(), 2u);
}

TEST(SweepFile, AFifoIsRefusedAtOnceNotWaitedOn) {
    // No writer ever opens it: a reader that opened it blocking would wait here for ever.
    ScratchDir dir;
    const std::string fifo = dir.file("f.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::vector<SweepResult> rows;
    EXPECT_EQ(ReadSweepFile(fifo, "f.csv", rows), "f.csv: cannot read: a FIFO, not a regular file or a character device");
    EXPECT_EQ(ReadSweepFile(dir.file("none.csv"), "none.csv", rows), "none.csv: cannot read: No such file or directory");
}

TEST(Configurations, AreGroupedByValueNotByPrintedLabel) {
    // 0.5 and 0.5000001 print alike with six digits; they are two configurations of two runs each.
    ScratchDir dir;
    std::vector<SweepResult> rows;
    const std::string text = SweepHeader() + Row(1, 4, 0.5) + Row(2, 4, 0.5000001) + Row(3, 4, 0.5) + Row(4, 4, 0.5000001);
    ASSERT_EQ(ReadSweepFile(Written(dir, text), "s.csv", rows), "");
    ConfigurationGroups groups;
    std::vector<std::size_t> of;
    for (const SweepResult& r : rows) of.push_back(groups.Add(r.combination));
    EXPECT_EQ(of, (std::vector<std::size_t>{0, 1, 0, 1}));
    ASSERT_EQ(groups.configurations().size(), 2u);
    EXPECT_EQ(DifferingLabels(groups.configurations()), (std::vector<std::string>{"classic", "cross 0.5000001"}));
}

}  // namespace
}  // namespace kelvora::session
