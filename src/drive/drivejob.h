#pragma once
// A job: one multi-step exchange with the drive over the link (reading or
// writing the parameters or the point table, a capture, a query). It builds
// its requests into the link's slot, takes their replies, tells how far it
// has come and ends once: done, refused by the drive ("ERR;code"), given up
// (a lost reply answered Cancel or given up quietly, the port lost or closed,
// offline) or cancelled. Whatever the ending, the link is left so that the
// poll or another job goes on from it. A job that holds the transfer runs
// alone: the parameter and point table transfers share the block counter.

#include "drive/link/drivelink.h"

#include <QString>

class DriveJob : public LinkClient {
    Q_OBJECT
public:
    enum class Ending { None, Done, Refused, GivenUp, Cancelled };
    Q_ENUM(Ending)

    // A non-empty transferName makes the job hold the link's transfer while
    // it runs.
    DriveJob(DriveLink &link, const QString &transferName, QObject *parent = nullptr);

    // Builds the first request into the slot; false (and nothing done) while
    // another transfer runs or this job does.
    bool start();
    // Ends the job now: a request of its own still waiting is taken back, the
    // reply to one in flight is ignored.
    void cancel();

    bool running() const { return m_running; }
    Ending ending() const { return m_ending; }
    qint32 errorCode() const { return m_errorCode; }  // of a refusal
    int step() const { return m_step; }
    int steps() const { return m_steps; }
    // Replies to the job's requests that came garbled and were not taken
    // (each was asked again, or ended the job, as a lost reply does).
    int garbledReplies() const { return m_garbled; }
    const QString &transferName() const { return m_transferName; }

    // "done", "refused: ERR;3", "given up", "cancelled".
    static QString endingText(Ending ending, qint32 errorCode = 0);

Q_SIGNALS:
    void progressed(int step, int steps);
    void finished(DriveJob::Ending ending);

protected:
    DriveLink &link() { return m_link; }
    // The first request; steps are counted from 0.
    virtual void begin() = 0;
    // The reply to the job's last request.
    virtual void take(const Reply &reply) = 0;

    void send(const QString &text, const QString &keyword);
    void setSteps(int n) { m_steps = n; }
    // One more step done; false when the job ended meanwhile (cancelled by
    // whoever heard of the step), and so must build nothing more.
    bool advance();
    void finish(Ending ending, qint32 errorCode = 0);
    // The transfer is given back before the job's last reply (the write's
    // FLASH goes out as the transfer ends, and another may start meanwhile).
    void releaseTransfer();
    // Called as the job ends, before a request of its own that still waits
    // is taken back: requestWaiting() tells whether its last one went out.
    virtual void stopping(Ending) {}
    // A request of the job waits to be written (it has not gone out).
    bool requestWaiting() const;

private:
    void replied(const Reply &reply) override;
    void refused(qint32 code) override;
    void lost() override;
    void garbled() override { ++m_garbled; }

    DriveLink &m_link;
    QString m_transferName;
    bool m_holdsTransfer = false;
    bool m_running = false;
    Ending m_ending = Ending::None;
    qint32 m_errorCode = 0;
    int m_step = 0;
    int m_steps = 0;
    int m_garbled = 0;
};
