// Kelvora: the window. Starts the application object, which runs the main dialog; the process ends
// when the dialog closes. `kelvora --plot ...` draws a sweep's chart into a file instead and opens
// no window; `kelvora --help` and `kelvora --version` print and end before anything of Qt starts.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "experiment/plotcommand.h"
#include "flags/window_flags.h"
#include "app/solverapp.h"
#include "model/kelvora_version.h"

using namespace kelvora::ui;

namespace {

// --help or --version anywhere among the arguments: printed, with the status to end with (0, or 1
// when standard output failed); -1 when neither is there.
int PrintInformation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (!help && std::strcmp(argv[i], "--version") != 0) continue;
        if (help) std::fputs(kelvora::flags::WindowHelp().c_str(), stdout);
        else std::printf("kelvora %s\n", kelvora::kVersion);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before the application object: no display is needed, and no window can open.
    if (const int status = PrintInformation(argc, argv); status >= 0) return status;
    if (IsPlotCommand(argc, argv)) {
        // Nothing is shown: no display is needed, nor used when there is one.
        if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        CSolverApp app(argc, argv);
        QList<QByteArray> arguments;  // argv's own bytes: a file name that is not UTF-8 stays as it is
        for (int i = 0; i < argc; ++i) arguments.append(QByteArray(argv[i]));
        return RunPlotCommand(arguments);
    }
    // What the window shows lives as long as the program, outliving the window.
    SolverState state;
    CSolverApp app(argc, argv);
    app.InitInstance(state);
    return 0;
}
