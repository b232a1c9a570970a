// orvex-cli's MQTT secrets, with the real tool, a simulated drive and real
// mosquitto brokers: a password file's content never shows in anything the
// tool says when the connection fails, and a broker that requires a client
// certificate takes the one given with --tls-cert and --tls-key (a throwaway
// CA, certificates and keys made with openssl as the test runs).

#include "mqtttestbroker.h"

#include "sim/ptyserver.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <sys/stat.h>

using namespace mqtttest;

namespace {

const QByteArray Secret = "Secret-Word-8765";

// As root mosquitto would drop to its own user and could not read the
// test's files; anyone else stays who they are anyway.
QString stayAsWeAre()
{
    const passwd *me = ::getpwuid(::getuid());
    return me ? QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(me->pw_name)) : QString();
}

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool writeFile(const QString &path, const QByteArray &bytes, mode_t mode)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return false;
    f.close();
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// A CA, a certificate for the broker on 127.0.0.1 and one for the client.
bool makeCertificates(const QDir &dir)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) return false;
    const auto p = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const QStringList newKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    if (!writeFile(p("ext"), "subjectAltName=IP:127.0.0.1\n", 0600)) return false;
    return run(openssl, QStringList{"req", "-x509"} + newKey + QStringList{"-keyout", p("ca.key"), "-out", p("ca.crt"), "-days", "2", "-subj", "/CN=orvex-test-ca"})
        && run(openssl, QStringList{"req"} + newKey + QStringList{"-keyout", p("server.key"), "-out", p("server.csr"), "-subj", "/CN=127.0.0.1"})
        && run(openssl, {"x509", "-req", "-in", p("server.csr"), "-CA", p("ca.crt"), "-CAkey", p("ca.key"), "-CAcreateserial",
                         "-out", p("server.crt"), "-days", "2", "-extfile", p("ext")})
        && run(openssl, QStringList{"req"} + newKey + QStringList{"-keyout", p("client.key"), "-out", p("client.csr"), "-subj", "/CN=orvex-cli"})
        && run(openssl, {"x509", "-req", "-in", p("client.csr"), "-CA", p("ca.crt"), "-CAkey", p("ca.key"), "-CAcreateserial",
                         "-out", p("client.crt"), "-days", "2"})
        && ::chmod(QFile::encodeName(p("client.key")).constData(), 0600) == 0;
}

struct CliRun {
    int status = -1;
    QString output;  // standard output and standard error
};

// "monitor" on the drive for a while, publishing with the options given.
CliRun monitor(const QString &device, const QStringList &mqtt, const QString &duration = QStringLiteral("0.8"))
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(ORVEX_CLI_BINARY), QStringList{"monitor", "--port", device, "--items", "04", "--interval", "100",
                                                             "--duration", duration, "--json", "--topic", "sec"} + mqtt);
    CliRun r;
    if (!cli.waitForFinished(30000)) {
        cli.kill();
        cli.waitForFinished();
    }
    r.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    r.output = QString::fromUtf8(cli.readAll());
    return r;
}

struct Drive {
    sim::PtyServer server{[] {
        sim::ServerConfig c;
        c.paced = false;
        return c;
    }()};
    Drive()
    {
        if (!server.start()) qFatal("the simulated drive does not start");
    }
    QString device() const { return QString::fromStdString(server.devicePath()); }
};

}  // namespace

class TstCliMqttSecrets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void passwordNeverShown_data();
    void passwordNeverShown();
    void clientCertificate_data();
    void clientCertificate();
};

void TstCliMqttSecrets::initTestCase()
{
    QVERIFY2(!mosquittoBinary().isEmpty(), "mosquitto is not installed (scripts/setup.sh installs it)");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty(), "openssl is not installed (scripts/setup.sh installs it)");
}

void TstCliMqttSecrets::passwordNeverShown_data()
{
    QTest::addColumn<QString>("broker");  // "auth": wants another password; "none": nobody listens
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    // Nothing published in the whole run: the run failed.
    QTest::newRow("the broker refuses the password") << "auth" << 0600 << 1 << "refused the connection";
    QTest::newRow("no broker") << "none" << 0600 << 1 << "cannot connect";
    QTest::newRow("a password file others may read") << "auth" << 0644 << 2 << "chmod 600";
}

