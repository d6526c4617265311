// Replay in the window: opening a results.csv, the generation scrubber, the plot of a scrubbed
// generation, the population layer and its setting, unreadable files, the run.json beside a file,
// a click that leaves the replay, the question before a run rewrites the opened file, a fitness.csv.

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QSemaphore>
#include <QTimer>
#include <QMimeData>
#include <QSpinBox>
#include <QTableWidget>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QUrl>

#include "batch/sweep_table.h"
#include "evolution/evolutionwindow.h"
#include "experiment/experimentwindow.h"
#include "evolution/generationscrubber.h"
#include "io/results_reader.h"
#include "mainwindow/resultsreplay.h"
#include "common/settings.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "io/run_record.h"
#include "evolution/fitnesschart.h"
#include "experimenttestsupport.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

using uitest::Fixture;

namespace {

struct WrittenRun {
    QString path;
    std::unique_ptr<kelvora::ui::SolverState> state;
};

kelvora::SolverParams Params(int population, int generations) { return {population, generations, 0.5, 0.1}; }

// A run of the solver itself, as the window or kelvora-cli makes it, writing into directory.
std::unique_ptr<kelvora::ui::SolverState> RunInto(const QString& directory, int population, int generations,
                                              std::uint32_t seed, QPoint target) {
    auto state = std::make_unique<kelvora::ui::SolverState>();
    state->baseX = kelvora::kBaseX;
    state->baseY = kelvora::kBaseY;
    state->targetX = target.x();
    state->targetY = target.y();
    const QByteArray dir = QFile::encodeName(directory);
    kelvora::RunOutcome outcome;
    kelvora::RunWithFiles({Params(population, generations), state->geometry(), seed}, dir.constData(),
                          kelvora::FlushMode::line, &outcome);
    state->currentPose = outcome.currentPose;
    state->elitePose = outcome.elitePose;
    state->eliteFitness = outcome.eliteFitness;
    return state;
}

constexpr std::uint32_t kSeed = 2718;
const QPoint kTarget(240, 130);  // -60, 90 from the base

// Drops the one local file path on window, as a file manager does.
void DropFile(QWidget* window, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(300, 220), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(300, 220), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
}

// A sweep of four runs over two crossover rates, 0.5 and 0.75, as kelvora-cli sweep writes it.
QByteArray SweepOfFour() {
    QByteArray text = QByteArray::fromStdString(kelvora::SweepHeader());
    for (long long run = 0; run < 4; ++run) {
        kelvora::SweepResult r;
        r.combination.params = {20, 100, run % 2 ? 0.75 : 0.5, 0.1};
        r.combination.target = {68, 180};
        r.combination.seed = static_cast<std::uint32_t>(run + 1);
        r.eliteDistance = 1.5;
        r.optimumDistance = 0.25;
        r.firstGenerationWithinEpsilon = 10;
        text += QByteArray::fromStdString(kelvora::SweepRow(r, run, 4, "0123456789abcdef", 0.5));
    }
    return text;
}

}  // namespace

class TestReplay : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void scrubberKeys_data();
    void scrubberKeys();
    void scrubberCountChanges();
    void populationLayerPixels();
    void cloudColourEnds();
    void openingReturnsBeforeTheCheck();
    void openedFileShowsItsRun();
    void scrubbedGenerationPlot_data();
    void scrubbedGenerationPlot();
    void unreadableFileKeepsTheWindow_data();
    void unreadableFileKeepsTheWindow();
    void fileCutShortAfterOpening_data();
    void fileCutShortAfterOpening();
    void droppedFileOpens();
    void sweepFilesAreKnownByTheirHeader_data();
    void sweepFilesAreKnownByTheirHeader();
    void filesOpenWhereTheyBelong_data();
    void filesOpenWhereTheyBelong();
    void lastRunReplaysFromItsRecordedIndex();
    void populationToggleIsRemembered();
    void clickLeavesTheReplay();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void replayReadsRunJson_data();
    void replayReadsRunJson();
    void fitnessFileOpensAsAChart();
    void hostileFileLeavesOneModal_data();
    void hostileFileLeavesOneModal();

private:
    QTemporaryDir m_dir;
    QString m_results;  // a run of 40 x 30 towards kTarget, seed kSeed
};

void TestReplay::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    SetMessageBoxFunction(uitest::RecordMessage);
    QVERIFY(m_dir.isValid());
    RunInto(m_dir.path(), 40, 30, kSeed, kTarget);
    m_results = m_dir.filePath(QStringLiteral("results.csv"));
}

void TestReplay::init() { kelvora::ui::AppSettings().remove(QStringLiteral("view/showPopulation")); }

void TestReplay::cleanup() {
    QVERIFY2(uitest::Messages().isEmpty() || QTest::currentTestFunction() == QByteArray("unreadableFileKeepsTheWindow"),
             "a stray message box");
    uitest::Messages().clear();
}

