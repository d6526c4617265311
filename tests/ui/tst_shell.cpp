// The application shell: the window's menu with the About entry, the routing of system commands,
// F1, and the About box itself. The About box's modal loop is replaced by one that records the box
// that was built and closes it as the user would, so no test waits on a modal box.

#include <memory>

#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QtTest>

#include "model/kelvora_version.h"
#include "common/aboutdlg.h"
#include "evolution/evolutionwindow.h"
#include "help/helpwindow.h"
#include "common/resourceloader.h"
#include "app/solverapp.h"
#include "uitestsupport.h"
#include "mainwindow/workbench.h"

using namespace kelvora::ui;

using uitest::Fixture;

namespace {

// How the recording modal loop closes the box.
enum class CloseBy { OkButton, Escape, CloseButton };

struct AboutRecord {
    QString title;
    QWidget* parent = nullptr;
    bool isAboutDlg = false;
    bool modal = false;
    bool visibleWhileOpen = false;
    bool hiddenAfter = false;
    int result = -1;
};

QList<AboutRecord> g_abouts;
CloseBy g_closeBy = CloseBy::OkButton;

int RecordAndClose(QDialog& dialog) {
    AboutRecord r;
    r.title = dialog.windowTitle();
    r.parent = dialog.parentWidget();
    r.isAboutDlg = qobject_cast<CAboutDlg*>(&dialog) != nullptr;
    r.modal = dialog.isModal() && dialog.windowModality() == Qt::ApplicationModal;
    dialog.show();
    r.visibleWhileOpen = dialog.isVisible();
    switch (g_closeBy) {
    case CloseBy::OkButton:
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
        break;
    case CloseBy::Escape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    case CloseBy::CloseButton:
        dialog.close();
        break;
    }
    r.hiddenAfter = !dialog.isVisible();
    r.result = dialog.result();
    g_abouts << r;
    return dialog.result();
}

QMenu* OpenMenuBySending(QWidget* receiver, QPoint pos) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, receiver->mapToGlobal(pos));
    QApplication::sendEvent(receiver, &event);
    return receiver->window()->findChild<QMenu*>(QStringLiteral("SystemMenu"));
}

QLabel* LabelNamed(const QWidget& dialog, const QString& text) {
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

}  // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void systemMenuEntries();
    void rightClickOpensTheMenu_data();
    void rightClickOpensTheMenu();
    void menuCloseEntryEndsTheDialog();
    void f1OpensTheHelpWindow_data();
    void f1OpensTheHelpWindow();
    void menuBarHoldsEveryCommand_data();
    void menuBarHoldsEveryCommand();

    void aboutBoxTemplate();
    void aboutBoxReturns_data();
    void aboutBoxReturns();
    void aboutBoxOpensAgain();

    void applicationMetadata();
    void mainWindowIsAnApplicationWindow();
    void shortcutsWorkWhateverHasTheFocus_data();
    void shortcutsWorkWhateverHasTheFocus();
    void helpListsEveryShortcut_data();
    void helpListsEveryShortcut();
};

void TestShell::shortcutsWorkWhateverHasTheFocus_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("focusId");
    QTest::addColumn<int>("modifiers");
    const std::tuple<const char*, int, int> shortcuts[] = {
        {"EvolutionAction", Qt::Key_G, Qt::ControlModifier}, {"ExperimentAction", Qt::Key_E, Qt::ControlModifier},
        {"OperatorsAction", Qt::Key_L, Qt::ControlModifier}, {"OpenResultsAction", Qt::Key_O, Qt::ControlModifier},
        {"HelpAction", Qt::Key_F1, Qt::NoModifier}};
    for (const auto& [action, key, modifiers] : shortcuts)
        for (const int id : {IDOK, IDC_POPULATION_SIZE, IDC_GENERATION_LIMIT, IDC_CROSSOVER_RATE, IDC_MUTATION_PROBABILITY})
            QTest::addRow("%s, focus %d", action, id) << QString::fromLatin1(action) << key << id << modifiers;
}

