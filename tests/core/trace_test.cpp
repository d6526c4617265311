// The run's trace against the operators' definitions: for every operator choice the trace must
// rebuild results.csv (the genotypes after mutation, decoded, are the logged poses), each child the
// mask combination of its parents' genotypes of the population before, each copy and elite its
// parent, and mutation may only have changed what the mutation operator can change. A run with a
// trace writes the same result files as one without.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "io/result_files.h"
#include "io/trace_file.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::CrLfLines;
using testing_support::Fields;
using testing_support::MakeGeometry;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

struct TraceRow {
    const char* name;
    SolverParams params;
    Algorithm algorithm = {};
};

void PrintTo(const TraceRow& row, std::ostream* os) { *os << row.name; }

std::uint32_t Byte(std::uint32_t genotype, int gene) { return (genotype >> (16 - 8 * gene)) & 0xFFu; }

// Whether the mask is one the crossover operator can draw: the r + 1 lowest bits (one-point), one
// run of bits (two-point), any 24 bits (uniform).
bool MaskFits(CrossoverOperator crossover, std::uint32_t mask) {
    if (mask == 0 || mask > 0xFFFFFFu) return false;
    if (crossover == CrossoverOperator::uniform) return true;
    const std::uint32_t low = mask & (~mask + 1u);  // lowest set bit
    const bool run = ((mask + low) & mask) == 0;    // adding it clears the whole run
    return run && (crossover == CrossoverOperator::twoPoint || low == 1u);
}

// Whether mutation could have turned the genotype before into after: elites are never mutated, a
// bit flip changes at most one bit of a gene, a creep of S moves a gene's angle by at most S.
bool MutationCouldGive(const Algorithm& a, bool elite, std::uint32_t before, std::uint32_t after) {
    if (elite) return before == after;
    for (int gene = 0; gene < 3; ++gene) {
        const int b = static_cast<int>(Byte(before, gene)), c = static_cast<int>(Byte(after, gene));
        if (a.mutation == MutationOperator::bitFlip) {
            if (__builtin_popcount(static_cast<unsigned>(b ^ c)) > 1) return false;
        } else {
            const bool gray = a.encoding == Encoding::gray;
            if (std::abs((gray ? GrayDecode(c) : c) - (gray ? GrayDecode(b) : b)) > a.creepStep) return false;
        }
    }
    return true;
}

class TraceRebuildsTheRun : public ::testing::TestWithParam<TraceRow> {};

TEST_P(TraceRebuildsTheRun, SlotBySlot) {
    const TraceRow& row = GetParam();
    const SolverParams& p = row.params;
    const Algorithm& a = row.algorithm;
    const bool random = a.method == Method::randomSearch;
    const bool gray = !random && a.encoding == Encoding::gray;
    const RunSetup setup{p, MakeGeometry(310, 60), 4711, a};

    ScratchDir traced, plain;
    const std::string tracePath = traced.file("trace.jsonl");
    const int fd = ::open(tracePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    TraceWriter writer(fd, gray ? Encoding::gray : Encoding::binary);
    ResultWriter files(FlushMode::generation), plainFiles(FlushMode::generation);
    const auto buffers = std::make_unique<RunBuffers>();
    RunWithFiles(setup, files, traced.c_str(), {}, *buffers, nullptr, nullptr, {}, &writer);
    ::close(fd);
    ASSERT_EQ(writer.error(), 0);
    RunWithFiles(setup, plainFiles, plain.c_str(), {}, *buffers);
    const std::string results = ReadBytes(traced.file("results.csv"));
    EXPECT_EQ(results, ReadBytes(plain.file("results.csv")));
    EXPECT_EQ(ReadBytes(traced.file("fitness.csv")), ReadBytes(plain.file("fitness.csv")));

    const std::vector<std::string> lines = CrLfLines(results);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(p.generationCount * (p.populationSize + 1)));
    std::ifstream in(tracePath);
    std::string text;
    ASSERT_TRUE(std::getline(in, text));
    const nlohmann::json first = nlohmann::json::parse(text);
    EXPECT_EQ(first.at("trace"), 1);
    EXPECT_EQ(first.at("encoding"), gray ? "gray" : "binary");
    std::vector<std::uint32_t> previous = first.at("initial").get<std::vector<std::uint32_t>>();
    ASSERT_EQ(previous.size(), static_cast<std::size_t>(p.populationSize));

    const int n = p.populationSize;
    const int elites = random ? 0 : a.elitism;
    const int pairs = random ? 0 : static_cast<int>((n - elites) * p.crossoverRate) / 2;
    int redrawn = 0;
    for (int g = 0; g < p.generationCount; ++g) {
        ASSERT_TRUE(std::getline(in, text)) << "generation " << g;
        const nlohmann::json step = nlohmann::json::parse(text);
        ASSERT_EQ(step.at("generation"), g);
        const nlohmann::json& slots = step.at("slots");
        ASSERT_EQ(slots.size(), static_cast<std::size_t>(n));
        std::vector<std::uint32_t> after(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const nlohmann::json& s = slots[static_cast<std::size_t>(i)];
            const std::string kind = s.at("kind");
            const std::uint32_t before = s.at("before");
            after[static_cast<std::size_t>(i)] = s.at("after");
            const std::uint32_t mutated = after[static_cast<std::size_t>(i)];
            const std::string where = "generation " + std::to_string(g) + " slot " + std::to_string(i);
            // The logged pose is the genotype after mutation, decoded.
            const std::vector<std::string> fields = Fields(lines[static_cast<std::size_t>(g * (n + 1) + i)]);
            for (int gene = 0; gene < 3; ++gene) {
                const int byte = static_cast<int>(Byte(mutated, gene));
                ASSERT_EQ(std::to_string(gray ? GrayDecode(byte) : byte), fields[static_cast<std::size_t>(gene)]) << where;
            }
            const std::string expected = random ? "random" : i < elites ? "elite" : i < elites + 2 * pairs ? "child" : "copy";
            ASSERT_EQ(kind, expected) << where;
            EXPECT_EQ(s.contains("mask"), kind == "child") << where;
            if (random) {
                EXPECT_FALSE(s.contains("parents")) << where;
                EXPECT_EQ(before, mutated) << where;
                continue;
            }
            const std::vector<int> parents = s.at("parents");
            for (int parent : parents) ASSERT_TRUE(parent >= 0 && parent < n) << where;
            if (kind == "child") {
                ASSERT_EQ(parents.size(), 2u) << where;
                EXPECT_NE(parents[0], parents[1]) << where;
                const bool firstOfPair = (i - elites) % 2 == 0;
                const nlohmann::json& pair = slots[static_cast<std::size_t>(firstOfPair ? i + 1 : i - 1)];
                EXPECT_EQ(pair.at("parents"), s.at("parents")) << where;
                EXPECT_EQ(pair.at("mask"), s.at("mask")) << where;
                if (s.contains("redraws")) {
                    EXPECT_TRUE(firstOfPair) << where;
                    EXPECT_GT(s.at("redraws").get<int>(), 0) << where;
                    ++redrawn;
                }
                const std::uint32_t m = s.at("mask");
                EXPECT_TRUE(MaskFits(a.crossover, m)) << where << " mask " << m;
                const std::uint32_t pa = previous[static_cast<std::size_t>(parents[0])];
                const std::uint32_t pb = previous[static_cast<std::size_t>(parents[1])];
                EXPECT_EQ(before, firstOfPair ? (pa & ~m) | (pb & m) : (pb & ~m) | (pa & m)) << where;
            } else {
                ASSERT_EQ(parents.size(), 1u) << where;
                EXPECT_EQ(before, previous[static_cast<std::size_t>(parents[0])]) << where;
                EXPECT_FALSE(s.contains("redraws")) << where;
            }
            EXPECT_TRUE(MutationCouldGive(a, kind == "elite", before, mutated)) << where;
        }
        previous = after;
    }
    EXPECT_FALSE(std::getline(in, text));
    // Two parents of two drawn about evenly are the same index every other draw.
    if (n == 2 && pairs > 0) {
        EXPECT_GT(redrawn, 0);
    }
}

