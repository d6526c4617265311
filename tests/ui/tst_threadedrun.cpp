// The window's run on its worker thread at the window's own pace (a snapshot about 30 times a
// second): stopped by Escape or a close request while it goes, two runs back to back, and the
// evolution window following a run while it stays usable. The files are checked against the
// plain reference search with the seed the window reports. These tests also run under
// ThreadSanitizer (scripts/test).

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineSeries>
#include <QtTest>

#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "evolution/evolutionwindow.h"
#include "evolution/fitnesschart.h"
#include "mainwindow/runworker.h"
#include "mainwindow/plotpainter.h"
#include "reference_search.h"
#include "common/resourceloader.h"
#include "common/settings.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

using uitest::CrLfLines;
using uitest::Fixture;
using uitest::ProbeDlg;
using uitest::ReadAll;
using uitest::TemporaryCurrentDirectory;

namespace {

enum class StopBy { EscapeTyped, EscapePosted, CloseCalled, CloseButtonPosted };

// The seed of the last run, from the generation field's tooltip.
quint32 TooltipSeed(const Fixture& f) {
    const QString tip = f.dlg->Control(IDC_GENERATION)->toolTip();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^シード (\\d+)\\n")).match(tip);
    return m.hasMatch() ? m.captured(1).toUInt() : 0;
}

// The first n CR LF lines of text.
QByteArray FirstLines(const std::string& text, qsizetype n) {
    qsizetype end = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const std::size_t next = text.find("\r\n", static_cast<std::size_t>(end));
        if (next == std::string::npos) return QByteArray();
        end = static_cast<qsizetype>(next) + 2;
    }
    return QByteArray(text.data(), end);
}

QList<kelvora::GenerationStat> Rows(const kelvora::ui::SolverState& state) {
    QList<kelvora::GenerationStat> rows;
    for (int g = 0; g < state.generation; ++g) rows.append(state.history[static_cast<std::size_t>(g)]);
    return rows;
}

bool SameRows(const QList<kelvora::GenerationStat>& a, const std::vector<kelvora::GenerationStat>& b) {
    if (static_cast<std::size_t>(a.size()) != b.size()) return false;
    for (std::size_t i = 0; i < b.size(); ++i)
        if (a[static_cast<qsizetype>(i)].best != b[i].best || a[static_cast<qsizetype>(i)].average != b[i].average) return false;
    return true;
}

}  // namespace

class TestThreadedRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageBoxFunction(uitest::RecordMessage); }
    void init();

    void stopKeepsAnUninterruptedRunsPrefix_data();
    void stopKeepsAnUninterruptedRunsPrefix();
    void twoRunsBackToBack();
    void evolutionWindowFollowsTheRun();
    void populationLayerFollowsTheRun_data();
    void populationLayerFollowsTheRun();
    void destroyingTheWindowMidRunEndsTheRun_data();
    void destroyingTheWindowMidRunEndsTheRun();
    void descriptorsDoNotGrowOverRuns();
    void channelHandsOverEverySnapshotInOrder_data();
    void channelHandsOverEverySnapshotInOrder();
};

void TestThreadedRun::stopKeepsAnUninterruptedRunsPrefix_data() {
    QTest::addColumn<int>("stopBy");
    QTest::newRow("Escape typed") << int(StopBy::EscapeTyped);
    QTest::newRow("Escape queued for the window") << int(StopBy::EscapePosted);
    QTest::newRow("close()") << int(StopBy::CloseCalled);
    QTest::newRow("close button, queued") << int(StopBy::CloseButtonPosted);
}

