#include "clitool.h"

#include "clifiles.h"
#include "drivesession.h"

#include "drive/backups.h"
#include "drive/wave/capturejob.h"
#include "drive/compare.h"
#include "drive/csvfiles.h"
#include "drive/params/paramfile.h"
#include "drive/params/parameterjobs.h"
#include "drive/points/pointfile.h"
#include "drive/points/pointjobs.h"
#include "drive/statusjob.h"
#include "drive/link/portmap.h"
#include "drive/link/netportname.h"
#include "drive/monitor/monitorrules.h"
#include "drive/wave/wavequantities.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <memory>

#ifndef ORVEX_VERSION
#define ORVEX_VERSION "0"
#endif

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

// What one drive came to.
struct DriveResult {
    QString device;
    QString name;
    bool ok = false;
    QString summary;  // after "ttyUSB0: " on a success
    QString error;    // why it failed
    QJsonObject json;
};

struct Context {
    CliEnvironment &env;
    QCommandLineParser parser;
    QStringList devices;
    SessionOptions session;
    bool json = false;
    bool quiet = false;
    QMutex errLock;

    QTextStream &out() { return *env.out; }
    void message(const QString &text)
    {
        QMutexLocker lock(&errLock);
        *env.err << text << Qt::endl;
    }
    // Progress of a drive, only to a terminal.
    std::function<void(int, int)> progress(const QString &name, const QString &what)
    {
        if (!env.progress) return {};
        return [this, name, what](int step, int steps) {
            QMutexLocker lock(&errLock);
            *env.err << QStringLiteral("%1: %2 %3/%4").arg(name, what).arg(step).arg(steps) << Qt::endl;
        };
    }
};

QString deviceName(const QString &device) { return PortFileName(device); }

DriveResult failed(DriveResult r, const QString &why)
{
    r.ok = false;
    r.error = why;
    return r;
}

DriveResult startResult(const QString &device)
{
    DriveResult r;
    r.device = device;
    r.name = deviceName(device);
    return r;
}

// Runs work for every device at once, each on a thread of its own, and gives
// the results in the order of the devices.
QList<DriveResult> onEveryDrive(const QStringList &devices, const std::function<DriveResult(const QString &)> &work)
{
    QList<DriveResult> results(devices.size());
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    qsizetype left = devices.size();
    for (qsizetype i = 0; i < devices.size(); ++i) {
        threads.emplace_back(QThread::create([&results, &work, &devices, i] { results[i] = work(devices[i]); }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--left == 0) loop.quit();
        });
    }
    for (auto &t : threads) t->start();
    if (left > 0) loop.exec();
    for (auto &t : threads) t->wait();
    return results;
}

// Prints one line (or an entry of the JSON array) a drive; the status of the batch.
int report(Context &c, const QList<DriveResult> &results)
{
    QJsonArray array;
    QStringList failures;
    for (const DriveResult &r : results) {
        if (!r.ok) failures << QStringLiteral("%1 (%2)").arg(r.name, r.error);
        if (c.json) {
            QJsonObject o = r.json;
            o.insert(QStringLiteral("port"), r.device);
            o.insert(QStringLiteral("name"), r.name);
            o.insert(QStringLiteral("ok"), r.ok);
            if (!r.ok) o.insert(QStringLiteral("error"), r.error);
            array.append(o);
        } else if (!r.ok) {
            c.out() << r.name << ": failed: " << r.error << Qt::endl;
        } else if (!c.quiet) {
            c.out() << r.name << ": " << r.summary << Qt::endl;
        }
    }
    if (c.json) c.out() << QJsonDocument(array).toJson(QJsonDocument::Indented) << Qt::flush;
    if (failures.isEmpty()) return ExitOk;
    c.message(QStringLiteral("%1 of %2 drives failed: %3").arg(failures.size()).arg(results.size()).arg(failures.join(QStringLiteral(", "))));
    return ExitFailed;
}

int usage(Context &c, const QString &text)
{
    c.message(QStringLiteral("orvex-cli: ") + text);
    c.message(QStringLiteral("Try \"orvex-cli --help\"."));
    return ExitUsage;
}

