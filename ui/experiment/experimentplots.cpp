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
#include <QTabBar>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsTextItem>
#include <QImage>
#include <QTextDocument>
#include <QTextOption>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>

#include "common/wholefile.h"
#include "session/numbers.h"

namespace kelvora::ui {

namespace {

// A distance of 0 has no place on a log axis: drawn at this many px.
constexpr double kLogFloor = 1e-3;

double Floored(double distance) { return std::max(distance, kLogFloor); }

QChartView* NewView(QWidget* parent) {
    auto* view = new QChartView(new QChart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(260, 200);
    // The legend in a column of its own at the right: every label whole beside the plot (one too
    // long for it is shown whole in a tooltip).
    view->chart()->legend()->setAlignment(Qt::AlignRight);
    view->chart()->legend()->setShowToolTips(true);
    view->chart()->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);  // a dashed reference as a dashed line
    return view;
}

// A band between lower and upper: a light translucent fill of color with a thin border of it, so
// that where bands overlap each still shows its edges. No legend entry: its curve names it.
QAreaSeries* Band(QChart* chart, QLineSeries* lower, QLineSeries* upper, QColor color) {
    auto* band = new QAreaSeries(upper, lower);
    upper->setParent(band);  // the area does not own its edges
    lower->setParent(band);
    QColor fill = color;
    fill.setAlpha(40);
    band->setBrush(fill);
    QColor edge = color;
    edge.setAlpha(150);
    band->setPen(QPen(edge, 1.0));
    chart->addSeries(band);
    chart->legend()->markers(band).first()->setVisible(false);
    return band;
}

// A logarithmic axis from low, the least value a run can have there, to high: its ticks at the
// powers of ten between them, none below low.
QLogValueAxis* LogAxis(const QString& title, double low, double high, const char* format = "%g") {
    auto* axis = new QLogValueAxis;
    axis->setBase(10.0);
    axis->setLabelFormat(QLatin1String(format));
    axis->setTitleText(title);
    axis->setRange(low, std::max(high, low * 10.0));
    axis->setMinorTickCount(-1);
    return axis;
}

// A distance axis: whole decades around the distances shown.
QLogValueAxis* DistanceAxis(const QString& title, double low, double high) {
    return LogAxis(title, std::pow(10.0, std::floor(std::log10(low))), std::pow(10.0, std::ceil(std::log10(high))));
}

// A linear axis of whole numbers from low to high, labelled at 1-2-5 steps counted from 0: at most
// five intervals, or three where labels run to four digits or more (evaluations), so that each
// label shows whole in a chart as narrow as a tile beside the table.
QValueAxis* WholeAxis(const QString& title, double low, double high) {
    auto* axis = new QValueAxis;
    axis->setRange(low, high);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(TickInterval(high - low, high >= 1000.0 ? 3 : 5));
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setTitleText(title);
    return axis;
}

void Attach(QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    series->attachAxis(x);
    series->attachAxis(y);
}

// A horizontal reference line at y from x0 to x1, named in the legend when name is not empty.
void AddReference(QChart* chart, const QString& name, double x0, double x1, double y, Qt::PenStyle style,
                  QAbstractAxis* x, QAbstractAxis* yAxis) {
    auto* line = new QLineSeries;
    line->append(x0, y);
    line->append(x1, y);
    line->setPen(ReferencePen(style));
    line->setName(name);
    chart->addSeries(line);
    Attach(line, x, yAxis);
    if (name.isEmpty()) chart->legend()->markers(line).first()->setVisible(false);
}

void ClearAxes(QChart* chart) {
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

}  // namespace

QColor ConfigurationColor(int i) {
    // Okabe and Ito's eight, ordered so that neighbours differ in hue and lightness: blue, orange,
    // bluish green, reddish purple, sky blue, vermilion, black, yellow.
    static const QColor colors[] = {QColor(0x00, 0x72, 0xB2), QColor(0xE6, 0x9F, 0x00), QColor(0x00, 0x9E, 0x73),
                                    QColor(0xCC, 0x79, 0xA7), QColor(0x56, 0xB4, 0xE9), QColor(0xD5, 0x5E, 0x00),
                                    QColor(0x00, 0x00, 0x00), QColor(0xF0, 0xE4, 0x42)};
    return colors[((i % 8) + 8) % 8];
}

Qt::PenStyle ConfigurationStyle(int i) {
    const int round = std::max(0, i) / 8;
    return round == 0 ? Qt::SolidLine : round == 1 ? Qt::DashLine : Qt::DashDotLine;
}

QPen ConfigurationPen(int i, qreal width) { return QPen(ConfigurationColor(i), width, ConfigurationStyle(i)); }

QPen ReferencePen(Qt::PenStyle style) {
    QPen pen(QColor(0x80, 0x80, 0x80), 1.5);
    pen.setStyle(style);
    return pen;
}

double TickInterval(double span, int most, double smallest) {
    const double least = span / std::max(most, 1);
    if (!(least > smallest) || !std::isfinite(least)) return smallest > 0.0 ? smallest : 1.0;
    // A step a rounding below least (0.05 / 5 is 0.010000000000000002) is taken as least.
    for (double power = std::pow(10.0, std::floor(std::log10(least)));; power *= 10.0)
        for (const double step : {1.0, 2.0, 5.0})
            if (step * power >= least * (1.0 - 1e-9)) return step * power;
}

QString MedianOverRuns(double median, long long count, long long runs) {
    if (count == 0) return QStringLiteral("—");
    return ExperimentPlots::tr("%1 (%2/%3 回)")
        .arg(QString::fromStdString(kelvora::session::NumberText(median)))
        .arg(count)
        .arg(runs);
}

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
    // Runs read from a sweep file carry their outcome only, never their curve: the chart says so.
    m_convergenceNote = new QGraphicsTextItem(m_convergence->chart());
    m_convergenceNote->setZValue(10);
    connect(m_convergence->chart(), &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        m_convergenceNote->setTextWidth(std::max(40.0, area.width() - 16));
        m_convergenceNote->setPos(area.left() + 8, area.top() + area.height() / 3);
    });
    // Every tab in sight, never behind scroll arrows: the charts' side keeps the bar's width.
    tabBar()->setUsesScrollButtons(false);
    rebuild();
}

