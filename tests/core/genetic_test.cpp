// The genetic operators: pair counts and their floating-point traps, the crossover masks and their
// draws, mutation's boundaries and draws, the roulette's ends and its binary search, and whole
// reproduction steps against the plain algorithm.

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "reference_search.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace kelvora {
namespace {

using testing_support::MakeGeometry;

// What the operators take: the geometry and the rates, named as a run's parameters name them.
struct OperatorInputs {
    Geometry geometry = MakeGeometry();
    int populationSize = 0;
    double crossoverRate = 0.0;
    double mutationProbability = 0.0;
};

std::unique_ptr<OperatorInputs> MakeState(int targetX = 368, int targetY = 40) {
    auto inputs = std::make_unique<OperatorInputs>();
    inputs->geometry = MakeGeometry(targetX, targetY);
    return inputs;
}
using testing_support::RngDrawing;

Chromosome C(int g0, int g1, int g2) {
    return {{static_cast<std::uint8_t>(g0), static_cast<std::uint8_t>(g1), static_cast<std::uint8_t>(g2)}};
}

CrtRandom Seeded(std::uint32_t seed) {
    CrtRandom rng;
    Srand(rng, seed);
    return rng;
}

/// The generator after count more draws.
CrtRandom Advanced(CrtRandom rng, int count) {
    for (int i = 0; i < count; ++i) Rand(rng);
    return rng;
}

bool IsMember(const Chromosome& c, const Population& population, int n) {
    return std::find(population.begin(), population.begin() + n, c) != population.begin() + n;
}

constexpr Algorithm kClassic{};

/// One-point crossover at the cut r (0..23): the r + 1 lowest bits exchanged.
void CrossoverAt(const Chromosome& a, const Chromosome& b, int r, Chromosome& child1, Chromosome& child2) {
    CrossoverMasked(a, b, (2u << r) - 1u, child1, child2);
}

/// One classic reproduction step over the population's own fitness, as the run makes it.
void Reproduce(const Geometry& geometry, int n, double crossoverRate, Population& population,
               ReproductionScratch& scratch, CrtRandom& rng) {
    std::array<double, kMaxPopulation> fitness{};
    for (int i = 0; i < n; ++i) fitness[static_cast<std::size_t>(i)] = Fitness(geometry, population[i]);
    scratch.evaluated = false;
    ReproduceWith(kClassic, n, crossoverRate, fitness.data(), population, scratch, rng);
}

void Mutate(int n, double mutationProbability, Population& population, CrtRandom& rng) {
    MutateWith(kClassic, n, mutationProbability, population, rng);
}

// ---------------------------------------------------------------- pair counts

TEST(CrossoverPairCount, TruncatesTheDoubleProductThenHalves) {
    EXPECT_EQ(CrossoverPairCount(20, 0.5), 5);
    EXPECT_EQ(CrossoverPairCount(21, 1.0), 10);
    EXPECT_EQ(CrossoverPairCount(2, 1.0), 1);
    EXPECT_EQ(CrossoverPairCount(1, 1.0), 0);
    EXPECT_EQ(CrossoverPairCount(10000, 1.0), 5000);
    EXPECT_EQ(CrossoverPairCount(10000, 0.001), 5);
    EXPECT_EQ(CrossoverPairCount(1999, 0.001), 0);
}

TEST(CrossoverPairCount, ProductsJustBelowAnIntegerLoseTheirPair) {
    // 100 * 0.58 is 57.99999999999999 in double precision: 57 crossover slots, 28 pairs, not 29.
    EXPECT_EQ(100 * 0.58, 57.99999999999999);
    EXPECT_EQ(CrossoverPairCount(100, 0.58), 28);
    // 3 * 0.3 is 0.8999999999999999: no pair at all.
    EXPECT_EQ(3 * 0.3, 0.8999999999999999);
    EXPECT_EQ(CrossoverPairCount(3, 0.3), 0);
}

// ---------------------------------------------------------------- crossover

TEST(Crossover, KnownChildrenOfAllZerosAndAllOnes) {
    const Chromosome a = C(0, 0, 0), b = C(255, 255, 255);
    Chromosome c1, c2;
    CrossoverAt(a, b, 3, c1, c2);
    EXPECT_EQ(c1, C(0, 0, 15));
    EXPECT_EQ(c2, C(255, 255, 240));
    CrossoverAt(a, b, 10, c1, c2);
    EXPECT_EQ(c1, C(0, 7, 255));
    EXPECT_EQ(c2, C(255, 248, 0));
    CrossoverAt(a, b, 23, c1, c2);
    EXPECT_EQ(c1, b);
    EXPECT_EQ(c2, a);
}

TEST(Crossover, CutsAtGeneBoundariesExchangeWholeGenes) {
    const Chromosome a = C(0x12, 0x34, 0x56), b = C(0xAB, 0xCD, 0xEF);
    Chromosome c1, c2;
    CrossoverAt(a, b, 0, c1, c2);  // only bit 0 of gene 2
    EXPECT_EQ(c1, C(0x12, 0x34, 0x57));
    EXPECT_EQ(c2, C(0xAB, 0xCD, 0xEE));
    CrossoverAt(a, b, 7, c1, c2);  // gene 2 whole, nothing else
    EXPECT_EQ(c1, C(0x12, 0x34, 0xEF));
    EXPECT_EQ(c2, C(0xAB, 0xCD, 0x56));
    CrossoverAt(a, b, 8, c1, c2);  // gene 2 and bit 0 of gene 1
    EXPECT_EQ(c1, C(0x12, 0x35, 0xEF));
    EXPECT_EQ(c2, C(0xAB, 0xCC, 0x56));
    CrossoverAt(a, b, 15, c1, c2);  // genes 1 and 2 whole
    EXPECT_EQ(c1, C(0x12, 0xCD, 0xEF));
    EXPECT_EQ(c2, C(0xAB, 0x34, 0x56));
    CrossoverAt(a, b, 16, c1, c2);  // genes 1, 2 and bit 0 of gene 0
    EXPECT_EQ(c1, C(0x13, 0xCD, 0xEF));
    EXPECT_EQ(c2, C(0xAA, 0x34, 0x56));
}

TEST(Crossover, EveryCutMatchesTheGeneByGeneTable) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int trial = 0; trial < 200; ++trial) {
        const Chromosome a = C(byte(gen), byte(gen), byte(gen)), b = C(byte(gen), byte(gen), byte(gen));
        for (int r = 0; r < 24; ++r) {
            Chromosome c1, c2, e1, e2;
            CrossoverAt(a, b, r, c1, c2);
            reference::CrossoverByGene(a, b, r, e1, e2);
            ASSERT_EQ(c1, e1) << "cut " << r;
            ASSERT_EQ(c2, e2) << "cut " << r;
        }
    }
}