QString hex(quint32 v) { return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0')).toUpper().replace(u"0X"_qs, u"0x"_qs); }

// ---- names of what the status reply tells ---------------------------------------

QStringList statusNames(quint32 word)
{
    QStringList on;
    for (const StatusRow &row : StatusRows())
        if ((word >> row.bit & 1u) != 0) on << row.name;
    return on;
}

QStringList alarmNames(quint32 bits)
{
    const QString joined = PresentAlarmNames(bits);
    return joined.isEmpty() ? QStringList() : joined.split(QStringLiteral(", "));
}

QStringList historyNames(const std::array<qint32, 8> &history)
{
    QStringList out;
    for (qint32 f : history) {
        const int k = AlarmHistoryIndex(f);
        out << (k == HistoryEmpty ? QStringLiteral("-") : k == HistoryKeep ? hex(static_cast<quint32>(f)) : AlarmCaptions()[k]);
    }
    return out;
}

QString monitorItemName(int item) { return MonitorItems()[item].section(u':', 1); }

// ---- common options ----------------------------------------------------------------

void addCommonOptions(QCommandLineParser &p, bool drives)
{
    p.addHelpOption();
    if (drives) {
        p.addOption({QStringLiteral("port"), QStringLiteral("Serial device of a drive, or a network port socket://HOST:PORT or "
                                    "rfc2217://HOST:PORT; give it once for each drive."),
                     QStringLiteral("DEV")});
        p.addOption({QStringLiteral("ports-from"), QStringLiteral("A file of serial devices or network ports, one a line (# starts a comment)."),
                     QStringLiteral("FILE")});
        p.addOption({QStringLiteral("parity"), QStringLiteral("Parity of the line: none, even (default) or odd."),
                     QStringLiteral("PARITY"), QStringLiteral("even")});
        p.addOption({QStringLiteral("retries"), QStringLiteral("Ask a lost reply again N times before giving up (default 2)."),
                     QStringLiteral("N"), QStringLiteral("2")});
        p.addOption({QStringLiteral("replies-whole"),
                     QStringLiteral("Have the serial driver hand each reply over whole at its end: about a third of "
                                    "the CPU while polling, each reply seen up to about 0.2 ms later.")});
    }
    p.addOption({QStringLiteral("json"), QStringLiteral("Print the results as JSON.")});
    p.addOption({QStringLiteral("quiet"), QStringLiteral("Print only what failed.")});
}

// Reads the common options; empty when they can be used, else why not.
QString takeCommonOptions(Context &c, bool drives)
{
    c.json = c.parser.isSet(QStringLiteral("json"));
    c.quiet = c.parser.isSet(QStringLiteral("quiet"));
    c.session.tickMs = c.env.tickMs;
    if (!drives) return {};
    const QString parity = c.parser.value(QStringLiteral("parity")).toLower();
    if (parity == u"none") c.session.parity = QSerialPort::NoParity;
    else if (parity == u"even") c.session.parity = QSerialPort::EvenParity;
    else if (parity == u"odd") c.session.parity = QSerialPort::OddParity;
    else return QStringLiteral("--parity wants none, even or odd, not \"%1\"").arg(parity);
    bool ok = false;
    c.session.retries = c.parser.value(QStringLiteral("retries")).toInt(&ok);
    if (!ok || c.session.retries < 0 || c.session.retries > 100)
        return QStringLiteral("--retries wants a number from 0 to 100, not \"%1\"").arg(c.parser.value(QStringLiteral("retries")));
    c.session.repliesWhole = c.parser.isSet(QStringLiteral("replies-whole"));
    c.devices = c.parser.values(QStringLiteral("port"));
    if (c.parser.isSet(QStringLiteral("ports-from"))) {
        QString error;
        const std::optional<QByteArray> bytes = ReadInputFile(c.parser.value(QStringLiteral("ports-from")), 1024 * 1024, &error);
        if (!bytes) return error;
        for (const QByteArray &line : bytes->split('\n')) {
            const QString device = QString::fromUtf8(line).section(u'#', 0, 0).trimmed();
            if (!device.isEmpty()) c.devices << device;
        }
    }
    for (const QString &d : c.devices)
        if (d.isEmpty()) return QStringLiteral("--port wants a serial device");
    return {};
}

QString needDrives(Context &c)
{
    return c.devices.isEmpty() ? QStringLiteral("no drive: give --port DEV (or --ports-from FILE)") : QString();
}

// An output name shared by several drives must tell them apart.
QString checkOutputName(const Context &c, const QString &pattern)
{
    if (pattern.isEmpty()) return QStringLiteral("an output file is needed: -o FILE");
    if (c.devices.size() > 1 && !pattern.contains(u"{name}"))
        return QStringLiteral("with several drives the output name needs {name}, as in %1").arg(QStringLiteral("params-{name}.pxt"));
    return {};
}

// ---- ports --------------------------------------------------------------------------

int cmdPorts(Context &c)
{
    const QList<PortEntry> ports = PortMap().list();
    if (c.json) {
        QJsonArray a;
        for (const PortEntry &e : ports)
            a.append(QJsonObject{{QStringLiteral("number"), e.number}, {QStringLiteral("device"), e.device},
                                 {QStringLiteral("description"), e.description}});
        c.out() << QJsonDocument(a).toJson() << Qt::flush;
        return ExitOk;
    }
    if (ports.isEmpty() && !c.quiet) c.out() << "(no serial ports found)" << Qt::endl;
    for (const PortEntry &e : ports) c.out() << e.number << '\t' << e.device << '\t' << e.description << Qt::endl;
    return ExitOk;
}

// ---- status and alarms ------------------------------------------------------------

QJsonObject statusJson(const StatusSnapshot &s)
{
    QJsonObject o;
    if (s.statusWord) {
        o.insert(QStringLiteral("statusWord"), hex(*s.statusWord));
        o.insert(QStringLiteral("status"), QJsonArray::fromStringList(statusNames(*s.statusWord)));
    }
    if (s.motorType) {
        o.insert(QStringLiteral("motorType"), *s.motorType);
        o.insert(QStringLiteral("model"), MotorModelText(*s.motorType));
    }
    if (s.romVersion) o.insert(QStringLiteral("romVersion"), RomVersionText(*s.romVersion));
    if (s.point) o.insert(QStringLiteral("point"), *s.point);
    if (s.alarms) {
        o.insert(QStringLiteral("alarmBits"), hex(*s.alarms));
        o.insert(QStringLiteral("alarms"), QJsonArray::fromStringList(alarmNames(*s.alarms)));
    }
    if (s.alarmHistory) o.insert(QStringLiteral("alarmHistory"), QJsonArray::fromStringList(historyNames(*s.alarmHistory)));
    if (s.ioWord) {
        QJsonObject inputs, outputs;
        for (const IoSignal &sig : InputSignals()) inputs.insert(sig.name, (*s.ioWord >> sig.bit & 1u) != 0 ? u"OPEN"_qs : u"CLOSE"_qs);
        for (const IoSignal &sig : OutputSignals()) outputs.insert(sig.name, (*s.ioWord >> sig.bit & 1u) != 0 ? u"OPEN"_qs : u"CLOSE"_qs);
        o.insert(QStringLiteral("ioWord"), hex(*s.ioWord));
        o.insert(QStringLiteral("inputs"), inputs);
        o.insert(QStringLiteral("outputs"), outputs);
    }
    return o;
}

QString joinedOrNone(const QStringList &names) { return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")); }

QString alarmsLine(const StatusSnapshot &s)
{
    QString line = QStringLiteral("alarms: ") + joinedOrNone(alarmNames(s.alarms.value_or(0)));
    if (s.alarmHistory) line += QStringLiteral("; history: ") + historyNames(*s.alarmHistory).join(QStringLiteral(", "));
    return line;
}

QString statusLine(const StatusSnapshot &s)
{
    const QString model = MotorModelText(s.motorType.value_or(-1));
    QStringList parts;
    parts << QStringLiteral("model %1").arg(model.isEmpty() ? QStringLiteral("type %1").arg(s.motorType.value_or(0)) : model)
          << QStringLiteral("ROM %1").arg(RomVersionText(s.romVersion.value_or(0)))
          << QStringLiteral("status %1: %2").arg(hex(s.statusWord.value_or(0)), joinedOrNone(statusNames(s.statusWord.value_or(0))))
          << alarmsLine(s);
    if (s.ioWord) {
        QStringList open;
        for (const IoSignal &sig : InputSignals())
            if ((*s.ioWord >> sig.bit & 1u) != 0) open << sig.name;
        for (const IoSignal &sig : OutputSignals())
            if ((*s.ioWord >> sig.bit & 1u) != 0) open << sig.name;
        parts << QStringLiteral("I/O OPEN: %1").arg(joinedOrNone(open));
    }
    return parts.join(QStringLiteral("; "));
}

int cmdStatus(Context &c)
{
    const auto results = onEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = startResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return failed(r, s.error());
        ReadStatusJob job(s.link(), ReadStatusJob::Parts{true, true, true, {}});
        if (!s.run(job, c.progress(r.name, QStringLiteral("status")))) return failed(r, s.error());
        r.ok = true;
        r.summary = statusLine(job.result());
        r.json = statusJson(job.result());
        return r;
    });
    return report(c, results);
}