void TestReplay::scrubberKeys_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("right steps up") << 5 << int(Qt::Key_Right) << 6;
    QTest::newRow("left steps down") << 5 << int(Qt::Key_Left) << 4;
    QTest::newRow("left stops at 1") << 1 << int(Qt::Key_Left) << 1;
    QTest::newRow("right stops at the last") << 37 << int(Qt::Key_Right) << 37;
    QTest::newRow("page up by ten") << 5 << int(Qt::Key_PageUp) << 15;
    QTest::newRow("page down by ten") << 25 << int(Qt::Key_PageDown) << 15;
    QTest::newRow("page up stops at the last") << 30 << int(Qt::Key_PageUp) << 37;
    QTest::newRow("page down stops at 1") << 4 << int(Qt::Key_PageDown) << 1;
    QTest::newRow("home") << 20 << int(Qt::Key_Home) << 1;
    QTest::newRow("end") << 3 << int(Qt::Key_End) << 37;
}

void TestReplay::scrubberKeys() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    GenerationScrubber scrubber;
    scrubber.setGenerationCount(37);
    scrubber.setGeneration(start);
    QSignalSpy spy(&scrubber, &GenerationScrubber::generationChanged);
    // The same key on the scrubber and on its slider, which has the focus.
    QWidget* slider = scrubber.findChild<QWidget*>(QStringLiteral("GenerationSlider"));
    QVERIFY(slider);
    for (QWidget* target : {static_cast<QWidget*>(&scrubber), slider}) {
        scrubber.setGeneration(start);
        spy.clear();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(scrubber.generation(), expected);
        QCOMPARE(spy.size(), expected == start ? 0 : 1);
        if (!spy.isEmpty()) QCOMPARE(spy.first().first().toInt(), expected);
        QCOMPARE(scrubber.findChild<QSpinBox*>()->value(), expected);
    }
}

void TestReplay::scrubberCountChanges() {
    GenerationScrubber scrubber;
    QSignalSpy spy(&scrubber, &GenerationScrubber::generationChanged);
    QCOMPARE(scrubber.generation(), 0);
    QVERIFY(!scrubber.isEnabled());
    scrubber.setGenerationCount(12);  // a new source starts at its last generation
    QCOMPARE(scrubber.generation(), 12);
    QCOMPARE(spy.size(), 1);
    scrubber.setGeneration(4);
    scrubber.setGenerationCount(20);  // still there: stays, no signal
    QCOMPARE(scrubber.generation(), 4);
    QCOMPARE(spy.size(), 2);
    scrubber.setGenerationCount(3);  // gone: moves to the last one
    QCOMPARE(scrubber.generation(), 3);
    QCOMPARE(spy.last().first().toInt(), 3);
    scrubber.setGenerationCount(0);
    QVERIFY(!scrubber.isEnabled());
    QCOMPARE(scrubber.generation(), 0);
}

void TestReplay::populationLayerPixels() {
    const QSize size = CSolverDlg::clientSize();
    PlotScene scene{CSolverDlg::kPlotRect, QPoint(300, 220), {0, 0, 0}, {0, 0, 0}, QPoint(368, 40)};
    const auto render = [&](const PlotScene& s) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PaintPlot(painter, s, QImage());
        return image;
    };
    const QImage plain = render(scene);
    PopulationCloud cloud;
    // A dot in the open, one under the red arm (pose 0,0,0 runs along y = 220 to x = 500), one
    // straddling the frame's left column, one outside the plot altogether.
    cloud.tips = {{150.5, 100.5}, {420.5, 220.5}, {100.5, 300.5}, {60.5, 60.5}};
    cloud.fitness = {0.5, 1.0, 0.01, 0.2};
    scene.cloud = &cloud;
    const QImage layered = render(scene);
    // Expected: each dot's 3 x 3 pixels inside the frame take its colour, except where the red arm
    // (drawn over the layer) already is; nothing else changes.
    QImage expected = plain;
    const QRect inside = CSolverDlg::kPlotRect.adjusted(1, 1, -1, -1);
    for (std::size_t k = 0; k < cloud.tips.size(); ++k) {
        const QPoint c(static_cast<int>(cloud.tips[k].x), static_cast<int>(cloud.tips[k].y));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint p = c + QPoint(dx, dy);
                if (inside.contains(p) && plain.pixel(p) != qRgb(255, 0, 0))
                    expected.setPixel(p, CloudColor(cloud.fitness[k]).rgb());
            }
    }
    QCOMPARE(layered, expected);
    QCOMPARE(QColor(layered.pixel(420, 220)), QColor(Qt::red));       // the arm over its dot
    QCOMPARE(QColor(layered.pixel(100, 300)), QColor(Qt::black));     // the frame keeps its column
    QCOMPARE(QColor(layered.pixel(101, 300)), CloudColor(0.01));      // the dot starts inside it
    QCOMPARE(QColor(layered.pixel(60, 60)), QColor(plain.pixel(60, 60)));  // outside the plot: nothing
}

