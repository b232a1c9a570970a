#pragma once
// "params write" and "points write": every file checked before any drive is
// touched; then for each drive the values it holds, from two reads that
// agree (the backup, and the values a file does not name), the backup, the
// write and its FLASH, and a read-back that reads once more before it calls
// a difference a mismatch. A write that stops half-way says on the drive's
// line what the drive holds and how to write the backup back.

#include "tablecommand.h"

#include <QHash>

// Reads at most this many times for two that agree.
inline constexpr int MaxAgreeingReads = 4;

// The values that differ between reads, for a message: "03 name: 100, 5".
QString ReadsDisagree(const QList<QList<CompareRow>> &rowsPerRead);
// A read-back that differed twice: each entry with what was written and
// what the two reads gave ("01 name: wrote 27, the drive holds 30").
QString VerifyMismatch(const QList<CompareRow> &first, const QList<CompareRow> &second);

// Reads until two reads agree; nothing, and why in error, when one fails
// or no two of MaxAgreeingReads agree.
template <typename V>
std::optional<V> ReadAgreed(DriveSession &s, const TableKind<V> &kind, const std::function<void(int, int)> &progress,
                            QString *error)
{
    std::vector<V> reads;
    while (reads.size() < size_t(MaxAgreeingReads)) {
        V v{};
        if (!kind.read(s, v, progress)) {
            *error = s.error();
            return std::nullopt;
        }
        for (const V &earlier : reads)
            if (earlier == v) return v;
        reads.push_back(v);
    }
    QList<QList<CompareRow>> rows;
    for (const V &v : reads) rows << kind.compareAll(reads.front(), v);
    *error = QStringLiteral("no two of %1 reads of the drive's %2 agree, so its replies are garbled (%3)")
                 .arg(MaxAgreeingReads)
                 .arg(kind.what, ReadsDisagree(rows));
    return std::nullopt;
}

template <typename V>
int RunTableWrite(Context &c, const TableKind<V> &kind, const QString &pattern)
{
    const bool backup = !c.parser.isSet(QStringLiteral("no-backup"));
    const bool verify = !c.parser.isSet(QStringLiteral("no-verify"));
    // Every file is checked before any drive is touched. A file that names
    // every value written needs no values of the drive but for the backup.
    QHash<QString, bool> complete;
    for (const QString &device : c.devices) {
        const QString path = SubstituteName(pattern, device);
        QString error;
        const std::optional<V> zeros = kind.decode(path, nullptr, &error);
        if (!zeros) return c.output.usage(error);
        V ones{};
        ones.fill(1);
        const std::optional<V> overOnes = kind.decode(path, &ones, &error);
        complete.insert(path, overOnes && DifferingRows(kind.compare(*zeros, *overOnes)) == 0);
    }
    QStringList restoreOptions = kind.writeOptions;
    if (c.session.parity != QSerialPort::EvenParity)
        restoreOptions << QStringLiteral("--parity")
                       << (c.session.parity == QSerialPort::NoParity ? QStringLiteral("none") : QStringLiteral("odd"));
    const auto results = OnEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = StartResult(device);
        const QString path = SubstituteName(pattern, device);
        DriveSession s(device, c.session);
        if (!s.open()) return Failed(r, s.error());
        // What the drive holds: the backup, and the values a file does not
        // name. A garbled read must become neither.
        QString error;
        std::optional<V> before;
        if (backup || !complete.value(path)) {
            before = ReadAgreed(s, kind, c.output.progress(r.name, QStringLiteral("reading")), &error);
            if (!before) return Failed(r, QStringLiteral("reading: %1; nothing was written").arg(error));
        }
        const std::optional<V> wanted = kind.decode(path, before ? &*before : nullptr, &error);
        if (!wanted) return Failed(r, error + QStringLiteral("; nothing was written"));
        QStringList said;
        QString backupPath;
        if (backup) {
            const BackupResult b = WriteBackup(kind.backupKind, kind.native, kind.backupBytes(*before), device);
            if (!b.ok) return Failed(r, b.error + QStringLiteral("; nothing was written"));
            backupPath = b.path;
            said << QStringLiteral("backup %1").arg(b.path);
            r.json.insert(QStringLiteral("backup"), b.path);
        }
        r.json.insert(QStringLiteral("file"), path);
        QStringList options = restoreOptions;
        if (before && kind.inRange && !kind.inRange(*before)) options << QStringLiteral("--as-is");
        const QString restore = backup ? RestoreCommand(kind.command, backupPath, device, options) : QString();
        // A failure after the backup names it, and once the drive may hold
        // new values, says what it holds and how to write the backup back.
        const auto failedAfterBackup = [&](const QString &why, const QString &holds, bool changed) {
            QStringList text{why};
            if (!holds.isEmpty()) {
                text << holds;
                r.json.insert(QStringLiteral("drive"), holds);
            }
            if (backup && !holds.contains(backupPath)) text << QStringLiteral("The values before are in %1.").arg(backupPath);
            if (changed && backup) {
                text << QStringLiteral("To write them back: %1").arg(restore);
                r.json.insert(QStringLiteral("restore"), restore);
            }
            return Failed(r, text.join(u' '));
        };
        WriteReach reach;
        if (!kind.write(s, *wanted, c.output.progress(r.name, QStringLiteral("writing")), reach)) {
            if (reach.untouched())
                return failedAfterBackup(QStringLiteral("writing: %1; nothing was written.").arg(s.error()), {}, false);
            return failedAfterBackup(QStringLiteral("writing: %1.").arg(s.error()), HalfWrittenText(reach, backupPath), true);
        }
        said.prepend(QStringLiteral("%1 written from %2").arg(kind.what, path));
        const QString written = QStringLiteral("The drive runs and keeps the values of %1.").arg(path);
        if (verify) {
            // A difference is read once more before it is one: a garbled
            // read-back is no mismatch, and a real one reads the same twice.
            V after{};
            if (!kind.read(s, after, c.output.progress(r.name, QStringLiteral("verifying"))))
                return failedAfterBackup(QStringLiteral("written, but not verified: %1.").arg(s.error()), written, true);
            const QList<CompareRow> first = kind.compare(*wanted, after);
            if (DifferingRows(first) > 0) {
                if (!kind.read(s, after, c.output.progress(r.name, QStringLiteral("verifying again"))))
                    return failedAfterBackup(QStringLiteral("written, but not verified: %1.").arg(s.error()), written, true);
                const QList<CompareRow> second = kind.compare(*wanted, after);
                if (DifferingRows(second) > 0)
                    return failedAfterBackup(QStringLiteral("verify mismatch: %1 read back differently: %2.")
                                                 .arg(kind.what, VerifyMismatch(first, second)),
                                             {}, true);
            }
            said << QStringLiteral("verified");
        }
        r.ok = true;
        r.summary = said.join(QStringLiteral("; "));
        r.json.insert(QStringLiteral("verified"), verify);
        return r;
    });
    return c.output.report(results);
}
