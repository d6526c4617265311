#include "experiment/plotcommand.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <QChartView>
#include <QCoreApplication>
#include <QFile>

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
    QList<QByteArray> bytes;
    for (const QString& argument : arguments) bytes.append(QFile::encodeName(argument));
    return RunPlotCommand(bytes);
}

int RunPlotCommand(const QList<QByteArray>& arguments) {
    QByteArray input;
    QByteArray output;
    bool evaluations = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QByteArray& flag = arguments[i];
        if (flag != "--plot" && flag != "--output" && flag != "--x")
            return Fail(2, QStringLiteral("unknown argument '%1' (accepted: --plot SWEEP.csv --output FILE.svg|FILE.png "
                                          "[--x generations|evaluations])").arg(QFile::decodeName(flag)));
        if (i + 1 >= arguments.size()) return Fail(2, QStringLiteral("%1 needs a value").arg(QFile::decodeName(flag)));
        const QByteArray value = arguments[++i];
        if (flag == "--plot") input = value;
        else if (flag == "--output") output = value;
        else if (value == "evaluations") evaluations = true;
        else if (value != "generations")
            return Fail(2, QStringLiteral("--x is '%1', expected generations or evaluations").arg(QFile::decodeName(value)));
    }
    if (output.isEmpty()) return Fail(2, QStringLiteral("--output FILE.svg|FILE.png is required"));
    const QByteArray suffix = output.toLower();
    if (!suffix.endsWith(".svg") && !suffix.endsWith(".png"))
        return Fail(2, QStringLiteral("--output '%1' must end in .svg or .png").arg(QFile::decodeName(output)));

    std::vector<kelvora::SweepResult> results;
    const std::string name = input.toStdString();
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
    if (const QString reason = ExperimentPlots::save(view, output); !reason.isEmpty())
        return Fail(1, QStringLiteral("%1: cannot be written: %2").arg(QFile::decodeName(output), reason));
    return 0;
}

}  // namespace kelvora::ui
