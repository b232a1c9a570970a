#pragma once
// The command line: "--port N=DEVICE" (repeatable; DEVICE may be a network
// port, socket://HOST:PORT or rfc2217://HOST:PORT), "--parity none|even|odd",
// "--simulate".

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
};

Options ParseOptions(const QStringList &arguments);
