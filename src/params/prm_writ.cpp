#include "prm_writ.h"

#include "link/drivelink.h"

Prm_Writ::Prm_Writ(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("Prm_Writ"), QStringLiteral("Setting Parameters"), QStringLiteral(""), parent), m_link(link)
{
}
