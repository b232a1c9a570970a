#pragma once
// A clock a test moves, handed in where the program takes the system's.

#include "drive/clock.h"

#include <QDateTime>

// A clock that stands still until the test moves it: `ms` milliseconds after
// `start`, on both the wall clock and the steady count. Each reading is
// counted.
class ManualClock : public Clock {
public:
    explicit ManualClock(const QDateTime &start = QDateTime(QDate(2026, 12, 7), QTime(14, 3, 19, 900)))
        : start(start)
    {
    }
    QDateTime start;
    qint64 ms = 0;
    mutable int reads = 0;

    QDateTime now() const override
    {
        ++reads;
        return start.addMSecs(ms);
    }
    qint64 epochMs() const override
    {
        ++reads;
        return start.toMSecsSinceEpoch() + ms;
    }
    qint64 steadyMs() const override
    {
        ++reads;
        return ms;
    }
};

// The system's clocks moved on by `ms`, which the test adds to: time the
// program would have waited for passes at once, and everything else goes on
// as with the system's clock (at 0 it is that clock).
class ShiftedClock : public Clock {
public:
    qint64 ms = 0;

    QDateTime now() const override { return Clock::system().now().addMSecs(ms); }
    qint64 epochMs() const override { return Clock::system().epochMs() + ms; }
    qint64 steadyMs() const override { return Clock::system().steadyMs() + ms; }
};
