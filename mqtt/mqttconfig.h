#pragma once

#include <QString>

// Where and how the MQTT publisher connects, and the helpers that turn the
// command line (--mqtt HOST[:PORT], --password-file, --topic, --tls-*) into it.
struct MqttConfig {
    QString host;
    int port = 0;                       // 0: 1883, or 8883 with TLS
    QString topicPrefix = QStringLiteral("orvex");
    QString clientId;                   // empty: defaultMqttClientId()
    QString username;                   // empty: connect anonymously
    QString password;
    QString tlsCaFile;                  // set: TLS, the broker checked against this CA
    QString tlsCertFile;                // set (with tlsKeyFile): TLS with this client
    QString tlsKeyFile;                 // certificate; the broker is then checked
                                        // against tlsCaFile, or the system's CAs
    int keepaliveSeconds = 30;          // libmosquitto wants 5..65535
    int reconnectMinMs = 500;           // back-off after a lost or failed connection,
    int reconnectMaxMs = 30000;         // doubling from min up to max
    int connectTimeoutMs = 10000;       // TCP up but no answer to CONNECT: try again
    bool keepRetrying = true;           // false: give up if the first connection fails
    int maxQueuedTopics = 1024;         // latest message kept per topic while disconnected

    // TLS: a CA or a client certificate given.
    bool tls() const { return !tlsCaFile.isEmpty() || !tlsCertFile.isEmpty(); }
    int effectivePort() const;
    QString effectiveClientId() const;
    // Empty when usable, otherwise what is wrong, worded for the user.
    QString validate() const;
};

// "orvex-cli-<hostname>-<pid>".
QString defaultMqttClientId();

// "HOST", "HOST:PORT", "[v6addr]" or "[v6addr]:PORT"; a bare IPv6 address
// without brackets is taken as a host. port is left alone when none is given.
bool parseMqttHostPort(const QString &text, QString *host, int *port, QString *error);

// The first line of the file, its line end stripped. A file that is missing
// or unreadable, not a plain file, or one that others than its owner may
// read or change (as ssh refuses a private key), or an empty first line, is
// an error; the error names the file and never tells its content.
bool readMqttPasswordFile(const QString &path, QString *password, QString *error);

// One topic level made safe: '/', '+', '#' and control characters become
// '_', an empty name becomes "_", so a drive name can never add levels or
// wildcards to a topic.
QString mqttTopicLevel(const QString &name);

// PREFIX/<drive>/<subtopic>, each part made safe; the prefix keeps its own
// levels ("site/line1") but loses empty ones and wildcards. A drive called
// "bridge" becomes "_bridge", the bridge's own state being PREFIX/bridge/state.
QString mqttTopic(const QString &prefix, const QString &drive, const QString &subtopic);
QString mqttBridgeStateTopic(const QString &prefix);
