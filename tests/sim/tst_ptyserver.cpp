// The simulated drive on its pseudo-terminal, seen from the other end of the
// line: framing, memory, capture, line timing, faults, bad input, the
// transcript, the options and the orvex-drive-sim program.

#include "framedline.h"
#include "simtestutil.h"
#include "sim/ptyserver.h"
#include "sim/serverargs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <csignal>

using namespace sim;
using namespace std::chrono_literals;

namespace {

ServerConfig quickConfig()
{
    ServerConfig c;
    c.paced = false;
    return c;
}

// The drive's time, moved on by the test rather than by the clock.
struct ModelClock {
    std::shared_ptr<std::atomic<std::int64_t>> us = std::make_shared<std::atomic<std::int64_t>>(0);
    ServerConfig config() const
    {
        ServerConfig c = quickConfig();
        c.modelClock = [t = us] { return std::chrono::microseconds(t->load()); };
        return c;
    }
    void pass(int ms) { *us += ms * 1000LL; }
};

}  // namespace

class TstPtyServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCatalogueRequestIsAnsweredAndWrittenDown();
    void captureAndMemoryOverTheLine();
    void pacedExchangeTakesTheLineTime_data();
    void pacedExchangeTakesTheLineTime();
    void delayAndPieces();
    void badInputNeverStopsTheDrive();
    void options_data();
    void options();
    void driveSimProgram();
};

void TstPtyServer::everyCatalogueRequestIsAnsweredAndWrittenDown()
{
    QTemporaryDir dir;
    ServerConfig c = quickConfig();
    c.transcriptPath = dir.filePath(QStringLiteral("t.log")).toStdString();
    const auto catalogue = CatalogueRequests();
    {
        PtyServer server(c);
        QVERIFY(server.start());
        FramedLine line(QByteArray::fromStdString(server.devicePath()));
        QVERIFY(line.ok());
        for (const auto &[request, count] : catalogue) {
            const ReadReply r = readReply(line.exchange(request.toLatin1()));
            QVERIFY2(line.raw.startsWith('\x02') && line.raw.endsWith('\x04') && line.raw.count('\x02') == 1,
                     qPrintable(request));
            QCOMPARE(r.keyword, request.section(QLatin1Char(';'), 0, 0));
            QCOMPARE(r.fields.size(), count);
        }
        server.powerCycle();
        // One request, one reply each, and the power cycle.
        QTRY_COMPARE(server.transcript().count(), quint64(2 * catalogue.size() + 1));
    }
    QFile f(QString::fromStdString(c.transcriptPath));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 2 * catalogue.size() + 2);  // and an empty piece after the last line end
    QVERIFY(lines[0].endsWith(" > S"));
    QVERIFY(lines[1].endsWith(" < S;41;0;0;D7;0"));
    QVERIFY(lines[lines.size() - 2].endsWith(" * power cycle"));
    QVERIFY(lines[0].split(' ')[0].toDouble() <= lines[1].split(' ')[0].toDouble());
}

