#include "analysis/optimum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/link_tables.h"

// For each (gene0, gene1) the first two links end at J2, and the tip lies on the circle of radius
// kLink3 around J2 at the angle sum gene0 + gene1 + gene2. The distance to the target falls
// monotonically as that angle turns toward the target's direction from J2, so the best gene2 is one
// of the two whole degrees around that direction, or an end of 0..255 when the direction lies
// outside the arc the gene reaches. Those few candidates (with a margin of neighbours for rounding)
// are evaluated with the fitness function's own arithmetic, so the answer is the exhaustive one.
// Pairs whose J2 cannot bring the tip nearer than the best so far (|r - kLink3| > best distance) are
// skipped, as are whole rows of gene0 whose J1 is too far or too near for links two and three.

namespace kelvora {
namespace {

// Rounding in the estimates below is far under this, in pixels; the exact comparison decides.
constexpr double kSlack = 1e-9;
// Closer than this, J2 is as good as on the target: every gene2 gives almost the same distance,
// and all 256 are evaluated.
constexpr double kNearJ2 = 1e-3;
// One turn in the table's degrees: the arm converts with 3.1415926 / 180, not pi / 180.
const double kTurn = 2.0 * 3.14159265358979323846 / kDegToRad;

// An upper bound of acos(c) for c in [-1, 1], within 2% of it and a fraction of its cost:
// acos(1 - x) = sqrt(2x) (1 + x/12 + 3x^2/160 + ...), every coefficient positive, and the sum of
// all but the first, divided by x, grows with x to (pi/2 - 1)/2 = 0.2854 at x = 2, below 7/24.
// A window it widens only makes more candidates be tested.
inline double AcosAtMost(double c) {
    const double x = 1.0 - c;
    return std::sqrt(2.0 * x) * (1.0 + x * (7.0 / 24.0));
}

struct Search {
    const LinkTables& t;
    int baseX, baseY, targetX, targetY;
    double bestFitness = -1.0;
    double bestDistance = std::numeric_limits<double>::infinity();
    double limit = std::numeric_limits<double>::infinity();  // prune beyond this distance
    int bestIndex = std::numeric_limits<int>::max();

    void Evaluate(int a1, int a2, int a3) {
        const double d = TargetDistance(targetX, targetY, Tip(t, a1, a2, a3, baseX, baseY));
        const double f = FitnessOfDistance(d);
        const int index = (a1 << 16) | (a2 << 8) | a3;
        if (f > bestFitness || (f == bestFitness && index < bestIndex)) {
            bestFitness = f;
            bestDistance = d;
            bestIndex = index;
            if (d < limit) limit = d;
        }
    }

    void EvaluateRange(int a1, int a2, int from, int to) {
        if (from < 0) from = 0;
        if (to > 255) to = 255;
        for (int a3 = from; a3 <= to; ++a3) Evaluate(a1, a2, a3);
    }

