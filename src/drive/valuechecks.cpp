#include "valuechecks.h"

#include "drive/params/entrychecks.h"
#include "drive/params/paramcatalogue.h"
#include "drive/params/paramtext.h"
#include "drive/points/pointrules.h"
#include "drive/resources/strings.h"

namespace {

// The string table holds the point table's column ranges from this number on.
constexpr int PointRangeId = 700;

const char16_t *const ColumnNames[PointColumns] = {u"Abs/Inc", u"Travel", u"Speed", u"Acc/Dec"};

}  // namespace

QString ParamValueProblem(int k, qint32 value)
{
    const QString range = ParamRange(k);
    if (range.isEmpty()) return {};
    const bool hex = ParamIsHex(k);
    const QString shown = FieldText(value, hex);
    const QString checked = hex ? CheckRangeHex(shown, range) : CheckRangeDec(shown, range);
    if (FieldValue(checked, hex) == value) return {};
    return QStringLiteral("parameter %1 = %2%3 is outside its range %4")
        .arg(k, 2, 10, QLatin1Char('0'))
        .arg(shown.trimmed(), hex ? QStringLiteral(" (hexadecimal, %1)").arg(value) : QString(), range);
}

QString PointValueProblem(int point, int column, qint32 value)
{
    if (PointCellValue(CheckPointEntry(column, PointCellText(column, value))) == value) return {};
    return QStringLiteral("point %1 %2 = %3 is outside its range %4")
        .arg(point)
        .arg(QString::fromUtf16(ColumnNames[column]))
        .arg(value)
        .arg(LoadResString(PointRangeId + column));
}

QStringList ParamSetProblems(const ParamValues &values, int count)
{
    QStringList problems;
    for (int k = 0; k < count && k < ParamCount; ++k)
        if (const QString p = ParamValueProblem(k, values[k]); !p.isEmpty()) problems << p;
    return problems;
}

QStringList PointTableProblems(const PointTable &table)
{
    QStringList problems;
    for (int p = 0; p < PointCount; ++p)
        for (int c = 0; c < PointColumns; ++c)
            if (const QString problem = PointValueProblem(p, c, PointValue(table, p, c)); !problem.isEmpty()) problems << problem;
    return problems;
}