TEST(Crossover, OnePointDrawsItsCutOnceAsRandMod24) {
    for (const auto& [draw, cut] : {std::pair{34, 10}, std::pair{32767, 7}, std::pair{0, 0}, std::pair{47, 23}}) {
        CrtRandom rng = RngDrawing(draw, [](int) { return true; });
        const CrtRandom after = Advanced(rng, 1);
        EXPECT_EQ(DrawCrossoverMask(CrossoverOperator::onePoint, rng), (1u << (cut + 1)) - 1u) << "draw " << draw;
        EXPECT_EQ(rng.state, after.state) << "draw " << draw;
    }
}

TEST(Crossover, TwoPointAndUniformMasksFromTheirTwoDraws) {
    // Seed 1 draws 41, 18467: cuts 41 % 24 = 17 and 18467 % 24 = 11, so bits 11..17; uniform
    // takes (41 << 15) | 18467.
    CrtRandom rng = Seeded(1);
    EXPECT_EQ(DrawCrossoverMask(CrossoverOperator::twoPoint, rng), 0x3F800u);
    EXPECT_EQ(rng.state, Advanced(Seeded(1), 2).state);
    rng = Seeded(1);
    EXPECT_EQ(DrawCrossoverMask(CrossoverOperator::uniform, rng), 41u * 32768u + 18467u);
    EXPECT_EQ(rng.state, Advanced(Seeded(1), 2).state);
}

// ---------------------------------------------------------------- initialisation

