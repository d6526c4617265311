// libFuzzer target: the results reader on any bytes. It must never crash, hang or read outside the
// data, and what it accepts must read back generation by generation.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "io/results_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    const kelvora::ResultsSummary s = kelvora::VerifyResults(data, kelvora::kBaseX, kelvora::kBaseY, 1);
    if (s.fault) return 0;
    // A file that passed reads back: every generation parses and checks against the recovered target.
    kelvora::LoggedGeneration gen;
    for (long long g = 0; g < s.index.generations(); ++g) {
        if (kelvora::ReadGeneration(data, s.index, g, gen) ||
            kelvora::VerifyGeneration(gen, s.index, g, kelvora::kBaseX, kelvora::kBaseY, s.target.x, s.target.y))
            std::abort();
    }
    return 0;
}
