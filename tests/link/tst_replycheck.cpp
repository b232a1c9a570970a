// What a reply must look like before it becomes a value, and the marks the
// terminal driver puts on a garbled character: the replies the simulated
// drive sends pass; every way a changed character can bend one fails it.

#include "drive/link/frames.h"
#include "drive/link/linemarks.h"
#include "drive/link/replycheck.h"
#include "drive/link/request.h"

#include <QTest>

namespace {

Request asked(const char *text, bool byJob = false)
{
    Request r;
    r.framed = FrameCmd(QByteArrayView(text));
    r.owned = byJob;
    return r;
}

QByteArray framed(const QByteArray &text) { return StxChar + text + EotChar; }

const char *const Block2 = "R;2;3E8;FFFF;0000FFFF;FFFFFFFF;7FFFFFFF;A;B;C;D;E";

// A capture block: its number, then sixteen torque and speed pairs.
QByteArray captureBlock(const QByteArray &block, const QByteArray &sample = "D8F1")
{
    QByteArray t = "T;" + block;
    for (int j = 0; j < 16; ++j) t += ";" + sample + ";14";
    return t;
}

}  // namespace

class TstReplyCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shapes_data();
    void shapes();
    void checkedRequests_data();
    void checkedRequests();
    void lineMarks_data();
    void lineMarks();
};