void TstCliMqttSecrets::passwordNeverShown()
{
    QFETCH(QString, broker);
    QFETCH(int, mode);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir dir;
    std::unique_ptr<Broker> b;
    int port = freePort();
    if (broker == u"auth") {
        const QString passwords = dir.filePath(QStringLiteral("passwords"));
        QVERIFY(run(QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd"), {"/usr/bin", "/usr/sbin"}),
                    {"-c", "-b", passwords, "orvex", "another-password"}));
        b = std::make_unique<Broker>(0, stayAsWeAre() + QStringLiteral("password_file %1\n").arg(passwords), false);
        QVERIFY(b->start());
        port = b->port();
    }
    const QString file = dir.filePath(QStringLiteral("pw"));
    QVERIFY(writeFile(file, Secret + '\n', static_cast<mode_t>(mode)));
    Drive drive;
    const CliRun r = monitor(drive.device(), {"--mqtt", QStringLiteral("127.0.0.1:%1").arg(port), "--username", "orvex",
                                              "--password-file", file});
    QCOMPARE(r.status, status);
    QVERIFY2(r.output.contains(says), qPrintable(r.output));
    QVERIFY2(!r.output.contains(QString::fromUtf8(Secret)), qPrintable(r.output));
}

void TstCliMqttSecrets::clientCertificate_data()
{
    QTest::addColumn<QStringList>("options");  // {dir} is the certificates' folder
    QTest::addColumn<int>("keyMode");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("published");
    QTest::addColumn<QString>("says");
    const QStringList ca{"--tls-ca", "{dir}/ca.crt"};
    const QStringList client{"--tls-cert", "{dir}/client.crt", "--tls-key", "{dir}/client.key"};
    QTest::newRow("with the client certificate") << ca + client << 0600 << 0 << true << "";
    QTest::newRow("without one") << ca << 0600 << 1 << false << "cannot connect to the MQTT broker";
    QTest::newRow("a key others may read") << ca + client << 0644 << 2 << false << "chmod 600";
    QTest::newRow("a certificate without its key") << ca + QStringList{"--tls-cert", "{dir}/client.crt"} << 0600 << 2 << false << "go together";
}

void TstCliMqttSecrets::clientCertificate()
{
    QFETCH(QStringList, options);
    QFETCH(int, keyMode);
    QFETCH(int, status);
    QFETCH(bool, published);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QVERIFY2(makeCertificates(QDir(dir.path())), "openssl could not make the certificates");
    QVERIFY(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("client.key"))).constData(), static_cast<mode_t>(keyMode)) == 0);
    // A plain listener for the dashboard, and one that requires a client certificate.
    const int tlsPort = freePort();
    Broker broker(0, stayAsWeAre() + QStringLiteral("listener %1 127.0.0.1\ncafile %2\ncertfile %3\nkeyfile %4\nrequire_certificate true\n")
                                         .arg(tlsPort)
                                         .arg(dir.filePath(QStringLiteral("ca.crt")), dir.filePath(QStringLiteral("server.crt")),
                                              dir.filePath(QStringLiteral("server.key"))));
    QVERIFY(broker.start());
    QTRY_VERIFY_WITH_TIMEOUT(portAccepts(tlsPort), 5000);
    Subscriber dashboard;
    QVERIFY(dashboard.connect(broker.port(), "sec/#"));
    Drive drive;
    options.replaceInStrings(QStringLiteral("{dir}"), dir.path());
    const CliRun r = monitor(drive.device(), QStringList{"--mqtt", QStringLiteral("127.0.0.1:%1").arg(tlsPort)} + options);
    QCOMPARE(r.status, status);
    if (!says.isEmpty()) QVERIFY2(r.output.contains(says), qPrintable(r.output));
    const QString name = QFileInfo(drive.device()).fileName();
    QCOMPARE(dashboard.last("sec/" + name.toUtf8() + "/monitor").has_value(), published);
}

QTEST_GUILESS_MAIN(TstCliMqttSecrets)
#include "tst_cli_mqtt_secrets.moc"
