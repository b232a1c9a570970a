#include "alarm.h"

#include "link/drivelink.h"

Alarm::Alarm(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("Alarm"), QStringLiteral("Alarm Display"), QStringLiteral("0"), parent), m_link(link)
{
}
