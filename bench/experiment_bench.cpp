// The experiment window at work, timed as a person sees it:
//   BM_PlotsAfterRun     6 configurations x 100 seeds at population 100 x 100 generations: from
//                        "実行" to the charts and table showing every run (goal: within 1 s);
//   BM_GuiStallDuringRun 100,000 runs of 10 x 10 while a 5 ms timer ticks on the window's thread:
//                        the longest gap between ticks (goal: no stall above 50 ms).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

#include <QTableWidget>

#include "common/settings.h"
#include "experiment/experimentwindow.h"
#include "window_bench_support.h"

using namespace kelvora::ui;

namespace {

std::unique_ptr<ExperimentWindow> Window(int population, int generations, int configurations, const char* seeds) {
    AppSettings().remove(QStringLiteral("experiment/table"));  // the rows below, not those kept from before
    auto window = std::make_unique<ExperimentWindow>([=] {
        CurrentSettings now;
        now.params.populationSize = population;
        now.params.generationCount = generations;
        now.target = QPoint(68, 180);
        return now;
    });
    // Rows of one configuration are refused: each row its own crossover rate.
    for (int i = 0; i < configurations; ++i) {
        window->addCurrent();
        window->configurations()->item(i, 4)->setText(QString::number(0.3 + 0.1 * i));
    }
    window->seedsEdit()->setText(QString::fromLatin1(seeds));
    window->show();
    return window;
}

// Runs the window's sweep to its end on this (the window's) thread; returns the longest time the
// thread was away from its event loop, in ms, as a 5 ms timer sees it.
double RunToTheEnd(ExperimentWindow& window) {
    QEventLoop loop;
    QElapsedTimer sinceTick;
    double longest = 0;
    QObject::connect(&window, &ExperimentWindow::sweepFinished, &loop, [&] {
        longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);  // the end's showing
        loop.quit();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    tick.start(5);
    sinceTick.start();
    if (window.run()) loop.exec();
    return longest;
}

void BM_PlotsAfterRun(benchmark::State& state) {
    for (auto _ : state) {
        auto window = Window(100, 100, 6, "1..100");
        RunToTheEnd(*window);  // the timed part ends when the charts and table show the runs
    }
}
BENCHMARK(BM_PlotsAfterRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_GuiStallDuringRun(benchmark::State& state) {
    double longest = 0;
    for (auto _ : state) {
        auto window = Window(10, 10, 1, "1..100000");
        longest = std::max(longest, RunToTheEnd(*window));
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_GuiStallDuringRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);


}  // namespace

int main(int argc, char** argv) {
    return kelvora::bench::RunWindowBenchmarks(argc, argv);
}
