#include "options.h"

#include "drive/link/netportname.h"

#include <QCommandLineParser>

Options ParseOptions(const QStringList &arguments)
{
    Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Set-up and monitoring of a Tavix-DRIVE servo drive."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port number N is the serial device DEVICE, or a port on a serial device server: "
                                                 "socket://HOST:PORT or rfc2217://HOST:PORT (may be repeated)."),
                                  QStringLiteral("N=DEVICE"));
    const QCommandLineOption parity(QStringLiteral("parity"),
                                    QStringLiteral("Parity of the line: none, even (default) or odd."),
                                    QStringLiteral("none|even|odd"), QStringLiteral("even"));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Start a simulated drive and put it on port 1."));
    const QCommandLineOption simArg(QStringLiteral("sim-arg"),
                                    QStringLiteral("An option for the simulated drive (may be repeated)."),
                                    QStringLiteral("OPTION"));
    parser.addOptions({port, parity, simulate, simArg});
    parser.process(arguments);

    for (const QString &p : parser.values(port)) {
        const qsizetype eq = p.indexOf(QLatin1Char('='));
        bool ok = false;
        const int n = eq > 0 ? p.left(eq).toInt(&ok) : 0;
        if (!ok || n < 1 || n > 32767 || eq + 1 >= p.size()) {
            o.error = QStringLiteral("--port wants N=DEVICE with N from 1 to 32767, not \"%1\"").arg(p);
            return o;
        }
        const QString device = p.mid(eq + 1);
        QString why;
        if (IsNetPortName(device) && !ParseNetPortName(device, &why)) {
            o.error = QStringLiteral("--port: %1").arg(why);
            return o;
        }
        o.ports.append({n, device});
    }
    const QString par = parser.value(parity).toLower();
    if (par == u"none") o.parity = QSerialPort::NoParity;
    else if (par == u"even") o.parity = QSerialPort::EvenParity;
    else if (par == u"odd") o.parity = QSerialPort::OddParity;
    else o.error = QStringLiteral("--parity wants none, even or odd, not \"%1\"").arg(par);
    o.simulate = parser.isSet(simulate);
    o.simulatorArgs = parser.values(simArg);
    return o;
}
