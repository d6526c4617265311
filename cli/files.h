#pragma once
// The files kelvora-cli's subcommands write and read besides a run's two result files: opened
// without ever blocking, only regular files and character devices, outputs locked while a command
// runs, and whole files written through a temporary file and a rename.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
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
    bool created = false;  ///< made by OpenOutput and not yet holding anything: Abandon removes it again
};

/// Opens path (with dashIsStdout, "-" is a copy of standard output) for writing without blocking and without emptying
/// it, and locks it when it is a regular file. On failure returns the message, the escaped name and
/// the reason: the system's when it cannot be opened, its kind when it is a FIFO, a socket or
/// anything else that is not a regular file or a character device, or that another command holds
/// its lock ("another kelvora-cli is writing this file; nothing was written").
std::string OpenOutput(const std::string& path, OutputFile& file, bool dashIsStdout = false);

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

/// How a line handed over by ReadLines ended.
enum class LineEnd {
    lf,       ///< at an LF (not included)
    eof,      ///< at the end of the file, without an LF: a line cut short
    tooLong,  ///< the line is longer than ReadLines' longest; only its first longest bytes are given
};

/// Reads path as ReadInput does (only a regular file or a character device, never blocking on it),
/// 64 KB at a time, and hands each line to line, in order, until line returns false or the file
/// ends; a line longer than longest bytes ends the reading. Memory is the piece read and one line,
/// whatever the file's size. Returns "" or the reason the file could not be read.
std::string ReadLines(const std::string& path, std::size_t longest,
                      const std::function<bool(std::string_view text, LineEnd end)>& line);

/// A file read a line at a time on request, as ReadLines reads it (only a regular file or a
/// character device, never blocking on it, 64 KB at a time), so that several can be read side by
/// side. Memory is the piece read and one line.
class LineReader {
public:
    explicit LineReader(std::size_t longest) : longest_(longest) {}
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    /// Opens path; "" or the reason it cannot be read.
    std::string Open(const std::string& path);

    /// The next line in text (valid until the next call) and how it ended; false at the end of the
    /// file or when a read failed (Error() then says why). A line longer than longest ends the
    /// reading after it is handed over, cut to longest bytes, as LineEnd::tooLong.
    bool Next(std::string_view& text, LineEnd& end);

    /// "" or the reason the last read failed.
    const std::string& Error() const { return error_; }

private:
    std::size_t longest_;
    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t begin_ = 0, end_ = 0;  // the unread part of buffer_
    std::string line_;                 // the start of a line that runs past the piece read
    bool done_ = false;
    std::string error_;
};

/// The first pair of paths that name the same file where the first of the two is among the first
/// `outputs` paths (the outputs, which come first): by device and inode where they exist, by
/// resolved directory and name where they do not. An empty path stands for standard output, the
/// file descriptor 1 itself (what the shell redirected it to). Character devices (/dev/null, a
/// terminal) never count as the same file. Returns {-1, -1} when there is none.
std::pair<int, int> SameFile(const std::vector<std::string>& paths, std::size_t outputs);

}  // namespace kelvora::cli
