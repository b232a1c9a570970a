// "orvex-cli monitor" as a bridge for a plant: two drives, each behind a
// ser2net of its own, published to a real mosquitto broker. One ser2net is
// killed and started again: only its drive goes offline meanwhile, the other
// is published throughout, and the first comes back by itself.

#include "mqtttestbroker.h"
#include "ser2nettestutil.h"

#include "sim/ptyserver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <memory>

class TstCliBridge : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneServerLostAndBack();
};

void TstCliBridge::oneServerLostAndBack()
{
    QVERIFY2(!mqtttest::mosquittoBinary().isEmpty(), "mosquitto is not installed (scripts/setup.sh installs it)");
    QVERIFY2(!ser2nettest::ser2netBinary().isEmpty(), "ser2net is not installed (scripts/setup.sh installs it)");
    mqtttest::Broker broker;
    QVERIFY(broker.start());
    mqtttest::Subscriber dashboard;
    QVERIFY(dashboard.connect(broker.port(), "plant/#"));

    std::vector<std::unique_ptr<sim::PtyServer>> drives;
    std::vector<std::unique_ptr<ser2nettest::Server>> servers;
    QList<ser2nettest::Port> ports;
    for (int i = 0; i < 2; ++i) {
        sim::ServerConfig c;
        c.paced = false;
        drives.push_back(std::make_unique<sim::PtyServer>(c));
        QVERIFY(drives.back()->start());
        ports << ser2nettest::Port{QString::fromStdString(drives.back()->devicePath()), true, QStringLiteral("9600e81"), ser2nettest::freePort()};
        servers.push_back(std::make_unique<ser2nettest::Server>(QList<ser2nettest::Port>{ports.back()}));
        QVERIFY2(servers.back()->start(), qPrintable(servers.back()->output()));
    }
    const QByteArray topic[] = {"plant/127.0.0.1_" + QByteArray::number(ports[0].tcpPort),
                                "plant/127.0.0.1_" + QByteArray::number(ports[1].tcpPort)};

    // The ports as the example configuration lists them.
    QTemporaryDir dir;
    QFile list(dir.filePath(QStringLiteral("ports")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("# drives of line 1\n" + servers[0]->name().toUtf8() + "\n" + servers[1]->name().toUtf8() + "  # axis 2\n");
    list.close();
    QProcess bridge;
    bridge.setProcessChannelMode(QProcess::MergedChannels);
    bridge.start(QStringLiteral(ORVEX_CLI_BINARY),
                 {QStringLiteral("monitor"), QStringLiteral("--ports-from"), list.fileName(), QStringLiteral("--items"),
                  QStringLiteral("04"), QStringLiteral("--interval"), QStringLiteral("100"), QStringLiteral("--duration"),
                  QStringLiteral("0"), QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                  QStringLiteral("--topic"), QStringLiteral("plant"), QStringLiteral("--quiet")});
    QVERIFY(bridge.waitForStarted());
    QVERIFY(dashboard.waitFor(topic[0] + "/state", "online"));
    QVERIFY(dashboard.waitFor(topic[1] + "/state", "online"));
    QTRY_VERIFY_WITH_TIMEOUT(dashboard.payloads(topic[0] + "/monitor").size() > 3, 5000);

    servers[0]->kill();
    QVERIFY(dashboard.waitFor(topic[0] + "/state", "offline", 5000));
    // The other drive goes on meanwhile.
    const qsizetype second = dashboard.payloads(topic[1] + "/monitor").size();
    const qsizetype first = dashboard.payloads(topic[0] + "/monitor").size();
    QTest::qWait(1500);
    QVERIFY(dashboard.payloads(topic[1] + "/monitor").size() > second + 8);
    QCOMPARE(dashboard.payloads(topic[0] + "/monitor").size(), first);

    servers[0] = std::make_unique<ser2nettest::Server>(QList<ser2nettest::Port>{ports[0]});
    QVERIFY2(servers[0]->start(), qPrintable(servers[0]->output()));
    QTRY_VERIFY_WITH_TIMEOUT(dashboard.payloads(topic[0] + "/monitor").size() > first + 3, 8000);
    QCOMPARE(dashboard.last(topic[0] + "/state")->payload, QByteArray("online"));

    bridge.terminate();  // as systemd stops the service
    QVERIFY(bridge.waitForFinished(10000));
    const QString output = QString::fromUtf8(bridge.readAll());
    // The drive that was lost for a while says so at the end; the other does not.
    QCOMPARE(bridge.exitCode(), 1);
    QVERIFY2(output.contains(QStringLiteral("127.0.0.1_%1").arg(ports[0].tcpPort)) && output.contains(u"polls failed"), qPrintable(output));
    QVERIFY2(!output.contains(QStringLiteral("127.0.0.1_%1 (").arg(ports[1].tcpPort)), qPrintable(output));
    for (auto &d : drives) d->stop();
}

QTEST_GUILESS_MAIN(TstCliBridge)
#include "tst_cli_bridge.moc"
