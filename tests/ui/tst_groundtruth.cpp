// The ground truth in the window: the two overlay entries and their settings, the unreachable wash
// and the optimum arm as painted, and the error field's tooltip after a run.

#include <array>
#include <cmath>
#include <cstring>
#include <vector>
#include <memory>

#include <QAction>
#include <QDirIterator>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include "common/optimumcache.h"
#include "evolution/evolutionwindow.h"
#include "mainwindow/groundtruthoverlay.h"
#include "mainwindow/reachmaploader.h"
#include "common/messagebox.h"
#include "analysis/reachmap.h"
#include "common/settings.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"
#include "app/solverapp.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

namespace {

QSettings Settings() { return kelvora::ui::AppSettings(); }

const kelvora::ReachMap& Map() {
    static const std::unique_ptr<kelvora::ReachMap> map = kelvora::ComputeReachMap(kelvora::kBaseX, kelvora::kBaseY);
    return *map;
}

QImage Paint(const PlotScene& scene, const PlotOverlays& overlays, QColor background) {
    QImage image(600, 440, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    PaintPlot(painter, scene, LoadBitmapResource(IDB_BASE_MARK), overlays);
    return image;
}

PlotScene Scene(kelvora::ArmPose current, kelvora::ArmPose elite, QPoint target) {
    return PlotScene{CSolverDlg::kPlotRect, QPoint(kelvora::kBaseX, kelvora::kBaseY), current, elite, target};
}

QAction* Entry(CSolverDlg& dlg, const QString& text) {
    for (QAction* action : SolverDlgTestAccess::windowMenu(dlg)->actions())
        if (action->text() == text) return action;
    return nullptr;
}

// Distance from p to the segment a-b.
double ToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 == 0 ? 0 : std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

}  // namespace

class TestGroundTruth : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void mapLoaderCallsNoOwnerGone();
    void entriesStartOffAndAreRemembered();
    void everySettingLandsInOneFile();
    void washCoversExactlyTheUnreachableTargets();
    void optimumArmIsDashedGreenAlongThePose_data();
    void optimumArmIsDashedGreenAlongThePose();
    void windowShowsTheWashWhenTheMapIsReady();
    void familyIsDrawnAlongItsMembers();
    void errorTooltipTellsTheGapAfterARun();
    void oneSearchPerTargetForEveryWindow();

private:
    QTemporaryDir m_config;
};

void TestGroundTruth::initTestCase() {
    // Never the user's own settings, nor those of another test run on the same account.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    SetMessageBoxFunction(uitest::RecordMessage);
    CSolverApp::InstallFontSubstitutions();
}

void TestGroundTruth::init() {
    Settings().clear();
    uitest::Messages().clear();
}

void TestGroundTruth::entriesStartOffAndAreRemembered() {
    {
        uitest::Fixture f;
        QAction* unreachable = Entry(*f.dlg, QStringLiteral("到達できない領域を表示"));
        QAction* optimum = Entry(*f.dlg, QStringLiteral("最適解を表示"));
        QVERIFY(unreachable && optimum);
        QVERIFY(unreachable->isCheckable() && optimum->isCheckable());
        QVERIFY(!unreachable->isChecked() && !optimum->isChecked());
        // With both off the window paints what it always has.
        QVERIFY(f.exposed());
        QCOMPARE(uitest::ShownPlot(*f.dlg), uitest::ExpectedPlot(*f.dlg, *f.state));
        optimum->trigger();  // as a click in the menu does
        QVERIFY(optimum->isChecked());
    }
    QCOMPARE(Settings().value(QLatin1String(GroundTruthOverlay::kShowOptimumKey)).toBool(), true);
    QVERIFY(Settings().fileName().startsWith(m_config.path()));
    {
        uitest::Fixture f;
        QVERIFY(Entry(*f.dlg, QStringLiteral("最適解を表示"))->isChecked());
        QVERIFY(!Entry(*f.dlg, QStringLiteral("到達できない領域を表示"))->isChecked());
        Entry(*f.dlg, QStringLiteral("最適解を表示"))->trigger();
    }
    QCOMPARE(Settings().value(QLatin1String(GroundTruthOverlay::kShowOptimumKey)).toBool(), false);
    QVERIFY(uitest::Messages().isEmpty());
}

