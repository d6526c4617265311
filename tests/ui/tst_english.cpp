// The window in English: which language the environment chooses, the English texts of the
// controls, menus, boxes and messages, and that every control's English text fits the control at
// the template's size. The test sets its own environment; the machine's LANG does not matter.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QtTest>

#include "common/aboutdlg.h"
#include "evolution/evolutionwindow.h"
#include "landscape/landscapewindow.h"
#include "common/solvermodel.h"
#include "mainwindow/groundtruthoverlay.h"
#include "common/resultsfaulttext.h"
#include "app/solverapp.h"
#include "app/uilanguage.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

namespace {

using uitest::Fixture;
using uitest::Messages;

// Sets one variable; a null value unsets it.
void SetVariable(const char* name, const QByteArray& value) {
    if (value.isNull()) qunsetenv(name);
    else qputenv(name, value);
}

void SetLocaleVariables(const QByteArray& language, const QByteArray& lcAll, const QByteArray& lcMessages,
                        const QByteArray& lang) {
    SetVariable("LANGUAGE", language);
    SetVariable("LC_ALL", lcAll);
    SetVariable("LC_MESSAGES", lcMessages);
    SetVariable("LANG", lang);
}

// An English desktop, the translation installed.
void UseEnglish() {
    SetLocaleVariables(QByteArray(), QByteArray(), QByteArray(), "en_US.UTF-8");
    QVERIFY(InstallUiTranslation() == UiLanguage::English);
}

QLabel* LabelAt(const QWidget& window, QPoint topLeft) {
    for (QLabel* label : window.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->geometry().topLeft() == uitest::At(window, topLeft)) return label;
    return nullptr;
}

// The text that a row's key names, as the English window shows it.
QString ShownText(const QString& key) {
    Fixture f;
    const QStringList parts = key.split(QLatin1Char(':'));
    const QString& what = parts[0];
    if (what == QLatin1String("button")) return f.compute()->text();
    if (what == QLatin1String("label")) {
        const QStringList xy = parts[1].split(QLatin1Char(','));
        QLabel* label = LabelAt(*f.dlg, QPoint(xy[0].toInt(), xy[1].toInt()));
        return label ? label->text() : QStringLiteral("<no label at %1>").arg(parts[1]);
    }
    if (what == QLatin1String("menu")) {
        QList<QAction*> entries = SolverDlgTestAccess::windowMenu(*f.dlg)->actions();
        entries.removeIf([](const QAction* a) { return a->isSeparator(); });
        const int i = parts[1].toInt();
        return i < entries.size() ? entries[i]->text() : QStringLiteral("<no entry %1>").arg(i);
    }
    if (what == QLatin1String("about")) {
        CAboutDlg about;
        if (parts[1] == QLatin1String("title")) return about.windowTitle();
        const auto* widget = about.findChild<QWidget*>(parts[1]);
        if (const auto* button = qobject_cast<const QPushButton*>(widget)) return button->text();
        const QLabel* label = LabelAt(about, QPoint(70, 16));  // the version text
        return label ? label->text() : QString();
    }
    if (what == QLatin1String("evolution")) {
        SolverState state;
        SolverModel model(state);
        const EvolutionWindow evolution(model);
        if (parts[1] == QLatin1String("title")) return evolution.windowTitle();
        QStringList menus;
        for (const QAction* menu : evolution.menuBar()->actions()) menus << menu->text();
        return menus.join(QLatin1Char('|'));
    }
    if (what == QLatin1String("window")) return f.dlg->findChild<QWidget*>(parts[1])->windowTitle();
    if (what == QLatin1String("validation")) {  // validation:<field id>:<text typed>
        f.setText(parts[1].toInt(), parts[2]);
        Messages().clear();
        QTest::mouseClick(f.compute(), Qt::LeftButton);
        return Messages().size() == 1 ? Messages().first().text : QStringLiteral("<%1 boxes>").arg(Messages().size());
    }
    if (what == QLatin1String("busy")) {  // Compute while another run holds results.csv here
        uitest::TemporaryCurrentDirectory cwd;
        const int other = ::open("results.csv", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (other < 0 || ::flock(other, LOCK_EX | LOCK_NB) != 0) return QStringLiteral("<cannot lock>");
        Messages().clear();
        f.compute()->click();
        ::close(other);
        if (Messages().size() != 1) return QStringLiteral("<%1 boxes>").arg(Messages().size());
        return Messages().first().text.replace(QDir::currentPath(), QStringLiteral("<dir>"));
    }
    if (what == QLatin1String("gap")) {  // gap:<best-so-far distance>:<the last generation's best's distance>
        kelvora::Optimum optimum;
        optimum.pose = {58, 6, 37};
        optimum.distance = 0.25;
        optimum.fitness = 1.0 / 1.25;
        const double elite = parts[1].toDouble();
        return GroundTruthOverlay::gapText(optimum, elite, 1.0 / (elite + 1.0), parts[2].toDouble());
    }
    return QStringLiteral("<unknown key %1>").arg(key);
}

}  // namespace

class TestEnglish : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void languageChoice_data();
    void languageChoice();
    void englishTexts_data();
    void englishTexts();
    void resultsFaultsReadAsTheCliWritesThem();
    void textsFitTheirControls_data();
    void textsFitTheirControls();
    void landscapeFitsADockBesideTheDialog();
};

