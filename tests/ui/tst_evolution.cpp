// The evolution window on its own: the chart's downsampling, the optimum readout for known
// seeds, export of the chart, and the window's geometry and open state kept across sessions.

#include <QCategoryAxis>
#include <QLabel>
#include <QLegendMarker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QScreen>
#include <QLineSeries>
#include <QSvgRenderer>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <bit>
#include <cmath>
#include <memory>
#include <random>

#include "evolution/evolutionwindow.h"
#include "evolution/diversitychart.h"
#include "evolution/fitnesschart.h"
#include "evolution/generationscrubber.h"
#include "reference_search.h"
#include "io/results_reader.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "mainwindow/runworker.h"
#include "common/solvermodel.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

using uitest::Fixture;

namespace {

QList<kelvora::GenerationStat> ToRows(const std::vector<kelvora::GenerationStat>& history) {
    return QList<kelvora::GenerationStat>(history.begin(), history.end());
}

// The readout's numbers, in the order they appear.
QList<double> Numbers(const QString& text) {
    QList<double> numbers;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("-?\\d+(\\.\\d+)?")).globalMatch(text);
    while (it.hasNext()) numbers << it.next().captured(0).toDouble();
    return numbers;
}

// The main window's model as the evolution window reads it: these tests chart runs through it
// alone, as the run and the replay do.
struct Charts {
    SolverState state;
    SolverModel model{state};
    Charts() { model.open(); }
    // A run of limit generations for target (client pixels) starts; its rows come as a run's do.
    void begin(int limit, QPoint target, const QString& name = {}, const QString& readout = {}) {
        model.setTarget(target);
        ChartedRun run;
        run.limit = limit;
        run.name = name;
        run.readout = readout;
        run.rows = ChartedRun::Rows::history;
        model.beginChart(std::move(run));
    }
    // A complete run of limit generations, its best eliteDistance px from target, as an opened file's.
    void file(int limit, QPoint target, const QList<kelvora::GenerationStat>& rows, double eliteDistance,
              const QString& name = {}, const QString& diversityPath = {}, bool gray = false) {
        model.setTarget(target);
        ChartedRun run;
        run.limit = limit;
        run.name = name;
        run.rows = ChartedRun::Rows::file;
        run.fileRows = rows;
        run.fileEliteDistance = eliteDistance;
        run.diversityPath = diversityPath;
        run.diversityGray = gray;
        model.beginChart(std::move(run));
        model.finishChart();
    }
};

}  // namespace

class TestEvolution : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetMessageBoxFunction(uitest::RecordMessage);
        QVERIFY(m_config.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        uitest::UseScratchSettings();
    }
    void init() { uitest::Messages().clear(); }

    void downsamplingKeepsEachBucketsExtremes_data();
    void downsamplingKeepsEachBucketsExtremes();
    void readoutForAKnownSeed_data();
    void readoutForAKnownSeed();
    void exportsThePicture_data();
    void exportsThePicture();
    void openStateIsKept();
    void statusAndAxisAfterARun_data();
    void statusAndAxisAfterARun();
    void openedFileFillsTheWindow_data();
    void openedFileFillsTheWindow();
    void legendNamesTellRunsApart_data();
    void legendNamesTellRunsApart();
    void fitsItsTile_data();
    void fitsItsTile();
    void readoutFollowsTheScrubber_data();
    void readoutFollowsTheScrubber();
    void scrubberKeysInTheSpinBox_data();
    void scrubberKeysInTheSpinBox();
    void scrubberFollowsTheModelsReplay_data();
    void scrubberFollowsTheModelsReplay();
    void diversityOfAReplayedFile_data();
    void diversityOfAReplayedFile();
    void liveDiversitySkipsUnmeasuredGenerations();
    void followsTheModelAlone_data();
    void followsTheModelAlone();
    void diversityToggleIsRemembered();
    void runMeasuresEveryGenerationsDiversity_data();
    void runMeasuresEveryGenerationsDiversity();

private:
    QTemporaryDir m_config;  ///< this suite's settings
};

void TestEvolution::downsamplingKeepsEachBucketsExtremes_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("buckets");
    QTest::addColumn<QString>("shape");
    QTest::newRow("fewer than twice the buckets: unchanged") << 600 << 300 << "noise";
    QTest::newRow("one more than twice the buckets") << 601 << 300 << "noise";
    QTest::newRow("10000 noisy generations, 600 px") << 10000 << 600 << "noise";
    QTest::newRow("rising, 10000 over 437 px") << 10000 << 437 << "ramp";
    QTest::newRow("flat with lone spikes") << 10000 << 500 << "spikes";
    QTest::newRow("constant") << 5000 << 100 << "constant";
    QTest::newRow("one bucket") << 50 << 1 << "noise";
    QTest::newRow("no buckets: unchanged") << 50 << 0 << "noise";
}

