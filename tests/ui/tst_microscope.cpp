// The generation microscope: a generation made again off the GUI thread (a newer request wins),
// stepped through with the keyboard and clicks, its slot details against the run's own population,
// its pictures against the step they show, and the main window's entry on its last run. The
// remaker the microscope and the landscape share: the newest request wins, gone while it works.

#include <QLabel>
#include <QLineSeries>
#include <QThreadPool>
#include <QtTest>

#include "app/uilanguage.h"
#include "common/generationremaker.h"
#include "common/settings.h"
#include "ga/run.h"
#include "microscope/microscopepainter.h"
#include "evolution/generationscrubber.h"
#include "microscope/microscopewindow.h"
#include "uitestsupport.h"

using namespace kelvora;
using namespace kelvora::ui;

namespace kelvora::ui {

// The step, stage and slot shown, the slot's details and ancestry, the takeover chart's points
// (generation, initial ancestors), and whether a generation is being made.
struct MicroscopeWindowTestAccess {
    static MicroscopeStage stage(const MicroscopeWindow& w) { return w.m_stage; }
    static int slot(const MicroscopeWindow& w) { return w.m_slot; }
    static bool isBusy(const MicroscopeWindow& w) { return w.m_remaker.busy(); }
    static const std::vector<std::vector<AncestorNode>>& ancestry(const MicroscopeWindow& w) { return w.m_ancestry; }
    static QList<QPointF> takeoverPoints(const MicroscopeWindow& w) { return w.m_takeoverSeries->points(); }
    static const GenerationStep& step(const MicroscopeWindow& w) { return w.m_step; }
    static QString slotDetails(const MicroscopeWindow& w) { return w.slotDetails(); }
};

}  // namespace kelvora::ui

namespace {

// Generation `generation`'s genotypes and fitness as the run's observers see them (binary runs:
// the genes are the genotype).
struct Captured final : RunObserver {
    int generation = 0;
    std::vector<std::uint32_t> genotypes;
    std::vector<double> fitness;
    void onGeneration(const GenerationView& v) override {
        if (v.generation != generation) return;
        for (int i = 0; i < v.populationSize; ++i) {
            const Chromosome& c = v.population[i];
            genotypes.push_back(std::uint32_t(c.gene[0]) << 16 | std::uint32_t(c.gene[1]) << 8 | c.gene[2]);
            fitness.push_back(v.fitness[i]);
        }
    }
};

RunSetup Setup(int n, int g, const Algorithm& a = {}) {
    return {SolverParams{n, g, 0.6, 0.2}, Geometry{200, 200, 330, 120}, 77, a};
}

bool WaitShown(MicroscopeWindow& w, int generation) {
    return QTest::qWaitFor([&] { return !MicroscopeWindowTestAccess::isBusy(w) && MicroscopeWindowTestAccess::step(w).generation == generation; }, 30000);
}

}  // namespace

class TestMicroscope : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetMessageBoxFunction(uitest::RecordMessage);
        uitest::UseScratchSettings();
    }
    void stepsThroughTheStages();
    void aNewerRequestWins();
    void paintsTheMaskAndTheWheel_data();
    void paintsTheMaskAndTheWheel();
    void ancestryLabelsNeverOverlap_data();
    void ancestryLabelsNeverOverlap();
    void followsTheMainWindowsLastRun();
    void takesAnOpenedFilesRecordedRun();
    void refusesABaselinesRunNamingTheMethod();
    void remakerHandsOverOnlyTheNewestRequest();
    void remakerGoneWhileWorkingHandsOverNothing();
};

