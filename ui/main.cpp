// Kelvora: the window. Starts the application object, which runs the main dialog; the process ends
// when the dialog closes.

#include "solverapp.h"

using namespace kelvora::ui;

int main(int argc, char* argv[]) {
    // The run state lives as long as the program: made before the application object, so that it
    // is destroyed after the window, closing a result file still open.
    kelvora::SolverState state;
    CSolverApp app(argc, argv);
    app.InitInstance(state);
    return 0;
}
