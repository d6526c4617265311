// The experiment window's running and table: runs taken seed by seed across the configurations,
// exports equal to core's sweep of the seeds run, the cells' drop-downs, repeated rows, random
// targets, value lists, the table kept between sessions and the main window asking before it
// drops unsaved runs.

#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QLabel>
#include <QGraphicsEffect>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTableWidget>

#include "batch/sweep_table.h"
#include "experiment/experiment_file.h"
#include "experiment/experimentwindow.h"
#include "experiment/statisticspanel.h"
#include "experimenttestsupport.h"
#include "uitestsupport.h"

namespace {

enum Column { kLabel, kMethod, kPopulation, kGenerations, kCrossover, kMutation, kEncoding, kSelection, kElitism,
              kCrossoverOperator, kMutationOperator };

void SetCell(ExperimentWindow& w, int row, int column, const QString& text) {
    ExperimentWindowTestAccess::configurations(w)->item(row, column)->setText(text);
}

// Runs the window's sweep to its end; false when it did not start or end.
bool RunToEnd(ExperimentWindow& w) {
    QSignalSpy finished(&w, &ExperimentWindow::sweepFinished);
    return w.run() && finished.wait(60000);
}

// What core's own sweep writes of plan, as kelvora-cli sweep writes it (no header).
std::string CoreSweepRows(const kelvora::SweepPlan& plan) {
    std::string rows;
    const long long runs = kelvora::CombinationCount(plan);
    const std::string fingerprint = kelvora::SweepFingerprint(plan);
    kelvora::SweepOptions options;
    options.threads = 2;
    kelvora::RunSweep(plan, options, [&](long long index, const kelvora::SweepResult& r) {
        rows += kelvora::SweepRow(r, index, runs, fingerprint, plan.epsilon);
    });
    return rows;
}

QString g_question;
bool g_answer = false;
void RecordQuestion(QWidget*, const QString& text, std::function<void(bool)> answer) {
    g_question = text;
    answer(g_answer);
}

}  // namespace

class TestExperimentRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetMessageBoxFunction(uitest::RecordMessage);
        ExperimentWindow::SetDiscardQuestion(RecordQuestion);
    }
    void init() {
        AppSettings().remove(QStringLiteral("experiment/table"));
        uitest::Messages().clear();
        g_question.clear();
    }
    void stoppedSweepLeavesEveryConfigurationTheSameSeeds_data();
    void stoppedSweepLeavesEveryConfigurationTheSameSeeds();
    void runsAreCoresSweepByteForByte();
    void dropDownsOfferTheAcceptedSpellings_data();
    void dropDownsOfferTheAcceptedSpellings();
    void untakenCellsAreGreyed_data();
    void untakenCellsAreGreyed();
    void repeatedRowsAreRefusedNamingThem();
    void targets_data();
    void targets();
    void valueLists_data();
    void valueLists();
    void tableIsKeptBetweenSessions();
    void experimentFilesOpenAndSaveAgain_data();
    void experimentFilesOpenAndSaveAgain();
    void malformedExperimentFilesAreNamed_data();
    void malformedExperimentFilesAreNamed();
    void changesMarkTheResultsStale_data();
    void changesMarkTheResultsStale();
    void deletedRowsLeaveTheStatistics_data();
    void deletedRowsLeaveTheStatistics();
    void closingWithUnsavedRunsAsks_data();
    void closingWithUnsavedRunsAsks();
};

void TestExperimentRun::stoppedSweepLeavesEveryConfigurationTheSameSeeds_data() {
    QTest::addColumn<int>("configurations");
    QTest::addColumn<QString>("targets");
    QTest::addColumn<int>("targetCount");
    QTest::newRow("three configurations, one target") << 3 << "68,180" << 1;
    QTest::newRow("two configurations, two targets") << 2 << "68,180 -40,120" << 2;
}

