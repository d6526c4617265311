#include "session/file_failure.h"

#include <cstring>

namespace kelvora::session {
namespace {

// GNU's strerror_r returns the words; the POSIX one (the browser build's C library) fills the buffer.
[[maybe_unused]] std::string Words(const char* words, const char*) { return words; }
[[maybe_unused]] std::string Words(int, const char* buffer) { return buffer; }

// The system's words for an errno, safe on any thread (a run's files are worded on its thread).
std::string SystemText(int error) {
    char buffer[256] = "";
    return Words(::strerror_r(error, buffer, sizeof buffer), buffer);
}

}  // namespace

std::string FileFailureText(const ResultFileFailure& failure, const std::string& path) {
    switch (failure.problem) {
    case FileProblem::inUse:
        return path + ": another run is writing this file; nothing was run";
    case FileProblem::notAFile:
        return path + ": cannot open: " + FileTypeName(failure.fileType) + ", not a regular file or a character device";
    case FileProblem::lost:
        return path + ": deleted during the run, its lines are lost";
    default:
        return path + ": " + (failure.duringOpen ? "cannot open" : "write failed, lines lost") + ": " +
               SystemText(failure.error);
    }
}

}  // namespace kelvora::session