void TestReplay::cloudColourEnds() {
    QCOMPARE(CloudColor(1.0), QColor(0xfd, 0xe7, 0x25));
    QCOMPARE(CloudColor(1.0 / 401.0), QColor(0x44, 0x01, 0x54));
    QCOMPARE(CloudColor(1e-9), QColor(0x44, 0x01, 0x54));
    QCOMPARE(CloudColor(0.0), QColor(0x44, 0x01, 0x54));
    // Luminance grows with fitness: each threefold in fitness is brighter.
    double last = -1;
    for (double f : {0.003, 0.01, 0.03, 0.1, 0.3, 1.0}) {
        const QColor c = CloudColor(f);
        const double l = 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
        QVERIFY2(l > last, qPrintable(QString::number(f)));
        last = l;
    }
}

void TestReplay::openingReturnsBeforeTheCheck() {
    // The check runs on a worker while the window's own loop goes on: openResults returns with the
    // window unchanged and input held back from it; the end comes as a signal, once.
    Fixture f;
    QSignalSpy opened(f.dlg.get(), &CSolverDlg::resultsOpened);
    f.dlg->openResults(m_results);
    QCOMPARE(opened.size(), 0);
    QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("20"));
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("68"));  // the click went to nobody
    f.dlg->openResults(m_results);  // a second opening during the check is refused at once
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first().first().toBool(), false);
    QVERIFY(opened.wait(60000));
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.last().first().toBool(), true);
    QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("40"));
}

void TestReplay::openedFileShowsItsRun() {
    Fixture f;
    QVERIFY(uitest::openResults(*f.dlg, m_results));
    QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("40"));
    QCOMPARE(f.text(IDC_GENERATION_LIMIT), QStringLiteral("30"));
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("30"));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("-60"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("90"));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), kTarget);
    QCOMPARE(f.dlg->replayGenerationCount(), 30);
    QCOMPARE(SolverDlgTestAccess::scrubber(*f.dlg)->generation(), 30);
    // The last generation's arms, as the run left them in its own state.
    QTemporaryDir again;
    const auto run = RunInto(again.path(), 40, 30, kSeed, kTarget);
    QVERIFY(f.state->currentPose == run->currentPose);
    QVERIFY(f.state->elitePose == run->elitePose);
}

void TestReplay::scrubbedGenerationPlot_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<bool>("population");
    QTest::newRow("first") << 1 << false;
    QTest::newRow("middle") << 13 << false;
    QTest::newRow("middle with its population") << 13 << true;
    QTest::newRow("last") << 30 << true;
}

void TestReplay::scrubbedGenerationPlot() {
    QFETCH(int, generation);
    QFETCH(bool, population);
    Fixture f;
    QVERIFY(f.exposed());
    QVERIFY(uitest::openResults(*f.dlg, m_results));
    f.dlg->setPopulationShown(population);
    // The scrubber in the evolution window, which opening the file has shown.
    EvolutionWindow* evolution = SolverDlgTestAccess::evolutionWindow(*f.dlg);
    QVERIFY(evolution && evolution->isVisible());
    auto* scrubber = evolution->findChild<GenerationScrubber*>();
    QVERIFY(scrubber && scrubber->isVisible() && scrubber->isEnabled());
    QCOMPARE(scrubber, SolverDlgTestAccess::scrubber(*f.dlg));
    QTest::keyClick(scrubber, Qt::Key_Home);
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("1"));
    scrubber->setGeneration(generation);
    // Independently: the same run stopped at that generation leaves these arms and this error.
    QTemporaryDir dir;
    const auto run = RunInto(dir.path(), 40, generation, kSeed, kTarget);
    QCOMPARE(f.text(IDC_GENERATION), QString::number(generation));
    QCOMPARE(f.text(IDC_ERROR).toDouble(), kelvora::ui::TipDistance(*run, run->currentPose));
    QVERIFY(f.state->currentPose == run->currentPose);
    QVERIFY(f.state->elitePose == run->elitePose);
    QImage expected = uitest::ExpectedPlot(*f.dlg, *run, QRect(QPoint(0, 0), CSolverDlg::clientSize()));
    if (population) {
        // Its population, from the run's own file at that generation.
        PopulationCloud cloud;
        const std::vector<std::string> lines = [&] {
            std::vector<std::string> out;
            const QByteArray bytes = uitest::ReadAll(dir.filePath(QStringLiteral("results.csv")));
            const QList<QByteArray> all = bytes.split('\n');
            for (qsizetype i = all.size() - 42; i < all.size() - 2; ++i) out.push_back(all[i].trimmed().toStdString());
            return out;
        }();
        for (const std::string& line : lines) {
            int a = 0, b = 0, c = 0;
            double fit = 0;
            QCOMPARE(std::sscanf(line.c_str(), "%d,%d,%d,%lf", &a, &b, &c, &fit), 4);
            cloud.tips.push_back(kelvora::TipPosition(a, b, c, kelvora::kBaseX, kelvora::kBaseY));
            cloud.fitness.push_back(fit);
        }
        expected.fill(f.dlg->palette().color(QPalette::Window));
        QPainter painter(&expected);
        PaintPlot(painter,
                  PlotScene{CSolverDlg::kPlotRect, QPoint(run->baseX, run->baseY), run->currentPose, run->elitePose,
                            QPoint(run->targetX, run->targetY), &cloud},
                  LoadBitmapResource(IDB_BASE_MARK));
    }
    QCOMPARE(uitest::ShownPlot(*f.dlg), expected.copy(CSolverDlg::kPlotRect));
}

