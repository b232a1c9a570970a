#include "mon2.h"

#include "link/drivelink.h"

Mon2::Mon2(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("Mon2"), QStringLiteral("Status Display"), QStringLiteral("2"), parent), m_link(link)
{
}
