// Runs that keep the window alive: live repaints of a long run, input swallowed while it goes,
// Escape and close requests stopping it after the current generation with both result files
// consistent, and the seed shown afterwards as a kelvora-cli command that repeats the run.
// Everything that happens during a run is done from its progress path (ProbeDlg::onProgress),
// which, but where a test says otherwise, the run's thread waits for after every generation.

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

#include <QComboBox>
#include <QLegendMarker>
#include <QLogValueAxis>
#include <QLineSeries>
#include <QLabel>
#include <QSpinBox>

#include "common/aboutdlg.h"
#include "evolution/evolutionwindow.h"
#include "help/helpwindow.h"
#include "evolution/fitnesschart.h"
#include "operators/operatorsview.h"
#include "common/settings.h"
#include "mainwindow/fieldtext.h"
#include "mainwindow/plotpainter.h"
#include "common/resourceloader.h"
#include "session/run_record.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

using uitest::CrLfLines;
using uitest::ExpectedPlot;
using uitest::Fixture;
using uitest::ProbeDlg;
using uitest::ReadAll;
using uitest::ShownPlot;
using uitest::TemporaryCurrentDirectory;

namespace {

int g_aboutBoxes = 0;
int CountAboutBox(QDialog&) {
    ++g_aboutBoxes;
    return QDialog::Rejected;
}

// How a stop reaches the dialog during a run.
enum class StopBy {
    EscapeSent,          // a key press delivered at once to the focused control, as typed
    EscapePosted,        // a key press queued for the window, handled while the run goes on
    EscapeInField,       // the same, with the focus in a parameter field
    CloseCalled,         // close(), as the close button does
    CloseButtonPosted,   // the window manager's close request, queued for the window
    SystemClose,         // Close from the window's menu
};

void requestStop(ProbeDlg& dlg, StopBy by) {
    QWindow* window = dlg.windowHandle();
    switch (by) {
    case StopBy::EscapeSent:
        QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
        break;
    case StopBy::EscapePosted:
    case StopBy::EscapeInField:
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
        break;
    case StopBy::CloseCalled:
        dlg.close();
        break;
    case StopBy::CloseButtonPosted:
        QCoreApplication::postEvent(window, new QCloseEvent);
        break;
    case StopBy::SystemClose:
        dlg.MenuAction("CloseAction")->trigger();
        break;
    }
}

bool Closes(StopBy by) { return by == StopBy::CloseCalled || by == StopBy::CloseButtonPosted || by == StopBy::SystemClose; }

QList<int> OneTo(int n) {
    QList<int> list;
    for (int i = 1; i <= n; ++i) list << i;
    return list;
}

QList<QByteArray> Lines(const QString& name) {
    QList<QByteArray> lines = ReadAll(name).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines) line.chop(1);  // the CR
    return lines;
}

// The kelvora-cli command of the tooltip: its arguments after the program name.
QStringList CliArguments(const QString& tooltip) {
    const QRegularExpression command(QStringLiteral("kelvora-cli (--.+) で再現できます"));
    const QRegularExpressionMatch match = command.match(tooltip);
    if (!match.hasMatch()) return {};
    return match.captured(1).trimmed().split(QLatin1Char(' '));
}

// The operators view's controls set to choice, as a person would.
void ChooseInWindow(ProbeDlg& dlg, const kelvora::Algorithm& choice) {
    dlg.findChild<QAction*>(QStringLiteral("OperatorsAction"))->trigger();
    auto* view = dlg.findChild<OperatorsView*>();
    QVERIFY(view && view->isVisible());
    const auto set = [&](const char* name, int index) { view->findChild<QComboBox*>(QLatin1String(name))->setCurrentIndex(index); };
    const auto count = [&](const char* name, int value) { view->findChild<QSpinBox*>(QLatin1String(name))->setValue(value); };
    view->findChild<QPushButton*>(QStringLiteral("ClassicButton"))->click();
    set("EncodingBox", int(choice.encoding));
    set("SelectionBox", int(choice.selection));
    count("TournamentSizeBox", choice.tournamentSize);
    count("ElitismBox", choice.elitism);
    set("CrossoverBox", int(choice.crossover));
    set("MutationBox", int(choice.mutation));
    count("CreepStepBox", choice.creepStep);
}

