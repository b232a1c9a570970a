#pragma once
// One drive on one serial port, for the command-line tool: its own link, port
// and tick on the calling thread, and jobs run to their end one after another
// with a local event loop. Where the window program asks the user what to do
// with a lost reply, the session retries a given number of times and then
// gives up, and every failure is left in words in error().

#include "drive/drivejob.h"
#include "drive/link/drivelink.h"
#include "drive/link/serialio.h"

#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class StopRequest;

struct SessionOptions {
    QSerialPort::Parity parity = QSerialPort::EvenParity;
    int retries = 2;   // a lost reply is asked again this many times
    int tickMs = 100;  // the link's tick; a reply is lost after 16 ticks
    bool repliesWhole = false;  // the serial driver hands each reply over at its end
    // Made, it ends what the session waits for (SIGINT, SIGTERM); none: nothing does.
    StopRequest *stop = nullptr;
};

class DriveSession {
public:
    DriveSession(const QString &device, const SessionOptions &options);
    ~DriveSession();
    DriveSession(const DriveSession &) = delete;
    DriveSession &operator=(const DriveSession &) = delete;

    // Opens the port (a network port's connection is waited for, at most
    // ConnectWaitMs); false with the reason (and what to do about it) in error().
    bool open();
    static constexpr int ConnectWaitMs = 8000;
    // Runs the job to its end, again from the start after a lost reply while
    // retries are left. A job still running after timeoutMs (0: no limit) is
    // cancelled and timeoutText becomes the error. True when it is done.
    // A stop request cancels the job at once (the error is its reason).
    bool run(DriveJob &job, const std::function<void(int, int)> &progress = {}, int timeoutMs = 0,
             const QString &timeoutText = {});
    // The same for a job that changes the drive: asked to stop, it ends once
    // the step in flight is answered (waited for at most StopGraceMs), so the
    // drive is left with whole blocks or points written.
    bool runWrite(DriveJob &job, const std::function<void(int, int)> &progress = {});
    static constexpr int StopGraceMs = 400;
    // The last run was ended by the stop request; and it ended between two
    // steps, no request of the job left unanswered.
    bool stopped() const { return m_stopped; }
    bool stoppedBetweenSteps() const { return m_stoppedBetweenSteps; }
    // The stop request was made (false without one).
    bool stopRequested() const;
    // Sends one request ("ARST") and waits for its reply.
    bool request(const QString &text);
    // Runs the event loop for ms milliseconds (the link keeps polling), less
    // when the stop request is made.
    void pause(int ms);

    const QString &error() const { return m_error; }
    DriveLink &link() { return *m_link; }

    // The reason a port did not open with a hint for a device the user may
    // not open: the group that owns it and how to join it.
    static QString openFailureText(const QString &device, const QString &reason);

    // At the end of a session, how long the reply to a request still in
    // flight is waited for (a poll's reply takes about 16 ms at 9600 bit/s).
    static constexpr int LastReplyWaitMs = 300;

private:
    QString m_device;
    SessionOptions m_options;
    PortSettings m_settings;
    std::unique_ptr<SerialIo> m_port;
    std::unique_ptr<DriveLink> m_link;
    QTimer m_ticker;
    int m_retriesLeft = 0;
    bool m_finishStep = false;  // runWrite: a stop waits for the step in flight
    bool m_stopped = false;
    bool m_stoppedBetweenSteps = false;
    bool m_portLost = false;
    QString m_lostReason;
    QString m_lastGarbled;  // the last reply not taken: "to R;2: field 5 is not hexadecimal"
    QString m_error;
};
