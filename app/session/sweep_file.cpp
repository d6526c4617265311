#include "session/sweep_file.h"

#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/text.h"
#include "session/lines.h"

namespace kelvora::session {

std::string NotASweepHeader(std::string_view text) {
    std::string why = "not a sweep file (its first line is not the sweep header";
    if (text.starts_with("\xEF\xBB\xBF")) {
        why += ": it begins with a UTF-8 byte order mark";
        text.remove_prefix(3);
    }
    if (text.ends_with('\r')) why += std::string(why.ends_with("mark") ? " and" : ":") + " its lines end in CR LF, not LF";
    return why + ")";
}

std::string ReadSweepFile(const std::string& path, const std::string& shown, const SweepFileRules& rules,
                          const std::function<bool(const ParsedSweepRow& row, long long line, std::string_view text)>& take) {
    const std::string header = SweepHeader();
    const std::string_view columns(header.data(), header.size() - 1);
    const std::string older = SweepHeaderWithoutEpsilon();
    const std::string_view olderColumns(older.data(), older.size() - 1);
    bool epsilonColumn = true;
    std::optional<double> epsilon;  // the first row's
    OneSweepPerConfiguration sources;
    // Each sweep's run numbers seen so far and their lines: in run order (as a sweep writes them)
    // a list, searched through a hash index only once a row comes out of order.
    struct Runs {
        std::vector<std::pair<long long, long long>> inOrder;  // (run, line), runs increasing
        std::unordered_map<long long, long long> index;         // run -> line, once out of order
        // The line of run, or 0 when it is new (then noted at line).
        long long Add(long long run, long long line) {
            if (index.empty() && (inOrder.empty() || run > inOrder.back().first)) {
                inOrder.emplace_back(run, line);
                return 0;
            }
            if (index.empty()) {
                for (const auto& [r, l] : inOrder) index.emplace(r, l);
                inOrder = {};
            }
            const auto [at, added] = index.emplace(run, line);
            return added ? 0 : at->second;
        }
    };
    std::unordered_map<std::string, Runs> seen;
    std::string error;
    long long line = 0;
    long long rows = 0;
    bool stopped = false;
    const std::string reason = ReadFileLines(path, kLongestSweepLine, [&](std::string_view text, LineEnd end) {
        const std::string where = shown + ":" + std::to_string(++line) + ": ";
        if (line == 1) {
            epsilonColumn = text == columns;
            if (end != LineEnd::lf || (!epsilonColumn && text != olderColumns)) error = where + NotASweepHeader(text);
            return error.empty();
        }
        if (end == LineEnd::eof) {
            error = where + "the row is cut short (an interrupted sweep: finish it with sweep --resume)";
            return false;
        }
        const auto row = end == LineEnd::lf ? ParseSweepRow(std::string(text)) : std::nullopt;
        if (!row || row->epsilon.has_value() != epsilonColumn) {
            error = where + "not a sweep row";
            return false;
        }
        if (rules.oneEpsilon && epsilonColumn) {
            if (rows == 0) {
                epsilon = row->epsilon;
            } else if (*row->epsilon != *epsilon) {
                error = where + "the row was measured at ε " + ExactText(*row->epsilon) + " px, the rows before it at " +
                        ExactText(*epsilon) + " px (a file's runs must share one ε)";
                return false;
            }
        }
        if (rules.oneSweepPerConfiguration) {
            if (const std::string mixed = sources.Add(*row); !mixed.empty()) {
                error = where + mixed;
                return false;
            }
        }
        if (rules.distinctRuns) {
            if (const long long before = seen[row->fingerprint].Add(row->run, line); before > 0) {
                error = where + "the row repeats run " + std::to_string(row->run) + " of sweep " + row->fingerprint +
                        ", the row of line " + std::to_string(before);
                return false;
            }
        }
        ++rows;
        if (!take(*row, line, text)) stopped = true;
        return !stopped;
    });
    if (!reason.empty()) return shown + ": cannot read: " + reason;
    if (line == 0) return shown + ":1: not a sweep file (it is empty)";
    if (!error.empty() || stopped) return error;
    if (rules.rowsRequired && rows == 0) return shown + ": the file holds no rows";
    return {};
}

std::string ReadSweepFile(const std::string& path, const std::string& shown, std::vector<SweepResult>& results,
                          std::optional<double>* epsilon) {
    return ReadSweepFile(path, shown, SweepFileRules{}, [&](const ParsedSweepRow& row, long long, std::string_view) {
        if (epsilon && results.empty()) *epsilon = row.epsilon;
        results.push_back(row.result);
        return true;
    });
}

bool IsSweepHeader(std::string_view line) {
    const std::string header = SweepHeader(), older = SweepHeaderWithoutEpsilon();
    return line == std::string_view(header).substr(0, header.size() - 1) ||
           line == std::string_view(older).substr(0, older.size() - 1);
}

std::string EpsilonNotRecorded() { return "ε not recorded; assumed " + ExactText(kDefaultEpsilon); }

}  // namespace kelvora::session