void TestExperimentRun::stoppedSweepLeavesEveryConfigurationTheSameSeeds() {
    QFETCH(int, configurations);
    QFETCH(QString, targets);
    QFETCH(int, targetCount);
    auto w = NewWindow(60, 200);
    for (int i = 0; i < configurations; ++i) {
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
        SetCell(*w, i, kCrossover, QString::number(0.3 + 0.2 * i));
    }
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1..100000"));
    ExperimentWindowTestAccess::targetsEdit(*w)->setText(targets);
    QSignalSpy finished(w.get(), &ExperimentWindow::sweepFinished);
    QVERIFY(w->run());
    QTRY_VERIFY_WITH_TIMEOUT(!ExperimentWindowTestAccess::results(*w, configurations - 1).empty(), 30000);
    w->cancel();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), true);
    const std::size_t held = ExperimentWindowTestAccess::results(*w, 0).size();
    QVERIFY(held > 0 && held % static_cast<std::size_t>(targetCount) == 0);
    const long long seeds = static_cast<long long>(held) / targetCount;
    for (int c = 0; c < configurations; ++c) {
        const auto& results = ExperimentWindowTestAccess::results(*w, c);
        QCOMPARE(results.size(), held);
        // Combination order of a sweep of seeds 1..m: target-major, the seed fastest.
        for (std::size_t k = 0; k < results.size(); ++k) {
            QCOMPARE(results[k].combination.seed, static_cast<std::uint32_t>(static_cast<long long>(k) % seeds + 1));
            QCOMPARE(results[k].combination.target, ExperimentWindowTestAccess::plan(*w, c).targets[k / static_cast<std::size_t>(seeds)]);
        }
    }
    QCOMPARE(ExperimentWindowTestAccess::runsNote(*w)->text(), QStringLiteral("各構成 %1 回 (中止)").arg(held));
    // The export is core's sweep of the seeds run, configuration after configuration.
    std::string expected = kelvora::SweepHeader();
    for (int c = 0; c < configurations; ++c) {
        kelvora::SweepPlan plan = ExperimentWindowTestAccess::plan(*w, c);
        plan.seeds.resize(static_cast<std::size_t>(seeds));
        expected += CoreSweepRows(plan);
    }
    QCOMPARE(w->runsCsv(), QByteArray::fromStdString(expected));
}

void TestExperimentRun::runsAreCoresSweepByteForByte() {
    auto w = NewWindow(20, 15);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    SetCell(*w, 1, kMethod, QStringLiteral("ga"));
    SetCell(*w, 1, kSelection, QStringLiteral("tournament:3"));
    SetCell(*w, 1, kMutationOperator, QStringLiteral("creep:4"));
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("3..5,9"));
    ExperimentWindowTestAccess::targetsEdit(*w)->setText(QStringLiteral("68,180 10,-150"));
    ExperimentWindowTestAccess::epsilonEdit(*w)->setText(QStringLiteral("2"));
    QVERIFY(RunToEnd(*w));
    // The plans as written by hand, not taken from the window.
    kelvora::SweepPlan plan;
    plan.populations = {20};
    plan.generations = {15};
    plan.crossovers = {0.5};
    plan.mutations = {0.1};
    plan.targets = {{68, 180}, {10, -150}};
    plan.seeds = {3, 4, 5, 9};
    plan.epsilon = 2;
    std::string expected = kelvora::SweepHeader() + CoreSweepRows(plan);
    plan.algorithms.front().selection = kelvora::Selection::tournament;
    plan.algorithms.front().tournamentSize = 3;
    plan.algorithms.front().mutation = kelvora::MutationOperator::creep;
    plan.algorithms.front().creepStep = 4;
    expected += CoreSweepRows(plan);
    QCOMPARE(w->runsCsv(), QByteArray::fromStdString(expected));
    QCOMPARE(ExperimentWindowTestAccess::runsNote(*w)->text(), QStringLiteral("各構成 8 回"));
    // And kelvora-cli sweep of each configuration writes the same rows.
    QTemporaryDir dir;
    QByteArray cli;
    for (const QStringList& operators : {QStringList{}, QStringList{"--selection", "tournament:3", "--mutation-operator", "creep:4"}}) {
        const QString out = dir.filePath(QStringLiteral("sweep.csv"));
        QProcess sweep;
        sweep.start(QStringLiteral(KELVORA_CLI),
                    QStringList{"sweep", "--seeds", "3..5,9", "--target", "68,180", "--target", "10,-150", "--population",
                                "20", "--generations", "15", "--epsilon", "2", "--quiet", "--output", out} + operators);
        QVERIFY(sweep.waitForFinished(60000));
        QCOMPARE(sweep.exitCode(), 0);
        const QByteArray written = uitest::ReadAll(out);
        cli += cli.isEmpty() ? written : written.mid(written.indexOf('\n') + 1);  // one header
    }
    QCOMPARE(w->runsCsv(), cli);
}

void TestExperimentRun::dropDownsOfferTheAcceptedSpellings_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("editable");
    // Counts of the choices as core's header lists them.
    QTest::newRow("method") << int(kMethod) << 12 << false;
    QTest::newRow("encoding") << int(kEncoding) << 2 << false;
    QTest::newRow("selection") << int(kSelection) << 3 << true;
    QTest::newRow("crossover operator") << int(kCrossoverOperator) << 3 << false;
    QTest::newRow("mutation operator") << int(kMutationOperator) << 2 << true;
}

