// The main dialog: opening state, layout, data exchange and validation, Compute, painting.
// Every message box is recorded instead of shown, and each test states which boxes it expects.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "mainwindow/fieldtext.h"
#include "common/messagebox.h"
#include "mainwindow/plotpainter.h"
#include "common/resourceloader.h"
#include "app/solverapp.h"
#include "mainwindow/solverdlg.h"
#include "session/numbers.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

namespace {

using uitest::CrLfLines;
using uitest::Fixture;
using uitest::Messages;
using uitest::ReadAll;
using uitest::RecordMessage;
using uitest::TemporaryCurrentDirectory;

QStringList MessageTexts() {
    QStringList texts;
    for (const uitest::Message& m : Messages()) texts << m.text;
    return texts;
}

int OpenDescriptors() { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size(); }

QString IntRange(int lo, int hi) { return QStringLiteral("%1 から %2 までの整数を入力してください。").arg(lo).arg(hi); }
QString NumberRange(const char* lo, const char* hi) {
    return QStringLiteral("%1 から %2 までの数値を入力してください。").arg(QLatin1String(lo), QLatin1String(hi));
}

}  // namespace

class TestSolverDlg : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void openingTexts_data();
    void openingTexts();
    void openingState();
    void templateFont();
    void controlGeometry_data();
    void controlGeometry();
    void staticTexts();
    void nothingOverlapsThePlot();
    void tabOrder();

    void validation_data();
    void validation();
    void sameVerdictAsTheCommandLine_data();
    void sameVerdictAsTheCommandLine();
    void firstFailureOnly_data();
    void firstFailureOnly();
    void rejectedComputeTouchesNoFile();
    void enterInFieldPressesCompute();

    void computeWithDefaults();
    void plotFollowsTheRun();
    void resultFileFailureIsReported_data();
    void resultFileFailureIsReported();
    void runJsonFailureIsReported_data();
    void runJsonFailureIsReported();
    void anotherRunWritingHereRefusesCompute();
    void warningNamesTheDeletedDirectorysPath();

    void escapeAndCloseEndTheDialog();
    void repaintsDoNotAccumulate();
};

void TestSolverDlg::initTestCase() {
    SetMessageBoxFunction(RecordMessage);
    CSolverApp::InstallFontSubstitutions();
}

void TestSolverDlg::init() { Messages().clear(); }

void TestSolverDlg::openingTexts_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("1000 population size") << IDC_POPULATION_SIZE << "20";
    QTest::newRow("1001 generation limit") << IDC_GENERATION_LIMIT << "100";
    QTest::newRow("1002 crossover rate") << IDC_CROSSOVER_RATE << "0.5";
    QTest::newRow("1003 mutation probability") << IDC_MUTATION_PROBABILITY << "0.1";
    QTest::newRow("1004 generation") << IDC_GENERATION << "0";
    QTest::newRow("1005 error") << IDC_ERROR << "0";
    QTest::newRow("1006 target x") << IDC_TARGET_X << "68";
    QTest::newRow("1007 target y") << IDC_TARGET_Y << "180";
    QTest::newRow("1008 pointer x") << IDC_POINTER_X << "";
    QTest::newRow("1009 pointer y") << IDC_POINTER_Y << "";
}

void TestSolverDlg::openingTexts() {
    QFETCH(int, id);
    QFETCH(QString, text);
    Fixture f;
    QCOMPARE(f.text(id), text);
    QVERIFY(Messages().isEmpty());
}

void TestSolverDlg::openingState() {
    Fixture f;
    const kelvora::ui::SolverState& s = *f.state;
    QCOMPARE(s.baseX, 300);
    QCOMPARE(s.baseY, 220);
    QCOMPARE(s.targetX, 368);
    QCOMPARE(s.targetY, 40);
    QCOMPARE(s.currentPose, (kelvora::ArmPose{45, 30, 15}));
    QCOMPARE(s.elitePose, (kelvora::ArmPose{45, 30, 15}));
    QCOMPARE(f.dlg->windowTitle(), QStringLiteral("Kelvora"));
    const Qt::WindowFlags flags = f.dlg->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    // The client area, 614 x 723, under the menu bar.
    QCOMPARE(f.dlg->size(), QSize(614, 723 + SolverDlgTestAccess::clientOrigin(*f.dlg).y()));
    QCOMPARE(f.dlg->menuBar()->geometry(), QRect(QPoint(0, 0), QSize(614, SolverDlgTestAccess::clientOrigin(*f.dlg).y())));
    QVERIFY(f.compute()->isDefault());
    QCOMPARE(f.dlg->focusWidget(), f.compute());
    const QList<QSize> sizes = f.dlg->windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(16, 16)));
    QCOMPARE(f.dlg->windowIcon().availableSizes(), sizes);
    // Opening again does not reset the state.
    f.state->targetX = 111;
    f.dlg->hide();
    f.dlg->show();
    QCOMPARE(f.state->targetX, 111);
}

