#include "files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "helpers.h"
#include "io/leftovers.h"
#include "io/replace_file.h"
#include "io/result_files.h"

namespace kelvora::cli {
namespace {

bool Writable(mode_t mode) { return S_ISREG(mode) || S_ISCHR(mode); }

std::string NotAFile(mode_t mode) {
    return std::string(FileTypeName(mode & S_IFMT)) + ", not a regular file or a character device";
}

// What identifies path as a file: its device and inode when it exists, otherwise its resolved
// directory and its name; "" for a character device.
std::string FileKey(const std::string& path) {
    struct stat info {};
    if (path.empty() ? ::fstat(STDOUT_FILENO, &info) == 0 : ::stat(path.c_str(), &info) == 0) {
        if (S_ISCHR(info.st_mode)) return {};
        std::string key = "i";
        key += std::to_string(info.st_dev);
        key += ':';
        key += std::to_string(info.st_ino);
        return key;
    }
    if (path.empty()) return {};  // standard output closed
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    std::string key = "p";
    key += ::realpath(directory.c_str(), resolved) ? resolved : directory.c_str();
    key += '/';
    key += name;
    return key;
}

// Opens path for writing as OpenOutput says; noFollow: a link at the name is not followed.
std::string OpenFile(const std::string& path, OutputFile& file, bool noFollow);

}  // namespace

OutputFile::~OutputFile() { Abandon(*this); }

std::string OpenOutput(const std::string& path, OutputFile& file, bool dashIsStdout) {
    file.path = path;
    if (dashIsStdout && path == "-") {
        file.fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (file.fd < 0) return "standard output: " + std::string(std::strerror(errno));
        return {};
    }
    return OpenFile(path, file, false);
}

std::string OpenOwnFile(const std::string& path, OutputFile& file) {
    file.path = path;
    // Anything but a regular file or a directory at the name is not this command's: the name goes.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        (void)::unlink(path.c_str());
    return OpenFile(path, file, true);
}

namespace {

std::string OpenFile(const std::string& path, OutputFile& file, bool noFollow) {
    const int kFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    file.fd = ::open(path.c_str(), kFlags);
    if (file.fd < 0 && errno == ENOENT) {
        file.fd = CreateLeftover(path, kFlags | O_CREAT | O_EXCL, 0666);
        file.created = file.fd >= 0;
    }
    struct stat info {};
    if (file.fd < 0) {
        const int error = errno;
        // A FIFO without a reader, or a socket, fails with ENXIO: say what it is.
        if (::stat(path.c_str(), &info) == 0 && !Writable(info.st_mode) && !S_ISDIR(info.st_mode))
            return Printable(path) + ": cannot open: " + NotAFile(info.st_mode);
        return Printable(path) + ": cannot open: " + std::strerror(error);
    }
    if (::fstat(file.fd, &info) != 0 || !Writable(info.st_mode)) {
        Abandon(file);
        return Printable(path) + ": cannot open: " + NotAFile(info.st_mode);
    }
    ::fcntl(file.fd, F_SETFL, ::fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
    file.regular = S_ISREG(info.st_mode);
    if (file.regular) {
        int locked;
        while ((locked = ::flock(file.fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        // Any other lock failure (a file system without locks) does not keep the user from working.
        if (locked != 0 && errno == EWOULDBLOCK) {
            Keep(file);  // the other command's now
            ::close(file.fd);
            file.fd = -1;
            file.busy = true;
            return Printable(path) + ": another kelvora-cli is writing this file; nothing was written";
        }
    }
    return {};
}

}  // namespace

int OpenFailureStatus(const OutputFile& file) { return file.busy ? 1 : 2; }

void Keep(OutputFile& file) {
    if (file.created) ClearLeftover(file.path);
    file.created = false;
}

void Abandon(OutputFile& file) {
    if (file.fd < 0) return;
    // Only a file still empty as OpenOutput made it: one that holds what was asked for is kept.
    if (file.created) {
        ::unlink(file.path.c_str());
        Keep(file);
    }
    ::close(file.fd);
    file.fd = -1;
}

bool WriteAll(int fd, const std::string& text) { return WriteText(fd, text); }

std::string WriteWhole(OutputFile& file, const std::string& text) {
    return WriteWhole(file, [&text](int fd) { return WriteAll(fd, text); });
}

std::string WriteWhole(OutputFile& file, const std::function<bool(int fd)>& write) {
    if (!file.regular) return write(file.fd) ? std::string() : std::strerror(errno);
    // Beside the file itself, a link's target included, so that the rename stays on its file system.
    char resolved[PATH_MAX];
    const std::string target = ::realpath(file.path.c_str(), resolved) ? resolved : file.path;
    std::string reason = ReplaceWhole(target, write);
    if (reason.empty()) Keep(file);  // it holds what was asked for now
    return reason;
}

namespace {

// Opens path for reading without blocking: only a regular file or a character device, then
// blocking again. Returns the descriptor, or -1 with the reason.
int OpenInput(const std::string& path, std::string& reason, struct stat& info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !Writable(info.st_mode)) {
        ::close(fd);
        reason = NotAFile(info.st_mode);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// read(2) resuming after signals.
ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    while ((n = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return n;
}

}  // namespace

std::string ReadInput(const std::string& path, std::string& text) {
    text.clear();
    std::string reason;
    struct stat info {};
    const int fd = OpenInput(path, reason, info);
    if (fd < 0) return reason;
    if (S_ISREG(info.st_mode)) text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ReadSome(fd, buffer, sizeof buffer);
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return std::strerror(error);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return {};
}

std::pair<int, int> SameFile(const std::vector<std::string>& paths, std::size_t outputs) {
    std::vector<std::string> keys;
    for (const std::string& path : paths) keys.push_back(FileKey(path));
    for (std::size_t i = 0; i < keys.size(); ++i)
        for (std::size_t j = 0; j < i && j < outputs; ++j)
            if (!keys[i].empty() && keys[i] == keys[j]) return {static_cast<int>(j), static_cast<int>(i)};
    return {-1, -1};
}

}  // namespace kelvora::cli
