#pragma once
// Command line of kelvora-cli: flags, their ranges, and the parsed result.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "solver_types.h"

namespace kelvora::cli {

/// What one invocation asks for.
struct CliOptions {
    SolverParams params;                 ///< defaults: 20, 100, 0.5, 0.1, as the dialog opens
    int targetX = kOpeningTargetX;       ///< relative to the base, x right, within kMaxTargetOffset
    int targetY = kOpeningTargetY;       ///< relative to the base, y up, within kMaxTargetOffset
    std::optional<std::uint32_t> seed;   ///< none: the clock, in whole seconds
    std::string outputDirectory;         ///< empty: the current directory
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

/// Parses args (without the program name). Accepts "--flag value" and "--flag=value".
ParseResult ParseCommandLine(const std::vector<std::string>& args);

/// Whole-text number conversion in the C locale; nullopt for anything else (trailing text, empty,
/// out of the type's range, NaN or infinity).
std::optional<long long> ParseInteger(const std::string& text);
std::optional<double> ParseFiniteDouble(const std::string& text);

/// The --help text, with the accepted ranges and the defaults.
std::string UsageText();

}  // namespace kelvora::cli
