#pragma once
// The clocks the program reads, as one service handed to whoever needs the
// time: the wall clock (the time an alarm or a trend value is stamped with,
// the time a note shows) and a count of milliseconds that never goes back
// (how old a value is). main() uses the system's; a test hands in its own
// and moves it.

#include <QDateTime>
#include <QtGlobal>

class Clock {
public:
    virtual ~Clock() = default;

    // The local wall-clock time.
    virtual QDateTime now() const;
    // The wall clock as milliseconds since the epoch (no time zone looked at).
    virtual qint64 epochMs() const;
    // Milliseconds on a clock that never goes back.
    virtual qint64 steadyMs() const;

    // The system's clocks, for the program's whole run.
    static const Clock &system();
};
