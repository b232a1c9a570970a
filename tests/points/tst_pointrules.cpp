#include "points/pointfile.h"
#include "points/pointlayout.h"
#include "points/pointrules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Values = std::array<qint32, PointColumns>;
Q_DECLARE_METATYPE(Values)

class TstPointRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryCheck_data();
    void entryCheck();
    void cellValue_data();
    void cellValue();
    void cellText_data();
    void cellText();
    void gridTextsAreSentAndShown();
    void tblw_data();
    void tblw();
    void tblr_data();
    void tblr();

    void fileBytes_data();
    void fileBytes();
    void fileDecode();
    void fileLength_data();
    void fileLength();
    void fileRoundTrip();
    void saveCutsLongerFile();
    void failedSaveKeepsOldFile();
    void unreadableFile();

    void layout_data();
    void layout();
    void showPointRow_data();
    void showPointRow();
};

void TstPointRules::entryCheck_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("speed 0") << 2 << "0" << "----";
    QTest::newRow("speed 3000") << 2 << "3000" << " 2500";
    QTest::newRow("speed -1 held to 0") << 2 << "-1" << "----";
    QTest::newRow("speed 0.4 kept") << 2 << "0.4" << " .4";
    QTest::newRow("speed junk") << 2 << "abc" << "----";
    QTest::newRow("speed ---- again") << 2 << "----" << "----";
    QTest::newRow("speed 2500") << 2 << "2500" << " 2500";
    QTest::newRow("travel 2500000") << 1 << "2500000" << " 2000000";
    QTest::newRow("travel -12") << 1 << "-12" << "-12";
    QTest::newRow("travel -2500000") << 1 << "-2500000" << "-2000000";
    QTest::newRow("travel 0 not dashed") << 1 << "0" << " 0";
    QTest::newRow("travel beyond 32 bits") << 1 << "99999999999" << " 2000000";
    QTest::newRow("abs/inc 5") << 0 << "5" << " 1";
    QTest::newRow("abs/inc x") << 0 << "x" << " 0";
    QTest::newRow("abs/inc -3") << 0 << "-3" << " 0";
    QTest::newRow("acc/dec 10000") << 3 << "10000" << " 9999";
    QTest::newRow("acc/dec 0") << 3 << "0" << "----";
    QTest::newRow("acc/dec 500") << 3 << " 500" << " 500";
}

void TstPointRules::entryCheck()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QCOMPARE(CheckPointEntry(column, typed), shown);
    // Leaving the field again changes nothing.
    QCOMPARE(CheckPointEntry(column, shown), shown);
}

void TstPointRules::cellValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("value");
    QTest::newRow("dashes") << "----" << 0;
    QTest::newRow("blank zero") << " 0" << 0;
    QTest::newRow("negative") << "-500" << -500;
    QTest::newRow("fraction rounds down") << " .4" << 0;
    QTest::newRow("half to even 2.5") << "2.5" << 2;
    QTest::newRow("half to even 3.5") << "3.5" << 4;
    QTest::newRow("beyond 32 bits held") << "99999999999" << std::numeric_limits<qint32>::max();
    QTest::newRow("below 32 bits held") << "-99999999999" << std::numeric_limits<qint32>::min();
    QTest::newRow("junk") << "x" << 0;
    QTest::newRow("leading number") << "12abc" << 12;
}

void TstPointRules::cellValue()
{
    QFETCH(QString, text);
    QFETCH(qint32, value);
    QCOMPARE(PointCellValue(text), value);
}

void TstPointRules::cellText_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("abs/inc 0") << 0 << 0 << " 0";
    QTest::newRow("abs/inc 1") << 0 << 1 << " 1";
    QTest::newRow("travel 0") << 1 << 0 << " 0";
    QTest::newRow("travel -123880") << 1 << -123880 << "-123880";
    QTest::newRow("speed 0") << 2 << 0 << "----";
    QTest::newRow("speed 3000 unchecked") << 2 << 3000 << " 3000";
    QTest::newRow("acc/dec 0") << 3 << 0 << "----";
    QTest::newRow("acc/dec -1") << 3 << -1 << "-1";
    QTest::newRow("travel minimum") << 1 << std::numeric_limits<qint32>::min() << "-2147483648";
}

void TstPointRules::cellText()
{
    QFETCH(int, column);
    QFETCH(qint32, value);
    QFETCH(QString, text);
    QCOMPARE(PointCellText(column, value), text);
}

