#pragma once
// The landscape map's rows and colours, for both front ends: the CSV rows `kelvora-cli
// landscape-map` writes (and FILE.partial holds after its first line) and the window reads, one
// writer and one reader with one wording for each fault, and the colour a share of starts wears in
// the command's picture and over the window's plot.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/landscape.h"

namespace kelvora::session {

/// The row of a cell, with its line end: "x,y,local_optima,starts_within,share\n", the share
/// startsWithin / 256^3 as the shortest text that reads back exactly.
std::string LandscapeMapRow(const LandscapeMapCell& cell);

/// Reads one row (without its line end) into cell. Returns "" or what is wrong, for a message
/// "line N " + it:
///   "is not a row x,y,local_optima,starts_within,share"  (not five fields; x, y or a count not an
///                                                         integer; the share not a number in 0..1)
///   "names the target X,Y, outside -199..199"
///   "holds a count outside 0..16777216"                  (local_optima or starts_within)
/// The share is not checked against starts_within.
std::string ReadLandscapeMapRow(std::string_view row, LandscapeMapCell& cell);

/// Reads the rows of a map (LF line ends, a CR before one allowed, the last line's optional), in
/// any order, as the shards' files concatenated hold them, appending them to cells. Returns "" or
/// the fault, the first one met: "line N " + what ReadLandscapeMapRow says,
/// "line N gives the target X,Y again (line M gave it)", "it holds no rows", or, in a map of 8 rows
/// or more, "line N names the target X,Y, off the grid of S px of the other rows".
std::string ReadLandscapeMapRows(std::string_view text, std::vector<LandscapeMapCell>& cells);

/// The grid's spacing in px of a map's cells: the greatest common divisor of their offsets (1 when
/// every offset is 0 or there are none).
int LandscapeMapStep(const std::vector<LandscapeMapCell>& cells);

/// A colour: red, green and blue, 0..255 each.
using MapRgb = std::array<std::uint8_t, 3>;

/// The colour at t (0..1) of the map's log scale: dark blue (20, 30, 120) at 0 through green to
/// yellow (255, 230, 0) at 1; red 20 + 235 t^2, green 30 + 200 t, blue 120 (1 - t), rounded.
MapRgb LandscapeToneColour(double t);

/// The colour of a target whose steepest ascents from startsWithin of the 256^3 starts end within
/// epsilon: black for none, else LandscapeToneColour at t = (log10(share) + 6) / 6 clamped to
/// 0..1, so a share of 1e-6 or less is dark blue and all starts yellow.
MapRgb LandscapeShareColour(long long startsWithin);

}  // namespace kelvora::session