void TestThreadedRun::stopKeepsAnUninterruptedRunsPrefix() {
    QFETCH(int, stopBy);
    const StopBy by = StopBy(stopBy);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    f.dlg->setEveryGeneration(false);
    constexpr int kPopulation = 200;
    constexpr int kLimit = 3000;
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(170, 90)));
    f.setText(IDC_POPULATION_SIZE, QString::number(kPopulation));
    f.setText(IDC_GENERATION_LIMIT, QString::number(kLimit));
    int askedAt = 0;
    f.dlg->onProgress = [&](ProbeDlg& dlg, int generation) {
        if (askedAt) return;
        askedAt = generation;
        switch (by) {
        case StopBy::EscapeTyped: QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape); break;
        case StopBy::EscapePosted:
            QCoreApplication::postEvent(dlg.windowHandle(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            break;
        case StopBy::CloseCalled: dlg.close(); break;
        case StopBy::CloseButtonPosted: QCoreApplication::postEvent(dlg.windowHandle(), new QCloseEvent); break;
        }
    };
    QVERIFY(f.run());
    QVERIFY(askedAt > 0);
    const int k = f.state->generation;
    QVERIFY2(k >= askedAt && k < kLimit, qPrintable(QStringLiteral("asked at %1, stopped at %2").arg(askedAt).arg(k)));
    QCOMPARE(f.dlg->isVisible(), by == StopBy::EscapeTyped || by == StopBy::EscapePosted);
    QVERIFY(uitest::Messages().isEmpty());

    // Both files hold exactly the first k generations of the same run left to its limit.
    const quint32 seed = TooltipSeed(f);
    QVERIFY(seed != 0);
    const kelvora::reference::RunOutcome full =
        kelvora::reference::Run({300, 220, 170, 90}, {kPopulation, kLimit, 0.5, 0.1}, seed);
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), k * (kPopulation + 1));
    QVERIFY(ReadAll(QStringLiteral("results.csv")) == FirstLines(full.results, k * (kPopulation + 1)));
    QVERIFY(ReadAll(QStringLiteral("fitness.csv")) == FirstLines(full.fitness, k));
    QVERIFY(SameRows(Rows(*f.state), std::vector<kelvora::GenerationStat>(full.history.begin(), full.history.begin() + k)));
}

void TestThreadedRun::twoRunsBackToBack() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    f.dlg->setEveryGeneration(false);
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("40"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("300"));
    // The second run starts from the first one's end, before anything else happens.
    int ended = 0;
    QByteArray firstResults, firstFitness;
    quint32 firstSeed = 0;
    connect(f.dlg.get(), &CSolverDlg::runFinished, this, [&] {
        if (++ended != 1) return;
        firstResults = ReadAll(QStringLiteral("results.csv"));
        firstFitness = ReadAll(QStringLiteral("fitness.csv"));
        firstSeed = TooltipSeed(f);
        f.setText(IDC_POPULATION_SIZE, QStringLiteral("25"));
        f.setText(IDC_GENERATION_LIMIT, QStringLiteral("120"));
        f.setText(IDC_MUTATION_PROBABILITY, QStringLiteral("0.3"));
        f.compute()->click();
        QVERIFY(f.dlg->isRunning());
    });
    QVERIFY(f.run());
    QTRY_COMPARE_WITH_TIMEOUT(ended, 2, 60000);
    QVERIFY(!f.dlg->isRunning());

    const kelvora::reference::RunOutcome first = kelvora::reference::Run({}, {40, 300, 0.5, 0.1}, firstSeed);
    QVERIFY(firstResults == QByteArray::fromStdString(first.results));
    QVERIFY(firstFitness == QByteArray::fromStdString(first.fitness));
    const kelvora::reference::RunOutcome second = kelvora::reference::Run({}, {25, 120, 0.5, 0.3}, TooltipSeed(f));
    QVERIFY(ReadAll(QStringLiteral("results.csv")) == QByteArray::fromStdString(second.results));
    QVERIFY(ReadAll(QStringLiteral("fitness.csv")) == QByteArray::fromStdString(second.fitness));
    QCOMPARE(f.state->generation, 120);
    QVERIFY(SameRows(Rows(*f.state), second.history));
    QCOMPARE(f.state->elitePose, second.elitePose);
    QCOMPARE(f.state->currentPose, second.currentPose);
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("120"));
}

