#include "openwait.h"

#include "drivelink.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

bool OpenPortAndWait(DriveLink &link, int timeoutMs)
{
    link.OpenPort();
    const QDeadlineTimer deadline(timeoutMs);
    while (!link.portOpen() && link.port().opening() && !deadline.hasExpired()) {
        QEventLoop loop;
        QObject::connect(&link.port(), &SerialIo::openSettled, &loop, &QEventLoop::quit);
        QTimer::singleShot(deadline.remainingTime(), &loop, &QEventLoop::quit);
        loop.exec();
        link.OpenPort();
    }
    return link.portOpen();
}
