#include "experiment/plotcommand.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QFile>
#include <QPainter>

#include "flags/flags.h"
#include "flags/window_flags.h"
#include "experiment/experimentdata.h"
#include "experiment/experimentplots.h"
#include "experiment/statisticspanel.h"
#include "batch/sweep_table.h"
#include "session/configurations.h"
#include "session/labels.h"
#include "report/report.h"
#include "session/sweep_file.h"
#include "session/ui_language.h"
#include "model/text.h"

namespace kelvora::ui {

namespace {

int Fail(int status, const QString& message) {
    std::fprintf(stderr, "kelvora: %s\n", message.toLocal8Bit().constData());
    return status;
}

// The file's configurations grouped by their values, as every reader of sweep files groups them,
// each with its runs in file order.
struct Configurations {
    std::vector<kelvora::SweepCombination> first;
    std::vector<std::vector<const kelvora::SweepResult*>> runs;
};

Configurations Group(const std::vector<kelvora::SweepResult>& results) {
    Configurations c;
    kelvora::session::ConfigurationGroups groups;
    for (const kelvora::SweepResult& r : results) {
        const std::size_t k = groups.Add(r.combination);
        if (k == c.first.size()) {
            c.first.push_back(r.combination);
            c.runs.emplace_back();
        }
        c.runs[k].push_back(&r);
    }
    return c;
}

// The configurations' labels as the experiment window shows them: what sets each apart, or the
// label kept for it in the labels file beside the sweep file (the window's export), when there is one.
std::vector<std::string> Labels(const std::vector<kelvora::SweepCombination>& first, const QByteArray& input) {
    std::string warning;
    std::vector<std::string> labels = kelvora::session::SweepFileLabels(input.toStdString(), first, warning);
    if (!warning.empty()) std::fprintf(stderr, "kelvora: %s (the labels are left out)\n", warning.c_str());
    return labels;
}

// The line under a chart saved alone, in the language of the environment: what the runs are.
QString Caption(const std::vector<kelvora::SweepResult>& results, std::optional<double> epsilon) {
    return QString::fromStdString(kelvora::report::SetupLine(
        results, epsilon.value_or(kelvora::kDefaultEpsilon), epsilon.has_value(),
        kelvora::session::EnglishFromEnvironment() ? kelvora::report::Language::English : kelvora::report::Language::Japanese));
}

int PlotCriticalDifference(const std::vector<kelvora::SweepResult>& results, const QByteArray& input,
                           const QByteArray& output, double alpha, std::optional<double> epsilon) {
    const Configurations c = Group(results);
    const std::optional<CriticalDifference> d = CriticalDifferenceOf(Labels(c.first, input), c.runs, alpha);
    if (!d)
        return Fail(2, QStringLiteral("--kind cd: %1 holds %2 configuration(s); the diagram needs two or more, on two "
                                      "targets or more, each target run by every configuration")
                           .arg(QFile::decodeName(input))
                           .arg(c.first.size()));
    if (const QString reason = SaveCriticalDifference(output, *d, Caption(results, epsilon)); !reason.isEmpty())
        return Fail(1, QStringLiteral("%1: cannot be written: %2").arg(QFile::decodeName(output), reason));
    return 0;
}

int PlotResponse(const std::vector<kelvora::SweepResult>& results, const ResponseParameter& parameter,
                 const QByteArray& input, const QByteArray& output, std::optional<double> epsilon) {
    std::vector<const kelvora::SweepResult*> runs;
    for (const kelvora::SweepResult& r : results) runs.push_back(&r);
    QChart* chart = ResponseChart(runs, parameter);
    if (!chart)
        return Fail(2, QStringLiteral("--parameter %1: %2 holds no configuration run at two values of it or more")
                           .arg(QLatin1String(parameter.name), QFile::decodeName(input)));
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(900, 600);
    view.show();
    QCoreApplication::sendPostedEvents();  // the chart's layout requests: no input is read
    if (const QString reason = ExperimentPlots::save(&view, output, Caption(results, epsilon)); !reason.isEmpty())
        return Fail(1, QStringLiteral("%1: cannot be written: %2").arg(QFile::decodeName(output), reason));
    return 0;
}

}  // namespace

bool IsPlotCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--plot") == 0 || std::strncmp(argv[i], "--plot=", 7) == 0) return true;
    return false;
}

