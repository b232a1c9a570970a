#include "driveinfo.h"

#include "drive/monitor/monitorrules.h"

#include <QLocale>

void DriveInfo::setMotorModel(const QString &name)
{
    if (name.isEmpty() || name == m_motorModel) return;
    m_motorModel = name;
    Q_EMIT motorModelChanged(name);
}

void DriveInfo::setRomVersion(qint32 hundredths)
{
    if (m_romVersion == hundredths) return;
    m_romVersion = hundredths;
    Q_EMIT romVersionChanged(hundredths);
}

QString DriveInfo::romVersionText() const
{
    return m_romVersion ? RomVersionText(*m_romVersion, QLocale::system().decimalPoint()) : QString();
}

bool DriveInfo::jogShown() const
{
    const PanelLamps lamps = LampsFromState(m_commandState.value_or(0));
    return lamps.on[7] || lamps.on[8];
}

bool DriveInfo::highSpeedShown() const { return LampsFromState(m_commandState.value_or(0)).on[6]; }

void DriveInfo::setPoint(qint32 point)
{
    if (m_point == point) return;
    m_point = point;
    Q_EMIT pointChanged(point);
}

void DriveInfo::setCommandState(qint32 word)
{
    if (m_commandState == word) return;
    m_commandState = word;
    Q_EMIT commandStateChanged(word);
}
