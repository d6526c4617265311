#include "report/summary_text.h"

#include <cstdio>

#include "batch/sweep_table.h"
#include "model/text.h"
#include "report/report.h"

namespace kelvora::report {
namespace {

// Text padded to a width in columns: an en dash or "∞" takes one column and three bytes.
std::string Padded(const std::string& text, std::size_t width) {
    std::size_t columns = 0;
    for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return text + std::string(columns < width ? width - columns : 0, ' ');
}

std::string Percent(const Proportion& p) {
    char b[64];
    std::snprintf(b, sizeof b, "%5.1f%% [%5.1f, %5.1f]", 100.0 * p.rate, 100.0 * p.low, 100.0 * p.high);
    return b;
}

}  // namespace

std::string SummaryText(const std::vector<SweepSummaryRow>& rows, double epsilon) {
    // The algorithm is a last column of its own only when a row's is not the classic one.
    bool algorithms = false;
    for (const SweepSummaryRow& r : rows) algorithms = algorithms || !r.algorithm.classic();
    auto tail = [algorithms](const std::string& ert, const std::string& algorithm) {
        return algorithms ? Padded(ert, 17) + "  " + algorithm + "\n" : ert + "\n";
    };
    std::string out;
    char line[512];
    std::snprintf(line, sizeof line, "%10s %11s %9s %8s %6s  %-24s  %-24s  ", "population", "generations",
                  "crossover", "mutation", "runs", "reached optimum (95% CI)",
                  ("within " + ExactText(epsilon) + " px (95% CI)").c_str());
    out += line + Padded("elite distance median, q1–q3", 30) + "  " +
           Padded("first gen within median, q1–q3 (runs)", 40) + "  " + tail("ERT (evaluations)", "algorithm");
    for (const SweepSummaryRow& r : rows) {
        char distance[96];
        std::snprintf(distance, sizeof distance, "%.4g, %.4g–%.4g", r.eliteDistance.median, r.eliteDistance.q1,
                      r.eliteDistance.q3);
        // The median of the first generation within epsilon is over the runs that came there.
        char first[128];
        if (r.firstWithinEpsilon.count > 0)
            std::snprintf(first, sizeof first, "%g, %g–%g (%lld of %lld)", r.firstWithinEpsilon.median,
                          r.firstWithinEpsilon.q1, r.firstWithinEpsilon.q3, r.firstWithinEpsilon.count, r.runs);
        else
            std::snprintf(first, sizeof first, "- (0 of %lld)", r.runs);
        std::snprintf(line, sizeof line, "%10d %11d %9g %8g %6lld  %-24s  %-24s  ", r.params.populationSize,
                      r.params.generationCount, r.params.crossoverRate, r.params.mutationProbability, r.runs,
                      Percent(r.reached).c_str(), Percent(r.withinEpsilon).c_str());
        out += line + Padded(distance, 30) + "  " + Padded(first, 40) + "  " +
               tail(ErtText(r.ertEvaluations), AlgorithmSummary(r.algorithm));
    }
    return out;
}

}  // namespace kelvora::report
