// The program's window: the dialog in the middle with the views docked beside it, their layout
// kept, Escape after a stopped run, and the seed field against kelvora-cli's bytes.

#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QScrollArea>

#include "uitestsupport.h"

#include "mainwindow/workbench.h"

using uitest::ProbeDlg;
using uitest::ReadAll;
using uitest::TemporaryCurrentDirectory;

namespace {

struct Bench {
    kelvora::ui::SolverState state;
    ProbeDlg* dlg = new ProbeDlg(state);
    std::unique_ptr<Workbench> window = std::make_unique<Workbench>(dlg);

    explicit Bench(bool show = true) {
        if (show) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        }
    }
    QLineEdit* seed() const { return window->findChild<QLineEdit*>(QStringLiteral("SeedField")); }
    void set(int id, const QString& text) { static_cast<QLineEdit*>(dlg->Control(id))->setText(text); }
    bool run() {
        QSignalSpy finished(dlg, &CSolverDlg::runFinished);
        static_cast<QPushButton*>(dlg->Control(IDOK))->click();
        return finished.wait(120000);
    }
    // The dialog's pixels in view, in the window's coordinates.
    QRect dialogArea() const {
        return dlg->visibleRegion().boundingRect().translated(dlg->mapTo(window.get(), QPoint(0, 0)));
    }
};

}  // namespace

class TestWorkbench : public QObject {
    Q_OBJECT

private slots:
    void init() {
        AppSettings().clear();
        uitest::Messages().clear();
        SetMessageBoxFunction(uitest::RecordMessage);
    }

