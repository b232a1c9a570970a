#include "app/shape.h"
#include "link/titlebar.h"
#include "linktestutil.h"

#include <QLabel>
#include <QTest>
#include <memory>

// The link and the status strip, driven through the in-memory port.
struct Rig {
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    QString tag = QStringLiteral("1");
    QString caption = QStringLiteral("ORVEX");
    std::unique_ptr<TitleBar> bar;
    QStringList decoded;         // each reply as its decoder saw it; "*" marks the catch-all
    QStringList chain;           // the requests the "R" decoder builds, one a reply
    QStringList duringQuestion;  // steps taken while the question is open
    bool retryAnswer = true;
    int questions = 0;
    int portMessages = 0;
    int portDialogs = 0;
    int abandons = 0;

    Rig()
    {
        link.setActiveTagSource([this] { return tag; });
        for (const char *kw : {"S", "VV", "R", "W", "ERR", "IO", "ALM", "MON", "T"})
            link.setDecoder(QString::fromLatin1(kw), [this] { seen(QString()); });
        link.setDecoder(QStringLiteral("R"), [this] {
            seen(QString());
            if (!chain.isEmpty()) link.setCommandText(chain.takeFirst());
        });
        link.setCatchAll([this] { seen(QStringLiteral("*")); });
        link.setPollBuilder(QStringLiteral("2"), [this] { link.setCommand("VV;FFFF0000;FFFF0000;", "VV"); });
        link.setPollBuilder(QStringLiteral("4"), [this] { link.setCommand("MON;0", "MON"); });
        link.addAbandonHandler([this] { ++abandons; });
        link.askRetry = [this] {
            ++questions;
            run(duringQuestion);
            return retryAnswer;
        };
        link.showPortError = [this](OpenStatus, int) { ++portMessages; };
        link.showPortDialog = [this] { ++portDialogs; };
        bar = std::make_unique<TitleBar>(link);
        bar->TimerDateTime.stop();
        bar->setCaption = [this](const QString &c) { caption = c; };
        bar->caption = [this] { return caption; };
    }
    void seen(const QString &mark)
    {
        const QByteArray &buf = link.state().RecvBuf;
        decoded << mark + QString::fromLatin1(buf.mid(1, buf.size() - 2));
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) bar->TimerDateTime_Timer();
    }
    // Opens the port with the first tick and forgets the opening "S".
    void open()
    {
        tick();
        QCOMPARE(requests(port), QStringList{"S"});
        port.written.clear();
    }
    // Steps: "<TEXT" a framed reply at once, ".TEXT" one character at a time,
    // "~BYTES" raw bytes ('{' the start character, '}' and '$' the two end
    // characters), "cmd TEXT" a request into the slot, "chain TEXT" the next
    // request of the "R" decoder, "tick N", "=N" N requests written so far,
    // "begin OWNER" / "!begin OWNER" a transfer starts / is refused, "end",
    // "flood" a megabyte after a start character.
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
            else QFAIL(qPrintable(QStringLiteral("unknown step ") + s));
        }
    }
};

class TstDriveLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exchange_data();
    void exchange();
    void timeout_data();
    void timeout();
    void opening_data();
    void opening();
    void lostPortRetriedSilently();
    void offlineDropsEverything();
    void lamps();
};

const QString VV = QStringLiteral("VV;FFFF0000;FFFF0000;");

