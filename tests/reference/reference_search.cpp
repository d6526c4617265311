#include "reference_search.h"

#include <cmath>
#include <sstream>

namespace kelvora::reference {

TipPoint Tip(const Geometry& geometry, int a1, int a2, int a3) {
    const double t1 = a1 * kDegToRad;
    const double t2 = (a1 + a2) * kDegToRad;
    const double t3 = (a1 + a2 + a3) * kDegToRad;
    TipPoint tip;
    tip.x = ((60 * std::cos(t1) + 100 * std::cos(t2)) + 40 * std::cos(t3)) + geometry.baseX;
    tip.y = geometry.baseY - 60 * std::sin(t1) - 100 * std::sin(t2) - 40 * std::sin(t3);
    return tip;
}

double Distance(const Geometry& geometry, int a1, int a2, int a3) {
    const TipPoint tip = Tip(geometry, a1, a2, a3);
    const double dx = geometry.targetX - tip.x;
    const double dy = geometry.targetY - tip.y;
    return std::sqrt(dx * dx + dy * dy);
}

double Fitness(const Geometry& geometry, const Chromosome& c) {
    return 1 / (Distance(geometry, c.gene[0], c.gene[1], c.gene[2]) + 1);
}

void CrossoverByGene(const Chromosome& a, const Chromosome& b, int r, Chromosome& child1, Chromosome& child2) {
    // The gene the cut falls into is mixed under a mask of its low bits; the genes below it are
    // exchanged whole, the genes above it stay.
    int cutGene;
    int bits;
    if (r <= 7) {
        cutGene = 2;
        bits = r + 1;
    } else if (r <= 15) {
        cutGene = 1;
        bits = r - 7;
    } else {
        cutGene = 0;
        bits = r - 15;
    }
    const int m = (1 << bits) - 1;
    for (int g = 0; g < 3; ++g) {
        if (g < cutGene) {
            child1.gene[g] = a.gene[g];
            child2.gene[g] = b.gene[g];
        } else if (g == cutGene) {
            child1.gene[g] = static_cast<std::uint8_t>((a.gene[g] & ~m) | (b.gene[g] & m));
            child2.gene[g] = static_cast<std::uint8_t>((b.gene[g] & ~m) | (a.gene[g] & m));
        } else {
            child1.gene[g] = b.gene[g];
            child2.gene[g] = a.gene[g];
        }
    }
}

Search::Search(const Geometry& geometry, const SolverParams& params, std::uint32_t seed, std::ostream& results)
    : geometry_(geometry), params_(params), results_(results), population_(params.populationSize) {
    Srand(rng_, seed);
    for (Chromosome& c : population_) {
        for (std::uint8_t& g : c.gene) g = static_cast<std::uint8_t>(Rand(rng_) % 256);
    }
}

int Search::Select(const std::vector<double>& fitness, double total) {
    const double draw = (Rand(rng_) * kRandScale) * total;
    double sum = 0.0;
    for (std::size_t i = 0; i < fitness.size(); ++i) {
        sum += fitness[i];
        if (sum > draw) return static_cast<int>(i);
    }
    return static_cast<int>(fitness.size()) - 1;
}

void Search::Reproduce() {
    const int n = params_.populationSize;
    std::vector<double> fitness(static_cast<std::size_t>(n));
    double total = 0.0;
    for (int i = 0; i < n; ++i) {
        fitness[i] = Fitness(geometry_, population_[i]);
        total = fitness[i] + total;
    }
    const int pairs = static_cast<int>(n * params_.crossoverRate) / 2;
    std::vector<Chromosome> next(static_cast<std::size_t>(n));
    for (int k = 0; k < pairs; ++k) {
        int e, f;
        do {
            e = Select(fitness, total);
            f = Select(fitness, total);
        } while (e == f);
        CrossoverByGene(population_[e], population_[f], Rand(rng_) % 24, next[2 * k], next[2 * k + 1]);
    }
    for (int i = 2 * pairs; i < n; ++i) next[i] = population_[Select(fitness, total)];
    population_ = next;
}

void Search::Mutate() {
    for (Chromosome& c : population_) {
        for (std::uint8_t& g : c.gene) {
            if (Rand(rng_) * kRandScale <= params_.mutationProbability) g ^= static_cast<std::uint8_t>(1 << (Rand(rng_) % 8));
        }
    }
}

void Search::Evaluate() {
    double total = 0.0;
    double best = 0.0;
    int bestIndex = -1;
    for (int i = 0; i < params_.populationSize; ++i) {
        const Chromosome& c = population_[i];
        const double f = Fitness(geometry_, c);
        results_ << int{c.gene[0]} << ',' << int{c.gene[1]} << ',' << int{c.gene[2]} << ',' << f << "\r\n" << std::flush;
        if (f > best) {
            best = f;
            bestIndex = i;
        }
        total += f;
    }
    const double average = total / params_.populationSize;
    results_ << bestIndex << ',' << best << ',' << average << "\r\n" << std::flush;
    history_.push_back({best, average});
    currentPose_ = PoseOf(population_[bestIndex]);
    if (best > eliteFitness_) {
        eliteFitness_ = best;
        elitePose_ = currentPose_;
    }
}

double Search::Step() {
    Reproduce();
    Mutate();
    Evaluate();
    return Distance(geometry_, currentPose_.a1, currentPose_.a2, currentPose_.a3);
}

RunOutcome Run(const Geometry& geometry, const SolverParams& params, std::uint32_t seed) {
    std::ostringstream results;
    Search search(geometry, params, seed, results);
    RunOutcome outcome;
    for (int g = 0; g < params.generationCount; ++g) outcome.errors.push_back(search.Step());
    std::ostringstream fitness;
    for (const GenerationStat& row : search.history()) fitness << row.best << ',' << row.average << "\r\n";
    outcome.results = results.str();
    outcome.fitness = fitness.str();
    outcome.history = search.history();
    outcome.currentPose = search.currentPose();
    outcome.elitePose = search.elitePose();
    outcome.eliteFitness = search.eliteFitness();
    return outcome;
}

}  // namespace kelvora::reference
