#pragma once
// Which device stands behind port number N: a device given on the command line
// ("--port N=DEVICE"), else COMN on Windows, else the Nth serial port in the
// order the port dialog lists them.

#include <QList>
#include <QMap>
#include <QString>

struct PortEntry {
    int number = 0;
    QString device;       // full path, or COMN
    QString description;  // what the system says of it, or "command line"
};

class PortMap {
public:
    void setExplicit(int number, const QString &device) { m_explicit.insert(number, device); }
    bool hasExplicit(int number) const { return m_explicit.contains(number); }
    // Lists the ports afresh: command-line ones and the system's serial ports.
    QList<PortEntry> list() const;
    // The device of port N, or an empty text when there is none.
    QString deviceFor(int number) const;

private:
    QMap<int, QString> m_explicit;
};
