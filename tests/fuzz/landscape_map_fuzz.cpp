// libFuzzer target: a landscape map's rows as the window and the picture read them, on any bytes.
// It must never crash or hang; a map it accepts holds targets within reach of the grid, counts
// within 0..256^3, a step of at least 1 px, and rows that are written out and read back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "session/landscape_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace kelvora;
    using namespace kelvora::session;
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    std::vector<LandscapeMapCell> cells;
    if (!ReadLandscapeMapRows(text, cells).empty()) return 0;
    if (cells.empty() || LandscapeMapStep(cells) < 1) std::abort();
    for (const LandscapeMapCell& cell : cells) {
        std::string row = LandscapeMapRow(cell);
        if (row.empty() || row.back() != '\n') std::abort();
        row.pop_back();
        LandscapeMapCell again;
        if (!ReadLandscapeMapRow(row, again).empty() || LandscapeMapRow(again) != LandscapeMapRow(cell)) std::abort();
    }
    return 0;
}