kelvora::Algorithm Parsed(const char* encoding, const char* selection, const char* elitism, const char* crossover,
                          const char* mutation) {
    kelvora::Algorithm a;
    kelvora::ParseEncoding(encoding, a);
    kelvora::ParseSelection(selection, a);
    kelvora::ParseElitism(elitism, a);
    kelvora::ParseCrossover(crossover, a);
    kelvora::ParseMutation(mutation, a);
    return a;
}

}  // namespace

class TestLiveRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void stopDuringARun_data();
    void stopDuringARun();
    void stopOnTheLastGenerationIsNoStop();
    void longRunRepaintsAsItGoes();
    void inputIsSwallowedDuringARun_data();
    void inputIsSwallowedDuringARun();
    void computeIsNeverReentered();
    void targetFieldsKeepTheClickedTargetDuringARun();
    void fileFailureOfAStoppedRun();
    void seedTooltipRepeatsTheRun_data();
    void seedTooltipRepeatsTheRun();
    void operatorChoiceReachesTheRun_data();
    void operatorChoiceReachesTheRun();
    void countsTooLargeForThePopulation_data();
    void countsTooLargeForThePopulation();
    void presetOperatorsFromTheSettings();
    void randomSearchRunIsNamedAndRepeatedByItsCommand();
    void runThatCannotStartSaysWhy();
    void earlierRunsBesideTheCurrentOne();
};

void TestLiveRun::initTestCase() {
    SetMessageBoxFunction(uitest::RecordMessage);
    SetModalLoopFunction(CountAboutBox);
}

void TestLiveRun::init() {
    uitest::Messages().clear();
    g_aboutBoxes = 0;
}

void TestLiveRun::stopDuringARun_data() {
    QTest::addColumn<int>("stopBy");
    QTest::newRow("Escape typed") << int(StopBy::EscapeSent);
    QTest::newRow("Escape queued for the window") << int(StopBy::EscapePosted);
    QTest::newRow("Escape queued, focus in a field") << int(StopBy::EscapeInField);
    QTest::newRow("close()") << int(StopBy::CloseCalled);
    QTest::newRow("close button, queued") << int(StopBy::CloseButtonPosted);
    QTest::newRow("menu Close") << int(StopBy::SystemClose);
}

void TestLiveRun::stopDuringARun() {
    QFETCH(int, stopBy);
    const StopBy by = StopBy(stopBy);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    constexpr int kPopulation = 2000;
    constexpr int kLimit = 5000;
    f.setText(IDC_POPULATION_SIZE, QString::number(kPopulation));
    f.setText(IDC_GENERATION_LIMIT, QString::number(kLimit));
    if (by == StopBy::EscapeInField) f.edit(IDC_CROSSOVER_RATE)->setFocus();

    // The stop is asked for after generation 3. A queued request is taken while the run goes on;
    // should it not be, the run is cut short directly at generation 1500 and the test fails.
    bool forced = false;
    f.dlg->onProgress = [&](ProbeDlg& dlg, int generation) {
        if (generation == 3) requestStop(dlg, by);
        if (generation == 1500) {
            forced = true;
            dlg.close();
        }
    };
    QVERIFY(f.run());
    QVERIFY2(!forced, "the queued stop was not taken during the run");
    QVERIFY(uitest::Messages().isEmpty());

    // Stopped after the generation in which the request came, not at the limit.
    const int k = f.dlg->generations.size();
    if (by == StopBy::EscapeSent || by == StopBy::CloseCalled || by == StopBy::SystemClose) QCOMPARE(k, 3);
    QVERIFY2(k >= 3 && k < kLimit, qPrintable(QString::number(k)));
    QCOMPARE(f.dlg->generations, OneTo(k));
    QCOMPARE(f.text(IDC_GENERATION), QString::number(k));
    QCOMPARE(f.dlg->ShownGeneration(), k);
    QCOMPARE(f.state->generation, k);

    // Both files closed and consistent: complete CR LF lines only, k generations of N + 1 lines in
    // results.csv, k rows in fitness.csv, the summary lines and the rows alike.
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), k * (kPopulation + 1));
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), k);
    const QList<QByteArray> results = Lines(QStringLiteral("results.csv"));
    const QList<QByteArray> fitness = Lines(QStringLiteral("fitness.csv"));
    for (int g = 0; g < k; ++g) {
        const QList<QByteArray> summary = results[(g + 1) * (kPopulation + 1) - 1].split(',');
        QCOMPARE(summary.size(), 3);
        QCOMPARE(fitness[g], summary[1] + ',' + summary[2]);
    }
    // The poses are those of the last finished generation: its best individual is the blue arm.
    const int lastSummary = k * (kPopulation + 1) - 1;
    const int bestIndex = results[lastSummary].split(',')[0].toInt();
    const QList<QByteArray> best = results[lastSummary - kPopulation + bestIndex].split(',');
    QCOMPARE(kelvora::ArmPose({best[0].toInt(), best[1].toInt(), best[2].toInt()}), f.state->currentPose);
    QCOMPARE(f.text(IDC_ERROR), FormatDoubleText(kelvora::ui::TipDistance(*f.state, f.state->currentPose)));
    QCOMPARE(ShownPlot(*f.dlg), ExpectedPlot(*f.dlg, *f.state));

    // Escape stops the run and leaves the dialog open; a close request closes it after the run.
    QCOMPARE(f.dlg->isVisible(), !Closes(by));
    if (Closes(by)) {
        QCOMPARE(f.dlg->result(), int(QDialog::Rejected));
        return;
    }
    // The dialog is idle again: the next Compute runs to its limit, and Escape ends the dialog.
    f.dlg->onProgress = nullptr;
    f.dlg->generations.clear();
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("20"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("4"));
    QVERIFY(f.run());
    QCOMPARE(f.dlg->generations, OneTo(4));
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 4 * 21);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 4);
    QTest::keyClick(f.compute(), Qt::Key_Escape);
    QVERIFY(!f.dlg->isVisible());
}

