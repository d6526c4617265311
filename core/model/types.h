#pragma once
// Shared types and constants of the arm model and the search: poses, chromosomes, run parameters.

#include <array>
#include <cstdint>

namespace kelvora {

/// Capacity of a population, in chromosomes. Also the largest accepted population size.
inline constexpr int kMaxPopulation = 10000;
/// Smallest accepted population size.
inline constexpr int kMinPopulation = 1;

/// Capacity of the per-generation history, in rows. Also the largest accepted generation count.
inline constexpr int kMaxGenerations = 10000;
/// Smallest accepted generation count.
inline constexpr int kMinGenerations = 1;

/// Accepted crossover rates, inclusive: the share of the population paired for crossover.
inline constexpr double kMinCrossoverRate = 0.001;
inline constexpr double kMaxCrossoverRate = 1.0;

/// Accepted mutation probabilities per gene, inclusive.
inline constexpr double kMinMutationProbability = 0.0;
inline constexpr double kMaxMutationProbability = 1.0;

/// The epsilon (px) a sweep measures "within" at unless told otherwise, and the one assumed for a
/// file that does not record its own.
inline constexpr double kDefaultEpsilon = 0.5;
/// Largest accepted epsilon, px.
inline constexpr double kMaxEpsilon = 1000.0;

/// The arm's base in client pixels (x right, y down): the centre of the 400 x 400 plot.
inline constexpr int kBaseX = 300;
inline constexpr int kBaseY = 220;

/// Largest target offset from the base accepted on either axis, in pixels: the plot's inside.
inline constexpr int kMaxTargetOffset = 199;

/// Degrees to radians as the arm model has always converted them: 3.1415926 / 180, not pi / 180.
inline constexpr double kDegToRad = 0.017453292222222222;
static_assert(kDegToRad == 3.1415926 / 180.0);

/// Link lengths in pixels, from the base outward; the full reach is 200 px.
inline constexpr double kLink1 = 60.0;
inline constexpr double kLink2 = 100.0;
inline constexpr double kLink3 = 40.0;

/// Three joint angles in whole degrees, first joint (at the base) first. Each angle is relative to
/// the previous link; the first is measured from the +x axis, counter-clockwise on screen.
/// The solver only stores 0..255 here.
struct ArmPose {
    std::int32_t a1 = 0;
    std::int32_t a2 = 0;
    std::int32_t a3 = 0;
    friend bool operator==(const ArmPose&, const ArmPose&) = default;
};

/// One individual: three genes, the joint angles 0..255 degrees, gene 0 at the base.
/// For crossover the genes form the 24-bit string gene0 * 65536 + gene1 * 256 + gene2.
struct Chromosome {
    std::uint8_t gene[3] = {0, 0, 0};
    friend bool operator==(const Chromosome&, const Chromosome&) = default;
};
static_assert(sizeof(Chromosome) == 3, "chromosomes are packed 3 bytes each");

/// Chromosomes laid out contiguously, 3 bytes each; only the first populationSize are live.
using Population = std::array<Chromosome, kMaxPopulation>;

/// One history row: best and average fitness of a generation, both in (0, 1].
struct GenerationStat {
    double best = 0.0;
    double average = 0.0;
};

/// The input of one run. The caller validates it before starting a run (see ValidateParams).
struct SolverParams {
    std::int32_t populationSize = 20;       ///< 1..kMaxPopulation
    std::int32_t generationCount = 100;     ///< 1..kMaxGenerations
    double crossoverRate = 0.5;             ///< 0.001..1
    double mutationProbability = 0.1;       ///< per gene, 0..1
};

/// Both poses when the program opens, before any run: the tip lies at (368, 40).
inline constexpr ArmPose kOpeningPose{45, 30, 15};

/// The target when the program opens, relative to the base (x right, y up): the opening pose's tip.
inline constexpr int kOpeningTargetX = 68;
inline constexpr int kOpeningTargetY = 180;

/// A pose as three angles, for functions that accept either a pose or a chromosome's genes.
inline ArmPose PoseOf(const Chromosome& c) { return {c.gene[0], c.gene[1], c.gene[2]}; }

}  // namespace kelvora
