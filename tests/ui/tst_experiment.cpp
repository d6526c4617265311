// The experiment window: the run-length numbers it shows are those of its own runs, a cancelled
// sweep keeps whole runs in order, and `kelvora --plot` draws a sweep CSV into a file.

#include <cmath>
#include <cstdio>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTabBar>
#include <QLogValueAxis>
#include <QScatterSeries>
#include <QValueAxis>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <atomic>

#include "report/report.h"
#include "batch/runlength.h"
#include "batch/sweep_table.h"
#include "experiment/experimentplots.h"
#include "experiment/experimentwindow.h"
#include "experiment/plotcommand.h"
#include "experiment/statisticspanel.h"
#include "session/labels.h"
#include "app/uilanguage.h"
#include "experimenttestsupport.h"
#include "uitestsupport.h"

namespace {

// Run `run` of a sweep of four whose crossover is crossover, as `sweep` writes it.
QByteArray Row(long long run, double crossover) {
    kelvora::SweepResult r;
    r.combination.params = {20, 100, crossover, 0.1};
    r.combination.target = {68, 180};
    r.combination.seed = static_cast<std::uint32_t>(run);
    r.eliteDistance = 1.5;
    r.optimumDistance = 0.25;
    r.firstGenerationWithinEpsilon = static_cast<int>(10 * run);
    return QByteArray::fromStdString(kelvora::SweepRow(r, run - 1, 4, "0123456789abcdef", 0.5));
}

// A sweep file of configurations, each "ENCODING MUTATION POPULATION" (20 generations), run over
// targets and seeds (seed fastest); a run of configuration c with seed s ends within 0.5 px when
// s <= within[c] (first there at generation 9), else 3.25 px away.
QByteArray SweepOf(const QStringList& configurations, const QList<QPoint>& targets, const QList<int>& seeds,
                   const QList<int>& within = {}) {
    QByteArray text = QByteArray::fromStdString(kelvora::SweepHeader());
    const long long runs = configurations.size() * targets.size() * seeds.size();
    long long run = 0;
    for (qsizetype c = 0; c < configurations.size(); ++c) {
        const QStringList parts = configurations[c].split(QLatin1Char(' '));
        kelvora::SweepResult r;
        r.combination.params = {parts[2].toInt(), 20, 0.5, 0.1};
        if (!kelvora::ParseEncoding(parts[0].toStdString(), r.combination.algorithm).empty() ||
            !kelvora::ParseMutation(parts[1].toStdString(), r.combination.algorithm).empty())
            qFatal("bad configuration %s", qPrintable(configurations[c]));
        for (const QPoint& target : targets)
            for (const int seed : seeds) {
                r.combination.target = {target.x(), target.y()};
                r.combination.seed = static_cast<std::uint32_t>(seed);
                const bool close = seed <= within.value(c, 0);
                r.eliteDistance = close ? 0.2 + 0.0031 * seed : 3.25;
                r.optimumDistance = 0.125;
                r.firstGenerationWithinEpsilon = close ? 9 : 0;
                text += QByteArray::fromStdString(kelvora::SweepRow(r, run++, runs, "00112233445566aa", 1.5));
            }
    }
    return text;
}

QString Written(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
}

// The reading of a sweep file held at a row until released (the seam of the window's reader).
QSemaphore g_reached;
QSemaphore g_release;
std::atomic<long long> g_holdAt{-1};
void HoldReading(long long rows) {
    if (rows != g_holdAt) return;
    g_reached.release();
    g_release.acquire();
}

// Message boxes recorded, and whether a progress dialog was still up under one.
bool g_progressUnderMessage = false;
void RecordMessageOverProgress(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    for (QWidget* widget : QApplication::allWidgets())
        if (qobject_cast<QProgressDialog*>(widget) && widget->isVisible()) g_progressUnderMessage = true;
    uitest::RecordMessage(parent, icon, text);
}

}  // namespace

class TestExperiment : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetMessageBoxFunction(RecordMessageOverProgress);
        ExperimentWindow::SetOpenSeam(HoldReading);
    }
    // Every case starts from an empty table, not from the one the last case's window left.
    void init() { AppSettings().remove(QStringLiteral("experiment/table")); }
    void plotsShowTheRunsAndPlotFromTheirCsv();
    void cancellingKeepsWholeRuns();
    void sweepFilesAreReadByTheCommandLinesRules();
    void openingIsOffTheWindowsThread_data();
    void openingIsOffTheWindowsThread();
    void plansAreHeldToTheCommandLinesLimits_data();
    void plansAreHeldToTheCommandLinesLimits();
    void plotPictureIsWrittenWholeOrNotAtAll_data();
    void plotPictureIsWrittenWholeOrNotAtAll();
    void plotsTheCriticalDifferenceAndTheResponseOfASweepCsv();
    void verdictsAreWords();
    void plotRefusesNamingTheValue_data();
    void plotRefusesNamingTheValue();
    void labelsNameWhatDiffersAndSurviveExportAndReopen();
    void reportIsOfTheRunsShownAndRefusedWhileStale();
    void tickIntervalsFollowTheOneTwoFiveRule_data();
    void tickIntervalsFollowTheOneTwoFiveRule();
    void axesStartAtTheFirstPossibleValue();
    void configurationsWearThePaletteAndReferencesGrey();
    void configurationsPastTheEighthAreDashed();
    void mediansSayHowManyRunsTheyAreOver_data();
    void mediansSayHowManyRunsTheyAreOver();
    void openedFileFillsTheTable_data();
    void openedFileFillsTheTable();
    void summaryColumnsFitTheOpeningWidth_data();
    void summaryColumnsFitTheOpeningWidth();
    void everyTabShowsInANarrowWindow_data();
    void everyTabShowsInANarrowWindow();
};

