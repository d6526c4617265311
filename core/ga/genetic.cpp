#include "ga/genetic.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>


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

void BuildRouletteIndex(const double* prefix, int populationSize, double total, RouletteIndex& index) {
    const int last = populationSize - 1;
    double* sums = index.sums.data();
    std::copy(prefix, prefix + last, sums);
    std::fill(sums + last, sums + last + kRouletteScanWidth, std::numeric_limits<double>::infinity());
    index.total = total;
    const int buckets = std::max(2, static_cast<int>(std::bit_ceil(static_cast<unsigned>(populationSize))) / 2);
    const int shift = 15 - std::countr_zero(static_cast<unsigned>(buckets));
    index.shift = shift;
    const int width = 1 << shift;
    // Sum i is at most the draw of every r from u = floor(y) + 2 on, y = prefix[i] * (32767 / total):
    // y is 32767 * prefix[i] / total within a few units in the last place, as is the draw of r a
    // multiple of r / 32767 * total, and those errors come to far less than the one draw u adds.
    // So sum i counts in the start of every bucket from ceil(u / width) on: each bucket marks the
    // last sum that enters there, and the running maximum of the marks is the count.
    std::uint16_t* start = index.start.data();
    std::uint32_t* mark = index.mark.data();
    std::fill(mark, mark + buckets + 1, 0u);
    const double scale = kRandMax / total;
    for (int i = 0; i < last; ++i) {
        double y = prefix[i] * scale;
        y = std::min(y, kRandMax + 1.0);  // a sum past the last draw (the total, rounded up) enters no bucket
        const int u = static_cast<int>(y) + 2;
        mark[std::min((u + width - 1) >> shift, buckets)] = static_cast<std::uint32_t>(i + 1);
    }
    std::uint32_t count = 0;
    for (int k = 0; k < buckets; ++k) {
        count = std::max(count, mark[k]);
        start[k] = static_cast<std::uint16_t>(count);
    }
}

void CopyPopulation(const Population& from, Population& to, int count) {
    std::memcpy(to.data(), from.data(), static_cast<std::size_t>(count) * sizeof(Chromosome));
}

namespace {

// Sorts order[begin..end), indices in index order, by their keys, a tie to the lower index: by
// insertion when small, else spread over 256 buckets of its own keys' range (through spare) and each
// of those sorted the same way. A range of equal keys is already in order and is left as it is.
void SortBucket(const std::uint64_t* keys, std::uint16_t* order, std::uint16_t* spare, std::uint32_t begin,
                std::uint32_t end) {
    if (end - begin <= 32) {
        for (std::uint32_t j = begin + 1; j < end; ++j) {
            const std::uint16_t index = order[j];
            std::uint32_t at = j;
            for (; at > begin && keys[order[at - 1]] > keys[index]; --at) order[at] = order[at - 1];
            order[at] = index;
        }
        return;
    }
    std::uint64_t low = ~std::uint64_t{0}, high = 0;
    for (std::uint32_t j = begin; j < end; ++j) {
        low = std::min(low, keys[order[j]]);
        high = std::max(high, keys[order[j]]);
    }
    if (low == high) return;
    const int shift = std::max(0, static_cast<int>(std::bit_width(high - low)) - 8);
    std::uint32_t start[257] = {};
    for (std::uint32_t j = begin; j < end; ++j) ++start[((keys[order[j]] - low) >> shift) + 1];
    start[0] = begin;
    for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
    for (std::uint32_t j = begin; j < end; ++j) spare[start[(keys[order[j]] - low) >> shift]++] = order[j];
    std::memcpy(order + begin, spare + begin, (end - begin) * sizeof(std::uint16_t));
    std::uint32_t from = begin;
    for (int b = 0; b < 256; ++b) {
        SortBucket(keys, order, spare, from, start[b]);
        from = start[b];
    }
}

}  // namespace

void RankByFitness(const double* fitness, int populationSize, ReproductionScratch& scratch) {
    // A positive double's bits order as its value, so their complement orders highest first, and
    // (key, index) orders as the rank does. One counting pass spreads the indices, in index order,
    // over 4096 buckets of the keys' range (their leading bits); each bucket is then sorted on its
    // own (SortBucket). No double is compared, and a generation costs about two passes.
    const int n = populationSize;
    std::uint64_t* keys = scratch.keys.data();
    std::uint16_t* order = scratch.order.data();
    std::uint64_t low = ~std::uint64_t{0}, high = 0;
    for (int i = 0; i < n; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &fitness[i], sizeof bits);
        keys[i] = ~bits;
        low = std::min(low, keys[i]);
        high = std::max(high, keys[i]);
    }
    constexpr int kBucketBits = 12;
    const std::uint64_t range = high - low;
    const int shift = std::max(0, static_cast<int>(std::bit_width(range)) - kBucketBits);
    std::uint32_t start[(1 << kBucketBits) + 1] = {};
    for (int i = 0; i < n; ++i) ++start[((keys[i] - low) >> shift) + 1];
    for (int b = 0; b < (1 << kBucketBits); ++b) start[b + 1] += start[b];
    // start[b] is now where bucket b begins; once filled, where it ends.
    std::uint32_t* fill = start;
    for (int i = 0; i < n; ++i) order[fill[(keys[i] - low) >> shift]++] = static_cast<std::uint16_t>(i);
    std::uint32_t begin = 0;
    for (int b = 0; b < (1 << kBucketBits); ++b) {
        SortBucket(keys, order, scratch.orderSpare.data(), begin, fill[b]);
        begin = fill[b];
    }
}

