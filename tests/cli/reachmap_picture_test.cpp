// The reach map's figure: the map it frames, its marks, its colour bar and where its labels fall.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "analysis/reachmap.h"
#include "model/types.h"
#include "reachmap_picture.h"

namespace {

using kelvora::kMaxTargetOffset;
using kelvora::kReachMapSide;
using namespace kelvora::cli;

class ReachFigure : public testing::Test {
protected:
    static void SetUpTestSuite() {
        map_ = kelvora::ComputeReachMap(kelvora::kBaseX, kelvora::kBaseY).release();
        const Typeface labels("DejaVu Sans", 12);
        const Typeface titles("DejaVu Sans", 13);
        fontError_ = new std::string(labels.error());  // without a font the figure is drawn unlabelled
        figure_ = new Raster(DrawReachFigure(*map_, {labels, titles}));
    }
    static void TearDownTestSuite() {
        delete figure_;
        delete map_;
        delete fontError_;
    }

    // The figure's pixel for the target at (dx, dy) from the base, y up.
    static const Rgb& Target(int dx, int dy) {
        return figure_->At(kReachFigure.mapLeft + kMaxTargetOffset + dx, kReachFigure.mapTop + kMaxTargetOffset - dy);
    }
    static bool Ink(const Rgb& p) { return p.r + p.g + p.b < 3 * 128; }
    // Whether any pixel of the box (columns x0..x1, rows y0..y1) is ink.
    static bool InkIn(int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (Ink(figure_->At(x, y))) return true;
        return false;
    }

    static inline kelvora::ReachMap* map_ = nullptr;
    static inline Raster* figure_ = nullptr;
    static inline std::string* fontError_ = nullptr;
};

TEST_F(ReachFigure, FramesThePlainMapWithTheBaseMarkAndTheDashedReachCircle) {
    ASSERT_EQ(figure_->width, kReachFigure.width);
    ASSERT_EQ(figure_->height, kReachFigure.height);
    const Raster plain = DrawReachMap(*map_);
    int onCircle = 0, dashed = 0;
    for (int dy = -kMaxTargetOffset; dy <= kMaxTargetOffset; ++dy) {
        for (int dx = -kMaxTargetOffset; dx <= kMaxTargetOffset; ++dx) {
            const Rgb& drawn = Target(dx, dy);
            const Rgb& bare = plain.At(dx + kMaxTargetOffset, kMaxTargetOffset - dy);
            const double off = std::abs(std::hypot(dx, dy) - 200.0);
            if (dx >= -2 && dx <= 1 && dy >= -1 && dy <= 2) {
                EXPECT_EQ(drawn, (Rgb{0, 0, 0})) << "the base mark at " << dx << "," << dy;
            } else if (off >= 1.0) {
                ASSERT_EQ(drawn, bare) << "the map at " << dx << "," << dy;
            } else if (off < 0.25) {
                ++onCircle;
                dashed += drawn != bare;
            }
        }
    }
    // Dashes of 5 px and gaps of 4 px: a little over half of the circle is drawn.
    ASSERT_GT(onCircle, 500);
    EXPECT_NEAR(static_cast<double>(dashed) / onCircle, 5.0 / 9.0, 0.08);
}

TEST_F(ReachFigure, TheColourBarReadsAsTheMapIsColoured) {
    // A distance's label row on the bar is where the bar wears that distance's colour.
    const int column = kReachFigure.barLeft + kReachFigure.barWidth / 2;
    int lastRow = kReachFigure.mapTop + kReachMapSide;
    for (const double distance : {0.0, 0.2, 0.5, 0.8, 1.0, 2.0, 5.0, 10.0, 30.8, 50.0, 81.0, 100.0}) {
        const int row = ColourBarRow(distance);
        EXPECT_LT(row, lastRow) << distance;  // farther is higher up
        lastRow = row;
        const Rgb want = ReachColour(distance);
        const Rgb got = figure_->At(column, row);
        EXPECT_LE(std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b), 6)
            << distance << " px: the bar's row " << row;
    }
    EXPECT_EQ(ColourBarRow(0), kReachFigure.mapTop + kReachMapSide - 1);
    EXPECT_EQ(ColourBarRow(1000), kReachFigure.mapTop);
}

