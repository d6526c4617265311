#include "io/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "io/leftovers.h"

namespace kelvora {

int CreateTemporary(const std::string& path, std::string& reason) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = CreateLeftover(path, kFlags, 0666);
    if (fd < 0 && errno == EEXIST) {
        // Left by a command that was killed, or planted: its name goes, whatever it is, but a directory.
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            errno = EISDIR;
        else if (::unlink(path.c_str()) == 0 || errno == ENOENT)
            fd = CreateLeftover(path, kFlags, 0666);
    }
    if (fd < 0) {
        reason = "cannot make the temporary file '" + path + "': " + std::strerror(errno);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string CommitTemporary(int fd, const std::string& temporary, const std::string& target) {
    if (::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        ClearLeftover(temporary);
        return std::strerror(error);
    }
    ClearLeftover(temporary);
    return {};
}

void DiscardTemporary(int fd, const std::string& temporary) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    ClearLeftover(temporary);
}

std::string ReplaceWhole(const std::string& target, const std::function<bool(int fd)>& write) {
    const std::string temporary = target + ".part";
    std::string reason;
    const int fd = CreateTemporary(temporary, reason);
    if (fd < 0) return reason;
    bool written = false;
    try {
        written = write(fd);
    } catch (...) {  // out of memory on the way: nothing is left behind
        DiscardTemporary(fd, temporary);
        throw;
    }
    if (!written) {
        const int error = errno;
        DiscardTemporary(fd, temporary);
        return std::strerror(error);
    }
    return CommitTemporary(fd, temporary, target);
}

}  // namespace kelvora
