#include "link/frames.h"

#include <QTest>

class TstFrames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hexFieldToLong_data();
    void hexFieldToLong();
    void splitReply_data();
    void splitReply();
    void fewerFieldsKeepOlderValues();
    void atMost257Fields();
    void nextFieldReadsKeywordOfFramedRequest();
    void frameCmd();
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
    QTest::newRow("trailing semicolon adds empty field")
        << QByteArray("\x02W;1;\x04") << "W" << QList<int>{1, 0};
    QTest::newRow("end by ETX") << QByteArray("\x02VV;1\x03") << "VV" << QList<int>{1};
    QTest::newRow("keyword only") << QByteArray("\x02" "FLASH\x04") << "FLASH" << QList<int>{};
    QTest::newRow("empty keyword") << QByteArray("\x02\x04") << "" << QList<int>{};
    QTest::newRow("control character ends fields")
        << QByteArray("\x02T;1;2\x01;3\x04") << "T" << QList<int>{1, 2};
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
    QCOMPARE(s.ReplyField[fields.size()], 77);  // untouched
    QCOMPARE(s.MoreFields, quint8(0));
}

void TstFrames::fewerFieldsKeepOlderValues()
{
    LinkState s;
    s.RecvBuf = QByteArray("\x02VV;1;2;3;4\x04");
    SplitReply(s);
    s.RecvBuf = QByteArray("\x02VV;9\x04");
    SplitReply(s);
    QCOMPARE(s.ReplyField[0], 9);
    QCOMPARE(s.ReplyField[1], 2);
    QCOMPARE(s.ReplyField[3], 4);
}

void TstFrames::atMost257Fields()
{
    LinkState s;
    QByteArray reply("\x02T");
    for (int i = 0; i < 300; ++i) reply += ';' + QByteArray::number(i + 1, 16);
    reply += '\x04';
    s.RecvBuf = reply;
    SplitReply(s);
    QCOMPARE(s.ReplyField[0], 1);
    QCOMPARE(s.ReplyField[256], 257);  // the fields beyond are dropped, not wrapped in
}

void TstFrames::nextFieldReadsKeywordOfFramedRequest()
{
    int pos = 2;
    quint8 more = 1;
    QCOMPARE(NextField(QByteArray("\x02R;2\x04"), pos, more), QByteArrayView("R"));
    QCOMPARE(more, quint8(1));
    pos = 2;
    QCOMPARE(NextField(QByteArray("\x02S\x04"), pos, more), QByteArrayView("S"));
    QCOMPARE(more, quint8(0));
    // A text without end character ends its last field.
    pos = 2;
    more = 1;
    QCOMPARE(NextField(QByteArray("\x02" "ABC"), pos, more), QByteArrayView("ABC"));
    QCOMPARE(more, quint8(0));
}

void TstFrames::frameCmd()
{
    QCOMPARE(FrameCmd("R;2"), QByteArray("\x02R;2\x04"));
    QCOMPARE(FrameCmd("R;2").size(), 5);
}

QTEST_GUILESS_MAIN(TstFrames)
#include "tst_frames.moc"
