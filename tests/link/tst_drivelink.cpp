// The link: frames, the receive steps, the one slot, the poll, the time-out
// and the port, driven through the in-memory port, without a window: the
// tick is the link's own; the status strip has its test among the windows.

#include "linktestutil.h"

#include <QTest>

// The link, driven through the in-memory port.
struct Rig : LinkRig {
    QString tag = QStringLiteral("1");
    QStringList decoded;  // each reply as its decoder saw it; "*" marks the catch-all
    QStringList chain;    // the requests the "R" decoder builds, one a reply
    int questions = 0;
    int portMessages = 0;
    int abandons = 0;

    Rig()
    {
        link.setActiveTagSource([this] { return tag; });
        for (const char *kw : {"S", "VV", "R", "W", "ERR", "IO", "ALM", "MON", "T"})
            link.setDecoder(QString::fromLatin1(kw), [this](const Reply &r) { seen(QString(), r); });
        link.setDecoder(QStringLiteral("R"), [this](const Reply &r) {
            seen(QString(), r);
            if (!chain.isEmpty()) link.setCommandText(chain.takeFirst());
        });
        link.setCatchAll([this](const Reply &r) { seen(QStringLiteral("*"), r); });
        link.setPollBuilder(QStringLiteral("2"), [this] { link.setCommand("VV;FFFF0000;FFFF0000;", "VV"); });
        link.setPollBuilder(QStringLiteral("4"), [this] { link.setCommand("MON;0", "MON"); });
        link.addAbandonHandler([this] { ++abandons; });
        QObject::connect(&link, &DriveLink::replyLost, &link, [this] { ++questions; });
        QObject::connect(&link, &DriveLink::portRefused, &link, [this] {
            ++portMessages;
            link.resumeOpening();  // the message read and the dialog left
        });
    }
    void seen(const QString &mark, const Reply &r)
    {
        decoded << mark + QString::fromLatin1(r.raw.mid(1, r.raw.size() - 2));
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) link.tick();
    }
    // Opens the port with the first tick and forgets the opening "S".
    void open()
    {
        tick();
        QCOMPARE(requests(port), QStringList{"S"});
        port.written.clear();
    }
    // Steps, one a string:
    //   "<TEXT" a framed reply at once, ".TEXT" one character at a time,
    //   "~BYTES" raw bytes ('{' the start character, '}' and '$' the two end
    //   characters), "flood" a megabyte after a start character;
    //   "tag T" the active window's tag (at first "1"), "cmd TEXT" a request
    //   into the slot, "chain TEXT" the next request of the "R" decoder;
    //   "tick N", "=N" N requests written so far;
    //   "begin OWNER" / "!begin OWNER" a transfer starts / is refused, "end";
    //   "word HEX" the status word is HEX;
    //   "offline N", "close" the port dialog closes the port, "vanish" the
    //   port goes away, "open STATUS" how the next openings end; "strip
    //   TEXT" what the link says of the port contains TEXT, "answer" /
    //   "answer No reply" whether the drive is said not to answer, "asked N"
    //   port messages so far, "dropped" the status word is clear and
    //   nothing waits in the slot.
    void run(const QStringList &steps)
    {
        for (const QString &s : steps) {
            const QString arg = s.section(QLatin1Char(' '), 1);
            if (s.startsWith(u'<')) reply(port, qPrintable(s.mid(1)));
            else if (s.startsWith(u'.')) replyByChar(port, qPrintable(s.mid(1)));
            else if (s.startsWith(u'~'))
                port.inject(s.mid(1).toLatin1().replace('{', StxChar).replace('}', EotChar).replace('$', EtxChar));
            else if (s.startsWith(u"cmd ")) link.setCommandText(arg);
            else if (s.startsWith(u"chain ")) chain << arg;
            else if (s.startsWith(u"tick ")) tick(arg.toInt());
            else if (s.startsWith(u'=')) QCOMPARE(port.written.size(), s.mid(1).toInt());
            else if (s.startsWith(u"begin ")) QVERIFY(link.beginTransfer(arg));
            else if (s.startsWith(u"!begin ")) QVERIFY(!link.beginTransfer(arg));
            else if (s == u"end") link.endTransfer();
            else if (s == u"flood") {  // a reply that never ends stays within its bound
                port.inject(QByteArray(1, StxChar) + QByteArray(1 << 20, 'A'));
                QVERIFY(link.state().RecvBuf.size() <= DriveLink::MaxReplyLength);
                QCOMPARE(link.state().InReply, quint8(0));
            }
            else if (s.startsWith(u"tag")) tag = arg;
            else if (s.startsWith(u"word ")) QCOMPARE(link.state().StatusWord, arg.toUInt(nullptr, 16));
            else if (s.startsWith(u"offline ")) settings.OfflineMode = qint16(arg.toInt());
            else if (s == u"close") link.closePort();
            else if (s == u"vanish") port.vanish(QStringLiteral("unplugged"));
            else if (s.startsWith(u"open ")) port.nextOpen = {OpenStatus(arg.toInt()), QStringLiteral("gone")};
            else if (s.startsWith(u"strip ")) QVERIFY(link.portStatus().contains(arg));
            else if (s.startsWith(u"answer")) QCOMPARE(link.noReply(), !arg.isEmpty());
            else if (s.startsWith(u"asked ")) QCOMPARE(portMessages, arg.toInt());
            else if (s == u"dropped") QVERIFY(link.state().StatusWord == 0 && link.state().PendingCmd.isEmpty());
            else QFAIL(qPrintable(QStringLiteral("unknown step ") + s));
        }
    }
};

class TstDriveLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hexFieldToLong_data();
    void hexFieldToLong();
    void splitReply_data();
    void splitReply();
    void exchange_data();
    void exchange();
    void timeout_data();
    void timeout();
    void opening_data();
    void opening();
    void receiveTakesRunsAsCharacters();
    void garbledReplies_data();
    void garbledReplies();
    void garbledWhileAsked();
};

void TstDriveLink::hexFieldToLong_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::newRow("FFFF is 16-bit") << QByteArray("FFFF") << -1;
    QTest::newRow("0FFFF") << QByteArray("0FFFF") << 65535;
    QTest::newRow("nine characters") << QByteArray("123456789") << 0;
    QTest::newRow("stops at G") << QByteArray("12G4") << 18;
    QTest::newRow("lower case") << QByteArray("ff") << 255;
    QTest::newRow("blanks skipped") << QByteArray(" 1 2") << 0x12;
    QTest::newRow("junk behind 0000") << QByteArray("0G123") << 0;
}

void TstDriveLink::hexFieldToLong()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QCOMPARE(HexFieldToLong(field), value);
}

void TstDriveLink::splitReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QList<int>>("fields");
    QTest::newRow("status") << QByteArray("\x02S;8000;0;3;123\x04") << "S" << QList<int>{-32768, 0, 3, 291};
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

void TstDriveLink::splitReply()
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

const QString VV = QStringLiteral("VV;FFFF0000;FFFF0000;");

