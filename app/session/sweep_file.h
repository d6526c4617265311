#pragma once
// The one reader of sweep files (the rows `kelvora-cli sweep` and `sweep-merge` write), for every
// command and window that reads them: ecdf, sweep-merge, `kelvora --plot` and the experiment window.
// It opens a file without blocking and refuses a FIFO at once, reads a line at a time with a
// longest line, holds every row value to its flag's range, and words each fault one way.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/sweep_table.h"

namespace kelvora::session {

/// The longest line a sweep file may hold (a row is under 300 bytes).
inline constexpr std::size_t kLongestSweepLine = 4096;

/// What a reader asks of a file's rows besides each being a row.
struct SweepFileRules {
    /// Each configuration's rows come from one sweep (OneSweepPerConfiguration): the curves and
    /// summaries of one configuration are taken with one epsilon and one set of targets.
    bool oneSweepPerConfiguration = true;
    /// No run number of one sweep is there twice (a row repeated would count twice).
    bool distinctRuns = true;
    /// A file without rows is refused ("the file holds no rows").
    bool rowsRequired = true;
    /// Every row says one epsilon (each row's ParsedSweepRow::epsilon; rows of a file written before
    /// rows carried it say none).
    bool oneEpsilon = true;
};

/// Reads the sweep file at path, its header first, and hands each row and its line number (the
/// header is line 1) and its text (without the LF) to row, in file order, until row returns false (the caller's own refusal).
/// Returns "" or the one message of the fault, the file named as shown:
///   SHOWN: cannot read: REASON          (cannot be opened or read; a FIFO, a socket, a directory)
///   SHOWN:1: not a sweep file (it is empty) | (its first line is not the sweep header)
///   SHOWN:N: not a sweep row            (not the header's fields, a value out of its range, a line too long)
///   SHOWN:N: the row was measured at ε E px, the rows before it at F px (...)
///   SHOWN:N: the row is cut short (an interrupted sweep: finish it with sweep --resume)
///   SHOWN:N: the row is of sweep ..., the rows of its configuration before it of sweep ...
///   SHOWN:N: the row repeats run R of sweep F, the row of line M
///   SHOWN: the file holds no rows
std::string ReadSweepFile(const std::string& path, const std::string& shown, const SweepFileRules& rules,
                          const std::function<bool(const ParsedSweepRow& row, long long line, std::string_view text)>& row);

/// The same with the default rules, every row's result appended to results; epsilon, where given,
/// gets the rows' epsilon (px; nullopt for a file written before rows carried it).
std::string ReadSweepFile(const std::string& path, const std::string& shown, std::vector<SweepResult>& results,
                          std::optional<double>* epsilon = nullptr);

/// Whether line (a file's first line, without its line end) is a sweep file's header, with or
/// without the epsilon column: what a window asks before it opens a dropped file as a sweep.
bool IsSweepHeader(std::string_view line);

/// Why a first line (without its LF) is not the sweep header, naming a UTF-8 byte order mark or
/// a CR LF line end an editor may have added: "not a sweep file (its first line is not ...)".
std::string NotASweepHeader(std::string_view line);

/// What a reader says of a file whose rows do not say their epsilon: "ε not recorded; assumed 0.5".
std::string EpsilonNotRecorded();

}  // namespace kelvora::session
