#include "analysis/diversity.h"

#include <cmath>

namespace kelvora {

Diversity MeasureDiversity(const std::uint32_t* genotypes, int n, int bestIndex, DiversityScratch& scratch) {
    Diversity d;
    long long ones[24] = {};
    const std::uint32_t best = genotypes[bestIndex];
    int equalToBest = 0;
    for (int i = 0; i < n; ++i) {
        const std::uint32_t g = genotypes[i];
        std::uint64_t& word = scratch.seen[g >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (g & 63u);
        d.distinct += (word & bit) == 0;
        word |= bit;
        equalToBest += g == best;
        for (int k = 0; k < 24; ++k) ones[k] += (g >> k) & 1u;
    }
    for (int i = 0; i < n; ++i) scratch.seen[genotypes[i] >> 6] = 0;

    long long differing = 0;
    double entropy = 0.0;
    for (long long k1 : ones) {
        differing += k1 * (n - k1);
        const double p = static_cast<double>(k1) / n;
        if (k1 > 0 && k1 < n) entropy -= p * std::log2(p) + (1.0 - p) * std::log2(1.0 - p);
    }
    const long long pairs = static_cast<long long>(n) * (n - 1) / 2;
    d.hamming = pairs > 0 ? static_cast<double>(differing) / static_cast<double>(pairs) : 0.0;
    d.entropy = entropy / 24.0;
    d.bestShare = static_cast<double>(equalToBest) / n;
    return d;
}

}  // namespace kelvora
