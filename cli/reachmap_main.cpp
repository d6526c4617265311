// kelvora-reach-map: kelvora-cli reach-map's own program, which kelvora-cli runs in its place with
// the subcommand's arguments. It speaks as kelvora-cli reach-map does.

#include <string>
#include <vector>

#include "commands.h"
#include "output.h"

int main(int argc, char** argv) {
    using namespace kelvora::cli;
    ReserveStandardDescriptors();
    SetCommandName("reach-map");
    return ReachMapCommand(std::vector<std::string>(argv + 1, argv + argc));
}
