#include "io/results_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "io/result_files.h"
#include "model/arm.h"
#include "model/text.h"

namespace kelvora {
namespace {

// No line of a run's results.csv is longer, CR LF included.
constexpr std::size_t kLineLimit = kMaxLineLength;

// ---- counting lines at memory speed ----

#if defined(__SSE2__)
// Bit i set where p[i] is a line feed, for the 64 bytes at p.
inline std::uint64_t NewlineMask(const char* p) {
    const __m128i nl = _mm_set1_epi8('\n');
    const auto block = [&](int k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, nl))));
    };
    return block(0) | (block(1) << 16) | (block(2) << 32) | (block(3) << 48);
}
#else
inline std::uint64_t NewlineMask(const char* p) {
    std::uint64_t m = 0;
    for (int i = 0; i < 64; ++i) m |= static_cast<std::uint64_t>(p[i] == '\n') << i;
    return m;
}
#endif

// Advances past n line feeds from p: returns the byte after the n-th, and n = 0; when [p, end) holds
// fewer, returns end and leaves in n how many were missing.
template <bool kHardwarePopcount>
const char* SkipLinesImpl(const char* p, const char* end, std::uint64_t& n) {
    while (n > 0 && end - p >= 64) {
        std::uint64_t mask = NewlineMask(p);
        const auto count = static_cast<std::uint64_t>(__builtin_popcountll(mask));
        if (count < n) {
            n -= count;
            p += 64;
            continue;
        }
        for (std::uint64_t k = 1; k < n; ++k) mask &= mask - 1;  // drop the first n - 1 line feeds
        p += __builtin_ctzll(mask) + 1;
        n = 0;
        return p;
    }
    while (n > 0 && p < end) {
        const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!hit) return end;
        p = static_cast<const char*>(hit) + 1;
        --n;
    }
    return n == 0 ? p : end;
}

__attribute__((target("popcnt"))) const char* SkipLinesPopcnt(const char* p, const char* end, std::uint64_t& n) {
    return SkipLinesImpl<true>(p, end, n);
}

const char* SkipLines(const char* p, const char* end, std::uint64_t& n) {
#if defined(__x86_64__) || defined(__i386__)
    // Asked of the processor on first use: __builtin_cpu_supports would bring in libgcc's start-up
    // probe of every feature, which each command would pay for at start.
    static const bool popcnt = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) != 0 && (c & bit_POPCNT) != 0;
    }();
    if (popcnt) return SkipLinesPopcnt(p, end, n);
#endif
    return SkipLinesImpl<false>(p, end, n);
}

// ---- one line ----