void TestExperimentRun::dropDownsOfferTheAcceptedSpellings() {
    QFETCH(int, column);
    QFETCH(int, count);
    QFETCH(bool, editable);
    auto w = NewWindow(20, 10);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    QTableWidget* table = ExperimentWindowTestAccess::configurations(*w);
    const QModelIndex index = table->model()->index(0, column);
    std::unique_ptr<QWidget> editor(table->itemDelegateForColumn(column)->createEditor(table->viewport(), {}, index));
    auto* box = qobject_cast<QComboBox*>(editor.get());
    QVERIFY(box);
    QCOMPARE(box->count(), count);
    QCOMPARE(box->isEditable(), editable);
    using Parser = std::string (*)(std::string_view, kelvora::Algorithm&);
    const std::map<int, Parser> parsers{{kMethod, kelvora::ParseMethod},
                                        {kEncoding, kelvora::ParseEncoding},
                                        {kSelection, kelvora::ParseSelection},
                                        {kCrossoverOperator, kelvora::ParseCrossover},
                                        {kMutationOperator, kelvora::ParseMutation}};
    std::vector<kelvora::Algorithm> parsed;
    for (int i = 0; i < box->count(); ++i) {
        kelvora::Algorithm a;
        QVERIFY2(parsers.at(column)(box->itemText(i).toStdString(), a).empty(), qPrintable(box->itemText(i)));
        for (const kelvora::Algorithm& other : parsed) QVERIFY(!(other == a));  // no choice twice
        parsed.push_back(a);
    }
    // The editor writes back the spelling chosen.
    box->setCurrentIndex(count - 1);
    table->itemDelegateForColumn(column)->setModelData(box, table->model(), index);
    QCOMPARE(table->item(0, column)->text(), box->itemText(count - 1));
}

void TestExperimentRun::untakenCellsAreGreyed_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QList<int>>("taken");
    QTest::newRow("ga") << "ga" << QList<int>{kEncoding, kSelection, kElitism, kCrossoverOperator, kMutationOperator};
    QTest::newRow("hill-climbing") << "hill-climbing" << QList<int>{kEncoding, kMutationOperator};
    QTest::newRow("one-plus-one") << "one-plus-one" << QList<int>{kEncoding};
    QTest::newRow("ccd") << "ccd" << QList<int>{};
    QTest::newRow("random-search") << "random-search" << QList<int>{};
}

void TestExperimentRun::untakenCellsAreGreyed() {
    QFETCH(QString, method);
    QFETCH(QList<int>, taken);
    auto w = NewWindow(20, 10);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    SetCell(*w, 0, kMethod, method);
    for (int column : {kEncoding, kSelection, kElitism, kCrossoverOperator, kMutationOperator}) {
        const Qt::ItemFlags flags = ExperimentWindowTestAccess::configurations(*w)->item(0, column)->flags();
        QCOMPARE(bool(flags & Qt::ItemIsEditable), taken.contains(column));
        QCOMPARE(bool(flags & Qt::ItemIsEnabled), taken.contains(column));
    }
}

void TestExperimentRun::repeatedRowsAreRefusedNamingThem() {
    auto w = NewWindow(20, 10);
    for (int i = 0; i < 4; ++i) QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    SetCell(*w, 1, kLabel, QStringLiteral("another label"));       // 1 and 2 repeat: the label does not count
    SetCell(*w, 2, kCrossover, QStringLiteral("0.3"));              // 3 is another
    SetCell(*w, 3, kCrossover, QStringLiteral("0.2,0.3"));          // 4's list holds 3's value
    SetCell(*w, 2, kMethod, QStringLiteral("ga"));
    const QString pairs = QStringLiteral("1 行目と 2 行目、3 行目と 4 行目");
    QVERIFY2(ExperimentWindowTestAccess::duplicatesNote(*w)->text().contains(pairs), qPrintable(ExperimentWindowTestAccess::duplicatesNote(*w)->text()));
    QVERIFY(!w->run());
    QCOMPARE(uitest::Messages().size(), 1);
    QVERIFY2(uitest::Messages().first().text.contains(pairs), qPrintable(uitest::Messages().first().text));
    // A method that leaves the operators out makes the same rows whatever their greyed cells say.
    SetCell(*w, 3, kCrossover, QStringLiteral("0.9"));
    SetCell(*w, 1, kMethod, QStringLiteral("ccd"));
    SetCell(*w, 2, kMethod, QStringLiteral("ccd"));
    SetCell(*w, 2, kCrossover, QStringLiteral("0.5"));
    SetCell(*w, 2, kEncoding, QStringLiteral("gray"));
    QCOMPARE(ExperimentWindowTestAccess::duplicatesNote(*w)->text(), QStringLiteral("同じ構成の行があります: 2 行目と 3 行目"));
    for (int row = 0; row < 4; ++row)  // the repeating rows tinted, the others not
        QCOMPARE(ExperimentWindowTestAccess::configurations(*w)->item(row, kPopulation)->data(Qt::BackgroundRole).isValid(), row == 1 || row == 2);
    SetCell(*w, 2, kMutation, QStringLiteral("0.2"));
    QVERIFY(ExperimentWindowTestAccess::duplicatesNote(*w)->text().isEmpty());
}

