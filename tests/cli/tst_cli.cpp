// The command-line tool run in-process against simulated drives on
// pseudo-terminals: a batch with drives that fail in different ways, the
// files it reads and writes, diff's exit status and the command line's
// mistakes.

#include "clitestutil.h"
#include "clitool.h"

#include "drive/params/paramfile.h"
#include "drive/points/pointfile.h"
#include "drive/params/paramcatalogue.h"
#include "drive/wave/wavequantities.h"
#include "sim/ptyserver.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <map>
#include <memory>

namespace {

using namespace clitest;

// With a publisher of the test's own in place of the MQTT bridge.
Run cli(const QStringList &args, const PublisherFactory &publisher)
{
    CliEnvironment env;
    env.publisher = publisher;
    return clitest::cli(args, env);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// What the parameter window's Save writes for the drive's values.
QByteArray paramFileOf(const sim::Parameters &p)
{
    ParamValues v{};
    std::copy(p.begin(), p.end(), v.begin());
    return EncodeParamFile(v);
}

ParamValues someValues(int change)
{
    ParamValues v{};
    for (int k = 0; k < UserParamCount; ++k) v[k] = ParamRange(k).section(u'/', 0, 0).toInt();
    v[1] = 20 + change;
    return v;
}

// Keeps the samples a monitor run hands to its publisher.
struct KeptSamples : MonitorSink {
    QList<MonitorSample> *kept;
    bool *finished;
    void take(const MonitorSample &s) override { kept->append(s); }
    void finish() override { *finished = true; }
};

}  // namespace

// Three drives at once: one answers, one does not, one refuses everything.
// Each command is run twice, as text (one retry) and as JSON (none), on
// drives of its own. The drive that does not answer makes every run wait
// for its lost replies, so the twelve runs go at once, each on a thread of
// its own, when the first row is checked; each row checks its command's.
namespace {

QList<QStringList> batchCommands()
{
    return {{"status"},
            {"alarms", "--reset"},
            {"params", "read", "-o", "{dir}/p-{name}.json"},
            {"points", "read", "-o", "{dir}/t-{name}.ptt"},
            {"capture", "--trigger", "manual", "-o", "{dir}/c-{name}.wvt"},
            {"monitor", "--items", "04,0A", "--interval", "100", "--duration", "0.3"}};
}

struct BatchRun {
    QStringList args;
    QTemporaryDir dir;
    Drives drives{{"", "drop", "refuse"}};
    Drives jsonDrives{{"", "drop", "refuse"}};
    Run text, json;
};

// The runs of every command at once, by the command's words.
std::map<QString, std::unique_ptr<BatchRun>> RunBatch()
{
    std::map<QString, std::unique_ptr<BatchRun>> runs;
    std::vector<std::unique_ptr<QThread>> threads;
    for (const QStringList &command : batchCommands()) {
        auto run = std::make_unique<BatchRun>();
        run->args = command;
        run->args.replaceInStrings(QStringLiteral("{dir}"), run->dir.path());
        BatchRun *b = run.get();
        threads.emplace_back(QThread::create(
            [b] { b->text = clitest::cli(b->args + b->drives.portArgs() + QStringList{"--retries", "1"}); }));
        threads.emplace_back(QThread::create(
            [b] { b->json = clitest::cli(b->args + b->jsonDrives.portArgs() + QStringList{"--retries", "0", "--json"}); }));
        runs[command.join(u' ')] = std::move(run);
    }
    for (auto &t : threads) t->start();
    for (auto &t : threads) t->wait();
    return runs;
}

}  // namespace

class TstCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void batch_data();
    void batch();
    void readsOneAfterAnother();
    void writeBacksUpWritesAndVerifies();
    void diffStatus_data();
    void diffStatus();
    void substitution_data();
    void substitution();
    void badCommandLines_data();
    void badCommandLines();
    void monitorHandsSamplesToThePublisher();
    void captureJsonReadsAlone();

private:
    std::map<QString, std::unique_ptr<BatchRun>> m_batch;
};

