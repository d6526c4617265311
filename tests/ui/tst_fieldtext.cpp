// Field texts: how integers and doubles are written into the dialog's edits and read back.

#include <clocale>

#include <QLocale>
#include <QtTest>

#include "mainwindow/fieldtext.h"

using namespace kelvora::ui;

class TestFieldText : public QObject {
    Q_OBJECT

private slots:
    void parseInt_data();
    void parseInt();
    void parseDouble_data();
    void parseDouble();
    void formatDouble_data();
    void formatDouble();
    void formatInt();
    void userLocaleIsIgnored();
};

void TestFieldText::parseInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("20") << "20" << true << 20;
    QTest::newRow("10000") << "10000" << true << 10000;
    QTest::newRow("0") << "0" << true << 0;
    QTest::newRow("negative") << "-68" << true << -68;
    QTest::newRow("spaces around") << "  20\t" << true << 20;
    QTest::newRow("plus sign") << "+20" << true << 20;
    QTest::newRow("leading zeros") << "0020" << true << 20;
    QTest::newRow("int max") << "2147483647" << true << 2147483647;
    QTest::newRow("int min") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("beyond int") << "2147483648" << false << 0;
    QTest::newRow("far beyond int") << "99999999999999999999" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("only spaces") << "   " << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("digits then letters") << "12abc" << false << 0;
    QTest::newRow("space inside") << "1 2" << false << 0;
    QTest::newRow("decimal point") << "20.0" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("hex") << "0x14" << false << 0;
    QTest::newRow("two signs") << "+-5" << false << 0;
    QTest::newRow("sign alone") << "+" << false << 0;
    QTest::newRow("full-width digits") << "２０" << false << 0;
    QTest::newRow("digit grouping") << "10,000" << false << 0;
}

void TestFieldText::parseInt() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int parsed = -12345;
    QCOMPARE(ParseIntText(text, &parsed), ok);
    QCOMPARE(parsed, ok ? value : -12345);  // untouched on failure
}

void TestFieldText::parseDouble_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("0.5") << "0.5" << true << 0.5;
    QTest::newRow("1") << "1" << true << 1.0;
    QTest::newRow("0") << "0" << true << 0.0;
    QTest::newRow("0.001") << "0.001" << true << 0.001;
    QTest::newRow("exponent") << "1e-3" << true << 0.001;
    QTest::newRow("capital exponent") << "5E-1" << true << 0.5;
    QTest::newRow("no leading digit") << ".5" << true << 0.5;
    QTest::newRow("no trailing digit") << "5." << true << 5.0;
    QTest::newRow("negative") << "-0.1" << true << -0.1;
    QTest::newRow("plus sign") << "+0.25" << true << 0.25;
    QTest::newRow("spaces around") << " 0.1  " << true << 0.1;
    QTest::newRow("largest double") << "1.7976931348623157e308" << true << 1.7976931348623157e308;
    QTest::newRow("beyond double") << "1e999" << false << 0.0;
    QTest::newRow("negative beyond double") << "-1e999" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("NaN") << "NaN" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("-inf") << "-inf" << false << 0.0;
    QTest::newRow("infinity") << "infinity" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("digits then letters") << "12abc" << false << 0.0;
    QTest::newRow("decimal comma") << "0,5" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("hex float") << "0x1p-1" << false << 0.0;
    QTest::newRow("two points") << "0.5.1" << false << 0.0;
    QTest::newRow("point alone") << "." << false << 0.0;
}

void TestFieldText::parseDouble() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double parsed = -12345.0;
    QCOMPARE(ParseDoubleText(text, &parsed), ok);
    QCOMPARE(parsed, ok ? value : -12345.0);
}

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
    // What is written reads back as the same text.
    double back = 0.0;
    QVERIFY(ParseDoubleText(text, &back));
    QCOMPARE(FormatDoubleText(back), text);
}

void TestFieldText::formatInt() {
    QCOMPARE(FormatIntText(20), QStringLiteral("20"));
    QCOMPARE(FormatIntText(-180), QStringLiteral("-180"));
    QCOMPARE(FormatIntText(10000), QStringLiteral("10000"));  // no digit grouping
}

void TestFieldText::userLocaleIsIgnored() {
    // A locale with a decimal comma changes neither reading nor writing.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // where installed; the C library must not matter
    double value = 0.0;
    const bool pointRead = ParseDoubleText(QStringLiteral("0.5"), &value);
    const bool commaRead = ParseDoubleText(QStringLiteral("0,5"), &value);
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