void TestExperiment::plotsShowTheRunsAndPlotFromTheirCsv() {
    auto window = NewWindow(20, 40);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    ExperimentWindowTestAccess::configurations(*window)->item(1, 1)->setText(QStringLiteral("random-search"));
    ExperimentWindowTestAccess::seedsEdit(*window)->setText(QStringLiteral("1..30"));
    QSignalSpy finished(window.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(window->run());
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), false);
    for (bool evaluations : {false, true}) {
        ExperimentWindowTestAccess::plots(*window)->setEvaluations(evaluations);
        for (int row = 0; row < 2; ++row) {
            const auto& results = ExperimentWindowTestAccess::results(*window, row);
            QCOMPARE(results.size(), std::size_t{30});
            std::vector<int> first;
            for (const auto& r : results) first.push_back(r.firstGenerationWithinEpsilon);
            const auto expected = kelvora::RunLengthDistribution(first, 40, 20, evaluations);
            const QList<QPointF> shown = ExperimentPlotsTestAccess::runLengthPoints(*ExperimentWindowTestAccess::plots(*window), row);
            QCOMPARE(shown.size(), static_cast<qsizetype>(expected.size()));
            for (std::size_t k = 0; k < expected.size(); ++k) {
                QCOMPARE(shown[static_cast<qsizetype>(k)].x(), static_cast<double>(expected[k].x));
                QCOMPARE(shown[static_cast<qsizetype>(k)].y(), expected[k].within.rate);
            }
        }
    }
    // Its runs as a sweep CSV draw the chart without a window; bad arguments write nothing.
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("sweep.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(window->runsCsv());
    file.close();
    // The same file opened in a window gives the same numbers as running it did.
    auto opened = NewWindow(20, 40);
    QVERIFY(Open(*opened, csv));
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(ExperimentWindowTestAccess::results(*opened, row).size(), std::size_t{30});
        for (bool evaluations : {false, true}) {
            ExperimentWindowTestAccess::plots(*window)->setEvaluations(evaluations);
            ExperimentWindowTestAccess::plots(*opened)->setEvaluations(evaluations);
            QCOMPARE(ExperimentPlotsTestAccess::runLengthPoints(*ExperimentWindowTestAccess::plots(*opened), row),
                     ExperimentPlotsTestAccess::runLengthPoints(*ExperimentWindowTestAccess::plots(*window), row));
        }
        for (int column = 1; column < ExperimentWindowTestAccess::summary(*window)->columnCount(); ++column)
            QCOMPARE(ExperimentWindowTestAccess::summary(*opened)->item(row, column)->text(), ExperimentWindowTestAccess::summary(*window)->item(row, column)->text());
    }
    QCOMPARE(opened->runsCsv(), window->runsCsv());
    // A chart saved alone says the epsilon the file records; of a file written before rows carried
    // it, that it was assumed.
    QVERIFY2(ExperimentWindowTestAccess::chartCaption(*opened).startsWith(QStringLiteral("ε = ")), qPrintable(ExperimentWindowTestAccess::chartCaption(*opened)));
    QByteArray older = QByteArray::fromStdString(kelvora::SweepHeaderWithoutEpsilon());
    for (const QByteArray& row : window->runsCsv().split('\n').mid(1))
        if (!row.isEmpty()) older += row.left(row.lastIndexOf(',')) + '\n';
    const QString olderCsv = dir.filePath(QStringLiteral("older.csv"));
    QFile olderFile(olderCsv);
    QVERIFY(olderFile.open(QIODevice::WriteOnly) && olderFile.write(older) == older.size());
    olderFile.close();
    auto assumed = NewWindow(20, 40);
    QVERIFY(Open(*assumed, olderCsv));
    QVERIFY2(ExperimentWindowTestAccess::chartCaption(*assumed).startsWith(QStringLiteral("ε の記録なし、0.5 と仮定 · ")), qPrintable(ExperimentWindowTestAccess::chartCaption(*assumed)));
    const QString svg = dir.filePath(QStringLiteral("plot.svg"));
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), csv, QStringLiteral("--output"), svg}), 0);
    QFile picture(svg);
    QVERIFY(picture.open(QIODevice::ReadOnly));
    const QByteArray bytes = picture.readAll();
    QVERIFY(bytes.contains("<svg") && bytes.contains("<path"));
    // --flag=value as every kelvora-cli command takes it: the same picture.
    const QString attached = dir.filePath(QStringLiteral("attached.svg"));
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot=") + csv, QStringLiteral("--output=") + attached}), 0);
    QFile attachedPicture(attached);
    QVERIFY(attachedPicture.open(QIODevice::ReadOnly));
    QCOMPARE(attachedPicture.readAll(), bytes);
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), csv, QStringLiteral("--output=") + attached,
                             QStringLiteral("--output"), attached}),
             2);  // given twice
    const QString bad = dir.filePath(QStringLiteral("bad.svg"));
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), csv, QStringLiteral("--output"), bad,
                             QStringLiteral("--x"), QStringLiteral("runs")}),
             2);
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), svg, QStringLiteral("--output"), bad}), 2);
    // A configuration with rows of two sweeps is refused, as kelvora-cli ecdf refuses it.
    QFile runs(csv);
    QVERIFY(runs.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = runs.readAll().split('\n');
    QByteArray other = lines[1];
    other.replace(other.lastIndexOf(',') + 1, 16, "0123456789abcdef");
    const QString mixed = dir.filePath(QStringLiteral("mixed.csv"));
    QFile mixedFile(mixed);
    QVERIFY(mixedFile.open(QIODevice::WriteOnly));
    mixedFile.write(lines[0] + '\n' + lines[1] + '\n' + other + '\n');
    mixedFile.close();
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), mixed, QStringLiteral("--output"), bad}), 2);
    QVERIFY(!QFile::exists(bad));
}

void TestExperiment::cancellingKeepsWholeRuns() {
    auto window = NewWindow(200, 300);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    ExperimentWindowTestAccess::seedsEdit(*window)->setText(QStringLiteral("1..100000"));
    QSignalSpy finished(window.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(window->run());
    QTRY_VERIFY_WITH_TIMEOUT(!ExperimentWindowTestAccess::results(*window, 0).empty(), 30000);
    window->cancel();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), true);
    const auto& kept = ExperimentWindowTestAccess::results(*window, 0);
    QVERIFY(!kept.empty() && kept.size() < 100000);
    // The first runs in order, each the very run a sweep makes of its seed.
    auto buffers = std::make_unique<kelvora::RunBuffers>();
    for (std::size_t k : {std::size_t{0}, kept.size() - 1}) {
        QCOMPARE(kept[k].combination.seed, static_cast<std::uint32_t>(k + 1));
        const auto again = kelvora::RunCombination(kept[k].combination, kept[k].optimumDistance, 0.5, *buffers);
        QCOMPARE(kept[k].eliteDistance, again.eliteDistance);
        QCOMPARE(kept[k].firstGenerationWithinEpsilon, again.firstGenerationWithinEpsilon);
    }
    QCOMPARE(ExperimentWindowTestAccess::summary(*window)->item(0, 6)->text(), QString::number(kept.size()));  // 実行数
}

void TestExperiment::openingIsOffTheWindowsThread_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("read to its end") << false;
    QTest::newRow("stopped from the progress dialog") << true;
}

void TestExperiment::openingIsOffTheWindowsThread() {
    QFETCH(bool, stop);
    QTemporaryDir dir;
    const QString first = Written(dir, "first.csv", SweepOf({"binary bit-flip 20"}, {{68, 180}}, {1, 2, 3}, {2}));
    const QString second =
        Written(dir, "second.csv", SweepOf({"binary bit-flip 20", "gray bit-flip 20"}, {{68, 180}, {-40, 120}}, {1, 2, 3, 4, 5}, {5, 1}));
    auto window = NewWindow(20, 10);
    QVERIFY(Open(*window, first));
    // Held at its fourth row: openSweep has returned and the window answers, under the progress dialog.
    g_holdAt = 3;
    QSignalSpy opened(window.get(), &ExperimentWindow::sweepOpened);
    QVERIFY(window->openSweep(second));
    QVERIFY(g_reached.tryAcquire(1, 30000));
    QVERIFY(ExperimentWindowTestAccess::isOpening(*window));
    QVERIFY(!window->openSweep(first));  // one file at a time
    QVERIFY(!window->run());
    auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("OpenSweepProgress"));
    QVERIFY(progress);
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    if (stop) {
        auto* button = progress->findChild<QPushButton*>();
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("中止"));
        button->click();
    }
    g_holdAt = -1;
    g_release.release();
    QVERIFY(opened.wait(30000));
    QCOMPARE(opened.first().first().toBool(), !stop);
    QVERIFY(!ExperimentWindowTestAccess::isOpening(*window));
    QVERIFY(!window->findChild<QProgressDialog*>());
    QVERIFY(uitest::Messages().isEmpty());
    // Stopped, the first file stays shown; read, the second shows whole.
    QCOMPARE(ExperimentWindowTestAccess::configurationCount(*window), stop ? 1 : 2);
    QCOMPARE(ExperimentWindowTestAccess::results(*window, 0).size(), std::size_t(stop ? 3 : 10));
    QCOMPARE(ExperimentWindowTestAccess::seedsEdit(*window)->text(), stop ? QStringLiteral("1..3") : QStringLiteral("1..5"));
    QCOMPARE(ExperimentWindowTestAccess::targetsEdit(*window)->text(), stop ? QStringLiteral("68,180") : QStringLiteral("68,180 -40,120"));
    QCOMPARE(window->runsCsv(), stop ? SweepOf({"binary bit-flip 20"}, {{68, 180}}, {1, 2, 3}, {2})
                                     : SweepOf({"binary bit-flip 20", "gray bit-flip 20"}, {{68, 180}, {-40, 120}},
                                               {1, 2, 3, 4, 5}, {5, 1}));
}

