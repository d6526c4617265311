#pragma once
// The experiment window as its tests make it: the main window's settings fixed at population x
// generations, at the opening target.

#include <memory>

#include <QPoint>
#include <QSignalSpy>

#include <QChart>
#include <QChartView>
#include <QGraphicsTextItem>
#include <QLineSeries>

#include "experiment/experimentplots.h"
#include "experiment/experimentwindow.h"

namespace kelvora::ui {

// What the tests read of the charts beyond the run-length view `kelvora --plot` saves.
struct ExperimentPlotsTestAccess {
    static QChartView* distanceView(const ExperimentPlots& p) { return p.m_distance; }
    static QChartView* convergenceView(const ExperimentPlots& p) { return p.m_convergence; }
    // The words over the convergence chart when the runs shown carry no curves ("" otherwise).
    static QString convergenceNote(const ExperimentPlots& p) { return p.m_convergenceNote->toPlainText(); }
    // The run-length chart's curve of configuration group: (x, fraction) at every generation.
    static QList<QPointF> runLengthPoints(const ExperimentPlots& p, int group) {
        int n = 0;
        for (QAbstractSeries* series : p.m_runLength->chart()->series()) {
            auto* line = qobject_cast<QLineSeries*>(series);
            if (!line) continue;
            if (n++ == group) return line->points();
        }
        return {};
    }
};

// What the tests read of the window beyond what it offers the main window.
struct ExperimentWindowTestAccess {
    static bool addCurrent(ExperimentWindow& w) { return w.addCurrent(); }
    static QTableWidget* configurations(const ExperimentWindow& w) { return w.m_configs->table(); }
    static QTableWidget* summary(const ExperimentWindow& w) { return w.m_summary; }
    static ExperimentPlots* plots(const ExperimentWindow& w) { return w.m_plots; }
    static StatisticsPanel* statistics(const ExperimentWindow& w) { return w.m_statistics; }
    static const kelvora::SweepPlan& plan(const ExperimentWindow& w, int configuration) { return w.m_model.plans()[static_cast<std::size_t>(configuration)]; }
    static const std::vector<kelvora::SweepResult>& results(const ExperimentWindow& w, int configuration) { return w.m_model.results()[static_cast<std::size_t>(configuration)]; }
    static QString configurationLabel(const ExperimentWindow& w, int configuration) { return QString::fromStdString(w.m_model.labels()[static_cast<std::size_t>(configuration)]); }
    static QLabel* duplicatesNote(const ExperimentWindow& w) { return w.m_configs->duplicatesNote(); }
    static QLineEdit* epsilonEdit(const ExperimentWindow& w) { return w.m_fields->epsilon(); }
    static QLineEdit* seedsEdit(const ExperimentWindow& w) { return w.m_fields->seeds(); }
    static QLineEdit* targetsEdit(const ExperimentWindow& w) { return w.m_fields->targets(); }
    static bool isOpening(const ExperimentWindow& w) { return w.m_opening != nullptr; }
    static int configurationCount(const ExperimentWindow& w) { return static_cast<int>(w.m_model.results().size()); }
    static QLabel* runsNote(const ExperimentWindow& w) { return w.m_runsEach; }
    static bool isStale(const ExperimentWindow& w) { return w.m_model.stale(); }
    static QLabel* fileNote(const ExperimentWindow& w) { return w.m_fileNote; }
    static ResponsePanel* response(const ExperimentWindow& w) { return w.m_charts->response(); }
    static QString chartCaption(const ExperimentWindow& w) { return w.m_charts->caption(); }
    static QLabel* staleNote(const ExperimentWindow& w) { return w.m_charts->staleNote(); }
    static QLabel* aboutNote(const ExperimentWindow& w) { return w.m_about; }
    static QLabel* emptyHint(const ExperimentWindow& w) { return w.m_charts->hint(); }
};

}  // namespace kelvora::ui

using kelvora::ui::ExperimentPlotsTestAccess;
using kelvora::ui::ExperimentWindowTestAccess;

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