void TstDriveLink::exchange_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("written");  // after the opening "S"
    QTest::addColumn<QStringList>("decoded");
    QTest::addColumn<int>("abandons");
    // The poll alternates "S" with the active window's request; the opening
    // "S" does not move the alternation.
    const QStringList fourS(4, QStringLiteral("<S;0"));
    const QStringList fourSeen(4, QStringLiteral("S;0"));
    QTest::newRow("poll: status monitor") << QStringList{"tag 2"} + fourS << QStringList{"S", VV, "S", VV} << fourSeen << 0;
    // Decoded once and answered once, whether the reply arrives at once or
    // character by character, ended by either end character.
    QTest::newRow("by character, then ETX") << QStringList{".S;8000;0;3;123", "=1", "~{S;1$", "=2"}
                                            << QStringList{"S", "IO"} << QStringList{"S;8000;0;3;123", "S;1"} << 0;
    QTest::newRow("FLASH ends the exchange") << QStringList{"<FLASH"} << QStringList{"S"} << QStringList() << 0;
    QTest::newRow("empty keyword to the catch-all") << QStringList{"~{}", "<SVON"} << QStringList{"S", "IO"}
                                                    << QStringList{"*", "*SVON"} << 0;
    // One request stays in flight.
    QTest::newRow("end character outside a reply") << QStringList{"<S;1", "~}$"} << QStringList{"S"}
                                                   << QStringList{"S;1"} << 0;
    QTest::newRow("noise and a second start") << QStringList{"~noise{VV;1}", "~{S;1{S;5}"}
                                              << QStringList{"S", "IO"} << QStringList{"VV;1", "S;5"} << 0;
    QTest::newRow("a lost reply's tail is no answer") << QStringList{"~{S;1", "tick 16", "~;2}", "=1", "<S;3"}
                                                      << QStringList{"S", "S"} << QStringList{"S;3"} << 0;
    QTest::newRow("endless reply dropped") << QStringList{"flood", "<S;2"} << QStringList{"S"}
                                           << QStringList{"S;2"} << 0;
    // The one slot: a button waits for the reply in flight, a later request
    // replaces an earlier one, and a job's next request replaces a button.
    QTest::newRow("button after the reply in flight")
        << QStringList{"tag 2", "<S;0", "<S;0", "cmd ARST", "=2", "<VV;0", "<ARST"} << QStringList{"S", VV, "ARST", "S"}
        << QStringList{"S;0", "S;0", "VV;0", "*ARST"} << 0;
    QTest::newRow("later button replaces earlier") << QStringList{"cmd HCL", "cmd ARST", "<S;0"}
                                                   << QStringList{"ARST"} << QStringList{"S;0"} << 0;
    QTest::newRow("job request replaces a button")
        << QStringList{"cmd R;0", "chain R;1", "<S;0", "cmd TRST", "<R;0;0;0;0;0;0;0;0;0;0;0", "<R;1;0;0;0;0;0;0;0;0;0;0"}
        << QStringList{"R;0", "R;1", "S"} << QStringList{"S;0", "R;0;0;0;0;0;0;0;0;0;0;0", "R;1;0;0;0;0;0;0;0;0;0;0"} << 0;
    // A stop is never replaced: what would replace it waits behind it, a
    // job's next request too; the same stop twice goes out once.
    QTest::newRow("stop not replaced by a button")
        << QStringList{"cmd JOGOFF", "cmd JOGOFF", "cmd STRON", "cmd SVOFF", "<S;0", "<JOGOFF", "<SVOFF"}
        << QStringList{"JOGOFF", "SVOFF", "S"} << QStringList{"S;0", "*JOGOFF", "*SVOFF"} << 0;
    QTest::newRow("stop before the job's next request")
        << QStringList{"cmd R;0", "chain R;1", "<S;0", "cmd HSOFF", "<R;0;0;0;0;0;0;0;0;0;0;0", "<HSOFF", "<R;1;0;0;0;0;0;0;0;0;0;0"}
        << QStringList{"R;0", "HSOFF", "R;1", "S"} << QStringList{"S;0", "R;0;0;0;0;0;0;0;0;0;0;0", "*HSOFF", "R;1;0;0;0;0;0;0;0;0;0;0"} << 0;
    // A stop waiting when the port closes is written before it closes; one
    // waiting when the port vanished goes out right after the opening "S".
    QTest::newRow("stop written before the port closes") << QStringList{"cmd EMCON", "cmd STRON", "close"}
                                                         << QStringList{"EMCON"} << QStringList() << 0;
    QTest::newRow("stop after the port comes back") << QStringList{"cmd JOGOFF", "vanish", "tick 1", "<S;0"}
                                                    << QStringList{"S", "JOGOFF"} << QStringList{"S;0"} << 0;
    // So do the stops kept behind it, though the port dialog closed the
    // port while it was gone already.
    QTest::newRow("kept stops after the port comes back")
        << QStringList{"cmd HSOFF", "cmd JOGOFF", "vanish", "close", "tick 1", "<S;0", "<HSOFF", "<JOGOFF"}
        << QStringList{"S", "HSOFF", "JOGOFF", "S"} << QStringList{"S;0", "*HSOFF", "*JOGOFF"} << 0;
    // The link decodes the status word of every "S" reply it dispatches.
    QTest::newRow("status word")
        << QStringList{"<S;80800000;1", "word 80800000", "<IO;0", "word 80800000", "<S;0800000", "word 800000"}
        << QStringList{"S", "IO", "S"} << QStringList{"S;80800000;1", "IO;0", "S;0800000"} << 0;
    // A lost "S" is declared on the 16th tick, silently; any reply restarts the count.
    QTest::newRow("time-out on the 16th tick")
        << QStringList{"tick 15", "=0", "tick 1", "=1", "tick 10", "<S;0", "tick 15", "=2"}
        << QStringList{"S", "S"} << QStringList{"S;0"} << 0;
    // Two lost replies in a row say "No reply" on the strip; a reply clears it.
    QTest::newRow("no reply") << QStringList{"tick 16", "answer", "tick 16", "answer No reply", "<S;0", "tick 1", "answer"}
                              << QStringList{"S", "S", "S"} << QStringList{"S;0"} << 0;
    QTest::newRow("silent time-out sends what waits") << QStringList{"cmd ARST", "tick 16"}
                                                      << QStringList{"ARST"} << QStringList() << 0;
    // Transfers: an "ERR" that answers the transfer's own request ends it at
    // once, even with a button waiting in the slot; one that answers a poll
    // leaves it running; a chain whose slot a button took is given up; only
    // one runs at a time.
    QTest::newRow("ERR ends a transfer")
        << QStringList{"begin params", "cmd R;0", "<ERR;3", "cmd SVON", "<ERR;1", "begin points", "end", "<SVON", "<ERR;1"}
        << QStringList{"R;0", "SVON", "S", "IO"} << QStringList{"ERR;3", "ERR;1", "*SVON", "ERR;1"} << 1;
    QTest::newRow("one transfer at a time") << QStringList{"begin points", "!begin params", "end", "begin params"}
                                            << QStringList() << QStringList() << 0;
    // Offline: the port dialog closes the port (a transfer is abandoned);
    // within the tick the status word clears and nothing is sent or opened,
    // and a transfer started offline is abandoned too. Back online, "S" goes
    // out.
    const QString ok = QString::number(int(OpenStatus::Ok));
    QTest::newRow("offline and back") << QStringList{
        "<S;80000000", "begin params", "cmd R;0", "close", "offline 1", "cmd SVON", "tick 1",
        "strip Offline", "dropped", "=1", "begin points", "tick 1", "offline 0", "tick 1", "strip COM1"}
        << QStringList{"S", "S"} << QStringList{"S;80000000"} << 2;
    // A port that vanishes is retried on each tick without a message; once
    // back, errors are reported again.
    QTest::newRow("lost port retried silently") << QStringList{
        "begin points", "vanish", "strip lost", "answer", "open " + QString::number(int(OpenStatus::InvalidPort)), "tick 30", "answer",
        "asked 0", "=0", "open " + ok, "tick 1", "=1", "close", "open " + QString::number(int(OpenStatus::InUse)),
        "tick 1", "asked 1"} << QStringList{"S"} << QStringList() << 1;
    QTest::newRow("broken chain given up")
        << QStringList{"begin params", "cmd R;0", "cmd SVON", "<S;0", "<SVON", "begin params", "cmd R;0", "<S;0"}
        << QStringList{"SVON", "S", "R;0"} << QStringList{"S;0", "*SVON", "S;0"} << 1;
}

