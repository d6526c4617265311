#pragma once
// Ctrl-C, SIGTERM and SIGHUP for kelvora-cli: the first asks the work under way to stop at a clean
// boundary, the second ends the process at once, after cutting the file being written back to its
// last whole piece (a generation of results.csv, a sweep row).

#include <atomic>

namespace kelvora::cli {

/// Installs the handlers a command has until it installs its stop signals: SIGINT, SIGTERM or SIGHUP
/// removes the files made and not yet whole (io/leftovers.h), says so on standard error under
/// command's name ("COMMAND: stopped by SIGINT; nothing written") and ends the process with
/// status 128 + the signal's number. command must outlive the process.
void InstallEndSignals(const char* command);

/// Installs handlers for SIGINT, SIGTERM and SIGHUP. The first signal raises StopFlag(); a second one
/// cuts the file named by KeepWholeOnSecondSignal back and ends the process at once with status
/// 128 + the signal's number.
void InstallStopSignals();

/// Raises StopFlag() without a signal, for a failure that ends the work (its output gone): the work
/// stops at its next boundary as after a first signal, and StopExitStatus() stays 0.
void RequestStop();

/// Raised by the first SIGINT, SIGTERM or SIGHUP after InstallStopSignals; safe to read on any thread.
const std::atomic<bool>& StopFlag();

/// Tells the handler of a second signal which file to cut back, and to what length: fd an open
/// regular file (-1: none), bytes (>= 0) the length of its whole lines or rows so far. Call it
/// again after each whole piece; it is async-signal-safe to read, as the handler does.
void KeepWholeOnSecondSignal(int fd, long long bytes);

/// A file a second signal cuts back: its descriptor (-1: none) and the length of its whole pieces.
struct WholeFile {
    std::atomic<int> fd{-1};
    std::atomic<long long> bytes{0};
};

/// Stores fd and bytes into file (fd -1: withdraws it) in an order that lets a signal handler read
/// it at any moment: it sees no file, or a file with a length published for that file, never
/// another file's length nor a withdrawn file's 0. between (a test's seam) is called after each
/// store but the last. KeepWholeOnSecondSignal publishes through it.
void Publish(WholeFile& file, int fd, long long bytes, void (*between)(const WholeFile&) = nullptr);

/// The exit status for the signal that raised StopFlag(): 130 (SIGINT), 143 (SIGTERM), 129 (SIGHUP),
/// 0 if none.
int StopExitStatus();

/// "SIGINT", "SIGTERM", "SIGHUP", or "" if none came.
const char* StopSignalName();

}  // namespace kelvora::cli
