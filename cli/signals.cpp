#include "signals.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "io/leftovers.h"

namespace kelvora::cli {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<bool> stopFlag{false};
volatile sig_atomic_t stopSignal = 0;
// The file a second signal cuts back and its whole length.
WholeFile whole;
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is raised inside a signal handler");
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<long long>::is_always_lock_free,
              "the file and its length are read inside a signal handler");

void OnSignal(int signal) {
    if (stopFlag.load()) {  // the second signal: the cut back to whole lines, and nothing left half-made
        RemoveLeftovers();
        const int fd = whole.fd.load();
        if (fd >= 0) (void)::ftruncate(fd, static_cast<off_t>(whole.bytes.load()));
        _exit(128 + signal);
    }
    stopSignal = signal;
    stopFlag.store(true);
}

const char* endCommand = "kelvora-cli";

// Before a command can stop cleanly: nothing half-made is left, and the end is told.
void OnEndSignal(int signal) {
    RemoveLeftovers();
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    const char* parts[] = {endCommand, ": stopped by ", name, "; nothing written\n"};
    for (const char* part : parts) (void)!::write(STDERR_FILENO, part, std::strlen(part));
    _exit(128 + signal);
}

void Install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    // None of the three interrupts the handler: a second signal waits until the first has raised
    // the flag, so that it is the one that cuts back and ends the process.
    sigemptyset(&action.sa_mask);
    for (const int stop : kStopSignals) sigaddset(&action.sa_mask, stop);
    action.sa_flags = SA_RESTART;
    for (const int stop : kStopSignals) sigaction(stop, &action, nullptr);
}

}  // namespace

void InstallEndSignals(const char* command) {
    endCommand = command;
    Install(OnEndSignal);
}

void InstallStopSignals() { Install(OnSignal); }

const std::atomic<bool>& StopFlag() { return stopFlag; }

void RequestStop() { stopFlag.store(true); }

void Publish(WholeFile& file, int fd, long long bytes, void (*between)(const WholeFile&)) {
    // A handler that runs between two of these stores must see no file, or a file with a length
    // given for that very file: another file is first withdrawn, the length stored while none is
    // published (or the same file is, whose new length only grows by whole pieces), and the
    // descriptor published last.
    if (file.fd.load() != fd) {
        file.fd.store(-1);
        if (between) between(file);
    }
    if (fd < 0) return;  // withdrawn: the length no longer matters
    file.bytes.store(bytes);
    if (between) between(file);
    file.fd.store(fd);
}

void KeepWholeOnSecondSignal(int fd, long long bytes) { Publish(whole, fd, bytes); }

int StopExitStatus() { return stopSignal == 0 ? 0 : 128 + stopSignal; }

const char* StopSignalName() {
    return stopSignal == SIGINT ? "SIGINT" : stopSignal == SIGTERM ? "SIGTERM" : stopSignal == SIGHUP ? "SIGHUP" : "";
}

}  // namespace kelvora::cli
