// "orvex-cli monitor --mqtt" as a user runs it: the real tool, a simulated
// drive on a pseudo-terminal and a real mosquitto broker, each a process of
// its own. The broker is restarted while the tool publishes: the tool comes
// back online by itself and goes on publishing, and says "offline" at the end,
// when it is asked to stop (SIGTERM) as a bridge left running is.

#include "mqtttestbroker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace mqtttest;

class TstCliMqtt : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void publishesThroughABrokerRestart();
    void refusesABadBroker_data();
    void refusesABadBroker();
};

void TstCliMqtt::publishesThroughABrokerRestart()
{
    QVERIFY2(!mosquittoBinary().isEmpty(), "mosquitto is not installed (scripts/setup.sh installs it)");
    QTemporaryDir dir;
    Broker broker;
    QVERIFY(broker.start());
    Subscriber dashboard;
    QVERIFY(dashboard.connect(broker.port(), "e2e/#"));

    QProcess drive;
    const QString link = dir.filePath(QStringLiteral("axis1"));
    drive.start(QStringLiteral(ORVEX_SIM_BINARY), {QStringLiteral("--link=") + link, QStringLiteral("--no-pace")});
    QVERIFY(drive.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);

    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(ORVEX_CLI_BINARY),
              {QStringLiteral("monitor"), QStringLiteral("--port"), link, QStringLiteral("--items"), QStringLiteral("04"),
               QStringLiteral("--interval"), QStringLiteral("100"), QStringLiteral("--duration"), QStringLiteral("0"),
               QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(broker.port()), QStringLiteral("--topic"),
               QStringLiteral("e2e"), QStringLiteral("--client-id"), QStringLiteral("e2e-cli"), QStringLiteral("--quiet")});
    QVERIFY(cli.waitForStarted());

    QVERIFY(dashboard.waitFor("e2e/axis1/state", "online"));
    QVERIFY(dashboard.waitFor("e2e/bridge/state", "online"));
    QTRY_VERIFY_WITH_TIMEOUT(dashboard.last("e2e/axis1/monitor").has_value(), 5000);
    const auto monitor = QJsonDocument::fromJson(dashboard.last("e2e/axis1/monitor")->payload).object();
    QCOMPARE(monitor.value(QStringLiteral("items")).toObject().value(QStringLiteral("Current Speed")).toObject()
                 .value(QStringLiteral("unit")).toString(),
             QStringLiteral("rpm"));
    const auto status = QJsonDocument::fromJson(dashboard.last("e2e/axis1/status")->payload).object();
    QVERIFY(status.value(QStringLiteral("bits")).toObject().contains(QStringLiteral("SVON")));

    // The broker goes away for a second and comes back on the same port.
    broker.stop();
    const qsizetype before = dashboard.payloads("e2e/axis1/monitor").size();
    const qsizetype onlineBefore = dashboard.payloads("e2e/axis1/state").count("online");
    QTest::qWait(1000);
    QVERIFY(broker.start());
    // The dashboard's own client reconnects too; the tool announces itself
    // again and goes on.
    QTRY_VERIFY_WITH_TIMEOUT(dashboard.payloads("e2e/axis1/state").count("online") > onlineBefore, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(dashboard.payloads("e2e/axis1/monitor").size() > before + 3, 10000);

    cli.terminate();
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(dashboard.waitFor("e2e/axis1/state", "offline"));
    QCOMPARE(dashboard.last("e2e/bridge/state")->payload, QByteArray("offline"));
    drive.kill();
    drive.waitForFinished();
}

void TstCliMqtt::refusesABadBroker_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("said");
    QTest::newRow("a port out of range") << QStringList{QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:70000")}
                                         << QStringLiteral("port");
    QTest::newRow("a missing password file")
        << QStringList{QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1"), QStringLiteral("--username"),
                       QStringLiteral("u"), QStringLiteral("--password-file"), QStringLiteral("/nonexistent/pw")}
        << QStringLiteral("/nonexistent/pw");
}

void TstCliMqtt::refusesABadBroker()
{
    QFETCH(QStringList, options);
    QFETCH(QString, said);
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(ORVEX_CLI_BINARY),
              QStringList{QStringLiteral("monitor"), QStringLiteral("--port"), QStringLiteral("/dev/null"),
                          QStringLiteral("--items"), QStringLiteral("04"), QStringLiteral("--duration"),
                          QStringLiteral("1")} +
                  options);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 2);
    const QString output = QString::fromUtf8(cli.readAll());
    QVERIFY2(output.contains(said), qPrintable(output));
}

QTEST_GUILESS_MAIN(TstCliMqtt)
#include "tst_cli_mqtt.moc"
