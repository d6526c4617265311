// Whole runs: line counts and byte formats of both files, identity with the plain algorithm for a
// seed, same-seed identity, a second run replacing both files, population 1, the reported error,
// per-line flushing, early stop, and result files that cannot be opened or written.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <filesystem>
#include <functional>
#include <regex>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "reference_search.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::CrLfLines;
using testing_support::Fields;
using testing_support::MakeGeometry;
using testing_support::PrintfG;
using testing_support::ReadBytes;
using testing_support::ScratchDir;

/// What a run showed its observers: each generation's number, error, best and average.
struct Recorder final : RunObserver {
    std::vector<std::pair<int, double>> progress;  ///< (generation, error) as reported
    std::vector<GenerationStat> history;
    std::function<void(int)> after;                ///< called with the generation's number, may be empty
    void onGeneration(const GenerationView& view) override {
        progress.emplace_back(view.generation, view.error);
        history.push_back({view.best, view.average});
        if (after) after(view.generation);
    }
};

/// One finished run in its own directory (or in directory, when given).
struct Finished {
    ScratchDir dir;
    Geometry geometry;
    RunReport report;
    RunOutcome outcome;
    Recorder recorder;
    const std::vector<std::pair<int, double>>& progress = recorder.progress;
    const std::vector<GenerationStat>& history = recorder.history;
    std::string results() const { return ReadBytes(dir.file("results.csv")); }
    std::string fitness() const { return ReadBytes(dir.file("fitness.csv")); }
};

std::unique_ptr<Finished> RunOnce(const SolverParams& params, std::uint32_t seed, int targetX = 368, int targetY = 40,
                                  const char* directory = nullptr, LineWriter writer = nullptr,
                                  const std::atomic<bool>* stop = nullptr, std::function<void(int)> after = {},
                                  const Algorithm& algorithm = {}) {
    auto run = std::make_unique<Finished>();
    run->geometry = MakeGeometry(targetX, targetY);
    run->recorder.after = std::move(after);
    ResultWriter files(FlushMode::line, writer);
    RunObserver* observers[] = {&run->recorder};
    const auto buffers = std::make_unique<RunBuffers>();
    run->report = RunWithFiles({params, run->geometry, seed, algorithm}, files, directory ? directory : run->dir.c_str(), observers,
                               *buffers, stop, &run->outcome);
    return run;
}

std::vector<double> Errors(const Finished& run) {
    std::vector<double> errors;
    for (const auto& [g, e] : run.progress) errors.push_back(e);
    return errors;
}

TEST(RunSolver, OneGenerationOfTwentyWritesTwentyOneLinesAndOneRow) {
    const auto run = RunOnce({20, 1, 0.5, 0.1}, 1);
    EXPECT_EQ(CrLfLines(run->results()).size(), 21u);
    EXPECT_EQ(CrLfLines(run->fitness()).size(), 1u);
    ASSERT_EQ(run->progress.size(), 1u);
    EXPECT_EQ(run->progress[0].first, 1);
    EXPECT_EQ(run->report.generationsRun, 1);
    EXPECT_FALSE(run->report.stopped);
    EXPECT_TRUE(run->report.filesComplete());
}

TEST(RunSolver, FilesFollowTheLineFormatsAndAgreeWithEachOther) {
    const int n = 7, g = 6;
    const auto run = RunOnce({n, g, 0.6, 0.3}, 99, 250, 120);
    const Geometry& state = run->geometry;
    const std::vector<std::string> results = CrLfLines(run->results());
    const std::vector<std::string> fitness = CrLfLines(run->fitness());
    ASSERT_EQ(results.size(), static_cast<std::size_t>(g * (n + 1)));
    ASSERT_EQ(fitness.size(), static_cast<std::size_t>(g));
    const std::regex decimal("0|[1-9][0-9]*");

    for (int gen = 0; gen < g; ++gen) {
        double best = 0.0, total = 0.0;
        int bestIndex = -1;
        std::vector<Chromosome> generation;
        for (int i = 0; i < n; ++i) {
            const std::string& line = results[static_cast<std::size_t>(gen * (n + 1) + i)];
            const std::vector<std::string> f = Fields(line);
            ASSERT_EQ(f.size(), 4u) << line;
            Chromosome c;
            for (int k = 0; k < 3; ++k) {
                ASSERT_TRUE(std::regex_match(f[k], decimal)) << line;
                const int gene = std::stoi(f[k]);
                ASSERT_LE(gene, 255) << line;
                c.gene[k] = static_cast<std::uint8_t>(gene);
            }
            const double value = Fitness(state, c);
            EXPECT_EQ(f[3], PrintfG(value)) << line;
            if (value > best) {
                best = value;
                bestIndex = i;
            }
            total += value;
            generation.push_back(c);
        }
        const std::string& summary = results[static_cast<std::size_t>(gen * (n + 1) + n)];
        EXPECT_EQ(summary, std::to_string(bestIndex) + "," + PrintfG(best) + "," + PrintfG(total / n));
        EXPECT_EQ(fitness[static_cast<std::size_t>(gen)], PrintfG(best) + "," + PrintfG(total / n));
        EXPECT_EQ(run->history[static_cast<std::size_t>(gen)].best, best);
        EXPECT_EQ(run->history[static_cast<std::size_t>(gen)].average, total / n);
        // The error of a generation is the distance of its own best tip.
        const ArmPose bestPose = PoseOf(generation[static_cast<std::size_t>(bestIndex)]);
        EXPECT_EQ(run->progress[static_cast<std::size_t>(gen)].second, TipDistance(state, bestPose));
        if (gen == g - 1) {
            EXPECT_EQ(run->outcome.currentPose, bestPose);
        }
    }
}

