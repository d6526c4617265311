// kelvora-cli landscape-map: for targets on a grid over the plot, the share of all starts whose
// steepest ascent ends within epsilon of the target, as a picture or CSV rows.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "landscape_args.h"
#include "output.h"
#include "raster.h"
#include "reachmap_picture.h"
#include "signals.h"
#include "session/landscape_map.h"
#include "analysis/landscape.h"
#include "analysis/reachmap.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return Refuse("landscape-map", message); }

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

using Cell = LandscapeMapCell;

Rgb ToRgb(const session::MapRgb& c) { return {c[0], c[1], c[2]}; }

Raster DrawMap(const std::vector<Cell>& cells, int step) {
    Raster map(kReachMapSide, kReachMapSide, {255, 255, 255});
    for (const Cell& c : cells) {
        const int left = c.x + kMaxTargetOffset - step / 2, top = kMaxTargetOffset - c.y - step / 2;
        map.Fill(left, top, step, step, ToRgb(session::LandscapeShareColour(c.startsWithin)));
    }
    return map;
}

// The map with axes in px relative to the base and its colour bar, the reach map's layout.
Raster DrawFigure(const std::vector<Cell>& cells, int step, const Neighbourhood& n, double epsilon,
                  const FigureFonts& fonts) {
    MapFigureParts parts;
    parts.title = "Landscape map: starts that climb to within " + ExactText(epsilon) + " px (" + NeighbourhoodName(n) + ")";
    parts.note = "black: no start \u00b7 one cell per target every " + std::to_string(step) + " px \u00b7 square: the base";
    parts.barTitle = "share of the 256\u00b3 starts";
    parts.barColour = [](double t) { return ToRgb(session::LandscapeToneColour(t)); };
    const char* labels[] = {"1e-6", "1e-5", "1e-4", "0.001", "0.01", "0.1", "1"};
    for (int k = 0; k <= 6; ++k) parts.barTicks.emplace_back(k / 6.0, labels[k]);
    return DrawMapFigure(DrawMap(cells, step), parts, fonts);
}

std::string Csv(const std::vector<Cell>& cells) {
    std::string text;
    for (const Cell& c : cells) text += session::LandscapeMapRow(c);
    return text;
}

// The first line of FILE.partial: what map its rows belong to.
std::string PartialHeader(const LandscapeArgs& a, const Neighbourhood& n) {
    return "landscape-map " + NeighbourhoodName(n) + " step " + std::to_string(a.step) + " epsilon " +
           ExactText(a.epsilon) + " shard " + std::to_string(a.shard) + "/" + std::to_string(a.shards) + "\n";
}

// Reads the rows of FILE.partial being resumed: the header must be this map's, each whole row the
// next target's. A last line without its line end (cut short) is dropped. Returns "" with the kept
// rows' numbers in cells[0..kept) and their bytes (the header's included) in keep, or the refusal.
std::string ReadPartial(const std::string& path, const std::string& header, std::vector<Cell>& cells,
                        std::size_t& kept, long long& keep) {
    const std::string shown = Printable(path);
    std::string text;
    if (const std::string reason = ReadInput(path, text); !reason.empty())
        return shown + ": cannot read it to resume: " + Printable(reason, SIZE_MAX);
    kept = 0;
    keep = 0;
    if (text.empty() || (text.size() < header.size() && header.compare(0, text.size(), text) == 0)) return {};
    if (text.compare(0, header.size(), header) != 0)
        return shown + ": line 1 is not " + Quoted(header.substr(0, header.size() - 1)) +
               " (another map's rows; resume with the same arguments)";
    std::size_t at = header.size();
    for (long long line = 2;; ++line) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // nothing more, or a row cut short: made again
        const std::string row = text.substr(at, end + 1 - at);
        const std::string where = shown + ": line " + std::to_string(line);
        if (kept == cells.size()) return where + " is one row more than the map has";
        Cell c;
        if (const std::string fault = session::ReadLandscapeMapRow(std::string_view(row).substr(0, row.size() - 1), c);
            !fault.empty())
            return where + " " + fault;
        // Each row is the next target's, in the writer's very bytes (the share exact).
        if (c.x != cells[kept].x || c.y != cells[kept].y || session::LandscapeMapRow(c) != row)
            return where + " is " + Quoted(row.substr(0, row.size() - 1)) + ", expected the row of target " +
                   std::to_string(cells[kept].x) + "," + std::to_string(cells[kept].y);
        cells[kept++] = c;
        at = end + 1;
    }
    keep = static_cast<long long>(at);
    return {};
}

}  // namespace

