// The help window: every page in both languages, with a title, each link leading to a page and an
// anchor that exist, the same anchors in both languages, and the window in each language showing
// its own pages and following a link.

#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

#include "app/uilanguage.h"
#include "help/helpwindow.h"

using namespace kelvora::ui;

namespace kelvora::ui {

// The file name of the page shown, without its anchor.
struct HelpWindowTestAccess {
    static QString currentPage(const HelpWindow& window) { return window.currentPage(); }
};

}  // namespace kelvora::ui

namespace {

QString PageText(const QString& folder, const QString& page) {
    QFile file(folder + QLatin1Char('/') + page);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Matches(const QString& text, const QString& pattern) {
    QStringList found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext()) found << it.next().captured(1);
    return found;
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void pagesLinksAndAnchors_data();
    void pagesLinksAndAnchors();
    void windowInEachLanguage_data();
    void windowInEachLanguage();
};

void HelpTest::pagesLinksAndAnchors_data() {
    QTest::addColumn<QString>("page");
    for (const QString& page : HelpWindow::pageNames()) QTest::newRow(qPrintable(page)) << page;
}

void HelpTest::pagesLinksAndAnchors() {
    QFETCH(QString, page);
    QStringList anchors[2];
    int i = 0;
    for (const QString& folder : {QStringLiteral(":/help/ja"), QStringLiteral(":/help/en")}) {
        const QString text = PageText(folder, page);
        QVERIFY2(!text.isEmpty(), qPrintable(folder + QLatin1Char('/') + page + QStringLiteral(" is missing")));
        QVERIFY(!HelpWindow::pageTitle(folder, page).isEmpty());
        for (const QString& link : Matches(text, QStringLiteral("href=\"([^\"]+)\""))) {
            const QString target = link.section(QLatin1Char('#'), 0, 0);
            const QString anchor = link.section(QLatin1Char('#'), 1);
            QVERIFY2(HelpWindow::pageNames().contains(target), qPrintable(page + QStringLiteral(" links to ") + link));
            if (!anchor.isEmpty())
                QVERIFY2(PageText(folder, target).contains(QStringLiteral("name=\"%1\"").arg(anchor)),
                         qPrintable(page + QStringLiteral(" links to a missing anchor ") + link));
        }
        anchors[i++] = Matches(text, QStringLiteral("name=\"([^\"]+)\""));
    }
    // Both languages' pages hold the same sections, so a link means the same in each.
    QCOMPARE(anchors[0], anchors[1]);
}

void HelpTest::windowInEachLanguage_data() {
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("contents");
    QTest::newRow("Japanese") << QByteArray("ja_JP.UTF-8") << QStringLiteral("Kelvora — ヘルプ") << QStringLiteral("目次");
    QTest::newRow("English") << QByteArray("en_US.UTF-8") << QStringLiteral("Kelvora — Help") << QStringLiteral("Contents");
}

void HelpTest::windowInEachLanguage() {
    QFETCH(QByteArray, lang);
    QFETCH(QString, title);
    QFETCH(QString, contents);
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", lang);
    InstallUiTranslation();
    HelpWindow window;
    QCOMPARE(window.windowTitle(), title);
    auto* list = window.findChild<QListWidget*>(QStringLiteral("HelpPages"));
    QVERIFY(list);
    QCOMPARE(list->count(), HelpWindow::pageNames().size());
    QCOMPARE(list->item(0)->text(), contents);
    QCOMPARE(HelpWindowTestAccess::currentPage(window), QStringLiteral("contents.html"));
    // A click in the list shows that page, and a page shown by a link selects its list entry.
    list->setCurrentRow(3);
    QCOMPARE(HelpWindowTestAccess::currentPage(window), QStringLiteral("operators.html"));
    window.showPage(QStringLiteral("charts.html"));
    QCOMPARE(list->currentRow(), 4);
    auto* browser = window.findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
    QVERIFY(browser->toPlainText().contains(HelpWindow::pageTitle(HelpWindow::pageFolder(), QStringLiteral("charts.html"))));
}

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
