#include "experiment/statisticspanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QValueAxis>
#include <QTableWidget>
#include <QVBoxLayout>

#include "batch/sweep_table.h"
#include "experiment/experimentplots.h"
#include "experiment/outcomes.h"
#include "session/labels.h"
#include "model/text.h"

namespace kelvora::ui {

namespace {

// Paints the panel's diagram, when there is one.
class DiagramView : public QWidget {
public:
    DiagramView(const std::optional<CriticalDifference>& d, QWidget* parent) : QWidget(parent), m_d(d) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (!m_d) return;
        QPainter p(this);
        PaintCriticalDifference(p, size(), *m_d);
    }

private:
    const std::optional<CriticalDifference>& m_d;
};

// The pair tests' columns of numbers, which each verdict's row spans.
constexpr int kVerdictSpan = 8;

// Draws a verdict spanning its row within the part of the table in sight, wrapped to it, so that the
// sentence reads whole however far the numbers scroll; its height is that of the wrapped lines.
class VerdictDelegate : public QStyledItemDelegate {
public:
    explicit VerdictDelegate(QTableView* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!spanned(index)) return QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionViewItem inSight(option);
        inSight.rect = inView(option.rect);
        QStyledItemDelegate::paint(painter, inSight, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!spanned(index)) return QStyledItemDelegate::sizeHint(option, index);
        QStyleOptionViewItem inSight(option);
        inSight.rect = inView(m_view->visualRect(index));
        inSight.rect.setHeight(std::max(inSight.rect.height(), 1));
        return {1, QStyledItemDelegate::sizeHint(inSight, index).height()};  // the columns' widths are the numbers'
    }

private:
    bool spanned(const QModelIndex& index) const { return m_view->columnSpan(index.row(), index.column()) > 1; }
    QRect inView(QRect r) const {
        r.setLeft(std::max(r.left(), 0));
        r.setRight(std::min(r.right(), m_view->viewport()->width() - 1));
        return r;
    }

    QTableView* m_view;
};

QString Effect(double a12) {
    const std::string word = kelvora::EffectSizeWord(a12);
    if (word == "large") return StatisticsPanel::tr("大きい");
    if (word == "medium") return StatisticsPanel::tr("中程度の");
    if (word == "small") return StatisticsPanel::tr("小さい");
    return StatisticsPanel::tr("無視できる");
}

const ResponseParameter kParameters[] = {
    {"population", [](const kelvora::SweepCombination& c) { return double(c.params.populationSize); },
     [](kelvora::SweepCombination& c) { c.params.populationSize = 0; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "個体数")},
    {"generations", [](const kelvora::SweepCombination& c) { return double(c.params.generationCount); },
     [](kelvora::SweepCombination& c) { c.params.generationCount = 0; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "世代数")},
    {"crossover", [](const kelvora::SweepCombination& c) { return c.params.crossoverRate; },
     [](kelvora::SweepCombination& c) { c.params.crossoverRate = 0; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "交叉率")},
    {"mutation", [](const kelvora::SweepCombination& c) { return c.params.mutationProbability; },
     [](kelvora::SweepCombination& c) { c.params.mutationProbability = 0; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "突然変異の確率")},
    {"tournament",
     [](const kelvora::SweepCombination& c) {
         return c.algorithm.method == kelvora::Method::geneticAlgorithm && c.algorithm.selection == kelvora::Selection::tournament
                    ? double(c.algorithm.tournamentSize) : std::nan("");
     },
     [](kelvora::SweepCombination& c) { c.algorithm.tournamentSize = 0; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "トーナメントの大きさ")},
    {"elitism",
     [](const kelvora::SweepCombination& c) {
         return c.algorithm.method == kelvora::Method::geneticAlgorithm ? double(c.algorithm.elitism) : std::nan("");
     },
     [](kelvora::SweepCombination& c) { c.algorithm.elitism = 0; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "エリート数")},
    {"creep",
     [](const kelvora::SweepCombination& c) {
         return c.algorithm.method == kelvora::Method::geneticAlgorithm && c.algorithm.mutation == kelvora::MutationOperator::creep
                    ? double(c.algorithm.creepStep) : std::nan("");
     },
     [](kelvora::SweepCombination& c) { c.algorithm.creepStep = 1; }, QT_TRANSLATE_NOOP("kelvora::ui::StatisticsPanel", "クリープ幅")},
};

}  // namespace

