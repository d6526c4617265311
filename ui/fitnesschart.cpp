#include "fitnesschart.h"

#include <algorithm>

#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QTimer>
#include <QValueAxis>

namespace kelvora::ui {

FitnessChart::FitnessChart(QWidget* parent)
    : QChartView(parent),
      m_best(new QLineSeries),
      m_average(new QLineSeries),
      m_distance(new QLineSeries),
      m_optimumFitness(new QLineSeries),
      m_optimumDistance(new QLineSeries),
      m_axisX(new QValueAxis),
      m_axisFitness(new QValueAxis),
      m_axisDistance(new QLogValueAxis) {
    setRenderHint(QPainter::Antialiasing);
    QChart* c = chart();
    c->setMargins(QMargins(4, 4, 4, 4));
    m_best->setName(tr("最良の適応度"));
    m_best->setPen(QPen(QColor(0, 0, 255), 1.5));
    m_average->setName(tr("平均の適応度"));
    m_average->setPen(QPen(QColor(0, 140, 0), 1.5));
    m_distance->setName(tr("エリート解の誤差 (px)"));
    m_distance->setPen(QPen(QColor(255, 0, 0), 1.5));
    for (QLineSeries* optimum : {m_optimumFitness, m_optimumDistance}) {
        optimum->setName(tr("最適解"));
        optimum->setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
    }
    m_axisX->setTitleText(tr("世代"));
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisFitness->setTitleText(tr("適応度"));
    m_axisDistance->setTitleText(tr("エリート解の誤差 (px)"));
    m_axisDistance->setBase(10.0);
    m_axisDistance->setLabelFormat(QStringLiteral("%g"));
    c->addAxis(m_axisX, Qt::AlignBottom);
    c->addAxis(m_axisFitness, Qt::AlignLeft);
    c->addAxis(m_axisDistance, Qt::AlignLeft);
    for (QLineSeries* s : {m_best, m_average, m_optimumFitness}) {
        c->addSeries(s);
        s->attachAxis(m_axisX);
        s->attachAxis(m_axisFitness);
    }
    for (QLineSeries* s : {m_distance, m_optimumDistance}) {
        c->addSeries(s);
        s->attachAxis(m_axisX);
        s->attachAxis(m_axisDistance);
    }
    c->legend()->setAlignment(Qt::AlignTop);
    setShowDistance(false);
    setGenerationLimit(m_limit);
}

void FitnessChart::setGenerationLimit(int limit) {
    m_limit = std::clamp(limit, 1, kelvora::kMaxGenerations);
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
    m_best->setVisible(!show);
    m_average->setVisible(!show);
    m_optimumFitness->setVisible(!show);
    m_axisFitness->setVisible(!show);
    m_distance->setVisible(show);
    m_optimumDistance->setVisible(show);
    m_axisDistance->setVisible(show);
    // A hidden series keeps no legend entry.
    for (QLegendMarker* marker : chart()->legend()->markers()) marker->setVisible(marker->series()->isVisible());
    refresh();
}

int FitnessChart::bucketCount() const {
    const int width = static_cast<int>(chart()->plotArea().width());
    return width > 0 ? width : 600;
}

double FitnessChart::DistanceOf(double fitness) {
    if (!(fitness > 0.0)) return 1e6;
    return std::max(1.0 / fitness - 1.0, kMinShownDistance);
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
    const double lastX = std::max({m_limit, n, 2});
    m_axisX->setRange(1, lastX);

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
        m_best->replace(DownsampleExtremes(best, buckets));
        m_average->replace(DownsampleExtremes(average, buckets));
        m_optimumFitness->replace(m_optimum ? QList<QPointF>{{1, *m_optimum}, {lastX, *m_optimum}} : QList<QPointF>{});
        m_axisFitness->setRange(0.0, top > 0.0 ? std::min(1.0, top * 1.05) : 1.0);
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
        m_distance->replace(DownsampleExtremes(distance, buckets));
        m_optimumDistance->replace(m_optimum ? QList<QPointF>{{1, DistanceOf(*m_optimum)}, {lastX, DistanceOf(*m_optimum)}}
                                             : QList<QPointF>{});
        m_axisDistance->setRange(low / 2.0, high * 2.0);
        m_best->clear();
        m_average->clear();
        m_optimumFitness->clear();
    }
}

void FitnessChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    refresh();  // the buckets follow the plot's width
}

}  // namespace kelvora::ui
