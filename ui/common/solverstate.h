#pragma once
// What the window shows of the search: the base and target, the last run's parameters, its history
// rows and both poses. The window's SolverModel is its one writer (the run and the replay go
// through it); painting only reads it.

#include <array>
#include <cstdint>

#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "model/arm.h"
#include "model/types.h"

namespace kelvora::ui {

struct SolverState {
    std::int32_t populationSize = 0;   ///< chromosomes in the last run's population, 1..kMaxPopulation
    std::int32_t generation = 0;       ///< generations of the last run shown (rows of history that hold them)
    std::array<GenerationStat, kMaxGenerations> history{};  ///< row g: generation g + 1's best and average
    double eliteFitness = 0.0;         ///< highest generation best of the run shown
    ArmPose elitePose{};               ///< pose that reached eliteFitness (earliest wins ties)
    ArmPose currentPose{};             ///< best pose of the latest shown generation
    double crossoverRate = 0.0;        ///< 0.001..1
    double mutationProbability = 0.0;  ///< per gene, 0..1
    std::int32_t baseX = 0;            ///< base pixel, x right
    std::int32_t baseY = 0;            ///< base pixel, y down
    std::int32_t targetX = 0;          ///< target pixel, x right
    std::int32_t targetY = 0;          ///< target pixel, y down

    /// The base and target as a run takes them.
    Geometry geometry() const { return {baseX, baseY, targetX, targetY}; }
    /// The target relative to the base, x right and y up, as the fields show it.
    PixelPoint relativeTarget() const { return RelativeTarget(geometry()); }
};

/// Distance in pixels from the tip of pose, on the state's base, to its target.
inline double TipDistance(const SolverState& state, const ArmPose& pose) {
    return kelvora::TipDistance(state.geometry(), pose);
}

}  // namespace kelvora::ui