void TestExperimentRun::targets_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("given");  // pairs written before the draws
    QTest::addColumn<int>("drawn");  // K, or 0 when refused
    QTest::addColumn<QString>("says");
    QTest::newRow("random:3") << "random:3" << 0 << 3 << "";
    QTest::newRow("a pair and random:2") << "68,180 random:2" << 1 << 2 << "";
    QTest::newRow("K 0") << "random:0" << 0 << 0 << "random:0 は";
    QTest::newRow("K above 10000") << "random:10001" << 0 << 0 << "random:10001 は";
    QTest::newRow("no K") << "random:" << 0 << 0 << "random: は";
    QTest::newRow("K not a number") << "random:3x" << 0 << 0 << "random:3x は";
    QTest::newRow("twice") << "random:2 random:3" << 0 << 0 << "(random:3)";
}

void TestExperimentRun::targets() {
    QFETCH(QString, text);
    QFETCH(int, given);
    QFETCH(int, drawn);
    QFETCH(QString, says);
    auto w = NewWindow(10, 3);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1"));
    ExperimentWindowTestAccess::targetsEdit(*w)->setText(text);
    if (drawn == 0) {
        QVERIFY(!w->run());
        QCOMPARE(uitest::Messages().size(), 1);
        QVERIFY2(uitest::Messages().first().text.contains(says), qPrintable(uitest::Messages().first().text));
        return;
    }
    QVERIFY(RunToEnd(*w));
    std::vector<kelvora::SweepTarget> expected;
    if (given) expected.push_back({68, 180});
    const std::vector<kelvora::SweepTarget> draws = kelvora::RandomTargets(drawn, 1);  // kelvora-cli's --target-seed 1
    expected.insert(expected.end(), draws.begin(), draws.end());
    QCOMPARE(ExperimentWindowTestAccess::plan(*w, 0).targets, expected);
    QCOMPARE(ExperimentWindowTestAccess::results(*w, 0).size(), expected.size());
}

void TestExperimentRun::valueLists_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QStringList>("labels");  // empty: refused
    QTest::addColumn<QString>("says");
    QTest::newRow("crossover") << int(kCrossover) << "0.2,0.5,0.8"
                               << QStringList{"L 交差率=0.2", "L 交差率=0.5", "L 交差率=0.8"} << "crossover";
    QTest::newRow("population") << int(kPopulation) << "10, 30" << QStringList{"L 集団=10", "L 集団=30"} << "population";
    QTest::newRow("tournament sizes") << int(kSelection) << "tournament:2,5"
                                      << QStringList{"L 選択=tournament:2", "L 選択=tournament:5"} << "tournament";
    QTest::newRow("creep steps") << int(kMutationOperator) << "creep:1,creep:7"
                                 << QStringList{"L 変異=creep:1", "L 変異=creep:7"} << "creep";
    QTest::newRow("elitism") << int(kElitism) << "0,2" << QStringList{"L エリート=0", "L エリート=2"} << "elitism";
    QTest::newRow("a value twice") << int(kCrossover) << "0.2,0.2" << QStringList{} << "値 0.2 が 2 回";
    QTest::newRow("not a tournament") << int(kSelection) << "roulette,rank" << QStringList{} << "tournament:K の K だけ";
    QTest::newRow("a column without lists") << int(kEncoding) << "binary,gray" << QStringList{} << "「符号化」";
    QTest::newRow("two lists") << int(kMutation) << "0.1,0.2" << QStringList{} << "(「世代」と「突然変異の確率」)";
    // A count the population of 10 cannot hold, said in the window's words.
    QTest::newRow("elite of the whole population") << int(kElitism) << "10" << QStringList{}
                                                   << "1 行目: エリート数 10 は 0 から 9 (集団サイズ − 1) まで";
    QTest::newRow("tournament beyond the population") << int(kSelection) << "tournament:11" << QStringList{}
                                                      << "1 行目: トーナメントの大きさ 11 は 2 から 10 (集団サイズ) まで";
}

