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
    QStringList decoded;
    int questions = 0;
    int portMessages = 0;
    int portDialogs = 0;
    int abandons = 0;

    Rig()
    {
        link.setActiveTagSource([this] { return tag; });
        for (const char *kw : {"S", "VV", "R", "W", "ERR", "IO", "ALM", "MON", "T"})
            link.setDecoder(QString::fromLatin1(kw), [this, kw] { decoded << QString::fromLatin1(kw); });
        link.setCatchAll([this] { decoded << QStringLiteral("*") + link.state().CmdName; });
        link.setPollBuilder(QStringLiteral("2"), [this] { link.setCommand("VV;FFFF0000;FFFF0000;", "VV"); });
        link.setPollBuilder(QStringLiteral("4"), [this] { link.setCommand("MON;0", "MON"); });
        link.addAbandonHandler([this] { ++abandons; });
        link.askRetry = [this] {
            ++questions;
            return retryAnswer;
        };
        link.showPortError = [this](OpenStatus, int) { ++portMessages; };
        link.showPortDialog = [this] { ++portDialogs; };
        bar = std::make_unique<TitleBar>(link);
        bar->TimerDateTime.stop();
        bar->setCaption = [this](const QString &c) { caption = c; };
        bar->caption = [this] { return caption; };
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
    bool retryAnswer = true;
};

class TstDriveLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstTickOpensPortAndSendsS();
    void pollFollowsActiveTag_data();
    void pollFollowsActiveTag();
    void replyByCharacterDecodesOnceAndSendsOnce();
    void flashHasNoDecoderButEndsExchange();
    void emptyKeywordGoesToCatchAll();
    void endCharacterOutsideReplyIsIgnored();
    void strayCharactersAndSecondStart();
    void buttonWaitsForReplyInFlight();
    void laterButtonReplacesEarlier();
    void jobRequestReplacesButton();
    void timeoutOnSixteenthTick();
    void silentTimeout_data();
    void silentTimeout();
    void silentTimeoutSendsWaitingRequest();
    void questionTimeout_data();
    void questionTimeout();
    void lateReplyWhileQuestionOpen();
    void ticksWhileQuestionOpenDoNothing();
    void partialReplyDroppedAtTimeout();
    void errReplyEndsTransfer();
    void secondTransferRefused();
    void brokenTransferChainIsGivenUp();
    void offlineDropsEverything();
    void portErrors_data();
    void portErrors();
    void lostPortRetriedSilently();
    void endlessReplyIsBounded();
    void lamps();
};

void TstDriveLink::firstTickOpensPortAndSendsS()
{
    Rig r;
    r.settings.PortNo = 4;
    r.tick();
    QCOMPARE(r.port.lastOpenedPort, 4);
    QCOMPARE(r.port.written, QList<QByteArray>{QByteArray("\x02S\x04")});
    QCOMPARE(r.settings.SavedPortNo, qint16(4));
    QCOMPARE(r.link.state().AwaitReply, quint8(1));
    QCOMPARE(r.caption, QStringLiteral("ORVEX"));
}

void TstDriveLink::pollFollowsActiveTag_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("I/O monitor") << "1" << QStringList{"S", "IO", "S", "IO"};
    QTest::newRow("alarm display") << "0" << QStringList{"S", "ALM", "S", "ALM"};
    QTest::newRow("status monitor") << "2" << QStringList{"S", "VV;FFFF0000;FFFF0000;", "S", "VV;FFFF0000;FFFF0000;"};
    QTest::newRow("operation panel") << "4" << QStringList{"S", "MON;0", "S", "MON;0"};
    QTest::newRow("no tag") << "" << QStringList{"S", "S", "S", "S"};
    QTest::newRow("tag without builder") << "3" << QStringList{"S", "S", "S", "S"};
}

void TstDriveLink::pollFollowsActiveTag()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, expected);
    Rig r;
    r.tag = tag;
    r.open();  // the opening "S" does not move the alternation
    for (int i = 0; i < 4; ++i) reply(r.port, "S;0");
    QCOMPARE(requests(r.port), expected);
}

