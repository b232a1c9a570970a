// The MQTT publisher against a real mosquitto broker on a free local port,
// with a libmosquitto subscriber standing in for a dashboard.
#include "mqttconfig.h"
#include "mqttpayload.h"
#include "mqttpublisher.h"
#include "mqtttestbroker.h"
#include "namedpipe.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>

using namespace mqtttest;

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

MqttConfig localConfig(int port, const QString &prefix)
{
    MqttConfig c;
    c.host = QStringLiteral("127.0.0.1");
    c.port = port;
    c.topicPrefix = prefix;
    c.clientId = QStringLiteral("tst-") + prefix;
    c.reconnectMinMs = 100;
    c.reconnectMaxMs = 400;
    return c;
}

// Run as a child by lastWillWhenKilled: connects, says "ready", and waits to be killed.
int childPublisher(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    MqttConfig c = localConfig(QByteArray(argv[2]).toInt(), QString::fromUtf8(argv[3]));
    c.keepaliveSeconds = 5;
    MqttPublisher publisher(c);
    QObject::connect(&publisher, &MqttPublisher::connected, [] {
        fputs("ready\n", stdout);
        fflush(stdout);
    });
    publisher.setDriveOnline(QStringLiteral("axis"), true);
    publisher.start();
    return app.exec();
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_broker.reset(); }

    void topics_data();
    void topics();
    void hostPort_data();
    void hostPort();
    void passwordFile_data();
    void passwordFile();
    void tlsSettings_data();
    void tlsSettings();
    void libraryErrorTexts_data();
    void libraryErrorTexts();
    void refusedForGoodIsNotRetried();
    void payloads_data();
    void payloads();

    void publishesJsonAndRetainedStates_data();
    void publishesJsonAndRetainedStates();
    void cleanStopPublishesOffline();
    void lastWillWhenKilled();
    void brokerRestart();
    void unreachableBroker_data();
    void unreachableBroker();
    void outageQueueIsBounded();

private:
    std::unique_ptr<Broker> m_broker;
};

void TestMqtt::initTestCase()
{
    if (mosquittoBinary().isEmpty())
        QFAIL("mosquitto is not installed (scripts/setup.sh installs it): the MQTT tests need a real broker");
    m_broker = std::make_unique<Broker>();
    QVERIFY2(m_broker->start(), "mosquitto did not start");
}

void TestMqtt::topics_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("topic");
    QTest::newRow("plain") << "orvex" << "axis1" << "orvex/axis1/status";
    QTest::newRow("prefix levels kept") << "/site//line1/" << "axis1" << "site/line1/axis1/status";
    QTest::newRow("empty prefix") << "" << "axis1" << "orvex/axis1/status";
    QTest::newRow("slash in name") << "orvex" << "a/b" << "orvex/a_b/status";
    QTest::newRow("wildcards") << "p+/#" << "+#" << "p_/_/__/status";
    QTest::newRow("control chars") << "orvex" << QString("a\nb") + QChar(0) << "orvex/a_b_/status";
    QTest::newRow("empty name") << "orvex" << "" << "orvex/_/status";
    QTest::newRow("bridge name") << "orvex" << "bridge" << "orvex/_bridge/status";
    QTest::newRow("unicode kept") << "orvex" << QString::fromUtf8("Achse-Ü😀") << QString::fromUtf8("orvex/Achse-Ü😀/status");
    QTest::newRow("lone surrogate") << "orvex" << QString(QChar(0xd800)) << "orvex/_/status";
}

void TestMqtt::topics()
{
    QFETCH(QString, prefix);
    QFETCH(QString, drive);
    QFETCH(QString, topic);
    QCOMPARE(mqttTopic(prefix, drive, QStringLiteral("status")), topic);
}

