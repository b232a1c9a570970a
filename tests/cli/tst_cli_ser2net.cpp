// The command-line tool, in-process, reaching simulated drives through a
// real ser2net: raw TCP and RFC 2217 ports carry every transfer exactly as
// the pseudo-terminal does (the same requests and replies in the drive's
// transcript, the same files); RFC 2217 sets the line the server opens; a
// busy, a refusing and a vanishing server are told apart and nothing half
// done is reported as done.

#include "clitool.h"
#include "ser2nettestutil.h"

#include "drive/link/netserialio.h"
#include "drive/params/paramfile.h"
#include "drive/params/paramcatalogue.h"
#include "sim/ptyserver.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace ser2nettest;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &args)
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    CliEnvironment env;
    env.out = &out;
    env.err = &err;
    env.tickMs = 25;
    r.status = RunCli(QStringList{QStringLiteral("orvex-cli")} + args, env);
    out.flush();
    err.flush();
    return r;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<sim::PtyServer> startDrive(bool paced = false)
{
    sim::ServerConfig c;
    c.paced = paced;
    c.seed = 1;
    auto d = std::make_unique<sim::PtyServer>(c);
    if (!d->start()) qFatal("the simulated drive does not start");
    return d;
}

// What the drive saw: each request's text and the reply as it went over the
// line. How often the poll's "S" falls between two runs, and how often a
// capture asks again while it waits, is a matter of timing: the polls are
// left out and a repeated exchange counts once.
QStringList exchanges(sim::PtyServer &drive)
{
    QStringList out;
    QString request;
    for (const sim::TranscriptEntry &e : drive.transcript().since(0)) {
        if (e.kind == sim::TranscriptEntry::Kind::Request) {
            request = QString::fromStdString(e.text);
        } else if (e.kind == sim::TranscriptEntry::Kind::Reply && request != u"S") {
            const QString exchange = request + QStringLiteral(" -> ") + QString::fromStdString(sim::Transcript::visible(e.wire));
            if (out.isEmpty() || out.last() != exchange) out << exchange;
        }
    }
    return out;
}

}  // namespace

class TstCliSer2Net : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void transfersAsOverThePty_data();
    void transfersAsOverThePty();
    void rfc2217SetsTheLine_data();
    void rfc2217SetsTheLine();
    void busyAndRefusingServers();
    void serverKilledMidTransfer();
};

void TstCliSer2Net::initTestCase()
{
    QVERIFY2(!ser2netBinary().isEmpty(), "ser2net is not installed (scripts/setup.sh installs it)");
}

void TstCliSer2Net::transfersAsOverThePty_data()
{
    QTest::addColumn<bool>("telnet");
    QTest::newRow("raw TCP") << false;
    QTest::newRow("RFC 2217") << true;
}

// The same commands, on two drives alike: one on its pseudo-terminal, one
// through ser2net.
void TstCliSer2Net::transfersAsOverThePty()
{
    QFETCH(bool, telnet);
    QTemporaryDir dir;
    const auto local = startDrive();
    const auto remote = startDrive();
    Server server({{QString::fromStdString(remote->devicePath()), telnet}});
    QVERIFY2(server.start(), qPrintable(server.output()));
    ParamValues v{};
    for (int k = 0; k < UserParamCount; ++k) v[k] = ParamRange(k).section(u'/', 0, 0).toInt();
    v[1] = 31;
    QFile w(dir.filePath(QStringLiteral("w.pxt")));
    QVERIFY(w.open(QIODevice::WriteOnly) && w.write(EncodeParamFile(v)) == 240);
    w.close();

    const QStringList ports{QString::fromStdString(local->devicePath()), server.name()};
    const QString names[] = {QFileInfo(ports[0]).fileName(), QStringLiteral("127.0.0.1_%1").arg(server.tcpPort())};
    const QList<QStringList> commands{
        {"params", "read", "-o", "{dir}/p-{name}.pxt"},
        {"params", "write", "{dir}/w.pxt"},
        {"points", "read", "-o", "{dir}/t-{name}.ptt"},
        {"capture", "--trigger", "manual", "-o", "{dir}/c-{name}.wvt"},
    };
    for (QStringList command : commands) {
        command.replaceInStrings(QStringLiteral("{dir}"), dir.path());
        for (const QString &port : ports) {
            const Run r = cli(command + QStringList{"--port", port});
            QVERIFY2(r.status == 0, qPrintable(command.join(u' ') + u' ' + port + u'\n' + r.out + r.err));
        }
    }
    for (const QString &kind : {QStringLiteral("p-%1.pxt"), QStringLiteral("t-%1.ptt"), QStringLiteral("c-%1.wvt")}) {
        const QByteArray a = fileBytes(dir.filePath(kind.arg(names[0])));
        QVERIFY(!a.isEmpty());
        QCOMPARE(fileBytes(dir.filePath(kind.arg(names[1]))), a);
    }
    QCOMPARE(remote->withModel([](sim::DriveModel &m) { return m.parameters(); })[1], 31);
    const QStringList seen = exchanges(*remote);
    QVERIFY(seen.filter(QRegularExpression(QStringLiteral("^(R|W|TBLR|T);"))).size() > 40);
    QCOMPARE(seen, exchanges(*local));
}

