#include "tablewrite.h"

void AddTableOptions(QCommandLineParser &p)
{
    p.addPositionalArgument(QStringLiteral("action"), QStringLiteral("read, write FILE, or diff A B (a side is a file or drive:DEV)."));
    p.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The file read into (may hold {name})."), QStringLiteral("FILE")});
    p.addOption({QStringLiteral("no-backup"), QStringLiteral("Write without keeping the drive's values first.")});
    p.addOption({QStringLiteral("no-verify"), QStringLiteral("Do not read back and compare what was written.")});
    p.addOption({QStringLiteral("as-is"),
                 QStringLiteral("Take the values of a .pxt or .ptt file as they are, without the entry checks (to write "
                                "back a backup of values the drive held outside their ranges).")});
}

namespace {

QString entryName(const CompareRow &row) { return row.number + (row.name.isEmpty() ? QString() : u' ' + row.name); }

}  // namespace

QString ReadsDisagree(const QList<QList<CompareRow>> &rowsPerRead)
{
    // Each read compared with the first: the first's values on the left.
    constexpr int Shown = 3;
    QStringList entries;
    int differing = 0;
    const QList<CompareRow> &any = rowsPerRead.value(0);
    for (qsizetype i = 0; i < any.size(); ++i) {
        bool differs = false;
        QStringList values{any[i].left.trimmed()};
        for (const QList<CompareRow> &rows : rowsPerRead) {
            if (i >= rows.size()) continue;
            if (&rows != &rowsPerRead.front()) values << rows[i].right.trimmed();
            differs = differs || rows[i].differs;
        }
        if (!differs) continue;
        if (++differing <= Shown) entries << QStringLiteral("%1: %2").arg(entryName(any[i]), values.join(QStringLiteral(", ")));
    }
    if (differing > Shown) entries << QStringLiteral("%1 more").arg(differing - Shown);
    return entries.join(QStringLiteral("; "));
}

QString VerifyMismatch(const QList<CompareRow> &first, const QList<CompareRow> &second)
{
    QStringList entries;
    for (qsizetype i = 0; i < second.size(); ++i) {
        const CompareRow &now = second[i];
        if (!now.differs) continue;
        const QString wrote = now.left.trimmed(), read = now.right.trimmed();
        const QString before = i < first.size() ? first[i].right.trimmed() : read;
        entries << (before == read ? QStringLiteral("%1: wrote %2, the drive holds %3").arg(entryName(now), wrote, read)
                                   : QStringLiteral("%1: wrote %2, read back %3, then %4").arg(entryName(now), wrote, before, read));
    }
    return entries.join(QStringLiteral("; "));
}
