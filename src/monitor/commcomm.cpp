#include "commcomm.h"

#include "link/drivelink.h"

CommComm::CommComm(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("CommComm"), QStringLiteral("Command Communication"), QStringLiteral("4"), parent), m_link(link)
{
}
