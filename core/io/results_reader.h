#pragma once
// Reading a results.csv back: an index of where each generation starts, built in one streaming pass
// over the file, any generation read and parsed on demand, the run's target recovered from the
// logged fitness, and a check that every line is what a run of this arm towards that target writes.
//
// A ResultsFile reads with pread(2) into buffers that are reused, so a file of any size is read
// without being loaded whole. A file that another program cuts short, extends or replaces while it
// is read is reported as such, and a read that fails with the system's reason: faults like any
// other, never a signal. Nothing here keeps state between calls but the open file, and a
// ResultsFile may be read by several threads at once: safe on any thread.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "model/types.h"

namespace kelvora {

/// Every fault the reader reports. A front end words each through its own table; English is
/// kResultsFaultFormats.
enum class ResultsFaultKind : std::uint8_t {
    none,
    fileEmpty,
    lineTooLong,
    endsInsideLine,
    noCrLf,
    carriageReturnInLine,
    individualFieldCountOne,
    individualFieldCount,
    geneMalformed,
    fitnessMalformed,
    summaryFieldCountOne,
    summaryFieldCount,
    summaryIndexMalformed,
    summaryBestMalformed,
    summaryAverageMalformed,
    fitnessMismatch,
    noCompleteGeneration,
    summaryFirst,
    noSummaryLine,
    tooManyGenerations,
    cancelled,
    populationOutOfRange,
    recordedIndexStart,
    recordedIndexTooLong,
    recordedGenerationNotAtLine,
    generationMissing,
    summaryIndexMismatch,
    summaryBestMismatch,
    summaryAverageMismatch,
    cutShort,
    grown,
    replaced,
    readFailed,
};

/// A fault kind and its message in English: %1, %2, ... stand for its arguments.
struct ResultsFaultFormat {
    ResultsFaultKind kind;
    const char* english;
};

/// The English text of every fault kind, in the enum's order (entry k is kind k).
inline constexpr ResultsFaultFormat kResultsFaultFormats[] = {
    {ResultsFaultKind::none, ""},
    {ResultsFaultKind::fileEmpty, "the file is empty"},
    {ResultsFaultKind::lineTooLong, "line is longer than %1 bytes: not a line of results.csv"},
    {ResultsFaultKind::endsInsideLine, "the file ends in the middle of this line"},
    {ResultsFaultKind::noCrLf, "line does not end in CR LF"},
    {ResultsFaultKind::carriageReturnInLine, "carriage return inside the line"},
    {ResultsFaultKind::individualFieldCountOne,
     "expected an individual line of 4 fields gene,gene,gene,fitness, found %1 field"},
    {ResultsFaultKind::individualFieldCount,
     "expected an individual line of 4 fields gene,gene,gene,fitness, found %1 fields"},
    {ResultsFaultKind::geneMalformed, "gene %1 is %2, expected a whole number 0..255"},
    {ResultsFaultKind::fitnessMalformed, "fitness is %1, expected a number in (0, 1] as %g writes it"},
    {ResultsFaultKind::summaryFieldCountOne,
     "expected the summary line of 3 fields bestIndex,best,average, found %1 field"},
    {ResultsFaultKind::summaryFieldCount,
     "expected the summary line of 3 fields bestIndex,best,average, found %1 fields"},
    {ResultsFaultKind::summaryIndexMalformed, "summary best index is %1, expected a whole number 0..%2"},
    {ResultsFaultKind::summaryBestMalformed, "summary best is %1, expected a number in (0, 1] as %g writes it"},
    {ResultsFaultKind::summaryAverageMalformed, "summary average is %1, expected a number in (0, 1] as %g writes it"},
    {ResultsFaultKind::fitnessMismatch, "fitness %1 does not match its genes: expected %2 for the target %3,%4"},
    {ResultsFaultKind::noCompleteGeneration,
     "the file ends before the first generation's summary line: no complete generation"},
    {ResultsFaultKind::summaryFirst, "a summary line where the first individual was expected"},
    {ResultsFaultKind::noSummaryLine, "no summary line after %1 individuals: a generation holds at most that many"},
    {ResultsFaultKind::tooManyGenerations, "more than %1 generations: a run has at most that many"},
    {ResultsFaultKind::cancelled, "cancelled"},
    {ResultsFaultKind::populationOutOfRange, "population %1 is outside 1..%2"},
    {ResultsFaultKind::recordedIndexStart, "the recorded index does not start at byte 0"},
    {ResultsFaultKind::recordedIndexTooLong, "the recorded index has more than %1 generations"},
    {ResultsFaultKind::recordedGenerationNotAtLine, "recorded generation %1 does not start at a line (byte %2)"},
    {ResultsFaultKind::generationMissing, "generation %1 is not in the file"},
    {ResultsFaultKind::summaryIndexMismatch, "summary best index %1 does not match its generation: expected %2"},
    {ResultsFaultKind::summaryBestMismatch, "summary best %1 does not match its generation: expected %2"},
    {ResultsFaultKind::summaryAverageMismatch, "summary average %1 does not match its generation: expected %2"},
    {ResultsFaultKind::cutShort, "the file was cut short while it was being read"},
    {ResultsFaultKind::grown, "the file grew while it was being read"},
    {ResultsFaultKind::replaced, "the file was replaced while it was being read"},
    {ResultsFaultKind::readFailed, "cannot read the file at byte %1: %2"},
};

/// Number of fault kinds, none included: kinds are 0..kResultsFaultKinds-1.
inline constexpr int kResultsFaultKinds = static_cast<int>(std::size(kResultsFaultFormats));

static_assert([] {
    for (int k = 0; k < kResultsFaultKinds; ++k)
        if (static_cast<int>(kResultsFaultFormats[k].kind) != k) return false;
    return static_cast<int>(ResultsFaultKind::readFailed) == kResultsFaultKinds - 1;
}(), "kResultsFaultFormats lists every kind once, in the enum's order");

/// The English text of kind, %1, %2, ... in place of its arguments.
constexpr const char* ResultsFaultEnglish(ResultsFaultKind kind) {
    return kResultsFaultFormats[static_cast<int>(kind)].english;
}

/// The first fault of a results.csv: 1-based line number (0: the file as a whole) and what was
/// expected there. kind none: no fault.
struct ResultsFault {
    long long line = 0;
    ResultsFaultKind kind = ResultsFaultKind::none;
    std::vector<std::string> arguments;  ///< the values of %1, %2, ..., as they appear in message
    std::string message;                 ///< English: ResultsFaultEnglish(kind) with the arguments in place
    explicit operator bool() const { return kind != ResultsFaultKind::none; }
};

/// format (ResultsFaultEnglish of a kind, or its translation, UTF-8) with arguments[k] in place of
/// each %k+1, in one pass: an argument that holds "%2" (the quoted bytes of a file may) stays as it is.
std::string FillFaultFormat(std::string_view format, const std::vector<std::string>& arguments);

/// How a ResultsFile reads, as pread(2): up to size bytes at byte offset (0 or more) of fd into
/// buffer; returns the bytes read (0 at the end of the file), or -1 with errno set.
using PreadFunction = std::function<ssize_t(int fd, void* buffer, std::size_t size, off_t offset)>;

/// A results.csv open for reading. It notes what the file is when opened (size, device and inode,
/// modification time) and reads only the bytes it had then; every read goes through pread(2) (or
/// the function given to setPread), so several threads may read at once. Closed when destroyed.
class ResultsFile {
public:
    /// Not open: reads fail (EBADF) until open succeeds.
    ResultsFile() = default;
    ~ResultsFile();
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;
    /// Takes over other's descriptor, identity and seam; other is left closed.
    ResultsFile(ResultsFile&& other) noexcept;
    ResultsFile& operator=(ResultsFile&& other) noexcept;

