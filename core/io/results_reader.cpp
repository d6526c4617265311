#include "io/results_reader.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "io/result_files.h"
#include "model/arm.h"

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
    static const bool popcnt = __builtin_cpu_supports("popcnt");
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

constexpr const char* kNoCompleteGeneration =
    "the file ends before the first generation's summary line: no complete generation";

// A fault's message before it has a line: its format (one of kResultsFaultFormats) and arguments.
struct FaultText {
    const char* format = nullptr;
    std::vector<std::string> arguments;
    bool empty() const { return format == nullptr; }
};

FaultText Says(const char* format, std::vector<std::string> arguments = {}) { return {format, std::move(arguments)}; }

ResultsFault Fault(long long line, FaultText text) {
    ResultsFault fault;
    fault.line = line;
    fault.format = text.format;
    fault.message = FillFaultFormat(text.format, text.arguments);
    fault.arguments = std::move(text.arguments);
    return fault;
}

// "found 1 field" or "found 3 fields": the singular and the plural are formats of their own.
FaultText FieldCount(const char* one, const char* many, int fields) {
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
            return Says("line is longer than %1 bytes: not a line of results.csv", {std::to_string(kLineLimit)});
        if (cutOff) *cutOff = true;
        return Says("the file ends in the middle of this line");
    }
    next = nl + 1;
    if (nl == p || nl[-1] != '\r') return Says("line does not end in CR LF");
    line = std::string_view(p, static_cast<std::size_t>(nl - 1 - p));
    if (line.find('\r') != std::string_view::npos) return Says("carriage return inside the line");
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
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
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
        return FieldCount("expected an individual line of 4 fields gene,gene,gene,fitness, found %1 field",
                          "expected an individual line of 4 fields gene,gene,gene,fitness, found %1 fields", fields);
    std::string_view rest = line;
    for (int k = 0; k < 3; ++k) {
        const std::string_view field = NextField(rest);
        int v = 0;
        if (!ParseWhole(field, 255, v))
            return Says("gene %1 is %2, expected a whole number 0..255", {std::to_string(k), Quoted(field)});
        out.genes.gene[k] = static_cast<std::uint8_t>(v);
    }
    if (!ParseFitness(rest, out.fitness))
        return Says("fitness is %1, expected a number in (0, 1] as %g writes it", {Quoted(rest)});
    return {};
}

