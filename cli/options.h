#pragma once
// Command line of kelvora-cli: flags, their ranges, and the parsed result.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "helpers.h"
#include "ga/algorithm.h"
#include "io/result_files.h"
#include "model/types.h"

namespace kelvora::cli {

/// What one invocation asks for.
struct CliOptions {
    SolverParams params;                 ///< defaults: 20, 100, 0.5, 0.1, as the dialog opens
    int targetX = kOpeningTargetX;       ///< relative to the base, x right, within kMaxTargetOffset
    int targetY = kOpeningTargetY;       ///< relative to the base, y up, within kMaxTargetOffset
    std::optional<std::uint32_t> seed;   ///< none: a random seed (std::random_device)
    std::string outputDirectory;         ///< empty: the current directory
    FlushMode flush = FlushMode::generation;  ///< --flush: a generation's lines in one write, or each line
    Algorithm algorithm;                 ///< --algorithm, --encoding ... --mutation-operator; default: the classic one
    bool runJson = true;                 ///< false (--no-run-json): no run.json beside the files
    std::string tracePath;               ///< --trace: the run's trace (JSON Lines); empty: none
    int traceFirst = 0;                  ///< --trace-generations A..B: the steps kept, 0-based
    int traceLast = kMaxGenerations - 1;
    bool traceGenerationsGiven = false;  ///< --trace-generations was given (it needs --trace)
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

/// Outcome of parsing: the options, or a one-line message naming the flag, the value and the
/// accepted range.
struct ParseResult {
    CliOptions options;
    std::string error;  ///< empty on success
    bool ok() const { return error.empty(); }
};

/// Parses args (without the program name). Accepts "--flag value" and "--flag=value"; a flag given
/// twice is refused, and an unknown one close to a flag of the run is answered with that flag. A tournament
/// or elite count is checked against the population once every flag is read.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

/// The plain run's flags, each storing into o as it is read, with their help. The subcommands that
/// take some of them (optimum) pick theirs from it.
FlagTable RunFlags(CliOptions& o);

/// One algorithm flag (--algorithm, --encoding, --selection, --elitism, --crossover-operator,
/// --mutation-operator) and its value parsed into algorithm: "" on success, otherwise "FLAG: message"
/// naming the value (escaped) and what is accepted. Counts are checked against their own ranges only.
std::string ParseAlgorithmFlag(const std::string& flag, const std::string& value, Algorithm& algorithm);

}  // namespace kelvora::cli
