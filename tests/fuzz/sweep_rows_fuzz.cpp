// libFuzzer target: the sweep file's row reader, which resume and sweep-merge put every line of a
// shard through, on any bytes. It must never crash or hang, and a row it accepts must name a run
// within its sweep and every value within the range its flag takes, whatever the file claims.

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "batch/sweep_table.h"
#include "ga/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (const auto row = kelvora::ParseSweepRow(line)) {
            const kelvora::SweepCombination& c = row->result.combination;
            if (row->run < 1 || row->run > row->runs) std::abort();
            if (c.params.populationSize < kelvora::kMinPopulation || c.params.populationSize > kelvora::kMaxPopulation) std::abort();
            if (c.params.generationCount < kelvora::kMinGenerations || c.params.generationCount > kelvora::kMaxGenerations) std::abort();
            // Every value within its flag's range: a row accepted is a run RunSolver would make.
            if (!(c.params.crossoverRate >= kelvora::kMinCrossoverRate && c.params.crossoverRate <= kelvora::kMaxCrossoverRate))
                std::abort();
            if (!(c.params.mutationProbability >= kelvora::kMinMutationProbability &&
                  c.params.mutationProbability <= kelvora::kMaxMutationProbability))
                std::abort();
            if (std::abs(c.target.x) > kelvora::kMaxTargetOffset || std::abs(c.target.y) > kelvora::kMaxTargetOffset) std::abort();
            if (!kelvora::ValidateAlgorithm(c.algorithm, c.params.populationSize).empty()) std::abort();
            const kelvora::SweepResult& r = row->result;
            if (!(r.eliteDistance >= 0.0) || !(r.optimumDistance >= 0.0)) std::abort();
            if (r.firstGenerationAtOptimum < 0 || r.firstGenerationAtOptimum > c.params.generationCount) std::abort();
            if (r.firstGenerationWithinEpsilon < 0 || r.firstGenerationWithinEpsilon > c.params.generationCount) std::abort();
            char invalid[128];
            if (kelvora::ValidateParams(c.params, invalid, sizeof invalid) != nullptr) std::abort();
            // What it read writes out again without trouble.
            (void)kelvora::SweepRow(row->result, row->run - 1, row->runs, row->fingerprint, row->epsilon);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 0;
}
