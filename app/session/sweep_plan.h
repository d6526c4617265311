#pragma once
// A sweep's plan held to one set of limits, whoever made it (kelvora-cli sweep's flags or the
// experiment window's fields): the flags' ranges, no value listed twice, epsilon above 0.

#include <string>

#include "batch/sweep.h"

namespace kelvora::session {

/// The most seeds one sweep takes (400 MB of them); larger sweeps are sharded by seed range.
inline constexpr long long kMaxSweepSeeds = 100000000;

/// What is wrong with a plan.
struct SweepPlanFault {
    enum Kind {
        none,
        empty,       ///< a list holds nothing
        outOfRange,  ///< value is outside the flag's range (range says which)
        twice,       ///< value is listed twice
        tooMany,     ///< more seeds than kMaxSweepSeeds (value: how many)
        algorithm,   ///< an algorithm's count does not suit the smallest population (value: why)
    };
    Kind kind = none;
    std::string flag;   ///< the flag of the list: "--population", "--seeds", "--target", "--epsilon", ...
    std::string value;  ///< the value at fault, as the flag spells it ("68,180" for a target)
    std::string range;  ///< for outOfRange: "1..10000", "(0, 1000]", ...
    explicit operator bool() const { return kind != none; }
};

/// The first fault of plan, in the order algorithms, populations, generations, crossovers,
/// mutations, targets, seeds, epsilon; kind none when it has none.
SweepPlanFault CheckSweepPlan(const SweepPlan& plan);

/// The fault as kelvora-cli words it: "--seeds: seed 5 is listed twice", "--epsilon: '0' is not a
/// number of pixels in (0, 1000]", ...; "" for none.
std::string SweepPlanFaultText(const SweepPlanFault& fault);

}  // namespace kelvora::session
