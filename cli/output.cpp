#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace kelvora::cli {
namespace {

std::string& Name() {
    static std::string name = "kelvora-cli";
    return name;
}

}  // namespace

void SetCommandName(const char* subcommand) {
    Name() = subcommand ? std::string("kelvora-cli ") + subcommand : "kelvora-cli";
}

const char* CommandName() { return Name().c_str(); }

void ReserveStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() returns the lowest free descriptor: fd itself, as the lower ones are open.
        const int taken = ::open("/dev/null", O_RDONLY);
        if (taken >= 0 && taken != fd) {
            ::dup2(taken, fd);
            ::close(taken);
        }
    }
    if (!::isatty(STDOUT_FILENO)) {
        static char buffer[1 << 16];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }
}

int FinishStdout() {
    // A write that failed while printing leaves the error flag; the flush finds what is still buffered.
    bool failed = std::ferror(stdout) != 0;
    int error = failed ? EIO : 0;
    if (std::fflush(stdout) != 0) {
        failed = true;
        error = errno;
    }
    if (std::fclose(stdout) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    if (!failed) return 0;
    std::fprintf(stderr, "%s: standard output: %s\n", CommandName(), std::strerror(error));
    return 1;
}

}  // namespace kelvora::cli