struct RunCase {
    const char* name;
    SolverParams params;
    std::uint32_t seed;
    int targetX, targetY;
    Algorithm algorithm = {};
};

// The operator choices of the rows below.
constexpr Algorithm kGray{.encoding = Encoding::gray};
constexpr Algorithm kRank{.selection = Selection::rank};
constexpr Algorithm kTwoPoint{.crossover = CrossoverOperator::twoPoint};
constexpr Algorithm kUniform{.crossover = CrossoverOperator::uniform};
constexpr Algorithm Tournament(int k) { return {.selection = Selection::tournament, .tournamentSize = k}; }
constexpr Algorithm Elites(int e) { return {.elitism = e}; }
constexpr Algorithm Creep(int s, Encoding encoding = Encoding::binary) {
    return {.encoding = encoding, .mutation = MutationOperator::creep, .creepStep = s};
}
constexpr Algorithm kAllTogether{Method::geneticAlgorithm, Encoding::gray, Selection::tournament, 3, 2, CrossoverOperator::uniform,
                                 MutationOperator::creep, 4};
constexpr Algorithm kAllWithRank{Method::geneticAlgorithm, Encoding::gray, Selection::rank, 2, 1, CrossoverOperator::twoPoint,
                                 MutationOperator::creep, 128};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RunMatchesThePlainAlgorithm : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunMatchesThePlainAlgorithm, ByteForByte) {
    const RunCase& c = GetParam();
    const auto run = RunOnce(c.params, c.seed, c.targetX, c.targetY, nullptr, nullptr, nullptr, {}, c.algorithm);
    const reference::RunOutcome expected =
        reference::Run({300, 220, c.targetX, c.targetY}, c.params, c.seed, c.algorithm);

    EXPECT_TRUE(run->results() == expected.results) << "results.csv differs";
    EXPECT_EQ(run->fitness(), expected.fitness);
    EXPECT_EQ(Errors(*run), expected.errors);
    for (int g = 0; g < c.params.generationCount; ++g) {
        ASSERT_EQ(run->history[g].best, expected.history[g].best) << "generation " << g;
        ASSERT_EQ(run->history[g].average, expected.history[g].average) << "generation " << g;
    }
    EXPECT_EQ(run->outcome.currentPose, expected.currentPose);
    EXPECT_EQ(run->outcome.elitePose, expected.elitePose);
    EXPECT_EQ(run->outcome.eliteFitness, expected.eliteFitness);
    EXPECT_EQ(run->report.seed, c.seed);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, RunMatchesThePlainAlgorithm,
    ::testing::Values(RunCase{"Defaults", {20, 100, 0.5, 0.1}, 1, 368, 40},
                      RunCase{"DefaultsOtherSeed", {20, 100, 0.5, 0.1}, 1733650000u, 368, 40},
                      RunCase{"NearlyFiftyEightPercent", {100, 30, 0.58, 0.05}, 42, 200, 300},
                      RunCase{"NoPairs", {3, 50, 0.3, 0.2}, 7, 400, 220},
                      RunCase{"PopulationOne", {1, 60, 1.0, 0.1}, 5, 368, 40},
                      RunCase{"PopulationTwo", {2, 60, 1.0, 0.0}, 6, 368, 40},
                      RunCase{"OddPopulationFullCrossover", {21, 40, 1.0, 1.0}, 8, 310, 210},
                      RunCase{"NoMutation", {50, 40, 0.9, 0.0}, 9, 150, 150},
                      RunCase{"FarCornerOutOfReach", {30, 40, 0.5, 0.1}, 10, 101, 419},
                      RunCase{"TargetOnTheBase", {30, 40, 0.5, 0.1}, 11, 300, 220},
                      RunCase{"LargestSeed", {40, 20, 0.001, 0.02}, 4294967295u, 499, 21},
                      RunCase{"ThousandChromosomes", {1000, 8, 0.7, 0.01}, 12, 380, 100},
                      // Each operator choice alone, over two seeds.
                      RunCase{"Gray", {20, 100, 0.5, 0.1}, 1, 368, 40, kGray},
                      RunCase{"GrayOtherSeed", {20, 60, 0.5, 0.1}, 31, 200, 300, kGray},
                      RunCase{"TournamentOfThree", {20, 100, 0.5, 0.1}, 1, 368, 40, Tournament(3)},
                      RunCase{"TournamentOfThreeOtherSeed", {33, 40, 0.8, 0.05}, 32, 250, 120, Tournament(3)},
                      RunCase{"Rank", {20, 100, 0.5, 0.1}, 1, 368, 40, kRank},
                      RunCase{"RankOtherSeed", {33, 40, 0.8, 0.05}, 33, 250, 120, kRank},
                      RunCase{"OneElite", {20, 100, 0.5, 0.1}, 1, 368, 40, Elites(1)},
                      RunCase{"FiveElitesFullCrossover", {21, 40, 1.0, 0.3}, 34, 310, 210, Elites(5)},
                      RunCase{"TwoPoint", {20, 100, 0.5, 0.1}, 1, 368, 40, kTwoPoint},
                      RunCase{"TwoPointOtherSeed", {33, 40, 1.0, 0.05}, 35, 250, 120, kTwoPoint},
                      RunCase{"Uniform", {20, 100, 0.5, 0.1}, 1, 368, 40, kUniform},
                      RunCase{"UniformOtherSeed", {33, 40, 1.0, 0.05}, 36, 250, 120, kUniform},
                      RunCase{"CreepFour", {20, 100, 0.5, 0.1}, 1, 368, 40, Creep(4)},
                      RunCase{"CreepLargestStepEveryGene", {15, 30, 0.5, 1.0}, 37, 150, 150, Creep(128)},
                      // Combinations and the edges of the counts.
                      RunCase{"GrayCreep", {20, 100, 0.5, 0.1}, 1, 368, 40, Creep(4, Encoding::gray)},
                      RunCase{"GrayCreepStepOneEveryGene", {9, 40, 0.7, 1.0}, 38, 101, 419, Creep(1, Encoding::gray)},
                      RunCase{"AllTogether", {20, 100, 0.5, 0.1}, 1, 368, 40, kAllTogether},
                      RunCase{"AllTogetherOtherSeed", {40, 30, 0.9, 0.2}, 4294967295u, 300, 220, kAllTogether},
                      RunCase{"AllWithRank", {25, 40, 0.6, 0.1}, 39, 368, 40, kAllWithRank},
                      RunCase{"PopulationOneGrayCreep", {1, 40, 1.0, 0.5}, 40, 368, 40, Creep(2, Encoding::gray)},
                      RunCase{"PopulationTwoTournamentOfTwo", {2, 60, 1.0, 0.1}, 41, 368, 40, Tournament(2)},
                      RunCase{"PopulationTwoOneEliteRank", {2, 60, 1.0, 0.5}, 42, 368, 40,
                              {.selection = Selection::rank, .elitism = 1}},
                      RunCase{"PopulationTwoAllTogether", {2, 60, 1.0, 0.3}, 43, 368, 40,
                              {Method::geneticAlgorithm, Encoding::gray, Selection::tournament, 2, 1, CrossoverOperator::twoPoint,
                               MutationOperator::creep, 3}},
                      RunCase{"ThreeRankNoPairs", {3, 50, 0.3, 0.2}, 44, 400, 220, kRank},
                      RunCase{"ElitesAllButOne", {7, 40, 1.0, 0.5}, 45, 368, 40, Elites(6)},
                      RunCase{"TournamentOfTheWholePopulation", {5, 40, 1.0, 0.2}, 46, 368, 40, Tournament(5)},
                      RunCase{"RankFromTheWheelTable", {2500, 3, 0.5, 0.05}, 47, 368, 40,
                              {.selection = Selection::rank, .elitism = 3}},
                      RunCase{"AllTogetherLarge", {2500, 3, 0.6, 0.05}, 48, 368, 40, kAllTogether},
                      // Converging populations: many equal fitness values, large groups of ties.
                      RunCase{"RankConverging", {1000, 25, 0.9, 0.01}, 49, 368, 40, kRank},
                      RunCase{"ManyElitesConverging", {1000, 25, 0.5, 0.01}, 50, 250, 120, Elites(100)},
                      RunCase{"SixtyFourElites", {300, 20, 0.5, 0.05}, 51, 250, 120, Elites(64)},
                      RunCase{"RandomSearch", {20, 100, 0.5, 0.1}, 1, 368, 40, {Method::randomSearch}},
                      RunCase{"RandomSearchIgnoresTheOperators", {7, 30, 1.0, 1.0}, 52, 250, 120,
                              {Method::randomSearch, Encoding::gray, Selection::rank, 2, 3}}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(RunSolver, TheSameSeedGivesTheSameFilesPosesAndErrors) {
    const SolverParams params{25, 30, 0.5, 0.1};
    const auto first = RunOnce(params, 1700000000u);
    const auto second = RunOnce(params, 1700000000u);
    EXPECT_TRUE(first->results() == second->results());
    EXPECT_EQ(first->fitness(), second->fitness());
    EXPECT_EQ(Errors(*first), Errors(*second));
    EXPECT_EQ(first->outcome.currentPose, second->outcome.currentPose);
    EXPECT_EQ(first->outcome.elitePose, second->outcome.elitePose);

    const auto other = RunOnce(params, 1700000001u);
    EXPECT_NE(first->results(), other->results());
}

TEST(RunSolver, ASecondRunReplacesBothFilesCompletely) {
    ScratchDir dir;
    RunOnce({60, 40, 0.5, 0.1}, 3, 368, 40, dir.c_str());
    const std::uintmax_t firstSize = std::filesystem::file_size(dir.file("results.csv"));

    const auto second = RunOnce({2, 3, 0.5, 0.1}, 4, 368, 40, dir.c_str());
    const auto alone = RunOnce({2, 3, 0.5, 0.1}, 4);
    EXPECT_LT(std::filesystem::file_size(dir.file("results.csv")), firstSize);
    EXPECT_EQ(ReadBytes(dir.file("results.csv")), alone->results());
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), alone->fitness());
    EXPECT_EQ(second->outcome.elitePose, alone->outcome.elitePose);
    EXPECT_EQ(second->outcome.eliteFitness, alone->outcome.eliteFitness);
}

