// The results reader against files written by real runs, and against broken files.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "io/results_reader.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::CrLfLines;
using testing_support::Fields;
using testing_support::MakeGeometry;
using testing_support::PrintfG;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

struct WrittenRun {
    std::string bytes;
    Geometry geometry;
    RunOutcome outcome;
    std::vector<GenerationStat> history;  // each generation's best and average
    std::vector<std::uint64_t> offsets;   // bytesLogged at each generation start, and at the end
};

WrittenRun WriteRun(int population, int generations, std::uint32_t seed, int targetX = 368, int targetY = 40) {
    ScratchDir dir;
    WrittenRun run;
    run.geometry = MakeGeometry(targetX, targetY);
    run.offsets.push_back(0);
    // Called after the writer has had each generation.
    struct Follow final : RunObserver {
        WrittenRun& run;
        const ResultWriter& writer;
        Follow(WrittenRun& r, const ResultWriter& w) : run(r), writer(w) {}
        void onGeneration(const GenerationView& view) override {
            run.offsets.push_back(static_cast<std::uint64_t>(writer.results.bytesLogged));
            run.history.push_back({view.best, view.average});
        }
    };
    ResultWriter writer;
    Follow follow(run, writer);
    RunObserver* observers[] = {&follow};
    const auto buffers = std::make_unique<RunBuffers>();
    RunWithFiles({{population, generations, 0.5, 0.1}, run.geometry, seed}, writer, dir.c_str(), observers, *buffers,
                 nullptr, &run.outcome);
    run.bytes = ReadBytes(dir.file("results.csv"));
    return run;
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
    const Geometry& state = run.geometry;
    const ResultsSummary s = VerifyResults(run.bytes, state.baseX, state.baseY, 2);
    ASSERT_FALSE(s.fault) << s.fault.line << ": " << s.fault.message;
    EXPECT_EQ(s.index.population, p.population);
    EXPECT_EQ(s.index.generations(), p.generations);
    EXPECT_TRUE(s.index.complete);
    EXPECT_FALSE(s.truncated);
    ASSERT_TRUE(s.target.found);
    if (s.target.unique) {
        EXPECT_EQ(s.target.x, state.targetX);
        EXPECT_EQ(s.target.y, state.targetY);
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
    ASSERT_FALSE(IndexFromOffsets(run.bytes, p.population, run.offsets, recorded));
    const std::vector<std::string> lines = CrLfLines(run.bytes);
    LoggedGeneration gen;
    for (long long g : {0LL, static_cast<long long>(p.generations) - 1}) {
        ASSERT_FALSE(ReadGeneration(run.bytes, recorded, g, gen));
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
                                         RealRun{333, 4, 123456}, RealRun{1000, 2, 77}));

TEST(ResultsReader, RecoversTheTargetOfRandomRuns) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> offset(-kMaxTargetOffset, kMaxTargetOffset);
    std::uniform_int_distribution<int> size(6, 24);
    for (int k = 0; k < 300; ++k) {
        const int tx = kBaseX + offset(random), ty = kBaseY - offset(random);
        const WrittenRun run = WriteRun(size(random), 3, random(), tx, ty);
        ResultsIndex index;
        ASSERT_FALSE(IndexResults(run.bytes, index));
        const RecoveredTarget t = RecoverTarget(run.bytes, index, kBaseX, kBaseY);
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
    const std::string bytes = b.bytes();
    const ResultsSummary s = VerifyResults(bytes, kBaseX, kBaseY, 2);
    if (*b.message) {
        EXPECT_EQ(s.fault.line, b.line) << s.fault.message;
        EXPECT_NE(s.fault.message.find(b.message), std::string::npos) << s.fault.message;
        // A front end in another language rebuilds the message from a listed format and its arguments.
        ASSERT_NE(std::find_if(std::begin(kResultsFaultFormats), std::end(kResultsFaultFormats),
                               [&](const char* f) { return std::strcmp(s.fault.format, f) == 0; }),
                  std::end(kResultsFaultFormats));
        std::string rebuilt = s.fault.format;
        for (std::size_t k = s.fault.arguments.size(); k-- > 0;) {
            std::string mark(1, '%');
            mark += std::to_string(k + 1);
            const std::size_t at = rebuilt.find(mark);
            ASSERT_NE(at, std::string::npos) << s.fault.format;
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

TEST(MappedResults, AFileCutShortUnderTheMappingReadsAsZerosAndSaysSo) {
    ScratchDir dir;
    const std::string path = dir.file("results.csv");
    const WrittenRun run = WriteRun(200, 20, 9);  // some 90 kB: many pages
    {
        std::ofstream out(path, std::ios::binary);
        out << run.bytes;
    }
    MappedResults file;
    std::string error;
    ASSERT_TRUE(file.open(path, error)) << error;
    ASSERT_FALSE(VerifyResults(file.data(), kBaseX, kBaseY, 2).fault);
    EXPECT_FALSE(file.cutShort());

    // Another program cuts it to a third: reading on past its new end neither kills the process
    // nor passes the check, and the mapping says why.
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(run.bytes.size() / 3)), 0);
    const ResultsSummary s = VerifyResults(file.data(), kBaseX, kBaseY, 2);
    EXPECT_TRUE(s.fault);
    EXPECT_TRUE(file.cutShort());
    const std::string_view data = file.data();
    EXPECT_EQ(data.substr(0, run.bytes.size() / 3), std::string_view(run.bytes).substr(0, run.bytes.size() / 3));
    EXPECT_EQ(data.find_first_not_of('\0', run.bytes.size() / 3 + 4096), std::string_view::npos);
}

TEST(MappedResultsDeathTest, ASigbusElsewhereStillEndsTheProcess) {
    ScratchDir dir;
    const std::string path = dir.file("other.bin");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(3 * 4096, 'x');
    }
    EXPECT_DEATH(
        {
            MappedResults guarded;  // the guard is in place
            std::string error;
            guarded.open(path, error);
            const int fd = ::open(path.c_str(), O_RDONLY);
            auto* plain = static_cast<volatile const char*>(::mmap(nullptr, 3 * 4096, PROT_READ, MAP_PRIVATE, fd, 0));
            ::ftruncate(::open(path.c_str(), O_WRONLY), 0);
            std::fprintf(stderr, "%d\n", plain[2 * 4096]);  // not a guarded mapping's page
        },
        "");
}

TEST(ResultsReader, RecordedOffsetsThatAreNotLineStartsAreRefused) {
    const WrittenRun run = WriteRun(4, 3, 5);
    ResultsIndex index;
    std::vector<std::uint64_t> offsets = run.offsets;
    offsets[2] -= 1;
    EXPECT_TRUE(IndexFromOffsets(run.bytes, 4, offsets, index));
    offsets = run.offsets;
    offsets.back() = run.bytes.size() + 5;
    EXPECT_TRUE(IndexFromOffsets(run.bytes, 4, offsets, index));
    EXPECT_TRUE(IndexFromOffsets(run.bytes, 0, run.offsets, index));
}

}  // namespace
}  // namespace kelvora
