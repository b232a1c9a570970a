// The programs' command lines answered without any window system: orvex's
// options read before QApplication (Qt's own let through), the check for a
// display, and the three programs run with no display at all.

#include "app/displaycheck.h"
#include "app/options.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void missingDisplay_data();
    void missingDisplay();
    void withoutADisplay_data();
    void withoutADisplay();
    void startsOnAPlatformThatNeedsNoDisplay();
};

void TstCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");   // a part of it; empty: none
    QTest::addColumn<QString>("answer");  // help, help-all, version, or what was read
    QTest::newRow("help") << QStringList{"--help"} << "" << "help";
    QTest::newRow("-h") << QStringList{"-h"} << "" << "help";
    QTest::newRow("help-all") << QStringList{"--help-all"} << "" << "help-all";
    QTest::newRow("version") << QStringList{"--version"} << "" << "version";
    QTest::newRow("-v") << QStringList{"-v"} << "" << "version";
    QTest::newRow("ports") << QStringList{"--port", "1=/dev/ttyUSB0", "--port=2=/dev/ttyS0"} << "" << "1=/dev/ttyUSB0 2=/dev/ttyS0";
    QTest::newRow("parity") << QStringList{"--parity", "ODD"} << "" << "parity 3";
    QTest::newRow("simulate") << QStringList{"--simulate", "--sim-arg=--seed=4", "--sim-arg", "--no-pace"} << "" << "simulate --seed=4 --no-pace";
    QTest::newRow("Qt's options taken") << QStringList{"-platform", "offscreen", "-style=fusion", "-reverse", "--qwindowtitle", "T", "-display", ":3"}
                                        << "" << "platform offscreen display :3";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "Unknown option 'frobnicate'" << "";
    QTest::newRow("port without number") << QStringList{"--port", "/dev/ttyUSB0"} << "--port wants N=DEVICE" << "";
    QTest::newRow("port 0") << QStringList{"--port", "0=/dev/ttyUSB0"} << "--port wants N=DEVICE" << "";
    QTest::newRow("port without device") << QStringList{"--port", "1="} << "--port wants N=DEVICE" << "";
    QTest::newRow("port beyond 32767") << QStringList{"--port", "32768=/dev/x"} << "--port wants N=DEVICE" << "";
    QTest::newRow("parity mark") << QStringList{"--parity", "mark"} << "--parity wants none, even or odd" << "";
    QTest::newRow("value missing") << QStringList{"--port"} << "Missing value after '--port'" << "";
}

void TstCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QFETCH(QString, answer);
    const Options o = ParseOptions(QStringList{QStringLiteral("/usr/bin/orvex")} + args);
    if (!error.isEmpty()) {
        QVERIFY2(o.error.contains(error), qPrintable(o.error));
        return;
    }
    QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
    if (answer.startsWith(u"help")) {
        // The program's name as started, and Qt's options only with --help-all.
        QVERIFY2(o.help.startsWith(u"Usage: /usr/bin/orvex [options]"), qPrintable(o.help));
        QVERIFY(o.help.contains(u"--sim-arg <OPTION>"));
        QCOMPARE(o.help.contains(u"--platform <platformName[:options]>"), answer == u"help-all");
        return;
    }
    QVERIFY(o.help.isEmpty());
    if (answer == u"version") {
        QVERIFY(o.version);
        return;
    }
    QStringList read;
    for (const auto &[n, device] : o.ports) read << QStringLiteral("%1=%2").arg(n).arg(device);
    if (o.parity != QSerialPort::EvenParity) read << QStringLiteral("parity %1").arg(o.parity);
    if (o.simulate) read << QStringLiteral("simulate") << o.simulatorArgs;
    if (!o.platform.isEmpty()) read << QStringLiteral("platform") << o.platform;
    if (!o.display.isEmpty()) read << QStringLiteral("display") << o.display;
    QCOMPARE(read.join(u' '), answer);
}

