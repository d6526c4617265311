// Field texts: how integers and doubles are written into the dialog's edits, whatever the locale.

#include <clocale>

#include <QLocale>
#include <QtTest>

#include "mainwindow/fieldtext.h"
#include "session/numbers.h"

using namespace kelvora::ui;

class TestFieldText : public QObject {
    Q_OBJECT

private slots:
    void formatDouble_data();
    void formatDouble();
    void formatInt();
    void userLocaleIsIgnored();
};

void TestFieldText::formatDouble_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0.1") << 0.1 << "0.1";
    QTest::newRow("0.5") << 0.5 << "0.5";
    QTest::newRow("0") << 0.0 << "0";
    QTest::newRow("1") << 1.0 << "1";
    QTest::newRow("0.001") << 0.001 << "0.001";
    QTest::newRow("small") << 1e-5 << "1e-05";
    QTest::newRow("15 digits") << 1.0 / 3.0 << "0.333333333333333";
    QTest::newRow("error-like") << 1.0283047654239 << "1.0283047654239";
    QTest::newRow("large") << 123456789012345678.0 << "1.23456789012346e+17";
    QTest::newRow("negative") << -0.25 << "-0.25";
}

void TestFieldText::formatDouble() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(FormatDoubleText(value), text);
}

void TestFieldText::formatInt() {
    QCOMPARE(FormatIntText(20), QStringLiteral("20"));
    QCOMPARE(FormatIntText(-180), QStringLiteral("-180"));
    QCOMPARE(FormatIntText(10000), QStringLiteral("10000"));  // no digit grouping
}

void TestFieldText::userLocaleIsIgnored() {
    // A locale with a decimal comma changes neither reading (the shared parser) nor writing.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // where installed; the C library must not matter
    const bool pointRead = kelvora::session::ParseNumberField(kelvora::session::kCrossoverField, "0.5").has_value();
    const bool commaRead = kelvora::session::ParseNumberField(kelvora::session::kCrossoverField, "0,5").has_value();
    const QString written = FormatDoubleText(0.5);
    const QString grouped = FormatIntText(10000);
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(previous);
    QVERIFY(pointRead);
    QVERIFY(!commaRead);
    QCOMPARE(written, QStringLiteral("0.5"));
    QCOMPARE(grouped, QStringLiteral("10000"));
}

QTEST_MAIN(TestFieldText)
#include "tst_fieldtext.moc"