FaultText ParseSummary(std::string_view line, int population, LoggedGeneration& out) {
    const int fields = CountFields(line);
    if (fields != 3)
        return FieldCount("expected the summary line of 3 fields bestIndex,best,average, found %1 field",
                          "expected the summary line of 3 fields bestIndex,best,average, found %1 fields", fields);
    std::string_view rest = line;
    const std::string_view index = NextField(rest);
    if (!ParseWhole(index, population - 1, out.bestIndex))
        return Says("summary best index is %1, expected a whole number 0..%2", {Quoted(index), std::to_string(population - 1)});
    const std::string_view best = NextField(rest);
    if (!ParseFitness(best, out.best))
        return Says("summary best is %1, expected a number in (0, 1] as %g writes it", {Quoted(best)});
    if (!ParseFitness(rest, out.average))
        return Says("summary average is %1, expected a number in (0, 1] as %g writes it", {Quoted(rest)});
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
    return Says("fitness %1 does not match its genes: expected %2 for the target %3,%4",
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

// ---- index ----

ResultsFault IndexResults(std::string_view data, ResultsIndex& index, const ResultsProgress& progress) {
    index = ResultsIndex{};
    index.size = data.size();
    if (data.empty()) return Fault(1, Says("the file is empty"));
    const char* const begin = data.data();
    const char* const end = begin + data.size();

    // The population: the individual lines before the first summary line.
    const char* p = begin;
    int population = 0;
    for (;;) {
        const long long lineNo = population + 1;
        std::string_view line;
        const char* next = nullptr;
        bool cutOff = false;
        FaultText why = TakeLine(p, end, line, next, &cutOff);
        if (cutOff) return Fault(lineNo, Says(kNoCompleteGeneration));
        if (!why.empty()) return Fault(lineNo, std::move(why));
        if (CountFields(line) == 3) {
            if (population == 0) return Fault(lineNo, Says("a summary line where the first individual was expected"));
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
            return Fault(lineNo, Says("no summary line after %1 individuals: a generation holds at most that many",
                                      {std::to_string(kMaxPopulation)}));
        ++population;
        p = next;
        if (p == end) return Fault(lineNo + 1, Says(kNoCompleteGeneration));
    }
    index.population = population;
    index.generationStarts.push_back(0);
    index.generationStarts.push_back(static_cast<std::uint64_t>(p - begin));

    // Every further generation is population + 1 lines: count line feeds.
    const std::uint64_t perGeneration = static_cast<std::uint64_t>(population) + 1;
    constexpr std::uint64_t kProgressStep = 64u << 20;
    std::uint64_t nextReport = kProgressStep;
    while (p < end) {
        std::uint64_t n = perGeneration;
        const char* q = SkipLines(p, end, n);
        if (n != 0) break;  // an incomplete generation at the end
        if (index.generations() == kMaxGenerations)
            return Fault(index.lineOf(kMaxGenerations, 0), Says("more than %1 generations: a run has at most that many",
                                                                {std::to_string(kMaxGenerations)}));
        p = q;
        index.generationStarts.push_back(static_cast<std::uint64_t>(p - begin));
        if (progress && static_cast<std::uint64_t>(p - begin) >= nextReport) {
            nextReport = static_cast<std::uint64_t>(p - begin) + kProgressStep;
            if (!progress(static_cast<std::uint64_t>(p - begin), data.size())) return Fault(0, Says("cancelled"));
        }
    }
    index.complete = p == end;
    return {};
}

ResultsFault IndexFromOffsets(std::string_view data, int population, const std::vector<std::uint64_t>& offsets,
                              ResultsIndex& index) {
    index = ResultsIndex{};
    index.size = data.size();
    if (population < kMinPopulation || population > kMaxPopulation)
        return Fault(0, Says("population %1 is outside 1..%2", {std::to_string(population), std::to_string(kMaxPopulation)}));
    if (offsets.empty() || offsets.front() != 0) return Fault(0, Says("the recorded index does not start at byte 0"));
    if (offsets.size() > static_cast<std::size_t>(kMaxGenerations) + 1)
        return Fault(0, Says("the recorded index has more than %1 generations", {std::to_string(kMaxGenerations)}));
    for (std::size_t k = 1; k < offsets.size(); ++k) {
        const std::uint64_t o = offsets[k];
        // Each generation is at least population + 1 lines of at least 8 bytes ("0,0,0,1\r\n").
        if (o <= offsets[k - 1] || o > data.size() || data[o - 1] != '\n')
            return Fault(0, Says("recorded generation %1 does not start at a line (byte %2)",
                                 {std::to_string(k), std::to_string(o)}));
    }
    index.population = population;
    index.generationStarts = offsets;
    index.complete = offsets.back() == data.size();
    return {};
}

// ---- one generation ----

ResultsFault ReadGeneration(std::string_view data, const ResultsIndex& index, long long g, LoggedGeneration& out) {
    if (g < 0 || g >= index.generations() || index.generationStarts.back() > data.size())
        return Fault(0, Says("generation %1 is not in the file", {std::to_string(g + 1)}));
    const char* p = data.data() + index.generationStarts[static_cast<std::size_t>(g)];
    const char* const end = data.data() + index.generationStarts[static_cast<std::size_t>(g) + 1];
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
        return Fault(line, Says("summary best index %1 does not match its generation: expected %2",
                                {std::to_string(gen.bestIndex), std::to_string(bestIndex)}));
    if (!SameText(gen.best, best))
        return Fault(line, Says("summary best %1 does not match its generation: expected %2", {Text(gen.best), Text(best)}));
    const double average = total / n;
    if (!SameText(gen.average, average))
        return Fault(line, Says("summary average %1 does not match its generation: expected %2",
                                {Text(gen.average), Text(average)}));
    return {};
}

// ---- the target ----

RecoveredTarget RecoverTarget(std::string_view data, const ResultsIndex& index, int baseX, int baseY) {
    // Distinct poses in file order, with their logged fitness.
    constexpr std::size_t kEnough = 4096;
    std::vector<LoggedIndividual> poses;
    std::unordered_set<std::uint32_t> seen;
    LoggedGeneration gen;
    for (long long g = 0; g < index.generations() && poses.size() < kEnough; ++g) {
        if (ReadGeneration(data, index, g, gen)) break;
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

ResultsSummary VerifyResults(std::string_view data, int baseX, int baseY, unsigned threads,
                             const ResultsProgress& progress) {
    ResultsSummary summary;
    summary.fault = IndexResults(data, summary.index, progress);
    if (summary.fault) return summary;
    const ResultsIndex& index = summary.index;
    summary.target = RecoverTarget(data, index, baseX, baseY);
    const int tx = summary.target.x, ty = summary.target.y;

    const long long generations = index.generations();
    std::vector<double> best(static_cast<std::size_t>(generations), 0.0);
    std::vector<ArmPose> bestPose(static_cast<std::size_t>(generations));
    std::vector<GenerationStat> history(static_cast<std::size_t>(generations));

    // Blocks of generations handed out in order; a fault stops work past its generation.
    constexpr long long kBlock = 8;
    std::atomic<long long> nextBlock{0};
    std::atomic<long long> faultGeneration{generations};
    std::atomic<std::uint64_t> bytesDone{0};
    std::atomic<bool> cancelled{false};
    std::mutex faultMutex;
    ResultsFault fault;
    const auto work = [&](bool reporting) {
        LoggedGeneration gen;
        for (;;) {
            const long long first = nextBlock.fetch_add(1) * kBlock;
            if (first >= generations || first > faultGeneration.load() || cancelled.load()) return;
            const long long last = std::min(first + kBlock, generations);
            for (long long g = first; g < last; ++g) {
                if (g > faultGeneration.load()) return;
                ResultsFault f = ReadGeneration(data, index, g, gen);
                if (!f) f = VerifyGeneration(gen, index, g, baseX, baseY, tx, ty);
                if (f) {
                    std::lock_guard lock(faultMutex);
                    if (g < faultGeneration.load()) {
                        faultGeneration.store(g);
                        fault = std::move(f);
                    }
                    return;
                }
                const int b = gen.bestIndex;
                best[static_cast<std::size_t>(g)] = gen.best;
                history[static_cast<std::size_t>(g)] = {gen.best, gen.average};
                bestPose[static_cast<std::size_t>(g)] = PoseOf(gen.individuals[static_cast<std::size_t>(b)].genes);
            }
            const std::uint64_t done = bytesDone.fetch_add(index.generationStarts[static_cast<std::size_t>(last)] -
                                                           index.generationStarts[static_cast<std::size_t>(first)]);
            if (reporting && progress && !progress(done, data.size())) cancelled.store(true);
        }
    };
    unsigned count = threads ? threads : std::max(1u, std::thread::hardware_concurrency());
    count = static_cast<unsigned>(std::min<long long>(count, (generations + kBlock - 1) / kBlock));
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < count; ++t) helpers.emplace_back(work, false);
    work(true);
    for (std::thread& t : helpers) t.join();
    if (cancelled.load()) {
        summary.fault = Fault(0, Says("cancelled"));
        return summary;
    }
    if (fault) {
        summary.fault = std::move(fault);
        return summary;
    }

    // The elite as the run keeps it: a strictly higher generation best, with the exact recomputed
    // value (the logged best prints the same, so it is read again from the genes).
    const Geometry geometry = GeometryOf(baseX, baseY, tx, ty);
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

    // An incomplete last generation: its whole lines must be individuals of this run.
    if (!index.complete) {
        summary.truncated = true;
        const char* p = data.data() + index.generationStarts.back();
        const char* const end = data.data() + data.size();
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

// ---- mapping ----

namespace {

// The mappings a SIGBUS may hit, in slots the handler reads without a lock. A slot is taken by
// setting begin (from 0) and then end, and given back by clearing end and then begin.
struct GuardedRange {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> cut{false};
};
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "read inside a signal handler");

constexpr int kGuardedRanges = 64;
GuardedRange guardedRanges[kGuardedRanges];
std::uintptr_t pageSize = 4096;
struct sigaction previousBusAction {};

// A page of a guarded mapping past the file's end gets a page of zeros in its place, and the read
// goes on. Any other SIGBUS is handed to what handled it before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (info->si_code > 0) {  // raised by the hardware, not sent
        for (GuardedRange& range : guardedRanges) {
            if (address < range.begin.load() || address >= range.end.load()) continue;
            void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
            if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
                range.cut.store(true);
                return;
            }
        }
    }
    if (previousBusAction.sa_flags & SA_SIGINFO && previousBusAction.sa_sigaction) {
        previousBusAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signal);
        return;
    }
    // The default: the process ends. A fault raised by the hardware faults again on return.
    ::signal(SIGBUS, SIG_DFL);
    if (info->si_code <= 0) ::raise(SIGBUS);
}

void InstallBusGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
}

int Guard(const void* address, std::size_t size) {
    InstallBusGuard();
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    for (int i = 0; i < kGuardedRanges; ++i) {
        std::uintptr_t free = 0;
        if (!guardedRanges[i].begin.compare_exchange_strong(free, begin)) continue;
        guardedRanges[i].cut.store(false);
        guardedRanges[i].end.store(begin + size);
        return i;
    }
    return -1;  // all taken: mapped without the guard
}

void Unguard(int slot) {
    if (slot < 0) return;
    guardedRanges[slot].end.store(0);
    guardedRanges[slot].begin.store(0);
}

}  // namespace

