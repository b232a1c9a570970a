// The simulated drive on its pseudo-terminal, seen from the other end of the
// line: framing, line timing, faults on purpose, bad input, the transcript,
// the options and the orvex-drive-sim program.

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
#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace sim;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(sim::FaultConfig)

namespace {

// The program's end of the line, kept as plain as a terminal program's.
class LineClient {
public:
    explicit LineClient(const std::string &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return;
        termios tio {};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    ~LineClient()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    void send(const QByteArray &bytes) { [[maybe_unused]] auto n = ::write(m_fd, bytes.data(), bytes.size()); }
    void ask(const std::string &text) { send("\x02" + QByteArray::fromStdString(text) + "\x04"); }
    // Everything that arrives until an end character after a start
    // character (or until the time is up); reads and their times are kept.
    QByteArray reply(int timeoutMs = 2000)
    {
        QByteArray got;
        reads.clear();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            char buf[65536];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0) {
                if (n < 0 && errno == EAGAIN) continue;
                break;  // the line is gone
            }
            got.append(buf, n);
            reads.append(t.elapsed());
            const qsizetype stx = got.lastIndexOf('\x02');
            if (stx >= 0 && (got.indexOf('\x04', stx) >= 0 || got.indexOf('\x03', stx) >= 0)) break;
        }
        return got;
    }
    // The text of the last framed reply in what arrived.
    static std::string text(const QByteArray &got)
    {
        const qsizetype stx = got.lastIndexOf('\x02');
        if (stx < 0 || !(got.endsWith('\x04') || got.endsWith('\x03'))) return "<none>";
        return got.mid(stx + 1, got.size() - stx - 2).toStdString();
    }
    std::string exchange(const std::string &request, int timeoutMs = 2000)
    {
        ask(request);
        return text(reply(timeoutMs));
    }
    QList<qint64> reads;

private:
    int m_fd = -1;
};

ServerConfig quickConfig()
{
    ServerConfig c;
    c.paced = false;
    return c;
}

}  // namespace

class TstPtyServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCatalogueRequestIsAnswered();
    void writtenValuesReadBackAfterPowerCycle();
    void captureBlocksArriveInOrder();
    void pacedExchangeTakesTheLineTime();
    void responseDelay();
    void faults_data();
    void faults();
    void megabyteWithoutEnd();
    void lineVanishesAndComesBack();
    void badInputNeverStopsTheDrive();
    void transcriptFile();
    void options_data();
    void options();
    void driveSimProgram();
};

void TstPtyServer::everyCatalogueRequestIsAnswered()
{
    PtyServer server(quickConfig());
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    QVERIFY(line.ok());
    for (const auto &[request, count] : CatalogueRequests()) {
        line.ask(request.toStdString());
        const QByteArray got = line.reply();
        QVERIFY2(got.startsWith('\x02') && got.endsWith('\x04') && got.count('\x02') == 1, qPrintable(request));
        const ReadReply r = readReply(LineClient::text(got));
        QCOMPARE(r.keyword, request.section(QLatin1Char(';'), 0, 0));
        QCOMPARE(r.fields.size(), count);
    }
    // One request, one reply each, in the transcript.
    QCOMPARE(server.transcript().count(), quint64(2 * CatalogueRequests().size()));
}

void TstPtyServer::writtenValuesReadBackAfterPowerCycle()
{
    PtyServer server(quickConfig());
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    Parameters p = FactoryParameters();
    for (int k = 0; k < ParameterCount; ++k) p[k] = std::max(ParameterRange(k).min, ParameterRange(k).max - k % 3);
    p[18] = -1234567;
    for (int b = 0; b < 6; ++b) QCOMPARE(line.exchange(writeRequest(b, p)), "W;" + std::to_string(b));
    QCOMPARE(line.exchange("TBLW;9;1;FFFFFC18;5DC;3E8;"), std::string("TBLW;9"));
    QCOMPARE(line.exchange("FLASH"), std::string("FLASH"));
    server.powerCycle();
    QTest::qWait(350);  // the drive starts up
    for (int b = 0; b < 6; ++b) {
        const ReadReply r = readReply(line.exchange("R;" + std::to_string(b)));
        QCOMPARE(r.fields.size(), 11);
        for (int i = 0; i < 10; ++i) QCOMPARE(r.fields[i + 1], p[b * 10 + i]);
    }
    QCOMPARE(readReply(line.exchange("TBLR;9")).fields, QList<qint32>({1, -1000, 1500, 1000}));
}