void TestExperimentRun::valueLists() {
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(QStringList, labels);
    QFETCH(QString, says);
    auto w = NewWindow(10, 3);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    SetCell(*w, 0, kLabel, QStringLiteral("L"));
    if (QTest::currentDataTag() == QLatin1String("two lists")) SetCell(*w, 0, kGenerations, QStringLiteral("3,4"));
    SetCell(*w, 0, column, cell);
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1..2"));
    if (labels.isEmpty()) {
        QVERIFY(!w->run());
        QCOMPARE(uitest::Messages().size(), 1);
        QVERIFY2(uitest::Messages().first().text.contains(says), qPrintable(uitest::Messages().first().text));
        return;
    }
    QVERIFY(RunToEnd(*w));
    QCOMPARE(ExperimentWindowTestAccess::configurationCount(*w), labels.size());
    const QStringList values = cell.split(QLatin1Char(','));
    for (int i = 0; i < labels.size(); ++i) {
        QCOMPARE(ExperimentWindowTestAccess::configurationLabel(*w, i), labels[i]);
        QCOMPARE(ExperimentWindowTestAccess::results(*w, i).size(), std::size_t{2});
        // Each configuration holds the list's value and the row's others.
        const kelvora::SweepCombination& c = ExperimentWindowTestAccess::results(*w, i).front().combination;
        const double value = values[i].section(QLatin1Char(':'), -1).trimmed().toDouble();
        const double held[] = {0, 0, double(c.params.populationSize), 0, c.params.crossoverRate, 0, 0,
                               double(c.algorithm.tournamentSize), double(c.algorithm.elitism), 0,
                               double(c.algorithm.creepStep)};
        QCOMPARE(held[column], value);
        QCOMPARE(c.params.generationCount, 3);
    }
    QCOMPARE(ExperimentWindowTestAccess::response(*w)->parameter()->currentData().toString(), says);
    QVERIFY(ExperimentWindowTestAccess::response(*w)->chart());
}

namespace {

QString WriteText(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return {};
    return file.fileName();
}

kelvora::experiment::ExperimentPlan PlanOf(const QString& path, kelvora::experiment::Experiment& experiment) {
    kelvora::experiment::ExperimentPlan plan;
    if (kelvora::experiment::ReadExperimentFile(QFile::encodeName(path).toStdString(), experiment) ||
        kelvora::experiment::PlanExperiment(experiment, plan))
        qFatal("not an experiment: %s", qPrintable(path));
    return plan;
}

}  // namespace

void TestExperimentRun::experimentFilesOpenAndSaveAgain_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("rows");  // each row's population cell
    QTest::addColumn<QString>("targets");   // the targets field, or a count of pairs ("20 pairs")
    QTest::newRow("labels, a random draw with the field's seed")
        << QByteArray(R"({"format": "kelvora-experiment", "version": 1, "title": "Does Gray coding help?", "notes": "Compare the rows.",
  "configurations": [{"label": "classic"}, {"label": "gray", "encoding": "gray"}],
  "seeds": "1..100", "targets": [[68, 180], "random:9"], "epsilon": 2})")
        << QStringList{"20", "20"} << "68,180 random:9";
    QTest::newRow("a list, targets drawn from another seed")
        << QByteArray(R"({"format": "kelvora-experiment", "version": 1, "title": "How large a population?",
  "configurations": [{"population": [10, 20, 50], "generations": 100}], "seeds": [3, 4, 5, 9],
  "targets": ["random:20"], "target_seed": 7})")
        << QStringList{"10,20,50"} << "20 pairs";
    QTest::newRow("two lists: a row per combination")
        << QByteArray(R"({"format": "kelvora-experiment", "version": 1,
  "configurations": [{"population": [10, 20], "mutation": [0.1, 0.2], "generations": 5}], "seeds": "1..3"})")
        << QStringList{"10", "10", "20", "20"} << "68,180";
}