void TstDriveLink::exchange()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, written);
    QFETCH(QStringList, decoded);
    QFETCH(int, abandons);
    Rig r;
    r.open();
    r.run(steps);
    QCOMPARE(requests(r.port), written);
    QCOMPARE(r.decoded, decoded);
    QCOMPARE(r.abandons, abandons);
    QCOMPARE(r.questions, 0);
}

void TstDriveLink::timeout_data()
{
    QTest::addColumn<QString>("lost");
    QTest::addColumn<QStringList>("before");  // steps while the reply is awaited
    QTest::addColumn<bool>("retry");
    QTest::addColumn<QStringList>("during");  // steps while the question is open
    QTest::addColumn<QStringList>("then");    // steps once it is answered
    QTest::addColumn<QStringList>("after");   // written after the lost request
    QTest::addColumn<int>("questions");
    const QStringList none;
    // The poll requests and the reset are given up silently.
    for (const QString &kw : {QStringLiteral("S"), VV, QStringLiteral("IO"), QStringLiteral("MON;3"), QStringLiteral("RESET")})
        QTest::newRow(qPrintable(kw)) << kw << none << true << none << none << QStringList{"S"} << 0;
    QTest::newRow("silent, stop waiting") << "MON;0" << QStringList{"cmd HSOFF", "cmd STRON"} << true << none << none
                                          << QStringList{"HSOFF"} << 0;
    // Others ask: Retry writes the identical request, Cancel gives up and polls.
    for (const char *kw : {"R;2", "TRST", "ALM", "T;0;F;0"}) {
        QTest::addRow("%s retry", kw) << kw << none << true << none << none << QStringList{kw} << 1;
        QTest::addRow("%s cancel", kw) << kw << none << false << none << none << QStringList{"S"} << 1;
    }
    // A stop queued while the reply is lost, or while the question is open,
    // goes out first: before the lost request again (Retry), or instead of
    // the poll (Cancel), even when a transfer is given up; the transfer's own
    // next request is not sent. A lost request that would undo the stop (a
    // jog after "JOGOFF"...) is not written again: the stop stands.
    QTest::newRow("jog stop, retry") << "PJOG" << QStringList{"cmd JOGOFF"} << true << none << QStringList{"<JOGOFF"}
                                     << QStringList{"JOGOFF", "S"} << 1;
    for (const auto &[start, stop] : {std::pair{"HSON", "HSOFF"}, std::pair{"SVON", "SVOFF"}, std::pair{"EMCOFF", "EMCON"}})
        QTest::addRow("%s undone by %s while asking", start, stop)
            << start << none << true << QStringList{QStringLiteral("cmd ") + stop, "=1"}
            << QStringList{QStringLiteral("<") + stop} << QStringList{stop, "S"} << 1;
    QTest::newRow("stop before the retried request") << "TRST" << QStringList{"cmd SVOFF"} << true << none
                                                     << QStringList{"<SVOFF"} << QStringList{"SVOFF", "TRST"} << 1;
    QTest::newRow("stops while asking, retry")
        << "R;2" << none << true << QStringList{"cmd JOGOFF", "cmd STRON", "cmd EMCON", "=1"}
        << QStringList{"<JOGOFF", "<EMCON"} << QStringList{"JOGOFF", "EMCON", "R;2"} << 1;
    QTest::newRow("stops while asking, cancel") << "R;2" << none << false << QStringList{"cmd SVOFF", "=1"}
                                                << QStringList{"<SVOFF"} << QStringList{"SVOFF", "S"} << 1;
    QTest::newRow("button while asking, retry") << "TRST" << none << true << QStringList{"cmd ARST", "=1"}
                                                << QStringList{"<TRST"} << QStringList{"TRST", "ARST"} << 1;
    QTest::newRow("jog stop, cancel") << "PJOG" << QStringList{"cmd JOGOFF"} << false << none
                                      << QStringList{"<JOGOFF"} << QStringList{"JOGOFF", "S"} << 1;
    QTest::newRow("button, cancel") << "TRST" << QStringList{"cmd ARST"} << false << none << none
                                    << QStringList{"ARST"} << 1;
    QTest::newRow("transfer and stop, cancel") << "R;2" << QStringList{"begin params", "chain R;3", "cmd SVOFF"}
                                               << false << QStringList{"<R;2;0;0;0;0;0;0;0;0;0;0"} << none << QStringList{"SVOFF"} << 1;
    QTest::newRow("transfer's next, cancel") << "R;2" << QStringList{"begin params", "chain R;3"} << false
                                             << QStringList{"<R;2;0;0;0;0;0;0;0;0;0;0"} << none << QStringList{"S"} << 1;
    // A reply that comes while the question is open: nothing goes out until
    // it closes, and then the exchange goes on instead of asking again.
    QTest::newRow("late reply") << "W;0;1;2" << none << true << QStringList{"<W", "=1"} << none << QStringList{"S"} << 1;
    // Ticks while the question is open neither count nor ask a second time.
    QTest::newRow("ticks while asking") << "TRST" << none << false << QStringList{"tick 40", "=1"} << none
                                        << QStringList{"S"} << 1;
}