void TestEvolution::downsamplingKeepsEachBucketsExtremes() {
    QFETCH(int, count);
    QFETCH(int, buckets);
    QFETCH(QString, shape);
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    QList<QPointF> points;
    for (int i = 0; i < count; ++i) {
        double y = 0.5;
        if (shape == QLatin1String("noise")) y = uniform(random);
        if (shape == QLatin1String("ramp")) y = i / double(count);
        if (shape == QLatin1String("spikes")) y = i % 997 == 13 ? 0.9 : (i % 1511 == 7 ? 0.1 : 0.5);
        points << QPointF(i + 1, y);
    }
    const QList<QPointF> out = FitnessChart::DownsampleExtremes(points, buckets);
    if (buckets < 1 || count <= 2 * buckets) {
        QCOMPARE(out, points);
        return;
    }
    QVERIFY(out.size() <= 2 * buckets + 2);
    QCOMPARE(out.first(), points.first());
    QCOMPARE(out.last(), points.last());
    // A subsequence of the points, in their order.
    qsizetype at = 0;
    for (const QPointF& p : out) {
        while (at < count && points[at] != p) ++at;
        QVERIFY2(at < count, "a point not in the input, or out of order");
        ++at;
    }
    // Each bucket's lowest and highest value are there, within the bucket's x range.
    for (int b = 0; b < buckets; ++b) {
        const qsizetype lo = qsizetype(count) * b / buckets, hi = qsizetype(count) * (b + 1) / buckets;
        double low = points[lo].y(), high = low;
        for (qsizetype i = lo; i < hi; ++i) {
            low = std::min(low, points[i].y());
            high = std::max(high, points[i].y());
        }
        bool foundLow = false, foundHigh = false;
        for (const QPointF& p : out) {
            if (p.x() < points[lo].x() || p.x() > points[hi - 1].x()) continue;
            foundLow = foundLow || p.y() == low;
            foundHigh = foundHigh || p.y() == high;
        }
        QVERIFY2(foundLow && foundHigh, qPrintable(QStringLiteral("bucket %1").arg(b)));
    }
}

void TestEvolution::readoutForAKnownSeed_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("population");
    QTest::addColumn<int>("generations");
    QTest::addColumn<QPoint>("target");  // client pixels
    QTest::addColumn<bool>("reaches");   // the rows cover both outcomes
    QTest::newRow("a short run that stays short of the optimum") << 7u << 6 << 4 << QPoint(368, 40) << false;
    QTest::newRow("a large population that reaches it") << 2u << 1000 << 30 << QPoint(368, 40) << true;
}

void TestEvolution::readoutForAKnownSeed() {
    QFETCH(quint32, seed);
    QFETCH(int, population);
    QFETCH(int, generations);
    QFETCH(QPoint, target);
    QFETCH(bool, reaches);
    const kelvora::reference::Geometry geometry{300, 220, target.x(), target.y()};
    const kelvora::reference::RunOutcome run = kelvora::reference::Run(geometry, {population, generations, 0.5, 0.1}, seed);

    Charts charts;
    EvolutionWindow window(charts.model);
    window.show();
    const double eliteDistance = kelvora::reference::Distance(geometry, run.elitePose.a1, run.elitePose.a2, run.elitePose.a3);
    charts.file(generations, target, ToRows(run.history), eliteDistance);
    QVERIFY(EvolutionWindowTestAccess::optimum(window));

    // The optimum by plain search over every pose: the least distance (ties to the first), the
    // reference's tip formula term for term with its sines and cosines looked up.
    double cosine[766], sine[766];
    for (int k = 0; k < 766; ++k) {
        cosine[k] = std::cos(k * kelvora::kDegToRad);
        sine[k] = std::sin(k * kelvora::kDegToRad);
    }
    double optimumDistance = INFINITY;
    kelvora::ArmPose optimumPose;
    for (int a1 = 0; a1 < 256; ++a1)
        for (int a2 = 0; a2 < 256; ++a2) {
            const double x12 = 60 * cosine[a1] + 100 * cosine[a1 + a2];
            const double y12 = geometry.baseY - 60 * sine[a1] - 100 * sine[a1 + a2];
            for (int a3 = 0; a3 < 256; ++a3) {
                const double dx = geometry.targetX - ((x12 + 40 * cosine[a1 + a2 + a3]) + geometry.baseX);
                const double dy = geometry.targetY - (y12 - 40 * sine[a1 + a2 + a3]);
                const double d = std::sqrt(dx * dx + dy * dy);
                if (d < optimumDistance) {
                    optimumDistance = d;
                    optimumPose = {a1, a2, a3};
                }
            }
        }
    QCOMPARE(optimumDistance, kelvora::reference::Distance(geometry, optimumPose.a1, optimumPose.a2, optimumPose.a3));
    // The first generation whose best tip is as close as the optimum's.
    int reached = 0;
    for (std::size_t g = 0; g < run.errors.size() && !reached; ++g)
        if (run.errors[g] <= optimumDistance) reached = static_cast<int>(g) + 1;

    QCOMPARE(reached > 0, reaches);
    const QString text = EvolutionWindowTestAccess::readoutText(window);
    const QList<double> n = Numbers(text);
    // (a1, a2, a3) distance, best-so-far distance, then the gap or the first generation at the optimum
    QCOMPARE(n.size(), 6);
    QCOMPARE(kelvora::ArmPose({int(n[0]), int(n[1]), int(n[2])}), optimumPose);
    QVERIFY2(std::abs(n[3] - optimumDistance) < 5.1e-5, qPrintable(text));
    QVERIFY2(std::abs(n[4] - eliteDistance) < 5.1e-5, qPrintable(text));
    QCOMPARE(EvolutionWindowTestAccess::firstGenerationAtOptimum(window), reached);
    if (reached) {
        QCOMPARE(int(n[5]), reached);
        QVERIFY2(text.contains(QStringLiteral("(最適解に到達)")), qPrintable(text));
    } else {
        QVERIFY2(std::abs(n[5] - (eliteDistance - optimumDistance)) < 5.1e-5, qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("最適解には到達しませんでした")), qPrintable(text));
    }
    // The dashed line stands at the optimum's fitness.
    const QList<QPointF> line = FitnessChartTestAccess::optimumSeries(*window.chart())->points();
    QCOMPARE(line.size(), 2);
    QVERIFY(std::abs(line[0].y() - 1.0 / (optimumDistance + 1.0)) < 1e-12);
}

