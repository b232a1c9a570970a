#include "netserialio.h"

#include "telnetcomport.h"

#include <QTcpSocket>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

TelnetComPort::Parity comPortParity(QSerialPort::Parity p)
{
    switch (p) {
    case QSerialPort::NoParity: return TelnetComPort::ParityNone;
    case QSerialPort::OddParity: return TelnetComPort::ParityOdd;
    case QSerialPort::MarkParity: return TelnetComPort::ParityMark;
    case QSerialPort::SpaceParity: return TelnetComPort::ParitySpace;
    default: return TelnetComPort::ParityEven;
    }
}

constexpr qsizetype HeardLimit = 512;

}  // namespace

NetSerialIo::NetSerialIo(QSerialPort::Parity parity, QObject *parent) : SerialIo(parent), m_parity(parity)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NetSerialIo::onTimer);
}

NetSerialIo::~NetSerialIo()
{
    if (m_stage == Stage::Open) dropSocket(true);
    else dropSocket(false);
}

void NetSerialIo::setAddress(const QString &name)
{
    if (name == m_name && (m_address || !m_nameError.isEmpty())) return;
    cancel();
    m_name = name;
    m_nameError.clear();
    m_address = ParseNetPortName(name, &m_nameError);
    m_failures = 0;
    m_failureTold = true;
}

OpenResult NetSerialIo::open(int portNo)
{
    m_portNo = portNo;
    if (!m_address) return {OpenStatus::InvalidPort, m_nameError};
    switch (m_stage) {
    case Stage::Open:
        return {OpenStatus::InUse, QStringLiteral("the port is already open")};
    case Stage::Ready:
        m_timer.stop();
        m_stage = Stage::Open;
        m_failures = 0;
        m_heard.clear();  // answers no request of this program
        m_description = QStringLiteral("COM%1 %2").arg(portNo).arg(m_address->text());
        return {};
    case Stage::Connecting:
    case Stage::Handshake:
        return {OpenStatus::Other, QStringLiteral("connecting to %1").arg(endpoint())};
    case Stage::Failed:
        if (!m_failureTold) {
            m_failureTold = true;
            return m_failure;
        }
        if (!m_retryAt.hasExpired()) {
            const qint64 s = (m_retryAt.remainingTime() + 999) / 1000;
            return {OpenStatus::Other, QStringLiteral("%1; trying again in %2 s").arg(m_failure.reason).arg(s)};
        }
        break;
    case Stage::Idle:
        break;
    }
    startAttempt();
    return {OpenStatus::Other, QStringLiteral("connecting to %1").arg(endpoint())};
}

void NetSerialIo::startAttempt()
{
    dropSocket(false);
    m_heard.clear();
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &NetSerialIo::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetSerialIo::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetSerialIo::onSocketGone);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetSerialIo::onSocketGone);
    m_stage = Stage::Connecting;
    m_attempt.start();
    m_timer.start(m_timing.connectMs);
    // The host name is looked up on another thread; nothing here waits.
    m_socket->connectToHost(m_address->host, m_address->port);
}

void NetSerialIo::setLowLatencyAndKeepAlive()
{
    // A request goes out at once, not held back to join the next one.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    // A server that went away without a word (a cable pulled, a power cut) is
    // noticed: while idle through keep-alive probes after 10 s, while data
    // waits for its acknowledgement after sendTimeoutMs.
    const int fd = static_cast<int>(m_socket->socketDescriptor());
    if (fd < 0) return;
    const int idle = 10, interval = 3, count = 3;
    const unsigned int unacked = static_cast<unsigned int>(m_timing.sendTimeoutMs);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacked, sizeof unacked);
#endif
}

void NetSerialIo::onConnected()
{
    setLowLatencyAndKeepAlive();
    m_stage = Stage::Handshake;
    // A busy server answers the accept at once with a word and a close; its
    // word takes about a round trip to come.
    const qint64 settle = std::clamp<qint64>(3 * m_attempt.elapsed(), m_timing.settleMinMs, m_timing.settleMaxMs);
    m_settled = QDeadlineTimer(settle);
    if (m_address->kind == NetPortAddress::Kind::Raw) {
        m_timer.start(static_cast<int>(settle));
        return;
    }
    TelnetComPort::Line line;
    line.parity = comPortParity(m_parity);
    m_telnet = std::make_unique<TelnetComPort>(line);
    m_telnet->toSocket = [this](const char *b, size_t n) {
        if (m_socket) m_socket->write(b, static_cast<qint64>(n));
    };
    m_telnet->toLine = [this](const char *b, size_t n) {
        if (m_stage == Stage::Open) m_out.append(b, static_cast<qsizetype>(n));
        else if (m_heard.size() < HeardLimit) m_heard.append(b, static_cast<qsizetype>(qMin<size_t>(n, HeardLimit)));
    };
    m_telnet->settled = [this] { QTimer::singleShot(0, this, &NetSerialIo::handshakeStep); };
    // Nothing is sent before the server has spoken or the settling time has
    // passed: a busy server says so and closes at once, and bytes of ours
    // still unread on its side would make its close a reset, which throws
    // away its word on our side before we read it.
    m_offered = false;
    m_timer.start(static_cast<int>(settle));
}

