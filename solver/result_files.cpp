#include "result_files.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "solver.h"

namespace kelvora {
namespace {

// "0,".."255,": the decimal text of every gene value with its separator, built once.
struct GeneTexts {
    char text[256][4] = {};
    std::uint8_t length[256];
    GeneTexts() {
        for (int v = 0; v < 256; ++v) {
            char* end = std::to_chars(text[v], text[v] + 3, v).ptr;
            *end++ = ',';
            length[v] = static_cast<std::uint8_t>(end - text[v]);
        }
    }
};

const GeneTexts& Genes() {
    static const GeneTexts genes;
    return genes;
}

ssize_t WriteAll(LineWriter writer, int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = writer ? writer(fd, data + done, size - done) : ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) {
            errno = EIO;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

void AppendDouble(LogFile& log, double v) {
    log.length = static_cast<int>(FormatG(log.line + log.length, v) - log.line);
}

void AppendInt(LogFile& log, int v) {
    log.length = static_cast<int>(std::to_chars(log.line + log.length, log.line + kMaxLineLength, v).ptr - log.line);
}

// Ends the line with CR LF and hands it to the file in one write. A log that has failed takes no
// more lines, so the file never has a hole in it.
void EndLine(LogFile& log) {
    log.line[log.length++] = '\r';
    log.line[log.length++] = '\n';
    if (log.fd >= 0 && log.error == 0) {
        if (WriteAll(log.writer, log.fd, log.line, static_cast<std::size_t>(log.length)) < 0) {
            log.error = errno;
        } else {
            ++log.linesWritten;
            log.bytesLogged += log.length;
        }
    }
    log.length = 0;
}

void OpenLog(LogFile& log, const char* directory) {
    CloseLog(log);
    log.error = 0;
    log.openFailed = false;
    log.linesWritten = 0;
    log.bytesLogged = 0;
    log.length = 0;
    std::string path;
    if (directory && *directory) {
        path = directory;
        if (path.back() != '/') path += '/';
    }
    path += log.name;
    do {
        log.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (log.fd < 0 && errno == EINTR);
    if (log.fd < 0) {
        log.error = errno;
        log.openFailed = true;
    }
}

}  // namespace

LogFile::~LogFile() { CloseLog(*this); }

void CloseLog(LogFile& log) {
    if (log.fd < 0) return;
    if (::close(log.fd) != 0 && errno != EINTR && log.error == 0) log.error = errno;
    log.fd = -1;
}

ResultFileFailure FailureOf(const LogFile& log) {
    ResultFileFailure f;
    if (log.error != 0) {
        f.name = log.name;
        f.error = log.error;
        f.duringOpen = log.openFailed;
    }
    return f;
}

char* FormatG(char* out, double v) {
    // Every fitness and average lies in (0.002, 1]. For [0.001, 1) %g writes "0.", the zeros after
    // the point, and the six significant digits rounded half to even from the exact binary value,
    // trailing zeros dropped. Scaling by a power of ten (exact in a double) errs by at most half an
    // ulp of a product below 2^20, 2^-33; whenever the product is further than 2^-32 from a
    // rounding tie, rounding it to nearest rounds the exact value the same way. Anything else,
    // ties and values outside that range, goes to std::to_chars, which gives %g's bytes always.
    if (v == 1.0) {
        *out = '1';
        return out + 1;
    }
    if (v >= 0.001 && v < 1.0) {
        const int zeros = v >= 0.1 ? 0 : (v >= 0.01 ? 1 : 2);
        static constexpr double kScale[3] = {1e6, 1e7, 1e8};
        const double scaled = v * kScale[zeros];
        const double floor = static_cast<double>(static_cast<std::int64_t>(scaled));
        const double fraction = scaled - floor;
        constexpr double kMargin = 0x1p-32;
        if (fraction < 0.5 - kMargin || fraction > 0.5 + kMargin) {
            std::int64_t digits = static_cast<std::int64_t>(floor) + (fraction > 0.5 ? 1 : 0);
            int leading = zeros;
            if (digits == 1000000) {  // rounded up to the next power of ten: 0.0999999.. -> 0.1
                digits = 100000;
                --leading;
            }
            if (leading >= 0) {
                char* p = out;
                *p++ = '0';
                *p++ = '.';
                for (int i = 0; i < leading; ++i) *p++ = '0';
                while (digits % 10 == 0) digits /= 10;
                return std::to_chars(p, p + 6, digits).ptr;
            }
        }
    }
    return std::to_chars(out, out + 32, v, std::chars_format::general, 6).ptr;
}

void OpenResultFiles(SolverState& state, const char* directory) {
    OpenLog(state.resultsLog, directory);
    OpenLog(state.fitnessLog, directory);
}

void LogIndividual(SolverState& state, const Chromosome& c) {
    LogFile& log = state.resultsLog;
    const GeneTexts& genes = Genes();
    // Each entry is 4 bytes ("7," and padding included): copying all 4 is one move, and the line
    // advances by the text's own length. The line buffer has room to spare for the padding.
    char* p = log.line + log.length;
    for (std::uint8_t g : c.gene) {
        std::memcpy(p, genes.text[g], 4);
        p += genes.length[g];
    }
    log.length = static_cast<int>(p - log.line);
}

void LogIndividualFitness(SolverState& state, double fitness) {
    AppendDouble(state.resultsLog, fitness);
    EndLine(state.resultsLog);
}

void LogSummary(SolverState& state, int bestIndex, double best, double average) {
    LogFile& log = state.resultsLog;
    AppendInt(log, bestIndex);
    log.line[log.length++] = ',';
    AppendDouble(log, best);
    log.line[log.length++] = ',';
    AppendDouble(log, average);
    EndLine(log);
}

void CloseResultsFile(SolverState& state) { CloseLog(state.resultsLog); }

void WriteFitnessFile(SolverState& state, int generationCount) {
    LogFile& log = state.fitnessLog;
    for (state.generation = 0; state.generation < generationCount; ++state.generation) {
        const GenerationStat& row = state.history[static_cast<std::size_t>(state.generation)];
        AppendDouble(log, row.best);
        log.line[log.length++] = ',';
        AppendDouble(log, row.average);
        EndLine(log);
    }
    CloseLog(log);
}

}  // namespace kelvora
