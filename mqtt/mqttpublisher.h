#pragma once

#include "mqttconfig.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>

// Publishes drive data to an MQTT broker for the command-line monitor.
//
// It only publishes: it never subscribes and never acts on anything the
// broker sends. Nothing that arrives over MQTT can reach a drive.
//
// Topics, PREFIX being MqttConfig::topicPrefix:
//   PREFIX/bridge/state        "online" after connecting, "offline" on a clean
//                              stop and, as the last will, when the program
//                              dies or loses the broker; retained
//   PREFIX/<drive>/state       "online"/"offline" per drive; retained
//   PREFIX/<drive>/<subtopic>  publish(): JSON, e.g. status, alarms, monitor
//
// Threading: libmosquitto runs on a thread of the publisher's own, which
// connects (the name lookup blocks only that thread; the TCP connect does not
// block at all), reconnects with back-off, and alone touches the mosquitto
// handle. publish() and
// setDriveOnline() only queue under a lock and may be called from any thread;
// they never block on the network. The signals are emitted in the thread the
// publisher lives in (the worker posts them as queued calls), so slots run in
// the caller's event loop, which must be running for them to arrive.
//
// While the broker is away the newest message of each topic is kept (at most
// MqttConfig::maxQueuedTopics topics; newer topics beyond that are dropped and
// counted), and sent on reconnect after the bridge and drive states are
// published "online" again. Messages handed to the socket just before the
// broker went away may be lost with it.
//
// Data messages go out at QoS 0, the states at QoS 1.
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Idle,           // not started
        Connecting,     // trying to connect
        Connected,      // the broker accepted us
        Waiting,        // connection lost or refused: retrying after a delay
        Failed,         // gave up: a bad configuration, a broker that refused the
                        // client for good (CONNACK "not authorised", "bad user name
                        // or password", "identifier rejected", protocol version), or
                        // keepRetrying off
        Stopped,        // stop() done
    };
    Q_ENUM(State)

    explicit MqttPublisher(const MqttConfig &config, QObject *parent = nullptr);
    // Stops as stop() does.
    ~MqttPublisher() override;

    // Checks the configuration and starts connecting in the background.
    // False, with lastError() and state Failed, if the configuration is
    // unusable; a broker that is away is no error here but reported through
    // errorOccurred() and retried.
    bool start();

    // Publishes "offline" for every drive and the bridge, waits up to
    // timeoutMs for the broker to take them, disconnects and ends the thread.
    // Blocks the caller for at most about timeoutMs (longer only while the
    // worker waits for the resolver). Safe to call twice.
    void stop(int timeoutMs = 2000);

    // Queues JSON for PREFIX/<drive>/<subtopic>; a drive not seen before is
    // marked online. May be called before start(); ignored after stop().
    void publish(const QString &drive, const QString &subtopic, const QJsonObject &payload,
                 bool retained = false);
    // Publishes PREFIX/<drive>/state, retained; online drives are published
    // "online" again after every reconnect.
    void setDriveOnline(const QString &drive, bool online);

    State state() const;
    QString lastError() const;
    // Messages dropped because the queue was full or the broker refused them.
    quint64 droppedMessages() const;
    // Messages handed to a broker that had accepted the connection, the
    // states included; 0: the broker has taken nothing from this publisher.
    quint64 publishedMessages() const;
    const MqttConfig &config() const { return m_config; }

signals:
    void stateChanged(MqttPublisher::State state);
    void connected();
    // The connection was lost (reason says why); retrying follows unless stopped.
    void disconnected(const QString &reason);
    // A failed connection attempt or a refused message, worded for the user.
    void errorOccurred(const QString &message);

private:
    struct Worker;
    void setState(State state);
    void report(const QString &message);

    MqttConfig m_config;
    std::unique_ptr<Worker> m_worker;
    State m_state = State::Idle;
    QString m_lastError;
};

// Words for a code of libmosquitto (with errno for MOSQ_ERR_ERRNO) where its
// own would say nothing ("Unknown error." for a lost keepalive).
QString mqttLibraryErrorText(int rc, int systemError, int keepaliveSeconds);