void TstPtyServer::captureBlocksArriveInOrder()
{
    auto modelTime = std::make_shared<std::atomic<std::int64_t>>(0);
    ServerConfig c = quickConfig();
    c.modelClock = [modelTime] { return std::chrono::microseconds(modelTime->load()); };
    PtyServer server(c);
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    QCOMPARE(line.exchange("T;80;F;0"), std::string("T;0"));  // armed, trigger "Speed"
    *modelTime += 1'000'000;  // the samples before the trigger are taken
    QCOMPARE(line.exchange("SVON"), std::string("SVON"));
    QCOMPARE(line.exchange("PJOG"), std::string("PJOG"));
    *modelTime += 3'000'000;
    for (int b = 1; b <= 8; ++b) {
        const ReadReply r = readReply(line.exchange("T;80;F;0"));
        QCOMPARE(r.fields.size(), 33);
        QCOMPARE(r.fields[0], b);
    }
    QCOMPARE(line.exchange("T;0;F;0"), std::string("T;0"));
}

void TstPtyServer::pacedExchangeTakesTheLineTime()
{
    ServerConfig c;
    c.paced = true;
    PtyServer server(c);
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    for (const std::string request : {"S", "VV;FFFF0000;FFFF0000;", "R;1"}) {
        // Never faster than the line; the quickest of a few tries shows how
        // closely the line time is kept when the machine is not busy.
        double quickest = 1e9;
        double expected = 0;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            line.ask(request);
            const QByteArray got = line.reply();
            const double ms = t.nsecsElapsed() / 1e6;
            expected = (request.size() + 2 + got.size()) * 10 * 1000.0 / 9600;
            QVERIFY(got.endsWith('\x04'));
            QVERIFY2(ms >= expected * 0.98, qPrintable(QStringLiteral("%1: %2 ms < %3 ms").arg(request.c_str()).arg(ms).arg(expected)));
            quickest = std::min(quickest, ms);
        }
        QVERIFY2(quickest <= expected * 1.2 + 10,
                 qPrintable(QStringLiteral("%1: %2 ms, line time %3 ms").arg(request.c_str()).arg(quickest).arg(expected)));
    }
}

void TstPtyServer::responseDelay()
{
    ServerConfig c = quickConfig();
    c.responseDelay = 150ms;
    PtyServer server(c);
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    QElapsedTimer t;
    t.start();
    QCOMPARE(line.exchange("IO"), std::string("IO;1FFF003E"));
    QVERIFY(t.elapsed() >= 150);
    server.setResponseDelay(0us);
    t.restart();
    line.exchange("IO");
    QVERIFY(t.elapsed() < 150);
}

void TstPtyServer::faults_data()
{
    QTest::addColumn<sim::FaultConfig>("faults");
    QTest::addColumn<QString>("check");
    FaultConfig f;
    f.dropKeywords = {"S"};
    QTest::newRow("drop a keyword") << f << "no S reply, IO answered";
    f = {};
    f.dropNext = 2;
    QTest::newRow("drop the next two") << f << "third S answered";
    f = {};
    f.dropRate = 1;
    QTest::newRow("drop all") << f << "no reply";
    f = {};
    f.garbleRate = 1;
    QTest::newRow("garble") << f << "framed, same length, other text";
    f = {};
    f.noiseRate = 1;
    f.noiseLength = 5;
    QTest::newRow("noise") << f << "5 characters before the start";
    f = {};
    f.strayEndRate = 1;
    QTest::newRow("stray end") << f << "end character before the start";
    f = {};
    f.doubleStartRate = 1;
    QTest::newRow("double start") << f << "two starts, last reply intact";
    f = {};
    f.oversizeRate = 1;
    QTest::newRow("oversize") << f << "300 fields";
    f = {};
    f.splitRate = 1;
    f.splitGapMs = 60;
    QTest::newRow("split") << f << "pieces 60 ms apart, intact";
    f = {};
    f.stallRate = 1;
    f.stallMs = 300;
    QTest::newRow("stall") << f << "300 ms late, intact";
}

