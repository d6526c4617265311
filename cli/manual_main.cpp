// kelvora-manual NAME FILE: writes the manual page of kelvora-cli or kelvora (troff) to FILE, from
// the flag tables the programs read their command lines by. Run by the build.

#include <cstdio>
#include <string>

#include "commands.h"
#include "flags/window_flags.h"
#include "model/kelvora_version.h"

int main(int argc, char** argv) {
    const std::string name = argc == 3 ? argv[1] : "";
    if (name != "kelvora-cli" && name != "kelvora") {
        std::fprintf(stderr, "usage: kelvora-manual kelvora-cli|kelvora FILE\n");
        return 2;
    }
    const std::string page = name == "kelvora" ? kelvora::flags::WindowManPage(kelvora::kVersion)
                                               : kelvora::cli::ProgramManPage();
    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(page.data(), 1, page.size(), file) == page.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
