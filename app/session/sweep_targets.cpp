#include "session/sweep_targets.h"

#include "model/text.h"

namespace kelvora::session {

std::optional<int> ParseRandomTargets(const std::string& text) {
    if (text.rfind("random:", 0) != 0) return std::nullopt;
    const auto k = ParseInteger(text.substr(7));
    if (!k || *k < 1 || *k > kMaxRandomTargets) return std::nullopt;
    return static_cast<int>(*k);
}

std::string AddRandomTargets(std::vector<SweepTarget>& targets, int count, std::uint32_t seed, SweepTarget* clash) {
    const std::vector<SweepTarget> drawn = RandomTargets(count, seed);
    for (const SweepTarget& t : drawn)
        for (const SweepTarget& given : targets)
            if (given == t) {
                if (clash) *clash = t;
                return "--targets: the drawn target " + std::to_string(t.x) + "," + std::to_string(t.y) +
                       " is also given by --target";
            }
    targets.insert(targets.end(), drawn.begin(), drawn.end());
    return {};
}

}  // namespace kelvora::session
