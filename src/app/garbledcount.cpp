#include "garbledcount.h"

#include "drive/link/drivelink.h"

GarbledCount::GarbledCount(DriveLink &link, QWidget *parent) : QLabel(parent), m_link(link)
{
    setObjectName(QStringLiteral("garbledCount"));
    setAccessibleDescription(QStringLiteral("Garbled replies"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    hide();
    connect(&m_link, &DriveLink::replyGarbled, this, &GarbledCount::count);
}

void GarbledCount::count(const Request &request, const QString &why)
{
    const int n = m_link.garbledReplies();
    setText(n == 1 ? QStringLiteral("1 garbled reply not taken") : QStringLiteral("%1 garbled replies not taken").arg(n));
    const QByteArray &f = request.framed;
    const QString asked = QString::fromLatin1(f.mid(1, f.size() - 2)).left(24);
    setToolTip(QStringLiteral("The last: the reply to %1 (%2). A garbled reply is asked again, or given up, as a lost "
                              "one is; none is taken as a value.")
                   .arg(asked, why));
    show();
}
