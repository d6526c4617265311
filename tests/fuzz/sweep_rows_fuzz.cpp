// libFuzzer target: the sweep file's row reader, which resume and sweep-merge put every line of a
// shard through, on any bytes. It must never crash or hang, and a row it accepts must name a run
// within its sweep and counts within their ranges, whatever the file claims.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "batch/sweep_table.h"

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
            // What it read writes out again without trouble.
            (void)kelvora::SweepRow(row->result, row->run - 1, row->runs, row->fingerprint);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 0;
}