    /// Opens path (a regular file, or a link to one) read-only. On failure returns false with the
    /// reason in error: the system's (strerror) or "not a regular file".
    bool open(const std::string& path, std::string& error);
    /// Bytes of the file when it was opened: the reader never reads past them.
    std::uint64_t size() const { return size_; }

    /// Makes every later read call pread instead of pread(2): a seam for tests (a read error, a
    /// file that changes mid-read). Set it before reading, not while another thread reads.
    void setPread(PreadFunction pread) { pread_ = std::move(pread); }

    /// Reads the size bytes at offset (offset + size at most size()) into buffer. A fault on line 0
    /// when the file ends before them (cutShort) or a read fails (readFailed, with the system's reason).
    ResultsFault read(std::uint64_t offset, std::size_t size, char* buffer) const;

    /// Whether the file is still what was opened. A fault on line 0 when it is now shorter
    /// (cutShort), longer (grown), modified at the same size or no longer the file at its path
    /// (replaced); none when unchanged.
    ResultsFault changed() const;

private:
    void close();
    int fd_ = -1;
    std::string path_;
    std::uint64_t size_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::timespec modified_{};
    PreadFunction pread_;  // empty: pread(2)
};

/// Where each generation of a results.csv starts. generationStarts holds one byte offset per
/// complete generation plus one past the last complete generation's summary line, so generation g
/// spans [generationStarts[g], generationStarts[g + 1]).
struct ResultsIndex {
    int population = 0;                           ///< individuals per generation, 1..kMaxPopulation
    std::vector<std::uint64_t> generationStarts;  ///< generations() + 1 offsets, ascending
    std::uint64_t size = 0;                       ///< bytes of the file indexed
    bool complete = false;  ///< the file ends right after a summary line (false: cut off in a generation)
    long long generations() const { return static_cast<long long>(generationStarts.size()) - 1; }
    /// 1-based line number of individual i (0..population-1) of generation g, or of its summary (i = population).
    long long lineOf(long long g, int i) const { return g * (population + 1) + i + 1; }
};

/// Reports progress as bytes done of bytes total; returns false to cancel.
using ResultsProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

/// Builds the index of file in one pass that reads it into a reused buffer: the population from
/// the first summary line (the first line of three fields), then every (population + 1)-th line
/// start, counted at memory speed. Checks the lines up to the first summary line; the rest is
/// checked by ReadGeneration/VerifyResults. Returns the first fault: an empty file, no summary line
/// within kMaxPopulation + 1 lines, a malformed line before it, a read that failed, a file that
/// changed during the pass. A cancelled index (progress returned false) is a fault on line 0.
ResultsFault IndexResults(const ResultsFile& file, ResultsIndex& index, const ResultsProgress& progress = {});

/// Builds the index of file from the byte offsets a run recorded while writing (the results log's
/// bytesLogged at each generation start, and at its end), reading only the byte before each. Each
/// offset must start a line and the steps must grow; a fault names the first offset that does not.
ResultsFault IndexFromOffsets(const ResultsFile& file, int population, const std::vector<std::uint64_t>& offsets,
                              ResultsIndex& index);

/// One individual as the file holds it.
struct LoggedIndividual {
    Chromosome genes;     ///< each 0..255
    double fitness = 0;   ///< the logged value, (0, 1]
};

/// One generation as the file holds it. Reused from one read to the next, it allocates nothing
/// once it has held the largest generation read.
struct LoggedGeneration {
    std::vector<LoggedIndividual> individuals;  ///< population entries
    int bestIndex = 0;                          ///< from the summary line, 0..population-1
    double best = 0.0;                          ///< from the summary line
    double average = 0.0;                       ///< from the summary line
    std::string bytes;                          ///< the generation's lines as last read
};

/// Reads generation g (0..index.generations()-1) of file into out and checks the shape of its
/// lines: four fields "gene,gene,gene,fitness" per individual with genes 0..255 written without
/// sign or leading zeros, a summary "bestIndex,best,average", every number as the run's %g writes
/// it, CR LF endings. A fault also when the read fails or the file has changed since it was opened.
/// Does not compare the fitness with the genes (see VerifyGeneration).
ResultsFault ReadGeneration(const ResultsFile& file, const ResultsIndex& index, long long g, LoggedGeneration& out);

/// A recovered target pixel (client pixels, x right, y down) and whether it is the only one.
struct RecoveredTarget {
    bool found = false;     ///< some pixel reproduces every logged fitness that was tried
    bool unique = true;     ///< no other pixel in the plot does (false: too few distinct tips)
    int candidates = 0;     ///< pixels found to fit when least squares did not settle it (0: it did)
    int x = 0;              ///< target pixel, x right
    int y = 0;              ///< target pixel, y down
};

/// Recovers the target from the individuals of the first generations of file that parse (up to a
/// few thousand distinct poses): the tips' distances d = 1/f - 1 fix it by least squares, rounded
/// to the pixel and checked by recomputing each fitness with the solver's own Fitness on base
/// (baseX, baseY). When the tips are too few, on one line, or a logged fitness is wrong, tries the
/// pixels within kMaxTargetOffset of the base that lie on the first tips' circles and keeps the one
/// that fits the most (x, y then name the likeliest target even when found is false).
RecoveredTarget RecoverTarget(const ResultsFile& file, const ResultsIndex& index, int baseX, int baseY);

/// Checks generation g against its genes and target pixel (targetX, targetY) on base
/// (baseX, baseY): each logged fitness prints as %g of the solver's fitness, the summary's best
/// index is the first best, its best and its average print as the run computes them. gen must be
/// ReadGeneration's output for g.
ResultsFault VerifyGeneration(const LoggedGeneration& gen, const ResultsIndex& index, long long g, int baseX, int baseY,
                              int targetX, int targetY);

/// Everything a check of a whole results.csv finds.
struct ResultsSummary {
    ResultsIndex index;
    RecoveredTarget target;
    ResultsFault fault;            ///< the first bad line, if any
    bool truncated = false;        ///< cut off inside a generation: readable up to the last complete one
    long long tailLine = 0;        ///< first line of the incomplete generation, when truncated
    double eliteFitness = 0.0;     ///< highest generation best; 0 when no generation
    ArmPose elitePose{};           ///< pose that reached eliteFitness first
    ArmPose lastBestPose{};        ///< best pose of the last complete generation
    std::vector<ArmPose> generationBest;  ///< each complete generation's best pose, by its summary line
    std::vector<GenerationStat> history;  ///< each complete generation's best and average as logged (fitness.csv's rows)
};

/// Indexes file, recovers the target on base (baseX, baseY) and checks every line of every
/// generation, and the whole lines of an incomplete last generation. Uses up to threads threads
/// (0: the hardware's), each reading blocks of generations into a buffer of its own. progress may
/// cancel (then the fault is on line 0). A file that changed while it was checked gets that fault
/// (cutShort, grown, replaced) whatever else was found, since what was read says nothing then.
ResultsSummary VerifyResults(const ResultsFile& file, int baseX, int baseY, unsigned threads = 0,
                             const ResultsProgress& progress = {});

/// Reads file as a fitness.csv: every line "best,average" CR LF, both numbers in (0, 1] as %g writes
/// them and the average no higher than the best, at least one line, at most kMaxGenerations. Returns
/// false (rows then undefined) when the file is anything else, results.csv included: a front end that
/// was handed a fitness.csv in place of a results.csv tells the person so.
bool ReadFitnessFile(const ResultsFile& file, std::vector<GenerationStat>& rows);

}  // namespace kelvora