void TestReplay::unreadableFileKeepsTheWindow_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QByteArray good = uitest::ReadAll(m_results);
    QByteArray gene = good;
    gene.replace(0, gene.indexOf(','), "256");
    QTest::newRow("gene out of range") << gene << QStringLiteral("の 1 行目: 遺伝子 0 が '256' です: 0～255 の整数のはずです");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("の 1 行目: ファイルが空です");
    QTest::newRow("binary") << QByteArray(500, '\xff') << QStringLiteral("の 1 行目: 行が 64 バイトを超えています");
    QTest::newRow("missing") << QByteArray("<none>") << QStringLiteral("を開けません");
    QTest::newRow("two lines, CR LF") << QByteArray("1,2,3,0.5\r\nxx\r\n") << QString();
}

namespace {

// The progress dialogs shown, or with a timer that could show them, when a message is shown: none
// may be left to come up over it.
int progressDialogsAtMessage = -1;
void RecordMessageAndDialogs(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    int dialogs = 0;
    for (QWidget* w : QApplication::allWidgets()) {
        const auto* progress = qobject_cast<QProgressDialog*>(w);
        if (!progress) continue;
        bool timing = false;
        for (const QTimer* timer : progress->findChildren<QTimer*>()) timing = timing || timer->isActive();
        dialogs += progress->isVisible() || timing ? 1 : 0;
    }
    progressDialogsAtMessage = dialogs;
    uitest::RecordMessage(parent, icon, text);
}

}  // namespace

void TestReplay::unreadableFileKeepsTheWindow() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.csv"));
    if (bytes != "<none>") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    Fixture f;
    QVERIFY(uitest::openResults(*f.dlg, m_results));
    SolverDlgTestAccess::scrubber(*f.dlg)->setGeneration(7);
    const QImage before = uitest::ShownPlot(*f.dlg);
    const QString generation = f.text(IDC_GENERATION), population = f.text(IDC_POPULATION_SIZE);
    const auto previous = kelvora::ui::SetMessageBoxFunction(RecordMessageAndDialogs);
    QVERIFY(!uitest::openResults(*f.dlg, path));
    kelvora::ui::SetMessageBoxFunction(previous);
    QCOMPARE(uitest::Messages().size(), 1);
    QCOMPARE(progressDialogsAtMessage, 0);
    QVERIFY2(uitest::Messages().first().text.contains(message), qPrintable(uitest::Messages().first().text));
    QVERIFY(uitest::Messages().first().text.contains(path));
    QCOMPARE(f.text(IDC_GENERATION), generation);
    QCOMPARE(f.text(IDC_POPULATION_SIZE), population);
    QCOMPARE(f.dlg->replayGenerationCount(), 30);
    QCOMPARE(uitest::ShownPlot(*f.dlg), before);
}

void TestReplay::fileCutShortAfterOpening_data() {
    QTest::addColumn<qint64>("keep");  // bytes left of the file; -1: a third
    QTest::newRow("cut to zero") << qint64(0);
    QTest::newRow("cut to a third") << qint64(-1);
}

void TestReplay::fileCutShortAfterOpening() {
    // Another program rewrites the opened file (a new run in its directory): the population it can
    // no longer read is said to have changed, naming the file, and the replay ends; the arms shown
    // stay, never a crash.
    QFETCH(qint64, keep);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    QVERIFY(QFile::copy(m_results, path));
    Fixture f;
    QVERIFY(uitest::openResults(*f.dlg, path));
    f.dlg->setPopulationShown(true);
    QVERIFY(uitest::Messages().isEmpty());
    QFile file(path);
    QVERIFY(file.resize(keep < 0 ? file.size() / 3 : keep));
    QTemporaryDir again;
    const auto run = RunInto(again.path(), 40, 25, kSeed, kTarget);
    f.dlg->showGeneration(25);
    QVERIFY(f.state->currentPose == run->currentPose);
    QCOMPARE(uitest::ShownPlot(*f.dlg), uitest::ExpectedPlot(*f.dlg, *run));
    QCOMPARE(uitest::Messages().size(), 1);
    QVERIFY2(uitest::Messages().first().text.contains(QDir::toNativeSeparators(path)), qPrintable(uitest::Messages().first().text));
    QCOMPARE(f.dlg->replayGenerationCount(), 0);
    f.dlg->showGeneration(3);  // no replay left: nothing changes, nothing more is said
    QVERIFY(f.state->currentPose == run->currentPose);
    QCOMPARE(uitest::Messages().size(), 1);
    uitest::Messages().clear();
}

