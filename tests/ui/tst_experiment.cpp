// The experiment window: the run-length numbers it shows are those of its own runs, a cancelled
// sweep keeps whole runs in order, and `kelvora --plot` draws a sweep CSV into a file.

#include <QComboBox>
#include <QChart>
#include <QImage>
#include <QTableWidget>

#include "batch/runlength.h"
#include "batch/sweep_table.h"
#include "experimentplots.h"
#include "experimentwindow.h"
#include "plotcommand.h"
#include "statisticspanel.h"
#include "uitestsupport.h"

namespace {

std::unique_ptr<ExperimentWindow> NewWindow(int population, int generations) {
    return std::make_unique<ExperimentWindow>([=] {
        CurrentSettings now;
        now.params.populationSize = population;
        now.params.generationCount = generations;
        now.target = QPoint(68, 180);
        return now;
    });
}

}  // namespace

class TestExperiment : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageBoxFunction(uitest::RecordMessage); }
    void plotsShowTheRunsAndPlotFromTheirCsv();
    void cancellingKeepsWholeRuns();
    void plotsTheCriticalDifferenceAndTheResponseOfASweepCsv();
    void verdictsAreWords();
};

void TestExperiment::plotsShowTheRunsAndPlotFromTheirCsv() {
    auto window = NewWindow(20, 40);
    QVERIFY(window->addCurrent());
    QVERIFY(window->addCurrent());
    window->configurations()->item(1, 1)->setText(QStringLiteral("random-search"));
    window->seedsEdit()->setText(QStringLiteral("1..30"));
    QSignalSpy finished(window.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(window->run());
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), false);
    for (bool evaluations : {false, true}) {
        window->plots()->setEvaluations(evaluations);
        for (int row = 0; row < 2; ++row) {
            const auto& results = window->results(row);
            QCOMPARE(results.size(), std::size_t{30});
            std::vector<int> first;
            for (const auto& r : results) first.push_back(r.firstGenerationWithinEpsilon);
            const auto expected = kelvora::RunLengthDistribution(first, 40, 20, evaluations);
            const QList<QPointF> shown = window->plots()->runLengthPoints(row);
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
    QVERIFY(opened->openSweep(csv));
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(opened->results(row).size(), std::size_t{30});
        for (bool evaluations : {false, true}) {
            window->plots()->setEvaluations(evaluations);
            opened->plots()->setEvaluations(evaluations);
            QCOMPARE(opened->plots()->runLengthPoints(row), window->plots()->runLengthPoints(row));
        }
        for (int column = 1; column < window->summary()->columnCount(); ++column)
            QCOMPARE(opened->summary()->item(row, column)->text(), window->summary()->item(row, column)->text());
    }
    QCOMPARE(opened->runsCsv(), window->runsCsv());
    const QString svg = dir.filePath(QStringLiteral("plot.svg"));
    QCOMPARE(RunPlotCommand({QStringLiteral("kelvora"), QStringLiteral("--plot"), csv, QStringLiteral("--output"), svg}), 0);
    QFile picture(svg);
    QVERIFY(picture.open(QIODevice::ReadOnly));
    const QByteArray bytes = picture.readAll();
    QVERIFY(bytes.contains("<svg") && bytes.contains("<path"));
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
    QVERIFY(window->addCurrent());
    window->seedsEdit()->setText(QStringLiteral("1..100000"));
    QSignalSpy finished(window.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(window->run());
    QTRY_VERIFY_WITH_TIMEOUT(!window->results(0).empty(), 30000);
    window->cancel();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), true);
    const auto& kept = window->results(0);
    QVERIFY(!kept.empty() && kept.size() < 100000);
    // The first runs in order, each the very run a sweep makes of its seed.
    auto buffers = std::make_unique<kelvora::RunBuffers>();
    for (std::size_t k : {std::size_t{0}, kept.size() - 1}) {
        QCOMPARE(kept[k].combination.seed, static_cast<std::uint32_t>(k + 1));
        const auto again = kelvora::RunCombination(kept[k].combination, kept[k].optimumDistance, 0.5, *buffers);
        QCOMPARE(kept[k].eliteDistance, again.eliteDistance);
        QCOMPARE(kept[k].firstGenerationWithinEpsilon, again.firstGenerationWithinEpsilon);
    }
    QCOMPARE(window->summary()->item(0, 1)->text(), QString::number(kept.size()));
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
        text += kelvora::SweepRow(r, index, kelvora::CombinationCount(plan), fingerprint);
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
    for (const char* label : {"mutation 0.05, classic", "mutation 0.1, classic", "mutation 0.05, gray", "mutation 0.1, gray"})
        QVERIFY2(svg.contains(label), label);
    const QString response = dir.filePath(QStringLiteral("response.png"));
    QCOMPARE(plot({QStringLiteral("--kind"), QStringLiteral("response"), QStringLiteral("--parameter"), QStringLiteral("mutation")}, response), 0);
    QCOMPARE(QImage(response).size(), QSize(900, 600));
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
    QVERIFY(window->openSweep(csv));
    StatisticsPanel* panel = window->statistics();
    QCOMPARE(panel->table()->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const long long a = successes[static_cast<std::size_t>(row + 1)], b = successes[0];
        QCOMPARE(panel->table()->item(row, 2)->text(), QStringLiteral("%1/6 : %2/6").arg(a).arg(b));
        QCOMPARE(panel->table()->item(row, 3)->text(), QString::number(kelvora::FisherExactTwoSided(a, 6, b, 6), 'g', 2));
        QVERIFY(!panel->table()->item(row, 8)->text().isEmpty());
    }
    QVERIFY(window->summary()->item(0, 2)->text().endsWith(QStringLiteral(" · 基準")));
    // The summary's rate carries its Holm-adjusted Fisher p against the baseline, over the three pairs.
    std::vector<double> fisher;
    for (std::size_t k = 1; k < 4; ++k) fisher.push_back(kelvora::FisherExactTwoSided(successes[k], 6, successes[0], 6));
    QVERIFY(window->summary()->item(1, 2)->text().endsWith(
        QStringLiteral(" · p ") + QString::fromStdString(kelvora::PValueText(kelvora::HolmAdjust(fisher)[0]))));
    panel->baseline()->setCurrentIndex(panel->baseline()->count() - 1);
    QCOMPARE(panel->table()->rowCount(), 6);
    QVERIFY(!window->summary()->item(1, 2)->text().contains(QStringLiteral(" · ")));
    const QList<QByteArray> exported = panel->csv().split('\n');
    QCOMPARE(exported.size(), 8);  // the header, six pairs and the nothing after the last LF
    QCOMPARE(exported[0], QByteArray("a,b,a_successes,a_runs,b_successes,b_runs,fisher_p,fisher_p_holm,mwu_u,mwu_p,mwu_p_holm,a12,verdict"));
    QVERIFY(exported[1].contains(QStringLiteral(",%1,6,%2,6,").arg(successes[0]).arg(successes[1]).toUtf8()));
    QVERIFY(panel->criticalDifference().has_value());
    double ranks = 0;
    for (double r : panel->criticalDifference()->friedman.meanRanks) ranks += r;
    QCOMPARE(ranks, 1.0 + 2.0 + 3.0 + 4.0);
    // The 応答 tab: over the mutation rate, classic and gray each a curve (rate, band, median, IQR).
    ResponsePanel* curves = window->response();
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
    QCOMPARE(VerdictText(in, 0.05), QStringLiteral("gray は classic より標的に近く終わる (A12 = 0.750, Holm 補正後 p = 0.02)、大きい効果"));
    in.mwuPHolm = 0.3;
    QCOMPARE(VerdictText(in, 0.05), QStringLiteral("40 シードでは差の証拠なし"));
}

#include "tst_experiment.moc"