void TestEvolution::exportsThePicture_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<double>("scale");
    QTest::newRow("PNG") << "png" << true << 1.0;
    QTest::newRow("PNG at 2x") << "png" << true << 2.0;
    QTest::newRow("SVG") << "svg" << true << 1.0;
    QTest::newRow("PNG into a missing directory") << "png" << false << 1.0;
    QTest::newRow("SVG into a missing directory") << "svg" << false << 1.0;
}

void TestEvolution::exportsThePicture() {
    QFETCH(QString, format);
    QFETCH(bool, writable);
    QFETCH(double, scale);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(writable ? QStringLiteral("chart.") + format : QStringLiteral("missing/chart.") + format);
    Charts charts;
    EvolutionWindow window(charts.model);
    window.show();
    const kelvora::reference::RunOutcome run = kelvora::reference::Run({}, {30, 50, 0.5, 0.1}, 3);
    charts.file(50, charts.model.target(), ToRows(run.history), 1.0);
    charts.model.setChartCaption(QStringLiteral("kelvora-cli --seed 3"));
    const bool ok = format == QLatin1String("png") ? window.exportPng(path, scale) : window.exportSvg(path);
    QCOMPARE(ok, writable);
    QCOMPARE(uitest::Messages().size(), writable ? 0 : 1);
    if (!writable) {
        QVERIFY(uitest::Messages().first().text.contains(path));
        return;
    }
    if (format == QLatin1String("png")) {
        // The chart and a caption line under it, in device pixels.
        const QImage image(path);
        QCOMPARE(image.width(), qRound(window.chart()->width() * scale));
        QVERIFY(image.height() > qRound(window.chart()->height() * scale));
        QVERIFY(image.pixelColor(image.width() / 2, image.height() / 2).isValid());
    } else {
        QSvgRenderer svg(path);
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBox().width(), window.chart()->width());
        QVERIFY(svg.viewBox().height() > window.chart()->height());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("kelvora-cli --seed 3"));
    }
}

void TestEvolution::openStateIsKept() {
    {
        Fixture f;  // settings emptied
        QVERIFY(!SolverDlgTestAccess::evolutionWindow(*f.dlg));
        f.dlg->MenuAction("EvolutionAction")->trigger();
        EvolutionWindow* evolution = SolverDlgTestAccess::evolutionWindow(*f.dlg);
        QVERIFY(evolution && evolution->isVisible());
        QVERIFY(!EvolutionWindowTestAccess::distanceAction(*evolution)->isChecked());
        EvolutionWindowTestAccess::distanceAction(*evolution)->setChecked(true);
        f.dlg->close();  // the program ends with the window open
        QVERIFY(!evolution->isVisible());
    }
    {
        Fixture f(false);
        EvolutionWindow* evolution = SolverDlgTestAccess::evolutionWindow(*f.dlg);
        QVERIFY(evolution && evolution->isVisible());  // open again, its log axis on
        QVERIFY(EvolutionWindowTestAccess::distanceAction(*evolution)->isChecked());
        QVERIFY(FitnessChartTestAccess::showsDistance(*evolution->chart()));
        EvolutionWindowTestAccess::distanceAction(*evolution)->setChecked(false);
        evolution->close();
        f.dlg->close();  // the program ends with it closed
    }
    Fixture f(false);
    QVERIFY(!SolverDlgTestAccess::evolutionWindow(*f.dlg));
    QCOMPARE(kelvora::ui::AppSettings().value(QLatin1String(EvolutionWindow::kLogAxisKey)).toBool(), false);
}

void TestEvolution::statusAndAxisAfterARun_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("stopAt");  // 0: runs to its limit
    QTest::newRow("a run to its limit") << 40 << 0;
    QTest::newRow("stopped at generation 5 of 10000") << 10000 << 5;
}

void TestEvolution::statusAndAxisAfterARun() {
    QFETCH(int, limit);
    QFETCH(int, stopAt);
    uitest::TemporaryCurrentDirectory cwd;
    Fixture f;
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("100"));
    f.setText(IDC_GENERATION_LIMIT, QString::number(limit));
    f.dlg->onProgress = [&](uitest::ProbeDlg& dlg, int generation) {
        if (generation == stopAt) QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
    };
    QVERIFY(f.run());
    const int ran = f.state->generation;
    QCOMPARE(ran, stopAt ? stopAt : limit);
    // Opened after the run: the run's outcome, never "not yet"; its axis ends at the last generation run.
    EvolutionWindow* evolution = f.dlg->showEvolutionWindow();
    const QString text = EvolutionWindowTestAccess::readoutText(*evolution);
    QVERIFY2(!text.contains(QStringLiteral("まだ")), qPrintable(text));
    QVERIFY2(text.contains(EvolutionWindowTestAccess::firstGenerationAtOptimum(*evolution) > 0 ? QStringLiteral("最適解に到達: 第")
                                                                     : QStringLiteral("最適解には到達しませんでした")),
             qPrintable(text));
    QCOMPARE(FitnessChartTestAccess::generationAxis(*evolution->chart())->max(), double(ran));
    // Its scrubber marks the generation shown.
    evolution->findChild<GenerationScrubber*>()->setGeneration(2);
    QCOMPARE(FitnessChartTestAccess::markedGeneration(*evolution->chart()), 2);
}