void TestReplay::sweepFilesAreKnownByTheirHeader_data() {
    const QByteArray header = QByteArray::fromStdString(kelvora::SweepHeader());
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sweep");
    QTest::newRow("header and rows") << SweepOfFour() << true;
    QTest::newRow("header alone, no newline") << header.chopped(1) << true;
    QTest::newRow("header, CR LF") << header.chopped(1) + "\r\n" << true;
    QTest::newRow("header with one more column") << header.chopped(1) + ",extra\n" << false;
    QTest::newRow("header cut short") << header.left(header.size() / 2) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("a results.csv") << uitest::ReadAll(m_results) << false;
}

void TestReplay::sweepFilesAreKnownByTheirHeader() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sweep);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(SolverDlgTestAccess::isSweepFile(path), sweep);
    QVERIFY(!SolverDlgTestAccess::isSweepFile(dir.filePath(QStringLiteral("missing.csv"))));
    // A FIFO no one writes is no sweep, and asking does not wait for a writer.
    const QString fifo = dir.filePath(QStringLiteral("fifo.csv"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QVERIFY(!SolverDlgTestAccess::isSweepFile(fifo));
}

void TestReplay::filesOpenWhereTheyBelong_data() {
    QTest::addColumn<bool>("sweep");
    QTest::addColumn<QString>("how");
    for (const char* how : {"opened", "dropped on the main window", "dropped on the experiment window"})
        for (const bool sweep : {true, false})
            QTest::addRow("%s, %s", sweep ? "sweep" : "results.csv", how) << sweep << QString::fromLatin1(how);
}

void TestReplay::filesOpenWhereTheyBelong() {
    QFETCH(bool, sweep);
    QFETCH(QString, how);
    QTemporaryDir dir;
    QString path = m_results;
    if (sweep) {
        path = dir.filePath(QStringLiteral("sweep.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SweepOfFour());
    }
    Fixture f;
    QSignalSpy opened(f.dlg.get(), &CSolverDlg::resultsOpened);
    if (how == QLatin1String("opened")) {
        f.dlg->openResults(path);
    } else if (how == QLatin1String("dropped on the main window")) {
        DropFile(f.dlg.get(), path);
    } else {
        f.dlg->findChild<QAction*>(QStringLiteral("ExperimentAction"))->trigger();
        QVERIFY(SolverDlgTestAccess::experimentWindow(*f.dlg));
        DropFile(SolverDlgTestAccess::experimentWindow(*f.dlg), path);
    }
    if (sweep) {
        // Two configurations of two runs each in the experiment window; the replay untouched.
        QTRY_VERIFY(SolverDlgTestAccess::experimentWindow(*f.dlg) && ExperimentWindowTestAccess::summary(*SolverDlgTestAccess::experimentWindow(*f.dlg))->rowCount() == 2);
        QCOMPARE(ExperimentWindowTestAccess::results(*SolverDlgTestAccess::experimentWindow(*f.dlg), 0).size(), std::size_t{2});
        QCOMPARE(ExperimentWindowTestAccess::results(*SolverDlgTestAccess::experimentWindow(*f.dlg), 1).size(), std::size_t{2});
        QVERIFY(SolverDlgTestAccess::experimentWindow(*f.dlg)->isVisible());
        QCOMPARE(f.dlg->replayGenerationCount(), 0);
        if (how != QLatin1String("dropped on the experiment window")) QTRY_COMPARE(opened.size(), 1);
    } else {
        QTRY_COMPARE(f.dlg->replayGenerationCount(), 30);
        QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("40"));
        if (SolverDlgTestAccess::experimentWindow(*f.dlg)) QCOMPARE(ExperimentWindowTestAccess::summary(*SolverDlgTestAccess::experimentWindow(*f.dlg))->rowCount(), 0);
    }
    QVERIFY(uitest::Messages().isEmpty());
    if (SolverDlgTestAccess::experimentWindow(*f.dlg)) SolverDlgTestAccess::experimentWindow(*f.dlg)->close();
}

void TestReplay::droppedFileOpens() {
    Fixture f;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(m_results)});
    QDragEnterEvent enter(QPoint(300, 220), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.dlg.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(300, 220), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.dlg.get(), &drop);
    QTRY_COMPARE(f.dlg->replayGenerationCount(), 30);
    QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("40"));
}

