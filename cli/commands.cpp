#include "commands.h"

#include "model/kelvora_version.h"
#include "options.h"

namespace kelvora::cli {

const std::vector<Subcommand>& Subcommands() {
    static const std::vector<Subcommand> commands = {
        {"compare", CompareCommand, CompareFlags},
        {"diversity", DiversityCommand, DiversityFlags},
        {"ecdf", EcdfCommand, EcdfFlags},
        {"experiment", ExperimentCommand, ExperimentFlags},
        {"inspect", InspectCommand, InspectFlags},
        {"landscape", LandscapeCommand, LandscapeFlags},
        {"landscape-map", LandscapeMapCommand, LandscapeMapFlags},
        {"optimum", OptimumCommand, OptimumFlags},
        {"reach-map", ReachMapCommand, ReachMapFlags},
        {"report", ReportCommand, ReportFlags},
        {"sweep", SweepCommand, SweepFlags},
        {"sweep-merge", SweepMergeCommand, SweepMergeFlags},
    };
    return commands;
}

std::vector<flags::FlagTable> ProgramTables() {
    static CliOptions unused;  // the handlers are never called
    std::vector<flags::FlagTable> tables{RunFlags(unused)};
    for (const Subcommand& command : Subcommands()) tables.push_back(command.flags());
    return tables;
}

namespace {

std::vector<const flags::FlagTable*> Pointers(const std::vector<flags::FlagTable>& tables, std::size_t from) {
    std::vector<const flags::FlagTable*> pointers;
    for (std::size_t i = from; i < tables.size(); ++i) pointers.push_back(&tables[i]);
    return pointers;
}

}  // namespace

std::string ProgramHelp() {
    const std::vector<flags::FlagTable> tables = ProgramTables();
    return flags::HelpText(tables.front(), Pointers(tables, 1));
}

std::string ProgramManPage() {
    return flags::ManPage("kelvora-cli", kVersion,
                          "inverse kinematics of a three-link arm by a genetic algorithm, without a window",
                          Pointers(ProgramTables(), 0));
}

}  // namespace kelvora::cli