void TestThreadedRun::evolutionWindowFollowsTheRun() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    f.dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.dlg.get()));
    f.dlg->setEveryGeneration(false);
    QTest::keyClick(f.dlg.get(), Qt::Key_G, Qt::ControlModifier);
    EvolutionWindow* evolution = SolverDlgTestAccess::evolutionWindow(*f.dlg);
    QVERIFY(evolution && evolution->isVisible());
    FitnessChart* chart = evolution->chart();
    QCOMPARE(chart->history().size(), 0);  // no run yet

    constexpr int kLimit = 600;
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("300"));
    f.setText(IDC_GENERATION_LIMIT, QString::number(kLimit));
    // During the run the chart grows with the run, and the evolution window takes input.
    QList<int> chartRows;
    QStringList mismatches;
    QCheckBox* toggle = evolution->findChild<QCheckBox*>();
    QVERIFY(toggle);
    f.dlg->onProgress = [&](ProbeDlg&, int generation) {
        if (chart->history().size() != generation)
            mismatches << QStringLiteral("%1 rows at generation %2").arg(chart->history().size()).arg(generation);
        chartRows << int(chart->history().size());
        if (chartRows.size() == 2) QTest::mouseClick(toggle, Qt::LeftButton);
    };
    QVERIFY(f.run());
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QStringLiteral("; "))));
    QVERIFY(chartRows.size() >= 2);
    QVERIFY(toggle->isChecked());
    QVERIFY(FitnessChartTestAccess::showsDistance(*chart));
    QVERIFY(EvolutionWindowTestAccess::distanceAction(*evolution)->isChecked());

    // After the run: the chart's history is the run's, and, at fewer points than twice the plot's
    // width, the series hold every generation as it is.
    const kelvora::reference::RunOutcome ref = kelvora::reference::Run({}, {300, kLimit, 0.5, 0.1}, TooltipSeed(f));
    QVERIFY(SameRows(chart->history(), ref.history));
    QVERIFY(2 * FitnessChartTestAccess::bucketCount(*chart) >= kLimit);
    QList<QPointF> distance;
    double elite = 0.0;
    for (int g = 0; g < kLimit; ++g) {
        elite = std::max(elite, ref.history[static_cast<std::size_t>(g)].best);
        distance << QPointF(g + 1, std::max(1.0 / elite - 1.0, FitnessChart::kMinShownDistance));
    }
    QCOMPARE(FitnessChartTestAccess::distanceSeries(*chart)->points(), distance);
    toggle->click();
    QVERIFY(!FitnessChartTestAccess::showsDistance(*chart));
    QList<QPointF> best, average;
    for (int g = 0; g < kLimit; ++g) {
        best << QPointF(g + 1, ref.history[static_cast<std::size_t>(g)].best);
        average << QPointF(g + 1, ref.history[static_cast<std::size_t>(g)].average);
    }
    QCOMPARE(FitnessChartTestAccess::bestSeries(*chart)->points(), best);
    QCOMPARE(FitnessChartTestAccess::averageSeries(*chart)->points(), average);
    // The evolution window stays open across runs and a second run starts its chart afresh.
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5"));
    QVERIFY(f.run());
    QVERIFY(evolution->isVisible());
    QCOMPARE(chart->history().size(), 5);
    QCOMPARE(FitnessChartTestAccess::bestSeries(*chart)->count(), 5);
}

void TestThreadedRun::destroyingTheWindowMidRunEndsTheRun_data() {
    QTest::addColumn<bool>("everyGeneration");  // the worker waits for each generation to be shown
    QTest::newRow("at the window's pace") << false;
    QTest::newRow("worker waiting on the window") << true;
}

