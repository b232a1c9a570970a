#include "session.h"

#include "drive/link/serialio.h"

Session::Session(SerialIo &port, const SessionSetup &setup, QObject *parent)
    : QObject(parent),
      link(portSettings, port),
      alarmLog(setup.alarmLogPath, setup.clock ? *setup.clock : Clock::system()),
      m_port(port),
      m_clock(setup.clock ? *setup.clock : Clock::system()),
      m_options(LoadUserOptions())
{
    // Every change of the alarms the drive reports, from the start, whether
    // or not the log's window is ever opened; each entry names the drive's
    // port (two programs on two drives log into one file).
    alarmLog.watch(link);
    alarmLog.setPort(portName());
    connect(&link, &DriveLink::portStatusChanged, &alarmLog, [this] { alarmLog.setPort(portName()); });
    applyOptions();
}

Session::~Session() = default;

void Session::setOption(bool UserOptions::*flag, bool on)
{
    m_options.*flag = on;
    applyOptions();
    SaveUserOptions(m_options);
    Q_EMIT optionsChanged(m_options);
}

void Session::useOptions(const UserOptions &options)
{
    m_options = options;
    applyOptions();
    Q_EMIT optionsChanged(m_options);
}

void Session::applyOptions()
{
    link.setKeepAllLive(m_options.keepAllMonitorsLive);
    link.port().setRepliesWhole(m_options.takeRepliesWhole);
    alarmLog.setAskForNames(m_options.nameAlarmsInLog);
}

QString Session::portName() const
{
    const QString device = m_port.describe();
    if (!device.isEmpty()) return device;
    return portSettings.OfflineMode == 1 ? QStringLiteral("offline") : QStringLiteral("COM%1").arg(portSettings.PortNo);
}
