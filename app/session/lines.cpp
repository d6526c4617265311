#include "session/lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "io/result_files.h"

namespace kelvora::session {
namespace {

// read(2) resuming after signals.
ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    while ((n = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return n;
}

}  // namespace

std::string ReadFileLines(const std::string& path, std::size_t longest,
                          const std::function<bool(std::string_view text, LineEnd end)>& line) {
    LineReader reader(longest);
    if (std::string reason = reader.Open(path); !reason.empty()) return reason;
    std::string_view text;
    LineEnd end = LineEnd::lf;
    while (reader.Next(text, end))
        if (!line(text, end) || end != LineEnd::lf) break;
    return reader.Error();
}

LineReader::~LineReader() {
    if (fd_ >= 0) ::close(fd_);
}

std::string LineReader::Open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return std::generic_category().message(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))) {
        ::close(fd_);
        fd_ = -1;
        return std::string(FileTypeName(info.st_mode & S_IFMT)) + ", not a regular file or a character device";
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    buffer_.resize(65536);
    return {};
}

bool LineReader::Next(std::string_view& text, LineEnd& end) {
    line_.clear();
    while (!done_) {
        const std::string_view piece(buffer_.data() + begin_, end_ - begin_);
        const std::size_t lf = piece.find('\n');
        const std::size_t take = lf == std::string_view::npos ? piece.size() : lf;
        if (line_.size() + take > longest_) {
            line_.append(piece.substr(0, longest_ - line_.size()));
            done_ = true;
            text = line_;
            end = LineEnd::tooLong;
            return true;
        }
        if (lf != std::string_view::npos) {
            begin_ += lf + 1;
            end = LineEnd::lf;
            if (line_.empty()) {
                text = piece.substr(0, lf);
            } else {
                line_.append(piece.substr(0, lf));
                text = line_;
            }
            return true;
        }
        line_.append(piece);
        begin_ = end_ = 0;
        const ssize_t n = fd_ < 0 ? 0 : ReadSome(fd_, buffer_.data(), buffer_.size());
        if (n < 0) error_ = std::generic_category().message(errno);
        if (n <= 0) {
            done_ = true;
            if (n == 0 && !line_.empty()) {
                text = line_;
                end = LineEnd::eof;
                return true;
            }
            return false;
        }
        end_ = static_cast<std::size_t>(n);
    }
    return false;
}

}  // namespace kelvora::session