void TstDriveLink::replyByCharacterDecodesOnceAndSendsOnce()
{
    Rig r;
    r.open();
    int seen = 0;
    r.link.setDecoder(QStringLiteral("S"), [&] {
        if (++seen > 1) return;
        const auto &f = r.link.state().ReplyField;
        QCOMPARE(QList<int>({f[0], f[1], f[2], f[3]}), QList<int>({-32768, 0, 3, 291}));
    });
    replyByChar(r.port, "S;8000;0;3;123");
    QCOMPARE(seen, 1);
    QCOMPARE(r.link.state().CmdName, QStringLiteral("S"));
    QCOMPARE(r.port.written.size(), 1);
    // A reply ended by ETX is the same.
    r.port.inject(QByteArray("\x02S;1\x03"));
    QCOMPARE(seen, 2);
    QCOMPARE(r.port.written.size(), 2);
}

void TstDriveLink::flashHasNoDecoderButEndsExchange()
{
    Rig r;
    r.open();
    reply(r.port, "FLASH");
    QVERIFY(r.decoded.isEmpty());
    QCOMPARE(r.port.written.size(), 1);
}

void TstDriveLink::emptyKeywordGoesToCatchAll()
{
    Rig r;
    r.open();
    r.port.inject(QByteArray("\x02\x04"));
    reply(r.port, "SVON");
    QCOMPARE(r.decoded, (QStringList{"*", "*SVON"}));
}

void TstDriveLink::endCharacterOutsideReplyIsIgnored()
{
    Rig r;
    r.open();
    reply(r.port, "S;1");
    r.port.inject(QByteArray("\x04\x03"));
    QCOMPARE(r.decoded, QStringList{"S"});
    QCOMPARE(r.port.written.size(), 1);  // still one request in flight
}

void TstDriveLink::strayCharactersAndSecondStart()
{
    Rig r;
    r.open();
    r.port.inject(QByteArray("noise\x02VV;1"));
    QVERIFY(r.link.state().RecvBuf.startsWith(StxChar));
    r.port.inject(QByteArray("\x02S;5\x04"));
    QCOMPARE(r.decoded, QStringList{"S"});
    QCOMPARE(r.link.state().ReplyField[0], 5);
}

void TstDriveLink::buttonWaitsForReplyInFlight()
{
    // "ARST" pressed while a "VV" poll is in flight goes out right after the
    // "VV" reply, before the next "S".
    Rig r;
    r.tag = QStringLiteral("2");
    r.open();
    reply(r.port, "S;0");
    reply(r.port, "S;0");  // VV goes out
    r.link.setCommand("ARST");
    QCOMPARE(r.port.written.size(), 2);  // a button never writes
    reply(r.port, "VV;0");
    reply(r.port, "ARST");
    QCOMPARE(requests(r.port), (QStringList{"S", "VV;FFFF0000;FFFF0000;", "ARST", "S"}));
}

void TstDriveLink::laterButtonReplacesEarlier()
{
    Rig r;
    r.open();
    r.link.setCommand("HCL");
    r.link.setCommand("ARST");
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port), QStringList{"ARST"});
}

void TstDriveLink::jobRequestReplacesButton()
{
    Rig r;
    r.open();
    r.link.setDecoder(QStringLiteral("R"), [&] {
        if (r.link.state().XferIndex < 1) {
            ++r.link.state().XferIndex;
            r.link.setCommand("R;1", "R");
        }
    });
    r.link.setCommand("R;0", "R");
    reply(r.port, "S;0");
    r.link.setCommand("TRST");  // pressed while the job runs
    reply(r.port, "R;0");
    reply(r.port, "R;1");
    QCOMPARE(requests(r.port), (QStringList{"R;0", "R;1", "S"}));
}

void TstDriveLink::timeoutOnSixteenthTick()
{
    Rig r;
    r.open();
    r.tick(15);
    QVERIFY(r.port.written.isEmpty());
    r.tick();
    QCOMPARE(requests(r.port), QStringList{"S"});
    QCOMPARE(r.questions, 0);
    // Any reply end restarts the count.
    r.port.written.clear();
    r.tick(10);
    reply(r.port, "S;0");
    r.tick(15);
    QCOMPARE(r.port.written.size(), 1);
}