void TestGroundTruth::everySettingLandsInOneFile() {
    {
        uitest::Fixture f(false);
        Entry(*f.dlg, QStringLiteral("最適解を表示"))->trigger();
        f.dlg->findChild<QAction*>(QStringLiteral("ShowPopulationAction"))->trigger();
        f.dlg->findChild<QAction*>(QStringLiteral("EvolutionAction"))->trigger();
        f.dlg->close();
    }
    const QStringList keys = Settings().allKeys();
    for (const char* key : {"plot/showOptimum", "view/showPopulation", "evolution/open"})
        QVERIFY2(keys.contains(QLatin1String(key)), key);
    QStringList files;
    for (QDirIterator it(m_config.path(), {QStringLiteral("*.conf")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    QCOMPARE(files, QStringList{Settings().fileName()});
}

void TestGroundTruth::washCoversExactlyTheUnreachableTargets() {
    const QColor background(240, 240, 240);
    const PlotScene scene = Scene({200, 30, 10}, {45, 30, 15}, QPoint(450, 300));
    PlotOverlays overlays;
    overlays.unreachableWash = GroundTruthOverlay::unreachableWash(Map());
    overlays.washOrigin = scene.base - QPoint(kelvora::kMaxTargetOffset, kelvora::kMaxTargetOffset);
    const QImage plain = Paint(scene, {}, background);
    const QImage washed = Paint(scene, overlays, background);
    int greyed = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const QPoint p(x, y);
            const bool inside = p.x() > 100 && p.x() < 499 && p.y() > 20 && p.y() < 419;
            const bool unreachable = inside && Map().At(x - kelvora::kBaseX, kelvora::kBaseY - y) > 0.5;
            const bool uncovered = plain.pixel(p) == background.rgb();
            // Under everything drawn later; over the background only where no pose comes near.
            if (!uncovered || !unreachable) {
                QCOMPARE(washed.pixel(p), plain.pixel(p));
            } else {
                QVERIFY(washed.pixel(p) != plain.pixel(p));
                QCOMPARE(qRed(washed.pixel(p)), qGreen(washed.pixel(p)));  // a grey
                ++greyed;
            }
        }
    }
    QVERIFY(greyed > 30000);  // outside the reach circle alone there are more
}

void TestGroundTruth::optimumArmIsDashedGreenAlongThePose_data() {
    QTest::addColumn<QPoint>("offset");
    QTest::newRow("opening target") << QPoint(68, 180);
    QTest::newRow("unreachable pocket") << QPoint(150, -100);
    QTest::newRow("left") << QPoint(-120, 30);
}

void TestGroundTruth::optimumArmIsDashedGreenAlongThePose() {
    QFETCH(QPoint, offset);
    const QPoint target(kelvora::kBaseX + offset.x(), kelvora::kBaseY - offset.y());
    const kelvora::Optimum best = kelvora::FindOptimum(kelvora::kBaseX, kelvora::kBaseY, target.x(), target.y());
    // The run's arms folded away from the optimum, so that the green is not covered.
    const PlotScene scene = Scene({0, 180, 0}, {0, 180, 0}, target);
    PlotOverlays overlays;
    overlays.optimumPose = best.pose;
    const QImage image = Paint(scene, overlays, QColor(240, 240, 240));
    const kelvora::ArmJoints j = kelvora::ArmJointPoints(best.pose, scene.base.x(), scene.base.y());
    const QPointF joints[] = {scene.base, QPointF(j.j1.x, j.j1.y), QPointF(j.j2.x, j.j2.y), QPointF(j.j3.x, j.j3.y)};
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(0, 160, 0)) continue;
            ++green;
            double nearest = 1e9;
            for (int k = 0; k < 3; ++k) nearest = std::min(nearest, ToSegment(QPointF(x, y), joints[k], joints[k + 1]));
            QVERIFY2(nearest <= 2.0, qPrintable(QStringLiteral("green at %1,%2").arg(x).arg(y)));
        }
    }
    // Dashed: a good share of the 200-pixel arm, but well under all of its two-pixel-wide stroke.
    QVERIFY2(green > 150 && green < 380, qPrintable(QString::number(green)));
    // Without the layer there is no green at all.
    const QImage plain = Paint(scene, {}, QColor(240, 240, 240));
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) QVERIFY(plain.pixel(x, y) != qRgb(0, 160, 0));
}

