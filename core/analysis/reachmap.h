#pragma once
// The reach map: for every target the plot accepts, how close the best pose of the whole search
// space comes. It depends only on the arm and its base.

#include <memory>

#include "model/types.h"

namespace kelvora {

/// Side of the map in pixels: offsets -kMaxTargetOffset..kMaxTargetOffset on each axis.
inline constexpr int kReachMapSide = 2 * kMaxTargetOffset + 1;

/// Optimum distances for the targets (baseX + dx, baseY - dy), dx and dy each in
/// -kMaxTargetOffset..kMaxTargetOffset (relative to the base, x right, y up).
struct ReachMap {
    /// Row-major from the top row (dy = +kMaxTargetOffset) and the left column: each entry is
    /// FindOptimum(baseX, baseY, target).distance for that pixel, bit for bit, in pixels >= 0.
    double distance[kReachMapSide * kReachMapSide];

    /// Optimum distance at an offset from the base, each in -kMaxTargetOffset..kMaxTargetOffset.
    double At(int dx, int dy) const {
        return distance[(kMaxTargetOffset - dy) * kReachMapSide + (dx + kMaxTargetOffset)];
    }
};

/// Computes the map for an arm on base (baseX, baseY) (client pixels). Takes about a tenth of a
/// second of one core; safe on any thread. The map is about 1.3 MB, so it lives on the heap.
std::unique_ptr<ReachMap> ComputeReachMap(int baseX, int baseY);

}  // namespace kelvora