void TestSolverDlg::templateFont() {
    Fixture f;
    // The dialog's face is really IPAPGothic 9 pt, not a fallback chosen by fontconfig.
    QCOMPARE(QFontInfo(f.dlg->font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(f.dlg->font().pointSize(), 9);
    QCOMPARE(QFontInfo(f.edit(IDC_POPULATION_SIZE)->font()).family(), QStringLiteral("IPAPGothic"));
    // The template's face name and its Latin spelling lead to the same font.
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9)).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(QFont(QStringLiteral("MS PGothic"), 9)).family(), QStringLiteral("IPAPGothic"));
}

void TestSolverDlg::controlGeometry_data() {
    // Dialog units times 7/4 across and 13/8 down, halves rounded away from zero.
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("alignment");
    const int centred = Qt::AlignCenter;
    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    QTest::newRow("IDOK") << IDOK << QStringLiteral("compute") << QRect(257, 660, 88, 23) << true << 0;
    QTest::newRow("1000") << IDC_POPULATION_SIZE << QStringLiteral("populationSize") << QRect(187, 582, 70, 23) << true << centred;
    QTest::newRow("1001") << IDC_GENERATION_LIMIT << QStringLiteral("generationLimit") << QRect(410, 580, 70, 23) << true << centred;
    QTest::newRow("1002") << IDC_CROSSOVER_RATE << QStringLiteral("crossoverRate") << QRect(187, 619, 70, 23) << true << centred;
    QTest::newRow("1003") << IDC_MUTATION_PROBABILITY << QStringLiteral("mutationProbability") << QRect(410, 621, 70, 23) << true << centred;
    QTest::newRow("1004") << IDC_GENERATION << QStringLiteral("generation") << QRect(186, 517, 70, 23) << false << centred;
    QTest::newRow("1005") << IDC_ERROR << QStringLiteral("error") << QRect(410, 517, 70, 23) << false << centred;
    QTest::newRow("1006") << IDC_TARGET_X << QStringLiteral("targetX") << QRect(186, 489, 70, 23) << false << centred;
    QTest::newRow("1007") << IDC_TARGET_Y << QStringLiteral("targetY") << QRect(410, 488, 70, 23) << false << centred;
    QTest::newRow("1008") << IDC_POINTER_X << QStringLiteral("pointerX") << QRect(522, 141, 70, 23) << false << left;
    QTest::newRow("1009") << IDC_POINTER_Y << QStringLiteral("pointerY") << QRect(522, 180, 70, 23) << false << left;
}

void TestSolverDlg::controlGeometry() {
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    QFETCH(bool, enabled);
    QFETCH(int, alignment);
    Fixture f;
    QWidget* control = f.dlg->Control(id);
    QVERIFY(control);
    QCOMPARE(control->geometry(), pixels.translated(SolverDlgTestAccess::clientOrigin(*f.dlg)));
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->objectName(), name);
    if (alignment) QCOMPARE(int(f.edit(id)->alignment()), alignment);
    else QCOMPARE(qobject_cast<QPushButton*>(control)->text(), QStringLiteral("計算"));
}