void FittestFirst(const double* fitness, int populationSize, int count, ReproductionScratch& scratch) {
    // The count fittest so far, in rank order; a later index only enters by being strictly fitter.
    std::uint16_t* top = scratch.order.data();
    int size = 0;
    for (int i = 0; i < populationSize; ++i) {
        const double f = fitness[i];
        if (size == count && !(f > fitness[top[size - 1]])) continue;
        int at = size < count ? size++ : size - 1;
        for (; at > 0 && f > fitness[top[at - 1]]; --at) top[at] = top[at - 1];
        top[at] = static_cast<std::uint16_t>(i);
    }
}

void CrossoverMasked(const Chromosome& a, const Chromosome& b, std::uint32_t mask, Chromosome& child1,
                     Chromosome& child2) {
    const std::uint32_t ga = (a.gene[0] << 16) | (a.gene[1] << 8) | a.gene[2];
    const std::uint32_t gb = (b.gene[0] << 16) | (b.gene[1] << 8) | b.gene[2];
    const std::uint32_t c1 = (ga & ~mask) | (gb & mask);
    const std::uint32_t c2 = (gb & ~mask) | (ga & mask);
    child1 = {{static_cast<std::uint8_t>(c1 >> 16), static_cast<std::uint8_t>(c1 >> 8), static_cast<std::uint8_t>(c1)}};
    child2 = {{static_cast<std::uint8_t>(c2 >> 16), static_cast<std::uint8_t>(c2 >> 8), static_cast<std::uint8_t>(c2)}};
}

namespace {

// The elites, the pairs' children and the copies into next, each parent chosen by select; with
// kRecord, each slot's origin into origins as well.
template <bool kRecord, typename Select>
void BreedWith(const Algorithm& algorithm, int n, int pairs, const double* fitness, const Population& population,
               ReproductionScratch& scratch, CrtRandom& rng, SlotOrigin* origins, Select select) {
    Population& next = scratch.next;
    double* inherited = scratch.inherited.data();
    const int elites = algorithm.elitism;
    for (int j = 0; j < elites; ++j) {
        const std::uint16_t parent = scratch.order[static_cast<std::size_t>(j)];
        next[static_cast<std::size_t>(j)] = population[parent];
        inherited[j] = fitness[parent];
        if constexpr (kRecord) origins[j] = {SlotKind::elite, {parent, 0}, 0, 0};
    }
    for (int k = 0; k < pairs; ++k) {
        int e = select(rng);
        int f = select(rng);
        std::uint32_t redraws = 0;
        while (e == f) {
            e = select(rng);
            f = select(rng);
            if constexpr (kRecord) ++redraws;
        }
        const std::uint32_t mask = DrawCrossoverMask(algorithm.crossover, rng);
        const int slot = elites + 2 * k;
        CrossoverMasked(population[e], population[f], mask, next[slot], next[slot + 1]);
        if constexpr (kRecord) {
            const std::array<std::uint16_t, 2> parents{static_cast<std::uint16_t>(e), static_cast<std::uint16_t>(f)};
            origins[slot] = {SlotKind::child, parents, mask, redraws};
            origins[slot + 1] = {SlotKind::child, parents, mask, 0};
        }
    }
    scratch.copiesFrom = elites + 2 * pairs;
    for (int i = elites + 2 * pairs; i < n; ++i) {
        const int parent = select(rng);
        next[i] = population[parent];
        inherited[i] = fitness[parent];
        if constexpr (kRecord) origins[i] = {SlotKind::copy, {static_cast<std::uint16_t>(parent), 0}, 0, 0};
    }
}

// BreedWith, recording or not as origins is given: decided once per generation.
template <typename Select>
void Breed(const Algorithm& algorithm, int n, int pairs, const double* fitness, const Population& population,
           ReproductionScratch& scratch, CrtRandom& rng, SlotOrigin* origins, Select select) {
    if (origins) BreedWith<true>(algorithm, n, pairs, fitness, population, scratch, rng, origins, select);
    else BreedWith<false>(algorithm, n, pairs, fitness, population, scratch, rng, origins, select);
}

}  // namespace