void TstPtyServer::faults()
{
    QFETCH(sim::FaultConfig, faults);
    QFETCH(QString, check);
    ServerConfig c = quickConfig();
    c.faults = faults;
    PtyServer server(c);
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    const std::string status = "S;41;0;0;D7;0";
    QElapsedTimer t;
    t.start();
    line.ask("S");
    const QByteArray got = line.reply(check.startsWith(u"no") ? 300 : 2000);
    const qint64 ms = t.elapsed();
    const qsizetype stx = got.lastIndexOf('\x02');
    const QByteArray before = got.left(got.indexOf('\x02'));

    if (check == u"no S reply, IO answered") {
        QVERIFY(got.isEmpty());
        QCOMPARE(line.exchange("IO"), std::string("IO;1FFF003E"));
    } else if (check == u"third S answered") {
        QVERIFY(got.isEmpty());
        QCOMPARE(line.exchange("S", 300), std::string("<none>"));
        QCOMPARE(line.exchange("S"), status);
    } else if (check == u"no reply") {
        QVERIFY(got.isEmpty());
    } else if (check == u"framed, same length, other text") {
        QVERIFY(got.startsWith('\x02') && got.endsWith('\x04'));
        QCOMPARE(got.size(), qsizetype(status.size() + 2));
        QVERIFY(LineClient::text(got) != status);
    } else if (check == u"5 characters before the start") {
        QCOMPARE(before.size(), 5);
        for (char ch : before) QVERIFY(ch >= 0x20 && ch < 0x7F);
        QCOMPARE(LineClient::text(got), status);
    } else if (check == u"end character before the start") {
        QVERIFY(before.contains('\x04'));
        QCOMPARE(LineClient::text(got), status);
    } else if (check == u"two starts, last reply intact") {
        QCOMPARE(got.count('\x02'), 2);
        QCOMPARE(got.count('\x04'), 1);
        QCOMPARE(LineClient::text(got), status);
    } else if (check == u"300 fields") {
        QCOMPARE(readReply(LineClient::text(got)).fields.size(), 300);
    } else if (check == u"pieces 60 ms apart, intact") {
        QCOMPARE(LineClient::text(got), status);
        QVERIFY(line.reads.size() >= 2);
        QVERIFY(line.reads.last() - line.reads.first() >= 55);
    } else if (check == u"300 ms late, intact") {
        QCOMPARE(LineClient::text(got), status);
        QVERIFY(ms >= 300);
    } else {
        QFAIL("unknown check");
    }
    Q_UNUSED(stx);
    // The transcript says what was done to the reply.
    const auto entries = server.transcript().since();
    QVERIFY(std::any_of(entries.begin(), entries.end(),
                        [](const TranscriptEntry &e) { return e.kind == TranscriptEntry::Kind::Reply && !e.note.empty(); }));
}

void TstPtyServer::megabyteWithoutEnd()
{
    PtyServer server(quickConfig());
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    server.flood(1 << 20);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < (1 << 20) && t.elapsed() < 10000) got += line.reply(100);
    QCOMPARE(got.size(), qsizetype(1 << 20));
    QVERIFY(!got.contains('\x02') && !got.contains('\x04') && !got.contains('\x03'));
    QCOMPARE(line.exchange("IO"), std::string("IO;1FFF003E"));  // and the drive goes on
}

void TstPtyServer::lineVanishesAndComesBack()
{
    QTemporaryDir dir;
    ServerConfig c = quickConfig();
    c.linkPath = dir.filePath(QStringLiteral("drive")).toStdString();
    PtyServer server(c);
    QVERIFY(server.start());
    {
        LineClient line(server.devicePath());
        QCOMPARE(line.exchange("IO"), std::string("IO;1FFF003E"));
        server.vanish(400ms);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QString::fromStdString(c.linkPath)), 2000);
        QCOMPARE(line.exchange("IO", 200), std::string("<none>"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QString::fromStdString(c.linkPath)), 3000);
    LineClient again(server.devicePath());
    QVERIFY(again.ok());
    QCOMPARE(again.exchange("IO"), std::string("IO;1FFF003E"));
}

