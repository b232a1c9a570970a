#pragma once
// Opening the link's port where a program waits for it (the command-line
// tool): as the tick opens it, but a network connection being made is waited
// for, the event loop running, rather than retried at the next tick.

class DriveLink;

#include <functional>

class QEventLoop;

// True when the port is open; at most timeoutMs is spent waiting. stopped,
// when given, ends the wait when it comes true; it is asked whenever the
// wait wakes, and wakeOn, when given, connects what wakes it to each loop
// that waits.
bool OpenPortAndWait(DriveLink &link, int timeoutMs, const std::function<bool()> &stopped = {},
                     const std::function<void(QEventLoop &)> &wakeOn = {});
