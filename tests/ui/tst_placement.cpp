// Where the program's further windows open: the placement arithmetic at the four common screen
// sizes, checked against a search of every pixel position, and the windows themselves on the
// offscreen screen.

#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QtTest>

#include "common/windowplacement.h"
#include "evolution/evolutionwindow.h"
#include "experiment/experimentwindow.h"
#include "help/helpwindow.h"
#include "landscape/landscapewindow.h"
#include "microscope/microscopewindow.h"
#include "operators/operatordialog.h"
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
    void initTestCase();
    void tilesEveryWindow_data();
    void tilesEveryWindow();
    void tilesBesideTheMainWindow();
    void placesClearOfEveryWindow_data();
    void placesClearOfEveryWindow();
    void windowsOpenOnTheScreen();
    void aWindowThatGrowsStaysOnTheScreen_data();
    void aWindowThatGrowsStaysOnTheScreen();

private:
    QSize m_main;                    // the main window's size (px)
    QMap<QString, QSize> m_minimum;  // each further window's least size (px), by name
};

void TestPlacement::initTestCase() {
    SetMessageBoxFunction(uitest::RecordMessage);
    // Every window the main window opens, as it makes them.
    uitest::Fixture f;
    m_main = f.dlg->size();
    for (const char* action : {"HelpAction", "ExperimentAction", "MicroscopeAction", "LandscapeAction"})
        f.dlg->findChild<QAction*>(QLatin1String(action))->trigger();
    const OperatorDialog operators(kelvora::Algorithm{}, f.dlg.get());
    const QList<std::pair<QString, const QWidget*>> windows{
        {"evolution", f.dlg->showEvolutionWindow()}, {"operators", &operators},
        {"experiment", f.dlg->experimentWindow()},   {"microscope", f.dlg->findChild<MicroscopeWindow*>()},
        {"landscape", f.dlg->findChild<LandscapeWindow*>()}, {"help", f.dlg->helpWindow()}};
    for (const auto& [name, window] : windows) {
        QVERIFY2(window, qPrintable(name));
        m_minimum[name] = window->minimumSizeHint().expandedTo(window->minimumSize());
    }
}

void TestPlacement::tilesEveryWindow_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("panel");         // px of the screen's bottom a panel takes
    QTest::addColumn<int>("titleBar");      // px a window manager adds above each window
    QTest::addColumn<QStringList>("open");  // the further windows, in the order they opened
    QTest::addColumn<bool>("clear");        // no two windows overlap
    const QStringList all{"evolution", "experiment", "microscope", "landscape", "help", "operators"};
    const QList<QStringList> sets{{"evolution"}, {"evolution", "operators"}, {"evolution", "experiment", "help"}, all};
    for (const QSize screen : {QSize(1280, 800), QSize(1366, 768), QSize(1600, 1000), QSize(1920, 1080)})
        for (const QStringList& open : sets)
            QTest::addRow("%dx%d %s", screen.width(), screen.height(), qPrintable(open.join(QLatin1Char('+'))))
                << screen << 0 << 0 << open << true;
    QTest::newRow("1280x800, panel and title bars, all") << QSize(1280, 800) << 32 << 30 << all << true;
    QTest::newRow("1920x1080, panel and title bars, all") << QSize(1920, 1080) << 32 << 30 << all << true;
    // A 410 px strip: one column of six is too low for them and two are too narrow, so later windows
    // cover part of the others, never the main window.
    QTest::newRow("1024x768, all") << QSize(1024, 768) << 0 << 0 << all << false;
}

void TestPlacement::tilesEveryWindow() {
    QFETCH(QSize, screen);
    QFETCH(int, panel);
    QFETCH(int, titleBar);
    QFETCH(QStringList, open);
    QFETCH(bool, clear);
    const QRect available(0, 0, screen.width(), screen.height() - panel);
    const QRect main(0, 0, m_main.width(), m_main.height() + titleBar);  // at the left edge
    const QRect strip = TileStrip(main, available);
    QCOMPARE(strip, QRect(main.width(), 0, screen.width() - main.width(), available.height()));
    // Each window wanting the whole strip: the cells alone bound them.
    QList<QSize> wanted, minimum;
    for (const QString& name : open) wanted << strip.size(), minimum << m_minimum.value(name) + QSize(0, titleBar);
    const QList<QRect> frames = TileArea(strip, wanted, minimum);
    QCOMPARE(frames.size(), open.size());
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QByteArray what = QStringLiteral("%1 at %2,%3 %4x%5").arg(open[i]).arg(frames[i].x()).arg(frames[i].y())
                                    .arg(frames[i].width()).arg(frames[i].height()).toUtf8();
        QVERIFY2(available.contains(frames[i]), what.constData());
        QVERIFY2(!frames[i].intersects(main), what.constData());  // the plot and the fields are all of it
        QVERIFY2(frames[i].width() >= minimum[i].width() && frames[i].height() >= minimum[i].height(), what.constData());
        for (qsizetype j = 0; j < i && clear; ++j) QVERIFY2(!frames[i].intersects(frames[j]), (what + " over " + open[j].toUtf8()).constData());
    }
    if (!clear) {  // the rows say so rightly: some pair overlaps
        bool overlap = false;
        for (qsizetype i = 0; i < frames.size(); ++i)
            for (qsizetype j = 0; j < i; ++j) overlap = overlap || frames[i].intersects(frames[j]);
        QVERIFY(overlap);
    }
    // A window alone has all it wants up to the strip.
    if (open.size() == 1) QCOMPARE(frames.first(), strip);
}

