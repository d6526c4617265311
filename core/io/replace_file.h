#pragma once
// Replacing a file whole: its new contents go to a temporary file beside it ("NAME.part") that is
// then renamed over it, so that the file holds either all of its old bytes or all of the new ones.

#include <functional>
#include <string>

namespace kelvora {

/// Makes the temporary file path ("NAME.part") for writing: created with O_CREAT | O_EXCL |
/// O_NOFOLLOW | O_NONBLOCK, so that nothing planted at the name is followed, written through or
/// blocked on. A stale one (a regular file, a symbolic link, a FIFO or a socket left there) is
/// removed, by its name only, never what a link points to, and made anew once; a directory is
/// refused. Returns the descriptor (blocking, close-on-exec) or -1 with the reason in reason:
/// "cannot make the temporary file 'NAME.part': <the system's reason>". The file is listed as a
/// leftover (io/leftovers.h) until CommitTemporary or DiscardTemporary.
int CreateTemporary(const std::string& path, std::string& reason);

/// Closes fd and renames temporary over target; on a failed close or rename the temporary is
/// removed. Returns "" or the system's reason.
std::string CommitTemporary(int fd, const std::string& temporary, const std::string& target);

/// Closes fd (if >= 0) and removes temporary: a write through it that is given up.
void DiscardTemporary(int fd, const std::string& temporary);

/// Writes target whole through "TARGET.part" and a rename: write gets the temporary's descriptor
/// and returns false with errno set when a write failed. A link at target is replaced, not
/// followed. Returns "" or the reason (the temporary then removed, target untouched).
std::string ReplaceWhole(const std::string& target, const std::function<bool(int fd)>& write);

}  // namespace kelvora
