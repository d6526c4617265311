#pragma once
// The main of a benchmark of the window: an offscreen application (unless a platform is named),
// settings kept apart from the user's, message boxes printed instead of shown.

#include <benchmark/benchmark.h>

#include <cstdio>

#include <QApplication>
#include <QStandardPaths>

#include "common/messagebox.h"

namespace kelvora::bench {

inline int RunWindowBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);  // what the window remembers: not in the user's settings
    QApplication app(argc, argv);
    ui::SetMessageBoxFunction(
        [](QWidget*, QMessageBox::Icon, const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace kelvora::bench