void TestLiveRun::stopOnTheLastGenerationIsNoStop() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5"));
    f.dlg->onProgress = [](ProbeDlg& dlg, int generation) {
        if (generation == 5) QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
    };
    QVERIFY(f.run());
    QCOMPARE(f.dlg->generations, OneTo(5));
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 5);
    QVERIFY(f.dlg->isVisible());  // the Escape stopped the run, which had ended; it did not close
    const QString tip = f.dlg->Control(IDC_GENERATION)->toolTip();
    QVERIFY2(!tip.contains(QStringLiteral("中止")), qPrintable(tip));
}

void TestLiveRun::longRunRepaintsAsItGoes() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    f.dlg->setEveryGeneration(false);  // the window's own pace
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("2000"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5000"));
    QCoreApplication::processEvents();
    const int paintsBefore = f.dlg->paints;
    // Each notification shows the generation just finished in the fields and its poses in the
    // plot, later generations each time, with the busy cursor over the dialog; between them the
    // window repaints, which it can only do while the run goes on elsewhere.
    int notifications = 0;
    int lastGeneration = 0;
    int livePaints = 0;
    QStringList mismatches;
    f.dlg->onProgress = [&](ProbeDlg& dlg, int generation) {
        ++notifications;
        if (generation <= lastGeneration) mismatches << QStringLiteral("generation %1 after %2").arg(generation).arg(lastGeneration);
        lastGeneration = generation;
        if (f.text(IDC_GENERATION) != QString::number(generation)) mismatches << f.text(IDC_GENERATION);
        if (ShownPlot(dlg) != ExpectedPlot(dlg, *f.state)) mismatches << QStringLiteral("plot at %1").arg(generation);
        if (dlg.cursor().shape() != Qt::BusyCursor) mismatches << QStringLiteral("no busy cursor");
        livePaints = dlg.paints - paintsBefore;
        // Three live repaints are enough; should none come, stop at generation 3000 all the same.
        if (livePaints >= 3 || generation >= 3000) QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
    };
    QElapsedTimer clock;
    clock.start();
    QVERIFY(f.run());
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(livePaints >= 3, qPrintable(QStringLiteral("%1 live repaints").arg(livePaints)));
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QStringLiteral("; "))));
    // At most about 30 notifications a second, plus the last generation's.
    QVERIFY2(notifications <= elapsed / 33 + 2, qPrintable(QStringLiteral("%1 in %2 ms").arg(notifications).arg(elapsed)));
    QCOMPARE(lastGeneration, f.state->generation);  // the last finished generation is always shown
    QCOMPARE(f.dlg->cursor().shape(), f.dlg->PlotCursor().shape());  // the busy cursor goes with the run
}

void TestLiveRun::inputIsSwallowedDuringARun_data() {
    QTest::addColumn<int>("at");  // generation after which the input comes
    QTest::newRow("early in the run") << 2;
    QTest::newRow("after the last generation") << 300;
}

