// The landscape view: the slice's picture as a function of its inputs, and the window's table for
// the opening target against the local optima counts measured independently (1105 and 292).

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include "landscape/landscapepicture.h"
#include "landscape/landscapewindow.h"

using namespace kelvora;
using namespace kelvora::ui;

class TestLandscape : public QObject {
    Q_OBJECT
private slots:
    void sliceShowsDistancesOptimaAndPopulation() {
        // Distance grows with the city-block distance from (10, 20).
        LandscapeSlice slice;
        slice.distance.resize(65536);
        for (int a2 = 0; a2 < 256; ++a2)
            for (int a3 = 0; a3 < 256; ++a3) slice.distance[a2 * 256 + a3] = std::abs(a2 - 10) + std::abs(a3 - 20);
        slice.maxDistance = 500;
        slice.localOptima = {{200, 100}};
        slice.hasOptimum = true;
        slice.optimum = {10, 20};
        slice.population = {{128, 128}};
        const QImage image = DrawLandscapeSlice(slice);
        QCOMPARE(image.size(), QSize(kSliceWidth, kSliceSide));
        const auto at = [&](int a2, int a3) { return image.pixel(a2 * 2, (255 - a3) * 2); };
        QCOMPARE(at(200, 100), qRgb(220, 30, 30));
        QCOMPARE(at(11, 20), LandscapeColour(1, 500));
        QCOMPARE(at(250, 250), LandscapeColour(240 + 230, 500));
        QVERIFY(qGray(at(11, 20)) > qGray(at(100, 100)));        // nearer is lighter
        QVERIFY(qGray(at(100, 100)) > qGray(at(250, 250)));
        QCOMPARE(image.pixel(128 * 2 + 1, 127 * 2 + 1), qRgb(0, 0, 0));  // the individual's dot
        // The optimum's ring: 3 px from its cell's centre pixel, the centre itself left showing.
        const int cx = 10 * 2 + 1, cy = (255 - 20) * 2 + 1;
        QCOMPARE(image.pixel(cx + 3, cy), qRgb(0, 170, 60));
        QCOMPARE(image.pixel(cx, cy - 3), qRgb(0, 170, 60));
        QCOMPARE(image.pixel(cx, cy), LandscapeColour(0, 500));
        // The colour bar: the target's colour at the bottom, the top's at the top.
        QCOMPARE(image.pixel(kSliceBarLeft, kSliceSide - 1), LandscapeColour(0, 500));
        QCOMPARE(image.pixel(kSliceBarLeft + 5, 0), LandscapeColour(500, 500));
    }

    void choiceInUseMapsToItsNeighbourhood() {
        Algorithm a;
        QCOMPARE(NeighbourhoodName(NeighbourhoodOf(a)), std::string("binary"));
        a.encoding = Encoding::gray;
        QCOMPARE(NeighbourhoodName(NeighbourhoodOf(a)), std::string("gray"));
        a.mutation = MutationOperator::creep;
        a.creepStep = 7;
        QCOMPARE(NeighbourhoodName(NeighbourhoodOf(a)), std::string("creep:7"));
    }

    void windowComputesOffTheGuiThreadAndShowsTheTable() {
        Algorithm gray;
        gray.encoding = Encoding::gray;
        LandscapeWindow window(GeometryFor(kOpeningTargetX, kOpeningTargetY), gray);
        QSignalSpy computed(&window, &LandscapeWindow::Computed);
        QVERIFY(!window.Ready());  // the constructor returned before the work was done
        QVERIFY(computed.wait(120000));
        QVERIFY(window.Ready());
        QVERIFY(window.Cell(0, 0).startsWith("gray"));
        QCOMPARE(window.Cell(0, 1), QString("292"));
        QCOMPARE(window.Cell(1, 0), QString("binary"));
        QCOMPARE(window.Cell(1, 1), QString("1105"));
        QCOMPARE(window.Cell(2, 0), QString("creep:4"));
        QCOMPARE(window.SliceAngle(), 58);  // the optimum's angle 1 at the opening target
    }

    void closingWhileComputingDoesNotWaitForTheWorker() {
        QElapsedTimer clock;
        {
            LandscapeWindow window(GeometryFor(0, 0), Algorithm{});
            clock.start();
        }
        QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(TestLandscape)
#include "tst_landscape.moc"
