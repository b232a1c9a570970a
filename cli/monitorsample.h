#pragma once
// What "orvex-cli monitor" hands on at every poll of every drive, and the
// seam through which a publisher (an MQTT client, say) takes it. Samples come
// on the thread that called RunCli, in the order each drive took them; a
// drive's samples never overlap.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

struct MonitorItemValue {
    int item = 0;                 // 0..16, as the operation panel's list numbers them (0A = 10)
    QString name;                 // "Current Speed"
    std::optional<qint32> value;  // nothing when the drive did not answer
    QString text;                 // as the panel shows it (hexadecimal for 0E and 10)
};

struct MonitorSample {
    QString drive;     // the device's file name: "ttyUSB0"
    QString device;    // "/dev/ttyUSB0"
    QDateTime time;    // when the poll ended
    bool ok = false;   // false: the poll failed and error says why
    QString error;
    std::optional<quint32> statusWord;
    QStringList statusOn;           // the status monitor's names of the bits that are set
    std::optional<quint32> alarms;  // a bit an alarm
    QStringList alarmNames;
    QList<MonitorItemValue> items;
};

// Takes the samples of a monitor run. finish() comes once after the last.
class MonitorSink {
public:
    virtual ~MonitorSink() = default;
    virtual void take(const MonitorSample &sample) = 0;
    virtual void finish() {}
    // Asked after finish(): why the run failed through this sink (a broker
    // that took nothing in the whole run); empty when it did its part.
    virtual QString failure() const { return {}; }
    // Set by the run: called (on the thread of take()) when the sink cannot
    // go on at all (a broker that refused it for good); the run then stops.
    std::function<void(const QString &why)> cannotGoOn;
};

// The options of publishing, as given on the command line.
struct PublishOptions {
    QString host;  // "broker.local" or "broker.local:8883"
    QString topicPrefix;
    QString clientId;
    QString username;
    QString passwordFile;
    QString tlsCaFile;
    QString tlsCertFile;
    QString tlsKeyFile;
};

// Makes the publishing sink; nothing, with the reason in error, when it
// cannot (no broker, an unreadable password file). Left empty, --mqtt fails
// with "MQTT publishing is not built in".
using PublisherFactory = std::function<std::unique_ptr<MonitorSink>(const PublishOptions &, QString *error)>;
