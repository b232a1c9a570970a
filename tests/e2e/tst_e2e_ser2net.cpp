// The window program on a drive behind a real ser2net: a transfer cut by a
// server that dies ends cleanly and the program finds the server again when
// it is back; a host that never answers does not freeze the window; a port
// that refuses is retried quietly, a busy one gets the "in use" message; and
// the port dialog's network field chooses a network port that the port file
// remembers by its number.

#include "e2eharness.h"
#include "ser2nettestutil.h"

#include "app/portfile.h"
#include "app/portinp.h"
#include "app/titlebar.h"
#include "params/prm_writ.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace ser2nettest;

namespace {

// The drive answers each request after 40 ms, so that a transfer lasts long
// enough to be cut.
sim::ServerConfig slowDrive()
{
    sim::ServerConfig c = E2eHarness::fastDrive();
    c.responseDelay = std::chrono::milliseconds(40);
    return c;
}

// A listener on 127.0.0.1 whose one place in the accept queue is taken:
// every further connection request is dropped without a word, as by a host
// behind a firewall that drops packets.
struct SilentHost {
    int fd = -1;
    QTcpSocket filler;
    quint16 port = 0;
    SilentHost()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd, 0);
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        filler.connectToHost(QHostAddress::LocalHost, port);
        filler.waitForConnected(1000);
    }
    ~SilentHost() { ::close(fd); }
};

}  // namespace

class TstE2eSer2Net : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void serverDiesInAnImportAndComesBack();
    void silentHostDoesNotFreezeTheWindow();
    void refusingAndBusyServers_data();
    void refusingAndBusyServers();
    void dialogChoosesANetworkPort();
    void stopsReachTheDriveWhenThePortCloses_data();
    void stopsReachTheDriveWhenThePortCloses();
};

void TstE2eSer2Net::initTestCase()
{
    QVERIFY2(!ser2netBinary().isEmpty(), "ser2net is not installed (scripts/setup.sh installs it)");
}

void TstE2eSer2Net::serverDiesInAnImportAndComesBack()
{
    std::unique_ptr<Server> server;
    const int tcpPort = freePort();
    QString device;
    E2eHarness h(slowDrive(), [&](const QString &d) {
        device = d;
        server = std::make_unique<Server>(QList<Port>{{d, true, QStringLiteral("9600e81"), tcpPort}});
        return server->start() ? server->name() : QString();
    });
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(h.waitForReply(QStringLiteral("S;"), 5000));
    QVERIFY(h.link().portStatus().contains(u"rfc2217://127.0.0.1"));

    Prm_Writ &w = *h.window().prmWrit;
    h.activate(&w);
    h.mark();
    w.CmdRW[0]->click();
    QVERIFY(h.waitForRequest(QStringLiteral("R;2")));
    server->kill();
    // The import is given up at once, not left waiting; the window knows
    // nothing was read.
    QVERIFY(h.waitUntil([&] { return w.CmdRW[0]->isEnabled(); }, 3000));
    QVERIFY(h.link().portStatus().contains(u"lost"));
    QCOMPARE(h.link().state().ReadDoneFlags & 2, 0);
    QVERIFY(!w.CmdRW[1]->isEnabled());
    QVERIFY(!h.link().portOpen());

    h.idle(700);
    server = std::make_unique<Server>(QList<Port>{{device, true, QStringLiteral("9600e81"), tcpPort}});
    QVERIFY2(server->start(), qPrintable(server->output()));
    h.mark();
    QVERIFY(h.waitForReply(QStringLiteral("S;"), 8000));
    QVERIFY(h.link().portOpen());
    h.mark();
    w.CmdRW[0]->click();
    QVERIFY(h.waitUntil([&] { return (h.link().state().ReadDoneFlags & 2) != 0; }, 5000));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^R;"))).size(), 6);
}

void TstE2eSer2Net::silentHostDoesNotFreezeTheWindow()
{
    SilentHost silent;
    E2eHarness h(E2eHarness::fastDrive(),
                 [&](const QString &) { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.port); });
    QVERIFY2(h.ok(), qPrintable(h.error()));
    // A host that does not answer within a second (three by default): long
    // enough for a window that waited on it to be seen standing still.
    NetSerialIo::Timing timing;
    timing.connectMs = 1000;
    h.port().network().setTiming(timing);
    bool portMessage = false;
    connect(&h.link(), &DriveLink::portRefused, this, [&](OpenStatus, int) { portMessage = true; });
    QLabel *strip = h.window().titleBar->findChild<QLabel *>(QStringLiteral("LblPort"));
    QVERIFY(strip);
    QElapsedTimer t;
    t.start();
    qint64 last = 0, longest = 0;
    QStringList said;
    QTimer beat;
    connect(&beat, &QTimer::timeout, this, [&] {
        longest = qMax(longest, t.elapsed() - last);
        last = t.elapsed();
        if (said.isEmpty() || said.last() != strip->text()) said << strip->text();
    });
    beat.start(10);
    QVERIFY(h.waitUntil([&] { return strip->text().contains(u"did not answer"); }, 5000));
    QVERIFY2(longest < 150, qPrintable(QStringLiteral("the window stood still for %1 ms").arg(longest)));
    QVERIFY2(said.filter(QStringLiteral("connecting to 127.0.0.1")).size() > 0, qPrintable(said.join(u'|')));
    QVERIFY(!portMessage);
    QVERIFY(!h.link().portOpen());
}

