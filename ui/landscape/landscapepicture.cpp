#include "landscape/landscapepicture.h"

#include <algorithm>
#include <cmath>

namespace kelvora::ui {

QRgb LandscapeColour(double distance, double maxDistance) {
    const double t = std::clamp(std::log1p(std::max(distance, 0.0)) / std::log1p(maxDistance), 0.0, 1.0);
    const auto mix = [t](int near, int far) { return static_cast<int>(std::lround(near + (far - near) * t)); };
    return qRgb(mix(255, 16), mix(248, 32), mix(190, 96));
}

QImage DrawLandscapeSlice(const LandscapeSlice& slice) {
    QImage image(kSliceWidth, kSliceSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto cell = [&](int a2, int a3, QRgb colour) {
        for (int dy = 0; dy < kSliceCell; ++dy)
            for (int dx = 0; dx < kSliceCell; ++dx) image.setPixel(a2 * kSliceCell + dx, (255 - a3) * kSliceCell + dy, colour);
    };
    const auto dot = [&](int cx, int cy, int half, QRgb colour, bool ring) {
        for (int y = cy - half; y <= cy + half; ++y)
            for (int x = cx - half; x <= cx + half; ++x) {
                const bool edge = std::abs(x - cx) == half || std::abs(y - cy) == half;
                if ((!ring || edge) && x >= 0 && y >= 0 && x < kSliceSide && y < kSliceSide) image.setPixel(x, y, colour);
            }
    };
    if (slice.distance.size() == 256u * 256u)
        for (int a2 = 0; a2 < 256; ++a2)
            for (int a3 = 0; a3 < 256; ++a3) cell(a2, a3, LandscapeColour(slice.distance[a2 * 256 + a3], slice.maxDistance));
    for (const QPoint& p : slice.localOptima) cell(p.x(), p.y(), qRgb(220, 30, 30));
    // A cell's centre pixel: the lower right of its 2 x 2 block.
    const auto centre = [](const QPoint& p) { return QPoint(p.x() * kSliceCell + 1, (255 - p.y()) * kSliceCell + 1); };
    for (const QPoint& p : slice.population) dot(centre(p).x(), centre(p).y(), 1, qRgb(0, 0, 0), false);
    if (slice.hasOptimum) dot(centre(slice.optimum).x(), centre(slice.optimum).y(), 3, qRgb(0, 170, 60), true);
    for (int row = 0; row < kSliceSide; ++row) {
        const double share = static_cast<double>(kSliceSide - 1 - row) / (kSliceSide - 1);
        const double distance = std::expm1(share * std::log1p(slice.maxDistance));
        for (int x = kSliceBarLeft; x < kSliceWidth; ++x) image.setPixel(x, row, LandscapeColour(distance, slice.maxDistance));
    }
    return image;
}

}  // namespace kelvora::ui
