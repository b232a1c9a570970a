// The network port against scripted servers in this process: names, a port
// that refuses, a host that never answers, a busy server, the RFC 2217 line
// settings confirmed or not, a connection that drops, and a close that
// still delivers what was written.

#include "drive/link/drivelink.h"
#include "drive/link/netportname.h"
#include "drive/link/netserialio.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

NetSerialIo::Timing quick()
{
    NetSerialIo::Timing t;
    t.connectMs = 300;
    t.negotiateMs = 300;
    t.settleMinMs = 20;
    t.settleMaxMs = 100;
    t.claimMs = 200;
    t.retryFirstMs = 50;
    t.retryMaxMs = 200;
    t.lingerMs = 500;
    return t;
}

// Opens as the link's tick does until the result is not "connecting".
OpenResult openSettled(NetSerialIo &io, int timeoutMs = 3000)
{
    OpenResult r = io.open(1);
    QElapsedTimer t;
    t.start();
    while (r.status != OpenStatus::Ok && io.opening() && t.elapsed() < timeoutMs) {
        QSignalSpy settled(&io, &SerialIo::openSettled);
        settled.wait(timeoutMs);
        r = io.open(1);
    }
    return r;
}

// A TCP port on 127.0.0.1 where nothing listens.
quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort();
}

// The server's side of an RFC 2217 session: answers the COM port option
// and each line setting with the value given (or the one asked for).
struct ComPortPeer {
    enum class Mode { Agree, AnswerNoParity, Wont, Silent };
    Mode mode = Mode::Agree;
    QByteArray in;     // everything received
    QByteArray data;   // the line's bytes, unescaped
    qsizetype parsed = 0;

    QByteArray take(const QByteArray &bytes)
    {
        in += bytes;
        QByteArray answer;
        while (parsed < in.size()) {
            const uchar c = uchar(in[parsed]);
            if (c != 0xFF) {
                data += in[parsed++];
                continue;
            }
            if (parsed + 1 >= in.size()) break;
            const uchar cmd = uchar(in[parsed + 1]);
            if (cmd == 0xFF) {
                data += char(0xFF);
                parsed += 2;
            } else if (cmd >= 251 && cmd <= 254) {  // WILL WONT DO DONT
                if (parsed + 2 >= in.size()) break;
                const uchar opt = uchar(in[parsed + 2]);
                if (cmd == 251 && opt == 44 && mode == Mode::Wont) answer += QByteArray("\xFF\xFE\x2C", 3);
                else if (cmd == 251 && opt == 44 && mode != Mode::Silent) answer += QByteArray("\xFF\xFD\x2C", 3);
                parsed += 3;
            } else if (cmd == 250) {  // SB ... IAC SE
                const qsizetype end = in.indexOf(QByteArray("\xFF\xF0", 2), parsed);
                if (end < 0) break;
                QByteArray sb = in.mid(parsed + 2, end - parsed - 2);
                if (sb.size() >= 2 && uchar(sb[0]) == 44 && mode != Mode::Silent) {
                    sb[1] = char(uchar(sb[1]) + 100);
                    if (uchar(sb[1]) == 103 && mode == Mode::AnswerNoParity) sb[2] = 1;
                    answer += QByteArray("\xFF\xFA", 2) + sb + QByteArray("\xFF\xF0", 2);
                }
                parsed = end + 2;
            } else {
                parsed += 2;
            }
        }
        return answer;
    }
};

}  // namespace

class TstNetSerialIo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void names_data();
    void names();
    void refusedPortIsRetriedWithAPause();
    void silentHostNeverBlocks();
    void serverThatClosesAtOnce_data();
    void serverThatClosesAtOnce();
    void lineSettings_data();
    void lineSettings();
    void closeDeliversWhatWasWritten_data();
    void closeDeliversWhatWasWritten();
    void droppedConnectionIsLostThenBack();
    void connectionNobodyTakesIsLetGo();
    void replyACharacterAtATimeIsNotHeldBack();
};