TEST(RunSolver, APopulationOfOneIsCopiedThenMutatedEachGeneration) {
    // Mutation probability 1 flips exactly one bit of every gene each generation; with no pairs and
    // one roulette copy, generation g + 1 is generation g with one bit of each gene flipped.
    const auto run = RunOnce({1, 30, 1.0, 1.0}, 21);
    const std::vector<std::string> lines = CrLfLines(run->results());
    ASSERT_EQ(lines.size(), 60u);
    std::vector<int> previous;
    for (int g = 0; g < 30; ++g) {
        const std::vector<std::string> individual = Fields(lines[static_cast<std::size_t>(2 * g)]);
        const std::vector<std::string> summary = Fields(lines[static_cast<std::size_t>(2 * g + 1)]);
        ASSERT_EQ(summary.size(), 3u);
        EXPECT_EQ(summary[0], "0");
        EXPECT_EQ(summary[1], individual[3]);
        EXPECT_EQ(summary[2], individual[3]);
        std::vector<int> genes{std::stoi(individual[0]), std::stoi(individual[1]), std::stoi(individual[2])};
        if (!previous.empty()) {
            for (int k = 0; k < 3; ++k) {
                const int flipped = genes[static_cast<std::size_t>(k)] ^ previous[static_cast<std::size_t>(k)];
                EXPECT_TRUE(flipped != 0 && (flipped & (flipped - 1)) == 0) << "generation " << g << " gene " << k;
            }
        }
        previous = genes;
    }
}

