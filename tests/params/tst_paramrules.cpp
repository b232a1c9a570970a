// The rules of the parameter transfer and file: field texts to values and
// back, request texts, file records, and the help area's printing.

#include "params/helparea.h"
#include "params/paramfile.h"
#include "params/paramtext.h"

#include <QTest>

class TstParamRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldValue_data();
    void fieldValue();
    void fieldText_data();
    void fieldText();
    void wireValue_data();
    void wireValue();
    void readRequest();
    void writeRequest_data();
    void writeRequest();
    void fileBytes_data();
    void fileBytes();
    void fileLength_data();
    void fileLength();
    void fileRoundTrip();
    void helpAreaPrintsBelow();
};

void TstParamRules::fieldValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<qint32>("value");
    QTest::newRow("decimal") << " 1000" << false << 1000;
    QTest::newRow("negative") << "-2000000" << false << -2000000;
    QTest::newRow("half to even down") << " 12.5" << false << 12;
    QTest::newRow("half to even up") << " 13.5" << false << 14;
    QTest::newRow("junk") << "abc" << false << 0;
    QTest::newRow("beyond 32 bits held") << "99999999999" << false << 2147483647;
    QTest::newRow("hex") << "3FF" << true << 1023;
    QTest::newRow("hex lower case") << "20a" << true << 522;
    QTest::newRow("hex all ones") << "FFFFFFFF" << true << -1;
    QTest::newRow("hex read as hex, not decimal") << "10" << true << 16;
    QTest::newRow("decimal read as decimal") << "10" << false << 10;
}

void TstParamRules::fieldValue()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    QFETCH(qint32, value);
    QCOMPARE(FieldValue(text, hex), value);
}

void TstParamRules::fieldText_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("text");
    QTest::newRow("decimal") << 1000 << false << " 1000";
    QTest::newRow("decimal -1") << -1 << false << "-1";
    QTest::newRow("decimal 65535") << 65535 << false << " 65535";
    QTest::newRow("hex 522") << 522 << true << "20A";
    QTest::newRow("hex 0") << 0 << true << "0";
    QTest::newRow("hex -1") << -1 << true << "FFFFFFFF";
}

void TstParamRules::fieldText()
{
    QFETCH(qint32, value);
    QFETCH(bool, hex);
    QFETCH(QString, text);
    QCOMPARE(FieldText(value, hex), text);
}

void TstParamRules::wireValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("wire");
    QTest::newRow("decimal") << " 1000" << false << "0/99999" << "3E8";
    QTest::newRow("negative") << "-500" << false << "-99999/99999" << "FFFFFE0C";
    QTest::newRow("12.5 rounds down") << " 12.5" << false << "0/9999" << "C";
    QTest::newRow("13.5 rounds up") << " 13.5" << false << "0/9999" << "E";
    QTest::newRow("decimal junk") << "abc" << false << "0/9999" << "0";
    QTest::newRow("decimal held to 32 bits") << "99999999999" << false << "" << "7FFFFFFF";
    QTest::newRow("decimal range not applied") << " 5" << false << "10/9999" << "5";
    QTest::newRow("hex as shown") << "20A" << true << "0/1023" << "20A";
    QTest::newRow("hex leading zeros kept") << "0003" << true << "0/3" << "0003";
    QTest::newRow("hex lower case kept") << "3ff" << true << "0/1023" << "3ff";
    QTest::newRow("hex out of range as shown") << "FFF" << true << "0/1023" << "FFF";
    QTest::newRow("hex with separator") << "1;2" << true << "0/1023" << "0";
    QTest::newRow("hex empty") << "" << true << "0/1023" << "0";
    QTest::newRow("hex too long") << "123456789" << true << "0/4095" << "FFF";
    QTest::newRow("hex with blank") << " 7" << true << "0/7" << "0";
}

void TstParamRules::wireValue()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    QFETCH(QString, range);
    QFETCH(QString, wire);
    QCOMPARE(WireValue(text, hex, range), wire);
}

void TstParamRules::readRequest()
{
    QStringList texts;
    for (int b = 0; b < 6; ++b) texts << ReadRequestText(b);
    QCOMPARE(texts, (QStringList{"R;0", "R;1", "R;2", "R;3", "R;4", "R;5"}));
}