int RunPlotCommand(const QStringList& arguments) {
    QList<QByteArray> bytes;
    for (const QString& argument : arguments) bytes.append(QFile::encodeName(argument));
    return RunPlotCommand(bytes);
}

int RunPlotCommand(const QList<QByteArray>& arguments) {
    // The arguments as the system gave them (bytes), so that any file name works.
    kelvora::flags::PlotArgs plot;
    const kelvora::flags::FlagTable table = kelvora::flags::PlotTable(plot);
    const std::string &inputName = plot.input, &outputName = plot.output, &kind = plot.kind,
                      &parameterName = plot.parameter;
    const bool& evaluations = plot.evaluations;
    const std::optional<double>& alpha = plot.alpha;
    std::vector<std::string> args;
    for (int i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    if (const kelvora::flags::FlagParse parsed = kelvora::flags::ParseFlags(table, args); !parsed.ok())
        return Fail(2, QString::fromStdString(parsed.error));
    const QByteArray input = QByteArray::fromStdString(inputName);
    const QByteArray output = QByteArray::fromStdString(outputName);
    const ResponseParameter* parameter = FindResponseParameter(QString::fromStdString(parameterName));
    if (kind == "response" && !parameter)
        return Fail(2, QStringLiteral("--kind response needs --parameter P, one of population, generations, crossover, "
                                      "mutation, tournament, elitism, creep%1")
                           .arg(parameterName.empty() ? QString()
                                                      : QStringLiteral(" (not '%1')").arg(QString::fromStdString(parameterName))));
    if (kind != "response" && !parameterName.empty())
        return Fail(2, QStringLiteral("--parameter applies to --kind response only"));
    if (kind != "cd" && alpha) return Fail(2, QStringLiteral("--alpha applies to --kind cd only"));
    if (output.isEmpty()) return Fail(2, QStringLiteral("--output FILE.svg|FILE.png is required"));
    const QByteArray suffix = output.toLower();
    if (!suffix.endsWith(".svg") && !suffix.endsWith(".png"))
        return Fail(2, QStringLiteral("--output '%1' must end in .svg or .png").arg(QFile::decodeName(output)));

    std::vector<kelvora::SweepResult> results;
    const std::string name = input.toStdString();
    std::optional<double> recorded;
    const std::string error = kelvora::session::ReadSweepFile(name, name, results, &recorded);
    if (!error.empty()) return Fail(2, QString::fromStdString(error));
    if (!recorded)
        std::fprintf(stderr, "kelvora: %s: %s\n", name.c_str(), kelvora::session::EpsilonNotRecorded().c_str());
    if (kind == "cd") return PlotCriticalDifference(results, input, output, alpha.value_or(0.05), recorded);
    if (kind == "response")
        return PlotResponse(results, *parameter, input, output, recorded);

    // The chart is laid out as on screen and drawn, but never shown: the widget is not mapped.
    ExperimentPlots plots;
    plots.setAttribute(Qt::WA_DontShowOnScreen);
    plots.resize(900, 600);
    plots.setGroups(GroupsOfSweepRows(results, Labels(Group(results).first, input)), recorded.value_or(kelvora::kDefaultEpsilon));
    plots.setEvaluations(evaluations);
    QChartView* view = plots.runLengthView();
    plots.setCurrentWidget(view);
    plots.show();
    QCoreApplication::sendPostedEvents();  // the charts' layout requests: no input is read
    if (const QString reason = ExperimentPlots::save(view, output, Caption(results, recorded)); !reason.isEmpty())
        return Fail(1, QStringLiteral("%1: cannot be written: %2").arg(QFile::decodeName(output), reason));
    return 0;
}

}  // namespace kelvora::ui
