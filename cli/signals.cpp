#include "signals.h"

#include <signal.h>
#include <unistd.h>

namespace kelvora::cli {
namespace {

std::atomic<bool> stopFlag{false};
volatile sig_atomic_t stopSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is raised inside a signal handler");

void OnSignal(int signal) {
    if (stopFlag.load()) _exit(128 + signal);  // the second signal: no clean-up wanted
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
}

const std::atomic<bool>& StopFlag() { return stopFlag; }

int StopExitStatus() { return stopSignal == 0 ? 0 : 128 + stopSignal; }

const char* StopSignalName() {
    return stopSignal == SIGINT ? "SIGINT" : stopSignal == SIGTERM ? "SIGTERM" : "";
}

}  // namespace kelvora::cli