void TstDriveLink::timeout()
{
    QFETCH(QString, lost);
    QFETCH(QStringList, before);
    QFETCH(bool, retry);
    QFETCH(QStringList, during);
    QFETCH(QStringList, then);
    QFETCH(QStringList, after);
    QFETCH(int, questions);
    Rig r;
    r.open();
    r.link.setCommandText(lost);
    reply(r.port, "S;80000000");  // servo on; the request goes out
    QCOMPARE(r.link.state().StatusWord, 0x80000000u);
    r.link.setXferIndex(2);
    r.run(before);
    r.tick(16);
    // The link waits for the answer and sends nothing meanwhile.
    QCOMPARE(r.link.awaitingDecision(), questions > 0);
    r.run(during);
    if (r.link.awaitingDecision()) {
        if (retry) r.link.retry();
        else r.link.giveUp();
    }
    QVERIFY(!r.link.awaitingDecision());
    r.run(then);
    QCOMPARE(requests(r.port), QStringList{lost} + after);
    if (after.first() == lost) QCOMPARE(r.port.written.at(1), r.port.written.first());
    QCOMPARE(r.questions, questions);
    QCOMPARE(r.abandons, questions && !retry ? 1 : 0);
    // The poll restarts from the start of a transfer unless something else goes on.
    QCOMPARE(r.link.state().XferIndex, quint8((questions ? retry : after.first() != u"S") ? 2 : 0));
    QCOMPARE(r.link.state().StatusWord, 0u);
}