void TestGroundTruth::familyIsDrawnAlongItsMembers() {
    // Off at first; ticked, the window draws the arms that reach the opening target within ε and
    // nothing else: every changed pixel lies on one of them, and they are many (a family, not one arm).
    uitest::Fixture f;
    QAction* family = Entry(*f.dlg, QStringLiteral("目標点に届く腕をすべて表示"));
    QVERIFY(family && family->isCheckable() && !family->isChecked());
    QVERIFY(f.exposed());
    const QImage plain = uitest::ExpectedPlot(*f.dlg, *f.state);
    QCOMPARE(uitest::ShownPlot(*f.dlg), plain);
    family->trigger();
    QVERIFY(Settings().value(QLatin1String(GroundTruthOverlay::kShowFamilyKey)).toBool());
    const QImage shown = uitest::ShownPlot(*f.dlg);
    const std::vector<kelvora::ArmPose> members = kelvora::PosesWithin(f.state->baseX, f.state->baseY, f.state->targetX,
                                                                        f.state->targetY, GroundTruthOverlay::kReachLimit, 100000);
    QVERIFY(members.size() > 10);
    std::vector<std::array<QPointF, 4>> arms;
    const QPointF origin = CSolverDlg::kPlotRect.topLeft();
    for (const kelvora::ArmPose& pose : members) {
        const kelvora::ArmJoints j = kelvora::ArmJointPoints(pose, f.state->baseX, f.state->baseY);
        arms.push_back({QPointF(f.state->baseX, f.state->baseY) - origin, QPointF(j.j1.x, j.j1.y) - origin,
                        QPointF(j.j2.x, j.j2.y) - origin, QPointF(j.j3.x, j.j3.y) - origin});
    }
    int changed = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) == plain.pixel(x, y)) continue;
            ++changed;
            double nearest = 1e9;
            for (const auto& arm : arms)
                for (int k = 0; k < 3; ++k)
                    nearest = std::min(nearest, ToSegment(QPointF(x + 0.5, y + 0.5), arm[k], arm[k + 1]));
            QVERIFY2(nearest <= 2.0, qPrintable(QStringLiteral("changed at %1,%2, %3 px off").arg(x).arg(y).arg(nearest)));
        }
    }
    // More than one 200-pixel arm's worth of pixels.
    QVERIFY2(changed > 400, qPrintable(QString::number(changed)));
    family->trigger();
    QCOMPARE(uitest::ShownPlot(*f.dlg), plain);
}

// First, before anything has the map: an owner destroyed while its map is computed is never called;
// the other owner gets the map bit for bit, and later requests get the same map at once.
void TestGroundTruth::mapLoaderCallsNoOwnerGone() {
    bool goneCalled = false;
    std::shared_ptr<const kelvora::ReachMap> got;
    auto* gone = new QObject;
    QObject kept;
    QVERIFY(!ReachMapLoader::Request(gone, [&](std::shared_ptr<const kelvora::ReachMap>) { goneCalled = true; }));
    QVERIFY(!ReachMapLoader::Request(&kept, [&](std::shared_ptr<const kelvora::ReachMap> map) { got = std::move(map); }));
    delete gone;
    QTRY_VERIFY_WITH_TIMEOUT(got != nullptr, 20000);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QVERIFY(!goneCalled);
    QVERIFY(std::memcmp(got->distance, Map().distance, sizeof Map().distance) == 0);
    QCOMPARE(ReachMapLoader::Request(&kept, {}), got);
}

