#include <cassert>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#include "solver.h"

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

void EvaluateGeneration(SolverState& state, const Population& population, ReproductionScratch& scratch) {
    const int n = state.populationSize;
    double total = 0.0;
    double best = 0.0;
    int bestIndex = 0;
    const bool logging = state.resultsLog.fd >= 0;  // a run without files skips the formatting too
    for (int i = 0; i < n; ++i) {
        const Chromosome& c = population[static_cast<std::size_t>(i)];
        if (logging) LogIndividual(state, c);  // the genes go out before the fitness is known
        const double f = Fitness(state, c);
        if (logging) LogIndividualFitness(state, f);
        if (f > best) {
            best = f;
            bestIndex = i;
        }
        total += f;
        scratch.prefix[static_cast<std::size_t>(i)] = total;
    }
    scratch.evaluated = true;
    const double average = total / n;
    if (logging) LogSummary(state, bestIndex, best, average);
    state.history[static_cast<std::size_t>(state.generation)] = {best, average};
    state.currentPose = PoseOf(population[static_cast<std::size_t>(bestIndex)]);
    if (best > state.eliteFitness) {
        state.eliteFitness = best;
        state.elitePose = state.currentPose;
    }
}

RunReport RunSolver(SolverState& state, const SolverParams& params, const GenerationProgress& progress,
                    const RunOptions& options) {
#ifndef NDEBUG
    char invalid[128];
    assert(ValidateParams(params, invalid, sizeof invalid) == nullptr && "RunSolver: params out of range");
#endif
    RunReport report;
    // The files first: when another run is writing them, this one is refused before it changes
    // anything, the state included.
    state.resultsLog.writer = options.writer;
    state.fitnessLog.writer = options.writer;
    state.resultsLog.flush = options.flush;
    state.fitnessLog.flush = options.flush;
    if (!options.writeFiles) {
        for (LogFile* log : {&state.resultsLog, &state.fitnessLog}) {
            CloseLog(*log);
            log->error = 0;
            log->openFailed = false;
            log->problem = FileProblem::none;
            log->linesWritten = 0;
        }
    } else if (!OpenResultFiles(state, options.outputDirectory)) {
        report.refused = true;
        report.results = FailureOf(state.resultsLog);
        report.fitness = FailureOf(state.fitnessLog);
        return report;
    }

    state.populationSize = params.populationSize;
    state.crossoverRate = params.crossoverRate;
    state.mutationProbability = params.mutationProbability;

    report.seed = options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
    CrtRandom rng;
    Srand(rng, report.seed);

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
        FlushLog(state.resultsLog);  // a generation's lines, kept back in generation mode
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