TEST(RunSolver, TheErrorIsOneOverBestMinusOneAndFollowsEachGenerationsBest) {
    const auto run = RunOnce({15, 200, 0.4, 0.4}, 2024, 160, 330);
    const Geometry& state = run->geometry;
    const RunOutcome& outcome = run->outcome;
    ASSERT_EQ(run->progress.size(), 200u);
    bool rose = false;
    double lowest = INFINITY;
    int firstBest = -1;
    for (int g = 0; g < 200; ++g) {
        const auto [number, error] = run->progress[static_cast<std::size_t>(g)];
        EXPECT_EQ(number, g + 1);
        const double best = run->history[static_cast<std::size_t>(g)].best;
        EXPECT_NEAR(error, 1.0 / best - 1.0, 1e-9 * (1.0 + error)) << "generation " << g;
        rose = rose || error > lowest;
        lowest = std::min(lowest, error);
        if (best == outcome.eliteFitness && firstBest < 0) firstBest = g;
    }
    EXPECT_TRUE(rose) << "with heavy mutation some generation's best should fall behind an earlier one";
    EXPECT_EQ(run->progress.back().second, TipDistance(state, outcome.currentPose));
    // The elite is the best of the run, and it is the pose of the first generation that reached it.
    ASSERT_GE(firstBest, 0);
    EXPECT_EQ(Fitness(state, Chromosome{{static_cast<std::uint8_t>(outcome.elitePose.a1),
                                         static_cast<std::uint8_t>(outcome.elitePose.a2),
                                         static_cast<std::uint8_t>(outcome.elitePose.a3)}}),
              outcome.eliteFitness);
    const std::vector<std::string> lines = CrLfLines(run->results());
    const std::vector<std::string> summary = Fields(lines[static_cast<std::size_t>(firstBest * 16 + 15)]);
    const std::vector<std::string> bestLine = Fields(lines[static_cast<std::size_t>(firstBest * 16 + std::stoi(summary[0]))]);
    EXPECT_EQ(outcome.elitePose, (ArmPose{std::stoi(bestLine[0]), std::stoi(bestLine[1]), std::stoi(bestLine[2])}));
}

