// Where the program's further windows open: the placement arithmetic at the four common screen
// sizes, checked against a search of every pixel position, and the windows themselves on the
// offscreen screen.

#include <QScreen>
#include <QtTest>

#include "common/windowplacement.h"
#include "evolution/evolutionwindow.h"
#include "experiment/experimentwindow.h"
#include "help/helpwindow.h"
#include "uitestsupport.h"

using namespace kelvora::ui;

namespace {

bool Clear(const QRect& r, const QList<QRect>& occupied, const QRect& available) {
    if (!available.contains(r)) return false;
    for (const QRect& o : occupied)
        if (o.intersects(r)) return false;
    return true;
}

// Whether some place of size (px) within available covers none of occupied: every position tried.
bool FitsSomewhere(const QSize& size, const QList<QRect>& occupied, const QRect& available) {
    for (int y = available.top(); y + size.height() <= available.top() + available.height(); ++y)
        for (int x = available.left(); x + size.width() <= available.left() + available.width(); ++x)
            if (Clear(QRect(QPoint(x, y), size), occupied, available)) return true;
    return false;
}

}  // namespace

class TestPlacement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageBoxFunction(uitest::RecordMessage); }
    void placesClearOfEveryWindow_data();
    void placesClearOfEveryWindow();
    void windowsOpenOnTheScreen();
    void aWindowThatGrowsStaysOnTheScreen_data();
    void aWindowThatGrowsStaysOnTheScreen();
};

void TestPlacement::placesClearOfEveryWindow_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QList<QRect>>("occupied");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("minimum");
    // The main window (614 x 752 and a 30 px title bar) centred, as a window manager opens it, then
    // the windows that open after it: evolution, operators, experiment, help.
    const QSize mainFrame(614, 782);
    const QSize evolution(620, 540), operators(420, 520), experiment(1100, 670), help(760, 590);
    for (const QSize screen : {QSize(1280, 800), QSize(1366, 768), QSize(1600, 1000), QSize(1920, 1080)}) {
        const QRect available(QPoint(0, 0), screen - QSize(0, 32));  // a panel along one edge
        const QRect main(QPoint((available.width() - mainFrame.width()) / 2, 0), mainFrame);
        // The evolution window where it opened first: clear of the main window, or beside it.
        const QRect evolutionRight = PlaceClear({main}, evolution, QSize(420, 300), available, Side::Right)
                                         .value_or(PlaceBeside(main, evolution, QSize(420, 300), available));
        const QByteArray name = QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()).toLatin1();
        const char* size = name.constData();
        QTest::addRow("%s evolution", size) << available << QList<QRect>{main} << evolution << QSize(420, 300);
        QTest::addRow("%s operators", size) << available << QList<QRect>{main, evolutionRight} << operators << QSize(360, 400);
        QTest::addRow("%s experiment", size) << available << QList<QRect>{main, evolutionRight} << experiment << QSize(520, 400);
        QTest::addRow("%s help", size) << available << QList<QRect>{main, evolutionRight} << help << QSize(400, 300);
        QTest::addRow("%s main at the left", size) << available << QList<QRect>{main.translated(-main.left(), 0)} << experiment
                                                   << QSize(520, 400);
    }
}

void TestPlacement::placesClearOfEveryWindow() {
    QFETCH(QRect, available);
    QFETCH(QList<QRect>, occupied);
    QFETCH(QSize, frame);
    QFETCH(QSize, minimum);
    const std::optional<QRect> place = PlaceClear(occupied, frame, minimum, available, Side::Right);
    const int height = std::min(frame.height(), available.height());
    // Whole where it fits whole somewhere; narrowed (never below its minimum) where only that fits.
    if (FitsSomewhere(QSize(frame.width(), height), occupied, available)) {
        QVERIFY(place);
        QCOMPARE(place->size(), QSize(frame.width(), height));
    } else if (FitsSomewhere(QSize(minimum.width(), available.height()), occupied, available)) {
        QVERIFY(place);
    }
    if (!place) return;
    QVERIFY2(Clear(*place, occupied, available), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(place->x()).arg(place->y())
                                                            .arg(place->width()).arg(place->height())));
    QVERIFY(place->width() >= minimum.width() && place->width() <= frame.width());
    QCOMPARE(place->height(), height);
    // Beside the main window on the right when that has room.
    const QRect right(occupied.first().left() + occupied.first().width(), occupied.first().top(), frame.width(), height);
    if (Clear(right, occupied, available)) QCOMPARE(*place, right);
}

void TestPlacement::windowsOpenOnTheScreen() {
    uitest::Fixture f;
    QVERIFY(f.exposed());
    const QRect screen = f.dlg->screen()->availableGeometry();
    QList<QWidget*> windows{f.dlg->showEvolutionWindow()};
    f.dlg->findChild<QAction*>(QStringLiteral("HelpAction"))->trigger();
    f.dlg->findChild<QAction*>(QStringLiteral("ExperimentAction"))->trigger();
    windows << f.dlg->helpWindow() << f.dlg->experimentWindow();
    for (QWidget* window : windows) {
        QVERIFY(window && window->isVisible());
        // No wider or taller than the screen, whatever it holds later.
        QVERIFY2(window->maximumWidth() <= screen.width() && window->maximumHeight() <= screen.height(),
                 qPrintable(window->objectName()));
        QVERIFY2(window->frameGeometry().width() <= screen.width(), qPrintable(window->objectName()));
    }
    // The help window is clear of the main and the evolution window where the screen has room.
    const QList<QRect> before{f.dlg->frameGeometry(), windows[0]->frameGeometry()};
    if (FitsSomewhere(windows[1]->frameGeometry().size(), before, screen))
        for (const QRect& r : before) QVERIFY(!r.intersects(windows[1]->frameGeometry()));
    for (QWidget* window : windows) window->close();
}

void TestPlacement::aWindowThatGrowsStaysOnTheScreen_data() {
    QTest::addColumn<int>("anchorLeft");
    QTest::addColumn<int>("grownWidth");
    QTest::addColumn<bool>("clear");  // the screen is wide enough for both
    // The anchor is 300 px wide and the window opens 200 px wide beside it.
    QTest::newRow("room once the main window slides") << 250 << 450 << true;
    QTest::newRow("no room: on the screen all the same") << 0 << 600 << false;
}

void TestPlacement::aWindowThatGrowsStaysOnTheScreen() {
    QFETCH(int, anchorLeft);
    QFETCH(int, grownWidth);
    QFETCH(bool, clear);
    QWidget anchor;
    anchor.resize(300, 200);
    anchor.move(anchorLeft, 0);
    anchor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&anchor));
    const QRect screen = anchor.screen()->availableGeometry();
    QVERIFY(screen.width() >= 300 + grownWidth || !clear);
    QWidget window;
    PlaceBesideOn(&window, &anchor, QSize(200, 150), Side::Right);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.frameGeometry().left(), anchor.frameGeometry().right() + 1);
    window.setMinimumWidth(grownWidth);  // a longer text, say: the window grows
    QTRY_COMPARE(window.width(), grownWidth);
    QTRY_VERIFY(screen.contains(window.frameGeometry()));
    QCOMPARE(window.frameGeometry().intersects(anchor.frameGeometry()), !clear);
}

QTEST_MAIN(TestPlacement)
#include "tst_placement.moc"
