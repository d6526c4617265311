#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#include "solver.h"

namespace kelvora {

const char* ValidateParams(const SolverParams& params, char* message, int messageSize) {
    // !(a <= x && x <= b) also rejects NaN.
    if (params.populationSize < 1 || params.populationSize > kMaxPopulation) {
        std::snprintf(message, static_cast<std::size_t>(messageSize),
                      "population size %d is outside 1..%d", params.populationSize, kMaxPopulation);
        return message;
    }
    if (params.generationCount < 1 || params.generationCount > kMaxGenerations) {
        std::snprintf(message, static_cast<std::size_t>(messageSize),
                      "generation count %d is outside 1..%d", params.generationCount, kMaxGenerations);
        return message;
    }
    if (!(params.mutationProbability >= 0.0 && params.mutationProbability <= 1.0)) {
        std::snprintf(message, static_cast<std::size_t>(messageSize),
                      "mutation probability %.17g is outside 0..1", params.mutationProbability);
        return message;
    }
    if (!(params.crossoverRate >= 0.001 && params.crossoverRate <= 1.0)) {
        std::snprintf(message, static_cast<std::size_t>(messageSize),
                      "crossover rate %.17g is outside 0.001..1", params.crossoverRate);
        return message;
    }
    return nullptr;
}

void EvaluateGeneration(SolverState& state, const Population& population, ReproductionScratch& scratch) {
    const int n = state.populationSize;
    double total = 0.0;
    double best = 0.0;
    int bestIndex = 0;
    for (int i = 0; i < n; ++i) {
        const Chromosome& c = population[static_cast<std::size_t>(i)];
        LogIndividual(state, c);  // the genes go out before the fitness is known
        const double f = Fitness(state, c);
        LogIndividualFitness(state, f);
        if (f > best) {
            best = f;
            bestIndex = i;
        }
        total += f;
        scratch.prefix[static_cast<std::size_t>(i)] = total;
    }
    scratch.evaluated = true;
    const double average = total / n;
    LogSummary(state, bestIndex, best, average);
    state.history[static_cast<std::size_t>(state.generation)] = {best, average};
    state.currentPose = PoseOf(population[static_cast<std::size_t>(bestIndex)]);
    if (best > state.eliteFitness) {
        state.eliteFitness = best;
        state.elitePose = state.currentPose;
    }
}

RunReport RunSolver(SolverState& state, const SolverParams& params, const GenerationProgress& progress,
                    const RunOptions& options) {
    RunReport report;
    state.populationSize = params.populationSize;
    state.crossoverRate = params.crossoverRate;
    state.mutationProbability = params.mutationProbability;

    report.seed = options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
    CrtRandom rng;
    Srand(rng, report.seed);

    state.resultsLog.writer = options.writer;
    state.fitnessLog.writer = options.writer;
    OpenResultFiles(state, options.outputDirectory);

    // The population and scratch belong to this run (or to the caller that lends them), so runs on
    // different threads never share them.
    std::unique_ptr<RunBuffers> owned;
    if (!options.buffers) owned = std::make_unique<RunBuffers>();
    RunBuffers& buffers = options.buffers ? *options.buffers : *owned;
    Population& population = buffers.population;
    ReproductionScratch& scratch = buffers.scratch;
    scratch.evaluated = false;
    InitPopulation(state, population, rng);
    state.eliteFitness = 0.0;

    int finished = 0;
    for (int g = 0; g < params.generationCount; ++g) {
        state.generation = g;
        Reproduce(state, population, scratch, rng);
        Mutate(state, population, rng);
        EvaluateGeneration(state, population, scratch);
        const double error = TipDistance(state, state.currentPose);
        finished = g + 1;
        if (progress) progress(g + 1, error);
        if (options.stopRequested && options.stopRequested->load(std::memory_order_acquire) && finished < params.generationCount) {
            report.stopped = true;
            break;
        }
    }
    report.generationsRun = finished;

    CloseResultsFile(state);
    WriteFitnessFile(state, finished);
    report.results = FailureOf(state.resultsLog);
    report.fitness = FailureOf(state.fitnessLog);
    return report;
}

}  // namespace kelvora
