#include "statustexts.h"

#include "clioutput.h"

#include "drive/alarmlog.h"
#include "drive/monitor/monitorrules.h"

#include <QJsonArray>

QStringList StatusNames(quint32 word)
{
    QStringList on;
    for (const StatusRow &row : StatusRows())
        if ((word >> row.bit & 1u) != 0) on << row.name;
    return on;
}

QStringList HistoryNames(const std::array<qint32, 8> &history)
{
    QStringList out;
    for (qint32 f : history) {
        const int k = AlarmHistoryIndex(f);
        out << (k == HistoryEmpty ? QStringLiteral("-") : k == HistoryKeep ? HexWord(static_cast<quint32>(f)) : AlarmCaptions()[k]);
    }
    return out;
}

QString MonitorItemName(int item) { return MonitorItems()[item].section(u':', 1); }

QJsonObject StatusJson(const StatusSnapshot &s)
{
    QJsonObject o;
    if (s.statusWord) {
        o.insert(QStringLiteral("statusWord"), HexWord(*s.statusWord));
        o.insert(QStringLiteral("status"), QJsonArray::fromStringList(StatusNames(*s.statusWord)));
    }
    if (s.motorType) {
        o.insert(QStringLiteral("motorType"), *s.motorType);
        o.insert(QStringLiteral("model"), MotorModelText(*s.motorType));
    }
    if (s.romVersion) o.insert(QStringLiteral("romVersion"), RomVersionText(*s.romVersion));
    if (s.point) o.insert(QStringLiteral("point"), *s.point);
    if (s.alarms) {
        o.insert(QStringLiteral("alarmBits"), HexWord(*s.alarms));
        o.insert(QStringLiteral("alarms"), QJsonArray::fromStringList(AlarmNames(*s.alarms)));
    }
    if (s.alarmHistory) o.insert(QStringLiteral("alarmHistory"), QJsonArray::fromStringList(HistoryNames(*s.alarmHistory)));
    if (s.ioWord) {
        QJsonObject inputs, outputs;
        for (const IoSignal &sig : InputSignals()) inputs.insert(sig.name, (*s.ioWord >> sig.bit & 1u) != 0 ? u"OPEN"_qs : u"CLOSE"_qs);
        for (const IoSignal &sig : OutputSignals()) outputs.insert(sig.name, (*s.ioWord >> sig.bit & 1u) != 0 ? u"OPEN"_qs : u"CLOSE"_qs);
        o.insert(QStringLiteral("ioWord"), HexWord(*s.ioWord));
        o.insert(QStringLiteral("inputs"), inputs);
        o.insert(QStringLiteral("outputs"), outputs);
    }
    return o;
}

QString AlarmsLine(const StatusSnapshot &s)
{
    QString line = QStringLiteral("alarms: ") + JoinedOrNone(AlarmNames(s.alarms.value_or(0)));
    if (s.alarmHistory) line += QStringLiteral("; history: ") + HistoryNames(*s.alarmHistory).join(QStringLiteral(", "));
    return line;
}

QString StatusLine(const StatusSnapshot &s)
{
    const QString model = MotorModelText(s.motorType.value_or(-1));
    QStringList parts;
    parts << QStringLiteral("model %1").arg(model.isEmpty() ? QStringLiteral("type %1").arg(s.motorType.value_or(0)) : model)
          << QStringLiteral("ROM %1").arg(RomVersionText(s.romVersion.value_or(0)))
          << QStringLiteral("status %1: %2").arg(HexWord(s.statusWord.value_or(0)), JoinedOrNone(StatusNames(s.statusWord.value_or(0))))
          << AlarmsLine(s);
    if (s.ioWord) {
        QStringList open;
        for (const IoSignal &sig : InputSignals())
            if ((*s.ioWord >> sig.bit & 1u) != 0) open << sig.name;
        for (const IoSignal &sig : OutputSignals())
            if ((*s.ioWord >> sig.bit & 1u) != 0) open << sig.name;
        parts << QStringLiteral("I/O OPEN: %1").arg(JoinedOrNone(open));
    }
    return parts.join(QStringLiteral("; "));
}
