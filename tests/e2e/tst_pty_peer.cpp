// The real program as a process, in a directory of its own: on a
// pseudo-terminal answered by a small scripted peer, with its own simulated
// drive, and killed on a drive that outlives it.

#include "framedline.h"
#include "sim/ptyserver.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <sys/ioctl.h>

class TstPtyPeer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }  // no port file: port 1, online
    void cleanup() { m_orvex.reset(); }                          // kills it if need be
    void pollsAndRecoversFromLostReply();
    void simulateStartsOnlineAndPolls();
    void driveOutlivesKilledPrograms();

private:
    void start(const QStringList &args)
    {
        m_orvex = std::make_unique<QProcess>();
        m_orvex->setWorkingDirectory(m_dir->path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_orvex->setProcessEnvironment(env);
        m_orvex->start(QStringLiteral(ORVEX_BINARY), args);
        QVERIFY(m_orvex->waitForStarted(5000));
    }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_orvex;
};

void TstPtyPeer::pollsAndRecoversFromLostReply()
{
    int master = -1;
    int slave = -1;
    char name[256];
    QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
    FramedLine peer(master);
    QElapsedTimer sinceStart;
    sinceStart.start();
    start({QStringLiteral("--port"), QStringLiteral("1=") + QString::fromLocal8Bit(name)});

    QCOMPARE(peer.frame(10000), QByteArray("S"));
    qInfo("first request written %lld ms after the program was started", sinceStart.elapsed());

    // The I/O monitor is the active window: "S" alternates with "IO".
    QByteArrayList seen;
    for (int i = 0; i < 6; ++i) seen << peer.exchange("S;0;0;0;64;0");
    QCOMPARE(seen, (QByteArrayList{"S", "IO", "S", "IO", "S", "IO"}));

    // A reply that never comes: "S" again after 16 ticks, without a question.
    QElapsedTimer lost;
    lost.start();
    QCOMPARE(peer.frame(5000), QByteArray("S"));
    const qint64 ms = lost.elapsed();
    qInfo("lost reply declared after %lld ms", ms);
    QVERIFY2(ms >= 1400 && ms <= 2600, qPrintable(QString::number(ms)));
    // Polling resumes where it was: the time-out does not move the alternation.
    QCOMPARE(peer.exchange("S;0"), QByteArray("S"));
    QCOMPARE(peer.exchange("S;0"), QByteArray("IO"));
    ::close(slave);
}

void TstPtyPeer::simulateStartsOnlineAndPolls()
{
    const QString log = m_dir->filePath(QStringLiteral("drive.log"));
    start({QStringLiteral("--simulate"), QStringLiteral("--sim-arg=--transcript=") + log});
    const auto transcript = [&] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(transcript().count(" < S;") >= 3, 15000);
    QVERIFY(transcript().contains(" > IO\n"));
    m_orvex->terminate();
    QVERIFY(m_orvex->waitForFinished(5000));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("cp.dat"))));  // it wrote no port file
}

void TstPtyPeer::driveOutlivesKilledPrograms()
{
    sim::ServerConfig config;
    config.paced = false;
    config.linkPath = m_dir->filePath(QStringLiteral("drive")).toStdString();
    sim::PtyServer drive(config);
    QVERIFY(drive.start());
    const QByteArray device = QByteArray::fromStdString(drive.devicePath());
    const auto repliesSince = [&](std::uint64_t mark) {
        const auto t = drive.transcript().since(mark);
        return std::count_if(t.begin(), t.end(), [](const auto &e) { return e.kind == sim::TranscriptEntry::Kind::Reply; });
    };
    const auto exclusive = [&] {
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY);
        int on = -1;
        ::ioctl(fd, TIOCGEXCL, &on);
        ::close(fd);
        return on;
    };
    // Each program opens the line exclusively and with even parity, and is
    // killed while it polls, leaving its settings and its exclusive mode
    // behind: the next one polls all the same.
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t mark = drive.transcript().count();
        start({QStringLiteral("--port"), QStringLiteral("1=") + QString::fromLocal8Bit(device)});
        QTRY_VERIFY_WITH_TIMEOUT(repliesSince(mark) >= 3, 10000);
        m_orvex->kill();
        QVERIFY(m_orvex->waitForFinished(5000));
        QTRY_COMPARE(exclusive(), 0);
    }
}

QTEST_GUILESS_MAIN(TstPtyPeer)
#include "tst_pty_peer.moc"
