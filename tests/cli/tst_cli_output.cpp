// What orvex-cli writes reaches its files and standard output whole, or the
// run fails and says so: the monitor's CSV file checked row by row (its
// failure on the drive's line), standard output checked at the end, and a
// diff of a drive with itself read once.

#include "clitestutil.h"
#include "fulldisk.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

using namespace clitest;

namespace {

// From the given sample on, no file of this process may grow (EFBIG, as a
// full disk's ENOSPC). It comes after the CSV file among the sinks, so that
// as many rows are in before.
struct FillingSink : MonitorSink {
    int after = 0;
    int seen = 0;
    struct rlimit saved {};
    bool limited = false;
    void take(const MonitorSample &) override
    {
        if (++seen != after) return;
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit none = saved;
        none.rlim_cur = 0;
        limited = ::setrlimit(RLIMIT_FSIZE, &none) == 0;
    }
    ~FillingSink() override
    {
        if (limited) ::setrlimit(RLIMIT_FSIZE, &saved);
    }
};

}  // namespace

class TstCliOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void monitorCsvThatCannotBeWritten_data();
    void monitorCsvThatCannotBeWritten();
    void resultsThatCannotReachStandardOutput_data();
    void resultsThatCannotReachStandardOutput();
    void diffOfADriveWithItself();
    void outputsOnAFullDisk_data();
    void outputsOnAFullDisk();
};

void TstCliOutput::monitorCsvThatCannotBeWritten_data()
{
    QTest::addColumn<int>("fillAfter");  // 0: the folder does not exist
    QTest::addColumn<int>("rowsKept");   // the header included
    QTest::newRow("no such folder") << 0 << 0;
    QTest::newRow("the disk is full after two rows") << 2 << 3;
}

void TstCliOutput::monitorCsvThatCannotBeWritten()
{
    QFETCH(int, fillAfter);
    QFETCH(int, rowsKept);
    Drives drives({""});
    QTemporaryDir dir;
    const QString csv = dir.filePath(fillAfter > 0 ? QStringLiteral("m.csv") : QStringLiteral("no/such/m.csv"));
    CliEnvironment env;
    env.publisher = [&](const PublishOptions &, QString *) -> std::unique_ptr<MonitorSink> {
        auto sink = std::make_unique<FillingSink>();
        sink->after = fillAfter;
        return sink;
    };
    const Run r = cli({"monitor", "--port", drives.device(0), "--items", "04", "--interval", "50", "--duration", "0.5",
                       "--csv", csv, "--mqtt", "broker"}, env);
    QCOMPARE(r.status, 1);
    // The drive's own line says why, and the moment it failed was told once.
    QVERIFY2(r.out.contains(drives.name(0) + QStringLiteral(": failed: ") + csv + QStringLiteral(": cannot be written")),
             qPrintable(r.out));
    QCOMPARE(r.err.count(QStringLiteral("recording stopped")), 1);
    QVERIFY2(r.err.contains(u"1 of 1 drives failed"), qPrintable(r.err));
    // What was written before stays, in whole rows.
    const QByteArray kept = fileBytes(csv);
    QCOMPARE(kept.count('\n'), rowsKept);
    if (rowsKept > 0) QVERIFY2(kept.startsWith("\"Time\",\"Drive\","), kept.constData());
}

void TstCliOutput::resultsThatCannotReachStandardOutput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::newRow("version") << QStringList{"--version"} << 1;
    QTest::newRow("overview") << QStringList{"--help"} << 1;
    QTest::newRow("a failed drive stays failed") << QStringList{"status", "--port", "/nonexistent/tty"} << 1;
    QTest::newRow("bad input stays bad input") << QStringList{"status", "--frobnicate"} << 2;
}

void TstCliOutput::resultsThatCannotReachStandardOutput()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QProcess cli;
    cli.setStandardOutputFile(QStringLiteral("/dev/full"));
    cli.start(QStringLiteral(ORVEX_CLI_BINARY), args);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), status);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    if (status == 1) QVERIFY2(err.contains(u"could not be written to standard output"), qPrintable(err));
}

// Both sides the same drive: read once, the same values (it was opened
// twice at once, and one side's values were left empty).
void TstCliOutput::diffOfADriveWithItself()
{
    Drives drives({""});
    const QString side = QStringLiteral("drive:") + drives.device(0);
    const Run r = cli({"params", "diff", side, side});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(drives.requests(0).count(QStringLiteral("R;0")), 1);
}

// Every output of the tool on a full disk: the run fails on the drive's line
// with the reason, and the good file that was there stays as it was.
void TstCliOutput::outputsOnAFullDisk_data()
{
    QTest::addColumn<QStringList>("args");  // {file}: the output
    QTest::addColumn<QString>("name");
    QTest::newRow("params read, .pxt") << QStringList{"params", "read", "-o", "{file}"} << "p.pxt";
    QTest::newRow("params read, .json") << QStringList{"params", "read", "-o", "{file}"} << "p.json";
    QTest::newRow("points read, .csv") << QStringList{"points", "read", "-o", "{file}"} << "t.csv";
    QTest::newRow("capture") << QStringList{"capture", "--trigger", "manual", "-o", "{file}"} << "c.wvt";
    QTest::newRow("monitor --csv") << QStringList{"monitor", "--items", "04", "--interval", "50", "--duration", "0.2", "--csv", "{file}"}
                                   << "m.csv";
}

void TstCliOutput::outputsOnAFullDisk()
{
    QFETCH(QStringList, args);
    QFETCH(QString, name);
    Drives drives({""});
    FullDisk disk;
    const QString file = disk.path(name);
    const QByteArray good(300, 'g');
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(good) == good.size());
    }
    disk.fill();
    const Run r = cli(args.replaceInStrings(QStringLiteral("{file}"), file) + QStringList{"--port", drives.device(0)});
    disk.empty();
    QCOMPARE(r.status, 1);
    const QString line = r.out.split(u'\n').filter(drives.name(0) + QStringLiteral(": failed: ")).value(0);
    QVERIFY2(line.contains(file + QStringLiteral(": cannot be written: ")), qPrintable(r.out + r.err));
    // The reason is the system's ("No space left on device"; "File too
    // large" where the disk is made full by a size limit).
    QVERIFY2(line.contains(u"No space left on device") || line.contains(u"File too large"), qPrintable(line + u' ' + disk.how()));
    QCOMPARE(fileBytes(file), good);
    QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{name});
}

QTEST_GUILESS_MAIN(TstCliOutput)
#include "tst_cli_output.moc"
