#pragma once
// The two result files of a run: "results.csv" (every individual, one summary line per generation)
// and "fitness.csv" (best and average per generation). Lines end in CR LF; doubles are written as
// printf's %g writes them; every line reaches the file in one write(2) as soon as it is complete.

#include <cstddef>
#include <memory>
#include <cstdint>
#include <sys/types.h>

#include "solver_types.h"

namespace kelvora {

struct SolverState;

/// Where a finished line goes: write(2) by default; benchmarks swap in a sink that discards.
using LineWriter = ssize_t (*)(int fd, const void* data, std::size_t size);

/// Longest line either file holds: "255,255,255,0.00446005\r\n" and "9999,0.493019,0.248739\r\n" fit.
inline constexpr int kMaxLineLength = 64;

/// When a log's lines reach its file.
enum class FlushMode {
    line,        ///< each line in one write(2) as soon as it is complete (a file can be followed live)
    generation,  ///< lines are kept back and reach the file in one write at FlushLog (a generation's end)
};

/// Bytes a batched log keeps back at most: a whole generation of the largest population, 640 KB.
inline constexpr std::size_t kBatchCapacity = static_cast<std::size_t>(kMaxPopulation + 1) * kMaxLineLength;

/// What went wrong with a result file.
enum class FileProblem : std::uint8_t {
    none,
    cannotOpen,   ///< open(2) or the truncation failed; error holds the errno; nothing reached the file
    notAFile,     ///< neither a regular file nor a character device (a FIFO, a socket...): refused unopened
    inUse,        ///< another run holds the file's lock: the run was refused and touched nothing
    writeFailed,  ///< a write failed (error holds the errno); the file holds the complete lines before it
    lost,         ///< the file's last link was removed before it was closed: nothing of it remains
};

/// One result file. Closed until OpenResultFiles; closes itself when destroyed.
/// A file that cannot be opened or written does not stop the run: the failure is kept here
/// (first errno, and whether it happened at open) and the file takes no more lines after it,
/// so what it holds is always a run of complete lines.
/// While open, a regular file carries an exclusive advisory lock (flock(2)), so that no other run
/// truncates it under this one.
struct LogFile {
    explicit LogFile(const char* fileName) : name(fileName) {}
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    const char* name;            ///< bare file name, "results.csv" or "fitness.csv"
    int fd = -1;                 ///< open descriptor, or -1
    int error = 0;               ///< errno of the first failure since the last open, 0 if none
    bool openFailed = false;     ///< the failure happened when opening
    FileProblem problem = FileProblem::none;  ///< what the failure was
    unsigned fileType = 0;       ///< st_mode & S_IFMT of what stood at the path, for notAFile
    bool regular = false;        ///< fd is a regular file (locked, truncated at open, link count checked at close)
    bool created = false;        ///< this open created the file (removed again if the run is refused)
    long long linesWritten = 0;  ///< complete lines that reached the file since the last open
    long long bytesLogged = 0;   ///< bytes of those lines: where the next line starts in the file
    LineWriter writer = nullptr; ///< nullptr: write(2)
    char line[kMaxLineLength] = {};
    int length = 0;              ///< bytes of the line being assembled
    FlushMode flush = FlushMode::line;  ///< set before opening; generation mode allocates batch once
    std::unique_ptr<char[]> batch;      ///< kBatchCapacity bytes of complete lines kept back, or null
    std::size_t batchLength = 0;        ///< bytes in batch
    long long batchLines = 0;           ///< complete lines in batch
};

/// A result file that lost lines in the last run, for the caller to report.
struct ResultFileFailure {
    const char* name = nullptr;  ///< file name, nullptr when the file is fine
    int error = 0;               ///< errno (for notAFile, inUse and lost a stand-in: ENXIO, EWOULDBLOCK, ENOENT)
    bool duringOpen = false;     ///< could not be opened at all (no line reached it)
    FileProblem problem = FileProblem::none;  ///< what went wrong
    unsigned fileType = 0;       ///< for notAFile: st_mode & S_IFMT of what stood at the path
    explicit operator bool() const { return name != nullptr; }
};

/// The failure kept by a log since its last open, if any.
ResultFileFailure FailureOf(const LogFile& log);

/// Opens "results.csv" and then "fitness.csv" for writing, created if missing, truncated if present,
/// in directory (nullptr or "": the current directory). A file that cannot be opened is noted in its log.
/// Neither open blocks: anything but a regular file or a character device (a FIFO, a socket) is
/// refused unopened. Both files are opened and locked before either is truncated: when another run
/// holds the lock of either, both are closed again, a file this call created is removed, the busy
/// one is noted (FileProblem::inUse) and false is returned; nothing else was touched.
bool OpenResultFiles(SolverState& state, const char* directory = nullptr);

/// The name of a result file in directory (nullptr or "": the current directory) that a run is
/// writing now, or nullptr. A check before a run, for a front end that must not start one; the run
/// itself checks again when it opens the files.
const char* ResultFileInUse(const char* directory = nullptr);

/// "a FIFO", "a socket", "a directory", "a block device" or "not a regular file", for an st_mode file type.
const char* FileTypeName(unsigned fileType);

/// Appends "g0,g1,g2," to the line being assembled in results.csv; LogIndividualFitness ends it.
void LogIndividual(SolverState& state, const Chromosome& c);

/// Ends an individual line of results.csv with the fitness and CR LF, and writes it out.
void LogIndividualFitness(SolverState& state, double fitness);

/// Writes a summary line "bestIndex,best,average" CR LF to results.csv.
void LogSummary(SolverState& state, int bestIndex, double best, double average);

/// Closes results.csv.
void CloseResultsFile(SolverState& state);

/// Writes history rows 0..generationCount-1 to fitness.csv as "best,average" CR LF, using
/// state.generation as the row counter (it ends equal to generationCount), then closes the file.
void WriteFitnessFile(SolverState& state, int generationCount);

/// Writes v as printf("%g") does (6 significant digits, trailing zeros dropped) and returns the end.
/// out must hold 32 bytes.
char* FormatG(char* out, double v);

/// Closes a log's descriptor, if open, after writing the lines it holds back, releasing its lock.
/// A regular file whose last link is gone by then (deleted during the run) is noted as lost.
void CloseLog(LogFile& log);

/// Writes the complete lines a batched log holds back in one write; nothing to do in line mode.
void FlushLog(LogFile& log);

}  // namespace kelvora