void TestMqtt::hostPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("host") << "broker.lan" << true << "broker.lan" << 0;
    QTest::newRow("host:port") << "10.0.0.5:1884" << true << "10.0.0.5" << 1884;
    QTest::newRow("v6 bracketed") << "[::1]:8883" << true << "::1" << 8883;
    QTest::newRow("v6 bare") << "fe80::1" << true << "fe80::1" << 0;
    QTest::newRow("empty") << "  " << false << "" << 0;
    QTest::newRow("empty port") << "host:" << false << "" << 0;
    QTest::newRow("port 0") << "host:0" << false << "" << 0;
    QTest::newRow("port too big") << "host:65536" << false << "" << 0;
    QTest::newRow("port not a number") << "host:mqtt" << false << "" << 0;
    QTest::newRow("no host") << ":1883" << false << "" << 0;
    QTest::newRow("unclosed bracket") << "[::1:1883" << false << "" << 0;
    QTest::newRow("blank inside") << "bro ker" << false << "" << 0;
}

void TestMqtt::hostPort()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QString host;
    int port = 0;
    QString error;
    QCOMPARE(parseMqttHostPort(text, &host, &port, &error), ok);
    QTEST(host, "host");
    QTEST(port, "port");
    QCOMPARE(error.isEmpty(), ok);
}

void TestMqtt::passwordFile_data()
{
    QTest::addColumn<QByteArray>("content");   // null: no file at all
    QTest::addColumn<int>("mode");             // octal; -1 a folder, -2 a named pipe
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("says");
    QTest::newRow("line") << QByteArray("s3cret\n") << 0600 << true << "s3cret" << "";
    QTest::newRow("no newline") << QByteArray("s3cret") << 0600 << true << "s3cret" << "";
    QTest::newRow("crlf") << QByteArray("s3cret\r\n") << 0600 << true << "s3cret" << "";
    QTest::newRow("second line ignored") << QByteArray("first\nsecond\n") << 0600 << true << "first" << "";
    QTest::newRow("spaces kept") << QByteArray(" pass word \n") << 0600 << true << " pass word " << "";
    QTest::newRow("owner may only read") << QByteArray("s3cret\n") << 0400 << true << "s3cret" << "";
    QTest::newRow("empty file") << QByteArray("") << 0600 << false << "" << "is empty";
    QTest::newRow("empty first line") << QByteArray("\nsecond\n") << 0600 << false << "" << "is empty";
    QTest::newRow("missing") << QByteArray() << 0600 << false << "" << "cannot read";
    // Refused as ssh refuses a private key that others may read.
    QTest::newRow("the group may read") << QByteArray("s3cret\n") << 0640 << false << "" << "mode 0640";
    QTest::newRow("anyone may read") << QByteArray("s3cret\n") << 0644 << false << "" << "chmod 600";
    QTest::newRow("others may write") << QByteArray("s3cret\n") << 0602 << false << "" << "others than its owner";
    QTest::newRow("a folder") << QByteArray("s3cret") << -1 << false << "" << "not a plain file";
    QTest::newRow("a named pipe") << QByteArray("s3cret") << -2 << false << "" << "not a plain file";
}

void TestMqtt::passwordFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(bool, ok);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath("password");
    std::unique_ptr<NamedPipe> pipe;
    if (mode == -1) {
        QVERIFY(QDir(dir.path()).mkdir("password"));
    } else if (mode == -2) {
        pipe = std::make_unique<NamedPipe>(path);
        QVERIFY(pipe->made());
    } else if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)), 0);
    }
    QString password;
    QString error;
    QCOMPARE(readMqttPasswordFile(path, &password, &error), ok);
    QTEST(password, "password");
    if (!ok) {
        QVERIFY2(error.contains(path) && error.contains(says), qPrintable(error));
        // The error names the file, never what is in it.
        QVERIFY2(content.isEmpty() || !error.contains(QString::fromUtf8(content).trimmed()), qPrintable(error));
    }
    if (pipe) {
        QTest::qWait(30);
        QVERIFY(!pipe->opened());  // a pipe would have waited for a writer
    }
}

