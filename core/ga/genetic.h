#pragma once
// Genetic operators on a population of 3-byte chromosomes. Each takes the generator explicitly and
// draws from it in a fixed order, so a run is determined by its seed, parameters and target.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "ga/algorithm.h"
#include "ga/crt_random.h"
#include "model/arm.h"
#include "model/types.h"

namespace kelvora {

/// Smallest population whose reproduction reads its selections from a table of all 32768 draws:
/// one pass over the draws and the prefix sums is then cheaper than a search per selection.
inline constexpr int kRouletteTableMinPopulation = 2048;

/// Sums RouletteSelectIndexed compares with the draw at once, and the largest number of buckets.
inline constexpr int kRouletteScanWidth = 4;
inline constexpr int kRouletteMaxBuckets = 4096;

/// The roulette of a population below kRouletteTableMinPopulation laid out for a short scan per
/// selection (BuildRouletteIndex): the draws 0..kRandMax fall into buckets of 2^shift draws, and
/// each bucket knows how many prefix sums lie at or below the draw of its first value, less a few.
struct RouletteIndex {
    /// prefix[0..n-2], then +infinity from index n - 1 on (kRouletteScanWidth of them), so that a
    /// scan stops there: the wheel's last index is taken when no earlier sum exceeds the draw.
    std::array<double, kRouletteTableMinPopulation + kRouletteScanWidth> sums{};
    /// start[r >> shift]: a count of leading sums, each at most the draw of every r in that bucket.
    std::array<std::uint16_t, kRouletteMaxBuckets + 1> start{};
    std::array<std::uint32_t, kRouletteMaxBuckets + 1> mark{};  ///< BuildRouletteIndex's own: the last sum entering each bucket
    int shift = 0;       ///< log2 of the draws per bucket, 5..14
    double total = 0.0;  ///< the fitness total the draws scale
};

/// Lays out prefix[0..populationSize-1] (1..kRouletteTableMinPopulation - 1 running sums,
/// non-decreasing, of positive values, total their last) for RouletteSelectIndexed, in O(n): as
/// many buckets as half the population rounded up to a power of two (at least 2), about two sums
/// each: fewer to lay out, and a scan of kRouletteScanWidth still covers one as a rule.
void BuildRouletteIndex(const double* prefix, int populationSize, double total, RouletteIndex& index);

/// The roulette wheel's index for the draw r (0..kRandMax; see FillRouletteTable): the number of
/// prefix sums at or below (r * kRandScale) * total among the first populationSize - 1, found by
/// scanning from the draw's
/// bucket start. The same comparison on the same sums, so the same index for every draw.
inline int RouletteSelectIndexed(const RouletteIndex& index, int r) {
    const double draw = (r * kRandScale) * index.total;
    int i = index.start[static_cast<std::size_t>(r >> index.shift)];
    // The sums are non-decreasing, so those at or below the draw lead the scan's window; a full
    // window (a crowded bucket) goes on to the next. The infinities end every scan.
    for (;;) {
        int below = 0;
        for (int j = 0; j < kRouletteScanWidth; ++j) below += index.sums[static_cast<std::size_t>(i + j)] <= draw;
        i += below;
        if (below < kRouletteScanWidth) return i;
    }
}

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
    /// For a smaller population, its roulette laid out for RouletteSelectIndexed.
    RouletteIndex roulette{};
    /// What ReproduceWith leaves for the evaluation after mutation: slots 0..elites-1 hold elites and
    /// slots copiesFrom..N-1 selected copies, unchanged genotypes whose fitness (their parent's, from
    /// the fitness ReproduceWith was given) is inherited[slot]; the slots between are children.
    std::array<double, kMaxPopulation> inherited{};
    int copiesFrom = 0;
};

/// Number of crossover pairs of a step: trunc(populationSize * crossoverRate) / 2, the product in
/// double precision (100 * 0.58 is 57.99999999999999, so 28 pairs).
int CrossoverPairCount(int populationSize, double crossoverRate);

