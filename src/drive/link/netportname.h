#pragma once
// Ports on a serial device server, named as the user names them:
// "socket://HOST:PORT" (the bytes as they are) or "rfc2217://HOST:PORT" (the
// line is set up through the Telnet COM port option). Anything else names a
// local serial device.

#include <QString>
#include <optional>

struct NetPortAddress {
    enum class Kind { Raw, Rfc2217 };
    Kind kind = Kind::Raw;
    QString host;  // a name or an address; an IPv6 address without brackets
    quint16 port = 0;

    // The name again, in its usual spelling ("rfc2217://gw1:4001").
    QString text() const;
    // "HOST:PORT", an IPv6 host in brackets.
    QString endpoint() const;
    bool operator==(const NetPortAddress &) const = default;
};

// Whether the name is meant as a network port (it starts with one of the two
// schemes, in any case), well formed or not.
bool IsNetPortName(const QString &name);

// The address in a network port name; nothing, and why not in *error, when
// the name is not a well-formed one.
std::optional<NetPortAddress> ParseNetPortName(const QString &name, QString *error = nullptr);

// A port's name for file names and topics: "HOST_PORT" for a network port
// (characters other than letters, digits, '.' and '-' in the host become
// '-'), the device's file name for a local one ("ttyUSB0").
QString PortFileName(const QString &device);
