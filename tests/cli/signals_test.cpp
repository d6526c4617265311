// The stop signals: what a second signal's handler may see of the file it cuts back, and that none
// of the three interrupts the handler.

#include <signal.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "signals.h"

namespace kelvora::cli {
namespace {

std::vector<std::pair<int, long long>> seen;  // the file as a handler between two stores sees it

void Record(const WholeFile& file) { seen.emplace_back(file.fd.load(), file.bytes.load()); }

TEST(StopSignals, AHandlerBetweenTwoStoresSeesNoFileOrOneWithItsOwnLength) {
    struct Step {
        int fd;
        long long bytes;
    };
    // Published, grown by whole pieces, withdrawn (a second signal then must not empty it), another
    // file, a third one straight after it, withdrawn again.
    const Step steps[] = {{5, 0}, {5, 100}, {5, 250}, {-1, 0}, {7, 40}, {8, 10}, {-1, 0}};
    WholeFile file;
    for (const Step& step : steps) {
        const std::pair<int, long long> before{file.fd.load(), file.bytes.load()};
        seen.clear();
        Publish(file, step.fd, step.bytes, Record);
        for (const auto& state : seen) {
            if (state.first < 0) continue;  // no file: nothing is cut
            const bool old = state == before, now = state == std::pair<int, long long>{step.fd, step.bytes};
            EXPECT_TRUE(old || now) << "fd " << state.first << " cut to " << state.second << " while publishing fd "
                                    << step.fd << " at " << step.bytes;
        }
        EXPECT_EQ(file.fd.load(), step.fd);
        if (step.fd >= 0) {
            EXPECT_EQ(file.bytes.load(), step.bytes);
        }
    }
}

TEST(StopSignals, NoneOfTheThreeInterruptsTheHandler) {
    InstallStopSignals();
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        ASSERT_EQ(sigaction(stop, nullptr, &action), 0);
        for (const int other : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(sigismember(&action.sa_mask, other), 1) << stop << " " << other;
    }
    // The test process keeps its ordinary signals.
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) signal(stop, SIG_DFL);
}

}  // namespace
}  // namespace kelvora::cli
