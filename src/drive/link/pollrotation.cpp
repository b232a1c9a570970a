#include "pollrotation.h"

QString NextPollTag(const QStringList &live, const QString &last)
{
    if (live.isEmpty()) return {};
    const qsizetype at = live.indexOf(last);
    if (at < 0) return live.first();
    // The next one that is not last again (a tag listed twice is one window).
    for (qsizetype i = at + 1; i < live.size(); ++i)
        if (live[i] != last && live.indexOf(live[i]) == i) return live[i];
    return live.first();
}
