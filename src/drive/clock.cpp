#include "clock.h"

#include <chrono>

QDateTime Clock::now() const { return QDateTime::currentDateTime(); }

qint64 Clock::epochMs() const { return QDateTime::currentMSecsSinceEpoch(); }

qint64 Clock::steadyMs() const
{
    using namespace std::chrono;
    return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const Clock &Clock::system()
{
    static const Clock clock;
    return clock;
}
