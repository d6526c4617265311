#include "evolution/fitnesschart.h"

#include <algorithm>
#include <cmath>

#include <QCategoryAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QTimer>
#include <QValueAxis>

namespace kelvora::ui {

namespace {

// The earlier runs' colours in turn, translucent beside the current run's blue, green and red.
constexpr QRgb kEarlierColours[FitnessChart::kMaxEarlierRuns] = {0x8c564b, 0x9467bd, 0xff7f0e, 0x17becf,
                                                                 0xe377c2, 0xbcbd22, 0x7f7f7f, 0x1f77b4};
constexpr int kEarlierAlpha = 130;  // of 255

}  // namespace

FitnessChart::FitnessChart(QWidget* parent)
    : QChartView(parent),
      m_best(new QLineSeries),
      m_average(new QLineSeries),
      m_distance(new QLineSeries),
      m_optimumFitness(new QLineSeries),
      m_optimumDistance(new QLineSeries),
      m_markFitness(new QLineSeries),
      m_markDistance(new QLineSeries),
      m_axisX(new QCategoryAxis),
      m_axisFitness(new QValueAxis),
      m_axisDistance(new QLogValueAxis) {
    setRenderHint(QPainter::Antialiasing);
    QChart* c = chart();
    c->setMargins(QMargins(4, 4, 4, 4));
    m_best->setName(tr("最良の適応度"));
    m_best->setPen(QPen(QColor(0, 0, 255), 1.5));
    m_average->setName(tr("平均の適応度"));
    m_average->setPen(QPen(QColor(0, 140, 0), 1.5));
    m_distance->setName(tr("これまでの最良解の誤差 (px)"));
    m_distance->setPen(QPen(QColor(255, 0, 0), 1.5));
    for (QLineSeries* optimum : {m_optimumFitness, m_optimumDistance}) {
        optimum->setName(tr("最適解"));
        optimum->setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
    }
    for (QLineSeries* mark : {m_markFitness, m_markDistance}) mark->setPen(QPen(QColor(200, 120, 0), 1.0));
    m_axisX->setTitleText(tr("世代"));
    m_axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_axisFitness->setTitleText(tr("適応度"));
    m_axisFitness->setTickType(QValueAxis::TicksDynamic);
    m_axisFitness->setTickAnchor(0.0);
    m_axisFitness->setLabelFormat(QStringLiteral("%g"));
    m_axisDistance->setTitleText(tr("これまでの最良解の誤差 (px)"));
    m_axisDistance->setBase(10.0);
    m_axisDistance->setLabelFormat(QStringLiteral("%g"));
    c->addAxis(m_axisX, Qt::AlignBottom);
    c->addAxis(m_axisFitness, Qt::AlignLeft);
    c->addAxis(m_axisDistance, Qt::AlignLeft);
    for (QLineSeries* s : {m_best, m_average, m_optimumFitness, m_markFitness}) {
        c->addSeries(s);
        s->attachAxis(m_axisX);
        s->attachAxis(m_axisFitness);
    }
    for (QLineSeries* s : {m_distance, m_optimumDistance, m_markDistance}) {
        c->addSeries(s);
        s->attachAxis(m_axisX);
        s->attachAxis(m_axisDistance);
    }
    c->legend()->setAlignment(Qt::AlignTop);
    // Names too long for the legend's room are cut with "…"; the whole name is its tooltip.
    c->legend()->setShowToolTips(true);
    setShowDistance(false);
    setGenerationLimit(m_limit);
}

void FitnessChart::setGenerationLimit(int limit) {
    m_limit = std::clamp(limit, 1, kelvora::kMaxGenerations);
    refresh();
}

void FitnessChart::setMarkedGeneration(int generation) {
    m_marked = std::max(generation, 0);
    refresh();
}

void FitnessChart::setHistory(const QList<kelvora::GenerationStat>& rows) {
    m_rows.clear();
    m_eliteFitness.clear();
    appendRows(0, rows);
    refresh();
}

void FitnessChart::appendRows(int firstRow, const QList<kelvora::GenerationStat>& rows) {
    firstRow = std::clamp(firstRow, 0, static_cast<int>(m_rows.size()));
    m_rows.resize(firstRow);
    m_eliteFitness.resize(firstRow);
    for (const kelvora::GenerationStat& row : rows) {
        m_rows.append(row);
        m_eliteFitness.append(std::max(m_eliteFitness.isEmpty() ? 0.0 : m_eliteFitness.last(), row.best));
    }
    // Live rows come up to 30 times a second; the series follow them at most every
    // kLiveRefreshInterval ms, which spares the run's processor time.
    if (!m_refreshPending) {
        m_refreshPending = true;
        QTimer::singleShot(kLiveRefreshInterval, this, [this] {
            if (m_refreshPending) refresh();
        });
    }
}

void FitnessChart::setOptimumFitness(std::optional<double> fitness) {
    m_optimum = fitness;
    refresh();
}

void FitnessChart::setShowDistance(bool show) {
    m_showDistance = show;
    updateVisibility();
    refresh();
}

void FitnessChart::updateVisibility() {
    const bool show = m_showDistance;
    m_best->setVisible(!show);
    m_average->setVisible(!show);
    m_optimumFitness->setVisible(!show);
    m_markFitness->setVisible(!show);
    m_axisFitness->setVisible(!show);
    m_distance->setVisible(show);
    m_optimumDistance->setVisible(show);
    m_markDistance->setVisible(show);
    m_axisDistance->setVisible(show);
    const bool own = targetsDiffer();
    for (EarlierRun& run : m_earlier) {
        run.fitness->setVisible(!show && !run.hidden);
        run.distance->setVisible(show && !run.hidden);
        run.optimumFitness->setVisible(own && run.optimum && !show && !run.hidden);
        run.optimumDistance->setVisible(own && run.optimum && show && !run.hidden);
    }
    // The earlier runs' names fit only in a column at the right; without them the legend stays on top.
    chart()->legend()->setAlignment(m_earlier.isEmpty() ? Qt::AlignTop : Qt::AlignRight);
    limitLegend();
    // A hidden series keeps no legend entry, nor does the generation's mark; an earlier run hidden
    // by a click keeps its entry, greyed, so that a second click shows it again.
    QLegend* legend = chart()->legend();
    for (QLegendMarker* marker : legend->markers()) {
        const QAbstractSeries* series = marker->series();
        bool visible = series->isVisible() && series != m_markFitness && series != m_markDistance;
        for (const EarlierRun& run : m_earlier) {
            if (series == run.optimumFitness || series == run.optimumDistance) visible = false;
            if (series != (show ? run.distance : run.fitness)) continue;
            visible = true;
            QColor colour = run.fitness->pen().color();
            colour.setAlpha(run.hidden ? 40 : 255);
            marker->setBrush(colour);
            marker->setPen(QPen(colour));
            marker->setLabelBrush(run.hidden ? QColor(160, 160, 160) : legend->labelColor());
        }
        marker->setVisible(visible);
    }
}

void FitnessChart::addEarlierRun(const QString& name, const QList<kelvora::GenerationStat>& rows) {
    addEarlierRun(name, rows, QString(), std::nullopt);
}

void FitnessChart::addEarlierRun(const QString& name, const QList<kelvora::GenerationStat>& rows,
                                 const QString& target, std::optional<double> optimum) {
    if (rows.isEmpty()) return;
    if (m_earlier.size() >= kMaxEarlierRuns) {
        const EarlierRun& oldest = m_earlier.first();
        for (QLineSeries* series : {oldest.fitness, oldest.distance, oldest.optimumFitness, oldest.optimumDistance}) {
            chart()->removeSeries(series);
            delete series;
        }
        m_earlier.removeFirst();
    }
    EarlierRun run;
    double elite = 0.0;
    for (const kelvora::GenerationStat& row : rows) {
        run.best.append(row.best);
        run.bestTop = std::max(run.bestTop, row.best);
        elite = std::max(elite, row.best);
        run.eliteDistance.append(DistanceOf(elite));
    }
    run.distanceLow = run.eliteDistance.last();  // the best so far only improves
    run.distanceHigh = run.eliteDistance.first();
    // The colour stays with the run as older ones go.
    QColor colour = QColor::fromRgb(kEarlierColours[m_earlierAdded++ % kMaxEarlierRuns]);
    colour.setAlpha(kEarlierAlpha);
    run.name = name;
    run.target = target;
    run.optimum = optimum;
    run.fitness = new QLineSeries;
    run.distance = new QLineSeries;
    run.optimumFitness = new QLineSeries;
    run.optimumDistance = new QLineSeries;
    for (QLineSeries* series : {run.fitness, run.distance, run.optimumFitness, run.optimumDistance}) {
        const bool reference = series == run.optimumFitness || series == run.optimumDistance;
        series->setName(name);
        series->setPen(reference ? QPen(colour, 1.0, Qt::DashLine) : QPen(colour, 1.0));
        chart()->addSeries(series);
        series->attachAxis(m_axisX);
        const bool fitnessAxis = series == run.fitness || series == run.optimumFitness;
        series->attachAxis(fitnessAxis ? static_cast<QAbstractAxis*>(m_axisFitness) : m_axisDistance);
        if (reference) continue;
        for (QLegendMarker* marker : chart()->legend()->markers(series))
            connect(marker, &QLegendMarker::clicked, this, [this, series] { toggleEarlier(series); });
    }
    m_earlier.append(run);
    m_earlierBuckets = -1;
    relabel();
    updateVisibility();
    refresh();
}

void FitnessChart::clearEarlierRuns() {
    for (const EarlierRun& run : m_earlier) {
        for (QLineSeries* series : {run.fitness, run.distance, run.optimumFitness, run.optimumDistance}) {
            chart()->removeSeries(series);
            delete series;
        }
    }
    m_earlier.clear();
    relabel();
    updateVisibility();
    refresh();
}

void FitnessChart::limitLegend() {
    // A column of names at the right takes at most 45% of the width; on top it has the whole width.
    QLegend* legend = chart()->legend();
    legend->setMaximumWidth(legend->alignment() == Qt::AlignRight ? std::max(120.0, width() * 0.45) : QWIDGETSIZE_MAX);
}

void FitnessChart::setCurrentRun(const QString& name, const QString& target) {
    m_currentName = name;
    m_currentTarget = target;
    relabel();
    updateVisibility();
    refresh();
}

bool FitnessChart::targetsDiffer() const {
    for (const EarlierRun& run : m_earlier)
        if (!run.target.isEmpty() && !m_currentTarget.isEmpty() && run.target != m_currentTarget) return true;
    for (const EarlierRun& run : m_earlier)
        for (const EarlierRun& other : m_earlier)
            if (!run.target.isEmpty() && !other.target.isEmpty() && run.target != other.target) return true;
    return false;
}

QString FitnessChart::currentLegendName() const { return (m_showDistance ? m_distance : m_best)->name(); }

QLineSeries* FitnessChart::earlierOptimumSeries(int index) const {
    if (index < 0 || index >= m_earlier.size()) return nullptr;
    return m_showDistance ? m_earlier[index].optimumDistance : m_earlier[index].optimumFitness;
}

void FitnessChart::relabel() {
    // Runs for different targets say theirs; the current run is named too once others are beside it.
    const bool differ = targetsDiffer();
    const auto named = [differ](const QString& name, const QString& target) {
        return differ && !target.isEmpty() ? tr("%1、目標 %2").arg(name, target) : name;
    };
    for (const EarlierRun& run : m_earlier)
        for (QLineSeries* series : {run.fitness, run.distance, run.optimumFitness, run.optimumDistance})
            series->setName(named(run.name, run.target));
    const bool current = !m_earlier.isEmpty() && !m_currentName.isEmpty();
    const QString name = named(m_currentName, m_currentTarget);
    m_best->setName(current ? tr("最良の適応度: %1").arg(name) : tr("最良の適応度"));
    m_distance->setName(current ? tr("これまでの最良解の誤差 (px): %1").arg(name) : tr("これまでの最良解の誤差 (px)"));
}

QLineSeries* FitnessChart::earlierSeries(int index) const {
    if (index < 0 || index >= m_earlier.size()) return nullptr;
    return m_showDistance ? m_earlier[index].distance : m_earlier[index].fitness;
}

QLegendMarker* FitnessChart::earlierMarker(int index) const {
    QLineSeries* series = earlierSeries(index);
    return series ? chart()->legend()->markers(series).value(0) : nullptr;
}

void FitnessChart::toggleEarlier(QLineSeries* series) {
    for (EarlierRun& run : m_earlier)
        if (run.fitness == series || run.distance == series) run.hidden = !run.hidden;
    updateVisibility();
    refresh();  // the axes span the runs shown
}

void FitnessChart::refreshEarlier(int buckets) {
    if (buckets == m_earlierBuckets && m_showDistance == m_earlierDistance) return;
    m_earlierBuckets = buckets;
    m_earlierDistance = m_showDistance;
    for (const EarlierRun& run : m_earlier) {
        const QList<double>& values = m_showDistance ? run.eliteDistance : run.best;
        QList<QPointF> points;
        points.reserve(values.size());
        for (int g = 0; g < values.size(); ++g) points.append(QPointF(g + 1, values[g]));
        (m_showDistance ? run.distance : run.fitness)->replace(DownsampleExtremes(points, buckets));
        (m_showDistance ? run.fitness : run.distance)->clear();
    }
}

int FitnessChart::bucketCount() const {
    const int width = static_cast<int>(chart()->plotArea().width());
    return width > 0 ? width : 600;
}

double FitnessChart::DistanceOf(double fitness) {
    if (!(fitness > 0.0)) return 1e6;
    return std::max(1.0 / fitness - 1.0, kMinShownDistance);
}

double FitnessChart::NiceStep(double span, int parts, bool whole) {
    const double raw = span / std::max(parts, 1);
    double step = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * step >= raw * (1.0 - 1e-9)) {
            step *= m;
            break;
        }
    }
    return whole ? std::max(1.0, std::round(step)) : step;
}