void TestSolverDlg::staticTexts() {
    Fixture f;
    QMap<QString, QRect> labels;
    for (QLabel* label : f.dlg->findChildren<QLabel*>())
        if (!label->isHidden()) labels.insert(label->text(), label->geometry().translated(-SolverDlgTestAccess::clientOrigin(*f.dlg)));  // the operators' line: classic, hidden
    const QMap<QString, QRect> expected{
        {QStringLiteral("集団サイズ(<10000)"), QRect(67, 583, 110, 13)},
        {QStringLiteral("世代数の上限(<10000)"), QRect(282, 583, 124, 13)},
        {QStringLiteral("突然変異の確率"), QRect(317, 624, 86, 13)},
        {QStringLiteral("交差率"), QRect(135, 622, 39, 13)},
        {QStringLiteral("エリート解の誤差"), QRect(313, 522, 89, 13)},
        {QStringLiteral("世代"), QRect(263, 520, 26, 13)},
        {QStringLiteral("第"), QRect(165, 520, 14, 13)},
        {QStringLiteral("目標点y座標"), QRect(331, 489, 68, 13)},
        {QStringLiteral("目標点x座標"), QRect(112, 492, 68, 13)},
    };
    QCOMPARE(labels, expected);
}

void TestSolverDlg::nothingOverlapsThePlot() {
    Fixture f;
    QList<QWidget*> controls = f.dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    // The window's menu is no control, nor the menu bar over the client area.
    controls.removeIf([&](const QWidget* w) { return w->isWindow() || w == f.dlg->menuBar(); });
    QCOMPARE(controls.size(), 21);  // the template's 20 and the operators' line under 計算
    for (QWidget* control : controls)
        QVERIFY2(!control->geometry().intersects(CSolverDlg::kPlotRect.translated(SolverDlgTestAccess::clientOrigin(*f.dlg))),
                 qPrintable(control->objectName()));
}

void TestSolverDlg::tabOrder() {
    Fixture f;
    QList<QWidget*> stops;
    QWidget* w = f.compute();
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w != f.dlg.get()) stops << w;
        w = w->nextInFocusChain();
    } while (w != f.compute());
    const QList<QWidget*> expected{f.compute(), f.edit(IDC_POPULATION_SIZE), f.edit(IDC_GENERATION_LIMIT),
                                   f.edit(IDC_CROSSOVER_RATE), f.edit(IDC_MUTATION_PROBABILITY)};
    QCOMPARE(stops, expected);
}

void TestSolverDlg::validation_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");   // empty: accepted
    QTest::addColumn<QString>("readBack");  // the field's text after the value is written back

    const QString population = IntRange(1, 10000);
    QTest::newRow("population 10000") << IDC_POPULATION_SIZE << "10000" << "" << "10000";
    QTest::newRow("population 1") << IDC_POPULATION_SIZE << "1" << "" << "1";
    QTest::newRow("population with spaces") << IDC_POPULATION_SIZE << "  30 " << "" << "30";
    QTest::newRow("population +20") << IDC_POPULATION_SIZE << "+20" << "" << "20";
    QTest::newRow("population 10001") << IDC_POPULATION_SIZE << "10001" << population << "";
    QTest::newRow("population 0") << IDC_POPULATION_SIZE << "0" << population << "";
    QTest::newRow("population -5") << IDC_POPULATION_SIZE << "-5" << population << "";
    QTest::newRow("population abc") << IDC_POPULATION_SIZE << "abc" << population << "";
    QTest::newRow("population 12abc") << IDC_POPULATION_SIZE << "12abc" << population << "";
    QTest::newRow("population empty") << IDC_POPULATION_SIZE << "" << population << "";
    QTest::newRow("population 20.5") << IDC_POPULATION_SIZE << "20.5" << population << "";
    QTest::newRow("population beyond int") << IDC_POPULATION_SIZE << "99999999999" << population << "";

    const QString generations = IntRange(1, 10000);
    QTest::newRow("generations 10000") << IDC_GENERATION_LIMIT << "10000" << "" << "10000";
    QTest::newRow("generations 10001") << IDC_GENERATION_LIMIT << "10001" << generations << "";
    QTest::newRow("generations 0") << IDC_GENERATION_LIMIT << "0" << generations << "";
    QTest::newRow("generations nan") << IDC_GENERATION_LIMIT << "nan" << generations << "";

    const QString mutation = NumberRange("0", "1");
    QTest::newRow("mutation 0") << IDC_MUTATION_PROBABILITY << "0" << "" << "0";
    QTest::newRow("mutation 1") << IDC_MUTATION_PROBABILITY << "1" << "" << "1";
    QTest::newRow("mutation 1e-2") << IDC_MUTATION_PROBABILITY << "1e-2" << "" << "0.01";
    QTest::newRow("mutation -0.1") << IDC_MUTATION_PROBABILITY << "-0.1" << mutation << "";
    QTest::newRow("mutation 1.5") << IDC_MUTATION_PROBABILITY << "1.5" << mutation << "";
    QTest::newRow("mutation abc") << IDC_MUTATION_PROBABILITY << "abc" << mutation << "";
    QTest::newRow("mutation nan") << IDC_MUTATION_PROBABILITY << "nan" << mutation << "";
    QTest::newRow("mutation inf") << IDC_MUTATION_PROBABILITY << "inf" << mutation << "";

    const QString crossover = NumberRange("0.001", "1");
    QTest::newRow("crossover 0.001") << IDC_CROSSOVER_RATE << "0.001" << "" << "0.001";
    QTest::newRow("crossover 1") << IDC_CROSSOVER_RATE << "1" << "" << "1";
    QTest::newRow("crossover .75 with spaces") << IDC_CROSSOVER_RATE << " .75 " << "" << "0.75";
    QTest::newRow("crossover 0") << IDC_CROSSOVER_RATE << "0" << crossover << "";
    QTest::newRow("crossover 0.0009") << IDC_CROSSOVER_RATE << "0.0009" << crossover << "";
    QTest::newRow("crossover 1e999") << IDC_CROSSOVER_RATE << "1e999" << crossover << "";
    QTest::newRow("crossover 12abc") << IDC_CROSSOVER_RATE << "12abc" << crossover << "";
    QTest::newRow("crossover decimal comma") << IDC_CROSSOVER_RATE << "0,5" << crossover << "";
    QTest::newRow("crossover empty") << IDC_CROSSOVER_RATE << "" << crossover << "";
}

