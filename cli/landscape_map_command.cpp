// kelvora-cli landscape-map: for targets on a grid over the plot, the share of all starts whose
// steepest ascent ends within epsilon of the target, as a picture or CSV rows.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "landscape_args.h"
#include "output.h"
#include "raster.h"
#include "signals.h"
#include "analysis/landscape.h"
#include "analysis/reachmap.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

constexpr const char* kUsage =
    "Usage: kelvora-cli landscape-map --output FILE.png|FILE.csv [--neighbourhood N] [--step PX]\n"
    "                                 [--epsilon E] [--shard K/N] [--quiet]\n"
    "For every target on a grid of the plot (x and y relative to the base, each a multiple of PX in\n"
    "-199..199, the base included), the share of all 256^3 starts whose steepest ascent under the\n"
    "neighbourhood ends within E px of the target (what `landscape` calls starts_within).\n"
    "\n"
    "  --output FILE        required; .csv: one line x,y,local_optima,starts_within,share per target,\n"
    "                       top row first, then left to right, no header, LF line ends; .png: the\n"
    "                       399 x 399 map, one pixel a target offset (the top row y = +199), each\n"
    "                       grid target's share over the PX x PX cell around it: black for none,\n"
    "                       then dark blue (a share of 1e-6 or less) to yellow (1) on a log scale.\n"
    "                       Replaced once complete (through FILE.part and a rename)\n"
    "  --neighbourhood N    binary, gray or creep:S with S 1..128 (default gray)\n"
    "  --step PX            the grid's spacing in pixels, 1..199 (default 8: 49 x 49 targets)\n"
    "  --epsilon E          pixels, 0..1000 (default 0.5); within means distance <= E\n"
    "  --shard K/N          only the grid's targets K, K + N, K + 2N, ... in the order above (1 <= K\n"
    "                       <= N <= 10000), as CSV: the N shards' files concatenated in any order and\n"
    "                       sorted hold the rows of the whole grid, so a long map is made in pieces\n"
    "                       and on several machines\n"
    "  --quiet              no progress bar (it is drawn only on a terminal anyway)\n"
    "  --help               this text\n"
    "\n"
    "Cost: each target is one exhaustive enumeration on every core, about 0.4 s on two cores and\n"
    "220 MB; the default grid takes about 20 minutes, the 1 px grid (159,201 targets) most of a day.\n"
    "Ctrl-C stops at the next target and writes nothing.\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written, 2 bad arguments, 130 stopped.\n";

int Fail(const std::string& message) { return Refuse("landscape-map", message); }

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

struct Cell {
    int x = 0, y = 0;  // relative to the base, y up
    long long localOptima = 0, startsWithin = 0;
};

// The grid's targets, top row first, each row left to right.
std::vector<Cell> Grid(int step) {
    std::vector<Cell> cells;
    const int reach = kMaxTargetOffset / step * step;
    for (int y = reach; y >= -reach; y -= step)
        for (int x = -reach; x <= reach; x += step) cells.push_back({x, y});
    return cells;
}

// Dark blue at a share of 1e-6 or less, through green to yellow at 1; black for none.
Rgb ShareColour(long long starts) {
    if (starts == 0) return {0, 0, 0};
    const double t = std::clamp((std::log10(static_cast<double>(starts) / kPoseCount) + 6.0) / 6.0, 0.0, 1.0);
    return {static_cast<std::uint8_t>(std::lround(20 + 235 * t * t)), static_cast<std::uint8_t>(std::lround(30 + 200 * t)),
            static_cast<std::uint8_t>(std::lround(120 * (1 - t)))};
}

Raster DrawMap(const std::vector<Cell>& cells, int step) {
    Raster map(kReachMapSide, kReachMapSide, {255, 255, 255});
    for (const Cell& c : cells) {
        const int left = c.x + kMaxTargetOffset - step / 2, top = kMaxTargetOffset - c.y - step / 2;
        map.Fill(left, top, step, step, ShareColour(c.startsWithin));
    }
    return map;
}

std::string Csv(const std::vector<Cell>& cells) {
    std::string text;
    for (const Cell& c : cells) {
        text += std::to_string(c.x) + "," + std::to_string(c.y) + "," + std::to_string(c.localOptima) + "," +
                std::to_string(c.startsWithin) + "," + ExactText(static_cast<double>(c.startsWithin) / kPoseCount) + "\n";
    }
    return text;
}

}  // namespace

int kelvora::cli::LandscapeMapCommand(const std::vector<std::string>& args) {
    LandscapeArgs a;
    if (const std::string error = ParseLandscapeArgs(
            args, {"--output", "--neighbourhood", "--step", "--epsilon", "--shard", "--quiet", "--help"}, a);
        !error.empty())
        return Fail(error);
    if (a.help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    if (a.output.empty()) return Fail("--output FILE is required (a .csv or a .png name)");
    const bool csv = EndsWith(a.output, ".csv");
    if (!csv && !EndsWith(a.output, ".png")) return Fail("--output: " + Quoted(a.output) + " does not end in .png or .csv");
    if (a.neighbourhoods.size() > 1) return Fail("--neighbourhood: give one neighbourhood, not a list");
    if (a.shards > 1 && !csv) return Fail("--shard writes CSV rows; " + Quoted(a.output) + " is not a .csv name");
    const Neighbourhood neighbourhood = a.neighbourhoods.empty() ? *ParseNeighbourhood("gray") : a.neighbourhoods[0];

    OutputFile file;
    if (const std::string error = OpenOutput(a.output, file); !error.empty()) {
        std::fprintf(stderr, "kelvora-cli landscape-map: %s\n", error.c_str());
        return 1;
    }
    std::vector<Cell> cells;
    const std::vector<Cell> grid = Grid(a.step);
    for (std::size_t i = a.shard - 1; i < grid.size(); i += a.shards) cells.push_back(grid[i]);

    InstallStopSignals();
    ProgressBar bar(!a.quiet);
    DistanceTable table;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (StopFlag().load()) break;
        FillDistanceTable(GeometryFor(cells[i].x, cells[i].y), table);
        const LandscapeSummary s = AnalyseLandscape(table, neighbourhood, a.epsilon);
        cells[i].localOptima = s.localOptima;
        cells[i].startsWithin = s.startsWithin;
        if (bar.Due(i + 1 == cells.size()))
            bar.Draw(static_cast<long long>(i + 1), static_cast<long long>(cells.size()), "targets");
    }
    bar.Finish();
    if (StopFlag().load()) {
        std::fprintf(stderr, "kelvora-cli landscape-map: stopped by %s; nothing was written\n", StopSignalName());
        Abandon(file);
        return StopExitStatus();
    }
    std::string bytes;
    if (csv) {
        bytes = Csv(cells);
    } else if (!EncodePng(DrawMap(cells, a.step), &bytes)) {
        std::fprintf(stderr, "kelvora-cli landscape-map: %s: the PNG picture could not be encoded\n",
                     Printable(a.output).c_str());
        Abandon(file);
        return 1;
    }
    if (const std::string reason = WriteWhole(file, bytes); !reason.empty()) {
        std::fprintf(stderr, "kelvora-cli landscape-map: %s: write failed: %s\n", Printable(a.output).c_str(),
                     Printable(reason, SIZE_MAX).c_str());
        Abandon(file);
        return 1;
    }
    return FinishStdout();
}