std::string Quoted(std::string_view s) {
    std::string out = "'";
    for (char c : s.substr(0, 24)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    if (s.size() > 24) out += "...";
    return out + "'";
}

using K = ResultsFaultKind;

// A fault's message before it has a line: its kind and arguments.
struct FaultText {
    ResultsFaultKind kind = K::none;
    std::vector<std::string> arguments;
    bool empty() const { return kind == K::none; }
};

FaultText Says(ResultsFaultKind kind, std::vector<std::string> arguments = {}) { return {kind, std::move(arguments)}; }

ResultsFault Fault(long long line, FaultText text) {
    ResultsFault fault;
    fault.line = line;
    fault.kind = text.kind;
    fault.message = FillFaultFormat(ResultsFaultEnglish(text.kind), text.arguments);
    fault.arguments = std::move(text.arguments);
    return fault;
}

// "found 1 field" or "found 3 fields": the singular and the plural are formats of their own.
FaultText FieldCount(ResultsFaultKind one, ResultsFaultKind many, int fields) {
    return Says(fields == 1 ? one : many, {std::to_string(fields)});
}

std::string Text(double v) {
    char buffer[32];
    return std::string(buffer, FormatG(buffer, v));
}

// The line starting at p: its text without CR LF in line, and the start of the next line in next.
// A fault when it is too long, cut off by the end of the data or not ended by CR LF.
// cutOff is set when the data ends before the line feed (and the line is not too long).
FaultText TakeLine(const char* p, const char* end, std::string_view& line, const char*& next, bool* cutOff = nullptr) {
    const std::size_t room = std::min<std::size_t>(static_cast<std::size_t>(end - p), kLineLimit);
    const auto* nl = static_cast<const char*>(std::memchr(p, '\n', room));
    if (!nl) {
        if (static_cast<std::size_t>(end - p) > kLineLimit)
            return Says(K::lineTooLong, {std::to_string(kLineLimit)});
        if (cutOff) *cutOff = true;
        return Says(K::endsInsideLine);
    }
    next = nl + 1;
    if (nl == p || nl[-1] != '\r') return Says(K::noCrLf);
    line = std::string_view(p, static_cast<std::size_t>(nl - 1 - p));
    if (line.find('\r') != std::string_view::npos) return Says(K::carriageReturnInLine);
    return {};
}

int CountFields(std::string_view line) { return 1 + static_cast<int>(std::count(line.begin(), line.end(), ',')); }

// A whole number as the run writes it: decimal digits, no sign, no leading zero, at most max.
bool ParseWhole(std::string_view s, int max, int& value) {
    if (s.empty() || s.size() > 5 || (s.size() > 1 && s[0] == '0')) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() && value <= max;
}

// A fitness as the run's %g writes it: its text is FormatG of the value, and the value in (0, 1].
bool ParseFitness(std::string_view s, double& value) {
    if (s.empty() || s.size() > 16) return false;
    if (ReadDouble(s.data(), s.data() + s.size(), value) != s.data() + s.size()) return false;
    if (!(value > 0.0 && value <= 1.0)) return false;
    char buffer[32];
    return std::string_view(buffer, static_cast<std::size_t>(FormatG(buffer, value) - buffer)) == s;
}

std::string_view NextField(std::string_view& rest) {
    const std::size_t comma = rest.find(',');
    const std::string_view field = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    return field;
}

FaultText ParseIndividual(std::string_view line, LoggedIndividual& out) {
    const int fields = CountFields(line);
    if (fields != 4)
        return FieldCount(K::individualFieldCountOne, K::individualFieldCount, fields);
    std::string_view rest = line;
    for (int k = 0; k < 3; ++k) {
        const std::string_view field = NextField(rest);
        int v = 0;
        if (!ParseWhole(field, 255, v))
            return Says(K::geneMalformed, {std::to_string(k), Quoted(field)});
        out.genes.gene[k] = static_cast<std::uint8_t>(v);
    }
    if (!ParseFitness(rest, out.fitness))
        return Says(K::fitnessMalformed, {Quoted(rest)});
    return {};
}

FaultText ParseSummary(std::string_view line, int population, LoggedGeneration& out) {
    const int fields = CountFields(line);
    if (fields != 3)
        return FieldCount(K::summaryFieldCountOne, K::summaryFieldCount, fields);
    std::string_view rest = line;
    const std::string_view index = NextField(rest);
    if (!ParseWhole(index, population - 1, out.bestIndex))
        return Says(K::summaryIndexMalformed, {Quoted(index), std::to_string(population - 1)});
    const std::string_view best = NextField(rest);
    if (!ParseFitness(best, out.best))
        return Says(K::summaryBestMalformed, {Quoted(best)});
    if (!ParseFitness(rest, out.average))
        return Says(K::summaryAverageMalformed, {Quoted(rest)});
    return {};
}

Geometry GeometryOf(int baseX, int baseY, int targetX, int targetY) { return {baseX, baseY, targetX, targetY}; }

bool SameText(double a, double b) {
    char x[32], y[32];
    const char* xe = FormatG(x, a);
    const char* ye = FormatG(y, b);
    return std::string_view(x, static_cast<std::size_t>(xe - x)) == std::string_view(y, static_cast<std::size_t>(ye - y));
}

FaultText FitnessMismatch(double logged, double expected, int targetX, int targetY, int baseX, int baseY) {
    return Says(K::fitnessMismatch,
                {Text(logged), Text(expected), std::to_string(targetX - baseX), std::to_string(baseY - targetY)});
}

// Checks the individuals' fitness against the geometry's target; returns the first bad one's index or -1.
int FirstMismatch(const Geometry& geometry, const std::vector<LoggedIndividual>& individuals, double* expected) {
    for (std::size_t i = 0; i < individuals.size(); ++i) {
        const double f = Fitness(geometry, individuals[i].genes);
        if (!SameText(f, individuals[i].fitness)) {
            if (expected) *expected = f;
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

std::string FillFaultFormat(std::string_view format, const std::vector<std::string>& arguments) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9' &&
            static_cast<std::size_t>(format[i + 1] - '1') < arguments.size()) {
            out += arguments[static_cast<std::size_t>(format[i + 1] - '1')];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// ---- the file ----

namespace {

// The system's words for an errno value (strerror's text; safe on any thread).
std::string Reason(int error) { return std::generic_category().message(error); }

ResultsFault ReadFailed(std::uint64_t offset, int error) {
    return Fault(0, Says(K::readFailed, {std::to_string(offset), Reason(error)}));
}

}  // namespace

void ResultsFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

ResultsFile::~ResultsFile() { close(); }

ResultsFile::ResultsFile(ResultsFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      size_(other.size_),
      device_(other.device_),
      inode_(other.inode_),
      modified_(other.modified_),
      pread_(std::move(other.pread_)) {}

ResultsFile& ResultsFile::operator=(ResultsFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        size_ = other.size_;
        device_ = other.device_;
        inode_ = other.inode_;
        modified_ = other.modified_;
        pread_ = std::move(other.pread_);
    }
    return *this;
}

bool ResultsFile::open(const std::string& path, std::string& error) {
    close();
    int fd = -1;
    do {
        // Non-blocking: a FIFO in the file's place is refused below, never waited on.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = Reason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        // "a FIFO", "a directory", ...: what stands there, named
        error = S_ISCHR(info.st_mode) ? std::string("a character device, not a regular file")
                                      : std::string(FileTypeName(info.st_mode)) + ", not a regular file";
        if (error.rfind("not a regular file, ", 0) == 0) error = "not a regular file";
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    size_ = static_cast<std::uint64_t>(info.st_size);
    device_ = info.st_dev;
    inode_ = info.st_ino;
    modified_ = info.st_mtim;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint for the index pass; reads work without it
    return true;
}

ResultsFault ResultsFile::read(std::uint64_t offset, std::size_t size, char* buffer) const {
    std::size_t done = 0;
    while (done < size) {
        const auto at = static_cast<off_t>(offset + done);
        const ssize_t n =
            pread_ ? pread_(fd_, buffer + done, size - done, at) : ::pread(fd_, buffer + done, size - done, at);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR) continue;
            return ReadFailed(offset + done, error);
        }
        if (n == 0) return Fault(0, Says(K::cutShort));  // the end came before the size it had when opened
        done += static_cast<std::size_t>(n);
    }
    return {};
}

ResultsFault ResultsFile::changed() const {
    struct stat now {};
    if (::fstat(fd_, &now) != 0) return ReadFailed(0, errno);
    const auto size = static_cast<std::uint64_t>(now.st_size);
    if (size < size_) return Fault(0, Says(K::cutShort));
    if (size > size_) return Fault(0, Says(K::grown));
    if (now.st_mtim.tv_sec != modified_.tv_sec || now.st_mtim.tv_nsec != modified_.tv_nsec)
        return Fault(0, Says(K::replaced));  // rewritten in place, to the same size
    struct stat named {};
    if (::stat(path_.c_str(), &named) != 0 || named.st_dev != device_ || named.st_ino != inode_)
        return Fault(0, Says(K::replaced));  // another file at the path now (or none)
    return {};
}

// ---- index ----

namespace {

// Bytes the index pass reads at a time, into one buffer.
constexpr std::size_t kIndexChunk = std::size_t{1} << 20;

// Bytes that hold any generation of population individuals whose lines are all whole and short
// enough, and a line more: parsing no more than these decides the same as parsing all of it.
std::size_t GenerationWindow(int population) { return (static_cast<std::size_t>(population) + 2) * kLineLimit; }
static_assert(kIndexChunk >= (static_cast<std::size_t>(kMaxPopulation) + 2) * kLineLimit,
              "the first read holds the whole first generation");

constexpr std::uint64_t kProgressStep = 64u << 20;

// The index pass without the final look at whether the file changed.
ResultsFault IndexPass(const ResultsFile& file, ResultsIndex& index, const ResultsProgress& progress) {
    index = ResultsIndex{};
    const std::uint64_t size = file.size();
    index.size = size;
    if (size == 0) return Fault(1, Says(K::fileEmpty));
    std::uint64_t chunkStart = 0;  // file offset of buffer[0]
    auto length = static_cast<std::size_t>(std::min<std::uint64_t>(size, kIndexChunk));
    const std::unique_ptr<char[]> buffer(new char[length]);  // every later chunk fits
    if (ResultsFault f = file.read(0, length, buffer.get())) return f;
    const char* const begin = buffer.get();
    const char* end = begin + length;

    // The population: the individual lines before the first summary line. The first read holds
    // all of them (or the whole file), so nothing here depends on where it ended.
    const char* p = begin;
    int population = 0;
    for (;;) {
        const long long lineNo = population + 1;
        std::string_view line;
        const char* next = nullptr;
        bool cutOff = false;
        FaultText why = TakeLine(p, end, line, next, &cutOff);
        if (cutOff) return Fault(lineNo, Says(K::noCompleteGeneration));
        if (!why.empty()) return Fault(lineNo, std::move(why));
        if (CountFields(line) == 3) {
            if (population == 0) return Fault(lineNo, Says(K::summaryFirst));
            LoggedGeneration scratch;
            why = ParseSummary(line, population, scratch);
            if (!why.empty()) return Fault(lineNo, std::move(why));
            p = next;
            break;
        }
        LoggedIndividual individual;
        why = ParseIndividual(line, individual);
        if (!why.empty()) return Fault(lineNo, std::move(why));
        if (population == kMaxPopulation)
            return Fault(lineNo, Says(K::noSummaryLine, {std::to_string(kMaxPopulation)}));
        ++population;
        p = next;
        if (p == end) return Fault(lineNo + 1, Says(K::noCompleteGeneration));
    }
    index.population = population;
    index.generationStarts.push_back(0);
    index.generationStarts.push_back(static_cast<std::uint64_t>(p - begin));

    // Every further generation is population + 1 lines: count line feeds, chunk after chunk; a
    // generation may span chunks (n carries the line feeds still missing).
    const std::uint64_t perGeneration = static_cast<std::uint64_t>(population) + 1;
    std::uint64_t n = perGeneration;
    std::uint64_t nextReport = kProgressStep;
    for (;;) {
        while (p < end) {
            const char* q = SkipLines(p, end, n);
            if (n != 0) break;  // the generation goes on in the next chunk, or is cut off at the end
            if (index.generations() == kMaxGenerations)
                return Fault(index.lineOf(kMaxGenerations, 0),
                             Says(K::tooManyGenerations, {std::to_string(kMaxGenerations)}));
            p = q;
            n = perGeneration;
            const std::uint64_t at = chunkStart + static_cast<std::uint64_t>(p - begin);
            index.generationStarts.push_back(at);
            if (progress && at >= nextReport) {
                nextReport = at + kProgressStep;
                if (!progress(at, size)) return Fault(0, Says(K::cancelled));
            }
        }
        chunkStart += length;
        if (chunkStart == size) break;
        length = static_cast<std::size_t>(std::min<std::uint64_t>(size - chunkStart, kIndexChunk));
        if (ResultsFault f = file.read(chunkStart, length, buffer.get())) return f;
        p = begin;
        end = begin + length;
    }
    index.complete = index.generationStarts.back() == size;
    return {};
}

// Parses bytes, the lines of generation g (or as many of its first bytes as GenerationWindow), into out.
ResultsFault ParseGeneration(std::string_view bytes, const ResultsIndex& index, long long g, LoggedGeneration& out) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    const int n = index.population;
    out.individuals.resize(static_cast<std::size_t>(n));
    for (int i = 0; i <= n; ++i) {
        std::string_view line;
        const char* next = nullptr;
        FaultText why = TakeLine(p, end, line, next);
        if (why.empty())
            why = i < n ? ParseIndividual(line, out.individuals[static_cast<std::size_t>(i)]) : ParseSummary(line, n, out);
        if (!why.empty()) return Fault(index.lineOf(g, i), std::move(why));
        p = next;
    }
    return {};
}

// The bytes of generation g that ParseGeneration needs: where they start and how many.
struct GenerationSpan {
    std::uint64_t offset;
    std::size_t size;
};

GenerationSpan SpanOf(const ResultsIndex& index, long long g) {
    const std::uint64_t begin = index.generationStarts[static_cast<std::size_t>(g)];
    const std::uint64_t end = index.generationStarts[static_cast<std::size_t>(g) + 1];
    return {begin, static_cast<std::size_t>(std::min<std::uint64_t>(end - begin, GenerationWindow(index.population)))};
}

bool InFile(const ResultsFile& file, const ResultsIndex& index, long long g) {
    return g >= 0 && g < index.generations() && index.generationStarts.back() <= file.size();
}

// Reads the bytes of generation g into out.bytes.
ResultsFault ReadBytes(const ResultsFile& file, const ResultsIndex& index, long long g, LoggedGeneration& out) {
    if (!InFile(file, index, g)) return Fault(0, Says(K::generationMissing, {std::to_string(g + 1)}));
    const GenerationSpan span = SpanOf(index, g);
    out.bytes.resize(span.size);
    return file.read(span.offset, span.size, out.bytes.data());
}

}  // namespace

ResultsFault IndexResults(const ResultsFile& file, ResultsIndex& index, const ResultsProgress& progress) {
    ResultsFault fault = IndexPass(file, index, progress);
    if (fault.kind == K::cancelled) return fault;
    if (ResultsFault change = file.changed()) return change;
    return fault;
}

ResultsFault IndexFromOffsets(const ResultsFile& file, int population, const std::vector<std::uint64_t>& offsets,
                              ResultsIndex& index) {
    index = ResultsIndex{};
    index.size = file.size();
    if (population < kMinPopulation || population > kMaxPopulation)
        return Fault(0, Says(K::populationOutOfRange, {std::to_string(population), std::to_string(kMaxPopulation)}));
    if (offsets.empty() || offsets.front() != 0) return Fault(0, Says(K::recordedIndexStart));
    if (offsets.size() > static_cast<std::size_t>(kMaxGenerations) + 1)
        return Fault(0, Says(K::recordedIndexTooLong, {std::to_string(kMaxGenerations)}));
    for (std::size_t k = 1; k < offsets.size(); ++k) {
        const std::uint64_t o = offsets[k];
        char before = 0;
        if (o > offsets[k - 1] && o <= file.size()) {
            if (ResultsFault f = file.read(o - 1, 1, &before)) return f;
        }
        if (before != '\n')
            return Fault(0, Says(K::recordedGenerationNotAtLine, {std::to_string(k), std::to_string(o)}));
    }
    index.population = population;
    index.generationStarts = offsets;
    index.complete = offsets.back() == file.size();
    return {};
}

// ---- one generation ----

ResultsFault ReadGeneration(const ResultsFile& file, const ResultsIndex& index, long long g, LoggedGeneration& out) {
    if (ResultsFault f = ReadBytes(file, index, g, out)) return f;
    if (ResultsFault change = file.changed()) return change;  // what was read may be of another file
    return ParseGeneration(out.bytes, index, g, out);
}

ResultsFault VerifyGeneration(const LoggedGeneration& gen, const ResultsIndex& index, long long g, int baseX, int baseY,
                              int targetX, int targetY) {
    const Geometry geometry = GeometryOf(baseX, baseY, targetX, targetY);
    const int n = static_cast<int>(gen.individuals.size());
    double total = 0.0;
    double best = 0.0;
    int bestIndex = 0;
    for (int i = 0; i < n; ++i) {
        const LoggedIndividual& individual = gen.individuals[static_cast<std::size_t>(i)];
        const double f = Fitness(geometry, individual.genes);
        if (!SameText(f, individual.fitness))
            return Fault(index.lineOf(g, i), FitnessMismatch(individual.fitness, f, targetX, targetY, baseX, baseY));
        if (f > best) {
            best = f;
            bestIndex = i;
        }
        total += f;
    }
    const long long line = index.lineOf(g, n);
    if (gen.bestIndex != bestIndex)
        return Fault(line, Says(K::summaryIndexMismatch,
                                {std::to_string(gen.bestIndex), std::to_string(bestIndex)}));
    if (!SameText(gen.best, best))
        return Fault(line, Says(K::summaryBestMismatch, {Text(gen.best), Text(best)}));
    const double average = total / n;
    if (!SameText(gen.average, average))
        return Fault(line, Says(K::summaryAverageMismatch,
                                {Text(gen.average), Text(average)}));
    return {};
}

// ---- the target ----

RecoveredTarget RecoverTarget(const ResultsFile& file, const ResultsIndex& index, int baseX, int baseY) {
    // Distinct poses in file order, with their logged fitness.
    constexpr std::size_t kEnough = 4096;
    std::vector<LoggedIndividual> poses;
    std::unordered_set<std::uint32_t> seen;
    LoggedGeneration gen;
    for (long long g = 0; g < index.generations() && poses.size() < kEnough; ++g) {
        if (ReadBytes(file, index, g, gen) || ParseGeneration(gen.bytes, index, g, gen)) break;
        for (const LoggedIndividual& individual : gen.individuals) {
            const std::uint32_t key = static_cast<std::uint32_t>(individual.genes.gene[0]) << 16 |
                                      static_cast<std::uint32_t>(individual.genes.gene[1]) << 8 | individual.genes.gene[2];
            if (seen.insert(key).second) poses.push_back(individual);
        }
        if (g >= 1000 && poses.size() >= 64) break;
    }
    RecoveredTarget result;
    if (poses.empty()) return result;

    // Least squares: |tip - t|^2 = d^2 is linear in (t, |t|^2); centred on the tips' mean.
    bool haveEstimate = false;
    double ex = 0.0, ey = 0.0;
    if (poses.size() >= 3) {
        std::vector<double> xs, ys, ds;
        double mx = 0.0, my = 0.0;
        for (const LoggedIndividual& p : poses) {
            const TipPoint tip = TipPosition(PoseOf(p.genes), baseX, baseY);
            xs.push_back(tip.x);
            ys.push_back(tip.y);
            ds.push_back(1.0 / p.fitness - 1.0);
            mx += tip.x;
            my += tip.y;
        }
        mx /= static_cast<double>(xs.size());
        my /= static_cast<double>(xs.size());
        // Normal equations for u^2 + v^2 - d^2 = 2u a + 2v b + k.
        double m[3][4] = {};
        for (std::size_t i = 0; i < xs.size(); ++i) {
            const double u = xs[i] - mx, v = ys[i] - my;
            const double row[3] = {2 * u, 2 * v, 1.0};
            const double rhs = u * u + v * v - ds[i] * ds[i];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) m[r][c] += row[r] * row[c];
                m[r][3] += row[r] * rhs;
            }
        }
        // Gaussian elimination with partial pivoting; a tiny pivot means the tips lie on one line.
        const double scale = std::max({m[0][0], m[1][1], m[2][2], 1.0});
        bool singular = false;
        for (int c = 0; c < 3 && !singular; ++c) {
            int pivot = c;
            for (int r = c + 1; r < 3; ++r)
                if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
            if (std::fabs(m[pivot][c]) < 1e-9 * scale) {
                singular = true;
                break;
            }
            std::swap(m[c], m[pivot]);
            for (int r = 0; r < 3; ++r) {
                if (r == c) continue;
                const double factor = m[r][c] / m[c][c];
                for (int k = c; k < 4; ++k) m[r][k] -= factor * m[c][k];
            }
        }
        if (!singular) {
            ex = m[0][3] / m[0][0] + mx;
            ey = m[1][3] / m[1][1] + my;
            haveEstimate = std::isfinite(ex) && std::isfinite(ey) && std::fabs(ex) < 1e6 && std::fabs(ey) < 1e6;
        }
    }

    if (haveEstimate && poses.size() >= 8) {
        const int tx = static_cast<int>(std::lround(ex));
        const int ty = static_cast<int>(std::lround(ey));
        const Geometry geometry = GeometryOf(baseX, baseY, tx, ty);
        if (FirstMismatch(geometry, poses, nullptr) < 0) {
            result.found = true;
            result.x = tx;
            result.y = ty;
            return result;
        }
    }

    // The pixels of the plot that lie on the circle of one of the first three tips, radius its
    // distance as logged (give or take the %g rounding and a pixel): with at most one of the three
    // logged wrongly, the target is among them. The one that fits the most poses wins, so that its
    // first misfit names the first bad line; nearest the estimate breaks a tie.
    Geometry geometry = GeometryOf(baseX, baseY, 0, 0);
    const int sample = static_cast<int>(std::min<std::size_t>(poses.size(), 64));
    int bestMisses = sample + 1;
    double nearest = 0.0;
    const auto consider = [&](int x, int y) {
        geometry.targetX = x;
        geometry.targetY = y;
        int misses = 0;
        for (int k = 0; k < sample && misses <= bestMisses; ++k) {
            const LoggedIndividual& p = poses[static_cast<std::size_t>(k)];
            if (!SameText(Fitness(geometry, p.genes), p.fitness)) ++misses;
        }
        if (misses == 0 && FirstMismatch(geometry, poses, nullptr) < 0) ++result.candidates;
        const double distance = haveEstimate ? std::hypot(x - ex, y - ey) : 0.0;
        if (misses < bestMisses || (misses == bestMisses && distance < nearest)) {
            bestMisses = misses;
            nearest = distance;
            result.x = x;
            result.y = y;
        }
    };
    const int left = baseX - kMaxTargetOffset, right = baseX + kMaxTargetOffset;
    const int top = baseY - kMaxTargetOffset, bottom = baseY + kMaxTargetOffset;
    std::unordered_set<std::uint32_t> tried;
    for (std::size_t k = 0; k < std::min<std::size_t>(poses.size(), 3); ++k) {
        const TipPoint tip = TipPosition(PoseOf(poses[k].genes), baseX, baseY);
        const double d = 1.0 / poses[k].fitness - 1.0;
        if (!(d < 1000.0)) continue;  // no pixel of the plot is that far from a tip
        const double outer = d + 1e-5 * (d + 1.0) + 1.0;
        const double inner = std::max(0.0, d - 1e-5 * (d + 1.0) - 1.0);
        const int y0 = std::max(top, static_cast<int>(std::floor(std::max(tip.y - outer, -1e6))));
        const int y1 = std::min(bottom, static_cast<int>(std::ceil(std::min(tip.y + outer, 1e6))));
        for (int y = y0; y <= y1; ++y) {
            const double dy = y - tip.y;
            const double wOuter = std::sqrt(std::max(0.0, outer * outer - dy * dy));
            const double wInner = std::sqrt(std::max(0.0, inner * inner - dy * dy));
            // Two runs of x on this row: left of the tip and right of it.
            const double runs[2][2] = {{tip.x - wOuter, tip.x - wInner}, {tip.x + wInner, tip.x + wOuter}};
            for (const auto& run : runs) {
                const int x0 = std::max(left, static_cast<int>(std::floor(std::max(run[0], -1e6))));
                const int x1 = std::min(right, static_cast<int>(std::ceil(std::min(run[1], 1e6))));
                for (int x = x0; x <= x1; ++x) {
                    if (tried.insert(static_cast<std::uint32_t>(y - top) << 16 | static_cast<std::uint32_t>(x - left)).second)
                        consider(x, y);
                }
            }
        }
    }
    result.found = result.candidates > 0;
    result.unique = result.candidates == 1;
    return result;
}

