#include "experiment/experimentplots.h"

#include <algorithm>
#include <cmath>

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QBuffer>
#include <QChartView>
#include <QFileInfo>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>

#include "common/wholefile.h"

namespace kelvora::ui {

namespace {

// A distance of 0 has no place on a log axis: drawn at this many px.
constexpr double kLogFloor = 1e-3;

double Floored(double distance) { return std::max(distance, kLogFloor); }

QColor Palette(int i) {
    static const QColor colors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
                                    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};
    return colors[i % 8];
}

QChartView* NewView(QWidget* parent) {
    auto* view = new QChartView(new QChart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(260, 200);
    return view;
}

// A band between lower and upper in color, faint, without a legend entry.
QAreaSeries* Band(QChart* chart, QLineSeries* lower, QLineSeries* upper, QColor color) {
    auto* band = new QAreaSeries(upper, lower);
    upper->setParent(band);  // the area does not own its edges
    lower->setParent(band);
    QColor fill = color;
    fill.setAlpha(50);
    band->setBrush(fill);
    band->setPen(Qt::NoPen);
    chart->addSeries(band);
    chart->legend()->markers(band).first()->setVisible(false);
    return band;
}

QAbstractAxis* LogAxis(const QString& title, double low, double high) {
    auto* axis = new QLogValueAxis;
    axis->setBase(10.0);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setTitleText(title);
    axis->setRange(std::pow(10.0, std::floor(std::log10(low))), std::pow(10.0, std::ceil(std::log10(high))));
    axis->setMinorTickCount(-1);
    return axis;
}

void Attach(QChart* /*chart*/, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    series->attachAxis(x);
    series->attachAxis(y);
}

void ClearAxes(QChart* chart) {
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

}  // namespace

ExperimentPlots::ExperimentPlots(QWidget* parent) : QTabWidget(parent) {
    m_runLength = NewView(this);
    m_runLength->setObjectName(QStringLiteral("RunLengthChart"));
    m_distance = NewView(this);
    m_distance->setObjectName(QStringLiteral("DistanceChart"));
    m_convergence = NewView(this);
    m_convergence->setObjectName(QStringLiteral("ConvergenceChart"));
    addTab(m_runLength, tr("到達までの世代"));
    addTab(m_distance, tr("最終誤差"));
    addTab(m_convergence, tr("収束"));
    rebuild();
}

void ExperimentPlots::setGroups(std::vector<PlotGroup> groups, double epsilon) {
    m_groups = std::move(groups);
    m_epsilon = epsilon;
    rebuild();
}

void ExperimentPlots::setEvaluations(bool evaluations) {
    m_evaluations = evaluations;
    buildRunLength();
}

void ExperimentPlots::setLogarithmic(bool logarithmic) {
    m_logarithmic = logarithmic;
    buildRunLength();
}

void ExperimentPlots::setOptimumTarget(bool optimum) {
    m_optimum = optimum;
    buildRunLength();
}

void ExperimentPlots::rebuild() {
    buildRunLength();
    buildDistance();
    buildConvergence();
}

void ExperimentPlots::buildRunLength() {
    QChart* chart = m_runLength->chart();
    chart->removeAllSeries();
    ClearAxes(chart);
    chart->setTitle(m_optimum ? tr("最適解に到達した実行の割合 (95% 信頼帯)")
                              : std::isnan(m_epsilon) ? tr("誤差 ε 以内に到達した実行の割合 (95% 信頼帯)")
                                                      : tr("誤差 %1 px 以内に到達した実行の割合 (95% 信頼帯)").arg(m_epsilon));
    double xMax = 1.0;
    for (const PlotGroup& g : m_groups)
        xMax = std::max(xMax, static_cast<double>(g.generations) * (m_evaluations ? g.population : 1));
    QAbstractAxis* x;
    const QString xTitle = m_evaluations ? tr("評価回数") : tr("世代");
    if (m_logarithmic) {
        x = LogAxis(xTitle, 1.0, xMax);
    } else {
        auto* linear = new QValueAxis;
        linear->setRange(0.0, xMax);
        linear->setLabelFormat(QStringLiteral("%g"));
        linear->setTitleText(xTitle);
        x = linear;
    }
    auto* y = new QValueAxis;
    y->setRange(0.0, 1.0);
    y->setTitleText(tr("割合"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (int i = 0; i < static_cast<int>(m_groups.size()); ++i) {
        const PlotGroup& g = m_groups[static_cast<std::size_t>(i)];
        if (g.generations <= 0) continue;
        const auto points = kelvora::RunLengthDistribution(m_optimum ? g.firstAtOptimum : g.firstWithin, g.generations,
                                                           g.population, m_evaluations);
        auto* line = new QLineSeries;
        auto* low = new QLineSeries;
        auto* high = new QLineSeries;
        line->setName(QString::fromStdString(g.label));
        for (const kelvora::RunLengthPoint& p : points) {
            const auto px = static_cast<double>(p.x);
            line->append(px, p.within.rate);
            low->append(px, p.within.low);
            high->append(px, p.within.high);
        }
        QPen pen(Palette(i));
        pen.setWidthF(2.0);
        line->setPen(pen);
        Attach(chart, Band(chart, low, high, Palette(i)), x, y);
        chart->addSeries(line);
        Attach(chart, line, x, y);
    }
}

QList<QPointF> ExperimentPlots::runLengthPoints(int group) const {
    int n = 0;
    for (QAbstractSeries* series : m_runLength->chart()->series()) {
        auto* line = qobject_cast<QLineSeries*>(series);
        if (!line) continue;
        if (n++ == group) return line->points();
    }
    return {};
}

void ExperimentPlots::buildDistance() {
    QChart* chart = m_distance->chart();
    chart->removeAllSeries();
    ClearAxes(chart);
    chart->setTitle(tr("最終エリート解の誤差 (px, 対数軸)"));
    auto* boxes = new QBoxPlotSeries;
    boxes->setName(tr("エリート解の誤差"));
    auto* optimum = new QScatterSeries;
    optimum->setName(tr("最適解の誤差"));
    optimum->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    optimum->setMarkerSize(9.0);
    optimum->setColor(QColor(0x2c, 0xa0, 0x2c));
    QStringList categories;
    double low = 1.0;
    double high = 1.0;
    for (int i = 0; i < static_cast<int>(m_groups.size()); ++i) {
        const PlotGroup& g = m_groups[static_cast<std::size_t>(i)];
        categories << QString::fromStdString(g.label);
        if (g.eliteDistances.empty()) {
            boxes->append(new QBoxSet(categories.last()));
            continue;
        }
        const kelvora::Quartiles q = kelvora::QuartilesOf(g.eliteDistances);
        const auto [mn, mx] = std::minmax_element(g.eliteDistances.begin(), g.eliteDistances.end());
        auto* set = new QBoxSet(Floored(*mn), Floored(q.q1), Floored(q.median), Floored(q.q3), Floored(*mx), categories.last());
        set->setBrush(Palette(i).lighter(160));
        boxes->append(set);
        low = std::min(low, Floored(*mn));
        high = std::max(high, Floored(*mx));
        for (double d : g.optimumDistances) {
            optimum->append(i, Floored(d));
            low = std::min(low, Floored(d));
        }
    }
    auto* x = new QBarCategoryAxis;
    x->append(categories.isEmpty() ? QStringList{QString()} : categories);
    QAbstractAxis* y = LogAxis(tr("誤差 (px)"), low, high);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addSeries(boxes);
    Attach(chart, boxes, x, y);
    chart->addSeries(optimum);
    Attach(chart, optimum, x, y);
    chart->legend()->markers(boxes).first()->setVisible(false);
}

void ExperimentPlots::buildConvergence() {
    QChart* chart = m_convergence->chart();
    chart->removeAllSeries();
    ClearAxes(chart);
    chart->setTitle(tr("これまでの最良の誤差の中央値と四分位範囲 (px, 対数軸)"));
    int generations = 1;
    double low = 1.0;
    double high = 1.0;
    for (const PlotGroup& g : m_groups) {
        generations = std::max(generations, g.generations);
        for (const kelvora::Quartiles& q : g.convergence) {
            if (q.count == 0) continue;
            low = std::min(low, Floored(q.q1));
            high = std::max(high, Floored(q.q3));
        }
        for (double d : g.optimumDistances) low = std::min(low, Floored(d));
    }
    auto* x = new QValueAxis;
    x->setRange(1.0, generations);
    x->setLabelFormat(QStringLiteral("%g"));
    x->setTitleText(tr("世代"));
    QAbstractAxis* y = LogAxis(tr("誤差 (px)"), low, high);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    std::vector<double> optima;
    for (int i = 0; i < static_cast<int>(m_groups.size()); ++i) {
        const PlotGroup& g = m_groups[static_cast<std::size_t>(i)];
        for (double d : g.optimumDistances)
            if (std::find(optima.begin(), optima.end(), d) == optima.end()) optima.push_back(d);
        if (g.convergence.empty()) continue;
        auto* median = new QLineSeries;
        auto* q1 = new QLineSeries;
        auto* q3 = new QLineSeries;
        median->setName(QString::fromStdString(g.label));
        for (std::size_t k = 0; k < g.convergence.size(); ++k) {
            const kelvora::Quartiles& q = g.convergence[k];
            if (q.count == 0) continue;
            const auto gen = static_cast<double>(k + 1);
            median->append(gen, Floored(q.median));
            q1->append(gen, Floored(q.q1));
            q3->append(gen, Floored(q.q3));
        }
        QPen pen(Palette(i));
        pen.setWidthF(2.0);
        median->setPen(pen);
        Attach(chart, Band(chart, q1, q3, Palette(i)), x, y);
        chart->addSeries(median);
        Attach(chart, median, x, y);
    }
    for (std::size_t k = 0; k < optima.size(); ++k) {
        auto* line = new QLineSeries;
        line->append(1.0, Floored(optima[k]));
        line->append(generations, Floored(optima[k]));
        QPen pen(QColor(0x2c, 0xa0, 0x2c));
        pen.setStyle(Qt::DashLine);
        line->setPen(pen);
        line->setName(tr("最適解の誤差"));
        chart->addSeries(line);
        Attach(chart, line, x, y);
        if (k > 0) chart->legend()->markers(line).first()->setVisible(false);
    }
}

QString ExperimentPlots::save(QChartView* view, const QByteArray& path) {
    const QSize size = view->size();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.toLower().endsWith(".svg")) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(view->chart()->title());
        QPainter painter;
        if (!painter.begin(&generator)) return QStringLiteral("the SVG picture could not be drawn");
        view->render(&painter);
        if (!painter.end()) return QStringLiteral("the SVG picture could not be drawn");
    } else {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        view->render(&painter);
        painter.end();
        if (!image.save(&buffer, "PNG")) return QStringLiteral("the PNG picture could not be encoded");
    }
    return WriteWholeFile(path, bytes);
}

}  // namespace kelvora::ui
