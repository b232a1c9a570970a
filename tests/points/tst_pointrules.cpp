// The point table's rules without the window: entry checks, request texts,
// the file, the viewport layout and the scrolling that shows a row.

#include "drive/numtext.h"
#include "drive/points/pointfile.h"
#include "points/pointlayout.h"
#include "drive/points/pointrules.h"
#include "namedpipe.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstPointRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryCheck_data();
    void entryCheck();
    void tblw_data();
    void tblw();
    void file();
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
    QTest::newRow("travel 2500000") << 1 << "2500000" << " 2000000";
    QTest::newRow("travel -2500000") << 1 << "-2500000" << "-2000000";
    QTest::newRow("travel 0 not dashed") << 1 << "0" << " 0";
    QTest::newRow("abs/inc 5") << 0 << "5" << " 1";
    QTest::newRow("abs/inc x") << 0 << "x" << " 0";
    QTest::newRow("acc/dec 10000") << 3 << "10000" << " 9999";
}

void TstPointRules::entryCheck()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QCOMPARE(CheckPointEntry(column, typed), shown);
    QCOMPARE(CheckPointEntry(column, shown), shown);  // leaving the field again changes nothing
}

void TstPointRules::tblw_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("text");
    QTest::newRow("point 31") << 31 << QStringList{" 0", " 10000", "----", " 500"} << "TBLW;1F;0;2710;0;1F4;";
    QTest::newRow("travel -500") << 2 << QStringList{"0", "-500", "1", "1"} << "TBLW;2;0;FFFFFE0C;1;1;";
    QTest::newRow("half to even") << 10 << QStringList{" .4", "2.5", "3.5", "-2.5"} << "TBLW;A;0;2;4;FFFFFFFE;";
    QTest::newRow("beyond 32 bits held") << 0 << QStringList{"x", "99999999999", "-99999999999", "12abc"}
                                         << "TBLW;0;0;7FFFFFFF;80000000;C;";
}

void TstPointRules::tblw()
{
    QFETCH(int, point);
    QFETCH(QStringList, texts);
    QFETCH(QString, text);
    QCOMPARE(TblwText(point, {texts[0], texts[1], texts[2], texts[3]}), text);
    // A saved file holds the same numbers as the drive receives.
    PointTexts grid;
    std::copy(texts.cbegin(), texts.cend(), grid.begin());
    const PointData data = PointDataFromTexts(grid);
    QString fromData = QStringLiteral("TBLW;") + HexText(point) + QLatin1Char(';');
    for (int c = 0; c < PointColumns; ++c) fromData += HexText(data[c]) + QLatin1Char(';');
    QCOMPARE(fromData, text);
}

void TstPointRules::file()
{
    // All initial texts (0, 0, 1, 1), point 5 travel -1, point 9 speed 0.
    QByteArray bytes = QByteArray("\0\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0", 16).repeated(32);
    bytes.replace(84, 4, "\xFF\xFF\xFF\xFF");
    bytes.replace(16 * 9 + 8, 4, QByteArray(4, '\0'));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ptt"));
    QCOMPARE(ReadPointFile(path).status, PointFileRead::Status::Failed);  // no such file
    const NamedPipe pipe(dir.filePath(QStringLiteral("pipe.ptt")));  // refused unopened
    QCOMPARE(ReadPointFile(dir.filePath(QStringLiteral("pipe.ptt"))).status, PointFileRead::Status::WrongLength);
    QVERIFY(pipe.made() && !pipe.opened());
    for (int length : {511, 513, 512}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes.leftJustified(length, '\0', true)) == length);
        f.close();
        QCOMPARE(ReadPointFile(path).status, length == 512 ? PointFileRead::Status::Ok : PointFileRead::Status::WrongLength);
    }
    const PointData data = ReadPointFile(path).data;
    const PointTexts texts = PointDataToTexts(data);
    QCOMPARE(texts[4 * 5 + 1], QStringLiteral("-1"));
    QCOMPARE(texts[4 * 9 + 2], QStringLiteral("----"));
    QCOMPARE(texts[4 * 31 + 3], QStringLiteral(" 1"));
    QCOMPARE(EncodePointFile(data), bytes);
}

void TstPointRules::layout_data()
{
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<int>("viewport");
    QTest::addColumn<bool>("scrollOn");
    QTest::addColumn<int>("cmdTop");
    QTest::addColumn<int>("largeStep");  // -1: unchanged
    // The button strip is 495 high.
    QTest::newRow("load size") << 4935 << 3240 << true << 3840 << 2880;
    QTest::newRow("minimum") << 3135 << 1440 << true << 2040 << 1080;
    QTest::newRow("all rows fit exactly") << 13470 << 11775 << true << 12375 << 11415;
    QTest::newRow("taller than the rows") << 13471 << 11775 << false << 12376 << 11415;
    QTest::newRow("nothing left") << 1000 << 1 << true << -95 << -1;
}

void TstPointRules::layout()
{
    QFETCH(int, windowHeight);
    QFETCH(int, viewport);
    QFETCH(bool, scrollOn);
    QFETCH(int, cmdTop);
    QFETCH(int, largeStep);
    const TblLayout l = LayoutTblMain(windowHeight, 495);
    QCOMPARE(l.viewportHeight, viewport);
    QCOMPARE(l.scrollOn, scrollOn);
    QCOMPARE(l.scrollMax, 11775 - viewport);
    QCOMPARE(l.cmdTop, cmdTop);
    QCOMPARE(l.largeStep.value_or(-1), largeStep);
}

void TstPointRules::showPointRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("viewport");
    QTest::addColumn<int>("result");
    QTest::newRow("row 20 from the top") << 20 << 0 << 3240 << 7920 - 3240;
    QTest::newRow("back to row 0") << 0 << 4680 << 3240 << 0;
    QTest::newRow("last row held to max") << 31 << 0 << 3240 << 11775 - 3240;
    QTest::newRow("row at top edge stays") << 10 << 3600 << 3240 << 3600;
    QTest::newRow("scroll bar off") << 31 << 0 << 11775 << 0;
}

void TstPointRules::showPointRow()
{
    QFETCH(int, row);
    QFETCH(int, value);
    QFETCH(int, viewport);
    QFETCH(int, result);
    QCOMPARE(ShowPointRowValue(row, value, viewport, 11775 - viewport), result);
}

QTEST_GUILESS_MAIN(TstPointRules)
#include "tst_pointrules.moc"