const ResponseParameter* FindResponseParameter(const QString& name) {
    for (const ResponseParameter& p : kParameters)
        if (name == QLatin1String(p.name)) return &p;
    return nullptr;
}

std::vector<const ResponseParameter*> ResponseParameters() {
    std::vector<const ResponseParameter*> all;
    for (const ResponseParameter& p : kParameters) all.push_back(&p);
    return all;
}

// Success within epsilon (with its Wilson band, left axis) and the median final distance (with its
// interquartile range, right axis) against the parameter, one pair of curves per configuration of
// the other parameters.
QChart* ResponseChart(const std::vector<const kelvora::SweepResult*>& results, const ResponseParameter& parameter) {
    std::vector<kelvora::SweepCombination> curves;  // each with the parameter set aside
    std::vector<std::map<double, std::vector<const kelvora::SweepResult*>>> points;
    for (const kelvora::SweepResult* run : results) {
        const kelvora::SweepResult& r = *run;
        const double v = parameter.value(r.combination);
        if (std::isnan(v)) continue;
        kelvora::SweepCombination key = r.combination;
        parameter.clear(key);
        std::size_t k = 0;
        while (k < curves.size() && !kelvora::SameConfiguration(curves[k], key)) ++k;
        if (k == curves.size()) {
            curves.push_back(key);
            points.emplace_back();
        }
        points[k][v].push_back(&r);
    }
    std::size_t most = 0;
    for (const auto& curve : points) most = std::max(most, curve.size());
    if (most < 2) return nullptr;
    const std::vector<std::string> labels = kelvora::session::DifferingLabels(curves);

    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignRight);  // every name whole, beside the plot
    chart->legend()->setShowToolTips(true);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);  // a dashed median as a dashed line
    chart->setTitle(StatisticsPanel::tr("%1 に対する ε 以内の割合と最終誤差の中央値").arg(StatisticsPanel::tr(parameter.title)));
    auto* x = new QValueAxis;
    x->setTitleText(StatisticsPanel::tr(parameter.title));
    auto* rate = new QValueAxis;
    rate->setRange(0.0, 1.0);
    rate->setTitleText(StatisticsPanel::tr("割合"));
    auto* distance = new QValueAxis;
    distance->setTitleText(StatisticsPanel::tr("誤差 (px)"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(rate, Qt::AlignLeft);
    chart->addAxis(distance, Qt::AlignRight);
    double low = INFINITY, high = -INFINITY, far = 0.0;
    for (std::size_t k = 0; k < curves.size(); ++k) {
        const QColor color = ConfigurationColor(static_cast<int>(k));
        auto* within = new QLineSeries;
        auto* bandLow = new QLineSeries;
        auto* bandHigh = new QLineSeries;
        auto* median = new QLineSeries;
        auto* q1 = new QLineSeries;
        auto* q3 = new QLineSeries;
        for (const auto& [v, runs] : points[k]) {
            const kelvora::SweepSummaryRow outcome = kelvora::experiment::PooledOutcome(runs);
            const kelvora::Proportion& p = outcome.withinEpsilon;
            const kelvora::Quartiles& q = outcome.eliteDistance;
            within->append(v, p.rate);
            bandLow->append(v, p.low);
            bandHigh->append(v, p.high);
            median->append(v, q.median);
            q1->append(v, q.q1);
            q3->append(v, q.q3);
            low = std::min(low, v);
            high = std::max(high, v);
            far = std::max(far, q.q3);
        }
        const QString name = QString::fromStdString(labels[k]);
        auto* band = new QAreaSeries(bandHigh, bandLow);
        // An area series does not own its edges: they go with it.
        bandHigh->setParent(band);
        bandLow->setParent(band);
        band->setName(StatisticsPanel::tr("%1: 95% 信頼帯").arg(name));  // markers of the bands are hidden below
        QColor light = color;
        light.setAlpha(40);
        band->setBrush(light);
        QColor edge = color;
        edge.setAlpha(150);
        band->setPen(QPen(edge, 1.0));  // overlapping bands keep their edges
        auto* iqr = new QAreaSeries(q3, q1);
        q3->setParent(iqr);
        q1->setParent(iqr);
        iqr->setName(StatisticsPanel::tr("%1: 四分位範囲").arg(name));
        QColor lighter = color;
        lighter.setAlpha(25);
        iqr->setBrush(lighter);
        iqr->setPen(QPen(color, 0.5, Qt::DotLine));
        within->setName(name);  // the rate: the solid line
        within->setPen(ConfigurationPen(static_cast<int>(k), 2.0));  // the 9th on dashed, as elsewhere
        median->setName(StatisticsPanel::tr("%1 (誤差)").arg(name));  // dashed, on the right axis
        median->setPen(QPen(color, 2.0, k < 8 ? Qt::DashLine : Qt::DashDotDotLine));
        for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{band, within}) {
            chart->addSeries(s);
            s->attachAxis(x);
            s->attachAxis(rate);
        }
        for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{iqr, median}) {
            chart->addSeries(s);
            s->attachAxis(x);
            s->attachAxis(distance);
        }
        for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{band, iqr})
            for (QLegendMarker* marker : chart->legend()->markers(s)) marker->setVisible(false);
    }
    x->setRange(low, high);
    // Ticks at round values of the parameter: whole ones for counts, 1-2-5 steps for rates.
    const bool whole = std::string_view(parameter.name) != "crossover" && std::string_view(parameter.name) != "mutation";
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0.0);
    x->setTickInterval(TickInterval(high - low, 4, whole ? 1.0 : 0.0));
    x->setLabelFormat(whole ? QStringLiteral("%d") : QStringLiteral("%g"));
    distance->setRange(0.0, far > 0.0 ? far * 1.05 : 1.0);
    distance->applyNiceNumbers();
    return chart;
}

