#include "iomon.h"

#include "link/drivelink.h"

IOMon::IOMon(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("IOMon"), QStringLiteral("I/O Monitor"), QStringLiteral("1"), parent), m_link(link)
{
}