void TstPtyServer::badInputNeverStopsTheDrive()
{
    PtyServer server(quickConfig());
    QVERIFY(server.start());
    LineClient line(server.devicePath());
    line.send(QByteArray("garbage\x04\x03 more", 14));          // outside any request
    line.send("\x02" + QByteArray(5000, 'A'));                   // a request that never ends
    line.send(QByteArray("\x00\xFF\x7F\x02\x02\x04", 6));        // binary, and an empty request
    QCOMPARE(LineClient::text(line.reply()), std::string("ERR;1"));
    QCOMPARE(line.exchange("S;;;"), std::string("ERR;1"));
    QCOMPARE(line.exchange("W;0;1;2"), std::string("ERR;1"));
    QCOMPARE(line.exchange("S"), std::string("S;41;0;0;D7;0"));
}

void TstPtyServer::transcriptFile()
{
    QTemporaryDir dir;
    ServerConfig c = quickConfig();
    c.transcriptPath = dir.filePath(QStringLiteral("t.log")).toStdString();
    {
        PtyServer server(c);
        QVERIFY(server.start());
        LineClient line(server.devicePath());
        line.exchange("S");
        line.exchange("MON;A");
        server.powerCycle();
        QTRY_COMPARE(server.transcript().count(), quint64(5));
    }
    QFile f(QString::fromStdString(c.transcriptPath));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 6);  // and an empty piece after the last line end
    QVERIFY(lines[0].endsWith(" > S"));
    QVERIFY(lines[1].endsWith(" < S;41;0;0;D7;0"));
    QVERIFY(lines[3].endsWith(" < MON;A;0"));
    QVERIFY(lines[4].endsWith(" * power cycle"));
    QVERIFY(lines[0].split(' ')[0].toDouble() <= lines[1].split(' ')[0].toDouble());
}

void TstPtyServer::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("effect");
    QTest::newRow("none") << QStringList() << true << "paced";
    QTest::newRow("no pace, delay") << QStringList{"--no-pace", "--delay=25"} << true << "unpaced 25";
    QTest::newRow("separate value") << QStringList{"--seed", "99"} << true << "seed 99";
    QTest::newRow("drop list") << QStringList{"--drop=S,IO,"} << true << "drop S IO";
    QTest::newRow("rates") << QStringList{"--garble=0.5", "--stall=1", "--stall-ms=10"} << true << "garble stall";
    QTest::newRow("rate above 1") << QStringList{"--garble=2"} << false << "";
    QTest::newRow("negative delay") << QStringList{"--delay=-1"} << false << "";
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << false << "";
    QTest::newRow("flag with value") << QStringList{"--pace=1"} << false << "";
}

void TstPtyServer::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QString, effect);
    std::vector<std::string> a;
    for (const QString &s : args) a.push_back(s.toStdString());
    const ServerArgs parsed = ParseServerArgs(a);
    QCOMPARE(parsed.error.empty(), ok);
    const ServerConfig &c = parsed.config;
    if (effect == u"paced") QVERIFY(c.paced && c.responseDelay == 0us && !c.faults.any());
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
        LineClient line(link.toStdString());
        QCOMPARE(line.exchange("SVON"), std::string("SVON"));
        QVERIFY(readReply(line.exchange("S")).fields.value(0) < 0);  // bit 31: servo on
        sim.write("power\n");
        QTRY_VERIFY_WITH_TIMEOUT(readReply(line.exchange("S", 200)).fields.value(0) > 0, 3000);
        ::kill(static_cast<pid_t>(sim.processId()), SIGUSR1);  // a power cycle too
        sim.write("alarm 4\n");
        QTRY_COMPARE_WITH_TIMEOUT(readReply(line.exchange("ALM", 200)).fields.value(0), 0x10, 3000);
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

QTEST_MAIN(TstPtyServer)
#include "tst_ptyserver.moc"
