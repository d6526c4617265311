#pragma once
// Configurations: the runs a run-length curve or a summary row pools are those of one configuration,
// the same four parameters and algorithm (targets and seeds aside), compared by their values, never
// by how they print.

#include <cstddef>
#include <string>
#include <vector>

#include "batch/sweep.h"

namespace kelvora::session {

/// Rows grouped by configuration, in the order each configuration first appears.
class ConfigurationGroups {
public:
    /// The index (from 0) of combination's configuration, a new one at the end when it is the first.
    std::size_t Add(const SweepCombination& combination);

    /// The first combination of each configuration (its parameters and algorithm), in order.
    const std::vector<SweepCombination>& configurations() const { return first_; }

private:
    std::vector<SweepCombination> first_;
    std::size_t last_ = 0;  // the configuration of the row before: rows come grouped in a sweep's order
};

}  // namespace kelvora::session