void TestMicroscope::stepsThroughTheStages() {
    MicroscopeWindow w;
    const RunSetup setup = Setup(12, 7, {.elitism = 2});
    w.setRun(setup, 7);
    w.show();
    w.showGeneration(4);
    QVERIFY(WaitShown(w, 4));
    Captured captured;
    captured.generation = 4;
    RunObserver* observers[] = {&captured};
    RunSolver(setup, observers);
    QCOMPARE(MicroscopeWindowTestAccess::step(w).next.size(), std::size_t(12));
    // Keys: → and ← through the stages, stopping at both ends; ↓ and ↑ through the slots.
    QCOMPARE(MicroscopeWindowTestAccess::stage(w), MicroscopeStage::selection);
    QTest::keyClick(&w, Qt::Key_Left);
    QCOMPARE(MicroscopeWindowTestAccess::stage(w), MicroscopeStage::selection);
    for (int k = 0; k < 6; ++k) QTest::keyClick(&w, Qt::Key_Right);
    QCOMPARE(MicroscopeWindowTestAccess::stage(w), MicroscopeStage::children);
    QTest::keyClick(&w, Qt::Key_Left);
    QCOMPARE(MicroscopeWindowTestAccess::stage(w), MicroscopeStage::elites);
    QTest::keyClick(&w, Qt::Key_Up);
    QCOMPARE(MicroscopeWindowTestAccess::slot(w), 0);
    for (int k = 0; k < 15; ++k) QTest::keyClick(&w, Qt::Key_Down);
    QCOMPARE(MicroscopeWindowTestAccess::slot(w), 11);
    // Every slot's details: its bits and fitness as the run had them.
    for (int i = 0; i < 12; ++i) {
        w.setSlot(i);
        const QString details = MicroscopeWindowTestAccess::slotDetails(w);
        QVERIFY2(details.contains(GenotypeBits(captured.genotypes[std::size_t(i)])), qPrintable(details));
        QVERIFY2(details.contains(QString::number(captured.fitness[std::size_t(i)], 'g', 6)), qPrintable(details));
        QCOMPARE(details.contains(QStringLiteral("エリート")), i < 2);
        // Its ancestry: five generations back, its parents first.
        const auto& levels = MicroscopeWindowTestAccess::ancestry(w);
        QCOMPARE(int(levels.size()), 5);  // generations 4, 3, 2, 1, 0
        QCOMPARE(levels.back()[0].generation, 0);
        const StepSlot& s = MicroscopeWindowTestAccess::step(w).next[std::size_t(i)];
        QCOMPARE(levels[1][0].index, s.parents[0]);
    }
    // A click on the strip and on a bar of the evaluated children picks that slot.
    QWidget* view = w.findChild<QWidget*>(QStringLiteral("StageView"));
    QVERIFY(view);
    w.setStage(MicroscopeStage::children);
    const int width = view->width() - 16;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(8 + int(7.5 * width / 12), view->height() - 8 - 9));
    QCOMPARE(MicroscopeWindowTestAccess::slot(w), 7);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(8 + int(3.5 * width / 12), view->height() / 2));
    QCOMPARE(MicroscopeWindowTestAccess::slot(w), 3);
    // Takeover: 12 at the start, never more later.
    const QList<QPointF> points = MicroscopeWindowTestAccess::takeoverPoints(w);
    QCOMPARE(points.size(), 5);
    QCOMPARE(points[0].y(), 12.0);
    for (int t = 1; t < points.size(); ++t) QVERIFY(points[t].y() <= points[t - 1].y());
}

void TestMicroscope::aNewerRequestWins() {
    MicroscopeWindow w;
    w.setRun(Setup(3000, 60), 60);
    QSignalSpy shown(&w, &MicroscopeWindow::generationShown);
    w.showGeneration(60);
    QVERIFY(MicroscopeWindowTestAccess::isBusy(w));  // returned at once, the work under way
    w.showGeneration(2);
    QVERIFY(QTest::qWaitFor([&] { return !MicroscopeWindowTestAccess::isBusy(w); }, 60000));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0][0].toInt(), 2);
    QCOMPARE(MicroscopeWindowTestAccess::step(w).generation, 2);
    // Another run while one is being made: that generation comes from the new run.
    w.showGeneration(40);
    const RunSetup other = Setup(20, 50);
    w.setRun(other, 50);
    QVERIFY(MicroscopeWindowTestAccess::step(w).next.empty());
    QVERIFY(WaitShown(w, 40));
    QCOMPARE(MicroscopeWindowTestAccess::step(w).next.size(), std::size_t(20));
    QCOMPARE(MicroscopeWindowTestAccess::step(w).next[7].after, TraceGenerationStep(other, 40).next[7].after);
    // Beyond the run: clamped to its last generation.
    w.setRun(Setup(10, 5), 5);
    w.showGeneration(99);
    QVERIFY(WaitShown(w, 5));
}

void TestMicroscope::paintsTheMaskAndTheWheel_data() {
    QTest::addColumn<int>("crossover");
    QTest::newRow("one-point") << int(CrossoverOperator::onePoint);
    QTest::newRow("uniform") << int(CrossoverOperator::uniform);
}