void TstCli::batch_data()
{
    QTest::addColumn<QString>("command");
    for (const QStringList &command : batchCommands())
        QTest::newRow(qPrintable(command.mid(0, command.first() == u"params" || command.first() == u"points" ? 2 : 1).join(u' ')))
            << command.join(u' ');
}

void TstCli::batch()
{
    QFETCH(QString, command);
    if (m_batch.empty()) m_batch = RunBatch();
    const BatchRun &b = *m_batch.at(command);
    const Run &r = b.text;
    QCOMPARE(r.status, 1);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts).filter(QRegularExpression(QStringLiteral("^\\S+: ")));
    QCOMPARE(lines.size(), 3);
    const QString name0 = QFileInfo(b.drives.device(0)).fileName();
    QVERIFY2(lines[0].startsWith(name0 + QStringLiteral(": ")) && !lines[0].contains(u"failed"), qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(u"failed") && lines[1].contains(u"no reply from the drive"), qPrintable(lines[1]));
    QVERIFY2(lines[2].contains(u"failed") && lines[2].contains(u"ERR;1"), qPrintable(lines[2]));
    QVERIFY2(r.err.contains(u"2 of 3 drives failed"), qPrintable(r.err));

    // The same as JSON: an array, a drive an entry, in the order given.
    const Run &j = b.json;
    const QJsonArray a = QJsonDocument::fromJson(j.out.toUtf8()).array();
    if (b.args.first() != u"monitor") {
        QCOMPARE(a.size(), 3);
        QCOMPARE(a[0][QStringLiteral("ok")].toBool(), true);
        QCOMPARE(a[1][QStringLiteral("ok")].toBool(), false);
        QCOMPARE(a[2][QStringLiteral("error")].toString().contains(u"ERR;1"), true);
    }
    QCOMPARE(j.status, 1);
}

// What "params read -o x.pxt" writes is what the parameter window's Save
// writes for the same values. Runs one after another on the same line, as a
// script makes them: each reads what the drive holds, however soon it follows
// the one before. The drive is paced, so that a reply to a request the run
// before left behind would reach the line after that run has let the port go.
void TstCli::readsOneAfterAnother()
{
    QTemporaryDir dir;
    sim::ServerConfig c;
    c.paced = true;
    sim::PtyServer drive(c);
    QVERIFY(drive.start());
    const QString device = QString::fromStdString(drive.devicePath());
    const QByteArray expected = paramFileOf(drive.withModel([](sim::DriveModel &m) { return m.parameters(); }));
    for (int run = 0; run < 3; ++run) {
        const QString file = dir.filePath(QStringLiteral("p%1.pxt").arg(run));
        // The last read with the replies handed over whole by the serial driver.
        QStringList args{"params", "read", "--port", device, "-o", file};
        if (run == 2) args << QStringLiteral("--replies-whole");
        const Run r = cli(args);
        QCOMPARE(r.status, 0);
        QCOMPARE(fileBytes(file), expected);
    }
    drive.stop();
}

// A capture's JSON carries what is needed to read it without the program:
// when it was taken (milliseconds and UTC offset), the sample period, the
// trigger's sample and the scales of speed and torque.
void TstCli::captureJsonReadsAlone()
{
    QTemporaryDir dir;
    Drives drives({""}, 20);
    const QString file = dir.filePath(QStringLiteral("c.json"));
    const Run r = cli({"capture", "--trigger", "manual", "--time-base", "0.1", "--position", "15", "-o", file, "--port",
                       drives.device(0)});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    const QJsonObject o = QJsonDocument::fromJson(fileBytes(file)).object();
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"))
                 .match(o[QStringLiteral("taken")].toString())
                 .hasMatch(),
             qPrintable(o[QStringLiteral("taken")].toString()));
    QCOMPARE(o[QStringLiteral("samplePeriodMs")].toDouble(), 8.0);
    QCOMPARE(o[QStringLiteral("triggerSample")].toDouble(), 63.0);
    QCOMPARE(o[QStringLiteral("rpmPerSpeedUnit")].toDouble(), 0.75);
    const int units = WaveGeometry::MotorTypeUnits(drives.params(0)[57]);
    QVERIFY(units > 0);
    QCOMPARE(o[QStringLiteral("torqueUnitsFor100Percent")].toInt(), units);
}