void TestExperimentRun::experimentFilesOpenAndSaveAgain() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, rows);
    QFETCH(QString, targets);
    QTemporaryDir dir;
    const QString path = WriteText(dir, QStringLiteral("a.kelvora.json"), file);
    kelvora::experiment::Experiment experiment;
    const kelvora::experiment::ExperimentPlan plan = PlanOf(path, experiment);
    auto w = NewWindow(20, 10);
    QVERIFY(w->openExperiment(path));
    QVERIFY(uitest::Messages().isEmpty());
    QTableWidget* table = ExperimentWindowTestAccess::configurations(*w);
    QCOMPARE(table->rowCount(), rows.size());
    for (int row = 0; row < rows.size(); ++row) QCOMPARE(table->item(row, kPopulation)->text(), rows[row]);
    // A label the file gives stands as typed.
    for (std::size_t k = 0; k < experiment.configurations.size() && rows.size() == static_cast<int>(experiment.configurations.size()); ++k)
        if (const auto& label = experiment.configurations[k].label)
            QCOMPARE(table->item(static_cast<int>(k), kLabel)->text(), QString::fromStdString(*label));
    QCOMPARE(ExperimentWindowTestAccess::seedsEdit(*w)->text(), QString::fromStdString(kelvora::experiment::SeedListText(experiment.seeds)));
    if (targets.endsWith(QLatin1String(" pairs")))
        QCOMPARE(ExperimentWindowTestAccess::targetsEdit(*w)->text().split(QLatin1Char(' ')).size(), targets.section(QLatin1Char(' '), 0, 0).toInt());
    else
        QCOMPARE(ExperimentWindowTestAccess::targetsEdit(*w)->text(), targets);
    QCOMPARE(ExperimentWindowTestAccess::epsilonEdit(*w)->text().toDouble(), plan.epsilon);
    QCOMPARE(ExperimentWindowTestAccess::aboutNote(*w)->isHidden(), !experiment.title);
    if (experiment.title) QVERIFY(ExperimentWindowTestAccess::aboutNote(*w)->text().startsWith(QString::fromStdString(*experiment.title)));
    if (experiment.notes) QVERIFY(ExperimentWindowTestAccess::aboutNote(*w)->text().endsWith(QString::fromStdString(*experiment.notes)));
    // Saved, the experiment runs the same configurations over the same seeds, targets and ε.
    const QString saved = dir.filePath(QStringLiteral("saved.kelvora.json"));
    QCOMPARE(w->saveExperiment(saved), QString());
    kelvora::experiment::Experiment again;
    const kelvora::experiment::ExperimentPlan replan = PlanOf(saved, again);
    QCOMPARE(replan.configurations.size(), plan.configurations.size());
    for (std::size_t k = 0; k < plan.configurations.size(); ++k) {
        QCOMPARE(replan.configurations[k].algorithm, plan.configurations[k].algorithm);
        QCOMPARE(replan.configurations[k].params.populationSize, plan.configurations[k].params.populationSize);
        QCOMPARE(replan.configurations[k].params.mutationProbability, plan.configurations[k].params.mutationProbability);
        QCOMPARE(replan.configurations[k].params.generationCount, plan.configurations[k].params.generationCount);
    }
    QCOMPARE(replan.seeds, plan.seeds);
    QCOMPARE(replan.targets, plan.targets);
    QCOMPARE(replan.epsilon, plan.epsilon);
    QCOMPARE(again.title, experiment.title);
    QCOMPARE(again.notes, experiment.notes);
    // A file saved from the window opens and saves to the same bytes.
    auto reopened = NewWindow(20, 10);
    QVERIFY(reopened->openExperiment(saved));
    const QString twice = dir.filePath(QStringLiteral("twice.kelvora.json"));
    QCOMPARE(reopened->saveExperiment(twice), QString());
    QFile a(saved), b(twice);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
}

void TestExperimentRun::malformedExperimentFilesAreNamed_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("says");
    const QByteArray head = R"({"format": "kelvora-experiment", "version": 1, "seeds": "1..3", )";
    QTest::newRow("out of range") << head + R"("configurations": [{}, {"mutation": 1.5}]})"
                                  << QStringList{"configurations[1].mutation", "1.5", "0..1", "範囲"};
    QTest::newRow("unknown key") << head + R"("configurations": [{"colour": 1}]})"
                                 << QStringList{"configurations[0].colour", "知らないキー"};
    QTest::newRow("a seed twice") << QByteArray(R"({"format": "kelvora-experiment", "version": 1, "seeds": "1..3,2", "configurations": [{}]})")
                                  << QStringList{"seeds", "シード 2 が 2 回"};
    QTest::newRow("not JSON") << QByteArray("{\"format\": ") << QStringList{"JSON ではありません"};
}

void TestExperimentRun::malformedExperimentFilesAreNamed() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, says);
    QTemporaryDir dir;
    auto w = NewWindow(20, 10);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1..7"));
    QVERIFY(!w->openExperiment(WriteText(dir, QStringLiteral("bad.kelvora.json"), file)));
    QCOMPARE(uitest::Messages().size(), 1);
    for (const QString& word : says)
        QVERIFY2(uitest::Messages().first().text.contains(word), qPrintable(uitest::Messages().first().text));
    // Nothing changed.
    QCOMPARE(ExperimentWindowTestAccess::configurations(*w)->rowCount(), 1);
    QCOMPARE(ExperimentWindowTestAccess::seedsEdit(*w)->text(), QStringLiteral("1..7"));
}

void TestExperimentRun::changesMarkTheResultsStale_data() {
    QTest::addColumn<QString>("field");  // a cell's column number, or the field edited
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stale");
    QTest::newRow("population") << "2" << "100" << true;
    QTest::newRow("method") << "1" << "random-search" << true;
    QTest::newRow("label typed") << "0" << "mine" << false;
    QTest::newRow("seeds") << "seeds" << "1..4" << true;
    QTest::newRow("targets") << "targets" << "-40,120" << true;
    QTest::newRow("epsilon") << "epsilon" << "2" << true;
    QTest::newRow("a row added") << "add" << "" << true;
}

