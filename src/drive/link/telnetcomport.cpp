#include "telnetcomport.h"

#include <libtelnet.h>

namespace {

constexpr unsigned char ComPortOption = 44;
// Commands of the option, client to server; the server answers each with
// its code + 100 and the value it took.
constexpr unsigned char SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5;
constexpr unsigned char ServerOffset = 100;
constexpr int AllAnswers = 0x1F;  // the five commands above

const telnet_telopt_t Options[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {ComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

QString parityName(quint8 code)
{
    switch (code) {
    case TelnetComPort::ParityNone: return QStringLiteral("no parity");
    case TelnetComPort::ParityOdd: return QStringLiteral("odd parity");
    case TelnetComPort::ParityEven: return QStringLiteral("even parity");
    case TelnetComPort::ParityMark: return QStringLiteral("mark parity");
    case TelnetComPort::ParitySpace: return QStringLiteral("space parity");
    default: return QStringLiteral("parity code %1").arg(code);
    }
}

QString stopName(quint8 code)
{
    switch (code) {
    case 1: return QStringLiteral("1 stop bit");
    case 2: return QStringLiteral("2 stop bits");
    case 3: return QStringLiteral("1.5 stop bits");
    default: return QStringLiteral("stop bit code %1").arg(code);
    }
}

}  // namespace

QString TelnetComPort::lineText(const Line &l)
{
    return QStringLiteral("%1 bit/s, %2 data bits, %3, %4, %5")
        .arg(l.baud)
        .arg(l.dataBits)
        .arg(parityName(l.parity), stopName(l.stopBits),
             l.control == 1 ? QStringLiteral("no flow control") : QStringLiteral("flow control code %1").arg(l.control));
}

TelnetComPort::TelnetComPort(const Line &wanted) : m_wanted(wanted)
{
    m_telnet = telnet_init(Options, &TelnetComPort::onEvent, 0, this);
}

TelnetComPort::~TelnetComPort()
{
    if (m_telnet) telnet_free(m_telnet);
}

void TelnetComPort::start()
{
    if (!m_telnet) {
        refuse(QStringLiteral("the Telnet layer could not be set up"));
        return;
    }
    telnet_negotiate(m_telnet, TELNET_WILL, ComPortOption);
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_SGA);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_SGA);
}

void TelnetComPort::fromSocket(const char *bytes, size_t size)
{
    if (!m_telnet || size == 0) return;
    // libtelnet takes a refusal of an option it offered without an event:
    // the server's "DONT COM-PORT-OPTION" is looked for here.
    for (size_t i = 0; i < size && m_state == State::Negotiating; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        switch (m_scan) {
        case 0: m_scan = c == TELNET_IAC ? 1 : 0; break;
        case 1: m_scan = c == TELNET_DONT ? 2 : 0; break;
        default:
            if (c == ComPortOption) m_refusedOption = true;
            m_scan = c == TELNET_IAC ? 1 : 0;
            break;
        }
    }
    telnet_recv(m_telnet, bytes, size);
    if (m_refusedOption) refuseOption();
}

void TelnetComPort::refuseOption()
{
    if (m_state == State::Negotiating)
        refuse(QStringLiteral("the server does not offer line control (the Telnet COM port option, RFC 2217); "
                              "if it passes the bytes as they are, name the port socket://"));
}

void TelnetComPort::send(const char *bytes, size_t size)
{
    if (m_telnet && size > 0) telnet_send(m_telnet, bytes, size);
}

void TelnetComPort::onEvent(telnet_t *, telnet_event_t *event, void *self)
{
    static_cast<TelnetComPort *>(self)->event(event);
}

void TelnetComPort::event(telnet_event_t *ev)
{
    switch (ev->type) {
    case TELNET_EV_DATA:
        if (toLine) toLine(ev->data.buffer, ev->data.size);
        break;
    case TELNET_EV_SEND:
        if (toSocket) toSocket(ev->data.buffer, ev->data.size);
        break;
    case TELNET_EV_DO:
        if (ev->neg.telopt == ComPortOption) sendLineSettings();
        break;
    case TELNET_EV_DONT:
    case TELNET_EV_WONT:
        if (ev->neg.telopt == ComPortOption) m_refusedOption = true;
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (ev->sub.telopt == ComPortOption)
            takeReply(reinterpret_cast<const unsigned char *>(ev->sub.buffer), ev->sub.size);
        break;
    case TELNET_EV_ERROR:
        refuse(QStringLiteral("Telnet protocol error: %1").arg(QString::fromUtf8(ev->error.msg)));
        break;
    default:
        break;
    }
}

void TelnetComPort::sendLineSettings()
{
    if (m_settingsSent) return;
    m_settingsSent = true;
    const unsigned char baud[] = {SetBaudRate, static_cast<unsigned char>(m_wanted.baud >> 24),
                                  static_cast<unsigned char>(m_wanted.baud >> 16),
                                  static_cast<unsigned char>(m_wanted.baud >> 8), static_cast<unsigned char>(m_wanted.baud)};
    telnet_subnegotiation(m_telnet, ComPortOption, reinterpret_cast<const char *>(baud), sizeof baud);
    const unsigned char one[][2] = {{SetDataSize, m_wanted.dataBits},
                                    {SetParity, m_wanted.parity},
                                    {SetStopSize, m_wanted.stopBits},
                                    {SetControl, m_wanted.control}};
    for (const auto &c : one) telnet_subnegotiation(m_telnet, ComPortOption, reinterpret_cast<const char *>(c), 2);
}

void TelnetComPort::takeReply(const unsigned char *d, size_t size)
{
    if (size < 2 || m_state != State::Negotiating) return;
    switch (d[0]) {
    case ServerOffset + SetBaudRate:
        if (size < 5) return;
        m_confirmed.baud = (quint32(d[1]) << 24) | (quint32(d[2]) << 16) | (quint32(d[3]) << 8) | quint32(d[4]);
        break;
    case ServerOffset + SetDataSize: m_confirmed.dataBits = d[1]; break;
    case ServerOffset + SetParity: m_confirmed.parity = d[1]; break;
    case ServerOffset + SetStopSize: m_confirmed.stopBits = d[1]; break;
    case ServerOffset + SetControl: m_confirmed.control = d[1]; break;
    default: return;  // notifications of line and modem state
    }
    m_answers |= 1 << (d[0] - ServerOffset - 1);
    if (m_answers != AllAnswers) return;
    if (m_confirmed == m_wanted) {
        m_state = State::Ready;
        if (settled) settled();
        return;
    }
    refuse(QStringLiteral("the server set the line to %1, not %2")
               .arg(lineText(m_confirmed), lineText(m_wanted)));
}

void TelnetComPort::refuse(const QString &why)
{
    if (m_state == State::Refused) return;
    m_state = State::Refused;
    m_reason = why;
    if (settled) settled();
}