void TestLiveRun::inputIsSwallowedDuringARun() {
    QFETCH(int, at);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("200"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("300"));
    QSignalSpy edited(f.edit(IDC_GENERATION_LIMIT), &QLineEdit::textEdited);
    QSignalSpy clicked(f.compute(), &QPushButton::clicked);
    f.dlg->onProgress = [&](ProbeDlg& dlg, int generation) {
        if (generation != at) return;
        QWindow* window = dlg.windowHandle();
        const QPoint inPlot(150, 100);
        // Delivered at once, as typed or clicked: a click and a move in the plot, typing into a
        // field, Enter and a click on 計算, a right click, F1.
        QTest::mouseClick(&dlg, Qt::LeftButton, Qt::NoModifier, uitest::At(dlg, inPlot));
        QTest::mouseMove(&dlg, uitest::At(dlg, inPlot));
        QTest::keyClicks(f.edit(IDC_GENERATION_LIMIT), QStringLiteral("7"));
        QTest::keyClick(f.compute(), Qt::Key_Return);
        QTest::mouseClick(f.compute(), Qt::LeftButton);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, uitest::At(dlg, inPlot), dlg.mapToGlobal(uitest::At(dlg, inPlot)));
        QApplication::sendEvent(&dlg, &menu);
        QTest::keyClick(&dlg, Qt::Key_F1);
        // Queued for the window, taken at a live repaint or after the run: the same kinds.
        const QPointF local(uitest::At(dlg, inPlot)), global(dlg.mapToGlobal(uitest::At(dlg, inPlot)));
        QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                                            Qt::NoButton, Qt::NoModifier));
        f.edit(IDC_GENERATION_LIMIT)->setFocus();
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, QStringLiteral("9")));
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
    };
    QVERIFY(f.run());
    QCoreApplication::processEvents();  // what the dialog's loop takes next, once the run has returned
    QCOMPARE(clicked.size(), 1);  // the test's own click
    QCOMPARE(f.dlg->generations, OneTo(300));
    QCOMPARE(edited.size(), 0);
    QCOMPARE(f.text(IDC_GENERATION_LIMIT), QStringLiteral("300"));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(368, 40));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("68"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("180"));
    QCOMPARE(f.text(IDC_POINTER_X), QString());
    QCOMPARE(f.dlg->pointerInPlot(), 0);
    QCOMPARE(g_aboutBoxes, 0);
    QVERIFY(!SolverDlgTestAccess::windowMenu(*f.dlg)->isVisible());
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 300 * 201);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 300);
    QVERIFY(f.dlg->isVisible());
    QVERIFY(uitest::Messages().isEmpty());

    // After the run the same input works again.
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(150, 100));
    if (SolverDlgTestAccess::helpWindow(*f.dlg)) SolverDlgTestAccess::helpWindow(*f.dlg)->hide();
    QTest::keyClick(f.dlg.get(), Qt::Key_F1);  // help, never the About box
    QVERIFY(SolverDlgTestAccess::helpWindow(*f.dlg) && SolverDlgTestAccess::helpWindow(*f.dlg)->isVisible());
    QCOMPARE(g_aboutBoxes, 0);
}

void TestLiveRun::computeIsNeverReentered() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("6"));
    // 計算 pressed from the program itself, past any input filter, while the run goes.
    f.dlg->onProgress = [&](ProbeDlg&, int generation) {
        if (generation == 2) f.compute()->click();
    };
    QVERIFY(f.run());
    QCOMPARE(f.dlg->generations, OneTo(6));
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 6 * 21);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 6);
}

void TestLiveRun::targetFieldsKeepTheClickedTargetDuringARun() {
    // Only what a person sees and does: a target clicked before Compute, then, while the run goes
    // (the generation field counts and no seed is shown yet), the fields are read, a click elsewhere
    // in the plot is tried and Escape stops the run.
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("200"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("10000"));
    QLineEdit* generation = f.edit(IDC_GENERATION);
    QStringList seen;  // 1006,1007 at each look during the run
    QTimer look;
    look.setInterval(5);
    connect(&look, &QTimer::timeout, [&] {
        if (generation->text() == QLatin1String("0") || !generation->toolTip().isEmpty()) return;
        seen << f.text(IDC_TARGET_X) + QLatin1Char(',') + f.text(IDC_TARGET_Y);
        if (seen.size() == 3) QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(450, 380)));
        if (seen.size() == 6) QTest::keyClick(f.dlg.get(), Qt::Key_Escape);
    });
    look.start();
    f.compute()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!generation->toolTip().isEmpty(), 120000);
    look.stop();
    QVERIFY2(seen.size() >= 6, qPrintable(QString::number(seen.size())));
    for (const QString& fields : seen) QCOMPARE(fields, QStringLiteral("-150,120"));
    // Stopped by the Escape, with the clicked target still shown and used.
    const int finished = CrLfLines(QStringLiteral("fitness.csv"));
    QVERIFY2(finished > 0 && finished < 10000, qPrintable(QString::number(finished)));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("-150"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("120"));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(150, 100));
    QVERIFY(generation->toolTip().contains(QStringLiteral("--target=-150,120")));
    QVERIFY(uitest::Messages().isEmpty());
}

