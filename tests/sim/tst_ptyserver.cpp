// The simulated drive on its pseudo-terminal, seen from the other end of the
// line: framing, bad input, line timing, the options and the orvex-drive-sim
// program.

#include "framedline.h"
#include "simtestutil.h"
#include "sim/ptyserver.h"
#include "sim/serverargs.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace sim;
using namespace std::chrono_literals;

class TstPtyServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyRequestIsAnsweredAndBadInputRefused();
    void pacedExchangeTakesTheLineTime_data();
    void pacedExchangeTakesTheLineTime();
    void options_data();
    void options();
    void driveSimProgram();
};

void TstPtyServer::everyRequestIsAnsweredAndBadInputRefused()
{
    ServerConfig unpaced;
    unpaced.paced = false;
    PtyServer server(unpaced);
    QVERIFY(server.start());
    FramedLine line(QByteArray::fromStdString(server.devicePath()));
    QVERIFY(line.ok());
    // Bad input never stops the drive.
    line.send(QByteArray("garbage\x04\x03 more", 14));    // outside any request
    line.send("\x02" + QByteArray(5000, 'A'));             // a request that never ends
    line.send(QByteArray("\x00\xFF\x7F\x02\x02\x04", 6));  // binary, and an empty request
    QCOMPARE(line.frame(), QByteArray("ERR;1"));
    QCOMPARE(line.exchange("S;;;"), QByteArray("ERR;1"));
    QCOMPARE(line.exchange("S"), QByteArray("S;41;0;0;D7;0"));
    for (const auto &[request, count] : CatalogueRequests()) {
        const ReadReply r = readReply(line.exchange(request.toLatin1()));
        QVERIFY2(line.raw.startsWith('\x02') && line.raw.endsWith('\x04') && line.raw.count('\x02') == 1,
                 qPrintable(request));
        QCOMPARE(r.keyword, request.section(QLatin1Char(';'), 0, 0));
        QCOMPARE(r.fields.size(), count);
    }
}

void TstPtyServer::pacedExchangeTakesTheLineTime_data()
{
    QTest::addColumn<bool>("whole");
    QTest::newRow("a character at a time") << false;
    QTest::newRow("whole replies") << true;
}

void TstPtyServer::pacedExchangeTakesTheLineTime()
{
    QFETCH(bool, whole);
    ServerConfig config;  // paced by default
    config.wholeReplies = whole;
    PtyServer server(config);
    QVERIFY(server.start());
    FramedLine line(QByteArray::fromStdString(server.devicePath()));
    // Never faster than the line; the quickest of a few tries shows how
    // closely the line time is kept when the machine is not busy.
    const QByteArray request = "VV;FFFF0000;FFFF0000;";
    double quickest = 1e9;
    double expected = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        line.exchange(request);
        const QByteArray got = line.raw;
        const double ms = t.nsecsElapsed() / 1e6;
        expected = (request.size() + 2 + got.size()) * 10 * 1000.0 / 9600;
        QVERIFY(got.endsWith('\x04'));
        if (whole) QCOMPARE(line.reads.size(), 1);
        QVERIFY2(ms >= expected * 0.98, qPrintable(QStringLiteral("%1 ms < %2 ms").arg(ms).arg(expected)));
        quickest = std::min(quickest, ms);
    }
    QVERIFY2(quickest <= expected * 1.2 + 10, qPrintable(QStringLiteral("%1 ms, line time %2 ms").arg(quickest).arg(expected)));
}

void TstPtyServer::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("effect");  // empty: refused
    QTest::newRow("none") << QStringList() << "paced";
    QTest::newRow("no pace, delay") << QStringList{"--no-pace", "--delay=25"} << "unpaced 25";
    QTest::newRow("whole replies") << QStringList{"--whole-replies"} << "whole";
    QTest::newRow("drop list") << QStringList{"--drop=S,IO,"} << "drop S IO";
    QTest::newRow("refuse list") << QStringList{"--refuse=S,IO"} << "refuse S IO";
    QTest::newRow("rates") << QStringList{"--garble=0.5", "--stall=1", "--stall-ms=10"} << "garble stall";
    QTest::newRow("rate above 1") << QStringList{"--garble=2"} << "";
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << "";
}

void TstPtyServer::options()
{
    QFETCH(QStringList, args);
    QFETCH(QString, effect);
    std::vector<std::string> a;
    for (const QString &s : args) a.push_back(s.toStdString());
    const ServerArgs parsed = ParseServerArgs(a);
    QCOMPARE(parsed.error.empty(), !effect.isEmpty());
    const ServerConfig &c = parsed.config;
    if (effect == u"paced") QVERIFY(c.paced && !c.wholeReplies && c.responseDelay == 0us && !c.faults.any());
    if (effect == u"whole") QVERIFY(c.paced && c.wholeReplies);
    if (effect == u"unpaced 25") QVERIFY(!c.paced && c.responseDelay == 25ms);
    if (effect == u"drop S IO") QCOMPARE(c.faults.dropKeywords, (std::set<std::string>{"S", "IO"}));
    if (effect == u"refuse S IO") QCOMPARE(c.faults.refuseKeywords, (std::set<std::string>{"S", "IO"}));
    if (effect == u"garble stall") QVERIFY(c.faults.garbleRate == 0.5 && c.faults.stallRate == 1 && c.faults.stallMs == 10);
}

void TstPtyServer::driveSimProgram()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("drive"));
    QProcess sim;
    sim.start(QStringLiteral(DRIVE_SIM_BINARY), {QStringLiteral("--no-pace"), QStringLiteral("--link=") + link});
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));
    const QByteArray first = sim.readLine();
    QVERIFY2(first.startsWith("/dev/pts/") && first.trimmed().endsWith(link.toUtf8()), first.constData());
    {
        FramedLine line(link.toUtf8());
        // A command on standard input raises an alarm; SIGUSR1 power-cycles
        // the drive, which clears the alarm and keeps its history.
        sim.write("alarm 4\n");
        QTRY_COMPARE_WITH_TIMEOUT(readReply(line.exchange("ALM", 200)).fields.value(0), 0x10, 3000);
        ::kill(static_cast<pid_t>(sim.processId()), SIGUSR1);
        QTRY_COMPARE_WITH_TIMEOUT(readReply(line.exchange("ALM", 200)).fields.mid(0, 2), QList<qint32>({0, 0x10}), 3000);
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

QTEST_MAIN(TstPtyServer)
#include "tst_ptyserver.moc"