void TstDriveLink::silentTimeout_data()
{
    QTest::addColumn<QString>("lost");
    for (const char *kw : {"S", "VV;FFFF0000;FFFF0000;", "IO", "MON;3", "RESET"}) QTest::newRow(kw) << kw;
}

void TstDriveLink::silentTimeout()
{
    QFETCH(QString, lost);
    Rig r;
    r.open();
    r.link.state().StatusWord = 0x80000000u;
    r.link.state().XferIndex = 3;
    r.link.setCommandText(lost);
    reply(r.port, "S;0");
    r.port.written.clear();
    r.tick(16);
    QCOMPARE(requests(r.port), QStringList{"S"});
    QCOMPARE(r.questions, 0);
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QCOMPARE(r.link.state().StatusWord, 0u);
}

void TstDriveLink::silentTimeoutSendsWaitingRequest()
{
    Rig r;
    r.open();
    r.link.setCommand("ARST");
    r.tick(16);
    QCOMPARE(requests(r.port), QStringList{"ARST"});
}

void TstDriveLink::questionTimeout_data()
{
    QTest::addColumn<QString>("lost");
    QTest::addColumn<bool>("retry");
    for (const char *kw : {"R;2", "TRST", "ALM", "T;0;F;0"}) {
        QTest::addRow("%s retry", kw) << kw << true;
        QTest::addRow("%s cancel", kw) << kw << false;
    }
}

void TstDriveLink::questionTimeout()
{
    QFETCH(QString, lost);
    QFETCH(bool, retry);
    Rig r;
    r.open();
    r.link.setCommandText(lost);
    reply(r.port, "S;0");
    const QByteArray sent = r.port.written.last();
    r.port.written.clear();
    r.link.state().XferIndex = 2;
    r.retryAnswer = retry;
    r.tick(16);
    QCOMPARE(r.questions, 1);
    if (retry) {
        QCOMPARE(r.port.written, QList<QByteArray>{sent});  // the identical request
        QCOMPARE(r.abandons, 0);
        QCOMPARE(r.link.state().XferIndex, quint8(2));
    } else {
        QCOMPARE(requests(r.port), QStringList{"S"});
        QCOMPARE(r.abandons, 1);
        QCOMPARE(r.link.state().XferIndex, quint8(0));
    }
}

void TstDriveLink::lateReplyWhileQuestionOpen()
{
    Rig r;
    r.open();
    r.link.setCommand("W;0;1;2", "W");
    reply(r.port, "S;0");
    r.port.written.clear();
    r.link.askRetry = [&] {
        // The reply arrives while the question is open: nothing may go out yet.
        reply(r.port, "W");
        [&] { QVERIFY(r.port.written.isEmpty()); }();
        return true;
    };
    r.tick(16);
    QCOMPARE(r.decoded.last(), QStringLiteral("W"));
    // The exchange goes on rather than writing the answered request again.
    QCOMPARE(requests(r.port), QStringList{"S"});
}

void TstDriveLink::ticksWhileQuestionOpenDoNothing()
{
    Rig r;
    r.open();
    r.link.setCommand("TRST");
    reply(r.port, "S;0");
    r.port.written.clear();
    r.link.askRetry = [&] {
        ++r.questions;
        r.tick(40);  // the question stays open for four seconds
        return false;
    };
    r.tick(16);
    QCOMPARE(r.questions, 1);
    QCOMPARE(requests(r.port), QStringList{"S"});
}

void TstDriveLink::partialReplyDroppedAtTimeout()
{
    Rig r;
    r.open();
    r.port.inject(QByteArray("\x02S;1"));
    r.tick(16);  // "S" again
    r.port.written.clear();
    // The tail of the lost reply must not pass for the answer.
    r.port.inject(QByteArray(";2\x04"));
    QVERIFY(r.decoded.isEmpty());
    QVERIFY(r.port.written.isEmpty());
    reply(r.port, "S;3");
    QCOMPARE(r.decoded, QStringList{"S"});
    QCOMPARE(r.link.state().ReplyField[0], 3);
}

