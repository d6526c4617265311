// The results reader against files written by real runs, against broken files, and against files
// that change or fail while they are read.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "io/results_reader.h"
#include "test_support.h"

namespace kelvora {

// Failures name a fault kind by its words.
void PrintTo(ResultsFaultKind kind, std::ostream* os) { *os << '"' << ResultsFaultEnglish(kind) << '"'; }

namespace {

using testing_support::CrLfLines;
using testing_support::Fields;
using testing_support::MakeGeometry;
using testing_support::PrintfG;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

struct WrittenRun {
    std::unique_ptr<ScratchDir> dir = std::make_unique<ScratchDir>();
    std::string path;  // its results.csv
    std::string bytes;
    Geometry geometry;
    RunOutcome outcome;
    std::vector<GenerationStat> history;  // each generation's best and average, as the run had them
    std::vector<std::uint64_t> offsets;   // bytesLogged at each generation start, and at the end
};

// Notes where each generation of results.csv ends, and its best and average, as the run goes.
class Recorder final : public RunObserver {
public:
    Recorder(const LogFile& log, WrittenRun& run) : log_(log), run_(run) {}
    void onGeneration(const GenerationView& view) override {
        run_.offsets.push_back(static_cast<std::uint64_t>(log_.bytesLogged));
        run_.history.push_back({view.best, view.average});
    }

private:
    const LogFile& log_;
    WrittenRun& run_;
};

WrittenRun WriteRun(int population, int generations, std::uint32_t seed, int targetX = 368, int targetY = 40) {
    WrittenRun run;
    run.geometry = MakeGeometry(targetX, targetY);
    run.offsets.push_back(0);
    ResultWriter files;
    Recorder recorder(files.results, run);
    RunObserver* observers[] = {&recorder};
    const auto buffers = std::make_unique<RunBuffers>();
    RunWithFiles({{population, generations, 0.5, 0.1}, run.geometry, seed}, files, run.dir->c_str(), observers, *buffers,
                 nullptr, &run.outcome);
    run.path = run.dir->file("results.csv");
    run.bytes = ReadBytes(run.path);
    return run;
}

ResultsFile Open(const std::string& path) {
    ResultsFile file;
    std::string error;
    EXPECT_TRUE(file.open(path, error)) << path << ": " << error;
    return file;
}

// ---- real runs ----

struct RealRun {
    int population;
    int generations;
    std::uint32_t seed;
};

class RealRunTest : public testing::TestWithParam<RealRun> {};

TEST_P(RealRunTest, ReadsBackWhatTheRunWrote) {
    const RealRun& p = GetParam();
    const WrittenRun run = WriteRun(p.population, p.generations, p.seed);
    const ResultsFile file = Open(run.path);
    const ResultsSummary s = VerifyResults(file, run.geometry.baseX, run.geometry.baseY, 2);
    ASSERT_FALSE(s.fault) << s.fault.line << ": " << s.fault.message;
    EXPECT_EQ(s.index.population, p.population);
    EXPECT_EQ(s.index.generations(), p.generations);
    EXPECT_TRUE(s.index.complete);
    EXPECT_FALSE(s.truncated);
    ASSERT_TRUE(s.target.found);
    if (s.target.unique) {
        EXPECT_EQ(s.target.x, run.geometry.targetX);
        EXPECT_EQ(s.target.y, run.geometry.targetY);
    } else {
        EXPECT_GT(s.target.candidates, 1);
    }
    EXPECT_EQ(s.eliteFitness, run.outcome.eliteFitness);
    EXPECT_EQ(s.elitePose, run.outcome.elitePose);
    EXPECT_EQ(s.lastBestPose, run.outcome.currentPose);
    ASSERT_EQ(s.history.size(), static_cast<std::size_t>(p.generations));
    for (int g = 0; g < p.generations; ++g) {  // fitness.csv's rows, as the run kept them
        EXPECT_EQ(PrintfG(s.history[static_cast<std::size_t>(g)].best), PrintfG(run.history[static_cast<std::size_t>(g)].best));
        EXPECT_EQ(PrintfG(s.history[static_cast<std::size_t>(g)].average),
                  PrintfG(run.history[static_cast<std::size_t>(g)].average));
    }
    // The offsets the run recorded while writing are the index, and the lines of each generation
    // are the file's own lines, read back through ReadGeneration.
    EXPECT_EQ(s.index.generationStarts, run.offsets);
    ResultsIndex recorded;
    ASSERT_FALSE(IndexFromOffsets(file, p.population, run.offsets, recorded));
    const std::vector<std::string> lines = CrLfLines(run.bytes);
    LoggedGeneration gen;
    for (long long g : {0LL, static_cast<long long>(p.generations) - 1}) {
        ASSERT_FALSE(ReadGeneration(file, recorded, g, gen));
        for (int i = 0; i < p.population; ++i) {
            const auto& c = gen.individuals[static_cast<std::size_t>(i)];
            const std::vector<std::string> f = Fields(lines[static_cast<std::size_t>(recorded.lineOf(g, i) - 1)]);
            EXPECT_EQ(std::to_string(c.genes.gene[0]) + "," + std::to_string(c.genes.gene[1]) + "," +
                          std::to_string(c.genes.gene[2]) + "," + PrintfG(c.fitness),
                      f[0] + "," + f[1] + "," + f[2] + "," + f[3]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SeedsAndSizes, RealRunTest,
                         testing::Values(RealRun{1, 1, 1}, RealRun{1, 60, 7}, RealRun{2, 9, 3}, RealRun{3, 1, 11},
                                         RealRun{7, 33, 5}, RealRun{20, 100, 42}, RealRun{64, 17, 9},
                                         RealRun{333, 4, 123456}, RealRun{1000, 2, 77},
                                         RealRun{1500, 50, 99}));  // 1.6 MB: indexed in more than one read

TEST(ResultsReader, RecoversTheTargetOfRandomRuns) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> offset(-kMaxTargetOffset, kMaxTargetOffset);
    std::uniform_int_distribution<int> size(6, 24);
    for (int k = 0; k < 300; ++k) {
        const int tx = kBaseX + offset(random), ty = kBaseY - offset(random);
        const WrittenRun run = WriteRun(size(random), 3, random(), tx, ty);
        const ResultsFile file = Open(run.path);
        ResultsIndex index;
        ASSERT_FALSE(IndexResults(file, index));
        const RecoveredTarget t = RecoverTarget(file, index, kBaseX, kBaseY);
        ASSERT_TRUE(t.found && t.unique) << "run " << k;
        ASSERT_EQ(t.x, tx) << "run " << k;
        ASSERT_EQ(t.y, ty) << "run " << k;
    }
}

// ---- broken files ----

// A small real run, as lines without CR LF: 3 individuals and a summary per generation, 4 generations.
std::vector<std::string> BaseLines() {
    static const std::vector<std::string> lines = CrLfLines(WriteRun(3, 4, 2024, 250, 200).bytes);
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

std::string WithLine(int lineNo, const std::string& text) {
    std::vector<std::string> lines = BaseLines();
    lines[static_cast<std::size_t>(lineNo - 1)] = text;
    return Join(lines);
}

std::string WithField(int lineNo, int field, const std::string& text) {
    std::vector<std::string> f = Fields(BaseLines()[static_cast<std::size_t>(lineNo - 1)]);
    f[static_cast<std::size_t>(field)] = text;
    std::string line;
    for (std::size_t k = 0; k < f.size(); ++k) line += (k ? "," : "") + f[k];
    return WithLine(lineNo, line);
}

// Another %g value of the same number of digits, so only its value is wrong.
std::string Nudged(const std::string& g) {
    std::string s = g;
    s.back() = s.back() == '1' ? '2' : '1';
    return s;
}

struct Broken {
    const char* name;
    std::function<std::string()> bytes;
    long long line;           // 0 with an empty message: readable
    const char* message;      // a part of the fault's message
    long long generations = 0;  // when readable
    bool truncated = false;
};

std::ostream& operator<<(std::ostream& os, const Broken& b) { return os << b.name; }

class BrokenFileTest : public testing::TestWithParam<Broken> {};

TEST_P(BrokenFileTest, NamesTheFirstBadLine) {
    const Broken& b = GetParam();
    ScratchDir dir;
    const std::string path = dir.file("results.csv");
    std::ofstream(path, std::ios::binary) << b.bytes();
    const ResultsSummary s = VerifyResults(Open(path), kBaseX, kBaseY, 2);
    if (*b.message) {
        EXPECT_EQ(s.fault.line, b.line) << s.fault.message;
        EXPECT_NE(s.fault.message.find(b.message), std::string::npos) << s.fault.message;
        // A front end in another language rebuilds the message from its kind's format and its arguments.
        std::string rebuilt = ResultsFaultEnglish(s.fault.kind);
        for (std::size_t k = s.fault.arguments.size(); k-- > 0;) {
            std::string mark(1, '%');
            mark += std::to_string(k + 1);
            const std::size_t at = rebuilt.find(mark);
            ASSERT_NE(at, std::string::npos) << rebuilt;
            rebuilt = rebuilt.substr(0, at) + s.fault.arguments[k] + rebuilt.substr(at + mark.size());
        }
        EXPECT_EQ(rebuilt, s.fault.message);
    } else {
        ASSERT_FALSE(s.fault) << s.fault.line << ": " << s.fault.message;
        EXPECT_EQ(s.index.generations(), b.generations);
        EXPECT_EQ(s.truncated, b.truncated);
        EXPECT_EQ(s.target.x, 250);
        EXPECT_EQ(s.target.y, 200);
    }
}

const std::string& Whole() {
    static const std::string whole = Join(BaseLines());
    return whole;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenFileTest,
    testing::Values(
        Broken{"Empty", [] { return std::string(); }, 1, "the file is empty"},
        Broken{"BinaryWithoutLineFeeds", [] { return std::string(200, '\x01'); }, 1, "longer than 64 bytes"},
        Broken{"NulInsideAGene", [] { return WithField(2, 1, std::string("1\0", 2)); }, 2, "gene 1 is '1\\x00'"},
        Broken{"ThreeFieldsWhereAnIndividualBelongs", [] { return WithLine(6, "1,2,3"); }, 6,
               "expected an individual line of 4 fields"},
        Broken{"FiveFields", [] { return WithLine(3, BaseLines()[2] + ",1"); }, 3, "found 5 fields"},
        Broken{"GeneAboveRange", [] { return WithField(2, 0, "256"); }, 2, "gene 0 is '256', expected a whole number 0..255"},
        Broken{"GeneLeadingZero", [] { return WithField(7, 2, "07"); }, 7, "gene 2 is '07'"},
        Broken{"GeneSigned", [] { return WithField(10, 1, "+5"); }, 10, "gene 1 is '+5'"},
        Broken{"FitnessNotANumber", [] { return WithField(5, 3, "abc"); }, 5, "fitness is 'abc'"},
        Broken{"FitnessNotAsPercentGWritesIt", [] { return WithField(5, 3, Fields(BaseLines()[4])[3] + "0"); }, 5,
               "as %g writes it"},
        Broken{"FitnessDoesNotMatchItsGenes", [] { return WithField(11, 3, Nudged(Fields(BaseLines()[10])[3])); }, 11,
               "does not match its genes"},
        Broken{"FirstFitnessWrong", [] { return WithField(1, 3, Nudged(Fields(BaseLines()[0])[3])); }, 1,
               "does not match its genes"},
        Broken{"FitnessFarBelowAnyTip", [] { return WithField(1, 3, "1e-300"); }, 1, "does not match its genes"},
        Broken{"GenesChangedUnderTheirFitness", [] { return WithField(14, 0, Fields(BaseLines()[13])[0] == "9" ? "8" : "9"); },
               14, "does not match its genes"},
        Broken{"MissingCarriageReturn",
               [] {
                   std::string s = Whole();
                   s.erase(s.find("\r\n", s.find("\r\n") + 2), 1);  // line 2 ends in a bare LF
                   return s;
               },
               2, "does not end in CR LF"},
        // Within a generation every line is read before any is checked against its genes: the
        // malformed line 7 is named, not the mismatch on line 5 before it.
        Broken{"MalformedAfterAMismatchInTheSameGeneration",
               [] {
                   std::vector<std::string> lines = BaseLines();
                   std::vector<std::string> f = Fields(lines[4]);
                   lines[4] = f[0] + "," + f[1] + "," + f[2] + "," + Nudged(f[3]);
                   f = Fields(lines[6]);
                   lines[6] = f[0] + "," + f[1] + "," + f[2] + ",abc";
                   return Join(lines);
               },
               7, "fitness is 'abc'"},
        Broken{"GeneOfFourDigits", [] { return WithField(6, 0, "1000"); }, 6, "gene 0 is '1000'"},
        Broken{"SummaryBestIndexWrong",
               [] {
                   const std::string i = Fields(BaseLines()[7])[0];
                   return WithField(8, 0, i == "0" ? "1" : "0");
               },
               8, "summary best index"},
        Broken{"SummaryBestWrong", [] { return WithField(12, 1, Nudged(Fields(BaseLines()[11])[1])); }, 12, "summary best"},
        Broken{"SummaryAverageWrong", [] { return WithField(16, 2, Nudged(Fields(BaseLines()[15])[2])); }, 16,
               "summary average"},
        Broken{"SummaryFieldCount", [] { return WithLine(12, "1,0.5"); }, 12, "expected the summary line of 3 fields"},
        Broken{"LongLineInTheMiddle", [] { return WithLine(9, std::string(100, '7')); }, 9, "longer than 64 bytes"},
        Broken{"FirstLineASummary", [] { return "0,0.5,0.5\r\n" + Whole(); }, 1, "a summary line where the first individual"},
        Broken{"CutInsideTheFirstGeneration", [] { return Whole().substr(0, 30); }, 2, "no complete generation"},
        Broken{"TooManyIndividuals",
               [] {
                   std::string s;
                   for (int i = 0; i <= kMaxPopulation; ++i) s += "0,0,0,0.5\r\n";
                   return s;
               },
               kMaxPopulation + 1, "no summary line after 10000 individuals"},
        Broken{"TooManyGenerations",
               [] {
                   // Shape only matters to the index: one individual and a summary, 10001 times.
                   std::string s;
                   for (int g = 0; g <= kMaxGenerations; ++g) s += "0,0,0,0.5\r\n0,0.5,0.5\r\n";
                   return s;
               },
               2LL * kMaxGenerations + 1, "more than 10000 generations"},
        Broken{"BadLineInTheCutOffTail", [] { return Whole() + "1,2,x,0.5\r\n"; }, 17, "gene 2 is 'x'"},
        Broken{"CutMidLineInTheLastGeneration", [] { return Whole().substr(0, Whole().size() - 20); }, 0, "", 3, true},
        Broken{"CutAfterAnIndividualOfTheLastGeneration",
               [] {
                   std::vector<std::string> lines = BaseLines();
                   lines.resize(14);
                   return Join(lines);
               },
               0, "", 3, true},
        Broken{"Complete", [] { return Whole(); }, 0, "", 4, false}),
    [](const testing::TestParamInfo<Broken>& info) { return std::string(info.param.name); });

// ---- files that change or fail while they are checked ----

struct Mishap {
    const char* name;
    std::function<void(const std::string& path, const std::string& bytes)> change;  // null: reads fail instead
    ResultsFaultKind kind;
    const char* message;
};

std::ostream& operator<<(std::ostream& os, const Mishap& m) { return os << m.name; }

class MishapTest : public testing::TestWithParam<Mishap> {};

// The file changes, or reads of its middle fail with EIO, after the index pass has read it: the
// check and a later read of a generation say what happened, never what the bytes would suggest.
TEST_P(MishapTest, IsReportedAsWhatHappened) {
    const Mishap& m = GetParam();
    const WrittenRun run = WriteRun(200, 20, 9);  // some 90 kB: one read for the index, many for the check
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};  // a rewrite changes the time, however quick
    ASSERT_EQ(::utimensat(AT_FDCWD, run.path.c_str(), past, 0), 0);
    ResultsFile file = Open(run.path);
    const std::uint64_t middle = run.bytes.size() / 2;
    std::atomic<int> reads{0};
    std::once_flag once;
    file.setPread([&](int fd, void* buffer, std::size_t size, off_t offset) -> ssize_t {
        if (reads++ > 0) {
            if (m.change) {
                std::call_once(once, [&] { m.change(run.path, run.bytes); });
            } else if (static_cast<std::uint64_t>(offset) <= middle && middle < offset + size) {
                errno = EIO;
                return -1;
            }
        }
        return ::pread(fd, buffer, size, offset);
    });
    const ResultsSummary s = VerifyResults(file, kBaseX, kBaseY, 2);
    EXPECT_EQ(s.fault.kind, m.kind) << s.fault.message;
    EXPECT_EQ(s.fault.line, 0);
    EXPECT_NE(s.fault.message.find(m.message), std::string::npos) << s.fault.message;
    ASSERT_EQ(s.index.generationStarts, run.offsets);  // the index pass read the file as it was
    LoggedGeneration gen;
    const auto g = static_cast<long long>(
        std::upper_bound(run.offsets.begin(), run.offsets.end(), middle) - run.offsets.begin() - 1);
    EXPECT_EQ(ReadGeneration(file, s.index, g, gen).kind, m.kind);
}

void Rewrite(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

INSTANTIATE_TEST_SUITE_P(
    Table, MishapTest,
    testing::Values(
        Mishap{"CutShort",
               [](const std::string& path, const std::string& bytes) {
                   ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(bytes.size() / 3)), 0);
               },
               ResultsFaultKind::cutShort, "the file was cut short while it was being read"},
        Mishap{"Grown",
               [](const std::string& path, const std::string&) { std::ofstream(path, std::ios::app) << "0,0,0,1\r\n"; },
               ResultsFaultKind::grown, "the file grew while it was being read"},
        Mishap{"ReplacedByAnotherFile",
               [](const std::string& path, const std::string& bytes) {
                   Rewrite(path + ".new", bytes);
                   std::rename((path + ".new").c_str(), path.c_str());
               },
               ResultsFaultKind::replaced, "the file was replaced while it was being read"},
        Mishap{"RewrittenInPlaceToTheSameSize", Rewrite, ResultsFaultKind::replaced,
               "the file was replaced while it was being read"},
        Mishap{"ReadError", nullptr, ResultsFaultKind::readFailed, ": Input/output error"}),
    [](const testing::TestParamInfo<Mishap>& info) { return std::string(info.param.name); });

TEST(ResultsReader, RecordedOffsetsThatAreNotLineStartsAreRefused) {
    const WrittenRun run = WriteRun(4, 3, 5);
    const ResultsFile file = Open(run.path);
    ResultsIndex index;
    std::vector<std::uint64_t> offsets = run.offsets;
    offsets[2] -= 1;
    EXPECT_TRUE(IndexFromOffsets(file, 4, offsets, index));
    offsets = run.offsets;
    offsets.back() = run.bytes.size() + 5;
    EXPECT_TRUE(IndexFromOffsets(file, 4, offsets, index));
    EXPECT_TRUE(IndexFromOffsets(file, 0, run.offsets, index));
}

}  // namespace
}  // namespace kelvora