void ExperimentPlots::setGroups(std::vector<PlotGroup> groups, double epsilon) {
    m_groups = std::move(groups);
    m_epsilon = epsilon;
    rebuild();
}

void ExperimentPlots::setLabels(const std::vector<std::string>& labels) {
    for (std::size_t i = 0; i < m_groups.size() && i < labels.size(); ++i) m_groups[i].label = labels[i];
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
    // Short enough to stand whole over the chart at the window's opening size; the bands are the
    // Wilson 95% intervals (the tab's tooltip and the manual say so).
    chart->setTitle(m_optimum ? tr("最適解に到達した実行の割合")
                              : std::isnan(m_epsilon) ? tr("誤差 ε 以内に到達した実行の割合")
                                                      : tr("誤差 %1 px 以内に到達した実行の割合").arg(m_epsilon));
    setTabToolTip(indexOf(m_runLength), tr("帯は 95% 信頼区間 (Wilson)"));
    double xMax = 1.0;
    double xMin = 0.0;  // the least value a run can have: generation 1, or one generation's evaluations
    for (const PlotGroup& g : m_groups) {
        if (g.generations <= 0) continue;
        xMax = std::max(xMax, static_cast<double>(g.generations) * (m_evaluations ? g.population : 1));
        const double first = m_evaluations ? g.population : 1.0;
        xMin = xMin == 0.0 ? first : std::min(xMin, first);
    }
    if (xMin == 0.0) xMin = 1.0;
    QAbstractAxis* x;
    const QString xTitle = m_evaluations ? tr("評価回数") : tr("世代");
    if (m_logarithmic) x = LogAxis(xTitle, xMin, xMax, "%.0f");
    else x = WholeAxis(xTitle, 0.0, xMax);
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
        line->setPen(ConfigurationPen(i, 2.0));
        Attach(Band(chart, low, high, ConfigurationColor(i)), x, y);
        chart->addSeries(line);
        Attach(line, x, y);
    }
}

void ExperimentPlots::buildDistance() {
    QChart* chart = m_distance->chart();
    chart->removeAllSeries();
    ClearAxes(chart);
    chart->setTitle(tr("最終エリート解の誤差 (px)"));
    auto* boxes = new QBoxPlotSeries;
    boxes->setName(tr("エリート解の誤差"));
    auto* optimum = new QScatterSeries;
    optimum->setName(tr("最適解の誤差"));
    optimum->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    optimum->setMarkerSize(9.0);
    optimum->setColor(ReferencePen(Qt::SolidLine).color());
    optimum->setBorderColor(ReferencePen(Qt::SolidLine).color());
    QStringList categories;
    double low = 1.0;
    double high = 1.0;
    for (int i = 0; i < static_cast<int>(m_groups.size()); ++i) {
        const PlotGroup& g = m_groups[static_cast<std::size_t>(i)];
        // Each part of a label on a line of its own under its box, so that the boxes' width holds it whole.
        QString category = QString::fromStdString(g.label).toHtmlEscaped().replace(QStringLiteral(", "), QStringLiteral(",<br>"));
        // The axis takes each category once: a label typed twice is told apart by its row.
        if (categories.contains(category)) category += QStringLiteral(" (%1)").arg(i + 1);
        categories << category;
        if (g.eliteDistances.empty()) {
            boxes->append(new QBoxSet(categories.last()));
            continue;
        }
        const kelvora::Quartiles q = kelvora::QuartilesOf(g.eliteDistances);
        const auto [mn, mx] = std::minmax_element(g.eliteDistances.begin(), g.eliteDistances.end());
        auto* set = new QBoxSet(Floored(*mn), Floored(q.q1), Floored(q.median), Floored(q.q3), Floored(*mx), categories.last());
        QColor fill = ConfigurationColor(i);
        fill.setAlpha(90);
        set->setBrush(fill);
        set->setPen(ConfigurationPen(i, 1.5));
        boxes->append(set);
        low = std::min(low, Floored(*mn));
        high = std::max(high, Floored(*mx));
        for (double d : g.optimumDistances) {
            optimum->append(i, Floored(d));
            low = std::min(low, Floored(d));
        }
    }
    const bool epsilon = !std::isnan(m_epsilon) && m_epsilon > 0;
    if (epsilon) {
        low = std::min(low, m_epsilon);
        high = std::max(high, m_epsilon);
    }
    auto* x = new QBarCategoryAxis;
    x->append(categories.isEmpty() ? QStringList{QString()} : categories);
    QAbstractAxis* y = DistanceAxis(tr("誤差 (px)"), low, high);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addSeries(boxes);
    Attach(boxes, x, y);
    chart->addSeries(optimum);
    Attach(optimum, x, y);
    chart->legend()->markers(boxes).first()->setVisible(false);
    if (epsilon)
        AddReference(chart, tr("ε = %1 px").arg(m_epsilon), -0.5, std::max<double>(categories.size(), 1) - 0.5,
                     m_epsilon, Qt::DotLine, x, y);
}

