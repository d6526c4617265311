#pragma once
// Files a process makes before it has anything to put in them (temporary files, outputs created
// only to be locked): listed while they would be left half-made, so that a process ended at once
// by a signal can remove them from its handler.

#include <sys/types.h>

#include <string>

namespace kelvora {

/// Lists path (relative to the working directory, which must not change meanwhile) as a file to
/// remove on an abrupt end. Thread-safe. A path of PATH_MAX bytes or more, or one beyond the list's
/// room (512 files at once), is not listed and returns false.
bool MarkLeftover(const std::string& path);

/// Creates path by open(path, flags, mode) (flags hold O_CREAT | O_EXCL) and lists it, with the stop
/// signals (SIGINT, SIGTERM, SIGHUP) held back from the calling thread in between: a signal that
/// comes while the file is made finds it listed. The descriptor, or -1 with errno as open set it.
int CreateLeftover(const std::string& path, int flags, mode_t mode);

/// Takes path off the list once it holds what it should, was renamed or removed. Thread-safe; a
/// path not listed is ignored.
void ClearLeftover(const std::string& path);

/// Removes every listed file by its name (a link is removed, never followed). Async-signal-safe:
/// for a signal handler that then ends the process.
void RemoveLeftovers();

}  // namespace kelvora