void TestGroundTruth::windowShowsTheWashWhenTheMapIsReady() {
    Settings().setValue(QLatin1String(GroundTruthOverlay::kShowUnreachableKey), true);
    uitest::Fixture f;
    QVERIFY(f.exposed());
    // A target in the pocket the genes leave, and one well inside the reach, both clear of the arms.
    const QPoint pocket(kelvora::kBaseX + 150, kelvora::kBaseY + 100);
    const QPoint reachable(kelvora::kBaseX - 60, kelvora::kBaseY + 60);
    const QPoint origin = CSolverDlg::kPlotRect.topLeft();
    QTRY_VERIFY_WITH_TIMEOUT(uitest::ShownPlot(*f.dlg).pixel(pocket - origin) !=
                                 uitest::ExpectedPlot(*f.dlg, *f.state).pixel(pocket - origin),
                             20000);
    QCOMPARE(uitest::ShownPlot(*f.dlg).pixel(reachable - origin), uitest::ExpectedPlot(*f.dlg, *f.state).pixel(reachable - origin));
    Entry(*f.dlg, QStringLiteral("到達できない領域を表示"))->trigger();
    QTRY_COMPARE(uitest::ShownPlot(*f.dlg), uitest::ExpectedPlot(*f.dlg, *f.state));
}

void TestGroundTruth::errorTooltipTellsTheGapAfterARun() {
    uitest::TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    uitest::Fixture f;
    QVERIFY(f.exposed());
    // The field's whole text with its unit, before a run and after it.
    QVERIFY(f.dlg->Control(IDC_ERROR)->toolTip().contains(f.text(IDC_ERROR) + QStringLiteral(" px")));
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("5"));
    QVERIFY(f.run());
    QVERIFY(f.dlg->Control(IDC_ERROR)->toolTip().contains(f.text(IDC_ERROR) + QStringLiteral(" px")));
    const kelvora::Optimum best = kelvora::FindOptimum(300, 220, 368, 40);
    const double eliteDistance = kelvora::ui::TipDistance(*f.state, f.state->elitePose);
    const QString tip = f.dlg->Control(IDC_ERROR)->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("最適解 (%1, %2, %3): 目標点まで %4 px")
                              .arg(best.pose.a1).arg(best.pose.a2).arg(best.pose.a3)
                              .arg(best.distance, 0, 'f', 4)), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("最適解との差 %1 px").arg(eliteDistance - best.distance, 0, 'f', 4)), qPrintable(tip));
    // Five generations of twenty cannot be expected to reach it; the text follows the fitness.
    QCOMPARE(tip.contains(QStringLiteral("到達しました")), f.state->eliteFitness == best.fitness);
    QVERIFY(uitest::Messages().isEmpty());
}

void TestGroundTruth::oneSearchPerTargetForEveryWindow() {
    // The plot's optimum arm, the error field's tooltip after a run and the evolution window's
    // optimum line all come from one search per target: a new target costs one more, whichever
    // windows show it.
    Settings().setValue(QLatin1String(GroundTruthOverlay::kShowOptimumKey), true);
    uitest::TemporaryCurrentDirectory cwd;
    QVERIFY(cwd.isValid());
    uitest::Fixture f;
    QVERIFY(f.exposed());
    f.dlg->showEvolutionWindow();
    uitest::ShownPlot(*f.dlg);  // painted with the optimum layer
    const int before = kelvora::ui::OptimumSearchCount();
    f.setText(IDC_GENERATION_LIMIT, QStringLiteral("3"));
    QVERIFY(f.run());
    uitest::ShownPlot(*f.dlg);
    QCOMPARE(kelvora::ui::OptimumSearchCount(), before);  // the opening target's, found already
    QTest::mouseClick(f.dlg.get(), Qt::LeftButton, Qt::NoModifier, uitest::At(*f.dlg, QPoint(150, 100)));
    QVERIFY(f.run());
    uitest::ShownPlot(*f.dlg);
    QCOMPARE(kelvora::ui::OptimumSearchCount(), before + 1);
    const kelvora::Optimum expected = kelvora::FindOptimum(300, 220, 150, 100);
    QCOMPARE(EvolutionWindowTestAccess::optimum(*SolverDlgTestAccess::evolutionWindow(*f.dlg))->pose, expected.pose);
    QVERIFY(uitest::Messages().isEmpty());
}

QTEST_MAIN(TestGroundTruth)
#include "tst_groundtruth.moc"