void TstParamRules::writeRequest_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("hexMask");  // "H" where the field is hexadecimal
    QTest::addColumn<QString>("request");
    QTest::newRow("block 0") << 0
                             << QStringList{" 1000", " 100", " 300", " 100", " 0", " 0", " 0", " 0", " 0", " 0"}
                             << "----------" << "W;0;3E8;64;12C;64;0;0;0;0;0;0";
    QTest::newRow("block 3 mixed") << 3 << QStringList{"20A", " 2500", " 100", " 1", "0", "1", "1", "3", "FFF", "7"}
                                   << "H---HHHHHH" << "W;3;20A;9C4;64;1;0;1;1;3;FFF;7";
    QTest::newRow("block 5 fractions") << 5
                                       << QStringList{" 12.5", " 13.5", "-1", " 0", "x", " 0", " 0", " 1", " 2", " 3"}
                                       << "----------" << "W;5;C;E;FFFFFFFF;0;0;0;0;1;2;3";
}

void TstParamRules::writeRequest()
{
    QFETCH(int, block);
    QFETCH(QStringList, texts);
    QFETCH(QString, hexMask);
    QFETCH(QString, request);
    QList<WriteField> fields;
    for (int i = 0; i < texts.size(); ++i) fields.append({texts[i], hexMask[i] == u'H', QStringLiteral("0/4095")});
    QCOMPARE(WriteRequestText(block, fields), request);
}

void TstParamRules::fileBytes_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("00 = 1000") << 0 << 1000 << QByteArray::fromHex("E8030000");
    QTest::newRow("17 = -2000000") << 17 << -2000000 << QByteArray::fromHex("807BE1FF");
    QTest::newRow("30 = 3FF") << 30 << 1023 << QByteArray::fromHex("FF030000");
    QTest::newRow("59 = -1") << 59 << -1 << QByteArray::fromHex("FFFFFFFF");
}

void TstParamRules::fileBytes()
{
    QFETCH(int, k);
    QFETCH(qint32, value);
    QFETCH(QByteArray, bytes);
    ParamValues values{};
    values[k] = value;
    const QByteArray file = EncodeParamFile(values);
    QCOMPARE(file.size(), 240);
    QCOMPARE(file.mid(4 * k, 4), bytes);
    QCOMPARE(file.count('\0'), 240 - bytes.count() + bytes.count('\0'));
}

void TstParamRules::fileLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty") << 0 << false;
    QTest::newRow("239") << 239 << false;
    QTest::newRow("240") << 240 << true;
    QTest::newRow("241") << 241 << false;
    QTest::newRow("point table file") << 512 << false;
    QTest::newRow("waveform file") << 808 << false;
}

void TstParamRules::fileLength()
{
    QFETCH(int, length);
    QFETCH(bool, accepted);
    QCOMPARE(DecodeParamFile(QByteArray(length, '\x11')).has_value(), accepted);
}

void TstParamRules::fileRoundTrip()
{
    ParamValues values{};
    for (int k = 0; k < 60; ++k) values[k] = (k % 2 ? -1 : 1) * (k * 123457 + k);
    values[59] = -2147483647 - 1;
    const std::optional<ParamValues> back = DecodeParamFile(EncodeParamFile(values));
    QVERIFY(back);
    QVERIFY(*back == values);
}

void TstParamRules::helpAreaPrintsBelow()
{
    HelpArea area;
    area.Print(QStringLiteral("  first\n second"));
    QCOMPARE(area.currentLine(), 2);
    area.Print(QStringLiteral("third"));
    QCOMPARE(area.printed(), (QStringList{"  first\n second", "third"}));
    QCOMPARE(area.currentLine(), 3);
    QCOMPARE(area.accessibleDescription(), QStringLiteral("  first\n second\nthird"));
    area.Cls();
    QVERIFY(area.printed().isEmpty());
    QCOMPARE(area.currentLine(), 0);
    area.Print(QStringLiteral("line\n"));
    QCOMPARE(area.currentLine(), 2);  // a closing line feed leaves an empty line
}

QTEST_MAIN(TstParamRules)
#include "tst_paramrules.moc"
