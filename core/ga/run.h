#pragma once
// The run: one whole search as a plain loop. It evolves the population generation by generation and
// hands each finished generation to its observers (the result-file writer, the window's snapshots,
// a sweep's statistics), which see it and change nothing of it. The loop itself writes no file and
// allocates nothing per generation.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "ga/algorithm.h"
#include "ga/crt_random.h"
#include "ga/genetic.h"
#include "model/arm.h"
#include "model/types.h"

namespace kelvora {

/// A mutation of the caller's own in place of the algorithm's, for the genetic algorithm. Each step,
/// after selection and crossover, it is handed the genotypes (gene bytes, before any Gray decoding)
/// of the slots the built-in mutation would mutate, every slot but the elites, and changes them in
/// place; the run then evaluates the whole population. Called on the run's thread. The run's
/// generator is handed over explicitly: what the operator draws from it, the run's next step does
/// not. Throwing ends the run and leaves it to the caller (the observers see no end).
class CustomMutation {
public:
    virtual ~CustomMutation() = default;
    /// step: 0-based, the step that makes generation step + 1; genotypes[0..count-1]: slots
    /// elites..populationSize-1 of the population, in slot order.
    virtual void mutate(int step, Chromosome* genotypes, int count, CrtRandom& rng) = 0;
};

/// A selection of the caller's own in place of the algorithm's, for the genetic algorithm. Each step,
/// after the elites have been taken as the algorithm takes them (its elitism, fittest first), it
/// chooses the parent of every other slot at once: parents[2k] and parents[2k + 1] are crossover
/// pair k's parents A and B (k < pairs), the rest the selected copies' parents, in slot order. A pair
/// may name one parent twice: its children are then that parent's copies (less any crossover of the
/// caller's own). Called on the run's thread, before the crossover; throwing ends the run as
/// CustomMutation's does.
class CustomSelection {
public:
    virtual ~CustomSelection() = default;
    /// step: 0-based; fitness[0..populationSize-1]: the population's, each in (0, 1];
    /// parents[0..count-1] to fill with indices 0..populationSize-1 (RunSolver throws
    /// std::out_of_range for any other); count = populationSize - elites; pairs: the crossover pairs.
    virtual void select(int step, const double* fitness, int populationSize, std::uint16_t* parents, int count,
                        int pairs, CrtRandom& rng) = 0;
};

/// A crossover of the caller's own in place of the algorithm's, for the genetic algorithm. Each step
/// with at least one crossover pair it is handed every pair's genotypes at once (gene bytes, before
/// any Gray decoding): pair k's parents A and B at genotypes[2k] and genotypes[2k + 1], which it
/// replaces in place by children 1 and 2, the slots elites + 2k and elites + 2k + 1. Called on the
/// run's thread, after the selection and before the mutation; throwing ends the run.
class CustomCrossover {
public:
    virtual ~CustomCrossover() = default;
    /// step: 0-based; genotypes[0..2 * pairs - 1]; pairs >= 1.
    virtual void cross(int step, Chromosome* genotypes, int pairs, CrtRandom& rng) = 0;
};

/// Everything a run depends on: the same setup gives the same run, byte for byte.
struct RunSetup {
    RunSetup() = default;
    RunSetup(const SolverParams& p, const Geometry& g, std::uint32_t s, const Algorithm& a = {})
        : params(p), geometry(g), seed(s), algorithm(a) {}

    SolverParams params;        ///< must be valid (ValidateParams)
    Geometry geometry;          ///< base and target, client pixels
    std::uint32_t seed = 0;     ///< generator seed, any 32-bit value
    Algorithm algorithm;        ///< the operator choices; must suit the population (ValidateAlgorithm)
    /// The caller's own mutation in place of algorithm's, or nullptr; the genetic algorithm only
    /// (RunSolver refuses it for any other method). Its run is the same as long as it is.
    CustomMutation* mutation = nullptr;
    /// The caller's own selection and crossover, or nullptr, under the same terms as mutation. A run
    /// without any of the three takes the algorithm's own operators and nothing else.
    CustomSelection* selection = nullptr;
    CustomCrossover* crossover = nullptr;
};

/// One finished generation, as the observers see it. Pointers stay valid only during the call.
struct GenerationView {
    int generation = 0;                 ///< counted from 1
    int populationSize = 0;             ///< 1..kMaxPopulation
    /// populationSize chromosomes as evaluated: their genes are the joint angles (decoded from the
    /// genotype under Gray encoding), as results.csv holds them.
    const Chromosome* population = nullptr;
    const double* fitness = nullptr;    ///< their fitness, same order, each in (0, 1]
    int bestIndex = 0;                  ///< first index of the highest fitness
    double best = 0.0;                  ///< fitness[bestIndex]
    double average = 0.0;               ///< sum of the fitness in index order / populationSize
    ArmPose currentPose{};              ///< the chromosome at bestIndex
    double error = 0.0;                 ///< px from currentPose's tip to the target
    double eliteFitness = 0.0;          ///< highest best so far, this generation's included
    ArmPose elitePose{};                ///< the pose that reached it first
};

/// What became of a run.
struct RunOutcome {
    std::uint32_t seed = 0;       ///< the seed it ran with
    int generationsRun = 0;       ///< generations finished and handed to the observers
    bool stopped = false;         ///< ended early on request
    double eliteFitness = 0.0;    ///< highest generation best of the run
    ArmPose elitePose{};          ///< the pose that reached it first
    ArmPose currentPose{};        ///< best pose of the last generation
};

/// Watches a run. Called on the run's thread, in the order the observers were given.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    /// After each generation has been evaluated.
    virtual void onGeneration(const GenerationView& view) = 0;
    /// Once, after the last generation (or the stop).
    virtual void onEnd(const RunOutcome&) {}
};