void TestSolverDlg::validation() {
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, readBack);
    Fixture f;
    f.setText(id, text);
    const bool accepted = f.dlg->ReadParams();
    QCOMPARE(accepted, message.isEmpty());
    if (accepted) {
        QVERIFY(Messages().isEmpty());
        f.dlg->ShowParams();
        QCOMPARE(f.text(id), readBack);
        QCOMPARE(f.dlg->focusWidget(), f.compute());
        return;
    }
    QCOMPARE(MessageTexts(), QStringList{message});
    QCOMPARE(Messages().first().icon, QMessageBox::Warning);
    // The focus is in the rejected field, its whole text selected.
    QCOMPARE(f.dlg->focusWidget(), f.edit(id));
    QCOMPARE(f.edit(id)->selectedText(), text);
    QCOMPARE(f.text(id), text);
}

void TestSolverDlg::sameVerdictAsTheCommandLine_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("population 0020") << IDC_POPULATION_SIZE << "0020";
    QTest::newRow("population 1e3") << IDC_POPULATION_SIZE << "1e3";
    QTest::newRow("population tab 7") << IDC_POPULATION_SIZE << "\t7";
    QTest::newRow("generations +-5") << IDC_GENERATION_LIMIT << "+-5";
    QTest::newRow("crossover 5E-1") << IDC_CROSSOVER_RATE << "5E-1";
    QTest::newRow("crossover 1.0000000000000002") << IDC_CROSSOVER_RATE << "1.0000000000000002";
    QTest::newRow("mutation 1.") << IDC_MUTATION_PROBABILITY << "1.";
    QTest::newRow("mutation -infinity") << IDC_MUTATION_PROBABILITY << "-infinity";
}

void TestSolverDlg::sameVerdictAsTheCommandLine() {
    // A field's text, blanks around it dropped, is what the flag of the same name would be given.
    QFETCH(int, id);
    QFETCH(QString, text);
    namespace session = kelvora::session;
    const session::NumberField& field = id == IDC_POPULATION_SIZE   ? session::kPopulationField
                                        : id == IDC_GENERATION_LIMIT ? session::kGenerationsField
                                        : id == IDC_CROSSOVER_RATE   ? session::kCrossoverField
                                                                     : session::kMutationField;
    const std::optional<double> number = session::ParseNumberField(field, text.trimmed().toStdString());
    Fixture f;
    f.setText(id, text);
    QCOMPARE(f.dlg->ReadParams(), number.has_value());
    QCOMPARE(Messages().size(), number ? 0 : 1);
    if (!number) return;
    f.dlg->ShowParams();
    QCOMPARE(f.text(id), field.integer ? FormatIntText(static_cast<int>(*number)) : FormatDoubleText(*number));
}

