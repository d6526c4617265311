// Kelvora: the window. Starts the application object, which runs the main dialog; the process ends
// when the dialog closes.

#include "solverapp.h"

int main(int argc, char* argv[]) {
    CSolverApp app(argc, argv);
    app.InitInstance();
    return 0;
}
