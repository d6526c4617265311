#include "ga/genetic.h"

#include <algorithm>
#include <cstring>


namespace kelvora {

int CrossoverPairCount(int populationSize, double crossoverRate) {
    const double product = populationSize * crossoverRate;
    return static_cast<int>(product) / 2;
}

void InitPopulation(int populationSize, Population& population, CrtRandom& rng) {
    for (int i = 0; i < populationSize; ++i) {
        for (std::uint8_t& g : population[i].gene) g = static_cast<std::uint8_t>(Rand(rng) % 256);
    }
}

int RouletteSelect(const double* prefix, int populationSize, double total, CrtRandom& rng) {
    const int r = Rand(rng);
    const double draw = (r * kRandScale) * total;
    // First prefix sum strictly above the draw. The prefix sums are the running sums of a linear
    // scan, so this is the scan's answer, found in log n halvings. The halving loop has no branch
    // that depends on the data (the step is a multiply by the comparison's 0 or 1), because random
    // draws would mispredict every other one.
    const double* base = prefix;
    int length = populationSize;
    while (length > 1) {
        const int half = length / 2;
        base += static_cast<int>(base[half - 1] <= draw) * half;
        length -= half;
    }
    // base is now the first element above the draw, or the last element when none is.
    const int index = static_cast<int>(base - prefix);
    if (*base <= draw) return populationSize - 1;  // no prefix sum exceeds the draw: the wheel's end
    return index;
}

void FillRouletteTable(const double* prefix, int populationSize, double total, std::uint16_t* wheel) {
    // The draws are non-decreasing in r (both products round monotonically) and so is the first
    // prefix sum above each, so one index walks forward over the whole wheel.
    const int last = populationSize - 1;
    int index = 0;
    for (int r = 0; r <= kRandMax; ++r) {
        const double draw = (r * kRandScale) * total;
        while (index < last && prefix[index] <= draw) ++index;
        wheel[r] = static_cast<std::uint16_t>(index);
    }
}

int RouletteSelectLinear(const double* fitness, int populationSize, double total, CrtRandom& rng) {
    const int r = Rand(rng);
    const double draw = (r * kRandScale) * total;
    double sum = 0.0;
    for (int i = 0; i < populationSize; ++i) {
        sum += fitness[i];
        if (sum > draw) return i;
    }
    return populationSize - 1;
}

void CrossoverAt(const Chromosome& a, const Chromosome& b, int r, Chromosome& child1, Chromosome& child2) {
    const std::uint32_t ga = (a.gene[0] << 16) | (a.gene[1] << 8) | a.gene[2];
    const std::uint32_t gb = (b.gene[0] << 16) | (b.gene[1] << 8) | b.gene[2];
    const std::uint32_t mask = (1u << (r + 1)) - 1u;  // r + 1 low bits, 1..24
    const std::uint32_t c1 = (ga & ~mask) | (gb & mask);
    const std::uint32_t c2 = (gb & ~mask) | (ga & mask);
    child1 = {{static_cast<std::uint8_t>(c1 >> 16), static_cast<std::uint8_t>(c1 >> 8), static_cast<std::uint8_t>(c1)}};
    child2 = {{static_cast<std::uint8_t>(c2 >> 16), static_cast<std::uint8_t>(c2 >> 8), static_cast<std::uint8_t>(c2)}};
}

void Crossover(const Chromosome& a, const Chromosome& b, Chromosome& child1, Chromosome& child2, CrtRandom& rng) {
    CrossoverAt(a, b, Rand(rng) % 24, child1, child2);
}

void Mutate(int populationSize, double mutationProbability, Population& population, CrtRandom& rng) {
    const double p = mutationProbability;
    for (int i = 0; i < populationSize; ++i) {
        for (std::uint8_t& g : population[i].gene) {
            const double x = Rand(rng) * kRandScale;
            if (x <= p) g = static_cast<std::uint8_t>(g ^ (1u << (Rand(rng) % 8)));
        }
    }
}

void CopyPopulation(const Population& from, Population& to, int count) {
    std::memcpy(to.data(), from.data(), static_cast<std::size_t>(count) * sizeof(Chromosome));
}

namespace {

// The pairs' children and then the copies, each parent chosen by select (a draw of the wheel).
template <typename Select>
void BuildNextGeneration(const Population& population, ReproductionScratch& scratch, int pairs, int n,
                         CrtRandom& rng, Select select) {
    for (int k = 0; k < pairs; ++k) {
        int e = select(rng);
        int f = select(rng);
        while (e == f) {
            e = select(rng);
            f = select(rng);
        }
        Crossover(population[e], population[f], scratch.next[2 * k], scratch.next[2 * k + 1], rng);
    }
    for (int i = 2 * pairs; i < n; ++i) scratch.next[i] = population[select(rng)];
}

}  // namespace

void Reproduce(const Geometry& geometry, int populationSize, double crossoverRate, Population& population,
               ReproductionScratch& scratch, CrtRandom& rng) {
    const int n = populationSize;
    double* prefix = scratch.prefix.data();
    if (!scratch.evaluated) {
        double total = 0.0;
        for (int i = 0; i < n; ++i) {
            total = Fitness(geometry, population[i]) + total;
            prefix[i] = total;
        }
    }
    scratch.evaluated = false;
    const double total = prefix[n - 1];

    const int pairs = CrossoverPairCount(n, crossoverRate);
    if (n >= kRouletteTableMinPopulation) {
        std::uint16_t* wheel = scratch.wheel.data();
        FillRouletteTable(prefix, n, total, wheel);
        BuildNextGeneration(population, scratch, pairs, n, rng,
                            [wheel](CrtRandom& g) -> int { return wheel[Rand(g)]; });
    } else {
        BuildNextGeneration(population, scratch, pairs, n, rng,
                            [prefix, n, total](CrtRandom& g) { return RouletteSelect(prefix, n, total, g); });
    }
    CopyPopulation(scratch.next, population, n);
}

}  // namespace kelvora