void TstCli::writeBacksUpWritesAndVerifies()
{
    QTemporaryDir dir;
    Drives drives({""});
    const sim::Parameters before = drives.params(0);
    writeFile(dir.filePath("w.pxt"), EncodeParamFile(someValues(7)));
    const Run r = cli({"params", "write", dir.filePath("w.pxt"), "--port", drives.device(0)});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY(r.out.contains(u"verified"));
    QCOMPARE(drives.params(0)[1], 27);
    // The backup holds what the drive had.
    const QString backup = r.out.section(QStringLiteral("backup "), 1).section(u';', 0, 0);
    QCOMPARE(fileBytes(backup), paramFileOf(before));
}

void TstCli::diffStatus_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("status");
    const QByteArray p1 = EncodeParamFile(someValues(0)), p2 = EncodeParamFile(someValues(1));
    PointData t1{}, t2{};
    t2[5] = 1234;
    QTest::newRow("params equal") << "params" << p1 << p1 << 0;
    QTest::newRow("params differ") << "params" << p1 << p2 << 1;
    QTest::newRow("params short file") << "params" << p1 << p1.left(239) << 2;
    QTest::newRow("params long file") << "params" << p1 << p1 + 'x' << 2;
    QTest::newRow("params empty file") << "params" << QByteArray() << p1 << 2;
    QTest::newRow("points equal") << "points" << EncodePointFile(t1) << EncodePointFile(t1) << 0;
    QTest::newRow("points differ") << "points" << EncodePointFile(t1) << EncodePointFile(t2) << 1;
    QTest::newRow("points wrong length") << "points" << EncodePointFile(t1) << p1 << 2;
}

void TstCli::diffStatus()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, status);
    QTemporaryDir dir;
    const QString ext = kind == u"params" ? QStringLiteral(".pxt") : QStringLiteral(".ptt");
    writeFile(dir.filePath("a" + ext), a);
    writeFile(dir.filePath("b" + ext), b);
    const Run r = cli({kind, "diff", dir.filePath("a" + ext), dir.filePath("b" + ext)});
    QCOMPARE(r.status, status);
    if (status == 1) QVERIFY(r.out.contains(u"->"));
    if (status == 2) QVERIFY(!r.err.isEmpty());
}

void TstCli::substitution_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("expected");
    QTest::newRow("usb") << "p-{name}.pxt" << "/dev/ttyUSB0" << "p-ttyUSB0.pxt";
    QTest::newRow("twice") << "{name}/{name}.csv" << "/dev/ttyS1" << "ttyS1/ttyS1.csv";
    QTest::newRow("none") << "p.pxt" << "/dev/ttyS1" << "p.pxt";
    QTest::newRow("bare device") << "{name}.json" << "ttyACM0" << "ttyACM0.json";
    QTest::newRow("by-id link") << "{name}" << "/dev/serial/by-id/usb-FTDI-if00" << "usb-FTDI-if00";
}

void TstCli::substitution()
{
    QFETCH(QString, pattern);
    QFETCH(QString, device);
    QFETCH(QString, expected);
    QCOMPARE(SubstituteName(pattern, device), expected);
}