TEST(InitPopulation, GenesAreLowBytesOfDrawsGeneZeroFirst) {
    auto state = MakeState();
    state->populationSize = 2;
    Population population{};
    population[2] = C(1, 2, 3);
    CrtRandom rng = Seeded(1);  // 41, 18467, 6334, 26500, 19169, 15724
    InitPopulation(state->populationSize, population, rng);
    EXPECT_EQ(population[0], C(41, 18467 % 256, 6334 % 256));
    EXPECT_EQ(population[1], C(26500 % 256, 19169 % 256, 15724 % 256));
    EXPECT_EQ(population[2], C(1, 2, 3));
    EXPECT_EQ(rng.state, Advanced(Seeded(1), 6).state);
}

// ---------------------------------------------------------------- mutation

TEST(Mutate, ProbabilityOneFlipsOneBitOfEveryGeneWithTheSecondDraw) {
    auto state = MakeState();
    state->populationSize = 40;
    state->mutationProbability = 1.0;
    Population population{};
    CrtRandom init = Seeded(99);
    InitPopulation(state->populationSize, population, init);
    const Population before = population;
    population[40] = C(9, 9, 9);

    CrtRandom rng = Seeded(5);
    CrtRandom replay = rng;
    Mutate(state->populationSize, state->mutationProbability, population, rng);
    for (int i = 0; i < 40; ++i) {
        for (int g = 0; g < 3; ++g) {
            Rand(replay);  // the test draw: x <= 1 always holds
            const int bit = Rand(replay) % 8;
            ASSERT_EQ(population[i].gene[g] ^ before[i].gene[g], 1 << bit) << "chromosome " << i << " gene " << g;
        }
    }
    EXPECT_EQ(rng.state, replay.state);
    EXPECT_EQ(population[40], C(9, 9, 9));
}

/// Gene 0 of a one-chromosome population after mutation with probability p and generator rng.
int MutatedFirstGene(Chromosome c, double p, CrtRandom rng) {
    auto state = MakeState();
    state->populationSize = 1;
    state->mutationProbability = p;
    Population population{};
    population[0] = c;
    Mutate(state->populationSize, state->mutationProbability, population, rng);
    return population[0].gene[0];
}

TEST(Mutate, ProbabilityZeroStillMutatesOnADrawOfZero) {
    EXPECT_EQ(MutatedFirstGene(C(0, 0, 0), 0.0, RngDrawing(0, [](int v) { return v % 8 == 7; })), 128);  // bit 7
    EXPECT_EQ(MutatedFirstGene(C(255, 0, 0), 0.0, RngDrawing(0, [](int v) { return v % 8 == 0; })), 254);  // bit 0
}

TEST(Mutate, ADrawEqualToTheProbabilityMutatesAndOneAboveDoesNot) {
    // x = 16384 c; the comparison is "less than or equal". The bit drawn next is bit 3.
    const CrtRandom rng = RngDrawing(16384, [](int v) { return v % 8 == 3; });
    EXPECT_EQ(MutatedFirstGene(C(0, 0, 0), 16384 * kRandScale, rng), 8);
    EXPECT_EQ(MutatedFirstGene(C(0, 0, 0), std::nextafter(16384 * kRandScale, 0.0), rng), 0);
}

TEST(Mutate, AFailedTestDrawsNoBit) {
    auto state = MakeState();
    state->populationSize = 1;
    state->mutationProbability = 0.0;
    Population population{};
    population[0] = C(10, 20, 30);
    CrtRandom rng = Seeded(1);  // 41, 18467, 6334: all above 0
    Mutate(state->populationSize, state->mutationProbability, population, rng);
    EXPECT_EQ(population[0], C(10, 20, 30));
    EXPECT_EQ(rng.state, Advanced(Seeded(1), 3).state);
}

// ---------------------------------------------------------------- roulette