TEST(RunSolver, LinesReachTheFileDuringTheRunAndFitnessRowsOnlyAtTheEnd) {
    ScratchDir dir;
    const int n = 9;
    int calls = 0;
    RunOnce({n, 12, 0.5, 0.1}, 5, 368, 40, dir.c_str(), nullptr, nullptr, [&](int g) {
        ++calls;
        // Read by another handle while the run holds the files open.
        const std::string results = ReadBytes(dir.file("results.csv"));
        EXPECT_EQ(CrLfLines(results).size(), static_cast<std::size_t>(g * (n + 1))) << "generation " << g;
        EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), "") << "generation " << g;
    });
    EXPECT_EQ(calls, 12);
    EXPECT_EQ(CrLfLines(ReadBytes(dir.file("fitness.csv"))).size(), 12u);
}

TEST(RunSolver, TheClockSeedIsTheTimeInWholeSeconds) {
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    const std::uint32_t seed = ClockSeed();
    const auto after = static_cast<std::uint32_t>(std::time(nullptr));
    EXPECT_GE(seed, before);
    EXPECT_LE(seed, after);
}

// A custom mutation that does what the built-in one does, gene by gene with the run's generator:
// the run must be the built-in run, byte for byte, so the hook sees the right slots in the right
// order, hands over the run's generator and evaluates what it changed.
struct BuiltInAsCustom final : CustomMutation {
    Algorithm algorithm;
    int threshold = 0;
    std::vector<int> counts;  // each step's slot count
    void mutate(int step, Chromosome* genotypes, int count, CrtRandom& rng) override {
        EXPECT_EQ(step, static_cast<int>(counts.size()));
        counts.push_back(count);
        for (int i = 0; i < count; ++i) MutateGenes(algorithm, threshold, genotypes[i], rng);
    }
};

TEST(RunSolver, ACustomMutationDoingTheBuiltInOnesWorkMakesTheSameRun) {
    Algorithm gray;
    gray.encoding = Encoding::gray;
    gray.elitism = 3;
    gray.mutation = MutationOperator::creep;
    gray.creepStep = 5;
    gray.selection = Selection::tournament;
    gray.tournamentSize = 3;
    for (const Algorithm& algorithm : {Algorithm{}, gray}) {
        const SolverParams params{30, 40, 0.7, 0.2};
        const auto builtIn = RunOnce(params, 11, 300, 120, nullptr, nullptr, nullptr, {}, algorithm);
        BuiltInAsCustom custom;
        custom.algorithm = algorithm;
        custom.threshold = MutationThreshold(params.mutationProbability);
        auto run = std::make_unique<Finished>();
        RunSetup setup{params, MakeGeometry(300, 120), 11, algorithm};
        setup.mutation = &custom;
        (void)RunWithFiles(setup, run->dir.c_str());
        EXPECT_EQ(run->results(), builtIn->results());
        EXPECT_EQ(run->fitness(), builtIn->fitness());
        EXPECT_EQ(custom.counts, std::vector<int>(40, 30 - algorithm.elitism));
    }
}

// A custom selection and crossover that do the built-in ones' work with the run's generator: the
// selection draws each pair's parents and then its mask, as the built-in step does, and the crossover
// applies the masks kept. The run must be the built-in run, byte for byte: the hooks see the right
// fitness, fill the right slots in the right order, and the elites and copies keep their fitness.
struct BuiltInTournamentAsCustom final : CustomSelection, CustomCrossover {
    Algorithm algorithm;
    std::vector<std::uint32_t> masks;
    int crossSteps = 0;
    void select(int, const double* fitness, int n, std::uint16_t* parents, int count, int pairs, CrtRandom& rng) override {
        const auto draw = [&] {
            int best = Rand(rng) % n;
            for (int k = 1; k < algorithm.tournamentSize; ++k) {
                const int drawn = Rand(rng) % n;
                if (fitness[drawn] > fitness[best]) best = drawn;
            }
            return static_cast<std::uint16_t>(best);
        };
        masks.clear();
        for (int k = 0; k < pairs; ++k) {
            do {
                parents[2 * k] = draw();
                parents[2 * k + 1] = draw();
            } while (parents[2 * k] == parents[2 * k + 1]);
            masks.push_back(DrawCrossoverMask(algorithm.crossover, rng));
        }
        for (int i = 2 * pairs; i < count; ++i) parents[i] = draw();
    }
    void cross(int, Chromosome* genotypes, int pairs, CrtRandom&) override {
        ++crossSteps;
        ASSERT_EQ(static_cast<std::size_t>(pairs), masks.size());
        for (int k = 0; k < pairs; ++k) {
            const Chromosome a = genotypes[2 * k], b = genotypes[2 * k + 1];
            CrossoverMasked(a, b, masks[static_cast<std::size_t>(k)], genotypes[2 * k], genotypes[2 * k + 1]);
        }
    }
};