void TstNetSerialIo::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("text");      // empty: not well formed
    QTest::addColumn<QString>("fileName");
    QTest::newRow("raw") << "socket://gw1:4001" << true << "socket://gw1:4001" << "gw1_4001";
    QTest::newRow("rfc2217, upper case, blanks") << " RFC2217://10.0.0.7:2001/ " << true << "rfc2217://10.0.0.7:2001" << "10.0.0.7_2001";
    QTest::newRow("ipv6") << "rfc2217://[::1]:4001" << true << "rfc2217://[::1]:4001" << "--1_4001";
    QTest::newRow("ipv6 without brackets") << "socket://::1:4001" << true << "" << "";
    QTest::newRow("no port") << "socket://gw1" << true << "" << "";
    QTest::newRow("port 0") << "socket://gw1:0" << true << "" << "";
    QTest::newRow("port too large") << "socket://gw1:65536" << true << "" << "";
    QTest::newRow("no host") << "rfc2217://:4001" << true << "" << "";
    QTest::newRow("options") << "rfc2217://gw1:4001?logging=debug" << true << "" << "";
    QTest::newRow("serial device") << "/dev/ttyUSB0" << false << "" << "ttyUSB0";
    QTest::newRow("other scheme") << "telnet://gw1:23" << false << "" << "gw1:23";
}

void TstNetSerialIo::names()
{
    QFETCH(QString, name);
    QFETCH(bool, network);
    QFETCH(QString, text);
    QFETCH(QString, fileName);
    QCOMPARE(IsNetPortName(name), network);
    QString why;
    const auto a = ParseNetPortName(name, &why);
    QCOMPARE(a.has_value(), !text.isEmpty());
    if (a) QCOMPARE(a->text(), text);
    else QVERIFY(!why.isEmpty());
    if (!fileName.isEmpty()) QCOMPARE(PortFileName(name), fileName);
}

void TstNetSerialIo::refusedPortIsRetriedWithAPause()
{
    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("socket://127.0.0.1:%1").arg(closedPort()));
    const OpenResult r = openSettled(io);
    QCOMPARE(r.status, OpenStatus::Other);
    QVERIFY2(r.reason.contains(u"refused"), qPrintable(r.reason));
    // Asked again at once, it does not knock again but says when it will.
    const OpenResult again = io.open(1);
    QVERIFY2(again.reason.contains(u"trying again"), qPrintable(again.reason));
    QVERIFY(!io.opening());
    QVERIFY(io.vanished());  // refused: nothing can answer
    QTRY_VERIFY_WITH_TIMEOUT(io.open(1).reason.startsWith(u"connecting"), 1000);
    QVERIFY(io.vanished());  // still, while it is tried again
    io.cancel();
    QVERIFY(!io.vanished());
}

void TstNetSerialIo::silentHostNeverBlocks()
{
    // A listener whose one place in the accept queue is taken drops every
    // further connection request without a word, as a host behind a
    // firewall that drops packets does.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
    QVERIFY(::listen(listener, 0) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) == 0);
    QTcpSocket filler;
    filler.connectToHost(QHostAddress::LocalHost, ntohs(a.sin_port));
    QVERIFY(filler.waitForConnected(1000));

    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("rfc2217://127.0.0.1:%1").arg(ntohs(a.sin_port)));
    QElapsedTimer t;
    t.start();
    OpenResult r = io.open(1);
    QVERIFY2(t.elapsed() < 50, "open() waited for the host");
    QVERIFY(io.opening());
    // The event loop keeps turning meanwhile.
    QTimer beat;
    qint64 last = t.elapsed(), longestGap = 0;
    connect(&beat, &QTimer::timeout, this, [&] {
        longestGap = qMax(longestGap, t.elapsed() - last);
        last = t.elapsed();
    });
    beat.start(10);
    QSignalSpy settled(&io, &SerialIo::openSettled);
    QVERIFY(settled.wait(2000));
    r = io.open(1);
    QCOMPARE(r.status, OpenStatus::Other);
    QVERIFY2(r.reason.contains(u"did not answer"), qPrintable(r.reason));
    QVERIFY(t.elapsed() >= 280 && t.elapsed() < 1000);
    QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
    ::close(listener);
}

void TstNetSerialIo::serverThatClosesAtOnce_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("busy, raw") << "socket" << QByteArray("Port already in use\r\n") << int(OpenStatus::InUse) << "in use by another client";
    QTest::newRow("busy, rfc2217") << "rfc2217" << QByteArray("\xFF\xFD\x2CPort already in use\r\n") << int(OpenStatus::InUse) << "\"Port already in use\"";
    QTest::newRow("device missing") << "socket" << QByteArray("Device open failure: Value or file not found\r\n") << int(OpenStatus::Other) << "Device open failure";
    QTest::newRow("silent close") << "socket" << QByteArray() << int(OpenStatus::Other) << "closed the connection at once";
}

