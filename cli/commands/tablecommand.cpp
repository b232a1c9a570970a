#include "tablecommand.h"

void AddTableOptions(QCommandLineParser &p)
{
    p.addPositionalArgument(QStringLiteral("action"), QStringLiteral("read, write FILE, or diff A B (a side is a file or drive:DEV)."));
    p.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The file read into (may hold {name})."), QStringLiteral("FILE")});
    p.addOption({QStringLiteral("no-backup"), QStringLiteral("Write without keeping the drive's values first.")});
    p.addOption({QStringLiteral("no-verify"), QStringLiteral("Do not read back and compare what was written.")});
}

QStringList DifferingEntries(const QList<CompareRow> &rows)
{
    QStringList out;
    for (const CompareRow &row : rows)
        if (row.differs) out << row.number + (row.name.isEmpty() ? QString() : u' ' + row.name);
    return out;
}
