#include "mqttsink.h"

#include "drive/monitor/monitorrules.h"
#include "drive/trend/trendrules.h"
#include "mqttconfig.h"
#include "mqttpayload.h"
#include "mqttpublisher.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cmath>
#include <limits>

namespace {

class MqttSink : public MonitorSink {
public:
    explicit MqttSink(const MqttConfig &config) : m_publisher(config)
    {
        // The broker's troubles go to standard error, once each until they change.
        QObject::connect(&m_publisher, &MqttPublisher::errorOccurred, &m_publisher, [this](const QString &message) {
            if (message == m_lastError) return;
            m_lastError = message;
            QTextStream(stderr) << "orvex-cli: " << message << '\n';
        });
        QObject::connect(&m_publisher, &MqttPublisher::connected, &m_publisher, [this] { m_lastError.clear(); });
        // A broker that refused the tool for good is not asked again: the run
        // ends, as nothing it polls would be published.
        QObject::connect(&m_publisher, &MqttPublisher::stateChanged, &m_publisher, [this](MqttPublisher::State state) {
            if (state != MqttPublisher::State::Failed || !cannotGoOn) return;
            cannotGoOn(m_publisher.lastError());
        });
    }

    QString failure() const override
    {
        if (m_publisher.publishedMessages() > 0) return {};
        // The last trouble, without the retry it announced.
        const QString why = m_publisher.lastError().section(QStringLiteral("; retrying in "), 0, 0);
        return QStringLiteral("nothing was published to the MQTT broker at %1:%2%3")
            .arg(m_publisher.config().host)
            .arg(m_publisher.config().effectivePort())
            .arg(why.isEmpty() ? QStringLiteral(" (it did not answer)") : QStringLiteral(": ") + why);
    }

    bool start(QString *error)
    {
        if (m_publisher.start()) return true;
        if (error) *error = m_publisher.lastError();
        return false;
    }

    void take(const MonitorSample &s) override
    {
        // A drive whose poll failed is offline until one works again.
        m_publisher.setDriveOnline(s.drive, s.ok);
        if (!s.ok) return;
        if (s.statusWord) {
            MqttStatus status;
            status.word = *s.statusWord;
            for (const StatusRow &row : StatusRows()) status.bits.append({row.name, row.bit});
            status.time = s.time;
            m_publisher.publish(s.drive, QStringLiteral("status"), mqttStatusJson(status));
        }
        if (s.alarms) {
            MqttAlarms alarms;
            const auto &captions = AlarmCaptions();
            for (int bit = 0; bit < AlarmCount; ++bit)
                if ((*s.alarms >> bit & 1u) != 0)
                    alarms.present.append({QStringLiteral("%1").arg(bit, 2, 10, QLatin1Char('0')),
                                           captions[static_cast<size_t>(bit)], QDateTime()});
            alarms.time = s.time;
            // Retained: a dashboard that starts later still sees what is present.
            m_publisher.publish(s.drive, QStringLiteral("alarms"), mqttAlarmsJson(alarms), true);
        }
        if (!s.items.isEmpty()) {
            MqttMonitor monitor;
            for (const MonitorItemValue &v : s.items)
                monitor.items.append({v.name,
                                      v.value ? static_cast<double>(*v.value) : std::numeric_limits<double>::quiet_NaN(),
                                      TrendChannelUnit({TrendChannel::Kind::Monitor, v.item})});
            monitor.time = s.time;
            m_publisher.publish(s.drive, QStringLiteral("monitor"), mqttMonitorJson(monitor));
        }
        // The publisher's signals come as queued calls.
        QCoreApplication::processEvents();
    }

    // The "offline" states are waited for at most this long: a run asked to
    // stop ends within a second.
    void finish() override { m_publisher.stop(500); }

private:
    MqttPublisher m_publisher;
    QString m_lastError;
};

}  // namespace

std::unique_ptr<MonitorSink> MakeMqttSink(const PublishOptions &o, QString *error)
{
    MqttConfig config;
    QString why;
    if (!parseMqttHostPort(o.host, &config.host, &config.port, &why)) {
        if (error) *error = why;
        return nullptr;
    }
    if (!o.topicPrefix.isEmpty()) config.topicPrefix = o.topicPrefix;
    if (!o.clientId.isEmpty()) config.clientId = o.clientId;
    config.username = o.username;
    config.tlsCaFile = o.tlsCaFile;
    config.tlsCertFile = o.tlsCertFile;
    config.tlsKeyFile = o.tlsKeyFile;
    if (!o.passwordFile.isEmpty() && !readMqttPasswordFile(o.passwordFile, &config.password, &why)) {
        if (error) *error = why;
        return nullptr;
    }
    if (const QString bad = config.validate(); !bad.isEmpty()) {
        if (error) *error = bad;
        return nullptr;
    }
    auto sink = std::make_unique<MqttSink>(config);
    if (!sink->start(error)) return nullptr;
    return sink;
}
