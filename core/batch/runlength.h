#pragma once
// How long runs take to reach a target, over many seeds: the empirical distribution of the run
// length (the fixed-target ECDF) with its Wilson band, and the expected running time (ERT).

#include <vector>

#include "batch/sweep.h"

namespace kelvora {

/// One point of a run-length distribution.
struct RunLengthPoint {
    long long x = 0;        ///< generations (1..budget), or evaluations: generations x population
    Proportion within;      ///< runs whose first generation at the target is at most this one, of all runs
};

/// The run-length distribution of runs of one configuration: a point at every generation
/// 1..generations. firstGenerations holds each run's first generation at the target, counted from
/// 1, or 0 when the run never got there. x counts evaluations (generation x population) when
/// evaluations is true.
std::vector<RunLengthPoint> RunLengthDistribution(const std::vector<int>& firstGenerations, int generations,
                                                  int population, bool evaluations);

/// Expected running time in evaluations: every evaluation of every run (a successful run counted
/// up to its first generation at the target, a failed one at its whole budget, generations x
/// population), divided by the number of successes; +infinity when no run succeeded, NaN without runs.
double ExpectedRunningTime(const std::vector<int>& firstGenerations, int generations, int population);

/// The same from the successes alone: runs in all, and the first generation (1..generations) of each
/// run that got there.
double ExpectedRunningTime(long long runs, const std::vector<int>& successes, int generations, int population);

}  // namespace kelvora
