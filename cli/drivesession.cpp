#include "drivesession.h"

#include "stoprequest.h"

#include "drive/link/openwait.h"
#include "drive/link/portaccess.h"
#include "drive/link/portio.h"

#include "drive/monitor/monitorrules.h"

#include <QEventLoop>
#include <QFile>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// One request of its own and its reply.
class SingleRequestJob : public DriveJob {
public:
    SingleRequestJob(DriveLink &link, const QString &text) : DriveJob(link, QString()), m_text(text) {}

protected:
    void begin() override
    {
        setSteps(1);
        send(m_text, m_text.section(QLatin1Char(';'), 0, 0));
    }
    void take(const Reply &) override
    {
        if (advance()) finish(Ending::Done);
    }

private:
    QString m_text;
};

}  // namespace

DriveSession::DriveSession(const QString &device, const SessionOptions &options)
    : m_device(device), m_options(options)
{
    m_port = MakePortIo(device, options.parity);
    m_port->setRepliesWhole(options.repliesWhole);
    m_link = std::make_unique<DriveLink>(m_settings, *m_port);
    // A lost reply is retried as often as the options allow, then given up.
    QObject::connect(m_link.get(), &DriveLink::replyLost, m_link.get(), [this] {
        if (m_retriesLeft <= 0) return m_link->giveUp();
        --m_retriesLeft;
        m_link->retry();
    });
    // A garbled reply is retried as a lost one; the last is kept, to say why
    // a drive that answered gave nothing that could be taken.
    QObject::connect(m_link.get(), &DriveLink::replyGarbled, m_link.get(), [this](const Request &request, const QString &why) {
        const QByteArray &f = request.framed;
        m_lastGarbled = QStringLiteral("to %1: %2").arg(QString::fromLatin1(f.mid(1, f.size() - 2)).left(24), why);
    });
    QObject::connect(m_port.get(), &SerialIo::lost, m_port.get(), [this](const QString &reason) {
        m_portLost = true;
        m_lostReason = reason;
    });
    QObject::connect(&m_ticker, &QTimer::timeout, m_link.get(), &DriveLink::tick);
}

