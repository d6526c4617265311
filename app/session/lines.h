#pragma once
// Reading a text file a line at a time, the way every command reads the files a person names: opened
// without ever blocking, only a regular file or a character device (a FIFO is refused at once, never
// waited on), and a line longer than a limit ends the reading instead of filling memory.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::session {

/// How a line handed over by ReadFileLines ended.
enum class LineEnd {
    lf,       ///< at an LF (not included)
    eof,      ///< at the end of the file, without an LF: a line cut short
    tooLong,  ///< the line is longer than ReadFileLines' longest; only its first longest bytes are given
};

/// Reads path (only a regular file or a character device, opened with O_NONBLOCK and checked before
/// any read) 64 KB at a time and hands each line to line, in order, until line returns false or the
/// file ends; a line longer than longest bytes ends the reading. Memory is the piece read and one
/// line, whatever the file's size. Returns "" or the reason the file could not be read: the
/// system's, or "a FIFO, not a regular file or a character device" and the like.
std::string ReadFileLines(const std::string& path, std::size_t longest,
                          const std::function<bool(std::string_view text, LineEnd end)>& line);

/// A file read a line at a time on request, as ReadFileLines reads it (only a regular file or a
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

}  // namespace kelvora::session
