#include "landscape/landscapemap.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <utility>

#include "analysis/reachmap.h"
#include "model/types.h"

namespace kelvora::ui {

std::vector<LandscapeMapCell> ParseLandscapeMap(const QByteArray& text, QString* error) {
    std::vector<LandscapeMapCell> cells;
    std::set<std::pair<int, int>> seen;
    const QList<QByteArray> lines = text.split('\n');
    const auto fail = [&](int line, const QString& what) {
        if (error) *error = QStringLiteral("line %1: %2").arg(line).arg(what);
        return std::vector<LandscapeMapCell>{};
    };
    for (int k = 0; k < lines.size(); ++k) {
        if (lines[k].isEmpty() && k == lines.size() - 1) break;  // after the last line end
        const QList<QByteArray> fields = lines[k].split(',');
        bool ok[4] = {false, false, false, false};
        if (fields.size() != 5) return fail(k + 1, QStringLiteral("not x,y,local_optima,starts_within,share"));
        LandscapeMapCell c;
        c.x = fields[0].toInt(&ok[0]);
        c.y = fields[1].toInt(&ok[1]);
        c.localOptima = fields[2].toLongLong(&ok[2]);
        c.startsWithin = fields[3].toLongLong(&ok[3]);
        if (!(ok[0] && ok[1] && ok[2] && ok[3])) return fail(k + 1, QStringLiteral("not x,y,local_optima,starts_within,share"));
        if (std::abs(c.x) > kMaxTargetOffset || std::abs(c.y) > kMaxTargetOffset)
            return fail(k + 1, QStringLiteral("the target %1,%2 is outside -199..199").arg(c.x).arg(c.y));
        if (c.localOptima < 0 || c.localOptima > kPoseCount || c.startsWithin < 0 || c.startsWithin > kPoseCount)
            return fail(k + 1, QStringLiteral("a count is outside 0..16777216"));
        if (!seen.insert({c.x, c.y}).second)
            return fail(k + 1, QStringLiteral("the target %1,%2 is given twice").arg(c.x).arg(c.y));
        cells.push_back(c);
    }
    if (cells.empty()) return fail(1, QStringLiteral("no rows"));
    return cells;
}

int LandscapeMapStep(const std::vector<LandscapeMapCell>& cells) {
    int step = 0;
    for (const LandscapeMapCell& c : cells) step = std::gcd(step, std::gcd(std::abs(c.x), std::abs(c.y)));
    return std::max(step, 1);
}

QRgb LandscapeMapColour(long long startsWithin) {
    if (startsWithin <= 0) return qRgb(0, 0, 0);
    const double t =
        std::clamp((std::log10(static_cast<double>(startsWithin) / kPoseCount) + 6.0) / 6.0, 0.0, 1.0);
    return qRgb(static_cast<int>(std::lround(20 + 235 * t * t)), static_cast<int>(std::lround(30 + 200 * t)),
                static_cast<int>(std::lround(120 * (1 - t))));
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
    DistanceTable table;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (stop.load(std::memory_order_acquire)) {
            cells.resize(i);
            break;
        }
        FillDistanceTable(GeometryFor(cells[i].x, cells[i].y), table);
        const LandscapeSummary s = AnalyseLandscape(table, neighbourhood, 0.5);
        cells[i].localOptima = s.localOptima;
        cells[i].startsWithin = s.startsWithin;
        if (progress) progress(static_cast<int>(i + 1), total);
    }
    return cells;
}

}  // namespace kelvora::ui
