#pragma once
// One generation of a run taken apart: the run is made again from its setup with a recorder, and
// the step that made the chosen generation is kept whole (the parent population with its fitness,
// the selection's weights, every slot's origin and genotypes, the children's fitness), together
// with the last few steps' links for the slots' ancestry and, for every generation, how many of the
// initial individuals the population still descends from.

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "ga/run.h"

namespace kelvora {

/// How many steps back a GenerationStep keeps the links of, for ancestry.
inline constexpr int kLineageDepth = 5;

/// One slot of the new population.
struct StepSlot {
    SlotKind kind = SlotKind::copy;
    std::array<int, 2> parents{};  ///< indices 0..N-1 into the parent population; [1] only for children
    std::uint32_t mask = 0;        ///< children: the crossover mask, 24 bits (child 1 takes B's bits there)
    std::uint32_t redraws = 0;     ///< first child of a pair: times its parents were drawn again
    std::uint32_t before = 0;      ///< 24-bit genotype after selection and crossover
    std::uint32_t after = 0;       ///< 24-bit genotype after mutation (the new individual)
    double fitness = 0.0;          ///< fitness of after, (0, 1]
};

/// One generation's population and, unless it is the oldest kept, how the step that made it drew
/// each slot's parents from the generation before.
struct StepLinks {
    std::vector<std::uint32_t> genotypes;     ///< per slot, 24 bits
    std::vector<double> fitness;              ///< per slot, (0, 1]
    std::vector<SlotKind> kinds;              ///< per slot; empty for the oldest kept generation
    std::vector<std::array<int, 2>> parents;  ///< per slot; [1] = [0] unless a child; empty as kinds
};

/// The step that made generation `generation` (counted from 1, as results.csv counts): its parents
/// are generation - 1's population (the initial one for generation 1).
struct GenerationStep {
    int generation = 0;                       ///< 1..the run's generation count
    Algorithm algorithm;                      ///< the run's operator choices
    Geometry geometry;                        ///< the run's base and target, client pixels
    std::vector<std::uint32_t> parents;       ///< the parent population's 24-bit genotypes, index order
    std::vector<double> parentFitness;        ///< their fitness, (0, 1]
    /// Each parent's weight on the selection wheel: its fitness (roulette), its rank weight N..1,
    /// fittest first (rank); empty for tournament (the contestants are not recorded: only the
    /// winner of each draw is) and random search.
    std::vector<double> weights;
    double weightTotal = 0.0;                 ///< sum of weights, index order
    std::vector<StepSlot> next;               ///< the new population, slot 0 first
    /// links[k] is generation - k, for k = 0..min(kLineageDepth, generation); the last has no links.
    std::vector<StepLinks> links;
    /// ancestors[t] for t = 0..generation: the number of distinct initial individuals that some
    /// individual of generation t descends from, through either parent (ancestors[0] = N).
    std::vector<int> ancestors;
};

/// Fitness of a 24-bit genotype for geometry, decoding it first under Gray encoding.
double GenotypeFitness(const Geometry& geometry, std::uint32_t genotype, Encoding encoding);

/// Makes setup's run again up to generation (1..setup.params.generationCount) with a recorder and
/// returns that generation's step. Costs one run of `generation` generations plus, for the
/// ancestor counts, N * A / 64 word operations per generation, A the initial individuals that
/// still have descendants (the others' bits are dropped). stop, when raised, ends the run early;
/// the result is then empty (generation 0). Throws std::invalid_argument for a setup RunSolver
/// refuses or a generation out of range. Safe on any thread.
GenerationStep TraceGenerationStep(const RunSetup& setup, int generation, const std::atomic<bool>* stop = nullptr);

/// One individual in an ancestry.
struct AncestorNode {
    int generation = 0;       ///< 0 (initial) .. the step's generation
    int index = 0;            ///< slot in that generation's population
    std::uint32_t genotype = 0;
    double fitness = 0.0;
    std::vector<int> parents; ///< indices into the next level (one generation older), none at the end
};

/// The ancestry of slot (0..N-1) of step's generation: level 0 the slot itself, level k its
/// distinct ancestors k generations back (in the order first reached), at most depth levels beyond
/// the slot and never beyond the initial population or step.links. Random search has no parents.
std::vector<std::vector<AncestorNode>> AncestryOf(const GenerationStep& step, int slot, int depth = kLineageDepth);

}  // namespace kelvora