void TstDriveLink::exchange_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("written");  // after the opening "S"
    QTest::addColumn<QStringList>("decoded");
    QTest::addColumn<int>("abandons");
    // The poll alternates "S" with the active window's request; the opening
    // "S" does not move the alternation.
    const QStringList fourS(4, QStringLiteral("<S;0"));
    const QStringList fourSeen(4, QStringLiteral("S;0"));
    QTest::newRow("poll: I/O monitor") << "1" << fourS << QStringList{"S", "IO", "S", "IO"} << fourSeen << 0;
    QTest::newRow("poll: alarm display") << "0" << fourS << QStringList{"S", "ALM", "S", "ALM"} << fourSeen << 0;
    QTest::newRow("poll: status monitor") << "2" << fourS << QStringList{"S", VV, "S", VV} << fourSeen << 0;
    QTest::newRow("poll: operation panel") << "4" << fourS << QStringList{"S", "MON;0", "S", "MON;0"} << fourSeen << 0;
    QTest::newRow("poll: no tag") << "" << fourS << QStringList(4, "S") << fourSeen << 0;
    QTest::newRow("poll: tag without builder") << "3" << fourS << QStringList(4, "S") << fourSeen << 0;
    // Decoded once and answered once, whether the reply arrives at once or
    // character by character, ended by either end character.
    QTest::newRow("by character, then ETX") << "1" << QStringList{".S;8000;0;3;123", "=1", "~{S;1$", "=2"}
                                            << QStringList{"S", "IO"} << QStringList{"S;8000;0;3;123", "S;1"} << 0;
    QTest::newRow("FLASH ends the exchange") << "1" << QStringList{"<FLASH"} << QStringList{"S"} << QStringList() << 0;
    QTest::newRow("empty keyword to the catch-all") << "1" << QStringList{"~{}", "<SVON"} << QStringList{"S", "IO"}
                                                    << QStringList{"*", "*SVON"} << 0;
    // One request stays in flight.
    QTest::newRow("end character outside a reply") << "1" << QStringList{"<S;1", "~}$"} << QStringList{"S"}
                                                   << QStringList{"S;1"} << 0;
    QTest::newRow("noise and a second start") << "1" << QStringList{"~noise{VV;1}", "~{S;1{S;5}"}
                                              << QStringList{"S", "IO"} << QStringList{"VV;1", "S;5"} << 0;
    QTest::newRow("a lost reply's tail is no answer") << "1" << QStringList{"~{S;1", "tick 16", "~;2}", "=1", "<S;3"}
                                                      << QStringList{"S", "S"} << QStringList{"S;3"} << 0;
    QTest::newRow("endless reply dropped") << "1" << QStringList{"flood", "<S;2"} << QStringList{"S"}
                                           << QStringList{"S;2"} << 0;
    // The one slot: a button waits for the reply in flight, a later request
    // replaces an earlier one, and a job's next request replaces a button.
    QTest::newRow("button after the reply in flight")
        << "2" << QStringList{"<S;0", "<S;0", "cmd ARST", "=2", "<VV;0", "<ARST"} << QStringList{"S", VV, "ARST", "S"}
        << QStringList{"S;0", "S;0", "VV;0", "*ARST"} << 0;
    QTest::newRow("later button replaces earlier") << "1" << QStringList{"cmd HCL", "cmd ARST", "<S;0"}
                                                   << QStringList{"ARST"} << QStringList{"S;0"} << 0;
    QTest::newRow("job request replaces a button")
        << "1" << QStringList{"cmd R;0", "chain R;1", "<S;0", "cmd TRST", "<R;0", "<R;1"}
        << QStringList{"R;0", "R;1", "S"} << QStringList{"S;0", "R;0", "R;1"} << 0;
    // A lost "S" is declared on the 16th tick, silently; any reply restarts the count.
    QTest::newRow("time-out on the 16th tick")
        << "1" << QStringList{"tick 15", "=0", "tick 1", "=1", "tick 10", "<S;0", "tick 15", "=2"}
        << QStringList{"S", "S"} << QStringList{"S;0"} << 0;
    QTest::newRow("silent time-out sends what waits") << "1" << QStringList{"cmd ARST", "tick 16"}
                                                      << QStringList{"ARST"} << QStringList() << 0;
    // Transfers: an "ERR" reply ends one (and only one that runs); a chain
    // whose slot a button took is given up; only one runs at a time.
    QTest::newRow("ERR ends a transfer") << "1" << QStringList{"begin params", "<ERR;3", "begin points", "end", "<ERR;1"}
                                         << QStringList{"S", "IO"} << QStringList{"ERR;3", "ERR;1"} << 1;
    QTest::newRow("one transfer at a time") << "1" << QStringList{"begin points", "!begin params", "end", "begin params"}
                                            << QStringList() << QStringList() << 0;
    QTest::newRow("broken chain given up")
        << "1" << QStringList{"begin params", "cmd R;0", "cmd SVON", "<S;0", "<SVON", "begin params", "cmd R;0", "<S;0"}
        << QStringList{"SVON", "S", "R;0"} << QStringList{"S;0", "*SVON", "S;0"} << 1;
}

