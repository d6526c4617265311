// The landscape map's rows as both front ends read and write them, and its colours: each row's
// fields and each refusal's words, rows in any order, and colours computed by hand.

#include <ostream>
#include <string_view>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session/landscape_map.h"

namespace kelvora::session {
namespace {

// The writer's rows: the share is starts_within / 2^24, exact.
TEST(LandscapeMapRow, WritesTheShareExactly) {
    EXPECT_EQ(LandscapeMapRow({0, 8, 3, 16777216}), "0,8,3,16777216,1\n");
    EXPECT_EQ(LandscapeMapRow({-199, 199, 1, 8388608}), "-199,199,1,8388608,0.5\n");
    EXPECT_EQ(LandscapeMapRow({-8, 0, 4, 16}), "-8,0,4,16,9.5367431640625e-07\n");  // 2^-20
    EXPECT_EQ(LandscapeMapRow({5, -5, 0, 0}), "5,-5,0,0,0\n");
}

// A text of rows and what reading it gives: the cells, or the message (then no cells are kept).
struct Rows {
    const char* name;
    std::string text;
    std::vector<LandscapeMapCell> cells;
    std::string error;
    int step = 0;
};
void PrintTo(const Rows& r, std::ostream* os) { *os << r.name; }

class LandscapeMapText : public testing::TestWithParam<Rows> {};

TEST_P(LandscapeMapText, IsReadOrRefusedNamingTheLine) {
    const Rows& r = GetParam();
    std::vector<LandscapeMapCell> cells;
    EXPECT_EQ(ReadLandscapeMapRows(r.text, cells), r.error);
    if (!r.error.empty()) return;
    EXPECT_EQ(cells, r.cells);
    EXPECT_EQ(LandscapeMapStep(cells), r.step);
}

const std::string kNotARow = "is not a row x,y,local_optima,starts_within,share";

// The rows of a 3 x 3 grid 8 px apart around the base, then extra.
std::string Grid8(const std::string& extra) {
    std::string text;
    for (int y = -8; y <= 8; y += 8)
        for (int x = -8; x <= 8; x += 8) text += std::to_string(x) + "," + std::to_string(y) + ",1,2,0\n";
    return text + extra;
}
std::vector<LandscapeMapCell> Grid8Cells() {
    std::vector<LandscapeMapCell> cells;
    for (int y = -8; y <= 8; y += 8)
        for (int x = -8; x <= 8; x += 8) cells.push_back({x, y, 1, 2});
    return cells;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LandscapeMapText,
    testing::Values(
        Rows{"TwoShardsRows", "-16,8,5,0,0\n0,8,3,16777216,1\n-8,0,4,16,9.5367431640625e-07\n",
             {{-16, 8, 5, 0}, {0, 8, 3, 16777216}, {-8, 0, 4, 16}}, "", 8},
        Rows{"NoLastLineEnd", "150,-150,1,2,0.5", {{150, -150, 1, 2}}, "", 150},
        Rows{"CrLf", "6,-9,0,1,0\r\n", {{6, -9, 0, 1}}, "", 3},
        Rows{"TheBaseAlone", "0,0,16777216,16777216,1\n", {{0, 0, 16777216, 16777216}}, "", 1},
        Rows{"Corners", "-199,199,0,0,0\n199,-199,0,0,1e-6\n", {{-199, 199, 0, 0}, {199, -199, 0, 0}}, "", 199},
        Rows{"ShortRow", "0,0,1,2,0\n0,8,1,2\n", {}, "line 2 " + kNotARow},
        Rows{"SixFields", "0,8,1,2,0,0\n", {}, "line 1 " + kNotARow},
        Rows{"NotAnInteger", "0,8.0,1,2,0\n", {}, "line 1 " + kNotARow},
        Rows{"PlusSign", "+1,8,1,2,0\n", {}, "line 1 " + kNotARow},
        Rows{"Blank", " 1,8,1,2,0\n", {}, "line 1 " + kNotARow},
        Rows{"NoShare", "1,8,1,2,\n", {}, "line 1 " + kNotARow},
        Rows{"ShareAboveOne", "1,8,1,2,1.5\n", {}, "line 1 " + kNotARow},
        Rows{"EmptyLine", "1,8,1,2,0\n\n2,8,1,2,0\n", {}, "line 2 " + kNotARow},
        Rows{"Outside", "200,0,1,2,0\n", {}, "line 1 names the target 200,0, outside -199..199"},
        Rows{"OutsideBelow", "0,0,1,2,0\n0,-200,1,2,0\n", {}, "line 2 names the target 0,-200, outside -199..199"},
        Rows{"TooManyStarts", "0,0,1,16777217,1\n", {}, "line 1 holds a count outside 0..16777216"},
        Rows{"TooManyOptima", "0,0,16777217,0,0\n", {}, "line 1 holds a count outside 0..16777216"},
        Rows{"NegativeCount", "0,0,-1,0,0\n", {}, "line 1 holds a count outside 0..16777216"},
        Rows{"Twice", "8,8,1,2,0\n0,8,1,2,0\n8,8,1,2,0\n", {}, "line 3 gives the target 8,8 again (line 1 gave it)"},
        Rows{"Empty", "", {}, "it holds no rows"},
        // Nine rows of an 8 px grid; a tenth off it is refused, not taken to make the map 1 px.
        Rows{"AGrid", Grid8(""), Grid8Cells(), "", 8},
        Rows{"AStrayRow", Grid8("7,3,1,2,0\n"), {}, "line 10 names the target 7,3, off the grid of 8 px of the other rows"},
        Rows{"AStrayRowFirst", "0,4,1,2,0\n" + Grid8(""), {},
             "line 1 names the target 0,4, off the grid of 8 px of the other rows"}),
    [](const testing::TestParamInfo<Rows>& info) { return std::string(info.param.name); });

// A row the writer wrote reads back as its cell.
TEST(LandscapeMapRow, WhatIsWrittenReadsBack) {
    for (const LandscapeMapCell& c : std::vector<LandscapeMapCell>{{-199, 199, 0, 0}, {7, -3, 41, 123457}, {0, 0, 1, 16777216}}) {
        const std::string row = LandscapeMapRow(c);
        LandscapeMapCell back;
        EXPECT_EQ(ReadLandscapeMapRow(std::string_view(row).substr(0, row.size() - 1), back), "") << row;
        EXPECT_EQ(back, c) << row;
    }
}

// Colours by hand: t = (log10(s / 2^24) + 6) / 6 clamped to 0..1, then red 20 + 235 t^2, green
// 30 + 200 t, blue 120 (1 - t), rounded.
TEST(LandscapeMapColour, ShareOfStartsOnTheLogScale) {
    const std::vector<std::pair<long long, MapRgb>> shares{
        {0, {0, 0, 0}},            // none: black
        {16, {20, 30, 120}},       // 2^-20 < 1e-6: t = 0
        {16777216, {255, 230, 0}}, // all: t = 1
        // 2^-10: t = 1 - 10 log10(2) / 6 = 0.498283; 20 + 58.347, 30 + 99.657, 60.206
        {16384, {78, 130, 60}},
    };
    for (const auto& [starts, rgb] : shares) EXPECT_EQ(LandscapeShareColour(starts), rgb) << starts;
    EXPECT_EQ(LandscapeToneColour(0.5), (MapRgb{79, 130, 60}));  // 20 + 58.75, 30 + 100, 60
}

}  // namespace
}  // namespace kelvora::session
