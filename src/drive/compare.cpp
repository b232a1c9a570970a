#include "compare.h"

#include "drive/params/paramcatalogue.h"
#include "drive/params/paramtext.h"
#include "drive/points/pointrules.h"
#include "drive/resources/strings.h"

#include <algorithm>

QList<CompareRow> CompareParameters(const ParamValues &left, const ParamValues &right, int count)
{
    QList<CompareRow> rows;
    for (int k = 0; k < std::clamp(count, 0, ParamCount); ++k) {
        const bool hex = ParamIsHex(k);
        rows.append({QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')), ParamSpokenName(k).section(u':', 1),
                     FieldText(left[k], hex).trimmed(), FieldText(right[k], hex).trimmed(), ParamRange(k),
                     left[k] != right[k]});
    }
    return rows;
}

QList<CompareRow> ComparePoints(const PointTable &left, const PointTable &right)
{
    static const QString columns[PointColumns] = {QStringLiteral("abs/inc"), QStringLiteral("Travel"),
                                                  QStringLiteral("Speed"), QStringLiteral("Acc/Dec")};
    QList<CompareRow> rows;
    for (int p = 0; p < PointCount; ++p) {
        for (int c = 0; c < PointColumns; ++c) {
            const int i = PointColumns * p + c;
            rows.append({QString::number(p), columns[c], PointCellText(c, left[i]).trimmed(),
                         PointCellText(c, right[i]).trimmed(), LoadResString(700 + c), left[i] != right[i]});
        }
    }
    return rows;
}

int DifferingRows(const QList<CompareRow> &rows)
{
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const CompareRow &r) { return r.differs; }));
}

QString CompareSummary(const QList<CompareRow> &rows, const QString &what)
{
    const int differ = DifferingRows(rows);
    if (differ == 0) return QStringLiteral("The two sides are the same: all %1 %2").arg(rows.size()).arg(what);
    return QStringLiteral("%1 of %2 %3 differ").arg(differ).arg(rows.size()).arg(what);
}
