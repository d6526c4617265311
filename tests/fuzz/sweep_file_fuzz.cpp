// libFuzzer target: the application's sweep-file reader (ecdf, compare, sweep-merge's checks, the
// experiment window), on any bytes written to a file. It must never crash or hang; a file it
// accepts gives as many rows as it has lines after the header, and a refusal names the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/sweep_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::string path = "/tmp/kelvora-sweep-file-fuzz-" + std::to_string(::getpid()) + ".csv";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(bytes, 1, size, file) != size) std::abort();
    std::fclose(file);
    std::vector<kelvora::SweepResult> rows;
    const std::string error = kelvora::session::ReadSweepFile(path, "f.csv", rows);
    if (!error.empty()) {
        if (error.rfind("f.csv", 0) != 0) std::abort();
        return 0;
    }
    std::size_t lines = 0;
    for (std::size_t i = 0; i < size; ++i) lines += bytes[i] == '\n';
    if (lines == 0 || rows.size() != lines - 1) std::abort();
    return 0;
}
