// Pointer interaction with the plot: the strict inside test, the pointer readouts 1008 and 1009,
// the pick cursor and the arrow, and picking the target with a left press.

#include <cstring>
#include <memory>

#include <QBitmap>
#include <QPainter>
#include <QtTest>

#include "mainwindow/fieldtext.h"
#include "mainwindow/plotpainter.h"
#include "common/resourceloader.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

using uitest::Fixture;
using uitest::MovePointer;

namespace {

// Pixel (x, y) of a cursor: 'k' black, 'w' white, '.' clear.
char CursorPixel(const QCursor& cursor, int x, int y) {
    const QImage image = cursor.bitmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage mask = cursor.mask().toImage().convertToFormat(QImage::Format_RGB32);
    if (mask.pixel(x, y) != qRgb(0, 0, 0)) return '.';  // mask bit 0 (white in the image)
    return image.pixel(x, y) == qRgb(0, 0, 0) ? 'k' : 'w';
}

QImage Bits(const QBitmap& bitmap) { return bitmap.toImage().convertToFormat(QImage::Format_Mono); }

}  // namespace

class TestPointer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void insideTest_data();
    void insideTest();
    void movesInside_data();
    void movesInside();
    void movesOutsideKeepTheReadouts_data();
    void movesOutsideKeepTheReadouts();
    void cursorIsSetOnEveryMove();
    void pickCursorPicture();

    void leftPress_data();
    void leftPress();
    void fractionalPositionsTruncate_data();
    void fractionalPositionsTruncate();
    void pickedTargetIsPaintedAndUsedByCompute();
    void clickAfterARunKeepsThePosesAndTheHistory();
};

void TestPointer::initTestCase() { SetMessageBoxFunction(uitest::RecordMessage); }

void TestPointer::init() { uitest::Messages().clear(); }

void TestPointer::insideTest_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("inside");
    QTest::newRow("centre") << QPoint(300, 220) << true;
    QTest::newRow("first inside pixel") << QPoint(101, 21) << true;
    QTest::newRow("last inside pixel") << QPoint(499, 419) << true;
    QTest::newRow("frame left column") << QPoint(100, 200) << false;
    QTest::newRow("frame top row") << QPoint(200, 20) << false;
    QTest::newRow("x = right") << QPoint(500, 200) << false;
    QTest::newRow("y = bottom") << QPoint(200, 420) << false;
    QTest::newRow("corner on the frame") << QPoint(100, 20) << false;
    QTest::newRow("far away") << QPoint(-5, 700) << false;
}

void TestPointer::insideTest() {
    QFETCH(QPoint, point);
    QFETCH(bool, inside);
    Fixture f;
    QCOMPARE(f.dlg->isInsidePlot(point), inside);
}

void TestPointer::movesInside_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::newRow("centre") << QPoint(300, 220) << "0" << "0";
    QTest::newRow("top left") << QPoint(101, 21) << "-199" << "199";
    QTest::newRow("bottom right") << QPoint(499, 419) << "199" << "-199";
    QTest::newRow("one right of the centre, one below") << QPoint(301, 221) << "1" << "-1";
}

void TestPointer::movesInside() {
    QFETCH(QPoint, point);
    QFETCH(QString, x);
    QFETCH(QString, y);
    Fixture f;
    QVERIFY(f.exposed());
    MovePointer(f.dlg.get(), point);
    QCOMPARE(f.text(IDC_POINTER_X), x);
    QCOMPARE(f.text(IDC_POINTER_Y), y);
    QCOMPARE(f.dlg->pointerInPlot(), 1);
    QCOMPARE(f.dlg->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(f.dlg->cursor().hotSpot(), QPoint(1, 1));
    QCOMPARE(f.dlg->PlotCursor().shape(), Qt::BitmapCursor);
    // A move only reads out: the target and its fields stay.
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("68"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("180"));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(368, 40));
}

void TestPointer::movesOutsideKeepTheReadouts_data() {
    QTest::addColumn<QPoint>("point");
    QTest::newRow("frame left column") << QPoint(100, 200);
    QTest::newRow("x = 500") << QPoint(500, 200);
    QTest::newRow("frame top row") << QPoint(300, 20);
    QTest::newRow("y = 420") << QPoint(300, 420);
    QTest::newRow("dialog corner") << QPoint(5, 5);
    QTest::newRow("below the plot") << QPoint(300, 470);
}

