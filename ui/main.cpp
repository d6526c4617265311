// Kelvora: the window. Starts the application object, which runs the main dialog; the process ends
// when the dialog closes.

#include "solverapp.h"

using namespace kelvora::ui;

int main(int argc, char* argv[]) {
    // What the window shows lives as long as the program, outliving the window.
    SolverState state;
    CSolverApp app(argc, argv);
    app.InitInstance(state);
    return 0;
}
