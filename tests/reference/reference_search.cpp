#include "reference_search.h"

#include <algorithm>
#include <cmath>
#include <numeric>
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

int AngleOf(Encoding encoding, int gene) {
    if (encoding == Encoding::binary) return gene;
    int angle = 0;
    int higher = 0;  // the angle's bit above the one being decoded
    for (int bit = 7; bit >= 0; --bit) {
        const int here = higher ^ ((gene >> bit) & 1);
        angle |= here << bit;
        higher = here;
    }
    return angle;
}

int GeneOf(Encoding encoding, int angle) { return encoding == Encoding::binary ? angle : angle ^ (angle >> 1); }

Search::Search(const Geometry& geometry, const SolverParams& params, std::uint32_t seed, std::ostream& results,
               const Algorithm& algorithm)
    : geometry_(geometry), params_(params), algorithm_(algorithm), results_(results),
      population_(params.populationSize) {
    Srand(rng_, seed);
    for (Chromosome& c : population_) {
        for (std::uint8_t& g : c.gene) g = static_cast<std::uint8_t>(Rand(rng_) % 256);
    }
}

Chromosome Search::Angles(const Chromosome& c) const {
    Chromosome angles;
    // Random search has no encoding of its own: its genes are the angles.
    const Encoding encoding = algorithm_.method == Method::randomSearch ? Encoding::binary : algorithm_.encoding;
    for (int k = 0; k < 3; ++k) angles.gene[k] = static_cast<std::uint8_t>(AngleOf(encoding, c.gene[k]));
    return angles;
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

int Search::SelectParent(const std::vector<double>& fitness, double total, const std::vector<double>& weights) {
    const int n = params_.populationSize;
    switch (algorithm_.selection) {
    case Selection::tournament: {
        int winner = -1;
        for (int draw = 0; draw < algorithm_.tournamentSize; ++draw) {
            const int i = Rand(rng_) % n;
            if (winner < 0 || fitness[i] > fitness[winner]) winner = i;
        }
        return winner;
    }
    case Selection::rank: return Select(weights, n * (n + 1) / 2.0);
    default: return Select(fitness, total);
    }
}

std::uint32_t Search::ExchangeMask() {
    // Two-point or uniform; one-point crosses by CrossoverByGene.
    std::uint32_t mask = 0;
    if (algorithm_.crossover == CrossoverOperator::twoPoint) {
        const int r1 = Rand(rng_) % 24;
        const int r2 = Rand(rng_) % 24;
        for (int bit = std::min(r1, r2); bit <= std::max(r1, r2); ++bit) mask |= 1u << bit;
    } else {
        const std::uint32_t h = static_cast<std::uint32_t>(Rand(rng_));
        const std::uint32_t l = static_cast<std::uint32_t>(Rand(rng_));
        mask = (h * 32768 + l) % (1u << 24);
    }
    return mask;
}

void Search::Reproduce() {
    const int n = params_.populationSize;
    const int elites = algorithm_.elitism;
    std::vector<double> fitness(static_cast<std::size_t>(n));
    double total = 0.0;
    for (int i = 0; i < n; ++i) {
        fitness[i] = Fitness(geometry_, Angles(population_[i]));
        total = fitness[i] + total;
    }
    // Rank order: fittest first, a tie to the lower index; weights n for the first down to 1.
    std::vector<int> order;
    std::vector<double> weights;
    if (elites > 0 || algorithm_.selection == Selection::rank) {
        order.resize(static_cast<std::size_t>(n));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&fitness](int a, int b) { return fitness[a] > fitness[b]; });
        weights.resize(static_cast<std::size_t>(n));
        for (int p = 0; p < n; ++p) weights[order[p]] = n - p;
    }

    std::vector<Chromosome> next(static_cast<std::size_t>(n));
    for (int j = 0; j < elites; ++j) next[j] = population_[order[j]];
    const int pairs = static_cast<int>((n - elites) * params_.crossoverRate) / 2;
    for (int k = 0; k < pairs; ++k) {
        int e, f;
        do {
            e = SelectParent(fitness, total, weights);
            f = SelectParent(fitness, total, weights);
        } while (e == f);
        Chromosome& child1 = next[elites + 2 * k];
        Chromosome& child2 = next[elites + 2 * k + 1];
        if (algorithm_.crossover == CrossoverOperator::onePoint) {
            CrossoverByGene(population_[e], population_[f], Rand(rng_) % 24, child1, child2);
            continue;
        }
        const std::uint32_t mask = ExchangeMask();
        for (int g = 0; g < 3; ++g) {
            const int m = static_cast<int>((mask >> (8 * (2 - g))) & 0xFF);
            child1.gene[g] = static_cast<std::uint8_t>((population_[e].gene[g] & ~m) | (population_[f].gene[g] & m));
            child2.gene[g] = static_cast<std::uint8_t>((population_[f].gene[g] & ~m) | (population_[e].gene[g] & m));
        }
    }
    for (int i = elites + 2 * pairs; i < n; ++i) next[i] = population_[SelectParent(fitness, total, weights)];
    population_ = next;
}

void Search::Mutate() {
    const int step = algorithm_.creepStep;
    for (int i = algorithm_.elitism; i < params_.populationSize; ++i) {
        for (std::uint8_t& g : population_[i].gene) {
            if (!(Rand(rng_) * kRandScale <= params_.mutationProbability)) continue;
            if (algorithm_.mutation == MutationOperator::bitFlip) {
                g ^= static_cast<std::uint8_t>(1 << (Rand(rng_) % 8));
            } else {
                int angle = AngleOf(algorithm_.encoding, g) + Rand(rng_) % (2 * step + 1) - step;
                if (angle < 0) angle = 0;
                if (angle > 255) angle = 255;
                g = static_cast<std::uint8_t>(GeneOf(algorithm_.encoding, angle));
            }
        }
    }
}

void Search::Evaluate() {
    double total = 0.0;
    double best = 0.0;
    int bestIndex = -1;
    for (int i = 0; i < params_.populationSize; ++i) {
        const Chromosome c = Angles(population_[i]);
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
    currentPose_ = PoseOf(Angles(population_[bestIndex]));
    if (best > eliteFitness_) {
        eliteFitness_ = best;
        elitePose_ = currentPose_;
    }
}

double Search::Step() {
    if (algorithm_.method == Method::randomSearch) {
        // Blind sampling: a whole new population, drawn as the first one was.
        for (Chromosome& c : population_) {
            for (std::uint8_t& g : c.gene) g = static_cast<std::uint8_t>(Rand(rng_) % 256);
        }
    } else {
        Reproduce();
        Mutate();
    }
    Evaluate();
    return Distance(geometry_, currentPose_.a1, currentPose_.a2, currentPose_.a3);
}

RunOutcome Run(const Geometry& geometry, const SolverParams& params, std::uint32_t seed, const Algorithm& algorithm) {
    std::ostringstream results;
    Search search(geometry, params, seed, results, algorithm);
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
