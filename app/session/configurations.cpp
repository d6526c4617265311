#include "session/configurations.h"

#include "batch/sweep_table.h"
#include "model/text.h"

namespace kelvora::session {

std::size_t ConfigurationGroups::Add(const SweepCombination& c) {
    if (!first_.empty() && SameConfiguration(first_[last_], c)) return last_;
    last_ = 0;
    while (last_ < first_.size() && !SameConfiguration(first_[last_], c)) ++last_;
    if (last_ == first_.size()) first_.push_back(c);
    return last_;
}

}  // namespace kelvora::session
