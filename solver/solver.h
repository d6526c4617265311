#pragma once
// The arm solver: the one run-state record shared with the front end, the arm model, the genetic
// operators and the run driver. No user-interface dependency.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "arm.h"
#include "crt_random.h"
#include "genetic.h"
#include "optimum.h"
#include "result_files.h"
#include "solver_types.h"

namespace kelvora {

/// The run state shared by the solver and the front end. One lives for the whole process; it is
/// never reset as a whole: each run overwrites the parameters, the elite fitness, the history rows
/// it reaches and both poses. The front end sets the base and the target; the solver never does.
struct SolverState {
    std::int32_t populationSize = 0;   ///< chromosomes in the population, 1..kMaxPopulation
    std::int32_t generation = 0;       ///< 0-based generation being worked on; after a run, rows written
    std::array<GenerationStat, kMaxGenerations> history{};  ///< row g: generation g's best and average
    double eliteFitness = 0.0;         ///< highest generation best of the current run
    ArmPose elitePose{};               ///< pose that reached eliteFitness (earliest wins ties)
    ArmPose currentPose{};             ///< best pose of the latest evaluated generation
    double crossoverRate = 0.0;        ///< 0.001..1
    double mutationProbability = 0.0;  ///< per gene, 0..1
    std::int32_t baseX = 0;            ///< base pixel, x right
    std::int32_t baseY = 0;            ///< base pixel, y down
    LogFile fitnessLog{"fitness.csv"};
    LogFile resultsLog{"results.csv"};
    std::int32_t targetX = 0;          ///< target pixel, x right
    std::int32_t targetY = 0;          ///< target pixel, y down
};

/// Called after each finished generation with its number, counted from 1, and the distance in
/// pixels from that generation's best tip to the target.
using GenerationProgress = std::function<void(int generation, double error)>;

/// Working storage of one run, sized for the largest run (about 200 KB): the population and the
/// reproduction scratch. A caller that runs many searches may lend one to each run in turn; two runs
/// at once need two.
struct RunBuffers {
    Population population{};
    ReproductionScratch scratch{};
};

/// What a caller may add to a run beyond its parameters.
struct RunOptions {
    /// Generator seed; without one the run seeds from the clock, time(nullptr), as the dialog does.
    std::optional<std::uint32_t> seed;
    /// Directory for the two result files; nullptr or "" is the current directory.
    const char* outputDirectory = nullptr;
    /// Checked after every progress call: when true the run ends after that generation, with
    /// results.csv closed and fitness.csv holding the finished generations' rows. Another thread
    /// may set it at any time (it is read with acquire order).
    const std::atomic<bool>* stopRequested = nullptr;
    /// Line writer for both files (nullptr: write(2)); benchmarks pass one that discards.
    LineWriter writer = nullptr;
    /// Storage for the run (nullptr: the run allocates its own, once).
    RunBuffers* buffers = nullptr;
    /// line: every line reaches its file as soon as it is complete (the window's choice, a file can be
    /// followed live); generation: a generation's lines reach results.csv in one write at its end, and
    /// fitness.csv in one write at the run's end. The bytes are the same either way.
    FlushMode flush = FlushMode::line;
    /// false: neither result file is opened, formatted or written (batch runs that keep only the
    /// numbers); the run and its state are otherwise exactly the same.
    bool writeFiles = true;
};

/// What became of a run.
struct RunReport {
    std::uint32_t seed = 0;        ///< the value the generator was seeded with
    int generationsRun = 0;        ///< generations finished and logged
    bool stopped = false;          ///< ended early on request
    bool refused = false;          ///< another run is writing a result file (its failure says which,
                                   ///< FileProblem::inUse): nothing ran, no file and no state changed
    ResultFileFailure results;     ///< results.csv lost lines (could not be opened or written)
    ResultFileFailure fitness;     ///< fitness.csv lost lines
    bool filesComplete() const { return !results && !fitness; }
};

/// Checks params against the accepted ranges. Returns nullptr when all are valid, otherwise a
/// message naming the first bad field, its value and the accepted range.
const char* ValidateParams(const SolverParams& params, char* message, int messageSize);

/// Runs one whole search for the target in state: opens both result files (refused, returning at
/// once with report.refused, when another run is writing either), seeds the generator,
/// evolves params.generationCount generations reporting each to progress (which may be empty),
/// closes results.csv and writes fitness.csv. params must be valid (ValidateParams); the base and
/// target must be set. Runs on the calling thread and returns when done.
RunReport RunSolver(SolverState& state, const SolverParams& params, const GenerationProgress& progress,
                    const RunOptions& options = {});

/// Evaluates and logs the generation state.generation of population: one results.csv line per
/// chromosome (genes, fitness), a summary line, the history row, currentPose and the elite.
/// Leaves each chromosome's fitness as prefix sums in scratch, so that the next reproduction
/// can reuse them.
void EvaluateGeneration(SolverState& state, const Population& population, ReproductionScratch& scratch);

}  // namespace kelvora