void TstDriveLink::exchange()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, written);
    QFETCH(QStringList, decoded);
    QFETCH(int, abandons);
    Rig r;
    r.tag = tag;
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
    QTest::addColumn<bool>("retry");
    QTest::addColumn<QStringList>("during");  // steps while the question is open
    QTest::addColumn<QStringList>("after");   // written after the lost request
    QTest::addColumn<int>("questions");
    // The poll requests and the reset are given up silently.
    for (const QString &kw : {QStringLiteral("S"), VV, QStringLiteral("IO"), QStringLiteral("MON;3"), QStringLiteral("RESET")})
        QTest::newRow(qPrintable(kw)) << kw << true << QStringList() << QStringList{"S"} << 0;
    // Others ask: Retry writes the identical request, Cancel gives up and polls.
    for (const char *kw : {"R;2", "TRST", "ALM", "T;0;F;0"}) {
        QTest::addRow("%s retry", kw) << kw << true << QStringList() << QStringList{kw} << 1;
        QTest::addRow("%s cancel", kw) << kw << false << QStringList() << QStringList{"S"} << 1;
    }
    // A reply that comes while the question is open: nothing goes out until
    // it closes, and then the exchange goes on instead of asking again.
    QTest::newRow("late reply") << "W;0;1;2" << true << QStringList{"<W", "=1"} << QStringList{"S"} << 1;
    // Ticks while the question is open neither count nor ask a second time.
    QTest::newRow("ticks while asking") << "TRST" << false << QStringList{"tick 40", "=1"} << QStringList{"S"} << 1;
}

void TstDriveLink::timeout()
{
    QFETCH(QString, lost);
    QFETCH(bool, retry);
    QFETCH(QStringList, during);
    QFETCH(QStringList, after);
    QFETCH(int, questions);
    Rig r;
    r.open();
    r.link.setCommandText(lost);
    reply(r.port, "S;0");
    r.link.state().StatusWord = 0x80000000u;
    r.link.state().XferIndex = 2;
    r.retryAnswer = retry;
    r.duringQuestion = during;
    r.tick(16);
    QCOMPARE(requests(r.port), QStringList{lost} + after);
    if (after.first() == lost) QCOMPARE(r.port.written.last(), r.port.written.first());
    QCOMPARE(r.questions, questions);
    QCOMPARE(r.abandons, questions && !retry ? 1 : 0);
    QCOMPARE(r.link.state().XferIndex, quint8(questions && retry ? 2 : 0));
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
    QCOMPARE(r.portDialogs, asks ? 1 : 0);
    QCOMPARE(r.settings.PortNo, qint16(asks ? 1 : 7));
    if (status == int(OpenStatus::Ok)) {
        QCOMPARE(r.port.written, QList<QByteArray>{QByteArray("\x02S\x04")});
        QCOMPARE(r.settings.SavedPortNo, qint16(7));
        QCOMPARE(r.caption, QStringLiteral("ORVEX"));
        return;
    }
    QCOMPARE(r.settings.SavedPortNo, qint16(1));
    QVERIFY(r.bar->LblPort->text().contains(QStringLiteral("why")));
    r.tick();
    QCOMPARE(r.port.openCount, 2);  // tried again at the next tick
    r.port.nextOpen = {};
    r.tick();
    QCOMPARE(requests(r.port), QStringList{"S"});
}