std::optional<CriticalDifference> CriticalDifferenceOf(const std::vector<std::string>& labels,
                                                       const std::vector<std::vector<const kelvora::SweepResult*>>& runs,
                                                       double alpha) {
    std::vector<kelvora::SweepTarget> targets;
    for (const auto& list : runs)
        for (const kelvora::SweepResult* r : list)
            if (std::find(targets.begin(), targets.end(), r->combination.target) == targets.end())
                targets.push_back(r->combination.target);
    const std::size_t k = runs.size();
    if (k < 2 || targets.size() < 2) return std::nullopt;
    std::vector<std::vector<double>> rates(targets.size(), std::vector<double>(k, 0.0));
    for (std::size_t j = 0; j < k; ++j) {
        std::vector<long long> count(targets.size(), 0), within(targets.size(), 0);
        for (const kelvora::SweepResult* r : runs[j]) {
            const auto t = static_cast<std::size_t>(std::find(targets.begin(), targets.end(), r->combination.target) - targets.begin());
            ++count[t];
            within[t] += r->firstGenerationWithinEpsilon > 0;
        }
        for (std::size_t t = 0; t < targets.size(); ++t) {
            if (count[t] == 0) return std::nullopt;
            rates[t][j] = static_cast<double>(within[t]) / static_cast<double>(count[t]);
        }
    }
    CriticalDifference d;
    d.labels = labels;
    d.friedman = kelvora::FriedmanTest(rates);
    d.blocks = static_cast<long long>(targets.size());
    d.alpha = alpha;
    d.cd = kelvora::NemenyiCriticalDifference(static_cast<int>(k), d.blocks, alpha);
    return d;
}

QString SaveCriticalDifference(const QByteArray& path, const CriticalDifference& d, const QString& caption) {
    const QSize size = CriticalDifferenceSize(d.labels.size());
    return SaveCaptionedPicture(path, size, [&](QPainter& p) { PaintCriticalDifference(p, size, d); }, caption, QFont());
}