void TestMicroscope::paintsTheMaskAndTheWheel() {
    QFETCH(int, crossover);
    const RunSetup setup = Setup(10, 3, {.crossover = CrossoverOperator(crossover)});
    const GenerationStep step = TraceGenerationStep(setup, 2);
    const QSize size(1100, 400);
    QImage image(size, QImage::Format_RGB32);
    {
        QPainter p(&image);
        PaintStage(p, size, step, MicroscopeStage::crossover, 0);
    }
    // The mask row (the third, at y 30 + 2 * 22): a set bit's cell dark, a clear one pale. Cells are
    // (714 - 90) / 24 = 26 px wide from x 8 + 90, the arm panel right of them.
    const std::uint32_t mask = step.next[0].mask;
    for (int c = 0; c < 24; ++c) {
        const QColor dark(60, 60, 60);
        const QColor expected = (mask >> (23 - c) & 1u) ? dark : dark.lighter(170);
        QCOMPARE(image.pixelColor(98 + c * 26 + 3, 74 + 5), expected);
    }
    // Child 1 (the fourth row): its cells take B's colour where the mask is set.
    for (int c = 0; c < 24; ++c) {
        const QColor pixel = image.pixelColor(98 + c * 26 + 3, 104 + 5);
        const bool fromB = mask >> (23 - c) & 1u;
        QVERIFY2(fromB ? pixel.red() > pixel.blue() : pixel.blue() > pixel.red(), qPrintable(QString::number(c)));
    }
    // The wheel: a parent's slice at its angle, marked red where it is slot 0's first parent.
    {
        QPainter p(&image);
        PaintStage(p, size, step, MicroscopeStage::selection, 0);
    }
    const int diameter = std::min(400 - 16 - 22 - 22 - 20, 1084 / 2 - 20);
    const QPointF centre(8 + 10 + diameter / 2.0, 30 + 10 + diameter / 2.0);
    double before = 0;
    const int a = step.next[0].parents[0];
    for (int i = 0; i < a; ++i) before += step.weights[std::size_t(i)];
    const double middle = (before + step.weights[std::size_t(a)] / 2) / step.weightTotal * 2 * M_PI;
    const QPointF at(centre.x() + 0.7 * diameter / 2 * std::sin(middle), centre.y() - 0.7 * diameter / 2 * std::cos(middle));
    if (step.weights[std::size_t(a)] / step.weightTotal > 0.02)
        QCOMPARE(image.pixelColor(at.toPoint()).hsvSaturation(), 255);
}

void TestMicroscope::ancestryLabelsNeverOverlap_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("whole");  // room for every "Generation N" in full
    for (const QByteArray& locale : {QByteArray("ja_JP.UTF-8"), QByteArray("en_US.UTF-8")}) {
        const QByteArray tag = locale.left(2) + ' ';
        QTest::newRow(tag + "1100/5") << locale << 1100 << 5 << true;
        QTest::newRow(tag + "700/9") << locale << 700 << 9 << false;
        QTest::newRow(tag + "420/12") << locale << 420 << 12 << false;
        QTest::newRow(tag + "230/12") << locale << 230 << 12 << false;
    }
}

// Generation labels above the family tree: each within its own column, never over a neighbour,
// their ink only inside their rects.
void TestMicroscope::ancestryLabelsNeverOverlap() {
    QFETCH(QByteArray, locale);
    QFETCH(int, width);
    QFETCH(int, columns);
    QFETCH(bool, whole);
    qputenv("LC_ALL", locale);
    qunsetenv("LANGUAGE");
    InstallUiTranslation();
    std::vector<std::vector<AncestorNode>> levels;
    for (int k = 0; k < columns; ++k)
        levels.push_back({AncestorNode{.generation = 9990 - k, .index = 0, .genotype = 0, .fitness = 0.5,
                                       .parents = k + 1 < columns ? std::vector<int>{0} : std::vector<int>{}}});
    const QSize size(width, 300);
    QImage image(size, QImage::Format_RGB32);
    std::vector<AncestryLabel> labels;
    {
        QPainter p(&image);
        PaintAncestry(p, size, levels);
        QFont small = p.font();
        small.setPixelSize(10);
        const QFontMetricsF metrics(small, &image);
        labels = AncestryLabels(metrics, size, levels);
        QCOMPARE(int(labels.size()), columns);
        for (int k = 0; k < columns; ++k) {
            const AncestryLabel& label = labels[std::size_t(k)];
            QVERIFY(!label.text.isEmpty());
            QVERIFY(metrics.horizontalAdvance(label.text) <= label.rect.width() + 0.5);
            QVERIFY(QRectF(QPointF(0, 0), QSizeF(size)).contains(label.rect));
            if (whole) QCOMPARE(label.text, QCoreApplication::translate("kelvora::ui::MicroscopeWindow", "世代 %1").arg(9990 - k));
            // Column k is the k-th from the right; its right neighbour is column k - 1.
            if (k > 0) QVERIFY2(label.rect.right() < labels[std::size_t(k - 1)].rect.left(), qPrintable(label.text));
        }
    }
    // Above the boxes (they start 24 px down) only the labels are painted.
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < width; ++x) {
            if (image.pixel(x, y) == qRgb(255, 255, 255)) continue;
            const bool inside = std::any_of(labels.begin(), labels.end(), [&](const AncestryLabel& l) {
                return l.rect.adjusted(-1.5, -1.5, 1.5, 1.5).contains(QPointF(x + 0.5, y + 0.5));
            });
            QVERIFY2(inside, qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
        }
    qputenv("LC_ALL", "C");
    InstallUiTranslation();
}