constexpr SolverParams Params(int n, int g, double crossover = 0.5, double mutation = 0.1) {
    return {n, g, crossover, mutation};
}

INSTANTIATE_TEST_SUITE_P(
    OperatorChoices, TraceRebuildsTheRun,
    ::testing::Values(TraceRow{"Classic", Params(20, 12)}, TraceRow{"Elitism3", Params(21, 10, 0.9), {.elitism = 3}},
                      TraceRow{"Tournament3", Params(20, 10), {.selection = Selection::tournament, .tournamentSize = 3}},
                      TraceRow{"Rank", Params(30, 10, 0.7), {.selection = Selection::rank}},
                      TraceRow{"TwoPoint", Params(20, 10, 1.0), {.crossover = CrossoverOperator::twoPoint}},
                      TraceRow{"Uniform", Params(20, 10, 1.0), {.crossover = CrossoverOperator::uniform}},
                      TraceRow{"Creep3", Params(20, 10, 0.5, 0.5), {.mutation = MutationOperator::creep, .creepStep = 3}},
                      TraceRow{"Gray", Params(20, 10, 0.5, 0.3), {.encoding = Encoding::gray}},
                      TraceRow{"GrayCreepElite", Params(20, 10, 0.6, 0.5),
                               {Method::geneticAlgorithm, Encoding::gray, Selection::tournament, 2, 1,
                                CrossoverOperator::twoPoint, MutationOperator::creep, 5}},
                      TraceRow{"RandomSearch", Params(15, 6), {.method = Method::randomSearch}},
                      TraceRow{"PopulationOne", Params(1, 8, 1.0, 0.5)},
                      TraceRow{"PopulationTwo", Params(2, 30, 1.0, 0.2)},
                      TraceRow{"LargeTable", Params(2500, 2, 0.5, 0.05)}));

TEST(TraceWriter, KeepsOnlyTheChosenStepsAfterTheFirstLine) {
    ScratchDir dir;
    const std::string path = dir.file("trace.jsonl");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    TraceWriter writer(fd, Encoding::binary, 2, 3);
    RunSolver({Params(5, 6), MakeGeometry(), 9}, {}, nullptr, &writer);
    ::close(fd);
    std::ifstream in(path);
    std::vector<int> generations;
    std::string text;
    ASSERT_TRUE(std::getline(in, text));
    EXPECT_TRUE(nlohmann::json::parse(text).contains("initial"));
    while (std::getline(in, text)) generations.push_back(nlohmann::json::parse(text).at("generation"));
    EXPECT_EQ(generations, (std::vector<int>{2, 3}));
    EXPECT_EQ(writer.bytesWritten(), ReadBytes(path).size());
}

TEST(TraceWriter, AFullDeviceIsReportedAndNothingMoreIsTried) {
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0) GTEST_SKIP() << "no /dev/full";
    TraceWriter writer(fd, Encoding::binary);
    const RunOutcome outcome = RunSolver({Params(5, 4), MakeGeometry(), 9}, {}, nullptr, &writer);
    ::close(fd);
    EXPECT_EQ(writer.error(), ENOSPC);
    EXPECT_EQ(writer.bytesWritten(), 0u);
    EXPECT_EQ(outcome.generationsRun, 4);
}

}  // namespace
}  // namespace kelvora