/// Records how each generation's population came to be (the run's trace). Called on the run's
/// thread; the pointers stay valid only during the call. A run without one records nothing.
class StepRecorder {
public:
    virtual ~StepRecorder() = default;
    /// Once, before the first step: the initial population's populationSize genotypes (the gene
    /// bytes, before any Gray decoding), in index order.
    virtual void onInitial(const Chromosome* genotypes, int populationSize) = 0;
    /// After step (0-based: the step that made the run's generation step + 1): each slot's origin,
    /// its genotype after selection and crossover (before) and after mutation (after), slot 0 first.
    /// For random search every origin is SlotKind::random and before equals after.
    virtual void onStep(int step, const SlotOrigin* origins, const Chromosome* before, const Chromosome* after,
                        int populationSize) = 0;
};

/// Called after each finished generation with its number, counted from 1, and the distance in
/// pixels from that generation's best tip to the target.
using GenerationProgress = std::function<void(int generation, double error)>;

/// An observer that hands each generation's number and error to a GenerationProgress.
class ProgressObserver final : public RunObserver {
public:
    explicit ProgressObserver(GenerationProgress progress) : progress_(std::move(progress)) {}
    void onGeneration(const GenerationView& view) override {
        if (progress_) progress_(view.generation, view.error);
    }

private:
    GenerationProgress progress_;
};

/// Working storage of one run, sized for the largest run (about 300 KB): the population, its
/// fitness and the reproduction scratch. A caller that runs many searches lends one to each run in
/// turn; two runs at once need two.
struct RunBuffers {
    Population population{};                      ///< the genotypes
    Population angles{};                          ///< their decoding under Gray encoding
    std::array<double, kMaxPopulation> fitness{};
    ReproductionScratch scratch{};
};

/// Checks params against the accepted ranges. Returns nullptr when all are valid, otherwise a
/// message naming the first bad field, its value and the accepted range.
const char* ValidateParams(const SolverParams& params, char* message, int messageSize);

/// Evaluates chromosomes 0..populationSize-1 of buffers.population for geometry: their angles
/// (under Gray encoding decoded into buffers.angles; otherwise the genes themselves), their fitness
/// into buffers.fitness, the running sums in index order into buffers.scratch.prefix (marked
/// evaluated, so that the next reproduction reuses them), and view's population, fitness,
/// bestIndex, best, average and currentPose. The generation, error and elite are the run's to fill.
void EvaluateGeneration(const Geometry& geometry, int populationSize, RunBuffers& buffers, GenerationView& view,
                        Encoding encoding = Encoding::binary);

/// The seed a run takes when none is given: the clock in whole seconds, time(nullptr).
std::uint32_t ClockSeed();

/// Runs one whole search: setup's parameters must pass ValidateParams and its algorithm
/// ValidateAlgorithm, else std::invalid_argument is thrown with the message, before anything runs.
/// Seeds the generator, fills a random population and evolves
/// setup.params.generationCount generations, handing each to every observer, then calls each
/// observer's onEnd. stop, when given, is read (acquire order) after the observers have seen a
/// generation: when raised, the run ends there. Runs on the calling thread; safe to run on several
/// threads at once with different buffers. recorder, when given, is told each step's slots (its
/// storage, about 160 KB, is allocated once); the run is the same with it or without.
RunOutcome RunSolver(const RunSetup& setup, std::span<RunObserver* const> observers, RunBuffers& buffers,
                     const std::atomic<bool>* stop = nullptr, StepRecorder* recorder = nullptr);

/// The same, with buffers of its own (allocated once).
RunOutcome RunSolver(const RunSetup& setup, std::span<RunObserver* const> observers,
                     const std::atomic<bool>* stop = nullptr, StepRecorder* recorder = nullptr);

}  // namespace kelvora
