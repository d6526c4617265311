#pragma once
// Ctrl-C and SIGTERM for kelvora-cli: the first asks the work under way to stop at a clean boundary,
// the second ends the process at once.

#include <atomic>

namespace kelvora::cli {

/// Installs handlers for SIGINT and SIGTERM. The first signal raises StopFlag(); a second one ends
/// the process at once with status 128 + the signal's number.
void InstallStopSignals();

/// Raised by the first SIGINT or SIGTERM after InstallStopSignals; safe to read on any thread.
const std::atomic<bool>& StopFlag();

/// The exit status for the signal that raised StopFlag(): 130 (SIGINT), 143 (SIGTERM), 0 if none.
int StopExitStatus();

/// "SIGINT", "SIGTERM", or "" if none came.
const char* StopSignalName();

}  // namespace kelvora::cli