void TstCommandLine::missingDisplay_data()
{
    QTest::addColumn<QString>("platform");  // -platform
    QTest::addColumn<QString>("display");   // -display
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("missing");   // a part of the line; empty: the windows may be tried
    QTest::newRow("nothing") << "" << "" << QStringList{} << "neither DISPLAY nor WAYLAND_DISPLAY is set";
    QTest::newRow("X11") << "" << "" << QStringList{"DISPLAY=:0"} << "";
    QTest::newRow("Wayland") << "" << "" << QStringList{"WAYLAND_DISPLAY=wayland-1"} << "";
    QTest::newRow("Wayland's socket handed over") << "" << "" << QStringList{"WAYLAND_SOCKET=5"} << "";
    QTest::newRow("empty DISPLAY") << "" << "" << QStringList{"DISPLAY="} << "neither DISPLAY";
    QTest::newRow("offscreen") << "" << "" << QStringList{"QT_QPA_PLATFORM=offscreen"} << "";
    QTest::newRow("minimal") << "" << "" << QStringList{"QT_QPA_PLATFORM=minimal"} << "";
    QTest::newRow("vnc with options") << "" << "" << QStringList{"QT_QPA_PLATFORM=vnc:size=800x600"} << "";
    QTest::newRow("xcb with a display") << "" << "" << QStringList{"QT_QPA_PLATFORM=xcb", "DISPLAY=:1"} << "";
    QTest::newRow("xcb without") << "" << "" << QStringList{"QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=w"} << "\"xcb\": DISPLAY is not set";
    QTest::newRow("xcb, -display given") << "" << ":2" << QStringList{"QT_QPA_PLATFORM=xcb"} << "";
    QTest::newRow("wayland without") << "" << "" << QStringList{"QT_QPA_PLATFORM=wayland", "DISPLAY=:0"} << "WAYLAND_DISPLAY is not set";
    QTest::newRow("wayland, then xcb") << "" << "" << QStringList{"QT_QPA_PLATFORM=wayland;xcb", "DISPLAY=:0"} << "";
    QTest::newRow("wayland, then xcb, neither") << "" << "" << QStringList{"QT_QPA_PLATFORM=wayland;xcb"} << "neither DISPLAY nor WAYLAND_DISPLAY";
    QTest::newRow("-platform before the environment") << "offscreen" << "" << QStringList{"QT_QPA_PLATFORM=xcb"} << "";
    QTest::newRow("-platform xcb") << "xcb" << "" << QStringList{"QT_QPA_PLATFORM=offscreen"} << "DISPLAY is not set";
}

void TstCommandLine::missingDisplay()
{
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(QStringList, environment);
    QFETCH(QString, missing);
    QProcessEnvironment env;
    for (const QString &e : environment) env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
    const QString line = MissingDisplay(QStringLiteral("orvex"), platform, display, env);
    if (missing.isEmpty()) {
        QVERIFY2(line.isEmpty(), qPrintable(line));
        return;
    }
    QVERIFY2(line.contains(missing), qPrintable(line));
    // What to do about it, in the same line.
    QVERIFY(line.startsWith(u"orvex: ") && !line.contains(u'\n'));
    QVERIFY(line.contains(u"QT_QPA_PLATFORM=offscreen"));
}

namespace {

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(name));
    return env;
}

}  // namespace

