#include "plotcommand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QSvgGenerator>
#include <QValueAxis>

#include "batch/sweep_table.h"
#include "experimentdata.h"
#include "experimentplots.h"
#include "statisticspanel.h"

namespace kelvora::ui {

namespace {

int Fail(int status, const QString& message) {
    std::fprintf(stderr, "kelvora: %s\n", message.toLocal8Bit().constData());
    return status;
}

QString Tr(const char* text) { return QCoreApplication::translate("PlotCommand", text); }

// The file's configurations by the one rule of ecdf and compare, each with its runs in file order.
struct Configurations {
    std::vector<kelvora::SweepCombination> first;
    std::vector<std::vector<const kelvora::SweepResult*>> runs;
};

Configurations Group(const std::vector<kelvora::SweepResult>& results) {
    Configurations c;
    for (const kelvora::SweepResult& r : results) {
        std::size_t k = 0;
        while (k < c.first.size() && !kelvora::SameConfiguration(c.first[k], r.combination)) ++k;
        if (k == c.first.size()) {
            c.first.push_back(r.combination);
            c.runs.emplace_back();
        }
        c.runs[k].push_back(&r);
    }
    return c;
}

// Writes a picture painted by paint (size in pixels) as SVG or PNG by the name's suffix, through
// path.part and a rename, so that a failure leaves no half picture.
bool SavePicture(const QString& path, QSize size, const std::function<void(QPainter&)>& paint) {
    const QString part = path + QStringLiteral(".part");
    bool written = false;
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator generator;
        generator.setFileName(part);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        QPainter painter;
        if (painter.begin(&generator)) {
            paint(painter);
            written = painter.end() && QFileInfo(part).size() > 0;
        }
    } else {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        paint(painter);
        painter.end();
        written = image.save(part, "PNG");
    }
    if (!written || std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(part);
        return false;
    }
    return true;
}

int PlotCriticalDifference(const std::vector<kelvora::SweepResult>& results, const QString& input, const QString& output) {
    const Configurations c = Group(results);
    const std::optional<CriticalDifference> d = CriticalDifferenceOf(kelvora::ConfigurationLabels(c.first), c.runs, 0.05);
    if (!d)
        return Fail(2, QStringLiteral("--kind cd: %1 holds %2 configuration(s); the diagram needs two or more, on two "
                                      "targets or more, each target run by every configuration").arg(input).arg(c.first.size()));
    const QSize size = CriticalDifferenceSize(c.first.size());
    if (!SavePicture(output, size, [&](QPainter& p) { PaintCriticalDifference(p, size, *d); }))
        return Fail(1, QStringLiteral("%1: cannot be written").arg(output));
    return 0;
}

// A parameter of a run for the response curve: its value, or NaN where the run has none (a
// tournament size without tournament selection), and the configuration with it set aside.
struct Parameter {
    const char* name;
    double (*value)(const kelvora::SweepCombination&);
    void (*clear)(kelvora::SweepCombination&);
    const char* title;  // the axis title, translated
};

const Parameter kParameters[] = {
    {"population", [](const kelvora::SweepCombination& c) { return double(c.params.populationSize); },
     [](kelvora::SweepCombination& c) { c.params.populationSize = 0; }, QT_TRANSLATE_NOOP("PlotCommand", "個体数")},
    {"generations", [](const kelvora::SweepCombination& c) { return double(c.params.generationCount); },
     [](kelvora::SweepCombination& c) { c.params.generationCount = 0; }, QT_TRANSLATE_NOOP("PlotCommand", "世代数")},
    {"crossover", [](const kelvora::SweepCombination& c) { return c.params.crossoverRate; },
     [](kelvora::SweepCombination& c) { c.params.crossoverRate = 0; }, QT_TRANSLATE_NOOP("PlotCommand", "交叉率")},
    {"mutation", [](const kelvora::SweepCombination& c) { return c.params.mutationProbability; },
     [](kelvora::SweepCombination& c) { c.params.mutationProbability = 0; }, QT_TRANSLATE_NOOP("PlotCommand", "突然変異率")},
    {"tournament",
     [](const kelvora::SweepCombination& c) {
         return c.algorithm.method == kelvora::Method::geneticAlgorithm && c.algorithm.selection == kelvora::Selection::tournament
                    ? double(c.algorithm.tournamentSize) : std::nan("");
     },
     [](kelvora::SweepCombination& c) { c.algorithm.tournamentSize = 0; }, QT_TRANSLATE_NOOP("PlotCommand", "トーナメントの大きさ")},
    {"elitism",
     [](const kelvora::SweepCombination& c) {
         return c.algorithm.method == kelvora::Method::geneticAlgorithm ? double(c.algorithm.elitism) : std::nan("");
     },
     [](kelvora::SweepCombination& c) { c.algorithm.elitism = 0; }, QT_TRANSLATE_NOOP("PlotCommand", "エリート数")},
    {"creep",
     [](const kelvora::SweepCombination& c) {
         return c.algorithm.method == kelvora::Method::geneticAlgorithm && c.algorithm.mutation == kelvora::MutationOperator::creep
                    ? double(c.algorithm.creepStep) : std::nan("");
     },
     [](kelvora::SweepCombination& c) { c.algorithm.creepStep = 1; }, QT_TRANSLATE_NOOP("PlotCommand", "クリープ幅")},
};

// Success within epsilon (with its Wilson band, left axis) and the median final distance (with its
// interquartile range, right axis) against the parameter, one pair of curves per configuration of
// the other parameters.
int PlotResponse(const std::vector<kelvora::SweepResult>& results, const Parameter& parameter, const QString& input,
                 const QString& output) {
    std::vector<kelvora::SweepCombination> curves;  // each with the parameter set aside
    std::vector<std::map<double, std::vector<const kelvora::SweepResult*>>> points;
    for (const kelvora::SweepResult& r : results) {
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
    if (most < 2)
        return Fail(2, QStringLiteral("--parameter %1: %2 holds no configuration run at two values of it or more")
                           .arg(QLatin1String(parameter.name), input));
    const std::vector<std::string> labels = kelvora::ConfigurationLabels(curves);

    auto* chart = new QChart;
    chart->setTitle(QCoreApplication::translate("PlotCommand", "%1 に対する誤差 ε 以内の割合 (95% 信頼帯) と最終誤差の中央値 (四分位範囲)").arg(Tr(parameter.title)));
    auto* x = new QValueAxis;
    x->setTitleText(Tr(parameter.title));
    auto* rate = new QValueAxis;
    rate->setRange(0.0, 1.0);
    rate->setTitleText(QCoreApplication::translate("PlotCommand", "割合"));
    auto* distance = new QValueAxis;
    distance->setTitleText(QCoreApplication::translate("PlotCommand", "誤差 (px)"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(rate, Qt::AlignLeft);
    chart->addAxis(distance, Qt::AlignRight);
    double low = INFINITY, high = -INFINITY, far = 0.0;
    const QList<QColor> colors{QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c), QColor(0x9467bd), QColor(0xff7f0e),
                               QColor(0x8c564b), QColor(0xe377c2), QColor(0x7f7f7f)};
    for (std::size_t k = 0; k < curves.size(); ++k) {
        const QColor color = colors[static_cast<int>(k % colors.size())];
        auto* within = new QLineSeries;
        auto* bandLow = new QLineSeries;
        auto* bandHigh = new QLineSeries;
        auto* median = new QLineSeries;
        auto* q1 = new QLineSeries;
        auto* q3 = new QLineSeries;
        for (const auto& [v, runs] : points[k]) {
            long long successes = 0;
            std::vector<double> distances;
            for (const kelvora::SweepResult* r : runs) {
                successes += r->firstGenerationWithinEpsilon > 0;
                distances.push_back(r->eliteDistance);
            }
            const kelvora::Proportion p = kelvora::WilsonInterval(successes, static_cast<long long>(runs.size()));
            const kelvora::Quartiles q = kelvora::QuartilesOf(distances);
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
        band->setName(QCoreApplication::translate("PlotCommand", "%1: 95% 信頼帯").arg(name));  // markers of the bands are hidden below
        QColor light = color;
        light.setAlpha(50);
        band->setBrush(light);
        band->setPen(Qt::NoPen);
        auto* iqr = new QAreaSeries(q3, q1);
        iqr->setName(QCoreApplication::translate("PlotCommand", "%1: 四分位範囲").arg(name));
        QColor lighter = color;
        lighter.setAlpha(25);
        iqr->setBrush(lighter);
        iqr->setPen(QPen(color, 0.5, Qt::DotLine));
        within->setName(QCoreApplication::translate("PlotCommand", "%1: 割合").arg(name));
        within->setPen(QPen(color, 2.0));
        median->setName(QCoreApplication::translate("PlotCommand", "%1: 誤差の中央値 (破線)").arg(name));
        median->setPen(QPen(color, 2.0, Qt::DashLine));
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
    distance->setRange(0.0, far > 0.0 ? far * 1.05 : 1.0);
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(900, 600);
    view.show();
    QCoreApplication::sendPostedEvents();  // the chart's layout requests: no input is read
    if (!ExperimentPlots::save(&view, output)) return Fail(1, QStringLiteral("%1: cannot be written").arg(output));
    return 0;
}

}  // namespace

bool IsPlotCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--plot") == 0) return true;
    return false;
}

int RunPlotCommand(const QStringList& arguments) {
    QString input;
    QString output;
    QString kind = QStringLiteral("runlength");
    QString parameterName;
    bool evaluations = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& flag = arguments[i];
        if (flag != QLatin1String("--plot") && flag != QLatin1String("--output") && flag != QLatin1String("--x") &&
            flag != QLatin1String("--kind") && flag != QLatin1String("--parameter"))
            return Fail(2, QStringLiteral("unknown argument '%1' (accepted: --plot SWEEP.csv --output FILE.svg|FILE.png "
                                          "[--x generations|evaluations] [--kind runlength|cd|response] [--parameter P])").arg(flag));
        if (i + 1 >= arguments.size()) return Fail(2, QStringLiteral("%1 needs a value").arg(flag));
        const QString value = arguments[++i];
        if (flag == QLatin1String("--plot")) input = value;
        else if (flag == QLatin1String("--output")) output = value;
        else if (flag == QLatin1String("--kind")) kind = value;
        else if (flag == QLatin1String("--parameter")) parameterName = value;
        else if (value == QLatin1String("evaluations")) evaluations = true;
        else if (value != QLatin1String("generations"))
            return Fail(2, QStringLiteral("--x is '%1', expected generations or evaluations").arg(value));
    }
    if (kind != QLatin1String("runlength") && kind != QLatin1String("cd") && kind != QLatin1String("response"))
        return Fail(2, QStringLiteral("--kind is '%1', expected runlength, cd or response").arg(kind));
    const Parameter* parameter = nullptr;
    for (const Parameter& p : kParameters)
        if (parameterName == QLatin1String(p.name)) parameter = &p;
    if (kind == QLatin1String("response") && !parameter)
        return Fail(2, QStringLiteral("--kind response needs --parameter P, one of population, generations, crossover, "
                                      "mutation, tournament, elitism, creep%1")
                           .arg(parameterName.isEmpty() ? QString() : QStringLiteral(" (not '%1')").arg(parameterName)));
    if (kind != QLatin1String("response") && !parameterName.isEmpty())
        return Fail(2, QStringLiteral("--parameter applies to --kind response only"));
    if (output.isEmpty()) return Fail(2, QStringLiteral("--output FILE.svg|FILE.png is required"));
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix != QLatin1String("svg") && suffix != QLatin1String("png"))
        return Fail(2, QStringLiteral("--output '%1' must end in .svg or .png").arg(output));

    std::vector<kelvora::SweepResult> results;
    const std::string error = ReadSweepCsv(input.toStdString(), results);
    if (!error.empty()) return Fail(2, QString::fromStdString(error));
    if (kind == QLatin1String("cd")) return PlotCriticalDifference(results, input, output);
    if (kind == QLatin1String("response")) return PlotResponse(results, *parameter, input, output);

    // The chart is laid out as on screen and drawn, but never shown: the widget is not mapped.
    ExperimentPlots plots;
    plots.setAttribute(Qt::WA_DontShowOnScreen);
    plots.resize(900, 600);
    plots.setGroups(GroupsOfSweepRows(results), std::nan(""));  // the file does not say its epsilon
    plots.setEvaluations(evaluations);
    QChartView* view = plots.runLengthView();
    plots.setCurrentWidget(view);
    plots.show();
    QCoreApplication::sendPostedEvents();  // the charts' layout requests: no input is read
    if (!ExperimentPlots::save(view, output)) return Fail(1, QStringLiteral("%1: cannot be written").arg(output));
    return 0;
}

}  // namespace kelvora::ui