void TestThreadedRun::destroyingTheWindowMidRunEndsTheRun() {
    QFETCH(bool, everyGeneration);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    auto f = std::make_unique<Fixture>();
    f->dlg->setEveryGeneration(everyGeneration);
    f->setText(IDC_POPULATION_SIZE, QStringLiteral("100"));
    f->setText(IDC_GENERATION_LIMIT, QStringLiteral("10000"));
    f->compute()->click();
    QVERIFY(f->dlg->isRunning());
    // The run goes on until it has written a generation, however loaded the machine; in the second
    // row the worker then waits on the window.
    QTRY_VERIFY_WITH_TIMEOUT(CrLfLines(QStringLiteral("results.csv")) >= 101, 60000);
    f.reset();  // stops the run and waits for it, without hanging
    // results.csv holds whole generations only (fitness.csv is written as the run ends).
    const int lines = CrLfLines(QStringLiteral("results.csv"));
    QVERIFY2(lines > 0 && lines % 101 == 0 && lines < 10000 * 101, qPrintable(QString::number(lines)));
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), lines / 101);
}

// The population layer starts off in every test (a test that turns it on leaves it remembered).
void TestThreadedRun::init() {
    uitest::Messages().clear();
    uitest::UseScratchSettings();
    kelvora::ui::AppSettings().remove(QStringLiteral("view/showPopulation"));
}

void TestThreadedRun::populationLayerFollowsTheRun_data() {
    QTest::addColumn<bool>("everyGeneration");
    QTest::addColumn<bool>("resultsToDevNull");
    QTest::addColumn<int>("limit");  // long enough for a snapshot at the window's pace before the end
    // The run's seed, chosen so that generation 1 holds an individual whose fitness as results.csv
    // writes it (%g) gives its colour another rounding than the fitness itself: the layer shows the
    // run's own fitness.
    QTest::addColumn<quint32>("seed");
    QTest::newRow("window's pace") << false << false << 2000 << 525u;
    QTest::newRow("every generation") << true << false << 2000 << 525u;
    QTest::newRow("results.csv a link to /dev/null") << false << true << 10000 << 843u;
}

// With the population layer on, the plot shows the population of the generation on screen while
// the run goes, and the last generation's at its end: compared, pixel for pixel, with the plot
// painted from that generation's lines of the reference search (each one's fitness computed from
// its genes) and its arms. The layer comes from the run itself, so it shows as well when
// results.csv is a link to /dev/null.
void TestThreadedRun::populationLayerFollowsTheRun() {
    QFETCH(bool, everyGeneration);
    QFETCH(bool, resultsToDevNull);
    QFETCH(int, limit);
    QFETCH(quint32, seed);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    if (resultsToDevNull) QVERIFY(QFile::link(QStringLiteral("/dev/null"), QStringLiteral("results.csv")));
    Fixture f;
    QVERIFY(f.exposed());
    f.dlg->setSeedSource([seed](std::optional<std::uint32_t>& chosen) {
        chosen = seed;
        return true;
    });
    f.dlg->setEveryGeneration(everyGeneration);
    f.dlg->setPopulationShown(true);
    constexpr int kPopulation = 100;
    const int kLimit = limit;
    f.setText(IDC_POPULATION_SIZE, QString::number(kPopulation));
    f.setText(IDC_GENERATION_LIMIT, QString::number(kLimit));
    QMap<int, QImage> shown;  // generation -> the plot as it was then
    f.dlg->onProgress = [&](ProbeDlg& dlg, int generation) {
        if ((shown.isEmpty() && generation < kLimit) || generation == kLimit) shown[generation] = uitest::ShownPlot(dlg);
    };
    QVERIFY(f.run());
    QCOMPARE(shown.size(), 2);

    QCOMPARE(TooltipSeed(f), seed);
    const kelvora::reference::Geometry geometry;
    const kelvora::reference::RunOutcome whole = kelvora::reference::Run(geometry, {kPopulation, kLimit, 0.5, 0.1}, seed);
    if (!resultsToDevNull) QVERIFY(ReadAll(QStringLiteral("results.csv")) == QByteArray::fromStdString(whole.results));
    QList<QByteArray> individuals;  // four fields; a generation's summary line has three
    for (const QByteArray& line : QByteArray::fromStdString(whole.results).split('\n'))
        if (line.count(',') == 3) individuals << line.trimmed();
    QCOMPARE(individuals.size(), kPopulation * kLimit);
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        const int g = it.key();
        PopulationCloud cloud;
        for (int i = 0; i < kPopulation; ++i) {
            const QList<QByteArray> fields = individuals[(g - 1) * kPopulation + i].split(',');
            kelvora::Chromosome genes;
            for (int k = 0; k < 3; ++k) genes.gene[k] = static_cast<std::uint8_t>(fields[k].toInt());
            cloud.tips.push_back(kelvora::TipPosition(fields[0].toInt(), fields[1].toInt(), fields[2].toInt(),
                                                      geometry.baseX, geometry.baseY));
            // Its fitness from its genes: the file's six digits are not the run's value.
            cloud.fitness.push_back(kelvora::reference::Fitness(geometry, genes));
        }
        const kelvora::reference::RunOutcome ref = kelvora::reference::Run(geometry, {kPopulation, g, 0.5, 0.1}, seed);
        QImage expected(f.dlg->size(), QImage::Format_RGB32);
        expected.fill(f.dlg->palette().color(QPalette::Window));
        QPainter painter(&expected);
        PaintPlot(painter,
                  PlotScene{CSolverDlg::kPlotRect, QPoint(geometry.baseX, geometry.baseY), ref.currentPose,
                            ref.elitePose, QPoint(geometry.targetX, geometry.targetY), &cloud},
                  LoadBitmapResource(IDB_BASE_MARK));
        painter.end();
        QVERIFY2(it.value() == expected.copy(CSolverDlg::kPlotRect), qPrintable(QStringLiteral("generation %1").arg(g)));
    }
}

