#pragma once
// The landscape map over the main window's plot: read from the CSV `kelvora-cli landscape-map`
// writes, or computed coarsely, both through the code the command uses (session/landscape_map.h,
// analysis/landscape.h), and drawn here as a translucent picture of one pixel per target.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

#include "analysis/landscape.h"

namespace kelvora::ui {

/// The cells of a landscape-map CSV, read as session::ReadLandscapeMapRows reads them (rows in
/// any order, as the shards' files concatenated hold them). Empty with *error set to its message
/// ("line N ...") when it refuses them.
std::vector<LandscapeMapCell> ParseLandscapeMap(const QByteArray& text, QString* error);

/// The colour of a share of starts (startsWithin of the 256^3), session::LandscapeShareColour's.
QRgb LandscapeMapColour(long long startsWithin);

/// The overlay: 399 x 399 pixels, the top-left the target (-199, +199) from the base, each cell's
/// colour over the step x step square around it at alpha 150 of 255 (premultiplied), clear
/// where no cell lies.
QImage LandscapeMapOverlay(const std::vector<LandscapeMapCell>& cells, int step);

/// The coarse map of this many px (1..199) for neighbourhood at epsilon 0.5 px, each target
/// kelvora::ComputeLandscapeMap's; progress(done, total) after each target. Stops early, returning
/// the cells so far, once stop is raised.
std::vector<LandscapeMapCell> ComputeLandscapeMap(int step, const Neighbourhood& neighbourhood,
                                                  const std::function<void(int done, int total)>& progress,
                                                  const std::atomic<bool>& stop);

}  // namespace kelvora::ui
