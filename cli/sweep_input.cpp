#include "sweep_input.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>

#include "helpers.h"
#include "signals.h"
#include "session/sweep_file.h"

namespace kelvora::cli {

std::string ReadSweepRuns(
    const std::string& input, experiment::RunsByConfiguration& runs,
    const std::function<void(const ParsedSweepRow& row, long long line, std::size_t configuration)>& take) {
    return session::ReadSweepFile(input, Printable(input), {},
                                  [&](const ParsedSweepRow& row, long long line, std::string_view) {
        const std::size_t k = runs.Add(row.result);
        if (take) take(row, line, k);
        return true;
    });
}

long long RerunWithin(std::vector<Rerun>& reruns, double epsilon, bool progress) {
    std::atomic<std::size_t> next{0};
    std::atomic<long long> done{0};
    std::atomic<bool> outOfMemory{false};  // a worker's, told on this thread once all have ended
    const auto runs = [&] {
        RunBuffers buffers;
        for (std::size_t i; (i = next.fetch_add(1)) < reruns.size() && !StopFlag().load() && !outOfMemory.load();) {
            const SweepResult r =
                RunCombination(reruns[i].combination, std::nan(""), epsilon, buffers, &StopFlag(), nullptr, nullptr);
            *reruns[i].first = r.firstGenerationWithinEpsilon;
            reruns[i].reproduced = r.eliteDistance == reruns[i].eliteDistance;
            done.fetch_add(1);
        }
    };
    const auto work = [&] {
        try {
            runs();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    // A worker a core; this thread only draws the bar.
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < std::clamp(std::thread::hardware_concurrency(), 1u, 64u); ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {  // no room for another thread: the reruns go on fewer
            if (!pool.empty()) break;
            throw std::bad_alloc();
        }
    }
    ProgressBar bar(progress);
    while (done.load() < static_cast<long long>(reruns.size()) && !StopFlag().load() && !outOfMemory.load()) {
        if (bar.Due(false)) bar.Draw(done.load(), static_cast<long long>(reruns.size()), "runs made again");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& t : pool) t.join();
    if (outOfMemory) throw std::bad_alloc();
    if (bar.Due(true)) bar.Draw(done.load(), static_cast<long long>(reruns.size()), "runs made again");
    bar.Finish();
    for (const Rerun& r : reruns)
        if (!r.reproduced) return r.line;
    return -1;
}

}  // namespace kelvora::cli
