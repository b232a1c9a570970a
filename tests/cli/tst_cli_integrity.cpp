// "params write" and "points write" against simulated drives whose replies
// the test bends: the values a partial file does not name and the backup come
// from two reads that agree, a read-back that differs is read once more, a
// write that stops half-way says what the drive holds (and the command it
// gives writes the backup back), and input that cannot be used is refused
// before any drive hears a request.

#include "clitestutil.h"
#include "commands/tablewrite.h"
#include "writereach.h"

#include "drive/params/paramfile.h"
#include "drive/points/pointfile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>
#include <mutex>
#include <sys/stat.h>

using namespace clitest;

namespace {

// A drive whose answers the test may give (first) or change (rewrite), each
// request counted by its text: nth is the how-manieth time it came.
struct BentDrive {
    using First = std::function<std::optional<std::string>(const std::string &request)>;
    using Rewrite = std::function<void(const std::string &request, int nth, std::string &reply)>;
    struct Counts {
        std::mutex lock;
        std::map<std::string, int> n;
        int last = 0;
    };
    std::shared_ptr<Counts> counts = std::make_shared<Counts>();
    std::unique_ptr<sim::PtyServer> server;

    explicit BentDrive(First first = {}, Rewrite rewrite = {})
    {
        sim::ServerConfig c;
        c.paced = false;
        c.answerFirst = [n = counts, first](const std::string &request) {
            std::lock_guard lock(n->lock);
            n->last = ++n->n[request];
            return first ? first(request) : std::nullopt;
        };
        c.rewriteReply = [n = counts, rewrite](const std::string &request, std::string &reply) {
            if (rewrite) rewrite(request, n->last, reply);
        };
        server = std::make_unique<sim::PtyServer>(c);
        if (!server->start()) qFatal("the simulated drive does not start");
    }
    QString device() const { return QString::fromStdString(server->devicePath()); }
    // How many requests starting with prefix came.
    int count(const std::string &prefix) const
    {
        std::lock_guard lock(counts->lock);
        int total = 0;
        for (const auto &[text, k] : counts->n) total += text.rfind(prefix, 0) == 0 ? k : 0;
        return total;
    }
    sim::Parameters params() { return server->withModel([](sim::DriveModel &m) { return m.parameters(); }); }
    sim::PointTable points() { return server->withModel([](sim::DriveModel &m) { return m.points(); }); }
};

// Field i of a reply "KW;f0;f1;..." (0 is the keyword) set to value.
void setField(std::string &reply, int i, const QString &value)
{
    QStringList parts = QString::fromStdString(reply).split(u';');
    parts[i] = value;
    reply = parts.join(u';').toStdString();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QByteArray json(const QJsonObject &o) { return QJsonDocument(o).toJson(); }
QByteArray paramsJson(const QJsonArray &list) { return json({{"kind", "orvex parameters"}, {"parameters", list}}); }
// Files that name parameter 01 only, or point 0 only.
QByteArray oneParameter(int value) { return paramsJson({QJsonObject{{"number", "01"}, {"value", value}}}); }
QByteArray onePoint(int travel)
{
    return json({{"kind", "orvex point table"},
                 {"points", QJsonArray{QJsonObject{{"point", 0}, {"absInc", 0}, {"travel", travel}, {"speed", 100}, {"accDec", 100}}}}});
}

ParamValues valuesOf(const sim::Parameters &p)
{
    ParamValues v{};
    std::copy(p.begin(), p.end(), v.begin());
    return v;
}

// The backup a drive's line names, failed or not.
QString backupOf(const QString &line)
{
    static const QRegularExpression named(QStringLiteral(R"((/\S+/orvex/backups/\S+\.(pxt|ptt)))"));
    return named.match(line).captured(1);
}

}  // namespace

class TstCliIntegrity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void partialWriteTakesAgreeingReads_data();
    void partialWriteTakesAgreeingReads();
    void verifyReadsOnceMore_data();
    void verifyReadsOnceMore();
    void halfWritten_data();
    void halfWritten();
    void halfWrittenWords_data();
    void halfWrittenWords();
    void refusedBeforeAnyDrive_data();
    void refusedBeforeAnyDrive();
    void garbledRepliesNamed();

private:
    QTemporaryDir m_data;
};

