#pragma once
// A slice of the pose space as a picture: angle 2 across, angle 3 up, at one angle 1, each cell
// coloured by its distance to the target on a log scale, with a colour bar, the local optima of a
// neighbourhood, the global optimum and a population drawn over it. A function of its inputs only.

#include <QImage>
#include <QPoint>

#include <vector>

namespace kelvora::ui {

/// What one slice shows. Cells are indexed angle2 * 256 + angle3.
struct LandscapeSlice {
    std::vector<float> distance;        ///< 65536 distances in pixels, >= 0
    std::vector<QPoint> localOptima;    ///< (angle 2, angle 3) of the local optima in the slice
    bool hasOptimum = false;            ///< the global optimum lies in the slice
    QPoint optimum;                     ///< its (angle 2, angle 3)
    std::vector<QPoint> population;     ///< (angle 2, angle 3) of the individuals drawn
    double maxDistance = 400.0;         ///< the colour bar's top, pixels (> 0)
};

/// Pixels per cell and the picture's layout.
inline constexpr int kSliceCell = 2;
inline constexpr int kSliceSide = 256 * kSliceCell;   ///< the map's side; cell (a2, a3) at column a2 * 2, row (255 - a3) * 2
inline constexpr int kSliceBarLeft = kSliceSide + 12;  ///< the colour bar: distance 0 at its bottom row
inline constexpr int kSliceBarWidth = 16;
inline constexpr int kSliceWidth = kSliceBarLeft + kSliceBarWidth;

/// The colour of a distance: light yellow on the target, darkening to deep blue at maxDistance,
/// logarithmic in 1 + distance.
QRgb LandscapeColour(double distance, double maxDistance);

/// The picture: kSliceWidth x kSliceSide pixels. Local optima are red cells, the global optimum a
/// green ring of 7 x 7 pixels around its cell, each individual a black 3 x 3 dot on its cell.
QImage DrawLandscapeSlice(const LandscapeSlice& slice);

}  // namespace kelvora::ui
