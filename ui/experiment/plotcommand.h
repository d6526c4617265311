#pragma once
// `kelvora --plot SWEEP.csv --output FILE.svg|FILE.png [--x generations|evaluations]`: the
// experiment window's run-length chart drawn from a sweep CSV without showing any window.

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace kelvora::ui {

/// Whether the program's arguments (argv[1..argc-1]) ask for the plot command.
bool IsPlotCommand(int argc, char** argv);

/// Draws the plot the arguments (argv's bytes, program name first, so that file names that are not
/// UTF-8 are kept) ask for; the picture is written whole (WriteWholeFile). Returns the exit
/// status: 0 written; 1 the picture could not be written (the old file untouched); 2 bad arguments
/// or a file that is not a sweep CSV (a line on stderr says which).
int RunPlotCommand(const QList<QByteArray>& arguments);

/// The same with the arguments as text, each file name spelled as QFile::encodeName spells it.
int RunPlotCommand(const QStringList& arguments);

}  // namespace kelvora::ui
