// orvex: the command line is read first, without any window system, so that
// --help, --help-all, --version and a command line that cannot be used are
// answered with no display at all; then the windows need somewhere to go,
// and a missing display is said in one line instead of Qt's abort.

#include "app/displaycheck.h"
#include "app/mditbl.h"
#include "app/options.h"
#include "app/netportsettings.h"
#include "common/filechooser.h"
#include "drive/link/portio.h"
#include "drive/session.h"
#include "resources/bitmaps.h"
#include "sim/ptyserver.h"
#include "sim/serverargs.h"

#include <QApplication>
#include <QScreen>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr char ProgramName[] = "orvex";

void print(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

// While QApplication is being built: the platform plugin's warnings are held,
// and the fatal message that follows when no plugin could be set up (a
// display that does not answer, a plugin that is missing) ends the program in
// one line with the plugin's reason and no abort, so no core dump.
namespace startup {
QtMessageHandler previous = nullptr;
struct Held {
    QtMsgType type;
    const char *file;
    int line;
    const char *function;
    const char *category;  // the categories' names are static
    QString text;
};
std::vector<Held> held;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held.push_back({type, context.file, context.line, context.function, context.category, text});
        return;
    }
    // The platform plugin's own words say what failed ("could not connect to display :9").
    QString why = text.section(u'\n', 0, 0);
    for (const Held &m : held)
        if (m.category && QByteArrayView(m.category).startsWith("qt.qpa")) {
            why = m.text.section(u'\n', 0, 0);
            break;
        }
    print(stderr, QStringLiteral("%1: cannot show its windows (%2); start it in a desktop session (or over ssh -X), or set "
                                 "QT_QPA_PLATFORM=offscreen to run it without a display, as the tests do.\n")
                      .arg(QString::fromLatin1(ProgramName), why.trimmed()));
    std::_Exit(1);
}

void begin() { previous = qInstallMessageHandler(handler); }

// Built: what was held goes on as it would have.
void end()
{
    qInstallMessageHandler(previous);
    for (const Held &m : held)
        if (previous) previous(m.type, QMessageLogContext(m.file, m.line, m.function, m.category), m.text);
    held.clear();
}
}  // namespace startup

// The simulated drive of "--simulate", served on a pseudo-terminal by a
// thread of its own; nothing when it cannot start (the user has been told).
std::unique_ptr<sim::PtyServer> startSimulatedDrive(const sim::ServerConfig &config)
{
    auto server = std::make_unique<sim::PtyServer>(config);
    std::string error;
    if (!server->start(&error)) {
        QMessageBox::critical(nullptr, QStringLiteral("ORVEX"),
                              QStringLiteral("The simulated drive cannot start: %1").arg(QString::fromStdString(error)));
        return nullptr;
    }
    return server;
}

}  // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = ParseOptions(arguments);
    const QString program = QString::fromLatin1(ProgramName);
    if (!options.error.isEmpty()) {
        print(stderr, QStringLiteral("%1: %2\nTry \"%1 --help\".\n").arg(program, options.error));
        return 2;
    }
    if (!options.help.isEmpty()) {
        print(stdout, options.help);
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("ORVEX 1.21E\n"));
        return 0;
    }
    sim::ServerConfig simulator;
    if (options.simulate) {
        std::vector<std::string> args;
        for (const QString &a : options.simulatorArgs) args.push_back(a.toStdString());
        const sim::ServerArgs parsed = sim::ParseServerArgs(args);
        if (parsed.help || parsed.version) {
            print(stdout, QStringLiteral("--sim-arg takes these options of the simulated drive:\n%1").arg(QString::fromUtf8(sim::ServerArgsHelp())));
            return 0;
        }
        if (!parsed.error.empty()) {
            print(stderr, QStringLiteral("%1: --sim-arg: %2").arg(program, QString::fromStdString(parsed.error)));
            return 2;
        }
        simulator = parsed.config;
    }
    if (const QString missing = MissingDisplay(program, options.platform, options.display, QProcessEnvironment::systemEnvironment());
        !missing.isEmpty()) {
        print(stderr, missing + u'\n');
        return 1;
    }

    startup::begin();
    QApplication app(argc, argv);
    startup::end();
    QApplication::setApplicationName(QStringLiteral("ORVEX"));
    QApplication::setApplicationVersion(QStringLiteral("1.21E"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(AppIconBitmap(size));
    QApplication::setWindowIcon(icon);

    PortMap map;
    for (const auto &[number, device] : options.ports) map.setExplicit(number, device);

    // Declared before the port, so the port is closed before the drive stops.
    std::unique_ptr<sim::PtyServer> simulatedDrive;
    bool simulatedOnPort1 = false;
    if (options.simulate) {
        simulatedDrive = startSimulatedDrive(simulator);
        if (!simulatedDrive) return 1;
        if (!map.hasExplicit(1)) {
            map.setExplicit(1, QString::fromStdString(simulatedDrive->devicePath()));
            simulatedOnPort1 = true;
        }
    }
    PortIo port(map, options.parity);
    // The network ports chosen in the port dialog before, where the command
    // line does not give their numbers to something else.
    for (const RememberedNetPort &p : RememberedNetworkPorts())
        if (!port.portMap().hasExplicit(p.number)) port.setNetworkPort(p.number, p.name);

    // The program's state, over the port: it outlives the windows, which are
    // views of it; files are chosen in Qt's file dialog.
    Session session(port);
    DialogFileChooser files;
    MDItbl window(session, files, [&port] { return port.portMap().list(); });
    QObject::connect(&window, &MDItbl::programEnded, &app, [] { QApplication::exit(0); });
    if (simulatedOnPort1) {
        // This session talks to the simulated drive whatever the port file
        // says; the file itself changes only through the port dialog.
        session.portSettings.PortNo = 1;
        session.portSettings.OfflineMode = 0;
        session.portSettings.SavePortSettings();
    }
    // As the user left it where that is still on a screen; otherwise at the
    // size of the start-up arrangement where the screen allows, else
    // maximised (the window area scrolls where even that is too small).
    if (window.restoreLayout()) {
        if (window.restoredMaximized()) window.showMaximized();
        else window.show();
    } else {
        const QRect screen = window.screen()->availableGeometry();
        const QSize wanted = window.preferredSize();
        // Cascaded windows get all the room there is.
        const bool cascaded = window.arrangement().kind == WindowLayout::Kind::Cascade;
        if (cascaded || wanted.width() > screen.width() || wanted.height() > screen.height() - 40)
            window.showMaximized();
        else window.show();
    }
    return QApplication::exec();
}
