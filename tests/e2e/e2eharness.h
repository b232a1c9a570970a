#pragma once
// End-to-end harness: the real program (the session over its PortIo, and
// MDItbl on the session) in this process, its port 1 on the simulated drive served by a thread of its own
// (or on whatever the test puts in front of the drive, a serial device server),
// in a fresh temporary current directory so that no port file leaks in or
// out. Waits process Qt events and give up after a time limit.

#include "app/mditbl.h"
#include "drive/link/portio.h"
#include "drive/session.h"
#include "sim/ptyserver.h"
#include "testclock.h"
#include "testservices.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

class E2eHarness {
public:
    // Answers at once, seed 1, transcript in memory, linked as "drive" in
    // the temporary directory.
    static sim::ServerConfig fastDrive();

    // The name of port 1, given the drive's device; by default the device.
    using PortName = std::function<QString(const QString &device)>;
    explicit E2eHarness(sim::ServerConfig drive = fastDrive(), const PortName &portName = {});
    ~E2eHarness();
    E2eHarness(const E2eHarness &) = delete;
    E2eHarness &operator=(const E2eHarness &) = delete;

    // The answer to "It failed in the communication.": Retry when true.
    std::function<bool()> retryLostReply = [] { return false; };

    // False (with the reason) when the drive or the window could not start.
    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    MDItbl &window() { return *m_window; }
    Session &session() { return *m_session; }
    PortIo &port() { return *m_port; }
    DriveLink &link() { return m_session->link; }
    // The file dialogs' answers.
    TestFileChooser files;
    // The session's clock: the system's until the test moves it on.
    ShiftedClock clock;
    sim::PtyServer &drive() { return *m_drive; }
    QString workDir() const { return m_dir.path(); }

    // Runs f on the drive model under the drive's lock.
    template <class F>
    auto withModel(F &&f)
    {
        return m_drive->withModel(std::forward<F>(f));
    }
    void setFaults(const sim::FaultConfig &faults) { m_drive->setFaults(faults); }
    void clearFaults() { m_drive->setFaults({}); }

    // Later waits and reads look only at what the drive saw after this.
    void mark();
    // Processes events until pred() holds; false when timeoutMs passed first.
    bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000);
    // A request, or a reply that went out (not dropped), after the mark
    // whose text starts with prefix.
    bool waitForRequest(const QString &prefix, int timeoutMs = 5000) { return waitFor(false, prefix, timeoutMs); }
    bool waitForReply(const QString &prefix, int timeoutMs = 5000) { return waitFor(true, prefix, timeoutMs); }
    // Processes events for a while.
    void idle(int ms);
    // Makes the child window the active one of the main window, as a click on
    // its frame does; the poll follows it.
    void activate(QWidget *child);

    // What the drive saw after the mark (or since the start).
    std::vector<sim::TranscriptEntry> transcript(bool sinceMark = true) const;
    QStringList requests(bool sinceMark = true) const { return texts(false, sinceMark); }
    QStringList replies(bool sinceMark = true) const { return texts(true, sinceMark); }

private:
    QStringList texts(bool replies, bool sinceMark) const;
    bool waitFor(bool reply, const QString &prefix, int timeoutMs);

    QString m_error;
    QString m_previousDir;
    QTemporaryDir m_dir;
    std::unique_ptr<sim::PtyServer> m_drive;
    std::unique_ptr<PortIo> m_port;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<MDItbl> m_window;
    std::uint64_t m_mark = 0;
};
