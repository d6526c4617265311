#pragma once
// A sweep's plan held to one set of limits, whoever made it (kelvora-cli sweep's flags or the
// experiment window's fields): the flags' ranges, no value listed twice, epsilon above 0.

#include <array>
#include <string>
#include <vector>

#include "batch/sweep.h"

namespace kelvora::session {

/// The most seeds one sweep takes (400 MB of them); larger sweeps are sharded by seed range.
inline constexpr long long kMaxSweepSeeds = 100000000;

/// The algorithm flags, in the order their lists nest in a sweep (the last varies fastest).
inline constexpr std::array<const char*, 6> kAlgorithmFlags{"--algorithm", "--encoding", "--selection", "--elitism",
                                                            "--crossover-operator", "--mutation-operator"};

/// A sweep's six choice lists, one per algorithm flag, each item spelled as the sweep file spells it
/// (AlgorithmFields) and valid on its own; the default of each is the classic choice.
using SweepChoices = std::array<std::vector<std::string>, kAlgorithmFlags.size()>;

/// The classic choice of each list: ga, binary, roulette, 0, one-point, bit-flip.
SweepChoices ClassicSweepChoices();

/// The plan's algorithms into algorithms: for each method listed, the cartesian product of the
/// lists it takes, nested as kAlgorithmFlags lists them (random search and the other baselines that
/// take no choice come once). Returns "" or the refusal, named by its flag: an operator value no
/// listed method takes, or a count that the smallest population (1..kMaxPopulation) cannot hold.
std::string SweepAlgorithms(const SweepChoices& choices, int smallestPopulation, std::vector<Algorithm>& algorithms);

/// What is wrong with a plan.
struct SweepPlanFault {
    enum Kind {
        none,
        empty,       ///< a list holds nothing
        outOfRange,  ///< value is outside the flag's range (range says which)
        twice,       ///< value is listed twice
        tooMany,     ///< more seeds than kMaxSweepSeeds (value: how many)
        algorithm,   ///< an algorithm's count does not suit the smallest population (value), algorithmFault says which
    };
    Kind kind = none;
    std::string flag;   ///< the flag of the list: "--population", "--seeds", "--target", "--epsilon", ...
    std::string value;  ///< the value at fault, as the flag spells it ("68,180" for a target)
    std::string range;  ///< for outOfRange: "1..10000", "(0, 1000]", ...
    AlgorithmFault algorithmFault;  ///< for algorithm
    explicit operator bool() const { return kind != none; }
};

/// The first fault of plan, in the order algorithms, populations, generations, crossovers,
/// mutations, targets, seeds, epsilon; kind none when it has none.
SweepPlanFault CheckSweepPlan(const SweepPlan& plan);

/// Choices given that the method does not take, as kelvora-cli words them: "--algorithm cmaes takes
/// no operator choices (gray given); leave out --encoding, ..."; "" for none.
std::string UntakenChoicesText(const UntakenFault& fault);

/// The fault as kelvora-cli words it: "--seeds: seed 5 is listed twice", "--epsilon: '0' is not a
/// number of pixels in (0, 1000]", ...; "" for none.
std::string SweepPlanFaultText(const SweepPlanFault& fault);

}  // namespace kelvora::session
