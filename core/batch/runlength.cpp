#include "batch/runlength.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvora {

std::vector<RunLengthPoint> RunLengthDistribution(const std::vector<int>& firstGenerations, int generations,
                                                  int population, bool evaluations) {
    // How many runs first got there at each generation; a running sum gives the distribution.
    std::vector<long long> arrivals(static_cast<std::size_t>(std::max(generations, 0)) + 1, 0);
    for (int g : firstGenerations) {
        if (g > 0 && g <= generations) ++arrivals[static_cast<std::size_t>(g)];
    }
    const auto runs = static_cast<long long>(firstGenerations.size());
    std::vector<RunLengthPoint> points;
    points.reserve(arrivals.size());
    long long within = 0;
    for (int g = 1; g <= generations; ++g) {
        within += arrivals[static_cast<std::size_t>(g)];
        points.push_back({evaluations ? static_cast<long long>(g) * population : g, WilsonInterval(within, runs)});
    }
    return points;
}

double ExpectedRunningTime(const std::vector<int>& firstGenerations, int generations, int population) {
    if (firstGenerations.empty()) return std::numeric_limits<double>::quiet_NaN();
    long double evaluations = 0;
    long long successes = 0;
    for (int g : firstGenerations) {
        const bool success = g > 0 && g <= generations;
        successes += success ? 1 : 0;
        evaluations += static_cast<long double>(success ? g : generations) * population;
    }
    if (successes == 0) return std::numeric_limits<double>::infinity();
    return static_cast<double>(evaluations / successes);
}

}  // namespace kelvora
