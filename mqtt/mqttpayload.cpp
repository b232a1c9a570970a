#include "mqttpayload.h"

#include <QJsonArray>

#include <cmath>

namespace {

void addTime(QJsonObject &o, const QDateTime &time)
{
    if (time.isValid())
        o.insert(QStringLiteral("time"), mqttTime(time));
}

QJsonArray alarmList(const QList<MqttAlarm> &alarms)
{
    QJsonArray list;
    for (const MqttAlarm &a : alarms) {
        QJsonObject o{{QStringLiteral("code"), a.code}, {QStringLiteral("name"), a.name}};
        addTime(o, a.time);
        list.append(o);
    }
    return list;
}

} // namespace

QString mqttTime(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QJsonObject mqttStatusJson(const MqttStatus &status)
{
    QJsonObject bits;
    for (const MqttStatusBit &b : status.bits) {
        if (b.bit < 0 || b.bit > 31 || b.name.isEmpty())
            continue;
        bits.insert(b.name, bool(status.word & (quint32(1) << b.bit)));
    }
    QJsonObject o{
        {QStringLiteral("word"), qint64(status.word)},
        {QStringLiteral("hex"), QStringLiteral("0x%1").arg(status.word, 8, 16, QLatin1Char('0'))},
        {QStringLiteral("bits"), bits},
    };
    addTime(o, status.time);
    return o;
}

QJsonObject mqttAlarmsJson(const MqttAlarms &alarms)
{
    QJsonObject o{
        {QStringLiteral("count"), alarms.present.size()},
        {QStringLiteral("present"), alarmList(alarms.present)},
        {QStringLiteral("history"), alarmList(alarms.history)},
    };
    addTime(o, alarms.time);
    return o;
}

QJsonObject mqttMonitorJson(const MqttMonitor &monitor)
{
    // Keyed by name, so a dashboard can pick "items.<name>.value"; a name
    // given twice keeps its last value.
    QJsonObject items;
    for (const MqttMonitorItem &item : monitor.items) {
        if (item.name.isEmpty())
            continue;
        const QJsonValue value = std::isfinite(item.value) ? QJsonValue(item.value) : QJsonValue();
        items.insert(item.name, QJsonObject{{QStringLiteral("value"), value},
                                            {QStringLiteral("unit"), item.unit}});
    }
    QJsonObject o{{QStringLiteral("items"), items}};
    addTime(o, monitor.time);
    return o;
}
