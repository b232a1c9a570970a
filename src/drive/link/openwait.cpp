#include "openwait.h"

#include "drivelink.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

bool OpenPortAndWait(DriveLink &link, int timeoutMs, const std::function<bool()> &stopped,
                     const std::function<void(QEventLoop &)> &wakeOn)
{
    link.OpenPort();
    const QDeadlineTimer deadline(timeoutMs);
    while (!link.portOpen() && link.port().opening() && !deadline.hasExpired()) {
        if (stopped && stopped()) return false;
        QEventLoop loop;
        QObject::connect(&link.port(), &SerialIo::openSettled, &loop, &QEventLoop::quit);
        QTimer::singleShot(deadline.remainingTime(), &loop, &QEventLoop::quit);
        if (wakeOn) wakeOn(loop);
        loop.exec();
        if (stopped && stopped()) return false;
        link.OpenPort();
    }
    return link.portOpen();
}
