#pragma once
// A real ser2net (Debian's) for the tests of network ports: a process of its
// own with a configuration written by the test, on 127.0.0.1 and free TCP
// ports, in front of the simulated drives' pseudo-terminals. No root needed
// (no UUCP locks, no pid file in /run).

#include "freeport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace ser2nettest {

inline QString ser2netBinary()
{
    QString path = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (path.isEmpty()) path = QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/local/sbin"});
    return path;
}

using ::freePort;

// Whether something listens on 127.0.0.1:port (read from the kernel's table,
// so that asking does not open the server's device as a connection would).
inline bool listening(int port)
{
    QFile tcp(QStringLiteral("/proc/net/tcp"));
    if (!tcp.open(QIODevice::ReadOnly)) return false;
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : tcp.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 3 && f[1] == local && f[3] == "0A") return true;
    }
    return false;
}

struct Port {
    QString device;  // the pseudo-terminal (or its link)
    bool telnet = false;  // telnet(rfc2217) in front of the TCP accepter
    QString line = QStringLiteral("9600e81");  // what ser2net sets when it opens the device
    int tcpPort = 0;  // 0: a free one
    // ser2net's default waits about two character times after each character
    // from the device before it sends (at least 1 ms); off, what the device
    // gives goes out at once, as a request-and-reply protocol wants it.
    bool charDelay = false;
};

class Server {
public:
    explicit Server(QList<Port> ports) : m_ports(std::move(ports))
    {
        for (Port &p : m_ports)
            if (p.tcpPort == 0) p.tcpPort = freePort();
    }
    ~Server() { kill(); }
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    int tcpPort(int i = 0) const { return m_ports[i].tcpPort; }
    QString name(int i = 0) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(m_ports[i].telnet ? "rfc2217" : "socket").arg(m_ports[i].tcpPort);
    }

    // Starts it and waits until every port listens.
    bool start()
    {
        QFile conf(m_dir.filePath(QStringLiteral("ser2net.yaml")));
        if (!conf.open(QIODevice::WriteOnly)) return false;
        QByteArray yaml = "%YAML 1.1\n---\n";
        for (int i = 0; i < m_ports.size(); ++i) {
            const Port &p = m_ports[i];
            yaml += QStringLiteral("connection: &port%1\n"
                                   "    accepter: %2tcp,127.0.0.1,%3\n"
                                   "    connector: serialdev,%4,%5,local\n"
                                   "    options:\n"
                                   "      kickolduser: false\n"
                                   "      chardelay: %6\n")
                        .arg(i)
                        .arg(p.telnet ? "telnet(rfc2217)," : "")
                        .arg(p.tcpPort)
                        .arg(p.device, p.line, p.charDelay ? QStringLiteral("true") : QStringLiteral("false"))
                        .toUtf8();
        }
        conf.write(yaml);
        conf.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(ser2netBinary(), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), conf.fileName()});
        if (!m_process.waitForStarted(5000)) return false;
        for (int i = 0; i < 250; ++i) {
            bool all = true;
            for (const Port &p : m_ports) all = all && listening(p.tcpPort);
            if (all) return true;
            if (m_process.state() == QProcess::NotRunning) return false;
            QThread::msleep(20);
        }
        return false;
    }
    // Gone at once, as a server that crashes or loses power.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString output() { return QString::fromLocal8Bit(m_process.readAll()); }

private:
    QList<Port> m_ports;
    QTemporaryDir m_dir;
    QProcess m_process;
};

// The line settings of a terminal as its attributes give them:
// "9600 8 1" (speed, data bits, stop bits). A pseudo-terminal keeps no
// parity: the kernel clears it whatever is set.
inline QString lineOf(const QString &device)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return QStringLiteral("cannot open %1").arg(device);
    termios t{};
    const int ok = ::tcgetattr(fd, &t);
    ::close(fd);
    if (ok != 0) return QStringLiteral("no attributes");
    auto speed = [](speed_t s) {
        switch (s) {
        case B1200: return 1200;
        case B9600: return 9600;
        case B19200: return 19200;
        default: return -1;
        }
    };
    const int bits = (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : 0;
    return QStringLiteral("%1 %2 %3").arg(speed(cfgetospeed(&t))).arg(bits).arg((t.c_cflag & CSTOPB) ? 2 : 1);
}

}  // namespace ser2nettest
