#pragma once
// What "params" and "points" share: read a table from the drives into files,
// write it from files (a backup first, a read-back after), or compare two
// sides, each a file or a drive. TableKind says what differs between the
// parameters and the point table.

#include "clicommand.h"
#include "clifiles.h"
#include "clioptions.h"
#include "writereach.h"

#include "drive/backups.h"
#include "drive/compare.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <array>
#include <vector>
#include <optional>

template <typename V>
struct TableKind {
    QString what;        // "parameters", "point table"
    QString command;     // "params", "points"
    QString native;      // "pxt", "ptt"
    QString backupKind;  // "parameters", "pointtable"
    std::function<bool(DriveSession &, V &, const std::function<void(int, int)> &)> read;
    // Writes the values; reach is told how far it came, whatever the ending.
    std::function<bool(DriveSession &, const V &, const std::function<void(int, int)> &, WriteReach &)> write;
    std::function<QByteArray(FileKind, const V &)> encode;
    // A file read over base (nothing: no values known).
    std::function<std::optional<V>(const QString &, const V *, QString *)> decode;
    // The entries a write covers; and every entry a file or backup holds.
    std::function<QList<CompareRow>(const V &, const V &)> compare;
    std::function<QList<CompareRow>(const V &, const V &)> compareAll;
    std::function<QJsonObject(const V &)> json;
    std::function<QByteArray(const V &)> backupBytes;
    // Asked before a write reads any file or touches any drive: empty when
    // it may go on, otherwise why not (the run ends with status 2).
    std::function<QString()> mayWrite;
    // Options a write of the backup needs to be the same write (--maker).
    QStringList writeOptions;
    // The values pass the entry checks of a file's (a backup needs --as-is
    // to be written back when they do not).
    std::function<bool(const V &)> inRange;
};

// The options of both: -o, --no-backup, --no-verify, and the action's words.
void AddTableOptions(QCommandLineParser &p);

// write FILE (tablewrite.h).
template <typename V>
int RunTableWrite(Context &c, const TableKind<V> &kind, const QString &pattern);

template <typename V>
int RunTableRead(Context &c, const TableKind<V> &kind)
{
    const QString pattern = c.parser.value(QStringLiteral("output"));
    if (const QString e = CheckOutputName(c, pattern); !e.isEmpty()) return c.output.usage(e);
    if (KindOfFile(pattern, kind.native) == FileKind::Unknown)
        return c.output.usage(QStringLiteral("%1: the file must be .%2, .csv or .json").arg(pattern, kind.native));
    const auto results = OnEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = StartResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return Failed(r, s.error());
        V values{};
        if (!kind.read(s, values, c.output.progress(r.name, QStringLiteral("reading")))) return Failed(r, s.error());
        const QString path = SubstituteName(pattern, device);
        QString error;
        if (!WriteOutputFile(path, kind.encode(KindOfFile(path, kind.native), values), &error)) return Failed(r, error);
        r.ok = true;
        r.summary = QStringLiteral("%1 read into %2").arg(kind.what, path);
        r.json = QJsonObject{{QStringLiteral("file"), path}};
        return r;
    });
    return c.output.report(results);
}

// diff: each side a file or "drive:DEV"; 0 the same, 1 different, 2 trouble.
template <typename V>
int RunTableDiff(Context &c, const TableKind<V> &kind, const QStringList &sides)
{
    std::array<V, 2> values{};
    QStringList drives;  // each read once: the same drive on both sides is one port
    for (int i = 0; i < 2; ++i) {
        if (sides[i].startsWith(u"drive:")) {
            if (!drives.contains(sides[i].mid(6))) drives << sides[i].mid(6);
            continue;
        }
        QString error;
        const std::optional<V> v = kind.decode(sides[i], nullptr, &error);
        if (!v) return c.output.usage(error);
        values[i] = *v;
    }
    if (!drives.isEmpty()) {
        for (const QString &d : drives)
            if (d.isEmpty()) return c.output.usage(QStringLiteral("drive: wants a serial device, as in drive:/dev/ttyUSB0"));
        std::vector<V> read(static_cast<size_t>(drives.size()));
        const auto results = OnEveryDrive(drives, [&](const QString &device) {
            DriveResult r = StartResult(device);
            DriveSession s(device, c.session);
            if (!s.open()) return Failed(r, s.error());
            V v{};
            if (!kind.read(s, v, c.output.progress(r.name, QStringLiteral("reading")))) return Failed(r, s.error());
            read[static_cast<size_t>(drives.indexOf(device))] = v;
            r.ok = true;
            return r;
        });
        for (const DriveResult &r : results)
            if (!r.ok) {
                c.output.message(QStringLiteral("orvex-cli: %1: %2").arg(r.name, r.error));
                return ExitUsage;
            }
        for (int i = 0; i < 2; ++i)
            if (sides[i].startsWith(u"drive:")) values[i] = read[static_cast<size_t>(drives.indexOf(sides[i].mid(6)))];
    }
    const QList<CompareRow> rows = kind.compare(values[0], values[1]);
    const int differ = DifferingRows(rows);
    QTextStream &out = c.output.out();
    if (c.output.json) {
        QJsonArray list;
        for (const CompareRow &row : rows)
            if (row.differs)
                list.append(QJsonObject{{QStringLiteral("number"), row.number}, {QStringLiteral("name"), row.name},
                                        {QStringLiteral("left"), row.left.trimmed()}, {QStringLiteral("right"), row.right.trimmed()}});
        out << QJsonDocument(QJsonObject{{QStringLiteral("equal"), differ == 0}, {QStringLiteral("differences"), list}}).toJson()
            << Qt::flush;
    } else {
        for (const CompareRow &row : rows)
            if (row.differs) out << row.number << ' ' << row.name << ": " << row.left.trimmed() << " -> " << row.right.trimmed() << Qt::endl;
        if (!c.output.quiet)
            out << CompareSummary(rows, kind.what == u"parameters" ? kind.what : QStringLiteral("point table values")) << Qt::endl;
    }
    return differ == 0 ? ExitOk : ExitFailed;
}

// The action: read, write FILE or diff A B.
template <typename V>
int RunTable(Context &c, const TableKind<V> &kind, const QStringList &args)
{
    const QString sub = args.value(0);
    if (sub == u"diff") {
        if (args.size() != 3) return c.output.usage(QStringLiteral("diff wants two sides: files or drive:DEV"));
        return RunTableDiff(c, kind, args.mid(1));
    }
    if (const QString e = NeedDrives(c); !e.isEmpty()) return c.output.usage(e);
    if (sub == u"read") {
        if (args.size() != 1) return c.output.usage(QStringLiteral("read takes no file but -o FILE"));
        return RunTableRead(c, kind);
    }
    if (sub == u"write") {
        if (args.size() != 2) return c.output.usage(QStringLiteral("write wants one file"));
        if (kind.mayWrite)
            if (const QString refused = kind.mayWrite(); !refused.isEmpty()) {
                c.output.message(QStringLiteral("orvex-cli: ") + refused);
                return ExitUsage;
            }
        return RunTableWrite(c, kind, args[1]);
    }
    return c.output.usage(QStringLiteral("unknown action \"%1\": read, write or diff").arg(sub));
}