void TestEvolution::openedFileFillsTheWindow_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("population");
    QTest::addColumn<int>("generations");
    QTest::addColumn<QPoint>("target");  // client pixels
    QTest::addColumn<bool>("reaches");
    QTest::newRow("a short run that stays short of the optimum") << 7u << 6 << 4 << QPoint(368, 40) << false;
    QTest::newRow("a large population that reaches it") << 2u << 1000 << 30 << QPoint(368, 40) << true;
}

void TestEvolution::openedFileFillsTheWindow() {
    QFETCH(quint32, seed);
    QFETCH(int, population);
    QFETCH(int, generations);
    QFETCH(QPoint, target);
    QFETCH(bool, reaches);
    QTemporaryDir dir;
    kelvora::ui::SolverState run;
    run.baseX = kelvora::kBaseX;
    run.baseY = kelvora::kBaseY;
    run.targetX = target.x();
    run.targetY = target.y();
    const QByteArray directory = QFile::encodeName(dir.path());
    kelvora::RunOutcome outcome;
    kelvora::RunWithFiles({{population, generations, 0.5, 0.1}, run.geometry(), seed}, directory.constData(),
                          kelvora::FlushMode::line, &outcome);
    run.elitePose = outcome.elitePose;
    const QString path = dir.filePath(QStringLiteral("results.csv"));

    Fixture f;  // the evolution window closed
    QVERIFY(uitest::openResults(*f.dlg, path));
    EvolutionWindow* evolution = SolverDlgTestAccess::evolutionWindow(*f.dlg);
    QVERIFY(evolution && evolution->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(EvolutionWindowTestAccess::optimum(*evolution).has_value(), 60000);
    // The chart: the file's logged rows, by the reader's own pass over the file.
    kelvora::ResultsFile file;
    std::string error;
    QVERIFY(file.open(QFile::encodeName(path).toStdString(), error));
    const kelvora::ResultsSummary s = kelvora::VerifyResults(file, kelvora::kBaseX, kelvora::kBaseY);
    QVERIFY2(!s.fault, s.fault.message.c_str());
    QCOMPARE(int(s.history.size()), generations);
    const QList<kelvora::GenerationStat>& rows = evolution->chart()->history();
    QCOMPARE(rows.size(), generations);
    const QList<QPointF> best = FitnessChartTestAccess::bestSeries(*evolution->chart())->points();
    QCOMPARE(best.size(), generations);  // few enough to be plotted one by one
    for (int g = 0; g < generations; ++g) {
        QCOMPARE(rows[g].best, s.history[std::size_t(g)].best);
        QCOMPARE(rows[g].average, s.history[std::size_t(g)].average);
        QCOMPARE(best[g], QPointF(g + 1, s.history[std::size_t(g)].best));
    }
    // The readout: the optimum of the recovered target, the run's elite against it.
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), target);
    const kelvora::Optimum optimum = kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, target.x(), target.y());
    const double eliteDistance = kelvora::ui::TipDistance(run, run.elitePose);
    int reached = 0;
    for (std::size_t g = 0; g < s.history.size() && !reached; ++g)
        if (s.history[g].best >= optimum.fitness) reached = static_cast<int>(g) + 1;
    QCOMPARE(reached > 0, reaches);
    const QString text = EvolutionWindowTestAccess::readoutText(*evolution);
    const QList<double> n = Numbers(text);
    QCOMPARE(n.size(), 6);
    QCOMPARE(kelvora::ArmPose({int(n[0]), int(n[1]), int(n[2])}), optimum.pose);
    QVERIFY2(std::abs(n[3] - optimum.distance) < 5.1e-5, qPrintable(text));
    QVERIFY2(std::abs(n[4] - eliteDistance) < 5.1e-5, qPrintable(text));
    if (reached) QCOMPARE(int(n[5]), reached);
    else QVERIFY2(std::abs(n[5] - (eliteDistance - optimum.distance)) < 5.1e-5, qPrintable(text));
}

namespace {

// rows[g].best = bests[g], the average half of it.
QList<kelvora::GenerationStat> Rows(const QList<double>& bests) {
    QList<kelvora::GenerationStat> rows;
    for (const double b : bests) rows.append({b, b / 2});
    return rows;
}

const QPoint kBase(300, 220);

}  // namespace

void TestEvolution::legendNamesTellRunsApart_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("ran");
    QTest::addColumn<QPoint>("firstTarget");   // client pixels
    QTest::addColumn<QPoint>("secondTarget");
    QTest::addColumn<QString>("earlierName");
    QTest::addColumn<QString>("currentName");
    // Targets relative to the base (300, 220), y up: (368, 40) is (68, 180).
    QTest::newRow("finished, same target") << 20 << 20 << QPoint(368, 40) << QPoint(368, 40) << "A"
                                           << "最良の適応度: B";
    QTest::newRow("stopped, same target") << 5000 << 536 << QPoint(368, 40) << QPoint(368, 40)
                                          << "A、536/5000 世代" << "最良の適応度: B";
    QTest::newRow("finished, other target") << 20 << 20 << QPoint(368, 40) << QPoint(250, 300)
                                            << "A、目標 (68, 180)" << "最良の適応度: B、目標 (-50, -80)";
    QTest::newRow("stopped, other target") << 300 << 7 << QPoint(400, 220) << QPoint(368, 40)
                                           << "A、7/300 世代、目標 (100, 0)" << "最良の適応度: B、目標 (68, 180)";
}

