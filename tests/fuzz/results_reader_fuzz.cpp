// libFuzzer target: the results reader on any bytes. It must never crash, hang or read outside the
// file, and what it accepts must read back generation by generation. The bytes go into a file in
// memory (memfd), which the reader opens by its /proc path as it opens any file.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "io/results_reader.h"

namespace {

// The file in memory, made once and rewritten for each input.
int MemoryFile() {
    static const int fd = [] {
        const int made = ::memfd_create("results.csv", MFD_CLOEXEC);
        if (made < 0) std::abort();
        return made;
    }();
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const int fd = MemoryFile();
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, bytes, size, 0) != static_cast<ssize_t>(size)) std::abort();
    kelvora::ResultsFile file;
    std::string error;
    if (!file.open("/proc/self/fd/" + std::to_string(fd), error)) std::abort();
    const kelvora::ResultsSummary s = kelvora::VerifyResults(file, kelvora::kBaseX, kelvora::kBaseY, 1);
    if (s.fault) return 0;
    // A file that passed reads back: every generation parses and checks against the recovered target.
    kelvora::LoggedGeneration gen;
    for (long long g = 0; g < s.index.generations(); ++g) {
        if (kelvora::ReadGeneration(file, s.index, g, gen) ||
            kelvora::VerifyGeneration(gen, s.index, g, kelvora::kBaseX, kelvora::kBaseY, s.target.x, s.target.y))
            std::abort();
    }
    return 0;
}
