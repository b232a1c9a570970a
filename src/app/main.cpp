#include "app/mditbl.h"
#include "app/options.h"
#include "app/netportsettings.h"
#include "drive/link/portio.h"
#include "resources/bitmaps.h"
#include "sim/ptyserver.h"
#include "sim/serverargs.h"

#include <QApplication>
#include <QScreen>
#include <QMessageBox>
#include <memory>

namespace {

// The simulated drive of "--simulate", served on a pseudo-terminal by a
// thread of its own; nothing when it cannot start (the user has been told).
std::unique_ptr<sim::PtyServer> startSimulatedDrive(const QStringList &simulatorArgs)
{
    std::vector<std::string> args;
    for (const QString &a : simulatorArgs) args.push_back(a.toStdString());
    const sim::ServerArgs parsed = sim::ParseServerArgs(args);
    if (!parsed.error.empty() || parsed.help) {
        QMessageBox::critical(nullptr, QStringLiteral("ORVEX"),
                              QStringLiteral("--sim-arg: %1").arg(QString::fromStdString(
                                  parsed.error.empty() ? std::string("options are:\n") + sim::ServerArgsHelp() : parsed.error)));
        return nullptr;
    }
    auto server = std::make_unique<sim::PtyServer>(parsed.config);
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVEX"));
    QApplication::setApplicationVersion(QStringLiteral("1.21E"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(AppIconBitmap(size));
    QApplication::setWindowIcon(icon);

    const Options options = ParseOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("ORVEX"), options.error);
        return 2;
    }
    PortMap map;
    for (const auto &[number, device] : options.ports) map.setExplicit(number, device);

    // Declared before the port, so the port is closed before the drive stops.
    std::unique_ptr<sim::PtyServer> simulatedDrive;
    bool simulatedOnPort1 = false;
    if (options.simulate) {
        simulatedDrive = startSimulatedDrive(options.simulatorArgs);
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

    MDItbl window(port, [&port] { return port.portMap().list(); });
    if (simulatedOnPort1) {
        // This session talks to the simulated drive whatever the port file
        // says; the file itself changes only through the port dialog.
        window.portSettings.PortNo = 1;
        window.portSettings.OfflineMode = 0;
        window.portSettings.SavePortSettings();
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