void TstDriveLink::opening_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("asks");
    QTest::newRow("opened") << int(OpenStatus::Ok) << false;
    QTest::newRow("invalid") << int(OpenStatus::InvalidPort) << true;
    QTest::newRow("in use") << int(OpenStatus::InUse) << true;
    QTest::newRow("other") << int(OpenStatus::Other) << false;
}

void TstDriveLink::opening()
{
    QFETCH(int, status);
    QFETCH(bool, asks);
    Rig r;
    r.settings.PortNo = 7;  // the saved pair stays port 1, online
    r.port.nextOpen = {OpenStatus(status), QStringLiteral("why")};
    r.tick();
    QCOMPARE(r.port.lastOpenedPort, 7);
    QCOMPARE(r.portMessages, asks ? 1 : 0);
    QCOMPARE(r.settings.PortNo, qint16(asks ? 1 : 7));
    if (status == int(OpenStatus::Ok)) {
        QCOMPARE(r.port.written, QList<QByteArray>{QByteArray("\x02S\x04")});
        QCOMPARE(r.settings.SavedPortNo, qint16(7));
        return;
    }
    QCOMPARE(r.settings.SavedPortNo, qint16(1));
    QVERIFY(r.link.portStatus().contains(QStringLiteral("why")));
    r.tick();
    QCOMPARE(r.port.openCount, 2);  // tried again at the next tick
    r.port.nextOpen = {};
    r.tick();
    QCOMPARE(requests(r.port), QStringList{"S"});
}