struct Wheel {
    std::vector<double> fitness;
    std::vector<double> prefix;
    double total = 0.0;
    explicit Wheel(std::vector<double> values) : fitness(std::move(values)) {
        for (double f : fitness) {
            total += f;
            prefix.push_back(total);
        }
    }
    int size() const { return static_cast<int>(fitness.size()); }
    /// The wheel read by a linear scan of the fitness values, summing as it goes: the first index
    /// whose running sum exceeds the draw r's share of the total, else the wheel's end.
    int Linear(int r) const {
        const double draw = (r * kRandScale) * total;
        double sum = 0.0;
        for (int i = 0; i < size(); ++i) {
            sum += fitness[static_cast<std::size_t>(i)];
            if (sum > draw) return i;
        }
        return size() - 1;
    }
    /// The index the table of every draw holds for the draw r.
    int FromTable(int r) const {
        std::array<std::uint16_t, kRandMax + 1> table{};
        FillRouletteTable(prefix.data(), size(), total, table.data());
        return table[static_cast<std::size_t>(r)];
    }
    /// The index the bucketed sums give for the draw r (a population below kRouletteTableMinPopulation).
    int FromIndex(int r) const {
        const auto index = std::make_unique<RouletteIndex>();
        BuildRouletteIndex(prefix.data(), size(), total, *index);
        return RouletteSelectIndexed(*index, r);
    }
};

TEST(RouletteSelect, DrawZeroPicksTheFirstChromosomeHoweverSmallItsShare) {
    const Wheel wheel({0.0021, 0.9, 0.5, 1.0});
    EXPECT_EQ(wheel.Linear(0), 0);
    EXPECT_EQ(wheel.FromIndex(0), 0);
    EXPECT_EQ(wheel.FromTable(0), 0);
}

TEST(RouletteSelect, TheLargestDrawEqualsTheTotalAndTakesTheEndOfTheWheel) {
    for (const Wheel& wheel : {Wheel({0.3, 0.2, 0.0021}), Wheel({0.7}), Wheel({0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7})}) {
        ASSERT_EQ((kRandMax * kRandScale) * wheel.total, wheel.total);
        EXPECT_EQ(wheel.Linear(kRandMax), wheel.size() - 1);
        EXPECT_EQ(wheel.FromIndex(kRandMax), wheel.size() - 1);
        EXPECT_EQ(wheel.FromTable(kRandMax), wheel.size() - 1);
    }
}

TEST(RouletteSelect, FlatStretchesOfPrefixSumsPickTheirFirstIndexAbove) {
    // 1e-17 vanishes when added to 0.25: prefix sums 0.25, 0.25, 0.25, 1.0.
    const Wheel wheel({0.25, 1e-17, 1e-17, 0.75});
    ASSERT_EQ(wheel.prefix[2], 0.25);
    for (const auto& [draw, index] : {std::pair{8191, 0}, std::pair{8192, 3}, std::pair{32766, 3}}) {
        EXPECT_EQ(wheel.Linear(draw), index) << "draw " << draw;
        EXPECT_EQ(wheel.FromIndex(draw), index) << "draw " << draw;
        EXPECT_EQ(wheel.FromTable(draw), index);
    }
}

TEST(RouletteSelect, ADrawEqualToAPrefixSumPassesOnToTheNextIndex) {
    // With d = 20000 c (above one half) the table d/16, d/16, d/8, d/4, d/2, 1 - d has the exact
    // prefix sums d/16, d/8, d/4, d/2, d, 1; the draws 1250, 2500, 5000, 10000 and 20000 land exactly
    // on the first five, and only a sum strictly above the draw selects.
    const double d = 20000 * kRandScale;
    const Wheel wheel({d / 16, d / 16, d / 8, d / 4, d / 2, 1.0 - d});
    ASSERT_EQ(wheel.total, 1.0);
    int index = 1;
    for (int draw : {1250, 2500, 5000, 10000, 20000}) {
        ASSERT_EQ((draw * kRandScale) * wheel.total, wheel.prefix[static_cast<std::size_t>(index - 1)]);
        EXPECT_EQ(wheel.Linear(draw), index) << "draw " << draw;
        EXPECT_EQ(wheel.FromIndex(draw), index) << "draw " << draw;
        EXPECT_EQ(wheel.FromTable(draw), index);
        ++index;
    }
}

