#include "session/landscape_map.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <utility>

#include "model/text.h"
#include "model/types.h"

namespace kelvora::session {

namespace {

// The whole of text as an integer: digits with an optional leading '-', nothing else.
template <typename T>
bool WholeInteger(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end && !text.empty();
}

}  // namespace

std::string LandscapeMapRow(const LandscapeMapCell& c) {
    return std::to_string(c.x) + "," + std::to_string(c.y) + "," + std::to_string(c.localOptima) + "," +
           std::to_string(c.startsWithin) + "," + ExactText(static_cast<double>(c.startsWithin) / kPoseCount) + "\n";
}

std::string ReadLandscapeMapRow(std::string_view row, LandscapeMapCell& cell) {
    std::string_view fields[5];
    std::size_t count = 0, at = 0;
    for (;;) {
        const std::size_t comma = row.find(',', at);
        if (count == 5) return "is not a row x,y,local_optima,starts_within,share";
        fields[count++] = row.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    if (count != 5) return "is not a row x,y,local_optima,starts_within,share";
    LandscapeMapCell c;
    double share = -1;
    const char* shareEnd = fields[4].data() + fields[4].size();
    const char* shareAt = ReadDouble(fields[4].data(), shareEnd, share);
    if (!WholeInteger(fields[0], c.x) || !WholeInteger(fields[1], c.y) ||
        !WholeInteger(fields[2], c.localOptima) || !WholeInteger(fields[3], c.startsWithin) ||
        shareAt != shareEnd || fields[4].empty() || !(share >= 0 && share <= 1))
        return "is not a row x,y,local_optima,starts_within,share";
    if (std::abs(c.x) > kMaxTargetOffset || std::abs(c.y) > kMaxTargetOffset)
        return "names the target " + std::to_string(c.x) + "," + std::to_string(c.y) + ", outside -" +
               std::to_string(kMaxTargetOffset) + ".." + std::to_string(kMaxTargetOffset);
    if (c.localOptima < 0 || c.localOptima > kPoseCount || c.startsWithin < 0 || c.startsWithin > kPoseCount)
        return "holds a count outside 0.." + std::to_string(kPoseCount);
    cell = c;
    return {};
}

std::string ReadLandscapeMapRows(std::string_view text, std::vector<LandscapeMapCell>& cells) {
    std::map<std::pair<int, int>, long long> lineOf;  // each target's line
    std::size_t at = 0;
    for (long long line = 1; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view row = text.substr(at, end - at);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        at = end + 1;
        LandscapeMapCell c;
        if (const std::string fault = ReadLandscapeMapRow(row, c); !fault.empty())
            return "line " + std::to_string(line) + " " + fault;
        if (const auto [it, added] = lineOf.try_emplace({c.x, c.y}, line); !added)
            return "line " + std::to_string(line) + " gives the target " + std::to_string(c.x) + "," +
                   std::to_string(c.y) + " again (line " + std::to_string(it->second) + " gave it)";
        cells.push_back(c);
    }
    if (lineOf.empty()) return "it holds no rows";
    return {};
}

int LandscapeMapStep(const std::vector<LandscapeMapCell>& cells) {
    int step = 0;
    for (const LandscapeMapCell& c : cells) step = std::gcd(step, std::gcd(std::abs(c.x), std::abs(c.y)));
    return std::max(step, 1);
}

MapRgb LandscapeToneColour(double t) {
    return {static_cast<std::uint8_t>(std::lround(20 + 235 * t * t)), static_cast<std::uint8_t>(std::lround(30 + 200 * t)),
            static_cast<std::uint8_t>(std::lround(120 * (1 - t)))};
}

MapRgb LandscapeShareColour(long long startsWithin) {
    if (startsWithin <= 0) return {0, 0, 0};
    return LandscapeToneColour(
        std::clamp((std::log10(static_cast<double>(startsWithin) / kPoseCount) + 6.0) / 6.0, 0.0, 1.0));
}

}  // namespace kelvora::session
