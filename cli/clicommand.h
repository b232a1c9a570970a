#pragma once
// orvex-cli's commands as a table: each has a name, its line in the
// overview, the options it adds to the shared ones, and a run that takes the
// parsed command line and gives the exit status. One file a command lives in
// commands/; RunCli (clitool.cpp) parses and dispatches.

#include "clioutput.h"
#include "drivesession.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Everything a command's run needs: the parsed command line, the drives and
// their sessions' settings, and the output.
struct Context {
    explicit Context(CliEnvironment &e) : env(e), output(e), stop(e.stop ? *e.stop : ownStop) {}
    CliEnvironment &env;
    CliOutput output;
private:
    StopRequest ownStop;
public:
    // Stops the run: SIGINT or SIGTERM, or a part of it that cannot go on.
    StopRequest &stop;
    QCommandLineParser parser;
    QStringList devices;     // --port and --ports-from, in the order given
    SessionOptions session;  // --parity, --retries, --replies-whole
};

struct CliCommand {
    QString name;
    QString usage;  // what follows the name in the overview ("--port DEV")
    QString about;  // what it does, in the overview; may be empty
    bool drives = true;          // takes the drive options (--port, --parity, ...)
    bool needsDrives = true;     // refused without a drive before it runs
    bool takesArguments = false; // words after the command (read, write FILE, diff A B)
    std::function<void(QCommandLineParser &)> addOptions;
    std::function<int(Context &, const QStringList &arguments)> run;
};

// The commands in the order the overview lists them.
const std::vector<CliCommand> &CliCommands();

CliCommand PortsCommand();
CliCommand StatusCommand();
CliCommand ParamsCommand();
CliCommand PointsCommand();
CliCommand CaptureCommand();
CliCommand AlarmsCommand();
CliCommand MonitorCommand();
