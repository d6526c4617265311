#pragma once
// The experiment window as its tests make it: the main window's settings fixed at population x
// generations, at the opening target.

#include <memory>

#include <QPoint>

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
