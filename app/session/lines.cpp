#include "session/lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))) {
        ::close(fd);
        return std::string(FileTypeName(info.st_mode & S_IFMT)) + ", not a regular file or a character device";
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::vector<char> buffer(65536);
    std::string pending;  // the start of a line that runs past the piece read
    for (bool more = true; more;) {
        const ssize_t n = ReadSome(fd, buffer.data(), buffer.size());
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return std::strerror(error);
        }
        if (n == 0) {
            if (!pending.empty()) line(pending, LineEnd::eof);
            break;
        }
        std::string_view piece(buffer.data(), static_cast<std::size_t>(n));
        while (more && !piece.empty()) {
            const std::size_t lf = piece.find('\n');
            const std::size_t take = lf == std::string_view::npos ? piece.size() : lf;
            if (pending.size() + take > longest) {
                pending.append(piece.substr(0, longest - pending.size()));
                line(pending, LineEnd::tooLong);
                more = false;
                break;
            }
            if (lf == std::string_view::npos) {
                pending.append(piece);
                break;
            }
            if (pending.empty()) {
                more = line(piece.substr(0, lf), LineEnd::lf);
            } else {
                pending.append(piece.substr(0, lf));
                more = line(pending, LineEnd::lf);
                pending.clear();
            }
            piece.remove_prefix(lf + 1);
        }
    }
    ::close(fd);
    return {};
}

}  // namespace kelvora::session