void TestEnglish::initTestCase() {
    SetMessageBoxFunction(uitest::RecordMessage);
    CSolverApp::InstallFontSubstitutions();
    QStandardPaths::setTestModeEnabled(true);
}

void TestEnglish::init() { UseEnglish(); }

void TestEnglish::languageChoice_data() {
    QTest::addColumn<QByteArray>("language");  // LANGUAGE; a null QByteArray: unset
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcMessages");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<bool>("english");
    const QByteArray unset;
    QTest::newRow("nothing set: C") << unset << unset << unset << unset << false;
    QTest::newRow("LANG=C") << unset << unset << unset << QByteArray("C") << false;
    QTest::newRow("LANG=POSIX") << unset << unset << unset << QByteArray("POSIX") << false;
    QTest::newRow("LANG=C.UTF-8") << unset << unset << unset << QByteArray("C.UTF-8") << false;
    QTest::newRow("LANG=en_US.UTF-8") << unset << unset << unset << QByteArray("en_US.UTF-8") << true;
    QTest::newRow("LANG=en") << unset << unset << unset << QByteArray("en") << true;
    QTest::newRow("LANG=en_GB@euro") << unset << unset << unset << QByteArray("en_GB@euro") << true;
    QTest::newRow("LANG=ja_JP.UTF-8") << unset << unset << unset << QByteArray("ja_JP.UTF-8") << false;
    QTest::newRow("LANG=de_DE.UTF-8") << unset << unset << unset << QByteArray("de_DE.UTF-8") << false;
    QTest::newRow("LANG=eo (en is a prefix only)") << unset << unset << unset << QByteArray("eo") << false;
    QTest::newRow("LANGUAGE=en over LANG=ja") << QByteArray("en") << unset << unset << QByteArray("ja_JP.UTF-8") << true;
    QTest::newRow("LANGUAGE=ja over LANG=en") << QByteArray("ja") << unset << unset << QByteArray("en_US.UTF-8") << false;
    QTest::newRow("LANGUAGE list: first of ja/en") << QByteArray("fr:en_GB:ja") << unset << unset << QByteArray("de_DE") << true;
    QTest::newRow("LANGUAGE list: ja first") << QByteArray("fr:ja:en") << unset << unset << QByteArray("en_US") << false;
    QTest::newRow("LANGUAGE without ja/en: source") << QByteArray("fr") << unset << unset << QByteArray("en_US") << false;
    QTest::newRow("LANGUAGE empty: LANG") << QByteArray("") << unset << unset << QByteArray("en_US.UTF-8") << true;
    QTest::newRow("LANGUAGE ignored in C") << QByteArray("en") << unset << unset << QByteArray("C") << false;
    QTest::newRow("LANGUAGE ignored, no locale") << QByteArray("en") << unset << unset << unset << false;
    QTest::newRow("LANGUAGE read in C.UTF-8") << QByteArray("en") << unset << unset << QByteArray("C.UTF-8") << true;
    QTest::newRow("LC_ALL=en over LANG=ja") << unset << QByteArray("en_US.UTF-8") << unset << QByteArray("ja_JP") << true;
    QTest::newRow("LC_ALL=ja over LANG=en") << unset << QByteArray("ja_JP.UTF-8") << unset << QByteArray("en_US") << false;
    QTest::newRow("LC_ALL=C silences LANGUAGE") << QByteArray("en") << QByteArray("C") << unset << QByteArray("en_US") << false;
    QTest::newRow("LC_MESSAGES=en over LANG=ja") << unset << unset << QByteArray("en_US") << QByteArray("ja_JP") << true;
    QTest::newRow("LC_ALL over LC_MESSAGES") << unset << QByteArray("ja_JP") << QByteArray("en_US") << unset << false;
}

