#pragma once
// Reading a sweep file's rows, grouped by configuration by one rule (ecdf, compare), and making its
// runs again for another epsilon than the sweep's.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "batch/sweep_table.h"
#include "experiment/outcomes.h"

namespace kelvora::cli {

/// Reads the sweep file input a line at a time, the header first (a foreign file is refused before
/// the rest), adds each row's run to runs (grouped by configuration by the one rule) and then hands
/// it to row, when given, in file order, with its 1-based line and its configuration's index in
/// runs.groups. The file is read by the one sweep-file reader and its rules. Returns "" or the
/// message naming the file and, where there is one, the line ("FILE:LINE: not a sweep row").
std::string ReadSweepRuns(
    const std::string& input, experiment::RunsByConfiguration& runs,
    const std::function<void(const ParsedSweepRow& row, long long line, std::size_t configuration)>& row = {});

/// A row whose run is made again: what it ran, the elite distance the file says it reached, its line.
struct Rerun {
    SweepCombination combination;
    double eliteDistance;
    long long line;
    int* first;              ///< where its first generation within epsilon (0: never) goes
    bool reproduced = true;  ///< the run ended at eliteDistance
};

/// Makes every row's run again on every core and stores its first generation within epsilon
/// (pixels). Returns the first row (in file order) whose run does not end at its recorded elite
/// distance, or -1; stops early on a signal (StopFlag). progress: a bar on standard error.
long long RerunWithin(std::vector<Rerun>& reruns, double epsilon, bool progress);

}  // namespace kelvora::cli
