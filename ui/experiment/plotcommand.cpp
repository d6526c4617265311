#include "experiment/plotcommand.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QChartView>
#include <QCoreApplication>
#include <QFile>

#include "flags.h"
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
    std::string inputName, outputName;
    bool evaluations = false;
    const auto store = [](std::string& into) {
        return [&into](const std::string& value) { into = value; return std::string(); };
    };
    const kelvora::cli::FlagTable table{
        {
            {"--plot", true, store(inputName)},
            {"--output", true, store(outputName)},
            {"--x", true,
             [&evaluations](const std::string& value) {
                 if (value != "generations" && value != "evaluations")
                     return "--x is '" + value + "', expected generations or evaluations";
                 evaluations = value == "evaluations";
                 return std::string();
             }},
        },
        "kelvora --help",
        nullptr,
        false,
        [](const std::string& argument) {
            return "unknown argument '" + argument +
                   "' (accepted: --plot SWEEP.csv --output FILE.svg|FILE.png [--x generations|evaluations])";
        }};
    std::vector<std::string> args;
    for (int i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    if (const kelvora::cli::FlagParse parsed = kelvora::cli::ParseFlags(table, args); !parsed.ok())
        return Fail(2, QString::fromStdString(parsed.error));
    const QByteArray input = QByteArray::fromStdString(inputName);
    const QByteArray output = QByteArray::fromStdString(outputName);
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
