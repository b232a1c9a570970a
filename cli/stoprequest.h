#pragma once
// A request that a run stop, shared by the threads of every drive: made once
// (SIGINT or SIGTERM, which the program's main turns into a call here outside
// the signal handler; or a part of the run that cannot go on, such as a
// broker that refuses the tool for good), read by anyone at any time, and
// heard at once by every event loop that connected to stopRequested(), on
// whatever thread it runs.

#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>

class StopRequest : public QObject {
    Q_OBJECT
public:
    enum class Why { None, Interrupted, Failed };

    // Any thread. The first request counts; later ones change nothing.
    void request(Why why, const QString &reason);
    bool requested() const { return m_why.load() != Why::None; }
    Why why() const { return m_why.load(); }
    // "interrupted (SIGINT)", or what could not go on.
    QString reason() const;

Q_SIGNALS:
    // Once, from the thread that made the request: connect with a receiver
    // on the thread that must hear it (queued across threads).
    void stopRequested();

private:
    std::atomic<Why> m_why{Why::None};
    mutable QMutex m_lock;
    QString m_reason;
};
