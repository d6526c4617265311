#pragma once
// A slice of the pose space as a picture: angle 2 across, angle 3 up, at one angle 1, each cell
// coloured by its distance to the target on a log scale, with a colour bar, the local optima of a
// neighbourhood, the outlines of their basins, the global optimum and a population drawn over it.
// Functions of their inputs only.

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <vector>

#include "ga/algorithm.h"
#include "model/types.h"

namespace kelvora::ui {

/// What one slice shows. Cells are indexed angle2 * 256 + angle3.
struct LandscapeSlice {
    std::vector<float> distance;        ///< 65536 distances in pixels, >= 0
    std::vector<QPoint> localOptima;    ///< (angle 2, angle 3) of the local optima in the slice
    bool hasOptimum = false;            ///< the global optimum lies in the slice
    QPoint optimum;                     ///< its (angle 2, angle 3)
    std::vector<QPoint> population;     ///< (angle 2, angle 3) of the individuals drawn
    double maxDistance = 400.0;         ///< the colour bar's top, pixels (> 0)
    std::vector<std::uint8_t> edges;    ///< 65536 BasinEdges bits, or empty: no outlines
    std::vector<std::uint8_t> lit;      ///< 65536 flags, or empty; when given, cells without theirs are dimmed
};

/// Pixels per cell and the picture's layout.
inline constexpr int kSliceCell = 2;
inline constexpr int kSliceSide = 256 * kSliceCell;   ///< the map's side; cell (a2, a3) at column a2 * 2, row (255 - a3) * 2
inline constexpr int kSliceBarLeft = kSliceSide + 12;  ///< the colour bar: distance 0 at its bottom row
inline constexpr int kSliceBarWidth = 16;
inline constexpr int kSliceWidth = kSliceBarLeft + kSliceBarWidth;

/// The colour of a basin's outline.
inline constexpr QRgb kBasinEdgeColour = 0xff505050;

/// The picture: kSliceWidth x kSliceSide pixels, each cell coloured by its distance, light yellow
/// on the target darkening to deep blue at maxDistance, logarithmic in 1 + distance. Basin outlines are 1 px lines in kBasinEdgeColour
/// on the last column (an edge to the right) or the first row (an edge above) of a cell's 2 x 2
/// block; unlit cells at 40 % of their brightness; local optima red cells, the global optimum a
/// green ring of 7 x 7 pixels around its cell, each individual a black 3 x 3 dot on its cell.
QImage DrawLandscapeSlice(const LandscapeSlice& slice);

/// Bits of BasinEdges: the cell's attractor differs from that of the cell to its right (angle 2 + 1)
/// or of the cell above it (angle 3 + 1).
inline constexpr std::uint8_t kEdgeRight = 1, kEdgeUp = 2;

/// The outline of the basins in a side x side slice whose cell (a2, a3) has attractor
/// attractor[a2 * side + a3]: per cell its kEdgeRight and kEdgeUp bits; the last column and the
/// top row have no neighbour there and no bit.
std::vector<std::uint8_t> BasinEdges(const std::vector<std::uint32_t>& attractor, int side);

/// The poses of 24-bit genotypes as the run decodes them: gene k is the byte at bits 16 - 8k up,
/// taken as it is (binary) or Gray-decoded (gray).
std::vector<ArmPose> DecodeGenotypes(const std::vector<std::uint32_t>& genotypes, Encoding encoding);

/// The (angle 2, angle 3) of the individuals whose angle 1 lies within band (>= 0) of angle1,
/// |a1 - angle1| <= band with no wrap at 0 and 255, in the population's order.
std::vector<QPoint> PopulationInBand(const std::vector<ArmPose>& population, int angle1, int band);

}  // namespace kelvora::ui
