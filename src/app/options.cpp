#include "options.h"

#include "drive/link/netportname.h"

#include <QCommandLineParser>

namespace {

// The options QGuiApplication, QApplication, the X11 platform and
// QCoreApplication take from the command line. Accepted here so that a
// command line using them is not refused before QApplication has taken them
// out; shown by --help-all only.
struct QtOption {
    const char *name;
    const char *valueName;  // nullptr: a flag
    const char *description;
};
constexpr QtOption QtOptions[] = {
    {"platform", "platformName[:options]", "QPA plugin. See QGuiApplication documentation for available options for each plugin."},
    {"platformpluginpath", "path", "Path to the platform plugins."},
    {"platformtheme", "theme", "Platform theme."},
    {"plugin", "plugin", "Additional plugins to load, can be specified multiple times."},
    {"qwindowgeometry", "geometry", "Window geometry for the main window, using the X11-syntax, like 100x100+50+50."},
    {"qwindowicon", "icon", "Default window icon."},
    {"qwindowtitle", "title", "Title of the first window."},
    {"reverse", nullptr, "Sets the application's layout direction to Qt::RightToLeft (debugging helper)."},
    {"session", "session", "Restores the application from an earlier session."},
    {"style", "style", "The widget style (Fusion, Windows, ...)."},
    {"stylesheet", "file", "A style sheet for the whole program."},
    {"widgetcount", nullptr, "Prints how many widgets were left at the end (debugging helper)."},
    {"display", "display", "X11: display name, overrides $DISPLAY."},
    {"name", "name", "X11: instance name according to ICCCM 4.1.2.5."},
    {"visual", "id", "X11: ID of the X11 Visual to use."},
    {"geometry", "geometry", "X11: alias for --qwindowgeometry."},
    {"icon", "icon", "X11: alias for --qwindowicon."},
    {"title", "title", "X11: alias for --qwindowtitle."},
    {"nograb", nullptr, "X11: disable mouse grabbing (useful in debuggers)."},
    {"dograb", nullptr, "X11: force mouse grabbing (even when running in a debugger)."},
    {"testability", nullptr, "Loads the testability plugin."},
    {"qmljsdebugger", "value", "Activates the QML/JS debugger with a specified port. The value must be of format "
                               "port:1234[,block]. \"block\" makes the application wait for a connection."},
};

void addQtOptions(QCommandLineParser &parser, bool shown)
{
    for (const QtOption &o : QtOptions) {
        QCommandLineOption option(QString::fromLatin1(o.name), QString::fromLatin1(o.description));
        if (o.valueName) option.setValueName(QString::fromLatin1(o.valueName));
        if (!shown) option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

}  // namespace

Options ParseOptions(const QStringList &arguments)
{
    Options o;
    const bool helpAll = arguments.contains(QStringLiteral("--help-all")) || arguments.contains(QStringLiteral("-help-all"));
    QCommandLineParser parser;
    // Qt's options are written with one dash ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
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
    addQtOptions(parser, helpAll);

    if (!parser.parse(arguments)) {
        o.error = parser.errorText();
        return o;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // The first line names the program as started: without a
        // QCoreApplication the parser cannot know it.
        const QString text = parser.helpText();
        o.help = QStringLiteral("Usage: %1 [options]").arg(arguments.value(0, QStringLiteral("orvex"))) + text.mid(text.indexOf(u'\n'));
        return o;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        o.version = true;
        return o;
    }
    o.platform = parser.value(QStringLiteral("platform"));
    o.display = parser.value(QStringLiteral("display"));

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
