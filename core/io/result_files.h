#pragma once
// The two result files of a run: "results.csv" (every individual, one summary line per generation)
// and "fitness.csv" (best and average per generation). Lines end in CR LF; doubles are written as
// printf's %g writes them; every line reaches the file in one write(2) as soon as it is complete.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "ga/run.h"
#include "model/types.h"

namespace kelvora {

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

/// The name of a result file in directory (nullptr or "": the current directory) that a run is
/// writing now, or nullptr. A check before a run, for a front end that must not start one; the run
/// itself checks again when it opens the files.
const char* ResultFileInUse(const char* directory = nullptr);

/// "a FIFO", "a socket", "a directory", "a block device" or "not a regular file", for an st_mode file type.
const char* FileTypeName(unsigned fileType);

/// Writes all of text to fd, again after EINTR and short writes; false with errno set when a write
/// fails or writes nothing.
bool WriteText(int fd, std::string_view text);

/// Writes v as printf("%g") does (6 significant digits, trailing zeros dropped) and returns the end.
/// out must hold 32 bytes.
char* FormatG(char* out, double v);

/// Closes a log's descriptor, if open, after writing the lines it holds back, releasing its lock.
/// A regular file whose last link is gone by then (deleted during the run) is noted as lost.
void CloseLog(LogFile& log);

/// Writes the complete lines a batched log holds back in one write; nothing to do in line mode.
void FlushLog(LogFile& log);

/// Appends "g0,g1,g2," to the line being assembled; LogIndividualFitness ends it.
void LogIndividual(LogFile& log, const Chromosome& c);

/// Ends an individual line with the fitness and CR LF, and hands it to the file.
void LogIndividualFitness(LogFile& log, double fitness);

/// Writes a line "a,b,c" CR LF: a summary line of results.csv (bestIndex,best,average).
void LogSummary(LogFile& log, int bestIndex, double best, double average);

/// Writes a line "best,average" CR LF: a row of fitness.csv.
void LogFitnessRow(LogFile& log, double best, double average);

/// The run observer that writes a run's two result files: each generation's individuals and its
/// summary line to results.csv as the generation is handed over (line by line, or in one write
/// at its end in generation mode), and at the run's end every generation's best and average to
/// fitness.csv. Nothing is allocated per generation: the history rows are reserved at construction.
class ResultWriter final : public RunObserver {
public:
    explicit ResultWriter(FlushMode flush = FlushMode::line, LineWriter writer = nullptr);

    /// Opens "results.csv" and then "fitness.csv" for writing, created if missing, truncated if
    /// present, in directory (nullptr or "": the current directory). A file that cannot be opened
    /// is noted in its log and the run goes on without it. Neither open blocks: anything but a
    /// regular file or a character device (a FIFO, a socket) is refused unopened. Both files are
    /// opened and locked before either is truncated: when another run holds the lock of either,
    /// both are closed again, a file this call created is removed, the busy one is noted
    /// (FileProblem::inUse) and false is returned; nothing else was touched and no run may start.
    bool open(const char* directory = nullptr);

    void onGeneration(const GenerationView& view) override;
    /// Closes results.csv, writes the finished generations' rows to fitness.csv and closes it.
    void onEnd(const RunOutcome& outcome) override;

    /// The failure results.csv / fitness.csv has had since open(), if any.
    ResultFileFailure resultsFailure() const { return FailureOf(results); }
    ResultFileFailure fitnessFailure() const { return FailureOf(fitness); }
    /// Neither file lost a line.
    bool filesComplete() const { return !resultsFailure() && !fitnessFailure(); }

    LogFile results{"results.csv"};
    LogFile fitness{"fitness.csv"};

private:
    std::vector<GenerationStat> history_;  ///< each handed-over generation's best and average
};

/// What became of a run that wrote its result files.
struct RunReport {
    std::uint32_t seed = 0;        ///< the value the generator was seeded with
    int generationsRun = 0;        ///< generations finished and logged
    bool stopped = false;          ///< ended early on request
    bool refused = false;          ///< another run is writing a result file (its failure says which,
                                   ///< FileProblem::inUse): nothing ran and no file changed
    ResultFileFailure results;     ///< results.csv lost lines (could not be opened or written)
    ResultFileFailure fitness;     ///< fitness.csv lost lines
    bool filesComplete() const { return !results && !fitness; }
};

/// Opens writer's files in directory (nullptr or "": the current directory) and, unless refused,
/// runs setup with writer as the first observer and then observers, all of them. outcome, when
/// given, receives the run's outcome (untouched when refused). opened, when given, is called once
/// the files are open, before the first generation (to learn their descriptors, say). recorder,
/// when given, records the run's steps (RunSolver).
RunReport RunWithFiles(const RunSetup& setup, ResultWriter& writer, const char* directory,
                       std::span<RunObserver* const> observers, RunBuffers& buffers,
                       const std::atomic<bool>* stop = nullptr, RunOutcome* outcome = nullptr,
                       const std::function<void(const ResultWriter&)>& opened = {},
                       StepRecorder* recorder = nullptr);

/// The same with a writer and buffers of its own and no further observer: a run of setup that
/// writes its two files into directory (nullptr or "": the current directory).
RunReport RunWithFiles(const RunSetup& setup, const char* directory, FlushMode flush = FlushMode::line,
                       RunOutcome* outcome = nullptr);

}  // namespace kelvora
