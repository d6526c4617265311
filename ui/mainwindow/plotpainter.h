#pragma once
// Painting of the plot: frame, base mark, axes, the latest generation's best arm (blue), the run's
// best arm (red), the reach circle and the target marker, in that order, each over the ones before.
// It takes everything it draws as parameters and keeps nothing between paints, so it paints into
// the dialog or, in tests, into a QImage.

#include <vector>

#include <QColor>
#include <optional>

#include <QImage>
#include <QPoint>
#include <QRect>

#include "model/arm.h"
#include "model/types.h"

class QPainter;

namespace kelvora::ui {

/// Every individual of one generation for the population layer: tips in client pixels (x right,
/// y down) and fitness in (0, 1], index for index.
struct PopulationCloud {
    std::vector<kelvora::TipPoint> tips;
    std::vector<double> fitness;
};

/// What one paint shows, read from the dialog and the solver state.
struct PlotScene {
    /// The plot in client pixels; Qt's right() and bottom() are its last column and row (499, 419).
    QRect plot;
    QPoint base;                   ///< the arm's base, (baseX, baseY)
    kelvora::ArmPose currentPose;  ///< best of the latest generation: blue
    kelvora::ArmPose elitePose;    ///< best of the run: red, over the blue arm
    QPoint target;                 ///< (targetX, targetY)
    /// Optional layer under the arms: a 3 x 3 dot at each tip, coloured by CloudColor, clipped to
    /// the inside of the frame. nullptr (the default) paints exactly the plot without it.
    const PopulationCloud* cloud = nullptr;
};

/// Colour of a dot of the population layer: the perceptually uniform viridis map (dark violet to
/// yellow) at 1 + log10(fitness) / log10(401), clamped to 0..1, so that a tip 400 px or more from
/// the target is the darkest and one on it the brightest, with equal steps for equal ratios.
QColor CloudColor(double fitness);
/// Optional layers over the plot; without any (the default) the plot is painted exactly as before.
struct PlotOverlays {
    /// The targets no pose reaches, a translucent picture drawn with its top-left pixel at
    /// washOrigin, clipped to the inside of the frame, under the base mark, the axes and the arms.
    /// Null: none.
    QImage unreachableWash;
    QPoint washOrigin;
    /// The landscape map across targets (the landscape window's), translucent, drawn like the
    /// wash and over it with its top-left pixel at landscapeOrigin. Null: none.
    QImage landscapeMap;
    QPoint landscapeOrigin;
    /// The best pose of the whole search space for the target: a dashed green arm under the blue
    /// and red ones.
    std::optional<kelvora::ArmPose> optimumPose;
    /// The other poses that reach the target as nearly (within ε): thin translucent green arms under
    /// the optimum's, the family of solutions three joints leave for two coordinates. Empty: none.
    std::vector<kelvora::ArmPose> familyPoses;
};

/// Paints scene with painter, drawing baseMark (bitmap IDB_BASE_MARK) unchanged with its top-left
/// pixel at base - (2, 2). A null baseMark leaves the mark out. Leaves painter's state as it was.
void PaintPlot(QPainter& painter, const PlotScene& scene, const QImage& baseMark, const PlotOverlays& overlays = {});

/// Draws the links of pose from base through J1 and J2 to the tip with painter's pen.
void DrawArm(QPainter& painter, const kelvora::ArmPose& pose, QPoint base);

}  // namespace kelvora::ui
