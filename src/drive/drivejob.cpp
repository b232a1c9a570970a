#include "drivejob.h"

#include <algorithm>

DriveJob::DriveJob(DriveLink &link, const QString &transferName, QObject *parent)
    : LinkClient(parent), m_link(link), m_transferName(transferName)
{}

bool DriveJob::start()
{
    if (m_running) return false;
    if (!m_transferName.isEmpty()) {
        // One transfer at a time, whoever started it, this window included.
        if (!m_link.transferOwner().isEmpty() || !m_link.beginTransfer(m_transferName, this)) return false;
        m_holdsTransfer = true;
        m_link.setXferIndex(0);
    }
    m_running = true;
    m_ending = Ending::None;
    m_errorCode = 0;
    m_step = 0;
    m_garbled = 0;
    begin();
    return true;
}

void DriveJob::cancel() { finish(Ending::Cancelled); }

QString DriveJob::endingText(Ending ending, qint32 errorCode)
{
    switch (ending) {
        case Ending::Done:
            return QStringLiteral("done");
        case Ending::Refused:
            return QStringLiteral("refused: ERR;%1").arg(errorCode);
        case Ending::GivenUp:
            return QStringLiteral("given up");
        case Ending::Cancelled:
            return QStringLiteral("cancelled");
        case Ending::None:
            break;
    }
    return QStringLiteral("running");
}

void DriveJob::send(const QString &text, const QString &keyword) { m_link.setClientCommand(this, text, keyword); }

bool DriveJob::advance()
{
    ++m_step;
    Q_EMIT progressed(m_step, m_steps);
    return m_running;
}

void DriveJob::releaseTransfer()
{
    if (!m_holdsTransfer) return;
    m_holdsTransfer = false;
    if (m_link.transferOwner() == m_transferName) m_link.endTransfer();
}

void DriveJob::finish(Ending ending, qint32 errorCode)
{
    if (!m_running) return;
    m_running = false;
    m_ending = ending;
    m_errorCode = errorCode;
    stopping(ending);
    if (ending != Ending::Done) m_link.withdraw(this);
    if (m_holdsTransfer) m_link.setXferIndex(0);
    releaseTransfer();
    Q_EMIT finished(ending);
}

void DriveJob::replied(const Reply &reply)
{
    if (m_running) take(reply);
}

void DriveJob::refused(qint32 code) { finish(Ending::Refused, code); }

void DriveJob::lost() { finish(Ending::GivenUp); }

bool DriveJob::requestWaiting() const
{
    const RequestQueue &q = m_link.requests();
    if (q.slot() && q.slot()->owner == this) return true;
    return std::any_of(q.kept().cbegin(), q.kept().cend(), [this](const Request &r) { return r.owner == this; });
}
