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
    std::vector<int> successes;
    for (int g : firstGenerations) {
        if (g > 0 && g <= generations) successes.push_back(g);
    }
    return ExpectedRunningTime(static_cast<long long>(firstGenerations.size()), successes, generations, population);
}

double ExpectedRunningTime(long long runs, const std::vector<int>& successes, int generations, int population) {
    if (runs <= 0) return std::numeric_limits<double>::quiet_NaN();
    if (successes.empty()) return std::numeric_limits<double>::infinity();
    const auto failures = runs - static_cast<long long>(successes.size());
    long double evaluations = static_cast<long double>(failures) * generations * population;
    for (int g : successes) evaluations += static_cast<long double>(g) * population;
    return static_cast<double>(evaluations / static_cast<long double>(successes.size()));
}

}  // namespace kelvora
