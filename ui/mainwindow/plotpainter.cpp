#include "mainwindow/plotpainter.h"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QVector>
#include <qdrawutil.h>

#include "model/arm.h"

// Pixel rules. The plot has always been drawn with the Windows GDI, and its pixels are kept:
// - A 1-pixel line from a to b there (LineTo) leaves out its end pixel b. Qt's drawLine includes
//   it with the default square cap, but leaves it out with a flat cap, so the 1-pixel axes pen is
//   a flat-capped cosmetic pen and its lines are given their true end points.
// - A rectangle or ellipse given by its box there covers left..right-1 and top..bottom-1; an
//   aliased Qt outline of QRect(x, y, w, h) covers x..x+w. So boxes are passed one pixel smaller.
// - A pen wider than one pixel is stroked as an outline with round ends, both ends included, so
//   the 2-pixel arm pens are round-capped Qt pens and their lines keep their end points.
// - The dotted 1-pixel pen runs three pixels on, three off, and draws its gaps in the background
//   colour, opaque white by default: the reach circle is black dashes with white gaps over whatever
//   lies under it (frame, axes, arms). Qt's opaque background mode, background white, does the same.
// No antialiasing anywhere.

namespace kelvora::ui {

namespace {

// The box left..right-1 x top..bottom-1 of a shape given as the platform's (left, top, right,
// bottom), as the rectangle whose aliased Qt outline covers exactly those pixels.
QRect OutlineBox(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left - 1, bottom - top - 1);
}

// Angle in 1/16 degree, counter-clockwise from 3 o'clock, of the ray from the centre of box through
// point: where an arc given by that start point begins.
int ArcAngle(const QRect& box, QPoint point) {
    const double cx = (box.left() + box.right() + 1) / 2.0;
    const double cy = (box.top() + box.bottom() + 1) / 2.0;
    const double degrees = std::atan2(cy - point.y(), point.x() - cx) * 180.0 / 3.14159265358979323846;
    return static_cast<int>(std::lround(degrees * 16.0));
}

QPoint ToQPoint(const kelvora::PixelPoint& p) { return QPoint(p.x, p.y); }

// Viridis at 0, 1/8, ..., 1; between them the map is interpolated linearly.
constexpr QRgb kViridis[9] = {0x440154, 0x472d7b, 0x3b528b, 0x2c728e, 0x21918c, 0x28ae80, 0x5ec962, 0xaddc30, 0xfde725};

void PaintCloud(QPainter& painter, const PlotScene& scene) {
    const PopulationCloud& cloud = *scene.cloud;
    // Inside the one-pixel frame only.
    painter.save();
    painter.setClipRect(scene.plot.adjusted(1, 1, -1, -1));
    painter.setPen(Qt::NoPen);
    const std::size_t n = std::min(cloud.tips.size(), cloud.fitness.size());
    for (std::size_t i = 0; i < n; ++i) {
        const kelvora::TipPoint& tip = cloud.tips[i];
        if (!(std::fabs(tip.x) < 1e6 && std::fabs(tip.y) < 1e6)) continue;
        painter.fillRect(QRect(static_cast<int>(std::floor(tip.x)) - 1, static_cast<int>(std::floor(tip.y)) - 1, 3, 3),
                         CloudColor(cloud.fitness[i]));
    }
    painter.restore();
}

}  // namespace

QColor CloudColor(double fitness) {
    double t = fitness > 0.0 ? 1.0 + std::log10(fitness) / std::log10(401.0) : 0.0;
    t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0);
    const double at = t * 8.0;
    const int k = std::min(7, static_cast<int>(at));
    const double f = at - k;
    const QColor a(kViridis[k]), b(kViridis[k + 1]);
    const auto mix = [f](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * f)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

void DrawArm(QPainter& painter, const kelvora::ArmPose& pose, QPoint base) {
    const kelvora::ArmJoints joints = kelvora::ArmJointPoints(pose, base.x(), base.y());
    const QPoint j1 = ToQPoint(joints.j1);
    const QPoint j2 = ToQPoint(joints.j2);
    const QPoint j3 = ToQPoint(joints.j3);
    // Three separate strokes, as three LineTo calls from the moving current position make.
    painter.drawLine(base, j1);
    painter.drawLine(j1, j2);
    painter.drawLine(j2, j3);
}

