// kelvora-cli reach-map and landscape-map: drawn by a program of its own, installed with
// kelvora-cli under lib/kelvora/, so that only the subcommands that draw pictures load the libraries
// that encode and label them (libpng, FreeType, fontconfig) and every other command starts without
// them. The program is told the subcommand first.

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "helpers.h"

namespace {

// The reach-map program beside this one: ../lib/kelvora/ from the directory of kelvora-cli, both
// where it is installed and in the build tree.
std::string ReachMapProgram() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
    const std::size_t slash = path.rfind('/');
    path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    return path + "/../lib/kelvora/kelvora-reach-map";
}

// Runs the picture program in this process's place as `kelvora-reach-map SUBCOMMAND ARGS...`.
int RunPictureProgram(const char* subcommand, const std::vector<std::string>& args) {
    const std::string program = ReachMapProgram();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    argv.push_back(const_cast<char*>(subcommand));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    std::fprintf(stderr, "kelvora-cli %s: cannot run %s: %s\n", subcommand, kelvora::cli::Printable(program).c_str(),
                 std::strerror(errno));
    return 1;
}

}  // namespace

int kelvora::cli::ReachMapCommand(const std::vector<std::string>& args) { return RunPictureProgram("reach-map", args); }

int kelvora::cli::LandscapeMapCommand(const std::vector<std::string>& args) {
    return RunPictureProgram("landscape-map", args);
}