void TstCliIntegrity::init()
{
    // Each test's backups in a folder of their own.
    QDir(m_data.filePath("orvex")).removeRecursively();
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

// A partial file over a line that garbles reads of parameter 31 (block 3,
// not named by the file) or of point 5's travel, differently each time.
void TstCliIntegrity::partialWriteTakesAgreeingReads_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<int>>("garbled");  // which reads of the block
    QTest::newRow("params: the first read garbled") << "params" << QList<int>{1};
    QTest::newRow("params: every read garbled") << "params" << QList<int>{1, 2, 3, 4};
    QTest::newRow("points: the first read garbled") << "points" << QList<int>{1};
    QTest::newRow("points: every read garbled") << "points" << QList<int>{1, 2, 3, 4};
}

void TstCliIntegrity::partialWriteTakesAgreeingReads()
{
    QFETCH(QString, kind);
    QFETCH(QList<int>, garbled);
    const bool params = kind == u"params";
    const std::string block = params ? "R;3" : "TBLR;5";
    BentDrive drive({}, [=](const std::string &request, int nth, std::string &reply) {
        if (request == block && garbled.contains(nth)) setField(reply, params ? 3 : 2, QString::number(nth * 100 + 7));
    });
    const sim::Parameters paramsBefore = drive.params();
    const sim::PointTable pointsBefore = drive.points();
    QTemporaryDir dir;
    writeFile(dir.filePath("partial.json"), params ? oneParameter(25) : onePoint(1000));
    const Run r = cli({kind, "write", dir.filePath("partial.json"), "--port", drive.device()});
    if (garbled.size() == MaxAgreeingReads) {
        // No two reads agreed: nothing written, no backup, and the line says why.
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(u"no two of 4 reads") && r.out.contains(u"nothing was written"), qPrintable(r.out));
        QCOMPARE(drive.count(params ? "W;" : "TBLW;") + drive.count("FLASH"), 0);
        QVERIFY(QDir(m_data.filePath("orvex/backups")).entryList(QDir::Files).isEmpty());
        return;
    }
    // Written with what the drive holds, which the backup keeps.
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    const QByteArray backup = fileBytes(backupOf(r.out));
    if (params) {
        QCOMPARE(drive.params()[1], 25);
        QCOMPARE(drive.params()[31], paramsBefore[31]);
        QCOMPARE(backup, EncodeParamFile(valuesOf(paramsBefore)));
    } else {
        QCOMPARE(drive.points()[1], 1000);
        QCOMPARE(drive.points()[4 * 5 + 1], pointsBefore[4 * 5 + 1]);
        QCOMPARE(DecodePointFile(backup).value()[4 * 5 + 1], pointsBefore[4 * 5 + 1]);
    }
}

// The read-back of parameter 01 = 27: garbled once, garbled twice, or the
// drive keeps another value (99) for good.
void TstCliIntegrity::verifyReadsOnceMore_data()
{
    QTest::addColumn<QList<int>>("garbled");  // reads of block 0 after FLASH, from 1 (0: all, as 99)
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("garbled once") << QList<int>{1} << 0 << "verified";
    QTest::newRow("garbled twice") << QList<int>{1, 2} << 1 << "01 In-position Area: wrote 27, read back 1099, then 2099.";
    QTest::newRow("another value") << QList<int>{0} << 1 << "01 In-position Area: wrote 27, the drive holds 99.";
}

void TstCliIntegrity::verifyReadsOnceMore()
{
    QFETCH(QList<int>, garbled);
    QFETCH(int, status);
    QFETCH(QString, says);
    auto afterFlash = std::make_shared<int>(-1);  // reads of block 0 since FLASH; the server's thread alone
    BentDrive drive({}, [=](const std::string &request, int, std::string &reply) {
        if (request == "FLASH") *afterFlash = 0;
        if (request != "R;0" || *afterFlash < 0) return;
        const int nth = ++*afterFlash;
        if (garbled == QList<int>{0}) setField(reply, 3, QStringLiteral("63"));
        else if (garbled.contains(nth)) setField(reply, 3, QString::number(nth * 1000 + 99, 16));
    });
    QTemporaryDir dir;
    ParamValues v = valuesOf(drive.params());
    v[1] = 27;
    writeFile(dir.filePath("p.pxt"), EncodeParamFile(v));
    const Run r = cli({"params", "write", dir.filePath("p.pxt"), "--port", drive.device()});
    QVERIFY2(r.status == status && r.out.contains(says), qPrintable(r.out + r.err));
    QVERIFY2(QFileInfo::exists(backupOf(r.out)), qPrintable(r.out));
    QCOMPARE(r.out.contains(u"To write them back: orvex-cli params write "), status != 0);
}

