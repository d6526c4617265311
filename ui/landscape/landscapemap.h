#pragma once
// The landscape map over the main window's plot: read from the CSV `kelvora-cli landscape-map`
// writes, or computed coarsely here, and drawn as a translucent picture of one pixel per target.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

#include "analysis/landscape.h"

namespace kelvora::ui {

/// The cells of a landscape-map CSV (x,y,local_optima,starts_within,share lines, no header, in any
/// order, as the shards' files concatenated are). Empty with *error set (the line, what is wrong)
/// for a line that is not such a row, a target outside -199..199, a count outside 0..256^3, a
/// target given twice or a file without rows.
std::vector<LandscapeMapCell> ParseLandscapeMap(const QByteArray& text, QString* error);

/// The grid's spacing in px: the greatest common divisor of the cells' offsets (1 when every
/// offset is 0).
int LandscapeMapStep(const std::vector<LandscapeMapCell>& cells);

/// The colour of a share of starts (startsWithin of the 256^3): black for none, then dark blue (a
/// share of 1e-6 or less) to yellow (1) on a log scale, as the command's picture has it.
QRgb LandscapeMapColour(long long startsWithin);

/// The overlay: 399 x 399 pixels, the top-left the target (-199, +199) from the base, each cell's
/// colour over the step x step square around it at alpha 150 of 255 (premultiplied), clear
/// where no cell lies.
QImage LandscapeMapOverlay(const std::vector<LandscapeMapCell>& cells, int step);

/// The coarse map of this many px (1..199) for neighbourhood, each target an exhaustive
/// enumeration on every core; progress(done, total) after each target. Stops early, returning
/// the cells so far, once stop is raised.
std::vector<LandscapeMapCell> ComputeLandscapeMap(int step, const Neighbourhood& neighbourhood,
                                                  const std::function<void(int done, int total)>& progress,
                                                  const std::atomic<bool>& stop);

}  // namespace kelvora::ui
