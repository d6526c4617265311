#pragma once
// Forward kinematics of the three-link planar arm, the tip's distance to the target, and fitness.

#include "model/types.h"

namespace kelvora {

/// A point in client pixels, x right, y down.
struct TipPoint {
    double x = 0.0;
    double y = 0.0;
};

/// An integer pixel.
struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

/// Largest sum of three joint angles (3 * 255 degrees); the trigonometric tables cover 0..this.
inline constexpr int kMaxAngleSum = 765;

/// Tip of the arm with joint angles a1..a3 (whole degrees, each 0..255) on base (baseX, baseY):
/// x = ((60 cos t1 + 100 cos t2) + 40 cos t3) + baseX, y = baseY - 60 sin t1 - 100 sin t2 - 40 sin t3,
/// with t1 = a1, t2 = a1 + a2, t3 = a1 + a2 + a3 degrees, the sums never reduced modulo 360.
TipPoint TipPosition(int a1, int a2, int a3, int baseX, int baseY);
inline TipPoint TipPosition(const ArmPose& p, int baseX, int baseY) { return TipPosition(p.a1, p.a2, p.a3, baseX, baseY); }

/// A client pixel (x right, y down) as the window's fields give it: its offset in pixels from the
/// base (baseX, baseY), x right and y up, (x - baseX, baseY - y). Any int pixel whose offset fits
/// an int; PixelFromRelative undoes it exactly.
inline PixelPoint RelativeFromPixel(PixelPoint pixel, int baseX, int baseY) {
    return {pixel.x - baseX, baseY - pixel.y};
}
/// The client pixel (x right, y down) at offset relative (x right, y up, pixels) from the base
/// (baseX, baseY): (baseX + x, baseY - y). The inverse of RelativeFromPixel.
inline PixelPoint PixelFromRelative(PixelPoint relative, int baseX, int baseY) {
    return {baseX + relative.x, baseY - relative.y};
}
/// Where the arm stands and what it reaches for, in client pixels (x right, y down). The default is
/// the window's opening geometry: base (300, 220), target at the opening pose's tip (368, 40).
struct Geometry {
    int baseX = kBaseX;                       ///< base pixel, x right
    int baseY = kBaseY;                       ///< base pixel, y down
    int targetX = kBaseX + kOpeningTargetX;   ///< target pixel, x right
    int targetY = kBaseY - kOpeningTargetY;   ///< target pixel, y down
    friend bool operator==(const Geometry&, const Geometry&) = default;
};

/// The geometry of a target given relative to the base (x right, y up, pixels), on base (baseX, baseY).
inline Geometry GeometryFor(int relativeX, int relativeY, int baseX = kBaseX, int baseY = kBaseY) {
    const PixelPoint target = PixelFromRelative({relativeX, relativeY}, baseX, baseY);
    return {baseX, baseY, target.x, target.y};
}

/// The geometry's target relative to its base, x right and y up, pixels.
inline PixelPoint RelativeTarget(const Geometry& geometry) {
    return RelativeFromPixel({geometry.targetX, geometry.targetY}, geometry.baseX, geometry.baseY);
}

/// Distance in pixels from the tip of a1..a3, built on the geometry's base, to its target.
double TipDistance(const Geometry& geometry, int a1, int a2, int a3);
inline double TipDistance(const Geometry& geometry, const ArmPose& p) { return TipDistance(geometry, p.a1, p.a2, p.a3); }

/// 1 / (distance + 1): in (0, 1], 1 only with the tip exactly on the target.
double Fitness(const Geometry& geometry, const Chromosome& c);

/// Joint points of a pose for drawing: J1 (end of link 1), J2, J3 (the tip), each coordinate
/// computed in double precision from the angles and truncated toward zero on its own.
struct ArmJoints {
    PixelPoint j1, j2, j3;
};
ArmJoints ArmJointPoints(const ArmPose& pose, int baseX, int baseY);

}  // namespace kelvora
