// The experiment window at work, timed as a person sees it:
//   BM_PlotsAfterRun     6 configurations x 100 seeds at population 100 x 100 generations: from
//                        "実行" to the charts and table showing every run (goal: within 1 s);
//   BM_GuiStallDuringRun 100,000 runs of 10 x 10 while a 5 ms timer ticks on the window's thread:
//                        the longest gap between ticks (goal: no stall above 50 ms);
//   BM_OpenLargeSweep    a sweep CSV of 10^6 rows (two configurations of 500,000 seeds) opened in
//                        the window, from openSweep to the charts and table showing it (goal:
//                        within 3 s), and the longest gap of the 5 ms timer meanwhile.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#include "batch/sweep_table.h"

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
        window->findChild<QPushButton*>(QStringLiteral("AddConfiguration"))->click();
        window->findChild<QTableWidget*>(QStringLiteral("Configurations"))->item(i, 4)->setText(QString::number(0.3 + 0.1 * i));
    }
    window->findChild<QLineEdit*>(QStringLiteral("Seeds"))->setText(QString::fromLatin1(seeds));
    window->show();
    return window;
}

// Ticks a 5 ms timer on the window's thread while loop runs; the longest gap between ticks, in ms.
template <typename Start>
double LongestGap(QEventLoop& loop, Start start) {
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    tick.start(5);
    sinceTick.start();
    if (start()) loop.exec();
    return std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
}

// Runs the window's sweep to its end on this (the window's) thread; returns the longest time the
// thread was away from its event loop, in ms, as a 5 ms timer sees it.
double RunToTheEnd(ExperimentWindow& window) {
    QEventLoop loop;
    QObject::connect(&window, &ExperimentWindow::sweepFinished, &loop, &QEventLoop::quit);
    return LongestGap(loop, [&] { return window.run(); });
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

// A sweep file of rows rows: two configurations (crossover 0.5 and 0.7) of rows / 2 seeds each.
std::string WriteSweep(const QTemporaryDir& dir, long long rows) {
    const std::string path = dir.filePath(QStringLiteral("large.csv")).toStdString();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::string text = kelvora::SweepHeader();
    const long long each = rows / 2;
    for (int c = 0; c < 2; ++c) {
        kelvora::SweepResult r;
        r.combination.params = {20, 100, c == 0 ? 0.5 : 0.7, 0.1};
        r.combination.target = {68, 180};
        r.eliteDistance = 1.5;
        r.optimumDistance = 0.25;
        for (long long k = 0; k < each; ++k) {
            r.combination.seed = static_cast<std::uint32_t>(k + 1);
            r.firstGenerationWithinEpsilon = static_cast<int>(k % 100);
            text += kelvora::SweepRow(r, k, each, c == 0 ? "00112233445566aa" : "00112233445566bb", 0.5);
            if (text.size() > (1 << 20)) {
                std::fwrite(text.data(), 1, text.size(), file);
                text.clear();
            }
        }
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

void BM_OpenLargeSweep(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = QString::fromStdString(WriteSweep(dir, 1000000));
    double longest = 0;
    for (auto _ : state) {
        auto window = Window(20, 100, 0, "1..10");
        QEventLoop loop;
        QObject::connect(window.get(), &ExperimentWindow::sweepOpened, &loop, &QEventLoop::quit);
        longest = std::max(longest, LongestGap(loop, [&] { return window->openSweep(path); }));
        if (window->labels().size() != 2) state.SkipWithError("the file did not open");
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_OpenLargeSweep)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);


}  // namespace

int main(int argc, char** argv) {
    return kelvora::bench::RunWindowBenchmarks(argc, argv);
}