void TestExperiment::sweepFilesAreReadByTheCommandLinesRules() {
    QTemporaryDir dir;
    const QByteArray header = QByteArray::fromStdString(kelvora::SweepHeader());
    // 0.5 and 0.5000001 print alike with six digits: two configurations of two runs each.
    const QString two = Written(dir, "two.csv", header + Row(1, 0.5) + Row(2, 0.5000001) + Row(3, 0.5) + Row(4, 0.5000001));
    auto window = NewWindow(20, 100);
    QVERIFY(Open(*window, two));
    QCOMPARE(ExperimentWindowTestAccess::results(*window, 0).size(), std::size_t{2});
    QCOMPARE(ExperimentWindowTestAccess::results(*window, 1).size(), std::size_t{2});
    QCOMPARE(ExperimentWindowTestAccess::results(*window, 1).front().combination.params.crossoverRate, 0.5000001);
    QCOMPARE(ExperimentWindowTestAccess::summary(*window)->rowCount(), 2);
    QVERIFY(ExperimentWindowTestAccess::summary(*window)->item(0, 0)->text() != ExperimentWindowTestAccess::summary(*window)->item(1, 0)->text());
    QCOMPARE(window->runsCsv().count('\n'), 5);  // the header and all four runs

    // A FIFO no one writes is refused at once (opened blocking, it would wait for ever), a repeated
    // run is refused naming both lines: in the window and by kelvora --plot alike.
    const QString fifo = dir.filePath(QStringLiteral("fifo.csv"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString repeated = Written(dir, "repeated.csv", header + Row(1, 0.5) + Row(3, 0.5) + Row(1, 0.5));
    const QString svg = dir.filePath(QStringLiteral("plot.svg"));
    for (const auto& [path, says] : {std::pair{fifo, QStringLiteral("a FIFO, not a regular file or a character device")},
                                     std::pair{repeated, QStringLiteral("repeated.csv:4: the row repeats run 1 of sweep "
                                                                        "0123456789abcdef, the row of line 2")}}) {
        uitest::Messages().clear();
        g_progressUnderMessage = false;
        QVERIFY(!Open(*NewWindow(20, 100), path));
        QVERIFY(!g_progressUnderMessage);  // never two modals: the progress has gone first
        QCOMPARE(uitest::Messages().size(), 1);
        QVERIFY2(uitest::Messages().first().text.contains(says), qPrintable(uitest::Messages().first().text));
        QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), path, QStringLiteral("--output"), svg}), 2);
        QVERIFY(!QFile::exists(svg));
    }
    uitest::Messages().clear();
}

void TestExperiment::plansAreHeldToTheCommandLinesLimits_data() {
    QTest::addColumn<QString>("seeds");
    QTest::addColumn<QString>("epsilon");
    QTest::addColumn<QString>("says");
    QTest::newRow("epsilon 0") << "1..3" << "0" << "ε: 0 より大きく 1000 以下";
    QTest::newRow("epsilon above 1000") << "1..3" << "1000.5" << "ε: 0 より大きく 1000 以下";
    QTest::newRow("a seed twice") << "1..3,2" << "0.5" << "シード 2 が 2 回あります";
    QTest::newRow("a seed twice, out of order") << "7,1..3,7" << "0.5" << "シード 7 が 2 回あります";
}

void TestExperiment::plansAreHeldToTheCommandLinesLimits() {
    QFETCH(QString, seeds);
    QFETCH(QString, epsilon);
    QFETCH(QString, says);
    uitest::Messages().clear();
    auto window = NewWindow(10, 5);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    ExperimentWindowTestAccess::seedsEdit(*window)->setText(seeds);
    ExperimentWindowTestAccess::epsilonEdit(*window)->setText(epsilon);
    QVERIFY(!window->run());
    QCOMPARE(uitest::Messages().size(), 1);
    QVERIFY2(uitest::Messages().first().text.contains(says), qPrintable(uitest::Messages().first().text));
    QVERIFY(!window->isRunning());
    uitest::Messages().clear();
}

// The bytes of the file at a name as the file system spells it ("" when there is none).
QByteArray ReadNamed(const QByteArray& name) {
    QByteArray bytes;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return bytes;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

void TestExperiment::plotPictureIsWrittenWholeOrNotAtAll_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("setup");  // what stands at the output, or the room the disk has
    QTest::addColumn<int>("status");
    QTest::newRow("svg") << QByteArray("s.csv") << QByteArray("p.svg") << "old file" << 0;
    QTest::newRow("png over a link") << QByteArray("s.csv") << QByteArray("p.png") << "link" << 0;
    QTest::newRow("input name not UTF-8") << QByteArray("x\xff.csv") << QByteArray("p.svg") << "" << 0;
    QTest::newRow("output name not UTF-8") << QByteArray("s.csv") << QByteArray("z\xff.svg") << "" << 0;
    QTest::newRow("FIFO") << QByteArray("s.csv") << QByteArray("p.svg") << "fifo" << 1;
    QTest::newRow("directory") << QByteArray("s.csv") << QByteArray("p.png") << "directory" << 1;
    QTest::newRow("full disk svg") << QByteArray("s.csv") << QByteArray("p.svg") << "full" << 1;
    QTest::newRow("full disk png") << QByteArray("s.csv") << QByteArray("p.png") << "full" << 1;
}

