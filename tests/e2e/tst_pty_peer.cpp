// The real program on a pseudo-terminal, answered by a small scripted peer.

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

class Peer {
public:
    Peer()
    {
        char name[256];
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) m_name = QString::fromLocal8Bit(name);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~Peer()
    {
        if (m_master >= 0) ::close(m_master);
        if (m_slave >= 0) ::close(m_slave);
    }
    const QString &device() const { return m_name; }

    // The next request (without its frame), or an empty text after timeoutMs.
    QByteArray request(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            const qsizetype stx = m_buf.indexOf('\x02');
            const qsizetype eot = stx < 0 ? -1 : m_buf.indexOf('\x04', stx);
            if (eot >= 0) {
                const QByteArray text = m_buf.mid(stx + 1, eot - stx - 1);
                m_buf.remove(0, eot + 1);
                return text;
            }
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char chunk[256];
                const ssize_t n = ::read(m_master, chunk, sizeof chunk);
                if (n > 0) m_buf.append(chunk, n);
            }
        }
        return {};
    }
    void reply(const QByteArray &text)
    {
        const QByteArray framed = '\x02' + text + '\x04';
        QCOMPARE(::write(m_master, framed.constData(), framed.size()), ssize_t(framed.size()));
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_name;
    QByteArray m_buf;
};

class TstPtyPeer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pollsAndRecoversFromLostReply();
};

void TstPtyPeer::pollsAndRecoversFromLostReply()
{
    Peer peer;
    QVERIFY(!peer.device().isEmpty());
    QTemporaryDir cwd;  // no port file: port 1, online
    QProcess orvex;
    orvex.setWorkingDirectory(cwd.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    orvex.setProcessEnvironment(env);
    QElapsedTimer sinceStart;
    sinceStart.start();
    orvex.start(QStringLiteral(ORVEX_BINARY), {QStringLiteral("--port"), QStringLiteral("1=") + peer.device()});
    QVERIFY(orvex.waitForStarted());

    QCOMPARE(peer.request(10000), QByteArray("S"));
    qInfo("first request written %lld ms after the program was started", sinceStart.elapsed());

    // The I/O monitor is the active window: "S" alternates with "IO".
    QByteArrayList seen;
    for (int i = 0; i < 6; ++i) {
        peer.reply("S;0;0;0;64;0");
        seen << peer.request(2000);
    }
    QCOMPARE(seen, (QByteArrayList{"S", "IO", "S", "IO", "S", "IO"}));

    // A reply that never comes: "S" again after 16 ticks, without a question.
    QElapsedTimer lost;
    lost.start();
    QCOMPARE(peer.request(5000), QByteArray("S"));
    const qint64 ms = lost.elapsed();
    qInfo("lost reply declared after %lld ms", ms);
    QVERIFY2(ms >= 1400 && ms <= 2600, qPrintable(QString::number(ms)));
    // Polling resumes where it was: the time-out does not move the alternation.
    peer.reply("S;0");
    QCOMPARE(peer.request(2000), QByteArray("S"));
    peer.reply("S;0");
    QCOMPARE(peer.request(2000), QByteArray("IO"));

    orvex.kill();
    orvex.waitForFinished();
}

QTEST_GUILESS_MAIN(TstPtyPeer)
#include "tst_pty_peer.moc"
