#pragma once
// Helpers shared by the solver tests: a fresh run state, a scratch directory, file contents.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "solver.h"

namespace kelvora::testing_support {

/// A run state as the window sets it up when it opens: base (300, 220), target (368, 40),
/// both poses (45, 30, 15). Held on the heap: its history alone is 160 KB.
std::unique_ptr<SolverState> MakeState(int targetX = 368, int targetY = 40);

/// A directory of its own under the system's temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const char* name) const { return (path_ / name).string(); }
    const char* c_str() const { return text_.c_str(); }

private:
    std::filesystem::path path_;
    std::string text_;
};

/// The whole file as bytes; fails the current test when it cannot be read.
std::string ReadBytes(const std::string& path);

/// Splits text at CR LF. Fails the current test if a line feed is not preceded by a carriage
/// return, a carriage return stands elsewhere, or the text does not end in CR LF.
std::vector<std::string> CrLfLines(const std::string& text);

/// Splits a line at commas.
std::vector<std::string> Fields(const std::string& line);

/// The generator state whose next step gives state next.
std::uint32_t StateBefore(std::uint32_t next);

/// A generator whose next draw is first and whose draw after that satisfies second(value).
/// Fails the current test if no state gives both.
template <typename Predicate>
CrtRandom RngDrawing(int first, Predicate second) {
    for (std::uint32_t high = 0; high < 2; ++high) {
        for (std::uint32_t low = 0; low < 0x10000u; ++low) {
            const std::uint32_t next = (high << 31) | (static_cast<std::uint32_t>(first) << 16) | low;
            CrtRandom rng{StateBefore(next)};
            CrtRandom probe = rng;
            Rand(probe);
            if (second(Rand(probe))) return rng;
        }
    }
    ADD_FAILURE() << "no generator state draws " << first << " and then the wanted value";
    return {};
}

/// printf("%g") of v.
std::string PrintfG(double v);

}  // namespace kelvora::testing_support