// ---- the whole file ----

namespace {

// The fitness of a pose and its text as FormatG writes it, for the poses seen last: a converging
// population repeats a few poses over and over. Direct-mapped by the genes; one per checking thread.
class FitnessTexts {
public:
    struct Entry {
        std::uint32_t key = 0;  // genes + 1, 0 for an empty entry
        std::uint8_t length = 0;
        char text[27];
        double fitness = 0.0;
        std::string_view view() const { return {text, length}; }
    };

    explicit FitnessTexts(const Geometry& geometry) : geometry_(geometry) {}

    const Entry& of(const Chromosome& c) {
        const std::uint32_t key = (static_cast<std::uint32_t>(c.gene[0]) << 16 | static_cast<std::uint32_t>(c.gene[1]) << 8 |
                                   c.gene[2]) + 1;
        Entry& e = entries_[(key * 0x9E3779B1u) >> (32 - kBits)];
        if (e.key != key) {
            e.key = key;
            e.fitness = Fitness(geometry_, c);
            e.length = static_cast<std::uint8_t>(FormatG(e.text, e.fitness) - e.text);
        }
        return e;
    }

private:
    static constexpr int kBits = 12;
    Geometry geometry_;
    std::vector<Entry> entries_ = std::vector<Entry>(std::size_t{1} << kBits);
};

// A gene as ParseWhole(text, 255) accepts it, ended by a comma: advances p past the comma.
bool TakeGene(const char*& p, const char* end, std::uint8_t& gene) {
    int v = 0, digits = 0;
    for (; p < end && *p != ','; ++p, ++digits) {
        const unsigned d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (d > 9 || digits == 3 || (digits == 1 && v == 0)) return false;
        v = v * 10 + static_cast<int>(d);
    }
    if (p == end || digits == 0 || v > 255) return false;
    ++p;
    gene = static_cast<std::uint8_t>(v);
    return true;
}

// What a generation that checks out contributes to the summary.
struct CheckedGeneration {
    GenerationStat stat;
    Chromosome best;
};

// The common case of a generation's check, without parsing its fitness texts: every line is whole
// and ended by CR LF, every individual's genes are whole numbers 0..255 and its fitness text is
// exactly the text of its genes' fitness (which makes it well formed too: FormatG's output of a
// value in (0, 1] reads back as itself), and the summary agrees. True only when ParseGeneration
// and VerifyGeneration would both find no fault; on false they are run to name the fault.
bool CheckGenerationQuickly(std::string_view bytes, int n, FitnessTexts& texts,
                            CheckedGeneration& out) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    double total = 0.0, best = 0.0;
    int bestIndex = 0;
    Chromosome bestGenes{};
    for (int i = 0; i < n; ++i) {
        // genes,genes,genes,fitness CR LF: digits and commas, then the fitness text, then CR LF.
        // Such a line is whole, short and has no other CR, so TakeLine would take it as it is.
        Chromosome c;
        if (!TakeGene(p, end, c.gene[0]) || !TakeGene(p, end, c.gene[1]) || !TakeGene(p, end, c.gene[2]))
            return false;
        const FitnessTexts::Entry& e = texts.of(c);
        if (end - p < e.length + 2 || std::memcmp(p, e.text, e.length) != 0 || p[e.length] != '\r' ||
            p[e.length + 1] != '\n')
            return false;
        p += e.length + 2;
        const double f = e.fitness;
        if (f > best) {
            best = f;
            bestIndex = i;
            bestGenes = c;
        }
        total += f;
    }
    std::string_view line;
    const char* next = nullptr;
    if (!TakeLine(p, end, line, next).empty()) return false;
    LoggedGeneration summary;
    if (!ParseSummary(line, n, summary).empty()) return false;
    if (summary.bestIndex != bestIndex || !SameText(summary.best, best) || !SameText(summary.average, total / n))
        return false;
    out.stat = {summary.best, summary.average};
    out.best = bestGenes;
    return true;
}