void TestShell::shortcutsWorkWhateverHasTheFocus() {
    QFETCH(QString, action);
    QFETCH(int, key);
    QFETCH(int, focusId);
    QFETCH(int, modifiers);
    Fixture f;
    QVERIFY(f.exposed());
    f.dlg->activateWindow();
    QWidget* focus = f.dlg->Control(focusId);
    focus->setFocus();
    const QString before = f.text(IDC_POPULATION_SIZE);
    QAction* entry = f.dlg->findChild<QAction*>(action);
    QVERIFY(entry);
    // Only that the key reaches the entry: what it opens (a modal dialog, a file chooser) is tested elsewhere.
    QObject::disconnect(entry, &QAction::triggered, nullptr, nullptr);
    QSignalSpy triggered(entry, &QAction::triggered);
    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(triggered.size(), 1);
    QCOMPARE(f.text(IDC_POPULATION_SIZE), before);  // no letter typed into a field
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != f.dlg.get()) window->close();
}

void TestShell::helpListsEveryShortcut_data() {
    QTest::addColumn<QString>("page");
    QTest::newRow("ja") << QStringLiteral(":/help/ja/contents.html");
    QTest::newRow("en") << QStringLiteral(":/help/en/contents.html");
}

// The contents page's list of keys names every key of the main window's commands.
void TestShell::helpListsEveryShortcut() {
    QFETCH(QString, page);
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    Fixture f;
    int keys = 0;
    for (const QAction* action : f.dlg->findChildren<QAction*>()) {
        const QString key = action->shortcut().toString(QKeySequence::PortableText);
        if (key.isEmpty()) continue;
        ++keys;
        QVERIFY2(text.contains(QStringLiteral("<b>%1</b>").arg(key)), qPrintable(key + QStringLiteral(" is not listed")));
    }
    QCOMPARE(keys, 7);  // F1, Ctrl+G, L, E, T, M and O
}

void TestShell::initTestCase() {
    SetMessageBoxFunction(uitest::RecordMessage);
    SetModalLoopFunction(RecordAndClose);
    CSolverApp::InstallFontSubstitutions();
}

void TestShell::init() {
    uitest::Messages().clear();
    g_abouts.clear();
    g_closeBy = CloseBy::OkButton;
}

