// The reach map as pictures.

#include "reachmap_picture.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#include "analysis/reachmap.h"
#include "model/types.h"

namespace kelvora::cli {

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kInk{34, 34, 34};       // labels
constexpr Rgb kFrame{51, 51, 51};     // frames and ticks
constexpr Rgb kBlack{0, 0, 0};        // the base mark and the reach circle, as in the window

constexpr int kTick = 5;              // tick length, px
constexpr int kReachRadius = 200;     // the arm's full reach: the three links end to end, px
constexpr double kBarTopDistance = kReachLimit + 100.0;  // where the colours stop darkening
constexpr int kBarHeight = kReachMapSide;
// The bar's share below kReachLimit: its lowest 40 row steps, about a tenth, so that the row
// labelled kReachLimit wears its colour.
constexpr double kBarLinearShare = 40.0 / (kBarHeight - 1);

// The share of the bar's height, 0 at its bottom and 1 at its top, that stands for a distance.
double BarShare(double distance) {
    if (distance <= kReachLimit) return kBarLinearShare * std::max(distance, 0.0) / kReachLimit;
    const double log = std::log1p(distance - kReachLimit) / std::log1p(kBarTopDistance - kReachLimit);
    return kBarLinearShare + (1.0 - kBarLinearShare) * std::min(log, 1.0);
}

// The distance a share of the bar's height stands for: the inverse of BarShare.
double BarDistance(double share) {
    if (share <= kBarLinearShare) return share / kBarLinearShare * kReachLimit;
    const double log = (share - kBarLinearShare) / (1.0 - kBarLinearShare);
    return kReachLimit + std::expm1(log * std::log1p(kBarTopDistance - kReachLimit));
}

// An axis label: an offset from the base with a true minus sign.
std::string OffsetLabel(int offset) {
    return offset < 0 ? "\u2212" + std::to_string(-offset) : std::to_string(offset);
}

// The dashed circle of the arm's reach over the map, anti-aliased, one pixel wide, kept inside
// the map: dashes of 5 px with gaps of 4 px along the arc.
void DrawReachCircle(Raster& figure, const ReachFigureLayout& layout) {
    for (int dy = -kMaxTargetOffset; dy <= kMaxTargetOffset; ++dy) {
        for (int dx = -kMaxTargetOffset; dx <= kMaxTargetOffset; ++dx) {
            const double off = std::abs(std::hypot(dx, dy) - kReachRadius);
            if (off >= 1.0) continue;
            const double along = kReachRadius * (std::atan2(dy, dx) + std::numbers::pi);
            if (std::fmod(along, 9.0) >= 5.0) continue;
            figure.Blend(layout.mapLeft + kMaxTargetOffset + dx, layout.mapTop + kMaxTargetOffset - dy, kBlack,
                         1.0 - off);
        }
    }
}

// A one-pixel frame just outside the rectangle of columns x..x+w-1 and rows y..y+h-1.
void DrawFrame(Raster& figure, int x, int y, int w, int h) {
    figure.Fill(x - 1, y - 1, w + 2, 1, kFrame);
    figure.Fill(x - 1, y + h, w + 2, 1, kFrame);
    figure.Fill(x - 1, y, 1, h, kFrame);
    figure.Fill(x + w, y, 1, h, kFrame);
}

}  // namespace

Rgb ReachColour(double distance) {
    if (distance <= kReachLimit) {
        const auto g = static_cast<std::uint8_t>(255 - std::lround(distance / kReachLimit * 80.0));
        return {g, g, g};
    }
    const double share = std::min(1.0, std::log1p(distance - kReachLimit) / std::log1p(100.0));
    return {static_cast<std::uint8_t>(255 - static_cast<int>(share * 115)),
            static_cast<std::uint8_t>(150 - static_cast<int>(share * 130)),
            static_cast<std::uint8_t>(40 - static_cast<int>(share * 30))};
}

Raster DrawReachMap(const ReachMap& map) {
    Raster plain(kReachMapSide, kReachMapSide, kWhite);
    for (std::size_t i = 0; i < plain.pixels.size(); ++i) plain.pixels[i] = ReachColour(map.distance[i]);
    return plain;
}

int ColourBarRowOfShare(double share) {
    return kReachFigure.mapTop + kBarHeight - 1 - static_cast<int>(std::lround(share * (kBarHeight - 1)));
}