void TestPointer::movesOutsideKeepTheReadouts() {
    QFETCH(QPoint, point);
    Fixture f;
    QVERIFY(f.exposed());
    // Before any inside move the readouts are empty, and an outside move leaves them so.
    MovePointer(f.dlg.get(), point);
    QCOMPARE(f.text(IDC_POINTER_X), QString());
    QCOMPARE(f.dlg->pointerInPlot(), 0);
    MovePointer(f.dlg.get(), QPoint(150, 100));
    QCOMPARE(f.text(IDC_POINTER_X), QStringLiteral("-150"));
    QCOMPARE(f.text(IDC_POINTER_Y), QStringLiteral("120"));
    QCOMPARE(f.dlg->pointerInPlot(), 1);
    MovePointer(f.dlg.get(), point);
    QCOMPARE(f.dlg->pointerInPlot(), 0);
    QCOMPARE(f.dlg->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(f.dlg->PlotCursor().shape(), Qt::ArrowCursor);
    QCOMPARE(f.text(IDC_POINTER_X), QStringLiteral("-150"));
    QCOMPARE(f.text(IDC_POINTER_Y), QStringLiteral("120"));
}

void TestPointer::cursorIsSetOnEveryMove() {
    Fixture f;
    QVERIFY(f.exposed());
    // Whatever set the cursor in between, the next move sets the one the pointer's place calls for.
    MovePointer(f.dlg.get(), QPoint(200, 200));
    f.dlg->setCursor(Qt::CrossCursor);
    MovePointer(f.dlg.get(), QPoint(201, 200));
    QCOMPARE(f.dlg->cursor().shape(), Qt::BitmapCursor);
    MovePointer(f.dlg.get(), QPoint(50, 200));
    QCOMPARE(f.dlg->cursor().shape(), Qt::ArrowCursor);
    f.dlg->setCursor(Qt::CrossCursor);
    MovePointer(f.dlg.get(), QPoint(51, 200));
    QCOMPARE(f.dlg->cursor().shape(), Qt::ArrowCursor);
    // The cursor set inside is the program's pick cursor, the same picture every time.
    MovePointer(f.dlg.get(), QPoint(250, 250));
    const QCursor pick = LoadCursorResource(IDC_PICK_CURSOR);
    QCOMPARE(Bits(f.dlg->cursor().bitmap()), Bits(pick.bitmap()));
    QCOMPARE(Bits(f.dlg->cursor().mask()), Bits(pick.mask()));
    QCOMPARE(Bits(f.dlg->PlotCursor().bitmap()), Bits(pick.bitmap()));
}

void TestPointer::pickCursorPicture() {
    const QCursor cursor = LoadCursorResource(IDC_PICK_CURSOR);
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), QPoint(1, 1));
    QCOMPARE(cursor.bitmap().size(), QSize(32, 32));
    QCOMPARE(cursor.mask().size(), QSize(32, 32));
    // The arrow's tip is the hot spot: nothing is drawn above or left of it.
    QCOMPARE(CursorPixel(cursor, 1, 1), 'k');
    for (int i = 0; i < 32; ++i) {
        QCOMPARE(CursorPixel(cursor, i, 0), '.');
        QCOMPARE(CursorPixel(cursor, 0, i), '.');
    }
    // It points up and left: black edges running down and down-right from the tip, white between.
    QCOMPARE(CursorPixel(cursor, 1, 10), 'k');
    QCOMPARE(CursorPixel(cursor, 6, 6), 'k');
    QCOMPARE(CursorPixel(cursor, 2, 6), 'w');
    // The plus sign at the arrow's upper right: black bars, outlined in white, the arrow clear of it.
    for (int d = -3; d <= 3; ++d) {
        QCOMPARE(CursorPixel(cursor, 19 + d, 6), 'k');
        QCOMPARE(CursorPixel(cursor, 19, 6 + d), 'k');
    }
    QCOMPARE(CursorPixel(cursor, 19, 2), 'w');
    QCOMPARE(CursorPixel(cursor, 15, 6), 'w');
    QCOMPARE(CursorPixel(cursor, 18, 5), 'w');
    QCOMPARE(CursorPixel(cursor, 23, 6), 'w');
    QCOMPARE(CursorPixel(cursor, 14, 6), '.');
    QCOMPARE(CursorPixel(cursor, 31, 31), '.');
    // Another id is the standard arrow.
    QCOMPARE(LoadCursorResource(0).shape(), Qt::ArrowCursor);
}

