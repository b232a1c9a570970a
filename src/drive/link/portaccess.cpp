#include "portaccess.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

QString PortAccessText(const QString &device, const QString &group)
{
    return QStringLiteral("You may not open %1: it belongs to the group \"%2\" and your user is not in it. "
                          "Add your user to that group (sudo usermod -aG %2 $USER), then log out and in again.")
        .arg(device, group);
}

QString PortAccessProblem(const QString &device)
{
#ifndef Q_OS_WIN
    struct stat st {};
    const QByteArray path = QFile::encodeName(device);
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0) return {};
    if (::access(path.constData(), R_OK | W_OK) == 0) return {};
    const struct group *g = ::getgrgid(st.st_gid);
    return PortAccessText(device, g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid));
#else
    Q_UNUSED(device);
    return {};
#endif
}