void TstPointRules::gridTextsAreSentAndShown()
{
    // Element 4 * point + column, both ways.
    PointData data{};
    for (int i = 0; i < int(data.size()); ++i) data[i] = (i % 4 == 1) ? -i : i;
    data[4 * 0 + 2] = 0;
    const PointTexts texts = PointDataToTexts(data);
    QCOMPARE(texts[4 * 0 + 2], QStringLiteral("----"));
    QCOMPARE(texts[4 * 5 + 1], QStringLiteral("-21"));
    QCOMPARE(texts[4 * 31 + 3], QStringLiteral(" 127"));
    QCOMPARE(PointDataFromTexts(texts), data);
}

void TstPointRules::tblw_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QString>("text");
    QTest::newRow("point 31") << 31 << Values{0, 10000, 0, 500} << "TBLW;1F;0;2710;0;1F4;";
    QTest::newRow("travel -500") << 2 << Values{0, -500, 1, 1} << "TBLW;2;0;FFFFFE0C;1;1;";
    QTest::newRow("negatives") << 31 << Values{1, -5, 100, 20} << "TBLW;1F;1;FFFFFFFB;64;14;";
    QTest::newRow("limits") << 10 << Values{0, std::numeric_limits<qint32>::max(), 0, 0}
                            << "TBLW;A;0;7FFFFFFF;0;0;";
}

void TstPointRules::tblw()
{
    QFETCH(int, point);
    QFETCH(Values, values);
    QFETCH(QString, text);
    QCOMPARE(TblwText(point, values), text);
}

void TstPointRules::tblr_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "TBLR;0";
    QTest::newRow("9") << 9 << "TBLR;9";
    QTest::newRow("10") << 10 << "TBLR;A";
    QTest::newRow("31") << 31 << "TBLR;1F";
}

void TstPointRules::tblr()
{
    QFETCH(int, point);
    QFETCH(QString, text);
    QCOMPARE(TblrText(point), text);
}

void TstPointRules::fileBytes_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("point 0 speed") << 8 << QByteArray("\x01\x00\x00\x00", 4);
    QTest::newRow("point 5 travel") << 84 << QByteArray("\xFF\xFF\xFF\xFF", 4);
    QTest::newRow("point 7 travel 300000") << 16 * 7 + 4 << QByteArray("\xE0\x93\x04\x00", 4);
    QTest::newRow("point 31 acc/dec") << 508 << QByteArray("\x01\x00\x00\x00", 4);
}

void TstPointRules::fileBytes()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    PointTexts texts;
    for (int r = 0; r < PointCount; ++r) {
        texts[4 * r] = QStringLiteral("0");
        texts[4 * r + 1] = r == 5 ? QStringLiteral("-1") : r == 7 ? QStringLiteral("300000") : QStringLiteral("0");
        texts[4 * r + 2] = QStringLiteral("1");
        texts[4 * r + 3] = QStringLiteral("1");
    }
    const QByteArray file = EncodePointFile(PointDataFromTexts(texts));
    QCOMPARE(file.size(), 512);
    QCOMPARE(file.mid(offset, 4), bytes);
}

void TstPointRules::fileDecode()
{
    // All initial texts: 32 records of 0, 0, 1, 1.
    QByteArray record("\0\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0", 16);
    QByteArray file = record.repeated(32);
    file.replace(84, 4, "\xFF\xFF\xFF\xFF");  // point 5 travel -1
    file.replace(16 * 9 + 8, 4, QByteArray(4, '\0'));  // point 9 speed 0
    const std::optional<PointData> data = DecodePointFile(file);
    QVERIFY(data);
    const PointTexts texts = PointDataToTexts(*data);
    QCOMPARE(texts[4 * 5 + 1], QStringLiteral("-1"));
    QCOMPARE(texts[4 * 9 + 2], QStringLiteral("----"));
    QCOMPARE(texts[4 * 0 + 0], QStringLiteral(" 0"));
    QCOMPARE(texts[4 * 31 + 3], QStringLiteral(" 1"));
}

void TstPointRules::fileLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("status");
    QTest::newRow("empty") << 0 << int(PointFileRead::Status::WrongLength);
    QTest::newRow("511") << 511 << int(PointFileRead::Status::WrongLength);
    QTest::newRow("512") << 512 << int(PointFileRead::Status::Ok);
    QTest::newRow("513") << 513 << int(PointFileRead::Status::WrongLength);
    QTest::newRow("parameter file") << 240 << int(PointFileRead::Status::WrongLength);
}

void TstPointRules::fileLength()
{
    QFETCH(int, length);
    QFETCH(int, status);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ptt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(length, '\x07'));
    f.close();
    const PointFileRead read = ReadPointFile(path);
    QCOMPARE(int(read.status), status);
    QCOMPARE(DecodePointFile(QByteArray(length, '\x07')).has_value(), length == 512);
    if (length == 512) QCOMPARE(read.data[127], qint32(0x07070707));
}

