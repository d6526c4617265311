// A generation taken apart against the trace file of the same run: every slot's origin and
// genotypes, the parent population and its fitness, the selection's weights, the ancestry and the
// count of initial ancestors, the last two found by walking the trace's parents back by hand.

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "io/trace_file.h"
#include "io/trace_step.h"
#include "model/arm.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::MakeGeometry;
using testing_support::ScratchDir;

struct StepRow {
    const char* name;
    SolverParams params;
    Algorithm algorithm = {};
};

void PrintTo(const StepRow& row, std::ostream* os) { *os << row.name; }

// The trace file's lines: [0] the initial population's genotypes, then each step's slots.
std::vector<nlohmann::json> TraceLines(const RunSetup& setup) {
    ScratchDir dir;
    const std::string path = dir.file("trace.jsonl");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool gray = setup.algorithm.method == Method::geneticAlgorithm && setup.algorithm.encoding == Encoding::gray;
    TraceWriter writer(fd, gray ? Encoding::gray : Encoding::binary);
    RunSolver(setup, {}, nullptr, &writer);
    ::close(fd);
    std::ifstream in(path);
    std::vector<nlohmann::json> lines;
    for (std::string text; std::getline(in, text);) lines.push_back(nlohmann::json::parse(text));
    return lines;
}

// Generation t's genotypes from the trace (t = 0: the initial population).
std::vector<std::uint32_t> PopulationOf(const std::vector<nlohmann::json>& lines, int t) {
    if (t == 0) return lines[0].at("initial").get<std::vector<std::uint32_t>>();
    std::vector<std::uint32_t> out;
    for (const nlohmann::json& s : lines[static_cast<std::size_t>(t)].at("slots")) out.push_back(s.at("after"));
    return out;
}

std::vector<int> ParentsOf(const nlohmann::json& slot) {
    return slot.contains("parents") ? slot.at("parents").get<std::vector<int>>() : std::vector<int>{};
}

class StepMatchesTheTrace : public ::testing::TestWithParam<StepRow> {};

TEST_P(StepMatchesTheTrace, SlotBySlot) {
    const StepRow& row = GetParam();
    const RunSetup setup{row.params, MakeGeometry(300, 80), 2024, row.algorithm};
    const std::vector<nlohmann::json> lines = TraceLines(setup);
    const int n = row.params.populationSize;
    const bool gray = row.algorithm.method == Method::geneticAlgorithm && row.algorithm.encoding == Encoding::gray;
    for (const int g : {1, row.params.generationCount / 2 + 1, row.params.generationCount}) {
        SCOPED_TRACE("generation " + std::to_string(g));
        const GenerationStep step = TraceGenerationStep(setup, g);
        ASSERT_EQ(step.generation, g);
        const std::vector<std::uint32_t> parents = PopulationOf(lines, g - 1);
        ASSERT_EQ(step.parents, parents);
        ASSERT_EQ(step.parentFitness.size(), parents.size());
        for (int i = 0; i < n; ++i) {
            Chromosome c;
            for (int k = 0; k < 3; ++k) {
                const int byte = static_cast<int>(parents[static_cast<std::size_t>(i)] >> (16 - 8 * k) & 0xFF);
                c.gene[k] = static_cast<std::uint8_t>(gray ? GrayDecode(byte) : byte);
            }
            EXPECT_EQ(step.parentFitness[static_cast<std::size_t>(i)], Fitness(setup.geometry, c));
        }
        const nlohmann::json& slots = lines[static_cast<std::size_t>(g)].at("slots");
        ASSERT_EQ(step.next.size(), slots.size());
        for (int i = 0; i < n; ++i) {
            const StepSlot& s = step.next[static_cast<std::size_t>(i)];
            const nlohmann::json& t = slots[static_cast<std::size_t>(i)];
            const char* kinds[] = {"elite", "child", "copy", "random"};
            EXPECT_EQ(std::string(kinds[static_cast<int>(s.kind)]), t.at("kind").get<std::string>()) << "slot " << i;
            const std::vector<int> p = ParentsOf(t);
            if (!p.empty()) {
                EXPECT_EQ(s.parents[0], p[0]) << "slot " << i;
            }
            if (p.size() == 2) {
                EXPECT_EQ(s.parents[1], p[1]) << "slot " << i;
                EXPECT_EQ(s.mask, t.at("mask").get<std::uint32_t>()) << "slot " << i;
            }
            EXPECT_EQ(s.redraws, t.value("redraws", 0u)) << "slot " << i;
            EXPECT_EQ(s.before, t.at("before").get<std::uint32_t>()) << "slot " << i;
            EXPECT_EQ(s.after, t.at("after").get<std::uint32_t>()) << "slot " << i;
            EXPECT_EQ(s.fitness, GenotypeFitness(setup.geometry, s.after, gray ? Encoding::gray : Encoding::binary));
        }
        // The wheel: roulette weighs by fitness, rank by N down to 1 in fitness order.
        const Algorithm& a = row.algorithm;
        if (a.method == Method::randomSearch || a.selection == Selection::tournament) {
            EXPECT_TRUE(step.weights.empty());
        } else if (a.selection == Selection::roulette) {
            EXPECT_EQ(step.weights, step.parentFitness);
        } else {
            for (int i = 0; i < n; ++i) {
                int above = 0;  // individuals ranked before i
                for (int j = 0; j < n; ++j) {
                    const double fi = step.parentFitness[static_cast<std::size_t>(i)], fj = step.parentFitness[static_cast<std::size_t>(j)];
                    above += fj > fi || (fj == fi && j < i);
                }
                EXPECT_EQ(step.weights[static_cast<std::size_t>(i)], n - above) << "parent " << i;
            }
            EXPECT_EQ(step.weightTotal, n * (n + 1) / 2.0);
        }
        // Initial ancestors of each generation t: walk every individual's parents back to the start.
        ASSERT_EQ(step.ancestors.size(), static_cast<std::size_t>(g) + 1);
        for (int t = 0; t <= g; ++t) {
            std::set<int> alive;
            for (int i = 0; i < n; ++i) alive.insert(i);
            for (int u = t; u >= 1; --u) {
                std::set<int> older;
                for (int i : alive)
                    for (int parent : ParentsOf(lines[static_cast<std::size_t>(u)].at("slots")[static_cast<std::size_t>(i)])) older.insert(parent);
                alive = older;
            }
            EXPECT_EQ(step.ancestors[static_cast<std::size_t>(t)], static_cast<int>(alive.size())) << "generation " << t;
        }
        // The last slot's ancestry: each level the distinct parents of the level before, from the trace.
        const auto levels = AncestryOf(step, n - 1);
        ASSERT_FALSE(levels.empty());
        std::set<int> expected{n - 1};
        for (int k = 0; k < static_cast<int>(levels.size()); ++k) {
            std::set<int> got;
            const std::vector<std::uint32_t> population = PopulationOf(lines, g - k);
            for (const AncestorNode& node : levels[static_cast<std::size_t>(k)]) {
                got.insert(node.index);
                EXPECT_EQ(node.generation, g - k);
                EXPECT_EQ(node.genotype, population[static_cast<std::size_t>(node.index)]);
            }
            EXPECT_EQ(got, expected) << "level " << k;
            if (g - k == 0) break;
            std::set<int> older;
            for (int i : expected)
                for (int parent : ParentsOf(lines[static_cast<std::size_t>(g - k)].at("slots")[static_cast<std::size_t>(i)])) older.insert(parent);
            expected = older;
        }
        const int reach = std::min(kLineageDepth, g);
        if (a.method == Method::randomSearch) EXPECT_EQ(levels.size(), 1u);
        else EXPECT_EQ(levels.size(), static_cast<std::size_t>(reach) + 1);
    }
}

