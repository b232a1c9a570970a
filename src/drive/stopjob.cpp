#include "stopjob.h"

#include <algorithm>

StopJob::StopJob(DriveLink &link, bool jogShown, bool highSpeedShown, QObject *parent)
    : DriveJob(link, QString(), parent), m_jogShown(jogShown), m_highSpeedShown(highSpeedShown)
{
    m_check.setInterval(50);
    connect(&m_check, &QTimer::timeout, this, &StopJob::check);
    connect(this, &DriveJob::finished, this, [this] {
        m_check.stop();
        disconnect(m_replies);
        this->link().setQuietTimeouts(false);
    });
}

void StopJob::begin()
{
    DriveLink &l = link();
    setSteps(1);
    if (l.settings().OfflineMode != 0 || !l.portOpen()) {
        finish(Ending::Done);
        return;
    }
    const bool highSpeed = l.highSpeedOn() || m_highSpeedShown;
    if (l.jogStarted() || m_jogShown || highSpeed) {
        // A stop is never replaced in the slot, so both go out, "JOGOFF" first.
        l.setCommand("JOGOFF");
        if (highSpeed) l.setCommand("HSOFF");
        m_motionStopped = true;
    }
    l.setQuietTimeouts(true);
    // A question still open is answered as Cancel would be: the stops that
    // wait go out first.
    if (l.awaitingDecision()) l.giveUp();
    const RequestQueue &q = l.requests();
    const auto stops = std::count_if(q.kept().cbegin(), q.kept().cend(), [](const Request &r) { return r.isStop(); }) +
                       (q.slot() && q.slot()->isStop() ? 1 : 0);
    m_boundMs = WaitPerStopMs * (1 + stops);
    m_since.start();
    m_replies = connect(&l, &DriveLink::replyDecoded, this, &StopJob::check);
    m_check.start();
    check();
}

void StopJob::check()
{
    if (!running()) return;
    DriveLink &l = link();
    if (l.settings().OfflineMode == 0 && l.portOpen() && l.stopOutstanding() && m_since.elapsed() <= m_boundMs) return;
    if (advance()) finish(Ending::Done);
}