void TstPointRules::fileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ptt"));
    PointData data{};
    for (int i = 0; i < int(data.size()); ++i) data[i] = qint32(i * 0x01020304u) ^ (i % 3 == 0 ? -1 : 0);
    QVERIFY(WritePointFile(path, data));
    QCOMPARE(QFileInfo(path).size(), 512);
    const PointFileRead read = ReadPointFile(path);
    QCOMPARE(int(read.status), int(PointFileRead::Status::Ok));
    QCOMPARE(read.data, data);
}

void TstPointRules::saveCutsLongerFile()
{
    // Saving over a longer file leaves a file that can be opened again.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ptt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2000, 'x'));
    f.close();
    QVERIFY(WritePointFile(path, PointData{}));
    QCOMPARE(QFileInfo(path).size(), 512);
}

void TstPointRules::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ptt"));
    PointData good{};
    good[5] = -1;
    QVERIFY(WritePointFile(path, good));
    // A folder in the way of the new file: nothing can be written there, and
    // the reason is given.
    const QString blocked = dir.filePath(QStringLiteral("sub.ptt"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.ptt")));
    QString reason;
    QVERIFY(!WritePointFile(blocked, PointData{}, &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(!WritePointFile(dir.filePath(QStringLiteral("missing/t.ptt")), PointData{}, &reason));
    QCOMPARE(ReadPointFile(path).data, good);
}

void TstPointRules::unreadableFile()
{
    QTemporaryDir dir;
    QCOMPARE(int(ReadPointFile(dir.filePath(QStringLiteral("none.ptt"))).status), int(PointFileRead::Status::Failed));
    QCOMPARE(int(ReadPointFile(dir.path()).status), int(PointFileRead::Status::Failed));
}

void TstPointRules::layout_data()
{
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<int>("cmdHeight");
    QTest::addColumn<int>("viewport");
    QTest::addColumn<bool>("scrollOn");
    QTest::addColumn<int>("scrollMax");
    QTest::addColumn<int>("cmdTop");
    QTest::addColumn<int>("largeStep");  // -1: unchanged
    QTest::newRow("load size") << 4935 << 495 << 3240 << true << 8535 << 3840 << 2880;
    QTest::newRow("minimum") << 3135 << 495 << 1440 << true << 10335 << 2040 << 1080;
    QTest::newRow("all rows fit exactly") << 13470 << 495 << 11775 << true << 0 << 12375 << 11415;
    QTest::newRow("taller than the rows") << 13471 << 495 << 11775 << false << 0 << 12376 << 11415;
    QTest::newRow("maximised tall") << 20000 << 495 << 11775 << false << 0 << 18905 << 11415;
    QTest::newRow("viewport one row") << 2055 << 495 << 360 << true << 11415 << 960 << -1;
    QTest::newRow("nothing left") << 1000 << 495 << 1 << true << 11774 << -95 << -1;
}

void TstPointRules::layout()
{
    QFETCH(int, windowHeight);
    QFETCH(int, cmdHeight);
    QFETCH(int, viewport);
    QFETCH(bool, scrollOn);
    QFETCH(int, scrollMax);
    QFETCH(int, cmdTop);
    QFETCH(int, largeStep);
    const TblLayout l = LayoutTblMain(windowHeight, cmdHeight);
    QCOMPARE(l.viewportHeight, viewport);
    QCOMPARE(l.scrollOn, scrollOn);
    QCOMPARE(l.scrollMax, scrollMax);
    QCOMPARE(l.cmdTop, cmdTop);
    QCOMPARE(l.largeStep.value_or(-1), largeStep);
}

void TstPointRules::showPointRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("viewport");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("result");
    QTest::newRow("row 20 from the top") << 20 << 0 << 3240 << 8535 << 7920 - 3240;
    QTest::newRow("back to row 0") << 0 << 4680 << 3240 << 8535 << 0;
    QTest::newRow("visible row stays") << 3 << 0 << 3240 << 8535 << 0;
    QTest::newRow("last row held to max") << 31 << 0 << 3240 << 8535 << 8535;
    QTest::newRow("row above comes to top") << 10 << 5000 << 3240 << 8535 << 3600;
    QTest::newRow("row at top edge stays") << 10 << 3600 << 3240 << 8535 << 3600;
    QTest::newRow("scroll bar off") << 31 << 0 << 11775 << 0 << 0;
    QTest::newRow("tiny viewport") << 5 << 0 << 1 << 11774 << 2519;
}

void TstPointRules::showPointRow()
{
    QFETCH(int, row);
    QFETCH(int, value);
    QFETCH(int, viewport);
    QFETCH(int, max);
    QFETCH(int, result);
    QCOMPARE(ShowPointRowValue(row, value, viewport, max), result);
}

QTEST_GUILESS_MAIN(TstPointRules)
#include "tst_pointrules.moc"
