#include "mqttpublisher.h"

#include <QJsonDocument>
#include <QMetaObject>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLoopMs = 50;             // how long one mosquitto_loop() may wait
const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// A key file that wants a passphrase is refused rather than asked for one at
// the terminal from the publisher's thread.
int noPassphrase(char *, int, int, void *)
{
    return 0;
}

QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s");
}

// CONNACK codes that will not change by trying again: the broker refuses
// this client, its name or its credentials (MQTT 3.1.1: 1 protocol version,
// 2 identifier rejected, 4 bad user name or password, 5 not authorised).
bool isRefusalForGood(int connack)
{
    return connack == 1 || connack == 2 || connack == 4 || connack == 5;
}

} // namespace

QString mqttLibraryErrorText(int rc, int systemError, int keepaliveSeconds)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError))
                                : QStringLiteral("the connection was closed");
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("the broker did not answer within the keepalive time (%1 s)").arg(keepaliveSeconds);
    case MOSQ_ERR_LOOKUP:
        return QStringLiteral("the broker's name could not be looked up");
    case MOSQ_ERR_TIMEOUT:
        return QStringLiteral("the broker did not answer in time");
    case MOSQ_ERR_MALFORMED_PACKET:
        return QStringLiteral("the broker sent a malformed packet");
    default:
        break;
    }
    const QString text = QString::fromUtf8(mosquitto_strerror(rc));
    // The library calls the codes it has no words for "Unknown error".
    if (text.startsWith(QLatin1String("Unknown error")))
        return QStringLiteral("error %1 of the MQTT library").arg(rc);
    return text;
}