void TestEnglish::languageChoice() {
    QFETCH(QByteArray, language);
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcMessages);
    QFETCH(QByteArray, lang);
    QFETCH(bool, english);
    SetLocaleVariables(language, lcAll, lcMessages, lang);
    const UiLanguage expected = english ? UiLanguage::English : UiLanguage::Japanese;
    QVERIFY(UiLanguageFromEnvironment() == expected);
    // What it installs: the English button text, or the template's own.
    QVERIFY(InstallUiTranslation() == expected);
    QCOMPARE(Fixture().compute()->text(), english ? QStringLiteral("Compute") : QStringLiteral("計算"));
}

void TestEnglish::englishTexts_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* key, const char* expected) {
        QTest::newRow(key) << QString::fromUtf8(key) << QString::fromUtf8(expected);
    };
    // The template's controls (statics by their place in pixels; see tst_solverdlg; an English
    // label wider than its box grows to the left).
    row("button", "Compute");
    row("label:59,583", "Population (<10000)");
    row("label:281,583", "Generations (<10000)");
    row("label:289,624", "Mutation probability");
    row("label:93,622", "Crossover rate");
    row("label:313,522", "Elite error");
    row("label:116,520", "Generation");
    row("label:263,520", " ");  // "Generation" comes before the number
    row("label:112,492", "Target x");
    row("label:331,489", "Target y");
    // The window's menu, in order.
    row("menu:0", "&Close");
    row("menu:1", "Evolution &Graph...");
    row("menu:2", "Genetic &Operators...");
    row("menu:3", "&Experiment...");
    row("menu:4", "&Fitness Landscape...");
    row("menu:5", "Generation &Microscope...");
    row("menu:6", "&Open Results...");
    row("menu:7", "Show Population");
    row("menu:8", "Show Unreachable Region");
    row("menu:9", "Show Optimum");
    row("menu:10", "Show Every Arm That Reaches the Target");
    row("menu:11", "&About Kelvora...");
    // The About box; its version text is the box's own in every language.
    row("about:title", "About Kelvora");
    row("about:version", "Kelvora Version 1.0");
    row("about:IDOK", "OK");
    row("evolution:title", "Kelvora — Evolution");
    row("evolution:menus", "&File|&View");
    // Validation, the first bad field's range.
    row("validation:1000:0", "Enter a whole number from 1 to 10000.");
    row("validation:1001:10001", "Enter a whole number from 1 to 10000.");
    row("validation:1002:2", "Enter a number from 0.001 to 1.");
    row("validation:1003:-0.5", "Enter a number from 0 to 1.");
    row("busy", "Another run is writing the result file \"<dir>/results.csv\". Nothing was computed.");
    // The error field's tooltip after a run.
    row("gap:0.25:0.75", "This field: the last generation's best, 0.75 px from the target\n"
                         "Optimum (58, 6, 37): 0.2500 px from the target\n"
                         "Best so far: 0.2500 px from the target, reached the optimum");
    row("gap:3.5:3.5", "This field: the last generation's best, 3.5 px from the target\n"
                       "Optimum (58, 6, 37): 0.2500 px from the target\n"
                       "Best so far: 3.5000 px from the target, 3.2500 px more than the optimum");
}