void TestMqtt::tlsSettings_data()
{
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QString>("cert");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("keyMode");
    QTest::addColumn<int>("port");          // given; 0: none
    QTest::addColumn<int>("effectivePort");
    QTest::addColumn<QString>("problem");   // a part of validate(); empty: usable
    QTest::newRow("plain") << "" << "" << "" << 0600 << 0 << 1883 << "";
    QTest::newRow("a CA") << "ca.pem" << "" << "" << 0600 << 0 << 8883 << "";
    QTest::newRow("a client certificate") << "" << "cert.pem" << "key.pem" << 0600 << 0 << 8883 << "";
    QTest::newRow("both") << "ca.pem" << "cert.pem" << "key.pem" << 0400 << 0 << 8883 << "";
    QTest::newRow("a port given") << "ca.pem" << "cert.pem" << "key.pem" << 0600 << 18883 << 18883 << "";
    QTest::newRow("a certificate without its key") << "ca.pem" << "cert.pem" << "" << 0600 << 0 << 8883 << "go together";
    QTest::newRow("a key without its certificate") << "ca.pem" << "" << "key.pem" << 0600 << 0 << 8883 << "go together";
    QTest::newRow("a key others may read") << "ca.pem" << "cert.pem" << "key.pem" << 0644 << 0 << 8883 << "chmod 600";
    QTest::newRow("a missing certificate") << "" << "nocert.pem" << "key.pem" << 0600 << 0 << 8883 << "nocert.pem";
    QTest::newRow("a missing key") << "" << "cert.pem" << "nokey.pem" << 0600 << 0 << 8883 << "nokey.pem";
    // Refused unopened: opening a pipe would wait for a writer for good.
    QTest::newRow("a CA that is a named pipe") << "pipe.pem" << "" << "" << 0600 << 0 << 8883 << "not a plain file";
    QTest::newRow("a certificate that is a named pipe") << "" << "pipe.pem" << "key.pem" << 0600 << 0 << 8883 << "not a plain file";
}

