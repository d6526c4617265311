#pragma once
// The runs of an experiment taken round by round: every configuration's runs of one seed before
// the next seed's, so that the runs finished so far are whole rounds (the same seeds for every
// configuration) whenever a person stops.

#include <cstddef>
#include <vector>

#include "batch/sweep.h"

namespace kelvora::experiment {

/// Jobs 0..jobs()-1 over plans of the same seeds: job j is seed j / roundSize() (the plans' seed
/// list order), within a round plan by plan, each plan's combinations of that seed in their order.
class RoundOrder {
public:
    /// plans: at least one, each with the same number of seeds (at least one).
    explicit RoundOrder(const std::vector<SweepPlan>& plans);

    /// Where a job runs: its plan, its combination index in that plan (CombinationAt) and its
    /// target, an index into targets().
    struct Job {
        int plan = 0;
        long long index = 0;
        std::size_t target = 0;
    };
    Job At(long long job) const;

    long long jobs() const { return roundSize_ * seeds_; }
    /// Runs of one seed over every plan.
    long long roundSize() const { return roundSize_; }
    /// The plans' targets, each once, in first appearance.
    const std::vector<SweepTarget>& targets() const { return targets_; }

private:
    std::vector<long long> firstOfPlan_;          // each plan's first position within a round
    std::vector<long long> targetsOfPlan_;
    std::vector<std::vector<std::size_t>> slot_;  // plan, its target -> position in targets_
    std::vector<SweepTarget> targets_;
    long long roundSize_ = 0;
    long long seeds_ = 0;
};

}  // namespace kelvora::experiment
