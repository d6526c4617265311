// kelvora-cli diversity RESULTS.csv: each generation's diversity (distinct genotypes, mean Hamming
// distance, bit entropy, share of the best), read a line at a time.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/diversity.h"
#include "ga/algorithm.h"
#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "io/run_record.h"
#include "session/lines.h"
#include "session/run_record.h"
#include "model/types.h"
#include "output.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return Refuse("diversity", message); }

// A whole decimal number without sign in text, or -1.
long long Whole(std::string_view text) {
    long long v = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '-') return -1;
    return v;
}

// Reads results.csv's lines and writes one row per complete generation to fd; fault names the first
// bad line.
class DiversityPass {
public:
    DiversityPass(std::string shown, bool gray) : shown_(std::move(shown)), gray_(gray) {
        genotypes_.reserve(kMaxPopulation);
    }

    bool line(std::string_view text, session::LineEnd end, int fd) {
        ++line_;
        if (end == session::LineEnd::tooLong) return Bad("line is too long for a results.csv");
        if (end == session::LineEnd::eof) {  // a last line without its line feed: an interrupted run
            cutShort = true;
            return false;
        }
        if (text.empty() || text.back() != '\r') return Bad("line does not end in CR LF");
        text.remove_suffix(1);
        std::string_view fields[4];
        int count = 0;
        for (std::size_t start = 0;;) {
            const std::size_t comma = text.find(',', start);
            if (count == 4) return Bad("not a line of results.csv (more than 4 fields)");
            fields[count++] = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (count == 4) {
            if (static_cast<int>(genotypes_.size()) == (population_ ? population_ : kMaxPopulation))
                return Bad("no summary line after " + std::to_string(genotypes_.size()) + " individuals");
            std::uint32_t g = 0;
            for (int k = 0; k < 3; ++k) {
                const long long a = Whole(fields[k]);
                if (a < 0 || a > 255) return Bad("gene " + std::to_string(k) + " is not a whole number 0..255");
                const int angle = static_cast<int>(a);
                g = (g << 8) | static_cast<std::uint32_t>(gray_ ? GrayEncode(angle) : angle);
            }
            genotypes_.push_back(g);
            return true;
        }
        if (count != 3) return Bad("not a line of results.csv (" + std::to_string(count) + " fields)");
        const int n = static_cast<int>(genotypes_.size());
        if (n == 0) return Bad("a summary line where the first individual was expected");
        if (population_ == 0) population_ = n;
        if (n != population_)
            return Bad("a generation of " + std::to_string(n) + " individuals, the first had " + std::to_string(population_));
        const long long best = Whole(fields[0]);
        if (best < 0 || best >= n) return Bad("summary best index is not a whole number 0.." + std::to_string(n - 1));
        const Diversity d = MeasureDiversity(genotypes_.data(), n, static_cast<int>(best), scratch_);
        char row[128];
        const int size = std::snprintf(row, sizeof row, "%lld,%d,%g,%g,%g\n", ++generations, d.distinct, d.hamming,
                                       d.entropy, d.bestShare);
        out_.append(row, static_cast<std::size_t>(size));
        genotypes_.clear();
        return out_.size() < (1u << 16) || Flush(fd);
    }

    // Writes what is left; false with errno set when a write fails.
    bool Flush(int fd) {
        if (!WriteAll(fd, out_)) {
            writeFailed = true;
            return false;
        }
        out_.clear();
        return true;
    }

    std::string fault;
    bool writeFailed = false;
    bool cutShort = false;
    long long generations = 0;
    bool partial() const { return cutShort || !genotypes_.empty(); }
    int population() const { return population_; }

private:
    bool Bad(const std::string& what) {
        fault = shown_ + ":" + std::to_string(line_) + ": " + what;
        return false;
    }

    std::string shown_;
    bool gray_;
    long long line_ = 0;
    int population_ = 0;
    std::vector<std::uint32_t> genotypes_;
    DiversityScratch scratch_;
    std::string out_ = "generation,distinct,hamming,entropy,best_share\n";
};

}  // namespace

namespace {

struct DiversityArgs {
    std::string input, output, encoding;
};

// diversity's flags, each storing into a as it is read, with its help.
FlagTable DiversityTable(DiversityArgs& a) {
    FlagTable table{
        {
            Flag{"--encoding", true,
                 [&a](const std::string& v) {
                     a.encoding = v;
                     return v == "binary" || v == "gray" ? std::string()
                                                         : "--encoding: " + Quoted(v) + " is not one of binary, gray";
                 }}
                .Describe("binary|gray",
                          "the run's encoding when no run.json beside the file describes it (its size and SHA-256); "
                          "a run.json that does gives the run's own encoding",
                          "binary"),
            Flag{"--output", true,
                 [&a](const std::string& v) {
                     a.output = v;
                     return v.empty() ? std::string("--output: the file name is empty") : std::string();
                 }}
                .Describe("FILE", "write the CSV to FILE, locked and through FILE.part and a rename",
                          "standard output"),
            Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
        },
        "diversity --help",
        [&a](const std::string& name) {
            if (!a.input.empty()) return "one results file only, got " + Quoted(a.input) + " and " + Quoted(name);
            a.input = name;
            return std::string();
        }};
    table.text = {
        "kelvora-cli diversity", "RESULTS.csv",
        "Writes the diversity of each generation of a results.csv, measured on the 24-bit genotype strings\n"
        "gene0 * 65536 + gene1 * 256 + gene2 (for a Gray run, the Gray encodings of the logged angles):\n"
        "\n"
        "  distinct     the number of different genotypes\n"
        "  hamming      the mean Hamming distance over all N(N-1)/2 pairs (0 when N = 1), 0..24\n"
        "  entropy      the mean over the 24 bit positions of the binary entropy of the share of ones, 0..1\n"
        "  best_share   the share of the population equal to the generation's best (its summary line)",
        "Columns generation,distinct,hamming,entropy,best_share, the generation counted from 1, values as\n"
    "%g writes them; lines end in LF. Which encoding was used, and why, is said on standard error. The\n"
    "file is read a line at a time: memory does not grow with the generations. A file cut off inside\n"
    "its last generation is read up to its last complete one.\n"
    "Exit status: 0 done, 1 the output could not be written, 2 bad arguments or a file that is not a\n"
    "results.csv (FILE:LINE named)."};
    return table;
}

}  // namespace