// A picture reaches its name whole or not at all: a FIFO is not waited on, a full disk leaves the
// old picture and no temporary file, and names that are not UTF-8 are kept byte for byte.
void TestExperiment::plotPictureIsWrittenWholeOrNotAtAll() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QFETCH(QString, setup);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray at = QFile::encodeName(dir.path()) + '/';
    kelvora::SweepPlan plan;
    plan.populations = {10};
    plan.generations = {5};
    plan.crossovers = {0.5};
    plan.mutations = {0.1};
    plan.targets = {{68, 180}};
    plan.seeds = {1, 2, 3};
    QByteArray csv = QByteArray::fromStdString(kelvora::SweepHeader());
    kelvora::RunSweep(plan, {.threads = 1}, [&](long long index, const kelvora::SweepResult& r) {
        csv += QByteArray::fromStdString(kelvora::SweepRow(r, index, 3, kelvora::SweepFingerprint(plan), plan.epsilon));
    });
    {
        const int fd = ::open((at + input).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0 && ::write(fd, csv.constData(), csv.size()) == csv.size());
        ::close(fd);
    }
    const QByteArray path = at + output;
    struct Remove {  // the names QTemporaryDir cannot spell
        QByteArray input, output;
        ~Remove() {
            ::unlink(input.constData());
            ::unlink(output.constData());
        }
    } remove{at + input, path};
    const QByteArray old("old picture");
    QFile target(dir.filePath(QStringLiteral("target")));
    if (setup == QLatin1String("old file") || setup == QLatin1String("full")) {
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    } else if (setup == QLatin1String("link")) {
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.close();
        QVERIFY(QFile::link(target.fileName(), QFile::decodeName(path)));
    } else if (setup == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    } else if (setup == QLatin1String("directory")) {
        QCOMPARE(::mkdir(path.constData(), 0755), 0);
    }
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    if (setup == QLatin1String("full")) {  // no file may grow past 1000 bytes, as on a full disk
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit full{1000, before.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
    }
    const int got = RunPlotCommand(QList<QByteArray>{"kelvora", "--plot", at + input, "--output", path});
    ::setrlimit(RLIMIT_FSIZE, &before);
    QCOMPARE(got, status);
    QVERIFY(!QFileInfo::exists(QFile::decodeName(path) + QStringLiteral(".part")));
    const QByteArray written = ReadNamed(path);
    if (status == 0) {
        QVERIFY(output.endsWith(".svg") ? written.contains("</svg>") : written.startsWith("\x89PNG"));
        if (setup == QLatin1String("link")) {
            QVERIFY(QFileInfo(QFile::decodeName(path)).isSymLink());
            QCOMPARE(ReadNamed(QFile::encodeName(target.fileName())), written);
        }
    } else if (setup == QLatin1String("full")) {
        QCOMPARE(written, old);
    } else if (setup == QLatin1String("fifo")) {
        struct stat info {};
        QVERIFY(::lstat(path.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }
}

QTEST_MAIN(TestExperiment)

// A sweep CSV of two algorithms, two mutation rates and two targets: the critical-difference diagram
// names its four configurations, the response curve runs over the mutation rate; what the file cannot
// show is refused, writing nothing.
void TestExperiment::plotsTheCriticalDifferenceAndTheResponseOfASweepCsv() {
    kelvora::SweepPlan plan;
    kelvora::Algorithm gray;
    gray.encoding = kelvora::Encoding::gray;
    plan.algorithms = {kelvora::Algorithm{}, gray};
    plan.populations = {10};
    plan.generations = {8};
    plan.crossovers = {0.5};
    plan.mutations = {0.05, 0.1};
    plan.targets = {{68, 180}, {-50, 20}};
    plan.seeds = {1, 2, 3};
    plan.epsilon = 20;
    std::string text = kelvora::SweepHeader();
    const std::string fingerprint = kelvora::SweepFingerprint(plan);
    std::vector<long long> successes(4, 0);  // by configuration, in the plan's order: 6 runs each
    kelvora::RunSweep(plan, {}, [&](long long index, const kelvora::SweepResult& r) {
        text += kelvora::SweepRow(r, index, kelvora::CombinationCount(plan), fingerprint, plan.epsilon);
        successes[static_cast<std::size_t>(index / 6)] += r.firstGenerationWithinEpsilon > 0;
    });
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("sweep.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    file.close();
    const auto plot = [&](const QStringList& more, const QString& output) {
        return RunPlotCommand(QStringList{QStringLiteral("kelvora"), QStringLiteral("--plot"), csv, QStringLiteral("--output"), output} + more);
    };
    const QString cd = dir.filePath(QStringLiteral("cd.svg"));
    QCOMPARE(plot({QStringLiteral("--kind"), QStringLiteral("cd")}, cd), 0);
    QFile picture(cd);
    QVERIFY(picture.open(QIODevice::ReadOnly));
    const QByteArray svg = picture.readAll();
    for (const char* label : {">classic (", ">mut 0.1 (", ">gray (", ">mut 0.1, gray ("})
        QVERIFY2(svg.contains(label), label);
    // Nemenyi's critical difference q_a / sqrt 2 * sqrt(k (k + 1) / (6 N)), k = 4 configurations on
    // N = 2 targets, q_a of the studentized range at infinite degrees of freedom: 3.633 (0.05), 3.240 (0.10).
    const auto drawnCd = [](const QByteArray& picture) {  // the one number drawn with three decimals
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("> ?([0-9]+\\.[0-9]{3})</text>")).match(QString::fromUtf8(picture));
        return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
    };
    QVERIFY(std::abs(drawnCd(svg) - 3.633 / std::sqrt(2.0) * std::sqrt(20.0 / 12.0)) < 2e-3);
    // Under the diagram the line every chart saved alone carries: what the runs are.
    const QByteArray cdCaption = svg.mid(svg.indexOf("<desc>"), svg.indexOf("</desc>") - svg.indexOf("<desc>"));
    for (const char* part : {"ε = 20 px", "(1..3)", "(68, 180), (-50, 20)"}) QVERIFY2(cdCaption.contains(part), cdCaption.constData());
    const QString cd10 = dir.filePath(QStringLiteral("cd10.svg"));
    QCOMPARE(plot({QStringLiteral("--kind"), QStringLiteral("cd"), QStringLiteral("--alpha=0.1")}, cd10), 0);
    QFile picture10(cd10);
    QVERIFY(picture10.open(QIODevice::ReadOnly));
    const QByteArray svg10 = picture10.readAll();
    QVERIFY(svg10.contains("α = 0.1"));
    QVERIFY(std::abs(drawnCd(svg10) - 3.240 / std::sqrt(2.0) * std::sqrt(20.0 / 12.0)) < 2e-3);
    const QString response = dir.filePath(QStringLiteral("response.png"));
    QCOMPARE(plot({QStringLiteral("--kind"), QStringLiteral("response"), QStringLiteral("--parameter"), QStringLiteral("mutation")}, response), 0);
    QCOMPARE(QImage(response).width(), 900);
    QVERIFY(QImage(response).height() > 600);  // the chart, and its caption line under it
    const QString bad = dir.filePath(QStringLiteral("bad.png"));
    for (const QStringList& args : {QStringList{QStringLiteral("--kind"), QStringLiteral("response")},
                                    QStringList{QStringLiteral("--kind"), QStringLiteral("response"), QStringLiteral("--parameter"), QStringLiteral("crossover")},
                                    QStringList{QStringLiteral("--kind"), QStringLiteral("response"), QStringLiteral("--parameter"), QStringLiteral("seed")},
                                    QStringList{QStringLiteral("--kind"), QStringLiteral("pie")},
                                    QStringList{QStringLiteral("--parameter"), QStringLiteral("mutation")}}) {
        QCOMPARE(plot(args, bad), 2);
        QVERIFY(!QFile::exists(bad));
    }

    // The same file in the window: the 統計 tab tests each configuration against the first (no
    // classic one other than it), Fisher's p from the counts, and every pair on request.
    auto window = NewWindow(20, 40);
    QVERIFY(Open(*window, csv));
    StatisticsPanel* panel = ExperimentWindowTestAccess::statistics(*window);
    // Each pair on two rows: its numbers, then its verdict across them all, whole in its tooltip too,
    // the sentence the CSV exports.
    QCOMPARE(panel->table()->rowCount(), 6);
    const QList<QByteArray> againstFirst = panel->csv().split('\n');
    for (int row = 0; row < 3; ++row) {
        const long long a = successes[static_cast<std::size_t>(row + 1)], b = successes[0];
        QCOMPARE(panel->table()->item(2 * row, 2)->text(), QStringLiteral("%1/6 : %2/6").arg(a).arg(b));
        QCOMPARE(panel->table()->item(2 * row, 3)->text(), QString::number(kelvora::FisherExactTwoSided(a, 6, b, 6), 'g', 2));
        const QTableWidgetItem* verdict = panel->table()->item(2 * row + 1, 0);
        QCOMPARE(panel->table()->columnSpan(2 * row + 1, 0), panel->table()->columnCount());
        QCOMPARE(verdict->toolTip(), verdict->text());
        QVERIFY(againstFirst[row + 1].endsWith(",\"" + verdict->text().toUtf8() + '"'));
    }
    QCOMPARE(ExperimentWindowTestAccess::summary(*window)->item(0, 4)->text(), QStringLiteral("基準"));
    // The summary's rate carries its Holm-adjusted Fisher p against the baseline, over the three pairs.
    std::vector<double> fisher;
    for (std::size_t k = 1; k < 4; ++k) fisher.push_back(kelvora::FisherExactTwoSided(successes[k], 6, successes[0], 6));
    QCOMPARE(ExperimentWindowTestAccess::summary(*window)->item(1, 4)->text(),
             QStringLiteral("p ") + QString::fromStdString(kelvora::PValueText(kelvora::HolmAdjust(fisher)[0])));
    panel->baseline()->setCurrentIndex(panel->baseline()->count() - 1);
    QCOMPARE(panel->table()->rowCount(), 12);
    QCOMPARE(ExperimentWindowTestAccess::summary(*window)->item(1, 4)->text(), QString());
    const QList<QByteArray> exported = panel->csv().split('\n');
    QCOMPARE(exported.size(), 8);  // the header, six pairs and the nothing after the last LF
    QCOMPARE(exported[0], QByteArray("a,b,a_successes,a_runs,b_successes,b_runs,fisher_p,fisher_p_holm,mwu_u,mwu_p,mwu_p_holm,a12,verdict"));
    QVERIFY(exported[1].contains(QStringLiteral(",%1,6,%2,6,").arg(successes[0]).arg(successes[1]).toUtf8()));
    QVERIFY(panel->criticalDifference().has_value());
    double ranks = 0;
    for (double r : panel->criticalDifference()->friedman.meanRanks) ranks += r;
    QCOMPARE(ranks, 1.0 + 2.0 + 3.0 + 4.0);
    // The 応答 tab: over the mutation rate, classic and gray each a curve (rate, band, median, IQR).
    ResponsePanel* curves = ExperimentWindowTestAccess::response(*window);
    QCOMPARE(curves->parameter()->currentData().toString(), QStringLiteral("mutation"));
    QVERIFY(curves->chart());
    QCOMPARE(curves->chart()->series().size(), 8);
    curves->parameter()->setCurrentIndex(2);  // the crossover rate: one value only
    QVERIFY(!curves->chart());
}

// The verdicts in words, as the window writes them.
void TestExperiment::verdictsAreWords() {
    kelvora::PairVerdictInput in{"gray", "classic", 30, 40, 16, 40, 0.0032, 0.02, 0.75, 40, 1};
    QCOMPARE(VerdictText(in, 0.05), QStringLiteral("gray は classic より成功が多い (30/40 対 16/40, Holm 補正後 p = 0.0032)、大きい効果"));
    in.fisherPHolm = 0.2;
    QCOMPARE(VerdictText(in, 0.05), QStringLiteral("gray は classic より目標点に近く終わる (A12 = 0.750, Holm 補正後 p = 0.02)、大きい効果"));
    in.mwuPHolm = 0.3;
    QCOMPARE(VerdictText(in, 0.05), QStringLiteral("gray と classic の差の証拠なし (40 シード)"));
    in.targets = 3;  // every verdict names its pair, and reads as the report's
    QCOMPARE(VerdictText(in, 0.05), QStringLiteral("gray と classic の差の証拠なし (40 シード × 目標点 3 個)"));
    QCOMPARE(VerdictText(in, 0.05), QString::fromStdString(kelvora::report::VerdictText(in, 0.05, kelvora::report::Language::Japanese)));
}

// Flags refused before any file is read, each message naming the value given.
void TestExperiment::plotRefusesNamingTheValue_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    const QString cd = QStringLiteral("--kind=cd"), response = QStringLiteral("--kind=response");
    QTest::newRow("alpha 0") << QStringList{cd, QStringLiteral("--alpha=0")} << "--alpha: '0' is not a level in (0, 1)";
    QTest::newRow("alpha 1") << QStringList{cd, QStringLiteral("--alpha"), QStringLiteral("1")}
                             << "--alpha: '1' is not a level in (0, 1)";
    QTest::newRow("alpha text") << QStringList{cd, QStringLiteral("--alpha=five")} << "--alpha: 'five' is not a level in (0, 1)";
    QTest::newRow("alpha nan") << QStringList{cd, QStringLiteral("--alpha=nan")} << "--alpha: 'nan' is not a level in (0, 1)";
    QTest::newRow("alpha without cd") << QStringList{QStringLiteral("--alpha=0.1")} << "--alpha applies to --kind cd only";
    QTest::newRow("unknown parameter") << QStringList{response, QStringLiteral("--parameter=seed")} << "(not 'seed')";
}

void TestExperiment::plotRefusesNamingTheValue() {
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("never.svg"));
    QTemporaryFile err;
    QVERIFY(err.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(err.handle(), 2);
    const int status = RunPlotCommand(QStringList{QStringLiteral("kelvora"), QStringLiteral("--plot"),
                                                  dir.filePath(QStringLiteral("none.csv")), QStringLiteral("--output"), output} + args);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    QCOMPARE(status, 2);
    QVERIFY(!QFile::exists(output));
    err.seek(0);
    const QString message = QString::fromLocal8Bit(err.readAll());
    QVERIFY2(message.contains(says), qPrintable(message));
}

// Rows named by what sets them apart from the first, a typed label kept through edits, and every
// label back from the labels file beside the exported runs, whose CSV stays the command line's bytes.
// ファイル → レポートを書き出す writes the report of the runs shown: each configuration's successes
// counted from its runs, the SHA-256 of the runs CSV the window saves; refused while the results are
// stale or of one configuration, writing nothing.
void TestExperiment::reportIsOfTheRunsShownAndRefusedWhileStale() {
    auto window = NewWindow(20, 10);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    ExperimentWindowTestAccess::seedsEdit(*window)->setText(QStringLiteral("1..6"));
    ExperimentWindowTestAccess::epsilonEdit(*window)->setText(QStringLiteral("20"));
    QSignalSpy finished(window.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(window->run());
    QVERIFY(finished.wait(30000));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.html"));
    QVERIFY(window->reportRefusal().contains(QStringLiteral("2 つ以上")));  // one configuration

    QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    ExperimentWindowTestAccess::configurations(*window)->item(1, 6)->setText(QStringLiteral("gray"));  // 符号化
    QVERIFY(window->run());
    QVERIFY(finished.wait(30000));
    QCOMPARE(window->reportRefusal(), QString());
    QSignalSpy written(window.get(), &ExperimentWindow::reportWritten);
    QCOMPARE(window->exportReport(path), QString());
    QVERIFY(written.wait(30000));  // built off the window's thread
    QCOMPARE(written.first().first().toString(), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();
    file.close();
    const QByteArray sha = QCryptographicHash::hash(window->runsCsv(), QCryptographicHash::Sha256).toHex();
    QVERIFY(html.contains("SHA-256 <code>" + sha + "</code>"));
    for (int k = 0; k < ExperimentWindowTestAccess::configurationCount(*window); ++k) {
        long long within = 0;
        for (const kelvora::SweepResult& r : ExperimentWindowTestAccess::results(*window, k)) within += r.firstGenerationWithinEpsilon > 0;
        const QByteArray row = "<tr><td class=\"label\">" + ExperimentWindowTestAccess::configurationLabel(*window, k).toUtf8() + "</td><td>" +
                               QByteArray::number(within) + "/" + QByteArray::number(ExperimentWindowTestAccess::results(*window, k).size()) + " (";
        QVERIFY2(html.contains(row), row.constData());
    }

    ExperimentWindowTestAccess::epsilonEdit(*window)->selectAll();
    QTest::keyClicks(ExperimentWindowTestAccess::epsilonEdit(*window), QStringLiteral("5"));  // typed: the results are stale now
    QVERIFY(ExperimentWindowTestAccess::isStale(*window));
    QVERIFY(!window->reportRefusal().isEmpty());
    QVERIFY(file.remove());
    QCOMPARE(window->exportReport(path), window->reportRefusal());
    QVERIFY(!QFile::exists(path));
}

void TestExperiment::labelsNameWhatDiffersAndSurviveExportAndReopen() {
    auto window = NewWindow(20, 10);
    for (int i = 0; i < 4; ++i) QVERIFY(ExperimentWindowTestAccess::addCurrent(*window));
    QTableWidget* table = ExperimentWindowTestAccess::configurations(*window);
    table->item(1, 6)->setText(QStringLiteral("gray"));     // 符号化
    table->item(2, 2)->setText(QStringLiteral("50"));       // 集団
    table->item(3, 6)->setText(QStringLiteral("gray"));
    table->item(3, 10)->setText(QStringLiteral("creep:4"));  // 変異
    const auto labels = [&] {
        QStringList all;
        for (int row = 0; row < table->rowCount(); ++row) all << table->item(row, 0)->text();
        return all;
    };
    QCOMPARE(labels(), (QStringList{"classic", "gray", "pop 50", "gray, creep:4"}));
    table->item(1, 0)->setText(QStringLiteral("Gray coded"));
    table->item(1, 10)->setText(QStringLiteral("creep:2"));  // the typed label stays
    table->item(2, 2)->setText(QStringLiteral("40"));
    QCOMPARE(labels(), (QStringList{"classic", "Gray coded", "pop 40", "gray, creep:4"}));
    table->item(1, 0)->setText(QString());  // emptied: automatic again
    QCOMPARE(labels()[1], QStringLiteral("gray, creep:2"));
    table->item(1, 0)->setText(QStringLiteral("Gray coded"));

    ExperimentWindowTestAccess::seedsEdit(*window)->setText(QStringLiteral("1..3"));
    ExperimentWindowTestAccess::epsilonEdit(*window)->setText(QStringLiteral("20"));  // some runs get there, some not
    QSignalSpy finished(window.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(window->run());
    QVERIFY(finished.wait(30000));
    const std::vector<QString> shown(window->labels());
    QCOMPARE(QStringList(shown.begin(), shown.end()), labels());
    QTemporaryDir dir;
    const QString csv = Written(dir, "runs.csv", window->runsCsv());
    QCOMPARE(window->saveLabels(csv), QString());
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("runs.labels.json"))));
    auto opened = NewWindow(20, 10);
    QVERIFY(Open(*opened, csv));
    QCOMPARE(opened->labels(), shown);
    QCOMPARE(ExperimentWindowTestAccess::summary(*opened)->item(1, 0)->text(), QStringLiteral("Gray coded"));
    QCOMPARE(ExperimentWindowTestAccess::summary(*opened)->item(1, 0)->toolTip(), QStringLiteral("Gray coded"));
    QCOMPARE(opened->runsCsv(), window->runsCsv());
    // Runs read from a file carry no curves: the convergence chart says why it is empty, a run's does not.
    QVERIFY(ExperimentPlotsTestAccess::convergenceNote(*ExperimentWindowTestAccess::plots(*opened)).contains(QStringLiteral("「実行」")));
    QVERIFY(ExperimentPlotsTestAccess::convergenceNote(*ExperimentWindowTestAccess::plots(*window)).isEmpty());
    // kelvora --plot names the curves as the window does.
    const QString svg = dir.filePath(QStringLiteral("plot.svg"));
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), csv, QStringLiteral("--output"), svg}), 0);
    QFile picture(svg);
    QVERIFY(picture.open(QIODevice::ReadOnly));
    const QByteArray bytes = picture.readAll();
    for (const char* label : {">classic<", ">Gray coded<", ">pop 40<", ">gray, creep:4<"}) QVERIFY2(bytes.contains(label), label);
    // Under the chart, what it shows: ε, the seeds, the budget (the populations differ: per configuration).
    const QByteArray caption = bytes.mid(bytes.indexOf("<desc>"), bytes.indexOf("</desc>") - bytes.indexOf("<desc>"));
    for (const char* part : {"ε = 20 px", "(1..3)", "(68, 180)"}) QVERIFY2(caption.contains(part), caption.constData());
    // A label typed after the run renames its curve at once; one typed in an opened file's summary is
    // kept through the next export and opening too.
    table->item(0, 0)->setText(QStringLiteral("baseline"));
    QCOMPARE(window->labels()[0], QStringLiteral("baseline"));
    QCOMPARE(ExperimentWindowTestAccess::summary(*window)->item(0, 0)->text(), QStringLiteral("baseline"));
    QStringList curves;
    for (QAbstractSeries* series : ExperimentWindowTestAccess::plots(*window)->runLengthView()->chart()->series())
        if (qobject_cast<QLineSeries*>(series)) curves << series->name();
    QCOMPARE(curves, (QStringList{"baseline", "Gray coded", "pop 40", "gray, creep:4"}));
    ExperimentWindowTestAccess::summary(*opened)->item(2, 0)->setText(QStringLiteral("forty"));
    QCOMPARE(opened->labels()[2], QStringLiteral("forty"));
    QCOMPARE(opened->saveLabels(csv), QString());
    auto again = NewWindow(20, 10);
    QVERIFY(Open(*again, csv));
    QCOMPARE(again->labels()[2], QStringLiteral("forty"));
    // The median generation to epsilon says how many of the runs it is over.
    std::size_t counted = 0;
    for (int row = 0; row < 4; ++row) {
        std::vector<int> reached;
        for (const auto& r : ExperimentWindowTestAccess::results(*again, row))
            if (r.firstGenerationWithinEpsilon > 0) reached.push_back(r.firstGenerationWithinEpsilon);
        std::sort(reached.begin(), reached.end());
        const std::size_t n = reached.size();
        const double median = n == 0 ? 0.0 : n % 2 ? reached[n / 2] : (reached[n / 2 - 1] + reached[n / 2]) / 2.0;
        QCOMPARE(ExperimentWindowTestAccess::summary(*again)->item(row, 5)->text(), MedianOverRuns(median, static_cast<long long>(n), 3));
        counted += n;
    }
    QVERIFY(counted > 0 && counted < 12);
    // Without the labels file the same file is named by what differs.
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("runs.labels.json"))));
    auto plain = NewWindow(20, 10);
    QVERIFY(Open(*plain, csv));
    QCOMPARE(plain->labels()[1], QStringLiteral("gray, creep:2"));
}