namespace {

// The order the step's elites are taken in (and rank selection's weights): scratch.order.
void OrderElites(const Algorithm& algorithm, int n, const double* fitness, ReproductionScratch& scratch) {
    const int elites = algorithm.elitism;
    if (algorithm.selection == Selection::rank || elites > kFittestFirstMaxCount) RankByFitness(fitness, n, scratch);
    else if (elites > 0) FittestFirst(fitness, n, elites, scratch);
}

// Lays out algorithm's selection over the population's fitness (after OrderElites) and calls
// use(select), select(rng) drawing one parent's index as the selection draws it.
template <typename Use>
void WithSelection(const Algorithm& algorithm, int n, const double* fitness, ReproductionScratch& scratch, Use use) {
    double* prefix = scratch.prefix.data();
    double total = 0.0;
    if (algorithm.selection == Selection::rank) {
        // Rank weights N (the fittest) down to 1, summed in index order; exact in a double.
        for (int p = 0; p < n; ++p) prefix[scratch.order[static_cast<std::size_t>(p)]] = n - p;
        for (int i = 0; i < n; ++i) prefix[i] = total += prefix[i];
    } else if (algorithm.selection == Selection::roulette) {
        // The evaluation's running sums are these same sums, added in the same order.
        if (scratch.evaluated) total = prefix[n - 1];
        else for (int i = 0; i < n; ++i) prefix[i] = total = fitness[i] + total;
    }
    scratch.evaluated = false;

    if (algorithm.selection == Selection::tournament) {
        const int size = algorithm.tournamentSize;
        use([fitness, n, size](CrtRandom& g) {
            int best = Rand(g) % n;
            for (int k = 1; k < size; ++k) {
                const int drawn = Rand(g) % n;
                if (fitness[drawn] > fitness[best]) best = drawn;
            }
            return best;
        });
    } else if (n >= kRouletteTableMinPopulation) {
        std::uint16_t* wheel = scratch.wheel.data();
        FillRouletteTable(prefix, n, total, wheel);
        use([wheel](CrtRandom& g) -> int { return wheel[Rand(g)]; });
    } else {
        RouletteIndex& roulette = scratch.roulette;
        BuildRouletteIndex(prefix, n, total, roulette);
        use([&roulette](CrtRandom& g) { return RouletteSelectIndexed(roulette, Rand(g)); });
    }
}

}  // namespace

void ReproduceWith(const Algorithm& algorithm, int populationSize, double crossoverRate, const double* fitness,
                   Population& population, ReproductionScratch& scratch, CrtRandom& rng, SlotOrigin* origins) {
    const int n = populationSize;
    OrderElites(algorithm, n, fitness, scratch);
    const int pairs = CrossoverPairCount(n - algorithm.elitism, crossoverRate);
    WithSelection(algorithm, n, fitness, scratch, [&](auto select) {
        Breed(algorithm, n, pairs, fitness, population, scratch, rng, origins, select);
    });
    CopyPopulation(scratch.next, population, n);
}

void SelectParents(const Algorithm& algorithm, int populationSize, double crossoverRate, const double* fitness,
                   ReproductionScratch& scratch, CrtRandom& rng, std::uint16_t* parents) {
    const int n = populationSize;
    OrderElites(algorithm, n, fitness, scratch);
    if (!parents) {
        scratch.evaluated = false;
        return;
    }
    const int pairs = CrossoverPairCount(n - algorithm.elitism, crossoverRate);
    const int count = n - algorithm.elitism;
    WithSelection(algorithm, n, fitness, scratch, [&](auto select) {
        for (int k = 0; k < pairs; ++k) {
            int e = select(rng);
            int f = select(rng);
            while (e == f) {
                e = select(rng);
                f = select(rng);
            }
            parents[2 * k] = static_cast<std::uint16_t>(e);
            parents[2 * k + 1] = static_cast<std::uint16_t>(f);
        }
        for (int i = 2 * pairs; i < count; ++i) parents[i] = static_cast<std::uint16_t>(select(rng));
    });
}

int MutationThreshold(double mutationProbability) {
    // low passes the test (or is -1), every draw above high fails it. The test is the one the
    // operator has always made, a draw above the probability skipping the gene, so a NaN passes all.
    int low = -1, high = kRandMax;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (!(mid * kRandScale > mutationProbability)) low = mid;
        else high = mid - 1;
    }
    return low;
}

void MutateWith(const Algorithm& algorithm, int populationSize, double mutationProbability, Population& population,
                CrtRandom& rng) {
    const int threshold = MutationThreshold(mutationProbability);
    CrtRandom g = rng;  // in a register, not stored back through the genes' bytes each draw
    for (int i = algorithm.elitism; i < populationSize; ++i) MutateGenes(algorithm, threshold, population[i], g);
    rng = g;
}

}  // namespace kelvora