void TstCommandLine::withoutADisplay_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("environment");  // added to one without a display
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");  // on stdout for status 0, else stderr
    const QString orvex = QStringLiteral(ORVEX_BINARY), cli = QStringLiteral(ORVEX_CLI_BINARY), sim = QStringLiteral(ORVEX_SIM_BINARY);
    QTest::newRow("orvex --help") << orvex << QStringList{"--help"} << QStringList{} << 0 << "--port <N=DEVICE>";
    QTest::newRow("orvex --help-all") << orvex << QStringList{"--help-all"} << QStringList{} << 0 << "--platform";
    QTest::newRow("orvex --version") << orvex << QStringList{"--version"} << QStringList{} << 0 << "ORVEX 1.21E";
    QTest::newRow("orvex-cli --help") << cli << QStringList{"--help"} << QStringList{} << 0 << "Commands:";
    QTest::newRow("orvex-cli --help-all") << cli << QStringList{"--help-all"} << QStringList{} << 0 << "--items <LIST>";
    QTest::newRow("orvex-cli --version") << cli << QStringList{"--version"} << QStringList{} << 0 << "orvex-cli ";
    QTest::newRow("orvex-cli status --help-all") << cli << QStringList{"status", "--help-all"} << QStringList{} << 0 << "--port <DEV>";
    QTest::newRow("orvex-cli status --version") << cli << QStringList{"status", "--version"} << QStringList{} << 0 << "orvex-cli ";
    QTest::newRow("orvex-drive-sim --help") << sim << QStringList{"--help"} << QStringList{} << 0 << "--link=PATH";
    QTest::newRow("orvex-drive-sim --help-all") << sim << QStringList{"--help-all"} << QStringList{} << 0 << "--link=PATH";
    QTest::newRow("orvex-drive-sim --version") << sim << QStringList{"--version"} << QStringList{} << 0 << "orvex-drive-sim ";
    QTest::newRow("orvex, unknown option") << orvex << QStringList{"--frobnicate"} << QStringList{} << 2 << "frobnicate";
    QTest::newRow("orvex, bad --port") << orvex << QStringList{"--port", "x"} << QStringList{} << 2 << "--port wants N=DEVICE";
    QTest::newRow("orvex, bad --sim-arg") << orvex << QStringList{"--simulate", "--sim-arg=--bogus"} << QStringList{} << 2 << "--bogus";
    QTest::newRow("orvex-drive-sim, unknown option") << sim << QStringList{"--bogus"} << QStringList{} << 2 << "--bogus";
    QTest::newRow("orvex-cli, unknown option") << cli << QStringList{"status", "--bogus"} << QStringList{} << 2 << "bogus";
    QTest::newRow("orvex for its windows") << orvex << QStringList{} << QStringList{} << 1 << "neither DISPLAY nor WAYLAND_DISPLAY is set";
    QTest::newRow("orvex on xcb") << orvex << QStringList{"-platform", "xcb"} << QStringList{} << 1 << "DISPLAY is not set";
    // A display named that nobody serves: Qt's plugin fails, and the program
    // still ends in one line without an abort.
    QTest::newRow("orvex, display away") << orvex << QStringList{} << QStringList{"DISPLAY=:7919"} << 1 << "could not connect to display :7919";
}

void TstCommandLine::withoutADisplay()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QStringList, environment);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QProcessEnvironment env = withoutDisplay();
    for (const QString &e : environment) env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(program, args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);  // no abort, no core dump
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QCOMPARE(p.exitCode(), status);
    if (status == 0) {
        QVERIFY2(out.contains(says), qPrintable(out));
        QVERIFY2(err.isEmpty(), qPrintable(err));
    } else {
        QVERIFY2(err.contains(says), qPrintable(err));
        QVERIFY(out.isEmpty());
    }
    // A display missing is told in one line, with how to run it.
    if (status == 1) {
        QCOMPARE(err.trimmed().count(u'\n'), 0);
        QVERIFY(err.contains(u"QT_QPA_PLATFORM=offscreen"));
    }
}

// A platform that needs no display is not refused: the program comes up
// and keeps running (it is ended here).
void TstCommandLine::startsOnAPlatformThatNeedsNoDisplay()
{
    QTemporaryDir dir;
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(ORVEX_BINARY), {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--port"),
                                          QStringLiteral("1=") + dir.filePath(QStringLiteral("no-such-tty"))});
    QVERIFY(p.waitForStarted());
    QVERIFY2(!p.waitForFinished(1500), qPrintable(p.readAllStandardError()));
    p.kill();
    p.waitForFinished();
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