void TestShell::systemMenuEntries() {
    Fixture f;
    const QList<QAction*> actions = SolverDlgTestAccess::windowMenu(*f.dlg)->actions();
    const qsizetype n = actions.size();
    QVERIFY(n >= 4);
    QCOMPARE(actions[0]->text(), QStringLiteral("閉じる(&C)"));
    QCOMPARE(actions[0]->objectName(), QStringLiteral("CloseAction"));
    // The evolution window's entry, access key G, also Ctrl+G.
    QCOMPARE(actions[1]->text(), QStringLiteral("進化のグラフ(&G)..."));
    QCOMPARE(actions[1]->objectName(), QStringLiteral("EvolutionAction"));
    QCOMPARE(actions[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
    // It ends with a separator and the About entry, whose access key is A.
    QVERIFY(actions[n - 2]->isSeparator());
    QCOMPARE(actions[n - 1]->text(), QStringLiteral("Kelvora のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
    QCOMPARE(actions[n - 1]->objectName(), QStringLiteral("AboutAction"));
    QCOMPARE(LoadStringResource(IDS_ABOUT_MENU), actions[n - 1]->text());
    QCOMPARE(QFontInfo(SolverDlgTestAccess::windowMenu(*f.dlg)->font()).family(), QStringLiteral("IPAPGothic"));
    // Opening the dialog again does not add the entry twice.
    f.dlg->hide();
    f.dlg->show();
    QCOMPARE(SolverDlgTestAccess::windowMenu(*f.dlg)->actions().size(), n);
}

void TestShell::rightClickOpensTheMenu_data() {
    QTest::addColumn<int>("receiverId");  // 0: the dialog itself
    QTest::addColumn<QPoint>("pos");
    QTest::newRow("in the plot") << 0 << QPoint(300, 220);
    QTest::newRow("beside the plot") << 0 << QPoint(40, 300);
    QTest::newRow("on the disabled generation field") << int(IDC_GENERATION) << QPoint(5, 5);
    QTest::newRow("on a pointer readout") << int(IDC_POINTER_X) << QPoint(5, 5);
}

void TestShell::rightClickOpensTheMenu() {
    QFETCH(int, receiverId);
    QFETCH(QPoint, pos);
    Fixture f;
    QVERIFY(f.exposed());
    QWidget* receiver = receiverId ? f.dlg->Control(receiverId) : f.dlg.get();
    QMenu* menu = OpenMenuBySending(receiver, pos);
    QVERIFY(menu);
    QVERIFY(menu->isVisible());
    QVERIFY(g_abouts.isEmpty());  // opening the menu opens nothing else
    // Choosing the About entry opens the box over the dialog, which stays open.
    QAction* about = menu->actions().last();
    menu->setActiveAction(about);
    QTest::keyClick(menu, Qt::Key_Return);
    QVERIFY(!menu->isVisible());
    QCOMPARE(g_abouts.size(), 1);
    QCOMPARE(g_abouts.first().parent, f.dlg.get());
    QVERIFY(f.dlg->isVisible());
}

void TestShell::menuCloseEntryEndsTheDialog() {
    Fixture f;
    QVERIFY(f.exposed());
    QMenu* menu = OpenMenuBySending(f.dlg.get(), QPoint(300, 220));
    QVERIFY(menu && menu->isVisible());
    menu->actions().first()->trigger();
    QVERIFY(!f.dlg->isVisible());
    QCOMPARE(f.dlg->result(), int(QDialog::Rejected));
    QVERIFY(g_abouts.isEmpty());
    menu->hide();
}

void TestShell::f1OpensTheHelpWindow_data() {
    QTest::addColumn<int>("focusId");
    QTest::newRow("focus on Compute") << int(IDOK);
    QTest::newRow("focus in the population field") << int(IDC_POPULATION_SIZE);
    QTest::newRow("focus in the mutation field") << int(IDC_MUTATION_PROBABILITY);
}

void TestShell::f1OpensTheHelpWindow() {
    QFETCH(int, focusId);
    Fixture f;
    QVERIFY(f.exposed());
    f.dlg->activateWindow();
    QWidget* focus = f.dlg->Control(focusId);
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_F1);
    HelpWindow* help = SolverDlgTestAccess::helpWindow(*f.dlg);
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("Kelvora — ヘルプ"));
    // Wholly on the screen; beside the main window, not over it, where the screen has room.
    const QRect screen = f.dlg->screen()->availableGeometry();
    QVERIFY(screen.contains(help->frameGeometry()));
    if (screen.width() >= f.dlg->frameGeometry().width() + help->minimumWidth())
        QVERIFY(!help->frameGeometry().intersects(f.dlg->frameGeometry()));
    // Once: a second F1 shows the same window again.
    help->hide();
    f.dlg->activateWindow();
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_F1);
    QCOMPARE(f.dlg->findChildren<HelpWindow*>().size(), 1);
    QVERIFY(help->isVisible());
    QVERIFY(g_abouts.isEmpty());  // the About box is the menu's
    help->close();
    QVERIFY(f.dlg->isVisible());
    // F1 neither runs Compute nor changes a field.
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("0"));
    QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("20"));
    QVERIFY(uitest::Messages().isEmpty());
}