void TstDriveLink::lostPortRetriedSilently()
{
    Rig r;
    r.open();
    r.link.beginTransfer(QStringLiteral("points"));
    r.port.vanish(QStringLiteral("unplugged"));
    QCOMPARE(r.abandons, 1);
    QVERIFY(r.bar->LblPort->text().contains(QStringLiteral("lost")));
    r.port.nextOpen = {OpenStatus::InvalidPort, QStringLiteral("gone")};
    r.tick(30);
    QCOMPARE(r.portMessages + r.portDialogs, 0);
    QVERIFY(r.port.written.isEmpty());
    r.port.nextOpen = {};
    r.tick();
    QCOMPARE(requests(r.port), QStringList{"S"});
    // Once back, errors are reported again.
    r.port.close();
    r.port.nextOpen = {OpenStatus::InUse, QString()};
    r.tick();
    QCOMPARE(r.portMessages, 1);
}

void TstDriveLink::offlineDropsEverything()
{
    Rig r;
    r.open();
    r.link.state().StatusWord = 0x80000000u;
    r.link.beginTransfer(QStringLiteral("params"));
    r.link.setCommand("R;0", "R");
    r.link.closePort();  // the port dialog closes the port at once
    QCOMPARE(r.abandons, 1);
    r.settings.OfflineMode = 1;
    r.link.setCommand("SVON");
    r.tick();
    QCOMPARE(r.caption, QStringLiteral("ORVEX (Offline Mode)"));
    QCOMPARE(r.link.state().StatusWord, 0u);
    QVERIFY(r.link.state().PendingCmd.isEmpty());
    QVERIFY(r.port.written.isEmpty());
    QCOMPARE(r.port.openCount, 1);
    // A transfer started offline is abandoned at the next tick.
    r.link.beginTransfer(QStringLiteral("points"));
    r.tick();
    QCOMPARE(r.abandons, 2);
    // Back online, the next tick opens the port and polls.
    r.settings.OfflineMode = 0;
    r.tick();
    QCOMPARE(r.caption, QStringLiteral("ORVEX"));
    QCOMPARE(requests(r.port), QStringList{"S"});
}

void TstDriveLink::lamps()
{
    Rig r;
    r.open();
    // Alarm: dark for three ticks, lit for two.
    r.link.state().StatusWord = 1u << 23;
    QList<bool> lit;
    for (int i = 0; i < 10; ++i) {
        r.tick();
        reply(r.port, "S;0");  // keep the time-out away
        lit << (r.bar->ShpRed->fillColor() == QColor(255, 0, 0));
    }
    QCOMPARE(lit, (QList<bool>{false, true, true, false, false, false, true, true, false, false}));
    QCOMPARE(r.bar->ShpGreen->fillColor(), QColor(Qt::black));

    r.link.state().StatusWord = (1u << 15) | (1u << 31);
    r.tick();
    QCOMPARE(r.bar->ShpGreen->fillColor(), QColor(0, 255, 0));
    QCOMPARE(r.bar->ShpGreen->borderColor(), QColor(192, 255, 192));
    const auto svon = [&](QPalette::ColorRole role) { return r.bar->LblSVON->palette().color(role); };
    QCOMPARE(svon(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(svon(QPalette::WindowText), QColor(Qt::black));
    // Switching to offline darkens SVON one tick later.
    r.settings.OfflineMode = 1;
    r.tick();
    QCOMPARE(svon(QPalette::Window), QColor(255, 0, 0));
    r.tick();
    QCOMPARE(svon(QPalette::Window), QColor(Qt::black));
    QCOMPARE(svon(QPalette::WindowText), QColor(Qt::white));
}

QTEST_MAIN(TstDriveLink)
#include "tst_drivelink.moc"
