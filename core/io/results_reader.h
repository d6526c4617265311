#pragma once
// Reading a results.csv back: an index of where each generation starts, built in one pass over the
// bytes, any generation parsed on demand, the run's target recovered from the logged fitness, and a
// check that every line is what a run of this arm towards that target writes.
//
// The functions work on bytes in memory (a std::string_view); MappedResults maps a file read-only
// so that a file of any size is read without being loaded. Nothing here allocates per line and
// nothing keeps state between calls: safe on any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/types.h"

namespace kelvora {

/// Every form a fault's message takes, in English: %1, %2, ... stand for its arguments. A front end
/// that speaks another language translates these and fills in ResultsFault::arguments.
inline constexpr const char* kResultsFaultFormats[] = {
    "the file is empty",
    "line is longer than %1 bytes: not a line of results.csv",
    "the file ends in the middle of this line",
    "line does not end in CR LF",
    "carriage return inside the line",
    "expected an individual line of 4 fields gene,gene,gene,fitness, found %1 field",
    "expected an individual line of 4 fields gene,gene,gene,fitness, found %1 fields",
    "gene %1 is %2, expected a whole number 0..255",
    "fitness is %1, expected a number in (0, 1] as %g writes it",
    "expected the summary line of 3 fields bestIndex,best,average, found %1 field",
    "expected the summary line of 3 fields bestIndex,best,average, found %1 fields",
    "summary best index is %1, expected a whole number 0..%2",
    "summary best is %1, expected a number in (0, 1] as %g writes it",
    "summary average is %1, expected a number in (0, 1] as %g writes it",
    "fitness %1 does not match its genes: expected %2 for the target %3,%4",
    "the file ends before the first generation's summary line: no complete generation",
    "a summary line where the first individual was expected",
    "no summary line after %1 individuals: a generation holds at most that many",
    "more than %1 generations: a run has at most that many",
    "cancelled",
    "population %1 is outside 1..%2",
    "the recorded index does not start at byte 0",
    "the recorded index has more than %1 generations",
    "recorded generation %1 does not start at a line (byte %2)",
    "generation %1 is not in the file",
    "summary best index %1 does not match its generation: expected %2",
    "summary best %1 does not match its generation: expected %2",
    "summary average %1 does not match its generation: expected %2",
};

/// The first fault of a results.csv: 1-based line number (0: the file as a whole) and what was
/// expected there. Empty message: no fault.
struct ResultsFault {
    long long line = 0;
    std::string message;                 ///< English: format with the arguments in place of %1, %2, ...
    const char* format = nullptr;        ///< one of kResultsFaultFormats; null when there is no fault
    std::vector<std::string> arguments;  ///< the values of %1, %2, ..., as they appear in message
    explicit operator bool() const { return !message.empty(); }
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

/// format (one of kResultsFaultFormats, or its translation, UTF-8) with arguments[k] in place of
/// each %k+1, in one pass: an argument that holds "%2" (the quoted bytes of a file may) stays as it is.
std::string FillFaultFormat(std::string_view format, const std::vector<std::string>& arguments);

/// Reports progress as bytes done of bytes total; returns false to cancel.
using ResultsProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

/// Builds the index of data: the population from the first summary line (the first line of three
/// fields), then every (population + 1)-th line start, counted at memory speed. Checks the lines up
/// to the first summary line; the rest is checked by ReadGeneration/VerifyResults. Returns the
/// first fault: an empty file, no summary line within kMaxPopulation + 1 lines, a malformed line
/// before it. A cancelled index (progress returned false) is a fault on line 0.
ResultsFault IndexResults(std::string_view data, ResultsIndex& index, const ResultsProgress& progress = {});

/// Builds the index from the byte offsets a run recorded while writing (RunOptions or the log's
/// bytesLogged at each generation start), without a pass. Each offset must start a line and the
/// steps must grow; a fault names the first offset that does not.
ResultsFault IndexFromOffsets(std::string_view data, int population, const std::vector<std::uint64_t>& offsets,
                              ResultsIndex& index);

/// One individual as the file holds it.
struct LoggedIndividual {
    Chromosome genes;     ///< each 0..255
    double fitness = 0;   ///< the logged value, (0, 1]
};

/// One generation as the file holds it.
struct LoggedGeneration {
    std::vector<LoggedIndividual> individuals;  ///< population entries
    int bestIndex = 0;                          ///< from the summary line, 0..population-1
    double best = 0.0;                          ///< from the summary line
    double average = 0.0;                       ///< from the summary line
};

/// Parses generation g (0..index.generations()-1) into out and checks the shape of its lines: four
/// fields "gene,gene,gene,fitness" per individual with genes 0..255 written without sign or leading
/// zeros, a summary "bestIndex,best,average", every number as the run's %g writes it, CR LF endings.
/// Does not compare the fitness with the genes (see VerifyGeneration).
ResultsFault ReadGeneration(std::string_view data, const ResultsIndex& index, long long g, LoggedGeneration& out);

/// A recovered target pixel (client pixels, x right, y down) and whether it is the only one.
struct RecoveredTarget {
    bool found = false;     ///< some pixel reproduces every logged fitness that was tried
    bool unique = true;     ///< no other pixel in the plot does (false: too few distinct tips)
    int candidates = 0;     ///< pixels found to fit when least squares did not settle it (0: it did)
    int x = 0;              ///< target pixel, x right
    int y = 0;              ///< target pixel, y down
};

/// Recovers the target from the individuals of the first generations that parse (up to a few
/// thousand distinct poses): the tips' distances d = 1/f - 1 fix it by least squares, rounded to the
/// pixel and checked by recomputing each fitness with the solver's own Fitness on base
/// (baseX, baseY). When the tips are too few, on one line, or a logged fitness is wrong, tries the
/// pixels within kMaxTargetOffset of the base that lie on the first tips' circles and keeps the one
/// that fits the most (x, y then name the likeliest target even when found is false).
RecoveredTarget RecoverTarget(std::string_view data, const ResultsIndex& index, int baseX, int baseY);

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

/// Indexes data, recovers the target on base (baseX, baseY) and checks every line of every
/// generation, and the whole lines of an incomplete last generation. Uses up to threads threads
/// (0: the hardware's). progress may cancel (then the fault is on line 0).
ResultsSummary VerifyResults(std::string_view data, int baseX, int baseY, unsigned threads = 0,
                             const ResultsProgress& progress = {});

/// A file mapped read-only into memory, unmapped when destroyed. An empty file maps to empty data.
///
/// When another program cuts the file short while it is mapped, reading past its new end would
/// kill the process (SIGBUS). The mapping is guarded instead: such pages read as zeros (which no
/// line of a results.csv holds, so a check fails there) and cutShort() tells what happened. The
/// guard is a SIGBUS handler installed with the first mapping; a SIGBUS anywhere else still ends
/// the process as before.
class MappedResults {
public:
    MappedResults() = default;
    ~MappedResults();
    MappedResults(const MappedResults&) = delete;
    MappedResults& operator=(const MappedResults&) = delete;
    MappedResults(MappedResults&& other) noexcept;
    MappedResults& operator=(MappedResults&& other) noexcept;

    /// Maps path; on failure returns false and puts the reason (strerror text) into error.
    bool open(const std::string& path, std::string& error);
    std::string_view data() const { return {static_cast<const char*>(address_), size_}; }

    /// Whether the file has become shorter than the mapping since it was mapped: a page past its
    /// new end was read (as zeros), or its size is now below data().size(). What was read from the
    /// mapping then says nothing about the file.
    bool cutShort() const;

private:
    void release();
    void* address_ = nullptr;
    std::size_t size_ = 0;
    int fd_ = -1;     // kept open to see the file's size later
    int guard_ = -1;  // its slot among the guarded mappings, or -1 (unguarded)
};

}  // namespace kelvora
