#pragma once
// The experiment window's charts side: the axis and target choices, the hint while nothing has run,
// the note that the results shown are stale, and the charts' tabs (統計 and 応答 among them).

#include <vector>

#include <QWidget>

#include "batch/sweep.h"
#include "experiment/experimentdata.h"
#include "experiment/statisticspanel.h"

class QLabel;

namespace kelvora::ui {

class ExperimentPlots;

/// Greys widget (results of another table: still readable and scrollable), or shows it plainly.
void Fade(QWidget* widget, bool faded);

class ChartsPanel : public QWidget {
    Q_OBJECT

public:
    explicit ChartsPanel(QWidget* parent);

    ExperimentPlots* plots() const { return m_plots; }
    StatisticsPanel* statistics() const { return m_statistics; }
    ResponsePanel* response() const { return m_response; }
    QLabel* hint() const { return m_hint; }
    QLabel* staleNote() const { return m_staleNote; }

    /// Shows the runs of configurations (their plot groups, statistics and runs, results grouped by
    /// configuration); epsilon is drawn where it is a number; varied: the parameter the 応答 tab
    /// takes ("" leaves its choice); caption: the line a chart saved alone carries.
    void showRuns(std::vector<PlotGroup> groups, double epsilon, StatisticsPanel::Gathered statistics,
                  const std::vector<std::vector<kelvora::SweepResult>>& results, const QString& varied,
                  QString caption);
    /// The stale note, and the charts greyed.
    void setStale(bool stale);
    /// Asks where and saves the chart shown as SVG or PNG (a message box says why not).
    void savePlot(bool svg);

private:
    ExperimentPlots* m_plots;
    StatisticsPanel* m_statistics;
    ResponsePanel* m_response;
    QLabel* m_hint;
    QLabel* m_staleNote;
    QString m_caption;  ///< the line saved under a chart: what the runs shown are
};

}  // namespace kelvora::ui
