#pragma once
// The experiment window's 統計 tab: each configuration against a baseline (or every pair) by
// Fisher's exact test of the successes within epsilon and the U test and A12 of the final
// distances, Holm-adjusted, with verdicts in words; over several targets the critical-difference
// diagram, which `kelvora --plot --kind cd` draws too.

#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QSize>
#include <QWidget>

#include "batch/sweep.h"
#include "stats/statistics.h"

class QChart;
class QChartView;
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

/// Writes the diagram as SVG or PNG by the name's suffix (the name as the file system spells it),
/// whole, with caption under it as every chart saved alone (SaveCaptionedPicture); "" or the reason.
QString SaveCriticalDifference(const QByteArray& path, const CriticalDifference& d, const QString& caption);

/// The diagram's size for k configurations, pixels.
QSize CriticalDifferenceSize(std::size_t k);

/// A verdict as the window shows it, translated ("gray は classic より成功が多い ...").
QString VerdictText(const kelvora::PairVerdictInput& in, double alpha);

/// A parameter a response curve runs over.
struct ResponseParameter {
    const char* name;  ///< as --parameter spells it: population, generations, crossover, mutation, tournament, elitism, creep
    /// Its value in a run, or NaN where the run has none (a tournament size without tournament selection).
    double (*value)(const kelvora::SweepCombination&);
    /// Sets it aside, so that runs that differ in it alone are one curve's.
    void (*clear)(kelvora::SweepCombination&);
    const char* title;  ///< the axis title, to translate in the StatisticsPanel context
};

/// The parameter of that name, or nullptr.
const ResponseParameter* FindResponseParameter(const QString& name);

/// Every parameter, in the order above.
std::vector<const ResponseParameter*> ResponseParameters();

/// Success within epsilon with its Wilson band (left axis) and the median final distance with its
/// interquartile range (right axis) against the parameter, one curve per configuration of the
/// others; nullptr when no configuration ran at two values of it. The caller owns the chart.
QChart* ResponseChart(const std::vector<const kelvora::SweepResult*>& results, const ResponseParameter& parameter);

class StatisticsPanel : public QWidget {
    Q_OBJECT

public:
    explicit StatisticsPanel(QWidget* parent = nullptr);

    /// Shows the tests of these configurations' runs (one label and one list of runs each; lists may
    /// be empty, and such a configuration is left out), successes counted within the sweep's epsilon.
    void setRuns(const std::vector<QString>& labels, const std::vector<std::vector<kelvora::SweepResult>>& results);
    /// What the tab shows of such runs, gathered on any thread: each configuration's sample, seeds
    /// and targets counted, and the critical-difference diagram.
    struct Gathered {
        std::vector<QString> labels;
        std::vector<std::size_t> index;  ///< each shown configuration's number in the lists given
        std::vector<kelvora::SweepCombination> first;
        std::vector<kelvora::Sample> samples;
        std::vector<long long> seeds, targets;
        std::optional<CriticalDifference> cd;
    };
    static Gathered Gather(const std::vector<QString>& labels, const std::vector<std::vector<kelvora::SweepResult>>& results);
    /// Shows runs gathered by Gather.
    void setRuns(Gathered gathered);

    QComboBox* baseline() const { return m_baseline; }
    /// Two rows a pair: its numbers (configurations a and b, the counts within epsilon, Fisher's p and
    /// Holm's, the U test's p and Holm's, A12), then its verdict spanning them, wrapped.
    QTableWidget* table() const { return m_table; }
    /// The test of configuration number configuration (of setRuns' lists) against the baseline, as the summary table shows it
    /// in its p column: "p = 0.018" (Fisher's, Holm-adjusted; the rate bold in the table when below 0.05),
    /// "基準" for the baseline itself, "" with every pair or for a configuration not shown.
    QString againstBaseline(std::size_t configuration) const;
    /// That test's adjusted p, NaN where againstBaseline gives no p.
    double baselineP(std::size_t configuration) const;

    /// The table as CSV, the columns of kelvora-cli compare --output, labels and verdicts quoted.
    QByteArray csv() const;
    /// The diagram when there is one, else nullopt.
    const std::optional<CriticalDifference>& criticalDifference() const { return m_cd; }

signals:
    /// The table was filled again (new runs, another baseline).
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    void fitVerdicts();  // each verdict's row as high as its lines wrapped to the table in sight

    QComboBox* m_baseline;
    QTableWidget* m_table;
    QLabel* m_note;
    QWidget* m_diagram;
    std::vector<QString> m_labels;
    std::vector<std::size_t> m_index;  // each shown configuration's number in setRuns' lists
    std::vector<kelvora::SweepCombination> m_first;
    std::vector<kelvora::Sample> m_samples;
    std::vector<long long> m_seeds, m_targets;
    std::optional<CriticalDifference> m_cd;
    std::vector<kelvora::PairTest> m_tests;  // the rows of the table
    std::vector<QString> m_verdicts;
};

/// The experiment window's 応答 tab: the response curve over the parameter chosen, from the runs shown.
class ResponsePanel : public QWidget {
    Q_OBJECT

public:
    explicit ResponsePanel(QWidget* parent = nullptr);

    /// The runs to plot, all configurations together (they stay the caller's and must outlive the next call).
    void setRuns(std::vector<const kelvora::SweepResult*> runs);

    QComboBox* parameter() const { return m_parameter; }
    QChartView* view() const;
    /// The chart shown, or nullptr when the runs do not vary the parameter.
    QChart* chart() const;

private:
    void update();

    QComboBox* m_parameter;
    QChartView* m_view;
    QLabel* m_note;
    std::vector<const kelvora::SweepResult*> m_runs;
};

}  // namespace kelvora::ui