int cmdAlarms(Context &c)
{
    const bool reset = c.parser.isSet(QStringLiteral("reset"));
    const bool clear = c.parser.isSet(QStringLiteral("clear-history"));
    const auto results = onEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = startResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return failed(r, s.error());
        if (reset && !s.request(QStringLiteral("ARST"))) return failed(r, QStringLiteral("alarm reset: ") + s.error());
        if (clear && !s.request(QStringLiteral("HCL"))) return failed(r, QStringLiteral("clearing the history: ") + s.error());
        ReadStatusJob job(s.link(), ReadStatusJob::Parts{true, true, false, {}});
        if (!s.run(job)) return failed(r, s.error());
        r.ok = true;
        QStringList done;
        if (reset) done << QStringLiteral("alarms reset");
        if (clear) done << QStringLiteral("history cleared");
        done << alarmsLine(job.result());
        r.summary = done.join(QStringLiteral("; "));
        r.json = statusJson(job.result());
        return r;
    });
    return report(c, results);
}

// ---- parameter sets and point tables --------------------------------------------

// What differs between the parameters and the point table.
template <typename V>
struct TableKind {
    QString what;        // "parameters", "point table"
    QString native;      // "pxt", "ptt"
    QString backupKind;  // "parameters", "pointtable"
    std::function<bool(DriveSession &, V &, const std::function<void(int, int)> &)> read;
    std::function<bool(DriveSession &, const V &, const std::function<void(int, int)> &)> write;
    std::function<QByteArray(FileKind, const V &)> encode;
    std::function<std::optional<V>(const QString &, const V &, QString *)> decode;
    std::function<QList<CompareRow>(const V &, const V &)> compare;
    std::function<QJsonObject(const V &)> json;
    std::function<QByteArray(const V &)> backupBytes;
};

TableKind<ParamValues> parameterKind(bool maker)
{
    const int count = maker ? ParamCount : UserParamCount;
    TableKind<ParamValues> k;
    k.what = QStringLiteral("parameters");
    k.native = QStringLiteral("pxt");
    k.backupKind = QStringLiteral("parameters");
    k.read = [](DriveSession &s, ParamValues &v, const std::function<void(int, int)> &progress) {
        ReadParametersJob job(s.link());
        job.countsAsRead = false;
        if (!s.run(job, progress)) return false;
        v = job.result().values;
        return true;
    };
    k.write = [maker](DriveSession &s, const ParamValues &v, const std::function<void(int, int)> &progress) {
        WriteParametersJob job(s.link());
        ParameterSet set;
        set.values = v;
        set.writeBlocks = maker ? ParamBlockCount : UserParamCount / ParamBlockSize;
        job.setSource(set);
        return s.run(job, progress);
    };
    k.encode = [count](FileKind kind, const ParamValues &v) { return EncodeParameters(kind, v, count); };
    k.decode = [maker](const QString &path, const ParamValues &base, QString *error) {
        return DecodeParameters(path, base, maker, error);
    };
    k.compare = [count](const ParamValues &a, const ParamValues &b) { return CompareParameters(a, b, count); };
    k.json = [count](const ParamValues &v) { return ParametersJson(v, count); };
    k.backupBytes = [](const ParamValues &v) { return EncodeParamFile(v); };
    return k;
}