void TestLiveRun::fileFailureOfAStoppedRun() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    QVERIFY(QDir().mkdir(QStringLiteral("results.csv")));  // cannot be opened as a file
    Fixture f;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5000"));
    f.dlg->onProgress = [](ProbeDlg& dlg, int generation) {
        if (generation == 3) QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
    };
    QVERIFY(f.run());
    // One warning after the run, saying where it stopped, not that it went to the end.
    QCOMPARE(uitest::Messages().size(), 1);
    const QString text = uitest::Messages().first().text;
    QVERIFY2(text.contains(QStringLiteral("results.csv")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("第 3 世代で中止")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("最後まで")), qPrintable(text));
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 3);
}

void TestLiveRun::seedTooltipRepeatsTheRun_data() {
    QTest::addColumn<int>("population");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("stopAt");  // 0: runs to its limit
    QTest::addColumn<QPoint>("pick");  // clicked target, or null for the opening one
    QTest::addColumn<QString>("crossover");  // as typed
    QTest::addColumn<QString>("mutation");
    QTest::addColumn<QString>("crossoverArg");  // as the command must give it: reads back exactly
    QTest::addColumn<QString>("mutationArg");
    const QString c = QStringLiteral("0.35"), m = QStringLiteral("0.02");
    QTest::newRow("opening target, defaults") << 20 << 100 << 0 << QPoint() << c << m << c << m;
    QTest::newRow("picked target") << 30 << 40 << 0 << QPoint(150, 100) << c << m << c << m;
    QTest::newRow("picked target below the base") << 7 << 25 << 0 << QPoint(480, 400) << c << m << c << m;
    QTest::newRow("stopped at generation 7") << 200 << 5000 << 7 << QPoint(420, 300) << c << m << c << m;
    // More digits than %.15g keeps: the command must still name the very same doubles.
    QTest::newRow("rates with 17 digits") << 40 << 30 << 0 << QPoint() << QStringLiteral("0.1234567890123456789")
                                          << QStringLiteral("1e-2") << QStringLiteral("0.12345678901234568")
                                          << QStringLiteral("0.01");
}

void TestLiveRun::seedTooltipRepeatsTheRun() {
    QFETCH(int, population);
    QFETCH(int, limit);
    QFETCH(int, stopAt);
    QFETCH(QPoint, pick);
    QFETCH(QString, crossover);
    QFETCH(QString, mutation);
    QFETCH(QString, crossoverArg);
    QFETCH(QString, mutationArg);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QWidget* generationField = f.dlg->Control(IDC_GENERATION);
    QCOMPARE(generationField->toolTip(), QString());  // no run yet, no seed
    if (!pick.isNull()) QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, pick));
    f.setText(IDC_POPULATION_SIZE, QString::number(population));
    f.setText(IDC_GENERATION_LIMIT, QString::number(limit));
    f.setText(IDC_CROSSOVER_RATE, crossover);
    f.setText(IDC_MUTATION_PROBABILITY, mutation);
    f.dlg->onProgress = [&](ProbeDlg& dlg, int generation) {
        if (generation == stopAt) QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
    };
    QVERIFY(f.run());
    const QString tip = generationField->toolTip();
    const QStringList lines = tip.split(QLatin1Char('\n'));
    QVERIFY2(lines.size() == (stopAt ? 3 : 2), qPrintable(tip));
    QVERIFY2(QRegularExpression(QStringLiteral("^シード \\d+$")).match(lines[0]).hasMatch(), qPrintable(tip));
    const QString seed = lines[0].mid(4);
    const int generations = stopAt ? stopAt : limit;
    const QPoint relative = pick.isNull() ? QPoint(68, 180) : QPoint(pick.x() - 300, 220 - pick.y());
    const QStringList args = CliArguments(tip);
    QCOMPARE(args, (QStringList{QStringLiteral("--seed"), seed, QStringLiteral("--population"), QString::number(population),
                                QStringLiteral("--generations"), QString::number(generations),
                                QStringLiteral("--crossover"), crossoverArg, QStringLiteral("--mutation"),
                                mutationArg, QStringLiteral("--target=%1,%2").arg(relative.x()).arg(relative.y()),
                                QStringLiteral("--flush"), QStringLiteral("line")}));
    if (stopAt) QCOMPARE(lines[2], QStringLiteral("第 7 世代で中止しました (上限 5000 世代)"));

    // The command, run by the real kelvora-cli elsewhere, writes the very same two files.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    QProcess cli;
    cli.setWorkingDirectory(elsewhere.path());
    cli.start(QStringLiteral(KELVORA_CLI), args + QStringList{QStringLiteral("--quiet")});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    for (const QString& name : {QStringLiteral("results.csv"), QStringLiteral("fitness.csv")}) {
        const QByteArray mine = ReadAll(name);
        QVERIFY(!mine.isEmpty());
        QVERIFY2(ReadAll(elsewhere.filePath(name)) == mine, qPrintable(name));
    }
}

