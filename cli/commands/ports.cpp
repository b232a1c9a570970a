// orvex-cli ports: the serial ports and what they are, numbered as the port
// dialog numbers them.

#include "clicommand.h"

#include "drive/link/portmap.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

int run(Context &c, const QStringList &)
{
    const QList<PortEntry> ports = PortMap().list();
    if (c.output.json) {
        QJsonArray a;
        for (const PortEntry &e : ports)
            a.append(QJsonObject{{QStringLiteral("number"), e.number}, {QStringLiteral("device"), e.device},
                                 {QStringLiteral("description"), e.description}});
        c.output.out() << QJsonDocument(a).toJson() << Qt::flush;
        return ExitOk;
    }
    if (ports.isEmpty() && !c.output.quiet) c.output.out() << "(no serial ports found)" << Qt::endl;
    for (const PortEntry &e : ports) c.output.out() << e.number << '\t' << e.device << '\t' << e.description << Qt::endl;
    return ExitOk;
}

}  // namespace

CliCommand PortsCommand()
{
    CliCommand command;
    command.name = QStringLiteral("ports");
    command.about = QStringLiteral("the serial ports and what they are");
    command.drives = false;
    command.needsDrives = false;
    command.run = run;
    return command;
}
