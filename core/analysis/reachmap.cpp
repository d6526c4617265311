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

}  // namespace

std::unique_ptr<ReachMap> ComputeReachMap(int baseX, int baseY) {
    const LinkTables& t = Tables();
    std::vector<Cell> cells(kCells);
    const int left = baseX - kMaxTargetOffset;  // the pixel of column 0
    const int top = baseY - kMaxTargetOffset;   // the pixel of row 0

    for (int a1 = 0; a1 < 256; ++a1) {
        for (int a2 = 0; a2 < 256; ++a2) {
            for (int a3 = 0; a3 < 256; ++a3) {
                const TipPoint tip = Tip(t, a1, a2, a3, baseX, baseY);
                const int px = static_cast<int>(std::floor(tip.x + 0.5));
                const int py = static_cast<int>(std::floor(tip.y + 0.5));
                const unsigned col = static_cast<unsigned>(px - left);
                const unsigned row = static_cast<unsigned>(py - top);
                if (col >= static_cast<unsigned>(kSide) || row >= static_cast<unsigned>(kSide)) continue;
                Cell& cell = cells[row * kSide + col];
                const double d = TargetDistance(px, py, tip);
                if (d > cell.distance) continue;  // fitness falls as distance grows: no better
                const double f = FitnessOfDistance(d);
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
        const Cell& s = cells[source[from]];
        const double d = std::hypot(s.tipX - col, s.tipY - row);
        if (source[i] < 0) {
            source[i] = source[from];
            return;
        }
        const Cell& mine = cells[source[i]];
        if (d < std::hypot(mine.tipX - col, mine.tipY - row)) source[i] = source[from];
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