void TestExperiment::tickIntervalsFollowTheOneTwoFiveRule_data() {
    QTest::addColumn<double>("span");
    QTest::addColumn<int>("most");
    QTest::addColumn<double>("interval");
    QTest::addColumn<double>("smallest");
    // span / most, then the next of 1, 2, 5 x 10^k at or above it, never below 1.
    QTest::newRow("99/5=19.8") << 99.0 << 5 << 20.0 << 1.0;
    QTest::newRow("100/4=25") << 100.0 << 4 << 50.0 << 1.0;
    QTest::newRow("500/5=100") << 500.0 << 5 << 100.0 << 1.0;
    QTest::newRow("9/5=1.8") << 9.0 << 5 << 2.0 << 1.0;
    QTest::newRow("7/8 below one") << 7.0 << 8 << 1.0 << 1.0;
    QTest::newRow("40/5=8") << 40.0 << 5 << 10.0 << 1.0;
    QTest::newRow("10000/6=1667") << 10000.0 << 6 << 2000.0 << 1.0;
    QTest::newRow("30/5=6") << 30.0 << 5 << 10.0 << 1.0;
    QTest::newRow("1.5M/5=300000") << 1.5e6 << 5 << 5e5 << 1.0;
    // Rates, without the floor of one: 0.05 / 5 = 0.01 (0.010000000000000002 in doubles), 0.9 / 4 = 0.225.
    QTest::newRow("rate 0.05/5") << 0.05 << 5 << 0.01 << 0.0;
    QTest::newRow("rate 0.9/4") << 0.9 << 4 << 0.5 << 0.0;
    QTest::newRow("rate 0.3/5") << 0.3 << 5 << 0.1 << 0.0;
}

