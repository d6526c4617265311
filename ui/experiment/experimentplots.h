#pragma once
// The experiment window's three charts, one per tab: the run-length distribution of each
// configuration with its Wilson 95% band, the final elite distances as box plots, and the median
// best-so-far distance by generation with its interquartile band. Also drawn without a window by
// `kelvora --plot`.

#include <functional>
#include <vector>

#include <QColor>
#include <QFont>
#include <QPen>
#include <QTabWidget>

#include "experiment/experimentdata.h"

class QChartView;
class QPainter;

class QGraphicsTextItem;

namespace kelvora::ui {

/// Configuration i's colour (i from 0) in every chart of the experiment window and of
/// `kelvora --plot`: a qualitative palette that colour-blind readers tell apart, repeating after 8.
QColor ConfigurationColor(int i);

/// Configuration i's line style beside its colour: solid for the first 8, dashed for the next 8,
/// dash-dotted after, so that configurations sharing a colour differ in style.
Qt::PenStyle ConfigurationStyle(int i);

/// Configuration i's pen: its colour and style, width in px.
QPen ConfigurationPen(int i, qreal width);

/// The pen of a reference line (the optimum's distance, epsilon): neutral grey, dashed in style.
QPen ReferencePen(Qt::PenStyle style);

/// The distance between labelled ticks of an axis over span (> 0) with at most about most ticks
/// (>= 1): the smallest of 1, 2 and 5 times a power of ten that is span / most or more, and at least
/// smallest (1 for the axes that count generations and evaluations, whole numbers; 0 for rates).
double TickInterval(double span, int most, double smallest = 1.0);

/// A median over some of a configuration's runs, with how many: "17 (12/100 回)" (English
/// "17 (12 of 100 runs)"), "—" when count is 0.
QString MedianOverRuns(double median, long long count, long long runs);

/// Writes a picture of size (pixels) painted by paint, with caption (when not empty) wrapped under
/// it on lines of its own in font at 90%: SVG when path ends in ".svg" (any case, title and caption
/// also as the SVG's title and description), else PNG, whole (WriteWholeFile: the old file stays on
/// failure); path as the file system spells it. Returns "" or the reason.
QString SaveCaptionedPicture(const QByteArray& path, QSize size, const std::function<void(QPainter&)>& paint,
                             const QString& caption, QFont font, const QString& title = {});

class ExperimentPlots : public QTabWidget {
    Q_OBJECT

public:
    explicit ExperimentPlots(QWidget* parent = nullptr);

    /// The configurations to draw, and epsilon (px; NaN: not known) for the run-length chart's title.
    void setGroups(std::vector<PlotGroup> groups, double epsilon);
    /// New names for the configurations drawn (one per group, in order; extra ones are ignored).
    void setLabels(const std::vector<std::string>& labels);
    /// The run-length chart's x axis: evaluations (generations x population) or generations.
    void setEvaluations(bool evaluations);
    /// The run-length chart's x axis logarithmic or linear.
    void setLogarithmic(bool logarithmic);
    /// The run-length chart counts runs that reached the optimum instead of epsilon.
    void setOptimumTarget(bool optimum);

    /// The run-length chart, which `kelvora --plot` saves.
    QChartView* runLengthView() const { return m_runLength; }

    /// Writes view as an SVG picture when path ends in ".svg" (any case), else as a PNG, whole
    /// (WriteWholeFile: the old file stays on failure); path as the file system spells it.
    /// caption, when given, is written under the chart on lines of its own. Returns "" or the reason.
    static QString save(QChartView* view, const QByteArray& path, const QString& caption = {});

private:
    // Read by the tests through ExperimentPlotsTestAccess (defined in tests/ui/experimenttestsupport.h).
    friend struct ExperimentPlotsTestAccess;

    void rebuild();
    void buildRunLength();
    void buildDistance();
    void buildConvergence();

    QChartView* m_runLength;
    QChartView* m_distance;
    QChartView* m_convergence;
    QGraphicsTextItem* m_convergenceNote;  // over the plot area, wrapped to its width
    std::vector<PlotGroup> m_groups;
    double m_epsilon = 0.5;
    bool m_evaluations = false;
    bool m_logarithmic = false;
    bool m_optimum = false;
};

}  // namespace kelvora::ui
