#include "link/frames.h"

#include <QTest>

class TstFrames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hexFieldToLong_data();
    void hexFieldToLong();
    void splitReply_data();
    void splitReply();
    void framedRequest();
};

void TstFrames::hexFieldToLong_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::newRow("FFFF is 16-bit") << QByteArray("FFFF") << -1;
    QTest::newRow("0FFFF") << QByteArray("0FFFF") << 65535;
    QTest::newRow("FFFFFFFF") << QByteArray("FFFFFFFF") << -1;
    QTest::newRow("nine characters") << QByteArray("123456789") << 0;
    QTest::newRow("stops at G") << QByteArray("12G4") << 18;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("8000") << QByteArray("8000") << -32768;
    QTest::newRow("7FFF") << QByteArray("7FFF") << 32767;
    QTest::newRow("3E8") << QByteArray("3E8") << 1000;
    QTest::newRow("08000") << QByteArray("08000") << 32768;
    QTest::newRow("0000FFFF") << QByteArray("0000FFFF") << 65535;
    QTest::newRow("FFFE1C18") << QByteArray("FFFE1C18") << -123880;
    QTest::newRow("80000000") << QByteArray("80000000") << std::numeric_limits<int>::min();
    QTest::newRow("lower case") << QByteArray("ff") << 255;
    QTest::newRow("blanks skipped") << QByteArray(" 1 2") << 0x12;
    QTest::newRow("junk behind 0000") << QByteArray("0G123") << 0;
    QTest::newRow("junk in 32 bits") << QByteArray("1234G678") << 0x1234;
}

void TstFrames::hexFieldToLong()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QCOMPARE(HexFieldToLong(field), value);
}

void TstFrames::splitReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QList<int>>("fields");
    QTest::newRow("status") << QByteArray("\x02S;8000;0;3;123\x04") << "S" << QList<int>{-32768, 0, 3, 291};
    QTest::newRow("W") << QByteArray("\x02W;12;FFFF\x04") << "W" << QList<int>{18, -1};
    QTest::newRow("trailing semicolon adds empty field") << QByteArray("\x02W;1;\x04") << "W" << QList<int>{1, 0};
    QTest::newRow("end by ETX") << QByteArray("\x02VV;1\x03") << "VV" << QList<int>{1};
    QTest::newRow("keyword only") << QByteArray("\x02" "FLASH\x04") << "FLASH" << QList<int>{};
    QTest::newRow("empty keyword") << QByteArray("\x02\x04") << "" << QList<int>{};
    QTest::newRow("control character ends fields") << QByteArray("\x02T;1;2\x01;3\x04") << "T" << QList<int>{1, 2};
    // Positions 0 to 256 are kept; the fields beyond are dropped, not wrapped in.
    QByteArray longReply("\x02T");
    QList<int> kept;
    for (int i = 1; i <= 300; ++i) longReply += ';' + QByteArray::number(i, 16);
    for (int i = 1; i <= ReplyFieldCount; ++i) kept << i;
    QTest::newRow("300 fields") << longReply + '\x04' << "T" << kept;
}

void TstFrames::splitReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, keyword);
    QFETCH(QList<int>, fields);
    LinkState s;
    s.ReplyField.fill(77);
    s.RecvBuf = reply;
    SplitReply(s);
    QCOMPARE(s.CmdName, keyword);
    for (int i = 0; i < fields.size(); ++i) QCOMPARE(s.ReplyField[i], fields[i]);
    // The positions a reply does not carry keep what earlier replies left.
    if (fields.size() < ReplyFieldCount) QCOMPARE(s.ReplyField[fields.size()], 77);
    QCOMPARE(s.MoreFields, quint8(0));
}

void TstFrames::framedRequest()
{
    const QByteArray r2 = FrameCmd("R;2");
    QCOMPARE(r2, QByteArray("\x02R;2\x04"));  // exactly five characters
    // The time-out reads the keyword of the request in flight.
    int pos = 2;
    quint8 more = 1;
    QCOMPARE(NextField(r2, pos, more), QByteArrayView("R"));
    QCOMPARE(more, quint8(1));
    pos = 2;
    QCOMPARE(NextField(FrameCmd("S"), pos, more), QByteArrayView("S"));
    QCOMPARE(more, quint8(0));
    // A text without end character ends its last field.
    pos = 2;
    more = 1;
    QCOMPARE(NextField(QByteArray("\x02" "ABC"), pos, more), QByteArrayView("ABC"));
    QCOMPARE(more, quint8(0));
}

QTEST_GUILESS_MAIN(TstFrames)
#include "tst_frames.moc"
