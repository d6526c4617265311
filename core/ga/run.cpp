#include "ga/run.h"

#include "ga/baseline.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <ctime>

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

void EvaluateGeneration(const Geometry& geometry, int populationSize, RunBuffers& buffers, GenerationView& view,
                        Encoding encoding) {
    const int n = populationSize;
    const Population* angles = &buffers.population;
    if (encoding == Encoding::gray) {
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k)
                buffers.angles[i].gene[k] = static_cast<std::uint8_t>(GrayDecode(buffers.population[i].gene[k]));
        }
        angles = &buffers.angles;
    }
    double total = 0.0;
    double best = 0.0;
    int bestIndex = 0;
    double* fitness = buffers.fitness.data();
    double* prefix = buffers.scratch.prefix.data();
    for (int i = 0; i < n; ++i) {
        const double f = Fitness(geometry, (*angles)[static_cast<std::size_t>(i)]);
        fitness[i] = f;
        if (f > best) {
            best = f;
            bestIndex = i;
        }
        total += f;
        prefix[i] = total;
    }
    buffers.scratch.evaluated = true;
    view.populationSize = n;
    view.population = angles->data();
    view.fitness = fitness;
    view.bestIndex = bestIndex;
    view.best = best;
    view.average = total / n;
    view.currentPose = PoseOf((*angles)[static_cast<std::size_t>(bestIndex)]);
}

RunOutcome RunSolver(const RunSetup& setup, std::span<RunObserver* const> observers, RunBuffers& buffers,
                     const std::atomic<bool>* stop) {
    const SolverParams& params = setup.params;
#ifndef NDEBUG
    char invalid[128];
    assert(ValidateParams(params, invalid, sizeof invalid) == nullptr && "RunSolver: params out of range");
#endif
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
    const bool classic = algorithm.classic();
    GenerationView view;
    for (int g = 0; g < params.generationCount; ++g) {
        if (algorithm.method == Method::randomSearch) {
            InitPopulation(n, population, rng);  // nothing inherited: N fresh poses
        } else if (classic) {
            Reproduce(setup.geometry, n, params.crossoverRate, population, scratch, rng);
            Mutate(n, params.mutationProbability, population, rng);
        } else {
            if (!scratch.evaluated) EvaluateGeneration(setup.geometry, n, buffers, view, algorithm.encoding);
            ReproduceWith(algorithm, n, params.crossoverRate, buffers.fitness.data(), population, scratch, rng);
            MutateWith(algorithm, n, params.mutationProbability, population, rng);
        }
        const bool gray = algorithm.method == Method::geneticAlgorithm && algorithm.encoding == Encoding::gray;
        EvaluateGeneration(setup.geometry, n, buffers, view, gray ? Encoding::gray : Encoding::binary);
        view.generation = g + 1;
        view.error = TipDistance(setup.geometry, view.currentPose);
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
                     const std::atomic<bool>* stop) {
    const auto buffers = std::make_unique<RunBuffers>();
    return RunSolver(setup, observers, *buffers, stop);
}

}  // namespace kelvora