void TstCli::badCommandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    QTest::newRow("no command") << QStringList{} << "";
    QTest::newRow("unknown command") << QStringList{"reboot"} << "unknown command";
    QTest::newRow("unknown option") << QStringList{"status", "--port", "{dev}", "--frobnicate"} << "frobnicate";
    QTest::newRow("no port") << QStringList{"status"} << "no drive";
    QTest::newRow("bad parity") << QStringList{"status", "--port", "{dev}", "--parity", "mark"} << "--parity";
    QTest::newRow("bad retries") << QStringList{"status", "--port", "{dev}", "--retries", "-1"} << "--retries";
    QTest::newRow("stray argument") << QStringList{"status", "--port", "{dev}", "extra"} << "extra";
    QTest::newRow("read without -o") << QStringList{"params", "read", "--port", "{dev}"} << "-o FILE";
    QTest::newRow("read to unknown kind") << QStringList{"params", "read", "--port", "{dev}", "-o", "p.txt"} << ".pxt";
    QTest::newRow("two drives, one name") << QStringList{"params", "read", "--port", "{dev}", "--port", "/dev/null", "-o", "p.pxt"} << "{name}";
    QTest::newRow("write a missing file") << QStringList{"points", "write", "/nonexistent/t.ptt", "--port", "{dev}"} << "no such file";
    QTest::newRow("write a device") << QStringList{"params", "write", "/dev/null", "--port", "{dev}"} << "/dev/null";
    QTest::newRow("unknown action") << QStringList{"params", "erase", "--port", "{dev}"} << "unknown action";
    QTest::newRow("diff one side") << QStringList{"params", "diff", "a.pxt"} << "two sides";
    QTest::newRow("bad time base") << QStringList{"capture", "--port", "{dev}", "--time-base", "0.3", "-o", "c.wvt"} << "--time-base";
    QTest::newRow("bad position") << QStringList{"capture", "--port", "{dev}", "--position", "31", "-o", "c.wvt"} << "--position";
    QTest::newRow("bad status") << QStringList{"capture", "--port", "{dev}", "--status", "Fuel", "-o", "c.wvt"} << "--status";
    QTest::newRow("bad items") << QStringList{"monitor", "--port", "{dev}", "--items", "11"} << "--items";
    QTest::newRow("mqtt") << QStringList{"monitor", "--port", "{dev}", "--items", "4", "--mqtt", "localhost"} << "MQTT publishing is not built in";
}

void TstCli::badCommandLines()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    Drives drives({""});
    args.replaceInStrings(QStringLiteral("{dev}"), drives.device(0));
    const sim::Parameters before = drives.params(0);
    const Run r = cli(args);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(drives.params(0) == before);
}

// The seam of publishing: every poll of every drive reaches the publisher
// with the drive's name, status word and item values, and finish() comes last.
void TstCli::monitorHandsSamplesToThePublisher()
{
    Drives drives({"", "drop"});
    QList<MonitorSample> kept;
    bool finished = false;
    PublishOptions given;
    const PublisherFactory factory = [&](const PublishOptions &o, QString *) -> std::unique_ptr<MonitorSink> {
        given = o;
        auto sink = std::make_unique<KeptSamples>();
        sink->kept = &kept;
        sink->finished = &finished;
        return sink;
    };
    QTemporaryDir dir;
    const Run m = cli(QStringList{"monitor", "--items", "04,Point Table", "--interval", "100", "--duration", "0.5",
                                  "--mqtt", "broker:1883", "--topic", "line1", "--csv", dir.filePath("m-{name}.csv"),
                                  "--retries", "0"} + drives.portArgs(), factory);
    QCOMPARE(m.status, 1);  // the second drive never answers
    QVERIFY(finished);
    QCOMPARE(given.host, QStringLiteral("broker:1883"));
    QCOMPARE(given.topicPrefix, QStringLiteral("line1"));
    const QString name0 = QFileInfo(drives.device(0)).fileName();
    int good = 0, bad = 0;
    for (const MonitorSample &s : kept) {
        if (s.drive == name0) {
            QVERIFY(s.ok && s.statusWord);
            QCOMPARE(s.items.size(), 2);
            QCOMPARE(s.items[1].item, 10);
            QVERIFY(s.items[0].value && s.items[1].value);
            ++good;
        } else {
            QVERIFY(!s.ok && !s.error.isEmpty());
            ++bad;
        }
    }
    QVERIFY(good >= 3);
    QVERIFY(bad >= 1);
    const QList<QByteArray> rows = fileBytes(dir.filePath("m-" + name0 + ".csv")).split('\n');
    QVERIFY(rows.first().contains("04:Current Speed"));
    QCOMPARE(rows.size() - 2, good);  // the header, a row a sample, the last line's end
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