void TestReplay::lastRunReplaysFromItsRecordedIndex() {
    uitest::TemporaryCurrentDirectory cwd;
    Fixture f;
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("9"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("21"));
    QTest::mouseClick(f.compute(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!f.dlg->isRunning(), 60000);  // the run goes on its own thread
    QCOMPARE(f.dlg->replayGenerationCount(), 21);
    // The arms the window recorded while running against the reader's own check of the file.
    kelvora::ResultsFile file;
    std::string error;
    QVERIFY(file.open("results.csv", error));
    const kelvora::ResultsSummary s = kelvora::VerifyResults(file, kelvora::kBaseX, kelvora::kBaseY);
    QVERIFY2(!s.fault, s.fault.message.c_str());
    for (int g : {1, 8, 21}) {
        f.dlg->showGeneration(g);
        QVERIFY(f.state->currentPose == s.generationBest[static_cast<std::size_t>(g - 1)]);
        QCOMPARE(f.text(IDC_GENERATION), QString::number(g));
    }
    QVERIFY(f.state->elitePose == s.elitePose);
}

void TestReplay::populationToggleIsRemembered() {
    {
        Fixture f;
        QVERIFY(!f.dlg->isPopulationShown());  // off at start
        QAction* toggle = f.dlg->findChild<QAction*>(QStringLiteral("ShowPopulationAction"));
        QVERIFY(toggle);
        QCOMPARE(toggle->text(), QStringLiteral("集団を表示"));
        QVERIFY(SolverDlgTestAccess::windowMenu(*f.dlg)->actions().contains(toggle));
        toggle->trigger();
        QVERIFY(f.dlg->isPopulationShown());
    }
    {
        Fixture f;
        QVERIFY(f.dlg->isPopulationShown());
        f.dlg->setPopulationShown(false);
    }
    Fixture f;
    QVERIFY(!f.dlg->isPopulationShown());
}


void TestReplay::clickLeavesTheReplay() {
    Fixture f;
    QVERIFY(uitest::openResults(*f.dlg, m_results));
    QCOMPARE(f.dlg->windowTitle(), QStringLiteral("Kelvora — results.csv (…/%1)").arg(QDir(m_dir.path()).dirName()));
    EvolutionWindow* evolution = SolverDlgTestAccess::evolutionWindow(*f.dlg);
    const QPoint click(400, 300);  // 100, -80 from the base
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, {}, uitest::At(*f.dlg, click));
    QCOMPARE(f.dlg->windowTitle(), QStringLiteral("Kelvora"));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), click);
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("100"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("-80"));
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("0"));
    QVERIFY(f.state->currentPose == kelvora::kOpeningPose && f.state->elitePose == kelvora::kOpeningPose);
    QCOMPARE(f.dlg->replayGenerationCount(), 0);
    QCOMPARE(SolverDlgTestAccess::scrubber(*f.dlg)->generation(), 0);
    // The chart and its optimum are the new target's, with no run yet.
    QVERIFY(evolution->chart()->history().isEmpty());
    QVERIFY(EvolutionWindowTestAccess::optimum(*evolution)->pose == kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, 400, 300).pose);
    // The file is let go: a step of the scrubber brings nothing of it back.
    f.dlg->showGeneration(5);
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("100"));
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("0"));

    // After a run of the window's own, a click keeps the run's arms, and no step of its replay puts
    // the run's target back under the clicked one.
    uitest::TemporaryCurrentDirectory cwd;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("12"));
    QVERIFY(f.run());
    const kelvora::ArmPose runElite = f.state->elitePose;
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, {}, uitest::At(*f.dlg, QPoint(200, 150)));
    f.dlg->showGeneration(3);
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("-100"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("70"));
    QVERIFY(f.state->elitePose == runElite);
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("12"));
}

void TestReplay::overwriteQuestion_data() {
    QTest::addColumn<bool>("openHere");  // the opened file is the run's ./results.csv
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted: the run rewrites it") << true << true;
    QTest::newRow("refused: nothing runs") << true << false;
    QTest::newRow("another file open: no question") << false << false;
}

void TestReplay::overwriteQuestion() {
    QFETCH(bool, openHere);
    QFETCH(bool, accept);
    uitest::TemporaryCurrentDirectory cwd;
    QVERIFY(QFile::copy(m_results, QStringLiteral("results.csv")));
    const QByteArray before = uitest::ReadAll(QStringLiteral("results.csv"));
    Fixture f;
    QVERIFY(uitest::openResults(*f.dlg, openHere ? QStringLiteral("./results.csv") : m_results));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("3"));
    QString asked;
    bool keepIsDefault = false;
    QTimer::singleShot(0, f.dlg.get(), [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        asked = box->text();
        keepIsDefault = box->defaultButton() == box->findChild<QPushButton*>(QStringLiteral("KeepButton"));
        box->findChild<QPushButton*>(accept ? QStringLiteral("OverwriteButton") : QStringLiteral("KeepButton"))->click();
    });
    QVERIFY(f.run(60000));
    QCOMPARE(asked, openHere ? QStringLiteral("開いている結果ファイルを上書きしますか？") : QString());
    QCOMPARE(keepIsDefault, openHere);
    const bool ran = !openHere || accept;
    QCOMPARE(uitest::ReadAll(QStringLiteral("results.csv")) == before, !ran);
    QCOMPARE(f.dlg->replayGenerationCount(), ran ? 3 : 30);
    QCOMPARE(f.dlg->windowTitle() == QStringLiteral("Kelvora"), ran);
}

