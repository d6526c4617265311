#pragma once
// The reach map as pictures: the plain map (one pixel per target) and the figure that frames it
// with axes in pixels relative to the base, the base mark, the arm's reach circle and a colour bar.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "raster.h"

namespace kelvora {
struct ReachMap;
}

namespace kelvora::cli {

/// Above this optimum distance (px) a target counts as out of reach (the window's grey wash).
inline constexpr double kReachLimit = 0.5;

/// The colour of a target whose optimum distance is `distance` px (>= 0): white on the target,
/// greyer up to kReachLimit, then orange darkening to deep red, reached at 100.5 px and beyond.
Rgb ReachColour(double distance);

/// The plain map: 399 x 399 pixels, one per target, the top row dy = +199, the left column dx = -199.
Raster DrawReachMap(const ReachMap& map);

/// Where the parts of the figure lie, in its pixels.
struct ReachFigureLayout {
    int width = 600;      ///< the whole figure
    int height = 516;
    int mapLeft = 72;     ///< the map's top-left pixel: the target dx = -199, dy = +199
    int mapTop = 44;
    int barLeft = 504;    ///< the colour bar: distance 0 on its bottom row, 100.5 px on its top row
    int barWidth = 20;
};
inline constexpr ReachFigureLayout kReachFigure{};

/// The colour bar's row (figure pixels) that stands for `distance` px: its scale is linear up to
/// kReachLimit (about the bar's lowest tenth), logarithmic in distance - kReachLimit above.
int ColourBarRow(double distance);

/// The fonts the figure's labels are drawn in.
struct FigureFonts {
    const Typeface& labels;  ///< tick labels and notes, about 12 px
    const Typeface& titles;  ///< the title and the axes' names, about 13 px
};

/// What a figure of a 399 x 399 map over the plot shows besides the map itself.
struct MapFigureParts {
    std::string title;     ///< above the map
    std::string note;      ///< one line below the axis names
    std::string barTitle;  ///< beside the colour bar, upwards
    std::function<Rgb(double share)> barColour;            ///< the bar's colour at a share 0 (bottom row) .. 1 (top row)
    std::vector<std::pair<double, std::string>> barTicks;  ///< labelled shares of the bar's height, 0..1
    bool reachCircle = false;                              ///< the dashed circle of the arm's reach over the map
};

/// The colour bar's row (figure pixels) that stands for share (0..1) of its height.
int ColourBarRowOfShare(double share);

/// A map's figure in kReachFigure's layout: plain (399 x 399, the top row dy = +199) at (mapLeft,
/// mapTop), the base mark (4 x 4 black) and, if asked, the reach circle over it; a frame with ticks
/// every 50 px labelled relative to the base with y up, the axes' names; the colour bar with its
/// ticks at ColourBarRowOfShare, the title and the note.
Raster DrawMapFigure(const Raster& plain, const MapFigureParts& parts, const FigureFonts& fonts);

/// The figure: the plain map's pixels at (mapLeft, mapTop), except where the base mark (a 4 x 4
/// black square, as in the window) and the dashed reach circle (radius 200 px) lie over them;
/// a frame with ticks every 50 px, labelled relative to the base with y up; a colour bar whose
/// labelled distances sit at the rows ColourBarRow gives; a title and a note on the colours.
Raster DrawReachFigure(const ReachMap& map, const FigureFonts& fonts);

}  // namespace kelvora::cli