TEST(RunSolver, ACustomSelectionAndCrossoverDoingTheBuiltInOnesWorkMakeTheSameRun) {
    Algorithm a;
    a.selection = Selection::tournament;
    a.tournamentSize = 3;
    Algorithm b = a;
    b.encoding = Encoding::gray;
    b.elitism = 4;
    b.crossover = CrossoverOperator::uniform;
    b.mutation = MutationOperator::creep;
    b.creepStep = 3;
    for (const Algorithm& algorithm : {a, b}) {
        const SolverParams params{30, 40, 0.7, 0.2};
        const auto builtIn = RunOnce(params, 11, 300, 120, nullptr, nullptr, nullptr, {}, algorithm);
        BuiltInTournamentAsCustom custom;
        custom.algorithm = algorithm;
        auto run = std::make_unique<Finished>();
        RunSetup setup{params, MakeGeometry(300, 120), 11, algorithm};
        setup.selection = &custom;
        setup.crossover = &custom;
        (void)RunWithFiles(setup, run->dir.c_str());
        EXPECT_EQ(run->results(), builtIn->results());
        EXPECT_EQ(run->fitness(), builtIn->fitness());
        EXPECT_EQ(custom.crossSteps, 40);
    }
}

struct OutOfRangeSelection final : CustomSelection {
    void select(int, const double*, int n, std::uint16_t* parents, int count, int, CrtRandom&) override {
        std::fill(parents, parents + count, static_cast<std::uint16_t>(0));
        parents[count - 1] = static_cast<std::uint16_t>(n);
    }
};

TEST(RunSolver, ACustomSelectionChoosingNoMemberOfThePopulationIsRefused) {
    OutOfRangeSelection selection;
    RunSetup setup{SolverParams{10, 5, 0.5, 0.1}, MakeGeometry(300, 120), 1, Algorithm{}};
    setup.selection = &selection;
    EXPECT_THROW(RunSolver(setup, {}), std::out_of_range);
    Algorithm random;
    random.method = Method::randomSearch;
    setup.algorithm = random;
    EXPECT_THROW(RunSolver(setup, {}), std::invalid_argument);
}

TEST(RunSolver, ACustomMutationNeedsTheGeneticAlgorithm) {
    BuiltInAsCustom custom;
    Algorithm random;
    random.method = Method::randomSearch;
    RunSetup setup{SolverParams{}, MakeGeometry(300, 120), 1, random};
    setup.mutation = &custom;
    EXPECT_THROW(RunSolver(setup, {}), std::invalid_argument);
}

TEST(RunSolver, AStopRequestEndsTheRunAfterTheCurrentGeneration) {
    const SolverParams params{10, 10, 0.5, 0.1};
    const auto full = RunOnce(params, 31);
    ScratchDir dir;
    std::atomic<bool> stop = false;
    const auto stopped = RunOnce(params, 31, 368, 40, dir.c_str(), nullptr, &stop, [&](int g) { stop = g == 3; });
    const RunReport& report = stopped->report;
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.generationsRun, 3);
    const std::string results = ReadBytes(dir.file("results.csv"));
    EXPECT_EQ(CrLfLines(results).size(), 33u);
    EXPECT_EQ(results, full->results().substr(0, results.size()));
    const std::vector<std::string> rows = CrLfLines(ReadBytes(dir.file("fitness.csv")));
    const std::vector<std::string> fullRows = CrLfLines(full->fitness());
    EXPECT_EQ(rows, std::vector<std::string>(fullRows.begin(), fullRows.begin() + 3));

    // A request that arrives with the last generation changes nothing.
    const auto last = RunOnce(params, 31, 368, 40, dir.c_str(), nullptr, &stop, [&](int g) { stop = g == 10; });
    EXPECT_FALSE(last->report.stopped);
    EXPECT_EQ(last->report.generationsRun, 10);
    EXPECT_EQ(ReadBytes(dir.file("results.csv")), full->results());
}

// ---------------------------------------------------------------- parameters

std::string Rejection(const SolverParams& params) {
    char message[160];
    const char* text = ValidateParams(params, message, sizeof message);
    return text ? text : "";
}

TEST(ValidateParams, AcceptsTheDefaultsAndEveryRangeEnd) {
    for (const SolverParams& p : {SolverParams{}, SolverParams{1, 1, 0.001, 0.0}, SolverParams{10000, 10000, 1.0, 1.0}}) {
        EXPECT_EQ(Rejection(p), "") << p.populationSize << " " << p.generationCount;
    }
}