void TestReplay::replayReadsRunJson_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("said");
    QTest::newRow("matches") << QString() << QStringLiteral("run.json の記録どおり: シード ");
    QTest::newRow("missing") << QStringLiteral("remove") << QStringLiteral("run.json がありません");
    QTest::newRow("another file's") << QStringLiteral("digest") << QStringLiteral("run.json はこのファイルの記録ではありません");
    // The record of this very file, but edited to numbers no field takes: not trusted, not used.
    QTest::newRow("population out of range") << QStringLiteral("population") << QStringLiteral("run.json を読めません (population: 99999");
    QTest::newRow("seed out of range") << QStringLiteral("seed") << QStringLiteral("run.json を読めません (seed: -1");
    // The digest matches but the record's population is not the file's.
    QTest::newRow("another population") << QStringLiteral("shape") << QStringLiteral("run.json はこのファイルの記録ではありません");
    // An exact copy under another name, in a folder of its own beside a copy of the record.
    QTest::newRow("renamed copy") << QStringLiteral("rename") << QStringLiteral("run.json の記録どおり: シード ");
}

void TestReplay::replayReadsRunJson() {
    QFETCH(QString, change);
    QFETCH(QString, said);
    uitest::TemporaryCurrentDirectory cwd;
    // A window run with its own fields and operators writes run.json beside its files.
    uitest::UseScratchSettings();
    kelvora::Algorithm gray;
    gray.encoding = kelvora::Encoding::gray;
    SaveAlgorithm(gray);
    QString shownCrossover, shownMutation;
    {
        Fixture writer(false);
        writer.setText(IDC_POPULATION_SIZE, QStringLiteral("12"));
        writer.setText(IDC_GENERATION_LIMIT, QStringLiteral("7"));
        writer.setText(IDC_CROSSOVER_RATE, QStringLiteral("0.25"));
        writer.setText(IDC_MUTATION_PROBABILITY, QStringLiteral("0.05"));
        QVERIFY(writer.run(60000));
        shownCrossover = writer.text(IDC_CROSSOVER_RATE);
        shownMutation = writer.text(IDC_MUTATION_PROBABILITY);
    }
    std::string error;
    std::optional<kelvora::RunRecord> record = kelvora::ParseRunRecord(uitest::ReadAll(QStringLiteral("run.json")).toStdString(), error);
    QVERIFY2(record, error.c_str());
    QVERIFY(record->program == "kelvora" && record->generationsRun == 7 && !record->stopped && record->failure.empty());
    if (change == QLatin1String("remove")) QVERIFY(QFile::remove(QStringLiteral("run.json")));
    if (change == QLatin1String("digest")) {
        record->results.sha256[0] = record->results.sha256[0] == '0' ? '1' : '0';
        QFile file(QStringLiteral("run.json"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::fromStdString(kelvora::RunRecordJson(*record)));
    }

    const auto rewrite = [](const QByteArray& from, const QByteArray& to) {
        QFile file(QStringLiteral("run.json"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray json = file.readAll();
        QVERIFY(json.contains(from));
        json.replace(from, to);
        QVERIFY(file.resize(0) && file.seek(0));
        file.write(json);
    };
    if (change == QLatin1String("population")) rewrite("\"population\":12", "\"population\":99999");
    if (change == QLatin1String("seed")) rewrite("\"seed\":", "\"seed\":-1,\"was\":");
    if (change == QLatin1String("shape")) rewrite("\"population\":12", "\"population\":13");
    QString opened = QStringLiteral("results.csv");
    if (change == QLatin1String("rename")) {
        QVERIFY(QDir().mkdir(QStringLiteral("copy")));
        QVERIFY(QFile::copy(QStringLiteral("results.csv"), QStringLiteral("copy/renamed.csv")));
        QVERIFY(QFile::copy(QStringLiteral("run.json"), QStringLiteral("copy/run.json")));
        QVERIFY(QFile::remove(QStringLiteral("results.csv")));
        opened = QStringLiteral("copy/renamed.csv");
    }

    // A window of the classic operators and default fields opens the file.
    Fixture f;
    const QString defaultCrossover = f.text(IDC_CROSSOVER_RATE), defaultMutation = f.text(IDC_MUTATION_PROBABILITY);
    QVERIFY(uitest::openResults(*f.dlg, opened));
    const bool matches = change.isEmpty() || change == QLatin1String("rename");
    QCOMPARE(f.text(IDC_CROSSOVER_RATE), matches ? shownCrossover : defaultCrossover);
    QCOMPARE(f.text(IDC_MUTATION_PROBABILITY), matches ? shownMutation : defaultMutation);
    QCOMPARE(f.dlg->algorithm() == gray, matches);
    QVERIFY2(EvolutionWindowTestAccess::readoutText(*SolverDlgTestAccess::evolutionWindow(*f.dlg)).contains(said), qPrintable(EvolutionWindowTestAccess::readoutText(*SolverDlgTestAccess::evolutionWindow(*f.dlg))));
    QVERIFY(f.dlg->Control(IDC_GENERATION)->toolTip().startsWith(said));
}

void TestReplay::fitnessFileOpensAsAChart() {
    Fixture f;
    const QString path = m_dir.filePath(QStringLiteral("fitness.csv"));
    QVERIFY(uitest::openResults(*f.dlg, path));  // no message box: cleanup() checks
    kelvora::ResultsFile file;
    std::string error;
    std::vector<kelvora::GenerationStat> rows;
    QVERIFY(file.open(QFile::encodeName(path).toStdString(), error) && kelvora::ReadFitnessFile(file, rows));
    const QList<kelvora::GenerationStat>& shown = SolverDlgTestAccess::evolutionWindow(*f.dlg)->chart()->history();
    QVERIFY(shown.size() == 30 && std::equal(rows.begin(), rows.end(), shown.begin(), [](const auto& a, const auto& b) {
                return a.best == b.best && a.average == b.average;
            }));
    QVERIFY(EvolutionWindowTestAccess::readoutText(*SolverDlgTestAccess::evolutionWindow(*f.dlg)).contains(QStringLiteral("このファイルは fitness.csv です")));
    QCOMPARE(f.dlg->replayGenerationCount(), 0);  // no arms, no population to scrub
    QCOMPARE(f.dlg->windowTitle(), QStringLiteral("Kelvora"));
}

namespace {

// Holds the check as it begins until the test lets it go on.
std::atomic<bool> holdCheck{false};
QSemaphore checkHeld, checkResumed;
void HoldCheck() {
    if (!holdCheck.exchange(false)) return;
    checkHeld.release();
    checkResumed.acquire();
}

// Each message box as it comes up, seen from its own event loop: how many modal windows show then
// and whether the box is the one that takes input; then it is answered with Enter.
class ModalWatch : public QObject {
public:
    QList<int> modals;
    QList<bool> boxOnTop;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box || event->type() != QEvent::Show) return false;
        QMetaObject::invokeMethod(this, [this, shown = QPointer<QMessageBox>(box)] {
            int visible = 0;
            for (QWidget* w : QApplication::topLevelWidgets()) visible += w->isVisible() && w->isModal() ? 1 : 0;
            modals << visible;
            boxOnTop << (QApplication::activeModalWidget() == shown.data());
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Enter);
            if (shown && shown->isVisible()) shown->done(0);  // not answered: the test has failed already
        }, Qt::QueuedConnection);
        return false;
    }
};

}  // namespace