QSize CriticalDifferenceSize(std::size_t k) { return {900, 170 + 24 * static_cast<int>((k + 1) / 2)}; }

// The critical-difference diagram: the mean ranks on an axis from 1 (succeeds most often, left) to
// k, each configuration's name on the nearer side, the critical difference as a bar above the axis,
// and a thick line under each group of configurations no farther apart than it.
void PaintCriticalDifference(QPainter& p, QSize size, const CriticalDifference& d) {
    const std::vector<std::string>& labels = d.labels;
    const kelvora::Friedman& f = d.friedman;
    const double cd = d.cd;
    const int k = static_cast<int>(labels.size());
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    p.setPen(QPen(Qt::black, 1.5));
    QFont font = p.font();
    font.setPixelSize(14);
    p.setFont(font);
    // The title whole, on two lines where the width does not hold it on one; the rest below it.
    const QString title = StatisticsPanel::tr("平均順位と臨界差 (Friedman χ² = %1, p = %2, 目標点 %3 個, α = %4)")
                              .arg(f.chi2, 0, 'g', 4).arg(f.p, 0, 'g', 2).arg(d.blocks).arg(d.alpha);
    QRectF titleBox;
    p.drawText(QRectF(4, 8, size.width() - 8, 60), Qt::AlignHCenter | Qt::TextWordWrap, title, &titleBox);
    const QFontMetricsF metrics(font);
    const double shift = titleBox.height() > 1.5 * metrics.height() ? titleBox.height() - metrics.height() + 4.0 : 0.0;
    p.translate(0, shift);
    // Each side as wide as its longest name needs (a fifth of the width at least, two fifths at most).
    double widest = 0.0;
    for (std::size_t i = 0; i < labels.size(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(QStringLiteral("%1 (%2)").arg(QString::fromStdString(labels[i])).arg(9.99, 0, 'f', 2)));
    const double side = std::clamp(widest + 20.0, 0.2 * size.width(), 0.4 * size.width());
    const double left = side, right = size.width() - side, axisY = 110;
    const auto x = [&](double rank) { return left + (rank - 1.0) / std::max(k - 1, 1) * (right - left); };
    p.drawLine(QPointF(x(1), axisY), QPointF(x(k), axisY));
    for (int r = 1; r <= k; ++r) {
        p.drawLine(QPointF(x(r), axisY), QPointF(x(r), axisY - 8));
        p.drawText(QRectF(x(r) - 20, axisY - 30, 40, 18), Qt::AlignCenter, QString::number(r));
    }
    // The critical difference, drawn from rank 1.
    p.drawLine(QPointF(x(1), 50), QPointF(x(1 + cd), 50));
    p.drawLine(QPointF(x(1), 45), QPointF(x(1), 55));
    p.drawLine(QPointF(x(1 + cd), 45), QPointF(x(1 + cd), 55));
    p.drawText(QRectF(x(1), 28, x(1 + cd) - x(1), 18), Qt::AlignCenter | Qt::TextDontClip,
               StatisticsPanel::tr("臨界差 %1").arg(cd, 0, 'f', 3));
    std::vector<int> order(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) order[static_cast<std::size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return f.meanRanks[a] < f.meanRanks[b]; });
    const int half = (k + 1) / 2;
    for (int n = 0; n < k; ++n) {
        const int i = order[static_cast<std::size_t>(n)];
        const bool onLeft = n < half;
        const double rank = f.meanRanks[static_cast<std::size_t>(i)];
        const double y = axisY + 40 + 24 * (onLeft ? n : k - 1 - n);
        const double end = onLeft ? left - 10 : right + 10;
        // Each configuration's line in its colour in the other charts; its name in black beside it.
        p.setPen(ConfigurationPen(i, 2.0));
        p.drawLine(QPointF(x(rank), axisY), QPointF(x(rank), y));
        p.drawLine(QPointF(x(rank), y), QPointF(end, y));
        p.setPen(QPen(Qt::black, 1.5));
        // A name too long for its side is elided; its rank always shows.
        const QString rankText = QStringLiteral(" (%1)").arg(rank, 0, 'f', 2);
        const QString text = metrics.elidedText(QString::fromStdString(labels[static_cast<std::size_t>(i)]), Qt::ElideRight,
                                                side - 14.0 - metrics.horizontalAdvance(rankText)) +
                             rankText;
        if (onLeft) p.drawText(QRectF(0, y - 10, end - 4, 20), Qt::AlignRight | Qt::AlignVCenter, text);
        else p.drawText(QRectF(end + 4, y - 10, size.width() - end - 4, 20), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    // Groups no farther apart than the critical difference, each not inside the one before.
    p.setPen(QPen(Qt::black, 4));
    int lastEnd = -1, line = 0;
    for (int a = 0; a < k; ++a) {
        int b = a;
        while (b + 1 < k && f.meanRanks[static_cast<std::size_t>(order[static_cast<std::size_t>(b + 1)])] -
                                    f.meanRanks[static_cast<std::size_t>(order[static_cast<std::size_t>(a)])] <
                                cd)
            ++b;
        if (b == a || b <= lastEnd) continue;
        lastEnd = b;
        const double y = axisY + 14 + 8 * (line++ % 3);
        p.drawLine(QPointF(x(f.meanRanks[static_cast<std::size_t>(order[static_cast<std::size_t>(a)])]) - 3, y),
                   QPointF(x(f.meanRanks[static_cast<std::size_t>(order[static_cast<std::size_t>(b)])]) + 3, y));
    }
}

QString VerdictText(const kelvora::PairVerdictInput& in, double alpha) {
    const QString a = QString::fromStdString(in.a), b = QString::fromStdString(in.b);
    if (in.fisherPHolm < alpha) {
        const bool more = in.aSuccesses * in.bRuns > in.bSuccesses * in.aRuns;
        const QString counts = QStringLiteral("%1/%2").arg(in.aSuccesses).arg(in.aRuns);
        const QString other = QStringLiteral("%1/%2").arg(in.bSuccesses).arg(in.bRuns);
        const QString p = QString::fromStdString(kelvora::PValueText(in.fisherPHolm));
        return (more ? StatisticsPanel::tr("%1 は %2 より成功が多い (%3 対 %4, Holm 補正後 p %5)、%6効果")
                     : StatisticsPanel::tr("%1 は %2 より成功が少ない (%3 対 %4, Holm 補正後 p %5)、%6効果"))
            .arg(a, b, counts, other, p, Effect(in.a12));
    }
    if (in.mwuPHolm < alpha) {
        const QString p = QString::fromStdString(kelvora::PValueText(in.mwuPHolm));
        return (in.a12 > 0.5 ? StatisticsPanel::tr("%1 は %2 より目標点に近く終わる (A12 = %3, Holm 補正後 p %4)、%5効果")
                             : StatisticsPanel::tr("%1 は %2 より目標点から遠く終わる (A12 = %3, Holm 補正後 p %4)、%5効果"))
            .arg(a, b, QString::number(in.a12, 'f', 3), p, Effect(in.a12));
    }
    return in.targets > 1 ? StatisticsPanel::tr("%1 と %2 の差の証拠なし (%3 シード × 目標点 %4 個)").arg(a, b).arg(in.seeds).arg(in.targets)
                          : StatisticsPanel::tr("%1 と %2 の差の証拠なし (%3 シード)").arg(a, b).arg(in.seeds);
}

StatisticsPanel::StatisticsPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_baseline = new QComboBox(this);
    m_baseline->setObjectName(QStringLiteral("Baseline"));
    row->addWidget(new QLabel(tr("基準"), this));
    row->addWidget(m_baseline, 1);
    layout->addLayout(row);
    // Each pair on two rows: its numbers, then its verdict across the whole width, wrapped, so that
    // the sentence reads whole however narrow the tab.
    m_table = new QTableWidget(0, kVerdictSpan, this);
    m_table->setObjectName(QStringLiteral("PairTests"));
    // Short headers, so that the numbers fit beside each other; what each is, in its tooltip.
    const QString holm = tr("左の列の p を表の組の数で Holm 補正した値 (太字: α = 0.05 未満)");
    const std::pair<QString, QString> headers[kVerdictSpan] = {
        {tr("構成 a"), tr("比べる構成 (判定の文の主語)")},
        {tr("構成 b"), tr("比べられる構成 (基準を選べば基準)")},
        {tr("ε 以内"), tr("ε 以内に達した実行の数 (a : b)")},
        {tr("Fisher p"), tr("ε 以内の数の Fisher の正確検定の p (補正前)")},
        {tr("Holm"), holm},
        {tr("U 検定 p"), tr("最終誤差の U 検定の p (補正前)")},
        {tr("Holm"), holm},
        {tr("A12"), tr("a の実行が b の実行より目標点に近く終わる確率 (0.5: 差なし)")}};
    for (int c = 0; c < kVerdictSpan; ++c) {
        auto* header = new QTableWidgetItem(headers[c].first);
        header->setToolTip(headers[c].second);
        m_table->setHorizontalHeaderItem(c, header);
    }
    // The numbers as wide as they are; the two labels share the rest (elided where it is short, whole
    // in the verdict under them), so that every number is in sight without scrolling where it fits.
    QHeaderView* header = m_table->horizontalHeader();
    const int narrowest = header->fontMetrics().horizontalAdvance(QStringLiteral("0.000")) + 8;
    header->setMinimumSectionSize(narrowest);
    header->setDefaultSectionSize(narrowest);  // the labels' width where the numbers fill the width already
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->hide();                          // the verdict under its numbers says which pair
    m_table->setWordWrap(true);
    m_table->setItemDelegate(new VerdictDelegate(m_table));
    m_table->viewport()->installEventFilter(this);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { fitVerdicts(); });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_table, 1);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    m_diagram = new DiagramView(m_cd, this);
    m_diagram->setMinimumHeight(0);
    layout->addWidget(m_diagram);
    connect(m_baseline, &QComboBox::currentIndexChanged, this, [this] { update(); });
}