void TestLiveRun::operatorChoiceReachesTheRun_data() {
    QTest::addColumn<QStringList>("spellings");  // encoding, selection, elitism, crossover, mutation
    QTest::addColumn<QStringList>("flags");      // the tooltip's, after --flush line
    QTest::newRow("all five") << QStringList{"gray", "tournament:3", "2", "two-point", "creep:4"}
                              << QStringList{"--encoding", "gray", "--selection", "tournament:3", "--elitism", "2",
                                             "--crossover-operator", "two-point", "--mutation-operator", "creep:4"};
    QTest::newRow("rank and uniform")
        << QStringList{"binary", "rank", "0", "uniform", "bit-flip"}
        << QStringList{"--selection", "rank", "--crossover-operator", "uniform"};
    QTest::newRow("tournament of the whole population, E = N - 1")
        << QStringList{"binary", "tournament:20", "19", "one-point", "creep:128"}
        << QStringList{"--selection", "tournament:20", "--elitism", "19", "--mutation-operator", "creep:128"};
}

void TestLiveRun::operatorChoiceReachesTheRun() {
    // The dialog's choice is what runs: the tooltip's command, run by kelvora-cli, writes the same
    // files; it is kept in the settings in the command's spelling and named under 計算.
    QFETCH(QStringList, spellings);
    QFETCH(QStringList, flags);
    const kelvora::Algorithm choice = Parsed(qPrintable(spellings[0]), qPrintable(spellings[1]), qPrintable(spellings[2]),
                                             qPrintable(spellings[3]), qPrintable(spellings[4]));
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    auto* label = f.dlg->findChild<QLabel*>(QStringLiteral("AlgorithmLabel"));
    QVERIFY(label->isHidden());
    ChooseInWindow(*f.dlg, choice);
    QVERIFY(f.dlg->algorithm() == choice);
    QVERIFY(!label->isHidden());
    QCOMPARE(label->text(), OperatorsView::Summary(choice));
    const QStringList keys{"encoding", "selection", "elitism", "crossover", "mutation"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(AppSettings().value(QStringLiteral("algorithm/") + keys[i]).toString(), spellings[i]);
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("30"));
    // The run keeps its choice: the view's controls wait for its end.
    auto* view = f.dlg->findChild<OperatorsView*>();
    bool enabledWhileRunning = true;
    connect(f.dlg.get(), &CSolverDlg::runStarted, view, [&] { enabledWhileRunning = view->isEnabled(); });
    QVERIFY(f.run());
    QVERIFY(!enabledWhileRunning);
    QVERIFY(view->isEnabled());
    QVERIFY(uitest::Messages().isEmpty());
    const QStringList args = CliArguments(f.dlg->Control(IDC_GENERATION)->toolTip());
    QCOMPARE(args.mid(13), flags);
    QVERIFY(EvolutionWindowTestAccess::readoutText(*f.dlg->showEvolutionWindow()).endsWith(label->text()));

    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    QProcess cli;
    cli.setWorkingDirectory(elsewhere.path());
    cli.start(QStringLiteral(KELVORA_CLI), args + QStringList{QStringLiteral("--quiet")});
    QVERIFY(cli.waitForFinished(120000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    for (const QString& name : {QStringLiteral("results.csv"), QStringLiteral("fitness.csv")}) {
        QVERIFY(!ReadAll(name).isEmpty());
        QVERIFY2(ReadAll(elsewhere.filePath(name)) == ReadAll(name), qPrintable(name));
    }
}

void TestLiveRun::countsTooLargeForThePopulation_data() {
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("elitism");
    QTest::addColumn<QString>("named");  // what the message names
    QTest::newRow("tournament of N + 1") << "tournament:21" << "0" << "トーナメントの大きさ 21";
    QTest::newRow("elite count N") << "roulette" << "20" << "エリート数 20";
}

void TestLiveRun::countsTooLargeForThePopulation() {
    // Reported at 計算 like a bad field: a message, the population field selected, nothing run.
    QFETCH(QString, selection);
    QFETCH(QString, elitism);
    QFETCH(QString, named);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    ChooseInWindow(*f.dlg, Parsed("binary", qPrintable(selection), qPrintable(elitism), "one-point", "bit-flip"));
    QVERIFY(f.run());
    QCOMPARE(uitest::Messages().size(), 1);
    QVERIFY2(uitest::Messages().first().text.contains(named), qPrintable(uitest::Messages().first().text));
    QCOMPARE(f.dlg->focusWidget(), f.edit(IDC_POPULATION_SIZE));
    QCOMPARE(f.edit(IDC_POPULATION_SIZE)->selectedText(), QStringLiteral("20"));
    QVERIFY(!QFile::exists(QStringLiteral("results.csv")));
    QCOMPARE(f.dlg->generations, QList<int>());
}

void TestLiveRun::presetOperatorsFromTheSettings() {
    // A course presets the choice in the settings file; a value that does not parse is the classic one.
    uitest::UseScratchSettings();
    AppSettings().setValue(QStringLiteral("algorithm/encoding"), QStringLiteral("gray"));
    AppSettings().setValue(QStringLiteral("algorithm/selection"), QStringLiteral("tournament:1"));
    AppSettings().setValue(QStringLiteral("algorithm/elitism"), QStringLiteral("-3"));
    AppSettings().setValue(QStringLiteral("algorithm/crossover"), QStringLiteral("uniform"));
    AppSettings().setValue(QStringLiteral("algorithm/mutation"), QStringLiteral("creep"));
    Fixture f(false);
    QVERIFY(f.dlg->algorithm() == Parsed("gray", "roulette", "0", "uniform", "bit-flip"));
    QVERIFY(f.dlg->findChild<QLabel*>(QStringLiteral("AlgorithmLabel"))->isVisible());
}

void TestLiveRun::randomSearchRunIsNamedAndRepeatedByItsCommand() {
    // A random-search run's file opened in the window: the next run is random search with the
    // record's rates, the line under 計算 names it, and the tooltip's command, run by kelvora-cli,
    // writes the window's very bytes.
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    QVERIFY(QDir().mkdir(QStringLiteral("made")));
    // A rate of 16 digits, one more than the field shows: the next run takes it whole.
    const kelvora::RunSetup made({12, 6, 0.1234567890123456, 0.1}, kelvora::GeometryFor(68, 180), 5,
                                 kelvora::Algorithm{kelvora::Method::randomSearch});
    const kelvora::RunReport report = kelvora::RunWithFiles(made, "made", kelvora::FlushMode::line);
    kelvora::RunRecord record = kelvora::session::RecordOfRun("kelvora-cli", made, report, kelvora::RecordTimeNow(), "");
    QCOMPARE(QString::fromStdString(kelvora::WriteRunRecord(record, "made")), QString());
    Fixture f;
    QVERIFY(uitest::openResults(*f.dlg, QStringLiteral("made/results.csv")));
    QCOMPARE(f.dlg->algorithm().method, kelvora::Method::randomSearch);
    auto* label = f.dlg->findChild<QLabel*>(QStringLiteral("AlgorithmLabel"));
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("ランダム探索 (遺伝的操作なし)"));
    QVERIFY(f.run());
    QVERIFY(uitest::Messages().isEmpty());
    const QStringList args = CliArguments(f.dlg->Control(IDC_GENERATION)->toolTip());
    QCOMPARE(args.mid(13), (QStringList{QStringLiteral("--algorithm"), QStringLiteral("random-search")}));
    QCOMPARE(args.mid(6, 2), (QStringList{QStringLiteral("--crossover"), QStringLiteral("0.1234567890123456")}));
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    QProcess cli;
    cli.setWorkingDirectory(elsewhere.path());
    cli.start(QStringLiteral(KELVORA_CLI), args + QStringList{QStringLiteral("--quiet")});
    QVERIFY(cli.waitForFinished(120000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    for (const QString& name : {QStringLiteral("results.csv"), QStringLiteral("fitness.csv")}) {
        QVERIFY(!ReadAll(name).isEmpty());
        QVERIFY2(ReadAll(elsewhere.filePath(name)) == ReadAll(name), qPrintable(name));
    }
}

void TestLiveRun::runThatCannotStartSaysWhy() {
    // With no descriptor left for the run's files and thread, 計算 says so, nothing runs, and the
    // window takes input as before: once descriptors are free again the next 計算 runs.
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    QList<int> fillers;  // every descriptor below the limit taken
    int highest = -1;
    for (const QString& entry : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
        highest = std::max(highest, entry.toInt());
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(highest + 1);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers << fd;
    const bool ran = f.run();
    for (const int fd : fillers) ::close(fd);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
    QVERIFY(ran);
    QCOMPARE(uitest::Messages().size(), 1);
    const QString text = uitest::Messages().first().text;
    QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(EMFILE))), qPrintable(text));
    QVERIFY(!f.dlg->isRunning());
    QVERIFY(!QFile::exists(QStringLiteral("results.csv")));
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("-150"));
    QVERIFY(f.run());
    QCOMPARE(uitest::Messages().size(), 1);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 100);
}

