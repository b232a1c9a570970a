#include "statusjob.h"

#include "drive/monitor/monitorrules.h"

ReadStatusJob::ReadStatusJob(DriveLink &link, const Parts &parts, QObject *parent) : DriveJob(link, QString(), parent)
{
    if (parts.status) m_requests << QStringLiteral("S");
    if (parts.alarms) m_requests << QStringLiteral("ALM");
    if (parts.io) m_requests << QStringLiteral("IO");
    for (int item : parts.monitorItems)
        if (item >= 0 && item < MonitorItemCount) m_requests << MonitorCommand(item);
}

void ReadStatusJob::begin()
{
    m_result = StatusSnapshot{};
    m_next = 0;
    setSteps(static_cast<int>(m_requests.size()));
    sendNext();
}

void ReadStatusJob::sendNext()
{
    if (m_next >= m_requests.size()) {
        finish(Ending::Done);
        return;
    }
    const QString &text = m_requests[m_next++];
    send(text, text.section(QLatin1Char(';'), 0, 0));
}

void ReadStatusJob::take(const Reply &reply)
{
    const auto &f = reply.field;
    const QByteArrayView asked = reply.request.keyword();
    if (asked == "S") {
        m_result.statusWord = static_cast<quint32>(f[0]);
        m_result.point = f[1];
        m_result.motorType = f[2];
        m_result.romVersion = f[3];
        m_result.commandState = f[4];
    } else if (asked == "ALM") {
        m_result.alarms = static_cast<quint32>(f[0]);
        std::array<qint32, 8> history{};
        for (size_t j = 0; j < history.size(); ++j) history[j] = f[1 + j];
        m_result.alarmHistory = history;
    } else if (asked == "IO") {
        m_result.ioWord = static_cast<quint32>(f[0]);
    } else if (asked == "MON" && f[0] >= 0 && f[0] < MonitorItemCount) {
        m_result.monitor[static_cast<size_t>(f[0])] = f[1];
    }
    if (!advance()) return;
    sendNext();
}