void TstNetSerialIo::serverThatClosesAtOnce()
{
    QFETCH(QString, scheme);
    QFETCH(QByteArray, words);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        s->write(words);
        s->disconnectFromHost();
    });
    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(server.serverPort()));
    const OpenResult r = openSettled(io);
    QCOMPARE(int(r.status), status);
    QVERIFY2(r.reason.contains(said), qPrintable(r.reason));
    QVERIFY(!io.isOpen());
}

void TstNetSerialIo::lineSettings_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("parity");
    QTest::addColumn<QString>("said");  // empty: opens
    QTest::newRow("confirmed, even") << int(ComPortPeer::Mode::Agree) << int(QSerialPort::EvenParity) << "";
    QTest::newRow("confirmed, odd") << int(ComPortPeer::Mode::Agree) << int(QSerialPort::OddParity) << "";
    QTest::newRow("took no parity") << int(ComPortPeer::Mode::AnswerNoParity) << int(QSerialPort::EvenParity)
                                    << "set the line to 9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow control, "
                                       "not 9600 bit/s, 8 data bits, even parity";
    QTest::newRow("no line control") << int(ComPortPeer::Mode::Wont) << int(QSerialPort::EvenParity) << "does not offer line control";
    QTest::newRow("no answer") << int(ComPortPeer::Mode::Silent) << int(QSerialPort::EvenParity) << "did not confirm the line settings";
}

void TstNetSerialIo::lineSettings()
{
    QFETCH(int, mode);
    QFETCH(int, parity);
    QFETCH(QString, said);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    ComPortPeer peer;
    peer.mode = ComPortPeer::Mode(mode);
    QTcpSocket *conn = nullptr;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        conn = server.nextPendingConnection();
        connect(conn, &QTcpSocket::readyRead, conn, [&] { conn->write(peer.take(conn->readAll())); });
    });
    NetSerialIo io{QSerialPort::Parity(parity)};
    io.setTiming(quick());
    io.setAddress(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort()));
    const OpenResult r = openSettled(io);
    if (!said.isEmpty()) {
        QCOMPARE(r.status, OpenStatus::Other);
        QVERIFY2(r.reason.contains(said), qPrintable(r.reason));
        return;
    }
    QCOMPARE(r.status, OpenStatus::Ok);
    const char asked = parity == QSerialPort::OddParity ? 2 : 3;
    QVERIFY(peer.in.contains(QByteArray("\xFF\xFA\x2C\x03", 4) + asked));
    QVERIFY(peer.in.contains(QByteArray("\xFF\xFA\x2C\x01\x00\x00\x25\x80\xFF\xF0", 10)));  // 9600
    // Data both ways, a byte 255 escaped on the wire and not in the data.
    QSignalSpy arrived(&io, &SerialIo::bytesArrived);
    const QByteArray request("\x02R;\xFF\x04", 5);
    io.write(request);
    QTRY_COMPARE(peer.data, request);
    conn->write(QByteArray("\x02R;0;\xFF\xFF;1\x04", 10));
    QByteArray got;
    QTRY_VERIFY((got = [&] {
                     QByteArray all;
                     for (const auto &a : arrived) all += a[0].toByteArray();
                     return all;
                 }()) == QByteArray("\x02R;0;\xFF;1\x04", 9));
}

void TstNetSerialIo::closeDeliversWhatWasWritten_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("unread");  // the server sent something the program never read
    QTest::newRow("raw") << "socket" << false;
    QTest::newRow("raw, a reply on its way") << "socket" << true;
    QTest::newRow("rfc2217, a reply on its way") << "rfc2217" << true;
}

void TstNetSerialIo::closeDeliversWhatWasWritten()
{
    QFETCH(QString, scheme);
    QFETCH(bool, unread);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    ComPortPeer peer;
    QTcpSocket *conn = nullptr;
    bool ended = false;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        conn = server.nextPendingConnection();
        connect(conn, &QTcpSocket::readyRead, conn, [&] {
            const QByteArray answer = peer.take(conn->readAll());
            if (scheme == u"rfc2217") conn->write(answer);
        });
        connect(conn, &QTcpSocket::disconnected, conn, [&] { ended = true; });
        connect(conn, &QTcpSocket::errorOccurred, conn, [&](QAbstractSocket::SocketError e) { error = e; });
    });
    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(server.serverPort()));
    QCOMPARE(openSettled(io).status, OpenStatus::Ok);
    if (unread) {
        conn->write("\x02S;41;0;0;D7;0\x04");
        conn->flush();
        QTest::qWait(20);  // in the program's socket, not yet taken
    }
    // As the link closes the port: the stops, then close at once.
    io.write("\x02JOGOFF\x04");
    io.write("\x02HSOFF\x04");
    io.close();
    QVERIFY(!io.isOpen());
    QTRY_VERIFY(ended);
    QCOMPARE(peer.data, QByteArray("\x02JOGOFF\x04\x02HSOFF\x04"));
    QCOMPARE(error, QAbstractSocket::RemoteHostClosedError);  // a close, not a reset
}

