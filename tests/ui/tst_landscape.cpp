// The landscape view: the slice's picture as a function of its inputs, and the window's table for
// the opening target against the local optima counts measured independently (1105 and 292).

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QLayout>
#include <QScrollBar>
#include <QScrollArea>
#include <QThreadPool>
#include <QSignalSpy>
#include <QtTest>

#include <QTemporaryDir>

#include "landscape/landscapemap.h"
#include "landscape/landscapepicture.h"
#include "landscape/landscapewindow.h"
#include "analysis/optimum.h"
#include "evolution/generationscrubber.h"
#include "uitestsupport.h"

using namespace kelvora;
using namespace kelvora::ui;

namespace kelvora::ui {

// The window's own reading of what it shows.
struct LandscapeWindowTestAccess {
    static bool isReady(const LandscapeWindow& object) { return object.isReady(); }
    static QString cellText(const LandscapeWindow& object, int row, int column) { return object.cellText(row, column); }
    static int sliceAngle(const LandscapeWindow& object) { return object.sliceAngle(); }
    static void setSliceAngle(LandscapeWindow& object, int angle1) { object.setSliceAngle(angle1); }
    static void setBand(LandscapeWindow& object, int band) { object.setBand(band); }
    static int drawnIndividuals(const LandscapeWindow& object) { return object.drawnIndividuals(); }
    static int shownGeneration(const LandscapeWindow& object) { return object.shownGeneration(); }
    static const std::vector<ArmPose>& population(const LandscapeWindow& object) { return object.population(); }
    static QString populationCaption(const LandscapeWindow& object) { return object.populationCaption(); }
    static QString hoverText(const LandscapeWindow& object) { return object.hoverText(); }
    static void hoverCell(LandscapeWindow& object, std::optional<QPoint> cell) { object.hoverCell(cell); }
    static int mapTargets(const LandscapeWindow& object) { return object.mapTargets(); }
    static int mapStep(const LandscapeWindow& object) { return object.mapStep(); }
    static bool isMapShown(const LandscapeWindow& object) { return object.isMapShown(); }
    static void setMapShown(LandscapeWindow& object, bool shown) { object.setMapShown(shown); }
    static QString mapNote(const LandscapeWindow& object) { return object.mapNote(); }
};

// The slice's picture as set, before any scaling.
struct SliceViewTestAccess {
    static const QImage& image(const SliceView& view) { return view.m_image; }
};

}  // namespace kelvora::ui

