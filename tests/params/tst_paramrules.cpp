// The rules of the parameter editor that need no window: the catalogue
// against the drive's own list, the entry checks, field texts to values and
// back and to the write request, and the parameter file. Whole write requests
// are the window's test.

#include "drive/params/entrychecks.h"
#include "drive/params/paramcatalogue.h"
#include "drive/params/paramfile.h"
#include "drive/params/paramtext.h"
#include "drive/resources/strings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TstParamRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void catalogue_data();
    void catalogue();
    void catalogueEdges();
    void entryChecks_data();
    void entryChecks();
    void fieldValues_data();
    void fieldValues();
    void fileRecord();
};

void TstParamRules::catalogue_data()
{
    // The drive's catalogue, whole, in catalogue.json: every name, range and
    // help down to the last character (the typos, the blanks at line ends,
    // the invisible CR LF at the end of some names, the ideographic space),
    // and which entries are hexadecimal. The maker set has no range and no
    // help, and no string of its own under the user set's numbers.
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("help");
    QFile file(QFINDTESTDATA("catalogue.json"));
    QVERIFY2(file.open(QIODevice::ReadOnly), "catalogue.json not found");
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(file.readAll(), &error).array();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(rows.size(), ParamCount);
    for (int k = 0; k < ParamCount; ++k) {
        const QJsonObject row = rows[k].toObject();
        QCOMPARE(row["k"].toInt(-1), k);
        QTest::addRow("%02d", k) << k << row["name"].toString() << row["hex"].toBool() << row["range"].toString()
                                 << row["help"].toString();
    }
}

void TstParamRules::catalogue()
{
    QFETCH(int, k);
    QFETCH(QString, name);
    QFETCH(bool, hex);
    QFETCH(QString, range);
    QFETCH(QString, help);
    QCOMPARE(ParamName(k), name);
    QCOMPARE(ParamSpokenName(k), QString(name).remove(QStringLiteral("\r\n")));
    QCOMPARE(ParamIsHex(k), hex);
    QCOMPARE(ParamRange(k), range);
    QCOMPARE(ParamHelp(k), help);
    QCOMPARE(LoadResString(600 + k), range);
    QCOMPARE(LoadResString(500 + k), help);
}

void TstParamRules::catalogueEdges()
{
    // The point table's column ranges, which follow the parameters' in the
    // string table, are held by the point table's entry checks.
    for (int k : {-1, 60}) QVERIFY(ParamName(k).isEmpty() && ParamHelp(k).isEmpty() && ParamRange(k).isEmpty());
}

void TstParamRules::entryChecks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("result");
    QTest::newRow("below minimum") << "5" << "10/9999" << false << " 10";
    QTest::newRow("rounds into range") << "2500.4" << "0/2500" << false << " 2500.4";
    QTest::newRow("rounds out of range") << "2501.5" << "0/2500" << false << " 2500";
    QTest::newRow("beyond 32 bits") << "99999999999" << "0/99999" << false << " 99999";
    QTest::newRow("hex lower case") << "20a" << "0/1023" << true << "20A";
    QTest::newRow("hex 400 held") << "400" << "0/1023" << true << "3FF";
    QTest::newRow("hex leading zeros") << "0003" << "0/3" << true << "3";
    QTest::newRow("hex 32-bit negative is below") << "FFFFFFFF" << "0/7" << true << "0";
}

void TstParamRules::entryChecks()
{
    QFETCH(QString, text);
    QFETCH(QString, range);
    QFETCH(bool, hex);
    QFETCH(QString, result);
    QCOMPARE(hex ? CheckRangeHex(text, range) : CheckRangeDec(text, range), result);
}

void TstParamRules::fieldValues_data()
{
    // What a file gets for a field's text, what a value read back shows, and
    // what a write request carries for the text (a field of range "10/4095").
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("wire");
    QTest::newRow("negative") << "-500" << false << -500 << "-500" << "FFFFFE0C";
    QTest::newRow("half to even down") << " 12.5" << false << 12 << " 12" << "C";
    QTest::newRow("half to even up") << " 13.5" << false << 14 << " 14" << "E";
    QTest::newRow("beyond 32 bits held") << "99999999999" << false << 2147483647 << " 2147483647" << "7FFFFFFF";
    QTest::newRow("hex lower case, sent as shown") << "20a" << true << 522 << "20A" << "20a";
    QTest::newRow("hex leading zeros kept") << "0003" << true << 3 << "3" << "0003";
    // Half-typed entries would break a request apart: sent as checked.
    QTest::newRow("hex with separator") << "1;2" << true << -1 << "FFFFFFFF" << "A";
    QTest::newRow("hex empty") << "" << true << 0 << "0" << "A";
    QTest::newRow("hex too long") << "123456789" << true << 0x23456789 << "23456789" << "FFF";
}

void TstParamRules::fieldValues()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    QFETCH(qint32, value);
    QFETCH(QString, shown);
    QFETCH(QString, wire);
    QCOMPARE(FieldValue(text, hex), value);
    QCOMPARE(FieldText(value, hex), shown);
    QCOMPARE(WireValue(text, hex, u"10/4095"), wire);
}

void TstParamRules::fileRecord()
{
    ParamValues values{};
    values[0] = 1000;
    values[1] = -2147483647 - 1;
    values[17] = -2000000;
    values[30] = 1023;
    values[59] = -1;
    QByteArray bytes(240, '\0');
    bytes.replace(0, 4, QByteArray::fromHex("E8030000"));
    bytes.replace(4, 4, QByteArray::fromHex("00000080"));
    bytes.replace(68, 4, QByteArray::fromHex("807BE1FF"));
    bytes.replace(120, 4, QByteArray::fromHex("FF030000"));
    bytes.replace(236, 4, QByteArray::fromHex("FFFFFFFF"));
    QCOMPARE(EncodeParamFile(values), bytes);
    QVERIFY(DecodeParamFile(bytes) == values);
    for (int length : {0, 239, 241}) QVERIFY2(!DecodeParamFile(QByteArray(length, '\x11')), qPrintable(QString::number(length)));
}

QTEST_MAIN(TstParamRules)
#include "tst_paramrules.moc"