void FitnessChart::labelGenerations(double lastX) {
    // Labels at 1 and at whole multiples of a round step, about one per 70 px.
    const QStringList old = m_axisX->categoriesLabels();
    for (const QString& label : old) m_axisX->remove(label);
    const int parts = std::max(2, static_cast<int>(chart()->plotArea().width() / 70.0));
    const double step = NiceStep(lastX - 1.0, parts, true);
    m_axisX->setStartValue(1.0);
    m_axisX->append(QStringLiteral("1"), 1.0);
    for (double x = step; x <= lastX + 0.5; x += step)
        if (x > 1.0 + step / 2.0) m_axisX->append(QString::number(x, 'f', 0), x);
}

QList<QPointF> FitnessChart::DownsampleExtremes(const QList<QPointF>& points, int buckets) {
    const qsizetype n = points.size();
    if (buckets < 1 || n <= 2 * static_cast<qsizetype>(buckets)) return points;
    QList<QPointF> out;
    out.reserve(2 * buckets + 2);
    qsizetype taken = -1;  // index of the last point taken: indices only grow
    const auto take = [&](qsizetype i) {
        if (i > taken) {
            out.append(points[i]);
            taken = i;
        }
    };
    take(0);
    for (qsizetype b = 0; b < buckets; ++b) {
        const qsizetype lo = n * b / buckets;
        const qsizetype hi = n * (b + 1) / buckets;
        qsizetype low = lo, high = lo;
        for (qsizetype i = lo + 1; i < hi; ++i) {
            if (points[i].y() < points[low].y()) low = i;
            if (points[i].y() > points[high].y()) high = i;
        }
        take(std::min(low, high));
        take(std::max(low, high));
    }
    take(n - 1);
    return out;
}