DriveSession::~DriveSession()
{
    m_ticker.stop();
    // The link polls after every reply, so a poll is mostly in flight when
    // the session ends. Its reply is waited for (no new poll follows it):
    // let go unanswered, the reply would reach the line after the port was
    // closed and be taken by whoever opens it next as the answer to its own
    // first request, which puts that program's link one reply behind.
    m_link->setPollsHeld(true);
    if (m_link->portOpen() && m_link->awaitingReply() && !m_portLost) {
        QEventLoop loop;
        QObject::connect(m_link.get(), &DriveLink::replyDecoded, &loop, &QEventLoop::quit);
        QObject::connect(m_port.get(), &SerialIo::lost, &loop, &QEventLoop::quit);
        QTimer::singleShot(LastReplyWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_link->closePort();
}

QString DriveSession::openFailureText(const QString &device, const QString &reason)
{
    QString text = QStringLiteral("cannot open the port: ") + reason;
    // The port says why already when it was refused for the user's groups.
    const QString problem = PortAccessProblem(device);
    if (!problem.isEmpty() && !reason.contains(problem)) text += QStringLiteral("; ") + problem;
    return text;
}

bool DriveSession::stopRequested() const { return m_options.stop && m_options.stop->requested(); }

bool DriveSession::open()
{
    m_settings.PortNo = 1;
    if (stopRequested()) {
        m_error = m_options.stop->reason();
        return false;
    }
    const auto wakeOnStop = [this](QEventLoop &loop) {
        if (m_options.stop) QObject::connect(m_options.stop, &StopRequest::stopRequested, &loop, &QEventLoop::quit);
    };
    if (!OpenPortAndWait(*m_link, ConnectWaitMs, [this] { return stopRequested(); }, wakeOnStop)) {
        if (stopRequested()) {
            m_error = m_options.stop->reason();
            return false;
        }
        QString reason = m_link->portStatus();
        const QString prefix = QStringLiteral("COM1 not open: ");
        const QString lost = QStringLiteral("COM1 lost, waiting for it to come back (");
        if (reason.startsWith(prefix)) reason = reason.mid(prefix.size());
        else if (reason.startsWith(lost) && reason.endsWith(u')')) reason = reason.mid(lost.size()).chopped(1);
        if (reason.isEmpty()) reason = QStringLiteral("the port did not open");
        m_error = openFailureText(m_device, reason);
        return false;
    }
    m_portLost = false;
    if (!m_ticker.isActive()) m_ticker.start(m_options.tickMs);
    return true;
}

bool DriveSession::runWrite(DriveJob &job, const std::function<void(int, int)> &progress)
{
    m_finishStep = true;
    const bool done = run(job, progress);
    m_finishStep = false;
    return done;
}

bool DriveSession::run(DriveJob &job, const std::function<void(int, int)> &progress, int timeoutMs,
                       const QString &timeoutText)
{
    m_error.clear();
    m_lastGarbled.clear();
    const int garbledBefore = m_link->garbledReplies();
    m_stopped = false;
    m_stoppedBetweenSteps = false;
    m_retriesLeft = m_options.retries;
    if (stopRequested()) {
        m_stopped = true;
        m_stoppedBetweenSteps = true;
        m_error = m_options.stop->reason();
        return false;
    }
    // A port lost before this job (a device server gone for a while) is
    // opened again first; one lost during the job ends it.
    if (m_link->portOpen()) m_portLost = false;
    else if (!open()) return false;
    for (;;) {
        if (m_portLost || !m_link->portOpen()) {
            m_error = QStringLiteral("the port was lost") + (m_lostReason.isEmpty() ? QString() : QStringLiteral(": ") + m_lostReason);
            return false;
        }
        QEventLoop loop;
        const QMetaObject::Connection ended = QObject::connect(&job, &DriveJob::finished, &loop, &QEventLoop::quit);
        QMetaObject::Connection stepped;
        if (progress) stepped = QObject::connect(&job, &DriveJob::progressed, &loop, progress);
        QTimer guard;
        guard.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            job.cancel();
        });
        // Asked to stop: a read ends now; a write once the drive has
        // answered the step in flight (the job then sends nothing more), or
        // after a grace for that answer.
        bool stopping = false;
        QTimer grace;
        grace.setSingleShot(true);
        QObject::connect(&grace, &QTimer::timeout, &loop, [&] { job.cancel(); });
        const QMetaObject::Connection betweenSteps = QObject::connect(&job, &DriveJob::progressed, &loop, [&](int step, int steps) {
            // The last step's answer ends the job as done.
            if (!stopping || !job.running() || step >= steps) return;
            m_stoppedBetweenSteps = true;
            job.cancel();
        });
        const auto onStop = [&] {
            if (stopping || !job.running()) return;
            stopping = true;
            m_stopped = true;
            if (!m_finishStep) {
                job.cancel();
                return;
            }
            grace.start(StopGraceMs);
        };
        if (m_options.stop) QObject::connect(m_options.stop, &StopRequest::stopRequested, &loop, onStop);
        if (!job.start()) {
            m_error = QStringLiteral("another transfer holds the link");
            return false;
        }
        if (timeoutMs > 0) guard.start(timeoutMs);
        // A request made between the check above and the connection.
        if (stopRequested()) onStop();
        if (job.running()) loop.exec();
        QObject::disconnect(ended);
        QObject::disconnect(betweenSteps);
        if (stepped) QObject::disconnect(stepped);
        if (stopping && job.ending() != DriveJob::Ending::Done) {
            m_error = m_options.stop->reason();
            return false;
        }
        m_stopped = false;
        m_stoppedBetweenSteps = false;
        switch (job.ending()) {
        case DriveJob::Ending::Done:
            return true;
        case DriveJob::Ending::Refused: {
            QString message = ErrorText(job.errorCode());
            message = message.section(QChar(0xFF1A), 1);  // the text after "Err："
            m_error = QStringLiteral("refused with ERR;%1 (%2)").arg(job.errorCode()).arg(message);
            return false;
        }
        case DriveJob::Ending::Cancelled:
            m_error = timedOut ? timeoutText : QStringLiteral("cancelled");
            return false;
        case DriveJob::Ending::GivenUp:
        case DriveJob::Ending::None:
            if (m_portLost || !m_link->portOpen()) continue;  // says so above
            if (stopRequested()) {
                m_stopped = true;
                m_error = m_options.stop->reason();
                return false;
            }
            if (m_retriesLeft > 0) {
                --m_retriesLeft;
                continue;
            }
            m_error = m_lastGarbled.isEmpty()
                          ? QStringLiteral("no reply from the drive")
                          : QStringLiteral("no reply from the drive that could be taken; %1 garbled, the last %2")
                                .arg(m_link->garbledReplies() - garbledBefore)
                                .arg(m_lastGarbled);
            return false;
        }
    }
}

bool DriveSession::request(const QString &text)
{
    SingleRequestJob job(*m_link, text);
    return run(job);
}

void DriveSession::pause(int ms)
{
    if (ms <= 0 || stopRequested()) return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (m_options.stop) QObject::connect(m_options.stop, &StopRequest::stopRequested, &loop, &QEventLoop::quit);
    loop.exec();
}