void TestExperiment::tickIntervalsFollowTheOneTwoFiveRule() {
    QFETCH(double, span);
    QFETCH(int, most);
    QFETCH(double, interval);
    QFETCH(double, smallest);
    QCOMPARE(TickInterval(span, most, smallest), interval);
}

namespace {

// Two configurations of populations 50 and 20, 40 generations, a run each reaching epsilon at 5.
std::vector<PlotGroup> TwoGroups() {
    std::vector<PlotGroup> groups(2);
    for (std::size_t i = 0; i < 2; ++i) {
        PlotGroup& g = groups[i];
        g.label = i == 0 ? "classic" : "pop 20";
        g.population = i == 0 ? 50 : 20;
        g.generations = 40;
        g.firstWithin = {5, 0};
        g.firstAtOptimum = {0, 0};
        g.eliteDistances = {0.2, 3.0};
        g.optimumDistances = {0.1};
        g.convergence.assign(40, kelvora::QuartilesOf({0.5, 1.0, 2.0}));
    }
    return groups;
}

}  // namespace

// Twelve configurations: the 9th on take the palette again, dashed, so no two curves, boxes or
// legend entries look alike.
void TestExperiment::configurationsPastTheEighthAreDashed() {
    std::vector<PlotGroup> groups;
    for (int i = 0; i < 12; ++i) {
        groups.push_back(TwoGroups()[0]);
        groups.back().label = QStringLiteral("c%1").arg(i).toStdString();
    }
    ExperimentPlots plots;
    plots.setGroups(groups, 0.5);
    for (QChartView* view : {plots.runLengthView(), ExperimentPlotsTestAccess::convergenceView(plots)}) {
        QList<QPair<QRgb, int>> looks;
        for (QAbstractSeries* series : view->chart()->series()) {
            auto* curve = qobject_cast<QLineSeries*>(series);
            if (!curve || !curve->name().startsWith(QLatin1Char('c'))) continue;
            const int i = curve->name().mid(1).toInt();
            QCOMPARE(curve->pen().color(), ConfigurationColor(i % 8));
            QCOMPARE(curve->pen().style(), i < 8 ? Qt::SolidLine : Qt::DashLine);
            const QPair<QRgb, int> look{curve->pen().color().rgb(), int(curve->pen().style())};
            QVERIFY2(!looks.contains(look), qPrintable(curve->name()));
            looks << look;
        }
        QCOMPARE(looks.size(), 12);
    }
    QBoxPlotSeries* boxes = nullptr;
    for (QAbstractSeries* series : ExperimentPlotsTestAccess::distanceView(plots)->chart()->series())
        if (!boxes) boxes = qobject_cast<QBoxPlotSeries*>(series);
    QVERIFY(boxes);
    QCOMPARE(boxes->boxSets()[0]->pen().style(), Qt::SolidLine);
    QCOMPARE(boxes->boxSets()[8]->pen().style(), Qt::DashLine);
    QCOMPARE(boxes->boxSets()[8]->pen().color(), boxes->boxSets()[0]->pen().color());
}