void TestSolverDlg::firstFailureOnly_data() {
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("reported");
    QTest::addColumn<QString>("message");
    QTest::newRow("population and crossover") << QList<int>{IDC_POPULATION_SIZE, IDC_CROSSOVER_RATE}
                                              << QStringList{"0", "0"} << IDC_POPULATION_SIZE << IntRange(1, 10000);
    // The mutation probability is read before the crossover rate.
    QTest::newRow("mutation and crossover") << QList<int>{IDC_CROSSOVER_RATE, IDC_MUTATION_PROBABILITY}
                                            << QStringList{"0", "1.5"} << IDC_MUTATION_PROBABILITY
                                            << NumberRange("0", "1");
    QTest::newRow("generations and mutation") << QList<int>{IDC_MUTATION_PROBABILITY, IDC_GENERATION_LIMIT}
                                              << QStringList{"abc", "0"} << IDC_GENERATION_LIMIT
                                              << IntRange(1, 10000);
    QTest::newRow("all four bad") << QList<int>{IDC_CROSSOVER_RATE, IDC_MUTATION_PROBABILITY, IDC_GENERATION_LIMIT,
                                                IDC_POPULATION_SIZE}
                                  << QStringList{"x", "x", "x", "x"} << IDC_POPULATION_SIZE << IntRange(1, 10000);
}

void TestSolverDlg::firstFailureOnly() {
    QFETCH(QList<int>, ids);
    QFETCH(QStringList, texts);
    QFETCH(int, reported);
    QFETCH(QString, message);
    Fixture f;
    for (int i = 0; i < ids.size(); ++i) f.setText(ids[i], texts[i]);
    QVERIFY(!f.dlg->ReadParams());
    QCOMPARE(MessageTexts(), QStringList{message});
    QCOMPARE(f.dlg->focusWidget(), f.edit(reported));
    QCOMPARE(f.edit(reported)->selectedText(), f.text(reported));
}

void TestSolverDlg::rejectedComputeTouchesNoFile() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    {
        QFile results(QStringLiteral("results.csv"));
        QVERIFY(results.open(QIODevice::WriteOnly));
        results.write("left from before\r\n");
    }
    Fixture f;
    f.setText(IDC_CROSSOVER_RATE, QStringLiteral("0.0009"));
    QVERIFY(f.run());
    QCOMPARE(MessageTexts(), QStringList{NumberRange("0.001", "1")});
    QCOMPARE(ReadAll(QStringLiteral("results.csv")), QByteArray("left from before\r\n"));
    QVERIFY(!QFile::exists(QStringLiteral("fitness.csv")));
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("0"));
    QCOMPARE(f.state->currentPose, (kelvora::ArmPose{45, 30, 15}));
    QVERIFY(f.dlg->isVisible());
}

void TestSolverDlg::enterInFieldPressesCompute() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    // A bad field: Enter in another field runs Compute, which rejects it.
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("abc"));
    f.edit(IDC_CROSSOVER_RATE)->setFocus();
    QTest::keyClick(f.edit(IDC_CROSSOVER_RATE), Qt::Key_Return);
    QCOMPARE(MessageTexts(), QStringList{IntRange(1, 10000)});
    QCOMPARE(f.dlg->focusWidget(), f.edit(IDC_POPULATION_SIZE));
    QVERIFY(!QFile::exists(QStringLiteral("results.csv")));
    // Good fields: Enter runs a search, and the dialog stays open.
    Messages().clear();
    f.setText(IDC_POPULATION_SIZE, QStringLiteral("5"));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("1"));
    f.edit(IDC_MUTATION_PROBABILITY)->setFocus();
    QTest::keyClick(f.edit(IDC_MUTATION_PROBABILITY), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(f.dlg->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!f.dlg->isRunning(), 60000);
    QVERIFY(Messages().isEmpty());
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("1"));
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 6);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 1);
    QVERIFY(f.dlg->isVisible());
}