void TestShell::menuBarHoldsEveryCommand_data() {
    QTest::addColumn<int>("menu");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("ファイル") << 0 << QStringList{"OpenResultsAction", "OpenSweepAction", "OpenExperimentAction", "SaveExperimentAction", "CloseAction"};
    QTest::newRow("表示") << 1 << QStringList{"EvolutionAction", "MicroscopeAction", "LandscapeAction", "OperatorsAction",
                                            "ShowPopulationAction", "ShowUnreachableAction", "ShowOptimumAction", "ShowFamilyAction"};
    QTest::newRow("実験") << 2 << QStringList{"OperatorsAction", "ExperimentAction"};
    QTest::newRow("ヘルプ") << 3 << QStringList{"HelpAction", "AboutAction"};
}

void TestShell::menuBarHoldsEveryCommand() {
    QFETCH(int, menu);
    QFETCH(QStringList, entries);
    Fixture f;
    const QList<QAction*> menus = f.dlg->menuBar()->actions();
    QCOMPARE(menus.size(), 4);
    QList<QAction*> shown = menus[menu]->menu()->actions();
    shown.removeIf([](const QAction* a) { return a->isSeparator(); });
    QStringList names;
    for (const QAction* a : shown) names << a->objectName();
    QCOMPARE(names, entries);
    for (QAction* a : shown) {
        QVERIFY2(!a->text().isEmpty(), qPrintable(a->objectName()));
        // The very entry of the window menu, so that a check mark shows in both at once; 使い方 and
        // the experiment window's files (スイープを開く, 実験を開く, 実験を保存) are the bar's own.
        static const QStringList barOnly = {"OpenSweepAction", "OpenExperimentAction", "SaveExperimentAction", "HelpAction"};
        if (!barOnly.contains(a->objectName())) QVERIFY2(SolverDlgTestAccess::windowMenu(*f.dlg)->actions().contains(a), qPrintable(a->objectName()));
    }
    // Together the bar holds every entry of the window menu.
    if (menu == 0) {
        QSet<QAction*> inBar;
        for (QAction* title : menus)
            for (QAction* a : title->menu()->actions()) inBar << a;
        for (QAction* a : SolverDlgTestAccess::windowMenu(*f.dlg)->actions())
            QVERIFY2(a->isSeparator() || inBar.contains(a), qPrintable(a->text()));
    }
}

void TestShell::aboutBoxTemplate() {
    Fixture f;
    CAboutDlg about(f.dlg.get());
    about.show();
    QCOMPARE(about.windowTitle(), QStringLiteral("Kelvoraのﾊﾞｰｼﾞｮﾝ情報"));
    // 235 x 55 dialog units at 7 x 13 px base units, halves rounded away from zero.
    QCOMPARE(about.size(), QSize(411, 89));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(about.isModal());
    QCOMPARE(about.parentWidget(), f.dlg.get());
    QCOMPARE(QFontInfo(about.font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(about.font().pointSize(), 9);

    // Icon 128 at (11, 17), 20 x 20 units, its 32 x 32 image drawn from the top left.
    QLabel* icon = about.findChild<QLabel*>(QStringLiteral("IDI_APP"));
    QVERIFY(icon);
    QCOMPARE(icon->geometry(), QRect(19, 28, 35, 33));
    QCOMPARE(icon->alignment(), Qt::AlignLeft | Qt::AlignTop);
    const QImage shown = icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown, QImage(QString::fromLatin1(RES_APP_ICON_32)).convertToFormat(QImage::Format_ARGB32));

    // The version text at (40, 10), 119 x 8 units, taken as it is.
    QLabel* version = LabelNamed(about, QStringLiteral("Kelvora Version 1.0"));
    QVERIFY(version);
    QCOMPARE(version->geometry(), QRect(70, 16, 208, 13));
    QCOMPARE(version->textFormat(), Qt::PlainText);
    QVERIFY(!version->buddy());

    // OK, the default button, at (178, 7), 50 x 14 units, with the focus.
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("IDOK"));
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect(312, 11, 88, 23));
    QVERIFY(ok->isDefault());
    QCOMPARE(about.focusWidget(), ok);
    QCOMPARE(about.findChildren<QWidget*>().size(), 3);
}