void TestPlacement::tilesBesideTheMainWindow() {
    QWidget anchor;
    anchor.resize(300, 200);
    anchor.move(250, 40);
    anchor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&anchor));
    const QRect screen = anchor.screen()->availableGeometry();
    if (screen != QRect(0, 0, 800, 800)) QSKIP("the rows are worked out for an 800 x 800 screen");
    std::array<QWidget, 4> windows;
    for (QWidget& w : windows) w.setMinimumSize(100, 100);
    const auto open = [&](int i) {
        PlaceBesideOn(&windows[i], &anchor, QSize(400, 300), Side::Right);
        windows[i].show();
        return QTest::qWaitForWindowExposed(&windows[i]);
    };
    // Frames: the window's size and the decorations the platform adds (px).
    const QSize d = anchor.frameGeometry().size() - anchor.size();
    const int left = 300 + d.width(), width = 400 + d.width(), third = 800 / 3;
    // The first: the main window to the top left corner, the window beside it as it wants.
    QVERIFY(open(0));
    QCOMPARE(anchor.frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(windows[0].frameGeometry(), QRect(left, 0, width, 300 + d.height()));
    // Two fit one over the other (a column of 400 px high cells shows more than two columns).
    QVERIFY(open(1));
    QCOMPARE(windows[0].frameGeometry(), QRect(left, 0, width, 300 + d.height()));
    QCOMPARE(windows[1].frameGeometry(), QRect(left, 400, width, 300 + d.height()));
    // Three: 266 px high cells show 3 x 404 x 266 px², more than 248 x 304 in two columns.
    QVERIFY(open(2));
    for (int i = 0; i < 3; ++i) QCOMPARE(windows[i].frameGeometry(), QRect(left, third * i, width, third));
    // One the person moved keeps its place; the others tile without it.
    windows[1].move(320, 390);
    QVERIFY(open(3));
    QCOMPARE(windows[1].frameGeometry().topLeft(), QPoint(320, 390));
    for (const auto& [i, cell] : {std::pair{0, 0}, {2, 1}, {3, 2}})
        QCOMPARE(windows[i].frameGeometry(), QRect(left, third * cell, width, third));
    QCOMPARE(anchor.frameGeometry().topLeft(), QPoint(0, 0));
}

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
    QTest::addColumn<int>("characters");  // of the text that makes it grow
    // The anchor is 300 px wide and the window opens 200 px wide beside it.
    QTest::newRow("a longer text: room beside the main window") << 250 << 50;
    QTest::newRow("a text wider than the room: on the screen all the same") << 0 << 85;
}

void TestPlacement::aWindowThatGrowsStaysOnTheScreen() {
    QFETCH(int, anchorLeft);
    QFETCH(int, characters);
    QWidget anchor;
    anchor.resize(300, 200);
    anchor.move(anchorLeft, 0);
    anchor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&anchor));
    const QRect screen = anchor.screen()->availableGeometry();
    QWidget window;
    auto* label = new QLabel(QStringLiteral("x"));
    (new QVBoxLayout(&window))->addWidget(label);
    PlaceBesideOn(&window, &anchor, QSize(200, 150), Side::Right);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.frameGeometry().left(), anchor.frameGeometry().right() + 1);
    label->setText(QString(characters, QLatin1Char('x')));  // the window grows to show it whole
    const int grown = window.layout()->totalMinimumSize().width();
    QVERIFY(grown > 200);
    QTRY_COMPARE(window.width(), grown);
    QTRY_VERIFY(screen.contains(window.frameGeometry()));
    const bool room = anchor.frameGeometry().width() + window.frameGeometry().width() <= screen.width();
    QCOMPARE(window.frameGeometry().intersects(anchor.frameGeometry()), !room);
}

QTEST_MAIN(TestPlacement)
#include "tst_placement.moc"