void TstDriveLink::errReplyEndsTransfer()
{
    Rig r;
    r.open();
    QVERIFY(r.link.beginTransfer(QStringLiteral("params")));
    r.link.state().XferIndex = 2;
    reply(r.port, "ERR;3");
    QCOMPARE(r.abandons, 1);
    QVERIFY(r.link.transferOwner().isEmpty());
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    // Without a transfer an error reply abandons nothing.
    reply(r.port, "ERR;1");
    QCOMPARE(r.abandons, 1);
}

void TstDriveLink::secondTransferRefused()
{
    Rig r;
    QVERIFY(r.link.beginTransfer(QStringLiteral("points")));
    QVERIFY(!r.link.beginTransfer(QStringLiteral("params")));
    r.link.endTransfer();
    QVERIFY(r.link.beginTransfer(QStringLiteral("params")));
}

void TstDriveLink::brokenTransferChainIsGivenUp()
{
    Rig r;
    r.open();
    QVERIFY(r.link.beginTransfer(QStringLiteral("params")));
    r.link.setCommand("R;0", "R");
    r.link.setCommand("SVON");  // a button in the same exchange takes the slot
    reply(r.port, "S;0");
    QCOMPARE(r.abandons, 0);
    reply(r.port, "SVON");
    QCOMPARE(r.abandons, 1);
    QVERIFY(r.link.transferOwner().isEmpty());
    QCOMPARE(requests(r.port), (QStringList{"SVON", "S"}));
    // A chain that keeps its slot filled runs on untouched.
    QVERIFY(r.link.beginTransfer(QStringLiteral("params")));
    r.link.setCommand("R;0", "R");
    reply(r.port, "S;0");
    QCOMPARE(r.abandons, 1);
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

void TstDriveLink::portErrors_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("asks");
    QTest::newRow("invalid") << int(OpenStatus::InvalidPort) << true;
    QTest::newRow("in use") << int(OpenStatus::InUse) << true;
    QTest::newRow("other") << int(OpenStatus::Other) << false;
}

void TstDriveLink::portErrors()
{
    QFETCH(int, status);
    QFETCH(bool, asks);
    Rig r;
    r.settings.PortNo = 7;  // the saved pair stays port 1, online
    r.port.nextOpen = {OpenStatus(status), QStringLiteral("why")};
    r.tick();
    QCOMPARE(r.portMessages, asks ? 1 : 0);
    QCOMPARE(r.portDialogs, asks ? 1 : 0);
    QCOMPARE(r.settings.PortNo, qint16(asks ? 1 : 7));
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
    QCOMPARE(r.portMessages, 0);
    QCOMPARE(r.portDialogs, 0);
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

void TstDriveLink::endlessReplyIsBounded()
{
    Rig r;
    r.open();
    const QByteArray junk(1 << 20, 'A');
    r.port.inject(QByteArray(1, StxChar) + junk);
    QVERIFY(r.link.state().RecvBuf.size() <= DriveLink::MaxReplyLength);
    QCOMPARE(r.link.state().InReply, quint8(0));
    reply(r.port, "S;2");
    QCOMPARE(r.decoded, QStringList{"S"});
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
    QCOMPARE(r.bar->LblSVON->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(r.bar->LblSVON->palette().color(QPalette::WindowText), QColor(Qt::black));

    // Switching to offline darkens SVON one tick later.
    r.settings.OfflineMode = 1;
    r.tick();
    QCOMPARE(r.bar->LblSVON->palette().color(QPalette::Window), QColor(255, 0, 0));
    r.tick();
    QCOMPARE(r.bar->LblSVON->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(r.bar->LblSVON->palette().color(QPalette::WindowText), QColor(Qt::white));
}

QTEST_MAIN(TstDriveLink)
#include "tst_drivelink.moc"