// A write that the drive refuses half-way: the line names the backup and
// what the drive holds, and the command it gives writes the backup back.
void TstCliIntegrity::halfWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("refused");  // answered "ERR;3"; the drive takes nothing of it
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("says");
    QTest::newRow("block 2") << "params" << "W;2" << "" << "The drive runs blocks 0-1 of the new values, not saved in its memory (no FLASH). The values before are in ";
    QTest::newRow("FLASH") << "params" << "FLASH" << "" << "The drive runs all the new values (blocks 0-3), not saved in its memory (FLASH refused).";
    QTest::newRow("block 0") << "params" << "W;0" << "" << "nothing was written. The values before are in ";
    QTest::newRow("no backup") << "params" << "W;1" << "--no-backup"
                               << "The drive runs block 0 of the new values, not saved in its memory (no FLASH). The values before were not kept";
    QTest::newRow("point 12") << "points" << "TBLW;C" << "" << "The drive runs points 0-11 of the new values, not saved in its memory (no FLASH).";
    // A drive holding 4000 in parameter 31 (range 1/2500) refuses it in block 3.
    QTest::newRow("a backup out of range") << "params" << "" << "--as-is" << "The drive runs blocks 0-2 of the new values";
}

void TstCliIntegrity::halfWritten()
{
    QFETCH(QString, kind);
    QFETCH(QString, refused);
    QFETCH(QString, options);
    QFETCH(QString, says);
    const std::string no = refused.toStdString();
    auto on = std::make_shared<std::atomic<bool>>(true);
    BentDrive drive(
        [=](const std::string &request) -> std::optional<std::string> {
            if (*on && !no.empty() && (request == no || request.rfind(no + ";", 0) == 0)) return "ERR;3";
            return std::nullopt;
        },
        [=](const std::string &request, int, std::string &reply) {
            if (*on && no.empty() && request == "R;3") setField(reply, 3, QStringLiteral("FA0"));
        });
    const bool params = kind == u"params";
    QTemporaryDir dir;
    const QString before = dir.filePath(params ? "before.pxt" : "before.ptt"), file = dir.filePath(params ? "new.pxt" : "new.ptt");
    QCOMPARE(cli({kind, "read", "--port", drive.device(), "-o", before}).status, 0);
    QByteArray bytes = fileBytes(before);
    for (int i = 4; i < bytes.size(); i += 40) bytes[i] = char(bytes[i] + 1);  // a value of each block or point changed
    writeFile(file, bytes);
    writeFile(dir.filePath("one.json"), oneParameter(25));
    const bool outOfRange = no.empty();
    QStringList args{kind, "write", outOfRange ? dir.filePath("one.json") : file, "--port", drive.device(), "--json"};
    if (options == u"--no-backup") args << options;
    const Run r = cli(args);
    QCOMPARE(r.status, 1);
    const QJsonObject line = QJsonDocument::fromJson(r.out.toUtf8()).array().first().toObject();
    const QString error = line["error"].toString(), backup = line["backup"].toString();
    QVERIFY2(error.contains(says) && error.contains(u"refused with ERR;") && error.contains(backup), qPrintable(error));
    QCOMPARE(line.contains("restore"), refused != u"W;0" && options != u"--no-backup");
    if (!line.contains("restore")) return;
    const QString restore = line["restore"].toString();
    QCOMPARE(restore, QStringLiteral("orvex-cli %1 write %2 --port %3 --no-backup").arg(kind, backup, drive.device())
                          + (outOfRange ? QStringLiteral(" --as-is") : QString()));
    QVERIFY(error.endsWith(QStringLiteral("To write them back: ") + restore));
    if (outOfRange) {
        // Only so is such a backup taken (this drive would refuse 4000 again).
        const Run checked = cli({"params", "diff", backup, backup});
        QVERIFY2(checked.status == 2 && checked.err.contains(u"parameter 31 = 4000 is outside its range 1/2500"), qPrintable(checked.err));
        QCOMPARE(cli({"params", "diff", backup, backup, "--as-is"}).status, 0);
        return;
    }
    *on = false;
    QCOMPARE(cli(restore.split(u' ').mid(1)).status, 0);
    QCOMPARE(cli({kind, "diff", before, "drive:" + drive.device()}).status, 0);
}