void TstReplyCheck::shapes_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("byJob");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("problem");  // contained in what is said; empty: taken
    const QByteArray block2(Block2);
    // As the drive sends them.
    QTest::newRow("R") << QByteArray("R;2") << false << block2 << QString();
    QTest::newRow("R lower case") << QByteArray("R;2") << false << block2.toLower().replace("r;", "R;") << QString();
    QTest::newRow("TBLR") << QByteArray("TBLR;1F") << false << QByteArray("TBLR;1;FFFE1C18;0;0") << QString();
    QTest::newRow("W alone") << QByteArray("W;0;3E8;64;12C;64;0;0;0;0;0;0") << false << QByteArray("W") << QString();
    QTest::newRow("W with its block") << QByteArray("W;3;0;0;0;0;0;0;0;0;0;0") << false << QByteArray("W;3") << QString();
    QTest::newRow("TBLW with its point") << QByteArray("TBLW;1F;1;FFFFFFFB;64;14;") << false << QByteArray("TBLW;1F") << QString();
    QTest::newRow("FLASH") << QByteArray("FLASH") << false << QByteArray("FLASH") << QString();
    QTest::newRow("a refusal") << QByteArray("W;0;1;2") << false << QByteArray("ERR;3") << QString();
    QTest::newRow("capture armed, no block yet") << QByteArray("T;83;F;0") << false << QByteArray("T;0") << QString();
    QTest::newRow("capture block") << QByteArray("T;83;F;0") << false << captureBlock("8") << QString();
    QTest::newRow("status to a job") << QByteArray("S") << true << QByteArray("S;80008000;0;3;123;1") << QString();
    QTest::newRow("alarms to a job") << QByteArray("ALM") << true << QByteArray("ALM;0;1;2;3;4;5;6;7;8") << QString();
    QTest::newRow("monitor item to a job") << QByteArray("MON;E") << true << QByteArray("MON;E;00000010") << QString();
    // A character changed on the line.
    QTest::newRow("keyword") << QByteArray("R;2") << false << QByteArray(Block2).replace(0, 1, "Q") << "keyword \"Q\"";
    QTest::newRow("block number") << QByteArray("R;2") << false << QByteArray(Block2).replace(2, 1, "3")
                                  << "block 3 where block 2 was asked";
    QTest::newRow("a separator lost") << QByteArray("R;2") << false << QByteArray(Block2).replace(7, 1, "0")
                                      << "10 fields where R carries 11";
    QTest::newRow("a separator gained") << QByteArray("R;2") << false << QByteArray(Block2).replace(5, 1, ";")
                                        << "12 fields where R carries 11";
    QTest::newRow("not hexadecimal") << QByteArray("R;2") << false << QByteArray(Block2).replace(8, 1, "G")
                                     << "field 3 is not hexadecimal";
    QTest::newRow("a blank") << QByteArray("R;2") << false << QByteArray(Block2).replace(8, 1, " ")
                             << "field 3 is not hexadecimal";
    QTest::newRow("empty field") << QByteArray("TBLR;0") << false << QByteArray("TBLR;;0;0;0") << "field 1 is empty";
    QTest::newRow("nine digits") << QByteArray("TBLR;0") << false << QByteArray("TBLR;123456789;0;0;0")
                                 << "field 1 has 9 digits";
    QTest::newRow("marked by the line") << QByteArray("TBLR;0") << false << QByteArray("TBLR;1;\xff;0;0")
                                        << "the line marked character 8";
    QTest::newRow("W for another block") << QByteArray("W;3;0;0;0;0;0;0;0;0;0;0") << false << QByteArray("W;2")
                                         << "block 2 where block 3 was asked";
    QTest::newRow("TBLW for another point") << QByteArray("TBLW;A;0;0;0;0;") << false << QByteArray("TBLW;B")
                                            << "point 11 where point 10 was asked";
    QTest::newRow("FLASH with a field") << QByteArray("FLASH") << false << QByteArray("FLASH;0")
                                        << "1 field where FLASH carries 0";
    QTest::newRow("a refusal bent") << QByteArray("FLASH") << false << QByteArray("ERR;3;1") << "where ERR carries 1";
    QTest::newRow("capture block short") << QByteArray("T;83;F;0") << false << captureBlock("2").chopped(3)
                                         << "32 fields where T carries 1 or 33";
    QTest::newRow("capture block number bent") << QByteArray("T;83;F;0") << false << captureBlock("9")
                                               << "block 9 where 1 to 8 come";
    QTest::newRow("capture sample beyond 16 bits") << QByteArray("T;83;F;0") << false << captureBlock("1", "12345")
                                                   << "field 2 does not fit 16 bits";
    QTest::newRow("a block claimed without samples") << QByteArray("T;83;F;0") << false << QByteArray("T;5")
                                                     << "1 field where T carries 1 or 33";
    QTest::newRow("status short") << QByteArray("S") << true << QByteArray("S;80008000;0;3;123") << "4 fields where S carries 5";
    QTest::newRow("alarms long") << QByteArray("ALM") << true << QByteArray("ALM;0;1;2;3;4;5;6;7;8;9")
                                 << "10 fields where ALM carries 9";
    QTest::newRow("IO short") << QByteArray("IO") << true << QByteArray("IO") << "0 fields where IO carries 1";
    QTest::newRow("another monitor item") << QByteArray("MON;4") << true << QByteArray("MON;0;5DC")
                                          << "item 0 where item 4 was asked";
}

void TstReplyCheck::shapes()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, byJob);
    QFETCH(QByteArray, reply);
    QFETCH(QString, problem);
    const Request r = asked(request.constData(), byJob);
    QVERIFY(RepliesChecked(r));
    const QString said = ReplyShapeProblem(r, framed(reply));
    if (problem.isEmpty()) QVERIFY2(said.isEmpty(), qPrintable(said));
    else QVERIFY2(said.contains(problem), qPrintable(said));
    // Ended by code 3 alike.
    QCOMPARE(ReplyShapeProblem(r, StxChar + reply + EtxChar), said);
}

