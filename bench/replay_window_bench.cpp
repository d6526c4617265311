// Time for the window to show one generation of a replay at population 10000: the slot the
// scrubber drives (arms, fields, the population read from the file) and the repaint, with
// the population layer off and on.
//
//   kelvora_replay_bench            a 10000 x 300 run (about 60 MB), written first
//   kelvora_replay_bench --full     a 10000 x 10000 run (1.9 GB, about 1.5 minutes to write)

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "window_bench_support.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "mainwindow/solverdlg.h"

using namespace kelvora::ui;

namespace {

int g_generations = 300;

struct Replay {
    QTemporaryDir dir;
    std::unique_ptr<kelvora::ui::SolverState> state = std::make_unique<kelvora::ui::SolverState>();
    std::unique_ptr<CSolverDlg> dlg;

    Replay() {
        const QByteArray path = QFile::encodeName(dir.path());
        std::fprintf(stderr, "writing a 10000 x %d results.csv ...\n", g_generations);
        kelvora::RunWithFiles({{kelvora::kMaxPopulation, g_generations, 0.5, 0.1}, kelvora::GeometryFor(-60, 90), 1},
                              path.constData(), kelvora::FlushMode::generation);
        dlg = std::make_unique<CSolverDlg>(*state);
        // The window goes while the application is still there, not after it with the statics.
        static Replay* self = this;
        qAddPostRoutine([] { self->dlg.reset(); });
        dlg->show();
        // The check goes on a worker; the application's loop runs until it has ended.
        bool opened = false;
        QObject::connect(dlg.get(), &CSolverDlg::resultsOpened, qApp, [&opened](bool ok) {
            opened = ok;
            QCoreApplication::exit();
        });
        dlg->openResults(dir.filePath(QStringLiteral("results.csv")));
        QCoreApplication::exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the check's progress dialog
        if (!opened) std::exit(1);
    }
};

Replay& TheReplay() {
    static Replay replay;
    return replay;
}

void BM_ShowGenerationInTheWindow(benchmark::State& state) {
    Replay& r = TheReplay();
    r.dlg->setPopulationShown(state.range(0) != 0);
    std::mt19937 random(3);
    for (auto _ : state) {
        r.dlg->showGeneration(1 + static_cast<int>(random() % static_cast<unsigned>(g_generations)));
        r.dlg->repaint();  // paints now, as the next frame would
    }
    state.SetLabel(state.range(0) ? "population shown" : "arms only");
}
BENCHMARK(BM_ShowGenerationInTheWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();


}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--full") == 0) g_generations = kelvora::kMaxGenerations;
    return kelvora::bench::RunWindowBenchmarks(argc, argv);
}
