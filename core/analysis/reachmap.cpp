#include "analysis/reachmap.h"

#include <cmath>
#include <limits>
#include <vector>

#include "model/link_tables.h"
#include "analysis/optimum.h"

// Two passes. First every pose's tip is dropped into the pixel it rounds to, and each pixel keeps
// its best pose by the solver's fitness (earliest wins ties, as in FindOptimum). A pixel whose best
// tip lies nearer than half a pixel has its optimum there: every tip outside its cell is at least
// half a pixel away on one axis. Every other pixel (outside the arm's reach, in the pockets the
// genes' 0..255 degrees leave, or between sparse tips) gets the exact search, primed with the
// distance to the nearest tip found by spreading the first pass's tips across the grid, which lets
// it skip nearly every pose.

namespace kelvora {
namespace {

constexpr int kSide = kReachMapSide;
constexpr int kCells = kSide * kSide;
// Below this a cell's own best tip is certainly its optimum (half a pixel, less rounding).
constexpr double kSure = 0.5 - 1e-9;

struct Cell {
    double fitness = -1.0;
    double distance = std::numeric_limits<double>::infinity();
    float tipX = 0, tipY = 0;  // the best tip relative to the grid's top-left, for the spreading
    bool hasTip = false;
};

constexpr int kOutside = kCells;  // a cell whose best is below any squared distance

// The 256 tips of one (gene0, gene1): x12 + cos3[a3] + baseX and y12 - sin3[a3], the fitness
// function's own sums. Each tip's cell (kOutside when off the grid) and its squared distance to
// that cell's pixel. A tip rounds to the pixel floor(x + 0.5); relative to the grid that is the
// truncation of x + 0.5 - gridLeft (exact in doubles), when that is not negative. No branches, so
// that it vectorises; built for AVX2 too where the processor has it (the same IEEE operations, the
// same bits). Under ThreadSanitizer the one plain build: its runtime is not up yet when the loader
// calls a clone's resolver.
#if defined(__SANITIZE_THREAD__)
#define KELVORA_AVX2_CLONES
#else
#define KELVORA_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif
KELVORA_AVX2_CLONES void PlaceTips(double x12, double y12, const double* cos3,
                                                                   const double* sin3, int baseX, double gridLeft,
                                                                   double gridTop, double* squared, int* cellOf) {
    for (int a3 = 0; a3 < 256; ++a3) {
        const double x = (x12 + cos3[a3]) + baseX;
        const double y = y12 - sin3[a3];
        const double u = (x + 0.5) - gridLeft;
        const double v = (y + 0.5) - gridTop;
        // Tips lie within the arm's reach of the base, so u and v are far inside int's range.
        const bool inside = (u >= 0) & (u < kSide) & (v >= 0) & (v < kSide);
        const int col = static_cast<int>(u);
        const int row = static_cast<int>(v);
        const double dx = (col + gridLeft) - x, dy = (row + gridTop) - y;
        squared[a3] = dx * dx + dy * dy;
        cellOf[a3] = inside ? row * kSide + col : kOutside;
    }
}

}  // namespace

std::unique_ptr<ReachMap> ComputeReachMap(int baseX, int baseY) {
    const LinkTables& t = Tables();
    std::vector<Cell> cells(kCells);
    // The best squared distance of each cell, apart from the rest so that the pass's lookups stay
    // in cache. Fitness falls as the distance grows, so a pose can beat a cell's best only with a
    // smaller squared distance; only then are its distance and fitness computed.
    std::vector<double> nearest(kCells, std::numeric_limits<double>::infinity());
    const int left = baseX - kMaxTargetOffset;  // the pixel of column 0
    const int top = baseY - kMaxTargetOffset;   // the pixel of row 0

    // Per (gene0, gene1), the 256 tips' cells and squared distances first, then the few that
    // beat their cell's best.
    nearest.push_back(-1.0);
    const double gridLeft = left, gridTop = top;
    int cellOf[256];
    double squared[256];
    for (int a1 = 0; a1 < 256; ++a1) {
        for (int a2 = 0; a2 < 256; ++a2) {
            const int s2 = a1 + a2;
            const double x12 = t.cos1[a1] + t.cos2[s2];
            const double y12 = static_cast<double>(baseY) - t.sin1[a1] - t.sin2[s2];
            PlaceTips(x12, y12, t.cos3 + s2, t.sin3 + s2, baseX, gridLeft, gridTop, squared, cellOf);
            for (int a3 = 0; a3 < 256; ++a3) {
                const int i = cellOf[a3];
                if (!(squared[a3] < nearest[i])) continue;
                nearest[i] = squared[a3];
                const TipPoint tip = Tip(t, a1, a2, a3, baseX, baseY);
                const int col = i % kSide, row = i / kSide;
                const double d = TargetDistance(left + col, top + row, tip);
                const double f = FitnessOfDistance(d);
                Cell& cell = cells[i];
                if (f > cell.fitness) {
                    cell.fitness = f;
                    cell.distance = d;
                    cell.tipX = static_cast<float>(tip.x - left);
                    cell.tipY = static_cast<float>(tip.y - top);
                    cell.hasTip = true;
                }
            }
        }
    }

    // Spread the tips: each cell learns a nearby known tip from its neighbours (two raster sweeps).
    std::vector<int> source(kCells, -1);
    for (int i = 0; i < kCells; ++i)
        if (cells[i].hasTip) source[i] = i;
    auto spread = [&](int i, int from) {
        if (from < 0 || source[from] < 0) return;
        const int row = i / kSide, col = i % kSide;
        if (source[i] < 0) {
            source[i] = source[from];
            return;
        }
        // Any known tip makes a valid bound; the nearer the better, compared squared.
        const Cell& s = cells[source[from]];
        const Cell& mine = cells[source[i]];
        const float sx = s.tipX - col, sy = s.tipY - row;
        const float mx = mine.tipX - col, my = mine.tipY - row;
        if (sx * sx + sy * sy < mx * mx + my * my) source[i] = source[from];
    };
    for (int row = 0; row < kSide; ++row)
        for (int col = 0; col < kSide; ++col) {
            const int i = row * kSide + col;
            if (col > 0) spread(i, i - 1);
            if (row > 0) {
                spread(i, i - kSide);
                if (col > 0) spread(i, i - kSide - 1);
                if (col + 1 < kSide) spread(i, i - kSide + 1);
            }
        }
    for (int row = kSide - 1; row >= 0; --row)
        for (int col = kSide - 1; col >= 0; --col) {
            const int i = row * kSide + col;
            if (col + 1 < kSide) spread(i, i + 1);
            if (row + 1 < kSide) {
                spread(i, i + kSide);
                if (col + 1 < kSide) spread(i, i + kSide + 1);
                if (col > 0) spread(i, i + kSide - 1);
            }
        }

    auto map = std::make_unique<ReachMap>();
    for (int i = 0; i < kCells; ++i) {
        const Cell& cell = cells[i];
        if (cell.distance < kSure) {
            map->distance[i] = cell.distance;
            continue;
        }
        const int row = i / kSide, col = i % kSide;
        // A real tip's distance (plus the float rounding of its stored position) bounds the optimum.
        double bound = std::numeric_limits<double>::infinity();
        if (source[i] >= 0) {
            const Cell& s = cells[source[i]];
            bound = std::hypot(s.tipX - col, s.tipY - row) + 1e-3;
        }
        map->distance[i] = FindOptimumWithin(baseX, baseY, left + col, top + row, bound).distance;
    }
    return map;
}

}  // namespace kelvora
