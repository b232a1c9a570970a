#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

// The JSON messages the command-line monitor publishes for a drive, built by
// pure functions from plain structs that the caller fills from what it read.
// Nothing here knows the drive; names and units come from the caller.

struct MqttStatusBit {
    QString name;           // e.g. "servo_ready"
    int bit = 0;            // 0..31; others are ignored
};

struct MqttStatus {
    quint32 word = 0;
    QList<MqttStatusBit> bits;
    QDateTime time;         // invalid: no "time" field
};

struct MqttAlarm {
    QString code;           // as the drive shows it, e.g. "A.710"
    QString name;
    QDateTime time;         // invalid: not known
};

struct MqttAlarms {
    QList<MqttAlarm> present;
    QList<MqttAlarm> history;   // newest first, as the drive keeps it
    QDateTime time;
};

struct MqttMonitorItem {
    QString name;
    double value = 0;       // NaN or infinite: published as null
    QString unit;
};

struct MqttMonitor {
    QList<MqttMonitorItem> items;
    QDateTime time;
};

// {"word":19,"hex":"0x00000013","bits":{"servo_ready":true,...},"time":"..."}
QJsonObject mqttStatusJson(const MqttStatus &status);
// {"count":1,"present":[{"code":"A.710","name":"Overload"}],"history":[...],"time":"..."}
QJsonObject mqttAlarmsJson(const MqttAlarms &alarms);
// {"items":{"Motor speed":{"value":1500,"unit":"min-1"},...},"time":"..."}
QJsonObject mqttMonitorJson(const MqttMonitor &monitor);

// UTC with milliseconds, e.g. "2024-05-01T12:00:00.250Z".
QString mqttTime(const QDateTime &time);
