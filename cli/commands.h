#pragma once
// The commands of kelvora-cli. Each takes the arguments after its name (for the plain run, all of
// them) and returns the process's exit status: 0 done, 1 an output could not be written, 2 bad
// arguments.

#include <string>
#include <vector>

#include "flags/flags.h"

namespace kelvora::cli {

/// One search with the given flags (no subcommand).
int RunCommand(const std::vector<std::string>& args);

/// `inspect FILE [--json]`: checks a results.csv and prints what it holds; 2 when it is malformed.
int InspectCommand(const std::vector<std::string>& args);

/// `kelvora-cli optimum --target X,Y [--json]`: the best pose of the whole search space.
int OptimumCommand(const std::vector<std::string>& args);

/// `kelvora-cli reach-map --output FILE [--plain]`: the optimum distance of every target, as a PNG
/// figure (or the plain map) or as CSV.
int ReachMapCommand(const std::vector<std::string>& args);

/// `landscape --target X,Y [--neighbourhood LIST] [--epsilon E] [--json] [--optima FILE]`: the
/// exact fitness landscape of a target, its local optima and steepest-ascent basins.
int LandscapeCommand(const std::vector<std::string>& args);

/// `landscape-map --output FILE [--neighbourhood N] [--step PX] [--epsilon E] [--shard K/N] [--resume]
/// [--plain]`: the share of starts whose steepest ascent ends within epsilon, for targets on a grid.
int LandscapeMapCommand(const std::vector<std::string>& args);

/// `sweep`: every combination of parameter lists, targets and seeds on several threads.
int SweepCommand(const std::vector<std::string>& args);

/// `sweep-merge`: a sweep's shard files merged into the unsharded file.
int SweepMergeCommand(const std::vector<std::string>& args);

/// `ecdf SWEEP.csv [--x generations|evaluations] [--target epsilon|optimum] [--epsilon E] [--output FILE]`: each
/// configuration's run-length distribution, from a sweep file's rows.
int EcdfCommand(const std::vector<std::string>& args);

/// `diversity RESULTS.csv [--encoding binary|gray] [--output FILE]`: each generation's diversity.
int DiversityCommand(const std::vector<std::string>& args);

/// `compare SWEEP.csv [--baseline LABEL|all] [--epsilon E] [--alpha A] [--json] [--output FILE]`: whether
/// a sweep file's configurations differ, by exact and rank tests with Holm's adjustment.
int CompareCommand(const std::vector<std::string>& args);

/// `report INPUT --output REPORT.html [--pdf REPORT.pdf] [--lang ja|en] [--title TEXT]`: a lab report of
/// a sweep's runs as one self-contained HTML page (and a PDF).
int ReportCommand(const std::vector<std::string>& args);

/// `experiment run FILE | verify FILE RUNS.csv | from SWEEP.csv --output FILE`: an experiment file run,
/// its runs checked, or the experiment a sweep file was made by.
int ExperimentCommand(const std::vector<std::string>& args);

/// Each command's flag table with its help, over arguments that are never read: for the help texts
/// and the manual page. The plain run's is RunFlags.
flags::FlagTable CompareFlags();
flags::FlagTable DiversityFlags();
flags::FlagTable EcdfFlags();
flags::FlagTable ExperimentFlags();
flags::FlagTable InspectFlags();
flags::FlagTable LandscapeFlags();
flags::FlagTable LandscapeMapFlags();
flags::FlagTable OptimumFlags();
flags::FlagTable ReachMapFlags();
flags::FlagTable ReportFlags();
flags::FlagTable SweepFlags();
flags::FlagTable SweepMergeFlags();

/// A named subcommand: `kelvora-cli NAME ARGS...`.
struct Subcommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    flags::FlagTable (*flags)();  ///< its table with its help
};

/// kelvora-cli's subcommands, by name.
const std::vector<Subcommand>& Subcommands();

/// Every table of kelvora-cli: the plain run's first, then each subcommand's in name order.
std::vector<flags::FlagTable> ProgramTables();

/// `kelvora-cli --help`: the plain run's help, with every subcommand's usage line and name.
std::string ProgramHelp();

/// The manual page kelvora-cli(1): the plain run and a section per subcommand.
std::string ProgramManPage();

}  // namespace kelvora::cli
