// Nothing is allocated per individual or per generation: the allocations of a run do not grow
// with its population or its generation count. Built as its own program, because it replaces the
// global operator new to count.

#include <atomic>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "test_support.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kelvora {
namespace {

long AllocationsOfRun(SolverState& state, const SolverParams& params, const char* directory) {
    RunOptions options;
    options.seed = 12345;
    options.outputDirectory = directory;
    int generations = 0;
    const GenerationProgress progress = [&generations](int, double) { ++generations; };
    const long before = allocations.load();
    RunSolver(state, params, progress, options);
    const long used = allocations.load() - before;
    EXPECT_EQ(generations, params.generationCount);
    return used;
}

TEST(Allocations, DoNotGrowWithPopulationOrGenerations) {
    testing_support::ScratchDir dir;
    auto state = testing_support::MakeState();
    AllocationsOfRun(*state, {5, 2, 0.5, 0.1}, dir.c_str());  // first use builds the lookup tables
    const long small = AllocationsOfRun(*state, {10, 5, 0.5, 0.1}, dir.c_str());
    const long large = AllocationsOfRun(*state, {3000, 40, 0.9, 0.2}, dir.c_str());
    EXPECT_EQ(large, small);
    EXPECT_LE(small, 5) << "a run should need no more than its two file paths and its buffers";
}

}  // namespace
}  // namespace kelvora