void TestMicroscope::followsTheMainWindowsLastRun() {
    uitest::TemporaryCurrentDirectory cwd;
    uitest::Fixture f;
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("15"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("6"));
    QVERIFY(f.run());
    QAction* action = f.dlg->MenuAction("MicroscopeAction");
    QVERIFY(action);
    QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    action->trigger();
    MicroscopeWindow* w = f.dlg->findChild<MicroscopeWindow*>();
    QVERIFY(w && w->isVisible());
    QVERIFY(WaitShown(*w, 6));
    // The children it made again are the run's last generation in results.csv.
    const QList<QByteArray> lines = uitest::ReadAll(QStringLiteral("results.csv")).split('\n');
    for (int i = 0; i < 15; ++i) {
        const QList<QByteArray> fields = lines[5 * 16 + i].trimmed().split(',');
        const std::uint32_t after = MicroscopeWindowTestAccess::step(*w).next[std::size_t(i)].after;
        QCOMPARE(fields[0].toInt(), int(after >> 16));
        QCOMPARE(fields[1].toInt(), int(after >> 8 & 0xFF));
        QCOMPARE(fields[2].toInt(), int(after & 0xFF));
    }
    // The scrubber moves it.
    SolverDlgTestAccess::scrubber(*f.dlg)->setGeneration(3);
    QVERIFY(WaitShown(*w, 3));
}

void TestMicroscope::takesAnOpenedFilesRecordedRun() {
    uitest::TemporaryCurrentDirectory cwd;
    // A window run with elitism and a tournament writes results.csv and its run.json; the window
    // that opens the file later has the classic operators in its settings.
    uitest::UseScratchSettings();
    SaveAlgorithm({.selection = Selection::tournament, .tournamentSize = 3, .elitism = 1});
    {
        uitest::Fixture writer(false);
        writer.setText(IDC_POPULATION_SIZE, QStringLiteral("11"));
        writer.setText(IDC_GENERATION_LIMIT, QStringLiteral("5"));
        QVERIFY(writer.run(60000));
    }
    SaveAlgorithm({});
    uitest::Fixture f(false);
    QVERIFY(uitest::openResults(*f.dlg, QDir::current().absoluteFilePath(QStringLiteral("results.csv"))));
    f.dlg->MenuAction("MicroscopeAction")->trigger();
    MicroscopeWindow* w = f.dlg->findChild<MicroscopeWindow*>();
    QVERIFY(w && w->run());
    QCOMPARE(w->run()->algorithm.elitism, 1);
    QCOMPARE(w->run()->algorithm.tournamentSize, 3);
    SolverDlgTestAccess::scrubber(*f.dlg)->setGeneration(4);
    QVERIFY(WaitShown(*w, 4));
    QCOMPARE(MicroscopeWindowTestAccess::step(*w).next[0].kind, SlotKind::elite);
    QVERIFY(MicroscopeWindowTestAccess::step(*w).weights.empty());  // a tournament's contestants are not recorded
    const QList<QByteArray> lines = uitest::ReadAll(QStringLiteral("results.csv")).split('\n');
    for (int i = 0; i < 11; ++i) {
        const QList<QByteArray> fields = lines[3 * 12 + i].trimmed().split(',');
        QCOMPARE(fields[0].toInt(), int(MicroscopeWindowTestAccess::step(*w).next[std::size_t(i)].after >> 16));
    }
    // A copy without a run.json: nothing to make again, not the window's last run.
    QVERIFY(QFile::remove(QStringLiteral("run.json")));
    QVERIFY(QFile::copy(QStringLiteral("results.csv"), QStringLiteral("copy.csv")));
    QVERIFY(uitest::openResults(*f.dlg, QDir::current().absoluteFilePath(QStringLiteral("copy.csv"))));
    QVERIFY(!w->run());
    QVERIFY(MicroscopeWindowTestAccess::step(*w).next.empty());
}