TableKind<PointTable> pointKind()
{
    TableKind<PointTable> k;
    k.what = QStringLiteral("point table");
    k.native = QStringLiteral("ptt");
    k.backupKind = QStringLiteral("pointtable");
    k.read = [](DriveSession &s, PointTable &v, const std::function<void(int, int)> &progress) {
        ReadPointTableJob job(s.link());
        job.countsAsRead = false;
        if (!s.run(job, progress)) return false;
        v = job.result();
        return true;
    };
    k.write = [](DriveSession &s, const PointTable &v, const std::function<void(int, int)> &progress) {
        WritePointTableJob job(s.link());
        job.setSource(v);
        return s.run(job, progress);
    };
    k.encode = [](FileKind kind, const PointTable &v) { return EncodePoints(kind, v); };
    k.decode = [](const QString &path, const PointTable &base, QString *error) { return DecodePoints(path, base, error); };
    k.compare = [](const PointTable &a, const PointTable &b) { return ComparePoints(a, b); };
    k.json = [](const PointTable &v) { return PointsJson(v); };
    k.backupBytes = [](const PointTable &v) { return EncodePointFile(v); };
    return k;
}

QStringList differingEntries(const QList<CompareRow> &rows)
{
    QStringList out;
    for (const CompareRow &row : rows)
        if (row.differs) out << row.number + (row.name.isEmpty() ? QString() : u' ' + row.name);
    return out;
}

template <typename V>
int cmdTableRead(Context &c, const TableKind<V> &kind)
{
    const QString pattern = c.parser.value(QStringLiteral("output"));
    if (const QString e = checkOutputName(c, pattern); !e.isEmpty()) return usage(c, e);
    if (KindOfFile(pattern, kind.native) == FileKind::Unknown)
        return usage(c, QStringLiteral("%1: the file must be .%2, .csv or .json").arg(pattern, kind.native));
    const auto results = onEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = startResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return failed(r, s.error());
        V values{};
        if (!kind.read(s, values, c.progress(r.name, QStringLiteral("reading")))) return failed(r, s.error());
        const QString path = SubstituteName(pattern, device);
        QString error;
        if (!WriteOutputFile(path, kind.encode(KindOfFile(path, kind.native), values), &error)) return failed(r, error);
        r.ok = true;
        r.summary = QStringLiteral("%1 read into %2").arg(kind.what, path);
        r.json = QJsonObject{{QStringLiteral("file"), path}};
        return r;
    });
    return report(c, results);
}

template <typename V>
int cmdTableWrite(Context &c, const TableKind<V> &kind, const QString &pattern)
{
    const bool backup = !c.parser.isSet(QStringLiteral("no-backup"));
    const bool verify = !c.parser.isSet(QStringLiteral("no-verify"));
    // Every file is checked before any drive is touched.
    for (const QString &device : c.devices) {
        QString error;
        if (!kind.decode(SubstituteName(pattern, device), V{}, &error)) return usage(c, error);
    }
    const auto results = onEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = startResult(device);
        const QString path = SubstituteName(pattern, device);
        DriveSession s(device, c.session);
        if (!s.open()) return failed(r, s.error());
        // What the drive holds: the backup, and the values a file does not name.
        V before{};
        if (!kind.read(s, before, c.progress(r.name, QStringLiteral("reading")))) return failed(r, QStringLiteral("reading: ") + s.error());
        QString error;
        const std::optional<V> wanted = kind.decode(path, before, &error);
        if (!wanted) return failed(r, error);
        QStringList said;
        if (backup) {
            const BackupResult b = WriteBackup(kind.backupKind, kind.native, kind.backupBytes(before));
            if (!b.ok) return failed(r, b.error);
            said << QStringLiteral("backup %1").arg(b.path);
            r.json.insert(QStringLiteral("backup"), b.path);
        }
        if (!kind.write(s, *wanted, c.progress(r.name, QStringLiteral("writing")))) return failed(r, QStringLiteral("writing: ") + s.error());
        said.prepend(QStringLiteral("%1 written from %2").arg(kind.what, path));
        if (verify) {
            V after{};
            if (!kind.read(s, after, c.progress(r.name, QStringLiteral("verifying")))) return failed(r, QStringLiteral("verifying: ") + s.error());
            const QStringList differ = differingEntries(kind.compare(*wanted, after));
            if (!differ.isEmpty()) return failed(r, QStringLiteral("verify mismatch: %1 read back differently: %2").arg(kind.what, differ.join(QStringLiteral(", "))));
            said << QStringLiteral("verified");
        }
        r.ok = true;
        r.summary = said.join(QStringLiteral("; "));
        r.json.insert(QStringLiteral("file"), path);
        r.json.insert(QStringLiteral("verified"), verify);
        return r;
    });
    return report(c, results);
}