// Generations handed to a checking thread at a time, read in one go when their bytes allow.
constexpr long long kBlock = 8;

// The check without the final look at whether the file changed.
ResultsSummary Check(const ResultsFile& file, int baseX, int baseY, unsigned threads, const ResultsProgress& progress) {
    ResultsSummary summary;
    summary.fault = IndexPass(file, summary.index, progress);
    if (summary.fault) return summary;
    const ResultsIndex& index = summary.index;
    summary.target = RecoverTarget(file, index, baseX, baseY);
    const int tx = summary.target.x, ty = summary.target.y;

    const long long generations = index.generations();
    std::vector<ArmPose> bestPose(static_cast<std::size_t>(generations));
    std::vector<GenerationStat> history(static_cast<std::size_t>(generations));

    // Blocks of generations handed out in order; a fault stops work past its generation.
    std::atomic<long long> nextBlock{0};
    std::atomic<long long> faultGeneration{generations};
    std::atomic<std::uint64_t> bytesDone{0};
    std::atomic<bool> cancelled{false};
    std::mutex faultMutex;
    ResultsFault fault;
    const std::size_t window = GenerationWindow(index.population);
    const Geometry geometry = GeometryOf(baseX, baseY, tx, ty);
    const auto work = [&](bool reporting) {
        LoggedGeneration gen;
        FitnessTexts texts(geometry);
        std::string block;  // a block's bytes, when read in one go
        const auto fail = [&](long long g, ResultsFault f) {
            std::lock_guard lock(faultMutex);
            if (g < faultGeneration.load()) {
                faultGeneration.store(g);
                fault = std::move(f);
            }
        };
        for (;;) {
            const long long first = nextBlock.fetch_add(1) * kBlock;
            if (first >= generations || first > faultGeneration.load() || cancelled.load()) return;
            const long long last = std::min(first + kBlock, generations);
            const std::uint64_t from = index.generationStarts[static_cast<std::size_t>(first)];
            const std::uint64_t to = index.generationStarts[static_cast<std::size_t>(last)];
            // Lines too long make a generation longer than its window: then each is read on its own,
            // as far as its window.
            const bool whole = to - from <= static_cast<std::uint64_t>(last - first) * window;
            if (whole) {
                block.resize(static_cast<std::size_t>(to - from));
                if (ResultsFault f = file.read(from, block.size(), block.data())) return fail(first, std::move(f));
            }
            for (long long g = first; g < last; ++g) {
                if (g > faultGeneration.load()) return;
                ResultsFault f;
                if (whole) {
                    const GenerationSpan span = SpanOf(index, g);
                    const std::string_view bytes(block.data() + (span.offset - from), span.size);
                    CheckedGeneration checked;
                    if (CheckGenerationQuickly(bytes, index.population, texts, checked)) {
                        history[static_cast<std::size_t>(g)] = checked.stat;
                        bestPose[static_cast<std::size_t>(g)] = PoseOf(checked.best);
                        continue;
                    }
                    f = ParseGeneration(bytes, index, g, gen);
                } else {
                    f = ReadBytes(file, index, g, gen);
                    if (!f) f = ParseGeneration(gen.bytes, index, g, gen);
                }
                if (!f) f = VerifyGeneration(gen, index, g, baseX, baseY, tx, ty);
                if (f) return fail(g, std::move(f));
                const int b = gen.bestIndex;
                history[static_cast<std::size_t>(g)] = {gen.best, gen.average};
                bestPose[static_cast<std::size_t>(g)] = PoseOf(gen.individuals[static_cast<std::size_t>(b)].genes);
            }
            const std::uint64_t done = bytesDone.fetch_add(to - from) + (to - from);
            if (reporting && progress && !progress(done, file.size())) cancelled.store(true);
        }
    };
    unsigned count = threads ? threads : std::max(1u, std::thread::hardware_concurrency());
    count = static_cast<unsigned>(std::min<long long>(count, (generations + kBlock - 1) / kBlock));
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < count; ++t) helpers.emplace_back(work, false);
    work(true);
    for (std::thread& t : helpers) t.join();
    if (cancelled.load()) {
        summary.fault = Fault(0, Says(K::cancelled));
        return summary;
    }
    if (fault) {
        summary.fault = std::move(fault);
        return summary;
    }

    // The elite as the run keeps it: a strictly higher generation best, with the exact recomputed
    // value (the logged best prints the same, so it is read again from the genes).
    for (long long g = 0; g < generations; ++g) {
        const ArmPose pose = bestPose[static_cast<std::size_t>(g)];
        const double f = Fitness(geometry, Chromosome{{static_cast<std::uint8_t>(pose.a1), static_cast<std::uint8_t>(pose.a2),
                                                     static_cast<std::uint8_t>(pose.a3)}});
        if (f > summary.eliteFitness) {
            summary.eliteFitness = f;
            summary.elitePose = pose;
        }
        summary.lastBestPose = pose;
    }
    summary.generationBest = std::move(bestPose);
    summary.history = std::move(history);

    // An incomplete last generation: its whole lines must be individuals of this run. It holds
    // fewer than population + 1 line feeds, so its window decides as all of it would.
    if (!index.complete) {
        summary.truncated = true;
        const std::uint64_t start = index.generationStarts.back();
        std::string tail(static_cast<std::size_t>(std::min<std::uint64_t>(file.size() - start, window)), '\0');
        if (ResultsFault f = file.read(start, tail.size(), tail.data())) {
            summary.fault = std::move(f);
            return summary;
        }
        const char* p = tail.data();
        const char* const end = p + tail.size();
        summary.tailLine = index.lineOf(generations, 0);
        for (int i = 0; p < end; ++i) {
            const long long lineNo = index.lineOf(generations, i);
            std::string_view line;
            const char* next = nullptr;
            bool cutOff = false;
            FaultText why = TakeLine(p, end, line, next, &cutOff);
            if (cutOff) break;  // the line being written when the run stopped
            LoggedIndividual individual;
            if (why.empty()) why = ParseIndividual(line, individual);
            if (why.empty()) {
                const double f = Fitness(geometry, individual.genes);
                if (!SameText(f, individual.fitness)) why = FitnessMismatch(individual.fitness, f, tx, ty, baseX, baseY);
            }
            if (!why.empty()) {
                summary.fault = Fault(lineNo, std::move(why));
                return summary;
            }
            p = next;
        }
    }
    return summary;
}

}  // namespace

ResultsSummary VerifyResults(const ResultsFile& file, int baseX, int baseY, unsigned threads,
                             const ResultsProgress& progress) {
    ResultsSummary summary = Check(file, baseX, baseY, threads, progress);
    if (summary.fault.kind != K::cancelled) {
        if (ResultsFault change = file.changed()) summary.fault = std::move(change);
    }
    return summary;
}

bool ReadFitnessFile(const ResultsFile& file, std::vector<GenerationStat>& rows) {
    rows.clear();
    constexpr std::uint64_t kLongestLine = 2 * 16 + 3;  // two fitness texts, a comma, CR LF
    if (file.size() == 0 || file.size() > kLongestLine * kMaxGenerations) return false;
    std::string bytes(static_cast<std::size_t>(file.size()), '\0');
    if (file.read(0, bytes.size(), bytes.data())) return false;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        if (end == std::string_view::npos) return false;
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 2);
        if (CountFields(line) != 2) return false;
        GenerationStat row;
        if (!ParseFitness(NextField(line), row.best) || !ParseFitness(line, row.average) || row.average > row.best)
            return false;
        rows.push_back(row);
    }
    return rows.size() <= static_cast<std::size_t>(kMaxGenerations);
}

}  // namespace kelvora