void TestEnglish::englishTexts() {
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(ShownText(key), expected);
}

void TestEnglish::resultsFaultsReadAsTheCliWritesThem() {
    // Every fault the reader can report has the window's own words, and in English they are the
    // words kelvora-cli inspect prints.
    for (int k = 1; k < kelvora::kResultsFaultKinds; ++k) {
        const auto kind = static_cast<kelvora::ResultsFaultKind>(k);
        QCOMPARE(ResultsFaultWords(kind), QString::fromUtf8(kelvora::ResultsFaultEnglish(kind)));
    }
    // The file's own bytes in an argument stay as they are, "%2" included.
    kelvora::ResultsFault fault;
    fault.kind = kelvora::ResultsFaultKind::summaryIndexMalformed;
    fault.arguments = {"'%2'", "19"};
    QCOMPARE(ResultsFaultText(fault), QStringLiteral("summary best index is '%2', expected a whole number 0..19"));
}

void TestEnglish::textsFitTheirControls_data() {
    // Every text control of the main dialog and the About box, as built in English.
    UseEnglish();
    QTest::addColumn<QString>("text");
    QTest::addColumn<QFont>("font");
    QTest::addColumn<int>("width");  // the width the text is drawn in
    Fixture f;
    CAboutDlg about;
    for (const QWidget* window : {static_cast<QWidget*>(f.dlg.get()), static_cast<QWidget*>(&about)}) {
        for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (const auto* label = qobject_cast<QLabel*>(control)) {
                if (label->text().isEmpty()) continue;  // the About box's icon
                QTest::newRow(qPrintable(label->text())) << label->text() << label->font() << label->contentsRect().width();
            } else if (auto* button = qobject_cast<QPushButton*>(control)) {
                QStyleOptionButton option;
                option.initFrom(button);
                option.features = QStyleOptionButton::DefaultButton;
                const int width = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
                QTest::newRow(qPrintable(button->text())) << button->text() << button->font() << width;
            }
        }
    }
}

void TestEnglish::textsFitTheirControls() {
    QFETCH(QString, text);
    QFETCH(QFont, font);
    QFETCH(int, width);
    // The dialog's Japanese face: English texts are measured in the font they are drawn in.
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("IPAPGothic"));
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    QVERIFY2(advance <= width, qPrintable(QStringLiteral("\"%1\" is %2 px wide in %3 px").arg(text).arg(advance).arg(width)));
}

// The English table's columns are wider than a dock beside the dialog on a 1280-wide screen: the table
// scrolls sideways on its own, every row still in view, and the view keeps the dock's width.
void TestEnglish::landscapeFitsADockBesideTheDialog() {
    LandscapeWindow window(kelvora::Geometry{}, kelvora::Algorithm{});
    QSignalSpy computed(&window, &LandscapeWindow::computed);
    QVERIFY(computed.wait(120000));
    auto* table = window.findChild<QTableWidget*>();
    QVERIFY(table && table->rowCount() > 0);
    const QSize dock(600, 600);
    QVERIFY2(table->horizontalHeader()->length() > dock.width(), "the columns fit: the case is not reached");
    window.resize(dock);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.size(), dock);
    QTRY_VERIFY(table->horizontalScrollBar()->isVisible());
    int rows = 0;
    for (int r = 0; r < table->rowCount(); ++r) rows += table->rowHeight(r);
    QCOMPARE(table->viewport()->height(), rows);
    QCOMPARE(table->verticalScrollBar()->maximum(), 0);
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