void StatisticsPanel::setRuns(const std::vector<QString>& labels, const std::vector<std::vector<kelvora::SweepResult>>& results) {
    setRuns(Gather(labels, results));
}

StatisticsPanel::Gathered StatisticsPanel::Gather(const std::vector<QString>& labels,
                                                  const std::vector<std::vector<kelvora::SweepResult>>& results) {
    Gathered g;
    std::vector<std::vector<const kelvora::SweepResult*>> runs;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < results.size() && i < labels.size(); ++i) {
        if (results[i].empty()) continue;
        kelvora::Sample s;
        std::set<std::uint32_t> seeds;
        std::vector<kelvora::SweepTarget> targets;
        runs.emplace_back();
        for (const kelvora::SweepResult& r : results[i]) {
            s.successes += r.firstGenerationWithinEpsilon > 0;
            s.distances.push_back(r.eliteDistance);
            seeds.insert(r.combination.seed);
            if (std::find(targets.begin(), targets.end(), r.combination.target) == targets.end())
                targets.push_back(r.combination.target);
            runs.back().push_back(&r);
        }
        g.labels.push_back(labels[i]);
        g.index.push_back(i);
        names.push_back(labels[i].toStdString());
        g.first.push_back(results[i].front().combination);
        g.samples.push_back(std::move(s));
        g.seeds.push_back(static_cast<long long>(seeds.size()));
        g.targets.push_back(static_cast<long long>(targets.size()));
    }
    g.cd = CriticalDifferenceOf(names, runs, 0.05);
    return g;
}

