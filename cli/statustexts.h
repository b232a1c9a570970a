#pragma once
// What the drive's status replies say, in words and as JSON: the status
// monitor's names of the status bits, the alarms by name, the alarm history,
// the I/O signals, the motor model and ROM version.

#include "drive/alarmlog.h"  // AlarmNames: the alarms present by name
#include "drive/statusjob.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>

// The names of the status bits that are set.
QStringList StatusNames(quint32 word);
// Each history entry by name, "-" when empty, its hexadecimal when unknown.
QStringList HistoryNames(const std::array<qint32, 8> &history);
// "Current Speed" for item 4.
QString MonitorItemName(int item);

// What was read, as JSON (the parts read only).
QJsonObject StatusJson(const StatusSnapshot &s);
// "alarms: ...; history: ..."
QString AlarmsLine(const StatusSnapshot &s);
// "model ...; ROM ...; status ...: ...; alarms: ...[; I/O OPEN: ...]"
QString StatusLine(const StatusSnapshot &s);