// A baseline's blocks of evaluations have no parents to show: nothing is made, the method is named.
void TestMicroscope::refusesABaselinesRunNamingTheMethod() {
    MicroscopeWindow w;
    QSignalSpy shown(&w, &MicroscopeWindow::generationShown);
    w.setRun(Setup(3000, 60), 60);
    QVERIFY(w.run());
    w.showGeneration(60);
    QVERIFY(MicroscopeWindowTestAccess::isBusy(w));
    // The generation under way belongs to no run now: it is dropped, and the status line keeps
    // saying why nothing is made.
    w.setRun(Setup(10, 4, {.method = Method::fabrik}), 4);
    QVERIFY(!w.run());
    QVERIFY(QTest::qWaitFor([&] { return !MicroscopeWindowTestAccess::isBusy(w); }, 60000));
    w.showGeneration(2);
    QVERIFY(!MicroscopeWindowTestAccess::isBusy(w));
    QVERIFY(MicroscopeWindowTestAccess::step(w).next.empty());
    QVERIFY(shown.isEmpty());
    const QString status = w.findChild<QLabel*>(QStringLiteral("Status"))->text();
    QVERIFY2(status.contains(QStringLiteral("fabrik")), qPrintable(status));
}

void TestMicroscope::remakerHandsOverOnlyTheNewestRequest() {
    GenerationRemaker remaker;
    std::vector<GenerationStep> made;
    connect(&remaker, &GenerationRemaker::made, this, [&](GenerationStep step) { made.push_back(std::move(step)); });
    const RunSetup large = Setup(3000, 60);
    const RunSetup small = Setup(20, 50, {.elitism = 1});
    // The first is still under way (its end is only seen by this thread's event loop), so the
    // second replaces it and the third the second: one step, the third's.
    remaker.request(large, 60);
    QVERIFY(remaker.busy());
    remaker.request(large, 30);
    remaker.request(small, 7);
    QVERIFY(QTest::qWaitFor([&] { return !remaker.busy(); }, 60000));
    QCOMPARE(made.size(), std::size_t(1));
    const GenerationStep expected = TraceGenerationStep(small, 7);
    QCOMPARE(made[0].generation, 7);
    QCOMPARE(made[0].next.size(), std::size_t(20));
    for (std::size_t i = 0; i < 20; ++i) QCOMPARE(made[0].next[i].after, expected.next[i].after);
    QCOMPARE(made[0].ancestors, expected.ancestors);
    // Cancelled: what was under way is not handed over, nor what was waiting.
    remaker.request(large, 60);
    remaker.request(small, 3);
    remaker.cancel();
    QVERIFY(QTest::qWaitFor([&] { return !remaker.busy(); }, 60000));
    QCOMPARE(made.size(), std::size_t(1));
    // A generation beyond the run is refused: an empty step says so.
    remaker.request(small, 51);
    QVERIFY(QTest::qWaitFor([&] { return !remaker.busy(); }, 60000));
    QCOMPARE(made.size(), std::size_t(2));
    QCOMPARE(made[1].generation, 0);
    QVERIFY(made[1].next.empty());
}

void TestMicroscope::remakerGoneWhileWorkingHandsOverNothing() {
    int made = 0;
    for (const bool waiting : {false, true}) {
        auto* owner = new QObject;
        auto* remaker = new GenerationRemaker(owner);
        connect(remaker, &GenerationRemaker::made, this, [&made] { ++made; });
        remaker->request(Setup(3000, 60), 60);
        if (waiting) remaker->request(Setup(3000, 60), 59);
        QVERIFY(remaker->busy());
        delete owner;  // the remaker with it, the work under way
    }
    // The workers end on their own, and nothing reaches this thread from them.
    QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
    QTest::qWait(0);
    QCOMPARE(made, 0);
}

QTEST_MAIN(TestMicroscope)
#include "tst_microscope.moc"