int kelvora::cli::LandscapeMapCommand(const std::vector<std::string>& args) {
    LandscapeArgs a;
    const FlagTable table = LandscapeMapTable(a);
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return Fail(parsed.error);
    if (parsed.stopped) {
        std::fputs(HelpText(table).c_str(), stdout);
        return FinishStdout();
    }
    if (a.output.empty()) return Fail("--output FILE is required (a .csv or a .png name)");
    const bool csv = EndsWith(a.output, ".csv");
    if (!csv && !EndsWith(a.output, ".png")) return Fail("--output: " + Quoted(a.output) + " does not end in .png or .csv");
    if (a.neighbourhoods.size() > 1) return Fail("--neighbourhood: give one neighbourhood, not a list");
    if (a.shards > 1 && !csv) return Fail("--shard writes CSV rows; " + Quoted(a.output) + " is not a .csv name");
    if (a.plain && csv) return Fail("--plain applies to a .png picture, not to " + Quoted(a.output));
    const Neighbourhood neighbourhood = a.neighbourhoods.empty() ? *ParseNeighbourhood("gray") : a.neighbourhoods[0];

    // The fonts before anything is written, so that a machine without them is told at once.
    std::optional<Typeface> labels, titles;
    if (!csv && !a.plain) {
        labels.emplace("DejaVu Sans", 12);
        titles.emplace("DejaVu Sans", 13);
        if (const std::string& error = !labels->error().empty() ? labels->error() : titles->error(); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli landscape-map: cannot label the figure: %s; --plain writes the map alone\n",
                         error.c_str());
            return 1;
        }
    }
    OutputFile file, partial;
    const std::string partialPath = a.output + ".partial";
    for (auto [out, path] : {std::pair<OutputFile*, const std::string*>{&file, &a.output}, {&partial, &partialPath}}) {
        if (out == &partial && !file.regular) break;  // a device (/dev/null) is written whole, rows not kept
        const std::string error = out == &partial ? OpenOwnFile(*path, *out) : OpenOutput(*path, *out);
        if (!error.empty()) {
            std::fprintf(stderr, "kelvora-cli landscape-map: %s\n", error.c_str());
            Abandon(file);
            Abandon(partial);
            return OpenFailureStatus(*out);
        }
    }
    std::vector<Cell> cells;
    const std::vector<Cell> grid = LandscapeMapGrid(a.step);
    for (std::size_t i = a.shard - 1; i < grid.size(); i += a.shards) cells.push_back(grid[i]);

    const std::string header = PartialHeader(a, neighbourhood);
    std::size_t kept = 0;
    long long whole = 0;  // bytes of the header and the whole rows in FILE.partial
    if (a.resume && partial.regular && !partial.created) {
        if (const std::string error = ReadPartial(partialPath, header, cells, kept, whole); !error.empty()) {
            Abandon(file);
            Keep(partial);  // kept as it is
            Abandon(partial);
            return Fail(error);
        }
    }
    const auto failed = [&](const std::string& shown, int error) {
        std::fprintf(stderr, "kelvora-cli landscape-map: %s: write failed: %s\n", Printable(shown).c_str(),
                     std::strerror(error));
        KeepWholeOnSecondSignal(-1, 0);
        Abandon(file);
        Abandon(partial);
        return 1;
    };
    // The rows so far stay; a new or restarted file begins with the header.
    if (partial.regular && (::ftruncate(partial.fd, whole) != 0 || ::lseek(partial.fd, whole, SEEK_SET) != whole))
        return failed(partialPath, errno);
    if (whole == 0 && partial.fd >= 0) {
        if (!WriteAll(partial.fd, header)) return failed(partialPath, errno);
        whole = static_cast<long long>(header.size());
    }
    Keep(partial);  // it holds the header: kept from now on

    InstallStopSignals();
    if (partial.regular) KeepWholeOnSecondSignal(partial.fd, whole);
    ProgressBar bar(!a.quiet);
    int writeError = 0;
    kept = ComputeLandscapeMap(cells, kept, neighbourhood, a.epsilon, StopFlag(), [&](std::size_t done) {
        const std::string row = session::LandscapeMapRow(cells[done - 1]);
        if (partial.fd >= 0 && !WriteAll(partial.fd, row)) {
            writeError = errno;
            return false;
        }
        whole += static_cast<long long>(row.size());
        if (partial.regular) KeepWholeOnSecondSignal(partial.fd, whole);
        if (bar.Due(done == cells.size()))
            bar.Draw(static_cast<long long>(done), static_cast<long long>(cells.size()), "targets");
        return true;
    });
    if (writeError != 0) {
        bar.Finish();
        if (partial.regular) (void)::ftruncate(partial.fd, whole);
        return failed(partialPath, writeError);
    }
    bar.Finish();
    KeepWholeOnSecondSignal(-1, 0);
    if (kept < cells.size()) {
        std::fprintf(stderr,
                     "kelvora-cli landscape-map: stopped by %s with %zu of %zu targets done; %s holds their rows; "
                     "add --resume to continue\n",
                     StopSignalName(), kept, cells.size(), Printable(partialPath).c_str());
        Abandon(file);
        Abandon(partial);
        return StopExitStatus();
    }
    std::string bytes;
    if (csv) {
        bytes = Csv(cells);
    } else if (!EncodePng(a.plain ? DrawMap(cells, a.step) : DrawFigure(cells, a.step, neighbourhood, a.epsilon, {*labels, *titles}),
                          &bytes)) {
        std::fprintf(stderr, "kelvora-cli landscape-map: %s: the PNG picture could not be encoded\n",
                     Printable(a.output).c_str());
        Abandon(file);
        Abandon(partial);
        return 1;
    }
    if (const std::string reason = WriteWhole(file, bytes); !reason.empty()) {
        std::fprintf(stderr, "kelvora-cli landscape-map: %s: write failed: %s\n", Printable(a.output).c_str(),
                     Printable(reason, SIZE_MAX).c_str());
        Abandon(file);
        Abandon(partial);
        return 1;
    }
    // The map is whole: its rows' file goes.
    if (partial.regular) (void)::unlink(partialPath.c_str());
    Abandon(partial);
    return FinishStdout();
}