void MappedResults::release() {
    Unguard(guard_);
    if (address_) ::munmap(address_, size_);
    if (fd_ >= 0) ::close(fd_);
    address_ = nullptr;
    size_ = 0;
    fd_ = -1;
    guard_ = -1;
}

MappedResults::~MappedResults() { release(); }

MappedResults::MappedResults(MappedResults&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      fd_(std::exchange(other.fd_, -1)),
      guard_(std::exchange(other.guard_, -1)) {}

MappedResults& MappedResults::operator=(MappedResults&& other) noexcept {
    if (this != &other) {
        release();
        address_ = std::exchange(other.address_, nullptr);
        size_ = std::exchange(other.size_, 0);
        fd_ = std::exchange(other.fd_, -1);
        guard_ = std::exchange(other.guard_, -1);
    }
    return *this;
}

bool MappedResults::open(const std::string& path, std::string& error) {
    release();
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return false;
    }
    fd_ = fd;
    if (info.st_size > 0) {
        void* address = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (address == MAP_FAILED) {
            error = std::strerror(errno);
            release();
            return false;
        }
        address_ = address;
        size_ = static_cast<std::size_t>(info.st_size);
        guard_ = Guard(address_, size_);
    }
    return true;
}

bool MappedResults::cutShort() const {
    if (guard_ >= 0 && guardedRanges[guard_].cut.load()) return true;
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 && static_cast<std::uint64_t>(info.st_size) < size_;
}

}  // namespace kelvora
