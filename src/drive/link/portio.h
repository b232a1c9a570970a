#pragma once
// The program's port: port number N is a local serial device (QtSerialIo)
// or a port on a serial device server (NetSerialIo), as the port map names
// it. The link, the jobs and the windows see one SerialIo either way.

#include "netserialio.h"
#include "portmap.h"
#include "qtserialio.h"

class PortIo : public SerialIo {
    Q_OBJECT
public:
    // Network ports the port dialog adds are numbered from here up, clear of
    // the serial ports' numbers.
    static constexpr int FirstNetworkPortNo = 101;

    PortIo(PortMap map, QSerialPort::Parity parity, QObject *parent = nullptr);

    OpenResult open(int portNo) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray &bytes) override;
    QString describe() const override;
    void setRepliesWhole(bool whole) override { m_serial.setRepliesWhole(whole); }
    bool opening() const override { return m_active == &m_net && m_net.opening(); }
    bool vanished() const override { return m_active == &m_net && m_net.vanished(); }

    const PortMap &portMap() const { return m_map; }
    // The number of a network port: the one it has in the map, else the
    // lowest free number from FirstNetworkPortNo, which it gets. 0 when the
    // name is not a well-formed network port name (why in *error).
    int networkPortNumber(const QString &name, QString *error = nullptr);
    // Port N is this network port from now on (the command line's and the
    // ports remembered from an earlier run).
    void setNetworkPort(int number, const QString &name);

    NetSerialIo &network() { return m_net; }

private:
    PortMap m_map;
    QtSerialIo m_serial;
    NetSerialIo m_net;
    SerialIo *m_active = &m_serial;
};

// A SerialIo for the device the user named (a serial device or a network
// port), as port 1 of its own map: the command-line tool's sessions.
std::unique_ptr<SerialIo> MakePortIo(const QString &device, QSerialPort::Parity parity);
