#pragma once
// Genetic operators on a population of 3-byte chromosomes. Each takes the generator explicitly and
// draws from it in a fixed order, so a run is determined by its seed, parameters and target.

#include <array>
#include <cstdint>

#include "ga/algorithm.h"
#include "ga/crt_random.h"
#include "model/arm.h"
#include "model/types.h"

namespace kelvora {

/// Working storage of one reproduction step, kept by the run so nothing is allocated per generation.
struct ReproductionScratch {
    Population next{};                             ///< the generation being built
    std::array<double, kMaxPopulation> prefix{};   ///< prefix[i] = fitness[0] + ... + fitness[i], in index order
    /// prefix already holds the running sums of the fitness of the population about to reproduce
    /// (the run's evaluation fills it), so roulette selection reuses them.
    bool evaluated = false;
    /// For a large population, the index every one of the 32768 draws selects (FillRouletteTable).
    std::array<std::uint16_t, kRandMax + 1> wheel{};
    /// Rank order and its sort's keys, for rank selection and elitism (RankByFitness, FittestFirst).
    std::array<std::uint16_t, kMaxPopulation> order{}, orderSpare{};
    std::array<std::uint64_t, kMaxPopulation> keys{};
};

/// Smallest population whose reproduction reads its selections from a table of all 32768 draws:
/// one pass over the draws and the prefix sums is then cheaper than a binary search per selection.
inline constexpr int kRouletteTableMinPopulation = 2048;

/// Number of crossover pairs of a step: trunc(populationSize * crossoverRate) / 2, the product in
/// double precision (100 * 0.58 is 57.99999999999999, so 28 pairs).
int CrossoverPairCount(int populationSize, double crossoverRate);

/// Fills chromosomes 0..populationSize-1 (1..kMaxPopulation) with genes Rand() mod 256, gene 0 first.
void InitPopulation(int populationSize, Population& population, CrtRandom& rng);

/// Roulette-wheel selection over prefix sums of populationSize fitness values (prefix sums must be
/// accumulated in index order, so prefix[populationSize-1] == total). Draws r = Rand() and returns
/// the first index whose prefix sum exceeds (r * kRandScale) * total; when none does (r = 32767
/// makes the draw equal the total) it returns populationSize - 1, the end of the wheel.
int RouletteSelect(const double* prefix, int populationSize, double total, CrtRandom& rng);

/// wheel[r] = the index RouletteSelect picks for the draw r, for every r in 0..kRandMax, found by
/// one merge of the draws (non-decreasing in r) with the prefix sums (non-decreasing in index).
/// populationSize <= 65536.
void FillRouletteTable(const double* prefix, int populationSize, double total, std::uint16_t* wheel);

/// The same selection by a linear scan of the fitness values, summing as it goes. O(n); kept as
/// the reference the binary search must agree with.
int RouletteSelectLinear(const double* fitness, int populationSize, double total, CrtRandom& rng);

/// Copies chromosomes 0..count-1 of from over to.
void CopyPopulation(const Population& from, Population& to, int count);

// ---------------------------------------------------------------- the operator choices

/// The population's indices 0..populationSize-1 by fitness (each in (0, 1]), highest first, a tie
/// to the lower index, into scratch.order (scratch.order[p] is the index at rank p). Sorts the
/// fitness values' bits: one bucket pass over their range, then each bucket on its own.
void RankByFitness(const double* fitness, int populationSize, ReproductionScratch& scratch);

/// Largest elite count that FittestFirst picks; more elites take the whole rank order.
inline constexpr int kFittestFirstMaxCount = 64;

/// The first count (1..kFittestFirstMaxCount, at most populationSize) of RankByFitness's order, into
/// scratch.order[0..count-1], by one pass that keeps the fittest so far.
void FittestFirst(const double* fitness, int populationSize, int count, ReproductionScratch& scratch);

/// The exchange mask of one crossover, drawn as the operator draws it (see CrossoverOperator).
std::uint32_t DrawCrossoverMask(CrossoverOperator crossover, CrtRandom& rng);

/// child1 = (A & ~mask) | (B & mask), child2 = (B & ~mask) | (A & mask) on the 24-bit strings.
void CrossoverMasked(const Chromosome& a, const Chromosome& b, std::uint32_t mask, Chromosome& child1,
                     Chromosome& child2);

/// How one slot of the next population came to be.
enum class SlotKind : std::uint8_t {
    elite,   ///< copied unchanged by elitism from parents[0]
    child,   ///< a child of the crossover pair parents[0] (A) and parents[1] (B), with mask
    copy,    ///< a selected copy of parents[0]
    random,  ///< a fresh draw of random search; no parents
};

/// A slot's origin as the reproduction step records it for the run's trace.
struct SlotOrigin {
    SlotKind kind = SlotKind::copy;
    std::array<std::uint16_t, 2> parents{};  ///< indices 0..N - 1 into the population the step started from
    std::uint32_t mask = 0;                  ///< children: the crossover mask, 24 bits (child 1 takes B's bits there)
    std::uint32_t redraws = 0;               ///< first child of a pair: draws of the same parent twice, each drawn again
};

/// Replaces chromosomes 0..populationSize-1 by the next generation under algorithm's selection,
/// elitism and crossover: the E fittest in rank order into slots 0..E-1, then
/// CrossoverPairCount(populationSize - E, crossoverRate) pairs of distinct selected parents into
/// slots E + 2k, E + 2k + 1, then selected copies into the rest. fitness holds the population's
/// fitness, index for index; scratch.prefix its running sums when scratch.evaluated (the run's
/// evaluation leaves both). origins, when given, receives each slot's origin, slot 0 first (the
/// same draws and the same population; without it the step records nothing and costs nothing more).
void ReproduceWith(const Algorithm& algorithm, int populationSize, double crossoverRate, const double* fitness,
                   Population& population, ReproductionScratch& scratch, CrtRandom& rng,
                   SlotOrigin* origins = nullptr);

/// Mutation of chromosomes E..populationSize-1 under algorithm's mutation operator and encoding:
/// each gene, in order, mutates when Rand() * kRandScale <= mutationProbability (0..1).
void MutateWith(const Algorithm& algorithm, int populationSize, double mutationProbability, Population& population,
                CrtRandom& rng);

}  // namespace kelvora
