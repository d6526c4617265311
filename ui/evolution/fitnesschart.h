#pragma once
// The chart of a run's history: best and average fitness of every generation, or the elite's
// distance to the target on a logarithmic axis, with the optimum as a dashed reference line and a
// vertical line at the generation the scrubber shows; fainter, the curves of up to
// kMaxEarlierRuns earlier runs to compare with, each named in the legend, where a click on its
// marker hides or shows it.

#include <optional>

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QString>

#include "model/types.h"

class QCategoryAxis;
class QLegendMarker;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;

namespace kelvora::ui {

class FitnessChart : public QChartView {
    Q_OBJECT

public:
    /// Least time between two redraws of the series from live rows, in ms.
    static constexpr int kLiveRefreshInterval = 100;
    /// Smallest distance the logarithmic axis shows, px: a tip exactly on the target sits there.
    static constexpr double kMinShownDistance = 1e-3;
    /// Most earlier runs kept for comparison; a further one pushes out the oldest.
    static constexpr int kMaxEarlierRuns = 8;

    explicit FitnessChart(QWidget* parent = nullptr);

    /// The x axis spans generations 1..limit (1..kMaxGenerations), or further while more rows came.
    void setGenerationLimit(int limit);
    /// A vertical line at generation (1..), or none for 0.
    void setMarkedGeneration(int generation);
    /// Rebuilds the chart from a complete history: rows[g] is generation g + 1.
    void setHistory(const QList<kelvora::GenerationStat>& rows);
    /// Live feeding: rows for history indices firstRow.. (earlier rows are kept, later dropped);
    /// the series follow within kLiveRefreshInterval ms.
    void appendRows(int firstRow, const QList<kelvora::GenerationStat>& rows);
    /// The optimum's fitness, in (0, 1], as the dashed line; nullopt removes the line.
    void setOptimumFitness(std::optional<double> fitness);
    /// Shows the elite's distance in px on a logarithmic axis instead of fitness.
    void setShowDistance(bool show);

    /// Adds a finished run's history (rows[g] is generation g + 1; none: nothing is added) as an
    /// earlier run named name in the legend, shown; the oldest goes past kMaxEarlierRuns.
    void addEarlierRun(const QString& name, const QList<kelvora::GenerationStat>& rows);
    /// The same, with the run's target ("(120, -40)") and the fitness of its optimum: where the
    /// targets of the runs shown differ, each name says its target and each run has its own
    /// dashed optimum line in its colour.
    void addEarlierRun(const QString& name, const QList<kelvora::GenerationStat>& rows, const QString& target,
                       std::optional<double> optimum);
    /// The current run's name and target for the legend (its best curve is named after it while
    /// earlier runs are shown); empty: "最良の適応度" alone.
    void setCurrentRun(const QString& name, const QString& target);
    /// Removes every earlier run.
    void clearEarlierRuns();

    /// The history as fed, one row per generation.
    const QList<kelvora::GenerationStat>& history() const { return m_rows; }

    /// At most about 2 * buckets points of points (ordered by x): points itself when it has no
    /// more than 2 * buckets; otherwise, for each of buckets equal runs of consecutive points, its
    /// lowest and highest point in their order, and the first and last point of all.
    static QList<QPointF> DownsampleExtremes(const QList<QPointF>& points, int buckets);

    /// Distance in px of a fitness 1 / (distance + 1), at least kMinShownDistance.
    static double DistanceOf(double fitness);
    /// The smallest of 1, 2 and 5 times a power of ten (at least 1 when whole) that splits span
    /// (> 0) into at most parts (>= 1) steps.
    static double NiceStep(double span, int parts, bool whole);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Read by the tests through FitnessChartTestAccess (defined in tests/ui/uitestsupport.h).
    friend struct FitnessChartTestAccess;

    /// Whether the runs shown have different targets.
    bool targetsDiffer() const;
    /// Buckets the series are downsampled to: the plot area's width in pixels.
    int bucketCount() const;
    /// The series of earlier run index (0: the oldest kept) the chart shows now: its best fitness,
    /// or its best distance so far on the logarithmic axis. Its name is the run's.
    QLineSeries* earlierSeries(int index) const;
    /// The legend's text of the current run's best curve (fitness or distance, as shown).
    QString currentLegendName() const;
    /// The dashed optimum line of earlier run index (empty when the targets agree).
    QLineSeries* earlierOptimumSeries(int index) const;
    /// The legend marker of earlier run index in the chart's present mode.
    QLegendMarker* earlierMarker(int index) const;

    /// A finished run's curves: downsampled anew when the buckets or the mode change.
    struct EarlierRun {
        QList<double> best;            ///< best fitness of generation g + 1
        QList<double> eliteDistance;   ///< best-so-far distance after generation g + 1, px
        double bestTop = 0.0;          ///< highest best fitness
        double distanceLow = 0.0;      ///< px, the lowest and highest best-so-far distance
        double distanceHigh = 0.0;
        QString name;                  ///< as given, without the target
        QString target;                ///< "(x, y)", or empty when not known
        std::optional<double> optimum; ///< its optimum's fitness
        bool hidden = false;
        QLineSeries* fitness = nullptr;
        QLineSeries* distance = nullptr;
        QLineSeries* optimumFitness = nullptr;   ///< dashed, out of the legend
        QLineSeries* optimumDistance = nullptr;
    };

    void relabel();
    void limitLegend();

    void refresh();
    void refreshEarlier(int buckets);
    void updateVisibility();
    void toggleEarlier(QLineSeries* series);
    void labelGenerations(double lastX);

    QList<kelvora::GenerationStat> m_rows;
    QList<double> m_eliteFitness;  ///< running highest best, row by row
    std::optional<double> m_optimum;
    int m_limit = 100;
    int m_marked = 0;
    bool m_showDistance = false;
    bool m_refreshPending = false;
    QLineSeries* m_best;
    QLineSeries* m_average;
    QLineSeries* m_distance;
    QLineSeries* m_optimumFitness;
    QLineSeries* m_optimumDistance;
    QLineSeries* m_markFitness;
    QLineSeries* m_markDistance;
    QCategoryAxis* m_axisX;
    QValueAxis* m_axisFitness;
    QLogValueAxis* m_axisDistance;
    QList<EarlierRun> m_earlier;
    QString m_currentName;
    QString m_currentTarget;
    int m_earlierBuckets = -1;  ///< buckets and mode the earlier series were last filled for
    bool m_earlierDistance = false;
    int m_earlierAdded = 0;     ///< earlier runs added so far, for their colours
};

}  // namespace kelvora::ui