void StatisticsPanel::setRuns(Gathered gathered) {
    m_labels = std::move(gathered.labels);
    m_index = std::move(gathered.index);
    m_first = std::move(gathered.first);
    m_samples = std::move(gathered.samples);
    m_seeds = std::move(gathered.seeds);
    m_targets = std::move(gathered.targets);
    m_cd = std::move(gathered.cd);
    // Room for the title on two lines, where the tab is narrower than the saved picture.
    m_diagram->setFixedHeight(m_cd ? CriticalDifferenceSize(m_labels.size()).height() + 24 : 0);
    m_diagram->update();
    const QSignalBlocker quiet(m_baseline);
    m_baseline->clear();
    int classic = 0;
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        m_baseline->addItem(m_labels[i]);
        if (classic == 0 && m_first[i].algorithm == kelvora::Algorithm{} && m_first[0].algorithm != kelvora::Algorithm{})
            classic = static_cast<int>(i);
    }
    m_baseline->addItem(tr("すべての組"));
    m_baseline->setCurrentIndex(classic);
    update();
}

double StatisticsPanel::baselineP(std::size_t configuration) const {
    const int chosen = m_baseline->currentIndex();
    if (chosen < 0 || chosen >= static_cast<int>(m_labels.size())) return std::nan("");
    for (const kelvora::PairTest& t : m_tests)
        if (m_index[t.a] == configuration && t.b == static_cast<std::size_t>(chosen)) return t.fisherPHolm;
    return std::nan("");
}