void TstE2eSer2Net::refusingAndBusyServers_data()
{
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("said");
    QTest::newRow("nothing listens") << false << "refused the connection";
    QTest::newRow("another client") << true << "in use by another client";
}

void TstE2eSer2Net::refusingAndBusyServers()
{
    QFETCH(bool, busy);
    QFETCH(QString, said);
    std::unique_ptr<Server> server;
    QTcpSocket other;
    E2eHarness h(E2eHarness::fastDrive(), [&](const QString &d) {
        if (!busy) return QStringLiteral("socket://127.0.0.1:%1").arg(freePort());
        server = std::make_unique<Server>(QList<Port>{{d, false}});
        if (!server->start()) return QString();
        other.connectToHost(QHostAddress::LocalHost, quint16(server->tcpPort()));
        other.waitForConnected(1000);
        QTest::qWait(100);
        return server->name();
    });
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QList<OpenStatus> messages;
    connect(&h.link(), &DriveLink::portRefused, this, [&](OpenStatus s, int) { messages << s; });
    QVERIFY(h.waitUntil([&] { return h.link().portStatus().contains(said); }, 3000));
    h.idle(300);
    if (busy) {
        QVERIFY(!messages.isEmpty());
        QCOMPARE(messages.first(), OpenStatus::InUse);
    } else {
        QVERIFY(messages.isEmpty());  // retried quietly
    }
    QVERIFY(!h.link().portOpen());
}

void TstE2eSer2Net::dialogChoosesANetworkPort()
{
    std::unique_ptr<Server> server;
    E2eHarness h(E2eHarness::fastDrive(), [&](const QString &d) {
        server = std::make_unique<Server>(QList<Port>{{d, true}});
        server->start();
        // Port 1 leads nowhere: the user chooses the network port.
        return QStringLiteral("/nonexistent/tty");
    });
    QVERIFY2(h.ok(), qPrintable(h.error()));
    PortInp &dialog = *h.window().portInp;
    dialog.show();
    QVERIFY(dialog.CmbNetPort->isEnabled());
    QCOMPARE(dialog.CmbNetPort->currentText(), QString());
    dialog.CmbNetPort->setEditText(QStringLiteral(" RFC2217://127.0.0.1:%1 ").arg(server->tcpPort()));
    dialog.CmdOKCancel_Click(0);
    QCOMPARE(h.link().settings().PortNo, PortIo::FirstNetworkPortNo);
    QFile portFile(PortFilePath());
    QVERIFY(portFile.open(QIODevice::ReadOnly));
    QCOMPARE(portFile.readLine(), QByteArray(" 101 \r\n"));
    h.mark();
    QVERIFY(h.waitForReply(QStringLiteral("S;"), 5000));
    QVERIFY(h.link().portStatus().contains(server->name()));

    // Shown again: the number and the name of the port in use; a serial
    // port's number typed clears the name.
    dialog.show();
    QCOMPARE(dialog.TxtPortNo->text(), QStringLiteral("101"));
    QCOMPARE(dialog.CmbNetPort->currentText(), server->name());
    QVERIFY(dialog.CmbNetPort->findText(server->name()) >= 0);  // among the last used
    dialog.TxtPortNo->setText(QStringLiteral("1"));
    QCOMPARE(dialog.CmbNetPort->currentText(), QString());
    dialog.CmdOKCancel_Click(1);
}

void TstE2eSer2Net::stopsReachTheDriveWhenThePortCloses_data()
{
    QTest::addColumn<bool>("telnet");
    QTest::newRow("raw TCP") << false;
    QTest::newRow("RFC 2217") << true;
}

// A jog is running and its stop waits for the reply in flight when the port
// is closed (the port dialog's OK): the stop is written before the close,
// and ser2net hands it to the drive before it lets the line go.
void TstE2eSer2Net::stopsReachTheDriveWhenThePortCloses()
{
    QFETCH(bool, telnet);
    std::unique_ptr<Server> server;
    E2eHarness h(slowDrive(), [&](const QString &d) {
        server = std::make_unique<Server>(QList<Port>{{d, telnet}});
        return server->start() ? server->name() : QString();
    });
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(h.waitForReply(QStringLiteral("S;"), 5000));
    h.mark();
    h.link().setCommand("PJOG");
    QVERIFY(h.waitForRequest(QStringLiteral("PJOG")));
    QVERIFY(h.waitUntil([&] { return h.link().awaitingReply(); }));
    h.link().setCommand("JOGOFF");
    h.link().settings().OfflineMode = 1;  // nothing is opened again afterwards
    h.link().closePort();
    QVERIFY(!h.link().portOpen());
    // Three processes pass it on (this one, ser2net, the drive): on a loaded
    // machine that has taken more than 3 s.
    QVERIFY2(h.waitForRequest(QStringLiteral("JOGOFF"), 8000), qPrintable(h.requests().join(u' ')));
}

QTEST_MAIN(TstE2eSer2Net)
#include "tst_e2e_ser2net.moc"