QTEST_MAIN(TestLiveRun)
void TestLiveRun::earlierRunsBesideTheCurrentOne() {
    // Each finished run joins the earlier runs when the next one starts, named by its population,
    // generation limit, rates and operators; the ninth pushes out the oldest.
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    EvolutionWindow* evolution = f.dlg->showEvolutionWindow();
    FitnessChart* chart = evolution->chart();
    const qsizetype ownSeries = chart->chart()->series().size();
    const auto name = [&](int population) {
        return QStringLiteral("%1 × 3, %2, %3, classic")
            .arg(population)
            .arg(f.text(IDC_CROSSOVER_RATE), f.text(IDC_MUTATION_PROBABILITY));
    };
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("3"));
    for (int run = 1; run <= 10; ++run) {
        f.setText(IDC_POPULATION_SIZE, QString::number(run + 1));
        QVERIFY(f.run());
        if (run == 3) {
            QCOMPARE(FitnessChartTestAccess::earlierRunCount(*chart), 2);
            QCOMPARE(FitnessChartTestAccess::earlierSeries(*chart, 0)->name(), name(2));
            QCOMPARE(FitnessChartTestAccess::earlierSeries(*chart, 1)->name(), name(3));
            QCOMPARE(FitnessChartTestAccess::earlierSeries(*chart, 1)->count(), 3);
        }
    }
    QCOMPARE(FitnessChartTestAccess::earlierRunCount(*chart), FitnessChart::kMaxEarlierRuns);
    QCOMPARE(FitnessChartTestAccess::earlierSeries(*chart, 0)->name(), name(3));  // run 1's pushed out as run 10 started
    QCOMPARE(FitnessChartTestAccess::earlierSeries(*chart, 7)->name(), name(10));
    QCOMPARE(FitnessChartTestAccess::bestSeries(*chart)->count(), 3);             // the current run's own curve

    // A click on a marker hides its run and keeps the marker, to show it again; the log axis
    // switches to the distance curves, the hidden one still hidden.
    emit FitnessChartTestAccess::earlierMarker(*chart, 1)->clicked();
    QVERIFY(!FitnessChartTestAccess::earlierSeries(*chart, 1)->isVisible() && FitnessChartTestAccess::earlierMarker(*chart, 1)->isVisible());
    QVERIFY(FitnessChartTestAccess::earlierSeries(*chart, 0)->isVisible());
    EvolutionWindowTestAccess::distanceAction(*evolution)->setChecked(true);
    QCOMPARE(FitnessChartTestAccess::earlierSeries(*chart, 0)->attachedAxes().value(1), FitnessChartTestAccess::distanceAxis(*chart));
    QVERIFY(FitnessChartTestAccess::earlierSeries(*chart, 0)->isVisible() && !FitnessChartTestAccess::earlierSeries(*chart, 1)->isVisible());
    emit FitnessChartTestAccess::earlierMarker(*chart, 1)->clicked();
    QVERIFY(FitnessChartTestAccess::earlierSeries(*chart, 1)->isVisible());

    EvolutionWindowTestAccess::clearComparisonAction(*evolution)->trigger();
    QCOMPARE(FitnessChartTestAccess::earlierRunCount(*chart), 0);
    QCOMPARE(chart->chart()->series().size(), ownSeries);
    EvolutionWindowTestAccess::distanceAction(*evolution)->setChecked(false);
}

#include "tst_liverun.moc"
