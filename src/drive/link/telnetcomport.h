#pragma once
// The Telnet layer of a port on a serial device server that offers the COM
// port control option (RFC 2217): the Telnet protocol itself (escaping,
// option negotiation, subnegotiation) is libtelnet's; this class asks for
// the line settings and checks what the server says it took. No sockets:
// bytes come in through fromSocket() and go out through the callbacks.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

struct telnet_t;
union telnet_event_t;

class TelnetComPort {
public:
    // Parity as the option codes it.
    enum Parity : quint8 { ParityNone = 1, ParityOdd = 2, ParityEven = 3, ParityMark = 4, ParitySpace = 5 };
    struct Line {
        quint32 baud = 9600;
        quint8 dataBits = 8;
        quint8 parity = ParityEven;
        quint8 stopBits = 1;  // the option's code: 1, 2, or 3 for 1.5
        quint8 control = 1;   // no flow control
        bool operator==(const Line &) const = default;
    };
    // "9600 bit/s, 8 data bits, even parity, 1 stop bit, no flow control"
    static QString lineText(const Line &line);

    enum class State { Negotiating, Ready, Refused };

    explicit TelnetComPort(const Line &wanted);
    ~TelnetComPort();
    TelnetComPort(const TelnetComPort &) = delete;
    TelnetComPort &operator=(const TelnetComPort &) = delete;

    // The engine is a plain object driven by its owner, the network port:
    // these three are its outputs, wired once by that owner.
    // Bytes for the socket (negotiation, and data escaped).
    std::function<void(const char *, size_t)> toSocket;
    // Bytes of the serial line, unescaped.
    std::function<void(const char *, size_t)> toLine;
    // The state changed (to Ready or Refused).
    std::function<void()> settled;

    // Offers the options; the line settings follow once the server agrees
    // to the COM port option.
    void start();
    void fromSocket(const char *bytes, size_t size);
    // Data for the serial line.
    void send(const char *bytes, size_t size);

    State state() const { return m_state; }
    // Why it was refused.
    const QString &reason() const { return m_reason; }
    // What the server said it set, as far as it has said.
    const Line &confirmed() const { return m_confirmed; }

private:
    static void onEvent(telnet_t *telnet, telnet_event_t *event, void *self);
    void event(telnet_event_t *event);
    void sendLineSettings();
    void takeReply(const unsigned char *data, size_t size);
    void refuse(const QString &why);
    void refuseOption();

    telnet_t *m_telnet = nullptr;
    Line m_wanted;
    Line m_confirmed{0, 0, 0, 0, 0};
    int m_answers = 0;  // bit i: the answer to command i + 1 has come
    bool m_settingsSent = false;
    bool m_refusedOption = false;  // the server will not do the COM port option
    int m_scan = 0;                // 1: after IAC, 2: after IAC DONT
    State m_state = State::Negotiating;
    QString m_reason;
};
