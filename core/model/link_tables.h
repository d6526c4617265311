#pragma once
// The arm model's trigonometric tables and its tip and distance arithmetic, shared by the fitness
// function and the searches that must reproduce it bit for bit (the optimum, the reach map).
// Internal to the core libraries.

#include <cmath>

#include "model/arm.h"

namespace kelvora {

/// Each link's projections for every whole-degree angle sum 0..kMaxAngleSum, in pixels. The doubles
/// are the ones a per-call link * cos(sum * kDegToRad) would give, so tabulating changes no result.
struct LinkTables {
    double cos1[kMaxAngleSum + 1], sin1[kMaxAngleSum + 1];
    double cos2[kMaxAngleSum + 1], sin2[kMaxAngleSum + 1];
    double cos3[kMaxAngleSum + 1], sin3[kMaxAngleSum + 1];
    LinkTables();
};

/// The tables, built once on first use; safe on any thread.
const LinkTables& Tables();

/// Tip of genes a1..a3 (each 0..255) on base (baseX, baseY), in client pixels: the fitness
/// function's own arithmetic and order.
inline TipPoint Tip(const LinkTables& t, int a1, int a2, int a3, int baseX, int baseY) {
    const int s1 = a1;
    const int s2 = a1 + a2;
    const int s3 = a1 + a2 + a3;
    TipPoint p;
    p.x = ((t.cos1[s1] + t.cos2[s2]) + t.cos3[s3]) + baseX;
    p.y = static_cast<double>(baseY) - t.sin1[s1] - t.sin2[s2] - t.sin3[s3];
    return p;
}

/// Distance in pixels from tip to the target pixel (targetX, targetY), as the fitness function
/// computes it.
inline double TargetDistance(int targetX, int targetY, const TipPoint& tip) {
    const double dx = targetX - tip.x;
    const double dy = targetY - tip.y;
    return std::sqrt(dx * dx + dy * dy);
}

/// TargetDistance(targetX, targetY, Tip(t, a1, a2, a3, baseX, baseY)) with the base and the target
/// given as doubles holding those ints: the same arithmetic and order, the same double, without
/// their conversions on each call (a search that evaluates one pose at a time).
inline double TipTargetDistance(const LinkTables& t, int a1, int a2, int a3, double baseX, double baseY,
                                double targetX, double targetY) {
    const int s1 = a1;
    const int s2 = a1 + a2;
    const int s3 = a1 + a2 + a3;
    const double x = ((t.cos1[s1] + t.cos2[s2]) + t.cos3[s3]) + baseX;
    const double y = baseY - t.sin1[s1] - t.sin2[s2] - t.sin3[s3];
    const double dx = targetX - x;
    const double dy = targetY - y;
    return std::sqrt(dx * dx + dy * dy);
}

/// The fitness of a distance: 1 / (distance + 1), in (0, 1].
inline double FitnessOfDistance(double distance) { return 1.0 / (distance + 1.0); }

}  // namespace kelvora
