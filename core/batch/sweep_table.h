#pragma once
// The sweep's tidy CSV: its header, one row per run and back, the sweep's fingerprint and the
// summary as CSV. Shared by kelvora-cli's `sweep` (writing and resuming), `sweep-merge` and `ecdf`, and
// the window's experiments.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/sweep.h"

namespace kelvora {

/// An algorithm's six column values: method, encoding, selection, elitism, crossover operator and
/// mutation operator, spelled as the flags take them (random search: the classic operator spellings).
std::vector<std::string> AlgorithmFields(const Algorithm& algorithm);

/// An algorithm's six columns, "method,encoding,selection,elitism,crossover_operator,mutation_operator",
/// spelled as the flags take them; random search's operator columns hold the classic spellings.
std::string AlgorithmColumns(const Algorithm& algorithm);

/// The header line, LF included: the rows' columns, the last one the epsilon (px) the row's
/// first_generation_within_epsilon was measured at.
std::string SweepHeader();

/// The header of files written before rows carried their epsilon (the same columns without the
/// last), LF included. Such files still open; their epsilon is not known.
std::string SweepHeaderWithoutEpsilon();

/// A sweep's identity: 16 hex digits hashed from its algorithms, lists, targets, seeds and epsilon (not the
/// shard, the threads or the files), so that shards and resumed files can be told apart.
std::string SweepFingerprint(const SweepPlan& plan);

/// One row, LF included; index is the combination's 0-based index (the row says index + 1); epsilon
/// (px, 0 < epsilon <= kMaxEpsilon) the one first_generation_within_epsilon was measured at, nullopt
/// for a row of a file whose header has no epsilon column.
std::string SweepRow(const SweepResult& r, long long index, long long runs, const std::string& fingerprint,
                     std::optional<double> epsilon);

/// The fields a row carries besides the result.
struct ParsedSweepRow {
    SweepResult result;
    long long run = 0;        ///< 1-based combination index
    long long runs = 0;       ///< combinations in the sweep
    std::string fingerprint;
    std::optional<double> epsilon;  ///< px, nullopt for a row without the epsilon column
};

/// Reads a row back (without its LF), with or without the epsilon column; nullopt when it is not one. Every value is held to the range
/// its flag takes (population, generations, crossover, mutation, target, seed, and the algorithm to
/// the population); distances are not negative and first generations within the row's generations.
std::optional<ParsedSweepRow> ParseSweepRow(const std::string& line);

/// Whether two runs share a configuration: the same four parameters and algorithm (targets and
/// seeds aside), the runs a run-length curve pools.
bool SameConfiguration(const SweepCombination& a, const SweepCombination& b);

/// Rows of several sweeps may share a file (the window's export of several configurations, files
/// joined by hand) as long as each configuration's rows come from one sweep, whose epsilon and
/// targets they were measured with. Fed the rows in file order, it says where that first fails.
class OneSweepPerConfiguration {
public:
    /// Empty when row's configuration has no rows of another sweep before it; else the reason.
    std::string Add(const ParsedSweepRow& row);

private:
    std::vector<std::pair<SweepCombination, std::string>> seen_;  // a configuration and its sweep
};

/// The summary as CSV (header line, one row per parameter set); first_generation_within_epsilon_runs
/// counts the runs its quartiles are taken over.
std::string SummaryCsv(const std::vector<SweepSummaryRow>& rows);

}  // namespace kelvora
