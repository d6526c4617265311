#pragma once
// Standard output of kelvora-cli's commands: what a command prints must arrive, or its exit status
// says that it did not.

namespace kelvora::cli {

/// Makes sure descriptors 0, 1 and 2 are open before anything else is opened, so that no result
/// file can land on one of them and take what is printed. A closed one is taken by /dev/null opened
/// for reading only, so that printing to it still fails as printing to the closed descriptor did.
/// Called once, first thing in main.
void ReserveStandardDescriptors();

/// Flushes and closes stdout. Returns 0 when everything printed reached it; otherwise says so on
/// stderr ("kelvora-cli: standard output: REASON") and returns 1. A command calls it last, after
/// its own reports: `return std::max(status, FinishStdout());`.
int FinishStdout();

}  // namespace kelvora::cli