    void seedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("seed");  // -1: drawn from the clock
        QTest::newRow("empty") << "" << true << -1LL;
        QTest::newRow("blanks") << "  " << true << -1LL;
        QTest::newRow("the word") << "自動" << true << -1LL;
        QTest::newRow("zero") << "0" << true << 0LL;
        QTest::newRow("blanks around") << " 42 " << true << 42LL;
        QTest::newRow("largest") << "4294967295" << true << 4294967295LL;
        QTest::newRow("one past") << "4294967296" << false << 0LL;
        QTest::newRow("negative") << "-1" << false << 0LL;
        QTest::newRow("fraction") << "12.5" << false << 0LL;
        QTest::newRow("words") << "seven" << false << 0LL;
    }
    void seedText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, seed);
        std::optional<std::uint32_t> parsed = 99u;
        QCOMPARE(Workbench::ParseSeed(text, parsed), valid);
        if (!valid) return;
        QCOMPARE(parsed.has_value(), seed >= 0);
        if (seed >= 0) QCOMPARE(qint64(*parsed), seed);
    }

    // A click that picks the target, or a typed field, then Enter: 計算 runs, as in the dialog alone.
    void enterComputes_data() {
        QTest::addColumn<bool>("typed");
        QTest::newRow("after a click in the plot") << false;
        QTest::newRow("in the population field") << true;
    }
    void enterComputes() {
        QFETCH(bool, typed);
        TemporaryCurrentDirectory cwd;
        Bench b;
        b.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(b.window.get()));
        QSignalSpy finished(b.dlg, &CSolverDlg::runFinished);
        const QPoint inPlot = CSolverDlg::kPlotRect.topLeft() + QPoint(50, 80) + SolverDlgTestAccess::clientOrigin(*b.dlg);
        QTest::mouseClick(b.dlg, Qt::LeftButton, {}, inPlot);
        if (typed) {
            auto* population = static_cast<QLineEdit*>(b.dlg->Control(1000));
            population->setFocus(Qt::MouseFocusReason);
            QTest::keyClicks(population, QStringLiteral("1"));  // "201": a valid size
        }
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus, "nothing has the focus after the click");
        QTest::keyClick(focus, Qt::Key_Return);
        QVERIFY2(finished.wait(60000), qPrintable(focus->metaObject()->className()));
    }

    // Views opened in turn go beside the dialog, never over it, and opening one never resizes those
    // open already.
    void viewsBesideTheDialog() {
        Bench b;
        QList<QDockWidget*> open;
        QRect area;  // where the newest view shows, in the window
        for (const char* action : {"EvolutionAction", "MicroscopeAction", "HelpAction", "ExperimentAction", "OperatorsAction"}) {
            b.dlg->MenuAction(action)->trigger();
            QApplication::processEvents();
            const QList<QDockWidget*> docks = b.window->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly);
            QCOMPARE(docks.size(), open.size() + 1);
            QDockWidget* newest = nullptr;
            for (QDockWidget* d : docks)
                if (!open.contains(d)) newest = d;
            QVERIFY(newest && newest->isVisible() && !newest->isFloating());
            QVERIFY2(!newest->geometry().intersects(b.dialogArea()), action);
            // Tabbed with those open, in the same place and width: only the tab bar, when it comes
            // with the second view, takes height.
            if (!open.isEmpty()) {
                QCOMPARE(newest->geometry().topLeft(), area.topLeft());
                QCOMPARE(newest->width(), area.width());
                if (open.size() > 1) QCOMPARE(newest->height(), area.height());
            }
            area = newest->geometry();
            open << newest;
        }
        // The whole dialog in view beside them, the window on the screen.
        QCOMPARE(b.dialogArea().size(), b.dlg->size());
        QVERIFY(b.window->screen()->availableGeometry().contains(b.window->frameGeometry()));
    }

    // F1 opens the help from inside any view, a floating one (a window of its own) too.
    void f1InAFloatingView() {
        Bench b;
        b.dlg->MenuAction("OperatorsAction")->trigger();
        auto* dock = b.window->findChild<QDockWidget*>(QStringLiteral("OperatorsViewDock"));
        QVERIFY(dock);
        dock->setFloating(true);
        QVERIFY(QTest::qWaitForWindowExposed(dock));
        dock->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dock));
        QVERIFY(!b.window->findChild<QDockWidget*>(QStringLiteral("HelpWindowDock")));
        QTest::keyClick(dock->widget()->findChild<QWidget*>(QStringLiteral("EncodingBox")), Qt::Key_F1);
        QDockWidget* help = b.window->findChild<QDockWidget*>(QStringLiteral("HelpWindowDock"));
        QVERIFY(help && help->isVisible());
    }

    // A layout the person made comes back at the next start; 表示 → レイアウトを元に戻す puts it back.
    void layoutSurvivesARestart() {
        {
            Bench b;
            b.dlg->MenuAction("EvolutionAction")->trigger();
            b.dlg->MenuAction("HelpAction")->trigger();
            QDockWidget* help = b.window->findChild<QDockWidget*>(QStringLiteral("HelpWindowDock"));
            QVERIFY(help);
            b.window->addDockWidget(Qt::BottomDockWidgetArea, help);
            b.window->close();
            QVERIFY(!b.window->isVisible());
        }
        Bench b;
        QDockWidget* help = b.window->findChild<QDockWidget*>(QStringLiteral("HelpWindowDock"));
        QDockWidget* evolution = b.window->findChild<QDockWidget*>(QStringLiteral("EvolutionWindowDock"));
        QVERIFY(help && evolution);
        QCOMPARE(b.window->dockWidgetArea(help), Qt::BottomDockWidgetArea);
        QCOMPARE(b.window->dockWidgetArea(evolution), Qt::RightDockWidgetArea);
        b.window->findChild<QAction*>(QStringLiteral("ResetLayoutAction"))->trigger();
        QCOMPARE(b.window->dockWidgetArea(help), Qt::RightDockWidgetArea);
        QVERIFY(!help->geometry().intersects(b.dialogArea()));
    }

    // The Escape that stopped a run and a second one soon after are one intent: the window stays.
    // Later, an Escape with nothing running closes it.
    void secondEscapeKeepsTheProgram_data() {
        QTest::addColumn<int>("after");  // ms after the Escape that stopped the run
        QTest::addColumn<bool>("closes");
        QTest::newRow("at once") << 0 << false;
        QTest::newRow("just within the second") << CSolverDlg::kEscapeGraceMs - 1 << false;
        QTest::newRow("a second later") << CSolverDlg::kEscapeGraceMs << true;
    }
    void secondEscapeKeepsTheProgram() {
        QFETCH(int, after);
        QFETCH(bool, closes);
        TemporaryCurrentDirectory cwd;
        Bench b;
        std::int64_t now = 5000;
        SolverDlgTestAccess::setClock(*b.dlg, [&now] { return now; });
        b.set(IDC_GENERATION_LIMIT, QStringLiteral("5000"));
        b.dlg->onProgress = [](ProbeDlg& dlg, int generation) {
            if (generation == 3) QTest::keyClick(dlg.focusWidget(), Qt::Key_Escape);
        };
        QVERIFY(b.run());
        QCOMPARE(b.state.generation, 3);
        now += after;
        QTest::keyClick(b.dlg->focusWidget(), Qt::Key_Escape);
        QCOMPARE(b.window->isVisible(), !closes);
    }

    // A seed typed gives kelvora-cli's bytes for that seed; an opened run with its run.json, repeated
    // by 計算 elsewhere, gives its results.csv again, byte for byte.
    void seedRepeatsTheRun() {
        TemporaryCurrentDirectory cwd;
        Bench b;
        b.set(IDC_POPULATION_SIZE, QStringLiteral("30"));
        b.set(IDC_GENERATION_LIMIT, QStringLiteral("25"));
        b.set(IDC_MUTATION_PROBABILITY, QStringLiteral("0.25"));
        b.seed()->setText(QStringLiteral("123456789"));
        QVERIFY(b.run());
        const QByteArray mine = ReadAll(QStringLiteral("results.csv"));
        QVERIFY(!mine.isEmpty());
        QTemporaryDir cli;
        QProcess process;
        process.setWorkingDirectory(cli.path());
        process.start(QStringLiteral(KELVORA_CLI),
                      {QStringLiteral("--seed"), QStringLiteral("123456789"), QStringLiteral("--population"),
                       QStringLiteral("30"), QStringLiteral("--generations"), QStringLiteral("25"),
                       QStringLiteral("--crossover"), QStringLiteral("0.5"), QStringLiteral("--mutation"),
                       QStringLiteral("0.25"), QStringLiteral("--target=68,180"), QStringLiteral("--quiet")});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(ReadAll(cli.filePath(QStringLiteral("results.csv"))) == mine);

        // A run from the clock, opened in a fresh window and repeated in another directory.
        b.seed()->clear();
        b.set(IDC_POPULATION_SIZE, QStringLiteral("24"));
        b.set(IDC_CROSSOVER_RATE, QStringLiteral("0.75"));
        QVERIFY(b.run());
        const QString first = QDir::current().absoluteFilePath(QStringLiteral("results.csv"));
        const QByteArray original = ReadAll(first);
        Bench fresh;
        QVERIFY(uitest::openResults(*fresh.dlg, first));
        QVERIFY(!fresh.seed()->text().isEmpty());
        TemporaryCurrentDirectory elsewhere;
        QVERIFY(fresh.run());
        QVERIFY(ReadAll(QStringLiteral("results.csv")) == original);
        // The best arm's angles beside the optimum's, after the run.
        const QString pose = fresh.window->findChild<QLabel*>(QStringLiteral("BestPose"))->text();
        const kelvora::ArmPose& best = fresh.state.elitePose;
        QVERIFY2(pose.contains(QStringLiteral("(%1, %2, %3)").arg(best.a1).arg(best.a2).arg(best.a3)), qPrintable(pose));
    }
};

QTEST_MAIN(TestWorkbench)
#include "tst_workbench.moc"
