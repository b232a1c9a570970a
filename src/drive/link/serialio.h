#pragma once
// The serial port as the link sees it: open port number N, write bytes, and
// hear of bytes that arrived or of a port that went away. Port N may be a
// local serial device or a port on a serial device server.

#include <QByteArray>
#include <QObject>
#include <QString>

enum class OpenStatus {
    Ok,
    InvalidPort,  // no such port number (0, negative, or nothing behind it)
    InUse,        // the port is held by another program
    Other,        // anything else; the reason says what
};

struct OpenResult {
    OpenStatus status = OpenStatus::Ok;
    QString reason;  // for the status strip: what went wrong, and what to do
};

class SerialIo : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialIo() override = default;

    virtual OpenResult open(int portNo) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(const QByteArray &bytes) = 0;
    // A short description of the open port ("COM1 /dev/ttyUSB0").
    virtual QString describe() const { return {}; }
    // Whether the device hands a reply over whole at its end character rather
    // than each character as it comes; the open port and every later opening.
    // A port that has no such choice ignores it.
    virtual void setRepliesWhole(bool) {}
    // An opening is under way that takes a while (a network connection
    // being made): open() said so and gives the result when called again,
    // once openSettled() has come. A local port opens at once.
    virtual bool opening() const { return false; }
    // The port is not open because it went away or was refused and is being
    // tried again (a network port whose server dropped or refused the
    // connection): the drive cannot answer. A local port is not told so.
    virtual bool vanished() const { return false; }

Q_SIGNALS:
    void bytesArrived(const QByteArray &bytes);
    // The open port failed under us (an adapter pulled out); it is closed already.
    void lost(const QString &reason);
    // The opening under way has come to its result: open() gives it now.
    void openSettled();
};
