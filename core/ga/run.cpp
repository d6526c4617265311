#include "ga/run.h"

#include "ga/baseline.h"
#include "model/link_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <string>

namespace kelvora {

const char* ValidateParams(const SolverParams& params, char* message, int messageSize) {
    const auto size = static_cast<std::size_t>(messageSize);
    // !(a <= x && x <= b) also rejects NaN.
    if (params.populationSize < kMinPopulation || params.populationSize > kMaxPopulation) {
        std::snprintf(message, size, "population size %d is outside %d..%d", params.populationSize, kMinPopulation,
                      kMaxPopulation);
        return message;
    }
    if (params.generationCount < kMinGenerations || params.generationCount > kMaxGenerations) {
        std::snprintf(message, size, "generation count %d is outside %d..%d", params.generationCount, kMinGenerations,
                      kMaxGenerations);
        return message;
    }
    if (!(params.mutationProbability >= kMinMutationProbability &&
          params.mutationProbability <= kMaxMutationProbability)) {
        std::snprintf(message, size, "mutation probability %.17g is outside %g..%g", params.mutationProbability,
                      kMinMutationProbability, kMaxMutationProbability);
        return message;
    }
    if (!(params.crossoverRate >= kMinCrossoverRate && params.crossoverRate <= kMaxCrossoverRate)) {
        std::snprintf(message, size, "crossover rate %.17g is outside %g..%g", params.crossoverRate, kMinCrossoverRate,
                      kMaxCrossoverRate);
        return message;
    }
    return nullptr;
}

std::uint32_t ClockSeed() { return static_cast<std::uint32_t>(std::time(nullptr)); }

namespace {

// The fitness of genes a (the angles), as Fitness computes it, from the tables at hand.
inline double FitnessOf(const LinkTables& tables, const Geometry& geometry, const Chromosome& a) {
    const TipPoint tip = Tip(tables, a.gene[0], a.gene[1], a.gene[2], geometry.baseX, geometry.baseY);
    return FitnessOfDistance(TargetDistance(geometry.targetX, geometry.targetY, tip));
}

// The running sums, the best and the view of a generation whose fitness[0..n-1] is known.
struct Evaluation {
    double total = 0.0;
    double best = 0.0;
    int bestIndex = 0;
    void add(int i, double f, double* fitness, double* prefix) {
        fitness[i] = f;
        if (f > best) {
            best = f;
            bestIndex = i;
        }
        total += f;
        prefix[i] = total;
    }
    void finish(int n, const Population& angles, RunBuffers& buffers, GenerationView& view) const {
        buffers.scratch.evaluated = true;
        view.populationSize = n;
        view.population = angles.data();
        view.fitness = buffers.fitness.data();
        view.bestIndex = bestIndex;
        view.best = best;
        view.average = total / n;
        view.currentPose = PoseOf(angles[static_cast<std::size_t>(bestIndex)]);
    }
};

inline void DecodeGray(const Chromosome& genes, Chromosome& angles) {
    for (int k = 0; k < 3; ++k) angles.gene[k] = static_cast<std::uint8_t>(GrayDecode(genes.gene[k]));
}

// MutateWith's mutation of chromosomes E..n-1 and then EvaluateGeneration's evaluation, one
// chromosome at a time with the same draws and sums: the processor works out one chromosome's
// fitness while the generator goes on to the next one's genes.
// threshold is MutationThreshold of the run's probability.
void MutateAndEvaluate(const Geometry& geometry, const Algorithm& algorithm, int n, int threshold, RunBuffers& buffers,
                       GenerationView& view, CrtRandom& rng) {
    const LinkTables& tables = Tables();
    const bool gray = algorithm.encoding == Encoding::gray;
    Population& population = buffers.population;
    const Population& angles = gray ? buffers.angles : buffers.population;
    double* fitness = buffers.fitness.data();
    double* prefix = buffers.scratch.prefix.data();
    const int elites = std::min(algorithm.elitism, n);
    const double* inherited = buffers.scratch.inherited.data();
    const int copiesFrom = buffers.scratch.copiesFrom;
    CrtRandom g = rng;
    Evaluation e;
    // Elites and selected copies that no gene of mutated keep their parent's fitness: the same
    // genotype, so the same value. The slots' kinds lie in ranges, so each range has its own loop.
    for (int i = 0; i < elites; ++i) {
        if (gray) DecodeGray(population[static_cast<std::size_t>(i)], buffers.angles[static_cast<std::size_t>(i)]);
        e.add(i, inherited[i], fitness, prefix);
    }
    for (int i = elites; i < copiesFrom; ++i) {
        Chromosome& c = population[static_cast<std::size_t>(i)];
        MutateGenes(algorithm, threshold, c, g);
        if (gray) DecodeGray(c, buffers.angles[static_cast<std::size_t>(i)]);
        e.add(i, FitnessOf(tables, geometry, angles[static_cast<std::size_t>(i)]), fitness, prefix);
    }
    for (int i = copiesFrom; i < n; ++i) {
        Chromosome& c = population[static_cast<std::size_t>(i)];
        const bool mutated = MutateGenes(algorithm, threshold, c, g);
        if (gray) DecodeGray(c, buffers.angles[static_cast<std::size_t>(i)]);
        e.add(i, mutated ? FitnessOf(tables, geometry, angles[static_cast<std::size_t>(i)]) : inherited[i], fitness,
              prefix);
    }
    rng = g;
    e.finish(n, angles, buffers, view);
}

}  // namespace

void EvaluateGeneration(const Geometry& geometry, int populationSize, RunBuffers& buffers, GenerationView& view,
                        Encoding encoding) {
    const int n = populationSize;
    const Population* angles = &buffers.population;
    if (encoding == Encoding::gray) {
        for (int i = 0; i < n; ++i)
            DecodeGray(buffers.population[static_cast<std::size_t>(i)], buffers.angles[static_cast<std::size_t>(i)]);
        angles = &buffers.angles;
    }
    const LinkTables& tables = Tables();
    Evaluation e;
    double* fitness = buffers.fitness.data();
    double* prefix = buffers.scratch.prefix.data();
    for (int i = 0; i < n; ++i) e.add(i, FitnessOf(tables, geometry, (*angles)[static_cast<std::size_t>(i)]), fitness, prefix);
    e.finish(n, *angles, buffers, view);
}

namespace {

// What a recorded run keeps of each step besides the population: the slots' origins and the
// genotypes before mutation.
struct StepRecord {
    std::array<SlotOrigin, kMaxPopulation> origins{};
    Population before{};
};

// What a step with the caller's own selection or crossover keeps: each slot's parent.
struct CustomStepScratch {
    std::array<std::uint16_t, kMaxPopulation> parents{};
};

inline std::uint32_t Genotype24(const Chromosome& c) {
    return (static_cast<std::uint32_t>(c.gene[0]) << 16) | (static_cast<std::uint32_t>(c.gene[1]) << 8) | c.gene[2];
}

// ReproduceWith's step with setup's own selection or crossover in place of the algorithm's: the
// elites as the algorithm takes them, every other slot's parent from the selection, the pairs
// crossed, the copies; scratch.inherited and copiesFrom left for the mutation as ReproduceWith
// leaves them. A child's recorded mask under a crossover of the caller's own is the bits in which
// child 1 differs from parent A.
void ReproduceCustom(const RunSetup& setup, int step, RunBuffers& buffers, CrtRandom& rng, CustomStepScratch& work,
                     SlotOrigin* origins) {
    const Algorithm& algorithm = setup.algorithm;
    const int n = setup.params.populationSize;
    const int elites = algorithm.elitism;
    const int count = n - elites;
    const int pairs = CrossoverPairCount(count, setup.params.crossoverRate);
    const double* fitness = buffers.fitness.data();
    ReproductionScratch& scratch = buffers.scratch;
    std::uint16_t* parents = work.parents.data();
    SelectParents(algorithm, n, setup.params.crossoverRate, fitness, scratch, rng, setup.selection ? nullptr : parents);
    if (setup.selection) {
        setup.selection->select(step, fitness, n, parents, count, pairs, rng);
        for (int i = 0; i < count; ++i)
            if (parents[i] >= n)
                throw std::out_of_range("RunSolver: the custom selection chose parent " + std::to_string(parents[i]) +
                                        " of a population of " + std::to_string(n));
    }
    const Population& population = buffers.population;
    Population& next = scratch.next;
    double* inherited = scratch.inherited.data();
    for (int j = 0; j < elites; ++j) {
        const std::uint16_t parent = scratch.order[static_cast<std::size_t>(j)];
        next[static_cast<std::size_t>(j)] = population[parent];
        inherited[j] = fitness[parent];
        if (origins) origins[j] = {SlotKind::elite, {parent, 0}, 0, 0};
    }
    for (int k = 0; k < pairs; ++k) {
        const std::uint16_t a = parents[2 * k], b = parents[2 * k + 1];
        const auto slot = static_cast<std::size_t>(elites + 2 * k);
        std::uint32_t mask = 0;
        if (setup.crossover) {
            next[slot] = population[a];
            next[slot + 1] = population[b];
        } else {
            mask = DrawCrossoverMask(algorithm.crossover, rng);
            CrossoverMasked(population[a], population[b], mask, next[slot], next[slot + 1]);
        }
        if (origins) origins[slot] = origins[slot + 1] = {SlotKind::child, {a, b}, mask, 0};
    }
    if (setup.crossover && pairs > 0) {
        setup.crossover->cross(step, next.data() + elites, pairs, rng);
        if (origins)
            for (int k = 0; k < pairs; ++k) {
                const auto slot = static_cast<std::size_t>(elites + 2 * k);
                const std::uint32_t mask = Genotype24(next[slot]) ^ Genotype24(population[parents[2 * k]]);
                origins[slot].mask = origins[slot + 1].mask = mask;
            }
    }
    for (int i = elites + 2 * pairs; i < n; ++i) {
        const std::uint16_t parent = parents[i - elites];
        next[static_cast<std::size_t>(i)] = population[parent];
        inherited[i] = fitness[parent];
        if (origins) origins[i] = {SlotKind::copy, {parent, 0}, 0, 0};
    }
    scratch.copiesFrom = elites + 2 * pairs;
    CopyPopulation(next, buffers.population, n);
}

}  // namespace

RunOutcome RunSolver(const RunSetup& setup, std::span<RunObserver* const> observers, RunBuffers& buffers,
                     const std::atomic<bool>* stop, StepRecorder* recorder) {
    const SolverParams& params = setup.params;
    // The loop indexes the buffers by the population and draws with the rates: nothing out of range
    // runs, whoever asks.
    char invalid[128];
    if (ValidateParams(params, invalid, sizeof invalid) != nullptr)
        throw std::invalid_argument(std::string("RunSolver: ") + invalid);
    if (const std::string bad = ValidateAlgorithm(setup.algorithm, params.populationSize); !bad.empty())
        throw std::invalid_argument("RunSolver: " + bad);
    if ((setup.mutation || setup.selection || setup.crossover) && setup.algorithm.method != Method::geneticAlgorithm)
        throw std::invalid_argument("RunSolver: a custom operator needs the genetic algorithm");
    if (IsBaseline(setup.algorithm.method)) return RunBaseline(setup, observers, buffers, stop);
    RunOutcome outcome;
    outcome.seed = setup.seed;
    CrtRandom rng;
    Srand(rng, setup.seed);

    Population& population = buffers.population;
    ReproductionScratch& scratch = buffers.scratch;
    scratch.evaluated = false;
    const int n = params.populationSize;
    InitPopulation(n, population, rng);

    const Algorithm& algorithm = setup.algorithm;
    std::unique_ptr<StepRecord> record;
    if (recorder) {
        record = std::make_unique<StepRecord>();
        if (algorithm.method == Method::randomSearch) record->origins.fill({SlotKind::random, {0, 0}, 0, 0});
        recorder->onInitial(population.data(), n);
    }
    std::unique_ptr<CustomStepScratch> custom;
    if (setup.selection || setup.crossover) custom = std::make_unique<CustomStepScratch>();
    GenerationView view;
    const int mutationThreshold = MutationThreshold(params.mutationProbability);
    for (int g = 0; g < params.generationCount; ++g) {
        const Chromosome* before = population.data();
        if (algorithm.method == Method::randomSearch) {
            InitPopulation(n, population, rng);  // nothing inherited: N fresh poses
        } else {
            if (!scratch.evaluated) EvaluateGeneration(setup.geometry, n, buffers, view, algorithm.encoding);
            SlotOrigin* origins = record ? record->origins.data() : nullptr;
            if (custom) ReproduceCustom(setup, g, buffers, rng, *custom, origins);
            else ReproduceWith(algorithm, n, params.crossoverRate, buffers.fitness.data(), population, scratch, rng, origins);
            if (record) {
                CopyPopulation(population, record->before, n);
                before = record->before.data();
            }
            if (setup.mutation) {
                const int elites = std::min(algorithm.elitism, n);
                setup.mutation->mutate(g, population.data() + elites, n - elites, rng);
                EvaluateGeneration(setup.geometry, n, buffers, view, algorithm.encoding);
            } else {
                MutateAndEvaluate(setup.geometry, algorithm, n, mutationThreshold, buffers, view, rng);
            }
        }
        if (record) recorder->onStep(g, record->origins.data(), before, population.data(), n);
        if (algorithm.method == Method::randomSearch) EvaluateGeneration(setup.geometry, n, buffers, view);
        view.generation = g + 1;
        // TipDistance's own arithmetic on the tables already at hand.
        view.error = TargetDistance(setup.geometry.targetX, setup.geometry.targetY,
                                    Tip(Tables(), view.currentPose.a1, view.currentPose.a2, view.currentPose.a3,
                                        setup.geometry.baseX, setup.geometry.baseY));
        if (view.best > view.eliteFitness) {
            view.eliteFitness = view.best;
            view.elitePose = view.currentPose;
        }
        for (RunObserver* observer : observers) observer->onGeneration(view);
        outcome.generationsRun = g + 1;
        if (stop && stop->load(std::memory_order_acquire) && g + 1 < params.generationCount) {
            outcome.stopped = true;
            break;
        }
    }
    outcome.eliteFitness = view.eliteFitness;
    outcome.elitePose = view.elitePose;
    outcome.currentPose = view.currentPose;
    for (RunObserver* observer : observers) observer->onEnd(outcome);
    return outcome;
}

RunOutcome RunSolver(const RunSetup& setup, std::span<RunObserver* const> observers,
                     const std::atomic<bool>* stop, StepRecorder* recorder) {
    const auto buffers = std::make_unique<RunBuffers>();
    return RunSolver(setup, observers, *buffers, stop, recorder);
}

}  // namespace kelvora
