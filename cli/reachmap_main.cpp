// kelvora-reach-map: the program of kelvora-cli's picture subcommands, reach-map and landscape-map,
// which kelvora-cli runs in its place with the subcommand's name and arguments. It speaks as
// kelvora-cli SUBCOMMAND does.

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "output.h"

int main(int argc, char** argv) {
    using namespace kelvora::cli;
    ReserveStandardDescriptors();
    const bool landscape = argc > 1 && std::strcmp(argv[1], "landscape-map") == 0;
    if (argc < 2 || (!landscape && std::strcmp(argv[1], "reach-map") != 0)) {
        std::fprintf(stderr, "kelvora-reach-map: run by kelvora-cli reach-map and kelvora-cli landscape-map\n");
        return 2;
    }
    const char* name = landscape ? "landscape-map" : "reach-map";
    SetCommandName(name);
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        return landscape ? LandscapeMapCommand(args) : ReachMapCommand(args);
    } catch (const std::bad_alloc&) {  // as kelvora-cli reports it: the map's file is never left half written
        std::fprintf(stderr, "kelvora-cli %s: out of memory; the files it had written whole are kept, no other "
                     "file was changed\n", name);
        return 1;
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "kelvora-cli %s: cannot start a thread: %s; the files it had written whole are kept\n",
                     name, error.what());
        return 1;
    }
}
