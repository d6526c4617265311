// Pixels of the plot, painted by PaintPlot into an image filled with the dialog's background.

#include <cmath>
#include <cstdlib>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QtTest>

#include "mainwindow/plotpainter.h"
#include "common/resource.h"
#include "common/resourceloader.h"
#include "mainwindow/solverdlg.h"

using namespace kelvora::ui;

Q_DECLARE_METATYPE(kelvora::ArmPose)

namespace {

using kelvora::ArmPose;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

QRgb Background() { return QApplication::palette().color(QPalette::Window).rgb(); }

PlotScene Scene(ArmPose current, ArmPose elite, QPoint target) {
    return PlotScene{CSolverDlg::kPlotRect, QPoint(300, 220), current, elite, target};
}

// The opening state: both arms (45, 30, 15), the target on their tip.
PlotScene OpeningScene() { return Scene({45, 30, 15}, {45, 30, 15}, QPoint(368, 40)); }

QImage Render(const PlotScene& scene) {
    QImage image(CSolverDlg::clientSize(), QImage::Format_RGB32);
    image.fill(Background());
    QPainter painter(&image);
    PaintPlot(painter, scene, LoadBitmapResource(IDB_BASE_MARK));
    return image;
}

QString ColourName(QRgb c) {
    if (c == kBlack) return QStringLiteral("black");
    if (c == kRed) return QStringLiteral("red");
    if (c == kBlue) return QStringLiteral("blue");
    if (c == kWhite) return QStringLiteral("white");
    if (c == Background()) return QStringLiteral("background");
    return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

int Count(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
}

}  // namespace

class TestPlotPainter : public QObject {
    Q_OBJECT

private slots:
    void baseMarkBitmap();
    void openingScene_data();
    void openingScene();
    void armPoses_data();
    void armPoses();
    void eliteCoversCurrent();
    void reachCircleIsDottedRadius200();
    void reachCircleGapsAreWhiteWhereItCrosses_data();
    void reachCircleGapsAreWhiteWhereItCrosses();
    void targetMovedOutsideReach();
    void nullBaseMarkLeavesOnlyTheMarkOut();
    void painterStateIsRestored();
    void repaintsAreIdentical();
};

void TestPlotPainter::baseMarkBitmap() {
    const QImage mark = LoadBitmapResource(IDB_BASE_MARK);
    QCOMPARE(mark.size(), QSize(4, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) QCOMPARE(ColourName(mark.pixel(x, y)), ColourName(kBlack));
    QVERIFY(LoadBitmapResource(IDI_APP).isNull());
}

void TestPlotPainter::openingScene_data() {
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QString>("colour");
    const QString black = ColourName(kBlack), red = ColourName(kRed), white = ColourName(kWhite),
                  background = QStringLiteral("background");
    // Frame: columns 100 and 499, rows 20 and 419, and nothing just outside or inside it.
    QTest::newRow("frame left column") << QPoint(100, 300) << black;
    QTest::newRow("frame right column") << QPoint(499, 100) << black;
    QTest::newRow("frame top row") << QPoint(200, 20) << black;
    QTest::newRow("frame bottom row") << QPoint(450, 419) << black;
    QTest::newRow("frame top-left corner") << QPoint(100, 20) << black;
    QTest::newRow("frame bottom-right corner") << QPoint(499, 419) << black;
    QTest::newRow("left of the frame") << QPoint(99, 300) << background;
    QTest::newRow("right of the frame") << QPoint(500, 100) << background;
    QTest::newRow("above the frame") << QPoint(200, 19) << background;
    QTest::newRow("below the frame") << QPoint(450, 420) << background;
    QTest::newRow("inside the top-left corner") << QPoint(101, 21) << background;
    QTest::newRow("inside the bottom-right corner") << QPoint(498, 418) << background;
    // Axes end one pixel before their end points (500, 220) and (300, 420); their last pixels, on
    // the frame, lie under the reach circle.
    QTest::newRow("horizontal axis") << QPoint(450, 220) << black;
    QTest::newRow("horizontal axis beside the circle") << QPoint(498, 220) << black;
    QTest::newRow("horizontal axis end point left out") << QPoint(500, 220) << background;
    QTest::newRow("vertical axis") << QPoint(300, 350) << black;
    QTest::newRow("vertical axis beside the circle") << QPoint(300, 418) << black;
    QTest::newRow("vertical axis end point left out") << QPoint(300, 420) << background;
    // Base mark 298..301 x 218..221; the arm covers part of it.
    QTest::newRow("base mark top-left") << QPoint(298, 218) << black;
    QTest::newRow("base mark bottom-left") << QPoint(298, 221) << black;
    QTest::newRow("base mark bottom-right") << QPoint(301, 221) << black;
    QTest::newRow("base mark left column") << QPoint(298, 219) << black;
    QTest::newRow("left of the base mark") << QPoint(297, 218) << background;
    QTest::newRow("right of the base mark") << QPoint(302, 221) << background;
    QTest::newRow("above the base mark") << QPoint(298, 217) << background;
    QTest::newRow("below the base mark") << QPoint(298, 222) << background;
    // The red arm through its joints; the tip is under the target marker.
    QTest::newRow("joint 1") << QPoint(342, 177) << red;
    QTest::newRow("joint 2") << QPoint(368, 80) << red;
    QTest::newRow("link 3 below the marker") << QPoint(368, 45) << red;
    // Target marker: box 364..371 x 36..43, red outline, white inside, drawn over the arm.
    QTest::newRow("marker centre, the tip") << QPoint(368, 40) << white;
    QTest::newRow("marker inside above the tip") << QPoint(368, 38) << white;
    QTest::newRow("marker outline left") << QPoint(364, 40) << red;
    QTest::newRow("marker outline right") << QPoint(371, 40) << red;
    QTest::newRow("marker outline top") << QPoint(368, 36) << red;
    QTest::newRow("marker outline bottom") << QPoint(366, 43) << red;
    QTest::newRow("left of the marker") << QPoint(363, 40) << background;
    QTest::newRow("right of the marker") << QPoint(372, 40) << background;
    QTest::newRow("above the marker") << QPoint(368, 35) << background;
}

void TestPlotPainter::openingScene() {
    QFETCH(QPoint, pixel);
    QFETCH(QString, colour);
    const QImage image = Render(OpeningScene());
    QCOMPARE(ColourName(image.pixel(pixel)), colour);
}

void TestPlotPainter::armPoses_data() {
    QTest::addColumn<ArmPose>("pose");
    QTest::addColumn<QList<QPoint>>("onArm");
    QTest::addColumn<QList<QPoint>>("offArm");
    // Along the axis to the right edge of the plot, the tip (500, 220) under the reach circle; the
    // axis row is covered by the arm.
    QTest::newRow("(0, 0, 0)") << ArmPose{0, 0, 0}
                               << QList<QPoint>{{301, 220}, {360, 220}, {460, 220}, {498, 220}, {400, 219}}
                               << QList<QPoint>{{400, 221}, {400, 218}, {502, 220}};
    // Pointing left but one row above the axis: 219.99... truncates to 219. The tip (100, 219) lies
    // under the reach circle, which is drawn over the arms.
    QTest::newRow("(180, 0, 0)") << ArmPose{180, 0, 0}
                                 << QList<QPoint>{{240, 219}, {140, 219}, {101, 219}, {200, 219}}
                                 << QList<QPoint>{{200, 221}, {200, 217}};
    // Straight up, the tip (300, 20) on the top row of the frame, under the reach circle; the round
    // end of the stroke shows above it.
    QTest::newRow("(90, 0, 0)") << ArmPose{90, 0, 0}
                                << QList<QPoint>{{300, 160}, {300, 60}, {300, 21}, {300, 19}, {300, 100}}
                                << QList<QPoint>{{302, 100}, {297, 100}};
    // Angle sums up to 765 degrees go into sine and cosine unreduced.
    QTest::newRow("(255, 255, 255)") << ArmPose{255, 255, 255}
                                     << QList<QPoint>{{284, 277}, {197, 227}, {226, 199}}
                                     << QList<QPoint>{{250, 300}, {210, 250}};
}

void TestPlotPainter::armPoses() {
    QFETCH(ArmPose, pose);
    QFETCH(QList<QPoint>, onArm);
    QFETCH(QList<QPoint>, offArm);
    // The pose as the current arm, blue, under a red elite pointing elsewhere.
    const ArmPose elsewhere = pose.a1 == 270 ? ArmPose{0, 0, 0} : ArmPose{270, 0, 0};
    const QImage blue = Render(Scene(pose, elsewhere, QPoint(110, 410)));
    // The pose as the elite arm, red.
    const QImage red = Render(Scene(elsewhere, pose, QPoint(110, 410)));
    for (const QPoint& p : onArm) {
        QCOMPARE(ColourName(blue.pixel(p)), ColourName(kBlue));
        QCOMPARE(ColourName(red.pixel(p)), ColourName(kRed));
    }
    for (const QPoint& p : offArm) {
        QVERIFY2(blue.pixel(p) != kBlue, qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
        QVERIFY2(red.pixel(p) != kRed, qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
    }
}

void TestPlotPainter::eliteCoversCurrent() {
    // Equal poses: not one blue pixel is left.
    QCOMPARE(Count(Render(OpeningScene()), kBlue), 0);
    // Different poses: both show, each in its own colour.
    const QImage image = Render(Scene({0, 0, 0}, {180, 0, 0}, QPoint(368, 40)));
    QCOMPARE(ColourName(image.pixel(400, 220)), ColourName(kBlue));
    QCOMPARE(ColourName(image.pixel(200, 219)), ColourName(kRed));
    QVERIFY(Count(image, kBlue) > 300);
}

void TestPlotPainter::reachCircleIsDottedRadius200() {
    // The upper-left quarter of the plot holds nothing but the circle in the opening scene.
    const QImage image = Render(OpeningScene());
    int drawn = 0;
    int gaps = 0;
    int arcPixels = 0;
    for (int y = 22; y <= 217; ++y) {
        for (int x = 102; x <= 297; ++x) {
            const double r = std::hypot(x + 0.5 - 300.0, y + 0.5 - 220.0);
            const bool onArc = r >= 198.5 && r <= 201.0;
            arcPixels += onArc;
            const QRgb pixel = image.pixel(x, y);
            if (pixel == Background()) continue;
            QVERIFY2(onArc && (pixel == kBlack || pixel == kWhite),
                     qPrintable(QStringLiteral("%1 pixel (%2, %3) off the circle").arg(ColourName(pixel)).arg(x).arg(y)));
            ++(pixel == kBlack ? drawn : gaps);
        }
    }
    // A quarter of a radius-200 circle is some 300 pixels long; dotted, about half of it is drawn
    // black and the other half, the gaps, white.
    QVERIFY2(drawn > 100, qPrintable(QString::number(drawn)));
    QVERIFY2(drawn < 220, qPrintable(QString::number(drawn)));
    QVERIFY2(std::abs(drawn - gaps) <= 6, qPrintable(QStringLiteral("%1 black, %2 white").arg(drawn).arg(gaps)));
    QVERIFY(arcPixels > drawn + gaps);
}

void TestPlotPainter::reachCircleGapsAreWhiteWhereItCrosses_data() {
    // A straight stretch of the circle, 25 pixels from start in steps of step, and pixels beside it
    // that show, in their own colours, the elements the stretch crosses.
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("step");
    QTest::addColumn<QList<QPoint>>("beside");
    QTest::addColumn<QStringList>("colours");
    const QString black = ColourName(kBlack), red = ColourName(kRed), blue = ColourName(kBlue);
    // Along the frame's top row, across the red arm standing on the vertical axis.
    QTest::newRow("top: frame, red arm") << QPoint(288, 20) << QPoint(1, 0)
                                         << QList<QPoint>{{270, 20}, {300, 21}} << QStringList{black, red};
    // Down the frame's left column, across the horizontal axis and the blue arm one row above it.
    QTest::newRow("left: frame, axis, blue arm") << QPoint(100, 208) << QPoint(0, 1)
                                                 << QList<QPoint>{{100, 300}, {101, 220}, {101, 219}}
                                                 << QStringList{black, black, blue};
    // The circle reaches the frame on all four sides: down its right column across the axis's end,
    // and along its bottom row across the vertical axis's end.
    QTest::newRow("right: frame, axis") << QPoint(499, 208) << QPoint(0, 1)
                                        << QList<QPoint>{{499, 300}, {498, 220}} << QStringList{black, black};
    QTest::newRow("bottom: frame, axis") << QPoint(288, 419) << QPoint(1, 0)
                                         << QList<QPoint>{{270, 419}, {300, 418}} << QStringList{black, black};
}

void TestPlotPainter::reachCircleGapsAreWhiteWhereItCrosses() {
    QFETCH(QPoint, start);
    QFETCH(QPoint, step);
    QFETCH(QList<QPoint>, beside);
    QFETCH(QStringList, colours);
    // Blue (180, 0, 0) to the left, red (90, 0, 0) straight up; the circle is drawn over both.
    const QImage image = Render(Scene({180, 0, 0}, {90, 0, 0}, QPoint(450, 380)));
    for (int i = 0; i < beside.size(); ++i) QCOMPARE(ColourName(image.pixel(beside[i])), colours[i]);
    // The pen's gaps are white over whatever lies under them: along the stretch only black dashes
    // and white gaps alternate, three pixels each but where the stretch cuts one.
    QList<int> runs;
    QRgb previous = 0;
    for (int i = 0; i < 25; ++i) {
        const QPoint p = start + i * step;
        const QRgb pixel = image.pixel(p);
        QVERIFY2(pixel == kBlack || pixel == kWhite,
                 qPrintable(QStringLiteral("(%1, %2) is %3").arg(p.x()).arg(p.y()).arg(ColourName(pixel))));
        if (i > 0 && pixel == previous) ++runs.last();
        else runs << 1;
        previous = pixel;
    }
    QVERIFY2(runs.size() >= 8, qPrintable(QString::number(runs.size())));
    for (int i = 1; i + 1 < runs.size(); ++i) QCOMPARE(runs[i], 3);
}

void TestPlotPainter::targetMovedOutsideReach() {
    // A target in a plot corner lies outside the reach circle; the arms stay where they were.
    const QImage opening = Render(OpeningScene());
    const QImage moved = Render(Scene({45, 30, 15}, {45, 30, 15}, QPoint(110, 30)));
    QCOMPARE(ColourName(moved.pixel(110, 30)), ColourName(kWhite));
    QCOMPARE(ColourName(moved.pixel(106, 30)), ColourName(kRed));
    QCOMPARE(ColourName(moved.pixel(113, 30)), ColourName(kRed));
    // The arm's tip shows now that the marker has left it.
    QCOMPARE(ColourName(moved.pixel(368, 40)), ColourName(kRed));
    QCOMPARE(moved.pixel(342, 177), opening.pixel(342, 177));
    QCOMPARE(moved.pixel(368, 80), opening.pixel(368, 80));
    QCOMPARE(Count(moved, kWhite), Count(opening, kWhite));
}

void TestPlotPainter::nullBaseMarkLeavesOnlyTheMarkOut() {
    QImage image(CSolverDlg::clientSize(), QImage::Format_RGB32);
    image.fill(Background());
    {
        QPainter painter(&image);
        PaintPlot(painter, OpeningScene(), QImage());
    }
    QCOMPARE(ColourName(image.pixel(298, 218)), QStringLiteral("background"));
    QCOMPARE(ColourName(image.pixel(342, 177)), ColourName(kRed));
    QCOMPARE(ColourName(image.pixel(100, 20)), ColourName(kBlack));
}

void TestPlotPainter::painterStateIsRestored() {
    QImage image(CSolverDlg::clientSize(), QImage::Format_RGB32);
    image.fill(Background());
    QPainter painter(&image);
    const QPen pen(Qt::green, 5, Qt::DashLine);
    const QBrush brush(Qt::yellow);
    painter.setPen(pen);
    painter.setBrush(brush);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintPlot(painter, OpeningScene(), LoadBitmapResource(IDB_BASE_MARK));
    QCOMPARE(painter.pen(), pen);
    QCOMPARE(painter.brush(), brush);
    QVERIFY(painter.testRenderHint(QPainter::Antialiasing));
    QCOMPARE(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
    QCOMPARE(painter.backgroundMode(), Qt::TransparentMode);
}

void TestPlotPainter::repaintsAreIdentical() {
    // Painting keeps no state: the same scene gives the same pixels every time, and painting it
    // again over itself changes nothing.
    const QImage first = Render(OpeningScene());
    QImage again = first.copy();
    {
        QPainter painter(&again);
        for (int i = 0; i < 2000; ++i) PaintPlot(painter, OpeningScene(), LoadBitmapResource(IDB_BASE_MARK));
    }
    QCOMPARE(again, first);
    QCOMPARE(Render(Scene({0, 0, 0}, {90, 0, 0}, QPoint(110, 30))),
             Render(Scene({0, 0, 0}, {90, 0, 0}, QPoint(110, 30))));
}

QTEST_MAIN(TestPlotPainter)
#include "tst_plotpainter.moc"
