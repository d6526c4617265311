#pragma once
// The application object: sets the program up and runs its window, the main dialog with its views
// docked beside it; the program ends when the window closes.

#include <QApplication>

#include "common/solverstate.h"

namespace kelvora::ui {

class CSolverApp : public QApplication {
    Q_OBJECT

public:
    /// Sets the program up: its metadata, the dialog face's substitutions and the window's language
    /// (English or Japanese from the environment, see uilanguage.h).
    CSolverApp(int& argc, char** argv);

    /// Shows the program's window, the main dialog on state (which must outlive it) in its middle,
    /// and takes the application's events until it is closed, then returns false: the process ends.
    bool InitInstance(SolverState& state);

    /// The program's name "Kelvora", its version (the project's), its desktop entry
    /// "io.github.kelvora.Kelvora" and its icon, on the running application object.
    static void SetApplicationMetadata();

    /// Maps the windows' face "ＭＳ Ｐゴシック" (and "MS PGothic") to IPAPGothic, its
    /// metric twin on Linux.
    static void InstallFontSubstitutions();
};

}  // namespace kelvora::ui
