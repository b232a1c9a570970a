#pragma once
// A port on a serial device server, over TCP: "socket://HOST:PORT" passes
// the bytes as they are, "rfc2217://HOST:PORT" sets the line (9600 bit/s,
// 8 data bits, the parity asked for, 1 stop bit, no flow control) through
// the Telnet COM port option and refuses a server that took anything else.
//
// Opening never blocks: open() starts the connection and says "connecting"
// (OpenStatus::Other); called again once it is made (openSettled()), it
// hands it over. A connection is taken as made when it has been quiet for a
// moment after the server accepted it (and, for RFC 2217, the server has
// confirmed the line), because a busy server accepts, says so in words and
// closes: that is told as OpenStatus::InUse. A connection refused, timed out
// or dropped is tried again after a pause that grows to a few seconds; a
// dropped one is reported through lost(), as a vanished serial port is.

#include "netportname.h"
#include "serialio.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>
#include <memory>
#include <optional>

class QTcpSocket;
class TelnetComPort;

class NetSerialIo : public SerialIo {
    Q_OBJECT
public:
    struct Timing {
        int connectMs = 3000;      // a host that does not answer
        int negotiateMs = 3000;    // the server's answers to the line settings
        int settleMinMs = 50;      // quiet after the accept before the connection counts as made:
        int settleMaxMs = 1000;    //   three connect times, within these bounds
        int claimMs = 2000;        // a made connection nobody takes is let go
        int retryFirstMs = 250;    // the pause before the next attempt, doubled
        int retryMaxMs = 4000;     //   after every failure up to this
        int lingerMs = 2000;       // a closed connection waits this long for the server's close
        int sendTimeoutMs = 10000; // data unacknowledged this long: the connection is dead
    };

    explicit NetSerialIo(QSerialPort::Parity parity, QObject *parent = nullptr);
    ~NetSerialIo() override;

    // The port's name; a connection to another is given up.
    void setAddress(const QString &name);
    QString address() const { return m_address ? m_address->text() : m_name; }
    void setTiming(const Timing &timing) { m_timing = timing; }

    OpenResult open(int portNo) override;
    // Whatever was written reaches the server before the connection ends.
    void close() override;
    bool isOpen() const override { return m_stage == Stage::Open; }
    void write(const QByteArray &bytes) override;
    QString describe() const override { return m_description; }
    bool opening() const override { return m_stage == Stage::Connecting || m_stage == Stage::Handshake; }
    // Dropped or refused, and not open again since.
    bool vanished() const override { return m_failures > 0 && m_stage != Stage::Open && m_stage != Stage::Idle; }

    // A connection being made or waiting to be taken is dropped; the next
    // open() starts afresh.
    void cancel();

private:
    enum class Stage { Idle, Connecting, Handshake, Ready, Open, Failed };

    void startAttempt();
    void onConnected();
    void onReadyRead();
    void onSocketGone();
    void onTimer();
    // Sends the line settings (RFC 2217) once the server has spoken or had its time.
    void offerLineSettings();
    void handshakeStep();
    void becomeReady();
    void fail(OpenStatus status, const QString &reason);
    void dropSocket(bool graceful);
    void setLowLatencyAndKeepAlive();
    QString endpoint() const { return m_address ? m_address->endpoint() : m_name; }
    // What the server said before it closed, as words for a message.
    QString heardText() const;
    int retryDelayMs() const;

    QSerialPort::Parity m_parity;
    Timing m_timing;
    QString m_name;
    QString m_nameError;
    std::optional<NetPortAddress> m_address;
    Stage m_stage = Stage::Idle;
    QTcpSocket *m_socket = nullptr;
    std::unique_ptr<TelnetComPort> m_telnet;
    bool m_offered = false;  // the line settings went out
    QTimer m_timer;  // the deadline of the stage
    QElapsedTimer m_attempt;
    QDeadlineTimer m_settled;  // the quiet after the accept ends
    QByteArray m_in;           // read from the socket
    QByteArray m_out;          // the line's bytes of one read
    QByteArray m_heard;        // what came before the connection was taken
    OpenResult m_failure;
    bool m_failureTold = true;
    int m_failures = 0;
    QDeadlineTimer m_retryAt;
    int m_portNo = 0;
    QString m_description;
};