void TestSolverDlg::computeWithDefaults() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.run());
    QVERIFY(Messages().isEmpty());
    QVERIFY(f.dlg->isVisible());
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("100"));
    // 100 generations of 20: 20 individual lines and a summary line each; one fitness line each.
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 100 * 21);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 100);
    QCOMPARE(f.state->generation, 100);
    // 1005 shows the error of the last generation's best, not of the run's best.
    const double lastError = kelvora::ui::TipDistance(*f.state, f.state->currentPose);
    QCOMPARE(f.text(IDC_ERROR), FormatDoubleText(lastError));
    QCOMPARE(f.edit(IDC_ERROR)->cursorPosition(), 0);  // a long error shows its leading digits
    const QList<QByteArray> lastRow = ReadAll(QStringLiteral("fitness.csv")).trimmed().split('\n').last().trimmed().split(',');
    QCOMPARE(lastRow.size(), 2);
    const double best = lastRow[0].toDouble();
    QVERIFY2(std::abs((1.0 / best - 1.0) - lastError) <= 1e-3 * (1.0 + lastError),
             qPrintable(QStringLiteral("%1 vs %2").arg(1.0 / best - 1.0).arg(lastError)));
    // The other fields show what was read.
    QCOMPARE(f.text(IDC_POPULATION_SIZE), QStringLiteral("20"));
    QCOMPARE(f.text(IDC_GENERATION_LIMIT), QStringLiteral("100"));
    QCOMPARE(f.text(IDC_CROSSOVER_RATE), QStringLiteral("0.5"));
    QCOMPARE(f.text(IDC_MUTATION_PROBABILITY), QStringLiteral("0.1"));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("68"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("180"));
    // A second Compute reads the fields written by the first and runs again.
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("3"));
    QVERIFY(f.run());
    QVERIFY(Messages().isEmpty());
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("3"));
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 3 * 21);
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 3);
}

void TestSolverDlg::plotFollowsTheRun() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5"));
    QVERIFY(f.run());
    QVERIFY(Messages().isEmpty());
    // The dialog paints exactly what the painter paints from the state after the run, the arms'
    // round caps just outside the frame included.
    const QRect plotArea = CSolverDlg::kPlotRect.adjusted(-2, -2, 2, 2);
    QCOMPARE(uitest::ShownPlot(*f.dlg, plotArea), uitest::ExpectedPlot(*f.dlg, *f.state, plotArea));
}

void TestSolverDlg::resultFileFailureIsReported_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("reason");
    QTest::newRow("results.csv cannot be opened") << "directory" << QString::fromLocal8Bit(std::strerror(EISDIR));
    QTest::newRow("results.csv cannot be written") << "full device" << QString::fromLocal8Bit(std::strerror(ENOSPC));
    QTest::newRow("results.csv is a FIFO") << "fifo" << QStringLiteral("名前付きパイプ");
    QTest::newRow("results.csv deleted during the run") << "deleted" << QStringLiteral("計算中に削除されました");
}

void TestSolverDlg::resultFileFailureIsReported() {
    QFETCH(QString, setup);
    QFETCH(QString, reason);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    if (setup == QLatin1String("directory")) {
        QVERIFY(QDir().mkdir(QStringLiteral("results.csv")));
    } else if (setup == QLatin1String("full device")) {
        if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), QStringLiteral("results.csv")));
    } else if (setup == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo("results.csv", 0644), 0);  // opening it must not block the window
    }
    Fixture f;
    if (setup == QLatin1String("deleted")) {
        f.dlg->onProgress = [](uitest::ProbeDlg&, int generation) {
            if (generation == 2) QFile::remove(QStringLiteral("results.csv"));
        };
    }
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("4"));
    QVERIFY(f.run());
    // The run itself went through: all generations, fitness.csv complete.
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("4"));
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 4);
    // One warning, after the run, naming the file and the reason.
    QCOMPARE(Messages().size(), 1);
    QCOMPARE(Messages().first().icon, QMessageBox::Warning);
    const QString text = Messages().first().text;
    QVERIFY2(text.contains(QDir::current().absoluteFilePath(QStringLiteral("results.csv"))), qPrintable(text));
    QVERIFY2(text.contains(reason), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("fitness.csv")), qPrintable(text));
}

