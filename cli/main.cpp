// kelvora-cli: one search, or a subcommand named by the first argument.

#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "output.h"

using namespace kelvora::cli;

namespace {

// Subcommands by name; anything else is the plain run's flags.
constexpr Subcommand kSubcommands[] = {
    {"ecdf", EcdfCommand},
    {"inspect", InspectCommand},
    {"landscape", LandscapeCommand},
    {"landscape-map", LandscapeMapCommand},
    {"optimum", OptimumCommand},
    {"reach-map", ReachMapCommand},
    {"sweep", SweepCommand},
    {"sweep-merge", SweepMergeCommand},
};

}  // namespace

int main(int argc, char** argv) {
    ReserveStandardDescriptors();
    if (argc > 1) {
        for (const Subcommand& command : kSubcommands) {
            if (command.name && std::strcmp(argv[1], command.name) == 0) {
                SetCommandName(command.name);
                return command.run(std::vector<std::string>(argv + 2, argv + argc));
            }
        }
    }
    return RunCommand(std::vector<std::string>(argv + 1, argv + argc));
}
