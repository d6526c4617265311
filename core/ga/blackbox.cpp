// The black-box optimisers of the baselines, through pagmo: differential evolution, particle
// swarm, CMA-ES and simulated annealing with pagmo's default parameters. The problem is the three
// angles in the box [0, 255]^3, minimising the distance of the rounded and clamped pose; every call
// of its fitness is one evaluation of the run's budget.

#include <limits>

#include <pagmo/algorithm.hpp>
#include <pagmo/algorithms/cmaes.hpp>
#include <pagmo/algorithms/de.hpp>
#include <pagmo/algorithms/pso.hpp>
#include <pagmo/algorithms/simulated_annealing.hpp>
#include <pagmo/population.hpp>
#include <pagmo/problem.hpp>

#include "ga/baseline.h"

namespace kelvora {
namespace {

// Thrown by the problem's fitness once the budget is spent: the one way to end a library
// algorithm's loop from inside; caught in RunBlackBox.
struct BudgetSpent {};

struct ArmProblem {
    EvaluationBudget* budget = nullptr;

    pagmo::vector_double fitness(const pagmo::vector_double& x) const {
        if (budget->spent()) throw BudgetSpent{};
        return {budget->evaluate({WholeDegrees(x[0]), WholeDegrees(x[1]), WholeDegrees(x[2])})};
    }
    std::pair<pagmo::vector_double, pagmo::vector_double> get_bounds() const {
        return {{0.0, 0.0, 0.0}, {255.0, 255.0, 255.0}};
    }
    // One run's evaluations are counted in order on its own thread.
    pagmo::thread_safety get_thread_safety() const { return pagmo::thread_safety::none; }
};

// A seed for the library from the run's generator: 30 bits of two draws.
unsigned NextSeed(CrtRandom& rng) {
    const auto high = static_cast<unsigned>(Rand(rng));
    return high << 15 | static_cast<unsigned>(Rand(rng));
}

// Generations a single evolve may run: the budget ends it long before.
constexpr unsigned kEndless = std::numeric_limits<unsigned>::max() / 2;

pagmo::algorithm Optimiser(Method method, unsigned seed) {
    switch (method) {
    case Method::differentialEvolution: return pagmo::algorithm{pagmo::de(kEndless, 0.8, 0.9, 2u, 1e-6, 1e-6, seed)};
    case Method::particleSwarm:
        return pagmo::algorithm{pagmo::pso(kEndless, 0.7298, 2.05, 2.05, 0.5, 5u, 2u, 4u, false, seed)};
    case Method::cmaEs:
        return pagmo::algorithm{pagmo::cmaes(kEndless, -1, -1, -1, -1, 0.5, 1e-6, 1e-6, false, true, seed)};
    default: return pagmo::algorithm{pagmo::simulated_annealing(10.0, 0.1, 10u, 1u, 20u, 1.0, seed)};
    }
}

}  // namespace

/// Smallest population each optimiser takes (pagmo's own rule); a smaller run population still
/// counts its evaluations in blocks of its own size.
int OptimiserPopulation(Method method, int populationSize) {
    switch (method) {
    case Method::differentialEvolution: return std::max(populationSize, 7);
    case Method::particleSwarm: return std::max(populationSize, 2);
    case Method::cmaEs: return std::max(populationSize, 5);
    default: return 1;  // simulated annealing moves one point
    }
}

void RunBlackBox(Method method, int populationSize, EvaluationBudget& budget) {
    const pagmo::problem problem{ArmProblem{&budget}};
    const auto size = static_cast<pagmo::population::size_type>(OptimiserPopulation(method, populationSize));
    try {
        // A restart whenever the optimiser ends by its own rule (the population has converged,
        // the annealing has cooled): a fresh population from the run's generator.
        while (!budget.spent()) {
            pagmo::population population{problem, size, NextSeed(budget.rng())};
            Optimiser(method, NextSeed(budget.rng())).evolve(population);
        }
    } catch (const BudgetSpent&) {
    }
}

}  // namespace kelvora