// A window run opens, writes and closes its files on the process's one descriptor table: twenty
// runs leave no more descriptors open than one did.
void TestThreadedRun::descriptorsDoNotGrowOverRuns() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    f.dlg->setEveryGeneration(false);
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("10"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5"));
    const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); };
    QVERIFY(f.run());
    const qsizetype afterFirst = openDescriptors();
    for (int i = 1; i < 20; ++i) QVERIFY(f.run());
    QCOMPARE(openDescriptors(), afterFirst);
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 5 * 11);
}

void TestThreadedRun::channelHandsOverEverySnapshotInOrder_data() {
    QTest::addColumn<int>("snapshots");
    QTest::newRow("one") << 1;
    QTest::newRow("many, taken while they come") << 2000;
}

// The run's mailbox between two threads: every snapshot once, oldest first, then the end once.
void TestThreadedRun::channelHandsOverEverySnapshotInOrder() {
    QFETCH(int, snapshots);
    auto channel = std::make_shared<kelvora::ui::RunChannel>();
    channel->release();
    std::thread run([channel, snapshots] {
        channel->acquire();
        for (int g = 1; g <= snapshots; ++g) {
            kelvora::ui::RunSnapshot snapshot;
            snapshot.generation = g;
            snapshot.rows = {{1.0 / g, 0.5 / g}};
            channel->deposit(std::move(snapshot));
        }
        kelvora::ui::RunResult end;
        end.generation = snapshots;
        channel->depositResult(std::move(end));
    });
    QList<int> taken;
    std::optional<kelvora::ui::RunResult> end;
    const auto take = [&] {
        for (const kelvora::ui::RunSnapshot& snapshot : channel->takeSnapshots()) {
            QCOMPARE(snapshot.rows.size(), 1);
            QCOMPARE(snapshot.rows[0].best, 1.0 / snapshot.generation);
            taken << snapshot.generation;
        }
    };
    while (!end) {
        take();
        end = channel->takeResult();
        std::this_thread::yield();
    }
    run.join();
    take();  // what came in after the last look but before the end
    QList<int> expected;
    for (int g = 1; g <= snapshots; ++g) expected << g;
    QCOMPARE(taken, expected);
    QCOMPARE(end->generation, snapshots);
    QVERIFY(!channel->takeResult());
    QCOMPARE(channel->announced, snapshots);
}

QTEST_MAIN(TestThreadedRun)
#include "tst_threadedrun.moc"
