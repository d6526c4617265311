#pragma once
// How diverse a population is, measured on its 24-bit genotype strings
// G = gene0 * 65536 + gene1 * 256 + gene2 (for Gray encoding, the Gray encodings of the angles).

#include <cstdint>
#include <vector>

namespace kelvora {

/// The diversity of one generation.
struct Diversity {
    int distinct = 0;        ///< different genotypes, 1..N
    double hamming = 0.0;    ///< mean Hamming distance over all N(N - 1)/2 pairs, 0..24 (0 when N = 1)
    double entropy = 0.0;    ///< mean over the 24 bit positions of the binary entropy of the share of ones, 0..1 bits
    double bestShare = 0.0;  ///< share of the population equal to the best individual's genotype, (0, 1]
};

/// Working storage of MeasureDiversity: one bit per possible genotype (2 MB), cleared after each use.
struct DiversityScratch {
    std::vector<std::uint64_t> seen = std::vector<std::uint64_t>((1u << 24) / 64);
};

/// The diversity of the n (1..65535) genotypes (each below 2^24), bestIndex (0..n - 1) the best
/// individual. O(n): the Hamming mean comes from the ones at each bit position, ones * (n - ones)
/// pairs differing there, and is exact up to its one division.
Diversity MeasureDiversity(const std::uint32_t* genotypes, int n, int bestIndex, DiversityScratch& scratch);

}  // namespace kelvora
