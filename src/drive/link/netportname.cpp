#include "netportname.h"

#include <QFileInfo>
#include <QHostAddress>

namespace {

constexpr QLatin1StringView RawScheme("socket://");
constexpr QLatin1StringView TelnetScheme("rfc2217://");

}  // namespace

QString NetPortAddress::endpoint() const
{
    const QString h = host.contains(u':') ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1:%2").arg(h).arg(port);
}

QString NetPortAddress::text() const
{
    return (kind == Kind::Raw ? QString(RawScheme) : QString(TelnetScheme)) + endpoint();
}

bool IsNetPortName(const QString &name)
{
    const QString n = name.trimmed();
    return n.startsWith(RawScheme, Qt::CaseInsensitive) || n.startsWith(TelnetScheme, Qt::CaseInsensitive);
}

std::optional<NetPortAddress> ParseNetPortName(const QString &name, QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<NetPortAddress> {
        if (error) *error = QStringLiteral("%1: %2").arg(name, why);
        return std::nullopt;
    };
    const QString n = name.trimmed();
    NetPortAddress a;
    QString rest;
    if (n.startsWith(RawScheme, Qt::CaseInsensitive)) {
        a.kind = NetPortAddress::Kind::Raw;
        rest = n.mid(RawScheme.size());
    } else if (n.startsWith(TelnetScheme, Qt::CaseInsensitive)) {
        a.kind = NetPortAddress::Kind::Rfc2217;
        rest = n.mid(TelnetScheme.size());
    } else {
        return fail(QStringLiteral("a network port is socket://HOST:PORT or rfc2217://HOST:PORT"));
    }
    if (rest.endsWith(u'/')) rest.chop(1);
    if (rest.contains(u'/') || rest.contains(u'?') || rest.contains(u'@'))
        return fail(QStringLiteral("only HOST:PORT may follow the scheme"));

    QString portText;
    if (rest.startsWith(u'[')) {
        // [IPv6]:PORT
        const qsizetype close = rest.indexOf(u']');
        if (close < 0 || rest.mid(close + 1, 1) != u":") return fail(QStringLiteral("an IPv6 address is written [ADDRESS]:PORT"));
        a.host = rest.mid(1, close - 1);
        portText = rest.mid(close + 2);
        if (QHostAddress(a.host).protocol() != QAbstractSocket::IPv6Protocol)
            return fail(QStringLiteral("\"%1\" is not an IPv6 address").arg(a.host));
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0) return fail(QStringLiteral("the TCP port is missing (HOST:PORT)"));
        a.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (a.host.contains(u':')) return fail(QStringLiteral("an IPv6 address is written [ADDRESS]:PORT"));
    }
    if (a.host.isEmpty()) return fail(QStringLiteral("the host is missing (HOST:PORT)"));
    for (const QChar c : a.host) {
        if (c.isSpace() || c.unicode() < 32) return fail(QStringLiteral("the host may not hold blanks"));
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535 || portText.startsWith(u'+'))
        return fail(QStringLiteral("the TCP port must be a number from 1 to 65535, not \"%1\"").arg(portText));
    a.port = static_cast<quint16>(port);
    return a;
}

QString PortFileName(const QString &device)
{
    if (const std::optional<NetPortAddress> a = ParseNetPortName(device)) {
        QString host = a->host;
        for (QChar &c : host) {
            const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
                || c == u'.' || c == u'-';
            if (!plain) c = u'-';
        }
        return QStringLiteral("%1_%2").arg(host).arg(a->port);
    }
    const QString name = QFileInfo(device).fileName();
    return name.isEmpty() ? device : name;
}
