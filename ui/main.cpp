// Kelvora: the window. Starts the application object, which runs the main dialog; the process ends
// when the dialog closes. `kelvora --plot ...` draws a sweep's chart into a file instead and opens
// no window.

#include <cstdlib>

#include "experiment/plotcommand.h"
#include "app/solverapp.h"

using namespace kelvora::ui;

int main(int argc, char* argv[]) {
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
