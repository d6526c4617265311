#include "evolution/diversitychart.h"

#include <algorithm>
#include <cmath>

#include <QLegend>
#include <QLineSeries>
#include <QPen>
#include <QTimer>
#include <QValueAxis>

#include "evolution/fitnesschart.h"

namespace kelvora::ui {

DiversityChart::DiversityChart(QWidget* parent) : QChartView(parent), m_axisX(new QValueAxis), m_axisY(new QValueAxis) {
    setRenderHint(QPainter::Antialiasing);
    QChart* c = chart();
    c->setMargins(QMargins(4, 4, 4, 4));
    c->legend()->setAlignment(Qt::AlignTop);
    c->legend()->setShowToolTips(true);
    const QString names[4] = {tr("異なる遺伝子型 / N"), tr("ハミング距離 / 24"), tr("ビットのエントロピー"),
                              tr("最良と同じ個体の割合")};
    const QRgb colours[4] = {0x0072b2, 0xd55e00, 0x009e73, 0xcc79a7};
    m_axisX->setTitleText(tr("世代"));
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisY->setTitleText(tr("0〜1 に正規化"));
    m_axisY->setRange(0.0, 1.0);
    m_axisY->setTickCount(6);
    m_axisY->setLabelFormat(QStringLiteral("%.1f"));
    c->addAxis(m_axisX, Qt::AlignBottom);
    c->addAxis(m_axisY, Qt::AlignLeft);
    for (int k = 0; k < 4; ++k) {
        m_series[k] = new QLineSeries;
        m_series[k]->setName(names[k]);
        m_series[k]->setPen(QPen(QColor::fromRgb(colours[k]), 1.5));
        c->addSeries(m_series[k]);
        m_series[k]->attachAxis(m_axisX);
        m_series[k]->attachAxis(m_axisY);
    }
    clear(1);
}

DiversityPoint DiversityChart::Normalised(int generation, const kelvora::Diversity& d, int population) {
    const int n = std::max(population, 1);
    return {generation, static_cast<double>(d.distinct) / n, d.hamming / 24.0, d.entropy, d.bestShare};
}

QString DiversityChart::Reading(const DiversityPoint& p) {
    const int shared = static_cast<int>(std::lround((1.0 - p.hamming) * 100.0));
    if (p.hamming < 0.1)
        return tr("第 %1 世代: 集団は多様性を失っています。どの個体もビットの %2% を共有しています。")
            .arg(p.generation)
            .arg(shared);
    if (p.bestShare >= 0.5)
        return tr("第 %1 世代: 集団の %2% が最良の個体と同じ遺伝子型です。収束が進んでいます。")
            .arg(p.generation)
            .arg(std::lround(p.bestShare * 100.0));
    return tr("第 %1 世代: 集団はまだ多様です。2 個体のビットは平均 %2% 異なります。")
        .arg(p.generation)
        .arg(std::lround(p.hamming * 100.0));
}

QString DiversityChart::reading(int generation) const {
    for (auto p = m_points.crbegin(); p != m_points.crend(); ++p)
        if (generation <= 0 || p->generation <= generation) return Reading(*p);
    return tr("多様性: まだ測っていません");
}

void DiversityChart::clear(int limit) {
    m_limit = std::max(limit, 1);
    m_points.clear();
    refresh();
}

void DiversityChart::append(int firstRow, const QList<kelvora::Diversity>& rows, int population) {
    while (!m_points.isEmpty() && m_points.last().generation > firstRow) m_points.removeLast();
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].distinct > 0) m_points.append(Normalised(firstRow + i + 1, rows[i], population));
    emit changed();
    // Live generations come up to 30 times a second: the series follow as the fitness chart's do.
    if (!m_refreshPending) {
        m_refreshPending = true;
        QTimer::singleShot(FitnessChart::kLiveRefreshInterval, this, [this] {
            if (m_refreshPending) refresh();
        });
    }
}

void DiversityChart::setPoints(const QList<DiversityPoint>& points) {
    m_points = points;
    refresh();
}

void DiversityChart::refresh() {
    m_refreshPending = false;
    const int buckets = std::max(static_cast<int>(chart()->plotArea().width()), 100);
    double lastX = std::max(m_limit, 2);
    if (!m_points.isEmpty()) lastX = std::max(lastX, static_cast<double>(m_points.last().generation));
    m_axisX->setRange(1.0, lastX);
    QList<QPointF> values[4];
    for (const DiversityPoint& p : m_points) {
        values[0].append(QPointF(p.generation, p.distinct));
        values[1].append(QPointF(p.generation, p.hamming));
        values[2].append(QPointF(p.generation, p.entropy));
        values[3].append(QPointF(p.generation, p.bestShare));
    }
    for (int k = 0; k < 4; ++k) m_series[k]->replace(FitnessChart::DownsampleExtremes(values[k], buckets));
    emit changed();
}

}  // namespace kelvora::ui
