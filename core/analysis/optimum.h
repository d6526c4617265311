#pragma once
// The ground truth of the search space: the best of all 256^3 whole-degree poses for a target.

#include <cstddef>
#include <vector>

#include "model/types.h"

namespace kelvora {

/// The best pose of the whole search space for one target.
struct Optimum {
    ArmPose pose{};         ///< genes 0..255 each; ties go to the earliest in gene order
    double fitness = 0.0;   ///< exactly the solver's fitness of pose, in (0, 1]
    double distance = 0.0;  ///< tip to target in pixels, as the solver computes it (TipDistance)
};

/// The pose with the highest fitness among all genes 0..255, for an arm on base (baseX, baseY) and
/// a target pixel (targetX, targetY), both in client pixels (x right, y down). Fitness is the
/// solver's own, bit for bit; a tie goes to the smallest gene0 * 65536 + gene1 * 256 + gene2.
/// Exact, not sampled: it returns what an exhaustive search with the fitness function returns,
/// in well under a millisecond for targets in and around the plot. Safe on any thread.
Optimum FindOptimum(int baseX, int baseY, int targetX, int targetY);

/// FindOptimum, told that some pose lies within bound pixels of the target (bound >= the optimum's
/// distance): pairs that cannot come that close are skipped from the start. Same answer, sooner.
Optimum FindOptimumWithin(int baseX, int baseY, int targetX, int targetY, double bound);

/// Every pose whose tip lies within epsilon pixels (>= 0) of the target pixel, by the solver's own
/// distance: the members of the family of arms that reach the target (three joints, two
/// coordinates), in pose-index order (gene0 * 65536 + gene1 * 256 + gene2), at most limit of them
/// (the first). Empty when no pose comes that close. About a millisecond for epsilon of a few
/// pixels. Safe on any thread.
std::vector<ArmPose> PosesWithin(int baseX, int baseY, int targetX, int targetY, double epsilon, std::size_t limit);

}  // namespace kelvora
