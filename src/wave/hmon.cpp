#include "hmon.h"

#include "link/drivelink.h"

HMon::HMon(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("HMon"), QStringLiteral("Graphical Monitor"), QStringLiteral("3"), parent), m_link(link)
{
}
