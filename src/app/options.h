#pragma once
// The command line: "--port N=DEVICE" (repeatable; DEVICE may be a network
// port, socket://HOST:PORT or rfc2217://HOST:PORT), "--parity none|even|odd",
// "--simulate", "--sim-arg OPTION" (repeatable), and --help, --help-all,
// --version. It is read before any window system is set up, so that these
// are answered, and a command line that cannot be used is refused, with no
// display at all. Qt's own options (-platform, -style, -display, ...) are
// taken and left for QApplication, which reads them itself.

#include <QList>
#include <QPair>
#include <QSerialPort>
#include <QString>
#include <QStringList>

struct Options {
    QList<QPair<int, QString>> ports;
    QSerialPort::Parity parity = QSerialPort::EvenParity;
    bool simulate = false;
    QStringList simulatorArgs;  // passed on to the simulated drive
    QString error;              // set when the command line cannot be used

    // Answered without running: the text of --help or --help-all (with Qt's
    // options), or --version asked for.
    QString help;
    bool version = false;

    // Qt's options that decide where the windows go, as given.
    QString platform;  // -platform NAME
    QString display;   // -display NAME (X11)
};

// arguments[0] is the program as started. Needs no QCoreApplication.
Options ParseOptions(const QStringList &arguments);
