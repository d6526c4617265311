#include "experiment/rounds.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kelvora::experiment {

RoundOrder::RoundOrder(const std::vector<SweepPlan>& plans) {
    seeds_ = plans.empty() ? 0 : static_cast<long long>(plans.front().seeds.size());
    std::map<std::pair<int, int>, std::size_t> known;
    for (const SweepPlan& plan : plans) {
        firstOfPlan_.push_back(roundSize_);
        const long long perSeed = seeds_ > 0 ? CombinationCount(plan) / seeds_ : 0;
        roundSize_ += perSeed;
        targetsOfPlan_.push_back(static_cast<long long>(plan.targets.size()));
        std::vector<std::size_t> places;
        for (const SweepTarget& t : plan.targets) {
            const auto [at, added] = known.try_emplace({t.x, t.y}, targets_.size());
            if (added) targets_.push_back(t);
            places.push_back(at->second);
        }
        slot_.push_back(std::move(places));
    }
}

RoundOrder::Job RoundOrder::At(long long job) const {
    const long long round = job / roundSize_;
    const long long offset = job % roundSize_;
    const auto plan = static_cast<std::size_t>(
        std::upper_bound(firstOfPlan_.begin(), firstOfPlan_.end(), offset) - firstOfPlan_.begin() - 1);
    // The plan's combinations of this seed: every one but the seed, the seed varying fastest.
    const long long index = (offset - firstOfPlan_[plan]) * seeds_ + round;
    const std::size_t target = slot_[plan][static_cast<std::size_t>((index / seeds_) % targetsOfPlan_[plan])];
    return {static_cast<int>(plan), index, target};
}

}  // namespace kelvora::experiment
