#include "portmap.h"

#include <QCollator>
#include <QSerialPortInfo>
#include <algorithm>

namespace {

QList<PortEntry> systemPorts()
{
    QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    QCollator natural;
    natural.setNumericMode(true);
    std::sort(infos.begin(), infos.end(), [&](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return natural.compare(a.systemLocation(), b.systemLocation()) < 0;
    });
    QList<PortEntry> out;
    for (const QSerialPortInfo &info : infos) {
        PortEntry e;
#ifdef Q_OS_WIN
        bool ok = false;
        e.number = info.portName().mid(3).toInt(&ok);
        if (!info.portName().startsWith(QLatin1String("COM")) || !ok) continue;
#else
        e.number = static_cast<int>(out.size()) + 1;
#endif
        e.device = info.systemLocation();
        QStringList words;
        if (!info.description().isEmpty()) words << info.description();
        if (!info.manufacturer().isEmpty()) words << info.manufacturer();
        e.description = words.join(QStringLiteral(", "));
        out.append(e);
    }
    return out;
}

}  // namespace

QList<PortEntry> PortMap::list() const
{
    QMap<int, PortEntry> byNumber;
    for (const PortEntry &e : systemPorts()) byNumber.insert(e.number, e);
    for (auto it = m_explicit.cbegin(); it != m_explicit.cend(); ++it)
        byNumber.insert(it.key(), PortEntry{it.key(), it.value(), QStringLiteral("command line")});
    return byNumber.values();
}

QString PortMap::deviceFor(int number) const
{
    if (number <= 0) return {};
    if (auto it = m_explicit.constFind(number); it != m_explicit.cend()) return it.value();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    const QList<PortEntry> ports = systemPorts();
    if (number > ports.size()) return {};
    return ports[number - 1].device;
#endif
}
