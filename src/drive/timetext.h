#pragma once
// A time as every file and export of the program writes it: ISO 8601 with
// milliseconds and the offset from UTC, "2026-12-06T14:03:22.125+01:00".

#include <QDateTime>
#include <QString>

QString IsoTimeText(const QDateTime &time);
// The same for ms since the epoch, in local time.
QString IsoTimeText(qint64 msSinceEpoch);
