// kelvora-cli: one search, or a subcommand named by the first argument.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "output.h"
#include "signals.h"

using namespace kelvora::cli;

int main(int argc, char** argv) {
    ReserveStandardDescriptors();
    // A closed pipe is a failed write like any other: named, status 1, the outputs whole or absent.
    std::signal(SIGPIPE, SIG_IGN);
    const char* name = nullptr;
    // Out of memory is a failure like any other: named, status 1, the files written whole kept (each
    // command replaces a file only whole and removes its temporary files on the way out).
    try {
        if (argc > 1) {
            for (const Subcommand& command : Subcommands()) {
                if (command.name && std::strcmp(argv[1], command.name) == 0) {
                    name = command.name;
                    SetCommandName(command.name);
                    InstallEndSignals(CommandName());
                    return command.run(std::vector<std::string>(argv + 2, argv + argc));
                }
            }
        }
        InstallEndSignals(CommandName());
        return RunCommand(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "kelvora-cli%s%s: out of memory; the files it had written whole are kept, no other "
                     "file was changed\n", name ? " " : "", name ? name : "");
        return 1;
    } catch (const std::system_error& error) {  // no thread could be started: memory or a limit
        std::fprintf(stderr, "kelvora-cli%s%s: cannot start a thread: %s; the files it had written whole are kept\n",
                     name ? " " : "", name ? name : "", error.what());
        return 1;
    }
}
