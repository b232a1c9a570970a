#include "writeprogress.h"

QString WriteSpan(const QString &unit, int count)
{
    if (count == 1) return unit + QStringLiteral(" 0");
    return QStringLiteral("%1s 0-%2").arg(unit).arg(count - 1);
}

QString HalfWrittenText(const WriteProgress &p, const QString &unit, const QString &backup)
{
    if (!p.halfWritten()) return {};
    QString text;
    if (p.acknowledged == 0) {
        text = QStringLiteral("The drive may run %1 0 of the new values (its answer did not come)").arg(unit);
    } else {
        text = QStringLiteral("The drive runs ") + WriteSpan(unit, p.acknowledged) + QStringLiteral(" of the new values");
        if (p.unanswered)
            text += QStringLiteral(" and perhaps %1 %2 (its answer did not come)").arg(unit).arg(p.acknowledged);
    }
    switch (p.flash) {
    case WriteProgress::Flash::NotSent:
        text += QStringLiteral(", not saved in its memory (no FLASH).");
        break;
    case WriteProgress::Flash::Refused:
        text += QStringLiteral(", not saved in its memory (FLASH was refused).");
        break;
    case WriteProgress::Flash::Unanswered:
        text += QStringLiteral(", perhaps not saved in its memory (FLASH was not answered).");
        break;
    case WriteProgress::Flash::Acknowledged:
        break;
    }
    text += backup.isEmpty() ? QStringLiteral(" No backup of the values before was kept.")
                             : QStringLiteral(" The values before are in %1.").arg(backup);
    return text;
}