QString StatisticsPanel::againstBaseline(std::size_t configuration) const {
    const int chosen = m_baseline->currentIndex();
    if (chosen < 0 || chosen >= static_cast<int>(m_labels.size())) return {};
    if (m_index[static_cast<std::size_t>(chosen)] == configuration) return tr("基準");
    const double p = baselineP(configuration);
    return std::isnan(p) ? QString() : QStringLiteral("p %1").arg(QString::fromStdString(kelvora::PValueText(p)));
}

QByteArray StatisticsPanel::csv() const {
    const auto quoted = [](const QString& text) {
        QString q = text;
        return QStringLiteral("\"") + q.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QStringLiteral("\"");
    };
    const auto number = [](double v) { return QString::fromStdString(kelvora::ExactText(v)); };
    QString text = QStringLiteral("a,b,a_successes,a_runs,b_successes,b_runs,fisher_p,fisher_p_holm,mwu_u,mwu_p,mwu_p_holm,a12,verdict\n");
    for (std::size_t i = 0; i < m_tests.size(); ++i) {
        const kelvora::PairTest& t = m_tests[i];
        const kelvora::Sample& a = m_samples[t.a];
        const kelvora::Sample& b = m_samples[t.b];
        text += QStringList{quoted(m_labels[t.a]), quoted(m_labels[t.b]), QString::number(a.successes),
                            QString::number(a.distances.size()), QString::number(b.successes),
                            QString::number(b.distances.size()), number(t.fisherP), number(t.fisherPHolm), number(t.u),
                            number(t.mwuP), number(t.mwuPHolm), number(t.a12), quoted(m_verdicts[i])}
                    .join(QLatin1Char(',')) +
                QLatin1Char('\n');
    }
    return text.toUtf8();
}