void TestExperiment::axesStartAtTheFirstPossibleValue() {
    ExperimentPlots plots;
    plots.setGroups(TwoGroups(), 0.5);
    const auto axis = [](QChartView* view) { return view->chart()->axes(Qt::Horizontal).first(); };
    // Linear: whole numbers at 1-2-5 steps (40 generations: 40/5 = 8, so 10; x 50 evaluations: 2000,
    // four-digit labels in at most three intervals: 667, so 1000).
    for (const auto& [evaluations, interval] : {std::pair{false, 10.0}, std::pair{true, 1000.0}}) {
        plots.setEvaluations(evaluations);
        auto* x = qobject_cast<QValueAxis*>(axis(plots.runLengthView()));
        QVERIFY(x);
        QCOMPARE(x->tickType(), QValueAxis::TicksDynamic);
        QCOMPARE(x->tickInterval(), interval);
        QCOMPARE(x->labelFormat(), QStringLiteral("%d"));
    }
    auto* convergence = qobject_cast<QValueAxis*>(axis(ExperimentPlotsTestAccess::convergenceView(plots)));
    QCOMPARE(convergence->min(), 1.0);
    QCOMPARE(convergence->tickInterval(), 10.0);  // generations 1..40: 39/5 = 7.8
    // A label given twice still has its own box: the category axis holds each name once.
    plots.setLabels({"same", "same"});
    auto* boxes = qobject_cast<QBarCategoryAxis*>(axis(ExperimentPlotsTestAccess::distanceView(plots)));
    QVERIFY(boxes);
    QCOMPARE(boxes->count(), 2);
    // Logarithmic: from generation 1, or from the smallest population's one generation.
    plots.setLogarithmic(true);
    for (const auto& [evaluations, first, last] : {std::tuple{false, 1.0, 40.0}, std::tuple{true, 20.0, 2000.0}}) {
        plots.setEvaluations(evaluations);
        auto* x = qobject_cast<QLogValueAxis*>(axis(plots.runLengthView()));
        QVERIFY(x);
        QCOMPARE(x->min(), first);
        QCOMPARE(x->max(), last);
    }
}

void TestExperiment::configurationsWearThePaletteAndReferencesGrey() {
    const QList<QColor> palette{QColor("#0072B2"), QColor("#E69F00"), QColor("#009E73"), QColor("#CC79A7"),
                                QColor("#56B4E9"), QColor("#D55E00"), QColor("#000000"), QColor("#F0E442")};
    for (int i = 0; i < 9; ++i) QCOMPARE(ConfigurationColor(i), palette[i % 8]);
    ExperimentPlots plots;
    plots.setGroups(TwoGroups(), 0.5);
    for (QChartView* view : {plots.runLengthView(), ExperimentPlotsTestAccess::convergenceView(plots)}) {
        int line = 0, band = 0;
        QStringList references;
        for (QAbstractSeries* series : view->chart()->series()) {
            if (auto* area = qobject_cast<QAreaSeries*>(series)) {
                // A light fill and a border, both of its curve's colour.
                QCOMPARE(area->brush().color().rgb(), palette[band].rgb());
                QVERIFY(area->brush().color().alpha() < 100);
                QCOMPARE(area->pen().color().rgb(), palette[band++].rgb());
            } else if (auto* curve = qobject_cast<QLineSeries*>(series)) {
                const QColor c = curve->pen().color();
                if (line < 2) {
                    QCOMPARE(c, palette[line++]);
                    continue;
                }
                QVERIFY(c.red() == c.green() && c.green() == c.blue());  // grey
                QVERIFY(curve->pen().style() != Qt::SolidLine);
                if (!curve->name().isEmpty()) references << curve->name();  // the rest unnamed, out of the legend
            }
        }
        QCOMPARE(line, 2);
        QCOMPARE(band, 2);
        if (view == ExperimentPlotsTestAccess::convergenceView(plots)) QCOMPARE(references, (QStringList{"最適解の誤差", "ε = 0.5 px"}));
        QCOMPARE(view->chart()->legend()->alignment(), Qt::AlignRight);
    }
    for (QAbstractSeries* series : ExperimentPlotsTestAccess::distanceView(plots)->chart()->series())
        if (auto* optimum = qobject_cast<QScatterSeries*>(series)) {
            const QColor c = optimum->color();
            QVERIFY(c.red() == c.green() && c.green() == c.blue());
        }
}

void TestExperiment::mediansSayHowManyRunsTheyAreOver_data() {
    QTest::addColumn<double>("median");
    QTest::addColumn<qlonglong>("count");
    QTest::addColumn<qlonglong>("runs");
    QTest::addColumn<QString>("text");
    QTest::newRow("some") << 17.0 << 12LL << 100LL << QStringLiteral("17 (12/100 回)");
    QTest::newRow("half") << 24.5 << 44LL << 100LL << QStringLiteral("24.5 (44/100 回)");
    QTest::newRow("none") << 0.0 << 0LL << 30LL << QStringLiteral("—");
}

void TestExperiment::mediansSayHowManyRunsTheyAreOver() {
    QFETCH(double, median);
    QFETCH(qlonglong, count);
    QFETCH(qlonglong, runs);
    QFETCH(QString, text);
    QCOMPARE(MedianOverRuns(median, count, runs), text);
}

void TestExperiment::openedFileFillsTheTable_data() {
    QTest::addColumn<QStringList>("configurations");
    QTest::addColumn<QList<QPoint>>("targets");
    QTest::addColumn<QList<int>>("seeds");
    QTest::addColumn<QStringList>("labels");  // empty: more than the table holds
    QTest::addColumn<QString>("seedsText");
    QTest::addColumn<QString>("targetsText");
    QTest::newRow("operators") << QStringList{"binary bit-flip 20", "gray bit-flip 20", "binary creep:4 20"}
                               << QList<QPoint>{{68, 180}} << QList<int>{1, 2, 3}
                               << QStringList{"classic", "gray", "creep:4"} << "1..3" << "68,180";
    QTest::newRow("gaps, two targets") << QStringList{"binary bit-flip 20", "gray creep:2 30"}
                                       << QList<QPoint>{{68, 180}, {-10, 20}} << QList<int>{9, 4, 5, 6, 11}
                                       << QStringList{"classic", "pop 30, gray, creep:2"} << "9,4..6,11" << "68,180 -10,20";
    QStringList tooMany;
    for (int population = 21; population <= 21 + ExperimentWindow::kMaxConfigurations; ++population)
        tooMany << QStringLiteral("binary bit-flip %1").arg(population);
    QTest::newRow("more than the table holds") << tooMany << QList<QPoint>{{68, 180}} << QList<int>{1} << QStringList{}
                                               << "1..100" << "68,180";
}

