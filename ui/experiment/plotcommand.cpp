#include "experiment/plotcommand.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <QChartView>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "experiment/experimentdata.h"
#include "experiment/experimentplots.h"
#include "session/sweep_file.h"

namespace kelvora::ui {

namespace {

int Fail(int status, const QString& message) {
    std::fprintf(stderr, "kelvora: %s\n", message.toLocal8Bit().constData());
    return status;
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
    bool evaluations = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& flag = arguments[i];
        if (flag != QLatin1String("--plot") && flag != QLatin1String("--output") && flag != QLatin1String("--x"))
            return Fail(2, QStringLiteral("unknown argument '%1' (accepted: --plot SWEEP.csv --output FILE.svg|FILE.png "
                                          "[--x generations|evaluations])").arg(flag));
        if (i + 1 >= arguments.size()) return Fail(2, QStringLiteral("%1 needs a value").arg(flag));
        const QString value = arguments[++i];
        if (flag == QLatin1String("--plot")) input = value;
        else if (flag == QLatin1String("--output")) output = value;
        else if (value == QLatin1String("evaluations")) evaluations = true;
        else if (value != QLatin1String("generations"))
            return Fail(2, QStringLiteral("--x is '%1', expected generations or evaluations").arg(value));
    }
    if (output.isEmpty()) return Fail(2, QStringLiteral("--output FILE.svg|FILE.png is required"));
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix != QLatin1String("svg") && suffix != QLatin1String("png"))
        return Fail(2, QStringLiteral("--output '%1' must end in .svg or .png").arg(output));

    std::vector<kelvora::SweepResult> results;
    const std::string name = QFile::encodeName(input).toStdString();
    const std::string error = kelvora::session::ReadSweepFile(name, name, results);
    if (!error.empty()) return Fail(2, QString::fromStdString(error));

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