void TstPtyServer::captureAndMemoryOverTheLine()
{
    ModelClock clock;
    PtyServer server(clock.config());
    QVERIFY(server.start());
    FramedLine line(QByteArray::fromStdString(server.devicePath()));
    // Armed with the trigger "Speed" and the status signal "Brake", it
    // waits for the axis to move.
    QCOMPARE(line.exchange("T;80;F;0"), QByteArray("T;0"));
    clock.pass(3000);
    QCOMPARE(line.exchange("T;80;F;0"), QByteArray("T;0"));
    QCOMPARE(line.exchange("SVON"), QByteArray("SVON"));
    QCOMPARE(line.exchange("PJOG"), QByteArray("PJOG"));
    clock.pass(3000);
    QList<qint32> speeds;
    QList<bool> brake;
    for (int b = 1; b <= 8; ++b) {
        const ReadReply r = readReply(line.exchange("T;80;F;0"));
        QCOMPARE(r.fields.size(), 33);
        QCOMPARE(r.fields[0], b);
        for (int j = 0; j < 16; ++j) {
            brake << (std::abs(r.fields[2 * j + 1]) > 9999);  // the status bit rides on the torque
            speeds << r.fields[2 * j + 2];
        }
    }
    const int pre = 63;  // position 15 puts the trigger under the middle grid line
    QVERIFY(speeds[pre - 1] < WaveCapture::SpeedLevel && speeds[pre] >= WaveCapture::SpeedLevel);
    QVERIFY(brake.first() && !brake.last());  // held before the servo is on, released while running
    // What is written and kept with FLASH reads back after a power cycle.
    Parameters p = FactoryParameters();
    for (int k = 0; k < ParameterCount; ++k) p[k] = std::max(ParameterRange(k).min, ParameterRange(k).max - k % 3);
    p[18] = -1234567;
    for (int b = 0; b < 6; ++b) QCOMPARE(line.exchange(writeRequest(b, p)), "W;" + QByteArray::number(b));
    QCOMPARE(line.exchange("TBLW;9;1;FFFFFC18;5DC;3E8;"), QByteArray("TBLW;9"));
    QCOMPARE(line.exchange("FLASH"), QByteArray("FLASH"));
    const quint64 before = server.transcript().count();
    server.powerCycle();
    QTRY_COMPARE(server.transcript().count(), before + 1);  // what was on the line is gone
    clock.pass(400);  // the drive starts up
    for (int b = 0; b < 6; ++b) {
        const ReadReply r = readReply(line.exchange("R;" + QByteArray::number(b)));
        QCOMPARE(r.fields.size(), 11);
        for (int i = 0; i < 10; ++i) QCOMPARE(r.fields[i + 1], p[b * 10 + i]);
    }
    QCOMPARE(readReply(line.exchange("TBLR;9")).fields, QList<qint32>({1, -1000, 1500, 1000}));
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

void TstPtyServer::delayAndPieces()
{
    // What the faults do to a reply is the shaper's; the server writes its
    // pieces with their pauses, after the response delay.
    ServerConfig c = quickConfig();
    c.responseDelay = 150ms;
    c.faults.splitRate = 1;
    c.faults.splitGapMs = 60;
    PtyServer server(c);
    QVERIFY(server.start());
    FramedLine line(QByteArray::fromStdString(server.devicePath()));
    QElapsedTimer t;
    t.start();
    QCOMPARE(line.exchange("IO"), QByteArray("IO;1FFF003E"));
    QVERIFY(t.elapsed() >= 150 + 55);
    QVERIFY(line.reads.size() >= 2);
    QVERIFY(line.reads.last() - line.reads.first() >= 55);
    server.setResponseDelay(0us);
    server.setFaults({});
    t.restart();
    QCOMPARE(line.exchange("IO"), QByteArray("IO;1FFF003E"));
    QVERIFY(t.elapsed() < 150);
}

void TstPtyServer::badInputNeverStopsTheDrive()
{
    PtyServer server(quickConfig());
    QVERIFY(server.start());
    FramedLine line(QByteArray::fromStdString(server.devicePath()));
    line.send(QByteArray("garbage\x04\x03 more", 14));    // outside any request
    line.send("\x02" + QByteArray(5000, 'A'));             // a request that never ends
    line.send(QByteArray("\x00\xFF\x7F\x02\x02\x04", 6));  // binary, and an empty request
    QCOMPARE(line.frame(), QByteArray("ERR;1"));
    QCOMPARE(line.exchange("S;;;"), QByteArray("ERR;1"));
    QCOMPARE(line.exchange("S"), QByteArray("S;41;0;0;D7;0"));
    // A megabyte without an end character, and the drive goes on.
    server.flood(1 << 20);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < (1 << 20) && t.elapsed() < 10000) got += (line.frame(100), line.raw);
    QCOMPARE(got.size(), qsizetype(1 << 20));
    QVERIFY(!got.contains('\x02') && !got.contains('\x04') && !got.contains('\x03'));
    QCOMPARE(line.exchange("IO"), QByteArray("IO;1FFF003E"));
}

void TstPtyServer::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("effect");  // empty: refused
    QTest::newRow("none") << QStringList() << "paced";
    QTest::newRow("no pace, delay") << QStringList{"--no-pace", "--delay=25"} << "unpaced 25";
    QTest::newRow("whole replies") << QStringList{"--whole-replies"} << "whole";
    QTest::newRow("separate value") << QStringList{"--seed", "99"} << "seed 99";
    QTest::newRow("drop list") << QStringList{"--drop=S,IO,"} << "drop S IO";
    QTest::newRow("rates") << QStringList{"--garble=0.5", "--stall=1", "--stall-ms=10"} << "garble stall";
    QTest::newRow("rate above 1") << QStringList{"--garble=2"} << "";
    QTest::newRow("negative delay") << QStringList{"--delay=-1"} << "";
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << "";
    QTest::newRow("flag with value") << QStringList{"--pace=1"} << "";
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
    if (effect == u"seed 99") QCOMPARE(c.seed, 99ULL);
    if (effect == u"drop S IO") QCOMPARE(c.faults.dropKeywords, (std::set<std::string>{"S", "IO"}));
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