void TstCliSer2Net::rfc2217SetsTheLine_data()
{
    QTest::addColumn<bool>("telnet");
    QTest::addColumn<QString>("line");
    // ser2net opens the device at 1200 bit/s, 2 stop bits: through RFC 2217
    // the program sets it to 9600 bit/s, 1 stop bit; a raw port keeps it.
    QTest::newRow("RFC 2217") << true << "9600 8 1";
    QTest::newRow("raw TCP") << false << "1200 8 2";
}

void TstCliSer2Net::rfc2217SetsTheLine()
{
    QFETCH(bool, telnet);
    QFETCH(QString, line);
    const auto drive = startDrive();
    const QString pty = QString::fromStdString(drive->slavePath());
    Server server({{QString::fromStdString(drive->devicePath()), telnet, QStringLiteral("1200o82")}});
    QVERIFY2(server.start(), qPrintable(server.output()));
    NetSerialIo io(QSerialPort::EvenParity);
    io.setAddress(server.name());
    QSignalSpy settled(&io, &SerialIo::openSettled);
    OpenResult r = io.open(1);
    QVERIFY(settled.wait(3000));
    r = io.open(1);
    QVERIFY2(r.status == OpenStatus::Ok, qPrintable(r.reason));
    // Read on the drive's side while the server holds the line open.
    QCOMPARE(lineOf(pty), line);
    io.close();
}

void TstCliSer2Net::busyAndRefusingServers()
{
    const auto drive = startDrive();
    Server server({{QString::fromStdString(drive->devicePath()), true}});
    QVERIFY2(server.start(), qPrintable(server.output()));

    // Another client holds the port.
    QTcpSocket other;
    other.connectToHost(QHostAddress::LocalHost, quint16(server.tcpPort()));
    QVERIFY(other.waitForConnected(2000));
    QTest::qWait(200);
    Run r = cli({"status", "--port", server.name()});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.contains(QStringLiteral("is in use by another client")) && r.out.contains(u"Port already in use"), qPrintable(r.out));
    other.disconnectFromHost();
    QTRY_VERIFY(other.state() == QAbstractSocket::UnconnectedState);
    QTest::qWait(100);
    r = cli({"status", "--port", server.name()});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));

    // Nothing listens: said at once.
    QElapsedTimer t;
    t.start();
    r = cli({"status", "--port", QStringLiteral("socket://127.0.0.1:%1").arg(freePort())});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.contains(u"refused the connection"), qPrintable(r.out));
    QVERIFY(t.elapsed() < 2000);
}

// ser2net dies in the middle of a parameter read from a drive paced at
// 9600 bit/s: the read fails and writes no file; once ser2net is back the
// same command reads the drive whole.
void TstCliSer2Net::serverKilledMidTransfer()
{
    QTemporaryDir dir;
    const auto drive = startDrive(true);
    const int tcpPort = freePort();
    auto server = std::make_unique<Server>(QList<Port>{{QString::fromStdString(drive->devicePath()), true, QStringLiteral("9600e81"), tcpPort}});
    QVERIFY2(server->start(), qPrintable(server->output()));
    const QString file = dir.filePath(QStringLiteral("p.pxt"));
    const QString name = server->name();
    std::atomic<bool> killed{false};
    std::thread killer([&] {
        // Once the third block has been asked for.
        while (!killed) {
            for (const sim::TranscriptEntry &e : drive->transcript().since(0))
                if (e.text == "R;2") killed = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    QTimer kill;
    connect(&kill, &QTimer::timeout, this, [&] {
        if (killed) server->kill();
    });
    kill.start(5);
    Run r = cli({"params", "read", "--port", name, "-o", file});
    killer.join();
    kill.stop();
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.contains(u"lost"), qPrintable(r.out));
    QVERIFY(!QFile::exists(file));

    server = std::make_unique<Server>(QList<Port>{{QString::fromStdString(drive->devicePath()), true, QStringLiteral("9600e81"), tcpPort}});
    QVERIFY2(server->start(), qPrintable(server->output()));
    r = cli({"params", "read", "--port", name, "-o", file});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(fileBytes(file).size(), 240);
}

QTEST_GUILESS_MAIN(TstCliSer2Net)
#include "tst_cli_ser2net.moc"