// diff: each side a file or "drive:DEV"; 0 the same, 1 different, 2 trouble.
template <typename V>
int cmdTableDiff(Context &c, const TableKind<V> &kind, const QStringList &sides)
{
    std::array<V, 2> values{};
    QStringList drives;
    for (int i = 0; i < 2; ++i) {
        if (sides[i].startsWith(u"drive:")) {
            drives << sides[i].mid(6);
            continue;
        }
        QString error;
        const std::optional<V> v = kind.decode(sides[i], V{}, &error);
        if (!v) return usage(c, error);
        values[i] = *v;
    }
    if (!drives.isEmpty()) {
        for (const QString &d : drives)
            if (d.isEmpty()) return usage(c, QStringLiteral("drive: wants a serial device, as in drive:/dev/ttyUSB0"));
        QList<V> read(drives.size());
        const auto results = onEveryDrive(drives, [&](const QString &device) {
            DriveResult r = startResult(device);
            DriveSession s(device, c.session);
            if (!s.open()) return failed(r, s.error());
            V v{};
            if (!kind.read(s, v, c.progress(r.name, QStringLiteral("reading")))) return failed(r, s.error());
            read[drives.indexOf(device)] = v;
            r.ok = true;
            return r;
        });
        for (const DriveResult &r : results)
            if (!r.ok) {
                c.message(QStringLiteral("orvex-cli: %1: %2").arg(r.name, r.error));
                return ExitUsage;
            }
        for (int i = 0, d = 0; i < 2; ++i)
            if (sides[i].startsWith(u"drive:")) values[i] = read[d++];
    }
    const QList<CompareRow> rows = kind.compare(values[0], values[1]);
    const int differ = DifferingRows(rows);
    if (c.json) {
        QJsonArray list;
        for (const CompareRow &row : rows)
            if (row.differs)
                list.append(QJsonObject{{QStringLiteral("number"), row.number}, {QStringLiteral("name"), row.name},
                                        {QStringLiteral("left"), row.left.trimmed()}, {QStringLiteral("right"), row.right.trimmed()}});
        c.out() << QJsonDocument(QJsonObject{{QStringLiteral("equal"), differ == 0}, {QStringLiteral("differences"), list}}).toJson()
                << Qt::flush;
    } else {
        for (const CompareRow &row : rows)
            if (row.differs) c.out() << row.number << ' ' << row.name << ": " << row.left.trimmed() << " -> " << row.right.trimmed() << Qt::endl;
        if (!c.quiet) c.out() << CompareSummary(rows, kind.what == u"parameters" ? kind.what : QStringLiteral("point table values")) << Qt::endl;
    }
    return differ == 0 ? ExitOk : ExitFailed;
}

template <typename V>
int cmdTable(Context &c, const TableKind<V> &kind, const QStringList &args)
{
    const QString sub = args.value(0);
    if (sub == u"diff") {
        if (args.size() != 3) return usage(c, QStringLiteral("diff wants two sides: files or drive:DEV"));
        return cmdTableDiff(c, kind, args.mid(1));
    }
    if (const QString e = needDrives(c); !e.isEmpty()) return usage(c, e);
    if (sub == u"read") {
        if (args.size() != 1) return usage(c, QStringLiteral("read takes no file but -o FILE"));
        return cmdTableRead(c, kind);
    }
    if (sub == u"write") {
        if (args.size() != 2) return usage(c, QStringLiteral("write wants one file"));
        return cmdTableWrite(c, kind, args[1]);
    }
    return usage(c, QStringLiteral("unknown action \"%1\": read, write or diff").arg(sub));
}

// ---- capture -----------------------------------------------------------------------

// The position of text in a list, case and dots and blanks ignored.
int listIndex(const QStringList &list, const QString &text)
{
    const auto plain = [](QString s) { return s.remove(u'.').remove(u' ').remove(u'-').toLower(); };
    for (qsizetype i = 0; i < list.size(); ++i)
        if (plain(list[i]) == plain(text)) return static_cast<int>(i);
    return -1;
}

int cmdCapture(Context &c)
{
    const QString pattern = c.parser.value(QStringLiteral("output"));
    if (const QString e = checkOutputName(c, pattern); !e.isEmpty()) return usage(c, e);
    if (KindOfFile(pattern, QStringLiteral("wvt")) == FileKind::Unknown)
        return usage(c, QStringLiteral("%1: the file must be .wvt, .csv or .json").arg(pattern));
    CaptureSetup setup;
    setup.trig = listIndex(WaveTriggerSources(), c.parser.value(QStringLiteral("trigger")));
    setup.status = listIndex(WaveStatusSignals(), c.parser.value(QStringLiteral("status")));
    setup.edge = listIndex(WaveTriggerEdges(), c.parser.value(QStringLiteral("edge")));
    const int timeBase = WaveTimeBases().indexOf(c.parser.value(QStringLiteral("time-base")));
    bool ok = false;
    const int position = c.parser.value(QStringLiteral("position")).toInt(&ok);
    bool timeoutOk = false;
    const double timeout = c.parser.value(QStringLiteral("timeout")).toDouble(&timeoutOk);
    if (setup.trig < 0) return usage(c, QStringLiteral("--trigger wants speed, torque, status or manual"));
    if (setup.status < 0) return usage(c, QStringLiteral("--status wants one of: ") + WaveStatusSignals().join(QStringLiteral(", ")));
    if (setup.edge < 0) return usage(c, QStringLiteral("--edge wants forward-up, forward-down, reverse-up or reverse-down"));
    if (timeBase < 0) return usage(c, QStringLiteral("--time-base wants 0.05, 0.1, 0.2 or 0.5"));
    if (!ok || position < 0 || position > 30) return usage(c, QStringLiteral("--position wants 0 to 30"));
    if (!timeoutOk || !(timeout > 0) || timeout > 86400) return usage(c, QStringLiteral("--timeout wants seconds above 0"));
    const auto results = onEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = startResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return failed(r, s.error());
        const QString path = SubstituteName(pattern, device);
        const FileKind fileKind = KindOfFile(path, QStringLiteral("wvt"));
        // The torque's 100 % follows the motor type, parameter 57.
        int units = 0;
        if (fileKind == FileKind::Csv) {
            ReadParametersJob params(s.link());
            params.countsAsRead = false;
            if (!s.run(params)) return failed(r, QStringLiteral("reading the motor type: ") + s.error());
            units = WaveGeometry::MotorTypeUnits(params.result().values[57]);
        }
        CaptureJob job(s.link(), setup, timeBase, position);
        if (!s.run(job, c.progress(r.name, QStringLiteral("capture")), static_cast<int>(timeout * 1000),
                   QStringLiteral("no trigger within %1 s").arg(timeout)))
            return failed(r, s.error());
        QString error;
        if (!WriteOutputFile(path, EncodeCapture(fileKind, job.result(), r.name, units), &error)) return failed(r, error);
        r.ok = true;
        r.summary = QStringLiteral("captured into %1").arg(path);
        r.json = QJsonObject{{QStringLiteral("file"), path}};
        return r;
    });
    return report(c, results);
}