void TestExperimentRun::changesMarkTheResultsStale() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, stale);
    auto w = NewWindow(20, 5);
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    SetCell(*w, 1, kCrossover, QStringLiteral("0.4"));
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1..3"));
    QVERIFY(RunToEnd(*w));
    QVERIFY(!ExperimentWindowTestAccess::isStale(*w));
    QVERIFY(ExperimentWindowTestAccess::staleNote(*w)->isHidden());
    const QHash<QString, QLineEdit*> fields{{QStringLiteral("seeds"), ExperimentWindowTestAccess::seedsEdit(*w)},
                                            {QStringLiteral("targets"), ExperimentWindowTestAccess::targetsEdit(*w)},
                                            {QStringLiteral("epsilon"), ExperimentWindowTestAccess::epsilonEdit(*w)}};
    if (field == QLatin1String("add")) {
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
    } else if (QLineEdit* edit = fields.value(field)) {
        edit->selectAll();
        QTest::keyClicks(edit, text);  // typed, as a person edits it
    } else {
        SetCell(*w, 0, field.toInt(), text);
    }
    QCOMPARE(ExperimentWindowTestAccess::isStale(*w), stale);
    QCOMPARE(ExperimentWindowTestAccess::staleNote(*w)->isHidden(), !stale);
    QCOMPARE(ExperimentWindowTestAccess::summary(*w)->graphicsEffect() != nullptr, stale);
    // The results shown are still those run, until 実行 runs the new table.
    QCOMPARE(ExperimentWindowTestAccess::configurationCount(*w), 2);
    QCOMPARE(ExperimentWindowTestAccess::results(*w, 0).size(), std::size_t{3});
    if (field == QLatin1String("add")) SetCell(*w, 2, kCrossover, QStringLiteral("0.6"));
    if (field == QLatin1String("0")) return;
    QVERIFY(RunToEnd(*w));
    QVERIFY(!ExperimentWindowTestAccess::isStale(*w));
    QVERIFY(ExperimentWindowTestAccess::staleNote(*w)->isHidden());
    QVERIFY(!ExperimentWindowTestAccess::summary(*w)->graphicsEffect());
}

void TestExperimentRun::deletedRowsLeaveTheStatistics_data() {
    QTest::addColumn<QList<int>>("deleted");
    QTest::addColumn<QStringList>("left");  // the crossovers of the configurations left, in order
    QTest::newRow("the middle row") << QList<int>{1} << QStringList{"0.2", "0.8", "0.3", "0.9"};
    QTest::newRow("first and third") << QList<int>{0, 2} << QStringList{"0.5", "0.3", "0.9"};
    QTest::newRow("a list's row") << QList<int>{3} << QStringList{"0.2", "0.5", "0.8"};
}

void TestExperimentRun::deletedRowsLeaveTheStatistics() {
    QFETCH(QList<int>, deleted);
    QFETCH(QStringList, left);
    auto w = NewWindow(20, 5);
    const QStringList crossovers{"0.2", "0.5", "0.8", "0.3,0.9"};
    for (int row = 0; row < crossovers.size(); ++row) {
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
        SetCell(*w, row, kCrossover, crossovers[row]);
    }
    ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1..4"));
    QVERIFY(RunToEnd(*w));
    QCOMPARE(ExperimentWindowTestAccess::configurationCount(*w), 5);
    QTableWidget* table = ExperimentWindowTestAccess::configurations(*w);
    table->clearSelection();
    table->setSelectionMode(QAbstractItemView::MultiSelection);
    for (int row : deleted) table->selectRow(row);
    QPushButton* remove = nullptr;
    for (QPushButton* button : w->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("削除")) remove = button;
    QVERIFY(remove);
    remove->click();
    QCOMPARE(table->rowCount(), crossovers.size() - deleted.size());
    QCOMPARE(ExperimentWindowTestAccess::configurationCount(*w), left.size());
    QCOMPARE(ExperimentWindowTestAccess::summary(*w)->rowCount(), left.size());
    // The 統計 tab compares those left alone (its baselines end with every pair).
    QCOMPARE(ExperimentWindowTestAccess::statistics(*w)->baseline()->count(), left.size() + 1);
    for (int i = 0; i < left.size(); ++i) {
        QCOMPARE(ExperimentWindowTestAccess::statistics(*w)->baseline()->itemText(i), ExperimentWindowTestAccess::configurationLabel(*w, i));
        QCOMPARE(ExperimentWindowTestAccess::plan(*w, i).crossovers.front(), left[i].toDouble());
        QCOMPARE(ExperimentWindowTestAccess::results(*w, i).size(), std::size_t{4});
        QCOMPARE(ExperimentWindowTestAccess::results(*w, i).front().combination.params.crossoverRate, left[i].toDouble());
    }
}

