#pragma once
// The network ports chosen in the port dialog, kept between runs in the
// user's settings (the port file holds only the number), newest first.

#include <QList>
#include <QString>

struct RememberedNetPort {
    int number = 0;
    QString name;  // "rfc2217://gw1:4001"
};

// At most this many are kept.
constexpr int RememberedNetPortCount = 8;

QList<RememberedNetPort> RememberedNetworkPorts();
// Puts the port first (its number with it); the oldest beyond the count go.
void RememberNetworkPort(int number, const QString &name);
