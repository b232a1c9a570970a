#pragma once
// A real mosquitto broker on a free local port, and a libmosquitto subscriber
// standing in for a dashboard, for the tests that publish to MQTT.

#include "../freeport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <optional>

namespace mqtttest {

using ::freePort;

bool portAccepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

QString mosquittoBinary()
{
    QString path = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin", "/usr/local/sbin"});
    return path;
}

class Broker
{
public:
    // extra: more of mosquitto.conf (another listener, TLS, a password
    // file); anonymous: clients without a user name are let in.
    explicit Broker(int port = 0, const QString &extra = {}, bool anonymous = true)
        : m_port(port ? port : freePort()), m_extra(extra), m_anonymous(anonymous)
    {
    }
    ~Broker() { stop(); }
    int port() const { return m_port; }

    bool start()
    {
        QFile conf(m_dir.filePath("mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous %2\nlog_type error\nlog_type warning\n%3")
                       .arg(m_port)
                       .arg(m_anonymous ? QStringLiteral("true") : QStringLiteral("false"), m_extra)
                       .toUtf8());
        conf.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(mosquittoBinary(), {"-c", conf.fileName()});
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 250; ++i) {
            if (portAccepts(m_port))
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port;
    QString m_extra;
    bool m_anonymous = true;
};

struct Received {
    QByteArray topic;
    QByteArray payload;
    bool retained = false;
};

// Subscribes to a filter on its own libmosquitto thread and records all it gets.
class Subscriber
{
public:
    ~Subscriber()
    {
        if (m_mosq) {
            mosquitto_disconnect(m_mosq);
            mosquitto_loop_stop(m_mosq, true);
            mosquitto_destroy(m_mosq);
        }
    }
    bool connect(int port, const QByteArray &filter)
    {
        m_filter = filter;
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto *m, void *self, int rc) {
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, static_cast<Subscriber *>(self)->m_filter.constData(), 1);
        });
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto *, void *self, int, int, const int *) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard lock(s->m_mutex);
            s->m_subscribed = true;
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard lock(s->m_mutex);
            s->m_received.append({m->topic, QByteArray(static_cast<const char *>(m->payload), m->payloadlen), m->retain});
        });
        if (mosquitto_connect(m_mosq, "127.0.0.1", port, 10) != MOSQ_ERR_SUCCESS
            || mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
            return false;
        return waitUntil([this] { return m_subscribed; });
    }
    // The last payload seen on topic, and whether it came as retained.
    std::optional<Received> last(const QByteArray &topic)
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_received.crbegin(); it != m_received.crend(); ++it) {
            if (it->topic == topic)
                return *it;
        }
        return std::nullopt;
    }
    QList<QByteArray> payloads(const QByteArray &topic)
    {
        std::lock_guard lock(m_mutex);
        QList<QByteArray> out;
        for (const Received &r : m_received) {
            if (r.topic == topic)
                out << r.payload;
        }
        return out;
    }
    bool waitFor(const QByteArray &topic, const QByteArray &payload, int ms = 5000)
    {
        return waitUntil([&] {
            for (const Received &r : m_received) {
                if (r.topic == topic && r.payload == payload)
                    return true;
            }
            return false;
        }, ms);
    }

private:
    template <typename F>
    bool waitUntil(F done, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            {
                std::lock_guard lock(m_mutex);
                if (done())
                    return true;
            }
            QTest::qWait(10);
        }
        return false;
    }

    mosquitto *m_mosq = nullptr;
    QByteArray m_filter;
    std::mutex m_mutex;
    bool m_subscribed = false;
    QList<Received> m_received;
};

}  // namespace mqtttest
