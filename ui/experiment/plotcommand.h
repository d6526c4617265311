#pragma once
// `kelvora --plot SWEEP.csv --output FILE.svg|FILE.png [--x generations|evaluations]`: the
// experiment window's run-length chart drawn from a sweep CSV without showing any window.

#include <QStringList>

namespace kelvora::ui {

/// Whether the program's arguments (argv[1..argc-1]) ask for the plot command.
bool IsPlotCommand(int argc, char** argv);

/// Draws the plot the arguments (the application's, program name first) ask for. Returns the exit
/// status: 0 written; 1 the picture could not be written; 2 bad arguments or a file that is not a
/// sweep CSV (a line on stderr says which).
int RunPlotCommand(const QStringList& arguments);

}  // namespace kelvora::ui
