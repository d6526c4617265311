// kelvora-cli sweep-merge: the shards of a sweep, merged into exactly the unsharded sweep's file.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "output.h"
#include "options.h"
#include "batch/sweep_table.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

const char* const kUsage =
    "Usage: kelvora-cli sweep-merge --output FILE [--summary FILE] SHARD.csv...\n"
    "Merges the CSV files of a sweep's shards (kelvora-cli sweep --shard K/N) into FILE, byte for byte\n"
    "the file the sweep writes unsharded. Refuses files of different sweeps, a run found in two files,\n"
    "and runs found in none, naming them; nothing is written then. Only the rows the files hold are\n"
    "kept, and each file is read a line at a time, its header first.\n"
    "\n"
    "  --output FILE    required: the merged sweep file (locked, written through FILE.part and a rename)\n"
    "  --summary FILE   also the whole sweep's summary, as sweep --summary writes it\n"
    "  --help           this text\n"
    "\n"
    "An output that is the other output or a shard file is refused; a shard file must be a regular\n"
    "file or a character device.\n"
    "Exit status: 0 done, 1 an output could not be written, 2 bad arguments or shards.\n";

int Fail(const std::string& message) { return Refuse("sweep-merge", message); }

// A row of a shard file: its run, the file it came from, and where its text lies in the block of
// all rows' texts.
struct Row {
    long long run;
    int source;
    std::size_t at;      // where its text starts in texts
    std::size_t length;  // without the LF
};

// Reads every shard file a line at a time, its header first, so that a foreign file is refused
// before the rest of it. Only the rows the files hold are kept, whatever run counts they claim,
// their text one after another in texts; runs: the run count they claim (-1: no rows). "" or the
// message.
std::string ReadShards(const std::vector<std::string>& inputs, std::vector<Row>& rows, std::string& texts,
                       long long& runs) {
    const std::string header = SweepHeader();
    const std::string_view columns(header.data(), header.size() - 1);
    std::string fingerprint;
    runs = -1;
    int first = -1;
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        const std::string name = Printable(inputs[f]);
        std::string error;
        long long line = 0;
        const std::string reason = ReadLines(inputs[f], 4096, [&](std::string_view text, LineEnd end) {
            ++line;
            if (line == 1) {
                if (end != LineEnd::lf || text != columns) error = name + ": not a sweep file (no sweep header)";
                return error.empty();
            }
            const std::string where = name + ": line " + std::to_string(line);
            if (end == LineEnd::eof) {
                error = where + " is cut short (an interrupted shard: finish it with sweep --resume)";
                return false;
            }
            const auto row = end == LineEnd::lf ? ParseSweepRow(std::string(text)) : std::nullopt;
            if (!row) {
                error = where + " is not a sweep row";
                return false;
            }
            if (runs < 0) {
                runs = row->runs;
                fingerprint = row->fingerprint;
                first = static_cast<int>(f);
            } else if (row->fingerprint != fingerprint || row->runs != runs) {
                error = name + " and " + Printable(inputs[static_cast<std::size_t>(first)]) +
                        " are shards of different sweeps (sweep " + row->fingerprint + " of " +
                        std::to_string(row->runs) + " runs, sweep " + fingerprint + " of " + std::to_string(runs) +
                        " runs)";
                return false;
            }
            rows.push_back({row->run, static_cast<int>(f), texts.size(), text.size()});
            texts.append(text);
            return true;
        });
        if (!reason.empty()) return name + ": cannot read: " + reason;
        if (line == 0) error = name + ": not a sweep file (no sweep header)";
        if (!error.empty()) return error;
    }
    return {};
}

// Sorted by run, the rows show overlaps and gaps: "" when they are exactly runs 1..runs once each,
// otherwise the message naming the first overlap or gap.
std::string CheckComplete(const std::vector<std::string>& inputs, std::vector<Row>& rows, long long runs) {
    if (runs < 0) return "the shard files hold no rows";
    std::stable_sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) { return x.run < y.run; });
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].run == rows[i - 1].run)
            return "overlapping shards: run " + std::to_string(rows[i].run) + " is in " +
                   Printable(inputs[static_cast<std::size_t>(rows[i - 1].source)]) + " and in " +
                   Printable(inputs[static_cast<std::size_t>(rows[i].source)]);
    const auto held = static_cast<long long>(rows.size());
    if (held < runs) {
        long long firstMissing = held + 1;  // every run up to the first gap is there
        for (long long i = 0; i < held; ++i)
            if (rows[static_cast<std::size_t>(i)].run != i + 1) {
                firstMissing = i + 1;
                break;
            }
        return "missing rows: " + std::to_string(runs - held) + " of " + std::to_string(runs) +
               " runs are in no shard file, the first run " + std::to_string(firstMissing) +
               " (a shard not given, or not finished)";
    }
    return {};
}