TEST(ValidateParams, NamesTheFieldTheValueAndTheRange) {
    EXPECT_EQ(Rejection({0, 100, 0.5, 0.1}), "population size 0 is outside 1..10000");
    EXPECT_EQ(Rejection({10001, 100, 0.5, 0.1}), "population size 10001 is outside 1..10000");
    EXPECT_EQ(Rejection({20, 0, 0.5, 0.1}), "generation count 0 is outside 1..10000");
    EXPECT_EQ(Rejection({20, 10001, 0.5, 0.1}), "generation count 10001 is outside 1..10000");
    EXPECT_EQ(Rejection({20, 100, 0.5, -0.25}), "mutation probability -0.25 is outside 0..1");
    EXPECT_EQ(Rejection({20, 100, 0.5, 1.5}), "mutation probability 1.5 is outside 0..1");
    EXPECT_EQ(Rejection({20, 100, 0.0005, 0.1}), "crossover rate 0.00050000000000000001 is outside 0.001..1");
    EXPECT_EQ(Rejection({20, 100, 2.0, 0.1}), "crossover rate 2 is outside 0.001..1");
}

TEST(ValidateParams, RejectsValuesJustOutsideAndNotANumber) {
    EXPECT_NE(Rejection({20, 100, std::nextafter(0.001, 0.0), 0.1}), "");
    EXPECT_NE(Rejection({20, 100, std::nextafter(1.0, 2.0), 0.1}), "");
    EXPECT_NE(Rejection({20, 100, 0.5, std::nextafter(1.0, 2.0)}), "");
    EXPECT_NE(Rejection({20, 100, 0.5, -5e-324}), "");
    EXPECT_NE(Rejection({20, 100, NAN, 0.1}), "");
    EXPECT_NE(Rejection({20, 100, 0.5, NAN}), "");
    EXPECT_NE(Rejection({20, 100, 0.5, INFINITY}), "");
}

// ---------------------------------------------------------------- result files that fail

/// Runs with the same seed and parameters as reference, into directory, and checks that the run
/// itself (poses, errors, history) is unaffected by what happened to the files.
RunReport RunBeside(const Finished& reference, const char* directory, const SolverParams& params,
                    LineWriter writer = nullptr) {
    const auto run = RunOnce(params, reference.report.seed, 368, 40, directory, writer);
    EXPECT_EQ(Errors(*run), Errors(reference));
    EXPECT_EQ(run->outcome.currentPose, reference.outcome.currentPose);
    EXPECT_EQ(run->outcome.elitePose, reference.outcome.elitePose);
    EXPECT_EQ(run->outcome.eliteFitness, reference.outcome.eliteFitness);
    EXPECT_EQ(run->report.generationsRun, params.generationCount);
    return run->report;
}

const SolverParams kSmall{12, 15, 0.5, 0.1};

TEST(RunSolverFailures, AMissingOutputDirectoryLosesBothFilesButNotTheRun) {
    const auto good = RunOnce(kSmall, 404);
    ScratchDir dir;
    const std::string missing = dir.file("gone");
    const RunReport report = RunBeside(*good, missing.c_str(), kSmall);
    EXPECT_FALSE(report.filesComplete());
    ASSERT_TRUE(report.results);
    EXPECT_STREQ(report.results.name, "results.csv");
    EXPECT_EQ(report.results.error, ENOENT);
    EXPECT_TRUE(report.results.duringOpen);
    ASSERT_TRUE(report.fitness);
    EXPECT_STREQ(report.fitness.name, "fitness.csv");
    EXPECT_EQ(report.fitness.error, ENOENT);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(RunSolverFailures, AnOutputPathThroughAFileIsReported) {
    const auto good = RunOnce(kSmall, 405);
    ScratchDir dir;
    std::FILE* plain = std::fopen(dir.file("plain").c_str(), "wb");
    ASSERT_NE(plain, nullptr);
    std::fclose(plain);
    const std::string through = dir.file("plain");
    const RunReport report = RunBeside(*good, through.c_str(), kSmall);
    EXPECT_EQ(report.results.error, ENOTDIR);
    EXPECT_EQ(report.fitness.error, ENOTDIR);
}

TEST(RunSolverFailures, ResultsThatCannotBeOpenedLeaveFitnessComplete) {
    const auto good = RunOnce(kSmall, 406);
    ScratchDir dir;
    ASSERT_EQ(::mkdir(dir.file("results.csv").c_str(), 0755), 0);
    const RunReport report = RunBeside(*good, dir.c_str(), kSmall);
    ASSERT_TRUE(report.results);
    EXPECT_EQ(report.results.error, EISDIR);
    EXPECT_TRUE(report.results.duringOpen);
    EXPECT_FALSE(report.fitness);
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), good->fitness());
}

