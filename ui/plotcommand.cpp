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

int PlotCriticalDifference(const std::vector<kelvora::SweepResult>& results, const QString& input, const QString& output) {
    const Configurations c = Group(results);
    const std::optional<CriticalDifference> d = CriticalDifferenceOf(kelvora::ConfigurationLabels(c.first), c.runs, 0.05);
    if (!d)
        return Fail(2, QStringLiteral("--kind cd: %1 holds %2 configuration(s); the diagram needs two or more, on two "
                                      "targets or more, each target run by every configuration").arg(input).arg(c.first.size()));
    if (!SaveCriticalDifference(output, *d))
        return Fail(1, QStringLiteral("%1: cannot be written").arg(output));
    return 0;
}

int PlotResponse(const std::vector<kelvora::SweepResult>& results, const ResponseParameter& parameter, const QString& input,
                 const QString& output) {
    std::vector<const kelvora::SweepResult*> runs;
    for (const kelvora::SweepResult& r : results) runs.push_back(&r);
    QChart* chart = ResponseChart(runs, parameter);
    if (!chart)
        return Fail(2, QStringLiteral("--parameter %1: %2 holds no configuration run at two values of it or more")
                           .arg(QLatin1String(parameter.name), input));
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
    const ResponseParameter* parameter = FindResponseParameter(parameterName);
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
