#include "mqttconfig.h"

#include "drive/secretfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace {

constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;

bool parsePort(const QString &text, int *port)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return false;
    *port = value;
    return true;
}

QString cleanPrefix(const QString &prefix)
{
    QStringList levels;
    for (const QString &level : prefix.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        levels << mqttTopicLevel(level);
    return levels.isEmpty() ? QStringLiteral("orvex") : levels.join(QLatin1Char('/'));
}

} // namespace

int MqttConfig::effectivePort() const
{
    if (port > 0)
        return port;
    return tls() ? kTlsPort : kPlainPort;
}

QString MqttConfig::effectiveClientId() const
{
    return clientId.isEmpty() ? defaultMqttClientId() : clientId;
}

QString MqttConfig::validate() const
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("no MQTT broker host given");
    if (port < 0 || port > 65535)
        return QStringLiteral("MQTT port %1 is out of range 1..65535").arg(port);
    if (keepaliveSeconds < 5 || keepaliveSeconds > 65535)
        return QStringLiteral("MQTT keepalive %1 s is out of range 5..65535").arg(keepaliveSeconds);
    if (reconnectMinMs < 1 || reconnectMaxMs < reconnectMinMs)
        return QStringLiteral("MQTT reconnect delays %1..%2 ms make no sense")
            .arg(reconnectMinMs).arg(reconnectMaxMs);
    if (connectTimeoutMs < 1)
        return QStringLiteral("the MQTT connect timeout must be positive");
    if (maxQueuedTopics < 1)
        return QStringLiteral("the MQTT queue must hold at least one topic");
    if (clientId.toUtf8().size() > 65535)
        return QStringLiteral("MQTT client id is too long");
    if (password.isEmpty() == false && username.isEmpty())
        return QStringLiteral("an MQTT password needs a user name");
    // Plain files only: a pipe or a device is refused unopened (opening a
    // pipe would wait for a writer).
    if (!tlsCaFile.isEmpty()) {
        if (const QString problem = PlainFileProblem(tlsCaFile, QStringLiteral("the TLS CA file")); !problem.isEmpty())
            return problem;
    }
    if (tlsCertFile.isEmpty() != tlsKeyFile.isEmpty())
        return QStringLiteral("a TLS client certificate and its key go together: --tls-cert FILE --tls-key FILE");
    if (!tlsCertFile.isEmpty()) {
        if (const QString problem = PlainFileProblem(tlsCertFile, QStringLiteral("the TLS certificate file")); !problem.isEmpty())
            return problem;
        // The key is a secret: the owner's alone, as for ssh.
        if (const QString problem = SecretFileProblem(tlsKeyFile, QStringLiteral("the TLS key file")); !problem.isEmpty())
            return problem;
        if (const QString problem = PlainFileProblem(tlsKeyFile, QStringLiteral("the TLS key file")); !problem.isEmpty())
            return problem;
    }
    return {};
}

QString defaultMqttClientId()
{
    char name[256] = {};
    QString host;
    if (::gethostname(name, sizeof name - 1) == 0)
        host = QString::fromLocal8Bit(name);
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return QStringLiteral("orvex-cli-%1-%2").arg(mqttTopicLevel(host)).arg(qint64(::getpid()));
}

bool parseMqttHostPort(const QString &text, QString *host, int *port, QString *error)
{
    const QString t = text.trimmed();
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("bad MQTT broker \"%1\": %2").arg(text, why);
        return false;
    };
    if (t.isEmpty())
        return fail(QStringLiteral("empty"));

    QString h;
    QString p;
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(QStringLiteral("missing ']'"));
        h = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return fail(QStringLiteral("expected ':PORT' after ']'"));
            p = rest.mid(1);
            if (p.isEmpty())
                return fail(QStringLiteral("empty port"));
        }
    } else if (t.count(QLatin1Char(':')) == 1) {
        const int colon = t.indexOf(QLatin1Char(':'));
        h = t.left(colon);
        p = t.mid(colon + 1);
        if (p.isEmpty())
            return fail(QStringLiteral("empty port"));
    } else {
        h = t;      // a name, an IPv4 address or an unbracketed IPv6 address
    }
    if (h.isEmpty())
        return fail(QStringLiteral("empty host"));
    for (QChar c : h) {
        if (c.isSpace() || c.unicode() < 0x20)
            return fail(QStringLiteral("the host contains blanks or control characters"));
    }
    int value = 0;
    if (!p.isEmpty() && !parsePort(p, &value))
        return fail(QStringLiteral("the port must be a number from 1 to 65535"));
    *host = h;
    if (!p.isEmpty())
        *port = value;
    return true;
}

bool readMqttPasswordFile(const QString &path, QString *password, QString *error)
{
    // A password file is a line, not a document.
    const std::optional<QByteArray> bytes = ReadSecretFile(path, QStringLiteral("the MQTT password file"), 64 * 1024, error);
    if (!bytes)
        return false;
    QByteArray line = bytes->left(bytes->indexOf('\n') < 0 ? bytes->size() : bytes->indexOf('\n'));
    while (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        if (error)
            *error = QStringLiteral("the MQTT password file %1 is empty").arg(path);
        return false;
    }
    *password = QString::fromUtf8(line);
    return true;
}

QString mqttTopicLevel(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += c;
            out += name.at(++i);
            continue;
        }
        const bool bad = u == '/' || u == '+' || u == '#' || u < 0x20 || (u >= 0x7f && u <= 0x9f)
                      || c.isSurrogate() || u == 0xfffe || u == 0xffff;
        out += bad ? QLatin1Char('_') : c;
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString mqttTopic(const QString &prefix, const QString &drive, const QString &subtopic)
{
    // The bridge's own state lives under PREFIX/bridge: a drive of that name moves aside.
    QString level = mqttTopicLevel(drive);
    if (level == QLatin1String("bridge"))
        level = QStringLiteral("_bridge");
    return cleanPrefix(prefix) + QLatin1Char('/') + level + QLatin1Char('/') + mqttTopicLevel(subtopic);
}

QString mqttBridgeStateTopic(const QString &prefix)
{
    return cleanPrefix(prefix) + QStringLiteral("/bridge/state");
}
