#include "drive/numtext.h"

#include <QTest>

class TstNumText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valText_data();
    void valText();
    void strText_data();
    void strText();
    void hexEntryToLong_data();
    void hexEntryToLong();
    void rounding_data();
    void rounding();
};

void TstNumText::valText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("leading number") << "12abc" << 12.0;
    QTest::newRow("negative fraction") << "-3.5" << -3.5;
    QTest::newRow("D exponent") << "2D2" << 200.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "7e" << 7.0;
    QTest::newRow("tab and line feed") << "\t1\n5" << 15.0;
    QTest::newRow("carriage return stops") << "1\r5" << 1.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("two signs") << "--5" << 0.0;
    QTest::newRow("hex, lower case") << "&hff" << 255.0;
    QTest::newRow("hex four digits is 16 bit") << "&HFFFF" << -1.0;
    QTest::newRow("hex five digits is 32 bit") << "&H0FFFF" << 65535.0;
    QTest::newRow("hex stops at non digit") << "&H1G" << 1.0;
    QTest::newRow("hex too long") << "&H123456789" << 0.0;
    QTest::newRow("octal 16 bit") << "&O177777" << -1.0;
    QTest::newRow("ampersand alone") << "&5" << 0.0;
    QTest::newRow("huge exponent held") << "1e999" << std::numeric_limits<double>::max();
    QTest::newRow("long exponent with zeros") << "1e0000002" << 100.0;
}

void TstNumText::valText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(ValText(text), value);
}

void TstNumText::strText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hex");  // the hexadecimal form of a whole number
    QTest::newRow("zero") << 0.0 << " 0" << "0";
    QTest::newRow("-500") << -500.0 << "-500" << "FFFFFE0C";
    QTest::newRow("int32 min") << -2147483648.0 << "-2147483648" << "80000000";
    QTest::newRow("-0.5") << -0.5 << "-.5" << "";
    QTest::newRow("0.0001") << 0.0001 << " .0001" << "";
    QTest::newRow("small uses exponent") << 0.00001 << " 1E-05" << "";
    QTest::newRow("large uses exponent") << 1e15 << " 1E+15" << "";
    QTest::newRow("rounded to 15 digits") << 0.1 + 0.2 << " .3" << "";
}

void TstNumText::strText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QString, hex);
    QCOMPARE(StrText(value), text);
    if (!hex.isEmpty()) QCOMPARE(HexText(int(value)), hex);
}

void TstNumText::hexEntryToLong_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("FFFFFFFF") << "FFFFFFFF" << -1;
    QTest::newRow("counts by last eight") << "1FFFFFFFF" << -1;
    QTest::newRow("behind 0000 up to 65535") << "FFFF" << 65535;
    QTest::newRow("20a") << "20a" << 522;
    QTest::newRow("junk in last four is negative") << "XYZ" << -1;
    QTest::newRow("32-bit stops at junk") << "1234567G" << 0x1234567;
    QTest::newRow("blanks count among the eight") << "12 34 567" << 0x234567;
    QTest::newRow("32-bit without digits") << "G2345678" << 0;
}

void TstNumText::hexEntryToLong()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(HexEntryToLong(text), value);
}

void TstNumText::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("nearest");
    QTest::addColumn<int>("down");
    QTest::newRow("2.5") << 2.5 << 2 << 2;
    QTest::newRow("3.5") << 3.5 << 4 << 3;
    QTest::newRow("-2.5") << -2.5 << -2 << -3;
    QTest::newRow("-0.4") << -0.4 << 0 << -1;
    QTest::newRow("held above") << 1e12 << std::numeric_limits<int>::max() << std::numeric_limits<int>::max();
    QTest::newRow("held below") << -1e12 << std::numeric_limits<int>::min() << std::numeric_limits<int>::min();
}

void TstNumText::rounding()
{
    QFETCH(double, value);
    QFETCH(int, nearest);
    QFETCH(int, down);
    QCOMPARE(RoundToLong(value), nearest);
    QCOMPARE(FloorToLong(value), down);
    QCOMPARE(BeyondLong(value), std::fabs(value) > 3e9);
}

QTEST_GUILESS_MAIN(TstNumText)
#include "tst_numtext.moc"
