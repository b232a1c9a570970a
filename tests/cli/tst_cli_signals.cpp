// The real orvex-cli asked to stop (SIGINT, SIGTERM) while it works: every
// command ends within a second; a write stops after the block or point in
// flight and says what the drive now holds; a monitor run ends as its
// duration would.

#include "sim/drivetables.h"
#include "sim/ptyserver.h"

#include <QElapsedTimer>
#include <QtEndian>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

namespace {

struct Outcome {
    int status = -1;
    qint64 msToEnd = -1;  // from the signal to the end of the process
    QString out;
    QStringList requests;  // what the drive received
};

// Runs the tool on a drive (answering, or not at all) and sends it the signal when the drive receives
// `after` (it, or it with fields), whose answer then comes 150 ms late: the
// signal arrives while that request is in flight.
Outcome stopWhile(const QStringList &args, const QString &after, int signal, bool answers = true)
{
    using Clock = std::chrono::steady_clock;
    auto pid = std::make_shared<std::atomic<pid_t>>(0);
    auto sentAt = std::make_shared<std::atomic<Clock::rep>>(0);
    sim::ServerConfig config;
    config.paced = false;
    if (!answers) config.faults.dropRate = 1;
    const std::string awaited = after.toStdString();
    config.answerFirst = [=](const std::string &request) -> std::optional<std::string> {
        const bool match = request == awaited || request.rfind(awaited + ";", 0) == 0;
        if (!match || sentAt->load() != 0 || pid->load() == 0) return std::nullopt;
        sentAt->store(Clock::now().time_since_epoch().count());
        ::kill(pid->load(), signal);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return std::nullopt;
    };
    sim::PtyServer drive(config);
    if (!drive.start()) qFatal("the simulated drive does not start");
    const QString device = QString::fromStdString(drive.devicePath());
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(ORVEX_CLI_BINARY), QStringList(args).replaceInStrings(QStringLiteral("{dev}"), device));
    Outcome o;
    if (!cli.waitForStarted()) return o;
    pid->store(static_cast<pid_t>(cli.processId()));
    if (!cli.waitForFinished(20000)) cli.kill();
    cli.waitForFinished();
    const Clock::time_point ended = Clock::now();
    o.out = QString::fromUtf8(cli.readAll());
    if (sentAt->load() == 0) {
        qWarning("the drive never received %s: %s", qPrintable(after), qPrintable(o.out));
        return o;
    }
    o.msToEnd = std::chrono::duration_cast<std::chrono::milliseconds>(ended - Clock::time_point(Clock::duration(sentAt->load()))).count();
    o.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    qInfo("ended %lld ms after the signal", static_cast<long long>(o.msToEnd));
    drive.stop();
    for (const sim::TranscriptEntry &e : drive.transcript().since())
        if (e.kind == sim::TranscriptEntry::Kind::Request) o.requests << QString::fromStdString(e.text);
    return o;
}

}  // namespace

// A file of the drive's factory values with one value of each block or
// point changed: writing it changes the drive.
template <typename Table>
QByteArray changedFile(const Table &values, int every)
{
    QByteArray bytes;
    for (size_t i = 0; i < values.size(); ++i) {
        const qint32 v = qToLittleEndian<qint32>(values[i] + (i % every == 1 ? 1 : 0));
        bytes.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
    return bytes;
}

class TstCliSignals : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCommandStops_data();
    void everyCommandStops();

private:
    QTemporaryDir m_dir;
};

void TstCliSignals::everyCommandStops_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("monitor") << QStringList{"monitor", "--port", "{dev}", "--items", "04", "--interval", "100"} << "MON" << SIGINT << 0
                             << "samples";
    QTest::newRow("capture waiting for its trigger") << QStringList{"capture", "--port", "{dev}", "--trigger", "speed", "-o", "{dir}/c.wvt"}
                                                     << "T" << SIGTERM << 1 << "interrupted (SIGTERM)";
    QTest::newRow("params read") << QStringList{"params", "read", "--port", "{dev}", "-o", "{dir}/p.pxt"} << "R;2" << SIGINT << 1
                                 << "interrupted (SIGINT)";
    QTest::newRow("status of a drive that does not answer") << QStringList{"status", "--port", "{dev}", "--retries", "9"} << "S" << SIGINT
                                                            << 1 << "interrupted (SIGINT)";
    // A write waits for the answer to the block or point in flight, sends
    // nothing more, and says what the drive holds.
    QTest::newRow("params write") << QStringList{"params", "write", "{dir}/new.pxt", "--port", "{dev}"} << "W;1" << SIGINT << 1
                                  << "The drive runs blocks 0-1 of the new values, not saved in its memory (no FLASH).";
    QTest::newRow("points write") << QStringList{"points", "write", "{dir}/new.ptt", "--port", "{dev}"} << "TBLW;3" << SIGTERM << 1
                                  << "The drive runs points 0-3 of the new values, not saved in its memory (no FLASH).";
}

void TstCliSignals::everyCommandStops()
{
    QFETCH(QStringList, args);
    QFETCH(QString, after);
    QFETCH(int, signal);
    QFETCH(QString, says);
    for (const auto &[name, bytes] : {std::pair{"new.pxt", changedFile(sim::FactoryParameters(), 10)},
                                      std::pair{"new.ptt", changedFile(sim::FactoryPoints(), 4)}}) {
        QFile f(m_dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    args.replaceInStrings(QStringLiteral("{dir}"), m_dir.path());
    const Outcome o = stopWhile(args, after, signal, !args.contains(QStringLiteral("status")));
    QVERIFY2(o.msToEnd >= 0 && o.msToEnd < 1000, qPrintable(QStringLiteral("%1 ms: %2").arg(o.msToEnd).arg(o.out)));
    QTEST(o.status, "status");
    QVERIFY2(o.out.contains(says), qPrintable(o.out));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("p.pxt")) && !QFileInfo::exists(m_dir.filePath("c.wvt")));
    if (!args.contains(QStringLiteral("write"))) return;
    QVERIFY2(o.out.contains(QRegularExpression(QStringLiteral("To write them back: orvex-cli \\w+ write \\S+ --port \\S+ --no-backup"))),
             qPrintable(o.out));
    // Nothing went out after the block in flight.
    const QString keyword = after.section(u';', 0, 0) + u';';
    QCOMPARE(o.requests.filter(QRegularExpression(u'^' + keyword)).last().section(u';', 0, 1), after);
    QVERIFY(!o.requests.contains(QStringLiteral("FLASH")));
}

QTEST_GUILESS_MAIN(TstCliSignals)
#include "tst_cli_signals.moc"