// The words of every way a write of four blocks can stop.
void TstCliIntegrity::halfWrittenWords_data()
{
    QTest::addColumn<int>("acknowledged");
    QTest::addColumn<int>("unanswered");
    QTest::addColumn<QString>("says");
    QTest::newRow("nothing") << 0 << -1 << "Nothing was written: the drive holds the values it had.";
    QTest::newRow("block 0 unanswered") << 0 << 0 << "The drive may run block 0 of the new values, not saved in its memory (no FLASH). The values before are in B.";
    QTest::newRow("block 3 unanswered") << 3 << 3 << "The drive runs blocks 0-2 of the new values, block 3 perhaps too, not saved";
    QTest::newRow("all, no FLASH") << 4 << -1 << "The drive runs all the new values (blocks 0-3), not saved in its memory (no FLASH).";
    QTest::newRow("FLASH unanswered") << 4 << 4 << "(blocks 0-3), perhaps not saved in its memory (FLASH was not answered).";
}

void TstCliIntegrity::halfWrittenWords()
{
    WriteReach reach;
    reach.unit = QStringLiteral("block");
    reach.units = 4;
    QFETCH(int, acknowledged);
    QFETCH(int, unanswered);
    QFETCH(QString, says);
    reach.acknowledged = acknowledged;
    reach.unanswered = unanswered;
    QVERIFY2(HalfWrittenText(reach, QStringLiteral("B")).contains(says), qPrintable(HalfWrittenText(reach, QStringLiteral("B"))));
    reach.done = true;
    QVERIFY(HalfWrittenText(reach, QStringLiteral("B")).isEmpty());
}

// Input that cannot be used, refused with status 2 before a drive hears a
// request: files ({file}, written with bytes; "fifo": a named pipe) and drive
// names ({a}, {b}: two drives; {dir}/1/axis and {dir}/2/axis link to them).
void TstCliIntegrity::refusedBeforeAnyDrive_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("never");
    const QStringList params{"params", "write", "{file}.pxt", "--port", "{a}"}, json{"params", "write", "{file}.json", "--port", "{a}"};
    ParamValues p{};
    for (int k = 0; k < UserParamCount; ++k) p[k] = ParamRange(k).section(u'/', 0, 0).toInt();
    ParamValues low = p;
    low[2] = 5;
    PointTable t{};
    t[4 * 3 + 2] = 3000;
    const QJsonObject twice{{"number", "01"}, {"value", 25}};
    QTest::newRow(".pxt") << params << EncodeParamFile(low) << "pxt: parameter 02 = 5 is outside its range 10/" << "";
    QTest::newRow(".ptt") << QStringList{"points", "write", "{file}.ptt", "--port", "{a}"} << EncodePointFile(t)
                          << "ptt: point 3 Speed = 3000 is outside its range 0/2500" << "";
    QTest::newRow("JSON out of range") << json << paramsJson({QJsonObject{{"number", "02"}, {"value", 5}}}) << "parameter 02 = 5 is outside" << "";
    QTest::newRow("JSON names a parameter twice") << json << paramsJson({twice, twice}) << "parameter 01 is named twice" << "";
    QTest::newRow("JSON array") << json << QByteArray("[1]") << "the JSON is an array, not an object" << "no error occurred";
    QTest::newRow("CSV a check changes") << QStringList{"params", "write", "{file}.csv", "--port", "{a}"} << QByteArray("Number,Value\n02,5\n")
                                         << "line 2: Parameter 02: 5 changed to 10, by the entry check" << "(was";
    QTest::newRow("CSV header only") << QStringList{"params", "write", "{file}.csv", "--port", "{a}"} << QByteArray("Number,Value\n")
                                     << "only its header row" << "no a ";
    QTest::newRow("a named pipe") << params << QByteArray("fifo") << "not a plain file" << "";
    QTest::newRow("ports from a named pipe") << QStringList{"status", "--ports-from", "{file}"} << QByteArray("fifo") << "not a plain file" << "";
    QTest::newRow("one drive twice") << QStringList{"status", "--port", "{a}", "--port", "{a}"} << QByteArray() << "is named twice" << "";
    QTest::newRow("one name, two folders") << QStringList{"status", "--port", "{dir}/1/axis", "--port", "{dir}/2/axis"} << QByteArray()
                                           << "share the name axis" << "";
    QTest::newRow("a link and its device") << QStringList{"status", "--port", "{a}", "--port", "{dir}/1/axis"} << QByteArray()
                                           << "are the same device" << "";
    QTest::newRow("a NUL in --ports-from") << QStringList{"status", "--ports-from", "{file}"} << QByteArray("{b}\n{a}\0junk\n", 13)
                                           << "line 2 holds a control character" << "";
    for (const char *d : {"nan", "inf", "-1"})
        QTest::newRow(qPrintable(QStringLiteral("--duration %1").arg(d)))
            << QStringList{"monitor", "--port", "{a}", "--items", "04", "--duration", d} << QByteArray() << "--duration wants seconds" << "";
}

