#include "sweep_input.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <string_view>
#include <thread>

#include "files.h"
#include "helpers.h"
#include "signals.h"

namespace kelvora::cli {

std::string ReadSweepConfigurations(
    const std::string& input, std::vector<SweepCombination>& configurations,
    const std::function<void(const ParsedSweepRow& row, long long line, std::size_t configuration)>& take) {
    const std::string shown = Printable(input);
    const std::string header = SweepHeader();
    const std::string_view columns(header.data(), header.size() - 1);
    std::size_t last = 0;  // the configuration of the row before: rows come grouped in a sweep's order
    OneSweepPerConfiguration sources;
    std::string error;
    long long line = 0;
    const std::string reason = ReadLines(input, 4096, [&](std::string_view text, LineEnd end) {
        const std::string where = shown + ":" + std::to_string(++line) + ": ";
        if (line == 1) {
            if (end != LineEnd::lf || text != columns) error = where + "not a sweep file (its first line is not the sweep header)";
            return error.empty();
        }
        if (end == LineEnd::eof) {
            error = where + "the row is cut short (an interrupted sweep: finish it with sweep --resume)";
            return false;
        }
        const auto row = end == LineEnd::lf ? ParseSweepRow(std::string(text)) : std::nullopt;
        if (!row) {
            error = where + "not a sweep row";
            return false;
        }
        if (const std::string mixed = sources.Add(*row); !mixed.empty()) {
            error = where + mixed;
            return false;
        }
        const SweepCombination& c = row->result.combination;
        if (configurations.empty() || !SameConfiguration(configurations[last], c)) {
            last = 0;
            while (last < configurations.size() && !SameConfiguration(configurations[last], c)) ++last;
            if (last == configurations.size()) configurations.push_back(c);
        }
        take(*row, line, last);
        return true;
    });
    if (!reason.empty()) return shown + ": cannot read: " + reason;
    if (line == 0) error = shown + ":1: not a sweep file (it is empty)";
    if (!error.empty()) return error;
    if (configurations.empty()) return shown + ": the file holds no rows";
    return {};
}

long long RerunWithin(std::vector<Rerun>& reruns, double epsilon, bool progress) {
    std::atomic<std::size_t> next{0};
    std::atomic<long long> done{0};
    const auto work = [&] {
        RunBuffers buffers;
        for (std::size_t i; (i = next.fetch_add(1)) < reruns.size() && !StopFlag().load();) {
            const SweepResult r =
                RunCombination(reruns[i].combination, std::nan(""), epsilon, buffers, &StopFlag(), nullptr, nullptr);
            *reruns[i].first = r.firstGenerationWithinEpsilon;
            reruns[i].reproduced = r.eliteDistance == reruns[i].eliteDistance;
            done.fetch_add(1);
        }
    };
    // A worker a core; this thread only draws the bar.
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < std::clamp(std::thread::hardware_concurrency(), 1u, 64u); ++t) pool.emplace_back(work);
    ProgressBar bar(progress);
    while (done.load() < static_cast<long long>(reruns.size()) && !StopFlag().load()) {
        if (bar.Due(false)) bar.Draw(done.load(), static_cast<long long>(reruns.size()), "runs made again");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& t : pool) t.join();
    if (bar.Due(true)) bar.Draw(done.load(), static_cast<long long>(reruns.size()), "runs made again");
    bar.Finish();
    for (const Rerun& r : reruns)
        if (!r.reproduced) return r.line;
    return -1;
}

}  // namespace kelvora::cli