// ---- monitor -----------------------------------------------------------------------

// Items as the operation panel's list numbers them ("0A" or "A" is 10, "10"
// is 16), or by name ("Current Speed").
std::optional<QList<int>> parseItems(const QString &text)
{
    QList<int> items;
    for (const QString &word : text.split(u',', Qt::SkipEmptyParts)) {
        const QString w = word.trimmed();
        bool ok = false;
        int item = w.toInt(&ok, 16);
        if (!ok) {
            item = -1;
            for (int k = 0; k < MonitorItemCount; ++k)
                if (!monitorItemName(k).isEmpty() && monitorItemName(k).compare(w, Qt::CaseInsensitive) == 0) item = k;
        }
        if (item < 0 || item >= MonitorItemCount) return std::nullopt;
        items << item;
    }
    if (items.isEmpty()) return std::nullopt;
    return items;
}

class LineSink : public MonitorSink {
public:
    LineSink(Context &c) : m_c(c) {}
    void take(const MonitorSample &s) override
    {
        if (m_c.json) {
            QJsonObject o{{QStringLiteral("name"), s.drive}, {QStringLiteral("port"), s.device},
                          {QStringLiteral("time"), s.time.toString(Qt::ISODateWithMs)}, {QStringLiteral("ok"), s.ok}};
            if (!s.ok) o.insert(QStringLiteral("error"), s.error);
            if (s.statusWord) o.insert(QStringLiteral("statusWord"), hex(*s.statusWord));
            if (s.alarms) o.insert(QStringLiteral("alarms"), QJsonArray::fromStringList(s.alarmNames));
            QJsonObject items;
            for (const MonitorItemValue &v : s.items)
                if (v.value) items.insert(MonitorItems()[v.item].section(u':', 0, 0), *v.value);
            o.insert(QStringLiteral("items"), items);
            m_c.out() << QJsonDocument(o).toJson(QJsonDocument::Compact) << Qt::endl;
            return;
        }
        if (!s.ok) {
            m_c.out() << s.drive << ' ' << s.time.toString(QStringLiteral("hh:mm:ss.zzz")) << " failed: " << s.error << Qt::endl;
            return;
        }
        if (m_c.quiet) return;
        QStringList parts{s.drive, s.time.toString(QStringLiteral("hh:mm:ss.zzz")),
                          QStringLiteral("status %1").arg(hex(s.statusWord.value_or(0))),
                          QStringLiteral("alarms: %1").arg(joinedOrNone(s.alarmNames))};
        for (const MonitorItemValue &v : s.items) parts << QStringLiteral("%1=%2").arg(MonitorItems()[v.item], v.text);
        m_c.out() << parts.join(u' ') << Qt::endl;
    }

private:
    Context &m_c;
};

// A CSV file a drive (the name holds {name}) or one for all, a row a sample.
class CsvSink : public MonitorSink {
public:
    CsvSink(QString pattern, QList<int> items) : m_pattern(std::move(pattern)), m_items(std::move(items)) {}
    QString error;
    void take(const MonitorSample &s) override
    {
        const QString path = SubstituteName(m_pattern, s.device);
        auto &file = m_files[path];
        if (!file) {
            file = std::make_unique<QFile>(path);
            if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                error = QStringLiteral("%1: %2").arg(path, file->errorString());
                return;
            }
            QStringList header{QStringLiteral("Time"), QStringLiteral("Drive"), QStringLiteral("Status Word"),
                               QStringLiteral("Alarms")};
            for (int item : m_items) header << MonitorItems()[item];
            header << QStringLiteral("Error");
            file->write(CsvText({header}));
        }
        if (!file->isOpen()) return;
        QStringList row{s.time.toString(Qt::ISODateWithMs), s.drive,
                        s.statusWord ? hex(*s.statusWord) : QString(), s.alarms ? s.alarmNames.join(QStringLiteral(", ")) : QString()};
        for (const MonitorItemValue &v : s.items) row << v.text;
        row << s.error;
        file->write(CsvText({row}));
        file->flush();
    }

private:
    QString m_pattern;
    QList<int> m_items;
    std::map<QString, std::unique_ptr<QFile>> m_files;
};