TEST(RouletteSelect, TheTableAgreesWithTheLinearScanOnRandomTables) {
    std::mt19937_64 gen(2024);
    std::uniform_real_distribution<double> share(0.002, 1.0);
    std::bernoulli_distribution vanishing(0.05);
    std::array<std::uint16_t, kRandMax + 1> table{};
    for (int n : {1, 2, 3, 7, 64, 1000, 9999, 10000}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<double> values(static_cast<std::size_t>(n));
            // Kind 3 mixes in shares too small to move the running sum.
            for (double& v : values) v = (kind == 3 && vanishing(gen)) ? 1e-300 : share(gen);
            const Wheel wheel(values);
            FillRouletteTable(wheel.prefix.data(), n, wheel.total, table.data());
            for (int r = 0; r <= kRandMax; r += (n > 1000 ? 7 : 1))
                ASSERT_EQ(table[static_cast<std::size_t>(r)], wheel.Linear(r)) << "population " << n << " table " << kind << " draw " << r;
        }
    }
}

// The scan from a bucket's start gives std::upper_bound's index (the wheel's end when no sum is
// above) for every draw, on shares drawn at random, on runs of sums that tiny shares leave flat, on
// one share that dwarfs the rest (a few buckets crowded with sums, the rest empty), and on rank weights.
TEST(RouletteSelect, TheBucketScanAgreesWithUpperBoundForEveryDraw) {
    std::mt19937_64 gen(77);
    std::uniform_real_distribution<double> share(1.0 / 401, 1.0);
    std::bernoulli_distribution often(0.3);
    const auto index = std::make_unique<RouletteIndex>();
    for (int n : {1, 2, 3, 7, 20, 100, 1000, kRouletteTableMinPopulation - 1}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<double> values(static_cast<std::size_t>(n));
            for (std::size_t i = 0; i < values.size(); ++i) {
                switch (kind) {
                case 0: values[i] = share(gen); break;
                case 1: values[i] = often(gen) ? 1e-17 : share(gen); break;
                case 2: values[i] = i == values.size() / 2 ? 1.0 : 1.0 / 401; break;
                default: values[i] = static_cast<double>(n) - static_cast<double>(i); break;
                }
            }
            const Wheel wheel(values);
            BuildRouletteIndex(wheel.prefix.data(), n, wheel.total, *index);
            for (int r = 0; r <= kRandMax; ++r) {
                const double draw = (r * kRandScale) * wheel.total;
                const auto above = std::upper_bound(wheel.prefix.begin(), wheel.prefix.end(), draw);
                const int expected = above == wheel.prefix.end() ? n - 1 : static_cast<int>(above - wheel.prefix.begin());
                ASSERT_EQ(RouletteSelectIndexed(*index, r), expected) << "population " << n << " kind " << kind << " draw " << r;
            }
        }
    }
}

// The threshold splits the draws exactly where the test r * kRandScale > p does, at the ends, at
// probabilities that are a draw's own value or just beside it, and for a NaN (every draw mutates).
TEST(Mutate, TheThresholdSplitsTheDrawsAsTheTestDoes) {
    std::vector<double> probabilities{0.0, 1.0, 0.1, 0.5, 0.001, -0.5, std::nan("")};
    for (int r : {1, 16384, 32766})
        for (double p : {r * kRandScale, std::nextafter(r * kRandScale, 0.0), std::nextafter(r * kRandScale, 2.0)})
            probabilities.push_back(p);
    for (double p : probabilities) {
        const int threshold = MutationThreshold(p);
        for (int r = 0; r <= kRandMax; ++r)
            ASSERT_EQ(r <= threshold, !(r * kRandScale > p)) << "probability " << p << " draw " << r;
    }
}

// ---------------------------------------------------------------- reproduction

struct StepCase {
    int population;
    double crossover;
    double mutation;
    std::uint32_t seed;
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << "population " << c.population << ", crossover " << c.crossover << ", mutation " << c.mutation;
}

class ReproduceMatchesThePlainAlgorithm : public ::testing::TestWithParam<StepCase> {};