void PaintPlot(QPainter& painter, const PlotScene& scene, const QImage& baseMark, const PlotOverlays& overlays) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QColor black(0, 0, 0);
    const QColor blue(0, 0, 255);
    const QColor red(255, 0, 0);
    const int left = scene.plot.left();
    const int top = scene.plot.top();
    const int right = scene.plot.left() + scene.plot.width();  // one past the last column
    const int bottom = scene.plot.top() + scene.plot.height();
    const QPoint base = scene.base;

    // Frame: one pixel along the inside of the plot.
    qDrawPlainRect(&painter, scene.plot, black, 1, nullptr);

    // The unreachable wash, blended over the background inside the frame.
    if (!overlays.unreachableWash.isNull()) {
        painter.save();
        painter.setClipRect(scene.plot.adjusted(1, 1, -1, -1));
        painter.drawImage(overlays.washOrigin, overlays.unreachableWash);
        painter.restore();
    }
    if (!overlays.landscapeMap.isNull()) {
        painter.save();
        painter.setClipRect(scene.plot.adjusted(1, 1, -1, -1));
        painter.drawImage(overlays.landscapeOrigin, overlays.landscapeMap);
        painter.restore();
    }

    // Base mark: the bitmap copied pixel for pixel.
    if (!baseMark.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(base - QPoint(2, 2), baseMark);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    // Axes through the base, the full width and height of the plot.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(black, 0, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPoint(left, base.y()), QPoint(right, base.y()));  // ends at column right - 1
    painter.drawLine(QPoint(base.x(), top), QPoint(base.x(), bottom));  // ends at row bottom - 1

    if (scene.cloud) PaintCloud(painter, scene);
    // The family within ε, faint, under the optimum.
    if (!overlays.familyPoses.empty()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 150, 60, 40), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const kelvora::ArmPose& pose : overlays.familyPoses) DrawArm(painter, pose, base);
        painter.restore();
    }
    // The optimum arm, dashed green, under the run's two.
    if (overlays.optimumPose) {
        painter.setPen(QPen(QColor(0, 160, 0), 2, Qt::DashLine, Qt::FlatCap, Qt::RoundJoin));
        DrawArm(painter, *overlays.optimumPose, base);
    }

    // The two arms; where they coincide the red one covers the blue one.
    painter.setPen(QPen(blue, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    DrawArm(painter, scene.currentPose, base);
    painter.setPen(QPen(red, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    DrawArm(painter, scene.elitePose, base);

    // Reach circle, radius 200 around the base: a whole dotted ellipse starting and ending at the
    // ray towards the client area's corner (0, 0), counter-clockwise; black dashes, white gaps.
    QPen dotted(black, 0, Qt::CustomDashLine, Qt::FlatCap);
    dotted.setDashPattern(QVector<qreal>{3, 3});
    painter.setPen(dotted);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(255, 255, 255));
    const QRect reach = OutlineBox(base.x() - 200, base.y() - 200, base.x() + 200, base.y() + 200);
    // Traced through the pixels' centres: the box's own edges would put the right and bottom of
    // the circle one pixel inside, on columns 498 and rows 418 instead of the frame's 499 and 419.
    painter.drawArc(QRectF(reach).translated(0.5, 0.5), ArcAngle(reach, QPoint(0, 0)), 360 * 16);
    painter.setBackgroundMode(Qt::TransparentMode);

    // Target marker, last: a red circle filled white around the target.
    painter.setPen(QPen(red, 1, Qt::SolidLine));
    painter.setBrush(QColor(255, 255, 255));
    const QPoint t = scene.target;
    painter.drawEllipse(OutlineBox(t.x() - 4, t.y() - 4, t.x() + 4, t.y() + 4));

    painter.restore();
}

}  // namespace kelvora::ui
