#include "signals.h"

#include <signal.h>
#include <unistd.h>

namespace kelvora::cli {
namespace {

std::atomic<bool> stopFlag{false};
volatile sig_atomic_t stopSignal = 0;
// The file a second signal cuts back and its whole length. The length is stored before the
// descriptor is published and after each whole piece, so the handler never cuts into a piece.
std::atomic<int> wholeFd{-1};
std::atomic<long long> wholeBytes{0};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is raised inside a signal handler");
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<long long>::is_always_lock_free,
              "the file and its length are read inside a signal handler");

void OnSignal(int signal) {
    if (stopFlag.load()) {  // the second signal: no clean-up but the cut back to whole lines
        const int fd = wholeFd.load();
        if (fd >= 0) (void)::ftruncate(fd, static_cast<off_t>(wholeBytes.load()));
        _exit(128 + signal);
    }
    stopSignal = signal;
    stopFlag.store(true);
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

const std::atomic<bool>& StopFlag() { return stopFlag; }

void KeepWholeOnSecondSignal(int fd, long long bytes) {
    wholeBytes.store(bytes);
    wholeFd.store(fd);
}

int StopExitStatus() { return stopSignal == 0 ? 0 : 128 + stopSignal; }

const char* StopSignalName() {
    return stopSignal == SIGINT ? "SIGINT" : stopSignal == SIGTERM ? "SIGTERM" : stopSignal == SIGHUP ? "SIGHUP" : "";
}

}  // namespace kelvora::cli