void TestExperimentRun::tableIsKeptBetweenSessions() {
    QStringList cells;
    {
        auto w = NewWindow(20, 10);
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
        SetCell(*w, 1, kLabel, QStringLiteral("tuned, gray"));
        SetCell(*w, 1, kEncoding, QStringLiteral("gray"));
        SetCell(*w, 1, kCrossover, QStringLiteral("0.2,0.4"));
        ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("5..9,12"));
        ExperimentWindowTestAccess::targetsEdit(*w)->setText(QStringLiteral("10,20 random:4"));
        ExperimentWindowTestAccess::epsilonEdit(*w)->setText(QStringLiteral("0.25"));
        for (int c = 0; c < ExperimentWindowTestAccess::configurations(*w)->columnCount(); ++c) cells << ExperimentWindowTestAccess::configurations(*w)->item(1, c)->text();
    }
    auto again = NewWindow(50, 50);
    QCOMPARE(ExperimentWindowTestAccess::configurations(*again)->rowCount(), 2);
    QStringList restored;
    for (int c = 0; c < ExperimentWindowTestAccess::configurations(*again)->columnCount(); ++c) restored << ExperimentWindowTestAccess::configurations(*again)->item(1, c)->text();
    QCOMPARE(restored, cells);
    QCOMPARE(ExperimentWindowTestAccess::configurations(*again)->item(0, kPopulation)->text(), QStringLiteral("20"));
    QCOMPARE(ExperimentWindowTestAccess::seedsEdit(*again)->text(), QStringLiteral("5..9,12"));
    QCOMPARE(ExperimentWindowTestAccess::targetsEdit(*again)->text(), QStringLiteral("10,20 random:4"));
    QCOMPARE(ExperimentWindowTestAccess::epsilonEdit(*again)->text(), QStringLiteral("0.25"));
}

void TestExperimentRun::closingWithUnsavedRunsAsks_data() {
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<bool>("discard");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("byMenu");  // ファイル → 閉じる rather than Escape
    QTest::newRow("nothing unsaved: Escape closes") << false << false << true << false;
    QTest::newRow("unsaved, キャンセル") << true << false << false << false;
    QTest::newRow("unsaved, 保存せずに閉じる") << true << true << true << false;
    QTest::newRow("unsaved, 閉じる, キャンセル") << true << false << false << true;
    QTest::newRow("unsaved, 閉じる, 保存せずに閉じる") << true << true << true << true;
}

void TestExperimentRun::closingWithUnsavedRunsAsks() {
    QFETCH(bool, unsaved);
    QFETCH(bool, discard);
    QFETCH(bool, closed);
    QFETCH(bool, byMenu);
    uitest::TemporaryCurrentDirectory cwd;
    uitest::Fixture f;
    f.dlg->findChild<QAction*>(QStringLiteral("ExperimentAction"))->trigger();
    ExperimentWindow* w = SolverDlgTestAccess::experimentWindow(*f.dlg);
    QVERIFY(w);
    if (unsaved) {
        QVERIFY(ExperimentWindowTestAccess::addCurrent(*w));
        ExperimentWindowTestAccess::seedsEdit(*w)->setText(QStringLiteral("1..2"));
        QVERIFY(RunToEnd(*w));
    }
    QCOMPARE(w->holdsUnsavedRuns(), unsaved);
    // A run of the main window stopped by Escape: that Escape only stops it.
    std::int64_t now = 0;
    SolverDlgTestAccess::setClock(*f.dlg, [&now] { return now; });
    f.dlg->setEveryGeneration(false);
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("10000"));
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("2000"));
    QSignalSpy ended(f.dlg.get(), &CSolverDlg::runFinished);
    f.compute()->click();
    QVERIFY(f.dlg->isRunning());
    QTest::keyClick(f.dlg.get(), Qt::Key_Escape);
    QVERIFY(ended.wait(60000));
    QVERIFY(f.dlg->isVisible());
    QVERIFY(g_question.isEmpty());
    // The next Escape, a second later, closes, or asks first while the experiment window holds unsaved runs.
    now += CSolverDlg::kEscapeGraceMs;
    g_answer = discard;
    if (byMenu) f.dlg->findChild<QAction*>(QStringLiteral("CloseAction"))->trigger();
    else QTest::keyClick(f.dlg.get(), Qt::Key_Escape);
    QCOMPARE(!g_question.isEmpty(), unsaved);
    QCOMPARE(f.dlg->isVisible(), !closed);
    if (!closed) {  // asked again, not closed behind the user's back
        g_question.clear();
        QTest::keyClick(f.dlg.get(), Qt::Key_Escape);
        QVERIFY(!g_question.isEmpty());
        QVERIFY(f.dlg->isVisible());
    }
}

QTEST_MAIN(TestExperimentRun)
#include "tst_experimentrun.moc"