TEST_P(ReproduceMatchesThePlainAlgorithm, StepByStep) {
    const StepCase& param = GetParam();
    const SolverParams params{param.population, 8, param.crossover, param.mutation};
    auto state = MakeState(240, 100);
    state->populationSize = params.populationSize;
    state->crossoverRate = params.crossoverRate;
    state->mutationProbability = params.mutationProbability;

    std::ostringstream discard;
    reference::Search plain({300, 220, 240, 100}, params, param.seed, discard);
    auto buffers = std::make_unique<RunBuffers>();
    Population& population = buffers->population;
    ReproductionScratch* scratch = &buffers->scratch;
    CrtRandom rng = Seeded(param.seed);
    InitPopulation(state->populationSize, population, rng);

    for (int step = 0; step < params.generationCount; ++step) {
        // Odd steps reuse the running sums the evaluation left behind, even steps sum afresh.
        GenerationView view;
        EvaluateGeneration(state->geometry, state->populationSize, *buffers, view);
        scratch->evaluated = step % 2 == 1;
        ReproduceWith(kClassic, state->populationSize, state->crossoverRate, buffers->fitness.data(), population,
                      *scratch, rng);
        plain.Reproduce();
        ASSERT_TRUE(std::equal(plain.population().begin(), plain.population().end(), population.begin()))
            << "reproduction " << step;
        ASSERT_EQ(rng.state, plain.rng().state) << "reproduction " << step;
        Mutate(state->populationSize, state->mutationProbability, population, rng);
        plain.Mutate();
        ASSERT_TRUE(std::equal(plain.population().begin(), plain.population().end(), population.begin()))
            << "mutation " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(EdgeParameters, ReproduceMatchesThePlainAlgorithm,
                         ::testing::Values(StepCase{20, 0.5, 0.1, 1}, StepCase{100, 0.58, 0.05, 7},
                                           StepCase{3, 0.3, 0.5, 11}, StepCase{21, 1.0, 1.0, 13},
                                           StepCase{1, 1.0, 0.2, 17}, StepCase{2, 1.0, 0.0, 19},
                                           StepCase{1000, 0.731, 0.01, 23},
                                           StepCase{kRouletteTableMinPopulation, 0.5, 0.1, 29}));

/// Whether c1, c2 are the children of some two different chromosomes of population at some cut.
bool AreCrossoverChildren(const Chromosome& c1, const Chromosome& c2, const Population& population, int n) {
    for (int e = 0; e < n; ++e) {
        for (int f = 0; f < n; ++f) {
            if (e == f) continue;
            for (int r = 0; r < 24; ++r) {
                Chromosome x1, x2;
                CrossoverAt(population[e], population[f], r, x1, x2);
                if (x1 == c1 && x2 == c2) return true;
            }
        }
    }
    return false;
}

struct SlotCase {
    int population;
    double crossover;
    int childSlots;
};

void PrintTo(const SlotCase& c, std::ostream* os) {
    *os << "population " << c.population << ", crossover " << c.crossover;
}

class ReproduceSlots : public ::testing::TestWithParam<SlotCase> {};

TEST_P(ReproduceSlots, ChildrenFirstThenRouletteCopies) {
    const SlotCase& param = GetParam();
    auto state = MakeState();
    state->populationSize = param.population;
    state->crossoverRate = param.crossover;
    Population population{};
    // Distinct chromosomes, so that a copy is recognisable.
    for (int i = 0; i < param.population; ++i) population[i] = C(i * 37 % 256, i * 11 % 256, i);
    const Population before = population;
    auto scratch = std::make_unique<ReproductionScratch>();
    CrtRandom rng = Seeded(4242);
    Reproduce(state->geometry, state->populationSize, state->crossoverRate, population, *scratch, rng);

    ASSERT_EQ(CrossoverPairCount(param.population, param.crossover) * 2, param.childSlots);
    for (int k = 0; 2 * k < param.childSlots; ++k) {
        EXPECT_TRUE(AreCrossoverChildren(population[2 * k], population[2 * k + 1], before, param.population))
            << "slots " << 2 * k << ", " << 2 * k + 1;
    }
    for (int i = param.childSlots; i < param.population; ++i) EXPECT_TRUE(IsMember(population[i], before, param.population)) << "slot " << i;
}

INSTANTIATE_TEST_SUITE_P(EdgeParameters, ReproduceSlots,
                         ::testing::Values(SlotCase{20, 0.5, 10}, SlotCase{100, 0.58, 56}, SlotCase{3, 0.3, 0},
                                           SlotCase{21, 1.0, 20}));

TEST(Reproduce, WithoutPairsEverySlotIsOneRouletteDraw) {
    auto state = MakeState();
    state->populationSize = 3;
    state->crossoverRate = 0.3;
    Population population{};
    population[0] = C(45, 30, 15);
    population[1] = C(0, 0, 0);
    population[2] = C(200, 100, 50);
    const Population before = population;
    auto scratch = std::make_unique<ReproductionScratch>();
    CrtRandom rng = Seeded(8);
    Reproduce(state->geometry, state->populationSize, state->crossoverRate, population, *scratch, rng);
    EXPECT_EQ(rng.state, Advanced(Seeded(8), 3).state);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsMember(population[i], before, 3));
}

TEST(Reproduce, APopulationOfOneIsCopiedWithOneDraw) {
    auto state = MakeState();
    state->populationSize = 1;
    state->crossoverRate = 1.0;
    Population population{};
    population[0] = C(7, 8, 9);
    population[1] = C(1, 1, 1);
    auto scratch = std::make_unique<ReproductionScratch>();
    for (int draw : {0, 16000, kRandMax}) {
        CrtRandom rng = RngDrawing(draw, [](int) { return true; });
        const CrtRandom after = Advanced(rng, 1);
        Reproduce(state->geometry, state->populationSize, state->crossoverRate, population, *scratch, rng);
        EXPECT_EQ(population[0], C(7, 8, 9));
        EXPECT_EQ(population[1], C(1, 1, 1));
        EXPECT_EQ(rng.state, after.state);
    }
}

TEST(CopyPopulation, CopiesOnlyTheCountedChromosomes) {
    Population from{}, to{};
    for (int i = 0; i < 5; ++i) from[i] = C(i, i + 1, i + 2);
    to[3] = C(99, 99, 99);
    CopyPopulation(from, to, 3);
    EXPECT_EQ(to[0], C(0, 1, 2));
    EXPECT_EQ(to[2], C(2, 3, 4));
    EXPECT_EQ(to[3], C(99, 99, 99));
}

}  // namespace
}  // namespace kelvora