FlagTable kelvora::cli::DiversityFlags() {
    static DiversityArgs unused;  // the handlers are never called
    return DiversityTable(unused);
}

int kelvora::cli::DiversityCommand(const std::vector<std::string>& args) {
    DiversityArgs a;
    const FlagTable table = DiversityTable(a);
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return Fail(parsed.error);
    if (parsed.stopped) {
        std::fputs(HelpText(table).c_str(), stdout);
        return FinishStdout();
    }
    const std::string &input = a.input, &output = a.output, &encoding = a.encoding;
    if (input.empty()) return Fail("no results file given (see diversity --help)");
    if (!output.empty() && SameFile({output, input}, 1).first >= 0)
        return Fail("--output names the results file itself, " + Quoted(output));

    // The encoding: the run's own when its record describes this file, else as asked, else binary.
    const std::string shown = Printable(input);
    RunRecord record;
    std::string recordError;
    const RecordedFile current = DigestFile(input);
    bool gray = encoding == "gray";
    // The file's shape is known only once it is read: the record's digest decides here, and its
    // population and generations are checked against the file's after the pass.
    bool fromRecord = false;
    if (current.present) {
        session::ReadRecordOf(input, current, {}, record, recordError);
        fromRecord = record.results.present && current == record.results;
    }
    if (fromRecord) {
        gray = record.algorithm.method == Method::geneticAlgorithm && record.algorithm.encoding == Encoding::gray;
        std::fprintf(stderr, "kelvora-cli diversity: encoding %s, from the run.json that describes %s%s\n",
                     gray ? "gray" : "binary", shown.c_str(),
                     !encoding.empty() && (encoding == "gray") != gray ? " (--encoding is not the run's)" : "");
    } else if (!encoding.empty()) {
        std::fprintf(stderr, "kelvora-cli diversity: encoding %s, as --encoding gives it\n", encoding.c_str());
    } else {
        std::fprintf(stderr, "kelvora-cli diversity: encoding binary, the default (no run.json describes %s)\n",
                     shown.c_str());
    }

    OutputFile file;
    if (!output.empty()) {
        if (const std::string error = OpenOutput(output, file); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli diversity: %s\n", error.c_str());
            return OpenFailureStatus(file);
        }
    }
    DiversityPass pass(shown, gray);
    std::string reason;
    const auto write = [&](int fd) {
        reason = session::ReadFileLines(input, 1024, [&](std::string_view text, session::LineEnd end) {
            return pass.line(text, end, fd);
        });
        if (reason.empty() && pass.fault.empty() && pass.generations == 0) pass.fault = shown + ": no complete generation";
        return reason.empty() && pass.fault.empty() && !pass.writeFailed && pass.Flush(fd);
    };
    std::string writeFailure;  // "" or why the output could not be written
    if (file.fd >= 0) {
        writeFailure = WriteWhole(file, write);
    } else {
        std::fflush(stdout);
        if (!write(1)) writeFailure = std::generic_category().message(errno);
    }
    if (!reason.empty() || !pass.fault.empty()) {
        Abandon(file);
        return Fail(!reason.empty() ? shown + ": cannot read: " + reason : pass.fault);
    }
    if (!writeFailure.empty()) {
        std::fprintf(stderr, "kelvora-cli diversity: %s: cannot write: %s\n",
                     file.fd >= 0 ? Printable(output).c_str() : "standard output", writeFailure.c_str());
        Abandon(file);
        FinishStdout();
        return 1;
    }
    if (fromRecord && (pass.population() != record.params.populationSize ||
                       (record.failure.empty() && pass.generations != record.generationsRun)))
        std::fprintf(stderr,
                     "kelvora-cli diversity: the run.json beside %s has another population or generation count than "
                     "the file; its encoding may not be the file's (give --encoding)\n",
                     shown.c_str());
    if (pass.partial())
        std::fprintf(stderr, "kelvora-cli diversity: %s: cut off inside generation %lld; read up to generation %lld\n",
                     shown.c_str(), pass.generations + 1, pass.generations);
    return FinishStdout();
}