void TestMqtt::tlsSettings()
{
    QFETCH(QString, ca);
    QFETCH(QString, cert);
    QFETCH(QString, key);
    QFETCH(int, keyMode);
    QFETCH(int, port);
    QTemporaryDir dir;
    for (const char *name : {"ca.pem", "cert.pem", "key.pem"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("-----BEGIN CERTIFICATE-----\n");
    }
    QCOMPARE(::chmod(QFile::encodeName(dir.filePath("key.pem")).constData(), static_cast<mode_t>(keyMode)), 0);
    NamedPipe pipe(dir.filePath("pipe.pem"));
    QVERIFY(pipe.made());
    MqttConfig c = localConfig(port, QStringLiteral("tls"));
    const auto in = [&](const QString &name) { return name.isEmpty() ? QString() : dir.filePath(name); };
    c.tlsCaFile = in(ca);
    c.tlsCertFile = in(cert);
    c.tlsKeyFile = in(key);
    QTEST(c.effectivePort(), "effectivePort");
    QFETCH(QString, problem);
    const QString said = c.validate();
    if (problem.isEmpty()) QVERIFY2(said.isEmpty(), qPrintable(said));
    else QVERIFY2(said.contains(problem), qPrintable(said));
    QTest::qWait(30);
    QVERIFY(!pipe.opened());
}

// The library's codes in words: none is "Unknown error".
void TestMqtt::libraryErrorTexts_data()
{
    QTest::addColumn<int>("rc");
    QTest::addColumn<int>("systemError");
    QTest::addColumn<QString>("says");
    QTest::newRow("a lost keepalive") << int(MOSQ_ERR_KEEPALIVE) << 0 << "did not answer within the keepalive time (30 s)";
    QTest::newRow("a system error") << int(MOSQ_ERR_ERRNO) << ECONNRESET << "Connection reset by peer";
    QTest::newRow("a system error without its number") << int(MOSQ_ERR_ERRNO) << 0 << "the connection was closed";
    QTest::newRow("a code without words") << int(MOSQ_ERR_PLUGIN_DEFER) << 0 << "error 17 of the MQTT library";
    QTest::newRow("a code with words") << int(MOSQ_ERR_CONN_LOST) << 0 << "The connection was lost.";
}

void TestMqtt::libraryErrorTexts()
{
    QFETCH(int, rc);
    QFETCH(int, systemError);
    QFETCH(QString, says);
    const QString text = mqttLibraryErrorText(rc, systemError, 30);
    QVERIFY2(text.contains(says) && !text.contains(u"Unknown error"), qPrintable(text));
}

// A broker that refuses the client for good (not authorised) is not asked
// again every few seconds for ever: the publisher gives up and says why.
void TestMqtt::refusedForGoodIsNotRetried()
{
    Broker closed(0, {}, false);
    QVERIFY(closed.start());
    MqttConfig c = localConfig(closed.port(), QStringLiteral("closed"));
    MqttPublisher publisher(c);
    QSignalSpy errors(&publisher, &MqttPublisher::errorOccurred);
    QVERIFY(publisher.start());
    QTRY_COMPARE_WITH_TIMEOUT(publisher.state(), MqttPublisher::State::Failed, 5000);
    QVERIFY2(publisher.lastError().contains(u"refused the connection: not authorised; not tried again"), qPrintable(publisher.lastError()));
    // Retrying would have come after 100 ms, and again 200 ms after that.
    QTest::qWait(350);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(publisher.publishedMessages(), quint64(0));
}

void TestMqtt::payloads_data()
{
    QTest::addColumn<QJsonObject>("built");
    QTest::addColumn<QByteArray>("expected");
    const QDateTime t(QDate(2024, 5, 1), QTime(12, 0, 0, 250), Qt::UTC);

    MqttStatus status;
    status.word = 0x13;
    status.bits = {{"ready", 0}, {"servo_on", 2}, {"alarm", 4}, {"top", 31}, {"bad", 32}, {"neg", -1}, {"", 1}};
    status.time = t;
    QTest::newRow("status bits")
        << mqttStatusJson(status)
        << QByteArray(R"({"bits":{"alarm":true,"ready":true,"servo_on":false,"top":false},"hex":"0x00000013",)"
                      R"("time":"2024-05-01T12:00:00.250Z","word":19})");
    QTest::newRow("status high bit") << mqttStatusJson({0x80000000u, {{"top", 31}}, {}})
                                     << QByteArray(R"({"bits":{"top":true},"hex":"0x80000000","word":2147483648})");

    MqttAlarms alarms;
    alarms.present = {{"A.710", "Overload", t}};
    alarms.history = {{"A.710", "Overload", {}}, {"A.d00", "Position error", {}}};
    QTest::newRow("alarms")
        << mqttAlarmsJson(alarms)
        << QByteArray(R"({"count":1,"history":[{"code":"A.710","name":"Overload"},{"code":"A.d00","name":"Position error"}],)"
                      R"("present":[{"code":"A.710","name":"Overload","time":"2024-05-01T12:00:00.250Z"}]})");
    QTest::newRow("no alarms") << mqttAlarmsJson({}) << QByteArray(R"({"count":0,"history":[],"present":[]})");

    MqttMonitor monitor;
    monitor.items = {{"Motor speed", 1500, "min-1"}, {"Torque", -12.5, "%"}, {"Broken", std::nan(""), "V"},
                     {"Huge", HUGE_VAL, ""}, {"", 1, "x"}};
    QTest::newRow("monitor")
        << mqttMonitorJson(monitor)
        << QByteArray(R"({"items":{"Broken":{"unit":"V","value":null},"Huge":{"unit":"","value":null},)"
                      R"("Motor speed":{"unit":"min-1","value":1500},"Torque":{"unit":"%","value":-12.5}}})");
}

void TestMqtt::payloads()
{
    QFETCH(QJsonObject, built);
    QTEST(compact(built), "expected");
}

void TestMqtt::publishesJsonAndRetainedStates_data()
{
    QTest::addColumn<QString>("subtopic");
    QTest::addColumn<QJsonObject>("payload");
    QTest::addColumn<bool>("retained");
    QTest::newRow("status") << "status" << mqttStatusJson({5, {{"ready", 0}}, {}}) << false;
    QTest::newRow("alarms retained") << "alarms" << mqttAlarmsJson({{{"A.710", "Overload", {}}}, {}, {}}) << true;
    QTest::newRow("monitor") << "monitor" << mqttMonitorJson({{{"Speed", 3, "min-1"}}, {}}) << false;
}

void TestMqtt::publishesJsonAndRetainedStates()
{
    QFETCH(QString, subtopic);
    QFETCH(QJsonObject, payload);
    QFETCH(bool, retained);
    const QString prefix = QStringLiteral("pub-") + subtopic;
    Subscriber live;
    QVERIFY(live.connect(m_broker->port(), (prefix + "/#").toUtf8()));

    MqttPublisher publisher(localConfig(m_broker->port(), prefix));
    QSignalSpy connected(&publisher, &MqttPublisher::connected);
    QVERIFY(publisher.start());
    QVERIFY(connected.wait(5000));
    QCOMPARE(publisher.state(), MqttPublisher::State::Connected);
    publisher.publish(QStringLiteral("Axis 1"), subtopic, payload, retained);

    const QByteArray topic = (prefix + "/Axis 1/" + subtopic).toUtf8();
    QVERIFY(live.waitFor(topic, compact(payload)));
    QVERIFY(live.waitFor((prefix + "/Axis 1/state").toUtf8(), "online"));

    // Someone who subscribes later sees the states, retained, and only retained data.
    Subscriber late;
    QVERIFY(late.connect(m_broker->port(), (prefix + "/#").toUtf8()));
    QVERIFY(late.waitFor((prefix + "/bridge/state").toUtf8(), "online"));
    QVERIFY(late.waitFor((prefix + "/Axis 1/state").toUtf8(), "online"));
    QVERIFY(late.last((prefix + "/Axis 1/state").toUtf8())->retained);
    QTest::qWait(100);
    QCOMPARE(late.last(topic).has_value(), retained);
}

void TestMqtt::cleanStopPublishesOffline()
{
    Subscriber sub;
    QVERIFY(sub.connect(m_broker->port(), "stop/#"));
    auto publisher = std::make_unique<MqttPublisher>(localConfig(m_broker->port(), "stop"));
    QSignalSpy connected(publisher.get(), &MqttPublisher::connected);
    publisher->setDriveOnline("a", true);
    QVERIFY(publisher->start());
    publisher->publish("b", "status", {{"x", 1}});
    QVERIFY(connected.wait(5000));
    QVERIFY(sub.waitFor("stop/b/state", "online"));

    publisher->setDriveOnline("a", false);
    QVERIFY(sub.waitFor("stop/a/state", "offline"));
    publisher->setDriveOnline("a", true);
    QVERIFY(sub.waitFor("stop/a/state", "online"));
    publisher.reset();      // the destructor stops cleanly
    for (const char *topic : {"stop/a/state", "stop/b/state", "stop/bridge/state"}) {
        QVERIFY2(sub.waitFor(topic, "offline"), topic);
        QCOMPARE(sub.last(topic)->payload, QByteArray("offline"));
    }
}

void TestMqtt::lastWillWhenKilled()
{
    Subscriber sub;
    QVERIFY(sub.connect(m_broker->port(), "will/#"));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--child-publisher", QString::number(m_broker->port()), "will"});
    QVERIFY(child.waitForStarted(5000));
    QVERIFY(sub.waitFor("will/bridge/state", "online"));
    QVERIFY(sub.waitFor("will/axis/state", "online"));
    child.kill();           // SIGKILL: no chance to say goodbye
    QVERIFY(child.waitForFinished(5000));
    QVERIFY(sub.waitFor("will/bridge/state", "offline"));
    Subscriber late;
    QVERIFY(late.connect(m_broker->port(), "will/bridge/state"));
    QVERIFY(late.waitFor("will/bridge/state", "offline"));
}

void TestMqtt::brokerRestart()
{
    auto broker = std::make_unique<Broker>();
    const int port = broker->port();
    QVERIFY(broker->start());
    MqttPublisher publisher(localConfig(port, "restart"));
    QSignalSpy connected(&publisher, &MqttPublisher::connected);
    QSignalSpy lost(&publisher, &MqttPublisher::disconnected);
    QVERIFY(publisher.start());
    QVERIFY(connected.wait(5000));
    publisher.publish("axis", "status", {{"n", 0}}, true);

    broker->stop();
    QVERIFY(lost.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(publisher.state(), MqttPublisher::State::Waiting, 5000);
    // Published while the broker is away: only the newest of each topic goes out later.
    for (int n = 1; n <= 3; ++n)
        publisher.publish("axis", "status", {{"n", n}}, true);
    publisher.publish("axis", "monitor", {{"m", 7}}, true);
    QTest::qWait(300);      // a retry or two fails meanwhile

    // Restarted, the broker has forgotten all retained messages.
    broker = std::make_unique<Broker>(port);
    QVERIFY(broker->start());
    Subscriber sub;
    QVERIFY(sub.connect(port, "restart/#"));
    QVERIFY(connected.wait(5000) || connected.size() == 2);
    QVERIFY(sub.waitFor("restart/bridge/state", "online"));
    QVERIFY(sub.waitFor("restart/axis/state", "online"));
    QVERIFY(sub.waitFor("restart/axis/status", R"({"n":3})"));
    QVERIFY(sub.waitFor("restart/axis/monitor", R"({"m":7})"));
    QVERIFY(!sub.payloads("restart/axis/status").contains(R"({"n":1})"));
    QVERIFY(!sub.payloads("restart/axis/status").contains(R"({"n":2})"));
    QCOMPARE(publisher.state(), MqttPublisher::State::Connected);
    // And it goes on as before.
    publisher.publish("axis", "status", {{"n", 4}});
    QVERIFY(sub.waitFor("restart/axis/status", R"({"n":4})"));
}

void TestMqtt::unreachableBroker_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("listening");    // the port takes the TCP connection (the kernel does), never answers
    QTest::addColumn<bool>("keepRetrying");
    QTest::addColumn<QString>("message");
    QTest::addColumn<MqttPublisher::State>("state");
    using S = MqttPublisher::State;
    const QString invalid = QStringLiteral("no-such-broker.invalid"), local = QStringLiteral("127.0.0.1");
    QTest::newRow("no such host, retrying") << invalid << false << true << "does not resolve" << S::Waiting;
    QTest::newRow("no such host, giving up") << invalid << false << false << "does not resolve" << S::Failed;
    QTest::newRow("refused, retrying") << local << false << true << "Connection refused" << S::Waiting;
    QTest::newRow("refused, giving up") << local << false << false << "Connection refused" << S::Failed;
    QTest::newRow("silent, retrying") << local << true << true << "does not answer" << S::Waiting;
}

void TestMqtt::unreachableBroker()
{
    QFETCH(QString, host);
    QFETCH(bool, listening);
    QFETCH(bool, keepRetrying);
    QFETCH(QString, message);
    QFETCH(MqttPublisher::State, state);
    // Bound to a free port; unless listening, a connection to it is refused.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && (!listening || ::listen(fd, 8) == 0)
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0);
    MqttConfig c = localConfig(ntohs(a.sin_port), "unreachable");
    c.host = host;
    c.keepRetrying = keepRetrying;
    c.connectTimeoutMs = 150;  // the silent port: three attempts in about 0.8 s
    MqttPublisher publisher(c);
    QSignalSpy errors(&publisher, &MqttPublisher::errorOccurred);
    QVERIFY(publisher.start());
    QVERIFY(errors.wait(10000));
    QVERIFY2(errors.first().first().toString().contains(message), qPrintable(errors.first().first().toString()));
    QTRY_COMPARE_WITH_TIMEOUT(publisher.state(), state, 5000);
    if (keepRetrying)
        QTRY_VERIFY_WITH_TIMEOUT(errors.size() >= 3, 5000);     // 100, 200 ms apart
    publisher.publish("axis", "status", {{"n", 1}});            // harmless either way
    QElapsedTimer t;
    t.start();
    publisher.stop();
    QVERIFY(t.elapsed() < (listening ? 1000 : 1500));
    QVERIFY(publisher.lastError().contains(message));
    ::close(fd);
}

void TestMqtt::outageQueueIsBounded()
{
    MqttConfig c = localConfig(freePort(), "bounded");
    c.maxQueuedTopics = 3;
    MqttPublisher publisher(c);
    QVERIFY(publisher.start());
    publisher.publish("axis", "a", {{"v", 1}});     // queues axis/state and axis/a
    publisher.publish("axis", "b", {{"v", 1}});
    publisher.publish("axis", "a", {{"v", 2}});     // replaces the first
    QCOMPARE(publisher.droppedMessages(), quint64(0));
    publisher.publish("axis", "c", {{"v", 1}});     // a fourth topic: no room
    QCOMPARE(publisher.droppedMessages(), quint64(1));
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--child-publisher") == 0)
        return childPublisher(argc, argv);
    QCoreApplication app(argc, argv);
    TestMqtt test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mqtt.moc"
