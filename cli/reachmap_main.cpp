// kelvora-reach-map: kelvora-cli reach-map's own program, which kelvora-cli runs in its place with
// the subcommand's arguments. It speaks as kelvora-cli reach-map does.

#include <cstdio>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "output.h"

int main(int argc, char** argv) {
    using namespace kelvora::cli;
    ReserveStandardDescriptors();
    SetCommandName("reach-map");
    try {
        return ReachMapCommand(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {  // as kelvora-cli reports it: the map's file is never left half written
        std::fprintf(stderr, "kelvora-cli reach-map: out of memory; the files it had written whole are kept, no other "
                     "file was changed\n");
        return 1;
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "kelvora-cli reach-map: cannot start a thread: %s; the files it had written whole are kept\n",
                     error.what());
        return 1;
    }
}
