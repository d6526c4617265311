// kelvora-cli sweep-merge: the shards of a sweep, merged into exactly the unsharded sweep's file.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "options.h"
#include "sweep_table.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

const char* const kUsage =
    "Usage: kelvora-cli sweep-merge --output FILE [--summary FILE] SHARD.csv...\n"
    "Merges the CSV files of a sweep's shards (kelvora-cli sweep --shard K/N) into FILE, byte for byte\n"
    "the file the sweep writes unsharded. Refuses files of different sweeps, a run found in two files,\n"
    "and runs found in none, naming them; nothing is written then. --summary writes the whole sweep's\n"
    "summary as sweep --summary does.\n"
    "Exit status: 0 done, 1 the output could not be written, 2 bad arguments or shards.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "kelvora-cli sweep-merge: %s\n", message.c_str());
    return 2;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

int kelvora::cli::SweepMergeCommand(const std::vector<std::string>& args) {
    std::string output, summary;
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        auto [flag, value] = SplitFlag(args[i]);
        if (flag == "--help" || flag == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (flag == "--output" || flag == "--summary") {
            if (!value) {
                if (i + 1 >= args.size()) return Fail(flag + " needs a value");
                value = args[++i];
            }
            if (value->empty()) return Fail(flag + ": the file name is empty");
            (flag == "--output" ? output : summary) = *value;
        } else if (flag.rfind("--", 0) == 0) {
            return Fail("unknown argument '" + args[i] + "' (see sweep-merge --help)");
        } else {
            inputs.push_back(args[i]);
        }
    }
    if (output.empty()) return Fail("--output FILE is required");
    if (inputs.empty()) return Fail("no shard files given");

    const std::string header = SweepHeader();
    std::vector<std::string> rows;        // by run number - 1
    std::vector<int> source;              // which input holds each row, -1 none
    std::vector<SweepResult> results;
    std::string fingerprint;
    long long runs = -1;
    int first = -1;
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        const std::string& name = inputs[f];
        std::ifstream in(name, std::ios::binary);
        if (!in) return Fail(name + ": cannot read: " + std::strerror(errno));
        std::ostringstream s;
        s << in.rdbuf();
        const std::string text = s.str();
        if (text.compare(0, header.size(), header) != 0) return Fail(name + ": not a sweep file (no sweep header)");
        long long line = 2;
        for (std::size_t at = header.size(); at < text.size(); ++line) {
            const std::size_t end = text.find('\n', at);
            if (end == std::string::npos)
                return Fail(name + ": line " + std::to_string(line) +
                            " is cut short (an interrupted shard: finish it with sweep --resume)");
            const std::string content = text.substr(at, end - at);
            const auto row = ParseSweepRow(content);
            if (!row) return Fail(name + ": line " + std::to_string(line) + " is not a sweep row");
            if (runs < 0) {
                runs = row->runs;
                fingerprint = row->fingerprint;
                first = static_cast<int>(f);
                rows.resize(static_cast<std::size_t>(runs));
                source.assign(static_cast<std::size_t>(runs), -1);
                results.resize(static_cast<std::size_t>(runs));
            } else if (row->fingerprint != fingerprint || row->runs != runs) {
                return Fail(name + " and " + inputs[static_cast<std::size_t>(first)] +
                            " are shards of different sweeps (sweep " + row->fingerprint + " of " +
                            std::to_string(row->runs) + " runs, sweep " + fingerprint + " of " + std::to_string(runs) +
                            " runs)");
            }
            const auto index = static_cast<std::size_t>(row->run - 1);
            if (source[index] >= 0)
                return Fail("overlapping shards: run " + std::to_string(row->run) + " is in " +
                            inputs[static_cast<std::size_t>(source[index])] + " and in " + name);
            source[index] = static_cast<int>(f);
            rows[index] = content;
            results[index] = row->result;
            at = end + 1;
        }
    }
    if (runs < 0) return Fail("the shard files hold no rows");
    long long missing = 0;
    long long firstMissing = 0;
    for (long long i = 0; i < runs; ++i)
        if (source[static_cast<std::size_t>(i)] < 0 && missing++ == 0) firstMissing = i + 1;
    if (missing > 0)
        return Fail("missing rows: " + std::to_string(missing) + " of " + std::to_string(runs) +
                    " runs are in no shard file, the first run " + std::to_string(firstMissing) +
                    " (a shard not given, or not finished)");

    std::string merged = header;
    for (const std::string& row : rows) {
        merged += row;
        merged += '\n';
    }
    if (!WriteWholeFile(output, merged)) {
        std::fprintf(stderr, "kelvora-cli sweep-merge: %s: cannot write: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    if (!summary.empty()) {
        if (!WriteWholeFile(summary, SummaryCsv(Summarise(results)))) {
            std::fprintf(stderr, "kelvora-cli sweep-merge: %s: cannot write: %s\n", summary.c_str(), std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
