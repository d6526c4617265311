#pragma once
// Reading a text file a line at a time, the way every command reads the files a person names: opened
// without ever blocking, only a regular file or a character device (a FIFO is refused at once, never
// waited on), and a line longer than a limit ends the reading instead of filling memory.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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

}  // namespace kelvora::session
