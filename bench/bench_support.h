#pragma once
// Helpers shared by the benchmark programs: a scratch directory and a clock reading.

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace kelvora::bench {

/// A directory of its own under the temporary directory, removed with what it holds.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("benchmark: mkdtemp");
            std::exit(1);
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const char* c_str() const { return path_.c_str(); }
    std::string file(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// The clock's reading in seconds.
inline double Seconds(clockid_t clock = CLOCK_MONOTONIC) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace kelvora::bench
