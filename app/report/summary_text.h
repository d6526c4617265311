#pragma once
// The summary of a sweep as `kelvora-cli sweep` prints it for a person, its ERT worded as the
// report and the window word it.

#include <string>
#include <vector>

#include "batch/sweep.h"

namespace kelvora::report {

/// The summary as a table for a terminal: rates with their 95% intervals in square brackets, the
/// median and quartiles as "median, q1–q3", the first generation within epsilon (px) with the runs
/// it is taken over ("(14 of 100)"), the ERT as ErtText words it ("15,759"; "∞": none came within),
/// and the algorithm when one is not the classic one. Columns line up in a monospaced terminal.
std::string SummaryText(const std::vector<SweepSummaryRow>& rows, double epsilon);

}  // namespace kelvora::report