// The command line: the outputs, the shard files, and whether --help was asked for; "" or the
// message. An output that is another output or an input would destroy what is read or written.
std::string ParseMergeArgs(const std::vector<std::string>& args, std::string& output, std::string& summary,
                           std::vector<std::string>& inputs, bool& help) {
    const auto file = [](const char* flag, std::string& into) {
        return [flag, &into](const std::string& v) {
            into = v;
            return v.empty() ? std::string(flag) + ": the file name is empty" : std::string();
        };
    };
    const FlagTable table{
        {
            {"--output", true, file("--output", output)},
            {"--summary", true, file("--summary", summary)},
            {"--help", false, nullptr, false, true, "-h"},
        },
        "sweep-merge --help",
        [&inputs](const std::string& name) { inputs.push_back(name); return std::string(); }};
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return parsed.error;
    if ((help = parsed.stopped)) return {};
    if (output.empty()) return "--output FILE is required";
    if (inputs.empty()) return "no shard files given";
    std::vector<std::string> paths{output};
    if (!summary.empty()) paths.push_back(summary);
    const std::size_t outputs = paths.size();
    paths.insert(paths.end(), inputs.begin(), inputs.end());
    if (const auto [a, b] = SameFile(paths, outputs); a >= 0) {
        const auto role = [outputs](int i) {
            return i == 0 ? "--output" : static_cast<std::size_t>(i) < outputs ? "--summary" : "a shard file";
        };
        return std::string(role(a)) + " and " + role(b) + " name the same file, " + Quoted(paths[b]);
    }
    return {};
}

}  // namespace

int kelvora::cli::SweepMergeCommand(const std::vector<std::string>& args) {
    std::string output, summary;
    std::vector<std::string> inputs;
    bool help = false;
    if (const std::string error = ParseMergeArgs(args, output, summary, inputs, help); !error.empty()) return Fail(error);
    if (help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }

    // The outputs are held (locked) before anything is read, so that a second merge is refused
    // before it touches them.
    OutputFile outputFile, summaryFile;
    for (OutputFile* file : {&outputFile, &summaryFile}) {
        const std::string& path = file == &outputFile ? output : summary;
        if (path.empty()) continue;
        if (const std::string error = OpenOutput(path, *file); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli sweep-merge: %s\n", error.c_str());
            Abandon(outputFile);
            Abandon(summaryFile);
            return 1;
        }
    }
    const auto refuse = [&](const std::string& message) {
        Abandon(outputFile);
        Abandon(summaryFile);
        return Fail(message);
    };

    std::vector<Row> rows;
    std::string texts;
    long long runs = -1;
    if (std::string error = ReadShards(inputs, rows, texts, runs); !error.empty()) return refuse(error);
    if (std::string error = CheckComplete(inputs, rows, runs); !error.empty()) return refuse(error);
    const std::string header = SweepHeader();

    // Written in pieces of about 64 KB, the summary gathered on the way.
    SweepTally tally;
    const bool written = WriteWhole(outputFile, [&](int fd) {
        std::string piece = header;
        for (const Row& row : rows) {
            const std::string_view text(texts.data() + row.at, row.length);
            if (summaryFile.fd >= 0) AddToTally(tally, ParseSweepRow(std::string(text))->result);
            piece.append(text);
            piece += '\n';
            if (piece.size() >= 65536) {
                if (!WriteAll(fd, piece)) return false;
                piece.clear();
            }
        }
        return WriteAll(fd, piece);
    });
    if (!written) {
        std::fprintf(stderr, "kelvora-cli sweep-merge: %s: cannot write: %s\n", Printable(output).c_str(),
                     std::strerror(errno));
        Abandon(outputFile);
        Abandon(summaryFile);
        return 1;
    }
    if (summaryFile.fd >= 0 && !WriteWhole(summaryFile, SummaryCsv(Summarise(std::move(tally))))) {
        std::fprintf(stderr, "kelvora-cli sweep-merge: %s: cannot write: %s\n", Printable(summary).c_str(),
                     std::strerror(errno));
        Abandon(summaryFile);
        return 1;
    }
    return 0;
}