void TestShell::aboutBoxReturns_data() {
    QTest::addColumn<int>("closeBy");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << int(CloseBy::OkButton) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(CloseBy::Escape) << int(QDialog::Rejected);
    QTest::newRow("close button") << int(CloseBy::CloseButton) << int(QDialog::Rejected);
}

void TestShell::aboutBoxReturns() {
    QFETCH(int, closeBy);
    QFETCH(int, result);
    g_closeBy = CloseBy(closeBy);
    Fixture f;
    f.dlg->MenuAction("AboutAction")->trigger();
    QCOMPARE(g_abouts.size(), 1);
    QVERIFY(g_abouts.first().visibleWhileOpen);
    QVERIFY(g_abouts.first().hiddenAfter);
    QCOMPARE(g_abouts.first().result, result);
    // Escape in the About box closes only the box: the main dialog stays.
    QVERIFY(f.dlg->isVisible());
    QCOMPARE(f.dlg->findChildren<CAboutDlg*>().size(), 0);  // made for this showing and gone after it
}

void TestShell::aboutBoxOpensAgain() {
    Fixture f;
    for (int i = 0; i < 3; ++i) f.dlg->MenuAction("AboutAction")->trigger();
    QCOMPARE(g_abouts.size(), 3);
    QCOMPARE(f.dlg->findChildren<CAboutDlg*>().size(), 0);
}

void TestShell::applicationMetadata() {
    CSolverApp::SetApplicationMetadata();
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Kelvora"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(KELVORA_VERSION));  // the project's
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("io.github.kelvora.Kelvora"));
    const QList<QSize> sizes = QGuiApplication::windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
}

void TestShell::mainWindowIsAnApplicationWindow() {
    // The program's own start: its window, the main dialog in its middle, is a normal top-level
    // window with a taskbar entry, transient for nothing and not modal, and closing it ends the
    // program's loop.
    struct Seen {
        bool visible = false;
        Qt::WindowType type = Qt::Widget;
        bool transient = true;
        bool modal = true;
    } seen;
    QTimer look;
    look.setSingleShot(true);
    connect(&look, &QTimer::timeout, [&seen] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<Workbench*>(widget);
            if (!dlg || !dlg->findChild<CSolverDlg*>()->isVisible()) continue;
            seen.visible = dlg->isVisible();
            seen.type = dlg->windowType();
            seen.transient = dlg->windowHandle() && dlg->windowHandle()->transientParent();
            seen.modal = dlg->isModal() || QApplication::activeModalWidget() ||
                         (dlg->windowHandle() && dlg->windowHandle()->modality() != Qt::NonModal);
            dlg->close();
        }
    });
    look.start(0);
    QTimer failSafe;  // a loop that the close does not end is ended here, and fails below
    failSafe.setSingleShot(true);
    connect(&failSafe, &QTimer::timeout, qApp, &QCoreApplication::quit);
    failSafe.start(20000);
    const auto state = std::make_unique<kelvora::ui::SolverState>();
    QCOMPARE(static_cast<CSolverApp*>(qApp)->InitInstance(*state), false);
    QVERIFY2(failSafe.isActive(), "closing the window did not end the loop");
    QVERIFY(seen.visible);
    QCOMPARE(seen.type, Qt::Window);
    QVERIFY(!seen.transient);
    QVERIFY(!seen.modal);
    QVERIFY(uitest::Messages().isEmpty());
}

// The application object is the program's own, as InitInstance needs it.
int main(int argc, char** argv) {
    // The application object chooses the language from the environment: Japanese here, the texts
    // the tests pin, whatever the machine's language (tst_english tests the choice).
    qputenv("LANG", "C.UTF-8");
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) qunsetenv(name);
    CSolverApp app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);  // as QTEST_MAIN does
    TestShell test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell.moc"
