#pragma once
// The experiment window as its tests make it: the main window's settings fixed at population x
// generations, at the opening target.

#include <memory>

#include <QPoint>
#include <QSignalSpy>

#include "experiment/experimentwindow.h"

inline std::unique_ptr<kelvora::ui::ExperimentWindow> NewWindow(int population, int generations) {
    return std::make_unique<kelvora::ui::ExperimentWindow>([=] {
        kelvora::ui::CurrentSettings now;
        now.params.populationSize = population;
        now.params.generationCount = generations;
        now.target = QPoint(68, 180);
        return now;
    });
}

// Opens a sweep file in the window and waits for it to be shown: whether it was.
inline bool Open(kelvora::ui::ExperimentWindow& window, const QString& path) {
    QSignalSpy opened(&window, &kelvora::ui::ExperimentWindow::sweepOpened);
    if (!window.openSweep(path) || (opened.isEmpty() && !opened.wait(60000))) return false;
    return opened.first().first().toBool();
}