int ColourBarRow(double distance) { return ColourBarRowOfShare(BarShare(distance)); }

Raster DrawMapFigure(const Raster& plain, const MapFigureParts& parts, const FigureFonts& fonts) {
    const ReachFigureLayout& layout = kReachFigure;
    Raster figure(layout.width, layout.height, kWhite);
    for (int y = 0; y < plain.height; ++y)
        std::copy_n(&plain.At(0, y), plain.width, &figure.At(layout.mapLeft, layout.mapTop + y));

    const int baseX = layout.mapLeft + kMaxTargetOffset;  // the base's pixel in the figure
    const int baseY = layout.mapTop + kMaxTargetOffset;
    if (parts.reachCircle) DrawReachCircle(figure, layout);
    figure.Fill(baseX - 2, baseY - 2, 4, 4, kBlack);
    DrawFrame(figure, layout.mapLeft, layout.mapTop, kReachMapSide, kReachMapSide);

    // Ticks every 50 px from the base, labelled with y up as --target takes them.
    const int mapBottom = layout.mapTop + kReachMapSide;  // the frame's row below the map
    for (int offset = -150; offset <= 150; offset += 50) {
        figure.Fill(baseX + offset, mapBottom + 1, 1, kTick, kFrame);
        fonts.labels.Draw(figure, OffsetLabel(offset), baseX + offset, mapBottom + kTick + 15, TextAlign::middle, kInk);
        figure.Fill(layout.mapLeft - 1 - kTick, baseY - offset, kTick, 1, kFrame);
        fonts.labels.Draw(figure, OffsetLabel(offset), layout.mapLeft - kTick - 4, baseY - offset + 4, TextAlign::end,
                          kInk);
    }
    fonts.titles.Draw(figure, "x relative to the base (px)", baseX, mapBottom + 40, TextAlign::middle, kInk);
    fonts.titles.Draw(figure, "y relative to the base (px)", 20, baseY, TextAlign::middle, kInk, true);
    fonts.titles.Draw(figure, parts.title, baseX, 26, TextAlign::middle, kInk);
    fonts.labels.Draw(figure, parts.note, layout.width / 2, mapBottom + 61, TextAlign::middle, kInk);

    // The colour bar: each row in the colour of the share it stands for.
    for (int i = 0; i < kBarHeight; ++i) {
        const double share = static_cast<double>(kBarHeight - 1 - i) / (kBarHeight - 1);
        figure.Fill(layout.barLeft, layout.mapTop + i, layout.barWidth, 1, parts.barColour(share));
    }
    DrawFrame(figure, layout.barLeft, layout.mapTop, layout.barWidth, kBarHeight);
    const int barRight = layout.barLeft + layout.barWidth;  // the frame's column right of the bar
    for (const auto& [share, label] : parts.barTicks) {
        const int row = ColourBarRowOfShare(share);
        figure.Fill(barRight + 1, row, kTick, 1, kFrame);
        fonts.labels.Draw(figure, label, barRight + kTick + 4, row + 4, TextAlign::start, kInk);
    }
    fonts.titles.Draw(figure, parts.barTitle, layout.width - 14, layout.mapTop + kBarHeight / 2, TextAlign::middle,
                      kInk, true);
    return figure;
}

Raster DrawReachFigure(const ReachMap& map, const FigureFonts& fonts) {
    MapFigureParts parts;
    parts.title = "Reach map: the optimum\u2019s distance to every target";
    parts.note = "white: within 0.5 px \u00b7 dashed: the arm\u2019s full reach, 200 px \u00b7 square: the base";
    parts.barTitle = "optimum distance (px)";
    parts.barColour = [](double share) { return ReachColour(BarDistance(share)); };
    constexpr std::pair<double, const char*> kBarTicks[] = {{0, "0"},   {0.5, "0.5"}, {1, "1"},   {2, "2"},    {5, "5"},
                                                            {10, "10"}, {20, "20"},   {50, "50"}, {100, "100"}};
    for (const auto& [distance, label] : kBarTicks) parts.barTicks.emplace_back(BarShare(distance), label);
    parts.reachCircle = true;
    return DrawMapFigure(DrawReachMap(map), parts, fonts);
}

}  // namespace kelvora::cli