void FitnessChart::refresh() {
    m_refreshPending = false;
    const int n = static_cast<int>(m_rows.size());
    const int buckets = bucketCount();
    // The axes span the current run and the earlier runs shown beside it.
    double lastX = std::max({m_limit, n, 2});
    for (const EarlierRun& run : m_earlier)
        if (!run.hidden) lastX = std::max(lastX, static_cast<double>(run.best.size()));
    m_axisX->setRange(1, lastX);
    labelGenerations(lastX);
    refreshEarlier(buckets);

    if (!m_showDistance) {
        QList<QPointF> best, average;
        best.reserve(n);
        average.reserve(n);
        double top = m_optimum.value_or(0.0);
        for (int g = 0; g < n; ++g) {
            best.append(QPointF(g + 1, m_rows[g].best));
            average.append(QPointF(g + 1, m_rows[g].average));
            top = std::max(top, m_rows[g].best);
        }
        for (const EarlierRun& run : m_earlier)
            if (!run.hidden) top = std::max(top, run.bestTop);
        m_best->replace(DownsampleExtremes(best, buckets));
        m_average->replace(DownsampleExtremes(average, buckets));
        m_optimumFitness->replace(m_optimum ? QList<QPointF>{{1, *m_optimum}, {lastX, *m_optimum}} : QList<QPointF>{});
        for (const EarlierRun& run : m_earlier) {
            run.optimumFitness->replace(run.optimum && run.optimumFitness->isVisible()
                                            ? QList<QPointF>{{1, *run.optimum}, {lastX, *run.optimum}}
                                            : QList<QPointF>{});
            run.optimumDistance->clear();
        }
        const double axisTop = top > 0.0 ? std::min(1.0, top * 1.05) : 1.0;
        m_axisFitness->setRange(0.0, axisTop);
        m_axisFitness->setTickInterval(NiceStep(axisTop, 5, false));
        m_markFitness->replace(m_marked > 0 ? QList<QPointF>{{double(m_marked), 0.0}, {double(m_marked), axisTop}}
                                            : QList<QPointF>{});
        m_markDistance->clear();
        m_distance->clear();
        m_optimumDistance->clear();
    } else {
        QList<QPointF> distance;
        distance.reserve(n);
        double low = m_optimum ? DistanceOf(*m_optimum) : 1.0, high = low;
        for (int g = 0; g < n; ++g) {
            const double d = DistanceOf(m_eliteFitness[g]);
            distance.append(QPointF(g + 1, d));
            low = std::min(low, d);
            high = std::max(high, d);
        }
        for (const EarlierRun& run : m_earlier) {
            const double own = run.optimum ? DistanceOf(*run.optimum) : 0.0;
            run.optimumDistance->replace(run.optimum && run.optimumDistance->isVisible()
                                             ? QList<QPointF>{{1, own}, {lastX, own}}
                                             : QList<QPointF>{});
            run.optimumFitness->clear();
            if (run.hidden) continue;
            if (run.optimum && run.optimumDistance->isVisible()) low = std::min(low, own);
            low = std::min(low, run.distanceLow);
            high = std::max(high, run.distanceHigh);
        }
        m_distance->replace(DownsampleExtremes(distance, buckets));
        m_optimumDistance->replace(m_optimum ? QList<QPointF>{{1, DistanceOf(*m_optimum)}, {lastX, DistanceOf(*m_optimum)}}
                                             : QList<QPointF>{});
        // Whole decades, each labelled, with room around the optimum's line and the curve.
        const double axisLow = std::pow(10.0, std::floor(std::log10(low / 1.5)));
        const double axisHigh = std::pow(10.0, std::ceil(std::log10(high * 1.5)));
        m_axisDistance->setRange(axisLow, axisHigh);
        m_markDistance->replace(m_marked > 0 ? QList<QPointF>{{double(m_marked), axisLow}, {double(m_marked), axisHigh}}
                                             : QList<QPointF>{});
        m_markFitness->clear();
        m_best->clear();
        m_average->clear();
        m_optimumFitness->clear();
    }
}

void FitnessChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    // The legend never takes more than 45% of the width: a long name is cut (its tooltip whole),
    // the window is not widened for it.
    limitLegend();
    refresh();  // the buckets follow the plot's width
}

}  // namespace kelvora::ui
