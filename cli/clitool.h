#pragma once
// The command-line tool's commands, run in-process: RunCli takes the words of
// a command line and gives the exit status. Each drive named with --port or
// --ports-from gets its own thread, port and link; the results come back as
// one line (or JSON object) a drive, in the order the ports were named.
// The commands are a table (clicommand.h), a file each in commands/; the
// options they share are in clioptions.h, what they print in clioutput.h.
//
// Exit status: 0 when every drive succeeded, 1 when one failed (a diff: the
// two sides differ), 2 for a command line or input file that cannot be used.

#include "monitorsample.h"
#include "stoprequest.h"

#include <QStringList>
#include <QTextStream>
#include <functional>
#include <optional>

struct CliEnvironment {
    QTextStream *out = nullptr;  // results
    QTextStream *err = nullptr;  // messages, and progress when it is a terminal
    bool progress = false;       // stderr is a terminal
    int tickMs = 100;            // the links' tick (a lost reply takes 16)
    PublisherFactory publisher;  // --mqtt; empty: not built in
    // SIGINT and SIGTERM: every command stops within a second when it is
    // requested (a write after its current block). Empty: the run makes a
    // request of its own that only the run itself makes.
    StopRequest *stop = nullptr;
    // Asks for a secret (the maker's password) at the terminal, without
    // echo. Nothing with error empty: there is no terminal; with error set:
    // it could not be read (Ctrl+C). Empty: there is never a terminal.
    std::function<std::optional<QString>(const QString &prompt, QString *error)> askSecret;
};

// arguments[0] is the program's name.
int RunCli(const QStringList &arguments, CliEnvironment &env);

// "{name}" in a file name replaced by the device's file name ("ttyUSB0" for
// /dev/ttyUSB0; "gw1_4001" for rfc2217://gw1:4001).
QString SubstituteName(const QString &pattern, const QString &device);
