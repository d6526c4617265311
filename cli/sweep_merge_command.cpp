// kelvora-cli sweep-merge: the shards of a sweep, merged into exactly the unsharded sweep's file.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <queue>
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
#include "signals.h"
#include "batch/sweep_table.h"
#include "experiment/runs.h"
#include "session/lines.h"
#include "session/sweep_file.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return Refuse("sweep-merge", message); }

// sweep-merge's flags and shard files, each stored as it is read, with its help.
FlagTable MergeTable(std::string& output, std::string& summary, std::vector<std::string>& inputs) {
    const auto file = [](const char* flag, std::string& into) {
        return [flag, &into](const std::string& v) {
            into = v;
            return v.empty() ? std::string(flag) + ": the file name is empty" : std::string();
        };
    };
    FlagTable table{
        {
            Flag{"--output", true, file("--output", output)}
                .Describe("FILE", "the merged sweep file (locked, written through FILE.part and a rename)")
                .Required(),
            Flag{"--summary", true, file("--summary", summary)}.Describe(
                "FILE", "also the whole sweep's summary, as sweep --summary writes it"),
            Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
        },
        "sweep-merge --help",
        [&inputs](const std::string& name) { inputs.push_back(name); return std::string(); }};
    table.text = {
        "kelvora-cli sweep-merge", "SHARD.csv...",
        "Merges the CSV files of a sweep's shards (kelvora-cli sweep --shard K/N) into FILE, byte for byte\n"
        "the file the sweep writes unsharded. Refuses files of different sweeps, a run found in two files,\n"
        "and runs found in none, naming them; nothing is written then. Only the rows the files hold are\n"
        "kept; each file is read a line at a time, its header first, and merged with the others row by\n"
        "row, so its rows must be in run order (a shard's are). Ctrl-C stops it and writes nothing.",
        "An output that is the other output or a shard file is refused; a shard file must be a regular\n"
        "file or a character device.\n"
        "Exit status: 0 done, 1 an output could not be written, 2 bad arguments or shards."};
    return table;
}