void TestPointer::leftPress_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<QString>("x");  // 1006 and 1007 after the press
    QTest::addColumn<QString>("y");
    QTest::newRow("frame left column") << QPoint(100, 200) << int(Qt::LeftButton) << false << "68" << "180";
    QTest::newRow("first column inside") << QPoint(101, 200) << int(Qt::LeftButton) << true << "-199" << "20";
    QTest::newRow("frame top row") << QPoint(200, 20) << int(Qt::LeftButton) << false << "68" << "180";
    QTest::newRow("first row inside") << QPoint(200, 21) << int(Qt::LeftButton) << true << "-100" << "199";
    QTest::newRow("x = 500") << QPoint(500, 300) << int(Qt::LeftButton) << false << "68" << "180";
    QTest::newRow("y = 420") << QPoint(300, 420) << int(Qt::LeftButton) << false << "68" << "180";
    QTest::newRow("the base") << QPoint(300, 220) << int(Qt::LeftButton) << true << "0" << "0";
    // Beyond the reach circle, about 282 px from the base: accepted all the same.
    QTest::newRow("corner beyond reach") << QPoint(499, 21) << int(Qt::LeftButton) << true << "199" << "199";
    QTest::newRow("beyond reach lower left") << QPoint(110, 400) << int(Qt::LeftButton) << true << "-190" << "-180";
    QTest::newRow("right button inside") << QPoint(200, 200) << int(Qt::RightButton) << false << "68" << "180";
    QTest::newRow("outside the plot, below") << QPoint(300, 600) << int(Qt::LeftButton) << false << "68" << "180";
}

void TestPointer::leftPress() {
    QFETCH(QPoint, point);
    QFETCH(int, button);
    QFETCH(bool, moves);
    QFETCH(QString, x);
    QFETCH(QString, y);
    Fixture f;
    QVERIFY(f.exposed());
    QCoreApplication::processEvents();  // the opening paints are done
    const int paints = f.dlg->paints;
    const kelvora::ArmPose current = f.state->currentPose;
    const kelvora::ArmPose elite = f.state->elitePose;

    QTest::mousePress(f.dlg.get(), Qt::MouseButton(button), Qt::NoModifier, uitest::At(*f.dlg, point));
    // The press alone acts; the release is not needed.
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), moves ? point : QPoint(368, 40));
    QCOMPARE(f.text(IDC_TARGET_X), x);
    QCOMPARE(f.text(IDC_TARGET_Y), y);
    QTest::mouseRelease(f.dlg.get(), Qt::MouseButton(button), Qt::NoModifier, point);
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), moves ? point : QPoint(368, 40));
    // A click never changes the poses and never starts a run.
    QCOMPARE(f.state->currentPose, current);
    QCOMPARE(f.state->elitePose, elite);
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("0"));
    // A moved target has the plot repainted; an ignored click repaints nothing.
    QCoreApplication::processEvents();
    if (moves) QVERIFY(f.dlg->paints > paints);
    else QCOMPARE(f.dlg->paints, paints);
    QVERIFY(uitest::Messages().isEmpty());
}

void TestPointer::fractionalPositionsTruncate_data() {
    // At a scale factor of 1.5 device pixel d is at d / 1.5 in the window; pointers with sub-pixel
    // resolution give any fraction. The pixel is the position truncated toward zero.
    QTest::addColumn<QPointF>("position");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("inside");
    QTest::newRow("x 100.5: the frame") << QPointF(100.5, 200) << QPoint(100, 200) << false;
    QTest::newRow("x 499.5: last column inside") << QPointF(499.5, 200) << QPoint(499, 200) << true;
    QTest::newRow("y 20.5: the frame") << QPointF(300, 20.5) << QPoint(300, 20) << false;
    QTest::newRow("y 419.5: last row inside") << QPointF(300, 419.5) << QPoint(300, 419) << true;
    QTest::newRow("device (151, 331) at 1.5") << QPointF(151 / 1.5, 331 / 1.5) << QPoint(100, 220) << false;
    QTest::newRow("device (152, 32) at 1.5") << QPointF(152 / 1.5, 32 / 1.5) << QPoint(101, 21) << true;
    QTest::newRow("device (749, 629) at 1.5") << QPointF(749 / 1.5, 629 / 1.5) << QPoint(499, 419) << true;
    QTest::newRow("device (451, 331) at 1.5: the base") << QPointF(451 / 1.5, 331 / 1.5) << QPoint(300, 220) << true;
}