namespace {

// The slice's colour of a distance: light yellow (255, 248, 190) on the target, deep blue
// (16, 32, 96) at maxDistance, the share between them log(1 + distance) / log(1 + maxDistance).
QRgb LandscapeColour(double distance, double maxDistance) {
    const double t = std::clamp(std::log1p(std::max(distance, 0.0)) / std::log1p(maxDistance), 0.0, 1.0);
    const auto mix = [t](int near, int far) { return static_cast<int>(std::lround(near + (far - near) * t)); };
    return qRgb(mix(255, 16), mix(248, 32), mix(190, 96));
}

}  // namespace

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
        // The individual's dot: 3 x 3 white about its cell's centre pixel, rimmed black 2 px out.
        QCOMPARE(image.pixel(128 * 2 + 1, 127 * 2 + 1), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(128 * 2 + 2, 127 * 2), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(128 * 2 + 3, 127 * 2 + 1), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(128 * 2 + 1, 127 * 2 - 1), qRgb(0, 0, 0));
        // The optimum's ring: 3 px from its cell's centre pixel, the centre itself left showing.
        const int cx = 10 * 2 + 1, cy = (255 - 20) * 2 + 1;
        QCOMPARE(image.pixel(cx + 3, cy), qRgb(0, 170, 60));
        QCOMPARE(image.pixel(cx, cy - 3), qRgb(0, 170, 60));
        QCOMPARE(image.pixel(cx, cy), LandscapeColour(0, 500));
        // The colour bar: the target's colour at the bottom, the top's at the top.
        QCOMPARE(image.pixel(kSliceBarLeft, kSliceSide - 1), LandscapeColour(0, 500));
        QCOMPARE(image.pixel(kSliceBarLeft + 5, 0), LandscapeColour(500, 500));
    }

    void genotypesDecodeAsTheRunDecodes_data() {
        QTest::addColumn<quint32>("genotype");
        QTest::addColumn<bool>("gray");
        QTest::addColumn<int>("a1");
        QTest::addColumn<int>("a2");
        QTest::addColumn<int>("a3");
        // Gene 0 is the high byte. Gray: 0xFF = 1111 1111 decodes to 1010 1010 = 170, 0x80 to 255.
        QTest::newRow("binary") << 0x01FF80u << false << 1 << 255 << 128;
        QTest::newRow("gray") << 0x01FF80u << true << 1 << 170 << 255;
        QTest::newRow("gray of 3 is 2") << 0x030203u << true << 2 << 3 << 2;
        QTest::newRow("zero") << 0u << true << 0 << 0 << 0;
    }
    void genotypesDecodeAsTheRunDecodes() {
        QFETCH(quint32, genotype);
        QFETCH(bool, gray);
        const std::vector<ArmPose> poses = DecodeGenotypes({genotype}, gray ? Encoding::gray : Encoding::binary);
        QFETCH(int, a1);
        QFETCH(int, a2);
        QFETCH(int, a3);
        QCOMPARE(poses, (std::vector<ArmPose>{{a1, a2, a3}}));
    }

    void theBandKeepsIndividualsNearTheSlice_data() {
        QTest::addColumn<int>("angle1");
        QTest::addColumn<int>("band");
        QTest::addColumn<QList<int>>("kept");  // indices into the population below
        QTest::newRow("band 8 at 50") << 50 << 8 << QList<int>{1, 2, 3};
        QTest::newRow("band 0 at 50") << 50 << 0 << QList<int>{2};
        QTest::newRow("no wrap at 0") << 0 << 8 << QList<int>{0};
        QTest::newRow("band 128 at 128") << 128 << 128 << QList<int>{0, 1, 2, 3, 4};
    }
    void theBandKeepsIndividualsNearTheSlice() {
        const std::vector<ArmPose> population{{0, 1, 2}, {42, 3, 4}, {50, 5, 6}, {58, 7, 8}, {255, 9, 10}};
        QFETCH(int, angle1);
        QFETCH(int, band);
        QFETCH(QList<int>, kept);
        std::vector<QPoint> expected;
        for (int k : kept) expected.emplace_back(population[k].a2, population[k].a3);
        QCOMPARE(PopulationInBand(population, angle1, band), expected);
    }

    void basinEdgesLieWhereTheAttractorChanges() {
        // A 3 x 3 slice, cell (a2, a3) at a2 * 3 + a3; attractors by column a2 (a3 up):
        //   a3=2: 7 7 9
        //   a3=1: 7 8 9
        //   a3=0: 7 7 9
        const std::vector<std::uint32_t> attractor{7, 7, 7, 7, 8, 7, 9, 9, 9};
        const std::uint8_t R = kEdgeRight, RU = kEdgeRight | kEdgeUp;
        // (0,1) borders the 8 on its right; (1,0) the 9 right and the 8 above; (1,1) the 9 and the 7
        // above; (1,2) the 9; the last column and the top row have no neighbour there.
        const std::vector<std::uint8_t> want{0, R, 0, RU, RU, R, 0, 0, 0};
        QCOMPARE(BasinEdges(attractor, 3), want);
        // Outlines drawn on the cell's right column and top row, in the outline's colour.
        LandscapeSlice slice;
        slice.distance.assign(65536, 0.0f);
        std::vector<std::uint32_t> big(65536, 1);
        big[10 * 256 + 20] = 2;  // one cell of its own basin
        slice.edges = BasinEdges(big, 256);
        const QImage image = DrawLandscapeSlice(slice);
        const int x = 10 * 2, y = (255 - 20) * 2;
        QCOMPARE(image.pixel(x + 1, y + 1), kBasinEdgeColour);  // its right edge
        QCOMPARE(image.pixel(x, y), kBasinEdgeColour);          // its top edge
        QCOMPARE(image.pixel(x - 1, y + 1), kBasinEdgeColour);  // the left neighbour's right edge
        QCOMPARE(image.pixel(x, y + 2), kBasinEdgeColour);      // the lower neighbour's top edge
        QCOMPARE(image.pixel(x + 3, y + 1), LandscapeColour(0, 400));
    }

    void theShownGenerationIsTheRunsOwn() {
        // The run's own decoding of generation 7 against the window's from its trace.
        struct Keep : RunObserver {
            std::vector<ArmPose> seventh;
            void onGeneration(const GenerationView& v) override {
                if (v.generation == 7)
                    for (int i = 0; i < v.populationSize; ++i) seventh.push_back(PoseOf(v.population[i]));
            }
        } keep;
        Algorithm gray;
        gray.encoding = Encoding::gray;
        const RunSetup setup({30, 10, 0.6, 0.2}, GeometryFor(kOpeningTargetX, kOpeningTargetY), 12345u, gray);
        RunObserver* observers[] = {&keep};
        RunSolver(setup, observers);
        LandscapeWindow window(setup.geometry, gray);
        QSignalSpy shown(&window, &LandscapeWindow::populationShown);
        window.setRun(setup, 10);
        window.showGeneration(7);
        QVERIFY(shown.wait(60000));
        QCOMPARE(LandscapeWindowTestAccess::shownGeneration(window), 7);
        QCOMPARE(LandscapeWindowTestAccess::population(window), keep.seventh);
        // A run forgotten (a file without its run.json) draws nothing, nor does another target's.
        window.forgetRun();
        QCOMPARE(LandscapeWindowTestAccess::shownGeneration(window), 0);
        QVERIFY(LandscapeWindowTestAccess::population(window).empty());
        window.setPopulation(keep.seventh, 7, GeometryFor(0, 0));
        QCOMPARE(LandscapeWindowTestAccess::drawnIndividuals(window), 0);
        QVERIFY(LandscapeWindowTestAccess::population(window).empty());
    }

    void mapOverlayColoursEachTargetsSquare() {
        // (0, 8) with every start within, (-8, 0) with none, step 8: squares of 8 x 8 px.
        const QImage image = LandscapeMapOverlay({{0, 8, 1, kPoseCount}, {-8, 0, 1, 0}}, 8);
        QCOMPARE(image.size(), QSize(399, 399));
        const auto at = [&](int x, int y) { return image.pixel(x + 199, 199 - y); };
        QCOMPARE(qAlpha(at(0, 8)), 150);
        QCOMPARE(LandscapeMapColour(kPoseCount), qRgb(255, 230, 0));  // yellow, t = 1
        QCOMPARE(at(0, 8), qRgba(255 * 150 / 255, 230 * 150 / 255, 0, 150));  // premultiplied
        QCOMPARE(at(-4, 11), at(0, 8));      // the square's corners: x - 4 .. x + 3, y - 3 .. y + 4
        QCOMPARE(at(3, 4 + 1), at(0, 8));
        QCOMPARE(qAlpha(at(4, 8)), 0);       // beyond it: clear
        QCOMPARE(qRgb(qRed(at(-8, 0)), qGreen(at(-8, 0)), qBlue(at(-8, 0))), qRgb(0, 0, 0));
        QCOMPARE(qAlpha(at(-8, 0)), 150);    // none: black, still drawn
        QCOMPARE(LandscapeMapColour(16), qRgb(20, 30, 120));  // a share of 2^-20 < 1e-6: t = 0
    }

    void aLoadedMapGoesToTheMainPlotOverlay() {
        QTemporaryDir dir;
        const QString path = dir.filePath("map.csv");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0,150,1,16777216,1\n150,0,1,0,0\n");
        file.close();
        // Landscapes of windows gone before are stopped, but may still hold the pool's threads a while.
        QThreadPool::globalInstance()->waitForDone();
        LandscapeWindow window(GeometryFor(0, 0), Algorithm{});
        QSignalSpy ready(&window, &LandscapeWindow::mapReady);
        QSignalSpy overlay(&window, &LandscapeWindow::mapOverlayChanged);
        window.loadMap(path);
        QVERIFY(ready.wait(120000));
        QCOMPARE(LandscapeWindowTestAccess::mapTargets(window), 2);
        QCOMPARE(LandscapeWindowTestAccess::mapStep(window), 150);
        QVERIFY(LandscapeWindowTestAccess::isMapShown(window));
        QCOMPARE(overlay.size(), 1);
        QVERIFY(!overlay.first().first().value<QImage>().isNull());
        LandscapeWindowTestAccess::setMapShown(window, false);
        QVERIFY(overlay.last().first().value<QImage>().isNull());
        window.loadMap(dir.filePath("missing.csv"));
        QVERIFY(ready.wait(120000));
        QVERIFY2(LandscapeWindowTestAccess::mapNote(window).contains("missing.csv"), qPrintable(LandscapeWindowTestAccess::mapNote(window)));
        QCOMPARE(LandscapeWindowTestAccess::mapTargets(window), 2);  // the map read before stays
        // A bad row is refused in the shared reader's words, naming the file and the line.
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("0,0,1,2,0\n0,0,1,2,0\n");
        file.close();
        window.loadMap(path);
        QVERIFY(ready.wait(120000));
        QVERIFY2(LandscapeWindowTestAccess::mapNote(window).contains(path + ": line 2 gives the target 0,0 again (line 1 gave it)"),
                 qPrintable(LandscapeWindowTestAccess::mapNote(window)));
        QCOMPARE(LandscapeWindowTestAccess::mapTargets(window), 2);
    }

    void followsTheMainWindowsRunAndScrubber() {
        uitest::TemporaryCurrentDirectory cwd;
        uitest::Fixture f;
        f.setText(IDC_POPULATION_SIZE, QStringLiteral("15"));
        f.setText(IDC_GENERATION_LIMIT, QStringLiteral("6"));
        // Open before the run: each generation comes as the run goes.
        f.dlg->MenuAction("LandscapeAction")->trigger();
        LandscapeWindow* w = f.dlg->findChild<LandscapeWindow*>();
        QVERIFY(w);
        QSignalSpy shown(w, &LandscapeWindow::populationShown);
        QVERIFY(f.run());
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown.size() > 1 || shown.wait(60000));
        QCOMPARE(shown.first().first().toInt(), 1);
        // results.csv holds each generation's 15 angles and a summary line.
        const QList<QByteArray> lines = uitest::ReadAll(QStringLiteral("results.csv")).split('\n');
        const auto generation = [&](int g) {
            std::vector<ArmPose> poses;
            for (int i = 0; i < 15; ++i) {
                const QList<QByteArray> fields = lines[(g - 1) * 16 + i].trimmed().split(',');
                poses.push_back({fields[0].toInt(), fields[1].toInt(), fields[2].toInt()});
            }
            return poses;
        };
        while (LandscapeWindowTestAccess::shownGeneration(*w) != 6 || shown.last().first().toInt() != 6) QVERIFY(shown.wait(60000));
        QCOMPARE(LandscapeWindowTestAccess::population(*w), generation(6));
        // The scrubber moves it: the generation made again from the run.
        SolverDlgTestAccess::scrubber(*f.dlg)->setGeneration(3);
        while (LandscapeWindowTestAccess::shownGeneration(*w) != 3) QVERIFY(shown.wait(60000));
        QCOMPARE(LandscapeWindowTestAccess::population(*w), generation(3));
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
        QSignalSpy computed(&window, &LandscapeWindow::computed);
        QVERIFY(!LandscapeWindowTestAccess::isReady(window));  // the constructor returned before the work was done
        QVERIFY(computed.wait(120000));
        QVERIFY(LandscapeWindowTestAccess::isReady(window));
        QVERIFY(LandscapeWindowTestAccess::cellText(window, 0, 0).startsWith("gray"));
        QCOMPARE(LandscapeWindowTestAccess::cellText(window, 0, 1), QString("292"));
        QCOMPARE(LandscapeWindowTestAccess::cellText(window, 1, 0), QString("binary"));
        QCOMPARE(LandscapeWindowTestAccess::cellText(window, 1, 1), QString("1105"));
        QCOMPARE(LandscapeWindowTestAccess::cellText(window, 2, 0), QString("creep:4"));
        QCOMPARE(LandscapeWindowTestAccess::sliceAngle(window), 58);  // the optimum's angle 1 at the opening target
        // A hand-built population: two at angle 1 = 50 (8 from the slice), one at 49, one at 58.
        window.setPopulation({{50, 1, 1}, {50, 2, 2}, {49, 3, 3}, {58, 4, 4}}, 3, GeometryFor(kOpeningTargetX, kOpeningTargetY));
        QCOMPARE(LandscapeWindowTestAccess::drawnIndividuals(window), 3);
        QVERIFY2(LandscapeWindowTestAccess::populationCaption(window).contains(QStringLiteral("3 ")), qPrintable(LandscapeWindowTestAccess::populationCaption(window)));
        LandscapeWindowTestAccess::setBand(window, 0);
        QCOMPARE(LandscapeWindowTestAccess::drawnIndividuals(window), 1);
        // Hovering the optimum: a local optimum is its own attractor.
        const Optimum best = FindOptimum(kBaseX, kBaseY, kBaseX + kOpeningTargetX, kBaseY - kOpeningTargetY);
        LandscapeWindowTestAccess::hoverCell(window, QPoint(best.pose.a2, best.pose.a3));
        const QString pose = QStringLiteral("(%1, %2, %3)").arg(best.pose.a1).arg(best.pose.a2).arg(best.pose.a3);
        QVERIFY2(LandscapeWindowTestAccess::hoverText(window).count(pose) == 2, qPrintable(LandscapeWindowTestAccess::hoverText(window)));
    }

    void fitsItsTile_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("placed");  // a dock's share of the test screen (800 x 600)
        QTest::newRow("tile, 500 high") << QSize(780, 500) << true;
        QTest::newRow("tile, 400 high") << QSize(780, 400) << true;
        QTest::newRow("room for the whole slice") << QSize(1000, 1000) << false;
    }

    // At a tile's size the window keeps that size: the slice scaled down to the room it has, the
    // side column beside it, the overlay's box in view; with room, the slice pixel for pixel.
    void fitsItsTile() {
        QFETCH(QSize, size);
        QFETCH(bool, placed);
        LandscapeWindow window(GeometryFor(kOpeningTargetX, kOpeningTargetY), Algorithm{});
        QSignalSpy computed(&window, &LandscapeWindow::computed);
        QVERIFY(computed.wait(120000));
        window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.size(), size);

        window.layout()->activate();
        QCOMPARE(window.size(), size);
        if (auto* area = window.findChild<QScrollArea*>(QStringLiteral("ShrinkArea"))) {
            QVERIFY(!area->horizontalScrollBar()->isVisible());
            QVERIFY(!area->verticalScrollBar()->isVisible());
        }
        auto* slice = window.findChild<SliceView*>(QStringLiteral("Slice"));
        auto* side = window.findChild<QScrollArea*>(QStringLiteral("SideColumn"));
        QVERIFY(slice && side);
        QVERIFY(!side->horizontalScrollBar()->isVisible());
        for (QWidget* w : {static_cast<QWidget*>(slice), static_cast<QWidget*>(side)}) {
            const QRect inWindow(w->mapTo(&window, QPoint(0, 0)), w->size());
            QVERIFY2(window.rect().contains(inWindow), qPrintable(w->objectName()));
        }
        const bool whole = slice->width() >= kSliceWidth && slice->height() >= kSliceSide;
        const double scale = std::min({1.0, double(slice->width()) / kSliceWidth, double(slice->height()) / kSliceSide});
        QCOMPARE(slice->scale(), scale);
        QCOMPARE(whole, !placed);
        const QImage drawn = slice->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage picture = SliceViewTestAccess::image(*slice).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(kSliceWidth, kSliceSide));
        if (whole) {
            QCOMPARE(drawn.copy(0, 0, kSliceWidth, kSliceSide), picture);
        } else {
            // Scaled: the colour bar's top (the far end, deep blue) lands at its scaled place.
            const QPoint bar(int((kSliceBarLeft + kSliceBarWidth / 2) * scale), 2);
            QCOMPARE(drawn.pixelColor(bar).blue() > drawn.pixelColor(bar).red(), true);
            // Whole within the view, and the view no wider than the picture drawn.
            QVERIFY(kSliceSide * scale <= slice->height() + 0.5);
            QCOMPARE_LE(slice->width(), int(std::ceil(kSliceWidth * scale)) + 1);
        }
        // The overlay's box is in view, in the side column's visible part or one scroll away.
        const auto boxes = side->widget()->findChildren<QCheckBox*>();
        QVERIFY(!boxes.isEmpty());
        for (QCheckBox* box : boxes) QVERIFY(side->widget()->rect().contains(QRect(box->mapTo(side->widget(), QPoint(0, 0)), box->size())));
    }

    // The window goes while its worker is at the landscape: the work is cancelled after its stage,
    // the pool drains, and nothing is posted to the window gone.
    void closingWhileComputingStopsTheWorkSafely() {
        QThreadPool::globalInstance()->waitForDone();
        {
            LandscapeWindow window(GeometryFor(0, 0), Algorithm{});
            QTRY_VERIFY(QThreadPool::globalInstance()->activeThreadCount() > 0);  // at its first stage
        }
        QVERIFY(QThreadPool::globalInstance()->waitForDone(120000));
        QCoreApplication::processEvents();  // a stray post to the gone window would crash here
    }
};

QTEST_MAIN(TestLandscape)
#include "tst_landscape.moc"
