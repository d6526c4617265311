#pragma once
// Standard output of kelvora-cli's commands: what a command prints must arrive, or its exit status
// says that it did not.

namespace kelvora::cli {

/// Makes sure descriptors 0, 1 and 2 are open before anything else is opened, so that no result
/// file can land on one of them and take what is printed. A closed one is taken by /dev/null opened
/// for reading only, so that printing to it still fails as printing to the closed descriptor did.
/// Standard output that is not a terminal gets a 64 KB buffer, so that a page such as --help reaches
/// it in one write at FinishStdout, where a failure is reported with its own reason (a smaller
/// buffer would lose the reason in a write made while printing). Called once, first thing in main.
void ReserveStandardDescriptors();

/// The command errors are attributed to: "kelvora-cli" for the plain run (nullptr),
/// "kelvora-cli NAME" for a subcommand. Set once by main before the command runs.
void SetCommandName(const char* subcommand);

/// "kelvora-cli" or "kelvora-cli NAME", as SetCommandName left it; every error message starts with
/// it and a colon.
const char* CommandName();

/// Flushes and closes stdout. Returns 0 when everything printed reached it; otherwise says so on
/// stderr ("COMMAND: standard output: REASON", COMMAND as CommandName gives it) and returns 1. A command calls it last, after
/// its own reports: `return std::max(status, FinishStdout());`.
int FinishStdout();

}  // namespace kelvora::cli
