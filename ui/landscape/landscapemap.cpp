#include "landscape/landscapemap.h"

#include <QList>

#include <algorithm>
#include <string>
#include <string_view>

#include "analysis/reachmap.h"
#include "session/landscape_map.h"

namespace kelvora::ui {

std::vector<LandscapeMapCell> ParseLandscapeMap(const QByteArray& text, QString* error) {
    std::vector<LandscapeMapCell> cells;
    if (const std::string fault = session::ReadLandscapeMapRows(std::string_view(text.constData(), text.size()), cells);
        !fault.empty()) {
        if (error) *error = QString::fromStdString(fault);
        cells.clear();
    }
    return cells;
}

QRgb LandscapeMapColour(long long startsWithin) {
    const session::MapRgb c = session::LandscapeShareColour(startsWithin);
    return qRgb(c[0], c[1], c[2]);
}

QImage LandscapeMapOverlay(const std::vector<LandscapeMapCell>& cells, int step) {
    QImage image(kReachMapSide, kReachMapSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    constexpr int kAlpha = 150;
    for (const LandscapeMapCell& c : cells) {
        const QRgb rgb = LandscapeMapColour(c.startsWithin);
        const QRgb colour = qRgba(qRed(rgb) * kAlpha / 255, qGreen(rgb) * kAlpha / 255, qBlue(rgb) * kAlpha / 255, kAlpha);
        const int left = c.x + kMaxTargetOffset - step / 2, top = kMaxTargetOffset - c.y - step / 2;
        for (int y = std::max(top, 0); y < std::min(top + step, kReachMapSide); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = std::max(left, 0); x < std::min(left + step, kReachMapSide); ++x) line[x] = colour;
        }
    }
    return image;
}

std::vector<LandscapeMapCell> ComputeLandscapeMap(int step, const Neighbourhood& neighbourhood,
                                                  const std::function<void(int done, int total)>& progress,
                                                  const std::atomic<bool>& stop) {
    std::vector<LandscapeMapCell> cells = LandscapeMapGrid(step);
    const int total = static_cast<int>(cells.size());
    cells.resize(kelvora::ComputeLandscapeMap(cells, 0, neighbourhood, 0.5, stop, [&](std::size_t done) {
        if (progress) progress(static_cast<int>(done), total);
        return true;
    }));
    return cells;
}

}  // namespace kelvora::ui