void TstNetSerialIo::droppedConnectionIsLostThenBack()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    QList<QTcpSocket *> conns;
    connect(&server, &QTcpServer::newConnection, this, [&] { conns << server.nextPendingConnection(); });
    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("socket://127.0.0.1:%1").arg(port));
    QCOMPARE(openSettled(io).status, OpenStatus::Ok);
    // The link on it: a dropped connection is a drive that cannot answer,
    // and the strip says "No reply" until the port is open again.
    PortSettings settings;
    DriveLink link(settings, io);
    QVERIFY(!io.vanished() && !link.noReply());
    QSignalSpy lost(&io, &SerialIo::lost);
    server.close();  // the server goes away, its connection with it
    conns.first()->abort();
    QVERIFY(lost.wait(1000));
    QVERIFY(!io.isOpen());
    QVERIFY(!lost.first().first().toString().isEmpty());
    QVERIFY(io.vanished() && link.noReply());
    QCOMPARE(io.open(1).status, OpenStatus::Other);  // refused or waiting
    QVERIFY(link.noReply());
    settings.OfflineMode = 1;  // offline says so on its own
    QVERIFY(!link.noReply());
    settings.OfflineMode = 0;
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    QTRY_VERIFY_WITH_TIMEOUT(io.open(1).status == OpenStatus::Ok || io.isOpen(), 3000);
    QVERIFY(io.isOpen());
    QVERIFY(!io.vanished());
}

void TstNetSerialIo::connectionNobodyTakesIsLetGo()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket *conn = nullptr;
    bool ended = false;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        conn = server.nextPendingConnection();
        connect(conn, &QTcpSocket::disconnected, conn, [&] { ended = true; });
    });
    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort()));
    QCOMPARE(io.open(1).status, OpenStatus::Other);
    QSignalSpy settled(&io, &SerialIo::openSettled);
    QVERIFY(settled.wait(1000));
    // The program went offline meanwhile and never asks again.
    QTRY_VERIFY_WITH_TIMEOUT(ended, 1000);
    QVERIFY(!io.isOpen());
}

// A server that writes a reply a character at a time, as a serial device
// server does at 9600 bit/s, with Nagle's rule on (the socket default): each
// character after the first waits for the acknowledgement of the one before,
// which a receiver that delays its acknowledgements keeps back up to 40 ms.
void TstNetSerialIo::replyACharacterAtATimeIsNotHeldBack()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket *conn = nullptr;
    connect(&server, &QTcpServer::newConnection, this, [&] { conn = server.nextPendingConnection(); });
    NetSerialIo io(QSerialPort::EvenParity);
    io.setTiming(quick());
    io.setAddress(QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort()));
    QCOMPARE(openSettled(io).status, OpenStatus::Ok);
    QByteArray got;
    connect(&io, &SerialIo::bytesArrived, this, [&](const QByteArray &b) { got += b; });
    const QByteArray reply("\x02TBLR;1F;FFFF3CB0;64;64;0;0;0;0\x04");
    std::vector<double> late;  // ms from the last character written to the reply taken whole
    for (int round = 0; round < 30; ++round) {
        got.clear();
        io.write("\x02TBLR;1F\x04");  // the request, as the link sends it
        QTRY_VERIFY(conn && conn->bytesAvailable() > 0);
        conn->readAll();
        QElapsedTimer t;
        t.start();
        for (const char c : reply) {
            conn->write(&c, 1);
            conn->flush();
            QTest::qWait(1);
        }
        const qint64 written = t.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(got, reply, 2000);
        late.push_back(double(t.elapsed() - written));
    }
    // Once the connection has settled into its request-and-reply rhythm, a
    // receiver that delays its acknowledgements gets most replies 40 ms late.
    const auto slow = std::count_if(late.begin(), late.end(), [](double ms) { return ms > 15; });
    QVERIFY2(slow <= 5, qPrintable(QStringLiteral("%1 of 30 replies ended more than 15 ms after they were written").arg(slow)));
}

QTEST_GUILESS_MAIN(TstNetSerialIo)
#include "tst_netserialio.moc"
