#include "tbl_writ.h"

#include "link/drivelink.h"

Tbl_Writ::Tbl_Writ(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("Tbl_Writ"), QStringLiteral("Point Table"), QStringLiteral(""), parent), m_link(link)
{
}