int cmdMonitor(Context &c)
{
    const std::optional<QList<int>> items = parseItems(c.parser.value(QStringLiteral("items")));
    if (!items) return usage(c, QStringLiteral("--items wants monitor items 00 to 10 as the panel numbers them, or their names, separated by commas"));
    bool ok = false;
    const int interval = c.parser.value(QStringLiteral("interval")).toInt(&ok);
    if (!ok || interval < 50 || interval > 3600000) return usage(c, QStringLiteral("--interval wants milliseconds from 50"));
    const double duration = c.parser.value(QStringLiteral("duration")).toDouble(&ok);
    if (!ok || duration < 0) return usage(c, QStringLiteral("--duration wants seconds (0: until Ctrl+C)"));

    std::vector<std::unique_ptr<MonitorSink>> sinks;
    sinks.push_back(std::make_unique<LineSink>(c));
    CsvSink *csv = nullptr;
    if (c.parser.isSet(QStringLiteral("csv"))) {
        auto sink = std::make_unique<CsvSink>(c.parser.value(QStringLiteral("csv")), *items);
        csv = sink.get();
        sinks.push_back(std::move(sink));
    }
    if (c.parser.isSet(QStringLiteral("mqtt"))) {
        if (!c.env.publisher) return usage(c, QStringLiteral("MQTT publishing is not built in"));
        PublishOptions p{c.parser.value(QStringLiteral("mqtt")), c.parser.value(QStringLiteral("topic")),
                         c.parser.value(QStringLiteral("client-id")), c.parser.value(QStringLiteral("username")),
                         c.parser.value(QStringLiteral("password-file")), c.parser.value(QStringLiteral("tls-ca"))};
        QString error;
        std::unique_ptr<MonitorSink> publisher = c.env.publisher(p, &error);
        if (!publisher) return usage(c, error);
        sinks.push_back(std::move(publisher));
    }

    // The samples reach the sinks on this thread.
    QObject receiver;
    const auto deliver = [&](const MonitorSample &sample) {
        QMetaObject::invokeMethod(&receiver, [&sinks, sample] {
            for (auto &sink : sinks) sink->take(sample);
        }, Qt::QueuedConnection);
    };
    const auto results = onEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = startResult(device);
        DriveSession s(device, c.session);
        // A device server that is down now may be back later: its drive is
        // polled on and fails until then, the others going on meanwhile.
        if (!s.open() && !IsNetPortName(device)) return failed(r, s.error());
        QElapsedTimer running;
        running.start();
        int samples = 0, failures = 0;
        QString lastError;
        while ((duration <= 0 || running.elapsed() < duration * 1000) && !(c.env.interrupted && c.env.interrupted())) {
            QElapsedTimer poll;
            poll.start();
            ReadStatusJob job(s.link(), ReadStatusJob::Parts{true, true, false, *items});
            MonitorSample sample;
            sample.drive = r.name;
            sample.device = device;
            sample.ok = s.run(job);
            sample.time = QDateTime::currentDateTime();
            const StatusSnapshot &snap = job.result();
            if (!sample.ok) {
                sample.error = s.error();
                lastError = s.error();
                ++failures;
            }
            sample.statusWord = snap.statusWord;
            if (snap.statusWord) sample.statusOn = statusNames(*snap.statusWord);
            sample.alarms = snap.alarms;
            if (snap.alarms) sample.alarmNames = alarmNames(*snap.alarms);
            for (int item : *items) {
                MonitorItemValue v{item, monitorItemName(item), snap.monitor[item], QString()};
                if (v.value) v.text = MonitorValueText(item, *v.value);
                sample.items << v;
            }
            ++samples;
            deliver(sample);
            s.pause(interval - static_cast<int>(poll.elapsed()));
        }
        if (failures > 0) return failed(r, QStringLiteral("%1 of %2 polls failed, the last: %3").arg(failures).arg(samples).arg(lastError));
        r.ok = true;
        r.summary = QStringLiteral("%1 samples").arg(samples);
        r.json = QJsonObject{{QStringLiteral("samples"), samples}};
        return r;
    });
    QCoreApplication::sendPostedEvents(&receiver);
    for (auto &sink : sinks) sink->finish();
    if (csv && !csv->error.isEmpty()) c.message(QStringLiteral("orvex-cli: ") + csv->error);
    const int status = report(c, results);
    return csv && !csv->error.isEmpty() ? ExitFailed : status;
}

// ---- the command line ------------------------------------------------------------

QString overview()
{
    return QStringLiteral(
        "Usage: orvex-cli COMMAND [options]\n"
        "Sets up and watches Tavix-DRIVE servo drives on serial ports, one or many at once.\n\n"
        "Commands:\n"
        "  ports                          the serial ports and what they are\n"
        "  status   --port DEV            model, ROM version, status, alarms, I/O signals\n"
        "  params   read -o FILE | write FILE | diff A B   the parameters (.pxt, .csv, .json)\n"
        "  points   read -o FILE | write FILE | diff A B   the point table (.ptt, .csv, .json)\n"
        "  capture  --port DEV -o FILE    a waveform capture (.wvt, .csv, .json)\n"
        "  alarms   --port DEV [--reset] [--clear-history]\n"
        "  monitor  --port DEV --items LIST [--interval MS] [--duration S] [--csv FILE]\n\n"
        "Every drive command takes --port more than once, or --ports-from FILE, and runs on all\n"
        "the drives at once. A drive on a serial device server is named socket://HOST:PORT or\n"
        "rfc2217://HOST:PORT. File names may hold {name}, the device's file name (ttyUSB0), HOST_PORT\n"
        "for a network port.\n"
        "\"orvex-cli COMMAND --help\" tells a command's options.\n"
        "Exit status: 0 all drives succeeded, 1 a drive failed (diff: the sides differ), 2 bad input.\n");
}

}  // namespace

QString SubstituteName(const QString &pattern, const QString &device)
{
    QString out = pattern;
    return out.replace(QStringLiteral("{name}"), deviceName(device));
}