// Bytes handed over in pieces of any size are taken exactly as the same
// bytes one character at a time: the same replies decoded, the same requests
// written, the same reply collected, also across replies that overflow.
void TstDriveLink::receiveTakesRunsAsCharacters()
{
    struct Side : LinkRig {
        QStringList decoded;
        Side()
        {
            for (const char *kw : {"S", "IO", "ALM"})
                link.setDecoder(QString::fromLatin1(kw), [this](const Reply &r) {
                    decoded << r.keyword + u'|' + QString::fromLatin1(r.raw.toHex());
                });
            link.setCatchAll([this](const Reply &r) { decoded << QStringLiteral("*") + QString::fromLatin1(r.raw.left(40)); });
            link.setActiveTagSource([] { return QStringLiteral("1"); });
            link.OpenPort();
        }
    };
    quint32 seed = 12345;
    const auto next = [&seed](quint32 n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int round = 0; round < 40; ++round) {
        QByteArray stream;
        for (int piece = 0; piece < 60; ++piece) {
            switch (next(8)) {
            case 0: stream += F("S;80008000;0;0;D7;0"); break;
            case 1: stream += F("IO;1FFF003E"); break;
            case 2: stream += QByteArray(1, StxChar) + QByteArray(int(next(3) == 0 ? DriveLink::MaxReplyLength + next(5) - 2 : next(40)), 'A'); break;
            case 3: stream += QByteArray(1, EotChar); break;
            case 4: stream += QByteArray(1, EtxChar) + "ALM;0"; break;
            case 5: stream += "junk;12"; break;
            case 6: stream += F("ALM;3").chopped(1) + QByteArray(1, EtxChar); break;
            default: stream += F("XYZ;1;2;3"); break;
            }
        }
        Side whole, single;
        for (qsizetype i = 0; i < stream.size();) {
            const qsizetype n = qMin<qsizetype>(stream.size() - i, 1 + next(round % 2 ? 3000 : 20));
            whole.port.inject(stream.mid(i, n));
            i += n;
        }
        for (char c : stream) single.link.takeChar(c);
        QCOMPARE(whole.decoded, single.decoded);
        QCOMPARE(whole.port.written, single.port.written);
        QCOMPARE(whole.link.state().RecvBuf, single.link.state().RecvBuf);
        QCOMPARE(whole.link.state().InReply, single.link.state().InReply);
        QCOMPARE(whole.link.state().CmdName, single.link.state().CmdName);
    }
}

namespace {

// A job's side of the link: what it heard of its requests.
struct Client : LinkClient {
    QStringList heard;
    void replied(const Reply &r) override { heard << QStringLiteral("reply ") + QString::fromLatin1(r.raw.mid(1, r.raw.size() - 2)); }
    void refused(qint32 code) override { heard << QStringLiteral("refused %1").arg(code); }
    void lost() override { heard << QStringLiteral("lost"); }
    void garbled() override { heard << QStringLiteral("garbled"); }
};

}  // namespace

// A reply that feeds a transfer or a job and fails its check is not split,
// decoded or handed on: it is counted, and its request is handled as if the
// reply had been lost (the question, or a poll's given up silently). The
// windows' polls are taken as they come.
void TstDriveLink::garbledReplies_data()
{
    QTest::addColumn<QString>("request");    // in flight; "job " sent by a job
    QTest::addColumn<QByteArray>("reply");   // as it came
    QTest::addColumn<bool>("asked");         // "It failed in the communication."
    QTest::addColumn<QStringList>("written"); // after the request, Retry answered
    QTest::addColumn<QStringList>("heard");  // by the job, or the decoders ("*" the catch-all)
    QTest::addColumn<int>("garbled");
    const QByteArray good2("R;2;1;2;3;4;5;6;7;8;9;A");
    QTest::newRow("another block") << "R;2" << QByteArray("R;3;1;2;3;4;5;6;7;8;9;A") << true << QStringList{"R;2"}
                                   << QStringList() << 1;
    QTest::newRow("a separator lost") << "R;2" << QByteArray("R;2;1;2;3;4;5;6;7;8;9A") << true << QStringList{"R;2"}
                                      << QStringList() << 1;
    QTest::newRow("marked by the line") << "TBLR;1F" << QByteArray("TBLR;1;\xff;0;0") << true << QStringList{"TBLR;1F"}
                                        << QStringList() << 1;
    QTest::newRow("a write's answer") << "job W;1;0;0;0;0;0;0;0;0;0;0" << QByteArray("W;7") << true
                                      << QStringList{"W;1;0;0;0;0;0;0;0;0;0;0"} << QStringList{"garbled"} << 1;
    QTest::newRow("a capture block") << "T;80;F;0" << QByteArray("T;1;2") << true << QStringList{"T;80;F;0"}
                                     << QStringList() << 1;
    // A job's status: a poll's keyword, given up silently; the job hears of it.
    QTest::newRow("a job's status") << "job S" << QByteArray("S;1;2;3;4") << false << QStringList{"S"}
                                    << QStringList{"garbled", "lost"} << 1;
    // The same replies to the windows' polls are theirs to decode.
    QTest::newRow("the status poll") << "S" << QByteArray("S;1;2;3;4") << false << QStringList{"S"}
                                     << QStringList{"S;1;2;3;4"} << 0;
    QTest::newRow("an idle capture's poll") << "T;0;F;0" << QByteArray("T;1;2") << false << QStringList{"S"}
                                            << QStringList{"T;1;2"} << 0;
    QTest::newRow("a good reply") << "R;2" << good2 << false << QStringList{"S"} << QStringList{QString::fromLatin1(good2)} << 0;
}

