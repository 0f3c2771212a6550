// The text a cell shows under its number format: general numbers, decimals, separators, currency, percent, the
// date and time styles of the designer's menus, truth values and errors.
#include "cell/NumberFormat.h"

#include <QtTest>

using namespace cell;

namespace {
CellFormat fmt(int numType, int decimals = -1, int separator = 0, int currency = 0)
{
    CellFormat f;
    f.numType = numType;
    f.decimals = decimals;
    f.separator = separator;
    f.currency = currency;
    return f;
}
// 1997-03-04 13:30:12
const double kSample = toDateSerial(QDateTime(QDate(1997, 3, 4), QTime(13, 30, 12)));
} // namespace

class TestNumberFormat : public QObject {
    Q_OBJECT
private slots:
    void general_data();
    void general();
    void narrowGeneral_data();
    void narrowGeneral();
    void numbers_data();
    void numbers();
    void dateStyles_data();
    void dateStyles();
    void timeStyles_data();
    void timeStyles();
    void dateEdges();
    void otherValues();
};

void TestNumberFormat::general_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 42.0 << "42";
    QTest::newRow("negative") << -7.5 << "-7.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("no binary noise") << 0.1 + 0.2 << "0.3";
    QTest::newRow("pass rate") << 6.0 / 7.0 << "0.857142857";
    QTest::newRow("long integer") << 123456789012.0 << "123456789012";
    QTest::newRow("measured") << 12.345 << "12.345";
    QTest::newRow("tiny rounds away") << -0.00000000001 << "-1E-11";
    QTest::newRow("large") << 1.5e20 << "1.5E+20";
    QTest::newRow("small") << 0.0000123456 << "1.23456E-05";
    QTest::newRow("round up carries") << 0.99999999999 << "1";
}

void TestNumberFormat::general()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(displayText(Value(value), CellFormat{}), text);
}

void TestNumberFormat::narrowGeneral_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("text");
    QTest::newRow("fits") << 12.5 << 8 << "12.5";
    QTest::newRow("fewer decimals") << 6.0 / 7.0 << 8 << "0.857143";
    QTest::newRow("negative") << -6.0 / 7.0 << 6 << "-0.857";
    QTest::newRow("rounds up") << 9.9999 << 4 << "10";
    QTest::newRow("integer part only") << 12345.678 << 5 << "12346";
    QTest::newRow("integer to scientific") << 123456789.0 << 6 << "1E+08";
    QTest::newRow("scientific with decimals") << 123456789.0 << 7 << "1.2E+08";
    QTest::newRow("nothing fits") << -123456789.0 << 4 << "-1E+08";   // the caller shows ####
    QTest::newRow("small loses nothing") << 0.0000123 << 8 << "1.23E-05";
    QTest::newRow("tiny fraction") << 0.00012 << 6 << "0.0001";
    QTest::newRow("tiny fraction narrower") << 0.00012 << 5 << "1E-04";
}

void TestNumberFormat::narrowGeneral()
{
    QFETCH(double, value);
    QFETCH(int, maxChars);
    QFETCH(QString, text);
    QCOMPARE(generalNumberText(value, maxChars), text);
}

void TestNumberFormat::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("numType");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("separator");
    QTest::addColumn<int>("currency");
    QTest::addColumn<QString>("text");
    QTest::newRow("separator as needed") << 1234567.5 << 1 << -1 << 2 << 0 << "1,234,567.5";
    QTest::newRow("separator negative") << -1234.0 << 1 << -1 << 2 << 0 << "-1,234";
    QTest::newRow("fixed decimals") << 3.14159 << 1 << 2 << 0 << 0 << "3.14";
    QTest::newRow("decimals pad") << 2.0 << 1 << 3 << 0 << 0 << "2.000";
    QTest::newRow("half away from zero") << 2.675 << 1 << 2 << 0 << 0 << "2.68";
    QTest::newRow("negative half") << -2.5 << 1 << 0 << 0 << 0 << "-3";
    QTest::newRow("rounds to zero no sign") << -0.001 << 1 << 2 << 0 << 0 << "0.00";
    QTest::newRow("yuan") << 1234.5 << 2 << -1 << 0 << 2 << "¥1,234.50";
    QTest::newRow("dollar") << 0.5 << 2 << -1 << 0 << 3 << "$0.50";
    QTest::newRow("euro negative") << -99.999 << 2 << -1 << 0 << 4 << "-€100.00";
    QTest::newRow("currency decimals 0") << 1999.5 << 2 << 0 << 0 << 2 << "¥2,000";
    QTest::newRow("percent") << 0.857142857 << 5 << -1 << 0 << 0 << "85.71%";
    QTest::newRow("percent whole") << 0.9 << 5 << -1 << 0 << 0 << "90%";
    QTest::newRow("percent 1 decimal") << 0.8567 << 5 << 1 << 0 << 0 << "85.7%";
    QTest::newRow("general with decimals") << 1.0 / 3 << 0 << 2 << 0 << 0 << "0.33";
}