// The command line: the outputs, the shard files, and whether --help was asked for; "" or the
// message. An output that is another output or an input would destroy what is read or written.
std::string ParseMergeArgs(const std::vector<std::string>& args, std::string& output, std::string& summary,
                           std::vector<std::string>& inputs, bool& help) {
    const FlagTable table = MergeTable(output, summary, inputs);
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

FlagTable kelvora::cli::SweepMergeFlags() {
    static std::string output, summary;  // the handlers are never called
    static std::vector<std::string> inputs;
    return MergeTable(output, summary, inputs);
}

int kelvora::cli::SweepMergeCommand(const std::vector<std::string>& args) {
    std::string output, summary;
    std::vector<std::string> inputs;
    bool help = false;
    if (const std::string error = ParseMergeArgs(args, output, summary, inputs, help); !error.empty()) return Fail(error);
    if (help) {
        std::fputs(HelpText(SweepMergeFlags()).c_str(), stdout);
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
            return OpenFailureStatus(*file);
        }
    }
    const auto refuse = [&](const std::string& message) {
        Abandon(outputFile);
        Abandon(summaryFile);
        return Fail(message);
    };

    // Each shard's rows are in run order (a shard file is written so), so the merged file is a k-way
    // merge of them: one row of each file in memory at a time, whatever the rows. Every header is
    // read first, so that a foreign file is refused before any rows.
    // Shards begun before rows carried their epsilon merge into such a file; every shard must have
    // the first one's header.
    std::string header = SweepHeader();
    const std::string olderHeader = SweepHeaderWithoutEpsilon();
    struct Shard {
        std::unique_ptr<session::LineReader> reader;
        std::string name;
        long long line = 0;
        std::optional<ParsedSweepRow> row;  // its next row, or none at its end
        std::string text;                   // that row's text, without the LF
    };
    std::vector<Shard> shards(inputs.size());
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        Shard& shard = shards[f];
        shard.name = Printable(inputs[f]);
        shard.reader = std::make_unique<session::LineReader>(session::kLongestSweepLine);
        if (const std::string reason = shard.reader->Open(inputs[f]); !reason.empty())
            return refuse(shard.name + ": cannot read: " + reason);
        std::string_view text;
        session::LineEnd end{};
        const bool read = shard.reader->Next(text, end);
        if (read && end == session::LineEnd::lf && f == 0 && std::string(text) + "\n" == olderHeader) header = olderHeader;
        if (!read || end != session::LineEnd::lf || std::string(text) + "\n" != header) {
            if (!shard.reader->Error().empty()) return refuse(shard.name + ": cannot read: " + shard.reader->Error());
            return refuse(shard.name + (text.empty() && end != session::LineEnd::lf
                                            ? ":1: not a sweep file (it is empty)"
                                            : ":1: " + session::NotASweepHeader(text)));
        }
        shard.line = 1;
    }
    std::string fingerprint;
    long long runs = -1;
    std::size_t first = 0;
    // Reads the shard's next row into it; "" or why it cannot be merged.
    const auto advance = [&](std::size_t f) -> std::string {
        Shard& shard = shards[f];
        const long long before = shard.row ? shard.row->run : 0;
        shard.row.reset();
        std::string_view text;
        session::LineEnd end{};
        if (!shard.reader->Next(text, end))
            return shard.reader->Error().empty() ? "" : shard.name + ": cannot read: " + shard.reader->Error();
        ++shard.line;
        const std::string where = shard.name + ":" + std::to_string(shard.line);
        if (end == session::LineEnd::eof) return where + ": the row is cut short (an interrupted sweep: finish it with sweep --resume)";
        shard.text.assign(text);
        shard.row = end == session::LineEnd::lf ? ParseSweepRow(shard.text) : std::nullopt;
        if (!shard.row || shard.row->epsilon.has_value() != (header != olderHeader)) return where + ": not a sweep row";
        if (runs < 0) {
            runs = shard.row->runs;
            fingerprint = shard.row->fingerprint;
            first = f;
        } else if (shard.row->fingerprint != fingerprint || shard.row->runs != runs) {
            return shard.name + " and " + shards[first].name + " are shards of different sweeps (sweep " +
                   shard.row->fingerprint + " of " + std::to_string(shard.row->runs) + " runs, sweep " + fingerprint +
                   " of " + std::to_string(runs) + " runs)";
        }
        if (shard.row->run == before)
            return "overlapping shards: run " + std::to_string(before) + " is in " + shard.name + " twice";
        if (shard.row->run < before)
            return where + ": run " + std::to_string(shard.row->run) + " comes after run " + std::to_string(before) +
                   " (a shard file's rows are in run order)";
        return {};
    };
    for (std::size_t f = 0; f < shards.size(); ++f)
        if (const std::string error = advance(f); !error.empty()) return refuse(error);
    if (runs < 0) return refuse("the shard files hold no rows");

    // The smallest next run on top; files in their order among equal runs.
    const auto later = [&shards](std::size_t x, std::size_t y) {
        return shards[x].row->run != shards[y].row->run ? shards[x].row->run > shards[y].row->run : x > y;
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> next(later);
    for (std::size_t f = 0; f < shards.size(); ++f)
        if (shards[f].row) next.push(f);

    // Written in pieces of about 64 KB, the summary gathered on the way; a refusal or a stop found on
    // the way leaves nothing (the temporary file is removed).
    InstallStopSignals();
    SweepTally tally;
    std::string refusal;
    long long held = 0, firstMissing = 0;
    long long last = 0;
    std::size_t lastSource = 0;
    const std::string written = WriteWhole(outputFile, [&](int fd) {
        std::string piece = header;
        while (!next.empty()) {
            if (StopFlag().load(std::memory_order_relaxed)) {
                errno = EINTR;
                return false;
            }
            const std::size_t f = next.top();
            next.pop();
            const ParsedSweepRow& row = *shards[f].row;
            if (row.run == last) {
                refusal = "overlapping shards: run " + std::to_string(row.run) + " is in " + shards[lastSource].name +
                          " and in " + shards[f].name;
                return false;
            }
            if (row.run > last + 1 && firstMissing == 0) firstMissing = last + 1;
            last = row.run;
            lastSource = f;
            ++held;
            if (summaryFile.fd >= 0) AddToTally(tally, row.result);
            piece.append(shards[f].text);
            piece += '\n';
            if (piece.size() >= 65536) {
                if (!WriteAll(fd, piece)) return false;
                piece.clear();
            }
            if (std::string error = advance(f); !error.empty()) {
                refusal = std::move(error);
                return false;
            }
            if (shards[f].row) next.push(f);
        }
        if (held < runs) {
            refusal = "missing rows: " + std::to_string(runs - held) + " of " + std::to_string(runs) +
                      " runs are in no shard file, the first run " +
                      std::to_string(firstMissing ? firstMissing : last + 1) + " (a shard not given, or not finished)";
            return false;
        }
        return WriteAll(fd, piece);
    });
    if (!refusal.empty()) return refuse(refusal);
    if (StopExitStatus() != 0) {
        Abandon(outputFile);
        Abandon(summaryFile);
        std::fprintf(stderr, "kelvora-cli sweep-merge: %s: stopped; nothing was written\n", StopSignalName());
        return StopExitStatus();
    }
    if (!written.empty()) {
        std::fprintf(stderr, "kelvora-cli sweep-merge: %s: cannot write: %s\n", Printable(output).c_str(),
                     Printable(written, SIZE_MAX).c_str());
        Abandon(outputFile);
        Abandon(summaryFile);
        return 1;
    }
    if (const std::string reason =
            summaryFile.fd >= 0 ? WriteWhole(summaryFile, experiment::LabelledSummaryCsv(Summarise(std::move(tally)))) : "";
        !reason.empty()) {
        std::fprintf(stderr, "kelvora-cli sweep-merge: %s: cannot write: %s\n", Printable(summary).c_str(),
                     Printable(reason, SIZE_MAX).c_str());
        Abandon(summaryFile);
        return 1;
    }
    return 0;
}
