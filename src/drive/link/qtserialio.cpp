#include "qtserialio.h"

#include "linemarks.h"
#include "linkstate.h"
#include "portaccess.h"
#include "replyends.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <unistd.h>
#endif

QtSerialIo::QtSerialIo(PortMap map, QSerialPort::Parity parity, QObject *parent)
    : SerialIo(parent), m_map(std::move(map)), m_parity(parity)
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        // Taken through a buffer of our own that is used again for every
        // delivery: readAll() would hand over the port's whole 32 KB read
        // chunk, to be allocated afresh for the next character. What is
        // available is taken in one read, so no read comes back empty. A
        // receiver that keeps the bytes keeps a copy: the next delivery
        // then fills a fresh buffer.
        qint64 available;
        while (m_port.isOpen() && (available = m_port.bytesAvailable()) > 0) {
            m_received.resize(available);
            const qint64 n = m_port.read(m_received.data(), available);
            if (n <= 0) break;
            m_received.resize(n);
            m_marks.decode(m_received);
            if (!m_received.isEmpty()) Q_EMIT bytesArrived(m_received);
        }
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialIo::onError);
}

OpenResult QtSerialIo::open(int portNo)
{
    if (m_port.isOpen()) return {OpenStatus::InUse, QStringLiteral("the port is already open")};
    const QString device = m_map.deviceFor(portNo);
    if (device.isEmpty()) return {OpenStatus::InvalidPort, QStringLiteral("no serial port number %1").arg(portNo)};
    // The system would take the name only up to a NUL, and the lock file
    // made for it could not be removed again.
    if (device.contains(QChar(0))) return {OpenStatus::InvalidPort, QStringLiteral("the device name holds a NUL character")};

    // A device named by a link (/dev/serial/by-id/...) is opened by the name
    // it links to: its lock file is then the device's own, whatever name it
    // was given, and a port in use under another name is found in use
    // rather than opened twice.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    m_port.setPortName(canonical.isEmpty() ? device : canonical);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setParity(m_parity);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite)) {
        if (m_repliesWhole) setRepliesWhole(true);
#ifndef Q_OS_WIN
        // A character garbled on the line is marked rather than dropped
        // (see linemarks.h): parity errors, and framing errors whatever
        // the parity.
        m_marks.reset();
        m_marking = SetLineErrorMarks(m_port.handle(), true);
#endif
        // What arrived before the port was opened answers no request of
        // this program: it is not taken for the reply to its first one.
        m_port.clear(QSerialPort::Input);
        m_description = QStringLiteral("COM%1 %2").arg(portNo).arg(device);
        return {};
    }
    const QSerialPort::SerialPortError error = m_port.error();
    const QString why = m_port.errorString();
    m_port.clearError();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return {OpenStatus::InvalidPort, QStringLiteral("%1: %2").arg(device, why)};
    case QSerialPort::OpenError:
        return {OpenStatus::InUse, QStringLiteral("%1: %2").arg(device, why)};
    case QSerialPort::PermissionError: {
#ifndef Q_OS_WIN
        // The lock of another program and a device the user may not open both
        // come back as a permission error; only the second fails access().
        if (const QString problem = PortAccessProblem(device); !problem.isEmpty())
            return {OpenStatus::Other, problem};
#endif
        return {OpenStatus::InUse, QStringLiteral("%1: in use by another program").arg(device)};
    }
    default:
        return {OpenStatus::Other, QStringLiteral("%1: %2").arg(device, why)};
    }
}

void QtSerialIo::close()
{
    if (m_port.isOpen()) m_port.close();
    m_description.clear();
}

void QtSerialIo::write(const QByteArray &bytes)
{
    if (!m_port.isOpen()) return;
    qsizetype done = 0;
#ifndef Q_OS_WIN
    // QSerialPort only queues what it is given and writes it when the event
    // loop next finds the port writable: a turn of the loop between a reply
    // and the next request. A request is short and has the line to itself, so
    // it goes to the device at once. Whatever the device does not take now,
    // and everything behind bytes still queued, goes the queued way, so the
    // order holds; errors of the device show when the queue is written.
    if (m_port.bytesToWrite() == 0) {
        ssize_t n;
        do {
            n = ::write(m_port.handle(), bytes.constData(), static_cast<size_t>(bytes.size()));
        } while (n < 0 && errno == EINTR);
        if (n > 0) done = n;
    }
#endif
    if (done < bytes.size()) m_port.write(bytes.constData() + done, bytes.size() - done);
}

void QtSerialIo::setRepliesWhole(bool whole)
{
    m_repliesWhole = whole;
#ifndef Q_OS_WIN
    // Where the device will not, each character comes as it arrives.
    if (m_port.isOpen()) SetReplyDelivery(m_port.handle(), whole, EotChar, EtxChar);
#endif
}

void QtSerialIo::onError(QSerialPort::SerialPortError error)
{
    // A device that goes away keeps reporting resource errors until closed.
    if (error != QSerialPort::ResourceError || !m_port.isOpen()) return;
    const QString why = m_port.errorString();
    m_port.clearError();
    close();
    Q_EMIT lost(why);
}
