// kelvora-cli reach-map: drawn by a program of its own, installed with kelvora-cli under
// lib/kelvora/, so that only this subcommand loads the libraries that encode and label the figure
// (libpng, FreeType, fontconfig) and every other command starts without them.

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

}  // namespace

int kelvora::cli::ReachMapCommand(const std::vector<std::string>& args) {
    const std::string program = ReachMapProgram();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    std::fprintf(stderr, "kelvora-cli reach-map: cannot run %s: %s\n", Printable(program).c_str(), std::strerror(errno));
    return 1;
}