constexpr SolverParams Params(int n, int g, double crossover = 0.6, double mutation = 0.2) {
    return {n, g, crossover, mutation};
}

INSTANTIATE_TEST_SUITE_P(
    OperatorChoices, StepMatchesTheTrace,
    ::testing::Values(StepRow{"Classic", Params(12, 9)}, StepRow{"Elitism2", Params(13, 8, 0.9), {.elitism = 2}},
                      StepRow{"Tournament3", Params(12, 8), {.selection = Selection::tournament, .tournamentSize = 3}},
                      StepRow{"Rank", Params(14, 7), {.selection = Selection::rank}},
                      StepRow{"TwoPoint", Params(10, 7, 1.0), {.crossover = CrossoverOperator::twoPoint}},
                      StepRow{"Uniform", Params(10, 7, 1.0), {.crossover = CrossoverOperator::uniform}},
                      StepRow{"GrayCreep", Params(12, 8, 0.5, 0.5),
                              {.encoding = Encoding::gray, .mutation = MutationOperator::creep, .creepStep = 4}},
                      StepRow{"RandomSearch", Params(8, 4), {.method = Method::randomSearch}},
                      StepRow{"PopulationOne", Params(1, 3, 1.0, 0.5)},
                      StepRow{"PopulationTwo", Params(2, 12, 1.0, 0.2)},
                      // Past 128 the ancestor sets drop the bits of those without descendants.
                      StepRow{"Population300", Params(300, 8, 0.8, 0.05)}));

TEST(TraceGenerationStep, RefusesAGenerationOutsideTheRun) {
    const RunSetup setup{Params(4, 3), MakeGeometry(), 1};
    EXPECT_THROW(TraceGenerationStep(setup, 0), std::invalid_argument);
    EXPECT_THROW(TraceGenerationStep(setup, 4), std::invalid_argument);
    std::atomic<bool> stop{true};
    EXPECT_EQ(TraceGenerationStep({Params(4, 3), MakeGeometry(), 1}, 3, &stop).generation, 0);
}

}  // namespace
}  // namespace kelvora
