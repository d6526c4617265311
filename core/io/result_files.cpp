#include "io/result_files.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <vector>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/text.h"

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

// Writes all of data; on failure returns false with errno set and done holding the bytes that did
// reach the file.
bool WriteAll(LineWriter writer, int fd, const char* data, std::size_t size, std::size_t& done) {
    done = 0;
    while (done < size) {
        const ssize_t n = writer ? writer(fd, data + done, size - done) : ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// After a write that failed part-way (a full disk takes what fits), cuts the file back to the end
// of the last complete line, so that it never ends in a fragment that would read as data. data is
// what was being written, done the bytes of it that reached the file.
void CutToWholeLines(const LogFile& log, const char* data, std::size_t done) {
    std::size_t whole = done;
    while (whole > 0 && data[whole - 1] != '\n') --whole;
    if (whole == done || !log.regular) return;
    const int savedErrno = errno;
    const off_t end = ::lseek(log.fd, 0, SEEK_CUR);
    if (end >= static_cast<off_t>(done - whole)) {
        const off_t keep = end - static_cast<off_t>(done - whole);
        while (::ftruncate(log.fd, keep) != 0 && errno == EINTR) {
        }
        ::lseek(log.fd, keep, SEEK_SET);
    }
    errno = savedErrno;
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
    if (log.fd >= 0 && log.error == 0 && log.batch) {
        if (log.batchLength + static_cast<std::size_t>(log.length) > kBatchCapacity) FlushLog(log);
        std::memcpy(log.batch.get() + log.batchLength, log.line, static_cast<std::size_t>(log.length));
        log.batchLength += static_cast<std::size_t>(log.length);
        ++log.batchLines;
    } else if (log.fd >= 0 && log.error == 0) {
        std::size_t done = 0;
        if (!WriteAll(log.writer, log.fd, log.line, static_cast<std::size_t>(log.length), done)) {
            log.error = errno;
            log.problem = FileProblem::writeFailed;
            CutToWholeLines(log, log.line, done);
        } else {
            ++log.linesWritten;
            log.bytesLogged += log.length;
        }
    }
    log.length = 0;
}

std::string PathOf(const char* directory, const char* name) {
    std::string path;
    const std::size_t length = directory ? std::strlen(directory) : 0;
    path.reserve(length + 1 + std::strlen(name));  // one allocation
    if (length > 0) {
        path = directory;
        if (path.back() != '/') path += '/';
    }
    path += name;
    return path;
}

void NoteOpenFailure(LogFile& log, FileProblem problem, int error) {
    log.error = error;
    log.openFailed = true;
    log.problem = problem;
}

// Opens a result file for writing without truncating it and without blocking (a FIFO with no
// reader would otherwise wait forever), refuses what is neither a regular file nor a character
// device, and locks a regular file. The truncation waits until both files are locked.
void AcquireLog(LogFile& log, const char* directory) {
    CloseLog(log);
    log.error = 0;
    log.openFailed = false;
    log.problem = FileProblem::none;
    log.fileType = 0;
    log.regular = false;
    log.created = false;
    log.linesWritten = 0;
    log.bytesLogged = 0;
    log.length = 0;
    log.batchLength = 0;
    log.batchLines = 0;
    // Not zero-filled: only the pages a generation's lines reach are ever touched, so a small run
    // costs a page or two of it, not the 640 KB the largest population needs.
    if (log.flush == FlushMode::generation && !log.batch) log.batch = std::unique_ptr<char[]>(new char[kBatchCapacity]);  // left uninitialised
    if (log.flush == FlushMode::line) log.batch.reset();
    const std::string path = PathOf(directory, log.name);
    constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    log.fd = ::open(path.c_str(), kFlags);
    if (log.fd < 0 && errno == ENOENT) {
        log.fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);  // O_EXCL: know that it is ours
        if (log.fd >= 0)
            log.created = true;
        else if (errno == EEXIST)  // made meanwhile, or a link to a file yet to be made
            log.fd = ::open(path.c_str(), kFlags | O_CREAT, 0666);
    }
    struct stat info {};
    if (log.fd < 0) {
        const int error = errno;
        // A FIFO without a reader, or a socket, fails with ENXIO: say what it is.
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode) &&
            !S_ISDIR(info.st_mode)) {
            log.fileType = info.st_mode & S_IFMT;
            NoteOpenFailure(log, FileProblem::notAFile, ENXIO);
        } else {
            NoteOpenFailure(log, FileProblem::cannotOpen, error);
        }
        return;
    }
    if (::fstat(log.fd, &info) != 0 || (!S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode))) {
        log.fileType = info.st_mode & S_IFMT;
        ::close(log.fd);
        log.fd = -1;
        NoteOpenFailure(log, FileProblem::notAFile, ENXIO);
        return;
    }
    if (S_ISCHR(info.st_mode)) {
        // A device (/dev/null to discard, a terminal): written as before, blocking.
        ::fcntl(log.fd, F_SETFL, ::fcntl(log.fd, F_GETFL) & ~O_NONBLOCK);
        return;
    }
    log.regular = true;
    int locked;
    while ((locked = ::flock(log.fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0 && errno == EWOULDBLOCK) {
        ::close(log.fd);
        log.fd = -1;
        log.regular = false;
        NoteOpenFailure(log, FileProblem::inUse, EWOULDBLOCK);
    }
    // Any other lock failure (a file system without locks) does not keep the user from running.
}

// Empties a locked regular file, as opening with O_TRUNC would have.
void Truncate(LogFile& log) {
    if (log.fd < 0 || !log.regular) return;
    int result;
    while ((result = ::ftruncate(log.fd, 0)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        const int error = errno;
        ::close(log.fd);
        log.fd = -1;
        log.regular = false;
        NoteOpenFailure(log, FileProblem::cannotOpen, error);
    }
}

// Closes a log without a trace: the run was refused. A file it created goes again.
void Release(LogFile& log, const char* directory) {
    if (log.fd < 0) return;
    if (log.created) ::unlink(PathOf(directory, log.name).c_str());
    ::close(log.fd);
    log.fd = -1;
    log.regular = false;
    log.created = false;
}

// Whether a run holds the lock of the file at path. A shared lock probes without keeping two
// probes from each other.
bool HeldByARun(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool held = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        int result;
        while ((result = ::flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
        }
        held = result != 0 && errno == EWOULDBLOCK;
    }
    ::close(fd);  // releases the probe's lock
    return held;
}

}  // namespace

LogFile::~LogFile() { CloseLog(*this); }

bool WriteText(int fd, std::string_view text) {
    std::size_t done = 0;
    return WriteAll(nullptr, fd, text.data(), text.size(), done);
}

void FlushLog(LogFile& log) {
    if (log.batchLength > 0 && log.fd >= 0 && log.error == 0) {
        std::size_t done = 0;
        if (!WriteAll(log.writer, log.fd, log.batch.get(), log.batchLength, done)) {
            log.error = errno;
            log.problem = FileProblem::writeFailed;
            CutToWholeLines(log, log.batch.get(), done);
            // The whole lines kept.
            const char* begin = log.batch.get();
            const char* end = begin + done;
            while (end > begin && end[-1] != '\n') --end;
            log.linesWritten += std::count(begin, end, '\n');
            log.bytesLogged += end - begin;
        } else {
            log.linesWritten += log.batchLines;
            log.bytesLogged += static_cast<long long>(log.batchLength);
        }
    }
    log.batchLength = 0;
    log.batchLines = 0;
}

void CloseLog(LogFile& log) {
    FlushLog(log);
    if (log.fd < 0) return;
    // Deleted during the run (its directory removed, say): the lines went into a file nobody can
    // reach any more. That outweighs an earlier write failure.
    struct stat info {};
    if (log.regular && ::fstat(log.fd, &info) == 0 && info.st_nlink == 0) {
        log.error = ENOENT;
        log.problem = FileProblem::lost;
    }
    if (::close(log.fd) != 0 && errno != EINTR && log.error == 0) {
        log.error = errno;
        log.problem = FileProblem::writeFailed;
    }
    log.fd = -1;
    log.regular = false;
}

ResultFileFailure FailureOf(const LogFile& log) {
    ResultFileFailure f;
    if (log.error != 0) {
        f.name = log.name;
        f.error = log.error;
        f.duringOpen = log.openFailed;
        f.problem = log.problem != FileProblem::none
                        ? log.problem
                        : (log.openFailed ? FileProblem::cannotOpen : FileProblem::writeFailed);
        f.fileType = log.fileType;
    }
    return f;
}

const char* FileTypeName(unsigned fileType) {
    switch (fileType & S_IFMT) {
    case S_IFIFO: return "a FIFO";
    case S_IFSOCK: return "a socket";
    case S_IFDIR: return "a directory";
    case S_IFBLK: return "a block device";
    default: return "not a regular file";
    }
}

const char* ResultFileInUse(const char* directory) {
    for (const char* name : {"results.csv", "fitness.csv"}) {
        if (HeldByARun(PathOf(directory, name))) return name;
    }
    return nullptr;
}

char* FormatG(char* out, double v) {
    // Every fitness and average lies in (0.002, 1]. For [0.001, 1) %g writes "0.", the zeros after
    // the point, and the six significant digits rounded half to even from the exact binary value,
    // trailing zeros dropped. Scaling by a power of ten (exact in a double) errs by at most half an
    // ulp of a product below 2^20, 2^-33; whenever the product is further than 2^-32 from a
    // rounding tie, rounding it to nearest rounds the exact value the same way. Anything else,
    // ties and values outside that range, goes to %g itself.
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
    return WriteGeneral(out, v, 6);
}

void LogIndividual(LogFile& log, const Chromosome& c) {
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

void LogIndividualFitness(LogFile& log, double fitness) {
    AppendDouble(log, fitness);
    EndLine(log);
}

void LogSummary(LogFile& log, int bestIndex, double best, double average) {
    AppendInt(log, bestIndex);
    log.line[log.length++] = ',';
    AppendDouble(log, best);
    log.line[log.length++] = ',';
    AppendDouble(log, average);
    EndLine(log);
}

void LogFitnessRow(LogFile& log, double best, double average) {
    AppendDouble(log, best);
    log.line[log.length++] = ',';
    AppendDouble(log, average);
    EndLine(log);
}

ResultWriter::ResultWriter(FlushMode flush, LineWriter writer) {
    for (LogFile* log : {&results, &fitness}) {
        log->flush = flush;
        log->writer = writer;
    }
    history_.reserve(kMaxGenerations);
}

bool ResultWriter::open(const char* directory) {
    history_.clear();
    AcquireLog(results, directory);
    AcquireLog(fitness, directory);
    if (results.problem == FileProblem::inUse || fitness.problem == FileProblem::inUse) {
        Release(results, directory);
        Release(fitness, directory);
        return false;
    }
    Truncate(results);
    Truncate(fitness);
    return true;
}

void ResultWriter::onGeneration(const GenerationView& view) {
    if (results.fd >= 0 && results.error == 0) {  // a file that failed takes no more lines: skip the formatting
        for (int i = 0; i < view.populationSize; ++i) {
            LogIndividual(results, view.population[i]);
            LogIndividualFitness(results, view.fitness[i]);
        }
        LogSummary(results, view.bestIndex, view.best, view.average);
        FlushLog(results);  // a generation's lines, kept back in generation mode
    }
    history_.push_back({view.best, view.average});
}

void ResultWriter::onEnd(const RunOutcome&) {
    CloseLog(results);
    if (fitness.fd >= 0 && fitness.error == 0) {
        for (const GenerationStat& row : history_) LogFitnessRow(fitness, row.best, row.average);
    }
    CloseLog(fitness);
}

RunReport RunWithFiles(const RunSetup& setup, ResultWriter& writer, const char* directory,
                       std::span<RunObserver* const> observers, RunBuffers& buffers, const std::atomic<bool>* stop,
                       RunOutcome* outcome, const std::function<void(const ResultWriter&)>& opened,
                       StepRecorder* recorder) {
    RunReport report;
    report.seed = setup.seed;
    if (!writer.open(directory)) {
        report.refused = true;
    } else {
        if (opened) opened(writer);
        // The writer first, then every observer: on the stack for the usual few, so that a run
        // allocates nothing for them; in a vector for more.
        RunObserver* few[8] = {&writer};
        std::vector<RunObserver*> many;
        std::span<RunObserver* const> all;
        if (observers.size() < std::size(few)) {
            std::copy(observers.begin(), observers.end(), few + 1);
            all = std::span<RunObserver* const>(few, observers.size() + 1);
        } else {
            many.reserve(observers.size() + 1);
            many.push_back(&writer);
            many.insert(many.end(), observers.begin(), observers.end());
            all = many;
        }
        const RunOutcome o = RunSolver(setup, all, buffers, stop, recorder);
        report.generationsRun = o.generationsRun;
        report.stopped = o.stopped;
        if (outcome) *outcome = o;
    }
    report.results = writer.resultsFailure();
    report.fitness = writer.fitnessFailure();
    return report;
}

RunReport RunWithFiles(const RunSetup& setup, const char* directory, FlushMode flush, RunOutcome* outcome) {
    ResultWriter writer(flush);
    const auto buffers = std::make_unique<RunBuffers>();
    return RunWithFiles(setup, writer, directory, {}, *buffers, nullptr, outcome);
}

}  // namespace kelvora
