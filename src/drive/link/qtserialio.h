#pragma once
// The serial port over QSerialPort: 9600 bit/s, 8 data bits, 1 stop bit, no
// flow control, parity even unless set otherwise. Characters the line
// garbled are marked, not dropped (linemarks.h).

#include "linemarks.h"
#include "portmap.h"
#include "serialio.h"

#include <QSerialPort>

class QtSerialIo : public SerialIo {
    Q_OBJECT
public:
    QtSerialIo(PortMap map, QSerialPort::Parity parity, QObject *parent = nullptr);

    OpenResult open(int portNo) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void write(const QByteArray &bytes) override;
    QString describe() const override { return m_description; }
    void setRepliesWhole(bool whole) override;

    const PortMap &portMap() const { return m_map; }
    // The terminal driver marks garbled characters on the open port.
    bool marksGarbled() const { return m_marking; }
    // Characters the line marked as garbled since the program started.
    int markedCharacters() const { return m_marks.marked(); }

private:
    void onError(QSerialPort::SerialPortError error);

    PortMap m_map;
    QSerialPort m_port;
    QSerialPort::Parity m_parity;
    QString m_description;
    QByteArray m_received;  // the bytes of the last delivery
    bool m_repliesWhole = false;
    LineMarkDecoder m_marks;
    bool m_marking = false;
};