void TestEvolution::legendNamesTellRunsApart() {
    QFETCH(int, limit);
    QFETCH(int, ran);
    QFETCH(QPoint, firstTarget);
    QFETCH(QPoint, secondTarget);
    QFETCH(QString, earlierName);
    QFETCH(QString, currentName);
    Charts charts;
    EvolutionWindow window(charts.model);
    window.show();  // the legend's markers are visible in a window shown
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QList<double> bests;
    for (int g = 0; g < ran; ++g) bests << 0.01 * (g + 1) / ran;
    charts.file(limit, firstTarget, Rows(bests), 10.0, QStringLiteral("A"));
    QCOMPARE(FitnessChartTestAccess::currentLegendName(*window.chart()), QStringLiteral("最良の適応度"));  // alone: no run name
    const double firstOptimum = EvolutionWindowTestAccess::optimum(window)->fitness;
    charts.begin(limit, secondTarget, QStringLiteral("B"));
    QCOMPARE(FitnessChartTestAccess::earlierRunCount(*window.chart()), 1);
    QCOMPARE(FitnessChartTestAccess::earlierSeries(*window.chart(), 0)->name(), earlierName);
    QCOMPARE(FitnessChartTestAccess::currentLegendName(*window.chart()), currentName);
    // Each run's own optimum where the targets differ; one line for all where they agree.
    QLineSeries* own = FitnessChartTestAccess::earlierOptimumSeries(*window.chart(), 0);
    QCOMPARE(own->isVisible(), firstTarget != secondTarget);
    QCOMPARE(own->count(), firstTarget != secondTarget ? 2 : 0);
    if (own->count() > 0) QCOMPARE(own->at(0).y(), firstOptimum);
    QCOMPARE(FitnessChartTestAccess::optimumSeries(*window.chart())->at(0).y(), EvolutionWindowTestAccess::optimum(window)->fitness);
    QTRY_VERIFY(FitnessChartTestAccess::earlierMarker(*window.chart(), 0)->isVisible());  // once the legend is laid out
    // Long names never widen the window: the legend cuts them and gives them whole as tooltips.
    const int wide = window.minimumSizeHint().width();
    for (int k = 0; k < FitnessChart::kMaxEarlierRuns; ++k)
        window.chart()->addEarlierRun(QString(200, QLatin1Char('x')), Rows({0.5}));
    QVERIFY(window.chart()->chart()->legend()->showToolTips());
    QCOMPARE(window.minimumSizeHint().width(), wide);
    charts.begin(limit, secondTarget, {}, QStringLiteral("kelvora-cli ") + QString(300, QLatin1Char('y')));
    window.centralWidget()->layout()->activate();
    QCOMPARE(window.minimumSizeHint().width(), wide);
}

void TestEvolution::fitsItsTile_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("diversity");
    // The tiles beside the main window and one more: a 1280 x 800 screen, a 1600 x 1000 one.
    QTest::newRow("666x400") << QSize(666, 400) << false;
    QTest::newRow("666x400, diversity") << QSize(666, 400) << true;
    QTest::newRow("780x500, diversity") << QSize(780, 500) << true;  // the test screen is 800 x 600
}

// At a tile's size the window stays that size, its charts and every readout line inside it; a line
// too long for the width is cut, whole in the tooltip.
void TestEvolution::fitsItsTile() {
    QFETCH(QSize, size);
    QFETCH(bool, diversity);
    Charts charts;
    EvolutionWindow window(charts.model);
    const QString longLine = QStringLiteral("mutation ") + QString(40, QLatin1Char('m')) + QStringLiteral(" 遺伝的操作 ") + QString(60, QLatin1Char('z'));
    charts.begin(100, QPoint(368, 40), QStringLiteral("A"), longLine);
    window.findChild<QAction*>(QStringLiteral("DiversityAction"))->setChecked(diversity);
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.size(), size);

    QCOMPARE(window.size(), size);
    if (auto* area = window.findChild<QScrollArea*>(QStringLiteral("ShrinkArea"))) {
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        QVERIFY(!area->verticalScrollBar()->isVisible());
    }
    auto* readout = window.findChild<QLabel*>(QStringLiteral("Readout"));
    QList<QWidget*> shown{readout, window.chart()};
    if (diversity) shown << window.findChild<QWidget*>(QStringLiteral("DiversityChart"));
    for (QWidget* w : shown) {
        QVERIFY(w->isVisible());
        const QRect inWindow(w->mapTo(&window, QPoint(0, 0)), w->size());
        QVERIFY2(window.rect().contains(inWindow), w->objectName().toLatin1());
    }
    const QStringList lines = readout->text().split(QLatin1Char('\n'));
    QCOMPARE_GE(readout->contentsRect().height(), lines.size() * readout->fontMetrics().lineSpacing());
    for (const QString& line : lines) QCOMPARE_LE(readout->fontMetrics().horizontalAdvance(line), readout->contentsRect().width());
    QVERIFY(EvolutionWindowTestAccess::readoutText(window).endsWith(longLine));
    QVERIFY(!readout->text().contains(longLine));  // wider than any tile
    QCOMPARE(readout->toolTip(), EvolutionWindowTestAccess::readoutText(window));
}