TEST_F(ReachFigure, LabelsSitAtTheirTicksAndNotBetween) {
    ASSERT_EQ(*fontError_, "");
    const int mapBottom = kReachFigure.mapTop + kReachMapSide;
    const int baseX = kReachFigure.mapLeft + kMaxTargetOffset;
    const int baseY = kReachFigure.mapTop + kMaxTargetOffset;
    for (int offset = -150; offset <= 150; offset += 50) {
        // x: below each tick, and nothing midway between ticks.
        EXPECT_TRUE(InkIn(baseX + offset - 3, mapBottom + 7, baseX + offset + 3, mapBottom + 18)) << offset;
        EXPECT_FALSE(InkIn(baseX + offset + 24, mapBottom + 7, baseX + offset + 26, mapBottom + 18)) << offset;
        // y: left of each tick, ending just before it; nothing midway.
        EXPECT_TRUE(InkIn(kReachFigure.mapLeft - 20, baseY - offset - 4, kReachFigure.mapLeft - 8, baseY - offset + 4))
            << offset;
        EXPECT_FALSE(InkIn(kReachFigure.mapLeft - 40, baseY - offset - 26, kReachFigure.mapLeft - 8, baseY - offset - 24))
            << offset;
    }
    for (const double distance : {0.0, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0}) {
        const int row = ColourBarRow(distance);
        const int labelLeft = kReachFigure.barLeft + kReachFigure.barWidth + 8;
        EXPECT_TRUE(InkIn(labelLeft, row - 4, labelLeft + 8, row + 4)) << distance;
    }
}

// Any map framed alike: a plain grey map, a bar from black to red, no reach circle.
TEST(MapFigure, FramesAnyMapWithTicksEveryFiftyPixelsAndItsOwnColourBar) {
    const Typeface labels("DejaVu Sans", 12), titles("DejaVu Sans", 13);
    const Raster plain(kReachMapSide, kReachMapSide, {100, 100, 100});
    MapFigureParts parts;
    parts.barColour = [](double share) { return Rgb{static_cast<std::uint8_t>(std::lround(255 * share)), 0, 0}; };
    parts.barTicks = {{0.0, "0"}, {0.5, "half"}, {1.0, "1"}};
    const Raster figure = DrawMapFigure(plain, parts, {labels, titles});
    const ReachFigureLayout& l = kReachFigure;
    ASSERT_EQ(figure.width, l.width);
    const int baseX = l.mapLeft + kMaxTargetOffset, baseY = l.mapTop + kMaxTargetOffset;
    const Rgb frame{51, 51, 51};
    for (int offset = -150; offset <= 150; offset += 50) {
        // A 5 px tick below the frame at x = offset and left of it at y = offset (y up).
        for (int k = 1; k <= 5; ++k) EXPECT_EQ(figure.At(baseX + offset, l.mapTop + kReachMapSide + k), frame) << offset;
        for (int k = 2; k <= 6; ++k) EXPECT_EQ(figure.At(l.mapLeft - k, baseY - offset), frame) << offset;
        EXPECT_EQ(figure.At(baseX + offset + 2, l.mapTop + kReachMapSide + 3), (Rgb{255, 255, 255})) << "between ticks";
    }
    // The map untouched but for the base's 4 x 4 mark: no circle over it.
    int marked = 0;
    for (int y = 0; y < kReachMapSide; ++y)
        for (int x = 0; x < kReachMapSide; ++x) marked += figure.At(l.mapLeft + x, l.mapTop + y) != plain.At(x, y);
    EXPECT_EQ(marked, 16);
    // The bar wears share s on row ColourBarRowOfShare(s), from the bottom row (0) to the top one (1).
    const int column = l.barLeft + l.barWidth / 2;
    EXPECT_EQ(ColourBarRowOfShare(0.0), l.mapTop + kReachMapSide - 1);
    EXPECT_EQ(ColourBarRowOfShare(1.0), l.mapTop);
    for (const double share : {0.0, 0.25, 0.5, 1.0})
        EXPECT_EQ(figure.At(column, ColourBarRowOfShare(share)), parts.barColour(share)) << share;
    EXPECT_EQ(figure.At(l.barLeft + l.barWidth + 3, ColourBarRowOfShare(0.5)), frame);  // the tick
}

}  // namespace
