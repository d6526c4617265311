#include "sweep_input.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "batch/scheduler.h"
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
    // A worker a core; this thread takes the runs in order and draws the bar.
    const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    WorkerBuffers buffers(threads);
    const auto total = static_cast<long long>(reruns.size());
    ProgressBar bar(progress);
    try {
        RunInOrder<SweepResult>(
            total, {.threads = threads, .stop = &StopFlag()},
            [&](long long i, int worker) -> std::optional<SweepResult> {
                RunReport report;
                SweepResult r = RunCombination(reruns[static_cast<std::size_t>(i)].combination, std::nan(""), epsilon,
                                               buffers[worker], &StopFlag(), nullptr, &report);
                if (report.stopped) return std::nullopt;
                return r;
            },
            [&](long long i, SweepResult&& r) {
                Rerun& rerun = reruns[static_cast<std::size_t>(i)];
                *rerun.first = r.firstGenerationWithinEpsilon;
                rerun.reproduced = r.eliteDistance == rerun.eliteDistance;
            },
            [&](const ScheduleProgress& p) {
                if (bar.Due(p.finished == total)) bar.Draw(p.finished, total, "runs made again");
            });
    } catch (const std::system_error&) {  // not one thread to run them on
        throw std::bad_alloc();
    }
    bar.Finish();
    for (const Rerun& r : reruns)
        if (!r.reproduced) return r.line;
    return -1;
}

}  // namespace kelvora::cli