/// Fills chromosomes 0..populationSize-1 (1..kMaxPopulation) with genes Rand() mod 256, gene 0 first.
void InitPopulation(int populationSize, Population& population, CrtRandom& rng);

/// Roulette-wheel selection over prefix sums of populationSize fitness values (accumulated in index
/// order, so prefix[populationSize-1] == total): the draw r (0..kRandMax) picks the first index whose
/// prefix sum exceeds (r * kRandScale) * total, or populationSize - 1 when none does (r = kRandMax
/// makes the draw equal the total), the end of the wheel. wheel[r] = that index for every r, found by
/// one merge of the draws (non-decreasing in r) with the prefix sums (non-decreasing in index).
/// populationSize <= 65536.
void FillRouletteTable(const double* prefix, int populationSize, double total, std::uint16_t* wheel);

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
inline std::uint32_t DrawCrossoverMask(CrossoverOperator crossover, CrtRandom& rng) {
    switch (crossover) {
    case CrossoverOperator::twoPoint: {
        const int r1 = Rand(rng) % 24;
        const int r2 = Rand(rng) % 24;
        const int low = std::min(r1, r2), high = std::max(r1, r2);
        return ((2u << high) - 1u) & ~((1u << low) - 1u);
    }
    case CrossoverOperator::uniform: {
        const auto h = static_cast<std::uint32_t>(Rand(rng));
        const auto l = static_cast<std::uint32_t>(Rand(rng));
        return ((h << 15) | l) & 0xFFFFFFu;
    }
    default: return (2u << (Rand(rng) % 24)) - 1u;  // the r + 1 lowest bits
    }
}

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

/// ReproduceWith's selection without its crossover: the E fittest in rank order into
/// scratch.order[0..E-1] and, when parents is given, the parent of every other slot into
/// parents[0..populationSize-E-1] by algorithm's selection: pair k's two distinct parents A and B
/// at 2k and 2k + 1 (k below CrossoverPairCount(populationSize - E, crossoverRate)), then each
/// copy's, in slot order. The same draws as ReproduceWith's but for the crossover masks, which are
/// left to the caller; the population is not changed.
void SelectParents(const Algorithm& algorithm, int populationSize, double crossoverRate, const double* fitness,
                   ReproductionScratch& scratch, CrtRandom& rng, std::uint16_t* parents);

/// The largest draw r (0..kRandMax) that is not above the probability, !(r * kRandScale >
/// mutationProbability), or -1 when none is (a negative probability; a NaN one lets every draw
/// through): r * kRandScale rises with r, so a gene mutates exactly when its test draw is at most this.
int MutationThreshold(double mutationProbability);

/// Mutates one chromosome's genes in order as MutateWith does, a gene mutating when its test draw
/// is at most threshold (MutationThreshold of the probability). Returns whether any gene mutated.
inline bool MutateGenes(const Algorithm& algorithm, int threshold, Chromosome& c, CrtRandom& rng) {
    bool mutated = false;
    for (std::uint8_t& g : c.gene) {
        if (Rand(rng) > threshold) continue;
        mutated = true;
        if (algorithm.mutation == MutationOperator::bitFlip) {
            g = static_cast<std::uint8_t>(g ^ (1u << (Rand(rng) % 8)));
        } else {
            const bool gray = algorithm.encoding == Encoding::gray;
            const int step = algorithm.creepStep;
            const int d = Rand(rng) % (2 * step + 1) - step;
            const int angle = std::clamp((gray ? GrayDecode(g) : g) + d, 0, 255);
            g = static_cast<std::uint8_t>(gray ? GrayEncode(angle) : angle);
        }
    }
    return mutated;
}

/// Mutation of chromosomes E..populationSize-1 under algorithm's mutation operator and encoding:
/// each gene, in order, mutates when Rand() * kRandScale <= mutationProbability (0..1).
void MutateWith(const Algorithm& algorithm, int populationSize, double mutationProbability, Population& population,
                CrtRandom& rng);

}  // namespace kelvora
