#include "netportsettings.h"

#include "drive/useroptions.h"

#include <QSettings>

namespace {
const QString Group = QStringLiteral("networkPorts");
}

QList<RememberedNetPort> RememberedNetworkPorts()
{
    QSettings s = UserSettings();
    QList<RememberedNetPort> out;
    const int n = s.beginReadArray(Group);
    for (int i = 0; i < n && out.size() < RememberedNetPortCount; ++i) {
        s.setArrayIndex(i);
        RememberedNetPort p{s.value(QStringLiteral("number")).toInt(), s.value(QStringLiteral("name")).toString()};
        if (p.number > 0 && p.number <= 32767 && !p.name.isEmpty()) out << p;
    }
    s.endArray();
    return out;
}

void RememberNetworkPort(int number, const QString &name)
{
    QList<RememberedNetPort> ports = RememberedNetworkPorts();
    ports.removeIf([&](const RememberedNetPort &p) { return p.number == number || p.name == name; });
    ports.prepend({number, name});
    while (ports.size() > RememberedNetPortCount) ports.removeLast();
    QSettings s = UserSettings();
    s.remove(Group);
    s.beginWriteArray(Group, static_cast<int>(ports.size()));
    for (int i = 0; i < ports.size(); ++i) {
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("number"), ports[i].number);
        s.setValue(QStringLiteral("name"), ports[i].name);
    }
    s.endArray();
}
