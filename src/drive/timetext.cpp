#include "timetext.h"

#include <QtGlobal>

QString IsoTimeText(const QDateTime &time)
{
    if (!time.isValid()) return {};
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString IsoTimeText(qint64 msSinceEpoch) { return IsoTimeText(QDateTime::fromMSecsSinceEpoch(msSinceEpoch)); }