void StatisticsPanel::update() {
    m_table->setRowCount(0);
    m_tests.clear();
    m_verdicts.clear();
    const double alpha = 0.05;
    const int chosen = m_baseline->currentIndex();
    if (m_samples.size() < 2 || chosen < 0) {
        m_note->setText(m_samples.size() < 2 ? tr("比べるには 2 つ以上の構成の実行が要ります。") : QString());
        emit changed();
        return;
    }
    const bool all = chosen == static_cast<int>(m_samples.size());
    std::vector<std::pair<std::size_t, std::size_t>> which;
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        if (all) {
            for (std::size_t j = i + 1; j < m_samples.size(); ++j) which.emplace_back(i, j);
        } else if (i != static_cast<std::size_t>(chosen)) {
            which.emplace_back(i, static_cast<std::size_t>(chosen));
        }
    }
    const std::vector<kelvora::PairTest> tests = kelvora::ComparePairs(m_samples, which);
    m_tests = tests;
    m_verdicts.clear();
    QFont bold = m_table->font();
    bold.setBold(true);
    m_table->clearSpans();
    for (const kelvora::PairTest& t : tests) {
        const kelvora::Sample& a = m_samples[t.a];
        const kelvora::Sample& b = m_samples[t.b];
        const auto n = [](const kelvora::Sample& s) { return static_cast<long long>(s.distances.size()); };
        const QString verdict = VerdictText({m_labels[t.a].toStdString(), m_labels[t.b].toStdString(), a.successes, n(a),
                                             b.successes, n(b), t.fisherPHolm, t.mwuPHolm, t.a12, m_seeds[t.a], m_targets[t.a]},
                                            alpha);
        m_verdicts.push_back(verdict);
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->insertRow(row + 1);
        const QStringList cells{m_labels[t.a], m_labels[t.b],
                                QStringLiteral("%1/%2 : %3/%4").arg(a.successes).arg(n(a)).arg(b.successes).arg(n(b)),
                                QString::number(t.fisherP, 'g', 2), QString::number(t.fisherPHolm, 'g', 2),
                                QString::number(t.mwuP, 'g', 2), QString::number(t.mwuPHolm, 'g', 2),
                                QString::number(t.a12, 'f', 3)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(verdict);  // the whole sentence wherever the pointer rests on the pair
            // A significant adjusted p, and the counts or A12 it speaks for, in bold on a tint.
            const bool marked = (c == 4 && t.fisherPHolm < alpha) || (c == 6 && t.mwuPHolm < alpha);
            if (marked) {
                item->setFont(bold);
                item->setBackground(QColor(255, 236, 179));
            }
            m_table->setItem(row, c, item);
        }
    }
    // The numbers set their columns' widths; the verdicts, set after, wrap within the whole.
    for (int c = 2; c < kVerdictSpan; ++c) m_table->resizeColumnToContents(c);
    for (std::size_t i = 0; i < m_verdicts.size(); ++i) {
        const int row = 2 * static_cast<int>(i) + 1;
        auto* item = new QTableWidgetItem(m_verdicts[i]);
        item->setToolTip(m_verdicts[i]);
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_table->setItem(row, 0, item);
        m_table->setSpan(row, 0, 1, kVerdictSpan);
    }
    fitVerdicts();
    m_note->setText(tr("p 値は表の %n 組に対して Holm で補正 (検定ごとに)。太字: α = 0.05 未満。", nullptr,
                       static_cast<int>(tests.size())));
    emit changed();
}

void StatisticsPanel::fitVerdicts() {
    for (int row = 1; row < m_table->rowCount(); row += 2) m_table->resizeRowToContents(row);
}

bool StatisticsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table->viewport() && event->type() == QEvent::Resize) fitVerdicts();
    return QWidget::eventFilter(watched, event);
}

ResponsePanel::ResponsePanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_parameter = new QComboBox(this);
    m_parameter->setObjectName(QStringLiteral("ResponseParameter"));
    for (const ResponseParameter* p : ResponseParameters()) m_parameter->addItem(StatisticsPanel::tr(p->title), QString::fromLatin1(p->name));
    m_parameter->setCurrentIndex(3);  // the mutation probability
    row->addWidget(new QLabel(tr("横軸のパラメータ"), this));
    row->addWidget(m_parameter, 1);
    layout->addLayout(row);
    m_view = new QChartView(this);
    m_view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(m_view, 1);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    connect(m_parameter, &QComboBox::currentIndexChanged, this, [this] { update(); });
}

void ResponsePanel::setRuns(std::vector<const kelvora::SweepResult*> runs) {
    m_runs = std::move(runs);
    update();
}

QChartView* ResponsePanel::view() const { return m_view; }

QChart* ResponsePanel::chart() const { return m_note->text().isEmpty() ? m_view->chart() : nullptr; }

void ResponsePanel::update() {
    const ResponseParameter* p = FindResponseParameter(m_parameter->currentData().toString());
    QChart* chart = p ? ResponseChart(m_runs, *p) : nullptr;
    m_note->setText(chart ? QString()
                          : tr("このパラメータだけが違う構成を 2 つ以上加えて実行すると、その値に対する曲線が描かれます。"));
    QChart* old = m_view->chart();
    m_view->setChart(chart ? chart : new QChart);
    delete old;
}

}  // namespace kelvora::ui