namespace kelvora {
namespace {

// Whole runs seldom show the order of equal fitness values (equal values are mostly equal
// chromosomes), so the rank order is checked against a stable sort here: few distinct values (large
// groups of ties), many (every bucket of the sort used), one, and every elite count of the one-pass pick.
struct RankRow {
    int population;
    int distinct;  ///< how many distinct fitness values the population draws from
};

class RankOrder : public ::testing::TestWithParam<RankRow> {};

TEST_P(RankOrder, IsAStableSortFittestFirstAndTheElitesItsHead) {
    const auto [n, distinct] = GetParam();
    std::mt19937 random(static_cast<unsigned>(n * 31 + distinct));
    std::vector<double> values(static_cast<std::size_t>(distinct));
    for (double& v : values) v = 1.0 / (1.0 + static_cast<double>(random() % 4000000) / 10000.0);
    std::vector<double> fitness(static_cast<std::size_t>(n));
    for (double& f : fitness) f = values[random() % values.size()];
    std::vector<int> expected(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) expected[static_cast<std::size_t>(i)] = i;
    std::stable_sort(expected.begin(), expected.end(), [&fitness](int a, int b) { return fitness[a] > fitness[b]; });

    const auto scratch = std::make_unique<ReproductionScratch>();
    RankByFitness(fitness.data(), n, *scratch);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), scratch->order.begin()));
    for (int count = 1; count <= std::min(n - 1, kFittestFirstMaxCount); ++count) {
        FittestFirst(fitness.data(), n, count, *scratch);
        ASSERT_TRUE(std::equal(expected.begin(), expected.begin() + count, scratch->order.begin())) << count;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RankOrder,
                         ::testing::Values(RankRow{1, 1}, RankRow{2, 1}, RankRow{2, 2}, RankRow{70, 3},
                                           RankRow{10000, 1}, RankRow{10000, 5}, RankRow{10000, 300},
                                           RankRow{10000, 1000000}, RankRow{4097, 4097}));

}  // namespace
}  // namespace kelvora