void TestEvolution::readoutFollowsTheScrubber_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QString>("line");  // empty: the run's end, as without a scrubber
    // Bests 0.1, 0.5, 0.2, 0.25: the best so far is 0.1, then 0.5; distance 1/f - 1.
    QTest::newRow("first") << 1 << "第 1 世代までの最良解: 誤差 9.0000 px";
    QTest::newRow("second") << 2 << "第 2 世代までの最良解: 誤差 1.0000 px";
    QTest::newRow("third: the best so far stays") << 3 << "第 3 世代までの最良解: 誤差 1.0000 px";
    QTest::newRow("last") << 4 << QString();
}

void TestEvolution::readoutFollowsTheScrubber() {
    QFETCH(int, generation);
    QFETCH(QString, line);
    Charts charts;
    EvolutionWindow window(charts.model);
    auto* scrubber = new GenerationScrubber;
    window.scrubberSlot()->addWidget(scrubber);
    charts.file(4, QPoint(368, 40), Rows({0.1, 0.5, 0.2, 0.25}), 1.0);
    scrubber->setGenerationCount(4);
    scrubber->setGeneration(generation);
    const QString text = EvolutionWindowTestAccess::readoutText(window);
    if (line.isEmpty()) {
        QVERIFY2(!text.contains(QStringLiteral("世代までの")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("これまでの最良解: 誤差 1.0000 px")), qPrintable(text));
    } else {
        QVERIFY2(text.contains(line), qPrintable(text));
        // Its gap to the optimum, from the same distance.
        const double gap = 1.0 / (generation == 1 ? 0.1 : 0.5) - 1.0 - EvolutionWindowTestAccess::optimum(window)->distance;
        QVERIFY2(text.contains(QStringLiteral("最適解との差 %1 px").arg(gap, 0, 'f', 4)), qPrintable(text));
    }
}

void TestEvolution::scrubberKeysInTheSpinBox_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");  // from generation 20 of 50
    QTest::newRow("Left") << int(Qt::Key_Left) << 19;
    QTest::newRow("Right") << int(Qt::Key_Right) << 21;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 30;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 10;
    QTest::newRow("Home") << int(Qt::Key_Home) << 1;
    QTest::newRow("End") << int(Qt::Key_End) << 50;
}

void TestEvolution::scrubberKeysInTheSpinBox() {
    QFETCH(int, key);
    QFETCH(int, expected);
    GenerationScrubber scrubber;
    scrubber.setGenerationCount(50);
    scrubber.setGeneration(20);
    auto* spin = scrubber.findChild<QSpinBox*>(QStringLiteral("GenerationSpinBox"));
    QVERIFY(spin);
    QSignalSpy moved(&scrubber, &GenerationScrubber::generationChanged);
    QTest::keyClick(spin, static_cast<Qt::Key>(key));
    QCOMPARE(scrubber.generation(), expected);
    QCOMPARE(spin->value(), expected);
    QCOMPARE(moved.size(), 1);
}

void TestEvolution::scrubberFollowsTheModelsReplay_data() {
    QTest::addColumn<QList<int>>("counts");  // replays set one after the other
    QTest::addColumn<int>("announced");      // generationChanged signals for the last of them
    QTest::newRow("a file of 30") << QList<int>{30} << 1;
    QTest::newRow("the same count again: back to its last") << QList<int>{30, 30} << 1;
    QTest::newRow("then none: nothing to announce") << QList<int>{12, 0} << 0;
}

void TestEvolution::scrubberFollowsTheModelsReplay() {
    QFETCH(QList<int>, counts);
    QFETCH(int, announced);
    Charts charts;
    GenerationScrubber scrubber;
    scrubber.follow(charts.model);
    QSignalSpy moved(&scrubber, &GenerationScrubber::generationChanged);
    for (const int count : counts) {
        if (count > 0) scrubber.setGeneration(1);  // wherever it was, each replay starts at its end
        moved.clear();
        charts.model.setReplayGenerations(count);
        QCOMPARE(scrubber.generationCount(), count);
        QCOMPARE(scrubber.generation(), count);
        QCOMPARE(scrubber.isEnabled(), count > 0);
    }
    QCOMPARE(moved.size(), announced);
}

void TestEvolution::diversityOfAReplayedFile_data() {
    QTest::addColumn<bool>("gray");
    QTest::addColumn<QList<double>>("first");  // distinct/N, hamming/24, entropy, best share
    // Generation 1: genes (0,0,0) (0,0,3) (0,0,0), the first best. Genotypes 0, 3, 0 (binary: two
    // bits differ between 0 and 3, pairs 2 + 0 + 2) or 0, 2, 0 (Gray 3 = 2: one bit, pairs 1 + 0 + 1);
    // each differing bit has a third ones, entropy H(1/3) = log2(3) - 2/3 per bit over 24.
    const double h = std::log2(3.0) - 2.0 / 3.0;
    QTest::newRow("binary") << false << QList<double>{2.0 / 3, 4.0 / 3 / 24, 2 * h / 24, 2.0 / 3};
    QTest::newRow("gray") << true << QList<double>{2.0 / 3, 2.0 / 3 / 24, h / 24, 2.0 / 3};
}