void TestPointer::fractionalPositionsTruncate() {
    QFETCH(QPointF, position);
    QFETCH(QPoint, pixel);
    QFETCH(bool, inside);
    Fixture f;
    QVERIFY(f.exposed());
    // ctest runs this at QT_SCALE_FACTOR=1.5 too: the window is then really scaled.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        QCOMPARE(f.dlg->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    // Events as the platform delivers them, with fractional positions.
    const auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button) {
        const QPointF inWindow = at + QPointF(uitest::At(*f.dlg, QPoint()));
        QMouseEvent event(type, inWindow, f.dlg->mapToGlobal(inWindow), button, button, Qt::NoModifier);
        QApplication::sendEvent(f.dlg.get(), &event);
    };
    send(QEvent::MouseMove, QPointF(150, 100), Qt::NoButton);  // readouts -150, 120
    send(QEvent::MouseMove, position, Qt::NoButton);
    QCOMPARE(f.dlg->pointerInPlot(), int(inside));
    // The readouts, relative to the base (300, 220) with y up, of the pixel, or the last inside move.
    const QPoint shown = inside ? pixel : QPoint(150, 100);
    QCOMPARE(f.text(IDC_POINTER_X), QString::number(shown.x() - 300));
    QCOMPARE(f.text(IDC_POINTER_Y), QString::number(220 - shown.y()));

    send(QEvent::MouseButtonPress, position, Qt::LeftButton);
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), inside ? pixel : QPoint(368, 40));
    QCOMPARE(f.text(IDC_TARGET_X), QString::number((inside ? pixel.x() : 368) - 300));
    QCOMPARE(f.text(IDC_TARGET_Y), QString::number(220 - (inside ? pixel.y() : 40)));
}

void TestPointer::pickedTargetIsPaintedAndUsedByCompute() {
    uitest::TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    // The plot shows the marker at the picked point, over the opening arms.
    QCOMPARE(uitest::ShownPlot(*f.dlg), uitest::ExpectedPlot(*f.dlg, *f.state));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(150, 100));

    // Compute takes the picked target into its fields and searches for it; the texts stay.
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("30"));
    QVERIFY(f.run());
    QVERIFY(uitest::Messages().isEmpty());
    QCOMPARE(f.dlg->RunTarget(), QPoint(-150, 120));
    QCOMPARE(f.text(IDC_TARGET_X), QStringLiteral("-150"));
    QCOMPARE(f.text(IDC_TARGET_Y), QStringLiteral("120"));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(150, 100));
    // The error shown is measured to the picked target.
    QCOMPARE(f.text(IDC_ERROR), FormatDoubleText(kelvora::ui::TipDistance(*f.state, f.state->currentPose)));
    QCOMPARE(uitest::ShownPlot(*f.dlg), uitest::ExpectedPlot(*f.dlg, *f.state));
}

void TestPointer::clickAfterARunKeepsThePosesAndTheHistory() {
    uitest::TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    Fixture f;
    QVERIFY(f.exposed());
    QLineEdit* generation = f.edit(IDC_GENERATION);
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("30"));
    f.compute()->click();
    // The run has ended when its seed shows on the generation field.
    QTRY_VERIFY_WITH_TIMEOUT(!generation->toolTip().isEmpty(), 60000);
    const kelvora::ArmPose current = f.state->currentPose;
    const kelvora::ArmPose elite = f.state->elitePose;
    const auto history = std::make_unique<decltype(f.state->history)>(f.state->history);
    const double eliteFitness = f.state->eliteFitness;
    const QString error = f.text(IDC_ERROR);
    const QByteArray results = uitest::ReadAll(QStringLiteral("results.csv"));

    // The click moves the target and nothing else: the arms, the history and the files stay.
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    QCOMPARE(QPoint(f.state->targetX, f.state->targetY), QPoint(150, 100));
    QCOMPARE(f.state->currentPose, current);
    QCOMPARE(f.state->elitePose, elite);
    QVERIFY(std::memcmp(history.get(), &f.state->history, sizeof *history) == 0);
    QCOMPARE(f.state->eliteFitness, eliteFitness);
    QCOMPARE(f.text(IDC_GENERATION), QStringLiteral("30"));
    QCOMPARE(f.text(IDC_ERROR), error);
    QCOMPARE(uitest::ReadAll(QStringLiteral("results.csv")), results);
    QTRY_COMPARE(uitest::ShownPlot(*f.dlg), uitest::ExpectedPlot(*f.dlg, *f.state));

    // The next run replaces them, searching for the clicked target.
    f.compute()->click();
    QTRY_VERIFY_WITH_TIMEOUT(generation->toolTip().contains(QStringLiteral("--target=-150,120")), 60000);
    QVERIFY(std::memcmp(history.get(), &f.state->history, sizeof *history) != 0);
    QCOMPARE(f.text(IDC_ERROR), FormatDoubleText(kelvora::ui::TipDistance(*f.state, f.state->currentPose)));
}

QTEST_MAIN(TestPointer)
#include "tst_pointer.moc"
