#include "clitool.h"

#include "clicommand.h"
#include "clioptions.h"

#ifndef ORVEX_VERSION
#define ORVEX_VERSION "0"
#endif

namespace {

// The overview: a line a command from the table, between what the tool is
// and what every command shares.
QString overview()
{
    QString text = QStringLiteral(
        "Usage: orvex-cli COMMAND [options]\n"
        "Sets up and watches Tavix-DRIVE servo drives on serial ports, one or many at once.\n\n"
        "Commands:\n");
    for (const CliCommand &command : CliCommands()) {
        QString line = QStringLiteral("  ") + command.name.leftJustified(8) + u' ' + command.usage;
        if (!command.about.isEmpty()) line = line.leftJustified(30) + QStringLiteral("   ") + command.about;
        text += line + u'\n';
    }
    text += QStringLiteral(
        "\n"
        "Every drive command takes --port more than once, or --ports-from FILE, and runs on all\n"
        "the drives at once. A drive on a serial device server is named socket://HOST:PORT or\n"
        "rfc2217://HOST:PORT. File names may hold {name}, the device's file name (ttyUSB0), HOST_PORT\n"
        "for a network port.\n"
        "\"orvex-cli COMMAND --help\" tells a command's options, \"orvex-cli --help-all\" every command's.\n"
        "Exit status: 0 all drives succeeded, 1 a drive failed (diff: the sides differ), 2 bad input.\n");
    return text;
}

// The parser of a command: the shared options and its own.
void setUp(QCommandLineParser &p, const CliCommand &command)
{
    p.setApplicationDescription(QStringLiteral("orvex-cli %1").arg(command.name));
    AddCommonOptions(p, command.drives);
    if (command.addOptions) command.addOptions(p);
}

const CliCommand *findCommand(const QString &name)
{
    for (const CliCommand &command : CliCommands())
        if (command.name == name) return &command;
    return nullptr;
}

}  // namespace

QString SubstituteName(const QString &pattern, const QString &device)
{
    QString out = pattern;
    return out.replace(QStringLiteral("{name}"), DeviceName(device));
}

int RunCli(const QStringList &arguments, CliEnvironment &env)
{
    Context c(env);
    const QStringList args = arguments.mid(1);
    const QString name = args.value(0);
    if (name.isEmpty() || name == u"--help" || name == u"-h" || name == u"help") {
        *env.out << overview() << Qt::flush;
        return name.isEmpty() ? ExitUsage : ExitOk;
    }
    if (name == u"--help-all") {
        QString text = overview();
        for (const CliCommand &command : CliCommands()) {
            QCommandLineParser p;
            setUp(p, command);
            text += u'\n' + p.helpText();
        }
        *env.out << text << Qt::flush;
        return ExitOk;
    }
    if (name == u"--version" || name == u"-v") {
        *env.out << "orvex-cli " << ORVEX_VERSION << Qt::endl;
        return ExitOk;
    }
    const CliCommand *command = findCommand(name);
    if (!command) return c.output.usage(QStringLiteral("unknown command \"%1\"").arg(name));

    QCommandLineParser &p = c.parser;
    setUp(p, *command);
    QStringList words{arguments.value(0, QStringLiteral("orvex-cli")) + u' ' + name};
    words << args.mid(1);
    if (!p.parse(words)) return c.output.usage(p.errorText());
    // Answered before anything is checked or touched.
    if (p.isSet(QStringLiteral("help")) || p.isSet(QStringLiteral("help-all"))) {
        *env.out << p.helpText() << Qt::flush;
        return ExitOk;
    }
    if (p.isSet(QStringLiteral("version"))) {
        *env.out << "orvex-cli " << ORVEX_VERSION << Qt::endl;
        return ExitOk;
    }
    if (const QString e = TakeCommonOptions(c, command->drives); !e.isEmpty()) return c.output.usage(e);
    const QStringList positional = p.positionalArguments();
    if (!command->takesArguments && !positional.isEmpty())
        return c.output.usage(QStringLiteral("%1 takes no argument \"%2\"").arg(name, positional.first()));
    if (command->needsDrives)
        if (const QString e = NeedDrives(c); !e.isEmpty()) return c.output.usage(e);
    return command->run(c, positional);
}