void TestEvolution::diversityOfAReplayedFile() {
    QFETCH(bool, gray);
    QFETCH(QList<double>, first);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Generation 2: three equal individuals: one genotype, no differing bit, all equal to the best.
    file.write("0,0,0,0.5\r\n0,0,3,0.25\r\n0,0,0,0.5\r\n0,0.5,0.416667\r\n"
               "5,5,5,0.5\r\n5,5,5,0.5\r\n5,5,5,0.5\r\n0,0.5,0.5\r\n");
    file.close();
    Charts charts;
    EvolutionWindow window(charts.model);
    EvolutionWindowTestAccess::diversityAction(window)->setChecked(true);
    QSignalSpy measured(&window, &EvolutionWindow::diversityMeasured);
    charts.file(2, QPoint(368, 40), {}, 0.0, {}, path, gray);
    QVERIFY(measured.wait(10000));
    const QList<DiversityPoint>& points = EvolutionWindowTestAccess::diversityChart(window)->points();
    QCOMPARE(points.size(), 2);
    const QList<double> got{points[0].distinct, points[0].hamming, points[0].entropy, points[0].bestShare};
    for (int k = 0; k < 4; ++k) QVERIFY2(std::abs(got[k] - first[k]) < 1e-12, qPrintable(QString::number(k)));
    QCOMPARE(points[1].distinct, 1.0 / 3);
    QCOMPARE(points[1].hamming, 0.0);
    QCOMPARE(points[1].entropy, 0.0);
    QCOMPARE(points[1].bestShare, 1.0);
    QCOMPARE(DiversityChartTestAccess::hammingSeries(*EvolutionWindowTestAccess::diversityChart(window))->count(), 2);
    QCOMPARE(DiversityChartTestAccess::hammingSeries(*EvolutionWindowTestAccess::diversityChart(window))->at(0).y(), points[0].hamming);
    // The last generation shares every bit.
    QVERIFY2(EvolutionWindowTestAccess::diversityReading(window).contains(QStringLiteral("ビットの 100% を共有")),
             qPrintable(EvolutionWindowTestAccess::diversityReading(window)));
    // At generation 1 the reading follows the scrubber: the bits differ in 1/18 or 1/36 of the
    // places, under a tenth, so shared are 94% or 97%.
    window.setMarkedGeneration(1);
    QVERIFY2(EvolutionWindowTestAccess::diversityReading(window).contains(QStringLiteral("第 1 世代")) &&
                 EvolutionWindowTestAccess::diversityReading(window).contains(gray ? QStringLiteral("97%") : QStringLiteral("94%")),
             qPrintable(EvolutionWindowTestAccess::diversityReading(window)));
}

void TestEvolution::liveDiversitySkipsUnmeasuredGenerations() {
    Charts charts;
    EvolutionWindow window(charts.model);
    charts.begin(10, QPoint(368, 40));
    kelvora::Diversity measured;
    measured.distinct = 4;  // of 8: a half
    measured.hamming = 6.0;  // a quarter of the bits
    measured.entropy = 0.7;
    measured.bestShare = 0.25;
    // Generations 3..5 posted; 4 came before the chart was shown (distinct 0).
    charts.model.takeDiversity(2, {measured, kelvora::Diversity{}, measured}, 8);
    charts.model.takeRows(0, {}, 0);
    const QList<DiversityPoint>& points = EvolutionWindowTestAccess::diversityChart(window)->points();
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[0].generation, 3);
    QCOMPARE(points[1].generation, 5);
    QCOMPARE(points[0].distinct, 0.5);
    QCOMPARE(points[0].hamming, 0.25);
    // A later post from generation 5 on replaces what came from there.
    charts.model.takeDiversity(4, {kelvora::Diversity{1, 0.0, 0.0, 1.0}}, 8);
    charts.model.takeRows(0, {}, 0);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[1].bestShare, 1.0);
    QVERIFY(EvolutionWindowTestAccess::diversityChart(window)->reading().contains(QStringLiteral("第 5 世代")));
}

void TestEvolution::followsTheModelAlone_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<int>>("snapshots");  // generations finished at each snapshot
    QTest::addColumn<bool>("openedDuringTheRun");
    QTest::newRow("one snapshot per generation") << 4 << QList<int>{1, 2, 3, 4} << false;
    QTest::newRow("gaps between snapshots, stopped early") << 10 << QList<int>{3, 7} << false;
    QTest::newRow("opened after the first snapshot") << 6 << QList<int>{2, 5, 6} << true;
}