int RunCli(const QStringList &arguments, CliEnvironment &env)
{
    Context c{env, {}, {}, {}, false, false, {}};
    const QStringList args = arguments.mid(1);
    const QString command = args.value(0);
    if (command.isEmpty() || command == u"--help" || command == u"-h" || command == u"help") {
        *env.out << overview() << Qt::flush;
        return command.isEmpty() ? ExitUsage : ExitOk;
    }
    if (command == u"--version" || command == u"-v") {
        *env.out << "orvex-cli " << ORVEX_VERSION << Qt::endl;
        return ExitOk;
    }
    static const QStringList commands{QStringLiteral("ports"), QStringLiteral("status"), QStringLiteral("params"),
                                      QStringLiteral("points"), QStringLiteral("capture"), QStringLiteral("alarms"),
                                      QStringLiteral("monitor")};
    if (!commands.contains(command)) return usage(c, QStringLiteral("unknown command \"%1\"").arg(command));

    QCommandLineParser &p = c.parser;
    p.setApplicationDescription(QStringLiteral("orvex-cli %1").arg(command));
    const bool drives = command != u"ports";
    addCommonOptions(p, drives);
    if (command == u"params" || command == u"points") {
        p.addPositionalArgument(QStringLiteral("action"), QStringLiteral("read, write FILE, or diff A B (a side is a file or drive:DEV)."));
        p.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The file read into (may hold {name})."), QStringLiteral("FILE")});
        p.addOption({QStringLiteral("no-backup"), QStringLiteral("Write without keeping the drive's values first.")});
        p.addOption({QStringLiteral("no-verify"), QStringLiteral("Do not read back and compare what was written.")});
        if (command == u"params") p.addOption({QStringLiteral("maker"), QStringLiteral("All sixty parameters, the maker's 40-59 too.")});
    } else if (command == u"capture") {
        p.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The capture file (.wvt, .csv or .json; may hold {name})."), QStringLiteral("FILE")});
        p.addOption({QStringLiteral("trigger"), QStringLiteral("speed (default), torque, status or manual."), QStringLiteral("SOURCE"), QStringLiteral("speed")});
        p.addOption({QStringLiteral("status"), QStringLiteral("The status signal: Brake (default), Trq.Lmt., Spd.Lmt., Exes.Devi. or InPos."), QStringLiteral("NAME"), QStringLiteral("Brake")});
        p.addOption({QStringLiteral("edge"), QStringLiteral("forward-up (default), forward-down, reverse-up or reverse-down."), QStringLiteral("EDGE"), QStringLiteral("forward-up")});
        p.addOption({QStringLiteral("time-base"), QStringLiteral("Seconds a division: 0.05 (default), 0.1, 0.2 or 0.5."), QStringLiteral("S"), QStringLiteral("0.05")});
        p.addOption({QStringLiteral("position"), QStringLiteral("The trigger's position, 0 to 30 (default 15)."), QStringLiteral("N"), QStringLiteral("15")});
        p.addOption({QStringLiteral("timeout"), QStringLiteral("Give up when the drive has not triggered after this many seconds (default 60)."), QStringLiteral("S"), QStringLiteral("60")});
    } else if (command == u"alarms") {
        p.addOption({QStringLiteral("reset"), QStringLiteral("Reset the alarms first (Alarm Reset).")});
        p.addOption({QStringLiteral("clear-history"), QStringLiteral("Clear the alarm history first (Record Clear).")});
    } else if (command == u"monitor") {
        p.addOption({QStringLiteral("items"), QStringLiteral("Monitor items as the panel numbers them (00-10, hexadecimal) or by name, separated by commas."), QStringLiteral("LIST")});
        p.addOption({QStringLiteral("interval"), QStringLiteral("Milliseconds from one poll to the next (default 1000)."), QStringLiteral("MS"), QStringLiteral("1000")});
        p.addOption({QStringLiteral("duration"), QStringLiteral("Seconds to watch; 0 (default) until Ctrl+C."), QStringLiteral("S"), QStringLiteral("0")});
        p.addOption({QStringLiteral("csv"), QStringLiteral("Record the samples in this CSV file (may hold {name})."), QStringLiteral("FILE")});
        p.addOption({QStringLiteral("mqtt"), QStringLiteral("Publish the samples to this MQTT broker."), QStringLiteral("HOST[:PORT]")});
        p.addOption({QStringLiteral("topic"), QStringLiteral("Prefix of the topics published."), QStringLiteral("PREFIX")});
        p.addOption({QStringLiteral("client-id"), QStringLiteral("MQTT client id."), QStringLiteral("ID")});
        p.addOption({QStringLiteral("username"), QStringLiteral("MQTT user name."), QStringLiteral("U")});
        p.addOption({QStringLiteral("password-file"), QStringLiteral("File holding the MQTT password."), QStringLiteral("F")});
        p.addOption({QStringLiteral("tls-ca"), QStringLiteral("CA certificate for TLS to the broker."), QStringLiteral("FILE")});
    }
    QStringList words{arguments.value(0, QStringLiteral("orvex-cli")) + u' ' + command};
    words << args.mid(1);
    if (!p.parse(words)) return usage(c, p.errorText());
    if (p.isSet(QStringLiteral("help"))) {
        *env.out << p.helpText() << Qt::flush;
        return ExitOk;
    }
    if (const QString e = takeCommonOptions(c, drives); !e.isEmpty()) return usage(c, e);
    const QStringList positional = p.positionalArguments();
    if (command != u"params" && command != u"points" && !positional.isEmpty())
        return usage(c, QStringLiteral("%1 takes no argument \"%2\"").arg(command, positional.first()));

    if (command == u"ports") return cmdPorts(c);
    if (command == u"params") return cmdTable(c, parameterKind(p.isSet(QStringLiteral("maker"))), positional);
    if (command == u"points") return cmdTable(c, pointKind(), positional);
    if (const QString e = needDrives(c); !e.isEmpty()) return usage(c, e);
    if (command == u"status") return cmdStatus(c);
    if (command == u"alarms") return cmdAlarms(c);
    if (command == u"capture") return cmdCapture(c);
    return cmdMonitor(c);
}
