#pragma once
// The command line of the window's program, kelvora: `kelvora [FILE]`, and `kelvora --plot`, which
// draws a sweep's chart into a file and opens no window. Their tables with their help, for the
// program, its --help and its manual page.

#include <optional>
#include <string>

#include "flags/flags.h"

namespace kelvora::flags {

/// What `kelvora --plot` is told.
struct PlotArgs {
    std::string input;              ///< --plot SWEEP.csv, the bytes as given
    std::string output;             ///< --output FILE.svg|FILE.png
    std::string kind = "runlength"; ///< --kind: runlength, cd or response
    std::string parameter;          ///< --parameter P, for --kind response
    bool evaluations = false;       ///< --x evaluations
    std::optional<double> alpha;    ///< --alpha A, 0 < A < 1; none: not given
};

/// `kelvora --plot`'s flags, each storing into out as it is read, with their help.
FlagTable PlotTable(PlotArgs& out);

/// `kelvora [FILE]`: the window's own switches (--help, --version), with their help.
FlagTable WindowTable();

/// `kelvora --help`: the window's usage and that of --plot, each flag with its help.
std::string WindowHelp();

/// The manual page kelvora(1) for version.
std::string WindowManPage(const std::string& version);

}  // namespace kelvora::flags
