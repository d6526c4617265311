// kelvora-cli sweep-merge: the shards of a sweep, merged into exactly the unsharded sweep's file.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "output.h"
#include "options.h"
#include "batch/sweep_table.h"
#include "session/sweep_file.h"

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

}  // namespace

int kelvora::cli::SweepMergeCommand(const std::vector<std::string>& args) {
    std::string output, summary;
    std::vector<std::string> inputs;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        auto [flag, value] = SplitFlag(args[i]);
        if (flag == "--help" || flag == "-h") {
            std::fputs(kUsage, stdout);
            return FinishStdout();
        }
        if (flag == "--output" || flag == "--summary") {
            if (const std::string twice = GivenTwice(seen, flag); !twice.empty()) return Fail(twice);
            if (!value) {
                if (i + 1 >= args.size()) return Fail(flag + " needs a value");
                value = args[++i];
            }
            if (value->empty()) return Fail(flag + ": the file name is empty");
            (flag == "--output" ? output : summary) = *value;
        } else if (flag.rfind("--", 0) == 0) {
            return Fail(UnknownArgument(args[i], {"--output", "--summary", "--help"}, "sweep-merge --help"));
        } else {
            inputs.push_back(args[i]);
        }
    }
    if (output.empty()) return Fail("--output FILE is required");
    if (inputs.empty()) return Fail("no shard files given");
    // An output that is another output or an input would destroy what is read or written.
    std::vector<std::string> paths{output};
    if (!summary.empty()) paths.push_back(summary);
    const std::size_t outputs = paths.size();
    paths.insert(paths.end(), inputs.begin(), inputs.end());
    if (const auto [a, b] = SameFile(paths, outputs); a >= 0) {
        const auto role = [outputs](int i) {
            return i == 0 ? "--output" : static_cast<std::size_t>(i) < outputs ? "--summary" : "a shard file";
        };
        return Fail(std::string(role(a)) + " and " + role(b) + " name the same file, " + Quoted(paths[b]));
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

    // Only the rows the files hold are kept, whatever run counts they claim, their text one after
    // another in one block: sorted by run afterwards, they show overlaps and gaps. Each file is read a
    // line at a time, its header first, so that a foreign file is refused before the rest of it.
    struct Row {
        long long run;
        int source;
        std::size_t at;      // where its text starts in texts
        std::size_t length;  // without the LF
    };
    const std::string header = SweepHeader();
    std::vector<Row> rows;
    std::string texts;
    std::string fingerprint;
    long long runs = -1;
    int first = -1;
    // A shard's rows are one sweep's; overlaps and gaps are found across the shards below.
    constexpr session::SweepFileRules kShardRules{false, false, false};
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        const std::string name = Printable(inputs[f]);
        std::string error;
        const std::string fault = session::ReadSweepFile(inputs[f], name, kShardRules,
                                                         [&](const ParsedSweepRow& row, long long, std::string_view text) {
            if (runs < 0) {
                runs = row.runs;
                fingerprint = row.fingerprint;
                first = static_cast<int>(f);
            } else if (row.fingerprint != fingerprint || row.runs != runs) {
                error = name + " and " + Printable(inputs[static_cast<std::size_t>(first)]) +
                        " are shards of different sweeps (sweep " + row.fingerprint + " of " +
                        std::to_string(row.runs) + " runs, sweep " + fingerprint + " of " + std::to_string(runs) +
                        " runs)";
                return false;
            }
            rows.push_back({row.run, static_cast<int>(f), texts.size(), text.size()});
            texts.append(text);
            return true;
        });
        if (!fault.empty() || !error.empty()) return refuse(fault.empty() ? error : fault);
    }
    if (runs < 0) return refuse("the shard files hold no rows");
    std::stable_sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) { return x.run < y.run; });
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].run == rows[i - 1].run)
            return refuse("overlapping shards: run " + std::to_string(rows[i].run) + " is in " +
                          Printable(inputs[static_cast<std::size_t>(rows[i - 1].source)]) + " and in " +
                          Printable(inputs[static_cast<std::size_t>(rows[i].source)]));
    const auto held = static_cast<long long>(rows.size());
    if (held < runs) {
        long long firstMissing = held + 1;  // every run up to the first gap is there
        for (long long i = 0; i < held; ++i)
            if (rows[static_cast<std::size_t>(i)].run != i + 1) {
                firstMissing = i + 1;
                break;
            }
        return refuse("missing rows: " + std::to_string(runs - held) + " of " + std::to_string(runs) +
                      " runs are in no shard file, the first run " + std::to_string(firstMissing) +
                      " (a shard not given, or not finished)");
    }

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