void TestEvolution::followsTheModelAlone() {
    // The window is never called: a run's begin, snapshots and end reach it through the model.
    QFETCH(int, limit);
    QFETCH(QList<int>, snapshots);
    QFETCH(bool, openedDuringTheRun);
    Charts charts;
    std::unique_ptr<EvolutionWindow> window;
    if (!openedDuringTheRun) window = std::make_unique<EvolutionWindow>(charts.model);
    charts.begin(limit, QPoint(368, 40), QStringLiteral("R"));
    // Generation g's best 0.01 g, its average half of it; the arm's best so far at the opening pose.
    QList<kelvora::GenerationStat> all;
    for (int g = 1; g <= limit; ++g) all.append({0.01 * g, 0.005 * g});
    int posted = 0;
    for (const int generation : snapshots) {
        charts.model.showPoses(kelvora::kOpeningPose, {10, 20, 30}, 0.01 * generation);
        charts.model.takeRows(posted, all.mid(posted, generation - posted), generation);
        posted = generation;
        if (!window) window = std::make_unique<EvolutionWindow>(charts.model);
        const QList<kelvora::GenerationStat>& shown = window->chart()->history();
        QCOMPARE(shown.size(), generation);
        for (int g = 0; g < generation; ++g) {
            QCOMPARE(shown[g].best, all[g].best);
            QCOMPARE(shown[g].average, all[g].average);
        }
    }
    // The tip of (10, 20, 30) on the base (300, 220), its distance to the target (368, 40), by hand.
    const double rad = kelvora::kDegToRad;
    const double x = 300 + 60 * std::cos(10 * rad) + 100 * std::cos(30 * rad) + 40 * std::cos(60 * rad);
    const double y = 220 - 60 * std::sin(10 * rad) - 100 * std::sin(30 * rad) - 40 * std::sin(60 * rad);
    const double distance = std::hypot(368 - x, 40 - y);
    QVERIFY2(EvolutionWindowTestAccess::readoutText(*window).contains(QStringLiteral("誤差 %1 px").arg(distance, 0, 'f', 4)),
             qPrintable(EvolutionWindowTestAccess::readoutText(*window)));
    QVERIFY2(EvolutionWindowTestAccess::readoutText(*window).contains(QStringLiteral("まだ到達していません")), qPrintable(EvolutionWindowTestAccess::readoutText(*window)));
    charts.model.finishChart();
    QCOMPARE(FitnessChartTestAccess::generationLimit(*window->chart()), posted);  // the axis ends at the last generation run
    QVERIFY2(EvolutionWindowTestAccess::readoutText(*window).contains(QStringLiteral("到達しませんでした")), qPrintable(EvolutionWindowTestAccess::readoutText(*window)));
    // The next run charted: this one joins the earlier runs under its name.
    charts.begin(limit, QPoint(368, 40), QStringLiteral("S"));
    QCOMPARE(FitnessChartTestAccess::earlierRunCount(*window->chart()), 1);
    QCOMPARE(window->chart()->history().size(), 0);
    QVERIFY(FitnessChartTestAccess::earlierSeries(*window->chart(), 0)->name().startsWith(QLatin1Char('R')));
}

void TestEvolution::diversityToggleIsRemembered() {
    for (const bool on : {true, false}) {
        Charts charts;
        {
            EvolutionWindow window(charts.model);
            QSignalSpy shown(&window, &EvolutionWindow::diversityShownChanged);
            EvolutionWindowTestAccess::diversityAction(window)->setChecked(!on);
            EvolutionWindowTestAccess::diversityAction(window)->setChecked(on);
            QCOMPARE(shown.last().first().toBool(), on);
        }
        EvolutionWindow again(charts.model);
        QCOMPARE(again.showsDiversity(), on);
        QCOMPARE(EvolutionWindowTestAccess::diversityChart(again)->isVisibleTo(&again), on);
    }
}

void TestEvolution::runMeasuresEveryGenerationsDiversity_data() {
    QTest::addColumn<bool>("gray");
    QTest::addColumn<int>("population");
    QTest::newRow("binary, 3") << false << 3;
    QTest::newRow("gray, 3") << true << 3;
    QTest::newRow("gray, 40") << true << 40;
}

void TestEvolution::runMeasuresEveryGenerationsDiversity() {
    QFETCH(bool, gray);
    QFETCH(int, population);
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    kelvora::Algorithm algorithm;
    if (gray) algorithm.encoding = kelvora::Encoding::gray;
    constexpr int kGenerations = 12;
    kelvora::ui::RunWorker worker(kelvora::Geometry{}, {population, kGenerations, 0.5, 0.1}, 11, algorithm);
    worker.channel()->wantDiversity = true;
    QList<kelvora::Diversity> measured;
    worker.setSink([&] {
        for (const kelvora::ui::RunSnapshot& snapshot : worker.channel()->takeSnapshots()) {
            QCOMPARE(snapshot.diversity.size(), snapshot.rows.size());
            QCOMPARE(snapshot.populationSize, population);
            measured += snapshot.diversity;
        }
        worker.channel()->markHandled();
    });
    worker.run();
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(measured.size(), kGenerations);

    // Brute force from results.csv: every pair's differing bits, every bit's share of ones.
    QFile file(dir.filePath(QStringLiteral("results.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int g = 0; g < kGenerations; ++g) {
        QList<quint32> genotypes;
        for (int i = 0; i < population; ++i) {
            const QList<QByteArray> f = lines[g * (population + 1) + i].trimmed().split(',');
            quint32 genotype = 0;
            for (int k = 0; k < 3; ++k) {
                const int a = f[k].toInt();
                genotype = genotype * 256 + static_cast<quint32>(gray ? a ^ (a >> 1) : a);
            }
            genotypes << genotype;
        }
        const int best = lines[g * (population + 1) + population].split(',')[0].toInt();
        double pairs = 0, differing = 0, entropy = 0;
        for (int i = 0; i < population; ++i)
            for (int j = i + 1; j < population; ++j, ++pairs) differing += std::popcount(genotypes[i] ^ genotypes[j]);
        for (int bit = 0; bit < 24; ++bit) {
            double p = 0;
            for (const quint32 genotype : genotypes) p += (genotype >> bit) & 1u;
            p /= population;
            if (p > 0 && p < 1) entropy -= (p * std::log2(p) + (1 - p) * std::log2(1 - p)) / 24;
        }
        const kelvora::Diversity& d = measured[g];
        QCOMPARE(d.distinct, static_cast<int>(QSet<quint32>(genotypes.begin(), genotypes.end()).size()));
        QVERIFY(std::abs(d.hamming - differing / pairs) < 1e-12);
        QVERIFY(std::abs(d.entropy - entropy) < 1e-12);
        QCOMPARE(d.bestShare, static_cast<double>(genotypes.count(genotypes[best])) / population);
    }
}

QTEST_MAIN(TestEvolution)
#include "tst_evolution.moc"
