#pragma once
// Quitting: every stop that waits, is kept or is in flight goes out and is
// answered before the program ends, its reply waited for at most the link's
// time-out and given up then without the question. A jog or high speed that
// may still run is stopped first with "JOGOFF" (and "HSOFF"). The job is done
// once no stop is outstanding: at once after the last stop's reply, at once
// when offline or with the port closed, where nothing can be written.

#include "drive/drivejob.h"

#include <QElapsedTimer>
#include <QTimer>

class StopJob : public DriveJob {
    Q_OBJECT
public:
    // What the windows know of motion beside the link's own record: the last
    // status shows a jog, the panel shows high speed.
    StopJob(DriveLink &link, bool jogShown, bool highSpeedShown, QObject *parent = nullptr);

    // The longest wait for each stop outstanding (and for the request in
    // flight before them): a link that stopped turning is not waited for
    // longer than that.
    static constexpr int WaitPerStopMs = 2000;
    // "JOGOFF" (and "HSOFF") were queued by this job.
    bool motionStopped() const { return m_motionStopped; }

protected:
    void begin() override;
    void take(const Reply &) override {}

private:
    void check();

    bool m_jogShown;
    bool m_highSpeedShown;
    bool m_motionStopped = false;
    QTimer m_check;
    QElapsedTimer m_since;
    qint64 m_boundMs = 0;
    QMetaObject::Connection m_replies;
};