void TestReplay::hostileFileLeavesOneModal_data() {
    QTest::addColumn<QByteArray>("bytes");  // empty: a good file that grows while it is checked
    QTest::newRow("two lines, CR LF") << QByteArray("1,2,3,0.5\r\nxx\r\n");
    QTest::newRow("grows while read, its progress shown") << QByteArray();
}

// A file that cannot be shown ends in one message box, alone on screen and answered by Enter: the
// check's progress dialog, shown for a file that grows, is gone by then.
void TestReplay::hostileFileLeavesOneModal() {
    QFETCH(QByteArray, bytes);
    const bool grows = bytes.isEmpty();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("hostile.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(grows ? uitest::ReadAll(m_results) : bytes);
    QVERIFY(file.flush());
    Fixture f;
    QVERIFY(f.exposed());
    const auto previous = SetMessageBoxFunction(nullptr);  // the window's own modal box
    ModalWatch watch;
    qApp->installEventFilter(&watch);
    holdCheck = grows;
    ResultsReplay::setCheckSeam(HoldCheck);
    QSignalSpy opened(f.dlg.get(), &CSolverDlg::resultsOpened);
    f.dlg->openResults(file.fileName());
    QPointer<QProgressDialog> progress = f.dlg->findChild<QProgressDialog*>();
    if (grows) {
        QTRY_VERIFY_WITH_TIMEOUT(checkHeld.available() == 1, 60000);
        checkHeld.acquire();
        QVERIFY(progress);
        QTRY_VERIFY(progress->isVisible());
        file.write("1,2,3,0.5\r\n");
        QVERIFY(file.flush());
        checkResumed.release();
    }
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 60000);
    qApp->removeEventFilter(&watch);
    ResultsReplay::setCheckSeam(nullptr);
    SetMessageBoxFunction(previous);
    QCOMPARE(opened.first().first().toBool(), false);
    QCOMPARE(watch.modals, QList<int>{1});
    QCOMPARE(watch.boxOnTop, QList<bool>{true});
    QVERIFY(!progress || !progress->isVisible());
}

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