TEST(RunSolverFailures, AFullDeviceIsAWriteFailureNotAnOpenFailure) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const auto good = RunOnce(kSmall, 407);
    ScratchDir dir;
    std::filesystem::create_symlink("/dev/full", dir.path() / "results.csv");
    const RunReport report = RunBeside(*good, dir.c_str(), kSmall);
    ASSERT_TRUE(report.results);
    EXPECT_EQ(report.results.error, ENOSPC);
    EXPECT_FALSE(report.results.duringOpen);
    EXPECT_FALSE(report.fitness);
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), good->fitness());
}

// Passes results.csv lines through until a budget runs out, fails that one write as a full disk
// does, and passes everything through again after it, as a disk that had room again would.
int resultsFd = -1;
int linesLeft = 0;
ssize_t FailingOnceAfterBudget(int fd, const void* data, std::size_t size) {
    if (resultsFd < 0) resultsFd = fd;  // results.csv is opened first and written first
    if (fd == resultsFd && linesLeft-- == 0) {
        errno = ENOSPC;
        return -1;
    }
    return ::write(fd, data, size);
}

TEST(RunSolverFailures, AWriteFailureMidRunKeepsTheCompleteLinesBeforeItAndNothingAfter) {
    const auto good = RunOnce(kSmall, 408);
    ScratchDir dir;
    resultsFd = -1;
    linesLeft = 50;
    const RunReport report = RunBeside(*good, dir.c_str(), kSmall, FailingOnceAfterBudget);
    ASSERT_TRUE(report.results);
    EXPECT_EQ(report.results.error, ENOSPC);
    EXPECT_FALSE(report.results.duringOpen);
    EXPECT_FALSE(report.fitness);
    const std::string results = ReadBytes(dir.file("results.csv"));
    EXPECT_EQ(CrLfLines(results).size(), 50u);
    EXPECT_EQ(results, good->results().substr(0, results.size()));
    EXPECT_EQ(ReadBytes(dir.file("fitness.csv")), good->fitness());
}

TEST(RunSolverFailures, ALaterGoodRunReportsNoFailure) {
    ScratchDir dir;
    const std::string missing = dir.file("gone");
    ResultWriter writer;
    const auto buffers = std::make_unique<RunBuffers>();
    const RunSetup setup{kSmall, MakeGeometry(), 1};
    EXPECT_FALSE(RunWithFiles(setup, writer, missing.c_str(), {}, *buffers).filesComplete());
    EXPECT_TRUE(RunWithFiles(setup, writer, dir.c_str(), {}, *buffers).filesComplete());
}

// The run refuses what it cannot run, whoever calls it: parameters outside their ranges (the rates'
// NaN included) and counts too large for the population, before a generation is drawn.
struct Refused {
    const char* name;
    SolverParams params;
    Algorithm algorithm;
};

class RunSolverPrecondition : public testing::TestWithParam<Refused> {};

TEST_P(RunSolverPrecondition, ThrowsBeforeAnyGeneration) {
    Recorder recorder;
    RunObserver* observers[] = {&recorder};
    const Refused& r = GetParam();
    EXPECT_THROW(RunSolver(RunSetup(r.params, MakeGeometry(), 1, r.algorithm), observers), std::invalid_argument);
    EXPECT_TRUE(recorder.progress.empty());
}

INSTANTIATE_TEST_SUITE_P(
    OutOfRange, RunSolverPrecondition,
    testing::Values(Refused{"Crossover1e300", {20, 5, 1e300, 0.1}, {}}, Refused{"CrossoverNegative", {20, 5, -1, 0.1}, {}},
                    Refused{"CrossoverZero", {20, 5, 0.0, 0.1}, {}}, Refused{"CrossoverNaN", {20, 5, std::nan(""), 0.1}, {}},
                    Refused{"Mutation1Point5", {20, 5, 0.5, 1.5}, {}}, Refused{"PopulationZero", {0, 5, 0.5, 0.1}, {}},
                    Refused{"Population10001", {10001, 5, 0.5, 0.1}, {}}, Refused{"GenerationsZero", {20, 0, 0.5, 0.1}, {}},
                    Refused{"EliteN", {20, 5, 0.5, 0.1}, Elites(20)}, Refused{"TournamentNPlus1", {20, 5, 0.5, 0.1}, Tournament(21)}),
    [](const testing::TestParamInfo<Refused>& info) { return std::string(info.param.name); });

TEST(RunSolver, RunsAtTheEndsOfItsRanges) {
    Recorder recorder;
    RunObserver* observers[] = {&recorder};
    EXPECT_NO_THROW(RunSolver(RunSetup({1, 2, kMinCrossoverRate, 1.0}, MakeGeometry(), 1), observers));
    EXPECT_NO_THROW(RunSolver(RunSetup({3, 1, 1.0, 0.0}, MakeGeometry(), 1, Elites(2)), observers));
    EXPECT_EQ(recorder.progress.size(), 3u);
}

}  // namespace
}  // namespace kelvora
