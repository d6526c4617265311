#pragma once
// Helpers shared by the core tests: the opening geometry, a run into a directory, a scratch
// directory, file contents.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"

namespace kelvora::testing_support {

/// The geometry of the window as it opens, base (300, 220), with the target pixel (targetX, targetY).
Geometry MakeGeometry(int targetX = 368, int targetY = 40);

/// What RunInto gives back: the run's report and outcome.
struct TestRun {
    RunReport report;
    RunOutcome outcome;
};

/// Runs params for geometry with seed, writing both result files into directory (nullptr: the
/// current directory) with the given flush mode, and progress (may be empty) as an observer.
/// stop as RunSolver takes it.
TestRun RunInto(const char* directory, const SolverParams& params, const Geometry& geometry, std::uint32_t seed,
                const GenerationProgress& progress = {}, FlushMode flush = FlushMode::line,
                const std::atomic<bool>* stop = nullptr, LineWriter writer = nullptr);

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
