#include "common/wholefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "io/replace_file.h"
#include "io/result_files.h"

namespace kelvora::ui {

QString WriteWholeFile(const QByteArray& path, const QByteArray& bytes) {
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::string name(path.constData(), static_cast<std::size_t>(path.size()));
    struct stat info {};
    if (::stat(name.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        const bool written = fd >= 0 && WriteText(fd, text);
        const int error = errno;
        if (fd >= 0) ::close(fd);
        return written ? QString() : QString::fromLocal8Bit(std::strerror(error));
    }
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return QString::fromLocal8Bit(FileTypeName(info.st_mode & S_IFMT)) + QStringLiteral(", not a regular file");
    // Beside the file itself, a link's target included, so that the rename stays on its file system.
    char resolved[PATH_MAX];
    const std::string target = ::realpath(name.c_str(), resolved) ? resolved : name;
    return QString::fromLocal8Bit(ReplaceWhole(target, [text](int fd) { return WriteText(fd, text); }).c_str());
}

}  // namespace kelvora::ui
