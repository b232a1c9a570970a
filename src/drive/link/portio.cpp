#include "portio.h"

#include "netportname.h"

PortIo::PortIo(PortMap map, QSerialPort::Parity parity, QObject *parent)
    : SerialIo(parent), m_map(map), m_serial(std::move(map), parity), m_net(parity)
{
    for (SerialIo *io : {static_cast<SerialIo *>(&m_serial), static_cast<SerialIo *>(&m_net)}) {
        connect(io, &SerialIo::bytesArrived, this, &SerialIo::bytesArrived);
        connect(io, &SerialIo::lost, this, &SerialIo::lost);
        connect(io, &SerialIo::openSettled, this, &SerialIo::openSettled);
    }
}

OpenResult PortIo::open(int portNo)
{
    if (isOpen()) return {OpenStatus::InUse, QStringLiteral("the port is already open")};
    const QString device = m_map.deviceFor(portNo);
    if (IsNetPortName(device)) {
        m_active = &m_net;
        m_net.setAddress(device);
        return m_net.open(portNo);
    }
    // A connection being made for another port is not wanted any more.
    m_net.cancel();
    m_active = &m_serial;
    return m_serial.open(portNo);
}

void PortIo::close()
{
    m_active->close();
    if (m_active != &m_net) m_net.cancel();
}

bool PortIo::isOpen() const { return m_active->isOpen(); }

void PortIo::write(const QByteArray &bytes) { m_active->write(bytes); }

QString PortIo::describe() const { return m_active->describe(); }

int PortIo::networkPortNumber(const QString &name, QString *error)
{
    const std::optional<NetPortAddress> wanted = ParseNetPortName(name, error);
    if (!wanted) return 0;
    QList<int> taken;
    for (const PortEntry &e : m_map.list()) {
        if (ParseNetPortName(e.device) == wanted) return e.number;
        taken << e.number;
    }
    int free = FirstNetworkPortNo;
    while (taken.contains(free)) ++free;
    m_map.setExplicit(free, wanted->text());
    return free;
}

void PortIo::setNetworkPort(int number, const QString &name) { m_map.setExplicit(number, name); }

std::unique_ptr<SerialIo> MakePortIo(const QString &device, QSerialPort::Parity parity)
{
    PortMap map;
    map.setExplicit(1, device);
    return std::make_unique<PortIo>(std::move(map), parity);
}