void TestNumberFormat::numbers()
{
    QFETCH(double, value);
    QFETCH(int, numType);
    QFETCH(int, decimals);
    QFETCH(int, separator);
    QFETCH(int, currency);
    QFETCH(QString, text);
    QCOMPARE(displayText(Value(value), fmt(numType, decimals, separator, currency)), text);
}

void TestNumberFormat::dateStyles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    const char* expected[] = {"1997-3-4",   "1997-03-04 13:30:12", "1997-3-4 1:30 PM", "1997-3-4 13:30",
                              "97-3-4",     "3-4-97",              "03-04-97",         "3-4",
                              "一九九七年三月四日", "一九九七年三月", "三月四日",      "1997年3月4日",
                              "1997年3月",  "3月4日",              "星期二",           "二",
                              "4-Mar",      "4-Mar-97",            "04-Mar-97",        "Mar-97",
                              "March-97"};
    for (int k = 1; k <= 21; ++k)
        QTest::addRow("style %d", k) << k << QString::fromUtf8(expected[k - 1]);
    QTest::newRow("style 0 falls back") << 0 << "1997-3-4";
}

void TestNumberFormat::dateStyles()
{
    QFETCH(int, style);
    QFETCH(QString, text);
    CellFormat f = fmt(NumDate);
    f.dateStyle = style;
    QCOMPARE(displayText(Value(kSample), f), text);
}

void TestNumberFormat::timeStyles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    const char* expected[] = {"13:30",     "1:30 PM",         "13:30:12",     "1:30:12 PM",   "13时30分",
                              "13时30分12秒", "下午1时30分", "下午1时30分12秒", "十三时三十分", "下午一时三十分"};
    for (int k = 1; k <= 10; ++k)
        QTest::addRow("style %d", k) << k << QString::fromUtf8(expected[k - 1]);
}

void TestNumberFormat::timeStyles()
{
    QFETCH(int, style);
    QFETCH(QString, text);
    CellFormat f = fmt(NumTime);
    f.timeStyle = style;
    // The date part of the serial does not matter to a time style.
    QCOMPARE(displayText(Value(kSample), f), text);
    QCOMPARE(displayText(Value(kSample - 35000), f), text);
}

void TestNumberFormat::dateEdges()
{
    CellFormat d = fmt(NumDate);
    d.dateStyle = 9;
    // 2000 and double-digit days in Chinese numerals.
    QCOMPARE(displayText(Value(toDateSerial(QDateTime(QDate(2008, 12, 20), QTime()))), d),
             QStringLiteral("二〇〇八年十二月二十日"));
    d.dateStyle = 15;
    QCOMPARE(displayText(Value(toDateSerial(QDateTime(QDate(2024, 6, 30), QTime()))), d), QStringLiteral("星期日"));
    // The epoch and the serial of 1900-01-01.
    d.dateStyle = 1;
    QCOMPARE(displayText(Value(0.0), d), QStringLiteral("1899-12-30"));
    QCOMPARE(displayText(Value(2.0), d), QStringLiteral("1900-1-1"));
    // 23:59:59.7 rounds into the next day rather than showing 24:00.
    d.dateStyle = 2;
    QCOMPARE(displayText(Value(1.0 - 0.3 / 86400), d), QStringLiteral("1899-12-31 00:00:00"));
    CellFormat t = fmt(NumTime);
    t.timeStyle = 2;
    QCOMPARE(displayText(Value(0.0), t), QStringLiteral("12:00 AM"));
    t.timeStyle = 9;
    QCOMPARE(displayText(Value(9.0 / 24 + 5.0 / 1440), t), QStringLiteral("九时五分"));
    // A number no date can show keeps its value visible.
    QCOMPARE(displayText(Value(-5.0), d), QStringLiteral("-5"));
    QCOMPARE(displayText(Value(1e12), d), QStringLiteral("1000000000000"));
    // Round trip of serials through QDateTime.
    QDateTime dt(QDate(2026, 12, 10), QTime(8, 15, 30));
    QCOMPARE(fromDateSerial(toDateSerial(dt)), dt);
}

void TestNumberFormat::otherValues()
{
    CellFormat pct = fmt(NumPercent);
    QCOMPARE(displayText(Value(QStringLiteral("合格")), pct), QStringLiteral("合格"));
    QCOMPARE(displayText(Value(true), pct), QStringLiteral("TRUE"));
    QCOMPARE(displayText(Value(false), CellFormat{}), QStringLiteral("FALSE"));
    QCOMPARE(displayText(Value(ErrorValue::Div0), CellFormat{}), QStringLiteral("#DIV/0!"));
    QCOMPARE(displayText(Value(Empty{}), pct), QString());
    Cell c;
    c.value = 0.25;
    c.format = pct;
    QCOMPARE(displayText(c), QStringLiteral("25%"));
}

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