struct MqttPublisher::Worker {
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retain = false;
        int qos = 0;
    };

    Worker(MqttPublisher *owner, const MqttConfig &config)
        : owner(owner)
        , cfg(config)
        , host(config.host.trimmed().toUtf8())
        , port(config.effectivePort())
        , prefix(config.topicPrefix)
        , bridgeTopic(mqttBridgeStateTopic(config.topicPrefix).toUtf8())
    {
    }

    // --- shared with the owner's thread, under mutex ---
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false;
    int stopTimeoutMs = 2000;
    bool linkUp = false;                    // the broker accepted us: no coalescing needed
    std::deque<Message> queue;
    std::map<QByteArray, bool> drives;      // drive state topic -> online
    std::atomic<quint64> dropped{0};
    std::atomic<quint64> published{0};      // handed to a broker that had accepted us

    // --- the worker thread's own ---
    MqttPublisher *const owner;
    const MqttConfig cfg;
    const QByteArray host;
    const int port;
    const QString prefix;
    const QByteArray bridgeTopic;
    std::thread thread;
    mosquitto *mosq = nullptr;
    bool socketOpen = false;
    bool accepted = false;                  // CONNACK with success on this connection
    bool justAccepted = false;
    bool announced = false;                 // this connection was up and announced
    QString refusal;                        // why the broker refused, if it did
    bool refusedForGood = false;            // and trying again would not change it
    std::set<int> unacked;                  // the offline states sent on stop
    Clock::time_point connectStarted;

    // Called from any thread.
    void enqueue(Message m)
    {
        std::lock_guard lock(mutex);
        if (stopRequested)
            return;
        const size_t cap = size_t(cfg.maxQueuedTopics);
        if (!linkUp || queue.size() >= cap) {
            auto same = std::find_if(queue.begin(), queue.end(),
                                     [&](const Message &q) { return q.topic == m.topic; });
            if (same != queue.end())
                queue.erase(same);
        }
        if (queue.size() >= cap) {
            ++dropped;
            return;
        }
        queue.push_back(std::move(m));
    }

    void setDrive(const QByteArray &stateTopic, bool online, bool onlyIfNew)
    {
        {
            std::lock_guard lock(mutex);
            if (stopRequested)
                return;
            auto it = drives.find(stateTopic);
            if (it != drives.end() && (onlyIfNew || it->second == online))
                return;
            drives[stateTopic] = online;
        }
        enqueue({stateTopic, online ? kOnline : kOffline, true, 1});
    }

    // Posts a call into the owner's thread; dropped if the owner is gone.
    template <typename F>
    void post(F f)
    {
        QMetaObject::invokeMethod(owner, std::move(f), Qt::QueuedConnection);
    }
    void postState(State s)
    {
        MqttPublisher *o = owner;
        post([o, s] { o->setState(s); });
    }
    void postError(const QString &message)
    {
        MqttPublisher *o = owner;
        post([o, message] { o->report(message); });
    }

    bool stopping()
    {
        std::lock_guard lock(mutex);
        return stopRequested;
    }

    // Sleeps for ms unless stopped first; true if stopped.
    bool sleepFor(int ms)
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested; });
    }

    void setLinkUp(bool up)
    {
        std::lock_guard lock(mutex);
        linkUp = up;
    }

    QString where() const
    {
        return QStringLiteral("%1:%2").arg(QString::fromUtf8(host)).arg(port);
    }

    QString connectError(int rc, int err) const
    {
        switch (rc) {
        case MOSQ_ERR_EAI:
            return QStringLiteral("MQTT broker host \"%1\" does not resolve").arg(QString::fromUtf8(host));
        case MOSQ_ERR_ERRNO:
            return QStringLiteral("cannot connect to the MQTT broker at %1: %2")
                .arg(where(), QString::fromLocal8Bit(std::strerror(err)));
        case MOSQ_ERR_TLS:
            return QStringLiteral("TLS with the MQTT broker at %1 failed (check %2 and the host name)")
                .arg(where(), cfg.tlsCertFile.isEmpty() ? QStringLiteral("--tls-ca") : QStringLiteral("--tls-ca, --tls-cert, --tls-key"));
        default:
            return QStringLiteral("cannot connect to the MQTT broker at %1: %2")
                .arg(where(), mqttLibraryErrorText(rc, err, cfg.keepaliveSeconds));
        }
    }

    static void onConnect(mosquitto *, void *self, int rc)
    {
        auto *w = static_cast<Worker *>(self);
        if (rc == 0) {
            w->accepted = true;
            w->justAccepted = true;
            w->refusal.clear();
        } else {
            // "Connection Refused: not authorised." says "refused" twice.
            QString why = QString::fromUtf8(mosquitto_connack_string(rc));
            why.remove(QStringLiteral("Connection Refused: "));
            if (why.endsWith(QLatin1Char('.')))
                why.chop(1);
            w->refusal = QStringLiteral("the MQTT broker at %1 refused the connection: %2").arg(w->where(), why);
            w->refusedForGood = isRefusalForGood(rc);
        }
    }
    static void onDisconnect(mosquitto *, void *self, int)
    {
        auto *w = static_cast<Worker *>(self);
        w->accepted = false;
        w->socketOpen = false;
    }
    static void onPublish(mosquitto *, void *self, int mid)
    {
        static_cast<Worker *>(self)->unacked.erase(mid);
    }

    bool setUp()
    {
        initLibrary();
        const QByteArray id = cfg.effectiveClientId().toUtf8();
        mosq = mosquitto_new(id.constData(), true, this);
        if (!mosq) {
            postError(QStringLiteral("cannot set up the MQTT client: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        int rc = MOSQ_ERR_SUCCESS;
        if (!cfg.username.isEmpty()) {
            const QByteArray user = cfg.username.toUtf8();
            const QByteArray pass = cfg.password.toUtf8();
            rc = mosquitto_username_pw_set(mosq, user.constData(), cfg.password.isEmpty() ? nullptr : pass.constData());
        }
        if (rc == MOSQ_ERR_SUCCESS && cfg.tls()) {
            const QByteArray ca = cfg.tlsCaFile.toLocal8Bit();
            const QByteArray cert = cfg.tlsCertFile.toLocal8Bit();
            const QByteArray key = cfg.tlsKeyFile.toLocal8Bit();
            // Without a CA of its own the broker is checked against the system's.
            const char *systemCas = nullptr;
            if (ca.isEmpty()) {
                mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
                systemCas = "/etc/ssl/certs";
            }
            rc = mosquitto_tls_set(mosq, ca.isEmpty() ? nullptr : ca.constData(), systemCas,
                                   cert.isEmpty() ? nullptr : cert.constData(), key.isEmpty() ? nullptr : key.constData(),
                                   &noPassphrase);
        }
        // Set before connecting: the broker publishes it if we vanish.
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_will_set(mosq, bridgeTopic.constData(), int(kOffline.size()), kOffline.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS) {
            postError(QStringLiteral("cannot set up the MQTT client: %1").arg(mqttLibraryErrorText(rc, errno, cfg.keepaliveSeconds)));
            return false;
        }
        mosquitto_connect_callback_set(mosq, &Worker::onConnect);
        mosquitto_disconnect_callback_set(mosq, &Worker::onDisconnect);
        mosquitto_publish_callback_set(mosq, &Worker::onPublish);
        return true;
    }

    // False if the connection broke while publishing.
    bool send(const Message &m, int *mid = nullptr)
    {
        const int rc = mosquitto_publish(mosq, mid, m.topic.constData(), int(m.payload.size()),
                                         m.payload.constData(), m.qos, m.retain);
        if (rc == MOSQ_ERR_SUCCESS) {
            ++published;
            return true;
        }
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO)
            return false;
        // Nothing a retry would mend: an oversized message, a topic the broker cannot take.
        ++dropped;
        postError(QStringLiteral("MQTT message for %1 dropped: %2")
                      .arg(QString::fromUtf8(m.topic), mqttLibraryErrorText(rc, errno, cfg.keepaliveSeconds)));
        return true;
    }

    // After (re)connecting: the bridge and drive states first, since the
    // broker may have restarted and lost its retained messages.
    void announce()
    {
        std::vector<Message> states;
        {
            std::lock_guard lock(mutex);
            for (const auto &[topic, online] : drives)
                states.push_back({topic, online ? kOnline : kOffline, true, 1});
            // The queued state changes are in 'drives' already.
            queue.erase(std::remove_if(queue.begin(), queue.end(),
                                       [this](const Message &m) { return drives.count(m.topic) > 0; }),
                        queue.end());
        }
        send({bridgeTopic, kOnline, true, 1});
        for (const Message &m : states)
            send(m);
    }

    void drain()
    {
        std::deque<Message> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(queue);
        }
        while (!batch.empty()) {
            if (!send(batch.front()))
                break;
            batch.pop_front();
        }
        if (batch.empty())
            return;
        // Lost the broker midway: keep what was not sent, unless newer is queued.
        std::lock_guard lock(mutex);
        for (auto it = batch.rbegin(); it != batch.rend(); ++it) {
            const bool newer = std::any_of(queue.begin(), queue.end(),
                                           [&](const Message &q) { return q.topic == it->topic; });
            if (!newer)
                queue.push_front(*it);
        }
    }

    void run()
    {
        if (!setUp()) {
            postState(State::Failed);
            return;
        }
        int delay = cfg.reconnectMinMs;
        bool everConnected = false;
        auto retryLater = [&](const QString &why, bool wasConnected) -> bool {
            accepted = false;
            announced = false;
            socketOpen = false;
            setLinkUp(false);
            MqttPublisher *o = owner;
            if (wasConnected)
                post([o, why] { emit o->disconnected(why); });
            if (!everConnected && !cfg.keepRetrying) {
                postError(why);
                postState(State::Failed);
                return false;
            }
            postError(why + QStringLiteral("; retrying in ") + seconds(delay));
            postState(State::Waiting);
            const bool stopped = sleepFor(delay);
            delay = std::min(delay * 2, cfg.reconnectMaxMs);
            return !stopped;
        };

        while (!stopping()) {
            if (!socketOpen) {
                postState(State::Connecting);
                refusal.clear();
                refusedForGood = false;
                const int rc = mosquitto_connect_async(mosq, host.constData(), port, cfg.keepaliveSeconds);
                const int err = errno;
                if (rc != MOSQ_ERR_SUCCESS) {
                    if (!retryLater(connectError(rc, err), false))
                        break;
                    continue;
                }
                socketOpen = true;
                connectStarted = Clock::now();
            }
            if (justAccepted) {
                justAccepted = false;
                everConnected = true;
                announced = true;
                delay = cfg.reconnectMinMs;
                setLinkUp(true);
                announce();
                postState(State::Connected);
                MqttPublisher *o = owner;
                post([o] { emit o->connected(); });
            }
            if (accepted)
                drain();

            const int rc = mosquitto_loop(mosq, kLoopMs, 1);
            const int err = errno;
            if (rc != MOSQ_ERR_SUCCESS || !socketOpen) {
                const bool wasConnected = announced;
                QString why = refusal;
                if (why.isEmpty()) {
                    why = wasConnected ? QStringLiteral("lost the MQTT broker at %1: %2")
                                             .arg(where(), mqttLibraryErrorText(rc, err, cfg.keepaliveSeconds))
                                       : connectError(rc, err);
                }
                // Refused for good: asking again every 30 s for ever would
                // change nothing but the broker's log.
                if (refusedForGood) {
                    accepted = false;
                    socketOpen = false;
                    setLinkUp(false);
                    if (wasConnected) {
                        MqttPublisher *o = owner;
                        post([o, why] { emit o->disconnected(why); });
                    }
                    postError(why + QStringLiteral("; not tried again (the user name, the password or the broker's rules must change first)"));
                    postState(State::Failed);
                    break;
                }
                if (!retryLater(why, wasConnected))
                    break;
                continue;
            }
            if (!accepted && Clock::now() - connectStarted > std::chrono::milliseconds(cfg.connectTimeoutMs)) {
                mosquitto_disconnect(mosq);
                if (!retryLater(QStringLiteral("the MQTT broker at %1 does not answer").arg(where()), false))
                    break;
            }
        }

        if (accepted)
            shutDown();
        mosquitto_destroy(mosq);
        mosq = nullptr;
    }

    // On stop, still connected: what is queued, then "offline" for every
    // drive and the bridge, then a clean disconnect (so no last will).
    void shutDown()
    {
        int timeoutMs;
        std::vector<QByteArray> driveTopics;
        {
            std::lock_guard lock(mutex);
            timeoutMs = stopTimeoutMs;
            for (const auto &entry : drives)
                driveTopics.push_back(entry.first);
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        drain();
        for (const QByteArray &topic : driveTopics) {
            int mid = 0;
            if (send({topic, kOffline, true, 1}, &mid) && mid)
                unacked.insert(mid);
        }
        int mid = 0;
        if (send({bridgeTopic, kOffline, true, 1}, &mid) && mid)
            unacked.insert(mid);
        while (accepted && !unacked.empty() && Clock::now() < deadline) {
            if (mosquitto_loop(mosq, 20, 1) != MOSQ_ERR_SUCCESS)
                return;
        }
        if (mosquitto_disconnect(mosq) != MOSQ_ERR_SUCCESS)
            return;
        const auto last = std::max(deadline, Clock::now() + std::chrono::milliseconds(200));
        while (socketOpen && Clock::now() < last) {
            if (mosquitto_loop(mosq, 20, 1) != MOSQ_ERR_SUCCESS)
                break;
        }
    }
};

MqttPublisher::MqttPublisher(const MqttConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_worker(std::make_unique<Worker>(this, config))
{
}

MqttPublisher::~MqttPublisher()
{
    stop();
}

bool MqttPublisher::start()
{
    if (m_state != State::Idle)
        return m_state != State::Failed && m_state != State::Stopped;
    const QString problem = m_config.validate();
    if (!problem.isEmpty()) {
        report(problem);
        setState(State::Failed);
        return false;
    }
    setState(State::Connecting);
    m_worker->thread = std::thread([w = m_worker.get()] { w->run(); });
    return true;
}

void MqttPublisher::stop(int timeoutMs)
{
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->stopRequested = true;
        m_worker->stopTimeoutMs = std::max(0, timeoutMs);
    }
    m_worker->wake.notify_all();
    if (m_worker->thread.joinable())
        m_worker->thread.join();
    if (m_state != State::Idle && m_state != State::Failed)
        setState(State::Stopped);
}

void MqttPublisher::publish(const QString &drive, const QString &subtopic, const QJsonObject &payload,
                            bool retained)
{
    m_worker->setDrive(mqttTopic(m_config.topicPrefix, drive, QStringLiteral("state")).toUtf8(), true, true);
    m_worker->enqueue({mqttTopic(m_config.topicPrefix, drive, subtopic).toUtf8(),
                       QJsonDocument(payload).toJson(QJsonDocument::Compact), retained, 0});
}

void MqttPublisher::setDriveOnline(const QString &drive, bool online)
{
    m_worker->setDrive(mqttTopic(m_config.topicPrefix, drive, QStringLiteral("state")).toUtf8(), online, false);
}

MqttPublisher::State MqttPublisher::state() const
{
    return m_state;
}

QString MqttPublisher::lastError() const
{
    return m_lastError;
}

quint64 MqttPublisher::droppedMessages() const
{
    return m_worker->dropped.load();
}

quint64 MqttPublisher::publishedMessages() const
{
    return m_worker->published.load();
}

void MqttPublisher::setState(State state)
{
    // A state posted by the worker before it ended must not undo the stop.
    if (m_state == state || m_state == State::Stopped)
        return;
    if (m_state == State::Failed && state != State::Stopped)
        return;
    m_state = state;
    emit stateChanged(state);
}

void MqttPublisher::report(const QString &message)
{
    if (m_state == State::Stopped)
        return;
    m_lastError = message;
    emit errorOccurred(message);
}