// The windows' polls, the operation commands and a capture not running are
// taken as they come; the transfers, an armed capture and every job's status
// requests are checked.
void TstReplyCheck::checkedRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("byJob");
    QTest::addColumn<bool>("checked");
    for (const char *poll : {"S", "ALM", "IO", "MON;0", "VV;FFFF0000;FFFF0000;"}) {
        QTest::addRow("%s polled", poll) << QByteArray(poll) << false << false;
        QTest::addRow("%s by a job", poll) << QByteArray(poll) << true << (QByteArrayView(poll) != "VV;FFFF0000;FFFF0000;");
    }
    for (const char *command : {"SVON", "JOGOFF", "ARST", "PNT;05", "TRST"})
        QTest::addRow("%s", command) << QByteArray(command) << false << false;
    for (const char *transfer : {"R;0", "W;5;0;0;0;0;0;0;0;0;0;0", "TBLR;1F", "TBLW;0;0;0;0;0;", "FLASH"})
        QTest::addRow("%s", transfer) << QByteArray(transfer) << false << true;
    QTest::newRow("T idle") << QByteArray("T;3;F;0") << false << false;
    QTest::newRow("T running") << QByteArray("T;EA;1E;4") << false << true;
}

void TstReplyCheck::checkedRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, byJob);
    QFETCH(bool, checked);
    const Request r = asked(request.constData(), byJob);
    QCOMPARE(RepliesChecked(r), checked);
    // Unchecked: anything is taken, a reply the line garbled too.
    if (!checked) QVERIFY(ReplyShapeProblem(r, framed("X;\xff;;123456789")).isEmpty());
}

// The driver's marks, cut anywhere between deliveries: a marked character
// becomes one 0xFF, a doubled 0xFF one 0xFF, the rest passes.
void TstReplyCheck::lineMarks_data()
{
    QTest::addColumn<QList<QByteArray>>("deliveries");
    QTest::addColumn<QByteArray>("decoded");
    QTest::addColumn<int>("marked");
    const QByteArray plain("\x02R;0;1\x04");
    QTest::newRow("nothing marked") << QList<QByteArray>{plain} << plain << 0;
    QTest::newRow("a parity error") << QList<QByteArray>{QByteArray("\x02R;\xff\x00\x31;1\x04", 9)}
                                    << QByteArray("\x02R;\xff;1\x04") << 1;
    QTest::newRow("a marked end character") << QList<QByteArray>{QByteArray("\x02S\xff\x00\x04", 5)}
                                            << QByteArray("\x02S\xff") << 1;
    QTest::newRow("a break") << QList<QByteArray>{QByteArray("\x02\xff\x00\x00S\x04", 6)} << QByteArray("\x02\xffS\x04") << 1;
    QTest::newRow("a 0xFF received") << QList<QByteArray>{"\x02S;\xff\xff\x04"} << QByteArray("\x02S;\xff\x04") << 0;
    QTest::newRow("cut after the escape") << QList<QByteArray>{"\x02S;\xff", QByteArray("\x00\x41\x04", 3)}
                                          << QByteArray("\x02S;\xff\x04") << 1;
    QTest::newRow("cut inside the mark") << QList<QByteArray>{QByteArray("\x02S;\xff\x00", 5), "A\x04"}
                                         << QByteArray("\x02S;\xff\x04") << 1;
    QTest::newRow("cut inside a doubled 0xFF") << QList<QByteArray>{"\xff", "\xff;1"} << QByteArray("\xff;1") << 0;
    QTest::newRow("two marks and a 0xFF") << QList<QByteArray>{QByteArray("\xff\x00" "a\xff\xff\xff\x00" "b", 8)}
                                          << QByteArray("\xff\xff\xff") << 2;
}

void TstReplyCheck::lineMarks()
{
    QFETCH(QList<QByteArray>, deliveries);
    QFETCH(QByteArray, decoded);
    QFETCH(int, marked);
    LineMarkDecoder d;
    QByteArray out;
    for (QByteArray b : deliveries) {
        d.decode(b);
        out += b;
    }
    QCOMPARE(out, decoded);
    QCOMPARE(d.marked(), marked);
}

QTEST_GUILESS_MAIN(TstReplyCheck)
#include "tst_replycheck.moc"