void NetSerialIo::offerLineSettings()
{
    if (m_offered || !m_telnet || !m_socket || m_stage != Stage::Handshake) return;
    m_offered = true;
    m_timer.start(m_timing.negotiateMs);
    m_telnet->start();
    m_socket->flush();
}

void NetSerialIo::handshakeStep()
{
    if (m_stage != Stage::Handshake || !m_telnet) return;
    switch (m_telnet->state()) {
    case TelnetComPort::State::Negotiating:
        return;
    case TelnetComPort::State::Refused:
        fail(OpenStatus::Other, QStringLiteral("%1: %2").arg(m_address->text(), m_telnet->reason()));
        return;
    case TelnetComPort::State::Ready:
        if (m_settled.hasExpired()) becomeReady();
        else m_timer.start(static_cast<int>(m_settled.remainingTime()));
        return;
    }
}

void NetSerialIo::becomeReady()
{
    m_stage = Stage::Ready;
    m_timer.start(m_timing.claimMs);
    Q_EMIT openSettled();
}

void NetSerialIo::onTimer()
{
    switch (m_stage) {
    case Stage::Connecting:
        fail(OpenStatus::Other, QStringLiteral("%1 did not answer within %2 s").arg(endpoint()).arg(m_timing.connectMs / 1000.0));
        break;
    case Stage::Handshake:
        if (m_address->kind == NetPortAddress::Kind::Raw) becomeReady();
        else if (!m_offered) offerLineSettings();
        else if (m_telnet && m_telnet->state() == TelnetComPort::State::Ready) becomeReady();
        else
            fail(OpenStatus::Other, QStringLiteral("%1 did not confirm the line settings within %2 s (a port that passes "
                                                   "the bytes as they are is named socket://%3)")
                                        .arg(m_address->text())
                                        .arg(m_timing.negotiateMs / 1000.0)
                                        .arg(endpoint()));
        break;
    case Stage::Ready:
        // Nobody took it (the program went offline meanwhile): the server
        // is not held for nothing.
        dropSocket(true);
        m_stage = Stage::Idle;
        break;
    default:
        break;
    }
}