void TestExperiment::openedFileFillsTheTable() {
    QFETCH(QStringList, configurations);
    QFETCH(QList<QPoint>, targets);
    QFETCH(QList<int>, seeds);
    QFETCH(QStringList, labels);
    QFETCH(QString, seedsText);
    QFETCH(QString, targetsText);
    // The table kept from the last session: one row, seeds 1..100.
    {
        auto kept = NewWindow(40, 10);
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*kept));
        ExperimentWindowTestAccess::configurations(*kept)->item(0, 0)->setText(QStringLiteral("mine"));
    }
    const auto keptRows = [] {
        QSettings settings = AppSettings();
        QStringList all{settings.value(QStringLiteral("experiment/table/seeds")).toString()};
        const int rows = settings.beginReadArray(QStringLiteral("experiment/table/rows"));
        for (int row = 0; row < rows; ++row) {
            settings.setArrayIndex(row);
            all << settings.value(QStringLiteral("cells")).toStringList().join(QLatin1Char('|'));
        }
        settings.endArray();
        return all;
    };
    const QStringList before = keptRows();
    QCOMPARE(before.size(), 2);
    QTemporaryDir dir;
    const QString csv = Written(dir, "file.csv", SweepOf(configurations, targets, seeds));
    auto window = NewWindow(20, 10);
    ExperimentWindowTestAccess::epsilonEdit(*window)->setText(QStringLiteral("2"));
    QVERIFY(!ExperimentWindowTestAccess::emptyHint(*window)->isHidden());
    QVERIFY(Open(*window, csv));
    QVERIFY(ExperimentWindowTestAccess::emptyHint(*window)->isHidden());
    QCOMPARE(ExperimentWindowTestAccess::configurationCount(*window), configurations.size());
    QVERIFY(!window->holdsUnsavedRuns());
    QCOMPARE(ExperimentWindowTestAccess::epsilonEdit(*window)->text(), QStringLiteral("1.5"));  // the epsilon the rows were measured at
    QTableWidget* table = ExperimentWindowTestAccess::configurations(*window);
    if (labels.isEmpty()) {
        QVERIFY(!ExperimentWindowTestAccess::fileNote(*window)->isHidden());
        QVERIFY(ExperimentWindowTestAccess::fileNote(*window)->text().contains(QString::number(configurations.size())));
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("mine"));
    } else {
        QVERIFY(ExperimentWindowTestAccess::fileNote(*window)->isHidden());
        QCOMPARE(table->rowCount(), configurations.size());
        for (int row = 0; row < table->rowCount(); ++row) {
            const QStringList parts = configurations[row].split(QLatin1Char(' '));
            QCOMPARE(table->item(row, 0)->text(), labels[row]);
            QCOMPARE(table->item(row, 2)->text(), parts[2]);   // 集団
            QCOMPARE(table->item(row, 3)->text(), QStringLiteral("20"));
            QCOMPARE(table->item(row, 6)->text(), parts[0]);   // 符号化
            QCOMPARE(table->item(row, 10)->text(), parts[1]);  // 変異
        }
        // A label typed in a row names its runs as a run's row does.
        table->item(0, 0)->setText(QStringLiteral("typed"));
        QCOMPARE(ExperimentWindowTestAccess::summary(*window)->item(0, 0)->text(), QStringLiteral("typed"));
        QVERIFY(!window->holdsUnsavedRuns());
    }
    QCOMPARE(ExperimentWindowTestAccess::seedsEdit(*window)->text(), seedsText);
    QCOMPARE(ExperimentWindowTestAccess::targetsEdit(*window)->text(), targetsText);
    window.reset();  // closing does not keep an opened file's rows
    QCOMPARE(keptRows(), before);
}

void TestExperiment::summaryColumnsFitTheOpeningWidth_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("scale");  // of the summary's font: wider contents than the splitter opens with
    QTest::newRow("1600 x 1000 screen") << 1000 << 1.0;
    QTest::newRow("smallest opening") << 920 << 1.0;
    QTest::newRow("1600 x 1000 screen, larger font") << 1000 << 1.3;
    QTest::newRow("smallest opening, larger font") << 920 << 1.3;
}

void TestExperiment::summaryColumnsFitTheOpeningWidth() {
    QFETCH(int, width);
    QFETCH(double, scale);
    // Four configurations of 100 runs, as wide as the first experiment's numbers: "44.0% [34.7, 53.8]",
    // an ERT of five digits, "p = 0.00018".
    QList<int> seeds;
    for (int s = 1; s <= 100; ++s) seeds << s;
    QTemporaryDir dir;
    const QString csv = Written(dir, "four.csv",
                                SweepOf({"binary bit-flip 100", "gray bit-flip 100", "binary creep:4 100", "gray creep:4 100"},
                                        {{68, 180}}, seeds, {44, 71, 81, 90}));
    auto window = NewWindow(100, 100);
    QFont font = ExperimentWindowTestAccess::summary(*window)->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    ExperimentWindowTestAccess::summary(*window)->setFont(font);
    window->resize(width, 640);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(Open(*window, csv));
    QTableWidget* summary = ExperimentWindowTestAccess::summary(*window);
    QCOMPARE(summary->item(1, 4)->text(), QStringLiteral("p = 0.00018"));
    QHeaderView* header = summary->horizontalHeader();
    // Label, within ε, ERT, median error and p: their right edges inside the viewport, unscrolled.
    const int p = 4;
    QCOMPARE(summary->horizontalScrollBar()->value(), 0);
    QCOMPARE_LE(header->sectionViewportPosition(p) + header->sectionSize(p), summary->viewport()->width());
    QVERIFY(header->sectionSize(0) <= 110);
    // The charts keep at least their least width beside it.
    QWidget* charts = ExperimentWindowTestAccess::plots(*window)->parentWidget();
    QVERIFY(charts->width() >= charts->minimumSizeHint().width());
}

void TestExperiment::everyTabShowsInANarrowWindow_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<int>("width");
    QTest::newRow("ja 640") << QByteArray("ja_JP.UTF-8") << 640;
    QTest::newRow("en 640") << QByteArray("en_US.UTF-8") << 640;
    QTest::newRow("en 666") << QByteArray("en_US.UTF-8") << 666;
}

// A window as narrow as its tile beside the main window on a 1280 x 800 screen: every chart's tab
// whole within the tab bar, none behind scroll arrows, the bar within the window.
void TestExperiment::everyTabShowsInANarrowWindow() {
    QFETCH(QByteArray, locale);
    QFETCH(int, width);
    qputenv("LC_ALL", locale);
    qunsetenv("LANGUAGE");
    InstallUiTranslation();
    {
        auto window = NewWindow(20, 40);
        window->resize(width, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->width(), width);
        QTabBar* bar = ExperimentWindowTestAccess::plots(*window)->tabBar();
        QCOMPARE(bar->count(), 5);
        for (int i = 0; i < bar->count(); ++i)
            QVERIFY2(bar->rect().contains(bar->tabRect(i)), qPrintable(bar->tabText(i)));
        const QRect inWindow(bar->mapTo(window.get(), QPoint(0, 0)), bar->size());
        QVERIFY(window->rect().contains(inWindow));
    }
    qputenv("LC_ALL", "C");
    InstallUiTranslation();
}

#include "tst_experiment.moc"