    // One (gene0, gene1) pair whose J2 lies (dx, dy) from the target, y up, r2 = dx^2 + dy^2:
    // the best gene2 candidates, evaluated exactly.
    void Pair(int a1, int a2, double dx, double dy, double r2) {
        const int s2 = a1 + a2;
        const double r = std::sqrt(r2);
        if (std::fabs(r - kLink3) > limit + kSlack) return;
        if (r < kNearJ2) {
            EvaluateRange(a1, a2, 0, 255);
            return;
        }
        // The target's direction from J2 in the gap the genes leave, between the arc's end
        // (gene2 = 255) and its start (gene2 = 0), counter-clockwise: the nearer end is best.
        const int end = s2 + 255;
        if (t.cos3[end] * dy - t.sin3[end] * dx > 0 && dx * t.sin3[s2] - dy * t.cos3[s2] > 0) {
            Evaluate(a1, a2, 0);
            Evaluate(a1, a2, 255);
            return;
        }
        // The target's direction from J2 in table degrees, as gene2 would have to be, in [0, turn).
        double rel = std::atan2(dy, dx) / kDegToRad - s2;  // in (-s2 - half a turn, half a turn]
        while (rel < 0) rel += kTurn;
        const int k = static_cast<int>(std::floor(rel));
        if (k <= 257) EvaluateRange(a1, a2, k - 2, k + 3);
        if (k >= 253) {
            // Past the last gene2: the nearest ends of the arc, and the wrap to 0.
            EvaluateRange(a1, a2, 0, 1);
            EvaluateRange(a1, a2, 254, 255);
            const int w = static_cast<int>(std::floor(rel - kTurn));
            EvaluateRange(a1, a2, w - 2, w + 3);
        }
    }
};

}  // namespace

Optimum FindOptimumWithin(int baseX, int baseY, int targetX, int targetY, double bound) {
    Search s{Tables(), baseX, baseY, targetX, targetY};
    s.limit = bound;
    const LinkTables& t = s.t;
    // The target relative to the base, y up, as the tables measure angles.
    const double tx = static_cast<double>(targetX) - baseX;
    const double ty = static_cast<double>(baseY) - targetY;
    const double innerReach = kLink2 - kLink3;
    const double outerReach = kLink2 + kLink3;

    const auto row = [&](int a1) {
        const double j1x = t.cos1[a1];
        const double j1y = t.sin1[a1];
        const double ex = tx - j1x, ey = ty - j1y;
        const double toJ1Squared = ex * ex + ey * ey;
        const double reach = s.limit + kSlack;
        // Links two and three end between innerReach and outerReach from J1.
        if (toJ1Squared > (outerReach + reach) * (outerReach + reach)) return;
        if (innerReach > reach && toJ1Squared < (innerReach - reach) * (innerReach - reach)) return;
        // |r - kLink3| <= reach, compared squared so that most pairs cost no square root.
        const double rMax2 = (kLink3 + reach) * (kLink3 + reach);
        const double rMin = kLink3 - reach;
        const double rMin2 = rMin > 0 ? rMin * rMin : -1.0;
        // J2 = J1 + kLink2 * (cos s2, sin s2) is that near the target only for s2 within halfWidth
        // of the target's direction from J1 (law of cosines), with a degree to spare for rounding.
        const double toJ1 = std::sqrt(toJ1Squared);
        const double c = toJ1 > 0 ? (toJ1Squared + kLink2 * kLink2 - rMax2) / (2 * kLink2 * toJ1) : -1.0;
        const double halfWidth = AcosAtMost(std::clamp(c, -1.0, 1.0)) / kDegToRad + 1.0;
        const double direction = std::atan2(ey, ex) / kDegToRad;
        const bool wholeRow = halfWidth >= 170;
        // The window around each turn of the direction that meets a1..a1 + 255 (sums reach 510).
        for (int turn = -1; turn <= 2; ++turn) {
            const double centre = direction + turn * kTurn;
            const int from = wholeRow ? a1 : std::max(a1, static_cast<int>(std::ceil(centre - halfWidth)));
            const int to = wholeRow ? a1 + 255 : std::min(a1 + 255, static_cast<int>(std::floor(centre + halfWidth)));
            for (int s2 = from; s2 <= to; ++s2) {
                const double dx = tx - (j1x + t.cos2[s2]);
                const double dy = ty - (j1y + t.sin2[s2]);
                const double r2 = dx * dx + dy * dy;
                if (r2 > rMax2 || r2 < rMin2) continue;
                s.Pair(a1, s2 - a1, dx, dy, r2);
            }
            if (wholeRow) break;
        }
    };

    // With a finite bound only the gene0 whose J1 lies within outerReach + bound of the target can
    // pass the first test above: those within the angle the law of cosines gives of the target's
    // direction from the base, with a degree to spare for rounding. The limit only shrinks, so no
    // row outside them could pass later either. The rest are tested row by row.
    const double r = std::sqrt(tx * tx + ty * ty);
    const double m = outerReach + bound + kSlack;
    const double c = r > 1e-9 ? (tx * tx + ty * ty + kLink1 * kLink1 - m * m) / (2 * kLink1 * r) : -1.0;
    const double halfWidth = std::isfinite(bound) && c > -1.0 ? std::acos(std::min(c, 1.0)) / kDegToRad + 1.0 : 360.0;
    if (halfWidth >= 170) {
        for (int a1 = 0; a1 < 256; ++a1) row(a1);
    } else {
        const double direction = std::atan2(ty, tx) / kDegToRad;
        for (int turn = -1; turn <= 1; ++turn) {
            const double centre = direction + turn * kTurn;
            const int from = std::max(0, static_cast<int>(std::ceil(centre - halfWidth)));
            const int to = std::min(255, static_cast<int>(std::floor(centre + halfWidth)));
            for (int a1 = from; a1 <= to; ++a1) row(a1);
        }
    }

    Optimum best;
    best.pose = {s.bestIndex >> 16, (s.bestIndex >> 8) & 0xff, s.bestIndex & 0xff};
    best.fitness = s.bestFitness;
    best.distance = s.bestDistance;
    return best;
}

Optimum FindOptimum(int baseX, int baseY, int targetX, int targetY) {
    return FindOptimumWithin(baseX, baseY, targetX, targetY, std::numeric_limits<double>::infinity());
}

std::vector<ArmPose> PosesWithin(int baseX, int baseY, int targetX, int targetY, double epsilon, std::size_t limit) {
    // The tip lies on the circle of radius kLink3 around J2, so it comes no nearer the target than
    // |r - kLink3|, r the distance of J2 from the target: only the pairs with |r - kLink3| <= epsilon
    // (a thin ring of J2) can hold a member, and those are tried with every gene2.
    std::vector<ArmPose> poses;
    if (!(epsilon >= 0) || limit == 0) return poses;
    const LinkTables& t = Tables();
    const double tx = static_cast<double>(targetX) - baseX;
    const double ty = static_cast<double>(baseY) - targetY;
    const double bx = baseX, by = baseY, gx = targetX, gy = targetY;
    const double reach = epsilon + kSlack;
    for (int a1 = 0; a1 < 256; ++a1) {
        for (int a2 = 0; a2 < 256; ++a2) {
            const double dx = tx - (t.cos1[a1] + t.cos2[a1 + a2]);
            const double dy = ty - (t.sin1[a1] + t.sin2[a1 + a2]);
            if (std::fabs(std::sqrt(dx * dx + dy * dy) - kLink3) > reach) continue;
            for (int a3 = 0; a3 < 256; ++a3) {
                if (TipTargetDistance(t, a1, a2, a3, bx, by, gx, gy) > epsilon) continue;
                poses.push_back({a1, a2, a3});
                if (poses.size() == limit) return poses;
            }
        }
    }
    return poses;
}

}  // namespace kelvora