void NetSerialIo::onReadyRead()
{
#ifdef Q_OS_LINUX
    // Every piece that arrives is acknowledged at once. A server that holds
    // small writes back until the last is acknowledged (Nagle's rule, the
    // socket default, ser2net's too) sends the last characters of a reply
    // that came a character at a time only when our acknowledgement comes;
    // a delayed one would keep them back up to 40 ms. The kernel drops the
    // setting by itself now and then, so it is made again at every read.
    if (m_socket && m_socket->socketDescriptor() >= 0) {
        const int on = 1;
        ::setsockopt(static_cast<int>(m_socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
#endif
    qint64 available;
    while (m_socket && (available = m_socket->bytesAvailable()) > 0) {
        m_in.resize(available);
        const qint64 n = m_socket->read(m_in.data(), available);
        if (n <= 0) break;
        m_in.resize(n);
        if (m_telnet) {
            m_out.clear();
            m_telnet->fromSocket(m_in.constData(), static_cast<size_t>(n));
            if (m_stage == Stage::Open && !m_out.isEmpty()) Q_EMIT bytesArrived(m_out);
            // Answers to the server's negotiation go out now; it has spoken,
            // so ours may follow.
            if (m_stage == Stage::Handshake) offerLineSettings();
            if (m_socket && m_socket->bytesToWrite() > 0) m_socket->flush();
        } else if (m_stage == Stage::Open) {
            Q_EMIT bytesArrived(m_in);
        } else if (m_heard.size() < HeardLimit) {
            m_heard.append(m_in.left(HeardLimit - m_heard.size()));
        }
    }
}

QString NetSerialIo::heardText() const
{
    QString text;
    for (qsizetype i = 0; i < m_heard.size(); ++i) {
        const char c = m_heard[i];
        if (static_cast<unsigned char>(c) == 0xFF) i += 2;  // a Telnet command of a raw connection's server
        else if (c == '\r' || c == '\n') text += u' ';
        else if (c >= 32 && c < 127) text += QLatin1Char(c);
    }
    return text.simplified();
}

void NetSerialIo::onSocketGone()
{
    if (!m_socket) return;
    const QAbstractSocket::SocketError error = m_socket->error();
    const QString why = m_socket->errorString();
    if (m_stage == Stage::Open) {
        // Whatever came with the close is the line's.
        if (m_socket->bytesAvailable() > 0) onReadyRead();
        if (m_stage != Stage::Open) return;
        const QString reason = error == QAbstractSocket::RemoteHostClosedError
            ? QStringLiteral("%1 closed the connection").arg(endpoint())
            : QStringLiteral("%1: %2").arg(endpoint(), why);
        dropSocket(false);
        m_description.clear();
        m_stage = Stage::Failed;
        m_failure = {OpenStatus::Other, reason};
        m_failureTold = true;  // told through lost()
        m_failures = 1;
        m_retryAt = QDeadlineTimer(retryDelayMs());
        Q_EMIT lost(reason);
        return;
    }
    if (m_stage != Stage::Connecting && m_stage != Stage::Handshake && m_stage != Stage::Ready) return;
    if (m_socket->bytesAvailable() > 0) onReadyRead();
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(OpenStatus::Other, QStringLiteral("%1 refused the connection (no server on that port)").arg(endpoint()));
        return;
    case QAbstractSocket::HostNotFoundError:
        fail(OpenStatus::InvalidPort, QStringLiteral("%1: no such host").arg(endpoint()));
        return;
    default:
        break;
    }
    if (m_stage == Stage::Connecting || error != QAbstractSocket::RemoteHostClosedError) {
        fail(OpenStatus::Other, QStringLiteral("%1: %2").arg(endpoint(), why));
        return;
    }
    // Accepted and closed at once: a server that serves somebody else says
    // so before it closes ("Port already in use").
    const QString heard = heardText();
    if (heard.contains(QLatin1String("in use"), Qt::CaseInsensitive) || heard.contains(QLatin1String("busy"), Qt::CaseInsensitive)) {
        fail(OpenStatus::InUse, QStringLiteral("%1 is in use by another client (the server said \"%2\")").arg(m_address->text(), heard));
        return;
    }
    fail(OpenStatus::Other, heard.isEmpty() ? QStringLiteral("%1 closed the connection at once").arg(m_address->text())
                                            : QStringLiteral("%1 closed the connection at once (the server said \"%2\")")
                                                  .arg(m_address->text(), heard));
}

void NetSerialIo::fail(OpenStatus status, const QString &reason)
{
    dropSocket(false);
    m_stage = Stage::Failed;
    m_failure = {status, reason};
    m_failureTold = false;
    ++m_failures;
    m_retryAt = QDeadlineTimer(retryDelayMs());
    Q_EMIT openSettled();
}

int NetSerialIo::retryDelayMs() const
{
    qint64 delay = m_timing.retryFirstMs;
    for (int i = 1; i < m_failures && delay < m_timing.retryMaxMs; ++i) delay *= 2;
    return static_cast<int>(qMin<qint64>(delay, m_timing.retryMaxMs));
}

void NetSerialIo::write(const QByteArray &bytes)
{
    if (m_stage != Stage::Open || !m_socket) return;
    if (m_telnet) m_telnet->send(bytes.constData(), static_cast<size_t>(bytes.size()));
    else m_socket->write(bytes);
    // Handed to the system now, not at the next turn of the event loop.
    m_socket->flush();
}

void NetSerialIo::close()
{
    if (m_stage != Stage::Open) {
        cancel();
        return;
    }
    dropSocket(true);
    m_stage = Stage::Idle;
    m_failures = 0;
    m_description.clear();
}

void NetSerialIo::cancel()
{
    if (m_stage == Stage::Open) return;
    m_timer.stop();
    dropSocket(m_stage == Stage::Ready);
    m_stage = Stage::Idle;
}

void NetSerialIo::dropSocket(bool graceful)
{
    m_timer.stop();
    m_telnet.reset();
    QTcpSocket *s = std::exchange(m_socket, nullptr);
    if (!s) return;
    s->disconnect(this);
    if (!graceful || s->state() != QAbstractSocket::ConnectedState) {
        s->abort();
        s->deleteLater();
        return;
    }
    // What was written (the stops the link sends before it closes) goes out
    // first; then the server is told that nothing more comes and closes its
    // side once it has read everything. What it still sends is read and
    // dropped, so that the close is never turned into a reset that could
    // cost the server the last bytes.
    s->flush();
    s->readAll();
    connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    connect(s, &QTcpSocket::errorOccurred, s, &QObject::deleteLater);
    QTimer::singleShot(m_timing.lingerMs, s, [s] {
        s->abort();
        s->deleteLater();
    });
#ifdef Q_OS_LINUX
    if (s->bytesToWrite() == 0 && s->socketDescriptor() >= 0) {
        ::shutdown(static_cast<int>(s->socketDescriptor()), SHUT_WR);
        return;
    }
#endif
    s->disconnectFromHost();  // writes what is left, then closes
}
