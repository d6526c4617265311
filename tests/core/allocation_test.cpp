// Nothing is allocated per individual or per generation: the allocations of a run do not grow
// with its population or its generation count. Built as its own program, because it replaces the
// global operator new to count.

#include <atomic>
#include <cstdlib>
#include <memory>
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

long AllocationsOfRun(const SolverParams& params, const char* directory) {
    int generations = 0;
    const long before = allocations.load();
    ResultWriter writer;  // the writer and the buffers belong to the run: counted with it
    ProgressObserver progress([&generations](int, double) { ++generations; });
    RunObserver* observers[] = {&progress};
    const auto buffers = std::make_unique<RunBuffers>();
    RunWithFiles({params, testing_support::MakeGeometry(), 12345}, writer, directory, observers, *buffers);
    const long used = allocations.load() - before;
    EXPECT_EQ(generations, params.generationCount);
    return used;
}

TEST(Allocations, DoNotGrowWithPopulationOrGenerations) {
    testing_support::ScratchDir dir;
    AllocationsOfRun({5, 2, 0.5, 0.1}, dir.c_str());  // first use builds the lookup tables
    const long small = AllocationsOfRun({10, 5, 0.5, 0.1}, dir.c_str());
    const long large = AllocationsOfRun({3000, 40, 0.9, 0.2}, dir.c_str());
    EXPECT_EQ(large, small);
    EXPECT_LE(small, 8) << "a run should need no more than its file paths, its history rows, its progress call "
                           "and its buffers";
}

}  // namespace
}  // namespace kelvora
