#include "prm_writ.h"

#include "link/drivelink.h"

#include <QLineEdit>

Prm_Writ::Prm_Writ(DriveLink &link, QWidget *parent)
    : ChildWindow(QStringLiteral("Prm_Writ"), QStringLiteral("Setting Parameters"), QString(), parent), m_link(link)
{
    for (int k = 0; k < ParamCount; ++k) {
        TxtPrm[k] = new QLineEdit(QStringLiteral("0"), this);
        TxtPrm[k]->setObjectName(QStringLiteral("TxtPrm(%1)").arg(k));
        TxtPrm[k]->hide();
    }
}