void TstDriveLink::garbledReplies()
{
    QFETCH(QString, request);
    QFETCH(QByteArray, reply);
    QFETCH(bool, asked);
    QFETCH(QStringList, written);
    QFETCH(QStringList, heard);
    QFETCH(int, garbled);
    Rig r;
    r.open();
    Client job;
    if (request.startsWith(u"job ")) r.link.setClientCommand(&job, request.mid(4), request.mid(4).section(u';', 0, 0));
    else r.link.setCommandText(request);
    ::reply(r.port, "S;0");
    r.decoded.clear();
    QStringList why;
    connect(&r.link, &DriveLink::replyGarbled, [&](const Request &q, const QString &w) {
        QCOMPARE(q.keyword(), request.section(u' ', -1).section(u';', 0, 0).toLatin1());
        why << w;
    });
    const LinkState before = r.link.state();
    r.port.written.clear();
    replyByChar(r.port, reply.constData());
    QCOMPARE(r.questions, asked ? 1 : 0);
    QCOMPARE(r.link.garbledReplies(), garbled);
    QCOMPARE(why.size(), garbled);
    if (garbled) {
        // Never split: the fields and the keyword are as they were.
        QCOMPARE(r.link.state().ReplyField, before.ReplyField);
        QVERIFY(r.port.written.isEmpty() == asked);
        QVERIFY(!r.link.noReply());  // the drive answers
    }
    if (asked) r.link.retry();
    QCOMPARE(requests(r.port), written);
    QCOMPARE(request.startsWith(u"job ") ? job.heard : r.decoded, heard);
}

// A garbled reply that comes while the user is asked about its request
// changes nothing: the question stays, and Cancel gives it up as ever. One
// that comes after its request was answered is only counted.
void TstDriveLink::garbledWhileAsked()
{
    Rig r;
    r.open();
    r.link.setCommandText(QStringLiteral("R;2"));
    reply(r.port, "S;0");
    r.tick(16);
    QCOMPARE(r.questions, 1);
    r.port.written.clear();
    reply(r.port, "R;2;1");
    QVERIFY(r.link.awaitingDecision());
    QCOMPARE(r.link.garbledReplies(), 1);
    QVERIFY(r.port.written.isEmpty());
    r.link.giveUp();
    QCOMPARE(requests(r.port), QStringList{"S"});
    QCOMPARE(r.questions, 1);

    // Nothing follows the answer (as at the end of a session), so a second
    // one is still the answer to "R;2".
    r.link.setCommandText(QStringLiteral("R;2"));
    reply(r.port, "S;0");
    r.link.setPollsHeld(true);
    reply(r.port, "R;2;1;2;3;4;5;6;7;8;9;A");
    r.port.written.clear();
    reply(r.port, "R;2;1");  // a second answer, garbled
    QCOMPARE(r.link.garbledReplies(), 2);
    QCOMPARE(r.questions, 1);
    QVERIFY(r.port.written.isEmpty());
    QVERIFY(!r.link.awaitingDecision());
}

QTEST_MAIN(TstDriveLink)
#include "tst_drivelink.moc"