void ExperimentPlots::buildConvergence() {
    QChart* chart = m_convergence->chart();
    chart->removeAllSeries();
    ClearAxes(chart);
    chart->setTitle(tr("これまでの最良の誤差: 中央値と四分位範囲 (px)"));
    const bool curves = std::any_of(m_groups.begin(), m_groups.end(), [](const PlotGroup& g) { return !g.convergence.empty(); });
    m_convergenceNote->setPlainText(m_groups.empty() || curves
                                        ? QString()
                                        : tr("スイープのファイルには世代ごとの曲線がありません。曲線を見るには「実行」してください。"));
    m_convergenceNote->document()->setDefaultTextOption(QTextOption(Qt::AlignCenter));
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
    const bool epsilon = !std::isnan(m_epsilon) && m_epsilon > 0;
    if (epsilon) {
        low = std::min(low, m_epsilon);
        high = std::max(high, m_epsilon);
    }
    QValueAxis* x = WholeAxis(tr("世代"), 1.0, std::max(generations, 2));
    QAbstractAxis* y = DistanceAxis(tr("誤差 (px)"), low, high);
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
        median->setPen(ConfigurationPen(i, 2.0));
        Attach(Band(chart, q1, q3, ConfigurationColor(i)), x, y);
        chart->addSeries(median);
        Attach(median, x, y);
    }
    // The references in grey: the optimum's distance of each target dashed (named once), epsilon dotted.
    for (std::size_t k = 0; k < optima.size(); ++k)
        AddReference(chart, k == 0 ? tr("最適解の誤差") : QString(), 1.0, x->max(), Floored(optima[k]), Qt::DashLine, x, y);
    if (epsilon) AddReference(chart, tr("ε = %1 px").arg(m_epsilon), 1.0, x->max(), m_epsilon, Qt::DotLine, x, y);
}

QString SaveCaptionedPicture(const QByteArray& path, QSize size, const std::function<void(QPainter&)>& paint,
                             const QString& caption, QFont font, const QString& title) {
    // The caption's band under the picture: as many lines as the text wraps to in its width.
    font.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.9 : 9.0);
    const int margin = 8;
    const int band = caption.isEmpty() ? 0
                                       : QFontMetrics(font).boundingRect(QRect(0, 0, size.width() - 2 * margin, 10000),
                                                                         Qt::TextWordWrap, caption).height() + 2 * margin;
    const QSize whole(size.width(), size.height() + band);
    const auto draw = [&](QPainter& painter) {
        painter.save();
        paint(painter);
        painter.restore();
        if (band == 0) return;
        painter.setFont(font);
        painter.setPen(QColor(0x44, 0x44, 0x44));
        painter.drawText(QRect(margin, size.height() + margin, whole.width() - 2 * margin, band - 2 * margin),
                         Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, caption);
    };
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.toLower().endsWith(".svg")) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(whole);
        generator.setViewBox(QRect(QPoint(0, 0), whole));
        if (!title.isEmpty()) generator.setTitle(title);
        if (!caption.isEmpty()) generator.setDescription(caption);
        QPainter painter;
        if (!painter.begin(&generator)) return QStringLiteral("the SVG picture could not be drawn");
        draw(painter);
        if (!painter.end()) return QStringLiteral("the SVG picture could not be drawn");
    } else {
        QImage image(whole, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        draw(painter);
        painter.end();
        if (!image.save(&buffer, "PNG")) return QStringLiteral("the PNG picture could not be encoded");
    }
    return WriteWholeFile(path, bytes);
}

QString ExperimentPlots::save(QChartView* view, const QByteArray& path, const QString& caption) {
    const QRect chart(QPoint(0, 0), view->size());
    return SaveCaptionedPicture(path, chart.size(), [&](QPainter& painter) { view->render(&painter, chart); }, caption,
                                view->font(), view->chart()->title());
}

}  // namespace kelvora::ui