void TestSolverDlg::runJsonFailureIsReported_data() {
    QTest::addColumn<QString>("directory");  // made where run.json or its temporary file goes
    QTest::newRow("run.json is a directory") << "run.json";
    QTest::newRow("run.json.part is a directory") << "run.json.part";
}

// The CSV files are whole, but run.json cannot be written: the same warning says so, once.
void TestSolverDlg::runJsonFailureIsReported() {
    QFETCH(QString, directory);
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    QVERIFY(QDir().mkdir(directory));
    Fixture f;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("4"));
    QVERIFY(f.run());
    QCOMPARE(CrLfLines(QStringLiteral("fitness.csv")), 4);
    QCOMPARE(Messages().size(), 1);
    QCOMPARE(Messages().first().icon, QMessageBox::Warning);
    const QString text = Messages().first().text;
    QVERIFY2(text.contains(QStringLiteral("run.json")), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(EISDIR))), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("fitness.csv")), qPrintable(text));
    QVERIFY(QFileInfo(directory).isDir());
}

void TestSolverDlg::anotherRunWritingHereRefusesCompute() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    const QByteArray soFar("0,1,2,0.5\r\n");  // what the other run has written so far
    {
        QFile file(QStringLiteral("results.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(soFar);
    }
    const int other = ::open("results.csv", O_WRONLY | O_CLOEXEC);
    QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);  // as the other run (a window, kelvora-cli) holds it

    Fixture f;
    QVERIFY(f.run());
    QCOMPARE(Messages().size(), 1);
    QCOMPARE(Messages().first().icon, QMessageBox::Warning);
    const QString text = Messages().first().text;
    QVERIFY2(text.contains(QDir::current().absoluteFilePath(QStringLiteral("results.csv"))), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("別の計算が書き込み中")), qPrintable(text));
    // Nothing started and nothing was touched.
    QVERIFY(f.dlg->generations.isEmpty());
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("0"));
    QCOMPARE(ReadAll(QStringLiteral("results.csv")), soFar);
    QVERIFY(!QFile::exists(QStringLiteral("fitness.csv")));

    ::close(other);  // the other run has ended
    Messages().clear();
    QVERIFY(f.run());
    QVERIFY(Messages().isEmpty());
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("100"));
    QCOMPARE(CrLfLines(QStringLiteral("results.csv")), 100 * 21);
}

void TestSolverDlg::warningNamesTheDeletedDirectorysPath() {
    TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    const QString directory = QDir::currentPath();
    QVERIFY(QDir().rmdir(directory));  // the current directory is gone
    Fixture f;
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("2"));
    QVERIFY(f.run());
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("2"));
    QCOMPARE(Messages().size(), 1);
    const QString text = Messages().first().text;
    QVERIFY2(text.contains(QLatin1Char('"') + directory + QStringLiteral("/results.csv\"")), qPrintable(text));
    QVERIFY2(text.contains(QLatin1Char('"') + directory + QStringLiteral("/fitness.csv\"")), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(ENOENT))), qPrintable(text));
}

void TestSolverDlg::escapeAndCloseEndTheDialog() {
    {
        Fixture f;
        QTest::keyClick(f.edit(IDC_POPULATION_SIZE), Qt::Key_Escape);
        QVERIFY(!f.dlg->isVisible());
        QCOMPARE(f.dlg->result(), int(QDialog::Rejected));
    }
    {
        Fixture f;
        QVERIFY(f.dlg->close());
        QVERIFY(!f.dlg->isVisible());
        QCOMPARE(f.dlg->result(), int(QDialog::Rejected));
    }
    QVERIFY(Messages().isEmpty());
}

void TestSolverDlg::repaintsDoNotAccumulate() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(f.dlg.get()));
    const QImage before = f.dlg->grab().toImage();
    const int children = f.dlg->findChildren<QObject*>().size();
    const int descriptors = OpenDescriptors();
    for (int i = 0; i < 3000; ++i) f.dlg->repaint();
    QCOMPARE(f.dlg->findChildren<QObject*>().size(), children);
    QCOMPARE(OpenDescriptors(), descriptors);
    QCOMPARE(f.dlg->grab().toImage(), before);
}

QTEST_MAIN(TestSolverDlg)
#include "tst_solverdlg.moc"
