#pragma once
// The experiment window's 統計 tab: each configuration against a baseline (or every pair) by
// Fisher's exact test of the successes within epsilon and the U test and A12 of the final
// distances, Holm-adjusted, with verdicts in words; over several targets the critical-difference
// diagram, which `kelvora --plot --kind cd` draws too.

#include <optional>
#include <string>
#include <vector>

#include <QSize>
#include <QWidget>

#include "batch/sweep.h"
#include "stats/statistics.h"

class QComboBox;
class QLabel;
class QPainter;
class QTableWidget;

namespace kelvora::ui {

/// Friedman's test over the targets as blocks and Nemenyi's critical difference.
struct CriticalDifference {
    std::vector<std::string> labels;  ///< the configurations
    kelvora::Friedman friedman;
    double cd = 0.0;                  ///< in mean ranks
    long long blocks = 0;             ///< targets
    double alpha = 0.05;
};

/// The critical difference of configurations (their runs, in any order) at alpha; none unless there
/// are two configurations or more on two targets or more, each target run by every configuration.
std::optional<CriticalDifference> CriticalDifferenceOf(const std::vector<std::string>& labels,
                                                       const std::vector<std::vector<const kelvora::SweepResult*>>& runs,
                                                       double alpha);

/// Paints the diagram into size (pixels): the mean ranks on an axis from 1 (succeeds most often,
/// left) to k, the critical difference above it and a thick line under each group no farther apart.
void PaintCriticalDifference(QPainter& painter, QSize size, const CriticalDifference& d);

/// The diagram's size for k configurations, pixels.
QSize CriticalDifferenceSize(std::size_t k);

/// A verdict as the window shows it, translated ("gray は classic より成功が多い ...").
QString VerdictText(const kelvora::PairVerdictInput& in, double alpha);

class StatisticsPanel : public QWidget {
    Q_OBJECT

public:
    explicit StatisticsPanel(QWidget* parent = nullptr);

    /// Shows the tests of these configurations' runs (one label and one list of runs each; lists may
    /// be empty, and such a configuration is left out), successes counted within the sweep's epsilon.
    void setRuns(const std::vector<QString>& labels, const std::vector<std::vector<kelvora::SweepResult>>& results);

    QComboBox* baseline() const { return m_baseline; }
    QTableWidget* table() const { return m_table; }
    /// The diagram when there is one, else nullopt.
    const std::optional<CriticalDifference>& criticalDifference() const { return m_cd; }

private:
    void update();

    QComboBox* m_baseline;
    QTableWidget* m_table;
    QLabel* m_note;
    QWidget* m_diagram;
    std::vector<QString> m_labels;
    std::vector<kelvora::SweepCombination> m_first;
    std::vector<kelvora::Sample> m_samples;
    std::vector<long long> m_seeds, m_targets;
    std::optional<CriticalDifference> m_cd;
};

}  // namespace kelvora::ui
