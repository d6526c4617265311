#pragma once
// The files kelvora-cli's subcommands write and read besides a run's two result files: opened
// without ever blocking, only regular files and character devices, outputs locked while a command
// runs, and whole files written through a temporary file and a rename.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora::cli {

/// An output a command holds from before its work until it ends. A regular file carries an
/// exclusive flock(2) lock, as a run's result files do, so that a second command writing it is
/// refused; a character device (/dev/null, a terminal) is written as it is.
struct OutputFile {
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  ///< Abandon: a file made here and never written (a refusal, out of memory) goes again

    std::string path;      ///< as given
    int fd = -1;           ///< open for writing, blocking; -1 when not open
    bool regular = false;  ///< a regular file: locked, and emptied or replaced only by the command
    bool created = false;  ///< made by OpenOutput and not yet holding anything: Abandon, or a second signal, removes it
    bool busy = false;     ///< OpenOutput failed because another command holds the file's lock
};

/// Opens path (with dashIsStdout, "-" is a copy of standard output) for writing without blocking and without emptying
/// it, and locks it when it is a regular file. On failure returns the message, the escaped name and
/// the reason: the system's when it cannot be opened, its kind when it is a FIFO, a socket or
/// anything else that is not a regular file or a character device, or that another command holds
/// its lock ("another kelvora-cli is writing this file; nothing was written").
std::string OpenOutput(const std::string& path, OutputFile& file, bool dashIsStdout = false);

/// Opens a file of the command's own beside an output (a map's rows so far, "FILE.partial") as
/// OpenOutput does, but a link, FIFO or socket at its name is removed unfollowed first and a link
/// made there meanwhile is not followed.
std::string OpenOwnFile(const std::string& path, OutputFile& file);

/// The exit status of a command whose output OpenOutput refused: 1 when another command holds it
/// (busy), 2 otherwise (the path cannot be written: a usage error, known before any work).
int OpenFailureStatus(const OutputFile& file);

/// The file now holds what was asked for (a header, a first piece): kept from here on, by Abandon
/// and by a second signal alike.
void Keep(OutputFile& file);

/// Closes the file; one that OpenOutput created is removed, so that a refused command leaves nothing.
void Abandon(OutputFile& file);

/// Writes all of text to fd, resuming after signals; false with errno set on failure.
bool WriteAll(int fd, const std::string& text);

/// Replaces the contents of an open output with text: a regular file through a temporary file
/// beside it ("NAME.part", made as CreateTemporary makes it: nothing planted there is followed or
/// blocked on) and a rename, so that it holds either its old bytes or all the new ones; a device by
/// writing to it. Returns "" or the reason (the temporary file removed).
std::string WriteWhole(OutputFile& file, const std::string& text);

/// The same with the contents written by write to the descriptor it is given (the temporary file's
/// or the device's); write returns false with errno set when a write failed.
std::string WriteWhole(OutputFile& file, const std::function<bool(int fd)>& write);

/// Reads all of path without blocking on it: only a regular file or a character device. Returns
/// "" with the contents in text, or the reason ("a FIFO, not a regular file or a character device",
/// or the system's).
std::string ReadInput(const std::string& path, std::string& text);

/// The first pair of paths that name the same file where the first of the two is among the first
/// `outputs` paths (the outputs, which come first): by device and inode where they exist, by
/// resolved directory and name where they do not. An empty path stands for standard output, the
/// file descriptor 1 itself (what the shell redirected it to). Character devices (/dev/null, a
/// terminal) never count as the same file. Returns {-1, -1} when there is none.
std::pair<int, int> SameFile(const std::vector<std::string>& paths, std::size_t outputs);

}  // namespace kelvora::cli