void TstCliIntegrity::refusedBeforeAnyDrive()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    QFETCH(QString, never);
    BentDrive a, b;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("1") && QDir(dir.path()).mkpath("2"));
    QVERIFY(QFile::link(a.device(), dir.filePath("1/axis")) && QFile::link(b.device(), dir.filePath("2/axis")));
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("{a}"), a.device()).replace(QStringLiteral("{b}"), b.device()).replace(QStringLiteral("{dir}"), dir.path());
    };
    for (QString &arg : args) {
        arg = fill(arg).replace(QStringLiteral("{file}"), dir.filePath("in"));
        if (!arg.startsWith(dir.filePath("in")) || bytes.isEmpty()) continue;
        if (bytes == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(arg).constData(), 0600), 0);
        else if (QFileInfo(arg).suffix().isEmpty()) writeFile(arg, fill(QString::fromUtf8(bytes)).toUtf8());  // a ports file
        else writeFile(arg, bytes);
    }
    // The lock file a port opened would have ("LCK..pts_3" for /dev/pts/3).
    const QString lock = QStringLiteral("/run/lock/LCK..") + a.device().mid(5).replace(u'/', u'_');
    const bool lockedBefore = QFileInfo::exists(lock);  // left by someone else
    QElapsedTimer t;
    t.start();
    const Run r = cli(args);
    QVERIFY(t.elapsed() < 2000);  // a pipe is not waited on
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(says) && (never.isEmpty() || !r.err.contains(never)), qPrintable(r.err));
    QCOMPARE(a.count("") + b.count(""), 0);
    QVERIFY(lockedBefore || !QFileInfo::exists(lock));
}

// A drive whose every reply to one block is bent out of shape answers, but
// gives nothing that can be taken: the line says so, and what was wrong.
void TstCliIntegrity::garbledRepliesNamed()
{
    BentDrive drive({}, [](const std::string &request, int, std::string &reply) {
        if (request == "R;3") setField(reply, 3, QStringLiteral("G7"));
    });
    QTemporaryDir dir;
    const Run r = cli({"params", "read", "-o", dir.filePath("p.pxt"), "--port", drive.device()});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.contains(u"failed: no reply from the drive that could be taken; ") &&
                 r.out.contains(u" garbled, the last to R;3: field 3 is not hexadecimal"),
             qPrintable(r.out));
    QVERIFY(!QFile::exists(dir.filePath("p.pxt")));
}

QTEST_GUILESS_MAIN(TstCliIntegrity)
#include "tst_cli_integrity.moc"
