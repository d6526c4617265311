#include "landscape/landscapepicture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kelvora::ui {

QImage DrawLandscapeSlice(const LandscapeSlice& slice) {
    QImage image(kSliceWidth, kSliceSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    QRgb* const bits = reinterpret_cast<QRgb*>(image.bits());
    const int stride = static_cast<int>(image.bytesPerLine() / sizeof(QRgb));
    const auto put = [&](int x, int y, QRgb colour) { bits[y * stride + x] = colour; };
    const auto cell = [&](int a2, int a3, QRgb colour) {
        for (int dy = 0; dy < kSliceCell; ++dy)
            for (int dx = 0; dx < kSliceCell; ++dx) put(a2 * kSliceCell + dx, (255 - a3) * kSliceCell + dy, colour);
    };
    const auto dot = [&](int cx, int cy, int half, QRgb colour, bool ring) {
        for (int y = cy - half; y <= cy + half; ++y)
            for (int x = cx - half; x <= cx + half; ++x) {
                const bool edge = std::abs(x - cx) == half || std::abs(y - cy) == half;
                if ((!ring || edge) && x >= 0 && y >= 0 && x < kSliceSide && y < kSliceSide) put(x, y, colour);
            }
    };
    // The colour of a distance: light yellow on the target, darkening to deep blue at the slice's
    // largest distance, logarithmic in 1 + distance.
    const double top = std::log1p(slice.maxDistance);
    const auto colourOf = [top](double distance) {
        const double t = std::clamp(std::log1p(std::max(distance, 0.0)) / top, 0.0, 1.0);
        const auto mix = [t](int near, int far) { return static_cast<int>(std::lround(near + (far - near) * t)); };
        return qRgb(mix(255, 16), mix(248, 32), mix(190, 96));
    };
    const bool outlined = slice.edges.size() == 256u * 256u;
    const bool dimming = slice.lit.size() == 256u * 256u;
    if (slice.distance.size() == 256u * 256u)
        for (int a2 = 0; a2 < 256; ++a2)
            for (int a3 = 0; a3 < 256; ++a3) {
                const int i = a2 * 256 + a3;
                QRgb colour = colourOf(slice.distance[i]);
                if (dimming && !slice.lit[i]) colour = qRgb(qRed(colour) * 2 / 5, qGreen(colour) * 2 / 5, qBlue(colour) * 2 / 5);
                cell(a2, a3, colour);
                if (!outlined) continue;
                const int x = a2 * kSliceCell, y = (255 - a3) * kSliceCell;
                if (slice.edges[i] & kEdgeRight)
                    for (int dy = 0; dy < kSliceCell; ++dy) put(x + kSliceCell - 1, y + dy, kBasinEdgeColour);
                if (slice.edges[i] & kEdgeUp)
                    for (int dx = 0; dx < kSliceCell; ++dx) put(x + dx, y, kBasinEdgeColour);
            }
    for (const QPoint& p : slice.localOptima) cell(p.x(), p.y(), qRgb(220, 30, 30));
    // A cell's centre pixel: the lower right of its 2 x 2 block.
    const auto centre = [](const QPoint& p) { return QPoint(p.x() * kSliceCell + 1, (255 - p.y()) * kSliceCell + 1); };
    // White with a black rim, so that an individual shows on the light and on the dark cells alike.
    for (const QPoint& p : slice.population) {
        dot(centre(p).x(), centre(p).y(), 2, qRgb(0, 0, 0), true);
        dot(centre(p).x(), centre(p).y(), 1, qRgb(255, 255, 255), false);
    }
    if (slice.hasOptimum) dot(centre(slice.optimum).x(), centre(slice.optimum).y(), 3, qRgb(0, 170, 60), true);
    for (int row = 0; row < kSliceSide; ++row) {
        const double share = static_cast<double>(kSliceSide - 1 - row) / (kSliceSide - 1);
        const QRgb colour = colourOf(std::expm1(share * top));
        for (int x = kSliceBarLeft; x < kSliceWidth; ++x) put(x, row, colour);
    }
    return image;
}

std::vector<std::uint8_t> BasinEdges(const std::vector<std::uint32_t>& attractor, int side) {
    std::vector<std::uint8_t> edges(attractor.size(), 0);
    for (int a2 = 0; a2 < side; ++a2)
        for (int a3 = 0; a3 < side; ++a3) {
            const std::size_t i = static_cast<std::size_t>(a2) * side + a3;
            if (a2 + 1 < side && attractor[i] != attractor[i + side]) edges[i] |= kEdgeRight;
            if (a3 + 1 < side && attractor[i] != attractor[i + 1]) edges[i] |= kEdgeUp;
        }
    return edges;
}

std::vector<ArmPose> DecodeGenotypes(const std::vector<std::uint32_t>& genotypes, Encoding encoding) {
    std::vector<ArmPose> poses;
    poses.reserve(genotypes.size());
    for (const std::uint32_t g : genotypes) {
        int gene[3];
        for (int k = 0; k < 3; ++k) {
            const int byte = static_cast<int>((g >> (16 - 8 * k)) & 0xFFu);
            gene[k] = encoding == Encoding::gray ? GrayDecode(byte) : byte;
        }
        poses.push_back({gene[0], gene[1], gene[2]});
    }
    return poses;
}

std::vector<QPoint> PopulationInBand(const std::vector<ArmPose>& population, int angle1, int band) {
    std::vector<QPoint> shown;
    for (const ArmPose& p : population)
        if (std::abs(p.a1 - angle1) <= band) shown.emplace_back(p.a2, p.a3);
    return shown;
}

}  // namespace kelvora::ui
