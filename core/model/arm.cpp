#include "model/arm.h"

#include <cmath>

#include "model/link_tables.h"

namespace kelvora {
namespace {

#include "model/link_angles.inc"

// cos and sin of a whole-degree angle sum s * kDegToRad: the constants for 0..kMaxAngleSum, so
// every build draws and scores with the same doubles, and the formula per call outside them.
double AngleCos(long long s) {
    return s >= 0 && s <= kMaxAngleSum ? kAngleCos[s] : std::cos(static_cast<double>(s) * kDegToRad);
}
double AngleSin(long long s) {
    return s >= 0 && s <= kMaxAngleSum ? kAngleSin[s] : std::sin(static_cast<double>(s) * kDegToRad);
}

}  // namespace

const LinkTables& Tables() {
    static const LinkTables tables;
    return tables;
}

LinkTables::LinkTables() {
    for (int s = 0; s <= kMaxAngleSum; ++s) {
        const double c = kAngleCos[s];
        const double n = kAngleSin[s];
        cos1[s] = kLink1 * c;
        sin1[s] = kLink1 * n;
        cos2[s] = kLink2 * c;
        sin2[s] = kLink2 * n;
        cos3[s] = kLink3 * c;
        sin3[s] = kLink3 * n;
    }
}

TipPoint TipPosition(int a1, int a2, int a3, int baseX, int baseY) {
    const long long s3 = static_cast<long long>(a1) + a2 + a3;
    if (a1 >= 0 && a2 >= 0 && a3 >= 0 && s3 <= kMaxAngleSum) return Tip(Tables(), a1, a2, a3, baseX, baseY);
    // Angles outside the genes' range: the same formula, per call.
    const double t1 = a1 * kDegToRad;
    const double t2 = (static_cast<double>(a1) + a2) * kDegToRad;
    const double t3 = static_cast<double>(s3) * kDegToRad;
    TipPoint p;
    p.x = ((kLink1 * std::cos(t1) + kLink2 * std::cos(t2)) + kLink3 * std::cos(t3)) + baseX;
    p.y = static_cast<double>(baseY) - kLink1 * std::sin(t1) - kLink2 * std::sin(t2) - kLink3 * std::sin(t3);
    return p;
}

double TipDistance(const Geometry& geometry, int a1, int a2, int a3) {
    return TargetDistance(geometry.targetX, geometry.targetY, TipPosition(a1, a2, a3, geometry.baseX, geometry.baseY));
}

double Fitness(const Geometry& geometry, const Chromosome& c) {
    const TipPoint tip = Tip(Tables(), c.gene[0], c.gene[1], c.gene[2], geometry.baseX, geometry.baseY);
    return FitnessOfDistance(TargetDistance(geometry.targetX, geometry.targetY, tip));
}

ArmJoints ArmJointPoints(const ArmPose& pose, int baseX, int baseY) {
    // Computed straight from the angles, per coordinate, in the drawing's own summation order
    // (outer link first for x); a joint is never derived from the truncated joint before it.
    const long long s1 = pose.a1;
    const long long s2 = s1 + pose.a2;
    const long long s3 = s2 + pose.a3;
    const double c1 = kLink1 * AngleCos(s1), n1 = kLink1 * AngleSin(s1);
    const double c2 = kLink2 * AngleCos(s2), n2 = kLink2 * AngleSin(s2);
    const double c3 = kLink3 * AngleCos(s3), n3 = kLink3 * AngleSin(s3);
    const double by = baseY;
    ArmJoints j;
    j.j1 = {static_cast<int>(c1 + baseX), static_cast<int>(by - n1)};
    j.j2 = {static_cast<int>(c2 + c1 + baseX), static_cast<int>(by - n1 - n2)};
    j.j3 = {static_cast<int>(c3 + c2 + c1 + baseX), static_cast<int>(by - n1 - n2 - n3)};
    return j;
}

}  // namespace kelvora
